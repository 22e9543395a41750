// A configured service as the commands use it: its transport (URL base, TLS,
// proxy, the request log) and the library configured for it.
#include <cstring>
#include <string>

#include "cli.h"

namespace cli {

std::string g_transport_reason;
bool g_verbose = false;

App::~App() {
    kova_set_io(nullptr);
    for (auto *t : transport) net::close(t);
}

namespace {

void log_request(void *, const char *line) {
    if (g_verbose) out::print(stderr, "kova: %s\n", line);
    const char *f = strstr(line, " -> failed after ");
    if (f) {
        const char *why = strstr(f, " ms: ");
        g_transport_reason = why ? why + 5 : f + 4;
    }
}

}  // namespace

net::Transport *open_transport(const App &app, int kind) {
    const cfg::Service &s = app.conf.svc[kind];
    // Once per service and run: a CAFile the platform's transport cannot use.
    static bool warned[3];
    const char *ignored = net::ca_file_ignored();
    if (!s.ca_file.empty() && ignored && !warned[kind]) {
        warned[kind] = true;
        out::print(stderr, "kova: warning: %s.CAFile is not used: %s\n", k_service[kind], ignored);
    }
    net::Options o;
    o.insecure = s.insecure;
    o.ca_file = s.ca_file;
    o.url_base = s.url_base;
    o.has_proxy = app.conf.has_proxy;
    o.proxy = app.conf.proxy;
    o.log = log_request;
    std::string err;
    net::Transport *t = net::open(o, err);
    if (!t) out::print(stderr, "kova: %s\n", err.c_str());
    return t;
}

bool use_service(App &app, int kind) {
    if (app.demo) {
        kova_use_fake();
        return true;
    }
    const cfg::Service &s = app.conf.svc[kind];
    if (!app.ready[kind]) {
        if (!s.present) {
            out::print(stderr, "kova: %s is not configured: add a \"%s\" object to %s (see 'kova config --help')\n",
                      k_service[kind], k_service[kind], app.conf.path.c_str());
            return false;
        }
        app.transport[kind] = open_transport(app, kind);
        if (!app.transport[kind]) return false;
        static int32_t (*const configure[3])(const char *, int32_t, int32_t, const char *) = {
            kova_jackett_configure, kova_sonarr_configure, kova_radarr_configure};
        int32_t rc = configure[kind](s.host.c_str(), s.port, s.https ? 1 : 0, s.api_key.c_str());
        if (rc != KOVA_OK) {
            out::print(stderr, "kova: %s (in %s)\n", kova_last_error(), app.conf.path.c_str());
            return false;
        }
        app.ready[kind] = true;
    }
    kova_set_io(net::io(app.transport[kind]));
    return true;
}

}  // namespace cli
