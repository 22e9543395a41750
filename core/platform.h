// Everything that differs between the host platforms lives behind this
// header: the fake transport's lock, the calling thread's session binding, the
// system's random bytes and the clock. platform_posix.cpp implements it for
// POSIX systems, platform_win32.cpp for Windows (a slim reader/writer lock, a
// TLS slot, BCryptGenRandom and _time64). The build compiles exactly one of
// them.
#pragma once

#include <cstddef>
#include <cstdint>

#if !defined(_WIN32)
#include <pthread.h>
#endif

namespace kova {

#if defined(_WIN32)
// Windows: SRWLOCK is a pointer-sized word, zero when released.
struct mutex { void *opaque; };
#define KV_LOCK_INIT {nullptr}
#else
struct mutex { pthread_mutex_t m; };
#define KV_LOCK_INIT {PTHREAD_MUTEX_INITIALIZER}
#endif

// Exclusive acquisition only; never nested by the library.
void mutex_lock(mutex *l);
void mutex_unlock(mutex *l);

// Holds a lock for one scope.
struct mutex_guard {
    mutex *l;
    explicit mutex_guard(mutex *lock) : l(lock) { mutex_lock(l); }
    ~mutex_guard() { mutex_unlock(l); }
    mutex_guard(const mutex_guard &) = delete;
    mutex_guard &operator=(const mutex_guard &) = delete;
};

// The calling thread's binding: one pointer per thread, null until set.
#if defined(_WIN32)
// A slot of the system's thread-local storage, taken when the library loads.
void *thread_binding();
void set_thread_binding(void *p);
// False when the system had no slot left for the library: no thread can
// then bind anything.
bool thread_binding_available();
#else
// Initial-exec: a plain read relative to the thread pointer, no call. It
// costs a pointer of the static TLS that the loader keeps for libraries
// opened at run time.
inline thread_local void *t_binding __attribute__((tls_model("initial-exec"))) = nullptr;
inline void *thread_binding() { return t_binding; }
inline void set_thread_binding(void *p) { t_binding = p; }
inline bool thread_binding_available() { return true; }
#endif

// Fills buf with n cryptographically random bytes. Returns 0 on success,
// nonzero when the system source failed (the caller then uses a fallback).
int random_bytes(void *buf, size_t n);

// Seconds since 1970-01-01T00:00:00Z.
int64_t time_seconds();

} // namespace kova
