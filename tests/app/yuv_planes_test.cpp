// The encoder's planes against ffmpeg's own conversion of the same picture (its
// default BT.601 limited-range matrix, flipped as GL reads rows), and against the
// standard's values for flat colours.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/capture/yuv_planes.h"

namespace fs = std::filesystem;

namespace {

// Smooth ramps in every channel, different in each direction, so a flipped,
// shifted or swapped plane shows.
std::vector<uint8_t> rampPicture(int width, int height)
{
    std::vector<uint8_t> bgra(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &bgra[(static_cast<size_t>(y) * width + x) * 4];
            p[0] = static_cast<uint8_t>(x * 3);
            p[1] = static_cast<uint8_t>(y * 4 + 10);
            p[2] = static_cast<uint8_t>(255 - (x + y) * 2);
            p[3] = 255;
        }
    return bgra;
}

} // namespace

TEST(YuvPlanes, MatchFfmpegsConversion)
{
    if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "needs ffmpeg";
    const fs::path dir = fs::temp_directory_path() / ("zoduv_yuv_" + std::to_string(getpid()));
    fs::create_directories(dir);
    // Even sides, and odd ones that lose their last column and bottom row.
    for (auto [width, height] : {std::pair{64, 48}, std::pair{66, 38}, std::pair{65, 49}}) {
        const std::vector<uint8_t> picture = rampPicture(width, height);
        const fs::path in = dir / "in.raw", out = dir / "out.yuv";
        std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(picture.data()),
                                                  static_cast<std::streamsize>(picture.size()));
        const std::string command = "ffmpeg -v error -y -f rawvideo -pixel_format bgra -video_size " +
                                    std::to_string(width) + "x" + std::to_string(height) + " -i '" + in.string() +
                                    "' -vf vflip,crop=" + std::to_string(videoSide(width)) + ":" +
                                    std::to_string(videoSide(height)) + ":0:0 -pix_fmt yuv420p -f rawvideo '" +
                                    out.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        std::ifstream file(out, std::ios::binary);
        const std::vector<uint8_t> expected{std::istreambuf_iterator<char>(file), {}};

        std::vector<uint8_t> planes(yuvPlaneBytes(width, height));
        ASSERT_EQ(expected.size(), planes.size()) << width << "x" << height;
        packYuvPlanes(picture.data(), width, height, planes.data());
        const size_t lumaBytes = static_cast<size_t>(videoSide(width)) * videoSide(height);
        for (size_t i = 0; i < planes.size(); ++i)
            ASSERT_NEAR(planes[i], expected[i], 1) << width << "x" << height << (i < lumaBytes ? " Y" : " UV")
                                                   << " byte " << i;
    }
    fs::remove_all(dir);
}

TEST(YuvPlanes, FlatColoursTakeTheStandardsValues)
{
    // BT.601 as the standard writes it, studio swing: Y in 16..235, U and V in 16..240.
    auto standard = [](double r, double g, double b, double out[3]) {
        r /= 255, g /= 255, b /= 255;
        out[0] = 16 + 219 * (0.299 * r + 0.587 * g + 0.114 * b);
        out[1] = 128 + 224 * (-0.168736 * r - 0.331264 * g + 0.5 * b);
        out[2] = 128 + 224 * (0.5 * r - 0.418688 * g - 0.081312 * b);
    };
    const uint8_t colours[][3] = {{0, 0, 0},   {255, 255, 255}, {255, 0, 0},    {0, 255, 0},
                                  {0, 0, 255}, {128, 128, 128}, {250, 240, 220}, {30, 60, 20}};
    for (const auto& c : colours) {
        std::vector<uint8_t> picture;
        for (int i = 0; i < 4 * 2; ++i)
            picture.insert(picture.end(), {c[2], c[1], c[0], 255});
        std::vector<uint8_t> planes(yuvPlaneBytes(4, 2));
        packYuvPlanes(picture.data(), 4, 2, planes.data());
        double want[3];
        standard(c[0], c[1], c[2], want);
        const std::string what = std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]);
        for (int i = 0; i < 8; ++i)
            EXPECT_NEAR(planes[i], want[0], 1.0) << what;
        EXPECT_NEAR(planes[8], want[1], 1.0) << what << " U";
        EXPECT_NEAR(planes[10], want[2], 1.0) << what << " V";
    }
}
