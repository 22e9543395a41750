// `kova config check`: is each configured service reachable, is its key
// right (`kova test`, the connection tests, is in cmd_test.cpp).
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli.h"

namespace cli {
namespace {

const char *answer_meaning(int32_t code) {
    switch (code) {
    case KOVA_VALIDATE_OK: return "valid";
    case KOVA_VALIDATE_KEY_REJECTED: return "key rejected";
    case KOVA_VALIDATE_NOT_FOUND: return "not found";
    case KOVA_VALIDATE_TOO_MANY_REQUESTS: return "too many requests";
    case KOVA_VALIDATE_UNREACHABLE: return "unreachable";
    case KOVA_VALIDATE_UNEXPECTED: return "unexpected answer";
    case KOVA_VALIDATE_INVALID_SETTINGS: return "invalid settings";
    case KOVA_VALIDATE_NO_BUFFER: return "answer too long";
    default: return "error";
    }
}

struct FreeDoc {
    void operator()(yyjson_doc *d) const { yyjson_doc_free(d); }
};

// One service's check: what is checked, then what the check found.
struct Check {
    const ServiceInfo *svc = nullptr;
    bool present = false;  // configured; else there is nothing to check
    std::string settings;  // the settings object the handler reads; "" when it could not be made
    // What the check found: the handler's answer code and answer, and what a
    // failure most likely means. (The handler runs in a context of its own
    // and answers with these alone: the HTTP status and the transport's
    // reason of its exchange are not reported, which `kova test` has.)
    int32_t code = KOVA_VALIDATE_INVALID_SETTINGS;
    std::unique_ptr<yyjson_doc, FreeDoc> answer;
    std::vector<std::string> hints;
    std::string transport;  // what the transport said of a refusal, when the connection test asked again

    const char *answered(const char *key) const {
        return yyjson_get_str(yyjson_obj_get(yyjson_doc_get_root(answer.get()), key));
    }
};

// 1. What is checked: the services `which` names (k_all_services: all), each
// with the settings object the handler reads: texts only, as a host stores
// them (the Url, or the address in parts).
std::vector<Check> plan_checks(const App &app, int which) {
    std::vector<Check> checks;
    for (const auto &svc : k_services) {
        if (which != k_all_services && which != svc.kind) continue;
        const cfg::Service &s = app.conf.svc[svc.kind];
        Check &c = checks.emplace_back();
        c.svc = &svc;
        c.present = s.present;
        if (!s.present) continue;
        yyjson_mut_doc *d = yyjson_mut_doc_new(nullptr);
        yyjson_mut_val *obj = yyjson_mut_obj(d);
        yyjson_mut_doc_set_root(d, obj);
        // An address given as a URL goes to the handler as one, for the
        // library to read as it read it for the configuration.
        if (!s.url.empty()) {
            yyjson_mut_obj_add_strcpy(d, obj, "Url", s.url.c_str());
        } else {
            yyjson_mut_obj_add_strcpy(d, obj, "Host", s.host.c_str());
            yyjson_mut_obj_add_str(d, obj, "UseHttps", s.https ? "true" : "false");
            if (!s.port_text.empty()) yyjson_mut_obj_add_strcpy(d, obj, "Port", s.port_text.c_str());
            if (!s.url_base.empty()) yyjson_mut_obj_add_strcpy(d, obj, "UrlBase", s.url_base.c_str());
        }
        yyjson_mut_obj_add_strcpy(d, obj, "APIKey", s.api_key.c_str());
        if (!s.id.empty()) yyjson_mut_obj_add_strcpy(d, obj, "ID", s.id.c_str());
        if (char *text = yyjson_mut_write(d, 0, nullptr)) {
            c.settings = text;
            free(text);
        }
        yyjson_mut_doc_free(d);
    }
    return checks;
}

// 2. Runs one check through the service's settings handler.
void run_check(App &app, Check &c) {
    const int k = c.svc->kind;
    // The transport of this service (CA, insecure, proxy) serves the check;
    // the URL base is in the settings, for the library to apply.
    // A Ctrl-C that cancels the check leaves through an exception.
    struct Opened {
        App &app;
        net::Transport *tr;
        ~Opened() { close_transport(app, tr); }
    } opened{app, open_transport(app, app.conf.svc[k])};
    std::vector<char> answer(8192, '\0');
    const kova_handler *h = kova_rtchk_handler(c.svc->runtime);
    if (h && opened.tr && !c.settings.empty()) {
        c.code = with_spinner(app, "checking " + std::string(c.svc->name), [&] {
            return h->validate(net::io(opened.tr), c.settings.c_str(), answer.data(), static_cast<int32_t>(answer.size()));
        });
    }
    c.answer.reset(yyjson_read(answer.data(), strlen(answer.data()), 0));
    if (c.code == KOVA_VALIDATE_OK) return;
    // What the failure most likely means: a setting left empty, or what the
    // answer code and the message say.
    std::string missing = missing_setting(app.conf, k);
    if (!missing.empty()) {
        c.hints.push_back(missing);
        return;
    }
    Failure f;
    const char *err = c.answered("error");
    f.error = err ? err : "";
    f.key_rejected = c.code == KOVA_VALIDATE_KEY_REJECTED;
    f.connection_test = true;  // the handler runs the connection test
    // A refusal looks the same in the handler's answer whether the service
    // refused its key or a reverse proxy in front of it refused the request:
    // the connection test, asked once more, reports what tells them apart
    // (the status, the transport's words about a request for basic
    // credentials, the service's own explanation).
    if (f.key_rejected && use_service(app, k)) {
        run_test(app, k);
        Failure asked = last_failure();
        if (asked.key_rejected) {
            asked.connection_test = true;
            f = asked;
            c.transport = f.transport;
        }
    }
    c.hints = hints(app, k, f);
    // No answer, or one kova did not expect (a redirect...): what the
    // transport met is for the connection test to tell.
    if (c.hints.empty() && (c.code == KOVA_VALIDATE_UNREACHABLE || c.code == KOVA_VALIDATE_UNEXPECTED))
        c.hints.push_back(std::string("'kova test ") + c.svc->lower + "' makes the same requests and says what the " +
                          "transport met (why no answer came, an answer's status, a redirect), with a hint when one fits");
}

// 3. Reports one check: a line of the table, or a member of the --json
// report.
void report_check(const App &app, const Check &c, JsonOut &report) {
    std::string name = c.svc->name;
    name.resize(8, ' ');
    if (!c.present) {
        if (!app.o.json) out::print(stdout, "%s %s\n", name.c_str(), ui::paint(ui::Tone::dim, "-      not configured"));
        return;
    }
    const char *err = c.answered("error");
    if (app.o.json) {
        yyjson_mut_val *e = yyjson_mut_obj_add_obj(report.doc, report.root, c.svc->lower);
        yyjson_mut_obj_add_int(report.doc, e, "code", c.code);
        yyjson_mut_obj_add_str(report.doc, e, "meaning", answer_meaning(c.code));
        yyjson_val *answer = yyjson_doc_get_root(c.answer.get());
        yyjson_mut_obj_add_val(report.doc, e, "answer",
                               answer ? yyjson_val_mut_copy(report.doc, answer) : yyjson_mut_null(report.doc));
        // As every --json failure has them; the table shows the same.
        yyjson_mut_obj_add_val(report.doc, e, "error", text_or_null(report.doc, c.code == 0 ? nullptr : err));
        if (!c.transport.empty()) yyjson_mut_obj_add_strcpy(report.doc, e, "transport_error", c.transport.c_str());
        const std::string &url_base = app.conf.svc[c.svc->kind].url_base;
        if (!url_base.empty()) yyjson_mut_obj_add_strcpy(report.doc, e, "url_base", url_base.c_str());
        yyjson_mut_val *h = yyjson_mut_obj_add_arr(report.doc, e, "hints");
        for (const auto &x : c.hints) yyjson_mut_arr_add_strcpy(report.doc, h, x.c_str());
    } else if (c.code == KOVA_VALIDATE_OK) {
        // The library's URL, with the URL base it was given.
        const char *url = c.answered("URL"), *port = c.answered("Port");
        out::print(stdout, "%s %s  %s", name.c_str(), ui::paint(ui::Tone::good, "ok    "), url ? url : "");
        if (port) out::print(stdout, "  (no valid Port given: default %s used)", port);
        out::print(stdout, "\n");
    } else {
        out::print(stdout, "%s %s  %d %s: %s\n", name.c_str(), ui::paint(ui::Tone::bad, "error "), c.code,
                   answer_meaning(c.code), err ? err : "(no answer)");
        if (!c.transport.empty()) out::print(stdout, "         the transport said: %s\n", c.transport);
        for (const auto &x : c.hints) out::print(stdout, "         %s %s\n", ui::paint(ui::Tone::warn, "hint:"), x);
    }
}

}  // namespace

int config_check(App &app) {
    const Options &o = app.o;
    if (o.args.size() > 2) return usage_error("config check: too many arguments", "config");
    int which = service_arg(o.args.size() > 1 ? o.args[1] : "");
    if (which == -1) return usage_error("config check: unknown service " + o.args[1], "config");
    if (!app.conf.any_service()) {
        out::print(stderr,
                   "kova: no service is configured: %s %s, and no KOVA_<SERVICE>_URL is set; "
                   "'kova config init' writes a template (see 'kova config --help')\n",
                   app.conf.path, app.conf.found ? "names none" : "does not exist");
        return EXIT_USAGE;
    }
    if (app.conf.loose_mode && !o.json)
        out::print(stderr, "kova: warning: %s is readable by other users and holds API keys (chmod 600 it)\n",
                  app.conf.path.c_str());
    if (which != k_all_services && !app.conf.svc[which].present) {
        out::print(stderr, "kova: %s is not configured (in %s or by %s)\n", service(which).name, app.conf.path,
                   service(which).env_url);
        return EXIT_USAGE;
    }

    std::vector<Check> checks = plan_checks(app, which);
    JsonOut report;
    int failures = 0, checked = 0;
    // Each check is reported as soon as it has run: a terminal shows the
    // services one by one as they answer, each line after what its check
    // wrote on stderr (a CAFile warning, a transport that could not be made).
    for (Check &c : checks) {
        if (c.present) {
            run_check(app, c);
            ++checked;
            if (c.code != 0) ++failures;
        }
        report_check(app, c, report);
    }
    if (o.json) report.print(app);
    if (checked == 0) {
        out::print(stderr, "kova: no service is configured (in %s or by KOVA_<SERVICE>_URL)\n", app.conf.path);
        return EXIT_USAGE;
    }
    if (failures) {
        out::print(stderr, "kova: %d of %d services failed the check\n", failures, checked);
        return EXIT_FAILED;
    }
    return EXIT_OK;
}

}  // namespace cli
