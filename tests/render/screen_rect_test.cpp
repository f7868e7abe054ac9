// Window rectangles of projected points, checked against GLU's own projection,
// and the region test the scene leaves draws out with.
#include <gtest/gtest.h>

#include "gl/gl_api.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "../support/gl_test_context.h"
#include "render/screen_rect.h"

TEST(ScreenRect, MatchesGluProjectAndRefusesPointsBehindTheEye)
{
    // A perspective camera off to one side looking at the origin, and an object
    // moved and turned in front of it: the matrices GL would hold, made without GL.
    const int viewport[4] = {0, 0, 1280, 720};
    double projection[16], modelview[16];
    {
        const double f = 1 / std::tan(55.0 / 2 * M_PI / 180), aspect = 1280.0 / 720, n = 0.1, far = 800;
        const double p[16] = {f / aspect, 0, 0, 0, 0, f, 0, 0, 0, 0, (far + n) / (n - far), -1,
                              0, 0, 2 * far * n / (n - far), 0};
        std::copy(p, p + 16, projection);
        const double c = std::cos(0.3), s = std::sin(0.3);
        const double m[16] = {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0.5, -0.2, -6, 1};
        std::copy(m, m + 16, modelview);
    }
    float projectionF[16], modelviewF[16];
    for (int i = 0; i < 16; ++i)
        projectionF[i] = static_cast<float>(projection[i]), modelviewF[i] = static_cast<float>(modelview[i]);
    double clip[16];
    multiplyMatrices(projectionF, modelviewF, clip);

    const float points[12] = {-1, -1, 0, 1, -1, 0.5f, 1, 1, 0, -1, 1, -0.5f};
    ScreenRect r;
    ASSERT_TRUE(projectedRect(clip, viewport, points, 4, r));
    double lo[2] = {1e9, 1e9}, hi[2] = {-1e9, -1e9};
    for (int i = 0; i < 4; ++i) {
        double wx, wy, wz;
        ASSERT_TRUE(gluProject(points[3 * i], points[3 * i + 1], points[3 * i + 2], modelview, projection, viewport,
                               &wx, &wy, &wz));
        lo[0] = std::min(lo[0], wx), hi[0] = std::max(hi[0], wx);
        lo[1] = std::min(lo[1], wy), hi[1] = std::max(hi[1], wy);
    }
    EXPECT_NEAR(r.x0, lo[0], 1e-3);
    EXPECT_NEAR(r.x1, hi[0], 1e-3);
    EXPECT_NEAR(r.y0, lo[1], 1e-3);
    EXPECT_NEAR(r.y1, hi[1], 1e-3);

    // A point behind the eye has no window position: the whole screen stands in.
    const float behind[6] = {0, 0, 0, 0, 0, 7};
    EXPECT_FALSE(projectedRect(clip, viewport, behind, 2, r));
    ScreenRegion region;
    region.addPoints(clip, viewport, behind, 2);
    EXPECT_TRUE(region.everywhere);
    EXPECT_TRUE(region.touchesPoint(-5000, 3, 0));

    // A rectangle wholly outside the viewport is left out; one inside is kept and
    // met by points within the margin only.
    region.clear();
    const float farLeft[3] = {-40, 0, -60};
    region.addPoints(clip, viewport, farLeft, 1);
    EXPECT_TRUE(region.empty());
    region.addPoints(clip, viewport, points, 4);
    ASSERT_EQ(region.rects.size(), 1u);
    const ScreenRect& kept = region.rects[0];
    EXPECT_TRUE(region.touchesPoint(kept.x0 - 2.5, kept.y0, 3));
    EXPECT_FALSE(region.touchesPoint(kept.x0 - 3.5, kept.y0, 3));
    EXPECT_TRUE(region.touches({kept.x1 + 1, kept.y1 + 1, kept.x1 + 50, kept.y1 + 50}, 1));
    EXPECT_FALSE(region.touches({kept.x1 + 1.5, kept.y0, kept.x1 + 50, kept.y1}, 1));

    // The pixels around the region: its bounds grown by the reach, in whole
    // pixels, inside the viewport; and unions of pixel rectangles.
    ScreenRegion two;
    two.rects = {{10.2, 20.7, 30.5, 40.1}, {100.9, 5.5, 120.0, 6.0}};
    const PixelRect around = two.pixelsAround(3, {0, 0, 110, 720});
    EXPECT_EQ(around.x, 7);
    EXPECT_EQ(around.y, 2);
    EXPECT_EQ(around.x + around.width, 110); // cut at the viewport
    EXPECT_EQ(around.y + around.height, 44);
    EXPECT_EQ(ScreenRegion{}.pixelsAround(3, {0, 0, 110, 720}).width, 0);
    const PixelRect joined = unionOf({5, 5, 10, 10}, {30, 1, 2, 2});
    EXPECT_EQ(joined.x, 5);
    EXPECT_EQ(joined.y, 1);
    EXPECT_EQ(joined.width, 27);
    EXPECT_EQ(joined.height, 14);
    EXPECT_EQ(unionOf({}, {3, 4, 5, 6}).x, 3);
    EXPECT_EQ(unionOf({3, 4, 5, 6}, {}).width, 5);
}

TEST(ScreenRect, QuadCoversTheViewportOnlyWhenEveryCornerRayMeetsIt)
{
    // The scene's camera: 55 degrees, 16:9, looking at a sheet in the plane z = 0
    // scaled by (sx, sy); GL builds the matrices, GLU-made as in the show.
    struct Case {
        double eye[3], target[3], up[3];
        float sheetX, sheetY;
        bool covers;
    } cases[] = {
        {{0, 0, 5}, {0, 0, 0}, {0, 1, 0}, 78.75f, 140, true},  // straight down at the big sheet
        {{0, 0, 5}, {0, 0, 0}, {0, 1, 0}, 4.0f, 140, false},   // too narrow: the sides show
        {{75, 0, 5}, {75, 0, 0}, {0, 1, 0}, 78.75f, 140, false}, // over the sheet's edge
        {{0, 0, 5}, {0, 30, 0}, {0, 1, 0}, 78.75f, 140, false}, // looking along it: the horizon shows
        {{0, 0, -5}, {0, 0, 0}, {0, 1, 0}, 78.75f, 140, true},  // from behind: still covered
        {{0, 0, 900}, {0, 0, 0}, {0, 1, 0}, 78.75f, 140, false}, // beyond the far plane
    };
    GlTestContext gl(16, 16);
    if (!gl.ok())
        GTEST_SKIP() << gl.error();
    const int viewport[4] = {0, 0, 1280, 720};
    for (const Case& c : cases) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(55, 1280.0 / 720, 0.1, 800);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(c.eye[0], c.eye[1], c.eye[2], c.target[0], c.target[1], c.target[2], c.up[0], c.up[1], c.up[2]);
        glScalef(c.sheetX, c.sheetY, 120);
        float projection[16], modelview[16];
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
        double clip[16];
        multiplyMatrices(projection, modelview, clip);
        EXPECT_EQ(quadCoversViewport(clip, viewport, 3), c.covers)
            << "eye " << c.eye[0] << "," << c.eye[1] << "," << c.eye[2] << " target " << c.target[1];
    }
}

// Every pixel near a quad lies in exactly one rectangle, and no rectangle edge
// comes within the margin of a quad: checked pixel by pixel on random quads.
TEST(ScreenRect, RectsCoveringHoldEveryNearPixelOnceWithEdgesClearOfTheQuads)
{
    const int viewport[4] = {0, 0, 160, 90};
    const double margin = 3;
    unsigned seed = 12345;
    auto next = [&seed](double lo, double hi) {
        seed = seed * 1103515245u + 12345u;
        return lo + (hi - lo) * ((seed >> 8) & 0xffff) / 65535.0;
    };
    // Distance from a point to a convex quad (0 inside).
    auto distanceTo = [](const double* q, double x, double y) {
        bool inside = true;
        double nearest = 1e300;
        for (int i = 0; i < 4; ++i) {
            const double ax = q[2 * i], ay = q[2 * i + 1], bx = q[2 * ((i + 1) % 4)], by = q[2 * ((i + 1) % 4) + 1];
            const double ex = bx - ax, ey = by - ay;
            const double cross = ex * (y - ay) - ey * (x - ax);
            if (cross < 0)
                inside = false;
            const double t = std::clamp(((x - ax) * ex + (y - ay) * ey) / (ex * ex + ey * ey), 0.0, 1.0);
            nearest = std::min(nearest, std::hypot(x - (ax + t * ex), y - (ay + t * ey)));
        }
        return inside ? 0.0 : nearest;
    };
    for (int round = 0; round < 200; ++round) {
        std::vector<double> quads;
        const int count = 1 + round % 5;
        for (int k = 0; k < count; ++k) {
            // A turned rectangle, counter-clockwise, partly off screen now and then.
            const double cx = next(-20, 180), cy = next(-20, 110), w = next(1, 40), h = next(1, 12), a = next(0, 6.3);
            const double c = std::cos(a), s = std::sin(a);
            const double corners[4][2] = {{-w, -h}, {w, -h}, {w, h}, {-w, h}};
            for (const auto& p : corners) {
                quads.push_back(cx + p[0] * c - p[1] * s);
                quads.push_back(cy + p[0] * s + p[1] * c);
            }
        }
        const std::vector<PixelRect> rects = rectsCovering(quads, viewport, margin);
        for (int y = 0; y < viewport[3]; ++y)
            for (int x = 0; x < viewport[2]; ++x) {
                double nearest = 1e300;
                for (size_t q = 0; q < quads.size(); q += 8)
                    nearest = std::min(nearest, distanceTo(&quads[q], x + 0.5, y + 0.5));
                int holders = 0;
                bool onEdge = false;
                for (const PixelRect& r : rects) {
                    if (x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height) {
                        ++holders;
                        onEdge = onEdge || x == r.x || y == r.y || x == r.x + r.width - 1 || y == r.y + r.height - 1;
                    }
                }
                ASSERT_LE(holders, 1) << "round " << round << " pixel " << x << "," << y;
                if (nearest <= margin) {
                    ASSERT_EQ(holders, 1) << "round " << round << " pixel " << x << "," << y;
                }
                // A rectangle's edge pixels keep most of the margin from every
                // quad, unless the edge is the viewport's own.
                const bool viewportEdge = x == 0 || y == 0 || x == viewport[2] - 1 || y == viewport[3] - 1;
                if (onEdge && !viewportEdge) {
                    ASSERT_GT(nearest, margin - 1) << "round " << round << " pixel " << x << "," << y;
                }
            }
    }
}
