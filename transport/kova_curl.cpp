// kova_curl: a kova_io transport table backed by libcurl.
//
// Every request gets its own easy handle, created and cleaned up inside the
// call, so the table is safe to call from several threads at once and keeps
// nothing between calls. libcurl's process-wide initialisation runs once, the
// first time a transport is created.
#include "kova_curl.h"

#include "common.h"
#include "redact.h"

#include <curl/curl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using kova_transport::body_buf;
using kova_transport::dup_text;
using kova_transport::key_forms;

// ---------------------------------------------------------------------------
// One-time libcurl initialisation
// ---------------------------------------------------------------------------
bool curl_ready() {
    // A function-local static is initialised exactly once, thread-safely.
    static const CURLcode rc = curl_global_init(CURL_GLOBAL_DEFAULT);
    return rc == CURLE_OK;
}

}  // namespace

// ---------------------------------------------------------------------------
// The transport object
// ---------------------------------------------------------------------------
struct kova_curl {
    kova_io io;  // first member; io.user points back at this object
    int32_t timeout_ms;
    int32_t connect_timeout_ms;
    int32_t insecure;
    int32_t compressed;
    int64_t max_response;
    char *ca_file;
    char *proxy;
    char *user_agent;
    char *url_base;  // "" or "/prefix" without a trailing slash
    kova_curl_log_fn log;
    void *log_user;
};

namespace {

char *error_text(const char *method, const char *url, const char *why, const key_forms &k) {
    return kova_transport::error_text(method, url, why, k, "kova_curl: out of memory");
}

size_t on_body(char *ptr, size_t size, size_t nmemb, void *user) {
    auto *b = static_cast<body_buf *>(user);
    size_t n = size * nmemb;
    return b->append(ptr, n) ? n : 0;  // a short count makes libcurl stop
}

int32_t perform(const kova_curl *t, const char *method, const char *url_in, const char *req_body,
                const char *content_type, char **body_out, int32_t *status, char **error) {
    if (body_out) *body_out = nullptr;
    if (error) *error = nullptr;
    if (status) *status = 0;
    if (!url_in) {
        if (error) *error = dup_text("kova_curl: no URL");
        return 1;
    }
    key_forms keys;
    kova_transport::find_key(url_in, keys);

    char *url = kova_transport::with_base(t->url_base, url_in);
    if (!url) {
        if (error) *error = dup_text("kova_curl: out of memory");
        return 1;
    }
    CURL *h = curl_easy_init();
    if (!h) {
        free(url);
        if (error) *error = error_text(method, url_in, "cannot create a libcurl handle", keys);
        return 1;
    }

    body_buf body;
    body.limit = static_cast<size_t>(t->max_response);
    char errbuf[CURL_ERROR_SIZE];
    errbuf[0] = '\0';

    int32_t total = t->timeout_ms > 0 ? t->timeout_ms : kova_timeout_ms();
    if (total <= 0) total = 100000;
    int32_t connect = t->connect_timeout_ms > 0 ? t->connect_timeout_ms : KOVA_CURL_DEFAULT_CONNECT_TIMEOUT_MS;
    if (connect > total) connect = total;

    curl_easy_setopt(h, CURLOPT_URL, url);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(total));
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connect));
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errbuf);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, on_body);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(t->max_response));
    curl_easy_setopt(h, CURLOPT_USERAGENT, t->user_agent);
    if (t->compressed) curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, t->insecure ? 0L : 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, t->insecure ? 0L : 2L);
    if (t->ca_file) curl_easy_setopt(h, CURLOPT_CAINFO, t->ca_file);
    if (t->proxy) curl_easy_setopt(h, CURLOPT_PROXY, t->proxy);

    struct curl_slist *headers = nullptr;
    bool header_oom = false;
    auto add_header = [&](const char *line) {
        struct curl_slist *n = curl_slist_append(headers, line);
        if (!n) header_oom = true;
        else headers = n;
    };
    add_header("Accept: application/json, application/xml;q=0.9, */*;q=0.8");
    char ctype[256];
    if (req_body) {
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, req_body);
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(strlen(req_body)));
        if (content_type && content_type[0]) {
            snprintf(ctype, sizeof ctype, "Content-Type: %s", content_type);
            add_header(ctype);
        }
        add_header("Expect:");  // no 100-continue round trip for small bodies
    }
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);

    long long started = kova_transport::now_ms();
    CURLcode rc = header_oom ? CURLE_OUT_OF_MEMORY : curl_easy_perform(h);
    long long took = kova_transport::now_ms() - started;
    long code = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &code);
    curl_easy_cleanup(h);
    curl_slist_free_all(headers);
    free(url);

    if (status) *status = static_cast<int32_t>(code);

    const char *why = nullptr;
    char what[CURL_ERROR_SIZE + 200];
    if (body.too_big || rc == CURLE_FILESIZE_EXCEEDED) {
        snprintf(what, sizeof what, "response larger than %lld bytes, refused",
                 static_cast<long long>(t->max_response));
        why = what;
    } else if (body.oom) {
        why = "out of memory while reading the response";
    } else if (rc != CURLE_OK) {
        if (errbuf[0])
            snprintf(what, sizeof what, "%s (%s)", curl_easy_strerror(rc), errbuf);
        else
            snprintf(what, sizeof what, "%s", curl_easy_strerror(rc));
        why = what;
    }
    kova_transport::log_request(t->log, t->log_user, method, url_in, why, code, body.len, took, keys);
    if (why) {
        if (error) *error = error_text(method, url_in, why, keys);
        return 1;
    }
    if (body_out) {
        *body_out = body.take();
        if (!*body_out) {
            if (error) *error = dup_text("kova_curl: out of memory");
            return 1;
        }
    }
    return 0;
}

int32_t io_get(void *user, const char *url, char **body, int32_t *status, char **error) {
    return perform(static_cast<const kova_curl *>(user), "GET", url, nullptr, nullptr, body, status,
                   error);
}

int32_t io_post(void *user, const char *url, const char *body, const char *content_type,
                char **body_out, int32_t *status, char **error) {
    return perform(static_cast<const kova_curl *>(user), "POST", url, body ? body : "", content_type,
                   body_out, status, error);
}

void io_release(void *, char *text) { free(text); }

}  // namespace

extern "C" {

KOVA_CURL_API void kova_curl_options_init(kova_curl_options *o) {
    if (!o) return;
    memset(o, 0, sizeof *o);
    o->compressed = 1;
}

KOVA_CURL_API kova_curl *kova_curl_new(const kova_curl_options *opt) {
    kova_curl_options defaults;
    kova_curl_options_init(&defaults);
    const kova_curl_options *o = opt ? opt : &defaults;
    if (o->timeout_ms < 0 || o->connect_timeout_ms < 0 || o->max_response_bytes < 0) return nullptr;
    if (!curl_ready()) return nullptr;

    auto *t = static_cast<kova_curl *>(calloc(1, sizeof(kova_curl)));
    if (!t) return nullptr;
    t->io.user = t;
    t->io.get = io_get;
    t->io.post = io_post;
    t->io.release = io_release;
    t->timeout_ms = o->timeout_ms;
    t->connect_timeout_ms = o->connect_timeout_ms;
    t->insecure = o->insecure ? 1 : 0;
    t->compressed = o->compressed ? 1 : 0;
    t->max_response = o->max_response_bytes > 0 ? o->max_response_bytes : KOVA_CURL_DEFAULT_MAX_RESPONSE;
    if (sizeof(size_t) < 8 && t->max_response > 0x7fffffff) t->max_response = 0x7fffffff;
    t->log = o->log;
    t->log_user = o->log_user;

    bool ok = true;
    if (o->ca_file && o->ca_file[0]) ok = ok && (t->ca_file = dup_text(o->ca_file));
    if (o->proxy) ok = ok && (t->proxy = dup_text(o->proxy));
    if (o->user_agent) {
        ok = ok && (t->user_agent = dup_text(o->user_agent));
    } else {
        char ua[64];
        snprintf(ua, sizeof ua, "kova/%s", kova_version());
        ok = ok && (t->user_agent = dup_text(ua));
    }
    ok = ok && (t->url_base = kova_transport::norm_base(o->url_base));
    if (!ok) {
        kova_curl_free(t);
        return nullptr;
    }
    return t;
}

KOVA_CURL_API void kova_curl_free(kova_curl *t) {
    if (!t) return;
    free(t->ca_file);
    free(t->proxy);
    free(t->user_agent);
    free(t->url_base);
    free(t);
}

KOVA_CURL_API const kova_io *kova_curl_io(const kova_curl *t) { return t ? &t->io : nullptr; }

KOVA_CURL_API int32_t kova_curl_redact(const char *text, char *out, int32_t size) {
    return kova_transport::redact_copy(text, out, size);
}

KOVA_CURL_API const char *kova_curl_version(void) { return curl_version(); }

}  // extern "C"
