// The fake transport's controls: routes, injected failures, counters and the
// last POST (io/fake.cpp holds the transport and its state).
#include "exports/frame.h"

using namespace kova;

extern "C" {

KOVA_API int32_t kova_fake_set(const char *url, int32_t status, const char *body) {
    return fake_set(url, status, body);
}

KOVA_API int32_t kova_fake_fail(const char *url, const char *text) { return fake_fail(url, text); }

KOVA_API int32_t kova_fake_calls(const char *url) { return fake_calls(url); }

KOVA_API int32_t kova_fake_post_count(void) { return fake_post_count(); }

KOVA_API const char *kova_fake_last_post_url(void) {
    host_context &c = current();
    mem_free(c.post_url_text);
    c.post_url_text = fake_last_post_url(65535);
    return c.post_url_text ? c.post_url_text : empty_text;
}

KOVA_API const char *kova_fake_last_post_body(void) {
    host_context &c = current();
    mem_free(c.post_body_text);
    c.post_body_text = fake_last_post_body();
    return c.post_body_text ? c.post_body_text : empty_text;
}

KOVA_API void kova_fake_reset(void) { fake_reset(); }

} // extern "C"
