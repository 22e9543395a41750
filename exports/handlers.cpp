// Settings validation and the runtime-type handler records. A validation
// configures a temporary context with the host's transport, runs that
// service's connection test and answers in the host's buffer; the
// process-wide context is never touched.
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "exports/frame.h"

using namespace kova;

namespace {
// Answer codes by internal result (and, for ERR_HTTP, by HTTP status).
int32_t answer_for(int32_t rc, int32_t http) {
    switch (rc) {
    case ERR_AUTH: return KOVA_VALIDATE_KEY_REJECTED;
    case ERR_NOT_FOUND: return KOVA_VALIDATE_NOT_FOUND;
    case ERR_HTTP:
        if (http == 404) return KOVA_VALIDATE_NOT_FOUND;
        if (http == 429) return KOVA_VALIDATE_TOO_MANY_REQUESTS;
        if (http >= 500) return KOVA_VALIDATE_UNREACHABLE;
        return KOVA_VALIDATE_UNEXPECTED;
    case ERR_TRANSPORT:
    case ERR_NO_IO: return KOVA_VALIDATE_UNREACHABLE;
    case ERR_JSON: return KOVA_VALIDATE_UNEXPECTED;
    default: return KOVA_VALIDATE_INVALID_SETTINGS;
    }
}

// Copies an answer out whole, or not at all: an answer is never cut.
bool copy_out(const char *text, size_t len, char *buf, int32_t size) {
    if (len + 1 > static_cast<size_t>(size)) return false;
    memcpy(buf, text, len + 1);
    return true;
}

// {"error": msg}; returns code whether or not it fits the buffer.
int32_t err_out(char *buf, int32_t size, int32_t code, const char *msg) {
    mut_doc_guard doc(yyjson_mut_doc_new(&json_alc));
    yyjson_mut_val *root = doc.doc ? yyjson_mut_obj(doc.doc) : nullptr;
    char *text = nullptr;
    size_t len = 0;
    if (root) {
        yyjson_mut_doc_set_root(doc.doc, root);
        if (yyjson_mut_obj_add_strcpy(doc.doc, root, "error", msg)) {
            yyjson_write_err werr;
            text = yyjson_mut_write_opts(doc.doc, 0, &json_alc, &len, &werr);
            // A message can carry bytes of a service's answer that are not
            // UTF-8 (a Torznab error code, cut after 8 bytes): write those as
            // U+FFFD instead of reporting the failure as lost memory.
            if (!text && werr.code == YYJSON_WRITE_ERROR_INVALID_STRING)
                text = yyjson_mut_write_opts(doc.doc, YYJSON_WRITE_ALLOW_INVALID_UNICODE | YYJSON_WRITE_ESCAPE_UNICODE,
                                             &json_alc, &len, nullptr);
        }
    }
    if (text) {
        copy_out(text, len, buf, size);
        mem_free(text);
    } else if (strcmp(msg, "out of memory") != 0) {
        return err_out(buf, size, KOVA_VALIDATE_INVALID_SETTINGS, "out of memory");
    } else {
        // Not even the short answer could be built: write it by hand.
        static const char k_oom[] = "{\"error\":\"out of memory\"}";
        copy_out(k_oom, sizeof k_oom - 1, buf, size);
    }
    return code;
}

// A member that counts only when it is a JSON string (exact key).
const char *sget(yyjson_val *obj, const char *key) {
    yyjson_val *v = yyjson_obj_get(obj, key);
    return yyjson_is_str(v) ? yyjson_get_str(v) : nullptr;
}

// A port text: at least one digit, nothing after the number, 1..65535.
bool parse_port(const char *s, int32_t *port) {
    errno = 0;
    char *end = nullptr;
    long v = strtol(s, &end, 10);
    bool digit = false;
    for (const char *p = s; p < end; ++p)
        if (*p >= '0' && *p <= '9') digit = true;
    if (!digit || *end != '\0' || errno == ERANGE || v < 1 || v > 65535) return false;
    *port = static_cast<int32_t>(v);
    return true;
}

struct ctx_guard {
    context ctx;
    ctx_guard() { context_init(&ctx); }
    ~ctx_guard() { context_free(&ctx); }
    ctx_guard(const ctx_guard &) = delete;
    ctx_guard &operator=(const ctx_guard &) = delete;
};

char *success_answer(const char *type, const char *url, bool new_id, bool report_port, int32_t port) {
    mut_doc_guard doc(yyjson_mut_doc_new(&json_alc));
    if (!doc.doc) return nullptr;
    yyjson_mut_val *root = yyjson_mut_obj(doc.doc);
    if (!root) return nullptr;
    yyjson_mut_doc_set_root(doc.doc, root);
    bool ok = yyjson_mut_obj_add_str(doc.doc, root, "RuntimeType", type) &&
              yyjson_mut_obj_add_strcpy(doc.doc, root, "URL", url);
    if (ok && new_id) {
        char uuid[37];
        uuid4(uuid);
        ok = yyjson_mut_obj_add_strcpy(doc.doc, root, "ID", uuid);
    }
    if (ok && report_port) {
        char num[16];
        snprintf(num, sizeof num, "%d", static_cast<int>(port));
        ok = yyjson_mut_obj_add_strcpy(doc.doc, root, "Port", num);
    }
    if (!ok) return nullptr;
    // Every text here came from the strictly parsed settings (valid UTF-8) or
    // is ASCII, so writing fails only for lack of memory.
    return yyjson_mut_write_opts(doc.doc, 0, &json_alc, nullptr, nullptr);
}

int32_t validate_common(int32_t kind, const char *type, const kova_io *io, const char *settings, char *buf,
                        int32_t size) {
    if (!buf || size < 1) return KOVA_VALIDATE_NO_BUFFER;
    buf[0] = '\0';
    if (!settings) return err_out(buf, size, KOVA_VALIDATE_INVALID_SETTINGS, "settings are NULL");
    bool oom;
    doc_guard doc(json_read(settings, strlen(settings), &oom));
    if (oom) return err_out(buf, size, KOVA_VALIDATE_INVALID_SETTINGS, "out of memory");
    yyjson_val *obj = yyjson_doc_get_root(doc.doc);
    if (!yyjson_is_obj(obj)) return err_out(buf, size, KOVA_VALIDATE_INVALID_SETTINGS, "settings are not a JSON object");
    // A service is given by its "Url", or by Host, Port, UseHttps and
    // UrlBase: never both, which could disagree.
    const bool by_url = yyjson_obj_get(obj, "Url") != nullptr;
    if (by_url) {
        for (const char *part : {"Host", "Port", "UseHttps", "UrlBase"})
            if (yyjson_obj_get(obj, part))
                return err_out(buf, size, KOVA_VALIDATE_INVALID_SETTINGS,
                               "Url cannot be given with Host, Port, UseHttps or UrlBase");
    }
    const char *url = sget(obj, "Url");
    const char *host = sget(obj, "Host");
    if (by_url ? !url || !*url : !host || !*host)
        return err_out(buf, size, KOVA_VALIDATE_INVALID_SETTINGS, by_url ? "Url is empty" : "Host is empty");
    const char *key = sget(obj, "APIKey");
    if (!key || !*key) return err_out(buf, size, KOVA_VALIDATE_INVALID_SETTINGS, "APIKey is empty");
    bool https = ieq(sget(obj, "UseHttps"), "true");
    const char *id = sget(obj, "ID");
    const char *port_text = sget(obj, "Port");
    int32_t port = service_default_port(kind);
    bool report_port = false;
    if (port_text && *port_text && !parse_port(port_text, &port)) {
        port = service_default_port(kind);
        report_port = true;
    }
    if (!io) return err_out(buf, size, KOVA_VALIDATE_UNREACHABLE, "no transport");

    ctx_guard tmp;
    tmp.ctx.io = io;
    int32_t rc;
    if (by_url) {
        rc = service_configure_url(&tmp.ctx, kind, url, key);
    } else {
        rc = service_configure(&tmp.ctx, kind, host, port, https, key);
        if (rc == OK) rc = service_set_url_base(&tmp.ctx, kind, sget(obj, "UrlBase"));
    }
    if (rc == OK)
        rc = kind == KOVA_JACKETT    ? do_jackett_test(&tmp.ctx)
             : kind == KOVA_PROWLARR ? do_prowlarr_test(&tmp.ctx)
                                     : do_arr_test(&tmp.ctx, kind);
    if (rc == OK || rc == PARTIAL) {
        char *text = success_answer(type, tmp.ctx.svc[kind].base_url, !id || !*id, report_port, port);
        if (!text) return err_out(buf, size, KOVA_VALIDATE_INVALID_SETTINGS, "out of memory");
        bool fits = copy_out(text, strlen(text), buf, size);
        mem_free(text);
        return fits ? KOVA_VALIDATE_OK : KOVA_VALIDATE_NO_BUFFER;
    }
    char msg[600];
    snprintf(msg, sizeof msg, "%s", tmp.ctx.err[0] ? tmp.ctx.err : code_name(rc));
    return err_out(buf, size, answer_for(rc, tmp.ctx.http_code), msg);
}

int32_t v_jackett(const kova_io *io, const char *settings, char *buf, int32_t size) {
    return validate_common(KOVA_JACKETT, "JACKETT", io, settings, buf, size);
}
int32_t v_sonarr(const kova_io *io, const char *settings, char *buf, int32_t size) {
    return validate_common(KOVA_SONARR, "SONARR", io, settings, buf, size);
}
int32_t v_radarr(const kova_io *io, const char *settings, char *buf, int32_t size) {
    return validate_common(KOVA_RADARR, "RADARR", io, settings, buf, size);
}
int32_t v_prowlarr(const kova_io *io, const char *settings, char *buf, int32_t size) {
    return validate_common(KOVA_PROWLARR, "PROWLARR", io, settings, buf, size);
}

// The value every record carries, which the host checks.
constexpr int32_t k_record_value = 32;
constexpr kova_handler k_jackett = {"JACKETT", k_record_value, 0, v_jackett, {}};
constexpr kova_handler k_sonarr = {"SONARR", k_record_value, 0, v_sonarr, {}};
constexpr kova_handler k_radarr = {"RADARR", k_record_value, 0, v_radarr, {}};
constexpr kova_handler k_prowlarr = {"PROWLARR", k_record_value, 0, v_prowlarr, {}};

#if UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
static_assert(sizeof(kova_handler) == 64, "the host reads a 64-byte record");
static_assert(offsetof(kova_handler, name) == 0 && offsetof(kova_handler, value) == 8 &&
                  offsetof(kova_handler, validate) == 16 && offsetof(kova_handler, reserved) == 24,
              "the host reads the record by offset");
#endif
} // namespace

extern "C" {

KOVA_API const kova_handler *kova_rtchk_handler(const char *runtime_type) {
    if (!runtime_type) return nullptr;
    static constexpr const kova_handler *k_records[] = {&k_jackett, &k_sonarr, &k_radarr, &k_prowlarr};
    for (const kova_handler *h : k_records)
        if (strcmp(runtime_type, h->name) == 0) return h;
    return nullptr;
}

KOVA_API const kova_handler *rtchk_get(void) { return &k_jackett; }

} // extern "C"
