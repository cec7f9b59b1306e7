// A value of each thread: made on the thread's first use, destroyed when the thread ends.
#pragma once

#if defined(_WIN32)
#include <pthread.h>
#endif

namespace corvane {

// The calling thread's T (Tag tells apart two values of one type). With mingw-w64 a
// thread_local variable lives in storage that the threads library frees before the variable's
// destructor runs, so that a thread ending wrote to freed memory; there the value lives on the
// heap instead, under a key of the threads library whose destructor deletes it.
template <typename T, typename Tag = T> T &threadLocal()
{
#if defined(_WIN32)
    static const pthread_key_t key = [] {
        pthread_key_t made{};
        pthread_key_create(&made, [](void *value) { delete static_cast<T *>(value); });
        return made;
    }();
    auto *value = static_cast<T *>(pthread_getspecific(key));
    if (!value) {
        value = new T();
        pthread_setspecific(key, value);
    }
    return *value;
#else
    thread_local T value;
    return value;
#endif
}

} // namespace corvane
