// The configure calls with arbitrary host, port, scheme and key bytes, and
// the URL that then reaches the transport: its authority never holds a byte
// the host check refuses, and the key travels percent-encoded.
#include "fuzz/fuzz_common.h"

namespace configure_fuzzer {

bool refused_host_byte(unsigned char c) {
    return (c >= 0x01 && c <= 0x20) || c == '"' || c == '#' || c == '%' || c == '/' || c == '<' || c == '>' ||
           c == '?' || c == '@' || c == '[' || c == '\\' || c == ']' || c == 0x7F;
}

bool unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

std::string encoded(const std::string &key) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : key) {
        if (unreserved(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

fuzz_answer not_found(void *, const std::string &, bool) {
    fuzz_answer a;
    a.status = 404;
    a.body = "{}";
    return a;
}

// The authority of a URL the library sent: scheme "://" authority "/" ...
void check_url(const std::string &url, const std::string &base, const std::string &key) {
    FUZZ_CHECK(url.compare(0, base.size(), base) == 0);
    size_t scheme = url.find("://");
    FUZZ_CHECK(scheme == 4 || scheme == 5);
    size_t path = url.find('/', scheme + 3);
    FUZZ_CHECK(path != std::string::npos && path == base.size());
    std::string auth = url.substr(scheme + 3, path - scheme - 3);
    size_t colon = auth.rfind(':');
    FUZZ_CHECK(colon != std::string::npos);
    std::string host = auth.substr(0, colon);
    if (!host.empty() && host.front() == '[') {
        FUZZ_CHECK(host.back() == ']' && host.find(':') != std::string::npos);
        host = host.substr(1, host.size() - 2);
    } else {
        FUZZ_CHECK(host.find(':') == std::string::npos);
    }
    FUZZ_CHECK(!host.empty() && host.size() <= 253);
    for (unsigned char c : host) FUZZ_CHECK(!refused_host_byte(c));
    long port = strtol(auth.c_str() + colon + 1, nullptr, 10);
    FUZZ_CHECK(port >= 1 && port <= 65535);
    std::string tail = url.substr(path);
    size_t q = tail.find("?apikey=");
    FUZZ_CHECK(q != std::string::npos);
    std::string k = tail.substr(q + 8, encoded(key).size());
    FUZZ_CHECK(k == encoded(key));
    for (unsigned char c : tail) FUZZ_CHECK(c > 0x20 && c < 0x7F);
}

int one_input(const uint8_t *data, size_t size) {
    fuzz_bytes in(data, size);
    kova_reset();
    fuzz_io io;
    io.answer = not_found;
    io.install(true);
    kova_set_io(&io.io);
    for (int round = 0; round < 4 && !in.empty(); ++round) {
        uint8_t b = in.u8();
        int32_t kind = b % 3;
        uint8_t pm = in.u8();
        int32_t port = pm < 0xE0 ? static_cast<int32_t>(pm) * 300 - 1000 : in.i32();
        int32_t https = (b & 0x80) ? in.i32() : (b >> 3) & 1;
        std::string host;
        {
            std::string raw = in.text(300);
            host = c_text(reinterpret_cast<const uint8_t *>(raw.data()), raw.size());
        }
        std::string key;
        {
            std::string raw = in.text(100);
            key = c_text(reinterpret_cast<const uint8_t *>(raw.data()), raw.size());
        }
        bool null_host = (b & 0x20) && host.empty();
        bool null_key = (b & 0x40) && key.empty();
        std::string before = kova_base_url(kind);
        int32_t (*const configure[])(const char *, int32_t, int32_t, const char *) = {
            kova_jackett_configure, kova_sonarr_configure, kova_radarr_configure};
        int32_t rc = configure[kind](null_host ? nullptr : host.c_str(), port, https,
                                     null_key ? nullptr : key.c_str());
        FUZZ_CHECK(kova_last_rc() == rc);
        std::string after = kova_base_url(kind);
        if (rc != KOVA_OK) {
            FUZZ_CHECK(rc == KOVA_ERR_INVALID_ARG && after == before);
            FUZZ_CHECK(*kova_last_error() != '\0');
            continue;
        }
        FUZZ_CHECK(!host.empty() && host.size() <= 253 && !key.empty() && port <= 65535);
        for (unsigned char c : host) FUZZ_CHECK(!refused_host_byte(c));
        FUZZ_CHECK(after.compare(0, https ? 8 : 7, https ? "https://" : "http://") == 0);
        int32_t eff = port > 0 ? port : kova_default_port(kind);
        std::string suffix = ":" + std::to_string(eff);
        FUZZ_CHECK(after.size() > suffix.size() && after.compare(after.size() - suffix.size(), suffix.size(), suffix) == 0);

        // One request to the configured service; whatever it answers, the
        // URL it was sent to is checked.
        size_t sent = io.urls.size();
        if (kind == 0)
            kova_jackett_search_query("q");
        else if (kind == 1)
            kova_sonarr_library_find(1);
        else
            kova_radarr_library_find(1);
        FUZZ_CHECK(io.urls.size() == sent + 1);
        check_url(io.urls.back(), after, key);
        FUZZ_CHECK(kova_last_http_code() == 404);
    }
    io.check_released();
    for (int32_t k = -2; k <= 4; ++k) check_text(kova_base_url(k));
    kova_reset();
    return 0;
}

} // namespace configure_fuzzer

KOVA_FUZZ_TARGET(configure_fuzzer)
