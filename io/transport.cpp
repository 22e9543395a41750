// Transport selection and the request time-out.
#include <atomic>

#include "io/io.h"

namespace {
// Process-wide; hosts may read it from their transport threads.
std::atomic<int32_t> g_timeout_ms{kova_default_timeout_ms};
} // namespace

const kova_io *kova_io_select(const kova_io *installed, bool use_fake) {
    if (installed) return installed;
    if (use_fake) return kova_io_fake();
    return kova_io_curl();
}

// This build carries no built-in HTTP client: hosts install their own
// transport (for example the libcurl one shipped beside the library).
const kova_io *kova_io_curl() { return nullptr; }

void kova_curl_set_timeout(int32_t ms) {
    g_timeout_ms.store(ms > 0 ? ms : kova_default_timeout_ms, std::memory_order_relaxed);
}

int32_t kova_curl_timeout() { return g_timeout_ms.load(std::memory_order_relaxed); }
