// Service configuration: names, default ports, host checks and base URLs.
#include <cstdio>
#include <cstring>

#include "core/core.h"
#include "core/numbers.h"

namespace kova {

namespace {
// Indexed by kind (KOVA_JACKETT, KOVA_SONARR, KOVA_RADARR).
constexpr const char *k_svc_name[kind_count] = {"Jackett", "Sonarr", "Radarr", "Prowlarr"};
constexpr int32_t k_default_port[kind_count] = {9117, 8989, 7878, 9696};

// Bytes that would let a host smuggle a scheme, path, user information,
// brackets or white space into the URL.
bool refused(unsigned char c) {
    if (c >= 0x01 && c <= 0x20) return true;
    switch (c) {
    case '"': case '#': case '%': case '/': case '<': case '>': case '?':
    case '@': case '[': case '\\': case ']': case 0x7F:
        return true;
    default:
        return false;
    }
}

// A dotted IPv4 address that ends the text: four decimal octets of at most
// 255, without leading zeros.
bool ipv4_tail(const char *p) {
    for (int octet = 0; octet < 4; ++octet) {
        if (octet > 0 && *p++ != '.') return false;
        if (*p < '0' || *p > '9') return false;
        int v = 0, digits = 0;
        for (; *p >= '0' && *p <= '9'; ++p, ++digits) {
            if (digits == 1 && v == 0) return false;
            v = v * 10 + (*p - '0');
            if (v > 255) return false;
        }
    }
    return *p == '\0';
}

// The bytes of a URL path (RFC 3986): unreserved characters, sub-delimiters,
// ':', '@' and '/'; '%' only before two hex digits (checked by the caller).
bool path_byte(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return c != '\0' && strchr("-._~!$&'()*+,;=:@/", c) != nullptr;
}

// A URL base longer than this is no reverse-proxy prefix.
constexpr size_t k_max_url_base = 255;

} // namespace

bool is_ipv6_literal(const char *text) {
    if (!text) return false;
    const char *p = text;
    int groups = 0;          // 16-bit groups written out
    bool compressed = false; // "::" seen
    if (p[0] == ':') {
        if (p[1] != ':') return false;
        compressed = true;
        p += 2;
        if (*p == '\0') return true;  // "::"
    }
    for (;;) {
        // One group of hex digits, or the IPv4 tail.
        const char *start = p;
        while (hex_value(*p) >= 0) ++p;
        size_t n = static_cast<size_t>(p - start);
        if (*p == '.') {
            if (groups > 6 || (groups == 6 && compressed) || !ipv4_tail(start)) return false;
            groups += 2;
            break;
        }
        if (n < 1 || n > 4) return false;
        ++groups;
        if (*p == '\0') break;
        if (*p != ':') return false;
        ++p;
        if (*p == ':') {
            if (compressed) return false;
            compressed = true;
            ++p;
            if (*p == '\0') break;
        }
        if (groups >= 8) return false;
    }
    // "::" stands for at least one zero group.
    return compressed ? groups <= 7 : groups == 8;
}

const char *service_name(int32_t kind) { return kind_ok(kind) ? k_svc_name[kind] : ""; }

int32_t service_default_port(int32_t kind) { return kind_ok(kind) ? k_default_port[kind] : 0; }

int32_t service_configure(core_context *ctx, int32_t kind, const char *host, int32_t port, int32_t https,
                           const char *api_key) {
    if (!kind_ok(kind)) return fail(ctx, ERR_INVALID_ARG, "unknown service");
    const char *name = k_svc_name[kind];
    size_t hlen = host ? strlen(host) : 0;
    if (hlen < 1 || hlen > 253) return fail(ctx, ERR_INVALID_ARG, "%s: invalid host", name);
    for (size_t i = 0; i < hlen; ++i)
        if (refused(static_cast<unsigned char>(host[i])))
            return fail(ctx, ERR_INVALID_ARG, "%s: invalid host", name);
    // A host holding a colon is taken as an IPv6 address literal. Anything
    // else with a colon ("192.0.2.10:8080") would configure into an unusable
    // URL, so it is refused like any other invalid host.
    bool v6 = strchr(host, ':') != nullptr;
    if (v6 && !is_ipv6_literal(host)) return fail(ctx, ERR_INVALID_ARG, "%s: invalid host", name);
    if (!api_key || !*api_key) return fail(ctx, ERR_INVALID_ARG, "%s: empty API key", name);
    if (port > 65535) return fail(ctx, ERR_INVALID_ARG, "%s: port out of range", name);
    if (port <= 0) port = k_default_port[kind];

    char url[400];
    snprintf(url, sizeof url, "%s://%s%s%s:%d", https ? "https" : "http", v6 ? "[" : "", host,
             v6 ? "]" : "", static_cast<int>(port));

    service_config &s = ctx->svc[kind];
    mem_free(s.api_key);
    mem_free(s.base_url);
    // A new configuration starts without a URL base: the base belongs to the
    // setup it was given for.
    mem_free(s.url_base);
    s.url_base = nullptr;
    s.api_key = text_dup(api_key);
    s.base_url = text_dup(url);
    if (!s.api_key || !s.base_url) {
        s.configured = 0;
        return fail_oom(ctx);
    }
    s.configured = 1;
    return OK;
}

namespace {
// A URL base's bytes are those of a URL path; normalised (one leading slash,
// no trailing one: "sonarr", "/sonarr/" and "//sonarr" are the same base),
// it is at most k_max_url_base long. *start and *len: the base without its
// slashes.
bool url_base_ok(const char *path, const char **start, size_t *len) {
    const char *p = path ? path : "";
    size_t n = strlen(p);
    for (size_t i = 0; i < n; ++i) {
        if (p[i] == '%' && hex_value(p[i + 1]) >= 0 && hex_value(p[i + 2]) >= 0) {
            i += 2;
            continue;
        }
        if (!path_byte(static_cast<unsigned char>(p[i]))) return false;
    }
    while (n > 0 && *p == '/') {
        ++p;
        --n;
    }
    while (n > 0 && p[n - 1] == '/') --n;
    *start = p;
    *len = n;
    return n <= k_max_url_base;
}

bool starts_with_nocase(const char *s, const char *prefix) {
    size_t n = strlen(prefix);
    return strlen(s) >= n && mentions_word(s, n, prefix);
}
} // namespace

int32_t service_set_url_base(core_context *ctx, int32_t kind, const char *path) {
    if (!kind_ok(kind)) return fail(ctx, ERR_INVALID_ARG, "unknown service");
    const char *name = k_svc_name[kind];
    const char *p;
    size_t n;
    if (!url_base_ok(path, &p, &n)) return fail(ctx, ERR_INVALID_ARG, "%s: invalid URL base", name);
    service_config &s = ctx->svc[kind];
    if (!s.configured) return fail(ctx, ERR_NOT_CONFIGURED, "%s is not configured", name);

    const size_t origin = strlen(s.base_url) - (s.url_base ? strlen(s.url_base) : 0);
    text_guard base(n > 0 ? static_cast<char *>(mem_alloc(n + 2)) : nullptr);
    text_guard url(static_cast<char *>(mem_alloc(origin + n + 2)));
    if ((n > 0 && !base.p) || !url.p) return fail_oom(ctx);
    memcpy(url.p, s.base_url, origin);
    url.p[origin] = '\0';
    if (n > 0) {
        base.p[0] = '/';
        memcpy(base.p + 1, p, n);
        base.p[n + 1] = '\0';
        memcpy(url.p + origin, base.p, n + 2);
    }
    mem_free(s.base_url);
    mem_free(s.url_base);
    s.base_url = url.release();
    s.url_base = base.release();
    return OK;
}

int32_t service_configure_url(core_context *ctx, int32_t kind, const char *url, const char *api_key) {
    if (!kind_ok(kind)) return fail(ctx, ERR_INVALID_ARG, "unknown service");
    const char *name = k_svc_name[kind];
    auto refuse = [&](const char *part) { return fail(ctx, ERR_INVALID_ARG, "%s: invalid URL: %s", name, part); };
    if (!url || !*url) return refuse("none given");
    int32_t https;
    const char *p;
    if (starts_with_nocase(url, "http://")) {
        https = 0;
        p = url + 7;
    } else if (starts_with_nocase(url, "https://")) {
        https = 1;
        p = url + 8;
    } else {
        return refuse("the scheme must be http:// or https://");
    }
    // The authority: up to the path, query or fragment.
    const size_t auth_len = strcspn(p, "/?#");
    const char *auth_end = p + auth_len;
    if (memchr(p, '@', auth_len)) return refuse("it holds user information");
    char host[256];
    const char *port_at = nullptr; // after the ':' before the port
    if (*p == '[') {
        const char *close = static_cast<const char *>(memchr(p, ']', auth_len));
        size_t n = close ? static_cast<size_t>(close - p - 1) : 0;
        if (!close || n == 0 || n >= sizeof host) return refuse("the IPv6 address in brackets is not one");
        memcpy(host, p + 1, n);
        host[n] = '\0';
        if (!is_ipv6_literal(host)) return refuse("the IPv6 address in brackets is not one");
        if (close + 1 < auth_end) {
            if (close[1] != ':') return refuse("the host is followed by something other than a port");
            port_at = close + 2;
        }
    } else {
        const char *colon = static_cast<const char *>(memchr(p, ':', auth_len));
        size_t n = colon ? static_cast<size_t>(colon - p) : auth_len;
        if (n == 0) return refuse("the host is empty");
        if (n >= sizeof host) return refuse("the host is too long");
        memcpy(host, p, n);
        host[n] = '\0';
        if (colon) port_at = colon + 1;
    }
    // Absent, the port is the scheme's: a URL names a place.
    int32_t port = https ? 443 : 80;
    if (port_at) {
        size_t n = static_cast<size_t>(auth_end - port_at);
        int32_t v = 0;
        bool digits = n >= 1 && n <= 5;
        for (size_t i = 0; digits && i < n; ++i) {
            digits = port_at[i] >= '0' && port_at[i] <= '9';
            v = v * 10 + (port_at[i] - '0');
        }
        if (!digits || v < 1 || v > 65535) return refuse("the port is not a number from 1 to 65535");
        port = v;
    }
    // The path, which is the URL base; nothing may follow it.
    const char *path = auth_end;
    size_t path_len = strcspn(path, "?#");
    if (path[path_len] == '?') return refuse("it has a query");
    if (path[path_len] == '#') return refuse("it has a fragment");
    const char *base;
    size_t base_len;
    if (!url_base_ok(path, &base, &base_len)) return fail(ctx, ERR_INVALID_ARG, "%s: invalid URL base", name);
    int32_t rc = service_configure(ctx, kind, host, port, https, api_key);
    if (rc != OK) return rc;
    rc = service_set_url_base(ctx, kind, path);
    // Memory ran out for the base alone: the service is left unconfigured,
    // as a configuration that runs out of memory leaves it, and never at the
    // new host without its base.
    if (rc != OK) ctx->svc[kind].configured = 0;
    return rc;
}

} // namespace kova
