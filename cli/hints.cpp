// Hints under a failure: what the common failures of a first setup most
// likely mean, and the setting to change. They read what the library reports
// of the failed call (its message, the HTTP status of its last request, the
// transport's own reason when no answer came) and the service's
// configuration; none of them makes a request.
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

// What the transport's reason most likely means for the address.
std::string transport_hint(const cfg::Service &s, int kind, const std::string &reason) {
    const ServiceInfo &svc = service(kind);
    const std::string name = svc.name;
    const std::string at = s.host + " port " + std::to_string(s.port > 0 ? s.port : svc.default_port);
    const std::string why = lower(reason);
    // OpenSSL reads a plain-HTTP answer as a TLS record of a "wrong
    // version"; GnuTLS and Schannel say so in their own words.
    if (s.https && (has(why, "wrong version number") || has(why, "packet length too long") ||
                    has(why, "unexpected tls packet") || has(why, "tls handshake failed")))
        return "is UseHttps right for this port? " + at + " does not seem to speak TLS; if it serves plain HTTP: " +
               other_scheme(s, kind);
    // A TLS port hangs up on a plain request (libcurl: "empty reply"), or
    // answers it with TLS bytes (WinHTTP: "invalid HTTP answer").
    if (!s.https && (has(why, "empty reply from server") || has(why, "connection reset") ||
                     has(why, "connection was reset") || has(why, "invalid http answer")))
        return "is UseHttps right for this port? " + at + " gave no HTTP answer, as a TLS port does " +
               "to plain HTTP; if it serves HTTPS: " + other_scheme(s, kind);
    if (has(why, "couldn't connect") || has(why, "connection refused") || has(why, "failed to connect"))
        return "nothing answers at " + at + ": is " + name + " running, and on that port? (" + name + " listens on " +
               std::to_string(svc.default_port) + " unless its settings say otherwise)";
    if (has(why, "resolve") || has(why, "name not resolved"))
        return "the name " + s.host + " is not known here: check the host in " + name + "'s address";
    return "";
}

// The library is not told where a redirect points (the transport does not
// follow it and hands over the status alone); the transport's own line about
// the request, which -v prints, names the Location.
std::string redirect_hint(int kind, int32_t status) {
    return std::string(service(kind).name) + " answered with a redirect (HTTP " + std::to_string(status) +
           "); kova follows no redirect, so that the API key goes nowhere else, and is not told where it points: "
           "run the command again with -v, whose line for this request ends with the redirect's Location, and give "
           "that address, less its /api/ path, as the service's address (https? a URL base?)";
}

// A 401 or 403: the service refusing its API key, or a reverse proxy in
// front of it refusing the request. A proxy that wants a password asks for
// it (the transport's words about a Basic challenge) and says nothing more;
// a service explains its refusal in its body (a warning "<Service>: ..."),
// also when its own login is Basic and it asks for that beside, and a proxy
// that wants a header of its own most often answers 403 with nothing a user
// can read.
std::string refusal_hint(const cfg::Config &conf, const cfg::Service &s, int kind, const Failure &f) {
    const ServiceInfo &svc = service(kind);
    const std::string name = svc.name;
    const std::string in = " of " + s.name + " in " + conf.path;
    const std::string key_fix = "copy it again into " +
                                (s.key_from == cfg::From::env ? std::string(svc.env_key) : "\"APIKey\" in " + conf.path) +
                                "; " + svc.key_place;
    bool explained = false;
    for (const auto &w : f.warnings) explained = explained || w.rfind(name + ": ", 0) == 0;
    if (f.status == 401 && !explained && has(lower(f.transport), "asks for basic authentication")) {
        if (s.has_credentials())
            return name + "'s address asks for a user name and password (HTTP basic authentication) and refused "
                          "those given: check \"Username\" and \"Password\"" + in + " (or " + svc.env_user + " and " +
                   svc.env_password + ")";
        return name + "'s address asks for a user name and password (HTTP basic authentication), as a reverse proxy "
                      "in front of " + name + " does: set \"Username\" and \"Password\"" + in + " (or " +
               svc.env_user + " and " + svc.env_password + ")" +
               (s.https ? "" : "; they go over https:// only, unless \"AllowBasicOverHttp\": true");
    }
    if (f.status == 403 && !explained) {
        if (!s.headers.empty())
            return name + " answered 403 without a word of its own, as a reverse proxy in front of it does when a "
                          "request lacks what it wants: check the names and values of \"Headers\"" + in +
                   " (sent with every request); if nothing sits in front of " + name + ", it refused the API key: " + key_fix;
        return name + " answered 403 without a word of its own, as a reverse proxy in front of it does when a request "
                      "lacks a header it wants (a token): give that header in \"Headers\"" + in +
               ", e.g. \"Headers\": {\"X-Proxy-Token\": \"...\"}; if nothing sits in front of " + name +
               ", it refused the API key: " + key_fix;
    }
    return name + " refused the API key: " + key_fix;
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

Failure last_failure() {
    Failure f;
    f.error = kova_last_error();
    f.status = kova_last_http_code();
    f.transport = kova_last_transport_error();
    f.key_rejected = f.status == 401 || f.status == 403;
    for (int32_t i = 0; i < kova_warning_count(); ++i) f.warnings.emplace_back(kova_warning(i));
    return f;
}

std::vector<std::string> hints(const App &app, int kind, const Failure &f) {
    std::vector<std::string> out;
    if (kind < 0 || kind >= static_cast<int>(k_service_count)) return out;
    const cfg::Config &conf = app.conf;
    const cfg::Service &s = f.instance ? *f.instance : conf.svc[kind];
    const ServiceInfo &svc = service(kind);
    const std::string name = svc.name;
    if (!f.transport.empty() && !f.key_rejected) {
        std::string h = transport_hint(s, kind, f.transport);
        if (!h.empty()) out.push_back(h);
        return out;
    }
    if (f.status >= 300 && f.status <= 399) {
        out.push_back(redirect_hint(kind, f.status));
    } else if (f.key_rejected) {
        out.push_back(refusal_hint(conf, s, kind, f));
    } else if (ends_with(f.error, "HTTP 404") && !f.connection_test) {
        // Past the connection test's routes, which every running service
        // has, a 404 is about what was asked for.
        out.push_back(name + " answered 404 Not Found: it has no such item (check the id); 'kova test " + svc.lower +
                      "' checks the address itself");
    } else if (ends_with(f.error, "HTTP 404")) {
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
    Failure f = last_failure();
    f.connection_test = app.last_call_was_test;
    return hints(app, app.current, f);
}

}  // namespace cli
