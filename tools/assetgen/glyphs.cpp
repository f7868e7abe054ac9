// Single-stroke letters: only the ones the show writes, drawn as a pen would.
#include "tools/assetgen/glyphs.h"

#include <cmath>

namespace {

using Line = std::vector<V3>;

Line arc(double cx, double cy, double rx, double ry, double a0, double a1, int steps)
{
    Line l;
    for (int i = 0; i <= steps; ++i) {
        double a = (a0 + (a1 - a0) * i / steps) * M_PI / 180.0;
        l.push_back(v3(cx + rx * std::cos(a), cy + ry * std::sin(a), 0));
    }
    return l;
}

Line join(Line a, const Line& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Line pts(std::initializer_list<std::pair<double, double>> p)
{
    Line l;
    for (auto [x, y] : p)
        l.push_back(v3(x, y, 0));
    return l;
}

struct Letter {
    std::vector<Line> lines;
    double advance;
};

Letter letter(char c)
{
    const double xh = 0.62; // x-height
    switch (c) {
    case 'Z': return {{pts({{0.06, 1.0}, {0.66, 1.0}, {0.04, 0.0}, {0.70, 0.0}})}, 0.78};
    case 'A': return {{pts({{0.0, 0.0}, {0.37, 1.0}, {0.74, 0.0}}), pts({{0.15, 0.38}, {0.59, 0.38}})}, 0.80};
    case 'o': {
        Line o = arc(0.30, xh / 2, 0.28, xh / 2, 90, 450, 10);
        o.back() = o.front();
        return {{o}, 0.66};
    }
    case 'd':
        // The bowl starts and ends on the stem: a bowl that stops short of it
        // reads as "cl".
        return {{join(pts({{0.58, 0.50}}), join(arc(0.30, xh / 2, 0.27, xh / 2, 50, 310, 6), pts({{0.58, 0.10}}))),
                 pts({{0.58, 1.0}, {0.58, 0.0}})},
                0.72};
    case 'u':
        return {{join(pts({{0.05, xh}}), arc(0.30, 0.25, 0.25, 0.25, 180, 360, 6)),
                 pts({{0.55, xh}, {0.55, 0.0}})},
                0.68};
    case 'v': return {{pts({{0.0, xh}, {0.30, 0.0}, {0.60, xh}})}, 0.64};
    case 'z': return {{pts({{0.05, xh}, {0.52, xh}, {0.04, 0.0}, {0.56, 0.0}})}, 0.62};
    case 'i': return {{pts({{0.10, xh}, {0.10, 0.0}}), pts({{0.10, 0.80}, {0.10, 0.90}})}, 0.30};
    case 'r':
        return {{pts({{0.07, xh}, {0.07, 0.0}}), pts({{0.07, 0.36}, {0.14, 0.52}, {0.26, 0.61}, {0.42, 0.60}})},
                0.48};
    case 't':
        return {{pts({{0.20, 0.92}, {0.20, 0.10}, {0.27, 0.01}, {0.40, 0.02}}), pts({{0.02, xh}, {0.42, xh}})},
                0.46};
    case 'h':
        return {{pts({{0.06, 1.0}, {0.06, 0.0}}),
                 join(pts({{0.06, 0.40}}), join(arc(0.31, 0.38, 0.24, 0.24, 160, 0, 5), pts({{0.55, 0.0}})))},
                0.68};
    case 'n':
        return {{pts({{0.06, xh}, {0.06, 0.0}}),
                 join(pts({{0.06, 0.40}}), join(arc(0.31, 0.38, 0.24, 0.24, 160, 0, 5), pts({{0.55, 0.0}})))},
                0.68};
    case 'e':
        return {{join(pts({{0.05, 0.33}}), arc(0.30, xh / 2, 0.27, xh / 2, 0, 320, 9))}, 0.64};
    default: return {{}, 0.40};
    }
}

} // namespace

std::vector<std::vector<V3>> letterStrokes(const std::string& text, double slant, double* width)
{
    std::vector<Line> out;
    double x = 0;
    for (char c : text) {
        Letter l = letter(c);
        for (Line line : l.lines) {
            for (V3& p : line)
                p = v3(p.x + x + slant * p.y, p.y, 0);
            out.push_back(line);
        }
        x += l.advance + (c == ' ' ? 0.0 : 0.10);
    }
    if (width)
        *width = x;
    return out;
}
