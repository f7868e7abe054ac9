// Catmull-Rom paths (closed and open evaluation at the ends, the float32 shift,
// channel guards, look-ahead, arc-length resampling) and the camera key file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "scene/camera_keys.h"
#include "scene/path_spline.h"

namespace {

// Textbook Catmull-Rom in double precision, the outside reference for the
// float Hermite form.
double catmullRom(double p0, double p1, double p2, double p3, double t)
{
    return 0.5 * (2 * p1 + (-p0 + p2) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t * t +
                  (-p0 + 3 * p1 - 3 * p2 + p3) * t * t * t);
}

PathSpline wavyPath(int n, bool closed)
{
    PathSpline path;
    path.closed = closed;
    for (int i = 0; i < n; ++i)
        path.addPoint(Vec3{1, float(i), std::sin(i * 0.7f) * 3, float(i % 5)});
    return path;
}

void expectNear(const Vec3& v, double x, double y, double z, double tol = 1e-4)
{
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

void expectSegment(const PathSpline& path, float s, int i0, int i1, int i2, int i3, double t)
{
    Vec3 out{1, 0, 0, 0};
    path.evaluate(s, out);
    const std::vector<Vec3>& p = path.points;
    expectNear(out, catmullRom(p[i0].x, p[i1].x, p[i2].x, p[i3].x, t),
               catmullRom(p[i0].y, p[i1].y, p[i2].y, p[i3].y, t), catmullRom(p[i0].z, p[i1].z, p[i2].z, p[i3].z, t));
}

std::string tempPath(const char* name) { return std::string(ZUR_BINARY_DIR) + "/path_spline_test_" + name; }

} // namespace

TEST(PathSpline, ClosedEvaluationWrapsAtBothEnds)
{
    const int n = 10;
    PathSpline path = wavyPath(n, true);
    SCOPED_TRACE("closed");
    expectSegment(path, 4.25f, 3, 4, 5, 6, 0.25);       // direct branch
    expectSegment(path, 0.5f, 9, 0, 1, 2, 0.5);         // shifted branch, d = 0 wraps back
    expectSegment(path, 1.5f, 0, 1, 2, 3, 0.5);
    expectSegment(path, 8.5f, 7, 8, 9, 0, 0.5);         // d = n - 2
    expectSegment(path, 9.5f, 8, 9, 0, 1, 0.5);         // last segment closes the loop
    expectSegment(path, -0.5f, 8, 9, 0, 1, 0.5);        // negative s wraps
    expectSegment(path, 10.5f, 9, 0, 1, 2, 0.5);
    // s = 2 and s = n - 2 take the shifted branch and land on the control points.
    for (float s : {2.0f, 8.0f, 0.0f}) {
        Vec3 out{1, 0, 0, 0};
        path.evaluate(s, out);
        const Vec3& p = path.points[int(s)];
        EXPECT_EQ(out.x, p.x);
        EXPECT_EQ(out.y, p.y);
        EXPECT_EQ(out.z, p.z);
    }
    // Only x, y and z are written.
    Vec3 tagged{7, 0, 0, 0};
    path.evaluate(3.5f, tagged);
    EXPECT_EQ(tagged.tag, 7);
}

TEST(PathSpline, ShiftQuantisesTheFractionOnLongPaths)
{
    // n = 600: s + 6e6 in float32 moves in steps of 0.5 near the ends only.
    PathSpline path = wavyPath(600, true);
    auto at = [&](float s) {
        Vec3 out{1, 0, 0, 0};
        path.evaluate(s, out);
        return out;
    };
    auto same = [](const Vec3& a, const Vec3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; };
    EXPECT_TRUE(same(at(0.2f), path.points[0]));  // 6000000.2 rounds to 6000000
    EXPECT_TRUE(same(at(0.3f), at(0.5f)));        // 6000000.3 rounds to 6000000.5
    EXPECT_TRUE(same(at(0.7f), at(0.5f)));
    EXPECT_TRUE(same(at(1.1f), path.points[1]));
    EXPECT_TRUE(same(at(598.3f), at(598.5f)));    // shifted near the end too
    EXPECT_FALSE(same(at(300.3f), at(300.5f)));   // the direct branch keeps its fraction
    EXPECT_FALSE(same(at(597.3f), at(597.5f)));
}

TEST(PathSpline, OpenEvaluationClampsAndCopiesEnds)
{
    const int n = 8;
    PathSpline path = wavyPath(n, false);
    path.points[0].tag = 1;
    SCOPED_TRACE("open");
    expectSegment(path, 0.5f, 0, 0, 1, 2, 0.5);
    expectSegment(path, 1.25f, 0, 1, 2, 3, 0.25);
    expectSegment(path, 4.5f, 3, 4, 5, 6, 0.5);
    expectSegment(path, 6.5f, 5, 6, 7, 7, 0.5);
    expectSegment(path, 7.5f, 6, 7, 7, 7, 0.5);  // n - 1 <= s <= n: clamped neighbours
    expectSegment(path, 8.0f, 6, 7, 7, 7, 0.0);
    for (float s : {-0.001f, -50.0f, 8.001f, 1e7f}) {
        Vec3 out{9, 0, 0, 0};
        path.evaluate(s, out);
        const Vec3& end = s < 0 ? path.points[0] : path.points[n - 1];
        EXPECT_EQ(std::memcmp(&out, &end, sizeof out), 0) << s;  // a whole copy, tag included
    }
    // Nothing to evaluate: the output stays as it was.
    PathSpline empty;
    empty.closed = false;
    Vec3 out{3, 1, 2, 3};
    empty.evaluate(1.0f, out);
    EXPECT_EQ(out.x, 1.0f);
}

TEST(PathSpline, ChannelGuardsAndLookAhead)
{
    Vec3 a{5, 1, 1, 1}, b{5, 2, 2, 2}, c{5, 3, 3, 3};
    PathSpline empty;
    empty.evaluateChannels(1.0f, a, b, c);
    for (const Vec3* v : {&a, &b, &c}) {
        EXPECT_EQ(v->tag, 1);
        EXPECT_EQ(v->x, 100.0f);
        EXPECT_EQ(v->y, 0.0f);
    }

    PathSpline one;
    one.addPoint(Vec3{1, 4, 4, 4});
    Vec3 keep{5, 7, 7, 7};
    one.evaluateChannels(0.0f, keep, keep, keep);
    EXPECT_EQ(keep.x, 7.0f);

    // Three channels evaluated with the same closed selection, as many as asked for.
    PathSpline path = wavyPath(6, false);  // evaluateChannels always wraps
    for (int i = 0; i < 6; ++i) {
        path.channel2.push_back(Vec3{1, float(10 * i), 0, 0});
        path.channel3.push_back(Vec3{1, 0, float(-i), 0});
    }
    for (int channels = 1; channels <= 3; ++channels) {
        path.channels = channels;
        Vec3 o1{1, 0, 0, 0}, o2{1, -9, -9, -9}, o3{1, -9, -9, -9};
        path.evaluateChannels(5.5f, o1, o2, o3);  // segment 5 -> 0
        EXPECT_NEAR(o1.x, catmullRom(4, 5, 0, 1, 0.5), 1e-4);
        EXPECT_EQ(o2.x == -9.0f, channels < 2);
        EXPECT_EQ(o3.x == -9.0f, channels < 3);
        if (channels >= 2) {
            EXPECT_NEAR(o2.x, catmullRom(40, 50, 0, 10, 0.5), 1e-3);
        }
        if (channels == 3) {
            EXPECT_NEAR(o3.y, catmullRom(-4, -5, 0, -1, 0.5), 1e-4);
        }
    }

    path.channels = 3;
    Vec3 here{1, 0, 0, 0}, ahead{1, 0, 0, 0}, c1{1, 0, 0, 0}, c2{1, 0, 0, 0}, c3{1, 0, 0, 0};
    path.evaluateWithLookAhead(2.25f, 0.5f, here, ahead);
    EXPECT_EQ(path.channels, 3);
    path.evaluateChannels(2.75f, c1, c2, c3);
    EXPECT_EQ(ahead.x, c1.x);
    EXPECT_EQ(ahead.y, c1.y);
    path.evaluateChannels(2.25f, c1, c2, c3);
    EXPECT_EQ(here.z, c1.z);

    // A channel holding fewer values than count is left alone instead of read past.
    path.channel2.resize(3);
    Vec3 o2{1, -9, -9, -9};
    path.evaluateChannels(4.5f, c1, o2, c3);
    EXPECT_EQ(o2.x, -9.0f);
}

TEST(PathSpline, ResamplingByArcLength)
{
    // Counts: exactly n points, first channel only, closed flag kept.
    for (bool closed : {false, true})
        for (int n : {1, 4, 17, 100}) {
            PathSpline path = wavyPath(12, closed);
            path.channel2.assign(12, Vec3{1, 1, 1, 1});
            path.channels = 2;
            path.resampleByArcLength(n, 3);
            EXPECT_EQ(path.count, n);
            EXPECT_EQ(path.points.size(), size_t(n));
            EXPECT_TRUE(path.channel2.empty() && path.channel3.empty());
            EXPECT_EQ(path.channels, 3);
            EXPECT_EQ(path.closed, closed);
        }
    // Too few points, or no samples per segment: nothing changes.
    for (auto [points, a] : {std::pair{3, 3}, std::pair{12, 0}, std::pair{12, -2}}) {
        PathSpline path = wavyPath(points, false);
        path.resampleByArcLength(50, a);
        EXPECT_EQ(path.count, points);
    }
    // Evenly spaced by arc length: a circle resampled from unevenly placed points
    // (control points up to 40 % closer or further apart than the mean).
    PathSpline circle;
    const double jitter[] = {0, 0.2, -0.1, 0.25, -0.2, 0.1, 0, -0.25, 0.15, -0.05};
    for (int i = 0; i < 10; ++i) {
        double a = (i + jitter[i]) * 2 * M_PI / 10;
        circle.addPoint(Vec3{1, float(10 * std::cos(a)), float(10 * std::sin(a)), 0});
    }
    for (int perSegment : {1, 3, 8}) {
        PathSpline path;
        path.assign(circle);
        path.resampleByArcLength(40, perSegment);
        ASSERT_EQ(path.count, 40);
        std::vector<double> gaps;
        for (int i = 0; i < 40; ++i) {
            const Vec3& p = path.points[i];
            const Vec3& q = path.points[(i + 1) % 40];
            gaps.push_back(std::hypot(q.x - p.x, q.y - p.y));
        }
        double mean = 0;
        for (double g : gaps)
            mean += g / 40;
        // Chord tables (one sample per segment) measure the polygon, not the curve.
        double worst = 0;
        for (double g : gaps)
            worst = std::max(worst, std::fabs(g / mean - 1.0));
        // A finer length table spaces the points more evenly (chords of the control
        // polygon, perSegment 1, measure the polygon rather than the curve).
        double tolerance = perSegment == 1 ? 0.25 : (perSegment == 3 ? 0.12 : 0.04);
        EXPECT_LT(worst, tolerance) << perSegment;
    }
    // An open straight line stays on its line and keeps its first point.
    PathSpline line;
    line.closed = false;
    for (int i = 0; i < 10; ++i)
        line.addPoint(Vec3{1, float(i), 2.0f * i, 0});
    line.resampleByArcLength(25, 3);
    EXPECT_EQ(line.points[0].x, 0.0f);
    for (const Vec3& p : line.points)
        EXPECT_NEAR(p.y, 2.0 * p.x, 1e-4);
}

TEST(PathSpline, AssignCopiesEverything)
{
    PathSpline source = wavyPath(5, false);
    source.channel3.push_back(Vec3{1, 1, 2, 3});
    source.channels = 2;
    PathSpline copy = wavyPath(9, true);
    copy.assign(source);
    EXPECT_EQ(copy.count, 5);
    EXPECT_EQ(copy.channels, 2);
    EXPECT_FALSE(copy.closed);
    EXPECT_EQ(copy.points.size(), 5u);
    EXPECT_EQ(copy.channel3.size(), 1u);
    copy.assign(copy);
    EXPECT_EQ(copy.points.size(), 5u);
}

// ---------------------------------------------------------------------------

namespace {

std::string keyFile(int32_t count, const std::vector<std::vector<double>>& records, size_t extraBytes = 0)
{
    std::string bytes(reinterpret_cast<const char*>(&count), 4);
    for (const std::vector<double>& r : records)
        bytes.append(reinterpret_cast<const char*>(r.data()), 56);
    bytes.append(extraBytes, '\x7f');
    return bytes;
}

std::vector<CameraKey> loadKeys(const std::string& bytes, bool* opened = nullptr)
{
    std::string path = tempPath("keys.pt");
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    std::vector<CameraKey> keys;
    bool ok = loadCameraKeys(path.c_str(), keys);
    if (opened)
        *opened = ok;
    std::remove(path.c_str());
    return keys;
}

} // namespace

TEST(CameraKeys, FileRecordsAndDamagedCounts)
{
    std::vector<std::vector<double>> records = {{1.1, 2.2, 3.3, 4.4, 5.5, 6.6, 0.1},
                                                {-1, -2, -3, -4, -5, -6, 12.345678901234}};
    bool opened = false;
    std::vector<CameraKey> keys = loadKeys(keyFile(2, records, 100), &opened);
    ASSERT_TRUE(opened);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].eye.x, 1.1f);  // narrowed to float32
    EXPECT_EQ(keys[0].target.z, 6.6f);
    EXPECT_EQ(keys[0].eye.tag, 1);
    EXPECT_EQ(keys[1].time, 12.345678901234);  // time stays float64
    EXPECT_EQ(keys[1].target.x, -4.0f);

    // A count that cannot be right is named on standard error; the keys that can
    // be read are kept.
    struct Case {
        int32_t count;
        size_t records, extra, expected;
        const char* said;
    } cases[] = {
        {5, 2, 30, 2, "keys.pt: 2 of the 5 camera keys its header counts are in the file"}, // ends early
        {1, 2, 0, 1, ""},        // nothing after the N-th record is read
        {0, 2, 0, 0, ""},
        {-7, 2, 0, 0, "keys.pt: its header counts -7 camera keys, a negative number: the file is damaged"},
        {-979404358, 0, 0, 0, "counts -979404358 camera keys, a negative number"},
        {2147483647, 2, 0, 2, "2 of the 2147483647 camera keys"}, // the records that are there
        {1000001, 2, 56 * 3, 2, "5 of the 1000001 camera keys"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        std::vector<std::vector<double>> some(records.begin(), records.begin() + c.records);
        testing::internal::CaptureStderr();
        EXPECT_EQ(loadKeys(keyFile(c.count, some, c.extra)).size(), c.expected);
        const std::string err = testing::internal::GetCapturedStderr();
        if (*c.said)
            EXPECT_NE(err.find(c.said), std::string::npos) << err;
        else
            EXPECT_EQ(err, "");
    }
    EXPECT_TRUE(loadKeys(std::string("\x02\x00", 2)).empty());

    std::vector<CameraKey> none;
    EXPECT_FALSE(loadCameraKeys("/nonexistent/dir/paths.pt", none));
}

TEST(CameraKeys, CountsPastAMillionReadEveryRecord)
{
    const int32_t n = 1000003;
    std::string bytes(reinterpret_cast<const char*>(&n), 4);
    for (int32_t k = 0; k < n; ++k) {
        const double r[7] = {1, 2, 3, 4, 5, 6, double(k)};
        bytes.append(reinterpret_cast<const char*>(r), 56);
    }
    std::vector<CameraKey> keys;
    EXPECT_EQ(readCameraKeys(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), keys), 0u);
    ASSERT_EQ(keys.size(), size_t(n));
    EXPECT_EQ(keys.back().time, double(n - 1));
}

TEST(CameraKeys, GarbageKeysAreLeftOutWithOneLine)
{
    const double nan = std::nan(""), inf = HUGE_VAL;
    struct Case {
        std::vector<double> record;
        bool kept;
    } cases[] = {
        {{1, 2, 3, 4, 5, 6, 1.0}, true},
        {{nan, 2, 3, 4, 5, 6, 2.0}, false},
        {{1, 2, 3, 4, -inf, 6, 3.0}, false},
        {{1, 2, 1e300, 4, 5, 6, 4.0}, false},   // infinite once narrowed
        {{1, 2, 3, 4, 5, 20000, 5.0}, false},   // beyond the show's scale
        {{1, 2, 3, 4, 5, 6, nan}, false},
        {{1, 2, 3, 4, 5, 6, inf}, false},
        {{7, 8, 9, 7, 8, 9, 8.0}, false},       // eye on target: looks nowhere
        {{-10000, 0, 0, 10000, 1e-300, 0, 9.0}, true},
        {{0, 0, 1e-6, 0, 0, 0, 10.0}, false},
        {{0.5, 0.5, 5, 0.5, 0.5, 0, -1e300}, true}, // never active, but harmless
    };
    std::vector<std::vector<double>> records;
    std::vector<double> keptTimes;
    for (const Case& c : cases) {
        records.push_back(c.record);
        if (c.kept)
            keptTimes.push_back(c.record[6]);
    }
    testing::internal::CaptureStderr();
    std::vector<CameraKey> keys = loadKeys(keyFile(int32_t(records.size()), records));
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(keys.size(), keptTimes.size());
    for (size_t i = 0; i < keys.size(); ++i)
        EXPECT_EQ(keys[i].time, keptTimes[i]);
    EXPECT_NE(err.find("keys.pt: 8 of 11 camera keys left out"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;

    // Sane keys say nothing.
    testing::internal::CaptureStderr();
    loadKeys(keyFile(1, {cases[0].record}));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(CameraKeys, ActiveKeyIsFirstStrictlyLaterInFileOrder)
{
    std::vector<CameraKey> keys(4);
    const double times[] = {10.0, 5.0, 20.0, 15.0};
    for (int i = 0; i < 4; ++i)
        keys[i].time = times[i];
    EXPECT_EQ(activeKey(keys, 0.0), &keys[0]);
    EXPECT_EQ(activeKey(keys, 9.99), &keys[0]);
    EXPECT_EQ(activeKey(keys, 10.0), &keys[2]);  // equal time is not active; 5 is earlier
    EXPECT_EQ(activeKey(keys, 19.0), &keys[2]);
    EXPECT_EQ(activeKey(keys, 20.0), nullptr);
    EXPECT_EQ(activeKey({}, 0.0), nullptr);
}
