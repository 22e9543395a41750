// Misuse that the interface allows: null texts everywhere, indexes and sizes
// at the ends of their ranges, calls in any order, and host transports that
// answer in odd ways. Each gives its documented result and never a crash.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "reliability/reliability_support.h"

namespace {

class Misuse : public HostTest {};

// ---------------------------------------------------------------------------
// A null pointer for every text argument of every export
// ---------------------------------------------------------------------------

struct null_case {
    const char *what;
    int32_t (*call)();
    int32_t rc;
    const char *error; // the last error afterwards; null: not checked
};

TEST_F(Misuse, NullTextArgumentsOfOperations) {
    kova_arm_library_writes(1);
    const null_case cases[] = {
        {"jackett host", [] { return kova_jackett_configure(nullptr, 0, 0, "k"); }, KOVA_ERR_INVALID_ARG,
         "Jackett: invalid host"},
        {"jackett key", [] { return kova_jackett_configure("h", 0, 0, nullptr); }, KOVA_ERR_INVALID_ARG,
         "Jackett: empty API key"},
        {"sonarr host", [] { return kova_sonarr_configure(nullptr, 0, 0, nullptr); }, KOVA_ERR_INVALID_ARG,
         "Sonarr: invalid host"},
        {"radarr key", [] { return kova_radarr_configure("h", 0, 0, nullptr); }, KOVA_ERR_INVALID_ARG,
         "Radarr: empty API key"},
        {"torznab", [] { return kova_parse_torznab_indexers(nullptr); }, KOVA_ERR_JSON,
         "Jackett: empty indexer list"},
        {"search all null", [] { return kova_jackett_search_imdb(nullptr, nullptr, nullptr); },
         KOVA_ERR_INVALID_ARG, "Jackett search: no IMDb id and no query"},
        {"search title only", [] { return kova_jackett_search_imdb(nullptr, "t", nullptr); }, KOVA_ERR_INVALID_ARG,
         "Jackett search: no IMDb id and no query"},
        {"search query", [] { return kova_jackett_search_query(nullptr); }, KOVA_ERR_INVALID_ARG,
         "Jackett search: empty query"},
        {"parse jackett", [] { return kova_parse_jackett(nullptr); }, KOVA_ERR_INVALID_ARG, "NULL input"},
        {"take jackett", [] { return kova_parse_jackett_take(nullptr, 0); }, KOVA_ERR_INVALID_ARG, "NULL input"},
        {"take jackett with a length", [] { return kova_parse_jackett_take(nullptr, SIZE_MAX); }, KOVA_ERR_INVALID_ARG,
         "NULL input"},
        {"sonarr lookup", [] { return kova_sonarr_lookup(nullptr, nullptr); }, KOVA_ERR_INVALID_ARG,
         "Sonarr lookup: no IMDb id and no title"},
        {"radarr lookup", [] { return kova_radarr_lookup_imdb(nullptr); }, KOVA_ERR_INVALID_ARG,
         "Radarr lookup: no IMDb id"},
        {"parse releases", [] { return kova_parse_arr_releases(nullptr); }, KOVA_ERR_INVALID_ARG, "NULL input"},
        {"sonarr add root", [] { return kova_sonarr_add_series(1, nullptr, 1); }, KOVA_ERR_INVALID_ARG,
         "Sonarr add: invalid tvdb id / root / profile"},
        {"radarr add root", [] { return kova_radarr_add_movie(1, nullptr, 1); }, KOVA_ERR_INVALID_ARG,
         "Radarr add: invalid tmdb id / root / profile"},
        {"sonarr search_or_add", [] { return kova_sonarr_search_or_add(nullptr, nullptr, 1, 1, nullptr); },
         KOVA_ERR_INVALID_ARG, "search_or_add: no IMDb id"},
        {"radarr search_or_add", [] { return kova_radarr_search_or_add(nullptr, nullptr); }, KOVA_ERR_INVALID_ARG,
         "search_or_add: no IMDb id"},
        {"profile pick without list", [] { return kova_quality_profile_pick(nullptr); }, -1, nullptr},
        {"url base", [] { return kova_set_url_base(KOVA_SONARR, nullptr); }, KOVA_OK, ""},
        {"sonarr get", [] { return kova_sonarr_get(nullptr, nullptr, 1, 1, nullptr, nullptr, 0); },
         KOVA_ERR_INVALID_ARG, "Sonarr get: no IMDb id"},
        {"radarr get", [] { return kova_radarr_get(nullptr, nullptr, nullptr, 0); }, KOVA_ERR_INVALID_ARG,
         "Radarr get: no IMDb id"},
        {"configure by url", [] { return kova_configure_url(KOVA_SONARR, nullptr, nullptr); }, KOVA_ERR_INVALID_ARG,
         "Sonarr: invalid URL: none given"},
        {"configure by url, key", [] { return kova_configure_url(KOVA_SONARR, "http://x", nullptr); },
         KOVA_ERR_INVALID_ARG, "Sonarr: empty API key"},
        {"profile find without list", [] { return kova_quality_profile_find(nullptr); }, KOVA_ERR_EMPTY,
         "no quality profiles are loaded (a Sonarr or Radarr test loads them)"},
        {"root find", [] { return kova_rootfolder_find(nullptr); }, -1, nullptr},
        {"prowlarr host", [] { return kova_prowlarr_configure(nullptr, 0, 0, "k"); }, KOVA_ERR_INVALID_ARG,
         "Prowlarr: invalid host"},
        {"prowlarr search", [] { return kova_prowlarr_search(nullptr, nullptr, nullptr, 0, 0, 0); },
         KOVA_ERR_INVALID_ARG, "Prowlarr search: no IMDb id and no query"},
        {"parse prowlarr", [] { return kova_parse_prowlarr(nullptr); }, KOVA_ERR_INVALID_ARG, "NULL input"},
    };
    for (const null_case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.call(), c.rc);
        if (c.error) {
            EXPECT_STREQ(kova_last_error(), c.error);
            EXPECT_EQ(kova_last_rc(), c.rc);
        }
    }
    EXPECT_TRUE(io.calls.empty());
    // The refused configurations left the earlier ones in force.
    EXPECT_STREQ(kova_base_url(KOVA_SONARR), "http://s:8989");
}

TEST_F(Misuse, NullTextArgumentsOfTheOtherExports) {
    EXPECT_EQ(kova_fake_set(nullptr, 200, "x"), KOVA_ERR_INVALID_ARG);
    EXPECT_EQ(kova_fake_set("u", 200, nullptr), KOVA_ERR_INVALID_ARG);
    EXPECT_EQ(kova_fake_fail(nullptr, "x"), KOVA_ERR_INVALID_ARG);
    EXPECT_EQ(kova_fake_calls(nullptr), 0);
    EXPECT_STREQ(kova_imdb_numeric(nullptr), "");
    EXPECT_STREQ(kova_result_field(0, nullptr), "");
    EXPECT_STREQ(kova_result_path(0, nullptr), "");
    EXPECT_EQ(kova_rtchk_handler(nullptr), nullptr);
    EXPECT_EQ(kova_result_size(0, nullptr), KOVA_ERR_NOT_FOUND);

    // A null failure text selects the default one.
    kova_use_fake();
    const std::string u = S("/api/v3/series", "tvdbId=1");
    EXPECT_EQ(kova_fake_fail(u.c_str(), nullptr), KOVA_OK);
    EXPECT_EQ(kova_sonarr_library_find(1), KOVA_ERR_TRANSPORT);

    // Null optional texts of the operations are absent inputs, not errors.
    ASSERT_EQ(kova_parse_jackett(R"({"Results":[{"Title":"x"}]})"), KOVA_OK);
    EXPECT_STREQ(kova_result_field(0, nullptr), "");
    EXPECT_STREQ(kova_result_field(0, "Title"), "x");

    // The validation's three pointers.
    kova_validate_fn fn = kova_rtchk_handler("SONARR")->validate;
    char buf[128] = "untouched";
    EXPECT_EQ(fn(&io.io, R"({"Host":"h","APIKey":"k"})", nullptr, 128), -9);
    EXPECT_EQ(fn(&io.io, nullptr, buf, sizeof buf), -8);
    EXPECT_STREQ(buf, R"({"error":"settings are NULL"})");
    EXPECT_EQ(fn(nullptr, R"({"Host":"h","APIKey":"k"})", buf, sizeof buf), -4);
    EXPECT_STREQ(buf, R"({"error":"no transport"})");
    EXPECT_EQ(fn(nullptr, R"({"Host":"","APIKey":"k"})", buf, sizeof buf), -8);
    EXPECT_STREQ(buf, R"({"error":"Host is empty"})");
}

// ---------------------------------------------------------------------------
// Indexes and sizes at the ends of their ranges
// ---------------------------------------------------------------------------

TEST_F(Misuse, IndexesOutOfRangeGiveTheirEmptyValues) {
    ASSERT_EQ(kova_parse_jackett(R"({"Results":[{"Title":"t","Category":[1,2]}],"Indexers":[{"ID":"a"}]})"),
              KOVA_OK);
    warnf(&current(), "one warning");
    const int32_t bad[] = {INT32_MIN, -1, 1, 2, INT32_MAX};
    for (int32_t i : bad) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(kova_result_title(i), "");
        EXPECT_STREQ(kova_result_field(i, "Title"), "");
        EXPECT_EQ(kova_result_category_count(i), 0);
        EXPECT_EQ(kova_result_category(i, 0), -1);
        EXPECT_EQ(kova_result_publish_date(i), -1);
        EXPECT_EQ(kova_result_full_season(i), 0);
        uint64_t size = 77;
        EXPECT_EQ(kova_result_size(i, &size), KOVA_ERR_NOT_FOUND);
        EXPECT_EQ(size, 77u);
        EXPECT_STREQ(kova_indexer_id(i), "");
        EXPECT_EQ(kova_indexer_status(i), -1);
        EXPECT_STREQ(kova_lookup_title(i), "");
        EXPECT_EQ(kova_lookup_library_id(i), -1);
        EXPECT_EQ(kova_quality_profile_id(i), -1);
        EXPECT_STREQ(kova_quality_profile_name(i), "");
        EXPECT_STREQ(kova_test_log_key(i), "");
        EXPECT_STREQ(kova_test_log_text(i), "");
        EXPECT_STREQ(kova_warning(i), "");
        EXPECT_STREQ(kova_result_path(i, "Title"), "");
        EXPECT_STREQ(kova_result_languages(i), "");
        EXPECT_STREQ(kova_result_rejection(i, 0), "");
        EXPECT_STREQ(kova_rootfolder_path(i), "");
        EXPECT_EQ(kova_rootfolder_free_space(i), -1);
    }
    for (int32_t j : {INT32_MIN, -1, 2, INT32_MAX}) EXPECT_EQ(kova_result_category(0, j), -1);
    EXPECT_EQ(kova_result_category(0, 1), 2);
    EXPECT_STREQ(kova_warning(0), "one warning");
    for (int32_t kind : {INT32_MIN, -1, 4, INT32_MAX}) {
        EXPECT_STREQ(kova_base_url(kind), "");
        EXPECT_EQ(kova_default_port(kind), 0);
        if (kind != -1) {
            EXPECT_STREQ(kova_strerror(kind), "ERR_UNKNOWN");
        }
    }
}

TEST_F(Misuse, NumbersAtTheEndsOfTheirRanges) {
    kova_arm_library_writes(1);
    struct num_case {
        const char *what;
        int32_t (*call)();
        int32_t rc;
    };
    const num_case cases[] = {
        {"port INT32_MAX", [] { return kova_sonarr_configure("h", INT32_MAX, 0, "k"); }, KOVA_ERR_INVALID_ARG},
        {"port 65536", [] { return kova_sonarr_configure("h", 65536, 0, "k"); }, KOVA_ERR_INVALID_ARG},
        {"find 0", [] { return kova_sonarr_library_find(0); }, KOVA_ERR_INVALID_ARG},
        {"find INT32_MIN", [] { return kova_radarr_library_find(INT32_MIN); }, KOVA_ERR_INVALID_ARG},
        {"releases series 0", [] { return kova_sonarr_releases(0, 1, 1); }, KOVA_ERR_INVALID_ARG},
        {"releases season -1", [] { return kova_sonarr_releases(1, -1, 0); }, KOVA_ERR_INVALID_ARG},
        {"releases episode INT32_MIN", [] { return kova_sonarr_releases(1, 0, INT32_MIN); }, KOVA_ERR_INVALID_ARG},
        {"movie INT32_MIN", [] { return kova_radarr_releases(INT32_MIN); }, KOVA_ERR_INVALID_ARG},
        {"add tvdb 0", [] { return kova_sonarr_add_series(0, "/tv", 1); }, KOVA_ERR_INVALID_ARG},
        {"add profile INT32_MIN", [] { return kova_radarr_add_movie(1, "/m", INT32_MIN); }, KOVA_ERR_INVALID_ARG},
        {"search_or_add season INT32_MIN",
         [] { return kova_sonarr_search_or_add("tt1", nullptr, INT32_MIN, 0, nullptr); }, KOVA_ERR_INVALID_ARG},
        {"search_or_add episode -1", [] { return kova_sonarr_search_or_add("tt1", nullptr, 0, -1, nullptr); },
         KOVA_ERR_INVALID_ARG},
        {"url base kind INT32_MIN", [] { return kova_set_url_base(INT32_MIN, "/x"); }, KOVA_ERR_INVALID_ARG},
        {"url base kind INT32_MAX", [] { return kova_set_url_base(INT32_MAX, nullptr); }, KOVA_ERR_INVALID_ARG},
        {"disarmed grab INT32_MAX",
         [] {
             int32_t armed = kova_library_writes_armed();
             kova_arm_library_writes(0);
             int32_t rc = kova_radarr_grab_release(INT32_MAX);
             kova_arm_library_writes(armed);
             return rc;
         },
         KOVA_ERR_NOT_ARMED},
        {"armed grab INT32_MIN",
         [] {
             kova_arm_library_writes(1);
             int32_t rc = kova_sonarr_grab_release(INT32_MIN);
             kova_arm_library_writes(0);
             return rc;
         },
         KOVA_ERR_INVALID_ARG},
        {"armed grab INT32_MAX",
         [] {
             kova_arm_library_writes(1);
             int32_t rc = kova_radarr_grab_release(INT32_MAX);
             kova_arm_library_writes(0);
             return rc;
         },
         KOVA_ERR_INVALID_ARG},
    };
    for (const num_case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.call(), c.rc);
    }
    EXPECT_TRUE(io.calls.empty());
    EXPECT_STREQ(kova_base_url(KOVA_SONARR), "http://s:8989");

    // Ports at or below zero take the default; INT32_MAX ids are sent as they are.
    EXPECT_EQ(kova_sonarr_configure("h", INT32_MIN, 1, "k"), KOVA_OK);
    EXPECT_STREQ(kova_base_url(KOVA_SONARR), "https://h:8989");
    EXPECT_EQ(kova_radarr_releases(INT32_MAX), KOVA_ERR_JSON); // the host answers "" (no route)
    EXPECT_EQ(io.calls.back().url, R("/api/v3/release", "movieId=2147483647"));
    EXPECT_EQ(kova_sonarr_releases(INT32_MAX, INT32_MAX, 0), KOVA_ERR_JSON);
    kova_set_timeout_ms(INT32_MIN);
    EXPECT_EQ(kova_timeout_ms(), 100000);
    kova_set_timeout_ms(INT32_MAX);
    EXPECT_EQ(kova_timeout_ms(), INT32_MAX);

    // Answer buffers of no usable size are never written.
    kova_validate_fn fn = kova_rtchk_handler("RADARR")->validate;
    for (int32_t size : {INT32_MIN, -1, 0}) {
        char buf[4] = "abc";
        EXPECT_EQ(fn(&io.io, "{}", buf, size), -9);
        EXPECT_STREQ(buf, "abc");
    }
    char one[1] = {'x'};
    EXPECT_EQ(fn(&io.io, "{}", one, 1), -8); // the error answer does not fit: ""
    EXPECT_EQ(one[0], '\0');
}

// ---------------------------------------------------------------------------
// Calls in any order
// ---------------------------------------------------------------------------

TEST_F(Misuse, AccessorsAndDocumentBeforeAnything) {
    kova_reset();
    EXPECT_EQ(kova_last_rc(), 0);
    EXPECT_STREQ(kova_last_error(), "");
    EXPECT_EQ(kova_result_count(), 0);
    EXPECT_STREQ(kova_result_title(0), "");
    EXPECT_EQ(kova_result_seeders(0), -1);
    EXPECT_EQ(kova_lookup_match(), -1);
    EXPECT_STREQ(kova_rootfolder(), "");
    EXPECT_STREQ(kova_result_field(0, "x"), "");
    EXPECT_STREQ(kova_result_json(),
                 R"({"stage":0,"rc":0,"results":[],"indexers":[],"indexers_errored":0,"warnings":[]})");
    EXPECT_EQ(kova_quality_profile_pick("x"), -1);
    // Operations before any configuration or transport.
    EXPECT_EQ(kova_sonarr_test(), KOVA_ERR_NOT_CONFIGURED);
    EXPECT_EQ(kova_jackett_search_query("q"), KOVA_ERR_NOT_CONFIGURED);
    EXPECT_EQ(kova_radarr_library_find(3), KOVA_ERR_NOT_CONFIGURED);
    ASSERT_EQ(kova_radarr_configure("r", 0, 0, "k"), KOVA_OK);
    EXPECT_EQ(kova_radarr_library_find(3), KOVA_ERR_NO_IO);
    EXPECT_EQ(kova_use_curl(), KOVA_ERR_NO_IO);
    EXPECT_EQ(kova_radarr_library_find(3), KOVA_ERR_NO_IO);
    EXPECT_TRUE(io.calls.empty());
}

TEST_F(Misuse, ResetInTheMiddleOfAWorkflowsResults) {
    kova_arm_library_writes(1);
    answer(R("/api/v3/movie/lookup/imdb", "imdbId=tt0133093"), 200,
           R"([{"title":"The Matrix","imdbId":"tt0133093","tmdbId":603}])");
    answer(R("/api/v3/movie", "tmdbId=603"), 200, R"([{"tmdbId":603,"id":31}])");
    answer(R("/api/v3/release", "movieId=31"), 200, R"([{"title":"r1"},{"title":"r2"}])");
    ASSERT_EQ(kova_radarr_search_or_add("tt0133093", nullptr), KOVA_OK);
    ASSERT_EQ(kova_result_count(), 2);
    const std::string field = kova_result_field(1, "title");
    EXPECT_EQ(field, "r2");
    (void)kova_result_json();
    kova_reset();
    EXPECT_EQ(kova_result_count(), 0);
    EXPECT_STREQ(kova_result_title(1), "");
    EXPECT_STREQ(kova_result_field(1, "title"), "");
    EXPECT_EQ(kova_lookup_count(), 0);
    EXPECT_EQ(kova_test_log_count(), 0);
    EXPECT_EQ(kova_library_writes_armed(), 0);
    EXPECT_EQ(kova_radarr_search_or_add("tt0133093", nullptr), KOVA_ERR_NOT_ARMED);
    // Re-arming, in any pattern, is idempotent.
    for (int32_t flag : {1, 1, 0, 0, -5, INT32_MIN}) {
        kova_arm_library_writes(flag);
        EXPECT_EQ(kova_library_writes_armed(), flag ? 1 : 0);
    }
    EXPECT_EQ(kova_radarr_search_or_add("tt0133093", nullptr), KOVA_ERR_NOT_CONFIGURED);
    configure();
    kova_arm_library_writes(1);
    EXPECT_EQ(kova_radarr_search_or_add("tt0133093", nullptr), KOVA_OK);
    EXPECT_EQ(kova_result_count(), 2);
}

TEST_F(Misuse, TransportSwitchedBetweenCalls) {
    answer(S("/api/v3/series", "tvdbId=5"), 200, R"([{"tvdbId":5,"id":8}])");
    ASSERT_EQ(kova_fake_set(S("/api/v3/series", "tvdbId=5").c_str(), 200, R"([{"tvdbId":5,"id":9}])"), KOVA_OK);
    EXPECT_EQ(kova_sonarr_library_find(5), 8);
    kova_use_fake();
    EXPECT_EQ(kova_sonarr_library_find(5), 9);
    kova_set_io(nullptr);
    EXPECT_EQ(kova_sonarr_library_find(5), KOVA_ERR_NO_IO);
    kova_set_io(&io.io);
    EXPECT_EQ(kova_sonarr_library_find(5), 8);
    // A table with holes: no get means no transport; no post fails only POSTs.
    kova_io holes = io.io;
    holes.get = nullptr;
    kova_set_io(&holes);
    EXPECT_EQ(kova_sonarr_library_find(5), KOVA_ERR_NO_IO);
    holes = io.io;
    holes.post = nullptr;
    kova_set_io(&holes);
    kova_arm_library_writes(1);
    answer(S("/api/v3/series/lookup", "term=tvdb%3A5"), 200, R"([{"tvdbId":5,"cleanTitle":"x"}])");
    EXPECT_EQ(kova_sonarr_add_series(5, "/tv", 1), KOVA_ERR_NO_IO);
    EXPECT_EQ(kova_last_http_code(), 200); // the lookup went out, the POST did not
}

// ---------------------------------------------------------------------------
// Host transports answering in odd ways
// ---------------------------------------------------------------------------

TEST_F(Misuse, OddTransportAnswers) {
    const std::string u = S("/api/v3/series", "tvdbId=5");
    struct odd_case {
        const char *what;
        RecordingIo::Answer a;
        int32_t rc;
        int32_t http;
        const char *error;
    };
    const odd_case cases[] = {
        {"nonzero with a body", {1, 200, R"([{"tvdbId":5,"id":8}])", "boom", true}, KOVA_ERR_TRANSPORT, 200,
         "Sonarr library: transport failure"},
        {"nonzero, 503, no body", {7, 503, nullptr, nullptr, true}, KOVA_ERR_TRANSPORT, 503,
         "Sonarr library: transport failure"},
        {"zero, no body, status 0", {0, 0, nullptr, nullptr, true}, KOVA_ERR_HTTP, 0, "Sonarr library: HTTP 0"},
        {"zero, status untouched", {0, 0, nullptr, nullptr, false}, KOVA_ERR_HTTP, 0, "Sonarr library: HTTP 0"},
        {"status 1000", {0, 1000, "[]", nullptr, true}, KOVA_ERR_HTTP, 1000, "Sonarr library: HTTP 1000"},
        {"status -1", {0, -1, "[]", nullptr, true}, KOVA_ERR_HTTP, -1, "Sonarr library: HTTP -1"},
        {"status INT32_MIN", {0, INT32_MIN, "[]", nullptr, true}, KOVA_ERR_HTTP, INT32_MIN,
         "Sonarr library: HTTP -2147483648"},
        {"204 without body", {0, 204, nullptr, nullptr, true}, KOVA_ERR_JSON, 204,
         "Sonarr library: not a JSON array"},
        {"success with an error text", {0, 200, R"([{"tvdbId":5,"id":8}])", "ignored", true}, 8, 200, ""},
        {"403", {0, 403, "", nullptr, true}, KOVA_ERR_AUTH, 403, "Sonarr library: HTTP 403 (API key rejected)"},
    };
    for (const odd_case &c : cases) {
        SCOPED_TRACE(c.what);
        io.answers[u] = c.a;
        EXPECT_EQ(kova_sonarr_library_find(5), c.rc);
        EXPECT_EQ(kova_last_http_code(), c.http);
        EXPECT_STREQ(kova_last_error(), c.error);
    }
    EXPECT_EQ(io.unreleased(), 0);
    EXPECT_EQ(io.released_twice(), 0);
}

// A body is text: whatever follows an embedded NUL is not read. With no
// release entry the library frees the transport's texts itself.
int32_t nul_get(void *, const char *, char **body, int32_t *status, char **error) {
    static const char k_body[] = "[{\"tvdbId\":5,\"id\":8}]\0[{\"tvdbId\":5,\"id\":9}]";
    *body = static_cast<char *>(malloc(sizeof k_body));
    memcpy(*body, k_body, sizeof k_body);
    *error = static_cast<char *>(malloc(4));
    memcpy(*error, "err", 4);
    *status = 200;
    return 0;
}

TEST_F(Misuse, EmbeddedNulAndNoReleaseEntry) {
    const kova_io table = {nullptr, nul_get, nullptr, nullptr};
    kova_set_io(&table);
    EXPECT_EQ(kova_sonarr_library_find(5), 8);
    kova_set_io(&io.io);
}

// A 100 MB answer goes through whole: the copy, the parse, the accessors,
// the release.
TEST_F(Misuse, HundredMegabyteBody) {
    if (under_valgrind()) GTEST_SKIP() << "too slow under memcheck";
    std::string rows = R"({"Results":[{"Title":")";
    rows.append(100u << 20, 'x');
    rows += R"("}]})";
    const std::string u = J("/api/v2.0/indexers/all/results", "Query=big");
    bodies.push_back(std::move(rows));
    io.answers[u] = RecordingIo::Answer{0, 200, bodies.back().c_str(), nullptr, true};
    EXPECT_EQ(kova_jackett_search_query("big"), KOVA_OK);
    EXPECT_EQ(strlen(kova_result_title(0)), 100u << 20);
    kova_reset();
    bodies.clear();
    io.answers.clear();
}

} // namespace
