// Prowlarr through the fake transport: the connection test, the staged
// search with its indexers' status, and the grab.
#include "ops/ops_fixture.h"

namespace {

// The recorded status entry, held back until a time to come.
const char *k_held_back = R"([{"indexerId":3,"disabledTill":"2999-09-13T12:27:57Z",)"
                          R"("mostRecentFailure":"2026-09-12T12:27:57Z","initialFailure":"2026-07-27T06:52:06Z"}])";
const char *k_enc_movie = "query=%7BImdbId%3Att0464196%7D&type=movie";

class Prowlarr : public OpsTest {
protected:
    void SetUp() override {
        OpsTest::SetUp();
        ASSERT_EQ(kova_prowlarr_configure("p", 0, 0, "k"), KOVA_OK);
        route(P("/api/v1/indexer"), 200, fixture("prowlarr/indexer-list-5-public-fieldsstripped.json"));
        route(P("/api/v1/indexerstatus"), 200, fixture("prowlarr/indexerstatus-one-disabled.json"));
    }
    const std::string search = fixture("prowlarr/search-severance-2.5.2.json");
};

TEST_F(Prowlarr, ConnectionTestListsTheEnabledIndexers) {
    EXPECT_EQ(kova_prowlarr_test(), KOVA_OK);
    ASSERT_EQ(kova_indexer_count(), 5);
    EXPECT_STREQ(kova_indexer_name(4), "YTS");
    EXPECT_STREQ(kova_indexer_id(4), "4");
    EXPECT_EQ(kova_indexers_errored(), 0); // held back until a time gone by
    EXPECT_EQ(log_keys(), (Strings{"ProwlarrV1_Test_Indexers", "ProwlarrV1_Indexers"}));
    EXPECT_EQ(log_texts()[1], "indexers: LimeTorrents, Nyaa.si, RuTor, The Pirate Bay, YTS");

    route(P("/api/v1/indexerstatus"), 200, k_held_back);
    EXPECT_EQ(kova_prowlarr_test(), KOVA_OK);
    EXPECT_EQ(kova_indexer_status(0), KOVA_INDEXER_FAILED);
    EXPECT_STREQ(kova_indexer_error(0),
                 "held back after failures since 2026-07-27T06:52:06Z until 2999-09-13T12:27:57Z");
    EXPECT_EQ(log_texts()[1], "indexers: LimeTorrents (held back), Nyaa.si, RuTor, The Pirate Bay, YTS");

    route(P("/api/v1/indexer"), 200, R"([{"id":1,"name":"off","enable":false}])");
    EXPECT_EQ(kova_prowlarr_test(), KOVA_ERR_EMPTY);
    EXPECT_STREQ(kova_last_error(), "Prowlarr: no indexer is enabled");
    route(P("/api/v1/indexer"), 401, "");
    EXPECT_EQ(kova_prowlarr_test(), KOVA_ERR_AUTH);
    EXPECT_STREQ(kova_last_error(), "Prowlarr indexer list: HTTP 401 (API key rejected)");
}

TEST_F(Prowlarr, StageOneAsksTheIdAsATokenOfEachType) {
    route(P("/api/v1/search", k_enc_movie), 200, search);
    ASSERT_EQ(kova_prowlarr_search("tt0464196", nullptr, nullptr, KOVA_SEARCH_MOVIE, 0, 0), KOVA_OK);
    EXPECT_EQ(kova_result_count(), 3);
    EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_IMDB);
    EXPECT_EQ(kova_indexer_count(), 5);
    EXPECT_EQ(kova_indexer_results(4), 1); // YTS
    EXPECT_EQ(log_keys(), (Strings{"ProwlarrV1_Lookup_By_IMDbID", "ProwlarrV1_Indexer_Status"}));
    EXPECT_EQ(log_texts()[0], "Searching by IMDbID:tt0464196...");

    // Series: the season and episode as tokens; an id of eight digits.
    const std::string tv = "query=%7BImdbId%3Att11280740%7D%7BSeason%3A1%7D%7BEpisode%3A2%7D&type=tvsearch";
    route(P("/api/v1/search", tv), 200, search);
    EXPECT_EQ(kova_prowlarr_search("11280740", nullptr, nullptr, KOVA_SEARCH_TV, 1, 2), KOVA_OK);
    EXPECT_EQ(calls(P("/api/v1/search", tv)), 1);

    // Anything: both types, their rows together.
    const std::string any_tv = "query=%7BImdbId%3Att0464196%7D%7BSeason%3A1%7D&type=tvsearch";
    route(P("/api/v1/search", any_tv), 200, R"([{"title":"tv one","indexerId":5}])");
    EXPECT_EQ(kova_prowlarr_search("tt464196", nullptr, nullptr, KOVA_SEARCH_ANY, 1, 0), KOVA_OK);
    EXPECT_EQ(titles(), (Strings{"Severance (2006) 720p BRRip x264 -YTS", "Severance - S01 - Mp4 x264 AC3 1080p",
                                 "Severance - S02 - Mp4 x264 AC3 1080p", "tv one"}));
    route(P("/api/v1/search", any_tv), 200, "[]");
    EXPECT_EQ(kova_prowlarr_search("tt464196", nullptr, nullptr, KOVA_SEARCH_ANY, 1, 0), KOVA_OK);
    EXPECT_EQ(kova_result_count(), 3);
    route(P("/api/v1/search", any_tv), 200, R"({"message":"x"})");
    EXPECT_EQ(kova_prowlarr_search("tt464196", nullptr, nullptr, KOVA_SEARCH_ANY, 1, 0), KOVA_ERR_JSON);
    EXPECT_STREQ(kova_last_error(), "Prowlarr: response is object, not an array");
}

TEST_F(Prowlarr, LaterStagesByTitleThenQuery) {
    route(P("/api/v1/search", k_enc_movie), 200, "[]");
    // The title's rows of another IMDb id go; those of none stay.
    route(P("/api/v1/search", "query=Severance&type=movie"), 200,
          R"([{"title":"same","imdbId":464196},{"title":"other","imdbId":11280740},{"title":"none"}])");
    ASSERT_EQ(kova_prowlarr_search("tt0464196", "Severance", "sev q", KOVA_SEARCH_MOVIE, 0, 0), KOVA_OK);
    EXPECT_EQ(titles(), (Strings{"same", "none"}));
    EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_TITLE);
    ASSERT_EQ(kova_warning_count(), 1);
    EXPECT_STREQ(kova_warning(0), "Prowlarr: 1 rows of other IMDb ids dropped");

    route(P("/api/v1/search", "query=Severance&type=movie"), 200, R"([{"title":"other","imdbId":11280740}])");
    route(P("/api/v1/search", "query=sev%20q&type=movie"), 200, R"([{"title":"q"}])");
    ASSERT_EQ(kova_prowlarr_search("tt0464196", "Severance", "sev q", KOVA_SEARCH_MOVIE, 0, 0), KOVA_OK);
    EXPECT_EQ(titles(), (Strings{"q"}));
    EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_QUERY);
    EXPECT_EQ(log_keys(), (Strings{"ProwlarrV1_Lookup_By_IMDbID", "ProwlarrV1_Lookup_By_Title",
                                   "ProwlarrV1_Lookup_By_Query", "ProwlarrV1_Indexer_Status"}));

    // A query alone, free text.
    route(P("/api/v1/search", "query=sev%20q&type=search"), 200, "[]");
    EXPECT_EQ(kova_prowlarr_search(nullptr, nullptr, "sev q", KOVA_SEARCH_ANY, 0, 0), KOVA_ERR_EMPTY);
    EXPECT_STREQ(kova_last_error(), "Prowlarr: no results");
    EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_NONE);
}

TEST_F(Prowlarr, HeldBackIndexersMakeAPartialOrFailedSearch) {
    route(P("/api/v1/search", k_enc_movie), 200, search);
    route(P("/api/v1/indexerstatus"), 200, k_held_back);
    EXPECT_EQ(kova_prowlarr_search("tt0464196", nullptr, nullptr, KOVA_SEARCH_MOVIE, 0, 0), KOVA_PARTIAL);
    EXPECT_STREQ(kova_last_error(), "Prowlarr: 1 of 5 indexers failed; 3 results from the rest");

    route(P("/api/v1/search", k_enc_movie), 200, "[]");
    route(P("/api/v1/indexer"), 200, R"([{"id":3,"name":"LimeTorrents","enable":true}])");
    EXPECT_EQ(kova_prowlarr_search("tt0464196", nullptr, nullptr, KOVA_SEARCH_MOVIE, 0, 0), KOVA_ERR_INDEXERS);
    EXPECT_STREQ(kova_last_error(), "Prowlarr: all 1 indexers failed; nothing was searched");

    // A status that cannot be read leaves the search's own result.
    route(P("/api/v1/search", k_enc_movie), 200, search);
    route(P("/api/v1/indexerstatus"), 500, R"({"message":"boom"})");
    EXPECT_EQ(kova_prowlarr_search("tt0464196", nullptr, nullptr, KOVA_SEARCH_MOVIE, 0, 0), KOVA_OK);
    EXPECT_STREQ(kova_last_error(), "");
    ASSERT_EQ(kova_warning_count(), 1);
    EXPECT_STREQ(kova_warning(0), "Prowlarr: the indexers' status is unknown (Prowlarr indexer status: HTTP 500)");
    EXPECT_EQ(kova_result_count(), 3);
}

TEST_F(Prowlarr, ArgumentsAreCheckedFirst) {
    const struct {
        int32_t rc;
        const char *err;
        int32_t (*call)();
    } cases[] = {
        {KOVA_ERR_INVALID_ARG, "Prowlarr search: unknown type 3",
         [] { return kova_prowlarr_search("tt1", nullptr, nullptr, 3, 0, 0); }},
        {KOVA_ERR_INVALID_ARG, "Prowlarr search: no IMDb id and no query",
         [] { return kova_prowlarr_search(nullptr, "t", "", 0, 0, 0); }},
        {KOVA_ERR_INVALID_ARG, "Prowlarr search: invalid season/episode",
         [] { return kova_prowlarr_search("tt1", nullptr, nullptr, 2, -1, 0); }},
        {KOVA_ERR_INVALID_ARG, "Prowlarr search: invalid IMDb id",
         [] { return kova_prowlarr_search("tt123456789", nullptr, nullptr, 1, 0, 0); }},
        {KOVA_ERR_INVALID_ARG, "Prowlarr search: invalid IMDb id",
         [] { return kova_prowlarr_search("xyz", nullptr, nullptr, 1, 0, 0); }},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.call(), c.rc);
        EXPECT_STREQ(kova_last_error(), c.err);
    }
    EXPECT_EQ(kova_fake_calls(nullptr), 0);
    kova_reset();
    kova_use_fake();
    EXPECT_EQ(kova_prowlarr_search("tt1", nullptr, nullptr, 1, 0, 0), KOVA_ERR_NOT_CONFIGURED);
    EXPECT_STREQ(kova_last_error(), "Prowlarr is not configured");
}

TEST_F(Prowlarr, GrabSendsAListedReleaseBack) {
    route(P("/api/v1/search", k_enc_movie), 200, search);
    EXPECT_EQ(kova_prowlarr_grab_release(0), KOVA_ERR_NOT_ARMED);
    kova_arm_library_writes(1);
    EXPECT_EQ(kova_prowlarr_grab_release(0), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(), "Prowlarr grab: the current results are not from a Prowlarr search");
    ASSERT_EQ(kova_prowlarr_search("tt0464196", nullptr, nullptr, KOVA_SEARCH_MOVIE, 0, 0), KOVA_OK);
    EXPECT_EQ(kova_prowlarr_grab_release(3), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(), "Prowlarr grab: no release 3 in the current results");
    EXPECT_EQ(kova_sonarr_grab_release(0), KOVA_ERR_INVALID_ARG);

    route(P("/api/v1/search"), 200, "{}");
    EXPECT_EQ(kova_prowlarr_grab_release(0), KOVA_OK);
    EXPECT_EQ(std::string(kova_fake_last_post_url()), P("/api/v1/search"));
    EXPECT_STREQ(kova_fake_last_post_body(),
                 R"({"guid":"https://yts.gg/torrent/download/F74E542F0E2283D6827F59728D152959C73A6FD4","indexerId":4})");
    EXPECT_EQ(log_keys(), (Strings{"ProwlarrV1_Release_Grab"}));
    EXPECT_EQ(kova_result_count(), 3); // the set stays

    route(P("/api/v1/search"), 404, R"({"message":"Couldn't find the release, try searching again","description":"x"})");
    EXPECT_EQ(kova_prowlarr_grab_release(1), KOVA_ERR_NOT_FOUND);
    EXPECT_STREQ(kova_last_error(), "Prowlarr grab: Prowlarr no longer knows release 1: search again");
    route(P("/api/v1/search"), 409, "");
    EXPECT_EQ(kova_prowlarr_grab_release(1), KOVA_ERR_HTTP);
    EXPECT_STREQ(kova_last_error(), "Prowlarr grab: the indexer failed to deliver release 1 (HTTP 409)");
}

TEST_F(Prowlarr, HostAnswersParseLikeSearches) {
    EXPECT_EQ(kova_parse_prowlarr(search.c_str()), KOVA_OK);
    EXPECT_EQ(kova_result_count(), 3);
    EXPECT_STREQ(kova_result_protocol(2), "torrent");
    EXPECT_EQ(kova_parse_prowlarr("[]"), KOVA_ERR_EMPTY);
    EXPECT_STREQ(kova_last_error(), "Prowlarr: no results");
    EXPECT_EQ(kova_parse_prowlarr(nullptr), KOVA_ERR_INVALID_ARG);
}

} // namespace
