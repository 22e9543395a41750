// `kova queue`: Sonarr's and Radarr's download queues (kova_sonarr_queue,
// kova_radarr_queue), once, or with --watch again every few seconds until
// Ctrl-C or --count. A reading takes every service asked before anything is
// drawn, so that a watch on a terminal redraws a whole screen at once.
#include <ctime>
#include <string>
#include <vector>

#include "cli.h"

namespace cli {

std::vector<Download> read_queue() {
    std::vector<Download> queue;
    for (int32_t i = 0; i < kova_queue_count(); ++i) {
        Download d;
        d.id = kova_queue_id(i);
        d.library_id = kova_queue_library_id(i);
        d.season = kova_queue_season(i);
        d.episode = kova_queue_episode(i);
        d.progress = kova_queue_progress(i);
        d.title = kova_queue_title(i);
        d.status = kova_queue_status(i);
        d.message = kova_queue_message(i);
        d.client = kova_queue_client(i);
        d.protocol = kova_queue_protocol(i);
        d.has_size = kova_queue_size(i, &d.size) == KOVA_OK;
        d.has_left = kova_queue_left(i, &d.left) == KOVA_OK;
        d.eta = kova_queue_eta(i);
        queue.push_back(d);
    }
    return queue;
}

namespace {

ui::Tone status_tone(const std::string &status) {
    if (status == "failed") return ui::Tone::bad;
    if (status == "warning") return ui::Tone::warn;
    if (status == "downloading") return ui::Tone::accent;
    if (status == "completed" || status == "importing" || status == "imported") return ui::Tone::good;
    return ui::Tone::plain;
}

}  // namespace

void show_queue(int kind, const std::vector<Download> &queue, int64_t now, const char *indent) {
    const size_t n = queue.size();
    out::print(stdout, "%s%s\n", indent, ui::paint(ui::Tone::bold, std::string(service(kind).name) + ": " +
                                                      (n == 0 ? std::string("the queue is empty")
                                                              : std::to_string(n) + (n == 1 ? " download" : " downloads"))));
    if (n == 0) return;
    enum { k_id, k_title, k_se, k_progress, k_size, k_left, k_time, k_status, k_client };
    ui::Table t;
    t.head = {"ID", "Title", "S/E", "Progress", "Size", "Left", "Time left", "Status", "Client"};
    t.right = {true, false, false, false, true, true, true, false, false};
    t.elastic = k_title;
    // The title gets the space: the client goes first, then the whole size
    // (what is left stays), a long status shrinks and the library id goes;
    // only then is the title cut.
    t.give = {{k_client, 0}, {k_size, 0}, {k_status, 11}, {k_id, 0}};
    for (const Download &d : queue) {
        const ui::Tone tone = status_tone(d.status);
        t.rows.push_back({{d.library_id > 0 ? std::to_string(d.library_id) : "-", ui::Tone::dim},
                          {d.title, ui::Tone::plain},
                          {ui::season_episode(d.season, d.episode), ui::Tone::dim},
                          {ui::progress_bar(d.progress), tone},
                          {d.has_size ? ui::human_size(d.size) : "-", ui::Tone::plain},
                          {d.has_left ? ui::human_size(d.left) : "-", ui::Tone::plain},
                          {ui::time_left(d.eta, now), ui::Tone::plain},
                          {d.status.empty() ? "-" : d.status, tone},
                          {d.client, ui::Tone::dim}});
        // What went wrong, on a line of its own under the title.
        t.notes.push_back({d.message, tone == ui::Tone::plain ? ui::Tone::warn : tone});
    }
    t.print(stdout);
}

namespace {

// One service's reading.
struct Reading {
    int kind;
    std::vector<Download> queue;
    std::vector<std::string> warnings;
};

yyjson_mut_val *count_or_null(yyjson_mut_doc *d, int64_t n) { return n >= 0 ? yyjson_mut_sint(d, n) : yyjson_mut_null(d); }

void download_json(yyjson_mut_doc *d, yyjson_mut_val *entries, int kind, const Download &q, int64_t now) {
    yyjson_mut_val *e = yyjson_mut_arr_add_obj(d, entries);
    yyjson_mut_obj_add_str(d, e, "service", service(kind).lower);
    yyjson_mut_obj_add_val(d, e, "id", id_or_null(d, q.id));
    yyjson_mut_obj_add_val(d, e, "title", text_or_null(d, q.title.c_str()));
    yyjson_mut_obj_add_val(d, e, "library_id", id_or_null(d, q.library_id));
    yyjson_mut_obj_add_val(d, e, "season", count_or_null(d, q.season));
    yyjson_mut_obj_add_val(d, e, "episode", count_or_null(d, q.episode));
    yyjson_mut_obj_add_val(d, e, "status", text_or_null(d, q.status.c_str()));
    yyjson_mut_obj_add_val(d, e, "size", q.has_size ? yyjson_mut_uint(d, q.size) : yyjson_mut_null(d));
    yyjson_mut_obj_add_val(d, e, "left", q.has_left ? yyjson_mut_uint(d, q.left) : yyjson_mut_null(d));
    yyjson_mut_obj_add_val(d, e, "percent", q.progress >= 0 ? yyjson_mut_real(d, q.progress / 10.0) : yyjson_mut_null(d));
    yyjson_mut_obj_add_val(d, e, "eta", q.eta >= 0 ? yyjson_mut_strcpy(d, ui::iso_utc(q.eta).c_str()) : yyjson_mut_null(d));
    yyjson_mut_obj_add_val(d, e, "time_left", count_or_null(d, q.eta >= 0 ? std::max<int64_t>(q.eta - now, 0) : -1));
    yyjson_mut_obj_add_val(d, e, "message", text_or_null(d, q.message.c_str()));
    yyjson_mut_obj_add_val(d, e, "client", text_or_null(d, q.client.c_str()));
    yyjson_mut_obj_add_val(d, e, "protocol", text_or_null(d, q.protocol.c_str()));
}

// One reading of every queue asked, then its tables (or its document, one a
// line with --json). `round` counts a watch's readings from 1; 0 outside a
// watch. A failed service prints its error as it fails, and the others are
// read still; the status is then EXIT_FAILED.
int refresh(App &app, const std::vector<int> &kinds, int32_t id, int32_t round) {
    const Options &o = app.o;
    JsonOut report;
    yyjson_mut_val *services = yyjson_mut_obj_add_obj(report.doc, report.root, "services");
    yyjson_mut_val *entries = yyjson_mut_obj_add_arr(report.doc, report.root, "entries");
    std::vector<Reading> read;
    int status = EXIT_OK;
    for (int kind : kinds) {
        use_service(app, kind);  // checked before the first reading: installs its transport
        const int32_t rc = with_spinner(app, std::string("reading ") + service(kind).name + "'s queue", [&] {
            return kind == KOVA_SONARR ? kova_sonarr_queue(id) : kova_radarr_queue(id);
        });
        const int64_t now = static_cast<int64_t>(time(nullptr));
        if (o.json) {
            yyjson_mut_val *svc = yyjson_mut_obj_add_obj(report.doc, services, service(kind).lower);
            outcome_json(app, report.doc, svc, rc);
        }
        if (rc != KOVA_OK) {
            status = finish(app, rc);
            continue;
        }
        Reading &r = read.emplace_back(Reading{kind, read_queue(), {}});
        for (int32_t i = 0; i < kova_warning_count(); ++i) r.warnings.emplace_back(kova_warning(i));
        if (o.json)
            for (const Download &d : r.queue) download_json(report.doc, entries, kind, d, now);
    }
    if (o.json) {
        report.print(app);
        fflush(stdout);
        return status;
    }
    // A watch that failed leaves its last screen as it was, the error under it.
    if (round > 0 && status != EXIT_OK) return status;
    const int64_t now = static_cast<int64_t>(time(nullptr));
    if (round > 0) {
        if (ui::can_redraw()) out::puts(stdout, out::Shown::verbatim("\x1b[H\x1b[2J"));
        else if (round > 1) out::print(stdout, "\n");
        out::print(stdout, "%s\n", ui::paint(ui::Tone::dim, "Queue at " + ui::clock_time(now) + ", every " +
                                                             std::to_string(o.interval) + " s; Ctrl-C ends it"));
    }
    for (size_t i = 0; i < read.size(); ++i) {
        if (i > 0) out::print(stdout, "\n");
        show_queue(read[i].kind, read[i].queue, now);
        for (const auto &w : read[i].warnings)
            out::print(stdout, "  %s %s\n", ui::paint(ui::Tone::warn, "warning:"), w);
    }
    fflush(stdout);  // a watch's reader sees each reading as it comes
    return status;
}

}  // namespace

int cmd_queue(App &app) {
    const Options &o = app.o;
    if (o.args.size() > 2) return usage_error("queue: too many arguments", "queue");
    if ((o.has_interval || o.has_count) && !o.watch)
        return usage_error("queue: --interval and --count go with --watch", "queue");
    std::vector<int> kinds;
    int32_t id = 0;
    if (o.args.empty()) {
        if (!library_services(app, kinds)) return EXIT_USAGE;
    } else {
        const int kind = o.args[0] == "series" ? KOVA_SONARR : o.args[0] == "movie" ? KOVA_RADARR : -1;
        if (kind < 0) return usage_error("queue: series or movie, not " + o.args[0], "queue");
        if (o.args.size() == 2 && !parse_int(o.args[1], 1, 2147483646, id))
            return usage_error("queue: the library id is a number, 1 or more", "queue");
        kinds.push_back(kind);
    }
    for (int kind : kinds)
        if (!use_service(app, kind)) return EXIT_USAGE;
    if (!o.watch) return refresh(app, kinds, id, 0);

    // Ctrl-C is how a watch ends: the request in flight is cancelled, or the
    // pause cut short, and the last reading stays on the screen.
    app.requests.watching();
    try {
        for (int32_t round = 1;; ++round) {
            const int status = refresh(app, kinds, id, round);
            if (status != EXIT_OK || (o.has_count && round >= o.count)) return status;
            if (!app.requests.rest(o.interval * 1000)) return EXIT_OK;
        }
    } catch (const Interrupted &) {
        return EXIT_OK;
    }
}

}  // namespace cli
