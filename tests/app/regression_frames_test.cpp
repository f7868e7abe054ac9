// Regression frames: the whole show at 320 x 180 on fixed steps of 1/10 s, one
// run, a picture at each of a dozen show times spread over the timeline, compared
// with the pictures stored in tests/data/regression/. Speed work must leave every
// frame as it was; the tolerance only covers what llvmpipe draws differently on
// another CPU (a rounding step in a blend, an edge pixel that moves by one).
//
// Regenerate the stored pictures on purpose only, after a change that is meant to
// change the picture:
//   cd build
//   ZUR_UPDATE_REGRESSION_FRAMES=1 xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" ctest -R RegressionFrames
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kShowBinary = fs::path(ZUR_BINARY_DIR) / "zoduv";
const fs::path kShowDir = ZUR_SHOW_DIR;
const fs::path kStoredDir = fs::path(ZUR_SOURCE_DIR) / "tests" / "data" / "regression";

constexpr int kWidth = 320, kHeight = 180;
constexpr int kStepsPerSecond = 10;
// Show times half a step past a frame, so the picture is the frame after it
// whatever the last digit of the summed steps. Each lands in a different part of
// the show (scene time in brackets).
const char* const kShowTimes[] = {
    "0.25",   // opening tiles, the title begins (0.3)
    "20.05",  // title (22)
    "45.05",  // still life, first layers (50)
    "75.05",  // still life, three pieces and a joining line (83)
    "105.05", // tumbling figures behind the holes, worms (121)
    "130.05", // figures, worms grown (148)
    "150.05", // worm head, walking ants (166)
    "162.05", // faces and hands (177)
    "172.05", // tendrils with ants (194)
    "190.05", // hands falling, faces breaking (216)
    "200.05", // spine worm and bird (226)
    "215.05", // the ring (241)
    "232.05", // end text, late ants (258)
    "243.05", // closing fade (269)
};
constexpr double kShowEnd = 243.2;

// Per pixel, a difference of more than kLevels in any channel to every pixel of
// the other picture's 3 x 3 neighbourhood counts as a change, in both directions
// (so a stroke that moved by one pixel passes, a stroke that is missing or extra
// does not).
constexpr int kLevels = 24;
constexpr double kMaxChangedFraction = 0.0005; // 29 of 57 600 pixels
constexpr double kMaxMeanDifference = 1.0;     // levels per channel

using Rgb = std::vector<unsigned char>;

// Decodes a PNG with ffmpeg into kWidth x kHeight RGB; empty on any failure.
Rgb decodePng(const fs::path& file)
{
    std::string command = "ffmpeg -v error -i '" + file.string() + "' -f rawvideo -pix_fmt rgb24 -";
    Rgb pixels;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        unsigned char block[65536];
        size_t got;
        while ((got = std::fread(block, 1, sizeof block, pipe)) > 0)
            pixels.insert(pixels.end(), block, block + got);
        pclose(pipe);
    }
    if (pixels.size() != static_cast<size_t>(kWidth) * kHeight * 3)
        pixels.clear();
    return pixels;
}

// Pixels of `a` with no close match in the 3 x 3 neighbourhood of `b`.
int unmatchedPixels(const Rgb& a, const Rgb& b)
{
    int count = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const unsigned char* p = &a[(static_cast<size_t>(y) * kWidth + x) * 3];
            bool matched = false;
            for (int dy = -1; dy <= 1 && !matched; ++dy) {
                for (int dx = -1; dx <= 1 && !matched; ++dx) {
                    const int qx = std::clamp(x + dx, 0, kWidth - 1), qy = std::clamp(y + dy, 0, kHeight - 1);
                    const unsigned char* q = &b[(static_cast<size_t>(qy) * kWidth + qx) * 3];
                    matched = std::abs(p[0] - q[0]) <= kLevels && std::abs(p[1] - q[1]) <= kLevels &&
                              std::abs(p[2] - q[2]) <= kLevels;
                }
            }
            count += matched ? 0 : 1;
        }
    }
    return count;
}

double meanDifference(const Rgb& a, const Rgb& b)
{
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += std::abs(a[i] - b[i]);
    return sum / static_cast<double>(a.size());
}

std::string frameName(const char* showTime) { return std::string("show_") + showTime + ".png"; }

} // namespace

TEST(RegressionFrames, WholeShowDrawsTheStoredPictures)
{
    if (!fs::exists(kShowBinary) || !fs::exists(kShowDir / "newobjects" / "paths.pt") || !std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs the built show, its generated assets and a display";
    const bool update = std::getenv("ZUR_UPDATE_REGRESSION_FRAMES") != nullptr;

    const fs::path outDir = fs::temp_directory_path() / ("zoduv_regression_" + std::to_string(getpid()));
    fs::remove_all(outDir);
    fs::create_directories(outDir);
    std::string command = "cd '" + kShowDir.string() + "' && env SDL_AUDIODRIVER=dummy ZUR_MESSAGEBOX_ANSWER=no "
                          "timeout 900 '" + kShowBinary.string() + "' --no-dialog --no-sound --size " +
                          std::to_string(kWidth) + "x" + std::to_string(kHeight) + " --fixed-step " +
                          std::to_string(kStepsPerSecond) + " --show-end " + std::to_string(kShowEnd);
    for (const char* time : kShowTimes)
        command += std::string(" --screenshot ") + time + ":'" + (outDir / frameName(time)).string() + "'";
    command += " >'" + (outDir / "out.txt").string() + "' 2>&1";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << command;

    if (update) {
        fs::create_directories(kStoredDir);
        for (const char* time : kShowTimes)
            fs::copy_file(outDir / frameName(time), kStoredDir / frameName(time),
                          fs::copy_options::overwrite_existing);
        fs::remove_all(outDir);
        GTEST_SKIP() << "stored pictures written to " << kStoredDir;
    }

    bool allPassed = true;
    for (const char* time : kShowTimes) {
        SCOPED_TRACE(std::string("show time ") + time);
        const Rgb drawn = decodePng(outDir / frameName(time));
        const Rgb stored = decodePng(kStoredDir / frameName(time));
        ASSERT_FALSE(drawn.empty()) << "no picture drawn";
        ASSERT_FALSE(stored.empty()) << "no stored picture " << (kStoredDir / frameName(time));
        const int missing = unmatchedPixels(stored, drawn);
        const int extra = unmatchedPixels(drawn, stored);
        const double mean = meanDifference(drawn, stored);
        const int allowed = static_cast<int>(kMaxChangedFraction * kWidth * kHeight);
        EXPECT_LE(missing, allowed) << "stored pixels the new frame has lost";
        EXPECT_LE(extra, allowed) << "new pixels the stored frame does not have";
        EXPECT_LE(mean, kMaxMeanDifference);
        if (missing > allowed || extra > allowed || mean > kMaxMeanDifference)
            allPassed = false;
    }
    // The drawn pictures stay for a look when something changed.
    if (allPassed)
        fs::remove_all(outDir);
    else
        std::printf("new pictures kept in %s\n", outDir.string().c_str());
}
