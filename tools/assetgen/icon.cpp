// The program's icon for desktop menus, in the sizes the hicolor theme looks for:
// a sheet of the show's paper with a "Z" sketched in graphite and the show's green
// pencil resting on the end of the stroke. RGBA PNG, transparent around the sheet.
// Drawn from the textures' own pictures (textures.h), 4 x 4 samples a pixel.
#include "tools/assetgen/asset_registry.h"

#include "tools/assetgen/image_kit.h"
#include "tools/assetgen/mesh_kit.h"
#include "tools/assetgen/textures.h"

#include <algorithm>
#include <cmath>

namespace {

const int kIconSizes[] = {32, 48, 64, 128, 256};

// Layout in a unit square, y up. The sheet with rounded corners:
constexpr double kSheetMargin = 0.06, kSheetCorner = 0.07;
// The paper's grain at this many texels a unit (the tile is 576 x 1024).
constexpr double kPaperTexelsPerUnit = 420;
// The sketched Z, three strokes, each drawn twice a little apart as a quick sketch
// is; the last one ends under the pencil's tip.
struct Stroke {
    double ax, ay, bx, by;
};
constexpr Stroke kLetter[] = {
    {0.17, 0.80, 0.60, 0.83}, // top bar
    {0.60, 0.83, 0.20, 0.42}, // diagonal
    {0.20, 0.42, 0.50, 0.40}, // bottom bar
};
constexpr double kStrokeHalfWidth = 0.014, kSketchHalfWidth = 0.008;
constexpr double kSketchOffsetX = 0.012, kSketchOffsetY = -0.010;
constexpr float kGraphite[3] = {0.10f, 0.10f, 0.11f};
// The pencil: its tip at the end of the Z, its body running to the lower right as
// in the show, 0.1 of the icon wide (the picture's body is 46 texels wide).
constexpr double kTipX = 0.50, kTipY = 0.40;
constexpr double kPencilDirectionDegrees = -52;
constexpr double kPencilTexelsPerUnit = 46 / 0.10;

struct Art {
    Image paper{1, 1, 0, 0, 0};
    Image pencil{1, 1, 0, 0, 0};
    Image mask{1, 1, 0, 0, 0};
};

const Art& art()
{
    static const Art pictures = [] {
        Art a;
        a.paper = paperPicture();
        pencilPicture(a.pencil, a.mask);
        return a;
    }();
    return pictures;
}

// Bilinear sample at texel coordinates; `wrap` tiles the picture, otherwise
// outside it is black (no cover for a mask).
void sample(const Image& img, double x, double y, bool wrap, float out[3])
{
    x -= 0.5;
    y -= 0.5;
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    out[0] = out[1] = out[2] = 0;
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i) {
            int px = x0 + i, py = y0 + j;
            if (wrap) {
                px = ((px % img.w) + img.w) % img.w;
                py = ((py % img.h) + img.h) % img.h;
            } else if (px < 0 || py < 0 || px >= img.w || py >= img.h) {
                continue;
            }
            const double weight = (i ? fx : 1 - fx) * (j ? fy : 1 - fy);
            for (int c = 0; c < 3; ++c)
                out[c] += static_cast<float>(weight * img.at(px, py)[c]);
        }
}

double segmentDistance(double x, double y, double ax, double ay, double bx, double by)
{
    const double vx = bx - ax, vy = by - ay;
    const double h = std::clamp(((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy), 0.0, 1.0);
    return std::hypot(x - ax - vx * h, y - ay - vy * h);
}

// Premultiplied colour and cover of the icon at a point of the unit square.
void shade(double x, double y, double rgba[4])
{
    const Art& a = art();
    rgba[0] = rgba[1] = rgba[2] = rgba[3] = 0;
    const double inner = 0.5 - kSheetMargin - kSheetCorner;
    const double dx = std::max(std::fabs(x - 0.5) - inner, 0.0), dy = std::max(std::fabs(y - 0.5) - inner, 0.0);
    if (std::hypot(dx, dy) <= kSheetCorner) {
        float paper[3];
        sample(a.paper, x * kPaperTexelsPerUnit, y * kPaperTexelsPerUnit, true, paper);
        double ink = 0;
        for (const Stroke& s : kLetter) {
            if (segmentDistance(x, y, s.ax, s.ay, s.bx, s.by) < kStrokeHalfWidth)
                ink = std::max(ink, 0.85);
            if (segmentDistance(x, y, s.ax + kSketchOffsetX, s.ay + kSketchOffsetY, s.bx + kSketchOffsetX,
                                s.by + kSketchOffsetY) < kSketchHalfWidth)
                ink = std::max(ink, 0.45);
        }
        // Graphite catches on the paper's tooth: uneven, as pencil lines are.
        ink *= 0.7 + 0.3 * tileNoise(x * 160, y * 160, 160, 160, 77);
        for (int c = 0; c < 3; ++c)
            rgba[c] = paper[c] * (1 - ink) + kGraphite[c] * ink;
        rgba[3] = 1;
    }
    // Into the pencil picture: turned from the icon's direction to the picture's,
    // about the tip.
    const double turn = (kPencilAngleDegrees - kPencilDirectionDegrees) * M_PI / 180.0;
    const double vx = x - kTipX, vy = y - kTipY;
    const double px = (vx * std::cos(turn) - vy * std::sin(turn)) * kPencilTexelsPerUnit;
    const double py = (vx * std::sin(turn) + vy * std::cos(turn)) * kPencilTexelsPerUnit;
    float cover[3], colour[3];
    sample(a.mask, kPencilTipU * a.mask.w + px, kPencilTipV * a.mask.h + py, false, cover);
    if (cover[0] <= 0)
        return;
    sample(a.pencil, kPencilTipU * a.pencil.w + px, kPencilTipV * a.pencil.h + py, false, colour);
    const double m = std::clamp(static_cast<double>(cover[0]), 0.0, 1.0);
    for (int c = 0; c < 3; ++c)
        rgba[c] = colour[c] * m + rgba[c] * (1 - m);
    rgba[3] = m + rgba[3] * (1 - m);
}

std::vector<uint8_t> iconPng(int size)
{
    constexpr int kSamples = 4;
    std::vector<uint8_t> rgba(4 * static_cast<size_t>(size) * size);
    for (int row = 0; row < size; ++row)
        for (int col = 0; col < size; ++col) {
            double sum[4] = {0, 0, 0, 0};
            for (int j = 0; j < kSamples; ++j)
                for (int i = 0; i < kSamples; ++i) {
                    double one[4];
                    shade((col + (i + 0.5) / kSamples) / size, 1 - (row + (j + 0.5) / kSamples) / size, one);
                    for (int c = 0; c < 4; ++c)
                        sum[c] += one[c];
                }
            uint8_t* out = &rgba[4 * (static_cast<size_t>(row) * size + col)];
            const double alpha = sum[3] / (kSamples * kSamples);
            for (int c = 0; c < 3; ++c)
                out[c] = static_cast<uint8_t>(alpha > 0 ? std::lround(std::clamp(sum[c] / sum[3], 0.0, 1.0) * 255) : 0);
            out[3] = static_cast<uint8_t>(std::lround(alpha * 255));
        }
    return encodePngRgba(size, size, rgba);
}

} // namespace

std::vector<AssetEntry> packageAssets()
{
    std::vector<AssetEntry> list;
    for (int size : kIconSizes) {
        const std::string side = std::to_string(size);
        list.push_back({"icons/hicolor/" + side + "x" + side + "/apps/zoduv.png", [size](const std::string& full) {
                            const std::vector<uint8_t> bytes = iconPng(size);
                            return !bytes.empty() && writeFile(full, bytes);
                        }});
    }
    return list;
}
