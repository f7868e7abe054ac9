// Polygon meshes: the token-by-token reader, tubes, and stroke generation
// (hatching counts and density compounding, light rules, facing test, outline
// edges and their travelling pulse, reseeding, ranges, short polygons).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/random.h"
#include "scene/part_start.h"
#include "scene/poly_mesh.h"

namespace {

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

PolyMesh parse(const std::string& text)
{
    PolyMesh mesh;
    mesh.loadPolygonsFromMemory(text.data(), text.size());
    return mesh;
}

Polygon polygonOf(std::initializer_list<Vec3> points)
{
    Polygon p;
    p.points = points;
    return p;
}

// Counter-clockwise seen from +z: with hatching the normal faces +z.
Polygon frontTriangle() { return polygonOf({{1, 0, 0, 0}, {1, 1, 0, 0}, {1, 0, 1, 0}}); }
Polygon backTriangle() { return polygonOf({{1, 0, 0, 0}, {1, 0, 1, 0}, {1, 1, 0, 0}}); }
// Without hatching the centre is the origin: this square's first two corners
// give a normal towards +z, and every edge is sqrt(2) long.
Polygon frontDiamond() { return polygonOf({{1, 1, 0, 0}, {1, 0, 1, 0}, {1, -1, 0, 0}, {1, 0, -1, 0}}); }

PathSpline generate(PolyMesh& mesh, bool hatch, double density, unsigned step, double time = 0.0,
                    const float* matrix = kIdentity)
{
    std::vector<PathSpline> strokes;
    mesh.generateStrokesWithMatrix(matrix, time, strokes, hatch, density, step, 0.0, 1.0);
    return strokes.back();
}

int ceilTimes35(double y) { return int(std::ceil(y * 35)); }

std::vector<int> deformIndices;
Vec3 recordIndex(const Vec3& p, double, int index)
{
    deformIndices.push_back(index);
    return p;
}
Vec3 lift(const Vec3& p, double time, int) { return Vec3{1, p.x, p.y + float(time), p.z}; }

} // namespace

TEST(PolyMesh, LoadPolygonsTokenByToken)
{
    const std::string verts = "# made by hand\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";
    // Faces end at the next "f"; the last one at the end of the input is kept.
    PolyMesh m = parse(verts + "vn 0 0 1\ns off\nf 1// 2// 3// 4//\nf 4// 3// 2//\n");
    ASSERT_EQ(m.polygons.size(), 2u);
    EXPECT_EQ(m.polygons[0].points.size(), 4u);
    EXPECT_EQ(m.polygons[1].points[0].y, 1.0f);
    EXPECT_EQ(m.polygons[1].points[2].x, 1.0f);
    EXPECT_EQ(m.polygons[1].points[2].tag, 1);
    EXPECT_EQ(m.polygons[0].spare.tag, 1);
    // The token that ends the vertex run can open the first face: it is not lost.
    PolyMesh direct = parse(verts + "f 1// 2// 3//\nf 2// 3// 4//");
    ASSERT_EQ(direct.polygons.size(), 2u);
    EXPECT_EQ(direct.polygons[0].points[0].x, 0.0f);
    // Any two non-blank characters follow an index; a malformed index ends the list
    // with the face read so far.
    PolyMesh sep = parse(verts + "f 1/1 2/2 3/3 f 1// 2// x// f 1// 2// 3//");
    ASSERT_EQ(sep.polygons.size(), 2u);
    EXPECT_EQ(sep.polygons[1].points.size(), 2u);
    // Something other than "f" after a face continues it, then stops reading.
    PolyMesh stop = parse(verts + "f 1// 2// 3//\nusemtl x\nf 1// 2// 4//\n");
    ASSERT_EQ(stop.polygons.size(), 1u);
    // Faces naming vertices that do not exist are skipped and loading goes on.
    PolyMesh bad = parse(verts + "f 1// 2// 9//\nf 0// 1// 2//\nf -1// 2// 3//\nf 2// 3// 4//\n");
    ASSERT_EQ(bad.polygons.size(), 1u);
    EXPECT_EQ(bad.polygons[0].points[0].x, 1.0f);
    // Tokens of any length are fine.
    PolyMesh longWords = parse("#" + std::string(3000, 'c') + "\n" + verts + "g " + std::string(3000, 'g') +
                               "\nf 1// 2// 3//");
    EXPECT_EQ(longWords.polygons.size(), 1u);
}

TEST(PolyMesh, LoadFromFileAndEditing)
{
    PolyMesh m;
    m.addPolygon(frontTriangle());
    m.loadPolygons("/nonexistent/dir/mesh.obj");
    EXPECT_EQ(m.polygons.size(), 1u);

    std::string path = std::string(ZUR_BINARY_DIR) + "/poly_mesh_test.obj";
    FILE* f = std::fopen(path.c_str(), "w");
    std::fputs("v 0 0 0\nv 1 0 0\nv 0 1 0\nv 5 5 5\nf 1// 2// 3//\nf 4// 1// 2//\n", f);
    std::fclose(f);
    m.loadPolygons(path.c_str());
    ASSERT_EQ(m.polygons.size(), 2u);
    std::remove(path.c_str());

    m.reversePolygons();
    EXPECT_EQ(m.polygons[0].points[0].x, 5.0f);
    Polygon extra = frontTriangle();
    extra.spare = Vec3{1, 7, 8, 9};
    m.addPolygon(extra);
    ASSERT_EQ(m.polygons.size(), 3u);
    EXPECT_EQ(m.polygons[2].spare.y, 8.0f);
}

// One damaged word stops the reader, which keeps its one-stream reading: the line
// on standard error names the line where it stopped and how many of the file's
// faces were read.
TEST(PolyMesh, ReadingThatStopsEarlySaysWhereAndWhatWasLost)
{
    // A 6 x 6 grid of vertices, one line each, then its 25 quads (lines 37 to 61).
    std::vector<std::string> lines;
    for (int i = 0; i < 36; ++i)
        lines.push_back("v " + std::to_string(i % 6) + ".25 " + std::to_string(i / 6) + ".5 0.75");
    for (int q = 0; q < 25; ++q) {
        const int a = q / 5 * 6 + q % 5 + 1;
        lines.push_back("f " + std::to_string(a) + "// " + std::to_string(a + 1) + "// " + std::to_string(a + 7) +
                        "// " + std::to_string(a + 6) + "//");
    }
    struct Case {
        const char* what;
        int line;          // 1-based line damaged; 0: none
        const char* from;  // replaced in it ...
        const char* to;    // ... by this
        size_t polygons;   // what the reader keeps
    } cases[] = {
        {"intact", 0, "", "", 25},
        {"a byte above 0x7F for a point in a vertex", 10, ".", "\xC3", 0},
        {"a byte above 0x7F in a face's index", 45, "10//", "1\xC3//", 9},
        {"a word the reader does not know between faces", 50, "f ", "usemtl x\nf ", 13},
    };
    const std::string path = std::string(ZUR_BINARY_DIR) + "/poly_mesh_test_damaged.obj";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string text;
        for (size_t i = 0; i < lines.size(); ++i) {
            std::string line = lines[i];
            if (static_cast<int>(i) + 1 == c.line)
                line.replace(line.find(c.from), std::strlen(c.from), c.to);
            text += line + "\n";
        }
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);

        PolyMesh m;
        testing::internal::CaptureStderr();
        m.loadPolygons(path.c_str());
        const std::string err = testing::internal::GetCapturedStderr();
        const size_t read = static_cast<size_t>(
            std::count_if(m.polygons.begin(), m.polygons.end(), [](const Polygon& p) { return !p.points.empty(); }));
        EXPECT_EQ(read, c.polygons);
        if (c.line == 0) {
            EXPECT_EQ(err, "");
            continue;
        }
        const std::string said = path + ": reading stopped at line " + std::to_string(c.line) +
                                 ", at a word it cannot read: " + std::to_string(read) + " of the " +
                                 "25 faces in the file were read; " +
                                 (read > 0 ? "the mesh is drawn with those" : "the mesh is empty");
        EXPECT_NE(err.find(said), std::string::npos) << err;
        EXPECT_EQ(err.find("holds no faces"), std::string::npos) << err;
    }
    std::remove(path.c_str());
}

TEST(PolyMesh, BeadedAndRingedTubes)
{
    PathSpline line;
    for (int i = 0; i < 12; ++i)
        line.addPoint(Vec3{1, float(i), 0, 0});
    PolyMesh beads;
    beads.buildBeadedTube(line, 5);
    ASSERT_EQ(beads.polygons.size(), 10u * 5);
    // Along +x the frame is u = (0, -1, 0), v = (0, 0, -1); corner 0 of a quad sits
    // at angle 0, radius ra along v; corner 1 at the shortened end (70 %).
    const double ra[] = {0.12 + 0.3, 0.10 + 0.3 * 0.8, 0.12 + 0.3 * 0.6, 0.10 + 0.3 * 0.4, 0.12 + 0.3 * 0.2,
                         0.10, 0.12, 0.10};
    for (int i = 0; i < 8; ++i) {
        const Polygon& q = beads.polygons[i * 5];
        ASSERT_EQ(q.points.size(), 4u);
        EXPECT_NEAR(q.points[0].x, i, 1e-6);
        EXPECT_NEAR(q.points[0].z, -ra[i], 1e-6);
        EXPECT_NEAR(q.points[1].x, i + 0.7, 1e-5);
        EXPECT_EQ(q.points[0].tag, 1);
    }
    // Quarter turn: angle pi/2 uses rb along u.
    const Polygon& side = beads.polygons[6 * 5 + 1];  // j = 1 of 5: 72 degrees
    EXPECT_NEAR(side.points[0].y, -0.02 * std::sin(2 * M_PI / 5), 1e-6);

    PolyMesh rings;
    rings.buildRingedTube(line, 4);
    ASSERT_EQ(rings.polygons.size(), 10u * 4);
    for (int i = 0; i < 10; ++i) {
        double r = 0.18 * std::pow(1.0 - i / 12.0, 2) * 0.2 * (i % 4 == 0 ? 0.3 : 1.0);
        const Polygon& q = rings.polygons[i * 4];
        EXPECT_NEAR(q.points[0].z, -r, 1e-6) << i;
        EXPECT_NEAR(q.points[1].x, i + 0.9, 1e-5);
        EXPECT_NEAR(rings.polygons[i * 4 + 1].points[0].y, -r, 1e-6);  // circular: same radius along u
    }
    PathSpline two;
    two.addPoint(Vec3{1, 0, 0, 0});
    two.addPoint(Vec3{1, 1, 0, 0});
    beads.buildBeadedTube(two, 5);
    EXPECT_TRUE(beads.polygons.empty());
}

TEST(PolyMesh, HatchingCountsCompoundWithDensity)
{
    PolyMesh m;
    m.addPolygon(backTriangle());  // normal -z: no outline
    m.light = Vec3{1, 0, 0, -0.9f};
    const double w = std::pow(double(0.9f), 6);
    struct Case {
        double density;
        std::vector<int> passes;
    } cases[] = {
        {1.0, {ceilTimes35(w), ceilTimes35(w), ceilTimes35(w), ceilTimes35(w)}},
        {1.2, {ceilTimes35(w * 1.2), ceilTimes35(w * 1.44), ceilTimes35(w * 1.728), ceilTimes35(w * 2.0736)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.density);
        PathSpline path = generate(m, true, c.density, 0);
        int expected = 0;
        for (int n : c.passes)
            expected += n;
        ASSERT_EQ(path.count, expected);
        ASSERT_EQ(path.points.size(), size_t(expected));
        // Every pass starts again at the first corner: its point lies between
        // corner 0 (the origin) and the centre, where x = y.
        size_t start = 0;
        for (int n : c.passes) {
            EXPECT_NEAR(path.points[start].x, path.points[start].y, 1e-6);
            start += n;
        }
    }
    EXPECT_EQ(cases[0].passes[0], 19);
    EXPECT_EQ(cases[1].passes[3], 39);

    // The random fraction comes from the generator reseeded with 42323 per call.
    rng::srand(42323);
    double r = (rng::rand() % 10000) * 0.0001;
    rng::srand(5);
    PathSpline path = generate(m, true, 1.0, 0);
    const float third = 1.0f / 3.0f;
    EXPECT_NEAR(path.points[0].x, third * r, 1e-6);
    EXPECT_NEAR(path.points[0].z, 0.15 * 1.0 * 0.9, 1e-7);  // eye z 0: width 0.15 widthA widthB
    PathSpline again = generate(m, true, 1.0, 0);
    EXPECT_EQ(again.points[5].x, path.points[5].x);
}

TEST(PolyMesh, LightRulesAndFacing)
{
    struct Case {
        const char* what;
        Polygon polygon;
        Vec3 light;
        int hatchPerPass;  // hatching points per pass (4 passes for a triangle)
        bool outline;
    } cases[] = {
        {"short light, facing +z", frontTriangle(), Vec3{1, 0.001f, 0, 0}, ceilTimes35(std::pow(0.707, 6)), true},
        {"short light, facing away", backTriangle(), Vec3{1, 0, 0, 0}, 0, false},
        {"light along +z", frontTriangle(), Vec3{1, 0, 0, 1}, 35, true},
        {"light without value", frontTriangle(), Vec3{0, 0, 0, 1}, 0, true},
        {"light from behind", frontTriangle(), Vec3{1, 0, 0, -1}, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PolyMesh m;
        m.addPolygon(c.polygon);
        m.light = c.light;
        // At t = 1 no edge of four carries the pulse, so outline points have width
        // widthA 0.1 widthB = 0.09 and hatching points (eye z 0) 0.15 widthA widthB.
        PathSpline path = generate(m, true, 1.0, 0, 1.0);
        int hatchPoints = 0, outlinePoints = 0;
        for (const Vec3& p : path.points)
            (std::fabs(p.z - 0.135f) < 1e-6 ? hatchPoints : outlinePoints)++;
        EXPECT_EQ(hatchPoints, 4 * c.hatchPerPass);
        EXPECT_EQ(outlinePoints > 0, c.outline);
    }
}

TEST(PolyMesh, OutlineEdgesStepsAndPulse)
{
    PolyMesh m;
    m.addPolygon(frontDiamond());
    struct Case {
        unsigned step;
        double density;
        int edges, pointsPerEdge;
    } cases[] = {
        {0, 1.0, 5, 14},    // edges 0..4: the first edge twice; sqrt(2) * 10 = 14.1
        {5, 1.0, 1, 14},    // edge 0 only
        {1, 1.0, 3, 14},    // edges 0, 2, 4
        {0, 0.1, 5, 2},     // at least 2 points
        {0, 10.0, 5, 80},   // at most 80
        {0xffffffffu, 1.0, 1, 14},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        PathSpline path = generate(m, false, c.density, c.step);
        ASSERT_EQ(path.count, c.edges * c.pointsPerEdge);
        // Both end points of each edge are included.
        const Vec3& first = path.points[0];
        const Vec3& last = path.points[c.pointsPerEdge - 1];
        EXPECT_NEAR(first.x, 1.0, 1e-6);
        EXPECT_NEAR(first.y, 0.0, 1e-6);
        EXPECT_NEAR(last.x, 0.0, 1e-6);
        EXPECT_NEAR(last.y, 1.0, 1e-6);
    }
    // The pulse: edge c is drawn 1.5 times wider when sin(0.4 c - 3 t) > 0.9.
    for (double time : {0.0, 0.37, 2.0}) {
        PathSpline path = generate(m, false, 1.0, 0, time);
        for (int edge = 1; edge <= 5; ++edge) {
            bool thick = std::sin(edge * 0.4 - time * 3) > 0.9;
            EXPECT_FLOAT_EQ(path.points[(edge - 1) * 14].z, thick ? 0.135f : 0.09f) << time << " " << edge;
        }
    }
    // deform sees index 0 for the centre and hatching, the edge counter for the outline.
    deformIndices.clear();
    m.deform = recordIndex;
    m.light = Vec3{1, 0, 0, 1};
    generate(m, true, 1.0, 0);
    std::vector<int> outlineIndices;
    for (int i : deformIndices)
        if (i != 0)
            outlineIndices.push_back(i);
    EXPECT_EQ(outlineIndices, (std::vector<int>{1, 1, 2, 2, 3, 3, 4, 4, 5, 5}));
}

TEST(PolyMesh, RangesShortPolygonsMatrixAndPaths)
{
    PolyMesh m;
    for (int i = 0; i < 10; ++i) {
        Polygon p = frontDiamond();
        for (Vec3& v : p.points)
            v.z = float(i);  // tells the polygons apart through the eye transform below
        m.addPolygon(p);
    }
    // Columns of a column-major matrix: x picks up z, so every point names its polygon.
    const float pickZ[16] = {1, 0, 0, 0, 0, 1, 0, 0, 100, 0, 1, 0, 0, 0, 0, 1};
    std::vector<PathSpline> strokes(2);
    strokes[0].closed = strokes[1].closed = true;
    auto polygonsIn = [&](double from, double to) {
        std::vector<int> seen;
        int n = m.generateStrokesWithMatrix(pickZ, 0.0, strokes, false, 1.0, 5, from, to);
        EXPECT_EQ(size_t(n), strokes.size());
        for (const Vec3& p : strokes.back().points) {
            int k = int(std::lround((p.x - 0.0) / 100.0));
            if (seen.empty() || seen.back() != k)
                seen.push_back(k);
        }
        return seen;
    };
    EXPECT_EQ(polygonsIn(0.25, 0.5), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(polygonsIn(0.0, 0.1), (std::vector<int>{0}));
    EXPECT_EQ(polygonsIn(0.95, 1.0), (std::vector<int>{9}));
    EXPECT_EQ(polygonsIn(-0.5, 0.2), (std::vector<int>{0, 1}));   // cut to the list
    EXPECT_EQ(polygonsIn(0.8, 1.7), (std::vector<int>{8, 9}));
    EXPECT_TRUE(polygonsIn(0.5, 0.5).empty());
    for (const PathSpline& s : strokes)
        EXPECT_FALSE(s.closed);
    EXPECT_EQ(strokes.size(), 8u);

    // Translation in the matrix moves the outline; deform moves it in object space.
    const float shift[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 3, 4, 5, 1};
    PolyMesh one;
    one.addPolygon(frontDiamond());
    one.deform = lift;
    PathSpline moved = generate(one, false, 1.0, 5, 0.5, shift);
    EXPECT_NEAR(moved.points[0].x, 4.0, 1e-6);
    EXPECT_NEAR(moved.points[0].y, 4.5, 1e-6);

    // Polygons of fewer than three points are skipped; the rest still draw.
    PolyMesh mixed;
    mixed.addPolygon(Polygon{});
    mixed.addPolygon(polygonOf({{1, 1, 0, 0}}));
    mixed.addPolygon(polygonOf({{1, 1, 0, 0}, {1, 0, 1, 0}}));
    mixed.addPolygon(frontDiamond());
    PathSpline path = generate(mixed, true, 1.0, 0);
    EXPECT_GT(path.count, 0);
    for (const Vec3& p : path.points)
        EXPECT_FALSE(std::isnan(p.x) || std::isnan(p.y) || std::isnan(p.z));
}

namespace {

// A ringed tube along a wavy path, seen through a turned and shifted matrix:
// hatching, outlines and (with the scene's deform) moved corners.
PolyMesh wavyTube()
{
    PathSpline path;
    for (int i = 0; i < 60; ++i)
        path.addPoint(makeVec3(0.1f * i, std::sin(0.3f * i), 0.2f * std::cos(0.2f * i)));
    PolyMesh mesh;
    mesh.buildBeadedTube(path, 5);
    return mesh;
}

const float kTurned[16] = {0.8f, 0.1f, -0.59f, 0, -0.05f, 0.99f, 0.1f, 0, 0.6f, -0.05f, 0.8f, 0, 0.3f, -0.2f, -6, 1};

bool sameBits(const Vec3& a, const Vec3& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

} // namespace

// The main pass asks only for the points its reveal window can show: those must
// be the very points of the full run, the rest only counted (with the generator
// left where the full run leaves it) or, past the window, not even that.
TEST(PolyMesh, WindowedStrokesMakeTheSamePointsInsideTheWindow)
{
    for (double time : {100.0, 230.0}) {
        PolyMesh mesh = wavyTube();
        mesh.deform = strokeDeform;
        std::vector<PathSpline> fullRun;
        mesh.generateStrokesWithMatrix(kTurned, time, fullRun, true, 1.1, 0, 0.0, 1.0);
        const PathSpline& full = fullRun.back();
        const uint32_t stateAfter = rng::state;
        const int64_t n = full.count;
        ASSERT_GT(n, 150);
        const StrokeWindow windows[] = {{0, INT64_MAX, 0},    {n / 10, n / 2, 0}, {n / 3 + 37, n - 1, 37},
                                        {n - 5, n + 100, 0},  {n + 10, n + 20, 0}, {-50, 3, 0},
                                        {40, 41, 40},         {n / 2, n / 4, 0}};
        for (const StrokeWindow& wanted : windows) {
            rng::srand(7); // whatever came before
            StrokeWindow w = wanted;
            std::vector<PathSpline> run;
            mesh.generateStrokesWithMatrix(kTurned, time, run, true, 1.1, 0, 0.0, 1.0, &w);
            const PathSpline& part = run.back();
            if (wanted.last - wanted.before >= n) {
                EXPECT_EQ(w.before, wanted.before + n) << "every point is counted";
                EXPECT_EQ(rng::state, stateAfter);
            } else {
                EXPECT_GT(w.before, wanted.last) << "counted past the window";
                EXPECT_LE(w.before, wanted.before + n);
            }
            std::vector<Vec3> expected;
            for (int64_t i = 0; i < n; ++i)
                if (wanted.before + i >= wanted.first && wanted.before + i < wanted.last)
                    expected.push_back(full.points[static_cast<size_t>(i)]);
            ASSERT_EQ(part.points.size(), expected.size());
            EXPECT_EQ(part.count, static_cast<int32_t>(expected.size()));
            for (size_t i = 0; i < expected.size(); ++i)
                EXPECT_TRUE(sameBits(part.points[i], expected[i])) << "point " << i << " at " << time;
        }

        // A deform that says it ignores its index moves each corner once per
        // polygon, and the strokes stay the same.
        PolyMesh once = wavyTube();
        once.deform = strokeDeform;
        once.deformUsesIndex = false;
        std::vector<PathSpline> onceRun;
        once.generateStrokesWithMatrix(kTurned, time, onceRun, true, 1.1, 0, 0.0, 1.0);
        ASSERT_EQ(onceRun.back().points.size(), full.points.size());
        for (size_t i = 0; i < full.points.size(); ++i)
            ASSERT_TRUE(sameBits(onceRun.back().points[i], full.points[i])) << i;
    }
}

// Hatching counts take pow(m, 6) as the weight; the product of m's stands in for
// it unless a pass comes close to a whole number. Against the plain formula, with
// weights built to land next to whole numbers as well as random ones.
TEST(PolyMesh, HatchPassCountsAreThoseOfPowsWeight)
{
    auto oracle = [](double m, double density, size_t corners) {
        std::vector<size_t> counts;
        double y = m == 0.0 ? 0.0 : std::pow(m, 6.0);
        for (size_t e = 0; e <= corners; ++e) {
            y *= density;
            const double limit = std::max(y, 0.0) * 35.0;
            counts.push_back(limit > 0.0 ? static_cast<size_t>(std::ceil(std::min(limit, 1e15))) : 0);
        }
        return counts;
    };
    rng::srand(99);
    std::vector<size_t> counts;
    int nearWhole = 0;
    for (int i = 0; i < 200000; ++i) {
        const size_t corners = 3 + static_cast<size_t>(rng::rand() % 6);
        const double density = 0.1 + 1.9 * random01();
        double m;
        if (i % 2 == 0) {
            m = random01() * (i % 4 == 0 ? 1.0 : 1e-3);
        } else {
            // m^6 · density^(e+1) · 35 right at a whole number for one pass.
            const double whole = 1 + rng::rand() % 60;
            const int pass = rng::rand() % static_cast<int>(corners + 1);
            m = std::pow(whole / (35.0 * std::pow(density, pass + 1)), 1.0 / 6.0);
            ++nearWhole;
        }
        hatchPassCounts(m, density, corners, counts);
        ASSERT_EQ(counts, oracle(m, density, corners)) << "m " << m << " density " << density;
    }
    hatchPassCounts(0.0, 1.2, 4, counts);
    EXPECT_EQ(counts, std::vector<size_t>(5, 0));
    EXPECT_GT(nearWhole, 0);
}
