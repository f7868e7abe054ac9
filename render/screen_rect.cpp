// Window rectangles of projected points, and regions made of them.
#include "render/screen_rect.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Inverts a 4 x 4 matrix (column-major) by Gauss-Jordan elimination with partial
// pivoting; false when it is singular.
bool invert(const double m[16], double out[16])
{
    double a[4][8];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            a[r][c] = m[4 * c + r];
            a[r][c + 4] = r == c ? 1 : 0;
        }
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c]))
                pivot = r;
        if (std::fabs(a[pivot][c]) < 1e-300)
            return false;
        std::swap(a[c], a[pivot]);
        const double scale = 1 / a[c][c];
        for (double& v : a[c])
            v *= scale;
        for (int r = 0; r < 4; ++r) {
            if (r == c)
                continue;
            const double f = a[r][c];
            for (int k = 0; k < 8; ++k)
                a[r][k] -= f * a[c][k];
        }
    }
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            out[4 * c + r] = a[r][c + 4];
    return true;
}

// The point of clip space (x, y, z, 1) taken back through the inverse.
void unproject(const double inverse[16], double x, double y, double z, double out[3])
{
    double p[4];
    for (int r = 0; r < 4; ++r)
        p[r] = inverse[r] * x + inverse[4 + r] * y + inverse[8 + r] * z + inverse[12 + r];
    for (int r = 0; r < 3; ++r)
        out[r] = p[r] / p[3];
}

} // namespace

void multiplyMatrices(const float projection[16], const float modelview[16], double out[16])
{
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += static_cast<double>(projection[4 * k + r]) * modelview[4 * c + k];
            out[4 * c + r] = sum;
        }
}

bool projectPoint(const double clip[16], const int viewport[4], double x, double y, double z, double& wx,
                  double& wy)
{
    const float point[3] = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
    ScreenRect r;
    if (!projectedRect(clip, viewport, point, 1, r))
        return false;
    wx = r.x0, wy = r.y0;
    return true;
}

std::vector<PixelRect> rectsCovering(const std::vector<double>& quads, const int viewport[4], double margin)
{
    // Each quad's bounds grown by the margin; then bounds that meet are merged
    // until none do.
    std::vector<ScreenRect> rects;
    for (size_t q = 0; q + 8 <= quads.size(); q += 8) {
        ScreenRect r{quads[q], quads[q + 1], quads[q], quads[q + 1]};
        for (int i = 1; i < 4; ++i) {
            r.x0 = std::min(r.x0, quads[q + 2 * i]), r.x1 = std::max(r.x1, quads[q + 2 * i]);
            r.y0 = std::min(r.y0, quads[q + 2 * i + 1]), r.y1 = std::max(r.y1, quads[q + 2 * i + 1]);
        }
        rects.push_back({r.x0 - margin, r.y0 - margin, r.x1 + margin, r.y1 + margin});
    }
    // Whole pixels whose centres the rectangle holds, as half-open ranges; two
    // rectangles meet when their pixel ranges share a pixel.
    auto pixels = [](const ScreenRect& r) {
        return ScreenRect{std::floor(r.x0 - 0.5) + 1, std::floor(r.y0 - 0.5) + 1, std::floor(r.x1 - 0.5) + 1,
                          std::floor(r.y1 - 0.5) + 1};
    };
    for (bool merged = true; merged;) {
        merged = false;
        for (size_t i = 0; i < rects.size() && !merged; ++i)
            for (size_t j = i + 1; j < rects.size() && !merged; ++j) {
                const ScreenRect a = pixels(rects[i]), b = pixels(rects[j]);
                if (a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1) {
                    rects[i] = {std::min(rects[i].x0, rects[j].x0), std::min(rects[i].y0, rects[j].y0),
                                std::max(rects[i].x1, rects[j].x1), std::max(rects[i].y1, rects[j].y1)};
                    rects.erase(rects.begin() + static_cast<std::ptrdiff_t>(j));
                    merged = true;
                }
            }
    }
    std::vector<PixelRect> out;
    for (const ScreenRect& r : rects) {
        const ScreenRect p = pixels(r);
        const double x0 = std::max<double>(p.x0, viewport[0]), y0 = std::max<double>(p.y0, viewport[1]);
        const double x1 = std::min<double>(p.x1, viewport[0] + viewport[2]);
        const double y1 = std::min<double>(p.y1, viewport[1] + viewport[3]);
        if (x1 > x0 && y1 > y0)
            out.push_back({static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0),
                           static_cast<int>(y1 - y0)});
    }
    return out;
}

bool projectedRect(const double clip[16], const int viewport[4], const float* xyz, int count, ScreenRect& out)
{
    // Closer to the eye plane than this, a point's window position is not to be trusted.
    constexpr double kNearestW = 1e-6;
    bool first = true;
    for (int i = 0; i < count; ++i) {
        const double x = xyz[3 * i], y = xyz[3 * i + 1], z = xyz[3 * i + 2];
        const double cx = clip[0] * x + clip[4] * y + clip[8] * z + clip[12];
        const double cy = clip[1] * x + clip[5] * y + clip[9] * z + clip[13];
        const double cw = clip[3] * x + clip[7] * y + clip[11] * z + clip[15];
        if (!(cw > kNearestW))
            return false;
        const double wx = viewport[0] + (cx / cw + 1) * 0.5 * viewport[2];
        const double wy = viewport[1] + (cy / cw + 1) * 0.5 * viewport[3];
        if (first) {
            out = {wx, wy, wx, wy};
            first = false;
        } else {
            out.x0 = std::min(out.x0, wx), out.x1 = std::max(out.x1, wx);
            out.y0 = std::min(out.y0, wy), out.y1 = std::max(out.y1, wy);
        }
    }
    return !first;
}

void ScreenRegion::addPoints(const double clip[16], const int viewport[4], const float* xyz, int count)
{
    // A rectangle this far outside the viewport touches no pixel of it.
    constexpr double kOutside = 2;
    ScreenRect r;
    if (!projectedRect(clip, viewport, xyz, count, r)) {
        everywhere = true;
        return;
    }
    if (r.x1 < viewport[0] - kOutside || r.x0 > viewport[0] + viewport[2] + kOutside ||
        r.y1 < viewport[1] - kOutside || r.y0 > viewport[1] + viewport[3] + kOutside)
        return;
    rects.push_back(r);
}

bool ScreenRegion::touches(const ScreenRect& r, double margin) const
{
    if (everywhere)
        return true;
    for (const ScreenRect& h : rects)
        if (r.x0 - margin <= h.x1 && h.x0 <= r.x1 + margin && r.y0 - margin <= h.y1 && h.y0 <= r.y1 + margin)
            return true;
    return false;
}

bool ScreenRegion::touchesPoint(double x, double y, double margin) const { return touches({x, y, x, y}, margin); }

bool quadCoversViewport(const double clip[16], const int viewport[4], double margin)
{
    double inverse[16];
    if (!invert(clip, inverse))
        return false;
    // Inside by a little more than rounding, so that an edge exactly on a corner
    // does not count as covering it.
    constexpr double kInside = 1 - 1e-6;
    for (int corner = 0; corner < 4; ++corner) {
        const double wx = corner & 1 ? viewport[0] + viewport[2] + margin : viewport[0] - margin;
        const double wy = corner & 2 ? viewport[1] + viewport[3] + margin : viewport[1] - margin;
        const double nx = 2 * (wx - viewport[0]) / viewport[2] - 1, ny = 2 * (wy - viewport[1]) / viewport[3] - 1;
        double nearPoint[3], farPoint[3];
        unproject(inverse, nx, ny, -1, nearPoint);
        unproject(inverse, nx, ny, 1, farPoint);
        const double dz = nearPoint[2] - farPoint[2];
        if (!(std::fabs(dz) > 0))
            return false; // the ray runs along the plane
        const double t = nearPoint[2] / dz;
        if (!(t > 0 && t < 1))
            return false; // the plane is not between the near and far planes here
        const double x = nearPoint[0] + t * (farPoint[0] - nearPoint[0]);
        const double y = nearPoint[1] + t * (farPoint[1] - nearPoint[1]);
        if (!(std::fabs(x) < kInside && std::fabs(y) < kInside))
            return false;
    }
    return true;
}

PixelRect ScreenRegion::pixelsAround(double reach, const PixelRect& viewport) const
{
    if (rects.empty())
        return {};
    ScreenRect around = rects[0];
    for (const ScreenRect& r : rects)
        around = {std::min(around.x0, r.x0), std::min(around.y0, r.y0), std::max(around.x1, r.x1),
                  std::max(around.y1, r.y1)};
    const int x0 = std::max(viewport.x, static_cast<int>(std::floor(around.x0 - reach)));
    const int y0 = std::max(viewport.y, static_cast<int>(std::floor(around.y0 - reach)));
    const int x1 = std::min(viewport.x + viewport.width, static_cast<int>(std::floor(around.x1 + reach)) + 1);
    const int y1 = std::min(viewport.y + viewport.height, static_cast<int>(std::floor(around.y1 + reach)) + 1);
    if (x1 <= x0 || y1 <= y0)
        return {};
    return {x0, y0, x1 - x0, y1 - y0};
}

PixelRect unionOf(const PixelRect& a, const PixelRect& b)
{
    if (a.width <= 0 || a.height <= 0)
        return b;
    if (b.width <= 0 || b.height <= 0)
        return a;
    const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    const int x1 = std::max(a.x + a.width, b.x + b.width), y1 = std::max(a.y + a.height, b.y + b.height);
    return {x0, y0, x1 - x0, y1 - y0};
}
