// Allocation-failure sweep of the whole exported interface.
//
// Every export that allocates is swept over each of its paths: for n = 1, 2,
// ... the n-th allocation of the call fails, until a run injects nothing.
// Each failing run must end in one of two ways:
//   - ERR_OOM with the last error "out of memory"; or
//   - the normal result code, with only a warning or a test-log entry lost
//     (the documented silent degradation of warnf / log_append), the
//     results themselves unchanged.
// After every failing run the same call, now without a failure, must give
// the normal result and the normal state (the context stayed consistent),
// and at exit LeakSanitizer (ASan builds) checks that nothing leaked.
//
// The operations run on a host transport that allocates with plain malloc,
// so every injected failure is the library's own; the fake transport's own
// allocations (routes, served copies, the POST record) have their own sweep.
//
// Swept exports and paths:
//   kova_{jackett,sonarr,radarr}_configure   success (the refusals allocate nothing)
//   kova_jackett_test                        indexers; no indexer (warning); Torznab error 100;
//                                            not a list; HTTP 500 with a body; transport failure
//   kova_sonarr_test, kova_radarr_test       OK; no root folder; no profile; root not an array;
//                                            profiles not an array; 401
//   kova_parse_torznab_indexers              list with entities; error; no list
//   kova_jackett_search_imdb                 stage 1; stage 2 with the IMDb filter; stage 3;
//                                            no rows anywhere; partial; all indexers failed;
//                                            404; not JSON
//   kova_jackett_search_query                rows; invalid Unicode mended
//   kova_parse_jackett                       rows, indexers and warnings; not JSON; no Results;
//                                            3000 rows (several blocks of row storage); invalid
//                                            Unicode mended; invalid Unicode and not JSON
//   kova_parse_jackett_take                  rows; not JSON; invalid Unicode mended; 3000 rows
//   kova_sonarr_lookup                       IMDb match; IMDb empty then title; no series;
//                                            no match; single object; not JSON; invalid Unicode
//   kova_radarr_lookup_imdb                  match; 404; 500 "was not found"; other IMDb id
//   kova_{sonarr,radarr}_library_find        present; absent; not an array
//   kova_sonarr_releases                     episode found; episode missing (warning) then
//                                            season; whole season; no releases; episode list
//                                            not an array
//   kova_radarr_releases                     rows; no releases; not JSON; invalid Unicode
//   kova_parse_arr_releases                  rows with a warning; empty; not an array; 3000 rows;
//                                            invalid Unicode
//   kova_sonarr_add_series, kova_radarr_add_movie
//                                            added; already in the library; not found;
//                                            POST refused (with and without an explanation);
//                                            answer without id; with a language profile
//   kova_set_url_base                        set; cleared; refused
//   kova_{sonarr,radarr}_grab_release        sent; refused with an explanation; another
//                                            service's set
//   kova_sonarr_search_or_add, kova_radarr_search_or_add
//                                            add branch; already-in-library branch; no root
//                                            folder (F11); no profile (F12); lookup without
//                                            match; add refused; episode fallback
//   kova_sonarr_get, kova_radarr_get         add with choices; dry run; not armed; unknown
//                                            root or profile; in the library; exact episode
//   kova_sonarr_releases_exact, kova_quality_profile_find, kova_configure_url
//   kova_result_field, kova_result_json, kova_result_languages, kova_result_path
//                                            their own sweeps (degrade to "")
//   the three handler records' validate      success (new ID, reported port); key rejected;
//                                            settings refused; test failing
//   kova_fake_set, kova_fake_fail, kova_fake_last_post_url and _body, serving and POST recording
//                                            the fake transport's own sweep
//
// Not swept, because they never allocate (NonAllocatingExports checks this
// with every allocation failing): kova_version, kova_strerror, kova_last_rc,
// kova_last_http_code, kova_last_error, kova_warning_count, kova_warning,
// kova_reset, kova_arm_library_writes, kova_library_writes_armed,
// kova_base_url, kova_default_port, kova_set_io, kova_use_curl,
// kova_use_fake, kova_set_timeout_ms, kova_timeout_ms, kova_fake_reset,
// kova_fake_calls, kova_fake_post_count,
// kova_imdb_numeric, kova_quality_profile_pick, every accessor but
// kova_result_field, kova_rtchk_handler and rtchk_get.
#include <cstdlib>
#include <cstring>
#include <functional>

#include "reliability/reliability_support.h"

namespace {

const char k_jackett_rows[] =
    R"({"Results":[{"Title":"A.Film.2001","Tracker":{"x":1},"Imdb":"tt0000123","Size":123,"Seeders":"5",)"
    R"("Category":[2000,{"id":2040}],"PublishDate":"2024-03-01T12:00:00Z","DownloadVolumeFactor":0.5,"TMDb":603},)"
    R"({"Title":"B","Imdb":42,"Size":"7"},5],"Indexers":[{"ID":"a","Name":"A","Status":0,"Results":2},3]})";
const char k_jackett_none[] = R"({"Results":[],"Indexers":[{"ID":"a","Name":"A","Status":0}]})";
const char k_jackett_title[] =
    R"({"Results":[{"Title":"same","Imdb":"tt0000123"},{"Title":"other","Imdb":"tt0000999"},{"Title":"none"}]})";
const char k_jackett_other[] = R"({"Results":[{"Title":"other","Imdb":"tt0000999"}]})";
const char k_jackett_partial[] =
    R"({"Results":[{"Title":"r"}],"Indexers":[{"ID":"a","Status":1,"Error":"down"},{"ID":"b","Status":0}]})";
const char k_jackett_failed[] = R"({"Results":[],"Indexers":[{"ID":"a","Status":1},{"ID":"b","Status":"1"}]})";
const char k_torznab[] = "<indexers><indexer id=\"a\" configured=\"true\"><title>A &amp; B</title></indexer>"
                         "<indexer id='b'><title>B</title></indexer><indexer id=\"c\" configured=\"false\"/>"
                         "</indexers>";
const char k_root[] = R"([{"path":"/tv/"},{"path":"/other"}])";
const char k_profiles[] = R"([{"id":4,"name":"SD"},{"id":"6","name":"HD"},7,{"name":"no id"}])";
const char k_series[] = R"([{"title":"Breaking Bad","cleanTitle":"breakingbad","imdbId":"tt0903747","tvdbId":81189,)"
                        R"("year":2008,"id":0,"seasons":[{"seasonNumber":1,"monitored":true},{"seasonNumber":2}],)"
                        R"("monitored":true,"path":"/old"},{"title":"Other","imdbId":"tt1","tvdbId":5}])";
const char k_series_in_library[] =
    R"([{"title":"Breaking Bad","cleanTitle":"breakingbad","imdbId":"tt0903747","tvdbId":81189,"id":17}])";
const char k_movie[] = R"([{"title":"The Matrix","cleanTitle":"thematrix","imdbId":"tt0133093","tmdbId":603,)"
                       R"("year":1999,"id":0,"monitored":true,"addOptions":{"x":1}}])";
const char k_movie_in_library[] =
    R"([{"title":"The Matrix","cleanTitle":"thematrix","imdbId":"tt0133093","tmdbId":603,"id":31}])";
const char k_episodes[] = R"([{"episodeNumber":1,"seasonNumber":1,"id":900},{"episodeNumber":2,"seasonNumber":1,"id":901}])";
const char k_releases[] = R"([{"title":"Breaking.Bad.S01E02","indexer":"t","indexerId":3,"size":123,"seeders":5,)"
                          R"("leechers":1,"indexerFlags":["G_Halfleech"],"episodeNumbers":[2],"seasonNumber":1,)"
                          R"("categories":[{"id":5030}],"publishDate":"2024-03-01","tvdbId":81189,"infoUrl":[1]},3])";

const char k_validation_failures[] =
    R"([{"propertyName":"RootFolderPath","errorMessage":"Folder '/tv' does not exist"},)"
    R"({"propertyName":"LanguageProfileId","errorMessage":"Language profile does not exist"}])";

class OomSweep : public HostTest {
protected:
    struct path_case {
        const char *path;
        std::function<void()> state; // after the configuration, before the call
        std::function<int32_t()> call;
        int32_t normal;              // the result code of the path without failures
        bool allocates = true;       // false: the path fails before its first allocation
    };

    // Sweeps one path; returns the number of failing runs.
    int sweep(const path_case &c) {
        SCOPED_TRACE(c.path);
        auto setup = [&] {
            configure();
            if (c.state) c.state();
        };
        setup();
        int32_t want = c.call();
        EXPECT_EQ(want, c.normal) << "the path is not the one meant: " << kova_last_error();
        observed normal = observe();
        int oom = 0;
        int runs = oom_sweep(setup, c.call, [&](int32_t rc, bool injected) {
            if (!injected) {
                EXPECT_EQ(rc, want);
                EXPECT_EQ(observe(), normal);
                return;
            }
            observed got = observe();
            if (rc == KOVA_ERR_OOM) {
                ++oom;
                EXPECT_EQ(kova_last_rc(), KOVA_ERR_OOM);
                EXPECT_STREQ(kova_last_error(), "out of memory");
            } else {
                // A lost warning or test-log entry; nothing else may change.
                EXPECT_EQ(rc, want);
                EXPECT_EQ(got.core, normal.core);
                EXPECT_LE(got.warnings, normal.warnings);
                EXPECT_LE(got.log_entries, normal.log_entries);
                // (A test-log text joined from names may also come out short.)
                EXPECT_TRUE(got.warnings < normal.warnings || got.log != normal.log)
                    << "a failed allocation left no trace: " << got;
            }
            EXPECT_EQ(c.call(), want);
            EXPECT_EQ(observe(), normal);
        });
        // The failing runs per path, for the coverage record (--gtest_output=xml).
        RecordProperty(c.path, runs);
        if (c.allocates) {
            EXPECT_GT(runs, 0);
            EXPECT_GT(oom, 0) << "no allocation failure of this path reports ERR_OOM";
        } else {
            EXPECT_EQ(runs, 0);
        }
        return runs;
    }

    void sweep_all(const std::vector<path_case> &cases) {
        for (const path_case &c : cases) sweep(c);
    }

    // The answers every Sonarr/Radarr chain needs.
    void sonarr_answers() {
        answer(S("/api/v3/rootfolder"), 200, k_root);
        answer(S("/api/v3/qualityprofile"), 200, k_profiles);
        answer(S("/api/v3/series/lookup", "term=tt0903747"), 200, k_series);
        answer(S("/api/v3/series/lookup", "term=tvdb%3A81189"), 200, k_series);
        // The library list and the add share one URL: an answer without a
        // tvdbId is an absent series to the find and the new id to the add.
        answer(S("/api/v3/series", "tvdbId=81189"), 200, R"([{"id":17}])");
        answer(S("/api/v3/episode", "seriesId=17&seasonNumber=1"), 200, k_episodes);
        answer(S("/api/v3/release", "episodeId=901"), 200, k_releases);
        answer(S("/api/v3/release", "seriesId=17&seasonNumber=1"), 200, k_releases);
    }
    void radarr_answers() {
        answer(R("/api/v3/rootfolder"), 200, k_root);
        answer(R("/api/v3/qualityprofile"), 200, k_profiles);
        answer(R("/api/v3/movie/lookup/imdb", "imdbId=tt0133093"), 200, k_movie);
        answer(R("/api/v3/movie/lookup/tmdb", "tmdbId=603"), 200, k_movie);
        answer(R("/api/v3/movie", "tmdbId=603"), 200, "[]");
        answer(R("/api/v3/movie"), 201, R"({"id":31,"title":"The Matrix"})");
        answer(R("/api/v3/release", "movieId=31"), 200, k_releases);
    }
    static void arm() { kova_arm_library_writes(1); }
};

TEST_F(OomSweep, Configuration) {
    sweep_all({
        {"jackett", nullptr, [] { return kova_jackett_configure("::1", 0, 1, "a key"); }, KOVA_OK},
        {"sonarr", nullptr, [] { return kova_sonarr_configure("host.example", 8000, 0, "k"); }, KOVA_OK},
        {"radarr", nullptr, [] { return kova_radarr_configure("192.0.2.1", -1, 0, "k/+"); }, KOVA_OK},
    });
}

TEST_F(OomSweep, ConnectionTests) {
    const std::string torznab = J("/api/v2.0/indexers/all/results/torznab/api", "t=indexers&configured=true");
    auto jackett = [this, torznab](const char *body, int32_t status) {
        return [this, torznab, body, status] { answer(torznab, status, body); };
    };
    sweep_all({
        {"jackett indexers", jackett(k_torznab, 200), kova_jackett_test, KOVA_OK},
        {"jackett no indexer", jackett("<indexers></indexers>", 200), kova_jackett_test, KOVA_OK},
        {"jackett error 100", jackett("<error code=\"100\"/>", 200), kova_jackett_test, KOVA_ERR_AUTH},
        {"jackett not a list", jackett("<rss/>", 200), kova_jackett_test, KOVA_ERR_JSON},
        {"jackett HTTP 500", jackett("boom", 500), kova_jackett_test, KOVA_ERR_HTTP},
        {"jackett transport", [this, torznab] { fail(torznab); }, kova_jackett_test, KOVA_ERR_TRANSPORT},
    });
    sweep_all({
        {"sonarr ok", [this] { sonarr_answers(); }, kova_sonarr_test, KOVA_OK},
        {"radarr ok", [this] { radarr_answers(); }, kova_radarr_test, KOVA_OK},
        {"sonarr no root", [this] { sonarr_answers(); answer(S("/api/v3/rootfolder"), 200, R"([{"path":"/"}])"); },
         kova_sonarr_test, KOVA_ERR_EMPTY},
        {"sonarr no profile", [this] { sonarr_answers(); answer(S("/api/v3/qualityprofile"), 200, "[]"); },
         kova_sonarr_test, KOVA_ERR_EMPTY},
        {"radarr root not array", [this] { radarr_answers(); answer(R("/api/v3/rootfolder"), 200, "{}"); },
         kova_radarr_test, KOVA_ERR_JSON},
        {"radarr profiles not array", [this] { radarr_answers(); answer(R("/api/v3/qualityprofile"), 200, "nope"); },
         kova_radarr_test, KOVA_ERR_JSON},
        {"sonarr 401", [this] { answer(S("/api/v3/rootfolder"), 401, "{}"); }, kova_sonarr_test, KOVA_ERR_AUTH},
    });
    sweep_all({
        {"torznab list", nullptr, [] { return kova_parse_torznab_indexers(k_torznab); }, KOVA_OK},
        {"torznab error", nullptr, [] { return kova_parse_torznab_indexers("<error code=\"201\">"); }, KOVA_ERR_HTTP,
         false},
        {"torznab no list", nullptr, [] { return kova_parse_torznab_indexers("<x/>"); }, KOVA_ERR_JSON, false},
    });
}

// Answers whose rows build more text than one block of row storage holds.
std::string many_rows(const char *open, const char *row, int n, const char *close) {
    std::string s = open;
    for (int i = 0; i < n; ++i) s += (i ? "," : "") + std::string(row);
    return s + close;
}
const std::string k_jackett_many =
    many_rows(R"({"Results":[)", R"({"Title":"t","TMDb":123456789,"TVDBId":-42,"Category":[1,2,3,4],"Seeders":"7"})",
              3000, R"(],"Indexers":[{"ID":"a","Status":0}]})");
// kova_parse_jackett_take of a malloc'd copy of text (the test's allocation
// is not swept: only the library's are).
int32_t take(const std::string &text) {
    char *buf = static_cast<char *>(malloc(text.size() + 1));
    if (!buf) return KOVA_ERR_OOM;
    memcpy(buf, text.data(), text.size());
    return kova_parse_jackett_take(buf, text.size());
}
const std::string k_releases_many =
    many_rows("[", R"({"title":"r","tmdbId":603,"tvdbId":1.5,"categories":[5030,{"id":5040}],"indexerId":12})", 3000,
              "]");

TEST_F(OomSweep, JackettSearch) {
    const std::string path = "/api/v2.0/indexers/all/results";
    auto q = [path](const char *query) { return J(path, std::string("Query=") + query); };
    auto stages = [this, q](const char *imdb, const char *title, const char *query) {
        return [this, q, imdb, title, query] {
            answer(q("tt0000123"), 200, imdb);
            answer(q("A%20Title"), 200, title);
            answer(q("a%20query"), 200, query);
        };
    };
    auto search = [] { return kova_jackett_search_imdb("tt0000123", "A Title", "a query"); };
    sweep_all({
        {"stage 1", stages(k_jackett_rows, k_jackett_none, k_jackett_none), search, KOVA_OK},
        {"stage 2 filter", stages(k_jackett_none, k_jackett_title, k_jackett_none), search, KOVA_OK},
        {"stage 3", stages(k_jackett_none, k_jackett_other, k_jackett_rows), search, KOVA_OK},
        {"no rows", stages(k_jackett_none, k_jackett_other, k_jackett_none), search, KOVA_ERR_EMPTY},
        {"partial", stages(k_jackett_partial, k_jackett_none, k_jackett_none), search, KOVA_PARTIAL},
        {"all failed", stages(k_jackett_failed, k_jackett_failed, k_jackett_failed), search, KOVA_ERR_INDEXERS},
        {"404", [this, q] { answer(q("tt0000123"), 404, "nothing"); }, search, KOVA_ERR_NOT_FOUND},
        {"not JSON", [this, q] { answer(q("tt0000123"), 200, "<html>"); }, search, KOVA_ERR_JSON},
        {"query", [this, q] { answer(q("a%20query"), 200, k_jackett_rows); },
         [] { return kova_jackett_search_query("a query"); }, KOVA_OK},
        {"query invalid Unicode",
         [this, q] { answer(q("a%20query"), 200, "{\"Results\":[{\"Title\":\"\xe2\x82\"},{\"Title\":\"ok\"}]}"); },
         [] { return kova_jackett_search_query("a query"); }, KOVA_OK},
        {"parse rows", nullptr, [] { return kova_parse_jackett(k_jackett_rows); }, KOVA_OK},
        {"parse not JSON", nullptr, [] { return kova_parse_jackett("{"); }, KOVA_ERR_JSON},
        {"parse invalid Unicode", nullptr,
         [] { return kova_parse_jackett("{\"Results\":[{\"Title\":\"a\xff\"},{\"Title\":\"\\ud800\"}]}"); },
         KOVA_OK},
        {"parse invalid Unicode, not JSON", nullptr,
         [] { return kova_parse_jackett("{\"Results\":[{\"Title\":\"a\xff\"},]}"); }, KOVA_ERR_JSON},
        {"parse no Results", nullptr, [] { return kova_parse_jackett(R"({"Indexers":5})"); }, KOVA_ERR_JSON},
        {"parse many rows", nullptr, [] { return kova_parse_jackett(k_jackett_many.c_str()); }, KOVA_OK},
        {"take rows", nullptr, [] { return take(k_jackett_rows); }, KOVA_OK},
        {"take not JSON", nullptr, [] { return take("{"); }, KOVA_ERR_JSON},
        {"take invalid Unicode", nullptr,
         [] { return take("{\"Results\":[{\"Title\":\"a\xff\"},{\"Title\":\"\\ud800\"}]}"); }, KOVA_OK},
        {"take many rows", nullptr, [] { return take(k_jackett_many); }, KOVA_OK},
    });
}

TEST_F(OomSweep, LookupsAndLibraryFind) {
    const std::string by_imdb = S("/api/v3/series/lookup", "term=tt0903747");
    const std::string by_title = S("/api/v3/series/lookup", "term=Breaking%20Bad");
    const std::string radarr = R("/api/v3/movie/lookup/imdb", "imdbId=tt0133093");
    auto sonarr = [] { return kova_sonarr_lookup("tt0903747", "Breaking Bad"); };
    sweep_all({
        {"sonarr match", [this, by_imdb] { answer(by_imdb, 200, k_series); }, sonarr, KOVA_OK},
        {"sonarr by title",
         [this, by_imdb, by_title] { answer(by_imdb, 200, "[]"); answer(by_title, 200, k_series); }, sonarr,
         KOVA_OK},
        {"sonarr nothing", [this, by_imdb, by_title] { answer(by_imdb, 200, "[]"); answer(by_title, 200, "[]"); },
         sonarr, KOVA_ERR_EMPTY},
        {"sonarr no match", [this, by_imdb] { answer(by_imdb, 200, R"([{"imdbId":"tt0903747"},{"tvdbId":3}])"); },
         sonarr, KOVA_ERR_NOT_FOUND},
        {"sonarr object", [this, by_imdb] { answer(by_imdb, 200, R"({"imdbId":"tt0903747","tvdbId":3})"); }, sonarr,
         KOVA_OK},
        {"sonarr not JSON", [this, by_imdb] { answer(by_imdb, 200, "5"); }, sonarr, KOVA_ERR_JSON},
        {"sonarr invalid Unicode",
         [this, by_imdb] { answer(by_imdb, 200, "[{\"title\":\"\xc3\",\"imdbId\":\"tt0903747\",\"tvdbId\":3}]"); },
         sonarr, KOVA_OK},
        {"radarr match", [this, radarr] { answer(radarr, 200, k_movie); },
         [] { return kova_radarr_lookup_imdb("tt0133093"); }, KOVA_OK},
        {"radarr 404", [this, radarr] { answer(radarr, 404, "{}"); },
         [] { return kova_radarr_lookup_imdb("tt0133093"); }, KOVA_ERR_NOT_FOUND},
        {"radarr 500 not found", [this, radarr] { answer(radarr, 500, "movie was not found"); },
         [] { return kova_radarr_lookup_imdb("tt0133093"); }, KOVA_ERR_NOT_FOUND},
        {"radarr other id", [this, radarr] { answer(radarr, 200, R"([{"imdbId":"tt1","tmdbId":3}])"); },
         [] { return kova_radarr_lookup_imdb("tt0133093"); }, KOVA_ERR_NOT_FOUND},
        {"sonarr find present", [this] { answer(S("/api/v3/series", "tvdbId=81189"), 200, k_series_in_library); },
         [] { return kova_sonarr_library_find(81189); }, 17},
        {"radarr find absent", [this] { answer(R("/api/v3/movie", "tmdbId=603"), 200, "[{}]"); },
         [] { return kova_radarr_library_find(603); }, 0},
        {"radarr find not array", [this] { answer(R("/api/v3/movie", "tmdbId=603"), 200, "{}"); },
         [] { return kova_radarr_library_find(603); }, KOVA_ERR_JSON},
    });
}

TEST_F(OomSweep, ReleaseSearches) {
    auto sonarr = [] { return kova_sonarr_releases(17, 1, 2); };
    sweep_all({
        {"episode", [this] { sonarr_answers(); }, sonarr, KOVA_OK},
        {"episode missing then season", [this] { sonarr_answers(); }, [] { return kova_sonarr_releases(17, 1, 9); },
         KOVA_OK},
        {"season", [this] { sonarr_answers(); }, [] { return kova_sonarr_releases(17, 1, 0); }, KOVA_OK},
        {"no releases",
         [this] { sonarr_answers(); answer(S("/api/v3/release", "episodeId=901"), 200, "[]"); }, sonarr,
         KOVA_ERR_EMPTY},
        {"episode list not array",
         [this] { answer(S("/api/v3/episode", "seriesId=17&seasonNumber=1"), 200, "{}"); }, sonarr, KOVA_ERR_JSON},
        {"radarr", [this] { radarr_answers(); }, [] { return kova_radarr_releases(31); }, KOVA_OK},
        {"radarr none", [this] { answer(R("/api/v3/release", "movieId=31"), 200, "[]"); },
         [] { return kova_radarr_releases(31); }, KOVA_ERR_EMPTY},
        {"radarr not JSON", [this] { answer(R("/api/v3/release", "movieId=31"), 200, "[1,"); },
         [] { return kova_radarr_releases(31); }, KOVA_ERR_JSON},
        {"radarr invalid Unicode", [this] { answer(R("/api/v3/release", "movieId=31"), 200, "[{\"title\":\"\\ud800x\"}]"); },
         [] { return kova_radarr_releases(31); }, KOVA_OK},
        {"parse rows", nullptr, [] { return kova_parse_arr_releases(k_releases); }, KOVA_OK},
        {"parse empty", nullptr, [] { return kova_parse_arr_releases("[]"); }, KOVA_ERR_EMPTY},
        {"parse object", nullptr, [] { return kova_parse_arr_releases("{}"); }, KOVA_ERR_JSON},
        {"parse invalid Unicode", nullptr, [] { return kova_parse_arr_releases("[{\"title\":\"\\udc00\xfe\"}]"); },
         KOVA_OK},
        {"parse many rows", nullptr, [] { return kova_parse_arr_releases(k_releases_many.c_str()); }, KOVA_OK},
    });
}

TEST_F(OomSweep, LibraryAdds) {
    auto sonarr = [] { return kova_sonarr_add_series(81189, "/tv/", 6); };
    auto radarr = [] { return kova_radarr_add_movie(603, "/movies", 4); };
    sweep_all({
        {"sonarr added", [this] { arm(); sonarr_answers(); }, sonarr, 17},
        {"sonarr in library",
         [this] { arm(); answer(S("/api/v3/series/lookup", "term=tvdb%3A81189"), 200, k_series_in_library); },
         sonarr, KOVA_ERR_INVALID_ARG},
        {"sonarr not found",
         [this] { arm(); answer(S("/api/v3/series/lookup", "term=tvdb%3A81189"), 200, "[{\"tvdbId\":1}]"); },
         sonarr, KOVA_ERR_NOT_FOUND},
        {"sonarr refused",
         [this] { arm(); sonarr_answers(); answer(S("/api/v3/series", "tvdbId=81189"), 400, "[{\"e\":1}]"); },
         sonarr, KOVA_ERR_HTTP},
        {"radarr added", [this] { arm(); radarr_answers(); }, radarr, 31},
        {"radarr in library",
         [this] { arm(); answer(R("/api/v3/movie/lookup/tmdb", "tmdbId=603"), 200, k_movie_in_library); },
         radarr, KOVA_ERR_INVALID_ARG},
        {"radarr 404", [this] { arm(); answer(R("/api/v3/movie/lookup/tmdb", "tmdbId=603"), 404, "{}"); }, radarr,
         KOVA_ERR_NOT_FOUND},
        {"radarr no id",
         [this] { arm(); radarr_answers(); answer(R("/api/v3/movie"), 201, R"({"id":0})"); }, radarr,
         KOVA_ERR_JSON},
        {"sonarr added with a language profile",
         [this] {
             arm();
             sonarr_answers();
             answer(S("/api/v3/languageprofile"), 200, R"([{"id":1,"name":"English"}])");
         },
         sonarr, 17},
        {"sonarr refused with an explanation",
         [this] {
             arm();
             sonarr_answers();
             answer(S("/api/v3/series", "tvdbId=81189"), 400, k_validation_failures);
         },
         sonarr, KOVA_ERR_HTTP},
    });
}

TEST_F(OomSweep, UrlBaseAndGrab) {
    auto releases = [this] {
        arm();
        radarr_answers();
        sonarr_answers();
        answer(R("/api/v3/release", "movieId=31"), 200, R"([{"guid":"g-1","indexerId":3,"title":"A.Film"}])");
        ASSERT_EQ(kova_radarr_releases(31), KOVA_OK);
    };
    sweep_all({
        {"url base", nullptr, [] { return kova_set_url_base(KOVA_SONARR, "//sonarr/"); }, KOVA_OK},
        {"url base cleared", [] { kova_set_url_base(KOVA_SONARR, "/sonarr"); },
         [] { return kova_set_url_base(KOVA_SONARR, nullptr); }, KOVA_OK},
        {"url base refused", nullptr, [] { return kova_set_url_base(KOVA_SONARR, "/a b"); }, KOVA_ERR_INVALID_ARG,
         false},
        {"grab", [&] { releases(); answer(R("/api/v3/release"), 200, "{}"); },
         [] { return kova_radarr_grab_release(0); }, KOVA_OK},
        {"grab refused with an explanation",
         [&] { releases(); answer(R("/api/v3/release"), 400, R"({"title":"Bad","errors":{"Guid":["Unknown"]}})"); },
         [] { return kova_radarr_grab_release(0); }, KOVA_ERR_HTTP},
        {"grab of another service's set", [&] { releases(); }, [] { return kova_sonarr_grab_release(0); },
         KOVA_ERR_INVALID_ARG, false},
    });
}

TEST_F(OomSweep, SearchOrAdd) {
    auto sonarr = [] { return kova_sonarr_search_or_add("tt0903747", "Breaking Bad", 1, 2, "HD"); };
    auto radarr = [] { return kova_radarr_search_or_add("tt0133093", nullptr); };
    sweep_all({
        {"sonarr add branch", [this] { arm(); sonarr_answers(); }, sonarr, KOVA_OK},
        {"sonarr in library",
         [this] {
             arm();
             sonarr_answers();
             answer(S("/api/v3/series", "tvdbId=81189"), 200, k_series_in_library);
         },
         sonarr, KOVA_OK},
        {"sonarr episode fallback", [this] { arm(); sonarr_answers(); },
         [] { return kova_sonarr_search_or_add("tt0903747", nullptr, 1, 7, nullptr); }, KOVA_OK},
        {"sonarr no root (F11)",
         [this] { arm(); sonarr_answers(); answer(S("/api/v3/rootfolder"), 200, R"([{"path":"/"}])"); }, sonarr,
         KOVA_ERR_EMPTY},
        {"sonarr no profile (F12)",
         [this] { arm(); sonarr_answers(); answer(S("/api/v3/qualityprofile"), 200, "[]"); }, sonarr,
         KOVA_ERR_EMPTY},
        {"sonarr no match",
         [this] { arm(); answer(S("/api/v3/series/lookup", "term=tt0903747"), 200, R"([{"tvdbId":4}])"); },
         sonarr, KOVA_ERR_NOT_FOUND},
        {"radarr add branch", [this] { arm(); radarr_answers(); }, radarr, KOVA_OK},
        {"radarr in library",
         [this] {
             arm();
             radarr_answers();
             answer(R("/api/v3/movie", "tmdbId=603"), 200, R"([{"tmdbId":603,"id":31}])");
         },
         radarr, KOVA_OK},
        {"radarr add refused",
         [this] { arm(); radarr_answers(); answer(R("/api/v3/movie"), 400, R"([{"errorMessage":"x"}])"); }, radarr,
         KOVA_ERR_HTTP},
    });
}

// The workflow with choices, configure by URL, the exact release search,
// and the profile rule every host may use.
TEST_F(OomSweep, GetAndConfigureByUrl) {
    auto radarr = [] { return kova_radarr_get("tt0133093", "HD", "/other", KOVA_GET_MONITOR); };
    auto sonarr = [] { return kova_sonarr_get("tt0903747", "Breaking Bad", 1, 2, nullptr, nullptr, 0); };
    sweep_all({
        {"radarr add with choices", [this] { arm(); radarr_answers(); }, radarr, KOVA_OK},
        {"radarr dry run, not armed", [this] { radarr_answers(); },
         [] { return kova_radarr_get("tt0133093", nullptr, nullptr, KOVA_GET_DRY_RUN); }, KOVA_OK},
        {"radarr not armed", [this] { radarr_answers(); }, radarr, KOVA_ERR_NOT_ARMED},
        {"radarr unknown root", [this] { arm(); radarr_answers(); },
         [] { return kova_radarr_get("tt0133093", nullptr, "/nowhere", 0); }, KOVA_ERR_INVALID_ARG},
        {"radarr unknown profile", [this] { arm(); radarr_answers(); },
         [] { return kova_radarr_get("tt0133093", "UHD", nullptr, 0); }, KOVA_ERR_INVALID_ARG},
        {"radarr in library, not armed",
         [this] {
             radarr_answers();
             answer(R("/api/v3/movie", "tmdbId=603"), 200, R"([{"tmdbId":603,"id":31}])");
         },
         [] { return kova_radarr_get("tt0133093", nullptr, nullptr, 0); }, KOVA_OK},
        {"sonarr add, episode", [this] { arm(); sonarr_answers(); }, sonarr, KOVA_OK},
        {"sonarr exact, episode missing", [this] { arm(); sonarr_answers(); },
         [] { return kova_sonarr_get("tt0903747", nullptr, 1, 7, nullptr, nullptr, KOVA_GET_EXACT); },
         KOVA_ERR_NOT_FOUND},
        {"releases exact", [this] { sonarr_answers(); }, [] { return kova_sonarr_releases_exact(17, 1, 2); }, KOVA_OK},
        {"profile found", [this] { sonarr_answers(); ASSERT_EQ(kova_sonarr_test(), KOVA_OK); },
         [] { return kova_quality_profile_find("hd"); }, 6, false},
        {"profile not found", [this] { sonarr_answers(); ASSERT_EQ(kova_sonarr_test(), KOVA_OK); },
         [] { return kova_quality_profile_find("UHD"); }, KOVA_ERR_INVALID_ARG},
        {"configure by url", nullptr, [] { return kova_configure_url(KOVA_RADARR, "https://[::1]/radarr", "k"); },
         KOVA_OK},
        {"configure by url refused", nullptr, [] { return kova_configure_url(KOVA_RADARR, "https://h/?x", "k"); },
         KOVA_ERR_INVALID_ARG, false},
    });
}

// Prowlarr: its test, its staged search with the indexers' status, the
// grab and a host's answer.
TEST_F(OomSweep, Prowlarr) {
    const std::string search = fixture("prowlarr/search-severance-2.5.2.json");
    const std::string indexers = fixture("prowlarr/indexer-list-5-public-fieldsstripped.json");
    const std::string held_back = R"([{"indexerId":3,"disabledTill":"2999-01-01T00:00:00Z"}])";
    const std::string movie = "query=%7BImdbId%3Att0464196%7D&type=movie";
    const std::string tv = "query=%7BImdbId%3Att0464196%7D%7BSeason%3A1%7D&type=tvsearch";
    auto status = [=, this](const std::string &s) {
        answer(P("/api/v1/indexer"), 200, indexers);
        answer(P("/api/v1/indexerstatus"), 200, s);
    };
    auto movies = [] { return kova_prowlarr_search("tt0464196", "Severance", nullptr, KOVA_SEARCH_MOVIE, 0, 0); };
    sweep_all({
        {"test", [=] { status("[]"); }, [] { return kova_prowlarr_test(); }, KOVA_OK},
        {"search, stage 1", [=, this] { status("[]"); answer(P("/api/v1/search", movie), 200, search); }, movies,
         KOVA_OK},
        {"search for anything", [=, this] {
             status("[]");
             answer(P("/api/v1/search", movie), 200, search);
             answer(P("/api/v1/search", tv), 200, R"([{"title":"tv"}])");
         },
         [] { return kova_prowlarr_search("tt0464196", nullptr, nullptr, KOVA_SEARCH_ANY, 1, 0); }, KOVA_OK},
        {"search, partial", [=, this] { status(held_back); answer(P("/api/v1/search", movie), 200, search); }, movies,
         KOVA_PARTIAL},
        {"search, title stage", [=, this] {
             status("[]");
             answer(P("/api/v1/search", movie), 200, "[]");
             answer(P("/api/v1/search", "query=Severance&type=movie"), 200, search);
         },
         movies, KOVA_OK},
        // (Without an explanation to lose: the refusal's warning goes with
        // the step the search tolerates.)
        {"search, status unread", [=, this] {
             answer(P("/api/v1/indexer"), 500, "");
             answer(P("/api/v1/search", movie), 200, search);
         },
         movies, KOVA_OK},
        {"grab", [=, this] {
             arm();
             status("[]");
             answer(P("/api/v1/search", movie), 200, search);
             ASSERT_EQ(movies(), KOVA_OK);
             answer(P("/api/v1/search"), 200, "{}");
         },
         [] { return kova_prowlarr_grab_release(0); }, KOVA_OK},
        {"grab of an expired release", [=, this] {
             arm();
             status("[]");
             answer(P("/api/v1/search", movie), 200, search);
             ASSERT_EQ(movies(), KOVA_OK);
             answer(P("/api/v1/search"), 404, R"({"message":"try searching again"})");
         },
         [] { return kova_prowlarr_grab_release(0); }, KOVA_ERR_NOT_FOUND},
        {"host answer", nullptr, [=] { return kova_parse_prowlarr(search.c_str()); }, KOVA_OK},
    });
}

// The queue over several pages (with the ids of every page remembered) and
// the calendars.
TEST_F(OomSweep, QueueAndCalendar) {
    const std::string radarr = fixture("arr/radarr-queue-goodfellas-deluge-2022.json");
    const std::string sonarr = fixture("arr/sonarr-v4-queue-stalled-qbittorrent-2026.json");
    const std::string films = fixture("arr/radarr-calendar-raydonovan-notimetodie-2022.json");
    const std::string page = "pageSize=250&includeUnknownSeriesItems=true&includeEpisode=true";
    sweep_all({
        {"Radarr queue", [=, this] { answer(R("/api/v3/queue", "page=1&pageSize=250&includeUnknownMovieItems=true"), 200, radarr); },
         [] { return kova_radarr_queue(0); }, KOVA_OK},
        {"Sonarr queue, pages", [=, this] {
             answer(S("/api/v3/queue", "page=1&" + page), 200, sonarr);
             answer(S("/api/v3/queue", "page=2&" + page), 200, R"({"totalRecords":90,"records":[{"id":5,"seriesId":14}]})");
             answer(S("/api/v3/queue", "page=3&" + page), 200, sonarr);
         },
         [] { return kova_sonarr_queue(14); }, KOVA_OK},
        {"Radarr calendar", [=, this] {
             answer(R("/api/v3/calendar", "start=2021-12-01T00:00:00Z&end=2022-01-31T00:00:00Z&unmonitored=true"), 200, films);
         },
         [] { return kova_radarr_calendar(1638316800, 1643587200); }, KOVA_OK},
        {"Sonarr calendar", [=, this] {
             answer(S("/api/v3/calendar",
                      "start=2021-12-01T00:00:00Z&end=2022-01-31T00:00:00Z&unmonitored=true&includeSeries=true"),
                    200, R"([{"seriesId":7,"seasonNumber":2,"episodeNumber":4,"title":"Later",
                              "airDateUtc":"2022-01-14T02:00:00Z","hasFile":false,"monitored":false,
                              "series":{"title":"Show","imdbId":"tt0944947"}},
                             {"seriesId":9,"seasonNumber":1,"episodeNumber":1,"title":"Pilot",
                              "airDate":"2021-12-11","hasFile":true,"monitored":true,"series":{"title":"Other"}}])");
         },
         [] { return kova_sonarr_calendar(1638316800, 1643587200); }, KOVA_OK},
    });
}

// The accessors that build their texts on request degrade to "", and the
// next call works again.
TEST_F(OomSweep, DetailsBuiltOnRequest) {
    auto load = [] { ASSERT_EQ(kova_parse_arr_releases(R"([{"languages":[{"name":"A"},{"name":"B"}],"q":{"r":5}}])"),
                               KOVA_OK); };
    for (int which = 0; which < 2; ++which) {
        SCOPED_TRACE(which ? "path" : "languages");
        auto get = [which] { return which ? kova_result_path(0, "q.r") : kova_result_languages(0); };
        const std::string want = which ? "5" : "A, B";
        int runs = oom_sweep(load, [&] { return *get() ? 1 : 0; }, [&](int32_t rc, bool injected) {
            if (!injected) {
                EXPECT_EQ(rc, 1);
            }
            EXPECT_EQ(get(), want);
        });
        EXPECT_GT(runs, 0);
    }
}

// kova_result_field and kova_result_json do not report failures: they
// answer "" (for the document: whole or nothing, never a part of it), and
// the next call works again.
TEST_F(OomSweep, ResultFieldAndDocument) {
    auto load = [] { ASSERT_EQ(kova_parse_jackett(k_jackett_rows), KOVA_OK); };
    load();
    const std::string field = kova_result_field(0, "seeders");
    const std::string doc = kova_result_json();
    ASSERT_EQ(field, "5");
    int runs = oom_sweep([&] { load(); }, [] { return kova_result_field(0, "seeders")[0] ? 1 : 0; },
                         [&](int32_t, bool injected) {
                             if (injected) {
                                 EXPECT_STREQ(kova_result_field(0, "seeders"), field.c_str());
                             }
                         });
    EXPECT_GT(runs, 0);
    const char *last = nullptr;
    runs = oom_sweep([&] { load(); },
                     [&] {
                         last = kova_result_json();
                         return 0;
                     },
                     [&](int32_t, bool injected) {
                         ASSERT_NE(last, nullptr);
                         if (injected) {
                             EXPECT_TRUE(!*last || std::string(last) == doc) << last;
                         } else {
                             EXPECT_EQ(std::string(last), doc);
                         }
                         EXPECT_EQ(std::string(kova_result_json()), doc);
                     });
    EXPECT_GT(runs, 0);
}

// The handler records' validation: every failure is the answer -8 with
// {"error":"out of memory"}, or the normal answer (an ID is new every time).
TEST_F(OomSweep, SettingsValidation) {
    io.fallback = RecordingIo::Answer{1, 0, nullptr, nullptr, true}; // no route: transport failure
    sonarr_answers();
    const std::string torznab = J("/api/v2.0/indexers/all/results/torznab/api", "t=indexers&configured=true");
    answer(torznab, 200, k_torznab);
    struct vcase {
        const char *type;
        const char *settings;
        int32_t normal;
    };
    const vcase cases[] = {
        {"SONARR", R"({"Host":"s","APIKey":"k","Port":"80a"})", 0},
        {"JACKETT", R"({"Host":"j","APIKey":"k","ID":"mine"})", 0},
        {"RADARR", R"({"Host":"r","APIKey":"k"})", -4}, // no answer for Radarr: transport failure
        {"SONARR", R"({"Host":"s","APIKey":"x"})", -4},
        {"JACKETT", R"({"Host":"j","APIKey":""})", -8},
        {"SONARR", R"({"Host":"a/b","APIKey":"k"})", -8},
        {"SONARR", "[]", -8},
    };
    auto mask_id = [](std::string a) {
        size_t p = a.find("\"ID\":\"");
        if (p != std::string::npos) a.replace(p + 6, 36, 36, '#');
        return a;
    };
    for (const vcase &c : cases) {
        SCOPED_TRACE(std::string(c.type) + " " + c.settings);
        kova_validate_fn fn = kova_rtchk_handler(c.type)->validate;
        char buf[512];
        ASSERT_EQ(fn(&io.io, c.settings, buf, sizeof buf), c.normal);
        const std::string normal = mask_id(buf);
        int oom = 0;
        int runs = oom_sweep([] {}, [&] { return fn(&io.io, c.settings, buf, sizeof buf); },
                             [&](int32_t rc, bool injected) {
                                 if (injected && rc == -8 && strcmp(buf, R"({"error":"out of memory"})") == 0) {
                                     ++oom;
                                 } else {
                                     EXPECT_EQ(rc, c.normal);
                                     EXPECT_EQ(mask_id(buf), normal);
                                 }
                                 char again[512];
                                 EXPECT_EQ(fn(&io.io, c.settings, again, sizeof again), c.normal);
                                 EXPECT_EQ(mask_id(again), normal);
                             });
        EXPECT_GT(runs, 0);
        EXPECT_GT(oom, 0);
    }
    EXPECT_EQ(kova_last_rc(), KOVA_OK); // the process-wide context saw nothing
}

// The fake transport's own allocations: routes, served copies and the record
// of the last POST.
TEST_F(OomSweep, FakeTransport) {
    const std::string u = S("/api/v3/series", "tvdbId=81189");
    auto use_fake = [&] {
        kova_fake_reset();
        configure();
        kova_use_fake();
    };
    // A failed kova_fake_set leaves no route or a route that fails as a
    // transport failure; setting it again works.
    int runs = oom_sweep(use_fake, [&] { return kova_fake_set(u.c_str(), 200, k_series_in_library); },
                         [&](int32_t rc, bool injected) {
                             if (injected) {
                                 EXPECT_EQ(rc, KOVA_ERR_OOM);
                                 EXPECT_EQ(kova_sonarr_library_find(81189), KOVA_ERR_TRANSPORT);
                                 EXPECT_EQ(kova_fake_set(u.c_str(), 200, k_series_in_library), KOVA_OK);
                             }
                             EXPECT_EQ(kova_sonarr_library_find(81189), 17);
                         });
    EXPECT_GE(runs, 3); // array, URL copy, body copy
    runs = oom_sweep(use_fake, [&] { return kova_fake_fail(u.c_str(), "down"); }, [&](int32_t rc, bool injected) {
        if (injected) {
            EXPECT_EQ(rc, KOVA_ERR_OOM);
        }
        EXPECT_EQ(kova_sonarr_library_find(81189), KOVA_ERR_TRANSPORT);
        EXPECT_EQ(kova_fake_calls(nullptr), 1);
    });
    EXPECT_GE(runs, 3);
    // Serving: a failed copy of the answer is a transport failure of the
    // request, or the library's own ERR_OOM.
    runs = oom_sweep(
        [&] {
            use_fake();
            ASSERT_EQ(kova_fake_set(u.c_str(), 200, k_series_in_library), KOVA_OK);
        },
        [] { return kova_sonarr_library_find(81189); },
        [&](int32_t rc, bool injected) {
            if (injected && rc == KOVA_ERR_TRANSPORT) {
                EXPECT_STREQ(kova_last_error(), "Sonarr library: transport failure");
            } else if (injected) {
                EXPECT_EQ(rc, KOVA_ERR_OOM);
            }
            EXPECT_EQ(kova_sonarr_library_find(81189), 17);
        });
    EXPECT_GT(runs, 0);
    // The POST record reads back "" for a copy that failed; the body reader
    // itself answers "" when its copy fails.
    const std::string add = R("/api/v3/movie");
    runs = oom_sweep(
        [&] {
            use_fake();
            ASSERT_EQ(kova_fake_set(add.c_str(), 201, R"({"id":31})"), KOVA_OK);
            ASSERT_EQ(kova_fake_set(R("/api/v3/movie/lookup/tmdb", "tmdbId=603").c_str(), 200, k_movie), KOVA_OK);
            arm();
        },
        [] { return kova_radarr_add_movie(603, "/m", 4); },
        [&](int32_t rc, bool injected) {
            EXPECT_TRUE(rc == 31 || (injected && (rc == KOVA_ERR_OOM || rc == KOVA_ERR_TRANSPORT))) << rc;
            std::string posted_url = kova_fake_last_post_url();
            EXPECT_TRUE(posted_url.empty() || posted_url == add);
            EXPECT_EQ(kova_radarr_add_movie(603, "/m", 4), 31);
            EXPECT_EQ(std::string(kova_fake_last_post_url()), add);
        });
    EXPECT_GT(runs, 0);
    for (auto copy : {kova_fake_last_post_body, kova_fake_last_post_url}) {
        runs = oom_sweep([] {}, [copy] { return copy()[0] ? 1 : 0; }, [copy](int32_t rc, bool injected) {
            if (injected) {
                EXPECT_EQ(rc, 0);
            }
            EXPECT_NE(copy()[0], '\0');
        });
        EXPECT_EQ(runs, 1);
    }
}

// The exports that allocate nothing, called with every allocation failing.
TEST_F(OomSweep, NonAllocatingExports) {
    sonarr_answers();
    ASSERT_EQ(kova_sonarr_test(), KOVA_OK);
    ASSERT_EQ(kova_parse_jackett(k_jackett_rows), KOVA_OK);
    ASSERT_EQ(kova_sonarr_lookup("tt0903747", nullptr), KOVA_OK);
    fault_arm(1, true);
    (void)kova_version();
    (void)kova_strerror(-3);
    (void)kova_last_rc();
    (void)kova_last_http_code();
    (void)kova_last_error();
    (void)kova_warning_count();
    (void)kova_warning(0);
    (void)kova_library_writes_armed();
    (void)kova_base_url(1);
    (void)kova_default_port(2);
    (void)kova_sonarr_grab_release(0); // not armed: refused before anything is allocated
    (void)kova_timeout_ms();
    (void)kova_fake_calls(nullptr);
    (void)kova_fake_calls("x");
    (void)kova_fake_post_count();
    (void)kova_imdb_numeric("tt0000123");
    (void)kova_quality_profile_pick("HD");
    (void)kova_rootfolder_count();
    (void)kova_rootfolder_path(0);
    (void)kova_rootfolder_free_space(0);
    (void)kova_rootfolder_find("/tv");
    (void)kova_last_transport_error();
    (void)kova_get_library_id(), (void)kova_get_added(), (void)kova_get_root(), (void)kova_get_profile_id();
    (void)kova_get_path(), (void)kova_get_fallback();
    (void)kova_test_log_count();
    (void)kova_test_log_key(0);
    (void)kova_test_log_text(0);
    (void)kova_rootfolder();
    (void)kova_quality_profile_count();
    (void)kova_quality_profile_id(0);
    (void)kova_quality_profile_name(0);
    (void)kova_jackett_stage();
    (void)kova_lookup_count();
    (void)kova_lookup_match();
    for (int32_t i = -1; i < 2; ++i) {
        (void)kova_lookup_title(i), (void)kova_lookup_clean_title(i), (void)kova_lookup_imdb(i);
        (void)kova_lookup_tvdb(i), (void)kova_lookup_tmdb(i), (void)kova_lookup_year(i);
        (void)kova_lookup_library_id(i);
        (void)kova_result_title(i), (void)kova_result_tracker(i), (void)kova_result_tracker_id(i);
        (void)kova_result_guid(i), (void)kova_result_link(i), (void)kova_result_details(i);
        (void)kova_result_magnet(i), (void)kova_result_info_hash(i), (void)kova_result_category_desc(i);
        (void)kova_result_imdb(i), (void)kova_result_tmdb(i), (void)kova_result_tvdb(i);
        uint64_t size;
        (void)kova_result_size(i, &size);
        (void)kova_result_seeders(i), (void)kova_result_peers(i), (void)kova_result_files(i);
        (void)kova_result_category_count(i), (void)kova_result_category(i, 0);
        (void)kova_result_publish_date(i), (void)kova_result_download_volume_factor(i);
        (void)kova_result_season(i), (void)kova_result_episode(i), (void)kova_result_full_season(i);
        (void)kova_indexer_id(i), (void)kova_indexer_name(i), (void)kova_indexer_status(i);
        (void)kova_indexer_results(i), (void)kova_indexer_error(i);
        (void)kova_result_quality(i), (void)kova_result_resolution(i), (void)kova_result_approved(i);
        (void)kova_result_rejection_count(i), (void)kova_result_rejection(i, 0);
        (void)kova_result_custom_format_score(i), (void)kova_result_protocol(i), (void)kova_result_indexer_id(i);
    }
    (void)kova_result_count();
    (void)kova_indexer_count();
    (void)kova_indexers_errored();
    (void)kova_rtchk_handler("SONARR");
    (void)rtchk_get();
    kova_arm_library_writes(1);
    kova_set_timeout_ms(5);
    kova_set_io(&io.io);
    kova_use_fake();
    (void)kova_use_curl();
    kova_fake_reset();
    kova_reset();
    EXPECT_EQ(fault_count(), 0);
    EXPECT_FALSE(fault_injected());
    fault_disarm();
}

} // namespace
