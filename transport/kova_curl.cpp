// kova_curl: a kova_io transport table backed by libcurl.
//
// Every request gets its own easy handle, created and cleaned up inside the
// call, so the table is safe to call from several threads at once and keeps
// nothing between calls. libcurl's process-wide initialisation runs once, the
// first time a transport is created.
//
// A request runs on its own multi handle rather than curl_easy_perform, so
// that kova_curl_cancel can wake its wait from another thread
// (curl_multi_wakeup) at once: a progress callback would only be polled
// about once a second while the service is still gathering its answer.
#include "kova_curl.h"

#include "common.h"
#include "options.h"
#include "redact.h"

#include <curl/curl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <strings.h>

namespace {

using kt::body_buf;
using kt::key_forms;

static_assert(KOVA_CURL_DEFAULT_MAX_RESPONSE == kt::k_default_max_response);
static_assert(KOVA_CURL_DEFAULT_CONNECT_TIMEOUT_MS == kt::k_default_connect_ms);

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
    kt::settings opt;
    kt::cancel_gate gate;
};

namespace {

// What the callbacks of one request share.
struct exchange {
    CURL *h = nullptr;
    body_buf body;
    kt::progress_meter meter;
    bool decoding = false;  // libcurl decodes a compressed answer
    bool encoded = false;   // the answer came with a content coding
    bool sized = false;     // the body buffer was sized from Content-Length
    bool in_headers = false;  // a status line came, the blank line after the headers not yet
    char retry_after[128] = "";  // the answer's Retry-After, as sent
    char basic[kt::k_basic_words_size] = "";  // its request for basic credentials, in words
    char *location = nullptr;    // the answer's Location, as sent (malloc'd)
    size_t header_bytes = 0;     // of every header block so far
    bool header_overflow = false;  // more than k_max_header_bytes
    bool header_nul = false;       // a header line held a NUL byte
    exchange() = default;
    exchange(const exchange &) = delete;
    exchange &operator=(const exchange &) = delete;
    ~exchange() { free(location); }
    int64_t expected() const {
        curl_off_t n = -1;
        // A compressed answer's length is not the length of what it decodes to.
        if ((decoding && encoded) || curl_easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &n) != CURLE_OK) return -1;
        return n >= 0 ? static_cast<int64_t>(n) : -1;
    }
};

// The value of a header line "Name: value\r\n" when its name is `name`
// (lower case, with the colon), trimmed, into `out`; false for another name.
bool header_value(const char *line, size_t n, const char *name, char *out, size_t size) {
    const size_t k = strlen(name);
    if (n <= k || strncasecmp(line, name, k) != 0) return false;
    const char *v = line + k, *end = line + n;
    while (v < end && (*v == ' ' || *v == '\t')) ++v;
    while (end > v && (end[-1] == '\r' || end[-1] == '\n' || end[-1] == ' ' || end[-1] == '\t')) --end;
    snprintf(out, size, "%.*s", static_cast<int>(end - v), v);
    return true;
}

size_t on_header(char *line, size_t size, size_t nmemb, void *user) {
    auto *x = static_cast<exchange *>(user);
    size_t n = size * nmemb;
    x->in_headers = !(n <= 2 && (line[0] == '\r' || line[0] == '\n'));
    // One cap on the header block for every transport (libcurl's own is
    // larger, and its words differ), and no NUL inside: a short count makes
    // libcurl stop.
    x->header_bytes += n;
    if (x->header_bytes > kt::k_max_header_bytes) {
        x->header_overflow = true;
        return 0;
    }
    if (memchr(line, '\0', n)) {
        x->header_nul = true;
        return 0;
    }
    // A status line starts the headers of another answer (after a 100
    // Continue): what the last one said is not this one's.
    if (n > 5 && strncmp(line, "HTTP/", 5) == 0) {
        x->retry_after[0] = '\0';
        x->basic[0] = '\0';
        free(x->location);
        x->location = nullptr;
    }
    header_value(line, n, "retry-after:", x->retry_after, sizeof x->retry_after);
    // Each WWW-Authenticate line is one or more challenges; the first that
    // asks for basic credentials is the one said.
    static const char challenge[] = "www-authenticate:";
    if (!x->basic[0] && n > sizeof challenge - 1 && strncasecmp(line, challenge, sizeof challenge - 1) == 0) {
        const char *v = line + sizeof challenge - 1, *end = line + n;
        while (end > v && (end[-1] == '\r' || end[-1] == '\n')) --end;
        if (char *value = static_cast<char *>(malloc(static_cast<size_t>(end - v) + 1))) {
            memcpy(value, v, static_cast<size_t>(end - v));
            value[end - v] = '\0';
            kt::basic_challenge_words(value, x->basic, sizeof x->basic);
            free(value);
        }
    }
    static const char location[] = "location:";
    if (!x->location && n > sizeof location - 1 && strncasecmp(line, location, sizeof location - 1) == 0) {
        const char *v = line + sizeof location - 1, *end = line + n;
        while (v < end && (*v == ' ' || *v == '\t')) ++v;
        while (end > v && (end[-1] == '\r' || end[-1] == '\n' || end[-1] == ' ' || end[-1] == '\t')) --end;
        x->location = static_cast<char *>(malloc(static_cast<size_t>(end - v) + 1));
        if (x->location) {
            memcpy(x->location, v, static_cast<size_t>(end - v));
            x->location[end - v] = '\0';
        }
    }
    static const char name[] = "content-encoding:";
    const size_t k = sizeof name - 1;
    if (n > k && strncasecmp(line, name, k) == 0) {
        const char *v = line + k, *end = line + n;
        while (v < end && (*v == ' ' || *v == '\t')) ++v;
        static const char identity[] = "identity";
        size_t vn = static_cast<size_t>(end - v);
        while (vn > 0 && (v[vn - 1] == '\r' || v[vn - 1] == '\n' || v[vn - 1] == ' ')) --vn;
        x->encoded = vn > 0 && !(vn == sizeof identity - 1 && strncasecmp(v, identity, vn) == 0);
    }
    return n;
}

size_t on_body(char *ptr, size_t size, size_t nmemb, void *user) {
    auto *x = static_cast<exchange *>(user);
    size_t n = size * nmemb;
    int64_t expected = x->expected();
    if (!x->sized) {
        x->sized = true;
        if (expected > 0 && !x->body.reserve(static_cast<size_t>(expected))) return 0;
    }
    if (!x->body.append(ptr, n)) return 0;  // a short count makes libcurl stop
    x->meter.update(static_cast<int64_t>(x->body.len), expected);
    return n;
}

// What kova_curl_cancel calls for a request in flight: ends its wait.
struct waiter {
    kt::inflight f;  // first member: `wake` gets its address
    CURLM *multi = nullptr;
};

void wake(kt::inflight *f) { curl_multi_wakeup(reinterpret_cast<waiter *>(f)->multi); }

// Runs the transfer on its own multi handle until it ends or the transport is
// cancelled; `cancelled` tells which.
CURLcode run(kova_curl *t, CURL *h, bool &cancelled) {
    cancelled = false;
    waiter w;
    w.f.wake = wake;
    w.multi = curl_multi_init();
    if (!w.multi) return CURLE_OUT_OF_MEMORY;
    CURLcode rc = CURLE_OK;
    if (curl_multi_add_handle(w.multi, h) != CURLM_OK) {
        curl_multi_cleanup(w.multi);
        return CURLE_OUT_OF_MEMORY;
    }
    if (!t->gate.enter(w.f)) {
        cancelled = true;
    } else {
        if (!t->gate.begin(w.f)) cancelled = true;
        int running = 1;
        while (!cancelled) {
            CURLMcode mc = curl_multi_perform(w.multi, &running);
            if (mc == CURLM_OK && running) mc = curl_multi_poll(w.multi, nullptr, 0, 1000, nullptr);
            if (t->gate.cancelled(w.f)) cancelled = true;
            else if (mc != CURLM_OK) rc = mc == CURLM_OUT_OF_MEMORY ? CURLE_OUT_OF_MEMORY : CURLE_RECV_ERROR;
            if (mc != CURLM_OK || !running) break;
        }
        t->gate.end(w.f);
        t->gate.leave(w.f);  // after this, no cancel touches the multi handle
        int left = 0;
        CURLMsg *m;
        while (!cancelled && (m = curl_multi_info_read(w.multi, &left)) != nullptr) {
            if (m->msg == CURLMSG_DONE) rc = m->data.result;
        }
    }
    curl_multi_remove_handle(w.multi, h);
    curl_multi_cleanup(w.multi);
    return rc;
}

// libcurl refuses a header line over CURL_MAX_HTTP_HEADER (100 KiB); before
// 8.6 it reports that as "Out of memory", which would send a user looking for
// a memory problem. Running out of memory for real in the middle of the
// headers, with a 100 KiB buffer, is the unlikely reading.
bool header_too_long(CURLcode rc, const exchange &x) {
#if LIBCURL_VERSION_NUM >= 0x080600
    if (rc == CURLE_TOO_LARGE) return true;
#endif
    return rc == CURLE_OUT_OF_MEMORY && x.in_headers;
}

int32_t perform(kova_curl *t, const char *method, const char *url_in, const char *req_body,
                const char *content_type, char **body_out, int32_t *status, char **error) {
    const kt::settings &opt = t->opt;
    key_forms keys;
    kt::key_move moved;
    char *url = opt.begin("kova_curl", method, url_in, keys, moved, body_out, status, error);
    if (!url) return 1;
    CURL *h = curl_easy_init();
    if (!h) {
        free(url);
        if (error)
            *error = kt::error_text(method, url_in, "cannot create a libcurl handle", keys, "kova_curl: out of memory");
        return 1;
    }

    exchange x;
    x.h = h;
    x.decoding = opt.compressed;
    x.meter.fn = opt.progress;
    x.meter.user = opt.progress_user;
    body_buf &body = x.body;
    body.limit = static_cast<size_t>(opt.max_response_bytes);
    char errbuf[CURL_ERROR_SIZE];
    errbuf[0] = '\0';

    int32_t total = opt.total_ms();
    int32_t connect = opt.connect_ms(total);

    curl_easy_setopt(h, CURLOPT_URL, url);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(total));
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connect));
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errbuf);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, on_body);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &x);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, on_header);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &x);
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(opt.max_response_bytes));
    curl_easy_setopt(h, CURLOPT_USERAGENT, opt.user_agent);
    if (opt.compressed) curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, opt.insecure ? 0L : 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, opt.insecure ? 0L : 2L);
    if (opt.ca_file) curl_easy_setopt(h, CURLOPT_CAINFO, opt.ca_file);
    if (opt.proxy) curl_easy_setopt(h, CURLOPT_PROXY, opt.proxy);

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
    // The host's headers, the credentials and the key: libcurl's
    // "Name;" is how a line with an empty value is sent ("Name:" would
    // remove a header of libcurl's own).
    kt::sbuf line;
    opt.each_header(moved, [&](const char *name, const char *value) {
        line.len = 0;
        line.puts(name);
        line.puts(value[0] ? ": " : ";");
        line.puts(value);
        if (line.oom) header_oom = true;
        else add_header(line.data);
    });
    if (line.data) memset(line.data, 0, line.cap);  // it held a secret last
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
    // None of them goes to a proxy's CONNECT: that is libcurl's default
    // since 7.42.1, said here since a proxy is a host the service is not.
    curl_easy_setopt(h, CURLOPT_HEADEROPT, CURLHEADER_SEPARATE);

    long long started = kt::now_ms();
    bool cancelled = false;
    CURLcode rc = header_oom ? CURLE_OUT_OF_MEMORY : run(t, h, cancelled);
    long long took = kt::now_ms() - started;
    long code = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &code);
    // Not followed, but named in the log: where the service sends its
    // clients is what a user needs to fix the address. Resolved against the
    // URL sent, and made printable, as kova_winhttp does.
    char *location = nullptr;
    if (code >= 300 && code <= 399 && x.location) {
        char *target = kt::absolute_location(url, x.location);
        if (target) location = kt::printable_url(target, strlen(target));
        free(target);
    }
    const int64_t announced = x.expected();
    if (rc == CURLE_OK && !cancelled) x.meter.finish(static_cast<int64_t>(body.len), announced);
    curl_easy_cleanup(h);
    for (struct curl_slist *n = headers; n; n = n->next) memset(n->data, 0, strlen(n->data));
    curl_slist_free_all(headers);
    free(url);

    // What went wrong in libcurl; settings::end says a cancel and what the
    // body buffer met first.
    if (rc == CURLE_FILESIZE_EXCEEDED) body.too_big = true;
    const char *failure = nullptr;
    char what[CURL_ERROR_SIZE + 200];
    if (x.header_nul || (rc == CURLE_WEIRD_SERVER_REPLY && strstr(errbuf, "Nul byte"))) {
        // libcurl refuses a NUL in a header line before it shows the line.
        failure = "response header holds a NUL byte";
    } else if (x.header_overflow || header_too_long(rc, x)) {
        failure = "response header too long";
    } else if (rc == CURLE_PARTIAL_FILE) {
        kt::cut_short_words(body.len, announced, what, sizeof what);
        failure = what;
    } else if (rc != CURLE_OK) {
        // libcurl's detail often ends with its own summary ("Failed to
        // connect to h port 1 after 0 ms: Couldn't connect to server"): then
        // the detail alone, so the reason does not say the same thing twice.
        if (errbuf[0] && strstr(errbuf, curl_easy_strerror(rc)))
            snprintf(what, sizeof what, "%s", errbuf);
        else if (errbuf[0])
            snprintf(what, sizeof what, "%s (%s)", curl_easy_strerror(rc), errbuf);
        else
            snprintf(what, sizeof what, "%s", curl_easy_strerror(rc));
        failure = what;
    }
    const int32_t result = opt.end("kova_curl",
                                   {.method = method,
                                    .url = url_in,
                                    .status = code,
                                    .ms = took,
                                    .cancelled = cancelled,
                                    .failure = failure,
                                    .location = location,
                                    .retry_after = x.retry_after,
                                    .basic = x.basic},
                                   keys, body, status, body_out, error);
    free(location);
    return result;
}

int32_t io_get(void *user, const char *url, char **body, int32_t *status, char **error) {
    return perform(static_cast<kova_curl *>(user), "GET", url, nullptr, nullptr, body, status,
                   error);
}

int32_t io_post(void *user, const char *url, const char *body, const char *content_type,
                char **body_out, int32_t *status, char **error) {
    return perform(static_cast<kova_curl *>(user), "POST", url, body ? body : "", content_type,
                   body_out, status, error);
}

}  // namespace

extern "C" {

KOVA_CURL_API void kova_curl_options_init(kova_curl_options *o) { kt::init_options(o); }

KOVA_CURL_API kova_curl *kova_curl_new(const kova_curl_options *o) {
    auto *t = kt::new_transport<kova_curl>(io_get, io_post);
    if (!t) return nullptr;
    kt::refusal why;
    if (!kt::read_options(o, t->opt, why)) {
        kt::report_refusal(o, "kova_curl_new", why);
        kova_curl_free(t);
        return nullptr;
    }
    if (!curl_ready()) {
        why.say("libcurl cannot be initialised");
        kt::report_refusal(o, "kova_curl_new", why);
        kova_curl_free(t);
        return nullptr;
    }
    return t;
}

KOVA_CURL_API void kova_curl_free(kova_curl *t) {
    if (!t) return;
    t->~kova_curl();
    free(t);
}

KOVA_CURL_API const kova_io *kova_curl_io(const kova_curl *t) { return t ? &t->io : nullptr; }

KOVA_CURL_API int32_t kova_curl_redact(const char *text, char *out, int32_t size) {
    return kt::redact_copy(text, out, size);
}

KOVA_CURL_API const char *kova_curl_version(void) { return curl_version(); }

KOVA_CURL_API void kova_curl_cancel(kova_curl *t) {
    if (t) t->gate.cancel();
}

KOVA_CURL_API void kova_curl_resume(kova_curl *t) {
    if (t) t->gate.resume();
}

}  // extern "C"
