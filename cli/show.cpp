// Output of the kova command-line host: the tables and lines that show a
// result, a test log or a lookup, the JSON reports of the commands that have
// no library document, and the exit-status rule. The demo prints through
// these too.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"

namespace cli {

namespace {

void set_failure(Outcome &failure, int32_t rc, const std::string &error) {
    if (failure.explicit_error) return;  // the first failure explains the run
    failure.rc = rc;
    failure.has_rc = true;
    failure.explicit_error = true;
    failure.error = error;
}

// The first "kova: ..." line on stderr that is neither a warning or hint, nor the
// continuation of an earlier message, nor a request logged by --verbose
// ("kova: GET <url> -> ..."). The spinner writes from a thread of its own:
// its lines never start with "kova: ", and are let go before anything shared
// is touched.
void record_stderr(void *app, std::string_view text) {
    static const std::string_view head = "kova: ";
    if (text.substr(0, head.size()) != head) return;
    text.remove_prefix(head.size());
    if (text.empty() || text[0] == ' ' || text.substr(0, 8) == "warning:" || text.substr(0, 5) == "hint:" || text.substr(0, 4) == "GET " ||
        text.substr(0, 5) == "POST ")
        return;
    Outcome &failure = static_cast<App *>(app)->outcome;
    if (!failure.error.empty()) return;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    failure.error = out::safe(text);
}

}  // namespace

// ---------------------------------------------------------------------------
// JSON
// ---------------------------------------------------------------------------
void JsonOut::print(App &app) const {
    char *s = yyjson_mut_write(doc, 0, nullptr);
    // yyjson escapes every control character: the document goes out as it is.
    out::print(stdout, "%s\n", out::Shown::verbatim(s ? s : "{}"));
    free(s);
    app.outcome.json_printed = true;
}

yyjson_mut_val *text_or_null(yyjson_mut_doc *d, const char *text) {
    return text && text[0] ? yyjson_mut_strcpy(d, text) : yyjson_mut_null(d);
}

yyjson_mut_val *id_or_null(yyjson_mut_doc *d, int64_t n) { return n > 0 ? yyjson_mut_sint(d, n) : yyjson_mut_null(d); }

yyjson_mut_val *log_json(yyjson_mut_doc *d) {
    yyjson_mut_val *arr = yyjson_mut_arr(d);
    for (int32_t i = 0; i < kova_test_log_count(); ++i) {
        yyjson_mut_val *e = yyjson_mut_arr_add_obj(d, arr);
        yyjson_mut_obj_add_strcpy(d, e, "key", kova_test_log_key(i));
        yyjson_mut_obj_add_strcpy(d, e, "text", kova_test_log_text(i));
    }
    return arr;
}

yyjson_mut_val *warnings_json(const App &app, yyjson_mut_doc *d) {
    yyjson_mut_val *arr = yyjson_mut_arr(d);
    for (int32_t i = 0; !app.outcome.own && i < kova_warning_count(); ++i) yyjson_mut_arr_add_strcpy(d, arr, kova_warning(i));
    for (const auto &w : app.outcome.warnings) yyjson_mut_arr_add_strcpy(d, arr, w.c_str());
    return arr;
}

namespace {

// What the transport said of a failure: why no answer came, or what it
// noted of a refusal it received (a 429's wait, a 401's request for basic
// credentials). The library clears it after a success.
const char *transport_reason(int32_t rc) { return rc == KOVA_OK || rc == KOVA_PARTIAL ? "" : kova_last_transport_error(); }

// error, http_code and the transport's reason, as the outcome of `rc`.
void error_json(yyjson_mut_doc *d, yyjson_mut_val *obj, int32_t rc) {
    yyjson_mut_obj_add_val(d, obj, "error", text_or_null(d, rc == KOVA_OK ? "" : kova_last_error()));
    yyjson_mut_obj_add_int(d, obj, "http_code", kova_last_http_code());
    if (transport_reason(rc)[0]) yyjson_mut_obj_add_strcpy(d, obj, "transport_error", transport_reason(rc));
}

}  // namespace

void outcome_json(const App &app, yyjson_mut_doc *d, yyjson_mut_val *obj, int32_t rc) {
    yyjson_mut_obj_add_int(d, obj, "rc", rc);
    yyjson_mut_obj_add_strcpy(d, obj, "result", kova_strerror(rc));
    error_json(d, obj, rc);
    yyjson_mut_obj_add_val(d, obj, "warnings", warnings_json(app, d));
    yyjson_mut_val *hints = yyjson_mut_obj_add_arr(d, obj, "hints");
    if (rc < 0)
        for (const auto &h : failure_hints(app)) yyjson_mut_arr_add_strcpy(d, hints, h.c_str());
}

// --json leaves the text to the document's reader; the library's JSON writer
// escapes every control character, and so does yyjson's.
void print_result_json(App &app, int limit, yyjson_mut_doc *extra) {
    app.outcome.json_printed = true;
    const std::string lib = kova_result_json();
    int32_t rc = kova_last_rc();
    JsonOut add;
    error_json(add.doc, add.root, rc);
    bool cut = limit > 0 && kova_result_count() > limit;
    if (!cut && app.outcome.warnings.empty() && !extra && lib.size() > 2 && lib.back() == '}') {
        // The common case, without reading the document again: the CLI's
        // members go in before its closing brace.
        char *more = yyjson_mut_write(add.doc, 0, nullptr);
        std::string text = lib.substr(0, lib.size() - 1) + "," + (more ? more + 1 : "}");
        free(more);
        out::print(stdout, "%s\n", out::Shown::verbatim(text));
        return;
    }
    yyjson_doc *in = yyjson_read(lib.data(), lib.size(), 0);
    yyjson_mut_doc *d = in ? yyjson_doc_mut_copy(in, nullptr) : nullptr;
    yyjson_doc_free(in);
    yyjson_mut_val *root = yyjson_mut_doc_get_root(d);
    if (!yyjson_mut_is_obj(root)) {  // only when memory ran out
        yyjson_mut_doc_free(d);
        JsonOut report;
        outcome_json(app, report.doc, report.root, rc == KOVA_OK ? KOVA_ERR_OOM : rc);
        report.print(app);
        return;
    }
    yyjson_mut_val *results = yyjson_mut_obj_get(root, "results");
    size_t n = yyjson_mut_arr_size(results);
    if (cut && n > static_cast<size_t>(limit)) {
        yyjson_mut_arr_remove_range(results, static_cast<size_t>(limit), n - static_cast<size_t>(limit));
        yyjson_mut_obj_add_uint(d, root, "total_results", n);
    }
    yyjson_mut_val *warnings = yyjson_mut_obj_get(root, "warnings");
    for (const auto &w : app.outcome.warnings) yyjson_mut_arr_add_strcpy(d, warnings, w.c_str());
    for (yyjson_mut_doc *from : {add.doc, extra}) {
        yyjson_mut_val *obj = from ? yyjson_mut_doc_get_root(from) : nullptr;
        size_t i, max;
        yyjson_mut_val *k, *v;
        yyjson_mut_obj_foreach(obj, i, max, k, v) {
            yyjson_mut_obj_add(root, yyjson_mut_val_mut_copy(d, k), yyjson_mut_val_mut_copy(d, v));
        }
    }
    char *text = yyjson_mut_write(d, 0, nullptr);
    out::print(stdout, "%s\n", out::Shown::verbatim(text ? text : "{}"));
    free(text);
    yyjson_mut_doc_free(d);
}

void watch_failures(App &app) { out::watch_stderr(record_stderr, &app); }

void note_failure(App &app, int32_t rc) {
    Outcome &failure = app.outcome;
    if (failure.has_rc) return;
    failure.rc = rc;
    failure.has_rc = true;
}

int fail(App &app, int status, int32_t rc, const std::string &msg) {
    app.outcome.own = !app.outcome.explicit_error;
    set_failure(app.outcome, rc, msg);
    out::print(stderr, "kova: %s\n", msg.c_str());
    return status;
}

void warn(App &app, const std::string &msg) {
    app.outcome.warnings.push_back(msg);
    out::print(stderr, "kova: warning: %s\n", msg.c_str());
}

void json_failure(App &app, int status) {
    const Outcome &failure = app.outcome;
    if (status == EXIT_OK || failure.json_printed) return;
    int32_t rc = failure.has_rc ? failure.rc : status == EXIT_CANCELLED ? KOVA_ERR_TRANSPORT : KOVA_ERR_INVALID_ARG;
    JsonOut report;
    yyjson_mut_obj_add_int(report.doc, report.root, "rc", rc);
    yyjson_mut_obj_add_strcpy(report.doc, report.root, "result", kova_strerror(rc));
    yyjson_mut_obj_add_strcpy(report.doc, report.root, "error",
                              failure.error.empty() ? kova_strerror(rc) : failure.error.c_str());
    yyjson_mut_obj_add_int(report.doc, report.root, "http_code", kova_last_http_code());
    if (transport_reason(rc)[0]) yyjson_mut_obj_add_strcpy(report.doc, report.root, "transport_error", transport_reason(rc));
    yyjson_mut_obj_add_val(report.doc, report.root, "warnings", warnings_json(app, report.doc));
    yyjson_mut_obj_add_int(report.doc, report.root, "exit_status", status);
    report.print(app);
}

// ---------------------------------------------------------------------------
// Tables and lines
// ---------------------------------------------------------------------------
int finish(App &app, int32_t rc) {
    if (rc == KOVA_OK || rc == KOVA_PARTIAL) return EXIT_OK;
    const char *e = kova_last_error();
    set_failure(app.outcome, rc, e && e[0] ? e : kova_strerror(rc));
    out::print(stderr, "kova: %s\n", e && e[0] ? e : kova_strerror(rc));
    if (transport_reason(rc)[0]) out::print(stderr, "kova: the transport said: %s\n", transport_reason(rc));
    // The library's warnings explain the failure: a refusal carries the
    // service's own words ("Sonarr: RootFolderPath: Folder ... does not exist").
    for (int32_t i = 0; i < kova_warning_count(); ++i) out::print(stderr, "kova:   %s\n", kova_warning(i));
    // What the failure most likely means for the setup, and what to change.
    for (const auto &h : failure_hints(app)) out::print(stderr, "kova: hint: %s\n", h);
    return EXIT_FAILED;
}

void print_log(const App &app, const std::string &indent) {
    // The keys name the library's steps for its developers: only with -v.
    if (!app.o.verbose) {
        for (int32_t i = 0; i < kova_test_log_count(); ++i)
            out::print(stdout, "%s%s\n", indent.c_str(), kova_test_log_text(i));
        return;
    }
    size_t w = 0;
    for (int32_t i = 0; i < kova_test_log_count(); ++i) w = std::max(w, strlen(kova_test_log_key(i)));
    for (int32_t i = 0; i < kova_test_log_count(); ++i) {
        std::string key = kova_test_log_key(i);
        key.resize(w, ' ');
        out::print(stdout, "%s%s  %s\n", indent.c_str(), ui::paint(ui::Tone::dim, key), kova_test_log_text(i));
    }
}

void print_warnings(const std::string &indent) {
    for (int32_t i = 0; i < kova_warning_count(); ++i)
        out::print(stdout, "%s%s %s\n", indent.c_str(), ui::paint(ui::Tone::warn, "warning:"), kova_warning(i));
}

int32_t show_test(App &app, int kind) {
    int32_t rc = run_test(app, kind);
    out::print(stdout, "%s  %s\n", ui::paint(ui::Tone::bold, service(kind).name), kova_base_url(kind));
    print_log(app, "    ");
    if (rc == KOVA_OK || rc == KOVA_PARTIAL)
        out::print(stdout, "    %s\n", ui::paint(ui::Tone::good, std::string(out::glyph("\xe2\x9c\x93", "+")) + " " + kova_strerror(rc)));
    else
        out::print(stdout, "    %s %s\n", ui::paint(ui::Tone::bad, std::string(out::glyph("\xe2\x9c\x97", "x")) + " " + kova_strerror(rc)),
                   kova_last_error());
    // The log above is the library's, step by step; when a step found no
    // answer at all, it says what it could not read, not why. In plain words:
    const std::string name = service(kind).name;
    const char *plain = nullptr;
    std::string status;
    if (rc == KOVA_ERR_TRANSPORT) plain = "no answer came";
    else if (rc == KOVA_ERR_AUTH) plain = "the API key was refused";
    else if (rc == KOVA_ERR_HTTP) plain = (status = "the answer was HTTP " + std::to_string(kova_last_http_code())).c_str();
    if (plain) out::print(stdout, "    %s\n", ui::paint(ui::Tone::dim, "nothing was read from " + name + ": " + plain));
    // Under the outcome: a failure's warnings explain it.
    print_warnings("    ");
    return rc;
}

void show_results(bool releases, int32_t rc, int limit) {
    int32_t n = kova_result_count();
    ui::Table t;
    t.head = {"#", "Title", releases ? "Indexer" : "Tracker", "Size", releases ? "Quality" : "", "S/P", "Age", "FL",
              releases ? "S/E" : "Categories"};
    t.right = {true, false, false, true, false, true, true, false, false};
    // The title gets the space: first the categories shrink and go, then
    // the tracker shrinks, the age goes and the tracker goes; only then is
    // the title cut (in its middle, where releases of one item differ least).
    enum { k_tracker = 2, k_age = 6, k_last = 8 };
    if (releases) t.give = {{k_tracker, 10}, {k_age, 0}, {k_tracker, 0}};
    else t.give = {{k_last, 10}, {k_last, 0}, {k_tracker, 10}, {k_age, 0}, {k_tracker, 0}};
    int32_t shown = limit > 0 && limit < n ? limit : n;
    for (int32_t i = 0; i < shown; ++i) {
        uint64_t size = 0;
        std::string sz = kova_result_size(i, &size) == 0 ? ui::human_size(size) : "-";
        int32_t s = kova_result_seeders(i), p = kova_result_peers(i);
        std::string sp = (s < 0 ? std::string("-") : std::to_string(s)) + "/" + (p < 0 ? std::string("-") : std::to_string(p));
        int32_t dvf = kova_result_download_volume_factor(i);
        ui::Cell fl{dvf == 0 ? "FL" : dvf > 0 && dvf < 1000 ? std::to_string(dvf / 10) + "%" : "", ui::Tone::good};
        std::string last;
        if (releases) {
            char se[32] = "";
            int32_t season = kova_result_season(i), ep = kova_result_episode(i);
            if (season >= 0 && (kova_result_full_season(i) || ep < 0)) snprintf(se, sizeof se, "S%02d", season);
            else if (season >= 0) snprintf(se, sizeof se, "S%02dE%02d", season, ep);
            last = se;
        } else {
            for (int32_t j = 0; j < kova_result_category_count(i); ++j)
                last += (j ? "," : "") + std::to_string(kova_result_category(i, j));
        }
        ui::Tone st = s > 0 ? ui::Tone::good : s == 0 ? ui::Tone::bad : ui::Tone::plain;
        t.rows.push_back({{std::to_string(i + 1), ui::Tone::dim},
                          {kova_result_title(i), ui::Tone::plain},
                          {kova_result_tracker(i), ui::Tone::accent},
                          {sz, ui::Tone::plain},
                          {releases ? kova_result_quality(i) : "", ui::Tone::plain},
                          {sp, st},
                          {ui::age(kova_result_publish_date(i)), ui::Tone::plain},
                          fl,
                          {last, ui::Tone::dim}});
        // A rejected release says why on a line of its own, under its title:
        // the service's first reason.
        if (releases && kova_result_approved(i) == 0)
            t.notes.push_back({std::string("rejected") + (kova_result_rejection_count(i) > 0 ? ": " : "") +
                                   kova_result_rejection(i, 0),
                               ui::Tone::warn});
        else
            t.notes.push_back({});
    }
    if (n > 0) t.print(stdout);
    if (shown < n) out::print(stdout, "  %s\n", ui::paint(ui::Tone::dim, "... " + std::to_string(n - shown) + " more (--limit 0 shows all)"));

    if (!releases && kova_indexer_count() > 0) {
        // One line, or within the width, as many as it takes: a new line
        // before an entry that would cross it, a long one cut.
        const size_t cols = static_cast<size_t>(ui::columns()), head = 12;  // "  indexers: "
        out::Shown line;
        size_t at = head;
        for (int32_t i = 0; i < kova_indexer_count(); ++i) {
            const std::string name = kova_indexer_name(i)[0] ? kova_indexer_name(i) : kova_indexer_id(i);
            const bool failed = kova_indexer_status(i) == KOVA_INDEXER_FAILED;
            std::string text = failed ? name + " failed" : name + " (" + std::to_string(kova_indexer_results(i)) + ")";
            std::string error = failed && kova_indexer_error(i)[0] ? std::string(": ") + kova_indexer_error(i) : "";
            const bool last = i + 1 == kova_indexer_count();
            size_t width = ui::width(out::safe(text + error)) + (last ? 0 : 1);
            if (cols > 0 && i > 0 && at + 1 + width > cols) {
                line += out::Shown::verbatim("\n" + std::string(head, ' '));
                at = head;
            } else if (i > 0) {
                line += " ";
                ++at;
            }
            if (cols > 0 && at + width > cols) {  // alone on its line and still too long
                std::string all = ui::fit(out::safe(text + error), cols - at - (last ? 0 : 1));
                text = all.substr(0, std::min(all.size(), text.size()));
                error = all.substr(text.size());
                width = ui::width(all) + (last ? 0 : 1);
            }
            line += failed ? ui::paint(ui::Tone::bad, text) : out::Shown(text);
            line += out::Shown(error + (last ? "" : ","));
            at += width;
        }
        out::print(stdout, "  indexers: %s\n", line);
    }
    // A failure's warnings go to stderr under its error (finish).
    if (rc == KOVA_OK || rc == KOVA_PARTIAL) print_warnings("  ");
    if (rc == KOVA_PARTIAL) out::print(stdout, "  %s %s\n", ui::paint(ui::Tone::warn, "partial:"), kova_last_error());
}

void show_lookup(int kind) {
    ui::Table t;
    t.head = {"", "#", "Title", "Year", "IMDb", kind == KOVA_SONARR ? "TVDB" : "TMDb", "In library"};
    t.right = {false, true, false, true, false, true, false};
    int32_t m = kova_lookup_match();
    for (int32_t i = 0; i < kova_lookup_count(); ++i) {
        int32_t ext = kind == KOVA_SONARR ? kova_lookup_tvdb(i) : kova_lookup_tmdb(i);
        int32_t lib = kova_lookup_library_id(i);
        t.rows.push_back({{i == m ? "*" : "", ui::Tone::good},
                          {std::to_string(i + 1), ui::Tone::dim},
                          {kova_lookup_title(i), i == m ? ui::Tone::bold : ui::Tone::plain},
                          {kova_lookup_year(i) > 0 ? std::to_string(kova_lookup_year(i)) : "-", ui::Tone::plain},
                          {kova_lookup_imdb(i), ui::Tone::plain},
                          {ext > 0 ? std::to_string(ext) : "-", ui::Tone::plain},
                          {lib > 0 ? "id " + std::to_string(lib) : "no", lib > 0 ? ui::Tone::good : ui::Tone::dim}});
    }
    t.elastic = 2;
    if (!t.rows.empty()) t.print(stdout);
}

namespace {

const char *stage_name(int32_t stage) {
    switch (stage) {
    case KOVA_STAGE_IMDB: return "IMDb id";
    case KOVA_STAGE_TITLE: return "title, rows of other IMDb ids dropped";
    case KOVA_STAGE_QUERY: return "free query";
    default: return "none";
    }
}

}  // namespace

void search_header(int kind, int32_t rc, const char *indent) {
    int32_t n = kova_result_count();
    std::string head = std::string(service(kind).name) + ": " + std::to_string(n) + (n == 1 ? " result" : " results");
    if (kova_jackett_stage() != KOVA_STAGE_NONE)
        head += " (stage " + std::to_string(kova_jackett_stage()) + ": " + stage_name(kova_jackett_stage()) + ")";
    out::print(stdout, "%s%s\n", indent, ui::paint(rc == KOVA_OK ? ui::Tone::bold : ui::Tone::warn, head));
}

}  // namespace cli
