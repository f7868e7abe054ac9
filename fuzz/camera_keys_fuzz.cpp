// Fuzz target: the binary camera key reader and the active-key lookup.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene/camera_keys.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<CameraKey> keys;
    readCameraKeys(data, size, keys);
    if (size < 4 ? !keys.empty() : keys.size() > (size - 4) / 56)
        __builtin_trap();
    for (const CameraKey& key : keys)
        if (!usableCameraKey(key))
            __builtin_trap();
    for (double t : {-1e300, -1.0, 0.0, 12.5, 1e300})
        if (const CameraKey* key = activeKey(keys, t); key && !(key->time > t))
            __builtin_trap();
    return 0;
}
