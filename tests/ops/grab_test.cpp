// Sending a release of a Sonarr or Radarr release search to the service's
// download client.
#include "ops/ops_fixture.h"

using namespace kova;

namespace {
const char *k_releases =
    R"([{"guid":"abc-1","indexerId":2,"title":"Film.2001.1080p","indexer":"X"},)"
    R"({"GUID":"https://t/x?id=5","IndexerId":"7","title":"Film.2001.720p"},)"
    R"({"guid":"","indexerId":3,"title":"no guid"},{"guid":"g","title":"no indexer"},)"
    R"({"guid":"g","indexerId":0,"title":"indexer 0"}])";

class Grab : public OpsTest {
protected:
    void SetUp() override {
        OpsTest::SetUp();
        kova_arm_library_writes(1);
        route(R("/api/v3/release", "movieId=31"), 200, k_releases);
        route(S("/api/v3/release", "seriesId=12&seasonNumber=1"), 200, k_releases);
        route(R("/api/v3/release"), 200, R"({"guid":"abc-1","approved":true})");
        route(S("/api/v3/release"), 200, "{}");
    }
    static std::string json_of_set() { return kova_result_json(); }
};
} // namespace

TEST_F(Grab, PostsTheGuidAndIndexerIdAsTheServiceListedThem) {
    ASSERT_EQ(kova_radarr_releases(31), KOVA_OK);
    const std::string before = json_of_set();
    EXPECT_EQ(kova_radarr_grab_release(0), KOVA_OK) << kova_last_error();
    EXPECT_EQ(std::string(kova_fake_last_post_url()), R("/api/v3/release"));
    EXPECT_STREQ(kova_fake_last_post_body(), R"({"guid":"abc-1","indexerId":2})");
    EXPECT_EQ(log_keys(), Strings{"RadarrV3_Release_Grab"});
    EXPECT_EQ(log_texts(), Strings{"Sending release Film.2001.1080p to the download client"});
    EXPECT_EQ(kova_radarr_grab_release(1), KOVA_OK);
    EXPECT_STREQ(kova_fake_last_post_body(), R"({"guid":"https://t/x?id=5","indexerId":"7"})");
    // The set stays as it was, and can be grabbed from again.
    EXPECT_EQ(json_of_set(), before);
    EXPECT_EQ(kova_result_count(), 5);

    ASSERT_EQ(kova_sonarr_releases(12, 1, 0), KOVA_OK);
    EXPECT_EQ(kova_sonarr_grab_release(0), KOVA_OK);
    EXPECT_EQ(std::string(kova_fake_last_post_url()), S("/api/v3/release"));
    EXPECT_EQ(kova_fake_post_count(), 3);
}

TEST_F(Grab, RefusesWhatItCannotSend) {
    auto movie_set = [] { return kova_radarr_releases(31); };
    auto series_set = [] { return kova_sonarr_releases(12, 1, 0); };
    auto parsed_set = [] { return kova_parse_arr_releases(k_releases); };
    auto jackett_set = [] { return kova_parse_jackett(R"({"Results":[{"Title":"t","Guid":"g"}]})"); };
    struct Case {
        int32_t (*set)();
        int32_t (*grab)(int32_t);
        int32_t index;
        const char *msg;
    } cases[] = {
        {movie_set, kova_radarr_grab_release, 5, "Radarr grab: no release 5 in the current results"},
        {movie_set, kova_radarr_grab_release, -1, "Radarr grab: no release -1 in the current results"},
        {movie_set, kova_radarr_grab_release, 2, "Radarr grab: release 2 has no guid or indexer id"},
        {movie_set, kova_radarr_grab_release, 3, "Radarr grab: release 3 has no guid or indexer id"},
        {movie_set, kova_radarr_grab_release, 4, "Radarr grab: release 4 has no guid or indexer id"},
        {movie_set, kova_sonarr_grab_release, 0, "Sonarr grab: the current results are not from a Sonarr release search"},
        {series_set, kova_radarr_grab_release, 0, "Radarr grab: the current results are not from a Radarr release search"},
        {parsed_set, kova_sonarr_grab_release, 0, "Sonarr grab: the current results are not from a Sonarr release search"},
        {jackett_set, kova_radarr_grab_release, 0, "Radarr grab: the current results are not from a Radarr release search"},
    };
    for (const Case &c : cases) {
        ASSERT_GE(c.set(), KOVA_OK);
        EXPECT_EQ(c.grab(c.index), KOVA_ERR_INVALID_ARG) << c.msg;
        EXPECT_STREQ(kova_last_error(), c.msg);
    }
    // A failed search leaves no set to grab from.
    route(R("/api/v3/release", "movieId=31"), 500, "");
    EXPECT_EQ(kova_radarr_releases(31), KOVA_ERR_HTTP);
    EXPECT_EQ(kova_radarr_grab_release(0), KOVA_ERR_INVALID_ARG);
    kova_reset();
    EXPECT_EQ(kova_radarr_grab_release(0), KOVA_ERR_NOT_ARMED);
    EXPECT_EQ(kova_fake_post_count(), 0);
}

TEST_F(Grab, IsALibraryWrite) {
    ASSERT_EQ(kova_radarr_releases(31), KOVA_OK);
    kova_arm_library_writes(0);
    EXPECT_EQ(kova_radarr_grab_release(0), KOVA_ERR_NOT_ARMED);
    EXPECT_EQ(kova_sonarr_grab_release(0), KOVA_ERR_NOT_ARMED);
    EXPECT_STREQ(kova_last_error(), "library writes are not armed (kova_arm_library_writes)");
    EXPECT_EQ(kova_fake_post_count(), 0);
}

TEST_F(Grab, TheServiceAnswerDecidesWithItsOwnExplanation) {
    ASSERT_EQ(kova_radarr_releases(31), KOVA_OK);
    struct Case {
        int32_t status;
        const char *body;
        int32_t rc;
        const char *err, *warning;
    } cases[] = {
        {201, "", KOVA_OK, "", nullptr},
        {409, R"([{"propertyName":"","errorMessage":"Release rejected: 720p is not wanted in profile"}])",
         KOVA_ERR_HTTP, "Radarr release grab: HTTP 409", "Radarr: Release rejected: 720p is not wanted in profile"},
        {404, R"({"message":"Couldn't find requested release in cache, try searching again"})", KOVA_ERR_HTTP,
         "Radarr release grab: HTTP 404", "Radarr: Couldn't find requested release in cache, try searching again"},
        {500, "<html><body>Server Error</body></html>", KOVA_ERR_HTTP, "Radarr release grab: HTTP 500", nullptr},
    };
    for (const Case &c : cases) {
        route(R("/api/v3/release"), c.status, c.body);
        EXPECT_EQ(kova_radarr_grab_release(0), c.rc);
        EXPECT_STREQ(kova_last_error(), c.err);
        EXPECT_EQ(kova_last_http_code(), c.status);
        ASSERT_EQ(kova_warning_count(), c.warning ? 1 : 0) << c.body;
        if (c.warning) {
            EXPECT_STREQ(kova_warning(0), c.warning);
        }
        EXPECT_EQ(kova_result_count(), 5);
    }
    kova_fake_fail(R("/api/v3/release").c_str(), "down");
    EXPECT_EQ(kova_radarr_grab_release(0), KOVA_ERR_TRANSPORT);
    EXPECT_STREQ(kova_last_error(), "Radarr release grab: transport failure");
}

TEST_F(Grab, WorksOnTheSetOfTheSearchOrAddWorkflow) {
    route(R("/api/v3/movie/lookup/imdb", "imdbId=tt0111161"), 200,
          R"({"title":"S","cleanTitle":"s","imdbId":"tt0111161","tmdbId":278})");
    route(R("/api/v3/movie", "tmdbId=278"), 200, R"([{"tmdbId":278,"id":31}])");
    ASSERT_EQ(kova_radarr_search_or_add("tt0111161", nullptr), KOVA_OK) << kova_last_error();
    EXPECT_EQ(kova_radarr_grab_release(0), KOVA_OK);
    EXPECT_STREQ(kova_fake_last_post_body(), R"({"guid":"abc-1","indexerId":2})");
}
