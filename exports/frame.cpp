// The process-wide context, the call frame of the operation entry points,
// and the diagnostic, lifecycle, configuration and transport exports.
#include "exports/frame.h"

using namespace kova;

// Constant-initialised in its zero state (no lookup match: -1), so it is
// ready before any call and needs no first-use step.
global_context kova::g_kova;

context *kova::frame_begin() {
    begin_call(&g_kova);
    return &g_kova;
}

int32_t kova::frame_end(int32_t rc) {
    g_kova.rc = rc;
    return rc;
}

extern "C" {

KOVA_API const char *kova_version(void) { return KV_VERSION; }
KOVA_API const char *kova_strerror(int32_t rc) { return code_name(rc); }
KOVA_API int32_t kova_last_rc(void) { return g_kova.rc; }
KOVA_API int32_t kova_last_http_code(void) { return g_kova.http_code; }
KOVA_API const char *kova_last_error(void) { return g_kova.err; }
KOVA_API const char *kova_last_transport_error(void) { return g_kova.transport_err; }
KOVA_API int32_t kova_warning_count(void) { return g_kova.warning_count; }

KOVA_API const char *kova_warning(int32_t i) {
    if (i < 0 || i >= g_kova.warning_count || !g_kova.warnings[i]) return empty_text;
    return g_kova.warnings[i];
}

KOVA_API void kova_reset(void) {
    context_free(&g_kova);
    mem_free(g_kova.json_text);
    mem_free(g_kova.field_text);
    mem_free(g_kova.path_text);
    g_kova.json_text = g_kova.field_text = g_kova.path_text = nullptr;
    g_kova.imdb_buf[0] = '\0';
    set_request_timeout(0);
}

KOVA_API void kova_arm_library_writes(int32_t armed) { g_kova.armed = armed ? 1 : 0; }

KOVA_API int32_t kova_library_writes_armed(void) { return g_kova.armed; }

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
    const service_config &s = g_kova.svc[kind];
    return s.configured && s.base_url ? s.base_url : empty_text;
}

KOVA_API int32_t kova_default_port(int32_t kind) { return service_default_port(kind); }

KOVA_API void kova_set_io(const kova_io *io) {
    g_kova.io = io;
    g_kova.use_fake = 0;
}

KOVA_API void kova_use_fake(void) {
    g_kova.io = nullptr;
    g_kova.use_fake = 1;
}

KOVA_API int32_t kova_use_curl(void) {
    g_kova.io = nullptr;
    g_kova.use_fake = 0;
    return builtin_io() ? OK : ERR_NO_IO;
}

KOVA_API void kova_set_timeout_ms(int32_t ms) { set_request_timeout(ms); }
KOVA_API int32_t kova_timeout_ms(void) { return request_timeout(); }

KOVA_API const char *kova_imdb_numeric(const char *imdb_id) {
    imdb_norm(imdb_id, g_kova.imdb_buf, sizeof g_kova.imdb_buf);
    return g_kova.imdb_buf;
}

} // extern "C"
