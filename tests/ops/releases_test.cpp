#include "ops/ops_fixture.h"

using namespace kova;

namespace {
const std::string k_release = "/api/v3/release";
const std::string k_episode = "/api/v3/episode";
const char *k_two_releases =
    "[{\"title\":\"S03E05 1080p\",\"indexer\":\"X\",\"seasonNumber\":3,\"episodeNumbers\":[5]},"
    "{\"title\":\"S03E05 720p\",\"indexerFlags\":1}]";
} // namespace

using Releases = OpsTest;

TEST_F(Releases, EpisodeFoundInTheEpisodeList) {
    route(S(k_episode, "seriesId=12&seasonNumber=3"), 200,
          "[{\"episodeNumber\":5,\"seasonNumber\":2,\"id\":800},{\"episodeNumber\":5,\"seasonNumber\":3,\"id\":901}]");
    route(S(k_release, "episodeId=901"), 200, k_two_releases);
    EXPECT_EQ(kova_sonarr_releases(12, 3, 5), KOVA_OK);
    EXPECT_EQ(titles(), (Strings{"S03E05 1080p", "S03E05 720p"}));
    EXPECT_EQ(kova_result_download_volume_factor(1), 0);
    EXPECT_EQ(kova_result_episode(0), 5);
    EXPECT_EQ(log_keys(), (Strings{"SonarrV3_Series_Get_All_Episode", "SonarrV3_Series_Search_Release_Episode"}));
    EXPECT_EQ(log_texts(), (Strings{"Get all episodes for series 12",
                                    "Searching available releases for episode 5 in season 3 with Sonarr episodeId 901"}));
}

TEST_F(Releases, MissingEpisodeFallsBackToTheSeason) {
    route(S(k_episode, "seriesId=12&seasonNumber=3"), 200, "[{\"episodeNumber\":5,\"seasonNumber\":3,\"id\":0}]");
    route(S(k_release, "seriesId=12&seasonNumber=3"), 200, k_two_releases);
    EXPECT_EQ(kova_sonarr_releases(12, 3, 5), KOVA_OK);
    ASSERT_EQ(kova_warning_count(), 1);
    EXPECT_STREQ(kova_warning(0), "Sonarr: episode S3E5 not found, searching the whole season");
    EXPECT_EQ(log_keys(), (Strings{"SonarrV3_Series_Get_All_Episode", "SonarrV3_Series_Search_Release_Season"}));
    EXPECT_EQ(log_texts()[1], "Searching available releases for episodes for season 3");
}

TEST_F(Releases, WholeSeasonAndFilm) {
    route(S(k_release, "seriesId=12&seasonNumber=0"), 200, k_two_releases);
    EXPECT_EQ(kova_sonarr_releases(12, 0, 0), KOVA_OK);
    EXPECT_EQ(kova_fake_calls(nullptr), 1);
    EXPECT_EQ(log_keys(), Strings{"SonarrV3_Series_Search_Release_Season"});

    route(R(k_release, "movieId=44"), 200, "[]");
    EXPECT_EQ(kova_radarr_releases(44), KOVA_ERR_EMPTY);
    EXPECT_STREQ(kova_last_error(), "Radarr: no releases");
    EXPECT_EQ(kova_result_count(), 0);
    EXPECT_EQ(log_texts(), Strings{"Searching available releases for movie"});
}

TEST_F(Releases, RefusedArgumentsSendNothing) {
    struct Case {
        int32_t series, season, episode;
    } cases[] = {{0, 1, 1}, {1, -1, 0}, {1, 0, -1}};
    for (const Case &c : cases) {
        EXPECT_EQ(kova_sonarr_releases(c.series, c.season, c.episode), KOVA_ERR_INVALID_ARG);
        EXPECT_STREQ(kova_last_error(), "Sonarr releases: invalid series/season/episode");
    }
    EXPECT_EQ(kova_radarr_releases(0), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(), "Radarr releases: invalid movie id");
    EXPECT_EQ(kova_fake_calls(nullptr), 0);
}

TEST_F(Releases, AFailingEpisodeListLeavesTheEarlierResultAlone) {
    route(J("/api/v2.0/indexers/all/results", "Query=q"), 200, "{\"Results\":[{\"Title\":\"jackett row\"}]}");
    ASSERT_EQ(kova_jackett_search_query("q"), KOVA_OK);
    route(S(k_episode, "seriesId=12&seasonNumber=3"), 500, "boom");
    EXPECT_EQ(kova_sonarr_releases(12, 3, 5), KOVA_ERR_HTTP);
    EXPECT_STREQ(kova_last_error(), "Sonarr episode list: HTTP 500");
    EXPECT_EQ(titles(), Strings{"jackett row"});
    EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_QUERY);

    route(S(k_episode, "seriesId=12&seasonNumber=3"), 200, "{}");
    EXPECT_EQ(kova_sonarr_releases(12, 3, 5), KOVA_ERR_JSON);
    EXPECT_STREQ(kova_last_error(), "Sonarr episode list: not a JSON array");
    EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_QUERY);

    route(S(k_release, "seriesId=12&seasonNumber=3"), 200, "{}");
    EXPECT_EQ(kova_sonarr_releases(12, 3, 0), KOVA_ERR_JSON);
    EXPECT_EQ(kova_result_count(), 0);
    EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_NONE);
}

TEST_F(Releases, ParseArrReleases) {
    EXPECT_EQ(kova_parse_arr_releases("[]"), KOVA_ERR_EMPTY);
    EXPECT_STREQ(kova_last_error(), "no releases");
    EXPECT_EQ(kova_parse_arr_releases(nullptr), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(), "NULL input");
    EXPECT_EQ(kova_parse_arr_releases(k_two_releases), KOVA_OK);
    EXPECT_EQ(kova_result_count(), 2);
    EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_NONE);
}

TEST_F(Releases, OutOfMemory) {
    route(S(k_episode, "seriesId=12&seasonNumber=3"), 200, "[{\"episodeNumber\":5,\"seasonNumber\":3,\"id\":901}]");
    route(S(k_release, "episodeId=901"), 200, k_two_releases);
    int failures = oom_sweep([] {}, [] { return kova_sonarr_releases(12, 3, 5); },
                             [](int32_t rc, bool injected) {
                                 if (!injected || rc == KOVA_OK) return;
                                 expect_oom_outcome(rc);
                             });
    EXPECT_GT(failures, 5);
    EXPECT_EQ(kova_sonarr_releases(12, 3, 5), KOVA_OK);
}
