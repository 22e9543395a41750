// What a host transport adds to a request's headers (see headers.h).
#include "headers.h"

#include "common.h"
#include "redact.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kt {

namespace {

// The headers a transport writes itself, or that another option or the
// library sets: one written twice would reach the service as two values, or
// as whichever the HTTP stack keeps.
constexpr const char *k_reserved[] = {
    "Host", "Content-Length", "Transfer-Encoding", "Connection", "Expect", "TE", "Upgrade",
    "Accept", "Accept-Encoding", "Content-Type", "User-Agent",
};

bool same_name(const char *a, const char *b) {
    for (; *a && *b; ++a, ++b) {
        char x = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a + 32) : *a;
        char y = *b >= 'A' && *b <= 'Z' ? static_cast<char>(*b + 32) : *b;
        if (x != y) return false;
    }
    return *a == *b;
}

bool token_char(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           (c && strchr("!#$%&'*+-.^_`|~", c));
}

bool ows(char c) { return c == ' ' || c == '\t'; }

bool is_reserved(const char *name) {
    for (const char *r : k_reserved)
        if (same_name(name, r)) return true;
    return false;
}

char *copy_n(const char *p, size_t n) {
    char *s = static_cast<char *>(malloc(n + 1));
    if (!s) return nullptr;
    memcpy(s, p, n);
    s[n] = '\0';
    return s;
}

// Checks one "Name: value" line; false with a reason.
bool check_line(size_t i, const char *line, refusal &why) {
    const size_t n = strlen(line);
    if (n > k_max_header_line) {
        why.say("headers[%d]: longer than %d bytes", static_cast<int>(i), static_cast<int>(k_max_header_line));
        return false;
    }
    const char *colon = strchr(line, ':');
    if (!colon) {
        why.say("headers[%d]: not \"Name: value\" (no colon)", static_cast<int>(i));
        return false;
    }
    if (colon == line) {
        why.say("headers[%d]: the name is empty", static_cast<int>(i));
        return false;
    }
    for (const char *p = line; p < colon; ++p) {
        if (*p == '\r' || *p == '\n') {
            why.say("headers[%d]: the name holds a line break (CR or LF)", static_cast<int>(i));
            return false;
        }
        if (!token_char(static_cast<unsigned char>(*p))) {
            why.say("headers[%d]: the name holds a character other than letters, digits and !#$%%&'*+-.^_`|~",
                    static_cast<int>(i));
            return false;
        }
    }
    const int name_len = static_cast<int>(colon - line);
    for (const char *p = colon + 1; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        const char *what = c == '\r' || c == '\n'            ? "a line break (CR or LF)"
                           : (c < 0x20 && c != '\t') || c == 0x7f ? "a control character"
                           : c >= 0x80                            ? "a byte beyond ASCII, which HTTP stacks send differently"
                                                                  : nullptr;
        if (what) {
            why.say("headers[%d] (%.*s: <redacted>): the value holds %s", static_cast<int>(i), name_len, line, what);
            return false;
        }
    }
    char name[32];
    if (static_cast<size_t>(name_len) < sizeof name) {
        memcpy(name, line, static_cast<size_t>(name_len));
        name[name_len] = '\0';
        if (is_reserved(name)) {
            why.say("headers[%d] (%s: <redacted>): a header the transport writes itself%s", static_cast<int>(i), name,
                    same_name(name, "User-Agent") ? " (set user_agent instead)" : "");
            return false;
        }
    }
    return true;
}

}  // namespace

void refusal::say(const char *fmt, ...) {
    if (given()) return;
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
}

header_list::~header_list() {
    for (size_t i = 0; i < count; ++i) {
        free(lines[i].name);
        free(lines[i].value);
    }
    free(lines);
}

bool header_list::has(const char *name) const {
    for (size_t i = 0; i < count; ++i)
        if (same_name(lines[i].name, name)) return true;
    return false;
}

bool take_headers(const char *const *lines, header_list &out, refusal &why) {
    if (!lines) return true;
    size_t n = 0;
    while (lines[n]) {
        if (n == k_max_header_lines) {
            why.say("headers: more than %d lines", static_cast<int>(k_max_header_lines));
            return false;
        }
        if (!check_line(n, lines[n], why)) return false;
        ++n;
    }
    if (n == 0) return true;
    out.lines = static_cast<header_line *>(calloc(n, sizeof *out.lines));
    if (!out.lines) return false;
    for (size_t i = 0; i < n; ++i) {
        const char *colon = strchr(lines[i], ':');
        const char *v = colon + 1;
        while (ows(*v)) ++v;
        size_t vn = strlen(v);
        while (vn > 0 && ows(v[vn - 1])) --vn;
        header_line &h = out.lines[out.count++];
        h.name = copy_n(lines[i], static_cast<size_t>(colon - lines[i]));
        h.value = copy_n(v, vn);
        if (!h.name || !h.value) return false;
    }
    return true;
}

char *basic_credentials(const char *user, const char *password) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const size_t un = strlen(user), pn = password ? strlen(password) : 0, n = un + 1 + pn;
    char *plain = static_cast<char *>(malloc(n));
    char *out = static_cast<char *>(malloc(6 + (n + 2) / 3 * 4 + 1));
    if (!plain || !out) {
        free(plain);
        free(out);
        return nullptr;
    }
    memcpy(plain, user, un);
    plain[un] = ':';
    if (pn) memcpy(plain + un + 1, password, pn);
    char *o = out;
    memcpy(o, "Basic ", 6);
    o += 6;
    const auto *b = reinterpret_cast<const unsigned char *>(plain);
    for (size_t i = 0; i < n; i += 3) {
        const unsigned v = static_cast<unsigned>(b[i]) << 16 | (i + 1 < n ? b[i + 1] << 8 : 0) | (i + 2 < n ? b[i + 2] : 0);
        *o++ = digits[v >> 18 & 63];
        *o++ = digits[v >> 12 & 63];
        *o++ = i + 1 < n ? digits[v >> 6 & 63] : '=';
        *o++ = i + 2 < n ? digits[v & 63] : '=';
    }
    *o = '\0';
    // The copy in clear goes; the encoded one is as secret, and is kept only
    // as long as the transport.
    memset(plain, 0, n);
    free(plain);
    return out;
}

bool plain_http(const char *url) {
    static const char http[] = "http://";
    for (size_t i = 0; i < sizeof http - 1; ++i) {
        char c = url[i] >= 'A' && url[i] <= 'Z' ? static_cast<char>(url[i] + 32) : url[i];
        if (c != http[i]) return false;
    }
    return true;
}

key_move::~key_move() {
    free(url);
    if (key) memset(key, 0, strlen(key));
    free(key);
}

bool move_key(const char *url, key_move &m) {
    const char *scheme = strstr(url, "://");
    const char *path = scheme ? scheme + 3 + strcspn(scheme + 3, "/?#") : url;
    const size_t path_len = strcspn(path, "?#");
    // The first API segment names the service's API: a URL base sits before it.
    const char *api = nullptr;
    for (const char *p = path; p + 6 <= path + path_len; ++p) {
        if (strncmp(p, "/api/v", 6) == 0) {
            api = p + 6;
            break;
        }
    }
    const bool reads_header = api && (strncmp(api, "1/", 2) == 0 || strncmp(api, "3/", 2) == 0);
    const char *query = path[path_len] == '?' ? path + path_len + 1 : nullptr;
    if (!reads_header || !query) return (m.url = dup_text(url)) != nullptr;

    // The URL again, without its apikey parameters; the first one's value,
    // decoded, is the key.
    sbuf u;
    u.put(url, static_cast<size_t>(query - url));  // up to and with the '?'
    const char *end = query + strcspn(query, "#");
    bool first = true;
    for (const char *p = query; p < end;) {
        const char *amp = static_cast<const char *>(memchr(p, '&', static_cast<size_t>(end - p)));
        const char *stop = amp ? amp : end;
        if (starts_apikey(p) && p + 7 <= stop) {
            if (!m.key) {
                const char *v = p + 7;
                const size_t vn = static_cast<size_t>(stop - v);
                m.key = static_cast<char *>(malloc(vn + 1));
                if (!m.key) return false;
                const size_t k = percent_decode(v, vn, m.key, vn + 1);
                for (size_t i = 0; i < k; ++i) {
                    const unsigned char c = static_cast<unsigned char>(m.key[i]);
                    if (c <= 0x20 || c >= 0x7f) m.bad_key = true;
                }
                if (strlen(m.key) != k) m.bad_key = true;  // a NUL inside
            }
        } else {
            if (!first) u.put("&", 1);
            u.put(p, static_cast<size_t>(stop - p));
            first = false;
        }
        p = amp ? amp + 1 : end;
    }
    // Nothing left of the query: no '?' either.
    if (first && !u.oom) u.data[--u.len] = '\0';
    u.puts(end);
    if (u.oom) return false;
    m.url = u.take();
    if (!m.url) return false;
    if (m.bad_key) return false;
    return true;
}

}  // namespace kt
