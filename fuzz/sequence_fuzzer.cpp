// Calls in any order: a sequence of exports picked by the fuzzer (resets,
// transport switches, configurations, fake routes, operations, parse calls,
// accessors with any index, the result document, validations), with the
// whole readable state checked after every call.
#include "fuzz/fuzz_common.h"

namespace sequence_fuzzer {

// The URLs the operations below send to when the services are configured
// as "j", "s" and "r" with the key "k": fake routes and host answers meet
// the chains there.
const char *const k_urls[] = {
    "http://j:9117/api/v2.0/indexers/all/results/torznab/api?apikey=k&t=indexers&configured=true",
    "http://j:9117/api/v2.0/indexers/all/results?apikey=k&Query=tt0000123",
    "http://j:9117/api/v2.0/indexers/all/results?apikey=k&Query=q",
    "http://s:8989/api/v3/rootfolder?apikey=k",
    "http://s:8989/api/v3/qualityprofile?apikey=k",
    "http://s:8989/api/v3/series/lookup?apikey=k&term=tt0000123",
    "http://s:8989/api/v3/series/lookup?apikey=k&term=tvdb%3A1",
    "http://s:8989/api/v3/series?apikey=k&tvdbId=1",
    "http://s:8989/api/v3/episode?apikey=k&seriesId=1&seasonNumber=1",
    "http://s:8989/api/v3/release?apikey=k&episodeId=1",
    "http://s:8989/api/v3/release?apikey=k&seriesId=1&seasonNumber=1",
    "http://r:7878/api/v3/rootfolder?apikey=k",
    "http://r:7878/api/v3/qualityprofile?apikey=k",
    "http://r:7878/api/v3/movie/lookup/imdb?apikey=k&imdbId=tt0000123",
    "http://r:7878/api/v3/movie/lookup/tmdb?apikey=k&tmdbId=1",
    "http://r:7878/api/v3/movie?apikey=k&tmdbId=1",
    "http://r:7878/api/v3/movie?apikey=k",
    "http://r:7878/api/v3/release?apikey=k&movieId=1",
    "http://s:8989/api/v3/languageprofile?apikey=k",
    "http://s:8989/api/v3/release?apikey=k",
    "http://r:7878/api/v3/release?apikey=k",
    "http://s:8989/sonarr/api/v3/rootfolder?apikey=k",
    "http://p:9696/api/v1/search?apikey=k&query=%7BImdbId%3Att0000123%7D&type=movie",
    "http://p:9696/api/v1/search?apikey=k&query=%7BImdbId%3Att0000123%7D&type=tvsearch",
    "http://p:9696/api/v1/search?apikey=k&query=q&type=search",
    "http://p:9696/api/v1/indexer?apikey=k",
    "http://p:9696/api/v1/indexerstatus?apikey=k",
    "http://p:9696/api/v1/search?apikey=k",
    "http://s:8989/api/v3/queue?apikey=k&page=1&pageSize=250&includeUnknownSeriesItems=true&includeEpisode=true",
    "http://r:7878/api/v3/queue?apikey=k&page=1&pageSize=250&includeUnknownMovieItems=true",
    "http://s:8989/api/v3/calendar?apikey=k&start=2025-12-10T00:00:00Z&end=2025-12-17T00:00:00Z&unmonitored=true&includeSeries=true",
    "http://r:7878/api/v3/calendar?apikey=k&start=2025-12-10T00:00:00Z&end=2025-12-17T00:00:00Z&unmonitored=true",
};
constexpr size_t k_nurls = sizeof k_urls / sizeof k_urls[0];

struct state {
    fuzz_bytes *in;
};

fuzz_answer host_answer(void *ctx, const std::string &, bool) {
    fuzz_bytes &in = *static_cast<state *>(ctx)->in;
    fuzz_answer a;
    uint8_t c = in.u8();
    a.ret = (c & 7) == 7 ? 1 : 0;
    a.status = (c & 0x18) == 0x18 ? fuzz_status(in.u8()) : 200;
    a.has_body = (c & 0x20) == 0;
    a.has_error = (c & 0x40) != 0;
    if (a.has_body) a.body = in.text(1024);
    return a;
}

// A text argument: null, one of a few that connect to the routes, or bytes.
std::string arg_text(fuzz_bytes &in, bool *null) {
    static const char *const k_texts[] = {"tt0000123", "q", "", "/tv/", "HD", "1"};
    uint8_t b = in.u8();
    *null = b % 8 == 7;
    if (b % 8 < 6) return k_texts[b % 8];
    return in.text();
}

int32_t arg_int(fuzz_bytes &in) {
    uint8_t b = in.u8();
    switch (b % 4) {
    case 0: return 1;
    case 1: return 0;
    case 2: return b >> 2;
    default: return in.i32();
    }
}

void check_code(int32_t rc, bool returns_id) {
    FUZZ_CHECK(kova_last_rc() == rc);
    FUZZ_CHECK(rc >= KOVA_ERR_INDEXERS && (rc <= KOVA_PARTIAL || returns_id));
}

int one_input(const uint8_t *data, size_t size) {
    fuzz_bytes in(data, size);
    kova_reset();
    kova_fake_reset();
    state st{&in};
    fuzz_io io;
    io.answer = host_answer;
    io.ctx = &st;
    io.install(true);
    kova_use_fake();
    FUZZ_CHECK(kova_jackett_configure("j", 0, 0, "k") == KOVA_OK);
    FUZZ_CHECK(kova_sonarr_configure("s", 0, 0, "k") == KOVA_OK);
    FUZZ_CHECK(kova_radarr_configure("r", 0, 0, "k") == KOVA_OK);
    FUZZ_CHECK(kova_prowlarr_configure("p", 0, 0, "k") == KOVA_OK);

    for (int step = 0; step < 64 && !in.empty(); ++step) {
        uint8_t op = in.u8();
        bool n1 = false, n2 = false, n3 = false;
        switch (op & 0x1F) { // the high bits pick a service or a variant
        case 0: kova_reset(); break;
        case 1: kova_use_fake(); break;
        case 2: kova_set_io((op & 0x80) ? nullptr : &io.io); break;
        case 3: FUZZ_CHECK(kova_use_curl() == KOVA_ERR_NO_IO); break;
        case 4: {
            static const char *const k_hosts[] = {"j", "s", "r", "::1", "bad host"};
            int32_t kind = (op >> 5) % 3;
            uint8_t h = in.u8();
            std::string key = arg_text(in, &n1);
            int32_t (*const configure[])(const char *, int32_t, int32_t, const char *) = {
                kova_jackett_configure, kova_sonarr_configure, kova_radarr_configure};
            int32_t rc = configure[kind](k_hosts[h % 5], 0, 0, n1 ? nullptr : key.c_str());
            check_code(rc, false);
            break;
        }
        case 5: kova_arm_library_writes(arg_int(in)); break;
        case 6: {
            const char *url = k_urls[in.u8() % k_nurls];
            int32_t status = fuzz_status(in.u8());
            std::string body = in.text(2048);
            FUZZ_CHECK(kova_fake_set(url, status, body.c_str()) == KOVA_OK);
            break;
        }
        case 7: {
            std::string text = arg_text(in, &n1);
            FUZZ_CHECK(kova_fake_fail(k_urls[in.u8() % k_nurls], n1 ? nullptr : text.c_str()) == KOVA_OK);
            break;
        }
        case 8: {
            std::string t = in.text(2048);
            int32_t kind = (op >> 5) % 3;
            int32_t rc;
            if ((op >> 5) == 6) {
                // A Jackett answer handed over in a buffer of its own length.
                char *buf = static_cast<char *>(malloc(t.size() + 1));
                FUZZ_CHECK(buf != nullptr);
                memcpy(buf, t.data(), t.size());
                rc = kova_parse_jackett_take(buf, t.size());
            } else {
                rc = kind == 0   ? kova_parse_jackett(t.c_str())
                     : kind == 1 ? kova_parse_arr_releases(t.c_str())
                                 : kova_parse_torznab_indexers(t.c_str());
            }
            check_code(rc, false);
            FUZZ_CHECK(kova_jackett_stage() == KOVA_STAGE_NONE);
            break;
        }
        case 9: {
            std::string a = arg_text(in, &n1), b = arg_text(in, &n2), c = arg_text(in, &n3);
            check_code(kova_jackett_search_imdb(n1 ? nullptr : a.c_str(), n2 ? nullptr : b.c_str(),
                                                n3 ? nullptr : c.c_str()),
                       false);
            break;
        }
        case 10: {
            std::string q = arg_text(in, &n1);
            check_code(kova_jackett_search_query(n1 ? nullptr : q.c_str()), false);
            break;
        }
        case 11: {
            int32_t (*const tests[])(void) = {kova_jackett_test, kova_sonarr_test, kova_radarr_test};
            check_code(tests[(op >> 5) % 3](), false);
            break;
        }
        case 12: {
            std::string a = arg_text(in, &n1), b = arg_text(in, &n2);
            check_code((op & 0x80) ? kova_sonarr_lookup(n1 ? nullptr : a.c_str(), n2 ? nullptr : b.c_str())
                                   : kova_radarr_lookup_imdb(n1 ? nullptr : a.c_str()),
                       false);
            break;
        }
        case 13: {
            int32_t id = arg_int(in);
            check_code((op & 0x80) ? kova_sonarr_library_find(id) : kova_radarr_library_find(id), true);
            break;
        }
        case 14: {
            int32_t a = arg_int(in), b = arg_int(in), c = arg_int(in);
            check_code((op & 0x80) ? kova_sonarr_releases(a, b, c) : kova_radarr_releases(a), false);
            break;
        }
        case 15: {
            int32_t id = arg_int(in);
            std::string root = arg_text(in, &n1);
            int32_t profile = arg_int(in);
            const char *r = n1 ? nullptr : root.c_str();
            check_code((op & 0x80) ? kova_sonarr_add_series(id, r, profile) : kova_radarr_add_movie(id, r, profile),
                       true);
            break;
        }
        case 16: {
            std::string imdb = arg_text(in, &n1), profile = arg_text(in, &n2);
            int32_t season = arg_int(in), episode = arg_int(in);
            const char *i = n1 ? nullptr : imdb.c_str();
            const char *p = n2 ? nullptr : profile.c_str();
            check_code((op & 0x80) ? kova_sonarr_search_or_add(i, nullptr, season, episode, p)
                                   : kova_radarr_search_or_add(i, p),
                       false);
            break;
        }
        case 17: {
            int32_t i = arg_int(in);
            std::string name = arg_text(in, &n1);
            check_text(kova_result_field(i, n1 ? nullptr : name.c_str()));
            check_row(i, i >= 0 && i < kova_result_count());
            break;
        }
        case 18: {
            std::string p = arg_text(in, &n1);
            int32_t id = kova_quality_profile_pick(n1 ? nullptr : p.c_str());
            if (kova_quality_profile_count() == 0) FUZZ_CHECK(id == -1);
            break;
        }
        case 19: {
            int32_t ms = arg_int(in);
            kova_set_timeout_ms(ms);
            FUZZ_CHECK(kova_timeout_ms() == (ms > 0 ? ms : fuzz_limits::default_timeout_ms));
            break;
        }
        case 20: {
            std::string id = arg_text(in, &n1);
            check_text(kova_imdb_numeric(n1 ? nullptr : id.c_str()), 63);
            break;
        }
        case 21: {
            static const char *const k_types[] = {"JACKETT", "SONARR", "RADARR"};
            std::string settings = in.text(512);
            char buf[512];
            int32_t rc = kova_rtchk_handler(k_types[(op >> 5) % 3])->validate(&io.io, settings.c_str(), buf, sizeof buf);
            FUZZ_CHECK(in_codes(rc, {0, -1, -2, -3, -4, -5, -8, -9}));
            FUZZ_CHECK(strlen(buf) < sizeof buf);
            break;
        }
        case 22: kova_fake_reset(); break;
        case 23: {
            static const char *const k_bases[] = {"/sonarr", "sonarr/", "", "/", "/a b", "/%2F"};
            int32_t kind = static_cast<int32_t>(op >> 5) % 5; // 4: an unknown kind
            uint8_t b = in.u8();
            std::string text = b % 8 == 6 ? in.text(300) : std::string(k_bases[b % 6]);
            const char *path = b % 8 == 7 ? nullptr : text.c_str();
            int32_t rc = kova_set_url_base(kind, path);
            FUZZ_CHECK(in_codes(rc, {KOVA_OK, KOVA_ERR_INVALID_ARG, KOVA_ERR_NOT_CONFIGURED, KOVA_ERR_OOM}));
            const char *url = kova_base_url(kind);
            check_text(url);
            size_t n = strlen(url);
            FUZZ_CHECK(n == 0 || url[n - 1] != '/');
            FUZZ_CHECK(strpbrk(url, "?# \\\"") == nullptr);
            break;
        }
        case 24: {
            int32_t i = arg_int(in);
            int32_t count = kova_result_count();
            std::string first = kova_result_title(0);
            int32_t rc = (op & 0x80) ? kova_sonarr_grab_release(i) : kova_radarr_grab_release(i);
            check_code(rc, false);
            // The current set stays as it was.
            FUZZ_CHECK(kova_result_count() == count);
            FUZZ_CHECK(first == kova_result_title(0));
            break;
        }
        case 25: {
            std::string imdb = arg_text(in, &n1);
            std::string profile = arg_text(in, &n2);
            std::string root = arg_text(in, &n3);
            int32_t flags = arg_int(in);
            int32_t season = arg_int(in);
            int32_t episode = arg_int(in);
            int32_t rc = (op & 0x80) ? kova_sonarr_get(n1 ? nullptr : imdb.c_str(), nullptr, season, episode,
                                                       n2 ? nullptr : profile.c_str(), n3 ? nullptr : root.c_str(), flags)
                                     : kova_radarr_get(n1 ? nullptr : imdb.c_str(), n2 ? nullptr : profile.c_str(),
                                                       n3 ? nullptr : root.c_str(), flags);
            check_code(rc, false);
            FUZZ_CHECK(kova_get_library_id() >= 0 && (kova_get_added() == 0 || kova_get_added() == 1));
            FUZZ_CHECK(kova_get_fallback() == 0 || kova_get_fallback() == 1);
            check_text(kova_get_root());
            check_text(kova_get_path());
            // An add that was made (or would be) settled its profile and its folder.
            FUZZ_CHECK(kova_get_profile_id() >= 0);
            if (kova_get_added() == 1) FUZZ_CHECK(kova_get_profile_id() > 0 && *kova_get_path() != '\0');
            if (kova_get_added() == 0) FUZZ_CHECK(kova_get_fallback() == 0 || kova_get_library_id() > 0);
            break;
        }
        case 26: {
            static const char *const k_urls_given[] = {"http://s", "https://[::1]:8989/sonarr/", "http://s:0",
                                                       "http://u@s", "ftp://s"};
            int32_t kind = static_cast<int32_t>(op >> 5) % 5; // 4: an unknown kind
            uint8_t b = in.u8();
            std::string url = b % 8 >= 5 ? in.text(300) : std::string(k_urls_given[b % 5]);
            int32_t rc = kova_configure_url(kind, b % 8 == 7 ? nullptr : url.c_str(), "k");
            FUZZ_CHECK(in_codes(rc, {KOVA_OK, KOVA_ERR_INVALID_ARG, KOVA_ERR_OOM}));
            check_text(kova_base_url(kind));
            if (rc == KOVA_OK) FUZZ_CHECK(strncmp(kova_base_url(kind), "http", 4) == 0);
            break;
        }
        case 27: {
            int32_t i = arg_int(in);
            std::string path = arg_text(in, &n1);
            check_text(kova_result_path(i, n1 ? nullptr : path.c_str()));
            std::string root = arg_text(in, &n2);
            int32_t at = kova_rootfolder_find(n2 ? nullptr : root.c_str());
            FUZZ_CHECK(at >= -1 && at < kova_rootfolder_count());
            if (at >= 0) FUZZ_CHECK(*kova_rootfolder_path(at) != '\0' && kova_rootfolder_free_space(at) >= -1);
            std::string profile = arg_text(in, &n3);
            int32_t id = kova_quality_profile_find(n3 ? nullptr : profile.c_str());
            FUZZ_CHECK(id > 0 || in_codes(id, {KOVA_ERR_EMPTY, KOVA_ERR_INVALID_ARG, KOVA_ERR_OOM}));
            check_text(kova_last_transport_error(), fuzz_limits::message);
            break;
        }
        case 28: {
            int32_t series = arg_int(in);
            int32_t season = arg_int(in);
            int32_t episode = arg_int(in);
            int32_t rc = kova_sonarr_releases_exact(series, season, episode);
            check_code(rc, false);
            break;
        }
        case 29: {
            std::string imdb = arg_text(in, &n1);
            std::string title = arg_text(in, &n2);
            std::string query = arg_text(in, &n3);
            int32_t type = static_cast<int32_t>(op >> 5) % 4; // 3: an unknown type
            int32_t season = arg_int(in);
            int32_t episode = arg_int(in);
            int32_t rc = kova_prowlarr_search(n1 ? nullptr : imdb.c_str(), n2 ? nullptr : title.c_str(),
                                              n3 ? nullptr : query.c_str(), type, season, episode);
            check_code(rc, false);
            if (rc == KOVA_OK) FUZZ_CHECK(kova_result_count() > 0 && kova_jackett_stage() != KOVA_STAGE_NONE);
            break;
        }
        case 30: {
            int32_t rc;
            const int64_t day = 86400, start = 1765324800;
            switch ((op >> 5) % 7) {
            case 0: rc = kova_prowlarr_test(); break;
            case 1: rc = kova_prowlarr_grab_release(arg_int(in)); break;
            case 2: {
                std::string text = in.text(1024);
                rc = kova_parse_prowlarr(text.c_str());
                break;
            }
            case 3: rc = kova_sonarr_queue(arg_int(in)); break;
            case 4: rc = kova_radarr_queue(arg_int(in)); break;
            case 5: rc = kova_sonarr_calendar(start, start + 7 * day); break;
            default: rc = kova_radarr_calendar(start + arg_int(in), start + 7 * day); break;
            }
            check_code(rc, false);
            break;
        }
        default:
            check_text(kova_fake_last_post_url());
            check_text(kova_fake_last_post_body());
            FUZZ_CHECK(kova_fake_calls(nullptr) >= kova_fake_post_count());
            break;
        }
        check_lists();
        check_document();
    }
    io.check_released();
    kova_reset();
    kova_fake_reset();
    return 0;
}

} // namespace sequence_fuzzer

KOVA_FUZZ_TARGET(sequence_fuzzer)
