// `kova calendar`: what Sonarr and Radarr expect in the days to come
// (kova_sonarr_calendar, kova_radarr_calendar), from the start of today or of
// --from, for --days days, both calendars in one table in date order. An
// episode airs at a moment, shown in the local zone; a film comes out on a
// day, which the services write as its midnight in UTC, so it is shown as
// that day and sorts at the start of it.
#include <algorithm>
#include <cctype>
#include <climits>
#include <ctime>
#include <string>
#include <vector>

#include "cli.h"

namespace cli {
namespace {

struct Entry {
    int kind = 0;
    int64_t date = -1;
    int64_t key = 0;  // where it sorts
    std::string title, series, what, imdb;
    int32_t season = -1, episode = -1, has_file = -1, monitored = -1, library_id = 0;
};

bool episode(const Entry &e) { return e.what == "episode"; }

// The local midnight that starts a day given as civil time; -1 when there is
// no such day (mktime moves 02-30 to March: refused).
int64_t local_midnight(int year, int month, int mday) {
    std::tm c{};
    c.tm_year = year - 1900;
    c.tm_mon = month - 1;
    c.tm_mday = mday;
    c.tm_isdst = -1;
    const time_t t = mktime(&c);
    if (t == static_cast<time_t>(-1) || c.tm_year != year - 1900 || c.tm_mon != month - 1 || c.tm_mday != mday) return -1;
    return static_cast<int64_t>(t);
}

// The local midnight starting the day of moment `t` in `zone`.
int64_t day_start(int64_t t, ui::Zone zone) {
    std::tm c;
    if (t < 0 || !ui::civil(t, zone, c)) return -1;
    return local_midnight(c.tm_year + 1900, c.tm_mon + 1, c.tm_mday);
}

// --from YYYY-MM-DD: the local midnight starting that day; -1 for anything else.
int64_t from_day(const std::string &text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return -1;
    for (size_t i = 0; i < text.size(); ++i)
        if (i != 4 && i != 7 && !isdigit(static_cast<unsigned char>(text[i]))) return -1;
    return local_midnight(std::stoi(text.substr(0, 4)), std::stoi(text.substr(5, 2)), std::stoi(text.substr(8, 2)));
}

void read_calendar(int kind, std::vector<Entry> &into) {
    for (int32_t i = 0; i < kova_calendar_count(); ++i) {
        Entry e;
        e.kind = kind;
        e.date = kova_calendar_date(i);
        e.what = kova_calendar_kind(i);
        e.title = kova_calendar_title(i);
        e.series = kova_calendar_series(i);
        e.imdb = kova_calendar_imdb(i);
        e.season = kova_calendar_season(i);
        e.episode = kova_calendar_episode(i);
        e.has_file = kova_calendar_has_file(i);
        e.monitored = kova_calendar_monitored(i);
        e.library_id = kova_calendar_library_id(i);
        // Entries without a date last, as the library keeps them.
        const int64_t at = episode(e) ? e.date : day_start(e.date, ui::Zone::utc);
        e.key = at < 0 ? INT64_MAX : at;
        into.push_back(e);
    }
}

ui::Cell yes_no(int32_t flag) {
    return flag < 0 ? ui::Cell{"-", ui::Tone::dim} : flag ? ui::Cell{"yes", ui::Tone::good} : ui::Cell{"no", ui::Tone::dim};
}

void show_calendar(const std::vector<Entry> &entries) {
    enum { k_date, k_title, k_se, k_episode, k_release, k_file, k_monitored };
    ui::Table t;
    t.head = {"Date", "Title", "S/E", "Episode", "Release", "File", "Monitored"};
    t.right = {false, false, false, false, false, false, false};
    t.elastic = k_title;
    // The series' or film's title gets the space: the episode's title
    // shrinks first, then whether it is monitored goes, whether it has its
    // file, and the episode's title.
    t.give = {{k_episode, 12}, {k_monitored, 0}, {k_file, 0}, {k_episode, 0}};
    for (const Entry &e : entries) {
        const bool ep = episode(e);
        t.rows.push_back({{ep ? ui::day(e.date, ui::Zone::local, true) : ui::day(e.date, ui::Zone::utc, false), ui::Tone::plain},
                          {ep ? e.series : e.title, ui::Tone::bold},
                          {ui::season_episode(e.season, e.episode), ui::Tone::dim},
                          {ep ? e.title : "", ui::Tone::plain},
                          {ep ? "" : e.what.empty() ? "-" : e.what, ui::Tone::accent},
                          yes_no(e.has_file),
                          yes_no(e.monitored)});
    }
    t.print(stdout);
}

yyjson_mut_val *count_or_null(yyjson_mut_doc *d, int32_t n) { return n >= 0 ? yyjson_mut_int(d, n) : yyjson_mut_null(d); }
yyjson_mut_val *flag_or_null(yyjson_mut_doc *d, int32_t f) { return f >= 0 ? yyjson_mut_bool(d, f != 0) : yyjson_mut_null(d); }

void entry_json(yyjson_mut_doc *d, yyjson_mut_val *entries, const Entry &x) {
    yyjson_mut_val *e = yyjson_mut_arr_add_obj(d, entries);
    yyjson_mut_obj_add_str(d, e, "service", service(x.kind).lower);
    yyjson_mut_obj_add_val(d, e, "date", x.date >= 0 ? yyjson_mut_strcpy(d, ui::iso_utc(x.date).c_str()) : yyjson_mut_null(d));
    yyjson_mut_obj_add_val(d, e, "kind", text_or_null(d, x.what.c_str()));
    yyjson_mut_obj_add_val(d, e, "title", text_or_null(d, x.title.c_str()));
    yyjson_mut_obj_add_val(d, e, "series", text_or_null(d, x.series.c_str()));
    yyjson_mut_obj_add_val(d, e, "season", count_or_null(d, x.season));
    yyjson_mut_obj_add_val(d, e, "episode", count_or_null(d, x.episode));
    yyjson_mut_obj_add_val(d, e, "has_file", flag_or_null(d, x.has_file));
    yyjson_mut_obj_add_val(d, e, "monitored", flag_or_null(d, x.monitored));
    yyjson_mut_obj_add_val(d, e, "library_id", id_or_null(d, x.library_id));
    yyjson_mut_obj_add_val(d, e, "imdb", text_or_null(d, x.imdb.c_str()));
}

}  // namespace

int cmd_calendar(App &app) {
    const Options &o = app.o;
    if (!o.args.empty()) return usage_error("calendar: unexpected " + o.args[0], "calendar");
    if (o.series && o.movies) return usage_error("calendar: --series or --movies, not both (neither: both)", "calendar");
    int64_t start = o.has_from ? from_day(o.from) : day_start(static_cast<int64_t>(time(nullptr)), ui::Zone::local);
    if (start < 0 && o.has_from) return usage_error("calendar: --from wants a day, YYYY-MM-DD, not " + o.from, "calendar");
    // The last second of the last day; the library says whether it takes
    // so long a span.
    const int64_t end = start + static_cast<int64_t>(o.days) * 86400 - 1;
    std::vector<int> kinds;
    if (o.series || o.movies) kinds.push_back(o.series ? KOVA_SONARR : KOVA_RADARR);
    else if (!library_services(app, kinds)) return EXIT_USAGE;
    for (int kind : kinds)
        if (!use_service(app, kind)) return EXIT_USAGE;

    JsonOut report;
    yyjson_mut_doc *d = report.doc;
    yyjson_mut_obj_add_strcpy(d, report.root, "start", ui::iso_utc(start).c_str());
    yyjson_mut_obj_add_strcpy(d, report.root, "end", ui::iso_utc(end).c_str());
    yyjson_mut_obj_add_int(d, report.root, "days", o.days);
    yyjson_mut_val *services = yyjson_mut_obj_add_obj(d, report.root, "services");
    std::vector<Entry> entries;
    std::vector<std::string> warnings;
    std::string names;
    int status = EXIT_OK;
    for (int kind : kinds) {
        use_service(app, kind);
        const int32_t rc = with_spinner(app, std::string("reading ") + service(kind).name + "'s calendar", [&] {
            return kind == KOVA_SONARR ? kova_sonarr_calendar(start, end) : kova_radarr_calendar(start, end);
        });
        // A span the library refuses is the command line's fault.
        if (rc == KOVA_ERR_INVALID_ARG) {
            note_failure(app, rc);
            return usage_error(std::string("calendar: ") + kova_last_error(), "calendar");
        }
        if (o.json) outcome_json(app, d, yyjson_mut_obj_add_obj(d, services, service(kind).lower), rc);
        if (rc != KOVA_OK) {
            status = finish(app, rc);
            continue;
        }
        read_calendar(kind, entries);
        for (int32_t i = 0; i < kova_warning_count(); ++i) warnings.emplace_back(kova_warning(i));
        names += (names.empty() ? "" : " and ") + std::string(service(kind).name);
    }
    // One service's entries are in the library's order; the two together
    // sort by their day, Sonarr's first where they tie.
    std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) { return a.key < b.key; });
    if (o.json) {
        yyjson_mut_val *arr = yyjson_mut_obj_add_arr(d, report.root, "entries");
        for (const Entry &e : entries) entry_json(d, arr, e);
        report.print(app);
        return status;
    }
    if (names.empty()) return status;
    const size_t n = entries.size();
    const std::string span = ui::day(start, ui::Zone::local, false) + " to " + ui::day(end, ui::Zone::local, false);
    out::print(stdout, "%s\n", ui::paint(ui::Tone::bold, names + ", " + span + ": " +
                                                      (n == 0 ? std::string("nothing")
                                                              : std::to_string(n) + (n == 1 ? " entry" : " entries"))));
    if (n > 0) show_calendar(entries);
    for (const auto &w : warnings) out::print(stdout, "  %s %s\n", ui::paint(ui::Tone::warn, "warning:"), w);
    return status;
}

}  // namespace cli
