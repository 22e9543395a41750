// What every host transport does around a request (see common.h).
#include "common.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace kova_transport {

char *dup_text(const char *s) {
    if (!s) return nullptr;
    size_t n = strlen(s);
    char *p = static_cast<char *>(malloc(n + 1));
    if (p) memcpy(p, s, n + 1);
    return p;
}

body_buf::~body_buf() { free(data); }

bool body_buf::append(const char *p, size_t n) {
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

char *body_buf::take() {
    if (!data) return dup_text("");
    char *p = data;
    data = nullptr;
    len = cap = 0;
    return p;
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

long long now_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace kova_transport
