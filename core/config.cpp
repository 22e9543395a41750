// Service configuration: names, default ports, host checks and base URLs.
#include <cstdio>
#include <cstring>

#include "core/core.h"
#include "core/numbers.h"

namespace kova {

namespace {
// Indexed by kind (KOVA_JACKETT, KOVA_SONARR, KOVA_RADARR).
constexpr const char *k_svc_name[kind_count] = {"Jackett", "Sonarr", "Radarr"};
constexpr int32_t k_default_port[kind_count] = {9117, 8989, 7878};

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

int32_t service_set_url_base(core_context *ctx, int32_t kind, const char *path) {
    if (!kind_ok(kind)) return fail(ctx, ERR_INVALID_ARG, "unknown service");
    const char *name = k_svc_name[kind];
    const char *p = path ? path : "";
    size_t n = strlen(p);
    for (size_t i = 0; i < n; ++i) {
        if (p[i] == '%' && hex_value(p[i + 1]) >= 0 && hex_value(p[i + 2]) >= 0) {
            i += 2;
            continue;
        }
        if (!path_byte(static_cast<unsigned char>(p[i])))
            return fail(ctx, ERR_INVALID_ARG, "%s: invalid URL base", name);
    }
    // One leading slash, no trailing one: "sonarr", "/sonarr/" and
    // "//sonarr" are the same base.
    while (n > 0 && *p == '/') {
        ++p;
        --n;
    }
    while (n > 0 && p[n - 1] == '/') --n;
    if (n > k_max_url_base) return fail(ctx, ERR_INVALID_ARG, "%s: invalid URL base", name);
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

} // namespace kova
