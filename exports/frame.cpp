// The default context and the sessions, the call frame of the operation entry
// points, and the diagnostic, lifecycle, configuration and transport exports.
#include <new>

#include "exports/frame.h"

using namespace kova;

// Constant-initialised in its zero state (no lookup match: -1), so it is
// ready before any call and needs no first-use step.
host_context kova::g_default;
std::atomic<bool> kova::g_bound_once{false};

context *kova::frame_begin() {
    host_context &c = current();
    begin_call(&c);
    return &c;
}

int32_t kova::frame_end(int32_t rc) {
    current().rc = rc;
    return rc;
}

namespace {
// Releases everything c holds and returns it to the zero state.
void release(host_context &c) {
    context_free(&c);
    mem_free(c.json_text);
    mem_free(c.field_text);
    mem_free(c.path_text);
    c.json_text = c.field_text = c.path_text = nullptr;
    c.imdb_buf[0] = '\0';
}
} // namespace

extern "C" {

KOVA_API const char *kova_version(void) { return KV_VERSION; }
KOVA_API const char *kova_strerror(int32_t rc) { return code_name(rc); }
KOVA_API int32_t kova_last_rc(void) { return current().rc; }
KOVA_API int32_t kova_last_http_code(void) { return current().http_code; }
KOVA_API const char *kova_last_error(void) { return current().err; }
KOVA_API const char *kova_last_transport_error(void) { return current().transport_err; }
KOVA_API int32_t kova_warning_count(void) { return current().warning_count; }

KOVA_API const char *kova_warning(int32_t i) {
    const host_context &c = current();
    if (i < 0 || i >= c.warning_count || !c.warnings[i]) return empty_text;
    return c.warnings[i];
}

// The time-out is the process's: the default context's reset restores it, as
// it always has; a session's reset leaves it to the others that share it.
KOVA_API void kova_reset(void) {
    host_context &c = current();
    release(c);
    if (&c == &g_default) set_request_timeout(0);
}

KOVA_API kova_session *kova_session_new(void) {
    // A session that could never be bound would send the host's calls to
    // the default context unseen.
    if (!thread_binding_available()) return nullptr;
    void *p = mem_alloc(sizeof(kova_session));
    return p ? ::new (p) kova_session() : nullptr;
}

KOVA_API kova_session *kova_session_bind(kova_session *s) {
    auto *prev = static_cast<kova_session *>(thread_binding());
    if (s) g_bound_once.store(true, std::memory_order_relaxed);
    set_thread_binding(s);
    return prev;
}

KOVA_API kova_session *kova_session_current(void) { return static_cast<kova_session *>(thread_binding()); }

KOVA_API void kova_session_free(kova_session *s) {
    if (!s) return;
    if (thread_binding() == s) set_thread_binding(nullptr);
    release(s->ctx);
    mem_free(s->ctx.post_url_text);
    mem_free(s->ctx.post_body_text);
    s->~kova_session();
    mem_free(s);
}

KOVA_API void kova_arm_library_writes(int32_t armed) { current().armed = armed ? 1 : 0; }

KOVA_API int32_t kova_library_writes_armed(void) { return current().armed; }

KOVA_API int32_t kova_jackett_configure(const char *host, int32_t port, int32_t https, const char *api_key) {
    context *ctx = frame_begin();
    return frame_end(service_configure(ctx, KOVA_JACKETT, host, port, https, api_key));
}

KOVA_API int32_t kova_sonarr_configure(const char *host, int32_t port, int32_t https, const char *api_key) {
    context *ctx = frame_begin();
    return frame_end(service_configure(ctx, KOVA_SONARR, host, port, https, api_key));
}

KOVA_API int32_t kova_radarr_configure(const char *host, int32_t port, int32_t https, const char *api_key) {
    context *ctx = frame_begin();
    return frame_end(service_configure(ctx, KOVA_RADARR, host, port, https, api_key));
}

KOVA_API int32_t kova_prowlarr_configure(const char *host, int32_t port, int32_t https, const char *api_key) {
    return frame_end(service_configure(frame_begin(), KOVA_PROWLARR, host, port, https, api_key));
}

KOVA_API int32_t kova_configure_url(int32_t kind, const char *url, const char *api_key) {
    return frame_end(service_configure_url(frame_begin(), kind, url, api_key));
}

KOVA_API int32_t kova_set_url_base(int32_t kind, const char *path) {
    context *ctx = frame_begin();
    return frame_end(service_set_url_base(ctx, kind, path));
}

KOVA_API const char *kova_base_url(int32_t kind) {
    if (!kind_ok(kind)) return empty_text;
    const service_config &s = current().svc[kind];
    return s.configured && s.base_url ? s.base_url : empty_text;
}

KOVA_API int32_t kova_default_port(int32_t kind) { return service_default_port(kind); }

KOVA_API void kova_set_io(const kova_io *io) {
    host_context &c = current();
    c.io = io;
    c.use_fake = 0;
}

KOVA_API void kova_use_fake(void) {
    host_context &c = current();
    c.io = nullptr;
    c.use_fake = 1;
}

KOVA_API int32_t kova_use_curl(void) {
    host_context &c = current();
    c.io = nullptr;
    c.use_fake = 0;
    return builtin_io() ? OK : ERR_NO_IO;
}

KOVA_API void kova_set_timeout_ms(int32_t ms) { set_request_timeout(ms); }
KOVA_API int32_t kova_timeout_ms(void) { return request_timeout(); }

KOVA_API const char *kova_imdb_numeric(const char *imdb_id) {
    char *buf = current().imdb_buf;
    imdb_norm(imdb_id, buf, sizeof current().imdb_buf);
    return buf;
}

} // extern "C"
