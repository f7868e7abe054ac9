// Hand-held recording: record reader, loop closing, tilt smoothing, the unsigned
// sample wrap and the camera push.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "scene/handheld.h"

namespace {

struct Record {
    float x, y, z;
    double a, b;
};

std::string bytesOf(const std::vector<Record>& records, size_t extra = 0)
{
    std::string out;
    for (const Record& r : records) {
        char raw[28];
        std::memcpy(raw, &r.x, 4);
        std::memcpy(raw + 4, &r.y, 4);
        std::memcpy(raw + 8, &r.z, 4);
        std::memcpy(raw + 12, &r.a, 8);
        std::memcpy(raw + 20, &r.b, 8);
        out.append(raw, 28);
    }
    out.append(extra, '\x55');
    return out;
}

HandheldRecording fromRecords(const std::vector<Record>& records, size_t extra = 0)
{
    std::string bytes = bytesOf(records, extra);
    HandheldRecording rec;
    rec.loadFromMemory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return rec;
}

std::vector<Record> ramp(int n)
{
    std::vector<Record> r;
    for (int i = 0; i < n; ++i)
        r.push_back({float(i), float(2 * i), float(3 * i), 4.0 * i, 5.0 * i});
    return r;
}

} // namespace

TEST(Handheld, SampleIndexWrapsThroughUnsigned)
{
    HandheldRecording rec = fromRecords(std::vector<Record>(1001, Record{}));
    struct Case {
        double t;
        uint32_t index;
    } cases[] = {
        {0.0, 268},                 // (2^32 - 28) mod 1000
        {0.8, 0},                   // sample 0 plays at 0.8 s
        {1.0, 7},
        {(1000 + 28) / 35.0, 0},    // wraps after n - 1 samples
        {(999 + 28) / 35.0 + 1e-9, 999},
        {0.5, uint32_t((4294967296.0 - 10) - 1000 * std::floor((4294967296.0 - 10) / 1000))},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rec.sampleIndex(c.t), c.index) << c.t;
    EXPECT_EQ(HandheldRecording{}.sampleIndex(5.0), 0u);
}

TEST(Handheld, LoopClosing)
{
    // Exactly six records: base 0, everything becomes the first record.
    HandheldRecording six = fromRecords(ramp(6));
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(six.samples[i].x, 0.0f);
        EXPECT_EQ(six.samples[i].z, 0.0f);
        EXPECT_EQ(six.second[i], 0.0);
        EXPECT_EQ(six.tilt[i], 0.0);
    }
    // Five or fewer: untouched.
    HandheldRecording five = fromRecords(ramp(5));
    EXPECT_EQ(five.samples[4].y, 8.0f);
    EXPECT_EQ(five.second[4], 20.0);
    // Longer: the last six run from record n - 6 five sixths of the way to record 0.
    HandheldRecording twenty = fromRecords(ramp(20));
    EXPECT_EQ(twenty.samples[14].x, 14.0f);
    EXPECT_FLOAT_EQ(twenty.samples[19].x, 14.0f * (1.0 - 5.0 / 6.0));
    EXPECT_FLOAT_EQ(twenty.samples[17].y, 28.0f * 0.5f);
    EXPECT_DOUBLE_EQ(twenty.second[16], 70.0 * (2.0 / 3.0));
    EXPECT_EQ(twenty.samples[13].z, 39.0f);
    EXPECT_EQ(twenty.samples[0].tag, 1);
}

TEST(Handheld, TiltSmoothingAndUsability)
{
    // Constant tilt survives both resamplings exactly; n values come back.
    std::vector<Record> flat(120, Record{1, 2, 3, 250.0, 0});
    HandheldRecording rec = fromRecords(flat);
    ASSERT_EQ(rec.tilt.size(), 120u);
    for (double a : rec.tilt)
        EXPECT_EQ(a, 250.0);

    // Alternating tilt is smoothed: far smaller swings after loading.
    std::vector<Record> noisy;
    for (int i = 0; i < 400; ++i)
        noisy.push_back({0, 0, 0, (i % 2 ? 40.0 : -40.0) + i * 0.1, 0});
    HandheldRecording smooth = fromRecords(noisy);
    ASSERT_EQ(smooth.tilt.size(), 400u);
    double swing = 0;
    for (size_t i = 10; i + 10 < 400; ++i)
        swing = std::max(swing, std::fabs(smooth.tilt[i + 1] - smooth.tilt[i]));
    EXPECT_LT(swing, 20.0);

    EXPECT_FALSE(fromRecords(ramp(39)).usable());
    EXPECT_TRUE(fromRecords(ramp(40)).usable());
    EXPECT_EQ(fromRecords(ramp(40)).tilt.size(), 40u);
    // A trailing partial record is ignored.
    EXPECT_EQ(fromRecords(ramp(45), 27).samples.size(), 45u);
}

TEST(Handheld, LoadFromFile)
{
    HandheldRecording rec = fromRecords(ramp(3));
    EXPECT_FALSE(rec.load("/nonexistent/dir/try1.sav"));
    EXPECT_EQ(rec.samples.size(), 3u);

    std::string path = std::string(ZUR_BINARY_DIR) + "/handheld_test_try1.sav";
    std::string bytes = bytesOf(ramp(50), 10);
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    ASSERT_TRUE(rec.load(path.c_str()));
    EXPECT_EQ(rec.samples.size(), 50u);
    EXPECT_TRUE(rec.usable());
    std::remove(path.c_str());
}

TEST(Handheld, CameraPushAndTilt)
{
    std::vector<Record> still(60, Record{1000.0f, 500.0f, 7.0f, 1000.0, 0});
    HandheldRecording rec = fromRecords(still);
    Vec3 eye{1, 0, 0.1f, 5}, target{1, 0, 0.1f, 0}, up{1, 0, 1, 0};
    applyHandheld(rec, 0.8, eye, target, up);
    // forward -z, right = forward x up = +x.
    EXPECT_NEAR(target.x, 1000 * 0.0001482, 1e-6);
    EXPECT_NEAR(target.y, 0.1 + 500 * 0.0001482, 1e-6);
    EXPECT_NEAR(target.z, 0.0, 1e-7);
    EXPECT_NEAR(up.x, 0.4 * std::sin(1000 * 1.7188733853924696 * 0.0001482), 1e-6);
    EXPECT_EQ(up.y, 1.0f);
    EXPECT_EQ(eye.z, 5.0f);

    // Not usable: nothing moves.
    HandheldRecording shortRec = fromRecords(std::vector<Record>(39, Record{1000, 500, 0, 1000, 0}));
    Vec3 t2{1, 0, 0.1f, 0}, u2{1, 0, 1, 0};
    applyHandheld(shortRec, 0.8, eye, t2, u2);
    EXPECT_EQ(t2.x, 0.0f);
    EXPECT_EQ(u2.x, 0.0f);
}

TEST(Handheld, RecordingWithGarbageValuesIsLeftOut)
{
    const float fnan = std::nanf(""), finf = HUGE_VALF;
    const double nan = std::nan("");
    struct Case {
        const char* what;
        Record spoiler;
        bool usable;
    } cases[] = {
        {"sane", {150, -120, 80, 360, 1.5}, true},
        {"at the limit", {100000, -100000, 0, -100000, 0}, true},
        {"unused channels", {150, 120, fnan, 360, nan}, true},
        {"x not a number", {fnan, 0, 0, 0, 0}, false},
        {"y infinite", {0, -finf, 0, 0, 0}, false},
        {"x far off", {2.0e5f, 0, 0, 0, 0}, false},
        {"tilt not a number", {0, 0, 0, nan, 0}, false},
        {"tilt far off", {0, 0, 0, -1.0e9, 0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Record> records(60, Record{100, 50, 0, 200, 0});
        records[37] = c.spoiler;
        std::string bytes = bytesOf(records);
        HandheldRecording rec;
        EXPECT_EQ(rec.loadFromMemory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), c.usable);
        EXPECT_EQ(rec.usable(), c.usable);
        Vec3 eye{1, 0, 0.1f, 5}, target{1, 0, 0.1f, 0}, up{1, 0, 1, 0};
        applyHandheld(rec, 2.0, eye, target, up);
        EXPECT_TRUE(std::isfinite(target.x) && std::isfinite(target.y) && std::isfinite(up.x));
        if (!c.usable) {
            EXPECT_TRUE(rec.samples.empty() && rec.tilt.empty() && rec.second.empty());
            EXPECT_EQ(target.x, 0.0f); // no sway at all
        }
    }

    // Random bytes from a file: left out, with one line naming the file.
    std::string path = std::string(ZUR_BINARY_DIR) + "/handheld_test_noise.sav";
    std::string noise;
    uint32_t state = 12345;
    for (int i = 0; i < 28 * 500; ++i) {
        state = state * 1664525u + 1013904223u;
        noise.push_back(static_cast<char>(state >> 24));
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(noise.data(), 1, noise.size(), f);
    std::fclose(f);
    HandheldRecording rec;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(rec.load(path.c_str()));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(rec.usable());
    EXPECT_EQ(err.rfind(path + ": hand-held recording left out", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    std::remove(path.c_str());
}
