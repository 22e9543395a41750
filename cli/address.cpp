// A service's address in the configuration: a "Url" (or KOVA_<SERVICE>_URL)
// as a browser shows it, or the parts Host, Port, UseHttps, UrlBase. The
// library reads a URL (kova_configure_url): what is written here says only
// what its message cannot, such as where in the configuration the address
// is and how to write it instead.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "config.h"

namespace cfg {
namespace {

// The key plays no part in reading an address; use_service configures the
// service again, with its own key, before any request.
const char k_stand_in_key[] = "-";

bool all_digits(const std::string &s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string trim(const std::string &s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
    return s.substr(b, e - b);
}

// "sonarr/", "//sonarr" -> "/sonarr"; "/" -> "".
std::string norm_base(const std::string &b) {
    size_t s = b.find_first_not_of('/');
    if (s == std::string::npos) return "";
    size_t e = b.find_last_not_of('/');
    return "/" + b.substr(s, e - s + 1);
}

bool ends_with_nocase(const std::string &s, const char *tail) {
    size_t n = strlen(tail);
    return s.size() >= n && strcasecmp(s.c_str() + s.size() - n, tail) == 0;
}

// The parts of a configured service's kova_base_url, which the library
// writes as "scheme://host:port" (an IPv6 host in brackets) and the URL base.
void take_parts(const std::string &url, Service &s) {
    size_t host = url.find("://") + 3;
    bool v6 = url[host] == '[';
    size_t colon = v6 ? url.find("]:", host) + 1 : url.find(':', host);
    size_t path = url.find('/', colon);
    s.https = url.compare(0, 5, "https") == 0;
    s.host = v6 ? url.substr(host + 1, colon - host - 2) : url.substr(host, colon - host);
    s.port_text = url.substr(colon + 1, path == std::string::npos ? std::string::npos : path - colon - 1);
    s.port = atoi(s.port_text.c_str());
    s.url_base = path == std::string::npos ? "" : url.substr(path);
}

}  // namespace

bool read_url(const std::string &given, int kind, Service &s, std::string &err, std::string &warning,
              const std::string &where) {
    auto fail = [&](const std::string &why) {
        err = where + " \"" + given + "\": " + why;
        return false;
    };
    // Pasted text often comes with spaces around it.
    const std::string t = trim(given);
    if (t.empty()) return fail("empty; write the address as http://host:port");
    const size_t sep = t.find("://");
    if (sep == std::string::npos) return fail("no scheme: write \"http://" + t + "\" (or https://)");
    if (kova_configure_url(kind, t.c_str(), k_stand_in_key) != KOVA_OK) {
        std::string why = kova_last_error();
        // An IPv6 address without brackets reads as a host and a port that
        // is no number.
        std::string authority = t.substr(sep + 3, t.find_first_of("/?#", sep + 3) - sep - 3);
        if (authority[0] != '[' && std::count(authority.begin(), authority.end(), ':') > 1)
            why += "; an IPv6 address goes in brackets: " + t.substr(0, sep) + "://[" + authority + "]";
        return fail(why);
    }
    take_parts(kova_base_url(kind), s);
    // Jackett's own address bar shows its dashboard page: that page is not
    // part of the address kova needs.
    if (kind == KOVA_JACKETT) {
        for (const char *ui : {"/UI/Dashboard", "/UI"}) {
            if (!ends_with_nocase(s.url_base, ui)) continue;
            const size_t at = s.url_base.size() - strlen(ui);
            warning = where + ": " + s.url_base.substr(at) + " is Jackett's dashboard page, not part of its address: left out";
            s.url_base.resize(at);
            break;
        }
    }
    s.url = address(s, kind);
    return true;
}

bool check_host(const std::string &host, std::string &err, const std::string &where) {
    std::string head = where + ".Host \"" + host + "\"";
    if (host.find("://") != std::string::npos) {
        err = head + " holds a scheme: write the host alone, or give the whole address as \"Url\": \"" + host +
              "\" instead of Host";
        return false;
    }
    if (host.find('/') != std::string::npos) {
        err = head + " holds a path: write the host alone (a path goes in UrlBase), or use \"Url\"";
        return false;
    }
    if (host.size() > 1 && host.front() == '[' && host.back() == ']') {
        err = head + ": write an IPv6 address without brackets, or use \"Url\"";
        return false;
    }
    size_t colon = host.find(':');
    if (colon != std::string::npos && host.find(':', colon + 1) == std::string::npos &&
        all_digits(host.substr(colon + 1))) {
        err = head + " holds a port: write it in \"Port\": " + host.substr(colon + 1) + ", or use \"Url\"";
        return false;
    }
    return true;
}

std::string address(const Service &s, int kind) {
    bool v6 = s.host.find(':') != std::string::npos;
    int32_t port = s.port > 0 ? s.port : cli::service(kind).default_port;
    return std::string(s.https ? "https://" : "http://") + (v6 ? "[" : "") + s.host + (v6 ? "]" : "") + ":" +
           std::to_string(port) + norm_base(s.url_base);
}

}  // namespace cfg
