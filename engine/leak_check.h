// Memory that is meant to live until the process ends, told to a leak checker so
// that it is not reported. Nothing happens in a build without one.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define ZUR_LEAK_CHECKER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define ZUR_LEAK_CHECKER 1
#endif
#endif

#if defined(ZUR_LEAK_CHECKER)
#include <sanitizer/lsan_interface.h>
#endif

inline void keepUntilExit(const void* object)
{
#if defined(ZUR_LEAK_CHECKER)
    __lsan_ignore_object(object);
#else
    (void)object;
#endif
}
