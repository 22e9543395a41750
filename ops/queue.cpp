// After the add: Sonarr's and Radarr's download queues and calendars. Each
// fills a list of its own, so that a host can show releases and the queue
// together.
#include <cstdio>
#include <cstring>

#include "ops/ops.h"

namespace kova {

namespace {
// Releases a queue being read, and the ids of its pages, on every path.
struct queue_guard {
    queue_list list{};
    queue_reader reader{};
    ~queue_guard() {
        queue_list_free(&list);
        queue_reader_free(&reader);
    }
};

struct calendar_guard {
    calendar_list list{};
    ~calendar_guard() { calendar_list_free(&list); }
};

// One page of the queue into q.
int32_t read_page(context *ctx, int32_t kind, int32_t number, int32_t item, queue_guard *q, queue_page *page) {
    const bool series = kind == KOVA_SONARR;
    char query[160];
    // Sonarr names the episode only when asked; both leave out downloads
    // they have not matched to an item unless asked.
    snprintf(query, sizeof query, "page=%d&pageSize=%d&%s", static_cast<int>(number),
             static_cast<int>(queue_page_size),
             series ? "includeUnknownSeriesItems=true&includeEpisode=true" : "includeUnknownMovieItems=true");
    char *body = nullptr;
    int32_t rc = request(ctx, kind, http_method::get, "/api/v3/queue", query, nullptr, "queue", &body);
    text_guard body_g(body);
    if (rc != OK) return rc;
    bool oom = false;
    doc_guard doc(answer_read(ctx, body, body ? strlen(body) : 0, &oom));
    if (oom) return fail_oom(ctx);
    const char *name = service_name(kind);
    if (!doc.doc) return fail(ctx, ERR_JSON, "%s queue: not JSON", name);
    return read_queue_page(ctx, name, yyjson_doc_get_root(doc.doc), item, series, &q->list, &q->reader, page);
}
} // namespace

int32_t do_queue(context *ctx, int32_t kind, int32_t item) {
    const arr_service &s = arr_service_of(kind);
    if (item < 0) return fail(ctx, ERR_INVALID_ARG, "%s queue: invalid %s id", s.name, s.item);
    queue_guard q;
    int64_t records = 0;
    // The queue comes in pages: follow them up to the total the service
    // announced and no further. A page with nothing new (past the end, some
    // services repeat a page) or nothing at all ends it early; a bound on
    // the pages keeps a total that lies from asking for ever.
    for (int32_t number = 1;; ++number) {
        if (number > max_queue_pages) {
            warnf(ctx, "%s queue: stopped after %d pages", s.name, static_cast<int>(max_queue_pages));
            break;
        }
        queue_page page;
        int32_t rc = read_page(ctx, kind, number, item, &q, &page);
        if (rc != OK) return rc;
        records += page.records;
        if (page.full) {
            warnf(ctx, "%s queue: more than %d entries, the rest left out", s.name, static_cast<int>(max_queue));
            break;
        }
        if (page.fresh == 0) break;
        // Without a total, only a full page suggests another.
        if (page.total >= 0 ? records >= page.total : page.records < queue_page_size) break;
    }
    queue_list_free(&ctx->queue);
    ctx->queue = q.list;
    q.list = queue_list{};
    return OK;
}

int32_t do_calendar(context *ctx, int32_t kind, int64_t start, int64_t end) {
    const arr_service &s = arr_service_of(kind);
    if (start < 0 || end < 0 || start > max_utc_seconds || end > max_utc_seconds)
        return fail(ctx, ERR_INVALID_ARG, "%s calendar: a date before 1970 or after 9999", s.name);
    if (end < start) return fail(ctx, ERR_INVALID_ARG, "%s calendar: the end is before the start", s.name);
    // A leap year's 366 days are a year too.
    if (end - start > INT64_C(366) * 86400)
        return fail(ctx, ERR_INVALID_ARG, "%s calendar: the span is over a year", s.name);
    const bool series = kind == KOVA_SONARR;
    char from[21], to[21], query[128];
    iso_utc(start, from);
    iso_utc(end, to);
    // Unmonitored items too: an add leaves an item unmonitored unless asked.
    snprintf(query, sizeof query, "start=%s&end=%s&unmonitored=true%s", from, to, series ? "&includeSeries=true" : "");
    yyjson_doc *answer = nullptr;
    yyjson_val *items = nullptr;
    int32_t rc = get_json_array(ctx, kind, "/api/v3/calendar", query, "calendar", &answer, &items);
    doc_guard doc(answer);
    if (rc != OK) return rc;
    calendar_guard c;
    rc = read_calendar(ctx, items, series, start, end, &c.list);
    if (rc != OK) return rc;
    calendar_list_free(&ctx->calendar);
    ctx->calendar = c.list;
    c.list = calendar_list{};
    return OK;
}

} // namespace kova
