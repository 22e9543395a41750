// The HTTP transport of the kova command-line host: libkova_curl on Linux,
// kova_winhttp on Windows. The build compiles one of net_curl.cpp and
// net_winhttp.cpp; the rest of the CLI sees only this.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kova.h"

namespace net {

// One redacted line per request ("GET <url> -> HTTP 200, ..." or
// "GET <url> -> failed after N ms: <reason>").
using LogFn = void (*)(void *user, const char *line);
// Bytes of an answer's body received so far, and the length the service
// announced (-1 when none). Called on the requesting thread.
using ProgressFn = void (*)(void *user, int64_t received, int64_t expected);

// One service's transport options, from the configuration file.
struct Options {
    bool insecure = false;   // no TLS certificate verification
    std::string ca_file;     // "": the platform's trust (see ca_file_ignored)
    bool has_proxy = false;  // false: the platform's proxy rules
    std::string proxy;       // with has_proxy: "" no proxy, else the proxy
    // What a reverse proxy in front of the service asks for.
    std::vector<std::string> headers;  // "Name: value" lines, sent with every request
    std::string username, password;    // basic authentication; "" none
    bool allow_basic_over_http = false;
    bool key_in_header = false;        // the API key as X-Api-Key (Sonarr, Radarr, Prowlarr)
    LogFn log = nullptr;
    void *log_user = nullptr;
    ProgressFn progress = nullptr;
    void *progress_user = nullptr;
};

// The log sink a transport is made with. While the transport is being
// created, the line it writes is why it refused an option, kept for open()'s
// error; afterwards the lines are the host's.
struct LogRelay {
    LogFn log = nullptr;
    void *log_user = nullptr;
    bool opening = true;
    std::string refusal;

    static void line(void *user, const char *text) {
        auto *r = static_cast<LogRelay *>(user);
        if (r->opening) {
            if (r->refusal.empty()) r->refusal = text;
        } else if (r->log) {
            r->log(r->log_user, text);
        }
    }
};

// The options libkova_curl and kova_winhttp share, set from o on a
// transport's options struct (after its _options_init), its log going
// through relay to o's sink. `lines` receives the header lines the struct
// points at: it must outlive the transport's _new.
template <class TransportOptions>
void set_shared(TransportOptions &to, const Options &o, LogRelay *relay, std::vector<const char *> &lines) {
    relay->log = o.log;
    relay->log_user = o.log_user;
    lines.clear();
    for (const auto &h : o.headers) lines.push_back(h.c_str());
    lines.push_back(nullptr);
    to.insecure = o.insecure;
    to.proxy = o.has_proxy ? o.proxy.c_str() : nullptr;  // absent: the platform's proxy rules
    to.log = LogRelay::line;
    to.log_user = relay;
    to.progress = o.progress;
    to.progress_user = o.progress_user;
    to.headers = o.headers.empty() ? nullptr : lines.data();
    to.username = o.username.c_str();
    to.password = o.password.c_str();
    to.allow_basic_over_http = o.allow_basic_over_http;
    to.key_in_header = o.key_in_header;
}

// (A URL base is not a transport option here: the library applies it, see
// kova_set_url_base, so that its logs and base URLs name the real URL.)

struct Transport;

// A transport with these options; nullptr with the reason in `err`: the
// transport's own words when it refused an option ("kova_curl_new failed:
// headers[0] (Host: <redacted>): a header the transport writes itself"),
// which it hands to its log sink while it is created.
Transport *open(const Options &o, std::string &err);
// Releases a transport (uninstall its table first); nullptr: nothing.
void close(Transport *t);
// The kova_io table to install with kova_set_io or hand to a validation.
const kova_io *io(const Transport *t);

// Ends the requests in flight on `t` (their error text is "cancelled") and
// fails later ones at once, until resume. Any thread; not from a signal
// handler (it takes a lock).
void cancel(Transport *t);
void resume(Transport *t);

// The transport's name ("libcurl", "WinHTTP") and its version text.
const char *name();
const char *version();

// Copies `text` into `out` with every apikey value replaced by "***";
// returns the full length, like snprintf.
int32_t redact(const char *text, char *out, int32_t size);

// nullptr when a configured CA file is what verifies a service's
// certificate; otherwise why the CAFile setting is not used.
const char *ca_file_ignored();

}  // namespace net
