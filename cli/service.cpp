// A configured service as the commands use it: its transport (URL base, TLS,
// proxy, the request log) and the library configured for it.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "cli.h"
#include "sys.h"

namespace cli {

std::string g_transport_reason;
bool g_verbose = false;

void App::close() {
    kova_set_io(nullptr);
    for (auto *&t : transport) {
        close_transport(t);
        t = nullptr;
    }
}

App::~App() { close(); }

namespace {

// What Ctrl-C acts on; the lock orders it with the main thread's requests.
std::mutex g_lock;
std::vector<net::Transport *> g_open;
bool g_busy = false, g_interrupted = false;

void progress(void *, int64_t received, int64_t expected) { ui::progress(received, expected); }

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
    o.has_proxy = app.conf.has_proxy;
    o.proxy = app.conf.proxy;
    o.log = log_request;
    o.progress = progress;
    std::string err;
    net::Transport *t = net::open(o, err);
    if (!t) {
        out::print(stderr, "kova: %s\n", err.c_str());
        return nullptr;
    }
    std::lock_guard<std::mutex> lk(g_lock);
    g_open.push_back(t);
    return t;
}

void close_transport(net::Transport *t) {
    if (!t) return;
    {
        std::lock_guard<std::mutex> lk(g_lock);
        g_open.erase(std::remove(g_open.begin(), g_open.end(), t), g_open.end());
    }
    net::close(t);
}

void on_interrupt() {
    std::lock_guard<std::mutex> lk(g_lock);
    // Between requests, or a second Ctrl-C while the first one is being
    // honoured: nothing to wait for.
    if (!g_busy || g_interrupted) {
        out::print(stderr, "\nkova: cancelled\n");
        sys::quit_now(EXIT_CANCELLED);
    }
    g_interrupted = true;
    for (auto *t : g_open) net::cancel(t);
}

void enter_request() {
    std::lock_guard<std::mutex> lk(g_lock);
    g_busy = true;
}

void leave_request() {
    std::lock_guard<std::mutex> lk(g_lock);
    g_busy = false;
    if (g_interrupted) throw Interrupted{};
}

bool use_service(App &app, int kind) {
    if (app.demo) {
        kova_use_fake();
        return true;
    }
    const cfg::Service &s = app.conf.svc[kind];
    if (!app.ready[kind]) {
        if (!s.present) {
            note_failure(KOVA_ERR_NOT_CONFIGURED);
            out::print(stderr, "kova: %s is not configured: add a \"%s\" object to %s (see 'kova config --help')\n",
                      k_service[kind], k_service[kind], app.conf.path.c_str());
            return false;
        }
        app.transport[kind] = open_transport(app, kind);
        if (!app.transport[kind]) {
            note_failure(KOVA_ERR_NO_IO);
            return false;
        }
        static int32_t (*const configure[3])(const char *, int32_t, int32_t, const char *) = {
            kova_jackett_configure, kova_sonarr_configure, kova_radarr_configure};
        int32_t rc = configure[kind](s.host.c_str(), s.port, s.https ? 1 : 0, s.api_key.c_str());
        // The library puts the URL base into every URL, so the request log,
        // kova_base_url and the errors name the URL actually requested.
        if (rc == KOVA_OK && !s.url_base.empty()) rc = kova_set_url_base(kind, s.url_base.c_str());
        if (rc != KOVA_OK) {
            note_failure(rc);
            out::print(stderr, "kova: %s (in %s)\n", kova_last_error(), app.conf.path.c_str());
            return false;
        }
        app.ready[kind] = true;
    }
    // Through a tap: the CLI reads a little of the answers itself (answers.cpp).
    kova_set_io(tap(app.taps[kind], net::io(app.transport[kind])));
    return true;
}

}  // namespace cli
