// Developer aids: the _gcvt-style formatter, the caption columns, the frame-rate
// log's bins and smoothing, state recording and playback with the "state.txt"
// format, the asset report, and the mapping of the developer files' paths.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/asset_report.h"
#include "engine/dev_caption.h"
#include "engine/frame_log.h"
#include "engine/state_snapshots.h"
#include "tests/support/test_files.h"

namespace fs = std::filesystem;

namespace {

// A fresh folder under the build tree, removed again by the destructor.
struct TempFolder {
    fs::path path;
    explicit TempFolder(const std::string& name)
    {
        path = fs::path(ZUR_BINARY_DIR) / "dev_tools_test_tmp" / name;
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempFolder() { fs::remove_all(path); }
};


std::vector<std::string> words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string word; in >> word;)
        out.push_back(word);
    return out;
}

class test_part : public parts {
public:
    void draw(double&, DemoContext&, FrameInput&) override {}
    void init(DemoContext&) override {}
};

} // namespace

// ---------------------------------------------------------------------------
// Numbers in the manner of _gcvt

TEST(GcvtFormat, MatchesTheRuntimeTable)
{
    struct Row {
        double value;
        int digits;
        const char* text;
    };
    const Row rows[] = {
        // The runtime's own documented examples.
        {-3.1415e5, 7, "-314150."},
        {-1234567890.123, 12, "-1234567890.12"},
        {-12345678901.23, 12, "-12345678901.2"},
        {-1234567890123.0, 12, "-1.23456789012e+012"},
        {-12.34567890123, 12, "-12.3456789012"},
        {-1.234567890123, 12, "-1.23456789012"},
        {-0.1234567890123, 12, "-0.123456789012"},
        {-0.01234567890123, 12, "-1.23456789012e-002"},
        // Six digits, as the caption and the point capture use them.
        {0.0, 6, "0."},
        {1.0, 6, "1."},
        {12.0, 6, "12."},
        {0.5, 6, "0.5"},
        {-2.25, 6, "-2.25"},
        {3.14159265, 6, "3.14159"},
        {123456.0, 6, "123456."},
        {1234567.0, 6, "1.23457e+006"},
        {1e6, 6, "1.e+006"},
        {0.1, 6, "0.1"},
        {0.123456789, 6, "0.123457"},
        {0.05, 6, "5.e-002"},
        {0.0123, 6, "1.23e-002"},
        {1e-10, 6, "1.e-010"},
        {1.5e100, 6, "1.5e+100"},
        {2.5e-300, 6, "2.5e-300"},
        {247.5, 6, "247.5"},
        {100000.0, 6, "100000."},
        {59.99999999, 6, "60."},
        {999999.7, 6, "1000000."},   // notation chosen before rounding
        {0.0999999999, 6, "1.e-001"},
        // Ties round away from zero (the C library here would round to even).
        {2.5, 1, "3."},
        {-2.5, 1, "-3."},
        {0.125, 2, "0.13"},
        {123456.5, 6, "123457."},
        {-0.0, 6, "-0."},
        // Three digits, as the "ZZ:" value.
        {7.0, 3, "7."},
        {-5.0, 3, "-5."},
        {123.0, 3, "123."},
        {1234.0, 3, "1.23e+003"},
        {-1000.0, 3, "-1.e+003"},
        {1225.0, 3, "1.23e+003"},
        {9995.0, 3, "1.e+004"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(formatGcvt(row.value, row.digits), row.text) << row.value << " with " << row.digits << " digits";
    EXPECT_EQ(formatGcvt(1.0 / 0.0, 6), "1.#INF");
    EXPECT_EQ(formatGcvt(-1.0 / 0.0, 6), "-1.#INF");
}

// ---------------------------------------------------------------------------
// Developer caption

TEST(DeveloperCaption, LabelsAndValuesSitAtTheirColumns)
{
    FrameInput input;
    input.pointerX = 1.5;
    input.pointerY = -2.25;
    input.wheelTravel = 0.05;
    input.wheelSteps = 7;
    std::string line = buildCaption(input, 12.3456789, 600, 10.0, 42.0, 3.0);

    struct Expect {
        size_t column;
        const char* text;
    };
    const Expect expects[] = {
        {0, "X: 1.5"},      {18, "Y: -2.25"}, {36, "Z: 5.e-002"},
        {54, "Time12.3457"}, // the value starts on the label's colon
        {74, "Fps:60."},    {93, "Aux:42."},  {111, "tme:3."},
        {121, "ZZ:7."},
    };
    for (const Expect& e : expects)
        EXPECT_EQ(line.substr(e.column, std::strlen(e.text)), e.text) << "column " << e.column;
    // Blanks between the fields.
    EXPECT_EQ(line.substr(6, 12), std::string(12, ' '));
    EXPECT_EQ(line.substr(65, 9), std::string(9, ' '));
    // "ZZ:" runs past the 124 columns and the text ends right after its value.
    EXPECT_EQ(line.size(), 126u);
    EXPECT_EQ(line.substr(124), "7.");

    input.wheelSteps = -1234;
    line = buildCaption(input, 0, 0, 0, 0, 0);
    EXPECT_EQ(line.substr(121), "ZZ:-1.23e+003");
}

TEST(DeveloperCaption, FrameRateAndOverlongValues)
{
    FrameInput input;
    // No time counted yet: the frames are divided by 0.01 s.
    std::string line = buildCaption(input, 0, 3, 0.0, 0, 0);
    EXPECT_EQ(line.substr(74, 8), "Fps:300.");
    // The average since start-up, not a recent rate.
    line = buildCaption(input, 0, 1000, 40.0, 0, 0);
    EXPECT_EQ(line.substr(74, 7), "Fps:25.");
    // A "tme:" value longer than its six columns is cut by the "ZZ:" label.
    line = buildCaption(input, 0, 0, 0, 0, -123.456);
    EXPECT_EQ(line.substr(111), "tme:-123.4ZZ:0.");
}

// ---------------------------------------------------------------------------
// Frame-rate log

TEST(FrameLog, BinsCoverTheShowLengthByTenths)
{
    TempFolder folder("bins");
    DemoContext context;
    openFrameLog(context, (folder.path / "rate.log").string(), kFrameLogSeconds);
    ASSERT_EQ(context.logBins.size(), 2400u);
    EXPECT_DOUBLE_EQ(context.logBins[1234].time, 123.4);

    recordFrameRate(context, 50.0, 239.95, 0);
    EXPECT_EQ(context.logBins[2399].value, 50.0);
    EXPECT_EQ(context.logBins[2399].time, 239.95);
    recordFrameRate(context, 70.0, 240.0, 0);   // past the last bin: dropped
    recordFrameRate(context, 70.0, 1e300, 0);
    recordFrameRate(context, 70.0, -0.5, 0);    // never before the first bin
    recordFrameRate(context, 70.0, 0.0 / 0.0, 0);
    EXPECT_EQ(context.logBins[2399].value, 50.0);
    EXPECT_EQ(context.logBins[0].value, 0.0);

    // A later frame in the same tenth replaces the earlier one.
    recordFrameRate(context, 10.0, 1.01, 0);
    recordFrameRate(context, 20.0, 1.07, 3);
    EXPECT_EQ(context.logBins[10].value, 20.0);
    EXPECT_EQ(context.logBins[10].time, 1.07);
    EXPECT_EQ(context.logBins[10].count, 3);
}

TEST(FrameLog, SmoothsInPlaceAndWritesTheTable)
{
    TempFolder folder("smooth");
    const fs::path file = folder.path / "rate.log";
    DemoContext context;
    // Eight bins: only bins 3 and 4 are smoothed.
    openFrameLog(context, file.string(), 0.8);
    recordFrameRate(context, 21.0, 0.45, 0);
    closeFrameLog(context);
    EXPECT_TRUE(context.logBins.empty());
    EXPECT_FALSE(context.logStream.is_open());

    // Bin 3: (6 * 21 / 21 + 0) / 2 = 3. Bin 4 sees the smoothed bin 3 on its left:
    // ((10 * 21) / 21 + (10 * 21 + 6 * 3) / 21) / 2 = 73 / 7.
    const std::vector<std::string> expected = {"8",
                                               "0", "0", "0",  "0.1", "0", "0", "0.2", "0", "0",
                                               "0.3", "3", "0", "0.45", "10.4286", "0",
                                               "0.5", "0", "0", "0.6", "0", "0", "0.7", "0", "0"};
    EXPECT_EQ(words(readFile(file)), expected);
    // One value per line.
    EXPECT_EQ(readFile(file).substr(0, 8), "8\n0\n0\n0\n");

    // A steady rate stays steady, in every one of the 2400 bins.
    openFrameLog(context, file.string(), kFrameLogSeconds);
    for (int j = 0; j < 2400; ++j)
        recordFrameRate(context, 60.0, j / 10.0 + 0.05, 1);
    closeFrameLog(context);
    std::vector<std::string> table = words(readFile(file));
    ASSERT_EQ(table.size(), 1u + 3 * 2400);
    EXPECT_EQ(table[0], "2400");
    for (int j = 0; j < 2400; ++j)
        ASSERT_EQ(table[2 + 3 * j], "60") << "bin " << j;

    // Closing again, or a log never opened, writes nothing and does not fail.
    closeFrameLog(context);
    DemoContext unopened;
    closeFrameLog(unopened);
}

TEST(FrameLog, UnwritableFileLeavesTheShowAlone)
{
    DemoContext context;
    openFrameLog(context, "/nonexistent-folder/for/the/log.txt", kFrameLogSeconds);
    EXPECT_FALSE(context.logStream.is_open());
    recordFrameRate(context, 60.0, 1.0, 0);
    closeFrameLog(context);
    EXPECT_FALSE(fs::exists("/nonexistent-folder"));
}

// ---------------------------------------------------------------------------
// Developer file paths

TEST(DeveloperPath, DriveMapsToTheDeveloperFolder)
{
    setenv("ZUR_DEV_DIR", "/tmp/zur-dev/", 1);
    EXPECT_EQ(developerPath(kFrameLogPath), "/tmp/zur-dev/logs/chrysalis2.log");
    EXPECT_EQ(developerPath(kAssetReportPath), "/tmp/zur-dev/3dsjpglist4.txt");
    EXPECT_EQ(developerPath(kAssetCollectionFolder), "/tmp/zur-dev/wellspring/");
    EXPECT_EQ(developerPath("D:\\a\\\\b.txt"), "/tmp/zur-dev/a/b.txt");
    EXPECT_EQ(developerPath(kStateFile), "state.txt");
    EXPECT_EQ(developerPath("music//lanternsong.mp3"), "music//lanternsong.mp3");
    unsetenv("ZUR_DEV_DIR");
    EXPECT_EQ(developerPath(kFrameLogPath), "./dev/logs/chrysalis2.log");
    setenv("ZUR_DEV_DIR", "", 1);
    EXPECT_EQ(developerPath(kAssetCollectionFolder), "./dev/wellspring/");
    unsetenv("ZUR_DEV_DIR");
}

// ---------------------------------------------------------------------------
// State snapshots

TEST(StateSnapshots, RecordingOfNFramesGivesNSnapshotsOfNineElements)
{
    RuntimeState state;
    FrameInput input;
    test_part part;
    state.partList[0] = &part;
    StateRecorder recorder;
    const int frames = 5;
    for (int f = 0; f < frames; ++f) {
        state.showTime = 10.0 + f * 0.5;
        part.playbackValue = f * 0.25;
        input.flagsA[f] = true;     // flag f switches on in frame f
        input.flagsB[8] = f % 2 == 1;
        input.flagsA[9] = true;     // beyond the recorded nine
        recorder.recordFrame(state, input);
    }
    ASSERT_EQ(recorder.stateStore.size(), static_cast<size_t>(frames));
    for (int f = 0; f < frames; ++f) {
        const StateSnapshot& s = recorder.stateStore[f];
        ASSERT_EQ(s.flagsA.size(), 9u);
        ASSERT_EQ(s.flagsB.size(), 9u);
        ASSERT_EQ(s.values.size(), 9u);
        EXPECT_EQ(s.time, 10.0 + f * 0.5);
        EXPECT_EQ(s.values[0], f * 0.25);
        for (int k = 1; k < 9; ++k)
            EXPECT_EQ(s.values[k], 0.0) << "empty slot " << k;
        for (int k = 0; k < 9; ++k)
            EXPECT_EQ(s.flagsA[k], k <= f && k < frames);
        EXPECT_EQ(s.flagsB[8], f % 2 == 1);
    }

    // The file: count, then per snapshot two line ends, time, element count and
    // the (value, flagA, flagB) triples each followed by a blank.
    TempFolder folder("record");
    const fs::path file = folder.path / "state.txt";
    ASSERT_TRUE(recorder.saveStates(file.string()));
    std::vector<std::string> tokens = words(readFile(file));
    ASSERT_EQ(tokens.size(), 1u + frames * (2 + 9 * 3));
    EXPECT_EQ(tokens[0], "5");

    StateRecorder one;
    one.stateStore.push_back(recorder.stateStore[1]);
    std::ostringstream text;
    StateRecorder::writeStates(text, one.stateStore);
    EXPECT_EQ(text.str(), "1\n\n\n10.5\n9\n0.25 1 0 0 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 1 ");
}

TEST(StateSnapshots, FileRoundTrip)
{
    StateRecorder recorder;
    for (int f = 0; f < 3; ++f) {
        StateSnapshot s;
        s.time = 100 + f * 1.25;
        for (int k = 0; k < 9; ++k) {
            s.flagsA.push_back((k + f) % 3 == 0);
            s.flagsB.push_back((k * f) % 2 == 1);
            s.values.push_back(k == 0 ? -0.5 * f : 0.0);
        }
        recorder.stateStore.push_back(s);
    }
    TempFolder folder("roundtrip");
    const std::string file = (folder.path / "state.txt").string();
    ASSERT_TRUE(recorder.saveStates(file));
    StateRecorder loaded;
    ASSERT_TRUE(loaded.loadStates(file));
    ASSERT_EQ(loaded.stateStore.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(loaded.stateStore[i].time, recorder.stateStore[i].time);
        EXPECT_EQ(loaded.stateStore[i].flagsA, recorder.stateStore[i].flagsA);
        EXPECT_EQ(loaded.stateStore[i].flagsB, recorder.stateStore[i].flagsB);
        EXPECT_EQ(loaded.stateStore[i].values, recorder.stateStore[i].values);
    }
}

TEST(StateSnapshots, RestoreNearest)
{
    StateRecorder recorder;
    EXPECT_FALSE(recorder.restoreNearest(25));   // empty store: nothing changes
    EXPECT_TRUE(recorder.workingState.values.empty());

    for (double t : {10.0, 20.0, 30.0}) {
        StateSnapshot s;
        s.time = t;
        s.values.assign(9, t);
        s.flagsA.assign(9, false);
        s.flagsB.assign(9, false);
        recorder.stateStore.push_back(s);
    }
    struct Row {
        double query, restored;
    };
    const Row rows[] = {{24, 20}, {26, 30}, {25, 20} /* a tie: the first wins */, {-5, 10},
                        {1000, 30} /* far from everything: still the nearest */, {15.0001, 20}};
    for (const Row& row : rows) {
        ASSERT_TRUE(recorder.restoreNearest(row.query));
        EXPECT_EQ(recorder.workingState.time, row.restored) << "query " << row.query;
        EXPECT_EQ(recorder.workingState.values[0], row.restored);
    }
}

TEST(StateSnapshots, DigitKeysApplyThePresetSnapshot)
{
    RuntimeState state;
    FrameInput input;
    test_part slot0, slot3;
    state.partList[0] = &slot0;
    state.partList[3] = &slot3;
    StateRecorder recorder;
    for (double t : {140.0, 150.0, 300.0}) {
        StateSnapshot s;
        s.time = t;
        for (int k = 0; k < 9; ++k) {
            s.flagsA.push_back(t == 150.0 && k % 2 == 0);
            s.flagsB.push_back(t == 150.0 && k == 8);
            s.values.push_back(t + k);
        }
        recorder.stateStore.push_back(s);
    }

    recorder.applyPlaybackKeys(state, input);   // no key down: nothing happens
    EXPECT_EQ(slot0.playbackValue, 0.0);

    state.keyTable['1'] = 1;                    // preset 146 s: the 150 s snapshot
    input.flagsA[20] = true;                    // outside the nine: untouched
    for (int frame = 0; frame < 3; ++frame) {   // the same while the key is held
        recorder.applyPlaybackKeys(state, input);
        EXPECT_EQ(recorder.workingState.time, 150.0);
        EXPECT_EQ(slot0.playbackValue, 150.0);
        EXPECT_EQ(slot3.playbackValue, 153.0);
        for (int k = 0; k < 9; ++k)
            EXPECT_EQ(input.flagsA[k], k % 2 == 0);
        EXPECT_TRUE(input.flagsB[8]);
        EXPECT_TRUE(input.flagsA[20]);
    }

    // Keys in order: "1" then "4" (302 s) held together leave the 300 s snapshot.
    state.keyTable['4'] = 1;
    recorder.applyPlaybackKeys(state, input);
    EXPECT_EQ(slot0.playbackValue, 300.0);
    EXPECT_FALSE(input.flagsB[8]);

    // "8" and "9" have no preset.
    state.keyTable['1'] = state.keyTable['4'] = 0;
    state.keyTable['8'] = state.keyTable['9'] = 1;
    slot0.playbackValue = -1;
    recorder.applyPlaybackKeys(state, input);
    EXPECT_EQ(slot0.playbackValue, -1.0);

    // A short snapshot applies what it holds and nothing past it; an empty store
    // applies nothing at all.
    StateRecorder shortOne;
    StateSnapshot s;
    s.time = 25;
    s.values = {7.0};
    s.flagsA = {false};
    s.flagsB = {true};
    shortOne.stateStore.push_back(s);
    state.keyTable['0'] = 1;
    input.flagsA[1] = true;
    shortOne.applyPlaybackKeys(state, input);
    EXPECT_EQ(slot0.playbackValue, 7.0);
    EXPECT_EQ(slot3.playbackValue, 300.0 + 3);
    EXPECT_FALSE(input.flagsA[0]);
    EXPECT_TRUE(input.flagsB[0]);
    EXPECT_TRUE(input.flagsA[1]);
    StateRecorder empty;
    empty.applyPlaybackKeys(state, input);
    EXPECT_EQ(slot0.playbackValue, 7.0);
}

TEST(StateSnapshots, MissingOrMalformedFileLoadsNothing)
{
    TempFolder folder("malformed");
    struct Row {
        const char* name;
        const char* text;
    };
    const Row rows[] = {
        {"empty", ""},
        {"words", "hello"},
        {"negative count", "-1\n"},
        {"short", "2\n\n\n1.5\n9\n0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 \n\n2.5\n9\n0 0 0 "},
        {"missing snapshot", "3\n\n\n1.5\n1\n0 1 1 "},
        {"flag not 0 or 1", "1\n\n\n1.5\n2\n0.5 1 0 0.5 2 0 "},
        {"fractional element count", "1\n\n\n1.5\n1.5\n0 0 0 "},
        {"negative element count", "1\n\n\n1.5\n-3\n"},
        {"huge element count", "1\n\n\n1.5\n1e300\n0 0 0 "},
        {"huge snapshot count", "2000000000\n\n\n1.5\n1\n0 0 0 "},
        {"text in a value", "1\n\n\n1.5\n1\nx 0 0 "},
    };
    for (const Row& row : rows) {
        const fs::path file = folder.path / "state.txt";
        std::ofstream(file, std::ios::binary) << row.text;
        StateRecorder recorder;
        recorder.stateStore.resize(4);   // a failed load leaves no stale snapshots
        testing::internal::CaptureStderr();
        EXPECT_FALSE(recorder.loadStates(file.string())) << row.name;
        std::string said = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(recorder.stateStore.empty()) << row.name;
        EXPECT_NE(said.find("no state snapshots loaded"), std::string::npos) << row.name << ": " << said;
    }

    StateRecorder recorder;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(recorder.loadStates((folder.path / "absent.txt").string()));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("absent.txt"), std::string::npos);

    // Well-formed files of other shapes still load: no snapshots, or fewer elements.
    std::ofstream(folder.path / "zero.txt") << "0\n";
    EXPECT_TRUE(recorder.loadStates((folder.path / "zero.txt").string()));
    EXPECT_TRUE(recorder.stateStore.empty());
    std::ofstream(folder.path / "two.txt") << "1\n\n\n12.5\n2\n0.5 1 0 0.25 0 1 ";
    ASSERT_TRUE(recorder.loadStates((folder.path / "two.txt").string()));
    ASSERT_EQ(recorder.stateStore.size(), 1u);
    EXPECT_EQ(recorder.stateStore[0].values, (std::vector<double>{0.5, 0.25}));
    EXPECT_EQ(recorder.stateStore[0].flagsB, (std::vector<bool>{false, true}));
}

// ---------------------------------------------------------------------------
// Asset report

namespace {

std::vector<TextureRecord> sampleList()
{
    return {
        {"textures/paper.jpg", 1, 64, 32, 0},
        {"textures/ant.jpg", 2, 16, 16, 0},
        {"textures/paper.jpg", 3, 64, 32, 0},   // the same file loaded twice
        {"mesh.3ds", 4, 0, 0, 1},
    };
}

} // namespace

TEST(AssetReport, SectionsSortingAndOneCopyPerFile)
{
    std::vector<TextureRecord> list = sampleList();
    std::vector<std::pair<std::string, std::string>> copies;
    std::ostringstream out;
    int listed = writeAssetReport(out, list, 1.5, "collect/",
                                  [&](const std::string& from, const std::string& to) { copies.push_back({from, to}); });
    const std::string expected =
        "\n-- JPG LIST\n"
        "textures/paper.jpg (64,32) @ 1 position. \n"
        "textures/ant.jpg (16,16) @ 2 position. \n"
        "textures/paper.jpg (64,32) @ 3 position. \n"
        "\n-- 3DS LIST\n"
        "mesh.3ds 4 position. \n"
        "\n"
        "Total : 4 files,  13056 bytes\n"
        "Loadtime :1.5\n"
        "\n"
        "-- JPG Sorted\n"
        "Name  : textures/ant.jpg\n"
        "Name  : textures/paper.jpg\n"
        "Name  : textures/paper.jpg\n"
        "\n-- JPG LIST\n"
        "Name  : textures/ant.jpg\n"
        "Name  : textures/paper.jpg\n"
        "\n-- 3DS LIST\n"
        "Name  : mesh.3ds\n"
        "\nTotal sorted : 3";
    EXPECT_EQ(out.str(), expected);
    EXPECT_EQ(listed, 3);
    const std::vector<std::pair<std::string, std::string>> expectedCopies = {
        {"textures/ant.jpg", "collect/textures/ant.jpg"},
        {"textures/paper.jpg", "collect/textures/paper.jpg"},
        {"mesh.3ds", "collect/mesh.3ds"},
    };
    EXPECT_EQ(copies, expectedCopies);
    // The texture list itself keeps its load order.
    EXPECT_EQ(list[0].name, "textures/paper.jpg");
    EXPECT_EQ(list[1].textureId, 2);
}

TEST(AssetReport, SortsByBytesShorterNameFirst)
{
    std::vector<TextureRecord> list = {{"ab", 0, 1, 1, 0}, {"a.jpg", 0, 1, 1, 0}, {"B.jpg", 0, 1, 1, 0},
                                       {"a", 0, 1, 1, 0}, {"\xe9t\xe9.jpg", 0, 1, 1, 0}};
    std::ostringstream out;
    writeAssetReport(out, list, 0, "", [](const std::string&, const std::string&) {});
    std::string text = out.str();
    size_t from = text.find("-- JPG Sorted\n");
    ASSERT_NE(from, std::string::npos);
    EXPECT_EQ(text.substr(from, text.find("\n\n", from) - from),
              "-- JPG Sorted\nName  : B.jpg\nName  : a\nName  : a.jpg\nName  : ab\nName  : \xe9t\xe9.jpg");
}

TEST(AssetReport, CopiesIntoTheCollectionFolderWithoutReplacing)
{
    TempFolder folder("report");
    const fs::path previous = fs::current_path();
    fs::current_path(folder.path);
    fs::create_directories("textures");
    std::ofstream("textures/paper.jpg") << "paper";
    std::ofstream("textures/ant.jpg") << "ant";
    fs::create_directories("collect/textures");
    std::ofstream("collect/textures/ant.jpg") << "older ant";

    std::ofstream report("report.txt");
    int listed = writeAssetReport(report, sampleList(), 0.25, "collect/");
    report.close();
    EXPECT_EQ(listed, 3);
    EXPECT_EQ(readFile("collect/textures/paper.jpg"), "paper");
    EXPECT_EQ(readFile("collect/textures/ant.jpg"), "older ant");   // existing file kept
    EXPECT_FALSE(fs::exists("collect/mesh.3ds"));                   // no such source: ignored

    // No sub-folder in the collection: that copy fails silently.
    fs::remove_all("collect");
    fs::create_directories("collect");
    std::ostringstream ignored;
    EXPECT_EQ(writeAssetReport(ignored, sampleList(), 0.25, "collect/"), 3);
    EXPECT_TRUE(fs::is_empty("collect"));
    // A report file that cannot be created still lets the copies happen.
    fs::create_directories("collect/textures");
    std::ofstream failed("/nonexistent-folder/report.txt");
    EXPECT_EQ(writeAssetReport(failed, sampleList(), 0.25, "collect/"), 3);
    EXPECT_EQ(readFile("collect/textures/paper.jpg"), "paper");
    fs::current_path(previous);
}
