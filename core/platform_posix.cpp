#include "core/platform.h"
#include "core/alloc.h"

#include <cerrno>
#include <ctime>

#if defined(__linux__)
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

} // namespace kova
