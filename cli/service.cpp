// A configured service as the commands use it: the configuration it comes
// from, its transport (TLS, proxy, the request log) and the library
// configured for it.
#include <string>
#include <vector>

#include <strings.h>

#include "cli.h"

namespace cli {

void App::close() {
    kova_set_io(nullptr);
    for (auto &c : conn) {
        close_transport(*this, c.transport);
        c.transport = nullptr;
    }
    closed_ = true;
}

App::~App() {
    if (!closed_) close();
}

namespace {

void progress(void *user, int64_t received, int64_t expected) {
    static_cast<App *>(user)->progress.report(received, expected);
}

// The transport's line about each request, on stderr with -v. The hints do
// not read it: what they need, the library reports (last_failure).
void log_request(void *user, const char *line) {
    if (static_cast<App *>(user)->o.verbose) out::print(stderr, "kova: %s\n", line);
}

}  // namespace

namespace {

// --instance NAME: that instance stands in for its service's default one,
// and is the only one `test` tests. An unknown name is a usage error that
// lists the known ones.
bool choose_instance(App &app) {
    cfg::Config &c = app.conf;
    std::string known;
    for (const auto &i : c.order) {
        const cfg::Service &s = c.of(i);
        if (strcasecmp(s.name.c_str(), app.o.instance.c_str()) == 0) {
            app.instance_kind = i.kind;
            if (i.named >= 0) c.svc[i.kind] = s;
            c.order = {{i.kind, -1}};
            return true;
        }
        known += (known.empty() ? "" : ", ") + s.name;
    }
    note_failure(app, KOVA_ERR_INVALID_ARG);
    out::print(stderr, "kova: --instance %s: no such instance in the configuration (%s)\n", app.o.instance,
               known.empty() ? std::string("it has none") : "known: " + known);
    return false;
}

// A service's transport options, as its settings give them.
net::Options transport_options(App &app, const cfg::Service &s) {
    net::Options o;
    o.insecure = s.insecure;
    o.ca_file = s.ca_file;
    o.has_proxy = app.conf.has_proxy;
    o.proxy = app.conf.proxy;
    for (const auto &h : s.headers) o.headers.push_back(h.first + ": " + h.second);
    o.username = s.username;
    o.password = s.password;
    o.allow_basic_over_http = s.allow_basic_over_http;
    o.key_in_header = s.key_in_header;
    o.log = log_request;
    o.log_user = &app;
    o.progress = progress;
    o.progress_user = &app;
    return o;
}

// Whether the transport takes these options; its reason in `err` when not.
// The proxy is the whole configuration's, not the service's: it is not what
// is tried here.
bool transport_takes(net::Options o, std::string &err) {
    o.has_proxy = false;
    o.proxy.clear();
    net::Transport *t = net::open(o, err);
    net::close(t);
    return t != nullptr;
}

// The transport's rules for Headers, Username and Password (a name that is
// no header name, a line break in a value, a header it writes itself, a
// password without a username...) are its own: each instance that has
// any is tried once, when the configuration is read, so that a mistake is
// named with its setting before a command runs. A header at a time, then
// the credentials alone, then all together (an Authorization header beside
// a Username, too many headers), so that the message names the setting.
bool transport_settings_taken(App &app) {
    const cfg::Config &c = app.conf;
    for (const auto &i : c.order) {
        const cfg::Service &s = c.of(i);
        if (s.headers.empty() && !s.has_credentials()) continue;
        const net::Options all = transport_options(app, s);
        std::string err, where;
        for (const auto &h : s.headers) {
            net::Options one = all;
            one.headers = {h.first + ": " + h.second};
            one.username.clear();
            one.password.clear();
            if (!transport_takes(one, err)) {
                where = s.name + ".Headers \"" + h.first + "\"";
                break;
            }
        }
        net::Options credentials = all;
        credentials.headers.clear();
        if (where.empty() && s.has_credentials() && !transport_takes(credentials, err))
            where = s.name + ".Username, " + s.name + ".Password";
        if (where.empty() && !transport_takes(all, err))
            where = s.name + ".Headers" + (s.has_credentials() ? " with Username and Password" : "");
        if (where.empty()) continue;
        out::print(stderr, "kova: %s: %s: %s\n", c.path, where, err);
        return false;
    }
    return true;
}

}  // namespace

bool load_configuration(App &app) {
    std::string err;
    if (!cfg::load(app.o.config_path, app.conf, err)) {
        out::print(stderr, "kova: %s\n", err.c_str());
        return false;
    }
    if (!transport_settings_taken(app)) return false;
    app.config_read = true;
    for (const auto &w : app.conf.warnings) out::print(stderr, "kova: warning: %s\n", w);
    if (!app.o.instance.empty() && !choose_instance(app)) return false;
    int32_t timeout = app.o.timeout_ms ? app.o.timeout_ms : app.conf.timeout_ms;
    if (timeout > 0) kova_set_timeout_ms(timeout);
    return true;
}

net::Transport *open_transport(App &app, const cfg::Service &s) {
    const int kind = s.kind;
    // Once per service and run: a CAFile the platform's transport cannot use.
    bool &warned = app.conn[kind].ca_warned;
    const char *ignored = net::ca_file_ignored();
    if (!s.ca_file.empty() && ignored && !warned) {
        warned = true;
        out::print(stderr, "kova: warning: %s.CAFile is not used: %s\n", service(kind).name, ignored);
    }
    std::string err;
    net::Transport *t = net::open(transport_options(app, s), err);
    if (!t) {
        out::print(stderr, "kova: %s\n", err.c_str());
        return nullptr;
    }
    app.requests.opened(t);
    return t;
}

void close_transport(App &app, net::Transport *t) {
    if (!t) return;
    app.requests.closed(t);
    net::close(t);
}

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

int32_t run_test(App &app, int kind, const std::string &label) {
    int32_t rc = with_spinner(app, label.empty() ? std::string("testing ") + service(kind).name : label, service(kind).test);
    app.last_call_was_test = true;
    return rc;
}

bool configured(const cfg::Config &conf, int kind) {
    return conf.svc[kind].present && missing_setting(conf, kind).empty();
}

bool library_services(App &app, std::vector<int> &kinds) {
    kinds.clear();
    if (app.instance_kind >= 0) {
        if (service(app.instance_kind).library) {
            kinds.push_back(app.instance_kind);
            return true;
        }
        note_failure(app, KOVA_ERR_INVALID_ARG);
        out::print(stderr, "kova: --instance %s is an instance of %s, not of Sonarr or Radarr\n", app.o.instance,
                   service(app.instance_kind).name);
        return false;
    }
    for (const auto &svc : k_services)
        if (svc.library && configured(app.conf, svc.kind)) kinds.push_back(svc.kind);
    if (!kinds.empty()) return true;
    note_failure(app, KOVA_ERR_NOT_CONFIGURED);
    bool begun = false;
    for (const auto &svc : k_services)
        if (svc.library && app.conf.svc[svc.kind].present) {
            begun = true;
            out::print(stderr, "kova: %s\n", missing_setting(app.conf, svc.kind));
        }
    if (!begun)
        out::print(stderr, "kova: neither Sonarr nor Radarr is configured: give one its \"Url\" and \"APIKey\" in %s, "
                           "or set KOVA_SONARR_URL and KOVA_SONARR_API_KEY (or RADARR's)\n", app.conf.path);
    return false;
}

int32_t configure_service(const cfg::Service &s) {
    // The library puts the URL base into every URL, so the request log,
    // kova_base_url and the errors name the URL actually requested.
    if (!s.url.empty()) return kova_configure_url(s.kind, s.url.c_str(), s.api_key.c_str());
    int32_t rc = service(s.kind).configure(s.host.c_str(), s.port, s.https ? 1 : 0, s.api_key.c_str());
    if (rc == KOVA_OK && !s.url_base.empty()) rc = kova_set_url_base(s.kind, s.url_base.c_str());
    return rc;
}

bool use_service(App &app, int kind) {
    app.current = kind;
    if (app.instance_kind >= 0 && app.instance_kind != kind) {
        note_failure(app, KOVA_ERR_INVALID_ARG);
        out::print(stderr, "kova: --instance %s is an instance of %s, not of %s\n", app.o.instance,
                   service(app.instance_kind).name, service(kind).name);
        return false;
    }
    if (app.demo) {
        kova_use_fake();
        return true;
    }
    const cfg::Service &s = app.conf.svc[kind];
    Connection &c = app.conn[kind];
    if (!c.ready) {
        if (!s.present) {
            note_failure(app, KOVA_ERR_NOT_CONFIGURED);
            out::print(stderr,
                       "kova: %s is not configured: add a \"%s\" object to %s, or set %s and %s "
                       "(see 'kova config --help')\n",
                       service(kind).name, service(kind).section, app.conf.path, service(kind).env_url,
                       service(kind).env_key);
            return false;
        }
        std::string missing = missing_setting(app.conf, kind);
        if (!missing.empty()) {
            note_failure(app, KOVA_ERR_NOT_CONFIGURED);
            out::print(stderr, "kova: %s\n", missing);
            return false;
        }
        c.transport = open_transport(app, s);
        if (!c.transport) {
            note_failure(app, KOVA_ERR_NO_IO);
            return false;
        }
        int32_t rc = configure_service(s);
        if (rc != KOVA_OK) {
            note_failure(app, rc);
            out::print(stderr, "kova: %s (%s)\n", kova_last_error(), setting_origin(app.conf, kind));
            return false;
        }
        c.ready = true;
    }
    kova_set_io(net::io(c.transport));
    return true;
}

}  // namespace cli
