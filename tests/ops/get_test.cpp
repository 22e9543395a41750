// The one-call workflow with a host's choices: where arming is needed, the
// root folder and the profile an add uses, the flags, and the report.
#include "ops/ops_fixture.h"

namespace {

const char *k_releases = R"([{"title":"r1"},{"title":"r2"}])";
const char *k_film = R"([{"title":"Shawshank","cleanTitle":"shawshank","imdbId":"tt0111161","tmdbId":278}])";

class Get : public OpsTest {
protected:
    // Radarr with the film in its library or not, one root folder and two
    // profiles; the add answers library id 31.
    void radarr(bool in_library, const char *roots = R"([{"path":"/movies/","freeSpace":1000},{"path":"/4k"}])",
                const char *profiles = R"([{"id":4,"name":"SD"},{"id":6,"name":"HD"}])") {
        route(R("/api/v3/movie/lookup/imdb", "imdbId=tt0111161"), 200, k_film);
        route(R("/api/v3/movie", "tmdbId=278"), 200, in_library ? R"([{"tmdbId":278,"id":31}])" : "[]");
        route(R("/api/v3/rootfolder"), 200, roots);
        route(R("/api/v3/qualityprofile"), 200, profiles);
        route(R("/api/v3/movie"), 201, R"({"id":31})");
        route(R("/api/v3/release", "movieId=31"), 200, k_releases);
    }
    // Sonarr with the series in its library (id 55) or not, and episode
    // S2E4 listed or not.
    void sonarr(bool in_library, bool episode_listed) {
        route(S("/api/v3/series/lookup", "term=tt0944947"), 200,
              R"([{"title":"GoT","cleanTitle":"got","imdbId":"tt0944947","tvdbId":121361,)"
              R"("seasons":[{"seasonNumber":1,"monitored":true},{"seasonNumber":2,"monitored":true}]}])");
        // The library's GET and the add's POST share this URL: an element of
        // another series reads as absent, and gives the add its id 55.
        route(S("/api/v3/series", "tvdbId=121361"), 200,
              in_library ? R"([{"id":55,"tvdbId":121361}])" : R"([{"id":55,"tvdbId":1}])");
        route(S("/api/v3/rootfolder"), 200, R"([{"path":"/tv"}])");
        route(S("/api/v3/qualityprofile"), 200, R"([{"id":1,"name":"Any"}])");
        route(S("/api/v3/episode", "seriesId=55&seasonNumber=2"), 200,
              episode_listed ? R"([{"episodeNumber":4,"seasonNumber":2,"id":700}])" : "[]");
        route(S("/api/v3/release", "episodeId=700"), 200, k_releases);
        route(S("/api/v3/release", "seriesId=55&seasonNumber=2"), 200, k_releases);
    }
    static std::string body() { return kova_fake_last_post_body(); }
};

TEST_F(Get, ArmingIsNeededOnlyForAnAdd) {
    const struct {
        bool armed, in_library;
        int32_t flags, rc, posts, added, library_id;
        bool rows;
        const char *root, *path;
    } cases[] = {
        {false, true, 0, KOVA_OK, 0, 0, 31, true, "", ""},
        {true, true, KOVA_GET_NO_ADD, KOVA_OK, 0, 0, 31, true, "", ""},
        {false, true, KOVA_GET_DRY_RUN, KOVA_OK, 0, 0, 31, false, "", ""},
        {true, false, 0, KOVA_OK, 1, 1, 31, true, "/movies", "/movies/shawshank-tt0111161"},
        // Not armed: refused once the add is settled, and the report says
        // what it would have been.
        {false, false, 0, KOVA_ERR_NOT_ARMED, 0, 0, 0, false, "/movies", "/movies/shawshank-tt0111161"},
        {true, false, KOVA_GET_NO_ADD, KOVA_ERR_NOT_FOUND, 0, 0, 0, false, "", ""},
        {false, false, KOVA_GET_DRY_RUN, KOVA_OK, 0, 1, 0, false, "/movies", "/movies/shawshank-tt0111161"},
        {true, false, KOVA_GET_DRY_RUN | KOVA_GET_MONITOR, KOVA_OK, 0, 1, 0, false, "/movies",
         "/movies/shawshank-tt0111161"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "armed " << c.armed << ", in the library " << c.in_library << ", flags "
                                        << c.flags);
        kova_fake_reset();
        radarr(c.in_library);
        kova_arm_library_writes(c.armed);
        EXPECT_EQ(kova_radarr_get("tt0111161", nullptr, nullptr, c.flags), c.rc) << kova_last_error();
        EXPECT_EQ(kova_fake_post_count(), c.posts);
        EXPECT_EQ(kova_get_added(), c.added);
        EXPECT_EQ(kova_get_library_id(), c.library_id);
        EXPECT_STREQ(kova_get_root(), c.root);
        EXPECT_STREQ(kova_get_path(), c.path);
        EXPECT_EQ(kova_get_profile_id(), *c.root ? 4 : 0);
        // A get that searches no releases leaves the result set as it was.
        EXPECT_EQ(calls(R("/api/v3/release", "movieId=31")), c.rows ? 1 : 0);
    }
    EXPECT_STREQ(kova_last_error(), "");
    kova_fake_reset();
    radarr(false);
    EXPECT_EQ(kova_radarr_get("tt0111161", nullptr, nullptr, KOVA_GET_NO_ADD), KOVA_ERR_NOT_FOUND);
    EXPECT_STREQ(kova_last_error(), "Radarr get: not in the library");
    EXPECT_EQ(calls(R("/api/v3/rootfolder")), 0);
}

TEST_F(Get, RootAndProfileAreTheServicesOwnOrRefused) {
    kova_arm_library_writes(1);
    const struct {
        const char *root, *profile;
        int32_t rc;
        const char *text; // the root and profile used, or the message
        int32_t profile_id;
    } cases[] = {
        {"/4k/", "6", KOVA_OK, "/4k", 6},
        {"/movies\\", "HD", KOVA_OK, "/movies", 6},
        {"", "hd", KOVA_OK, "/movies", 6},
        {"/other", nullptr, KOVA_ERR_INVALID_ARG, "Radarr get: /other is not one of Radarr's root folders: /movies, /4k", 0},
        {"/", nullptr, KOVA_ERR_INVALID_ARG, "Radarr get: / is not one of Radarr's root folders: /movies, /4k", 0},
        {nullptr, "Ultra", KOVA_ERR_INVALID_ARG, "Radarr get: no quality profile \"Ultra\"; Radarr has: SD (4), HD (6)", 0},
        {nullptr, "7", KOVA_ERR_INVALID_ARG, "Radarr get: no quality profile \"7\"; Radarr has: SD (4), HD (6)", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        kova_fake_reset();
        radarr(false);
        EXPECT_EQ(kova_radarr_get("tt0111161", c.profile, c.root, 0), c.rc);
        if (c.rc == KOVA_OK) {
            EXPECT_STREQ(kova_get_root(), c.text);
            EXPECT_EQ(kova_get_profile_id(), c.profile_id);
            EXPECT_NE(body().find(std::string("\"rootFolderPath\":\"") + c.text + "\""), std::string::npos) << body();
        } else {
            EXPECT_STREQ(kova_last_error(), c.text);
            EXPECT_EQ(kova_fake_post_count(), 0);
        }
    }
    // Two profiles that differ only in letter case: the name must be exact.
    kova_fake_reset();
    radarr(false, R"([{"path":"/movies"}])", R"([{"id":4,"name":"HD"},{"id":6,"name":"hd"}])");
    EXPECT_EQ(kova_radarr_get("tt0111161", "Hd", nullptr, 0), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(),
                 "Radarr get: quality profile \"Hd\" could be any of HD (4), hd (6): give its id or its exact name");
    // Refused as such when not armed too, before arming is asked about.
    kova_arm_library_writes(0);
    EXPECT_EQ(kova_radarr_get("tt0111161", "hd", "/nowhere", 0), KOVA_ERR_INVALID_ARG);
    EXPECT_EQ(kova_fake_post_count(), 0);
}

TEST_F(Get, MonitorAddsMonitoredAndLetsTheServiceSearch) {
    kova_arm_library_writes(1);
    radarr(false);
    ASSERT_EQ(kova_radarr_get("tt0111161", nullptr, nullptr, KOVA_GET_MONITOR), KOVA_OK);
    EXPECT_NE(body().find(R"("monitored":true)"), std::string::npos) << body();
    EXPECT_NE(body().find(R"("addOptions":{"searchForMovie":true,"monitor":"movieOnly"})"), std::string::npos) << body();

    sonarr(false, true);
    ASSERT_EQ(kova_sonarr_get("tt0944947", nullptr, 2, 4, nullptr, nullptr, KOVA_GET_MONITOR), KOVA_OK)
        << kova_last_error();
    EXPECT_NE(body().find(R"("seasons":[{"seasonNumber":1,"monitored":false},{"seasonNumber":2,"monitored":true}])"),
              std::string::npos)
        << body();
    EXPECT_NE(body().find(R"("monitor":"unknown","searchForMissingEpisodes":true)"), std::string::npos) << body();
    route(S("/api/v3/release", "seriesId=55&seasonNumber=0"), 200, k_releases);
    ASSERT_EQ(kova_sonarr_get("tt0944947", nullptr, 0, 0, nullptr, nullptr, KOVA_GET_MONITOR), KOVA_OK);
    EXPECT_NE(body().find(R"("seasons":[{"seasonNumber":1,"monitored":true},{"seasonNumber":2,"monitored":true}])"),
              std::string::npos)
        << body();
    EXPECT_NE(body().find(R"("monitor":"all","searchForMissingEpisodes":true)"), std::string::npos) << body();
    // Without the flag, as the add always did: unmonitored, no search.
    ASSERT_EQ(kova_sonarr_get("tt0944947", nullptr, 2, 4, nullptr, nullptr, 0), KOVA_OK);
    EXPECT_NE(body().find(R"("monitor":"none","searchForMissingEpisodes":false)"), std::string::npos) << body();
}

TEST_F(Get, ExactEpisodeOrTheWholeSeason) {
    sonarr(true, false);
    EXPECT_EQ(kova_sonarr_get("tt0944947", nullptr, 2, 4, nullptr, nullptr, 0), KOVA_OK);
    EXPECT_EQ(kova_get_fallback(), 1);
    EXPECT_EQ(kova_get_library_id(), 55);
    EXPECT_EQ(calls(S("/api/v3/release", "seriesId=55&seasonNumber=2")), 1);

    EXPECT_EQ(kova_sonarr_get("tt0944947", nullptr, 2, 4, nullptr, nullptr, KOVA_GET_EXACT), KOVA_ERR_NOT_FOUND);
    EXPECT_STREQ(kova_last_error(), "Sonarr: episode S2E4 not found");
    EXPECT_EQ(kova_get_fallback(), 0);
    EXPECT_EQ(calls(S("/api/v3/release", "seriesId=55&seasonNumber=2")), 1); // no second season search

    sonarr(true, true);
    EXPECT_EQ(kova_sonarr_get("tt0944947", nullptr, 2, 4, nullptr, nullptr, KOVA_GET_EXACT), KOVA_OK);
    EXPECT_EQ(kova_get_fallback(), 0);
    EXPECT_EQ(kova_result_count(), 2);
    // The same choice without a workflow.
    sonarr(true, false);
    EXPECT_EQ(kova_sonarr_releases_exact(55, 2, 4), KOVA_ERR_NOT_FOUND);
    EXPECT_EQ(kova_sonarr_releases_exact(55, 2, 0), KOVA_OK);
}

TEST_F(Get, ArgumentsAreCheckedBeforeAnyRequest) {
    const struct {
        int32_t rc;
        const char *err;
        int32_t (*call)();
    } cases[] = {
        {KOVA_ERR_INVALID_ARG, "Radarr get: unknown flags 0x10", [] { return kova_radarr_get("tt1", nullptr, nullptr, 16); }},
        {KOVA_ERR_INVALID_ARG, "Sonarr get: unknown flags 0x80000000",
         [] { return kova_sonarr_get("tt1", nullptr, 1, 1, nullptr, nullptr, INT32_MIN); }},
        {KOVA_ERR_INVALID_ARG, "Radarr get: no IMDb id", [] { return kova_radarr_get("", nullptr, nullptr, 0); }},
        {KOVA_ERR_INVALID_ARG, "Sonarr get: no IMDb id",
         [] { return kova_sonarr_get(nullptr, "t", 1, 1, nullptr, nullptr, 0); }},
        {KOVA_ERR_INVALID_ARG, "Sonarr get: invalid season/episode",
         [] { return kova_sonarr_get("tt1", nullptr, -1, 0, nullptr, nullptr, 0); }},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.call(), c.rc);
        EXPECT_STREQ(kova_last_error(), c.err);
    }
    EXPECT_EQ(kova_fake_calls(nullptr), 0);
}

TEST_F(Get, OutOfMemoryOnTheAddPath) {
    kova_arm_library_writes(1);
    int failures = oom_sweep([&] {
                                 kova_fake_reset();
                                 radarr(false);
                             },
                             [] { return kova_radarr_get("tt0111161", "HD", "/4k", KOVA_GET_MONITOR); },
                             [](int32_t rc, bool injected) {
                                 if (!injected || rc == KOVA_OK) return;
                                 expect_oom_outcome(rc);
                             });
    EXPECT_GT(failures, 20);
}

} // namespace
