// `kova config check` and `kova test`: is each configured service reachable,
// is its key right, and what does its connection test report.
#include <cstdlib>
#include <cstring>
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

    JsonOut report;
    int failures = 0, checked = 0;
    for (const auto &svc : k_services) {
        const int k = svc.kind;
        if (which != k_all_services && which != k) continue;
        const cfg::Service &s = app.conf.svc[k];
        std::string name = svc.name;
        name.resize(8, ' ');
        if (!s.present) {
            if (which == k) {
                out::print(stderr, "kova: %s is not configured (in %s or by %s)\n", svc.name, app.conf.path,
                           svc.env_url);
                return EXIT_USAGE;
            }
            if (!o.json) out::print(stdout, "%s %s\n", name.c_str(), ui::paint(ui::Tone::dim, "-      not configured"));
            continue;
        }
        ++checked;
        // The settings object the handler reads: texts only, as a host stores them.
        yyjson_mut_doc *d = yyjson_mut_doc_new(nullptr);
        yyjson_mut_val *obj = yyjson_mut_obj(d);
        yyjson_mut_doc_set_root(d, obj);
        yyjson_mut_obj_add_strcpy(d, obj, "Host", s.host.c_str());
        yyjson_mut_obj_add_strcpy(d, obj, "APIKey", s.api_key.c_str());
        yyjson_mut_obj_add_str(d, obj, "UseHttps", s.https ? "true" : "false");
        if (!s.port_text.empty()) yyjson_mut_obj_add_strcpy(d, obj, "Port", s.port_text.c_str());
        if (!s.id.empty()) yyjson_mut_obj_add_strcpy(d, obj, "ID", s.id.c_str());
        if (!s.url_base.empty()) yyjson_mut_obj_add_strcpy(d, obj, "UrlBase", s.url_base.c_str());
        char *settings = yyjson_mut_write(d, 0, nullptr);
        yyjson_mut_doc_free(d);

        // The transport of this service (CA, insecure, proxy) serves the check;
        // the URL base is in the settings, for the library to apply.
        app.transport_reason.clear();
        net::Transport *tr = open_transport(app, k);
        std::vector<char> answer(8192, '\0');
        const kova_handler *h = kova_rtchk_handler(svc.runtime);
        int32_t code = -8;
        // A Ctrl-C that cancels the check leaves through an exception.
        struct Release {
            App &app;
            net::Transport *tr;
            char *settings;
            ~Release() {
                close_transport(app, tr);
                free(settings);
            }
        } release{app, tr, settings};
        Tap t;  // for the HTTP status of the check's last exchange
        if (h && tr && settings) {
            code = with_spinner(app, "checking " + std::string(svc.name), [&] {
                return h->validate(tap(t, net::io(tr)), settings, answer.data(), static_cast<int32_t>(answer.size()));
            });
        }

        yyjson_doc *ans = yyjson_read(answer.data(), strlen(answer.data()), 0);
        yyjson_val *aroot = yyjson_doc_get_root(ans);
        const char *url = yyjson_get_str(yyjson_obj_get(aroot, "URL"));
        const char *port = yyjson_get_str(yyjson_obj_get(aroot, "Port"));
        const char *err = yyjson_get_str(yyjson_obj_get(aroot, "error"));
        if (code != 0) ++failures;
        // What the failure most likely means: a setting left empty, or what
        // the last request met.
        std::vector<std::string> hint;
        if (code != 0) {
            std::string missing = missing_setting(app.conf, k);
            if (!missing.empty()) hint.push_back(missing);
            else hint = hints(app, k, err ? err : "");
        }
        if (o.json) {
            yyjson_mut_val *e = yyjson_mut_obj_add_obj(report.doc, report.root, svc.lower);
            yyjson_mut_obj_add_int(report.doc, e, "code", code);
            yyjson_mut_obj_add_str(report.doc, e, "meaning", answer_meaning(code));
            yyjson_mut_obj_add_val(report.doc, e, "answer",
                                   aroot ? yyjson_val_mut_copy(report.doc, aroot) : yyjson_mut_null(report.doc));
            // As every --json failure has them; the table shows the same.
            yyjson_mut_obj_add_strcpy(report.doc, e, "error", code == 0 || !err ? "" : err);
            yyjson_mut_obj_add_int(report.doc, e, "http_code", tapped_http_code());
            if (code == KOVA_VALIDATE_UNREACHABLE && !app.transport_reason.empty())
                yyjson_mut_obj_add_strcpy(report.doc, e, "transport_error", app.transport_reason.c_str());
            if (!s.url_base.empty()) yyjson_mut_obj_add_strcpy(report.doc, e, "url_base", s.url_base.c_str());
            yyjson_mut_val *h = yyjson_mut_obj_add_arr(report.doc, e, "hints");
            for (const auto &x : hint) yyjson_mut_arr_add_strcpy(report.doc, h, x.c_str());
        } else if (code == KOVA_VALIDATE_OK) {
            // The library's URL, with the URL base it was given.
            out::print(stdout, "%s %s  %s", name.c_str(), ui::paint(ui::Tone::good, "ok    "), url ? url : "");
            if (port) out::print(stdout, "  (no valid Port given: default %s used)", port);
            out::print(stdout, "\n");
        } else {
            out::print(stdout, "%s %s  %d %s: %s\n", name.c_str(), ui::paint(ui::Tone::bad, "error "), code,
                       answer_meaning(code), err ? err : "(no answer)");
            if (code == KOVA_VALIDATE_UNREACHABLE && !app.transport_reason.empty())
                out::print(stdout, "         %s\n", ui::paint(ui::Tone::dim, "transport: " + app.transport_reason));
            for (const auto &x : hint) out::print(stdout, "         %s %s\n", ui::paint(ui::Tone::warn, "hint:"), x);
        }
        yyjson_doc_free(ans);
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

int cmd_test(App &app) {
    const Options &o = app.o;
    if (o.args.size() > 1) return usage_error("test: too many arguments", "test");
    int which = service_arg(o.args.empty() ? "" : o.args[0]);
    if (which == -1) return usage_error("test: unknown service " + o.args[0], "test");
    JsonOut report;
    int failures = 0, ran = 0;
    std::vector<std::string> errors;
    for (const auto &svc : k_services) {
        const int k = svc.kind;
        if (which != k_all_services && which != k) continue;
        if (which == k_all_services && !app.conf.svc[k].present) {
            if (!o.json) out::print(stdout, "%s  %s\n", ui::paint(ui::Tone::bold, svc.name), ui::paint(ui::Tone::dim, "not configured"));
            continue;
        }
        if (!use_service(app, k)) return EXIT_USAGE;
        ++ran;
        int32_t rc;
        if (o.json) {
            rc = with_spinner(app, std::string("testing ") + svc.name, svc.test);
            yyjson_mut_val *e = yyjson_mut_obj_add_obj(report.doc, report.root, svc.lower);
            yyjson_mut_obj_add_strcpy(report.doc, e, "url", kova_base_url(k));
            outcome_json(app, report.doc, e, rc);
            yyjson_mut_obj_add_val(report.doc, e, "log", log_json(report.doc));
            if (svc.library) {
                yyjson_mut_obj_add_strcpy(report.doc, e, "rootfolder", kova_rootfolder());
                yyjson_mut_val *arr = yyjson_mut_obj_add_arr(report.doc, e, "quality_profiles");
                for (int32_t i = 0; i < kova_quality_profile_count(); ++i) {
                    yyjson_mut_val *x = yyjson_mut_arr_add_obj(report.doc, arr);
                    yyjson_mut_obj_add_int(report.doc, x, "id", kova_quality_profile_id(i));
                    yyjson_mut_obj_add_strcpy(report.doc, x, "name", kova_quality_profile_name(i));
                }
            } else {
                yyjson_mut_val *arr = yyjson_mut_obj_add_arr(report.doc, e, "indexers");
                for (int32_t i = 0; i < kova_indexer_count(); ++i) {
                    yyjson_mut_val *x = yyjson_mut_arr_add_obj(report.doc, arr);
                    yyjson_mut_obj_add_strcpy(report.doc, x, "id", kova_indexer_id(i));
                    yyjson_mut_obj_add_strcpy(report.doc, x, "name", kova_indexer_name(i));
                }
            }
        } else {
            rc = show_test(app, k);
        }
        if (rc != KOVA_OK && rc != KOVA_PARTIAL) {
            ++failures;
            errors.push_back(kova_last_error()[0] ? kova_last_error() : kova_strerror(rc));
            if (rc == KOVA_ERR_TRANSPORT && !app.transport_reason.empty())
                errors.push_back("the transport said: " + app.transport_reason);
            for (int32_t i = 0; i < kova_warning_count(); ++i) errors.push_back(std::string("  ") + kova_warning(i));
            for (const auto &h : hints(app, k, kova_last_error())) errors.push_back("hint: " + h);
        }
        app.transport_reason.clear();
    }
    if (o.json) report.print(app);
    if (ran == 0) {
        out::print(stderr, "kova: no service is configured (in %s or by KOVA_<SERVICE>_URL)\n", app.conf.path);
        return EXIT_USAGE;
    }
    for (const auto &e : errors) out::print(stderr, "kova: %s\n", e.c_str());
    return failures ? EXIT_FAILED : EXIT_OK;
}

}  // namespace cli
