// The frame report: its statistics and sections, and a short --benchmark run end
// to end (the CSV rows, the section table, the summary line that scripts read,
// and pictures that the interleaved bare frames leave as they were).
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/frame_report.h"
#include "tests/support/test_files.h"

namespace fs = std::filesystem;

namespace {

const fs::path kShowBinary = fs::path(ZUR_BINARY_DIR) / "zoduv";
const fs::path kShowDir = ZUR_SHOW_DIR;

// Runs the show at 320 x 180 on steps of 1/10 s; returns its standard output.
std::string runShow(const std::vector<std::string>& args, int& status, const std::string& env = "")
{
    std::string command = "cd '" + kShowDir.string() + "' && env SDL_AUDIODRIVER=dummy ZUR_MESSAGEBOX_ANSWER=no " +
                          env + " timeout 300 '" + kShowBinary.string() + "' --no-dialog --no-sound --size 320x180 "
                          "--fixed-step 10";
    for (const std::string& a : args)
        command += " '" + a + "'";
    command += " 2>/dev/null; echo \"status $?\"";
    std::string out = commandOutput(command);
    const size_t at = out.rfind("status ");
    status = at == std::string::npos ? -1 : std::atoi(out.c_str() + at + 7);
    return at == std::string::npos ? out : out.substr(0, at);
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

std::vector<std::string> fields(const std::string& line)
{
    std::vector<std::string> out;
    std::stringstream in(line);
    for (std::string f; std::getline(in, f, ',');)
        out.push_back(f);
    if (!line.empty() && line.back() == ',')
        out.emplace_back();
    return out;
}

std::string md5OfPixels(const fs::path& png)
{
    return commandOutput("ffmpeg -v error -i '" + png.string() + "' -f rawvideo -pix_fmt rgb24 - | md5sum");
}

double meanGrey(const fs::path& png)
{
    return std::atof(commandOutput("ffmpeg -v error -i '" + png.string() +
                                   "' -vf scale=1:1,format=gray -f rawvideo - | od -An -tu1")
                         .c_str());
}

const std::regex kSummary(R"(benchmark: \d+ frames, mean \d+\.\d\d ms \(\d+\.\d fps\), median \d+\.\d\d ms, )"
                          R"(95th \d+\.\d\d ms, worst \d+\.\d\d ms)");

} // namespace

TEST(FrameReport, StatisticsSectionsAndRows)
{
    // Nearest rank below, values that are not numbers left out.
    const Spread s = spreadOf({5, NAN, 1, 4, 2, 3, NAN});
    EXPECT_EQ(s.count, 5);
    EXPECT_EQ(s.median, 3);
    EXPECT_EQ(s.p99, 5);
    EXPECT_EQ(s.worst, 5);
    std::vector<double> hundred;
    for (int i = 1; i <= 100; ++i)
        hundred.push_back(i);
    EXPECT_EQ(spreadOf(hundred).p99, 100);
    EXPECT_EQ(spreadOf(hundred).median, 51);
    EXPECT_TRUE(std::isnan(spreadOf({NAN}).median));

    // Each section holds from its start up to the next one's.
    const struct {
        double sceneTime;
        const char* section;
    } cases[] = {{0, "title"},      {32.99, "title"},    {33, "still life"},         {117.9, "still life"},
                 {118, "figures"},  {160, "worms"},      {181.9, "faces and hands"}, {213.4, "tendrils and ants"},
                 {233.9, "spine worm and bird"},         {250, "ring"},              {260, "end text"},
                 {300, "fade"}};
    for (const auto& c : cases)
        EXPECT_STREQ(frameSections()[static_cast<size_t>(sectionOf(c.sceneTime))].name, c.section) << c.sceneTime;

    FrameRecord r;
    r.showTime = 1.5;
    r.sceneTime = 1.65;
    r.frame = 12.3456;
    const std::vector<std::string> row = fields(csvRow(r));
    ASSERT_EQ(row.size(), fields(csvHeader()).size());
    EXPECT_EQ(row[2], "title");
    EXPECT_EQ(row[3], "12.346");
    EXPECT_EQ(row[4], "") << "a value that was not measured is an empty field";

    const std::string summary = summaryLine({0.010, 0.020, 0.030, 0.040});
    EXPECT_EQ(summary, "benchmark: 4 frames, mean 25.00 ms (40.0 fps), median 30.00 ms, 95th 40.00 ms, worst 40.00 ms");
}

TEST(FrameReport, BenchmarkRunWritesRowsTableAndSummaryAndKeepsThePictures)
{
    if (!fs::exists(kShowBinary) || !fs::exists(kShowDir / "newobjects" / "paths.pt") || !std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs the built show, its generated assets and a display";
    const fs::path dir = fs::temp_directory_path() / ("zoduv_report_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path csv = dir / "frames.csv";

    int status = -1;
    const std::string out = runShow({"--show-end", "2.55", "--benchmark", csv.string(), "--screenshot",
                                     "2.05:" + (dir / "benchmark.png").string()},
                                    status, "ZUR_BENCHMARK_STEPS=1");
    ASSERT_EQ(status, 0) << out;
    const std::vector<std::string> printed = lines(out);
    ASSERT_FALSE(printed.empty());
    EXPECT_TRUE(std::regex_match(printed.back(), kSummary)) << "the last line scripts read: " << printed.back();
    EXPECT_NE(out.find("title"), std::string::npos);
    EXPECT_NE(out.find("whole run"), std::string::npos);

    // 25 frames, in step, each with its own time and the bare frame beside it;
    // the passes fit inside the frame that holds them, the main pass's steps
    // make up the main pass.
    std::ifstream in(csv);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::vector<std::string> rows = lines(text);
    ASSERT_EQ(rows.size(), 26u) << text;
    const std::vector<std::string> header = fields(rows[0]);
    EXPECT_EQ(rows[0], csvHeader());
    EXPECT_NE(printed.back().find("benchmark: 25 frames"), std::string::npos) << printed.back();
    for (size_t i = 1; i < rows.size(); ++i) {
        const std::vector<std::string> f = fields(rows[i]);
        ASSERT_EQ(f.size(), header.size()) << rows[i];
        EXPECT_NEAR(std::atof(f[0].c_str()), 0.1 * static_cast<double>(i), 1e-6) << rows[i];
        for (size_t c = 3; c < f.size(); ++c)
            EXPECT_FALSE(f[c].empty()) << header[c] << " in " << rows[i];
        const double frame = std::atof(f[3].c_str());
        const double passes = std::atof(f[6].c_str()) + std::atof(f[7].c_str()) + std::atof(f[8].c_str());
        EXPECT_LE(passes, frame + 0.01) << rows[i];
        EXPECT_LE(std::atof(f[5].c_str()), std::atof(f[7].c_str()) + 0.01) << "strokes inside the main pass";
        double steps = 0;
        for (size_t c = 14; c < 14 + kMainSteps; ++c)
            steps += std::atof(f[c].c_str());
        EXPECT_NEAR(steps, std::atof(f[7].c_str()), 0.01 * kMainSteps) << rows[i];
        EXPECT_GT(std::atof(f[14 + kMainSteps].c_str()), 0) << "stroke points";
    }

    // The same picture as a run without the report, and a bare run draws no scene.
    const std::string plain = runShow({"--show-end", "2.2", "--screenshot", "2.05:" + (dir / "plain.png").string()},
                                      status);
    ASSERT_EQ(status, 0) << plain;
    EXPECT_EQ(md5OfPixels(dir / "benchmark.png"), md5OfPixels(dir / "plain.png"));
    EXPECT_EQ(md5OfPixels(dir / "plain.png").size(), 36u);

    const fs::path bareCsv = dir / "bare.csv";
    const std::string bare = runShow({"--show-end", "2.2", "--bare", "--benchmark=" + bareCsv.string(), "--screenshot",
                                      "2.05:" + (dir / "bare.png").string()},
                                     status);
    ASSERT_EQ(status, 0) << bare;
    EXPECT_TRUE(std::regex_match(lines(bare).back(), kSummary)) << lines(bare).back();
    EXPECT_GT(meanGrey(dir / "plain.png"), 150) << "paper";
    EXPECT_LT(meanGrey(dir / "bare.png"), 60) << "no paper in a bare frame";
    std::ifstream bareIn(bareCsv);
    std::string bareText((std::istreambuf_iterator<char>(bareIn)), std::istreambuf_iterator<char>());
    const std::vector<std::string> bareRows = lines(bareText);
    ASSERT_GT(bareRows.size(), 1u);
    const std::vector<std::string> f = fields(bareRows[1]);
    EXPECT_FALSE(f[3].empty()) << "the run's own frames are the bare ones";
    EXPECT_TRUE(f[5].empty()) << "no strokes are made";
    EXPECT_TRUE(f[9].empty()) << "no second bare frame is interleaved";
    fs::remove_all(dir);
}
