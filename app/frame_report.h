// The frame-time report of --benchmark: every frame timed as a whole and pass by
// pass (GL timer queries, or glFinish fences on a software renderer, which cannot
// time its own passes), with the stroke generation and the CPU time of the
// program's thread; a bare frame (nothing drawn inside the holes layer and the
// main pass) is interleaved with the drawn ones so both come from one run. At exit
// it writes the rows as CSV, prints a table by timeline section and, last, the
// one-line summary that scripts read.
#pragma once
#include <string>
#include <vector>

struct FrameReportSettings {
    bool bare = false;   // --bare: the run's own frames are bare, none are interleaved
    std::string csvFile; // --benchmark FILE.csv; empty: no CSV
};

// Starts the report (call before the capture starts, so its summary comes last).
void startFrameReport(const FrameReportSettings& settings);
bool frameReportActive();
// The frame driver's runFrame inside the report's timing.
bool runReportedFrame();
// Writes the CSV and prints the table and the summary; runs by itself at exit if
// not called. False when the CSV file asked for could not be written.
bool finishFrameReport();

// ---------------------------------------------------------------------------
// The pure parts, for tests and tools.

// The main pass step by step (with ZUR_BENCHMARK_STEPS=1 on a renderer timed
// with fences, always with timer queries): the stroke making as issued, camera
// and clear, dust, figures, paper, tendrils and ants, stroke lines, pencil, and
// the resolve.
constexpr int kMainSteps = 9;
extern const char* const kMainStepNames[kMainSteps];

// One frame in milliseconds; a value that was not measured is NaN (an empty CSV
// field). The bare columns belong to the bare frame interleaved before it.
struct FrameRecord {
    double showTime = 0, sceneTime = 0;
    double frame, cpu, strokes, holes, main, final;
    double bareFrame, bareCpu, bareHoles, bareMain, bareFinal;
    double mainSteps[kMainSteps];
    double strokePoints, linePoints; // made and drawn as the stroke line
    FrameRecord();
};

// Timeline sections by scene time: each holds from its start to the next one's.
struct FrameSection {
    const char* name;
    double fromSceneTime;
};
const std::vector<FrameSection>& frameSections();
int sectionOf(double sceneTime);

// Median, 99th percentile and worst of the values that are numbers (nearest rank
// below, as the summary line counts them); all NaN when there are none.
struct Spread {
    int count = 0;
    double median, p99, worst;
};
Spread spreadOf(std::vector<double> values);

// "benchmark: N frames, mean … ms (… fps), median … ms, 95th … ms, worst … ms".
std::string summaryLine(const std::vector<double>& frameSeconds);
std::string csvHeader();
std::string csvRow(const FrameRecord& record);
// The table by section (and the whole run), bare frame and ratio beside the drawn one.
std::string sectionTable(const std::vector<FrameRecord>& records);
