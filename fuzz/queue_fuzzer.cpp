// The download queue and the calendar fed by fuzzer bytes: each request is
// answered with raw bytes or with a page or list whose members the fuzzer
// chooses (ids that repeat across pages, totals that lie, sizes as texts,
// dates in and out of the span). Checked: the result code is a documented
// one, the pages asked for stay within the bound and in order, every entry
// reads consistently, and the calendar comes in date order.
#include <algorithm>

#include "fuzz/fuzz_common.h"

namespace queue_fuzzer {

// A member value: mostly a plausible one of its kind, sometimes anything.
std::string member(fuzz_bytes &in, int kind) {
    uint8_t v = in.u8();
    if (v % 8 == 7) return in.text(32); // raw bytes
    if (v % 8 == 6) return "null";
    switch (kind) {
    case 0: return std::to_string(v % 8 == 5 ? in.i32() : in.u8() % 16);               // an id
    case 1: return v % 8 == 5 ? json_quoted(std::to_string(in.i32())) : std::to_string(in.i32()); // a size
    case 2: {                                                                            // a date
        static const char *const k_dates[] = {"2026-12-09T10:00:00Z", "2026-12-10T00:00:00Z", "2026-12-12",
                                              "2027-01-01T00:00:00Z", "1969-12-31T23:59:59Z", "2026-12-11T05:30:00+02:00"};
        return v % 8 < 6 ? json_quoted(k_dates[in.u8() % 6]) : json_quoted(in.text(24));
    }
    default: {                                                                           // a status word
        static const char *const k_words[] = {"downloading", "Queued", "warning", "completed", "importPending",
                                              "failedPending", "imported", "error", "ok", "delay"};
        return json_quoted(v % 8 < 5 ? k_words[in.u8() % 10] : in.text(16));
    }
    }
}

std::string record(fuzz_bytes &in, bool series) {
    std::string r = "{\"id\":" + member(in, 0) + ",\"" + (series ? "seriesId" : "movieId") + "\":" + member(in, 0);
    r += ",\"title\":" + json_quoted(in.text(32)) + ",\"size\":" + member(in, 1) + ",\"sizeleft\":" + member(in, 1);
    r += ",\"status\":" + member(in, 3) + ",\"trackedDownloadState\":" + member(in, 3);
    r += ",\"trackedDownloadStatus\":" + member(in, 3) + ",\"estimatedCompletionTime\":" + member(in, 2);
    if (in.u8() & 1) r += ",\"errorMessage\":" + json_quoted(in.text(32));
    r += ",\"statusMessages\":[{\"messages\":[" + json_quoted(in.text(16)) + "," + member(in, 3) + "]},3]";
    if (series) r += ",\"seasonNumber\":" + member(in, 0) + ",\"episode\":{\"episodeNumber\":" + member(in, 0) + "}";
    return r + "}";
}

std::string calendar_item(fuzz_bytes &in, bool series) {
    std::string r = "{\"title\":" + json_quoted(in.text(32)) + ",\"hasFile\":" + (in.u8() & 1 ? "true" : "0");
    r += ",\"monitored\":" + member(in, 0);
    if (series) {
        r += ",\"seriesId\":" + member(in, 0) + ",\"seasonNumber\":" + member(in, 0) + ",\"episodeNumber\":" +
             member(in, 0) + ",\"airDateUtc\":" + member(in, 2);
        return r + ",\"series\":{\"title\":" + json_quoted(in.text(16)) + ",\"imdbId\":" + member(in, 0) + "}}";
    }
    r += ",\"id\":" + member(in, 0) + ",\"imdbId\":" + json_quoted(in.text(12));
    return r + ",\"inCinemas\":" + member(in, 2) + ",\"digitalRelease\":" + member(in, 2) + ",\"physicalRelease\":" +
           member(in, 2) + "}";
}

struct run {
    fuzz_bytes *in;
    bool series;
    bool calendar;
};

fuzz_answer answer(void *ctx, const std::string &, bool) {
    run &r = *static_cast<run *>(ctx);
    fuzz_bytes &in = *r.in;
    fuzz_answer a;
    uint8_t how = in.u8();
    a.status = how % 16 == 15 ? fuzz_status(in.u8()) : 200;
    if (how % 8 == 7) {
        a.body = in.text(4096);
        return a;
    }
    int n = in.u8() % 6;
    std::string items = "[";
    for (int i = 0; i < n; ++i) {
        if (i) items += ",";
        items += (how & 0x40) ? "7" : r.calendar ? calendar_item(in, r.series) : record(in, r.series);
    }
    items += "]";
    if (r.calendar || (how & 0x80)) {
        a.body = items; // a calendar, or a queue as a bare list
        return a;
    }
    a.body = "{\"page\":1,\"pageSize\":" + member(in, 0) + ",\"totalRecords\":" + member(in, 1) +
             ",\"records\":" + items + "}";
    return a;
}

int one_input(const uint8_t *data, size_t size) {
    fuzz_bytes in(data, size);
    kova_reset();
    FUZZ_CHECK(kova_sonarr_configure("s", 0, 0, "k") == KOVA_OK);
    FUZZ_CHECK(kova_radarr_configure("r", 0, 0, "k") == KOVA_OK);
    uint8_t b0 = in.u8();
    run r{&in, (b0 & 1) != 0, (b0 & 2) != 0};
    fuzz_io io;
    io.answer = answer;
    io.ctx = &r;
    io.install((b0 & 4) == 0);
    kova_set_io(&io.io);

    const int64_t start = 1765324800; // 2025-12-10T00:00:00Z
    int32_t rc;
    if (r.calendar) {
        int64_t end = start + (b0 & 8 ? 366 : 7) * INT64_C(86400);
        if (b0 & 16) end = start + in.i32();
        rc = r.series ? kova_sonarr_calendar(start, end) : kova_radarr_calendar(start, end);
        FUZZ_CHECK(io.urls.size() <= 1);
        if (end < start || end - start > 366 * INT64_C(86400)) FUZZ_CHECK(rc == KOVA_ERR_INVALID_ARG && io.urls.empty());
        int64_t last = 0;
        for (int32_t i = 0; i < kova_calendar_count(); ++i) {
            int64_t d = kova_calendar_date(i);
            // Date order, entries without a date last.
            FUZZ_CHECK(d == -1 || (last >= 0 && d >= last));
            last = d;
            const char *kind = kova_calendar_kind(i);
            if (r.series) FUZZ_CHECK(!strcmp(kind, "episode"));
            else FUZZ_CHECK(kova_calendar_season(i) == -1 && kova_calendar_episode(i) == -1 && (d == -1) == !*kind);
            if (!r.series && d != -1) FUZZ_CHECK(d >= start && d <= end);
            FUZZ_CHECK(kova_calendar_has_file(i) >= -1 && kova_calendar_has_file(i) <= 1);
            check_text(kova_calendar_title(i));
            check_text(kova_calendar_imdb(i));
        }
    } else {
        int32_t item = (b0 & 8) ? in.u8() % 4 : 0;
        rc = r.series ? kova_sonarr_queue(item) : kova_radarr_queue(item);
        FUZZ_CHECK(io.urls.size() <= 40);
        for (size_t p = 0; p < io.urls.size(); ++p)
            FUZZ_CHECK(io.urls[p].find("page=" + std::to_string(p + 1) + "&") != std::string::npos);
        std::vector<int32_t> ids;
        for (int32_t i = 0; i < kova_queue_count(); ++i) {
            if (item > 0) FUZZ_CHECK(kova_queue_library_id(i) == item);
            int32_t progress = kova_queue_progress(i);
            uint64_t bytes = 0, left = 0;
            bool sized = kova_queue_size(i, &bytes) == KOVA_OK, has_left = kova_queue_left(i, &left) == KOVA_OK;
            FUZZ_CHECK(progress >= -1 && progress <= 1000);
            FUZZ_CHECK((progress >= 0) == (sized && has_left && bytes > 0 && left <= bytes));
            check_text(kova_queue_status(i));
            check_text(kova_queue_message(i));
            if (!r.series) FUZZ_CHECK(kova_queue_season(i) == -1 && kova_queue_episode(i) == -1);
            if (kova_queue_id(i) > 0) ids.push_back(kova_queue_id(i));
        }
        std::sort(ids.begin(), ids.end());
        FUZZ_CHECK(std::adjacent_find(ids.begin(), ids.end()) == ids.end()); // a repeated page adds nothing
    }
    FUZZ_CHECK(kova_last_rc() == rc);
    FUZZ_CHECK(in_codes(rc, {KOVA_OK, KOVA_ERR_INVALID_ARG, KOVA_ERR_JSON, KOVA_ERR_HTTP, KOVA_ERR_AUTH,
                             KOVA_ERR_TRANSPORT, KOVA_ERR_OOM}));
    FUZZ_CHECK((rc == KOVA_OK) == (*kova_last_error() == '\0'));
    if (rc != KOVA_OK) FUZZ_CHECK(kova_queue_count() == 0 && kova_calendar_count() == 0);
    io.check_released();
    check_results();
    kova_reset();
    return 0;
}

} // namespace queue_fuzzer

KOVA_FUZZ_TARGET(queue_fuzzer)
