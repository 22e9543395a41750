#include "ops/ops_fixture.h"

using namespace kova;

namespace {
const std::string k_series_lookup = "/api/v3/series/lookup";

std::string series(const char *title, const char *imdb, int tvdb, int id = 0) {
    return std::string("{\"title\":\"") + title + "\",\"cleanTitle\":\"" + title + "clean\",\"imdbId\":\"" + imdb +
           "\",\"tvdbId\":" + std::to_string(tvdb) + ",\"year\":2001,\"id\":" + std::to_string(id) + "}";
}
} // namespace

using Lookup = OpsTest;

TEST_F(Lookup, SonarrMatchesTheFirstEntryWithTheImdbIdAndATvdbId) {
    route(S(k_series_lookup, "term=tt0944947"), 200,
          "[" + series("A", "tt1", 1) + "," + series("B", "tt0944947", 121361, 9) + "," + series("C", "tt0944947", 5) +
              "]");
    EXPECT_EQ(kova_sonarr_lookup("tt0944947", "ignored"), KOVA_OK);
    EXPECT_EQ(kova_lookup_count(), 3);
    EXPECT_EQ(kova_lookup_match(), 1);
    EXPECT_STREQ(kova_lookup_clean_title(1), "Bclean");
    EXPECT_EQ(kova_lookup_tvdb(1), 121361);
    EXPECT_EQ(kova_lookup_library_id(1), 9);
    EXPECT_EQ(kova_lookup_year(1), 2001);
    EXPECT_EQ(kova_lookup_tmdb(1), 0);
    EXPECT_EQ(log_texts(), (Strings{"Searching series by using IMDbID:tt0944947...",
                                    "Found series Bclean and tvdbId is 121361"}));
    EXPECT_EQ(kova_fake_calls(nullptr), 1);
}

TEST_F(Lookup, SonarrNoMatchKeepsTheEntriesReadable) {
    route(S(k_series_lookup, "term=tt7"), 200, "[" + series("A", "tt7", 0) + "," + series("B", "7", 3) + ",5,\"x\"]");
    EXPECT_EQ(kova_sonarr_lookup("tt7", nullptr), KOVA_ERR_NOT_FOUND);
    EXPECT_STREQ(kova_last_error(), "Sonarr lookup: 2 series, none with that IMDb id and a TVDB id");
    EXPECT_EQ(kova_lookup_count(), 2);
    EXPECT_EQ(kova_lookup_match(), -1);
    EXPECT_STREQ(kova_lookup_title(1), "B");
}

TEST_F(Lookup, SonarrFallsBackToTheTitleOnlyWhenTheImdbAnswerIsEmpty) {
    route(S(k_series_lookup, "term=tt5"), 200, "[]");
    route(S(k_series_lookup, "term=Some%20Show"), 200, series("Some Show", "tt5", 55));
    EXPECT_EQ(kova_sonarr_lookup("tt5", "Some Show"), KOVA_OK);
    EXPECT_EQ(kova_lookup_count(), 1); // a single object is one entry
    EXPECT_EQ(kova_lookup_match(), 0);
    EXPECT_EQ(log_keys(), (Strings{"SonarrV3_Series_Lookup_By_IMDbID", "SonarrV3_Series_Lookup_By_Title",
                                   "SonarrV3_Series_Found"}));

    EXPECT_EQ(kova_sonarr_lookup(nullptr, "Some Show"), KOVA_ERR_NOT_FOUND);
    EXPECT_EQ(log_keys(), Strings{"SonarrV3_Series_Lookup_By_Title"});
    route(S(k_series_lookup, "term=Nothing"), 200, "[]");
    EXPECT_EQ(kova_sonarr_lookup("", "Nothing"), KOVA_ERR_EMPTY);
    EXPECT_STREQ(kova_last_error(), "Sonarr lookup: no series found");
    EXPECT_EQ(kova_lookup_match(), -1);
    EXPECT_EQ(kova_sonarr_lookup(nullptr, ""), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(), "Sonarr lookup: no IMDb id and no title");
}

TEST_F(Lookup, SonarrBadAnswers) {
    route(S(k_series_lookup, "term=tt1"), 200, "\"text\"");
    EXPECT_EQ(kova_sonarr_lookup("tt1", nullptr), KOVA_ERR_JSON);
    EXPECT_STREQ(kova_last_error(), "Sonarr lookup: not JSON");
    route(S(k_series_lookup, "term=tt1"), 503, "down");
    EXPECT_EQ(kova_sonarr_lookup("tt1", nullptr), KOVA_ERR_HTTP);
    EXPECT_STREQ(kova_last_error(), "Sonarr series lookup: HTTP 503");
}

TEST_F(Lookup, RadarrMatchesOnlyTheFirstEntry) {
    const std::string u = R("/api/v3/movie/lookup/imdb", "imdbId=tt0111161");
    route(u, 200, "[{\"title\":\"Shawshank\",\"imdbId\":\"tt0111161\",\"tmdbId\":278,\"id\":31}]");
    EXPECT_EQ(kova_radarr_lookup_imdb("tt0111161"), KOVA_OK);
    EXPECT_EQ(kova_lookup_match(), 0);
    EXPECT_EQ(kova_lookup_library_id(0), 31);
    EXPECT_EQ(log_texts()[1], "Found movie Shawshank and tmdbId is 278");

    route(u, 200, "[{\"imdbId\":\"tt9\",\"tmdbId\":1},{\"imdbId\":\"tt0111161\",\"tmdbId\":278}]");
    EXPECT_EQ(kova_radarr_lookup_imdb("tt0111161"), KOVA_ERR_NOT_FOUND);
    EXPECT_STREQ(kova_last_error(), "Radarr lookup: the answer is for a different IMDb id or has no TMDb id");
    EXPECT_EQ(kova_lookup_count(), 2);
    EXPECT_EQ(kova_lookup_match(), -1);
}

TEST_F(Lookup, RadarrNotFoundAnswers) {
    const std::string u = R("/api/v3/movie/lookup/imdb", "imdbId=tt1");
    struct Case {
        int32_t status;
        const char *body;
        int32_t rc;
        const char *msg;
    } cases[] = {
        {404, "", KOVA_ERR_NOT_FOUND, "Radarr lookup: movie not found (HTTP 404)"},
        {500, "{\"message\":\"Movie with IMDb tt1 was not found\"}", KOVA_ERR_NOT_FOUND,
         "Radarr lookup: movie not found (HTTP 500)"},
        {500, "NotFoundException", KOVA_ERR_NOT_FOUND, "Radarr lookup: movie not found (HTTP 500)"},
        {500, "database locked", KOVA_ERR_HTTP, "Radarr movie lookup: HTTP 500"},
        {401, "", KOVA_ERR_AUTH, "Radarr movie lookup: HTTP 401 (API key rejected)"},
    };
    for (const Case &c : cases) {
        route(u, c.status, c.body);
        EXPECT_EQ(kova_radarr_lookup_imdb("tt1"), c.rc) << c.status;
        EXPECT_STREQ(kova_last_error(), c.msg);
    }
    EXPECT_EQ(kova_radarr_lookup_imdb(nullptr), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(), "Radarr lookup: no IMDb id");
}

TEST_F(Lookup, LibraryFindFiltersTheAnswerItself) {
    route(S("/api/v3/series", "tvdbId=121361"), 200,
          "[{\"tvdbId\":5,\"id\":3},{\"tvdbId\":121361,\"id\":0},{\"tvdbId\":\"121361\",\"id\":7},{\"tvdbId\":121361,"
          "\"id\":8}]");
    EXPECT_EQ(kova_sonarr_library_find(121361), 7);
    EXPECT_EQ(kova_last_rc(), 7);
    EXPECT_EQ(kova_test_log_count(), 0);

    route(R("/api/v3/movie", "tmdbId=278"), 200, "[{\"tmdbId\":1,\"id\":4}]");
    EXPECT_EQ(kova_radarr_library_find(278), 0);
    route(R("/api/v3/movie", "tmdbId=278"), 200, "{}");
    EXPECT_EQ(kova_radarr_library_find(278), KOVA_ERR_JSON);
    EXPECT_STREQ(kova_last_error(), "Radarr library: not a JSON array");

    EXPECT_EQ(kova_sonarr_library_find(0), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(), "Sonarr: invalid tvdbId");
    EXPECT_EQ(kova_radarr_library_find(-4), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(), "Radarr: invalid tmdbId");
}

TEST_F(Lookup, OutOfMemoryLeavesNoNullTexts) {
    route(S(k_series_lookup, "term=tt5"), 200, "[" + series("A", "tt1", 1) + "," + series("B", "tt5", 5) + "]");
    oom_sweep([] {}, [] { return kova_sonarr_lookup("tt5", nullptr); },
              [](int32_t rc, bool injected) {
                  if (!injected) {
                      EXPECT_EQ(rc, KOVA_OK);
                      return;
                  }
                  if (rc != KOVA_OK) {
                      expect_oom_outcome(rc);
                  }
                  for (int i = 0; i < kova_lookup_count(); ++i) {
                      EXPECT_NE(kova_lookup_title(i), nullptr);
                      EXPECT_NE(kova_lookup_imdb(i), nullptr);
                  }
              });
}
