#include "ops/ops_fixture.h"

using namespace kova;

namespace {
const char *k_series =
    "{\"title\":\"Show\",\"cleanTitle\":\"show\",\"imdbId\":\"tt0944947\",\"tvdbId\":121361,\"path\":\"/old\","
    "\"monitored\":true,\"seasons\":[{\"seasonNumber\":1,\"monitored\":true,\"monitored\":true},{\"seasonNumber\":2},5],"
    "\"qualityProfileId\":3,\"addOptions\":{\"x\":1},\"monitored\":false,\"seasonFolder\":false,"
    "\"monitorNewItems\":\"all\",\"Path\":\"kept: keys match exactly\",\"id\":0}";
const char *k_series_body =
    "{\"title\":\"Show\",\"cleanTitle\":\"show\",\"imdbId\":\"tt0944947\",\"tvdbId\":121361,"
    "\"seasons\":[{\"seasonNumber\":1,\"monitored\":false},{\"seasonNumber\":2,\"monitored\":false},5],"
    "\"Path\":\"kept: keys match exactly\",\"id\":0,"
    "\"path\":\"/tv/show-tt0944947\",\"rootFolderPath\":\"/tv\",\"qualityProfileId\":6,\"monitored\":false,"
    "\"seasonFolder\":true,\"monitorNewItems\":\"none\",\"addOptions\":{\"monitor\":\"none\","
    "\"searchForMissingEpisodes\":false,\"searchForCutoffUnmetEpisodes\":false}}";
const char *k_movie = "{\"title\":\"Shawshank\",\"cleanTitle\":\"shawshank\",\"imdbId\":\"tt0111161\",\"tmdbId\":278,"
                      "\"year\":1994,\"seasonFolder\":true}";
const char *k_movie_body =
    "{\"title\":\"Shawshank\",\"cleanTitle\":\"shawshank\",\"imdbId\":\"tt0111161\",\"tmdbId\":278,\"year\":1994,"
    "\"seasonFolder\":true,\"path\":\"/movies/shawshank-tt0111161\",\"rootFolderPath\":\"/movies\","
    "\"qualityProfileId\":4,\"monitored\":false,\"addOptions\":{\"searchForMovie\":false,\"monitor\":\"none\"}}";
} // namespace

class Add : public OpsTest {
protected:
    void SetUp() override {
        OpsTest::SetUp();
        kova_arm_library_writes(1);
    }
    std::string series_lookup() { return S("/api/v3/series/lookup", "term=tvdb%3A121361"); }
    std::string series_post() { return S("/api/v3/series", "tvdbId=121361"); }
    std::string movie_lookup() { return R("/api/v3/movie/lookup/tmdb", "tmdbId=278"); }
    std::string movie_post() { return R("/api/v3/movie"); }
};

TEST_F(Add, SonarrPostsTheLookupObjectWithTheAddMembersReplaced) {
    route(series_lookup(), 200, std::string("[") + k_series + "]");
    route(series_post(), 201, "[{\"id\":17}]");
    EXPECT_EQ(kova_sonarr_add_series(121361, "/tv/", 6), 17);
    EXPECT_EQ(kova_last_rc(), 17);
    EXPECT_STREQ(kova_fake_last_post_body(), k_series_body);
    EXPECT_EQ(std::string(kova_fake_last_post_url()), series_post());
    // No language-profile route: the fake fails that request, and the body
    // goes out as it would without the step.
    EXPECT_EQ(log_keys(), (Strings{"SonarrV3_Get_LanguageProfile", "SonarrV3_NoLanguageProfile", "SonarrV3_Series_Add"}));
    EXPECT_EQ(log_texts(), (Strings{"Getting language profiles...", "no language profile, adding without one",
                                    "Adding series details to library for show and tvdbId is 121361"}));
    EXPECT_EQ(kova_lookup_match(), -1);
    EXPECT_STREQ(kova_last_error(), "");
    EXPECT_EQ(kova_warning_count(), 0);
    EXPECT_EQ(kova_last_http_code(), 201);
}

// Sonarr v3 refuses a series without a language profile it knows; v4 has
// none (404) and ignores the member.
TEST_F(Add, SonarrTakesTheFirstLanguageProfileWhenTheLookupHasNone) {
    const std::string with_language = std::string(k_series_body, strlen(k_series_body) - 1) + ",\"languageProfileId\":3}";
    const std::string lookup_with_zero = std::string("[") + k_series + "]";
    std::string lookup_with_zero_member = lookup_with_zero;
    lookup_with_zero_member.insert(lookup_with_zero_member.size() - 2, ",\"languageProfileId\":0");
    std::string lookup_with_own = lookup_with_zero;
    lookup_with_own.insert(lookup_with_own.size() - 2, ",\"languageProfileId\":2");
    const std::string own_body = std::string(k_series_body, strlen(k_series_body) - 1);
    struct Case {
        const char *what;
        std::string lookup;
        int32_t status; // of the language-profile answer; 0: no route
        const char *profiles;
        std::string body;
        int fetches;
        Strings log;
    } cases[] = {
        {"no member", lookup_with_zero, 200, R"([{"id":"x"},{"id":3,"name":"English"},{"id":1,"name":"Any"}])",
         with_language, 1, {"SonarrV3_Get_LanguageProfile", "SonarrV3_LanguageProfile", "SonarrV3_Series_Add"}},
        {"member 0 replaced", lookup_with_zero_member, 200, R"([{"id":3,"name":"English"}])", with_language, 1,
         {"SonarrV3_Get_LanguageProfile", "SonarrV3_LanguageProfile", "SonarrV3_Series_Add"}},
        {"own profile kept", lookup_with_own, 200, R"([{"id":3}])",
         own_body.substr(0, own_body.find(",\"path\":\"/tv/")) + ",\"languageProfileId\":2" +
             own_body.substr(own_body.find(",\"path\":\"/tv/")) + "}",
         0, {"SonarrV3_Series_Add"}},
        {"Sonarr v4: 404", lookup_with_zero, 404, R"({"message":"NotFound"})", k_series_body, 1,
         {"SonarrV3_Get_LanguageProfile", "SonarrV3_NoLanguageProfile", "SonarrV3_Series_Add"}},
        {"empty list", lookup_with_zero, 200, "[]", k_series_body, 1,
         {"SonarrV3_Get_LanguageProfile", "SonarrV3_NoLanguageProfile", "SonarrV3_Series_Add"}},
        {"not a list", lookup_with_zero, 200, "{}", k_series_body, 1,
         {"SonarrV3_Get_LanguageProfile", "SonarrV3_NoLanguageProfile", "SonarrV3_Series_Add"}},
    };
    route(series_post(), 201, "{\"id\":17}");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        route(series_lookup(), 200, c.lookup);
        route(S("/api/v3/languageprofile"), c.status, c.profiles);
        int before = calls(S("/api/v3/languageprofile"));
        EXPECT_EQ(kova_sonarr_add_series(121361, "/tv/", 6), 17) << kova_last_error();
        EXPECT_EQ(kova_fake_last_post_body(), c.body);
        EXPECT_EQ(calls(S("/api/v3/languageprofile")) - before, c.fetches);
        EXPECT_EQ(log_keys(), c.log);
        // A tolerated failure leaves no error text and no warning behind.
        EXPECT_STREQ(kova_last_error(), "");
        EXPECT_EQ(kova_warning_count(), 0);
    }
    EXPECT_EQ(log_texts().back(), "Adding series details to library for show and tvdbId is 121361");
    route(S("/api/v3/languageprofile"), 200, R"([{"id":3,"name":"English"}])");
    route(series_lookup(), 200, lookup_with_zero);
    ASSERT_EQ(kova_sonarr_add_series(121361, "/tv/", 6), 17);
    EXPECT_EQ(log_texts()[1], "language profile: English (id 3)");
    // Radarr has no language profiles to fetch.
    route(movie_lookup(), 200, k_movie);
    route(movie_post(), 201, "{\"id\":31}");
    int before = calls(S("/api/v3/languageprofile")) + calls(R("/api/v3/languageprofile"));
    EXPECT_EQ(kova_radarr_add_movie(278, "/movies", 4), 31);
    EXPECT_STREQ(kova_fake_last_post_body(), k_movie_body);
    EXPECT_EQ(calls(S("/api/v3/languageprofile")) + calls(R("/api/v3/languageprofile")), before);
}

TEST_F(Add, RadarrBodyHasNoSeriesMembers) {
    route(movie_lookup(), 200, k_movie);
    route(movie_post(), 201, "{\"id\":31}");
    EXPECT_EQ(kova_radarr_add_movie(278, "/movies", 4), 31);
    EXPECT_STREQ(kova_fake_last_post_body(), k_movie_body);
    EXPECT_EQ(log_texts(), Strings{"Adding movie details to library for shawshank and tmdbid is 278"});
}

TEST_F(Add, FolderNameFallsBackToUntitledAndSkipsAnEmptySuffix) {
    struct Case {
        const char *extra;
        const char *path;
    } cases[] = {
        {"\"cleanTitle\":\"\",\"imdbId\":\"\"", "/m/untitled"},
        {"\"cleanTitle\":42,\"imdbId\":\"tt1\"", "/m/untitled-tt1"},
        {"\"imdbId\":\"tt1\"", "/m/untitled-tt1"},
        {"\"cleanTitle\":\"x\"", "/m/x"},
    };
    route(movie_post(), 201, "{\"id\":31}");
    for (const Case &c : cases) {
        route(movie_lookup(), 200, std::string("{\"tmdbId\":278,") + c.extra + "}");
        EXPECT_EQ(kova_radarr_add_movie(278, "/m\\", 4), 31) << c.extra;
        std::string body = kova_fake_last_post_body();
        EXPECT_NE(body.find(std::string("\"path\":\"") + c.path + "\""), std::string::npos) << body;
    }
}

TEST_F(Add, RefusalsSendNoPost) {
    struct Case {
        std::function<int32_t()> call;
        int32_t rc;
        const char *msg;
    } cases[] = {
        {[] { return kova_sonarr_add_series(0, "/tv", 1); }, KOVA_ERR_INVALID_ARG,
         "Sonarr add: invalid tvdb id / root / profile"},
        {[] { return kova_sonarr_add_series(121361, "", 1); }, KOVA_ERR_INVALID_ARG,
         "Sonarr add: invalid tvdb id / root / profile"},
        {[] { return kova_radarr_add_movie(278, "/movies", 0); }, KOVA_ERR_INVALID_ARG,
         "Radarr add: invalid tmdb id / root / profile"},
        // A root that trims to nothing would add at the top of the service's disk.
        {[] { return kova_sonarr_add_series(121361, "/", 1); }, KOVA_ERR_INVALID_ARG,
         "Sonarr add: empty root folder (F11)"},
        {[] { return kova_radarr_add_movie(278, "//\\\\", 1); }, KOVA_ERR_INVALID_ARG,
         "Radarr add: empty root folder (F11)"},
        {[] { return kova_sonarr_add_series(999, "/tv", 1); }, KOVA_ERR_NOT_FOUND, "Sonarr add: tvdb id not found"},
    };
    route(series_lookup(), 200, std::string("[") + k_series + "]");
    route(S("/api/v3/series/lookup", "term=tvdb%3A999"), 200, std::string("[") + k_series + "]");
    route(movie_lookup(), 200, k_movie);
    for (const Case &c : cases) {
        EXPECT_EQ(c.call(), c.rc) << c.msg;
        EXPECT_STREQ(kova_last_error(), c.msg);
    }
    EXPECT_EQ(kova_fake_post_count(), 0);
}

TEST_F(Add, AlreadyInTheLibraryOrNotFound) {
    route(series_lookup(), 200, "[{\"tvdbId\":121361,\"id\":5}]");
    EXPECT_EQ(kova_sonarr_add_series(121361, "/tv", 1), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(), "Sonarr add: series is already in the library (id 5)");
    route(movie_lookup(), 200, "[{\"tmdbId\":278,\"id\":9}]");
    EXPECT_EQ(kova_radarr_add_movie(278, "/m", 1), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(), "Radarr add: movie is already in the library (id 9)");
    route(movie_lookup(), 200, "[{\"tmdbId\":279}]");
    EXPECT_EQ(kova_radarr_add_movie(278, "/m", 1), KOVA_ERR_NOT_FOUND);
    EXPECT_STREQ(kova_last_error(), "Radarr add: tmdb id not found");
    route(movie_lookup(), 500, "MovieNotFoundException");
    EXPECT_EQ(kova_radarr_add_movie(278, "/m", 1), KOVA_ERR_NOT_FOUND);
    route(movie_lookup(), 200, "[{\"tmdbId\":278,\"id\":0}]");
    route(movie_post(), 400, "[{\"errorMessage\":\"Path is invalid\"}]");
    EXPECT_EQ(kova_radarr_add_movie(278, "/m", 1), KOVA_ERR_HTTP);
    EXPECT_STREQ(kova_last_error(), "Radarr add movie: HTTP 400");
    EXPECT_EQ(kova_fake_post_count(), 1);
}

TEST_F(Add, AnswerWithoutAnId) {
    route(movie_lookup(), 200, k_movie);
    for (const char *answer : {"{}", "{\"id\":0}", "[]", "not json", "[{\"id\":2147483647}]"}) {
        route(movie_post(), 201, answer);
        EXPECT_EQ(kova_radarr_add_movie(278, "/m", 1), KOVA_ERR_JSON) << answer;
        EXPECT_STREQ(kova_last_error(), "Radarr add: the answer carries no id");
    }
}

TEST_F(Add, WritesMustBeArmed) {
    kova_arm_library_writes(0);
    log_append(&current(), "Earlier", "entry");
    EXPECT_EQ(kova_sonarr_add_series(1, "/tv", 1), KOVA_ERR_NOT_ARMED);
    EXPECT_STREQ(kova_last_error(), "library writes are not armed (kova_arm_library_writes)");
    EXPECT_EQ(kova_radarr_add_movie(1, "/m", 1), KOVA_ERR_NOT_ARMED);
    EXPECT_EQ(kova_test_log_count(), 1); // not cleared by a refused add
    EXPECT_EQ(kova_fake_calls(nullptr), 0);
    kova_arm_library_writes(5);
    EXPECT_EQ(kova_library_writes_armed(), 1);
}

TEST_F(Add, NeverPostsABodyWithMembersMissing) {
    route(series_lookup(), 200, std::string("[") + k_series + "]");
    route(series_post(), 201, "{\"id\":17}");
    int failures = oom_sweep([&] {
                                 kova_fake_reset();
                                 route(series_lookup(), 200, std::string("[") + k_series + "]");
                                 route(series_post(), 201, "{\"id\":17}");
                             },
                             [] { return kova_sonarr_add_series(121361, "/tv/", 6); },
                             [](int32_t rc, bool injected) {
                                 if (rc == 17) {
                                     // The fake's own recording of the POST may be what failed.
                                     std::string body = kova_fake_last_post_body();
                                     if (!injected || !body.empty()) {
                                         EXPECT_EQ(body, k_series_body);
                                     }
                                     return;
                                 }
                                 EXPECT_TRUE(injected);
                                 expect_oom_outcome(rc);
                                 if (kova_fake_post_count() > 0) {
                                     // Only the fake's own recording may have failed.
                                     std::string body = kova_fake_last_post_body();
                                     EXPECT_TRUE(body.empty() || body == k_series_body) << body;
                                 }
                             });
    EXPECT_GT(failures, 10);
}

TEST_F(Add, QualityProfilePick) {
    EXPECT_EQ(kova_quality_profile_pick("x"), -1);
    route(S("/api/v3/rootfolder"), 200, "[{\"path\":\"/tv\"}]");
    route(S("/api/v3/qualityprofile"), 200,
          "[{\"id\":4,\"name\":\"SD\"},{\"id\":6,\"name\":\"HD-1080p\"},{\"id\":8,\"name\":\"6\"}]");
    ASSERT_EQ(kova_sonarr_test(), KOVA_OK);
    struct Case {
        const char *text;
        int32_t id;
    } cases[] = {{"6", 6}, {"HD-1080p", 6}, {"hd-1080p", 4}, {nullptr, 4}, {"", 4}, {"8", 8}, {"nothing", 4}};
    for (const Case &c : cases) EXPECT_EQ(kova_quality_profile_pick(c.text), c.id) << (c.text ? c.text : "null");
    EXPECT_EQ(kova_last_rc(), KOVA_OK); // outside the frame
}
