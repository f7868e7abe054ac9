// frameplot: draws the CSV of `zoduv --benchmark FILE.csv` as a PNG: every frame's
// time over show time as dots and a running median (the drawn frame dark, the
// bare frame interleaved with it blue), the 16.7 ms line of 60 frames a second and the section boundaries with
// their names.
//
//   frameplot REPORT.csv OUTPUT.png [--width 1600] [--height 560] [--title TEXT]
#include "formats/png_write.h"
#include "tools/common/pixel_text.h"


#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kLeft = 64, kRight = 16, kTop = 64, kBottom = 40; // margins in pixels
constexpr double kSixtyHzMs = 1000.0 / 60.0;

struct Rgb {
    uint8_t r, g, b;
};
const Rgb kPaper{250, 249, 244}, kInk{150, 150, 160}, kBare{170, 205, 235}, kInkLine{20, 24, 48},
    kBareLine{40, 110, 200}, kGrid{222, 220, 212},
    kBoundary{160, 156, 146}, kSixtyHz{200, 40, 40}, kText{40, 40, 40};

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    void put(int x, int y, Rgb c)
    {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return;
        uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        p[0] = c.r, p[1] = c.g, p[2] = c.b;
    }
    void text(int x, int y, const std::string& s, int scale, Rgb c)
    {
        pixel_text::draw(x, y, s, scale, [&](int px, int py) { put(px, py, c); });
    }
};

struct Row {
    double show;
    std::string section;
    double frame, bare; // NaN when empty
};

std::vector<std::string> splitCsv(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, ',');)
        fields.push_back(field);
    if (!line.empty() && line.back() == ',')
        fields.emplace_back();
    return fields;
}

double number(const std::string& field) { return field.empty() ? NAN : std::atof(field.c_str()); }

bool readReport(const std::string& path, std::vector<Row>& rows, std::string& error)
{
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) {
        error = "cannot read " + path;
        return false;
    }
    const std::vector<std::string> header = splitCsv(line);
    auto column = [&](const char* name) {
        auto at = std::find(header.begin(), header.end(), name);
        return at == header.end() ? -1 : static_cast<int>(at - header.begin());
    };
    const int show = column("show_s"), section = column("section"), frame = column("frame_ms"),
              bare = column("bare_frame_ms");
    if (show < 0 || section < 0 || frame < 0 || bare < 0) {
        error = path + " is not a frame report (show_s, section, frame_ms, bare_frame_ms)";
        return false;
    }
    while (std::getline(in, line)) {
        const std::vector<std::string> f = splitCsv(line);
        if (static_cast<int>(f.size()) != static_cast<int>(header.size()))
            continue;
        rows.push_back({number(f[show]), f[section], number(f[frame]), number(f[bare])});
    }
    if (rows.empty()) {
        error = path + " holds no frames";
        return false;
    }
    return true;
}

// The value below which the given share of the numbers lie.
double quantile(std::vector<double> values, double q)
{
    values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return std::isnan(v); }), values.end());
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(q * values.size()))];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: frameplot REPORT.csv OUTPUT.png [--width W] [--height H] [--title TEXT]\n");
        return 2;
    }
    const std::string input = argv[1], output = argv[2];
    int width = 1600, height = 560;
    std::string title;
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        if (opt == "--width") {
            width = std::atoi(argv[i + 1]);
        } else if (opt == "--height") {
            height = std::atoi(argv[i + 1]);
        } else if (opt == "--title") {
            title = argv[i + 1];
        } else {
            std::fprintf(stderr, "frameplot: unknown option %s\n", opt.c_str());
            return 2;
        }
    }
    if (width < kLeft + kRight + 200 || height < kTop + kBottom + 100 || width > 20000 || height > 20000) {
        std::fprintf(stderr, "frameplot: size %d x %d out of range\n", width, height);
        return 2;
    }
    std::vector<Row> rows;
    std::string error;
    if (!readReport(input, rows, error)) {
        std::fprintf(stderr, "frameplot: %s\n", error.c_str());
        return 1;
    }

    Image img;
    img.width = width;
    img.height = height;
    img.rgb.resize(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            img.put(x, y, kPaper);
    const int plotW = width - kLeft - kRight, plotH = height - kTop - kBottom;

    // Axes: show time from 0 to the last frame; milliseconds up to a round value
    // above nearly every frame (the few slow start-up frames are clipped).
    const double showEnd = std::max(rows.back().show, 1.0);
    std::vector<double> all;
    for (const Row& r : rows)
        all.push_back(std::isnan(r.frame) ? r.bare : r.frame);
    const double top = std::max(25.0, std::ceil(quantile(all, 0.995) * 1.1 / 10) * 10);
    auto xOf = [&](double show) { return kLeft + static_cast<int>(std::lround(show / showEnd * (plotW - 1))); };
    auto yOf = [&](double ms) { return kTop + plotH - 1 - static_cast<int>(std::lround(ms / top * (plotH - 1))); };

    const double gridStep = top <= 50 ? 5 : (top <= 150 ? 10 : 50);
    for (double ms = 0; ms <= top + 1e-9; ms += gridStep) {
        const int y = yOf(ms);
        for (int x = kLeft; x < kLeft + plotW; ++x)
            img.put(x, y, kGrid);
        const std::string label = std::to_string(static_cast<int>(ms));
        img.text(kLeft - 8 - pixel_text::width(label, 2), y - 5, label, 2, kText);
    }
    img.text(8, kTop - 14, "ms", 2, kText);
    const double timeStep = showEnd > 120 ? 20 : (showEnd > 40 ? 10 : (showEnd > 10 ? 2 : 1));
    for (double t = 0; t <= showEnd + 1e-9; t += timeStep) {
        const std::string label = std::to_string(static_cast<int>(t));
        img.text(xOf(t) - pixel_text::width(label, 2) / 2, kTop + plotH + 8, label, 2, kText);
    }
    img.text(kLeft + plotW - pixel_text::width("show time s", 2), kTop + plotH + 24, "show time s", 2, kText);

    // Section boundaries, names on three staggered rows so short sections fit.
    int labelRow = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i > 0 && rows[i].section == rows[i - 1].section)
            continue;
        const int x = xOf(rows[i].show);
        if (i > 0)
            for (int y = kTop - 6 + 12 * labelRow; y < kTop + plotH; y += 2)
                img.put(x, y, kBoundary);
        img.text(x + 3, kTop - 34 + 12 * labelRow, rows[i].section, 2, kText);
        labelRow = (labelRow + 1) % 3;
    }

    // 60 frames a second.
    for (int x = kLeft; x < kLeft + plotW; x += 6)
        for (int dx = 0; dx < 4; ++dx) {
            img.put(x + dx, yOf(kSixtyHzMs), kSixtyHz);
            img.put(x + dx, yOf(kSixtyHzMs) + 1, kSixtyHz);
        }

    // Frames: bare first, drawn over it; 2 x 2 dots, clipped at the top.
    for (int pass = 0; pass < 2; ++pass) {
        for (const Row& r : rows) {
            const double ms = pass == 0 ? r.bare : r.frame;
            if (std::isnan(ms))
                continue;
            const int x = xOf(r.show), y = std::max(kTop, yOf(std::min(ms, top)));
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx)
                    img.put(x + dx, y + dy, pass == 0 ? kBare : kInk);
        }
    }

    // Running medians over 21 frames, which show the trend through the scatter.
    for (int pass = 0; pass < 2; ++pass) {
        int lastX = -1, lastY = -1;
        for (size_t i = 0; i < rows.size(); ++i) {
            std::vector<double> window;
            for (size_t j = i >= 10 ? i - 10 : 0; j < std::min(rows.size(), i + 11); ++j)
                window.push_back(pass == 0 ? rows[j].bare : rows[j].frame);
            const double ms = quantile(window, 0.5);
            if (ms <= 0)
                continue;
            const int x = xOf(rows[i].show), y = std::max(kTop, yOf(std::min(ms, top)));
            // Vertical runs join the points, so steep changes stay connected.
            if (lastX >= 0)
                for (int yy = std::min(y, lastY); yy <= std::max(y, lastY); ++yy)
                    for (int dx = 0; dx < 2; ++dx)
                        img.put(x + dx, yy, pass == 0 ? kBareLine : kInkLine);
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx)
                    img.put(x + dx, y + dy, pass == 0 ? kBareLine : kInkLine);
            lastX = x, lastY = y;
        }
    }

    // Legend and title.
    int lx = kLeft + plotW - 520;
    const int ly = 8;
    auto key = [&](Rgb c, const std::string& text) {
        for (int dy = 0; dy < 8; ++dy)
            for (int dx = 0; dx < 14; ++dx)
                img.put(lx + dx, ly + dy, c);
        img.text(lx + 20, ly, text, 2, kText);
        lx += 20 + pixel_text::width(text, 2) + 24;
    };
    key(kInkLine, "drawn frame");
    key(kBareLine, "bare frame");
    key(kSixtyHz, "16.7 ms (60 fps)");
    if (!title.empty())
        img.text(kLeft, 8, title, 2, kText);

    if (!writeRgbPng(output, img.width, img.height, img.rgb.data(), false)) {
        std::fprintf(stderr, "frameplot: cannot write %s\n", output.c_str());
        return 1;
    }
    return 0;
}
