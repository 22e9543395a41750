// `kova test`: the connection tests of every configured instance of every
// service, all at once. Each instance is tested on a thread of its own, in a
// library session of its own (kova_session_new), and the instances share
// their transport (one for each set of transport settings): the library
// serves sessions side by side, and the transports take requests from
// several threads. What each test reports is kept, and printed once all are done,
// in the configuration's order, so that the output is the same whichever
// answers first.
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cli.h"

namespace cli {
namespace {

// One instance's test, as its session reported it.
struct TestRun {
    const cfg::Service *svc = nullptr;
    std::string name;  // "Radarr", or the instance's own name
    bool named = false;
    const kova_io *io = nullptr;
    int32_t rc = KOVA_ERR_NO_IO;
    bool bad_settings = false;  // the library refused its settings: nothing was sent
    int32_t http = 0;
    std::string url, error, transport, rootfolder;
    std::vector<std::pair<std::string, std::string>> log;  // key, text
    std::vector<std::string> warnings;
    std::vector<std::pair<int32_t, std::string>> profiles;
    std::vector<std::pair<std::string, std::string>> indexers;  // id, name
};

// Runs on a worker thread: a session of its own, configured as the
// instance says, then the service's connection test.
void run_in_session(TestRun &r) {
    kova_session *session = kova_session_new();
    if (!session) {
        r.rc = KOVA_ERR_OOM;
        r.error = kova_strerror(KOVA_ERR_OOM);
        return;
    }
    kova_session_bind(session);
    kova_set_io(r.io);
    const int kind = r.svc->kind;
    int32_t rc = configure_service(*r.svc);
    r.bad_settings = rc != KOVA_OK;
    if (rc == KOVA_OK) rc = service(kind).test();
    r.rc = rc;
    r.http = kova_last_http_code();
    r.url = kova_base_url(kind);
    r.error = kova_last_error();
    r.transport = kova_last_transport_error();  // "" after a success
    for (int32_t i = 0; i < kova_test_log_count(); ++i) r.log.emplace_back(kova_test_log_key(i), kova_test_log_text(i));
    for (int32_t i = 0; i < kova_warning_count(); ++i) r.warnings.emplace_back(kova_warning(i));
    if (service(kind).library) {
        r.rootfolder = kova_rootfolder();
        for (int32_t i = 0; i < kova_quality_profile_count(); ++i)
            r.profiles.emplace_back(kova_quality_profile_id(i), kova_quality_profile_name(i));
    } else {
        for (int32_t i = 0; i < kova_indexer_count(); ++i) r.indexers.emplace_back(kova_indexer_id(i), kova_indexer_name(i));
    }
    kova_session_free(session);  // the thread is back on the default context
}

// A service or instance listed but not tested: it has no address or no key.
struct Skipped {
    std::string name;  // as TestRun's
    int kind = 0;
    bool named = false;
    const char *missing = "";  // "no address", "no API key"; "" for a service without a section
};

bool passed(const TestRun &r) { return r.rc == KOVA_OK || r.rc == KOVA_PARTIAL; }

std::vector<std::string> run_hints(const App &app, const TestRun &r) {
    Failure f;
    f.error = r.error;
    f.status = r.http;
    f.transport = r.transport;
    f.key_rejected = r.http == 401 || r.http == 403;
    f.warnings = r.warnings;
    f.connection_test = true;
    f.instance = r.svc;
    return hints(app, r.svc->kind, f);
}

// The test's report as `kova test` prints it: the library's log, the
// outcome, and under a failure what it means in plain words.
void print_run(const App &app, const TestRun &r) {
    out::print(stdout, "%s  %s\n", ui::paint(ui::Tone::bold, r.name), r.url);
    size_t w = 0;
    for (const auto &e : r.log) w = std::max(w, e.first.size());
    for (const auto &e : r.log) {
        if (!app.o.verbose) {
            out::print(stdout, "    %s\n", e.second);
            continue;
        }
        std::string key = e.first;
        key.resize(w, ' ');
        out::print(stdout, "    %s  %s\n", ui::paint(ui::Tone::dim, key), e.second);
    }
    if (passed(r)) {
        out::print(stdout, "    %s\n", ui::paint(ui::Tone::good, std::string(out::glyph("\xe2\x9c\x93", "+")) + " " + kova_strerror(r.rc)));
    } else {
        out::print(stdout, "    %s %s\n", ui::paint(ui::Tone::bad, std::string(out::glyph("\xe2\x9c\x97", "x")) + " " + kova_strerror(r.rc)),
                   r.error);
        // The log names the step that found nothing, not why.
        std::string plain = r.rc == KOVA_ERR_TRANSPORT ? "no answer came"
                            : r.rc == KOVA_ERR_AUTH    ? "the API key was refused"
                            : r.rc == KOVA_ERR_HTTP    ? "the answer was HTTP " + std::to_string(r.http)
                                                       : "";
        if (!plain.empty())
            out::print(stdout, "    %s\n", ui::paint(ui::Tone::dim, "nothing was read from " + r.name + ": " + plain));
    }
    for (const auto &x : r.warnings) out::print(stdout, "    %s %s\n", ui::paint(ui::Tone::warn, "warning:"), x);
}

// An entry of the --json report, under the instance's name, or the
// service's for its default instance.
yyjson_mut_val *add_entry(JsonOut &report, const std::string &name, int kind, bool named, const char *status) {
    yyjson_mut_doc *d = report.doc;
    std::string key = named ? name : service(kind).lower;
    yyjson_mut_val *e = yyjson_mut_obj_add_obj(d, report.root, yyjson_mut_strcpy(d, key.c_str())->uni.str);
    yyjson_mut_obj_add_strcpy(d, e, "instance", name.c_str());
    yyjson_mut_obj_add_str(d, e, "service", service(kind).lower);
    yyjson_mut_obj_add_str(d, e, "status", status);
    return e;
}

// What the table says of it, with null for everything a test would have
// measured, so that the report has every service the table has.
void add_skipped_json(JsonOut &report, const Skipped &k) {
    yyjson_mut_doc *d = report.doc;
    yyjson_mut_val *e = add_entry(report, k.name, k.kind, k.named, "not configured");
    yyjson_mut_obj_add_val(d, e, "missing", text_or_null(d, k.missing));
    const char *measured[] = {"url", "rc", "result", "error", "http_code", "warnings", "hints", "log"};
    for (const char *m : measured) yyjson_mut_obj_add_null(d, e, m);
    if (service(k.kind).library) {
        yyjson_mut_obj_add_null(d, e, "rootfolder");
        yyjson_mut_obj_add_null(d, e, "quality_profiles");
    } else {
        yyjson_mut_obj_add_null(d, e, "indexers");
    }
}

void add_run_json(const App &app, JsonOut &report, const TestRun &r) {
    yyjson_mut_doc *d = report.doc;
    yyjson_mut_val *e = add_entry(report, r.name, r.svc->kind, r.named, "tested");
    yyjson_mut_obj_add_strcpy(d, e, "url", r.url.c_str());
    yyjson_mut_obj_add_int(d, e, "rc", r.rc);
    yyjson_mut_obj_add_strcpy(d, e, "result", kova_strerror(r.rc));
    yyjson_mut_obj_add_val(d, e, "error", text_or_null(d, passed(r) ? nullptr : r.error.c_str()));
    yyjson_mut_obj_add_int(d, e, "http_code", r.http);
    if (!r.transport.empty()) yyjson_mut_obj_add_strcpy(d, e, "transport_error", r.transport.c_str());
    yyjson_mut_val *arr = yyjson_mut_obj_add_arr(d, e, "warnings");
    for (const auto &x : r.warnings) yyjson_mut_arr_add_strcpy(d, arr, x.c_str());
    arr = yyjson_mut_obj_add_arr(d, e, "hints");
    if (!passed(r))
        for (const auto &h : run_hints(app, r)) yyjson_mut_arr_add_strcpy(d, arr, h.c_str());
    arr = yyjson_mut_obj_add_arr(d, e, "log");
    for (const auto &x : r.log) {
        yyjson_mut_val *o = yyjson_mut_arr_add_obj(d, arr);
        yyjson_mut_obj_add_strcpy(d, o, "key", x.first.c_str());
        yyjson_mut_obj_add_strcpy(d, o, "text", x.second.c_str());
    }
    if (service(r.svc->kind).library) {
        yyjson_mut_obj_add_val(d, e, "rootfolder", text_or_null(d, r.rootfolder.c_str()));
        arr = yyjson_mut_obj_add_arr(d, e, "quality_profiles");
        for (const auto &p : r.profiles) {
            yyjson_mut_val *x = yyjson_mut_arr_add_obj(d, arr);
            yyjson_mut_obj_add_int(d, x, "id", p.first);
            yyjson_mut_obj_add_strcpy(d, x, "name", p.second.c_str());
        }
    } else {
        arr = yyjson_mut_obj_add_arr(d, e, "indexers");
        for (const auto &p : r.indexers) {
            yyjson_mut_val *x = yyjson_mut_arr_add_obj(d, arr);
            yyjson_mut_obj_add_strcpy(d, x, "id", p.first.c_str());
            yyjson_mut_obj_add_strcpy(d, x, "name", p.second.c_str());
        }
    }
}

// The transports of a run, one for each set of transport settings (TLS, a
// reverse proxy's headers and credentials, the key's place), closed at the
// end.
struct Transports {
    App &app;
    std::vector<std::pair<const cfg::Service *, net::Transport *>> open;
    explicit Transports(App &a) : app(a) {}
    ~Transports() {
        for (auto &t : open) close_transport(app, t.second);
    }
    Transports(const Transports &) = delete;
    Transports &operator=(const Transports &) = delete;
    net::Transport *for_instance(const cfg::Service &s) {
        for (auto &t : open)
            if (t.first->same_transport(s)) return t.second;
        net::Transport *t = open_transport(app, s);
        if (t) open.emplace_back(&s, t);
        return t;
    }
};

}  // namespace

int cmd_test(App &app) {
    const Options &o = app.o;
    if (o.args.size() > 1) return usage_error("test: too many arguments", "test");
    int which = service_arg(o.args.empty() ? "" : o.args[0]);
    if (which == -1) return usage_error("test: unknown service " + o.args[0], "test");
    const cfg::Config &conf = app.conf;

    // What is tested: every instance with an address and a key (of the
    // service named); the others are listed as not configured.
    std::vector<TestRun> runs;
    std::vector<Skipped> skipped;
    for (const auto &svc : k_services) {
        if (which != k_all_services && which != svc.kind) continue;
        bool any = false;
        for (const auto &i : conf.order) any = any || i.kind == svc.kind;
        if (!any && which == k_all_services && app.instance_kind < 0) skipped.push_back({svc.name, svc.kind, false, ""});
    }
    for (const auto &i : conf.order) {
        if (which != k_all_services && which != i.kind) continue;
        const cfg::Service &s = conf.of(i);
        const bool complete = s.present && !s.host.empty() && !s.api_key.empty();
        if (!complete && (which == k_all_services || i.named >= 0)) {
            skipped.push_back({s.name, i.kind, i.named >= 0, s.host.empty() ? "no address" : "no API key"});
            continue;
        }
        if (!complete) return use_service(app, i.kind) ? EXIT_FAILED : EXIT_USAGE;  // says what it misses
        TestRun &r = runs.emplace_back();
        r.svc = &s;
        r.name = s.name;
        r.named = i.named >= 0;
    }
    if (runs.empty()) {
        // A service named but not configured: use_service says what to set.
        if (which != k_all_services) return use_service(app, which) ? EXIT_FAILED : EXIT_USAGE;
        bool begun = false;
        for (const auto &i : conf.order)
            if (conf.of(i).present) {
                begun = true;
                out::print(stderr, "kova: %s\n", missing_setting(conf, i.kind));
            }
        if (!begun)
            out::print(stderr, "kova: no service is configured: give one its \"Url\" and \"APIKey\" in %s, or set "
                               "KOVA_<SERVICE>_URL and KOVA_<SERVICE>_API_KEY\n", conf.path);
        note_failure(app, KOVA_ERR_NOT_CONFIGURED);
        return EXIT_USAGE;
    }

    Transports transports(app);
    for (auto &r : runs) {
        net::Transport *t = transports.for_instance(*r.svc);
        if (!t) return EXIT_USAGE;
        r.io = net::io(t);
    }
    if (runs.size() > 1 && !o.json)
        out::print(stdout, "%s\n", ui::paint(ui::Tone::dim, "Testing " + std::to_string(runs.size()) +
                                                                 " services at once, each in a session of its own, over " +
                                                                 (transports.open.size() == 1 ? std::string("one transport")
                                                                                              : std::to_string(transports.open.size()) + " transports") +
                                                                 ":"));
    with_spinner(app, "testing " + (runs.size() == 1 ? runs.front().name : std::to_string(runs.size()) + " services"), [&] {
        std::vector<std::thread> threads;
        for (auto &r : runs) threads.emplace_back(run_in_session, std::ref(r));
        for (auto &t : threads) t.join();
        int32_t worst = KOVA_OK;
        for (const auto &r : runs) worst = passed(r) ? worst : r.rc;
        return worst;
    });
    app.last_call_was_test = true;

    // Everything is in: the reports in the configuration's order.
    JsonOut report;
    std::vector<std::string> errors;
    int failures = 0;
    for (const auto &k : skipped) {
        if (o.json) add_skipped_json(report, k);
        else out::print(stdout, "%s  %s\n", ui::paint(ui::Tone::bold, k.name),
                        ui::paint(ui::Tone::dim, std::string("not configured") + (*k.missing ? ": " : "") + k.missing));
    }
    // Settings the library refused are a configuration error (status 2).
    for (const auto &r : runs)
        if (r.bad_settings) {
            note_failure(app, r.rc);
            out::print(stderr, "kova: %s (%s)\n", r.error, r.named ? "in " + conf.path : setting_origin(conf, r.svc->kind));
            return EXIT_USAGE;
        }
    for (const auto &r : runs) {
        if (o.json) add_run_json(app, report, r);
        else print_run(app, r);
        if (passed(r)) continue;
        ++failures;
        const std::string who = r.named ? r.name + ": " : "";
        errors.push_back(who + (r.error.empty() ? kova_strerror(r.rc) : r.error));
        if (!r.transport.empty()) errors.push_back(who + "the transport said: " + r.transport);
        for (const auto &w : r.warnings) errors.push_back("  " + w);
        for (const auto &h : run_hints(app, r)) errors.push_back("hint: " + who + h);
    }
    if (o.json) report.print(app);
    for (const auto &e : errors) out::print(stderr, "kova: %s\n", e.c_str());
    if (failures) note_failure(app, runs.front().rc);
    return failures ? EXIT_FAILED : EXIT_OK;
}

}  // namespace cli
