// What every host transport does around a request (see common.h).
#include "common.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace kt {

char *dup_text(const char *s) {
    if (!s) return nullptr;
    size_t n = strlen(s);
    char *p = static_cast<char *>(malloc(n + 1));
    if (p) memcpy(p, s, n + 1);
    return p;
}

void release_text(void *, char *text) { free(text); }

sbuf::~sbuf() { free(data); }

bool sbuf::resize(size_t n) {
    char *q = static_cast<char *>(realloc(data, n + 1));
    if (!q) {
        oom = true;
        return false;
    }
    data = q;
    cap = n + 1;
    data[len] = '\0';
    return true;
}

bool sbuf::put(const char *p, size_t n, size_t first) {
    if (oom) return false;
    if (len + n + 1 > cap) {
        size_t want = cap ? cap * 2 : first;
        while (want < len + n + 1) want *= 2;
        if (!resize(want - 1)) return false;
    }
    memcpy(data + len, p, n);
    len += n;
    data[len] = '\0';
    return true;
}

void sbuf::puts(const char *s) { put(s, strlen(s)); }

char *sbuf::take() {
    if (oom) return nullptr;
    if (!data) return dup_text("");
    char *p = data;
    data = nullptr;
    len = cap = 0;
    return p;
}

bool body_buf::reserve(size_t n) {
    if (n > limit) {
        too_big = true;
        return false;
    }
    // The buffer is the answer from now on, even when no byte follows (a
    // "Content-Length: 0", or a connection closed before the body): take()
    // hands it over as it is, so it is a text already.
    return n + 1 <= cap || resize(n);
}

bool body_buf::append(const char *p, size_t n) {
    if (n > limit - len) {
        too_big = true;
        return false;
    }
    if (const void *z = memchr(p, '\0', n)) {
        nul_at = len + static_cast<size_t>(static_cast<const char *>(z) - p);
        return false;
    }
    // Bodies start larger than texts: most answers are some kilobytes.
    return put(p, n, 4096);
}

namespace {

// The digits of a percent-encoding, upper case as RFC 3986 prefers.
constexpr char k_hex[] = "0123456789ABCDEF";

}  // namespace

int hexval(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

size_t percent_decode(const char *in, size_t n, char *out, size_t room) {
    size_t m = 0;
    for (size_t i = 0; i < n && m + 1 < room; ++i) {
        int h1, h2;
        if (in[i] == '%' && i + 2 < n && (h1 = hexval(in[i + 1])) >= 0 && (h2 = hexval(in[i + 2])) >= 0) {
            out[m++] = static_cast<char>(h1 * 16 + h2);
            i += 2;
        } else {
            out[m++] = in[i];
        }
    }
    if (room) out[m] = '\0';
    return m;
}

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

char *with_base(const char *url_base, const char *url) {
    if (!url_base[0]) return dup_text(url);
    const char *scheme = strstr(url, "://");
    const char *rest = scheme ? scheme + 3 : url;
    size_t cut = strcspn(rest, "/?#");
    size_t head = static_cast<size_t>(rest - url) + cut;
    size_t blen = strlen(url_base), tlen = strlen(url + head);
    char *p = static_cast<char *>(malloc(head + blen + tlen + 1));
    if (!p) return nullptr;
    memcpy(p, url, head);
    memcpy(p + head, url_base, blen);
    memcpy(p + head + blen, url + head, tlen + 1);
    return p;
}

char *absolute_location(const char *request_url, const char *location) {
    if (!location) return nullptr;
    const char *scheme = strstr(request_url, "://");
    // Absolute already (a scheme before any '/'), or nothing to resolve against.
    const char *colon = strstr(location, "://");
    if ((colon && colon < location + strcspn(location, "/?#")) || !scheme) return dup_text(location);
    const char *rest = scheme + 3;
    size_t keep;  // the part of the request URL the location replaces the rest of
    if (location[0] == '/' && location[1] == '/') {
        keep = static_cast<size_t>(scheme + 1 - request_url);  // "http:" + "//host/..."
    } else if (location[0] == '/') {
        keep = static_cast<size_t>(rest - request_url) + strcspn(rest, "/?#");
    } else {
        // Relative to the request's folder: up to its last '/' before the query.
        size_t path_end = static_cast<size_t>(rest - request_url) + strcspn(rest, "?#");
        keep = static_cast<size_t>(rest - request_url) + strcspn(rest, "/?#");
        for (size_t i = keep; i < path_end; ++i)
            if (request_url[i] == '/') keep = i + 1;
        if (keep == static_cast<size_t>(rest - request_url) + strcspn(rest, "/?#")) {
            // No path at all: the location goes after a '/'.
            size_t n = strlen(location);
            char *p = static_cast<char *>(malloc(keep + n + 2));
            if (!p) return nullptr;
            memcpy(p, request_url, keep);
            p[keep] = '/';
            memcpy(p + keep + 1, location, n + 1);
            return p;
        }
    }
    size_t n = strlen(location);
    char *p = static_cast<char *>(malloc(keep + n + 1));
    if (!p) return nullptr;
    memcpy(p, request_url, keep);
    memcpy(p + keep, location, n + 1);
    return p;
}

char *printable_url(const char *url, size_t n) {
    if (!url) return nullptr;
    size_t room = 1;
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(url[i]);
        room += c > 0x20 && c < 0x7f ? 1 : 3;
    }
    char *p = static_cast<char *>(malloc(room));
    if (!p) return nullptr;
    char *o = p;
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(url[i]);
        if (c > 0x20 && c < 0x7f) {
            *o++ = static_cast<char>(c);
        } else {
            *o++ = '%';
            *o++ = k_hex[c >> 4];
            *o++ = k_hex[c & 15];
        }
    }
    *o = '\0';
    return p;
}

void cut_short_words(size_t received, int64_t announced, char *out, size_t size) {
    if (announced >= 0)
        snprintf(out, size, "answer cut short: %llu of %lld bytes", static_cast<unsigned long long>(received),
                 static_cast<long long>(announced));
    else
        snprintf(out, size, "answer cut short after %llu bytes", static_cast<unsigned long long>(received));
}

long long now_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void nul_words(size_t at, char *out, size_t size) {
    snprintf(out, size, "answer holds a NUL byte at offset %llu", static_cast<unsigned long long>(at));
}

namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
long long days_from_civil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

bool is_alpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// An HTTP date as seconds since 1970. Its parts are told apart by their
// shape, which reads the three forms alike: a month name, a time with
// colons, a day of one or two digits, then the year; weekday names and
// "GMT" are skipped.
bool http_date(const char *s, long long &epoch) {
    static const char months[] = "janfebmaraprmayjunjulaugsepoctnovdec";
    int day = -1, month = -1, hh = -1, mi = -1, ss = -1;
    long long year = -1;
    for (const char *p = s; *p;) {
        if (*p == ' ' || *p == ',' || *p == '-' || *p == '\t') {
            ++p;
            continue;
        }
        const char *start = p;
        if (is_alpha(*p)) {
            while (is_alpha(*p)) ++p;
            for (int i = 0; p - start == 3 && i < 12; ++i) {
                const char *m = months + 3 * i;
                if ((start[0] | 0x20) == m[0] && (start[1] | 0x20) == m[1] && (start[2] | 0x20) == m[2]) month = i + 1;
            }
            continue;
        }
        if (!is_digit(*p)) return false;
        long long v = 0;
        while (is_digit(*p) && v < 100000) v = v * 10 + (*p++ - '0');
        const long long digits = p - start;
        if (*p == ':') {  // hh:mm:ss
            hh = static_cast<int>(v);
            if (!is_digit(p[1]) || !is_digit(p[2]) || p[3] != ':' || !is_digit(p[4]) || !is_digit(p[5])) return false;
            mi = (p[1] - '0') * 10 + (p[2] - '0');
            ss = (p[4] - '0') * 10 + (p[5] - '0');
            p += 6;
        } else if (day < 0 && digits <= 2) {
            day = static_cast<int>(v);
        } else if (year < 0) {
            // A two-digit year (the RFC 850 form) is of this century or the last.
            year = digits == 2 ? (v < 70 ? 2000 + v : 1900 + v) : v;
        } else {
            return false;
        }
    }
    if (day < 1 || day > 31 || month < 1 || year < 1970 || year > 9999 || hh < 0 || hh > 23 || mi > 59 || ss > 60)
        return false;
    epoch = days_from_civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 + hh * 3600LL +
            mi * 60LL + ss;
    return true;
}

}  // namespace

bool retry_after_seconds(const char *value, long long now, long long &seconds) {
    const char *p = value;
    while (*p == ' ' || *p == '\t') ++p;
    if (is_digit(*p)) {
        long long v = 0;
        while (is_digit(*p)) {
            if (v > 99999999999LL) return false;  // no wait is counted in centuries
            v = v * 10 + (*p++ - '0');
        }
        while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') ++p;
        if (*p) return false;
        seconds = v;
        return true;
    }
    long long when = 0;
    if (!http_date(p, when)) return false;
    seconds = when > now ? when - now : 0;
    return true;
}

void rate_limit_words(const char *retry_after, char *out, size_t size) {
    long long seconds = 0;
    if (retry_after && retry_after_seconds(retry_after, static_cast<long long>(time(nullptr)), seconds))
        snprintf(out, size, "rate limited, retry after %lld s", seconds);
    else
        snprintf(out, size, "rate limited");
}

namespace {

bool ows(char c) { return c == ' ' || c == '\t'; }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// Whether `p` starts with the token `word` (any letter case) followed by
// anything that cannot continue a token.
bool token_is(const char *p, const char *word) {
    size_t i = 0;
    for (; word[i]; ++i)
        if (lower(p[i]) != word[i]) return false;
    return !p[i] || ows(p[i]) || p[i] == ',' || p[i] == '=';
}

// Past a quoted string starting at `p` (its opening quote), escapes and all;
// its content, unescaped, into `out` when it fits `size` (else `fits` is
// false).
const char *quoted(const char *p, char *out, size_t size, bool &fits) {
    size_t n = 0;
    fits = true;
    for (++p; *p && *p != '"'; ++p) {
        if (*p == '\\' && p[1]) ++p;
        if (n + 1 < size) out[n++] = *p;
        else fits = false;
    }
    out[n] = '\0';
    return *p ? p + 1 : p;
}

// The realm among the parameters of a challenge (`p` just past its
// scheme), into `out`; "" when it has none. The parameters end where a
// token is not followed by '=': the next challenge's scheme.
void realm_of(const char *p, char *out, size_t size) {
    out[0] = '\0';
    while (*p) {
        while (ows(*p) || *p == ',') ++p;
        const char *name = p;
        while (*p && !ows(*p) && *p != ',' && *p != '=') ++p;
        const char *name_end = p;
        while (ows(*p)) ++p;
        if (*p != '=' || name == name_end) return;
        ++p;
        while (ows(*p)) ++p;
        const bool is_realm = name_end - name == 5 && token_is(name, "realm");
        char value[k_basic_words_size];
        bool fits = true;
        if (*p == '"') {
            p = quoted(p, value, sizeof value, fits);
        } else {
            size_t n = 0;
            for (; *p && !ows(*p) && *p != ','; ++p)
                if (n + 1 < sizeof value) value[n++] = *p;
                else fits = false;
            value[n] = '\0';
        }
        if (is_realm) {
            if (fits) snprintf(out, size, "%s", value);
            return;
        }
    }
}

}  // namespace

bool basic_challenge_words(const char *challenge, char *out, size_t size) {
    if (!challenge) return false;
    // A header may hold several challenges ("Negotiate, Basic realm=x"):
    // a scheme starts the value or follows a comma; quoted texts are skipped
    // whole, as they may hold either.
    bool at_start = true;
    for (const char *p = challenge; *p;) {
        if (*p == '"') {
            char skip[2];
            bool fits;
            p = quoted(p, skip, sizeof skip, fits);
            at_start = false;
        } else if (*p == ',') {
            at_start = true;
            ++p;
        } else if (ows(*p)) {
            ++p;
        } else if (at_start && token_is(p, "basic") && p[5] != '=') {
            char realm[k_basic_words_size];
            realm_of(p + 5, realm, sizeof realm);
            bool shown = realm[0] && strlen(realm) <= 64;
            for (const char *r = realm; shown && *r; ++r)
                shown = *r >= 0x20 && *r <= 0x7e && *r != '"' && *r != '\\';
            if (shown)
                snprintf(out, size, "the server asks for basic authentication (realm \"%s\")", realm);
            else
                snprintf(out, size, "the server asks for basic authentication");
            return true;
        } else {
            at_start = false;
            ++p;
        }
    }
    return false;
}

void progress_meter::update(int64_t received, int64_t expected) {
    if (!fn || received == last) return;
    long long now = now_ms();
    if (last >= 0 && now - last_ms < interval_ms) return;
    last_ms = now;
    last = received;
    fn(user, received, expected);
}

void progress_meter::finish(int64_t received, int64_t expected) {
    if (!fn || last < 0 || received == last) return;
    last = received;
    fn(user, received, expected);
}

bool cancel_gate::enter(inflight &f) {
    std::lock_guard<std::mutex> lock(m_);
    if (paused_) return false;
    f.epoch = epoch_.load(std::memory_order_relaxed);
    f.prev = nullptr;
    f.next = head_;
    if (head_) head_->prev = &f;
    head_ = &f;
    return true;
}

void cancel_gate::leave(inflight &f) {
    std::lock_guard<std::mutex> lock(m_);
    if (f.prev) f.prev->next = f.next;
    else head_ = f.next;
    if (f.next) f.next->prev = f.prev;
    f.prev = f.next = nullptr;
}

bool cancel_gate::begin(inflight &f) {
    std::lock_guard<std::mutex> lock(m_);
    if (cancelled(f)) return false;
    f.busy = true;
    f.woken = false;
    return true;
}

void cancel_gate::end(inflight &f) {
    std::lock_guard<std::mutex> lock(m_);
    f.busy = false;
}

void cancel_gate::cancel() {
    std::lock_guard<std::mutex> lock(m_);
    paused_ = true;
    epoch_.fetch_add(1, std::memory_order_acq_rel);
    for (inflight *f = head_; f; f = f->next) {
        if (f->busy && !f->woken && f->wake) {
            f->woken = true;
            f->wake(f);
        }
    }
}

void cancel_gate::resume() {
    std::lock_guard<std::mutex> lock(m_);
    paused_ = false;
}

}  // namespace kt
