// Camera key file reader and the active-key lookup. The count in the header is
// never trusted for allocation: keys are appended one complete record at a time.
#include "scene/camera_keys.h"

#include <cstdio>
#include <cstring>

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

} // namespace

void readCameraKeys(const uint8_t* data, size_t size, std::vector<CameraKey>& keys)
{
    if (size < 4)
        return;
    int32_t n = le::i32(data);
    if (n < 1 || n > kMaxCameraKeys)
        return;
    size_t offset = 4;
    for (int32_t k = 0; k < n && size - offset >= kRecordBytes; ++k, offset += kRecordBytes)
        keys.push_back(decodeKey(data + offset));
}

bool loadCameraKeys(const char* path, std::vector<CameraKey>& keys)
{
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    uint8_t header[4];
    if (std::fread(header, 1, 4, file) == 4) {
        int32_t n = le::i32(header);
        if (n >= 1 && n <= kMaxCameraKeys) {
            uint8_t record[kRecordBytes];
            for (int32_t k = 0; k < n && std::fread(record, 1, kRecordBytes, file) == kRecordBytes; ++k)
                keys.push_back(decodeKey(record));
        }
    }
    std::fclose(file);
    return true;
}

const CameraKey* activeKey(const std::vector<CameraKey>& keys, double t)
{
    for (const CameraKey& key : keys)
        if (key.time > t)
            return &key;
    return nullptr;
}
