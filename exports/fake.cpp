// The fake transport's controls: routes, injected failures, counters and the
// last POST (io/fake.cpp holds the transport and its state).
#include "core/platform.h"
#include "exports/frame.h"

using namespace kova;

namespace {
// The texts kova_fake_last_post_url and kova_fake_last_post_body hand out,
// guarded like the fake's own state: hosts call these from any thread. Taken
// before the fake's lock, never the other way round.
char g_fake_out[65536];
char *g_fake_body_out = nullptr;
mutex g_out_lock = KV_LOCK_INIT;

struct out_lock : mutex_guard {
    out_lock() : mutex_guard(&g_out_lock) {}
};
} // namespace

extern "C" {

KOVA_API int32_t kova_fake_set(const char *url, int32_t status, const char *body) {
    return fake_set(url, status, body);
}

KOVA_API int32_t kova_fake_fail(const char *url, const char *text) { return fake_fail(url, text); }

KOVA_API int32_t kova_fake_calls(const char *url) { return fake_calls(url); }

KOVA_API int32_t kova_fake_post_count(void) { return fake_post_count(); }

KOVA_API const char *kova_fake_last_post_url(void) {
    out_lock lock;
    fake_last_post_url(g_fake_out, sizeof g_fake_out);
    return g_fake_out;
}

KOVA_API const char *kova_fake_last_post_body(void) {
    out_lock lock;
    mem_free(g_fake_body_out);
    g_fake_body_out = fake_last_post_body();
    return g_fake_body_out ? g_fake_body_out : empty_text;
}

KOVA_API void kova_fake_reset(void) { fake_reset(); }

} // extern "C"
