// A configured service as the commands use it: the configuration it comes
// from, its transport (TLS, proxy, the request log) and the library
// configured for it; and what may stop a request early: Ctrl-C and
// --deadline.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli.h"
#include "sys.h"

namespace cli {

std::string g_transport_reason;
bool g_verbose = false;
LastRequest g_last;
int g_service = -1;
const cfg::Config *g_config = nullptr;

void App::close() {
    kova_set_io(nullptr);
    for (auto *&t : transport) {
        close_transport(t);
        t = nullptr;
    }
}

App::~App() { close(); }

namespace {

// What Ctrl-C and the deadline act on; the lock orders them with the main
// thread's requests.
std::mutex g_lock;
std::vector<net::Transport *> g_open;
bool g_busy = false, g_interrupted = false;

// --deadline: a watchdog thread waits for it, then cancels the request in
// flight (g_cut) or, between requests, stops the next one from starting.
std::thread g_watchdog;
std::condition_variable g_wake;
bool g_stop_watching = false, g_deadline_passed = false, g_cut = false;
int32_t g_deadline_ms = 0;

void progress(void *, int64_t received, int64_t expected) { ui::progress(received, expected); }

// Reads the transport's line about each request ("GET <url> -> HTTP 302,
// 5 bytes, 3 ms, Location: <url>" or "GET <url> -> failed after N ms:
// <reason>") into g_last, for the hints.
void log_request(void *, const char *line) {
    if (g_verbose) out::print(stderr, "kova: %s\n", line);
    const char *arrow = strstr(line, " -> ");
    if (!arrow) return;
    const char *sp = strchr(line, ' ');
    g_last.url = sp && sp < arrow ? std::string(sp + 1, arrow) : std::string();
    const char *outcome = arrow + 4;
    if (strncmp(outcome, "HTTP ", 5) == 0) {
        g_last.status = atoi(outcome + 5);
        const char *loc = strstr(outcome, ", Location: ");
        g_last.location = loc ? loc + 12 : "";
        g_last.reason.clear();
        return;
    }
    g_last.status = 0;
    g_last.location.clear();
    const char *why = strstr(outcome, " ms: ");
    g_last.reason = why ? why + 5 : outcome;
    g_transport_reason = g_last.reason;
}

}  // namespace

bool load_configuration(App &app) {
    std::string err;
    if (!cfg::load(app.o.config_path, app.conf, err)) {
        out::print(stderr, "kova: %s\n", err.c_str());
        return false;
    }
    g_config = &app.conf;
    for (const auto &w : app.conf.warnings) out::print(stderr, "kova: warning: %s\n", w);
    int32_t timeout = app.o.timeout_ms ? app.o.timeout_ms : app.conf.timeout_ms;
    if (timeout > 0) kova_set_timeout_ms(timeout);
    return true;
}

net::Transport *open_transport(const App &app, int kind) {
    const cfg::Service &s = app.conf.svc[kind];
    // Once per service and run: a CAFile the platform's transport cannot use.
    static bool warned[k_service_count];
    const char *ignored = net::ca_file_ignored();
    if (!s.ca_file.empty() && ignored && !warned[kind]) {
        warned[kind] = true;
        out::print(stderr, "kova: warning: %s.CAFile is not used: %s\n", service(kind).name, ignored);
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
    {
        std::lock_guard<std::mutex> lk(g_lock);
        if (!g_deadline_passed) {
            g_busy = true;
            g_last = LastRequest{};
            return;
        }
    }
    throw DeadlinePassed{};
}

void leave_request(int32_t rc) {
    std::lock_guard<std::mutex> lk(g_lock);
    g_busy = false;
    if (g_interrupted) throw Interrupted{};
    // A request that was done when the deadline came keeps its answer; the
    // next one will not start.
    if (g_cut && rc < 0) throw DeadlinePassed{};
}

void start_deadline(int32_t ms) {
    g_deadline_ms = ms;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    g_watchdog = std::thread([until] {
        std::unique_lock<std::mutex> lk(g_lock);
        if (g_wake.wait_until(lk, until, [] { return g_stop_watching; })) return;
        g_deadline_passed = true;
        if (!g_busy) return;  // the next request will not start
        g_cut = true;
        for (auto *t : g_open) net::cancel(t);
    });
}

void stop_deadline() {
    if (!g_watchdog.joinable()) return;
    {
        std::lock_guard<std::mutex> lk(g_lock);
        g_stop_watching = true;
    }
    g_wake.notify_all();
    g_watchdog.join();
}

int32_t deadline_ms() { return g_deadline_ms; }

std::string missing_setting(const cfg::Config &conf, int kind) {
    const cfg::Service &s = conf.svc[kind];
    const ServiceInfo &svc = service(kind);
    const std::string name = svc.name;
    if (s.host.empty())
        return name + " has no address: give its \"Url\" in " + conf.path + " (or set " + svc.env_url + ")";
    if (s.api_key.empty())
        return name + " has no API key: put it in \"APIKey\" in " + conf.path + " (or set " + svc.env_key +
               "); " + svc.key_place;
    return "";
}

bool use_service(App &app, int kind) {
    g_service = kind;
    if (app.demo) {
        kova_use_fake();
        return true;
    }
    const cfg::Service &s = app.conf.svc[kind];
    if (!app.ready[kind]) {
        if (!s.present) {
            note_failure(KOVA_ERR_NOT_CONFIGURED);
            out::print(stderr,
                       "kova: %s is not configured: add a \"%s\" object to %s, or set %s and %s "
                       "(see 'kova config --help')\n",
                       service(kind).name, service(kind).section, app.conf.path, service(kind).env_url,
                       service(kind).env_key);
            return false;
        }
        std::string missing = missing_setting(app.conf, kind);
        if (!missing.empty()) {
            note_failure(KOVA_ERR_NOT_CONFIGURED);
            out::print(stderr, "kova: %s\n", missing);
            return false;
        }
        app.transport[kind] = open_transport(app, kind);
        if (!app.transport[kind]) {
            note_failure(KOVA_ERR_NO_IO);
            return false;
        }
        int32_t rc = service(kind).configure(s.host.c_str(), s.port, s.https ? 1 : 0, s.api_key.c_str());
        // The library puts the URL base into every URL, so the request log,
        // kova_base_url and the errors name the URL actually requested.
        if (rc == KOVA_OK && !s.url_base.empty()) rc = kova_set_url_base(kind, s.url_base.c_str());
        if (rc != KOVA_OK) {
            note_failure(rc);
            out::print(stderr, "kova: %s (%s)\n", kova_last_error(), setting_origin(app.conf, kind));
            return false;
        }
        app.ready[kind] = true;
    }
    // Through a tap: the CLI reads a little of the answers itself (answers.cpp).
    kova_set_io(tap(app.taps[kind], net::io(app.transport[kind])));
    return true;
}

}  // namespace cli
