#include "core/platform.h"
#include "core/alloc.h"

#include <cerrno>
#include <ctime>

#if defined(__linux__)
#include <sys/mman.h>
#include <sys/random.h>
#else
#include <cstdlib>
#endif

namespace kova {

void mutex_lock(mutex *l) { pthread_mutex_lock(&l->m); }
void mutex_unlock(mutex *l) { pthread_mutex_unlock(&l->m); }

int random_bytes(void *buf, size_t n) {
    if (fault_random_fails()) return -1;
#if defined(__linux__)
    auto *p = static_cast<unsigned char *>(buf);
    while (n > 0) {
        ssize_t got = getrandom(p, n, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        p += got;
        n -= static_cast<size_t>(got);
    }
    return 0;
#else
    arc4random_buf(buf, n);
    return 0;
#endif
}

int64_t time_seconds() { return static_cast<int64_t>(time(nullptr)); }

void hint_large(void *p, size_t n) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (!p || n < large_block) return;
    // The huge pages that fit inside the block; madvise wants page-aligned
    // bounds, and a huge page is 2 MiB on the systems that have them here.
    constexpr uintptr_t huge = uintptr_t{2} << 20;
    uintptr_t start = (reinterpret_cast<uintptr_t>(p) + huge - 1) & ~(huge - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(p) + n) & ~(huge - 1);
    // Only a hint: a system without them, or that refuses, reads the block all the same.
    if (end > start) (void)madvise(reinterpret_cast<void *>(start), end - start, MADV_HUGEPAGE);
#else
    (void)p;
    (void)n;
#endif
}

} // namespace kova
