// kova_curl: a kova_io transport table backed by libcurl.
//
// Every request gets its own easy handle, created and cleaned up inside the
// call, so the table is safe to call from several threads at once and keeps
// nothing between calls. libcurl's process-wide initialisation runs once, the
// first time a transport is created.
#include "kova_curl.h"

#include <curl/curl.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// ---------------------------------------------------------------------------
// Small owned texts (malloc'd, because the outputs we hand to the library are)
// ---------------------------------------------------------------------------
char *dup_text(const char *s) {
    if (!s) return nullptr;
    size_t n = strlen(s);
    char *p = static_cast<char *>(malloc(n + 1));
    if (p) memcpy(p, s, n + 1);
    return p;
}

// A growable byte buffer with a hard cap, for response bodies.
struct body_buf {
    char *data = nullptr;
    size_t len = 0;
    size_t cap = 0;
    size_t limit = 0;      // most bytes accepted
    bool too_big = false;  // the answer went over `limit`
    bool oom = false;
    ~body_buf() { free(data); }
    bool append(const char *p, size_t n) {
        if (n > limit - len) { too_big = true; return false; }
        if (len + n + 1 > cap) {
            size_t want = cap ? cap : 4096;
            while (want < len + n + 1) want *= 2;
            char *q = static_cast<char *>(realloc(data, want));
            if (!q) { oom = true; return false; }
            data = q;
            cap = want;
        }
        memcpy(data + len, p, n);
        len += n;
        data[len] = '\0';
        return true;
    }
    // Hands the body over as a NUL-terminated malloc'd text ("" when empty).
    char *take() {
        if (!data) return dup_text("");
        char *p = data;
        data = nullptr;
        len = cap = 0;
        return p;
    }
};

// ---------------------------------------------------------------------------
// Redaction: "apikey=<value>" becomes "apikey=***", in any letter case.
// ---------------------------------------------------------------------------
bool starts_apikey(const char *p) {
    static const char k[] = "apikey=";
    for (size_t i = 0; i < sizeof k - 1; ++i)
        if (tolower(static_cast<unsigned char>(p[i])) != k[i]) return false;
    return true;
}

bool ends_value(char c) {
    return c == '\0' || c == '&' || c == '#' || c == '"' || c == '\'' || c == ';' || c == ',' ||
           isspace(static_cast<unsigned char>(c));
}

// A text builder that never fails loudly: on out-of-memory it keeps what fits.
struct sbuf {
    char *data = nullptr;
    size_t len = 0, cap = 0;
    bool oom = false;
    ~sbuf() { free(data); }
    void put(const char *p, size_t n) {
        if (oom) return;
        if (len + n + 1 > cap) {
            size_t want = cap ? cap * 2 : 256;
            while (want < len + n + 1) want *= 2;
            char *q = static_cast<char *>(realloc(data, want));
            if (!q) { oom = true; return; }
            data = q;
            cap = want;
        }
        memcpy(data + len, p, n);
        len += n;
        data[len] = '\0';
    }
    void puts(const char *s) { put(s, strlen(s)); }
    char *take() {
        if (oom || !data) return nullptr;
        char *p = data;
        data = nullptr;
        return p;
    }
};

void redact_into(sbuf &out, const char *s) {
    while (*s) {
        if (starts_apikey(s)) {
            out.put(s, 7);
            s += 7;
            while (!ends_value(*s)) ++s;
            out.puts("***");
            continue;
        }
        out.put(s, 1);
        ++s;
    }
}

// Replaces every occurrence of `secret` in `text` by "***", in place. Keys
// shorter than 6 bytes are left to the "apikey=" rule alone: scrubbing them
// would mangle ordinary words of the message (real keys are 32 characters).
void scrub(char *text, const char *secret, size_t n) {
    if (!text || n < 6) return;
    char *p;
    while ((p = strstr(text, secret)) != nullptr) {
        // Replace by "***" and close the gap.
        size_t tail = strlen(p + n);
        memcpy(p, "***", 3);
        memmove(p + 3, p + n, tail + 1);
        text = p + 3;
    }
}

int hexval(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The API key of a request URL, as sent (percent-encoded) and decoded. Both
// are scrubbed from libcurl's own error texts, which may quote the URL.
struct key_forms {
    char sent[512] = "";
    char plain[512] = "";
};

void find_key(const char *url, key_forms &k) {
    const char *q = strchr(url, '?');
    if (!q) return;
    for (const char *p = q + 1; *p; ++p) {
        if ((p == q + 1 || p[-1] == '&') && starts_apikey(p)) {
            p += 7;
            size_t n = 0, m = 0;
            while (!ends_value(p[n]) && n < sizeof k.sent - 1) {
                k.sent[n] = p[n];
                ++n;
            }
            k.sent[n] = '\0';
            for (size_t i = 0; i < n && m < sizeof k.plain - 1; ++i) {
                int h1, h2;
                if (k.sent[i] == '%' && i + 2 < n && (h1 = hexval(k.sent[i + 1])) >= 0 &&
                    (h2 = hexval(k.sent[i + 2])) >= 0) {
                    k.plain[m++] = static_cast<char>(h1 * 16 + h2);
                    i += 2;
                } else {
                    k.plain[m++] = k.sent[i];
                }
            }
            k.plain[m] = '\0';
            return;
        }
    }
}

// ---------------------------------------------------------------------------
// One-time libcurl initialisation
// ---------------------------------------------------------------------------
bool curl_ready() {
    // A function-local static is initialised exactly once, thread-safely.
    static const CURLcode rc = curl_global_init(CURL_GLOBAL_DEFAULT);
    return rc == CURLE_OK;
}

long long now_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
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

// The request URL with the URL base inserted after scheme://host:port.
char *with_base(const kova_curl *t, const char *url) {
    if (!t->url_base[0]) return dup_text(url);
    const char *scheme = strstr(url, "://");
    const char *rest = scheme ? scheme + 3 : url;
    size_t cut = strcspn(rest, "/?#");
    size_t head = static_cast<size_t>(rest - url) + cut;
    size_t blen = strlen(t->url_base), tlen = strlen(url + head);
    char *p = static_cast<char *>(malloc(head + blen + tlen + 1));
    if (!p) return nullptr;
    memcpy(p, url, head);
    memcpy(p + head, t->url_base, blen);
    memcpy(p + head + blen, url + head, tlen + 1);
    return p;
}

size_t on_body(char *ptr, size_t size, size_t nmemb, void *user) {
    auto *b = static_cast<body_buf *>(user);
    size_t n = size * nmemb;
    return b->append(ptr, n) ? n : 0;  // a short count makes libcurl stop
}

// Builds the error text for a failed request, redacted and scrubbed.
char *error_text(const char *method, const char *url, const char *what, const key_forms &k) {
    sbuf e;
    e.puts(method);
    e.puts(" ");
    redact_into(e, url);
    e.puts(": ");
    redact_into(e, what);
    char *text = e.take();
    if (!text) return dup_text("kova_curl: out of memory");
    scrub(text, k.sent, strlen(k.sent));
    scrub(text, k.plain, strlen(k.plain));
    return text;
}

void log_line(const kova_curl *t, const char *method, const char *url, const char *outcome,
              const key_forms &k) {
    if (!t->log) return;
    sbuf l;
    l.puts(method);
    l.puts(" ");
    redact_into(l, url);
    l.puts(" -> ");
    redact_into(l, outcome);
    char *text = l.take();
    if (!text) return;
    scrub(text, k.sent, strlen(k.sent));
    scrub(text, k.plain, strlen(k.plain));
    t->log(t->log_user, text);
    free(text);
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
    find_key(url_in, keys);

    char *url = with_base(t, url_in);
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

    long long started = now_ms();
    CURLcode rc = header_oom ? CURLE_OUT_OF_MEMORY : curl_easy_perform(h);
    long long took = now_ms() - started;
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
    if (why) {
        if (error) *error = error_text(method, url_in, why, keys);
        char line[CURL_ERROR_SIZE + 260];
        snprintf(line, sizeof line, "failed after %lld ms: %s", took, why);
        log_line(t, method, url_in, line, keys);
        return 1;
    }

    char line[128];
    snprintf(line, sizeof line, "HTTP %ld, %zu bytes, %lld ms", code, body.len, took);
    log_line(t, method, url_in, line, keys);
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

// "sonarr/" -> "/sonarr"; "" or "/" -> "".
char *norm_base(const char *s) {
    if (!s) return dup_text("");
    while (*s == '/') ++s;
    size_t n = strlen(s);
    while (n > 0 && s[n - 1] == '/') --n;
    char *p = static_cast<char *>(malloc(n + 2));
    if (!p) return nullptr;
    if (n == 0) {
        p[0] = '\0';
        return p;
    }
    p[0] = '/';
    memcpy(p + 1, s, n);
    p[n + 1] = '\0';
    return p;
}

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
    ok = ok && (t->url_base = norm_base(o->url_base));
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
    sbuf b;
    redact_into(b, text ? text : "");
    size_t n = b.data ? b.len : 0;
    if (out && size > 0) {
        size_t c = n < static_cast<size_t>(size) - 1 ? n : static_cast<size_t>(size) - 1;
        if (c) memcpy(out, b.data, c);
        out[c] = '\0';
    }
    return n > 0x7fffffff ? 0x7fffffff : static_cast<int32_t>(n);
}

KOVA_CURL_API const char *kova_curl_version(void) { return curl_version(); }

}  // extern "C"
