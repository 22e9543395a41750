#include "ops/ops_fixture.h"

using namespace kova;

namespace {
const char *k_release_list = "[{\"title\":\"r1\"},{\"title\":\"r2\"}]";
} // namespace

class Workflow : public OpsTest {
protected:
    void SetUp() override {
        OpsTest::SetUp();
        kova_arm_library_writes(1);
    }
    void radarr_routes(const char *library, const char *root = "[{\"path\":\"/movies/\"}]",
                       const char *profiles = "[{\"id\":4,\"name\":\"SD\"},{\"id\":6,\"name\":\"HD\"}]") {
        route(R("/api/v3/movie/lookup/imdb", "imdbId=tt0111161"), 200,
              "[{\"title\":\"Shawshank\",\"cleanTitle\":\"shawshank\",\"imdbId\":\"tt0111161\",\"tmdbId\":278}]");
        route(R("/api/v3/movie", "tmdbId=278"), 200, library);
        route(R("/api/v3/rootfolder"), 200, root);
        route(R("/api/v3/qualityprofile"), 200, profiles);
        route(R("/api/v3/movie"), 201, "{\"id\":31}");
        route(R("/api/v3/release", "movieId=31"), 200, k_release_list);
    }
    void sonarr_routes(const char *episodes) {
        route(S("/api/v3/series/lookup", "term=tt0944947"), 200,
              "[{\"title\":\"GoT\",\"cleanTitle\":\"got\",\"imdbId\":\"tt0944947\",\"tvdbId\":121361,"
              "\"seasons\":[{\"seasonNumber\":1,\"monitored\":true}]}]");
        route(S("/api/v3/series", "tvdbId=121361"), 200, "[]");
        route(S("/api/v3/rootfolder"), 200, "[{\"path\":\"/tv\"}]");
        route(S("/api/v3/qualityprofile"), 200, "[{\"id\":1,\"name\":\"Any\"}]");
        route(S("/api/v3/episode", "seriesId=55&seasonNumber=2"), 200, episodes);
        route(S("/api/v3/release", "episodeId=700"), 200, k_release_list);
        route(S("/api/v3/release", "seriesId=55&seasonNumber=2"), 200, k_release_list);
    }
};

TEST_F(Workflow, RadarrFilmAlreadyInTheLibrary) {
    radarr_routes("[{\"tmdbId\":278,\"id\":31}]");
    EXPECT_EQ(kova_radarr_search_or_add("tt0111161", nullptr), KOVA_OK);
    EXPECT_EQ(kova_result_count(), 2);
    EXPECT_EQ(kova_fake_calls(R("/api/v3/rootfolder").c_str()), 0);
    EXPECT_EQ(kova_fake_post_count(), 0);
    EXPECT_EQ(kova_fake_calls(nullptr), 3);
    EXPECT_EQ(log_keys(),
              (Strings{"RadarrV3_Movie_Lookup_By_IMDbID", "RadarrV3_Movie_Found", "RadarrV3_Movie_Search_Release"}));
}

TEST_F(Workflow, RadarrAddsThenSearches) {
    radarr_routes("[]");
    EXPECT_EQ(kova_radarr_search_or_add("tt0111161", "HD"), KOVA_OK);
    std::string body = kova_fake_last_post_body();
    EXPECT_NE(body.find("\"qualityProfileId\":6"), std::string::npos) << body;
    EXPECT_NE(body.find("\"path\":\"/movies/shawshank-tt0111161\""), std::string::npos) << body;
    EXPECT_EQ(log_keys(), (Strings{"RadarrV3_Movie_Lookup_By_IMDbID", "RadarrV3_Movie_Found", "RadarrV3_Get_Rootfolder",
                                   "RadarrV3_Rootfolder", "RadarrV3_Get_QualityProfile", "RadarrV3_QualityProfile",
                                   "RadarrV3_Set_QualityProfile", "RadarrV3_Movie_Add",
                                   "RadarrV3_Movie_Search_Release"}));
    EXPECT_EQ(log_texts()[6], "Set up quality profile to 6");

    radarr_routes("[]");
    EXPECT_EQ(kova_radarr_search_or_add("tt0111161", "nothing matches"), KOVA_OK);
    body = kova_fake_last_post_body();
    EXPECT_NE(body.find("\"qualityProfileId\":4"), std::string::npos) << body;
}

TEST_F(Workflow, RefusesToAddAtTheTopOrWithoutAProfile) {
    radarr_routes("[]", "[{\"path\":\"/\"}]");
    EXPECT_EQ(kova_radarr_search_or_add("tt0111161", nullptr), KOVA_ERR_EMPTY);
    EXPECT_STREQ(kova_last_error(), "Radarr: no root folder, refusing to add at '/' (F11)");
    radarr_routes("[]", "[{\"path\":\"/movies\"}]", "[]");
    EXPECT_EQ(kova_radarr_search_or_add("tt0111161", nullptr), KOVA_ERR_EMPTY);
    EXPECT_STREQ(kova_last_error(), "Radarr: no quality profile (F12)");
    EXPECT_EQ(kova_fake_post_count(), 0);
}

TEST_F(Workflow, SonarrAddsThenFindsTheEpisode) {
    sonarr_routes("[{\"episodeNumber\":4,\"seasonNumber\":2,\"id\":700}]");
    // The library GET and the add POST share one URL, so one answer serves
    // both: "[]" is "not in the library", and then an add answer without id.
    EXPECT_EQ(kova_sonarr_search_or_add("tt0944947", nullptr, 2, 4, nullptr), KOVA_ERR_JSON);
    EXPECT_STREQ(kova_last_error(), "Sonarr add: the answer carries no id");

    // An element for another TVDB id: absent from the library, and the add
    // answer's first element carries the new id 55.
    kova_fake_set(S("/api/v3/series", "tvdbId=121361").c_str(), 200, "[{\"id\":55,\"tvdbId\":1}]");
    EXPECT_EQ(kova_sonarr_search_or_add("tt0944947", nullptr, 2, 4, nullptr), KOVA_OK);
    EXPECT_EQ(log_keys(), (Strings{"SonarrV3_Series_Lookup_By_IMDbID", "SonarrV3_Series_Found",
                                   "SonarrV3_Get_Rootfolder", "SonarrV3_Rootfolder", "SonarrV3_Get_QualityProfile",
                                   "SonarrV3_QualityProfile", "SonarrV3_Set_QualityProfile",
                                   "SonarrV3_Get_LanguageProfile", "SonarrV3_NoLanguageProfile", "SonarrV3_Series_Add",
                                   "SonarrV3_Series_Get_All_Episode", "SonarrV3_Series_Search_Release_Episode"}));
    EXPECT_NE(std::string(kova_fake_last_post_body()).find("\"seasons\":[{\"seasonNumber\":1,\"monitored\":false}]"),
              std::string::npos);

    // With Sonarr v3's language profiles, the add carries the first one.
    kova_fake_set(S("/api/v3/languageprofile").c_str(), 200, R"([{"id":1,"name":"English"}])");
    EXPECT_EQ(kova_sonarr_search_or_add("tt0944947", nullptr, 2, 4, nullptr), KOVA_OK);
    std::string body = kova_fake_last_post_body();
    EXPECT_EQ(body.substr(body.size() - 23), ",\"languageProfileId\":1}") << body;
    EXPECT_EQ(log_keys()[7], "SonarrV3_Get_LanguageProfile");
    EXPECT_EQ(log_keys()[8], "SonarrV3_LanguageProfile");
}

TEST_F(Workflow, SonarrSeasonFallback) {
    sonarr_routes("[]");
    kova_fake_set(S("/api/v3/series", "tvdbId=121361").c_str(), 200, "[{\"id\":55,\"tvdbId\":121361}]");
    EXPECT_EQ(kova_sonarr_search_or_add("tt0944947", nullptr, 2, 4, "Any"), KOVA_OK);
    ASSERT_EQ(kova_warning_count(), 1);
    EXPECT_STREQ(kova_warning(0), "Sonarr: episode S2E4 not found, searching the whole season");
    EXPECT_EQ(kova_fake_post_count(), 0); // already in the library
    EXPECT_EQ(log_keys(), (Strings{"SonarrV3_Series_Lookup_By_IMDbID", "SonarrV3_Series_Found",
                                   "SonarrV3_Series_Get_All_Episode", "SonarrV3_Series_Search_Release_Season"}));
}

TEST_F(Workflow, ArgumentChecksComeBeforeTheLogIsCleared) {
    log_append(&current(), "Earlier", "entry");
    EXPECT_EQ(kova_sonarr_search_or_add("tt1", nullptr, 0, -1, nullptr), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(), "search_or_add: invalid season/episode");
    EXPECT_EQ(kova_radarr_search_or_add("", nullptr), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(), "search_or_add: no IMDb id");
    EXPECT_EQ(kova_test_log_count(), 1);
    kova_arm_library_writes(0);
    EXPECT_EQ(kova_radarr_search_or_add("tt0111161", nullptr), KOVA_ERR_NOT_ARMED);
    EXPECT_EQ(kova_fake_calls(nullptr), 0);
}

TEST_F(Workflow, LookupWithoutMatchStopsBeforeTheLibrary) {
    route(S("/api/v3/series/lookup", "term=tt0944947"), 200, "[{\"imdbId\":\"tt9\",\"tvdbId\":3}]");
    EXPECT_EQ(kova_sonarr_search_or_add("tt0944947", nullptr, 1, 0, nullptr), KOVA_ERR_NOT_FOUND);
    EXPECT_EQ(kova_fake_calls(nullptr), 1);
}

TEST_F(Workflow, OutOfMemoryOnTheAddPath) {
    int failures = oom_sweep([&] {
                                 kova_fake_reset();
                                 radarr_routes("[]");
                             },
                             [] { return kova_radarr_search_or_add("tt0111161", "HD"); },
                             [](int32_t rc, bool injected) {
                                 if (!injected || rc == KOVA_OK) return;
                                 expect_oom_outcome(rc);
                             });
    EXPECT_GT(failures, 20);
    radarr_routes("[]");
    EXPECT_EQ(kova_radarr_search_or_add("tt0111161", "HD"), KOVA_OK);
}
