// The download queue and the calendar: recorded answers of Sonarr v4 and
// Radarr, the pages, the id filter, the words a host maps and the span.
#include "ops/ops_fixture.h"

namespace {
const std::string k_sonarr_page = "page=%d&pageSize=250&includeUnknownSeriesItems=true&includeEpisode=true";
const std::string k_radarr_page = "page=%d&pageSize=250&includeUnknownMovieItems=true";

std::string page_query(const std::string &fmt, int n) {
    char q[128];
    snprintf(q, sizeof q, fmt.c_str(), n);
    return q;
}

// The records of a recorded page, as JSON texts.
std::vector<std::string> records_of(const std::string &page) {
    yyjson_doc *doc = yyjson_read(page.data(), page.size(), 0);
    std::vector<std::string> out;
    size_t i, n;
    yyjson_val *r;
    yyjson_arr_foreach(yyjson_obj_get(yyjson_doc_get_root(doc), "records"), i, n, r) {
        char *t = yyjson_val_write(r, 0, nullptr);
        out.emplace_back(t);
        free(t);
    }
    yyjson_doc_free(doc);
    return out;
}

std::string page_of(const std::vector<std::string> &records, int total) {
    std::string s = "{\"page\":1,\"totalRecords\":" + std::to_string(total) + ",\"records\":[";
    for (size_t i = 0; i < records.size(); ++i) s += (i ? "," : "") + records[i];
    return s + "]}";
}

struct Entry {
    int32_t id, library_id, season, episode;
    std::string title, status, message, client, protocol;
    int64_t eta;
    int32_t progress;
};
Entry entry(int32_t i) {
    return {kova_queue_id(i),          kova_queue_library_id(i), kova_queue_season(i), kova_queue_episode(i),
            kova_queue_title(i),       kova_queue_status(i),     kova_queue_message(i), kova_queue_client(i),
            kova_queue_protocol(i),    kova_queue_eta(i),        kova_queue_progress(i)};
}
} // namespace

using Queue = OpsTest;

TEST_F(Queue, RadarrRecordedEntryReadsWhole) {
    const std::string q = R("/api/v3/queue", page_query(k_radarr_page, 1));
    route(q, 200, fixture("arr/radarr-queue-goodfellas-deluge-2022.json"));
    ASSERT_EQ(kova_radarr_queue(0), KOVA_OK) << kova_last_error();
    EXPECT_EQ(calls(q), 1);
    ASSERT_EQ(kova_queue_count(), 1);
    Entry e = entry(0);
    EXPECT_EQ(e.id, 1340002663);
    EXPECT_EQ(e.library_id, 311);
    EXPECT_EQ(e.title, "Goodfellas 1990 25th Anniversary REMASTERED BRRip x264 1080p-NPW");
    EXPECT_EQ(e.status, "downloading");
    EXPECT_EQ(e.season, -1);
    EXPECT_EQ(e.episode, -1);
    EXPECT_EQ(e.client, "deluge");
    EXPECT_EQ(e.protocol, "torrent");
    EXPECT_EQ(e.message, "");
    EXPECT_EQ(e.eta, 1658831695); // 2022-07-26T10:34:55Z
    uint64_t size = 0, left = 0;
    EXPECT_EQ(kova_queue_size(0, &size), KOVA_OK);
    EXPECT_EQ(kova_queue_left(0, &left), KOVA_OK);
    EXPECT_EQ(size, 6202395598u);
    EXPECT_EQ(left, 6193674427u);
    EXPECT_EQ(e.progress, 1); // 8.7 MB of 6.2 GB
    // The set and the lookups are not the queue's.
    EXPECT_EQ(kova_result_count(), 0);
    // Out of range.
    EXPECT_EQ(kova_queue_size(1, &size), KOVA_ERR_NOT_FOUND);
    EXPECT_EQ(kova_queue_progress(-1), -1);
    EXPECT_STREQ(kova_queue_status(1), "");
}

// Sonarr v4's recorded page announces 90 records in pages of 3; here the
// first page stands for all of them once split, and a page past the end
// repeats the first, as services do.
TEST_F(Queue, PagesAreFollowedToTheTotalAndARepeatedPageEndsThem) {
    const std::vector<std::string> recs = records_of(fixture("arr/sonarr-v4-queue-stalled-qbittorrent-2026.json"));
    ASSERT_EQ(recs.size(), 3u);
    struct Case {
        const char *what;
        std::vector<std::string> pages;
        int requests;
        int entries;
    } cases[] = {
        {"two pages to the total", {page_of({recs[0], recs[1]}, 3), page_of({recs[2]}, 3)}, 2, 3},
        {"a total that lies, then a repeated page", {page_of(recs, 90), page_of(recs, 90)}, 2, 3},
        {"a total that lies, then an empty page", {page_of(recs, 90), page_of({}, 90)}, 2, 3},
        {"a bare list is the whole queue", {"[" + recs[0] + "," + recs[2] + "]"}, 1, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        kova_fake_reset();
        for (size_t p = 0; p < c.pages.size(); ++p)
            route(S("/api/v3/queue", page_query(k_sonarr_page, static_cast<int>(p) + 1)), 200, c.pages[p]);
        ASSERT_EQ(kova_sonarr_queue(0), KOVA_OK) << kova_last_error();
        EXPECT_EQ(kova_fake_calls(nullptr), c.requests);
        EXPECT_EQ(kova_queue_count(), c.entries);
        EXPECT_EQ(kova_warning_count(), 0);
    }
    Entry e = entry(0);
    EXPECT_EQ(e.status, "warning"); // stalled: "warning" outranks "downloading"
    EXPECT_EQ(e.message, "The download is stalled with no connections");
    EXPECT_EQ(e.season, 1);
    EXPECT_EQ(e.episode, -1); // no episode object in the record
    EXPECT_EQ(e.library_id, 14);
    EXPECT_EQ(e.eta, -1);
    EXPECT_EQ(e.progress, 755); // 233 MB left of 954 MB
}

TEST_F(Queue, PagingStopsAtItsBoundWithAWarning) {
    // A service that caps the page at one record and announces far more.
    for (int p = 1; p <= 41; ++p)
        route(S("/api/v3/queue", page_query(k_sonarr_page, p)), 200,
              "{\"totalRecords\":100000,\"records\":[{\"id\":" + std::to_string(p) + ",\"seriesId\":3}]}");
    ASSERT_EQ(kova_sonarr_queue(0), KOVA_OK);
    EXPECT_EQ(kova_fake_calls(nullptr), 40);
    EXPECT_EQ(kova_queue_count(), 40);
    ASSERT_EQ(kova_warning_count(), 1);
    EXPECT_STREQ(kova_warning(0), "Sonarr queue: stopped after 40 pages");
}

TEST_F(Queue, OneItemsEntriesAndTheFailuresThatKeepTheLastQueue) {
    const std::string q = R("/api/v3/queue", page_query(k_radarr_page, 1));
    route(q, 200, fixture("arr/radarr-queue-goodfellas-deluge-2022.json"));
    ASSERT_EQ(kova_radarr_queue(5), KOVA_OK);
    EXPECT_EQ(kova_queue_count(), 0);
    ASSERT_EQ(kova_radarr_queue(311), KOVA_OK);
    EXPECT_EQ(kova_queue_count(), 1);
    struct Case {
        int32_t id;
        int status;
        const char *body;
        int32_t rc;
        const char *error;
    } cases[] = {
        {-1, 200, "{}", KOVA_ERR_INVALID_ARG, "Radarr queue: invalid movie id"},
        {0, 200, "\"a text\"", KOVA_ERR_JSON, "Radarr queue: not a page of records"},
        {0, 200, "{\"records\":5}", KOVA_ERR_JSON, "Radarr queue: not a page of records"},
        {0, 200, "nonsense", KOVA_ERR_JSON, "Radarr queue: not JSON"},
        {0, 500, "{\"message\":\"down\"}", KOVA_ERR_HTTP, "Radarr queue: HTTP 500"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.error);
        route(q, c.status, c.body);
        EXPECT_EQ(kova_radarr_queue(c.id), c.rc);
        EXPECT_STREQ(kova_last_error(), c.error);
        EXPECT_EQ(kova_queue_count(), 1);
    }
}

TEST_F(Queue, StatusWordsAndMessages) {
    struct Case {
        const char *record; // members of one record
        const char *status;
        const char *message;
    } cases[] = {
        {R"("status":"Downloading","trackedDownloadState":"Downloading","trackedDownloadStatus":"Ok")", "downloading", ""},
        {R"("status":"completed","trackedDownloadState":"importPending")", "importing", ""},
        {R"("status":"completed","trackedDownloadState":"imported")", "imported", ""},
        {R"("status":"completed","trackedDownloadState":"downloading")", "completed", ""},
        {R"("status":"completed","trackedDownloadState":"importBlocked","statusMessages":[{"title":"x.mkv","messages":["Not an upgrade","Sample"]},{"messages":["Unknown series"]}])",
         "warning", "Not an upgrade; Sample; Unknown series"},
        {R"("status":"downloading","trackedDownloadStatus":"error","errorMessage":"disk full")", "failed", "disk full"},
        {R"("status":"failed","trackedDownloadState":"failedPending")", "failed", ""},
        {R"("status":"delay")", "delay", ""},
        {R"("status":"paused")", "paused", ""},
        {R"("status":"queued","protocol":"usenet")", "queued", ""},
        {R"("status":"DownloadClientUnavailable")", "downloadclientunavailable", ""},
        {R"("trackedDownloadState":"Ignored")", "ignored", ""},
        {R"("status":7)", "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.record);
        route(S("/api/v3/queue", page_query(k_sonarr_page, 1)), 200,
              std::string("{\"totalRecords\":1,\"records\":[{\"id\":1,") + c.record + "}]}");
        ASSERT_EQ(kova_sonarr_queue(0), KOVA_OK);
        EXPECT_STREQ(kova_queue_status(0), c.status);
        EXPECT_STREQ(kova_queue_message(0), c.message);
    }
}

// Numbers as texts, missing and odd members: the entry stays, with the
// "unknown" value of each.
TEST_F(Queue, TolerantReading) {
    route(S("/api/v3/queue", page_query(k_sonarr_page, 1)), 200,
          R"({"totalRecords":"3","records":[
                {"id":"9","seriesId":"4","size":"1000","sizeleft":"250","seasonNumber":"2",
                 "episode":{"episodeNumber":"5","seasonNumber":7},"estimatedCompletionTime":"soon"},
                {"size":-5,"sizeleft":10,"episode":{"seasonNumber":3}},
                {"size":100,"sizeleft":200,"title":5}, 5]})");
    ASSERT_EQ(kova_sonarr_queue(0), KOVA_OK) << kova_last_error();
    ASSERT_EQ(kova_queue_count(), 3);
    Entry a = entry(0), b = entry(1), c = entry(2);
    EXPECT_EQ(a.id, 9);
    EXPECT_EQ(a.library_id, 4);
    EXPECT_EQ(a.season, 2);
    EXPECT_EQ(a.episode, 5);
    EXPECT_EQ(a.progress, 750);
    EXPECT_EQ(a.eta, -1);
    EXPECT_EQ(b.id, 0);
    EXPECT_EQ(b.season, 3);
    EXPECT_EQ(b.progress, -1);
    EXPECT_EQ(kova_queue_size(1, nullptr), KOVA_ERR_NOT_FOUND);
    EXPECT_EQ(kova_queue_left(1, nullptr), KOVA_OK);
    EXPECT_EQ(c.progress, -1); // more left than the whole
    EXPECT_EQ(c.title, "");
}

using Calendar = OpsTest;

TEST_F(Calendar, RadarrFilmsTakeTheirEarliestReleaseInsideTheSpan) {
    const int64_t start = 1638316800, end = 1643587200; // 2021-12-01 to 2022-01-31
    const std::string url =
        R("/api/v3/calendar", "start=2021-12-01T00:00:00Z&end=2022-01-31T00:00:00Z&unmonitored=true");
    route(url, 200, fixture("arr/radarr-calendar-raydonovan-notimetodie-2022.json"));
    ASSERT_EQ(kova_radarr_calendar(start, end), KOVA_OK) << kova_last_error();
    EXPECT_EQ(calls(url), 1);
    struct Want {
        const char *title, *kind;
        int64_t date;
        int32_t has_file, library_id;
        const char *imdb;
    } want[] = {
        // Both on 2021-12-16: the answer's order stands.
        {"No Time to Die", "physical", 1639612800, 1, 1352, "tt2382320"},
        {"The Matrix Resurrections", "cinema", 1639612800, 0, 1622, "tt10838180"},
        {"Ray Donovan: The Movie", "digital", 1642118400, 1, 2041, "tt14124268"}, // only a digital release
    };
    ASSERT_EQ(kova_calendar_count(), 3);
    for (int32_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(want[i].title);
        EXPECT_STREQ(kova_calendar_title(i), want[i].title);
        EXPECT_STREQ(kova_calendar_kind(i), want[i].kind);
        EXPECT_EQ(kova_calendar_date(i), want[i].date);
        EXPECT_EQ(kova_calendar_has_file(i), want[i].has_file);
        EXPECT_EQ(kova_calendar_monitored(i), 1);
        EXPECT_EQ(kova_calendar_library_id(i), want[i].library_id);
        EXPECT_STREQ(kova_calendar_imdb(i), want[i].imdb);
        EXPECT_STREQ(kova_calendar_series(i), "");
        EXPECT_EQ(kova_calendar_season(i), -1);
        EXPECT_EQ(kova_calendar_episode(i), -1);
    }
}

// Sonarr's calendar as its API describes it, with the series included.
TEST_F(Calendar, SonarrEpisodesInAirOrder) {
    const std::string url = S("/api/v3/calendar",
                              "start=2025-12-10T00:00:00Z&end=2025-12-17T00:00:00Z&unmonitored=true&includeSeries=true");
    route(url, 200, R"([
        {"seriesId":7,"seasonNumber":2,"episodeNumber":4,"title":"Later","airDate":"2025-12-14",
         "airDateUtc":"2025-12-14T02:00:00Z","hasFile":false,"monitored":false,
         "series":{"title":"Show","imdbId":"tt0944947"}},
        {"seriesId":9,"seasonNumber":1,"episodeNumber":1,"title":"Pilot","airDate":"2025-12-11",
         "hasFile":true,"monitored":true,"series":{"title":"Other"}}])");
    ASSERT_EQ(kova_sonarr_calendar(1765324800, 1765929600), KOVA_OK) << kova_last_error();
    ASSERT_EQ(kova_calendar_count(), 2);
    EXPECT_STREQ(kova_calendar_title(0), "Pilot");
    EXPECT_EQ(kova_calendar_date(0), 1765411200); // the air date when no UTC time is given
    EXPECT_STREQ(kova_calendar_series(1), "Show");
    EXPECT_STREQ(kova_calendar_imdb(1), "tt0944947");
    EXPECT_EQ(kova_calendar_season(1), 2);
    EXPECT_EQ(kova_calendar_episode(1), 4);
    EXPECT_EQ(kova_calendar_date(1), 1765677600);
    EXPECT_STREQ(kova_calendar_kind(1), "episode");
    EXPECT_EQ(kova_calendar_monitored(1), 0);
    EXPECT_EQ(kova_calendar_library_id(1), 7);
}

// A calendar larger than the list holds keeps its first entries and says
// that the rest was left out.
TEST_F(Calendar, AnOversizedCalendarIsCutWithAWarning) {
    const int64_t start = 1765324800, end = start + 86400;
    std::string answer = "[";
    for (int i = 0; i <= 100000; ++i) answer += i ? ",{}" : "{}";
    answer += "]";
    route(R("/api/v3/calendar", "start=2025-12-10T00:00:00Z&end=2025-12-11T00:00:00Z&unmonitored=true"), 200,
          answer);
    ASSERT_EQ(kova_radarr_calendar(start, end), KOVA_OK) << kova_last_error();
    EXPECT_EQ(kova_calendar_count(), 100000);
    ASSERT_EQ(kova_warning_count(), 1);
    EXPECT_STREQ(kova_warning(0), "Radarr calendar: more than 100000 entries, the rest left out");
}

TEST_F(Calendar, TheSpanIsChecked) {
    const int64_t day = 86400, start = 1765324800;
    struct Case {
        int64_t start, end;
        const char *error;
    } cases[] = {
        {start, start - 1, "Sonarr calendar: the end is before the start"},
        {start, start + 366 * day + 1, "Sonarr calendar: the span is over a year"},
        {-1, start, "Sonarr calendar: a date before 1970 or after 9999"},
        {253402300000, 253402300800, "Sonarr calendar: a date before 1970 or after 9999"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(kova_sonarr_calendar(c.start, c.end), KOVA_ERR_INVALID_ARG);
        EXPECT_STREQ(kova_last_error(), c.error);
    }
    EXPECT_EQ(kova_fake_calls(nullptr), 0);
    // A whole leap year, and a single moment, are spans.
    EXPECT_EQ(kova_radarr_calendar(start, start + 366 * day), KOVA_ERR_TRANSPORT);
    EXPECT_EQ(kova_radarr_calendar(start, start), KOVA_ERR_TRANSPORT);
}
