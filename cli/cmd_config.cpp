// `kova config`: the configuration file's first run and what kova makes of
// it. init writes a template that explains itself, path says which file is
// read and why, show prints the settings with the API keys hidden; check
// (cmd_check.cpp) asks the services.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "cli.h"
#include "sys.h"

namespace cli {
namespace {

const char *source_name(cfg::Source s) {
    switch (s) {
    case cfg::Source::option: return "option";
    case cfg::Source::env: return "env";
    default: return "default";
    }
}

std::string source_words(cfg::Source s) {
    switch (s) {
    case cfg::Source::option: return "named by --config";
    case cfg::Source::env: return "named by the environment variable KOVA_CONFIG";
    default: return sys::default_config_reason();
    }
}

const char *from_name(cfg::From f) { return f == cfg::From::env ? "env" : f == cfg::From::file ? "file" : "none"; }

int no_more_words(const Options &o, const char *action) {
    if (o.args.size() > 1) return usage_error(std::string("config ") + action + ": too many arguments", "config");
    return -1;
}

// The line that says which of a pair of environment variables (a, b) is set
// over the file's settings of a service, naming what they replace.
void say_overrides(const ServiceInfo &svc, const char *a, const char *a_words, const char *b, const char *b_words,
                   const char *both_words) {
    const bool has_a = !sys::env(a).empty(), has_b = !sys::env(b).empty();
    if (!has_a && !has_b) return;
    out::print(stderr, "kova: %s%s%s set: over the file's %s for %s\n", has_a ? a : "", has_a && has_b ? " and " : "",
               has_b ? b : "", has_a && has_b ? both_words : has_a ? a_words : b_words, svc.name);
}

int config_path(App &app) {
    const Options &o = app.o;
    if (int rc = no_more_words(o, "path"); rc >= 0) return rc;
    cfg::Source source;
    std::string path = cfg::locate(o.config_path, source);
    bool loose = false;
    bool exists = sys::file_exists(path, loose);
    int err = errno;
    std::vector<std::string> env;
    for (const auto &svc : k_services)
        for (const char *name : {svc.env_url, svc.env_key, svc.env_user, svc.env_password})
            if (!sys::env(name).empty()) env.push_back(name);
    if (o.json) {
        JsonOut j;
        yyjson_mut_obj_add_strcpy(j.doc, j.root, "path", path.c_str());
        yyjson_mut_obj_add_str(j.doc, j.root, "source", source_name(source));
        yyjson_mut_obj_add_strcpy(j.doc, j.root, "reason", source_words(source).c_str());
        yyjson_mut_obj_add_bool(j.doc, j.root, "exists", exists);
        yyjson_mut_val *arr = yyjson_mut_obj_add_arr(j.doc, j.root, "environment");
        for (const auto &e : env) yyjson_mut_arr_add_strcpy(j.doc, arr, e.c_str());
        j.print(app);
        return EXIT_OK;
    }
    // The path alone on stdout, so that "$EDITOR $(kova config path)" works;
    // the why beside it, on stderr.
    out::print(stdout, "%s\n", path);
    out::print(stderr, "kova: %s\n", source_words(source));
    if (exists && loose)
        out::print(stderr, "kova: it exists, and other users can read it: it holds API keys (chmod 600 it)\n");
    else if (exists)
        out::print(stderr, "kova: it exists\n");
    else if (err == ENOENT)
        out::print(stderr, "kova: it does not exist yet: 'kova config init' writes a template there\n");
    else
        out::print(stderr, "kova: it cannot be read: %s\n", strerror(err));
    for (const auto &svc : k_services) {
        say_overrides(svc, svc.env_url, "address", svc.env_key, "key", "address and key");
        say_overrides(svc, svc.env_user, "Username", svc.env_password, "Password", "Username and Password");
    }
    return EXIT_OK;
}

int config_init(App &app) {
    const Options &o = app.o;
    if (int rc = no_more_words(o, "init"); rc >= 0) return rc;
    cfg::Source source;
    std::string path = cfg::locate(o.config_path, source);
    bool loose = false;
    if (sys::file_exists(path, loose)) {
        out::print(stderr, "kova: %s exists already: 'kova config init' never replaces a file; edit it, or remove it first\n",
                   path);
        return EXIT_FAILED;
    }
    if (errno != ENOENT && errno != ENOTDIR) {
        out::print(stderr, "kova: cannot look at %s: %s\n", path, strerror(errno));
        return EXIT_FAILED;
    }
    if (!sys::make_parent_dirs(path)) {
        out::print(stderr, "kova: cannot create the folder of %s: %s\n", path, strerror(errno));
        return EXIT_FAILED;
    }
    if (!sys::create_private_file(path, cfg::k_template)) {
        if (errno == EEXIST)
            out::print(stderr, "kova: %s exists already: 'kova config init' never replaces a file\n", path);
        else
            out::print(stderr, "kova: cannot write %s: %s\n", path, strerror(errno));
        return EXIT_FAILED;
    }
    if (o.json) {
        JsonOut j;
        yyjson_mut_obj_add_strcpy(j.doc, j.root, "path", path.c_str());
        yyjson_mut_obj_add_str(j.doc, j.root, "source", source_name(source));
        yyjson_mut_obj_add_bool(j.doc, j.root, "written", true);
        j.print(app);
        return EXIT_OK;
    }
    out::print(stdout, "Wrote a configuration template to %s, readable by you only.\n", path);
    if (source == cfg::Source::option)
        out::print(stdout, "Give --config %s to every command (or set KOVA_CONFIG) for kova to read it.\n", path);
    out::print(stdout,
               "Next: in it, give each service you use its Url and APIKey and delete the others;\n"
               "then run 'kova config check'. 'kova config --help' lists every member.\n");
    return EXIT_OK;
}

std::string key_words(const cfg::Service &s, const ServiceInfo &svc) {
    if (s.api_key.empty()) return "(not set)";
    std::string w = "*** (" + std::to_string(s.api_key.size()) + " characters";
    if (s.key_from == cfg::From::env) w += std::string(", from ") + svc.env_key;
    return w + ")";
}

// What a reverse proxy is given, as `show` prints it: header names with
// their values hidden (a header of a proxy's is most often a secret), the
// username, and only whether a password is set.
std::string headers_words(const cfg::Service &s) {
    std::string w;
    for (const auto &h : s.headers) w += (w.empty() ? "" : ", ") + h.first + ": <redacted>";
    return w;
}

std::string password_words(const cfg::Service &s, const ServiceInfo &svc) {
    return s.password_from == cfg::From::env ? std::string("set (from ") + svc.env_password + ")" : "set";
}

std::string username_words(const cfg::Service &s, const ServiceInfo &svc) {
    return s.username_from == cfg::From::env ? s.username + "  (from " + svc.env_user + ")" : s.username;
}

// One setting of a service under it, as `show` prints them.
void line(const char *label, const std::string &value) {
    out::print(stdout, "          %s %s\n", ui::paint(ui::Tone::dim, label), value);
}

// The lines of the settings for a reverse proxy (and the key's place) that
// differ from the defaults.
void proxy_lines(const cfg::Service &s, const ServiceInfo &svc) {
    if (!s.headers.empty()) line("Headers ", headers_words(s));
    if (!s.username.empty()) line("Username", username_words(s, svc));
    if (!s.password.empty()) line("Password", password_words(s, svc));
    if (s.allow_basic_over_http) line("AllowBasicOverHttp", "true: the password may cross the network in clear text");
    if (!s.key_in_header) line("KeyInHeader", "false: the API key travels in the URL's query");
}

// The same as members of a --json service object.
void proxy_json(yyjson_mut_doc *d, yyjson_mut_val *e, const cfg::Service &s) {
    yyjson_mut_val *h = yyjson_mut_obj_add_obj(d, e, "headers");
    for (const auto &x : s.headers) yyjson_mut_obj_add_str(d, h, yyjson_mut_strcpy(d, x.first.c_str())->uni.str, "<redacted>");
    yyjson_mut_obj_add_val(d, e, "username", text_or_null(d, s.username.c_str()));
    yyjson_mut_obj_add_str(d, e, "username_from", from_name(s.username_from));
    yyjson_mut_obj_add_val(d, e, "password", text_or_null(d, s.password.empty() ? "" : "***"));
    yyjson_mut_obj_add_str(d, e, "password_from", from_name(s.password_from));
    yyjson_mut_obj_add_bool(d, e, "allow_basic_over_http", s.allow_basic_over_http);
    yyjson_mut_obj_add_bool(d, e, "key_in_header", s.key_in_header);
}

int config_show(App &app) {
    const Options &o = app.o;
    if (int rc = no_more_words(o, "show"); rc >= 0) return rc;
    const cfg::Config &c = app.conf;
    if (o.json) {
        JsonOut j;
        yyjson_mut_doc *d = j.doc;
        yyjson_mut_obj_add_strcpy(d, j.root, "path", c.path.c_str());
        yyjson_mut_obj_add_str(d, j.root, "source", source_name(c.source));
        yyjson_mut_obj_add_bool(d, j.root, "found", c.found);
        yyjson_mut_val *svcs = yyjson_mut_obj_add_obj(d, j.root, "services");
        for (const auto &svc : k_services) {
            const int k = svc.kind;
            const cfg::Service &s = c.svc[k];
            yyjson_mut_val *e = yyjson_mut_obj_add_obj(d, svcs, svc.lower);
            yyjson_mut_obj_add_bool(d, e, "configured", s.present);
            if (!s.present) continue;
            yyjson_mut_obj_add_val(d, e, "url", text_or_null(d, s.host.empty() ? "" : cfg::address(s, k).c_str()));
            yyjson_mut_obj_add_val(d, e, "host", text_or_null(d, s.host.c_str()));
            yyjson_mut_obj_add_int(d, e, "port", s.port > 0 ? s.port : svc.default_port);
            yyjson_mut_obj_add_bool(d, e, "https", s.https);
            yyjson_mut_obj_add_val(d, e, "url_base", text_or_null(d, s.url_base.c_str()));
            yyjson_mut_obj_add_val(d, e, "api_key", text_or_null(d, s.api_key.empty() ? "" : "***"));
            yyjson_mut_obj_add_bool(d, e, "insecure", s.insecure);
            yyjson_mut_obj_add_val(d, e, "ca_file", text_or_null(d, s.ca_file.c_str()));
            yyjson_mut_obj_add_val(d, e, "id", text_or_null(d, s.id.c_str()));
            yyjson_mut_obj_add_str(d, e, "address_from", from_name(s.address_from));
            yyjson_mut_obj_add_str(d, e, "api_key_from", from_name(s.key_from));
            proxy_json(d, e, s);
        }
        // Every instance given, in the file's order, by name.
        yyjson_mut_val *inst = yyjson_mut_obj_add_arr(d, j.root, "instances");
        for (const auto &i : c.order) {
            const cfg::Service &s = c.of(i);
            yyjson_mut_val *e = yyjson_mut_arr_add_obj(d, inst);
            yyjson_mut_obj_add_strcpy(d, e, "name", s.name.c_str());
            yyjson_mut_obj_add_str(d, e, "service", service(i.kind).lower);
            yyjson_mut_obj_add_val(d, e, "url", text_or_null(d, s.host.empty() ? "" : cfg::address(s, i.kind).c_str()));
            yyjson_mut_obj_add_val(d, e, "api_key", text_or_null(d, s.api_key.empty() ? "" : "***"));
            proxy_json(d, e, s);
        }
        if (c.timeout_ms > 0) yyjson_mut_obj_add_int(d, j.root, "timeout_ms", c.timeout_ms);
        else yyjson_mut_obj_add_null(d, j.root, "timeout_ms");
        if (c.has_proxy) yyjson_mut_obj_add_strcpy(d, j.root, "proxy", cfg::redact_proxy(c.proxy).c_str());
        else yyjson_mut_obj_add_null(d, j.root, "proxy");
        yyjson_mut_val *w = yyjson_mut_obj_add_arr(d, j.root, "warnings");
        for (const auto &x : c.warnings) yyjson_mut_arr_add_strcpy(d, w, x.c_str());
        j.print(app);
        return EXIT_OK;
    }
    if (c.loose_mode)
        out::print(stderr, "kova: warning: %s is readable by other users and holds API keys (chmod 600 it)\n", c.path);
    out::print(stdout, "%s %s\n", ui::paint(ui::Tone::bold, "file     "), c.path);
    line("from    ", source_words(c.source) + (c.found ? "" : "; there is no file there"));
    for (const auto &svc : k_services) {
        const int k = svc.kind;
        const cfg::Service &s = c.svc[k];
        std::string name = svc.name;
        name.resize(9, ' ');
        if (!s.present) {
            out::print(stdout, "%s %s\n", ui::paint(ui::Tone::bold, name), ui::paint(ui::Tone::dim, "not configured"));
            continue;
        }
        std::string addr = s.host.empty() ? "(no address)" : cfg::address(s, k);
        if (s.address_from == cfg::From::env) addr += std::string("  (from ") + svc.env_url + ")";
        out::print(stdout, "%s %s\n", ui::paint(ui::Tone::bold, name), addr);
        line("APIKey  ", key_words(s, svc));
        if (s.insecure) line("Insecure", "true: the TLS certificate is not checked");
        if (!s.ca_file.empty()) line("CAFile  ", s.ca_file);
        if (!s.id.empty()) line("ID      ", s.id);
        proxy_lines(s, svc);
    }
    for (const auto &s : c.named) {
        std::string name = s.name;
        name.resize(std::max<size_t>(name.size(), 9), ' ');
        out::print(stdout, "%s %s  %s\n", ui::paint(ui::Tone::bold, name), s.host.empty() ? "(no address)" : cfg::address(s, s.kind),
                   ui::paint(ui::Tone::dim, std::string("(an instance of ") + service(s.kind).name + "; --instance " + s.name + ")"));
        line("APIKey  ", key_words(s, service(s.kind)));
        proxy_lines(s, service(s.kind));
    }
    out::print(stdout, "%s %s\n", ui::paint(ui::Tone::bold, "TimeoutMs"),
               c.timeout_ms > 0 ? std::to_string(c.timeout_ms) + " ms for each request"
                                : std::string("not set: 100000 ms for each request"));
    out::print(stdout, "%s %s\n", ui::paint(ui::Tone::bold, "Proxy    "),
               !c.has_proxy      ? std::string("not set: the platform's proxy rules")
               : c.proxy.empty() ? std::string("none")
                                 : cfg::redact_proxy(c.proxy));
    return EXIT_OK;
}

}  // namespace

int cmd_config(App &app) {
    const Options &o = app.o;
    static const struct {
        const char *name;
        int (*run)(App &);
        bool reads;  // the configuration is read first
    } actions[] = {
        {"check", config_check, true}, {"init", config_init, false},
        {"path", config_path, false},  {"show", config_show, true},
    };
    if (o.args.empty()) return usage_error("config: which action? (check, init, path, show)", "config");
    for (const auto &a : actions) {
        if (o.args[0] != a.name) continue;
        if (a.reads && !load_configuration(app)) return EXIT_USAGE;
        return a.run(app);
    }
    return usage_error("config: unknown action " + o.args[0] + " (check, init, path, show)", "config");
}

}  // namespace cli
