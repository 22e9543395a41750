// Transport selection and the request time-out.
#include <atomic>

#include "io/io.h"

namespace kova {

namespace {
// Process-wide; hosts may read it from their transport threads.
std::atomic<int32_t> g_timeout_ms{default_timeout_ms};
} // namespace

const kova_io *select_io(const kova_io *installed, bool use_fake) {
    if (installed) return installed;
    if (use_fake) return fake_io();
    return builtin_io();
}

// This build carries no built-in HTTP client: hosts install their own
// transport (for example the libcurl one shipped beside the library).
const kova_io *builtin_io() { return nullptr; }

void set_request_timeout(int32_t ms) {
    g_timeout_ms.store(ms > 0 ? ms : default_timeout_ms, std::memory_order_relaxed);
}

int32_t request_timeout() { return g_timeout_ms.load(std::memory_order_relaxed); }

} // namespace kova
