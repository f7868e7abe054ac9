// The frame-time report. Each loop turn of a --benchmark run draws, when the run
// is not bare itself, first a bare frame at the scene time of the previous frame
// and then the show's own frame; both are fenced by glFinish and timed the same
// way. The bare frame is drawn into the back buffer before the show's frame covers
// all of it, so the pictures do not change; its time is taken out of the loop
// turn that the summary line counts.
#include "app/frame_report.h"

#include "gl/gl_api.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/thread_clock.h"
#include "engine/demo_context.h"
#include "engine/frame_driver.h"
#include "scene/part_start.h"
#include "scene/timeline.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
using Clock = std::chrono::steady_clock;

// Marks of one frame: its start, then the end of each step (1 + SceneStep).
constexpr int kMarks = 1 + 1 + static_cast<int>(SceneStep::final);
int markOf(SceneStep step) { return 1 + static_cast<int>(step); }

enum class PassTiming { fences, queries };

struct Timing {
    double frame = kNaN, cpu = kNaN, holes = kNaN, main = kNaN, final = kNaN;
    double mainSteps[kMainSteps];
    Timing() { std::fill(std::begin(mainSteps), std::end(mainSteps), kNaN); }
};

struct ReportState {
    FrameReportSettings settings;
    bool started = false, finished = false, announced = false;
    PassTiming timing = PassTiming::fences;
    bool everyStep = false; // fence the main pass's steps too
    GLuint queries[kMarks] = {};
    Clock::time_point marks[kMarks];
    bool marked[kMarks] = {};
    std::vector<FrameRecord> records;
    std::vector<double> frameSeconds; // loop turns of the run's own frames
    Clock::time_point lastTurn;
    bool haveLastTurn = false;
    double bareSeconds = 0; // spent on the interleaved bare frame of this turn
};

ReportState report;

double millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// A software renderer fills its tiles on worker threads after the call that
// flushes them, and its timer queries measure that, not a pass: fences there.
PassTiming choosePassTiming()
{
    if (const char* forced = std::getenv("ZUR_PASS_TIMING")) {
        if (std::strcmp(forced, "fences") == 0)
            return PassTiming::fences;
        if (std::strcmp(forced, "queries") == 0)
            return PassTiming::queries;
    }
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    const bool software = renderer && (std::strstr(renderer, "llvmpipe") || std::strstr(renderer, "softpipe") ||
                                       std::strstr(renderer, "Software") || std::strstr(renderer, "SwiftShader"));
    const bool canQuery = extensions && std::strstr(extensions, "GL_ARB_timer_query");
    return !software && canQuery ? PassTiming::queries : PassTiming::fences;
}

void announce()
{
    report.announced = true;
    report.timing = choosePassTiming();
    if (report.timing == PassTiming::queries && glGenQueries && glQueryCounter && glGetQueryObjectui64v)
        glGenQueries(kMarks, report.queries);
    else
        report.timing = PassTiming::fences;
    const char* steps = std::getenv("ZUR_BENCHMARK_STEPS");
    report.everyStep = report.timing == PassTiming::queries || (steps && std::strcmp(steps, "1") == 0);
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    std::printf("benchmark: %s frames; %s timed with %s on %s\n",
                report.settings.bare ? "bare" : "drawn and bare (interleaved)",
                report.everyStep ? "passes and the main pass's steps" : "passes",
                report.timing == PassTiming::queries ? "GL timer queries" : "glFinish fences",
                renderer ? renderer : "an unnamed renderer");
}

void mark(int index)
{
    if (report.timing == PassTiming::queries) {
        glQueryCounter(report.queries[index], GL_TIMESTAMP);
    } else {
        glFinish();
        report.marks[index] = Clock::now();
    }
    report.marked[index] = true;
}

void afterStep(SceneStep step)
{
    const bool pass = step == SceneStep::holes || step == SceneStep::main || step == SceneStep::final;
    if (pass || report.everyStep)
        mark(markOf(step));
}

// Runs one frame between fences and times it, pass by pass where it marks them.
template <typename Body>
Timing timeFrame(Body&& body)
{
    std::fill(std::begin(report.marked), std::end(report.marked), false);
    glFinish();
    const double cpuFrom = threadCpuSeconds();
    const Clock::time_point from = Clock::now();
    mark(0);
    body();
    glFinish();
    Timing timing;
    timing.frame = millis(Clock::now() - from);
    timing.cpu = 1000 * (threadCpuSeconds() - cpuFrom);
    // Milliseconds of every mark since the first.
    double at[kMarks];
    GLuint64 first = 0;
    for (int i = 0; i < kMarks; ++i) {
        at[i] = kNaN;
        if (!report.marked[i])
            continue;
        if (report.timing == PassTiming::queries) {
            GLuint64 stamp = 0;
            glGetQueryObjectui64v(report.queries[i], GL_QUERY_RESULT, &stamp);
            if (i == 0)
                first = stamp;
            at[i] = static_cast<double>(stamp - first) * 1e-6;
        } else {
            at[i] = millis(report.marks[i] - report.marks[0]);
        }
    }
    const int holes = markOf(SceneStep::holes), main = markOf(SceneStep::main), final = markOf(SceneStep::final);
    timing.holes = at[holes] - at[0];
    timing.main = at[main] - at[holes];
    timing.final = at[final] - at[main];
    // Each step of the main pass takes from the step before it; the resolve is
    // what the main pass takes after its last step.
    int previous = holes;
    for (int i = markOf(SceneStep::strokes); i <= markOf(SceneStep::pencil); ++i) {
        if (!report.marked[i])
            continue;
        timing.mainSteps[i - markOf(SceneStep::strokes)] = at[i] - at[previous];
        previous = i;
    }
    if (previous != holes)
        timing.mainSteps[kMainSteps - 1] = at[main] - at[previous];
    return timing;
}

void atExit() { finishFrameReport(); }

std::string format(const char* pattern, double a)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, a);
    return text;
}

// "  12.34" or "      -" for a value that is not a number.
std::string cell(double value, int width = 7)
{
    if (std::isnan(value))
        return std::string(static_cast<size_t>(width - 1), ' ') + "-";
    char text[32];
    std::snprintf(text, sizeof text, "%*.*f", width, value >= 100 ? 1 : 2, value);
    return text;
}

std::string spreadCells(const Spread& s) { return cell(s.median) + cell(s.p99) + cell(s.worst); }

std::string padded(const std::string& text, size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

// Words of text in lines of fewer than width characters, each line ended.
std::string wrapped(const std::string& text, size_t width)
{
    std::string out, line;
    size_t from = 0;
    while (from < text.size()) {
        const size_t end = std::min(text.find(' ', from), text.size());
        const std::string word = text.substr(from, end - from);
        if (!line.empty() && line.size() + 1 + word.size() >= width) {
            out += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        from = end + 1;
    }
    return out + line + "\n";
}

// The section table's title, with each section's start from the timeline.
std::string sectionTableTitle()
{
    std::string text = "frame times in ms by section (scene seconds from:";
    for (const TimelineRow& row : kTimeline)
        text += std::string(" ") + row.name + " " + format("%g", row.fromSeconds) + ",";
    text.back() = ')';
    text += "; ratio = drawn / bare, of the medians and of the 99th percentiles, and";
    return wrapped(text, 100) + "paired: the median of each frame's ratio to the bare frame drawn beside it\n";
}

// The frames of each section, then those of the whole run.
using FrameGroups = std::vector<std::vector<const FrameRecord*>>;

FrameGroups groupBySection(const std::vector<FrameRecord>& records)
{
    FrameGroups groups(frameSections().size() + 1);
    for (const FrameRecord& r : records) {
        groups[static_cast<size_t>(sectionOf(r.sceneTime))].push_back(&r);
        groups.back().push_back(&r);
    }
    return groups;
}

std::string groupName(size_t group)
{
    const std::vector<FrameSection>& sections = frameSections();
    return group < sections.size() ? std::string(sections[group].name) : std::string("whole run");
}

Spread column(const std::vector<const FrameRecord*>& group, double FrameRecord::*field)
{
    std::vector<double> values;
    values.reserve(group.size());
    for (const FrameRecord* r : group)
        values.push_back(r->*field);
    return spreadOf(values);
}

const std::string kThreeCells = "    med    p99  worst";

// Drawn and bare frames side by side, with their ratios.
std::string frameTimeRows(const FrameGroups& groups)
{
    std::string out = padded("section", 20) + "frames  drawn frame          bare frame           ratio\n";
    out += padded("", 26) + kThreeCells + kThreeCells + "    med    p99 paired\n";
    for (size_t i = 0; i < groups.size(); ++i) {
        if (groups[i].empty())
            continue;
        const Spread drawn = column(groups[i], &FrameRecord::frame);
        const Spread bare = column(groups[i], &FrameRecord::bareFrame);
        char count[16];
        std::snprintf(count, sizeof count, "%6zu", groups[i].size());
        std::vector<double> paired;
        for (const FrameRecord* r : groups[i])
            paired.push_back(r->frame / r->bareFrame);
        out += padded(groupName(i), 20) + count + spreadCells(drawn) + spreadCells(bare) +
               cell(drawn.median / bare.median) + cell(drawn.p99 / bare.p99) + cell(spreadOf(paired).median) + "\n";
    }
    return out;
}

// The thread's CPU time, the stroke making and the three passes.
std::string passTimeRows(const FrameGroups& groups)
{
    std::string out = padded("section", 20) +
                      "cpu of the thread     strokes              holes pass           main pass            final\n";
    out += padded("", 20) + kThreeCells + kThreeCells + kThreeCells + kThreeCells + kThreeCells + "\n";
    for (size_t i = 0; i < groups.size(); ++i) {
        if (groups[i].empty())
            continue;
        out += padded(groupName(i), 20) + spreadCells(column(groups[i], &FrameRecord::cpu)) +
               spreadCells(column(groups[i], &FrameRecord::strokes)) +
               spreadCells(column(groups[i], &FrameRecord::holes)) +
               spreadCells(column(groups[i], &FrameRecord::main)) +
               spreadCells(column(groups[i], &FrameRecord::final)) + "\n";
    }
    return out;
}

// The main pass step by step, when it was timed so: medians.
std::string mainStepRows(const FrameGroups& groups)
{
    std::string out = padded("main pass, medians", 20);
    for (const char* step : kMainStepNames)
        out += std::string(step).insert(0, 9 - std::min<size_t>(9, std::strlen(step)), ' ');
    out += "\n";
    for (size_t i = 0; i < groups.size(); ++i) {
        if (groups[i].empty())
            continue;
        out += padded(groupName(i), 20);
        for (int k = 0; k < kMainSteps; ++k) {
            std::vector<double> values;
            for (const FrameRecord* r : groups[i])
                values.push_back(r->mainSteps[k]);
            out += cell(spreadOf(values).median, 9);
        }
        out += "\n";
    }
    return out;
}

} // namespace

const char* const kMainStepNames[kMainSteps] = {"strokes", "clear",  "dust",   "figures", "paper",
                                                 "tendrils", "lines", "pencil", "resolve"};

FrameRecord::FrameRecord()
    : frame(kNaN), cpu(kNaN), strokes(kNaN), holes(kNaN), main(kNaN), final(kNaN), bareFrame(kNaN), bareCpu(kNaN),
      bareHoles(kNaN), bareMain(kNaN), bareFinal(kNaN), strokePoints(kNaN), linePoints(kNaN)
{
    std::fill(std::begin(mainSteps), std::end(mainSteps), kNaN);
}

const std::vector<FrameSection>& frameSections()
{
    static const std::vector<FrameSection> sections = [] {
        std::vector<FrameSection> rows;
        for (const TimelineRow& row : kTimeline)
            rows.push_back({row.name, row.fromSeconds});
        return rows;
    }();
    return sections;
}

int sectionOf(double sceneTime)
{
    const std::vector<FrameSection>& sections = frameSections();
    int index = 0;
    for (size_t i = 0; i < sections.size(); ++i)
        if (sceneTime >= sections[i].fromSceneTime)
            index = static_cast<int>(i);
    return index;
}

Spread spreadOf(std::vector<double> values)
{
    values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return std::isnan(v); }), values.end());
    Spread s;
    s.count = static_cast<int>(values.size());
    if (values.empty()) {
        s.median = s.p99 = s.worst = kNaN;
        return s;
    }
    std::sort(values.begin(), values.end());
    auto at = [&](double q) { return values[std::min(values.size() - 1, static_cast<size_t>(q * values.size()))]; };
    s.median = at(0.5);
    s.p99 = at(0.99);
    s.worst = values.back();
    return s;
}

std::string summaryLine(const std::vector<double>& frameSeconds)
{
    if (frameSeconds.empty())
        return "";
    std::vector<double> sorted = frameSeconds;
    std::sort(sorted.begin(), sorted.end());
    double total = 0;
    for (double v : sorted)
        total += v;
    auto at = [&](double q) { return sorted[std::min(sorted.size() - 1, static_cast<size_t>(q * sorted.size()))]; };
    char line[256];
    std::snprintf(line, sizeof line,
                  "benchmark: %zu frames, mean %.2f ms (%.1f fps), median %.2f ms, 95th %.2f ms, worst %.2f ms",
                  sorted.size(), 1000 * total / sorted.size(), sorted.size() / total, 1000 * at(0.5),
                  1000 * at(0.95), 1000 * sorted.back());
    return line;
}

std::string csvHeader()
{
    std::string header = "show_s,scene_s,section,frame_ms,cpu_ms,strokes_ms,holes_ms,main_ms,final_ms,"
                         "bare_frame_ms,bare_cpu_ms,bare_holes_ms,bare_main_ms,bare_final_ms";
    for (const char* step : kMainStepNames)
        header += std::string(",main_") + step + "_ms";
    return header + ",stroke_points,line_points";
}

std::string csvRow(const FrameRecord& r)
{
    std::string row = format("%.4f", r.showTime) + "," + format("%.4f", r.sceneTime) + "," +
                      frameSections()[static_cast<size_t>(sectionOf(r.sceneTime))].name;
    std::vector<double> values = {r.frame,     r.cpu,     r.strokes,   r.holes,    r.main,     r.final,
                                  r.bareFrame, r.bareCpu, r.bareHoles, r.bareMain, r.bareFinal};
    values.insert(values.end(), std::begin(r.mainSteps), std::end(r.mainSteps));
    for (double v : values) {
        row += ',';
        if (!std::isnan(v))
            row += format("%.3f", v);
    }
    for (double v : {r.strokePoints, r.linePoints}) {
        row += ',';
        if (!std::isnan(v))
            row += format("%.0f", v);
    }
    return row;
}

std::string sectionTable(const std::vector<FrameRecord>& records)
{
    const FrameGroups groups = groupBySection(records);
    std::string out = sectionTableTitle() + frameTimeRows(groups) + '\n' + passTimeRows(groups);
    bool anySteps = false;
    for (const FrameRecord& r : records)
        anySteps = anySteps || !std::isnan(r.mainSteps[0]);
    return anySteps ? out + '\n' + mainStepRows(groups) : out;
}

void startFrameReport(const FrameReportSettings& settings)
{
    report = ReportState();
    report.settings = settings;
    report.started = true;
    std::atexit(atExit);
}

bool frameReportActive() { return report.started && !report.finished; }

bool runReportedFrame()
{
    // Frames before --start only move the show's state: neither timed nor shown,
    // and no bare frame beside them.
    if (showStartPending()) {
        report.haveLastTurn = false;
        return runFrame();
    }
    const Clock::time_point turn = Clock::now();
    if (report.haveLastTurn)
        report.frameSeconds.push_back(std::chrono::duration<double>(turn - report.lastTurn).count() -
                                      report.bareSeconds);
    report.lastTurn = turn;
    report.haveLastTurn = true;
    report.bareSeconds = 0;
    if (!report.announced)
        announce();

    part_start* scene = dynamic_cast<part_start*>(runtimeState.partList[0]);
    if (scene)
        scene->afterStep = afterStep;

    FrameRecord record;
    if (scene && !report.settings.bare) {
        const Clock::time_point bareFrom = Clock::now();
        const Timing bare = timeFrame([&] { scene->drawBareFrame(demoContext); });
        report.bareSeconds = std::chrono::duration<double>(Clock::now() - bareFrom).count();
        record.bareFrame = bare.frame;
        record.bareCpu = bare.cpu;
        record.bareHoles = bare.holes;
        record.bareMain = bare.main;
        record.bareFinal = bare.final;
    }
    bool goOn = true;
    if (scene)
        scene->strokeSeconds = kNaN;
    // A frame that ends the show does not come back from here: it is not counted.
    const Timing drawn = timeFrame([&] { goOn = runFrame(); });
    record.showTime = runtimeState.showTime;
    record.sceneTime = scene ? scene->sceneTime : runtimeState.showTime;
    record.frame = drawn.frame;
    record.cpu = drawn.cpu;
    record.strokes = scene ? 1000 * scene->strokeSeconds : kNaN;
    if (scene && !report.settings.bare) {
        record.strokePoints = static_cast<double>(scene->strokePoints);
        record.linePoints = static_cast<double>(scene->linePoints);
    }
    record.holes = drawn.holes;
    record.main = drawn.main;
    record.final = drawn.final;
    std::copy(std::begin(drawn.mainSteps), std::end(drawn.mainSteps), std::begin(record.mainSteps));
    report.records.push_back(record);
    return goOn;
}

bool finishFrameReport()
{
    if (!report.started || report.finished)
        return true;
    report.finished = true;
    bool csvWritten = true;
    if (!report.settings.csvFile.empty()) {
        if (std::FILE* f = std::fopen(report.settings.csvFile.c_str(), "w")) {
            std::fprintf(f, "%s\n", csvHeader().c_str());
            for (const FrameRecord& r : report.records)
                std::fprintf(f, "%s\n", csvRow(r).c_str());
            bool written = std::fflush(f) == 0 && !std::ferror(f);
            written = std::fclose(f) == 0 && written;
            if (written)
                std::printf("benchmark: %zu frames written to %s\n", report.records.size(),
                            report.settings.csvFile.c_str());
            else
                std::fprintf(stderr, "benchmark: cannot write %s\n", report.settings.csvFile.c_str());
            csvWritten = written;
        } else {
            std::fprintf(stderr, "benchmark: cannot write %s\n", report.settings.csvFile.c_str());
            csvWritten = false;
        }
    }
    if (!report.records.empty())
        std::fputs(sectionTable(report.records).c_str(), stdout);
    const std::string summary = summaryLine(report.frameSeconds);
    if (!summary.empty())
        std::printf("%s\n", summary.c_str());
    std::fflush(stdout);
    return csvWritten;
}
