// Hints under a failure: what the common failures of a first setup most
// likely mean, and the setting to change. They read what the transport said
// about the last request (its status, a redirect's Location, why no answer
// came) and the service's configuration; none of them makes a request.
#include <cstring>
#include <string>
#include <vector>

#include "cli.h"

namespace cli {
namespace {

std::string lower(std::string s) {
    for (char &c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool has(const std::string &text, const char *part) { return text.find(part) != std::string::npos; }

bool ends_with(const std::string &s, const char *tail) {
    size_t n = strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// How to write an address in the setting the service's address came from.
// A file that gives the address in parts takes a Url in their place (never
// beside them).
std::string suggest(const cfg::Service &s, int kind, const std::string &url) {
    if (s.address_from == cfg::From::env) return std::string(service(kind).env_url) + "=" + url;
    if (s.url.empty()) return "\"Url\": \"" + url + "\" in place of Host, Port, UseHttps and UrlBase";
    return "\"Url\": \"" + url + "\"";
}

// The same address with the other scheme, in the setting it came from.
std::string other_scheme(const cfg::Service &s, int kind) {
    if (s.address_from == cfg::From::file && s.url.empty())
        return std::string("\"UseHttps\": ") + (s.https ? "false" : "true");
    cfg::Service t = s;
    t.https = !s.https;
    return suggest(s, kind, cfg::address(t, kind));
}

// The path of a request URL from its "/api/" on, without the query: what a
// redirect to the same place elsewhere ends with.
std::string api_path(const std::string &url) {
    size_t scheme = url.find("://");
    size_t path = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    if (path == std::string::npos) return "";
    size_t api = url.find("/api/", path);
    if (api == std::string::npos) return "";
    return url.substr(api, url.find_first_of("?#", api) - api);
}

std::string redirect_hint(const cfg::Service &s, int kind, const LastRequest &r) {
    const std::string name = service(kind).name;
    std::string head = name + " answered with a redirect (HTTP " + std::to_string(r.status) + ")";
    const std::string why = "; kova follows no redirect, so that the API key goes nowhere else";
    if (r.location.empty()) return head + " to no named place" + why + ": check its address (https? a URL base?)";
    head += " to " + r.location + why;
    // Where the service would have answered: the redirect's target less the
    // API path asked for.
    std::string api = api_path(r.url);
    size_t scheme = r.location.find("://");
    size_t path = scheme == std::string::npos ? std::string::npos : r.location.find('/', scheme + 3);
    std::string origin = r.location.substr(0, path);
    std::string target = path == std::string::npos ? "" : r.location.substr(path, r.location.find_first_of("?#", path) - path);
    if (scheme != std::string::npos && !api.empty() && ends_with(target, api.c_str()))
        return head + ". Give the address it names: " + suggest(s, kind, origin + target.substr(0, target.size() - api.size()));
    return head + ". Check the address: does the service want https, or a URL base?";
}

}  // namespace

std::string setting_origin(const cfg::Config &conf, int kind) {
    const cfg::Service &s = conf.svc[kind];
    const ServiceInfo &svc = service(kind);
    if (s.address_from == cfg::From::env && s.key_from == cfg::From::env)
        return std::string("from ") + svc.env_url + " and " + svc.env_key;
    if (s.address_from == cfg::From::env) return std::string("address from ") + svc.env_url + ", in " + conf.path;
    return "in " + conf.path;
}

std::vector<std::string> hints(const App &app, int kind, const std::string &error) {
    std::vector<std::string> out;
    if (kind < 0 || kind >= static_cast<int>(k_service_count)) return out;
    const cfg::Config &conf = app.conf;
    const cfg::Service &s = conf.svc[kind];
    const ServiceInfo &svc = service(kind);
    const std::string name = svc.name;
    const LastRequest &r = app.last;
    const std::string at = s.host + " port " + std::to_string(s.port > 0 ? s.port : svc.default_port);
    if (!r.reason.empty()) {
        const std::string why = lower(r.reason);
        // OpenSSL reads a plain-HTTP answer as a TLS record of a "wrong
        // version"; GnuTLS and Schannel say so in their own words.
        if (s.https && (has(why, "wrong version number") || has(why, "packet length too long") ||
                        has(why, "unexpected tls packet") || has(why, "tls handshake failed")))
            out.push_back("is UseHttps right for this port? " + at + " does not seem to speak TLS; if it serves plain HTTP: " +
                          other_scheme(s, kind));
        // A TLS port hangs up on a plain request (libcurl: "empty reply"),
        // or answers it with TLS bytes (WinHTTP: "invalid HTTP answer").
        else if (!s.https && (has(why, "empty reply from server") || has(why, "connection reset") ||
                              has(why, "connection was reset") || has(why, "invalid http answer")))
            out.push_back("is UseHttps right for this port? " + at + " gave no HTTP answer, as a TLS port does " +
                          "to plain HTTP; if it serves HTTPS: " + other_scheme(s, kind));
        else if (has(why, "couldn't connect") || has(why, "connection refused") || has(why, "failed to connect"))
            out.push_back("nothing answers at " + at + ": is " + name + " running, and on that port? (" + name +
                          " listens on " + std::to_string(svc.default_port) + " unless its settings say otherwise)");
        else if (has(why, "resolve") || has(why, "name not resolved"))
            out.push_back("the name " + s.host + " is not known here: check the host in " + name + "'s address");
        return out;
    }
    if (r.status >= 300 && r.status <= 399) {
        out.push_back(redirect_hint(s, kind, r));
    } else if (r.status == 401 || r.status == 403) {
        std::string where = s.key_from == cfg::From::env ? std::string(svc.env_key)
                                                          : "\"APIKey\" in " + conf.path;
        out.push_back(name + " refused the API key: copy it again into " + where + "; " + svc.key_place);
    } else if (r.status == 404 && ends_with(error, "HTTP 404")) {
        // A route every running service has was not found: the requests do
        // not reach the service's API, most often for want of its URL base.
        if (s.url_base.empty())
            out.push_back(name + " answered 404 Not Found: if it sits behind a reverse proxy under a path (a URL base), " +
                          "put that path in its address, e.g. " +
                          suggest(s, kind, cfg::address(s, kind) + "/" + lower(name)) + "; " + svc.base_place);
        else
            out.push_back(name + " answered 404 Not Found under the URL base " + s.url_base + ": is that the path " +
                          name + " answers at? " + svc.base_place);
    }
    return out;
}

std::vector<std::string> failure_hints(const App &app) {
    if (!app.config_read) return {};
    return hints(app, app.current, kova_last_error());
}

}  // namespace cli
