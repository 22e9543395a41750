// Sonarr's and Radarr's calendars: the episodes that air and the films that
// come out in a span of time, in date order.
#include <algorithm>
#include <cstring>

#include "parse/values.h"

namespace kova {

namespace {
// A date member as Unix seconds; -1 when absent or unreadable.
int64_t seconds_of(yyjson_val *obj, const char *key) {
    const char *text = str_member(obj, key);
    int64_t ms = *text ? parse_iso(text) : -1;
    return ms >= 0 ? ms / 1000 : -1;
}

int32_t tristate(yyjson_val *v) { return yyjson_is_bool(v) ? (unsafe_yyjson_get_bool(v) ? 1 : 0) : -1; }

// A film's date: the earliest of its releases that falls inside the span,
// and which release that is; -1 and "" when none does.
int64_t film_date(yyjson_val *film, int64_t start, int64_t end, const char **kind) {
    static const struct {
        const char *key;
        const char *kind;
    } k_releases[] = {{"inCinemas", "cinema"}, {"digitalRelease", "digital"}, {"physicalRelease", "physical"}};
    int64_t best = -1;
    *kind = "";
    for (const auto &r : k_releases) {
        int64_t d = seconds_of(film, r.key);
        if (d < start || d > end || (best >= 0 && d >= best)) continue;
        best = d;
        *kind = r.kind;
    }
    return best;
}

int32_t fill_entry(diagnostics *diag, calendar_entry *e, yyjson_val *obj, bool series, int64_t start,
                   int64_t end) {
    e->title = text_dup(str_member(obj, "title"));
    yyjson_val *show = obj_iget(obj, "series");
    e->series = text_dup(series ? str_member(show, "title") : "");
    e->imdb = text_dup(str_member(series ? show : obj, "imdbId"));
    if (!e->title || !e->series || !e->imdb) return fail_oom(diag);
    e->has_file = tristate(obj_iget(obj, "hasFile"));
    e->monitored = tristate(obj_iget(obj, "monitored"));
    e->library_id = 0;
    read_id(obj_iget(obj, series ? "seriesId" : "id"), &e->library_id);
    if (series) {
        e->season = count_or(obj_iget(obj, "seasonNumber"), -1);
        e->episode = count_or(obj_iget(obj, "episodeNumber"), -1);
        e->date = seconds_of(obj, "airDateUtc");
        if (e->date < 0) e->date = seconds_of(obj, "airDate");
        e->kind = "episode";
    } else {
        e->season = e->episode = -1;
        e->date = film_date(obj, start, end, &e->kind);
    }
    return OK;
}
} // namespace

void calendar_list_free(calendar_list *c) {
    for (int32_t i = 0; i < c->count; ++i) {
        mem_free(c->entries[i].title);
        mem_free(c->entries[i].series);
        mem_free(c->entries[i].imdb);
    }
    mem_free(c->entries);
    *c = calendar_list{};
}

int32_t read_calendar(diagnostics *diag, yyjson_val *items, bool series, int64_t start, int64_t end,
                      calendar_list *out) {
    *out = calendar_list{};
    size_t n = yyjson_arr_size(items);
    if (n == 0) return OK;
    size_t cap = n > max_calendar ? max_calendar : n;
    out->entries = static_cast<calendar_entry *>(mem_calloc(cap, sizeof(calendar_entry)));
    if (!out->entries) return fail_oom(diag);
    size_t i, max;
    yyjson_val *obj;
    yyjson_arr_foreach(items, i, max, obj) {
        if (!yyjson_is_obj(obj)) continue;
        if (static_cast<size_t>(out->count) >= cap) {
            // Cut in the service's order, before sorting: say so rather than
            // show a calendar that looks complete.
            warnf(diag, "%s calendar: more than %d entries, the rest left out", series ? "Sonarr" : "Radarr",
                  static_cast<int>(max_calendar));
            break;
        }
        // The entry counts once allocated, so that its texts are released.
        int32_t rc = fill_entry(diag, &out->entries[out->count++], obj, series, start, end);
        if (rc != OK) return rc;
    }
    // Date order; the service's order among equal dates; entries without a
    // date last.
    std::stable_sort(out->entries, out->entries + out->count, [](const calendar_entry &a, const calendar_entry &b) {
        if ((a.date < 0) != (b.date < 0)) return b.date < 0;
        return a.date < b.date;
    });
    return OK;
}

} // namespace kova
