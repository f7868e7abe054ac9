// Where a draw can land on screen: the window rectangle that holds a set of points
// under a projection, a modelview and the viewport, and a set of such rectangles
// (a screen region). The scene uses them to leave out draws that cannot change a
// pixel. Pure: the matrices come in as arguments (column-major, as GL stores them).
#pragma once
#include <vector>

struct ScreenRect {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0; // window pixels, lower left origin
};

// projection × modelview, column-major.
void multiplyMatrices(const float projection[16], const float modelview[16], double out[16]);

// The rectangle around the points (x, y, z) taken through `clip` (projection ×
// modelview) and the viewport (x, y, width, height). False when a point lies at or
// behind the eye plane, where no finite rectangle holds what GL draws.
bool projectedRect(const double clip[16], const int viewport[4], const float* xyz, int count, ScreenRect& out);

// True when the quad (−1, −1) … (1, 1) in the plane z = 0, taken through `clip`,
// covers every pixel of the viewport grown by `margin` pixels on every side,
// between the near and far planes: the ray of each corner meets the quad in front
// of the eye (a convex quad in front of the eye then holds the rays between them).
bool quadCoversViewport(const double clip[16], const int viewport[4], double margin);

// The window position of one point through `clip`; false at or behind the eye.
bool projectPoint(const double clip[16], const int viewport[4], double x, double y, double z, double& wx,
                  double& wy);

// Whole pixels: a scissor rectangle.
struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// Disjoint pixel rectangles that together hold every pixel whose centre lies
// within `margin` of one of the quads (four window points each, x then y), and
// whose edges keep that margin from every quad: quads whose rectangles meet are
// bounded together. Drawn once in each, a primitive touches only pixels near the
// quads and none twice, and no scissor edge cuts through them (a rasterizer may
// treat the samples of a pixel on a scissor edge its own way).
std::vector<PixelRect> rectsCovering(const std::vector<double>& quads, const int viewport[4], double margin);

// The smallest rectangle holding both (an empty one holds nothing).
PixelRect unionOf(const PixelRect& a, const PixelRect& b);

// A region of the screen built from rectangles, or the whole screen.
struct ScreenRegion {
    std::vector<ScreenRect> rects;
    bool everywhere = false;

    void clear()
    {
        rects.clear();
        everywhere = false;
    }
    bool empty() const { return !everywhere && rects.empty(); }
    // Adds the rectangle of points under `clip` unless it lies outside the
    // viewport; the whole screen when the points have no rectangle.
    void addPoints(const double clip[16], const int viewport[4], const float* xyz, int count);
    // The whole pixels of `viewport` that meet the bounds of the rectangles
    // grown by `reach`; empty when there are none.
    PixelRect pixelsAround(double reach, const PixelRect& viewport) const;
    // True when `r`, grown by `margin` pixels on every side, meets the region.
    bool touches(const ScreenRect& r, double margin) const;
    // The same for one point.
    bool touchesPoint(double x, double y, double margin) const;
};
