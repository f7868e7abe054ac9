// Camera key file reader and the active-key lookup. The count in the header is
// never trusted for allocation: keys are appended one complete record at a time.
#include "scene/camera_keys.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/file_bytes.h"
#include "scene/little_endian.h"

namespace {

constexpr size_t kRecordBytes = 56;

Vec3 narrowed(const uint8_t* p)
{
    return Vec3{1, static_cast<float>(le::f64(p)), static_cast<float>(le::f64(p + 8)),
                static_cast<float>(le::f64(p + 16))};
}

CameraKey decodeKey(const uint8_t* record)
{
    CameraKey key;
    key.eye = narrowed(record);
    key.target = narrowed(record + 24);
    key.time = le::f64(record + 48);
    return key;
}

bool saneCoordinates(const Vec3& v)
{
    for (float c : {v.x, v.y, v.z})
        if (!(std::fabs(c) <= kCameraKeyCoordinateLimit)) // NaN fails too
            return false;
    return true;
}

// Keeps the key when the camera can use it; counts it otherwise.
struct KeySink {
    std::vector<CameraKey>& keys;
    size_t read = 0, dropped = 0;
    void take(const uint8_t* record)
    {
        ++read;
        const CameraKey key = decodeKey(record);
        if (usableCameraKey(key))
            keys.push_back(key);
        else
            ++dropped;
    }
};

} // namespace

bool usableCameraKey(const CameraKey& key)
{
    if (!std::isfinite(key.time) || !saneCoordinates(key.eye) || !saneCoordinates(key.target))
        return false;
    // An eye on its target gives no view direction: the camera would look nowhere.
    const double dx = double(key.target.x) - key.eye.x, dy = double(key.target.y) - key.eye.y,
                 dz = double(key.target.z) - key.eye.z;
    return dx * dx + dy * dy + dz * dz > kCameraKeyMinViewDistance * kCameraKeyMinViewDistance;
}

size_t readCameraKeys(const uint8_t* data, size_t size, std::vector<CameraKey>& keys)
{
    if (size < 4)
        return 0;
    const int32_t n = le::i32(data);
    KeySink sink{keys};
    size_t offset = 4;
    for (int32_t k = 0; k < n && size - offset >= kRecordBytes; ++k, offset += kRecordBytes)
        sink.take(data + offset);
    return sink.dropped;
}

bool loadCameraKeys(const char* path, std::vector<CameraKey>& keys)
{
    std::string bytes, why;
    if (!readFileBytes(path, bytes, why)) {
        std::fprintf(stderr, "%s %s; the show cannot run without its camera keys\n", path, why.c_str());
        return false;
    }
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    KeySink sink{keys};
    int32_t count = 0;
    if (bytes.size() >= 4) {
        count = le::i32(data);
        for (int32_t k = 0; k < count && bytes.size() - 4 - sink.read * kRecordBytes >= kRecordBytes; ++k)
            sink.take(data + 4 + sink.read * kRecordBytes);
    }
    if (bytes.size() < 4)
        std::fprintf(stderr, "%s holds %zu bytes, less than its 4-byte count of keys: it may be cut short; the "
                     "show plays without camera keys\n", path, bytes.size());
    if (count < 0)
        std::fprintf(stderr, "%s: its header counts %d camera keys, a negative number: the file is damaged; the show "
                     "plays without camera keys\n", path, count);
    if (count > 0 && sink.read < size_t(count))
        std::fprintf(stderr, "%s: %zu of the %d camera keys its header counts are in the file: it may be cut short\n",
                     path, sink.read, count);
    if (sink.dropped > 0)
        std::fprintf(stderr,
                     "%s: %zu of %zu camera keys left out (not finite, beyond %g units, or the eye on its "
                     "target); the show plays without them\n",
                     path, sink.dropped, sink.read, kCameraKeyCoordinateLimit);
    return true;
}

const CameraKey* activeKey(const std::vector<CameraKey>& keys, double t)
{
    for (const CameraKey& key : keys)
        if (key.time > t)
            return &key;
    return nullptr;
}
