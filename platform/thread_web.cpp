// A page without cross-origin isolation has no shared memory and so no threads.
// The few threads the show starts on its way (start-up decodes its two tracks side
// by side) are joined before anything waits on them, so here a new thread runs to
// its end at once, on the page's one thread, and joining it returns at once.
// These definitions take the place of the C library's, which refuse every thread.
#include <pthread.h>

extern "C" {

int pthread_create(pthread_t* thread, const pthread_attr_t*, void* (*start)(void*), void* argument)
{
    static char handle; // never dereferenced: only handed back to join and detach
    start(argument);
    *thread = reinterpret_cast<pthread_t>(&handle);
    return 0;
}

int pthread_join(pthread_t, void** result)
{
    if (result)
        *result = nullptr;
    return 0;
}

int pthread_detach(pthread_t) { return 0; }

} // extern "C"
