#include "ops/ops_fixture.h"

using namespace kova;

namespace {
const std::string k_indexers_q = "t=indexers&configured=true";
const std::string k_torznab = "/api/v2.0/indexers/all/results/torznab/api";

std::string torznab(const std::string &items) { return "<?xml version=\"1.0\"?><indexers>" + items + "</indexers>"; }
std::string indexer(const char *id, const char *title, const char *configured = "true") {
    return std::string("<indexer id=\"") + id + "\" configured=\"" + configured + "\"><title>" + title +
           "</title></indexer>";
}
} // namespace

using ConnTest = OpsTest;

TEST_F(ConnTest, SonarrHappyPath) {
    route(S("/api/v3/rootfolder"), 200, "[{\"path\":\"/tv/\"},{\"path\":\"/other\"}]");
    route(S("/api/v3/qualityprofile"), 200,
          "[{\"id\":1,\"name\":\"Any\"},{\"name\":\"no id\"},{\"id\":\"6\",\"name\":\"HD-1080p\"},5]");
    EXPECT_EQ(kova_sonarr_test(), KOVA_OK);
    EXPECT_STREQ(kova_rootfolder(), "/tv");
    ASSERT_EQ(kova_quality_profile_count(), 2);
    EXPECT_EQ(kova_quality_profile_id(0), 1);
    EXPECT_EQ(kova_quality_profile_id(1), 6);
    EXPECT_STREQ(kova_quality_profile_name(1), "HD-1080p");
    EXPECT_EQ(log_keys(), (Strings{"SonarrV3_Get_Rootfolder", "SonarrV3_Rootfolder", "SonarrV3_Get_QualityProfile",
                                   "SonarrV3_QualityProfile"}));
    EXPECT_EQ(log_texts(), (Strings{"Get first Sonarr Rootfolder", "rootfolder: /tv", "Getting quality profiles...",
                                    "profile: Any, HD-1080p"}));
}

TEST_F(ConnTest, DecisionTable) {
    struct Case {
        const char *roots;
        const char *profiles;
        int32_t rc;
        const char *msg;
        const char *root;
    } cases[] = {
        {"[{\"path\":\"/movies\"}]", "[{\"id\":4,\"name\":\"SD\"}]", KOVA_OK, "", "/movies"},
        {"[{\"path\":\"C:\\\\films\\\\\\\\\"}]", "[]", KOVA_ERR_EMPTY, "Radarr: no quality profile", "C:\\films"},
        {"[{\"path\":\"/\"}]", "[{\"id\":4,\"name\":\"SD\"}]", KOVA_ERR_EMPTY, "Radarr: no root folder configured", ""},
        {"[]", "[]", KOVA_ERR_EMPTY, "Radarr: no root folder and no quality profile", ""},
        {"[{\"path\":null}]", "[{\"id\":4}]", KOVA_ERR_EMPTY, "Radarr: no root folder configured", ""},
        {"{}", "[]", KOVA_ERR_JSON, "Radarr rootfolder: not a JSON array", ""},
        {"[]", "{\"id\":1}", KOVA_ERR_JSON, "Radarr qualityprofile: not a JSON array", ""},
    };
    for (const Case &c : cases) {
        route(R("/api/v3/rootfolder"), 200, c.roots);
        route(R("/api/v3/qualityprofile"), 200, c.profiles);
        EXPECT_EQ(kova_radarr_test(), c.rc) << c.roots << " " << c.profiles;
        EXPECT_STREQ(kova_last_error(), c.msg);
        EXPECT_STREQ(kova_rootfolder(), c.root);
    }
    route(R("/api/v3/rootfolder"), 200, "[{\"path\":\"/\"}]");
    route(R("/api/v3/qualityprofile"), 200, "[]");
    kova_radarr_test();
    EXPECT_EQ(log_keys(), (Strings{"RadarrV3_Get_Rootfolder", "RadarrV3_NoRootfolder", "RadarrV3_Get_QualityProfile",
                                   "RadarrV3_NoQualityProfile"}));
    EXPECT_EQ(log_texts()[1], "rootfolder is not set for radarr");
    EXPECT_EQ(log_texts()[3], "not quality profiles availble");
}

TEST_F(ConnTest, FailedRootFetchLogsUnlessNotConfiguredOrNoTransport) {
    route(S("/api/v3/rootfolder"), 401, "unauthorized");
    EXPECT_EQ(kova_sonarr_test(), KOVA_ERR_AUTH);
    EXPECT_STREQ(kova_last_error(), "Sonarr rootfolder: HTTP 401 (API key rejected)");
    EXPECT_EQ(log_keys(), (Strings{"SonarrV3_Get_Rootfolder", "SonarrV3_NoRootfolder"}));
    EXPECT_EQ(kova_quality_profile_count(), 0);

    kova_set_io(nullptr);
    EXPECT_EQ(kova_sonarr_test(), KOVA_ERR_NO_IO);
    EXPECT_EQ(log_keys(), Strings{"SonarrV3_Get_Rootfolder"});
}

TEST_F(ConnTest, ProfileListIsCappedAt10000) {
    std::string big = "[";
    for (int i = 1; i <= 10001; ++i) big += (i > 1 ? "," : "") + std::string("{\"id\":") + std::to_string(i) + "}";
    big += "]";
    route(S("/api/v3/rootfolder"), 200, "[{\"path\":\"/tv\"}]");
    route(S("/api/v3/qualityprofile"), 200, big);
    EXPECT_EQ(kova_sonarr_test(), KOVA_OK);
    EXPECT_EQ(kova_quality_profile_count(), 10000);
    EXPECT_EQ(kova_quality_profile_id(9999), 10000);
    EXPECT_STREQ(kova_quality_profile_name(0), "");
}

TEST_F(ConnTest, JackettListsConfiguredIndexersWithoutSearching) {
    route(J(k_torznab, k_indexers_q), 200,
          torznab(indexer("a", "Alpha") + indexer("b", "Beta &amp; Co") + indexer("x", "Off", "false") +
                  indexer("c", "Gamma")));
    EXPECT_EQ(kova_jackett_test(), KOVA_OK);
    ASSERT_EQ(kova_indexer_count(), 3);
    EXPECT_STREQ(kova_indexer_name(1), "Beta & Co");
    EXPECT_EQ(kova_indexer_status(0), KOVA_INDEXER_TORZNAB);
    EXPECT_EQ(log_keys(), (Strings{"JackettV2_Test_Indexers", "JackettV2_Indexers"}));
    EXPECT_EQ(log_texts(), (Strings{"Listing configured Jackett indexers (no search)...",
                                    "indexers: Alpha, Beta & Co, Gamma"}));
}

TEST_F(ConnTest, JackettWithoutIndexersWarnsButSucceeds) {
    route(J("/api/v2.0/indexers/all/results", "Query=q"), 200, "{\"Results\":[{\"Title\":\"r\"}]}");
    ASSERT_EQ(kova_jackett_search_query("q"), KOVA_OK);
    route(J(k_torznab, k_indexers_q), 200, torznab(""));
    EXPECT_EQ(kova_jackett_test(), KOVA_OK);
    ASSERT_EQ(kova_warning_count(), 1);
    EXPECT_STREQ(kova_warning(0), "Jackett: no indexer is configured");
    EXPECT_EQ(log_keys(), (Strings{"JackettV2_Test_Indexers", "JackettV2_NoIndexers"}));
    EXPECT_EQ(kova_result_count(), 0);
    EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_QUERY); // the test replaces rows but not the stage
}

TEST_F(ConnTest, JackettTorznabErrors) {
    route(J(k_torznab, k_indexers_q), 200, "<error code=\"100\" description=\"Invalid API Key\"/>");
    EXPECT_EQ(kova_jackett_test(), KOVA_ERR_AUTH);
    EXPECT_STREQ(kova_last_error(), "Jackett: API key rejected (Torznab error 100)");
    route(J(k_torznab, k_indexers_q), 500, "oops");
    EXPECT_EQ(kova_jackett_test(), KOVA_ERR_HTTP);
    EXPECT_STREQ(kova_last_error(), "Jackett indexer list: HTTP 500");
}

TEST_F(ConnTest, ParseTorznabIndexers) {
    route(J("/api/v2.0/indexers/all/results", "Query=q"), 200, "{\"Results\":[{\"Title\":\"r\"}]}");
    ASSERT_EQ(kova_jackett_search_query("q"), KOVA_OK);
    EXPECT_EQ(kova_parse_torznab_indexers(torznab(indexer("a", "A") + indexer("b", "B")).c_str()), KOVA_OK);
    EXPECT_EQ(kova_indexer_count(), 2);
    EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_NONE);
    EXPECT_EQ(kova_test_log_count(), 1);
    EXPECT_EQ(kova_parse_torznab_indexers(nullptr), KOVA_ERR_JSON);
    EXPECT_STREQ(kova_last_error(), "Jackett: empty indexer list");
    EXPECT_EQ(kova_indexer_count(), 0);
}

TEST_F(ConnTest, OutOfMemoryInTheTests) {
    route(S("/api/v3/rootfolder"), 200, "[{\"path\":\"/tv/\"}]");
    route(S("/api/v3/qualityprofile"), 200, "[{\"id\":1,\"name\":\"Any\"},{\"id\":2,\"name\":\"HD\"}]");
    route(J(k_torznab, k_indexers_q), 200, torznab(indexer("a", "A") + indexer("b", "B")));
    for (auto op : {kova_sonarr_test, kova_jackett_test}) {
        int32_t normal = op();
        ASSERT_EQ(normal, KOVA_OK);
        int failures = oom_sweep([] {}, op, [&](int32_t rc, bool injected) {
            if (!injected || rc == KOVA_OK) return; // lost log entries do not change the result
            expect_oom_outcome(rc);
        });
        EXPECT_GT(failures, 5);
        EXPECT_EQ(op(), normal);
    }
}

TEST_F(ConnTest, KeepsEveryRootFolderAndFindsThem) {
    route(S("/api/v3/rootfolder"), 200,
          R"([{"path":"/tv/","freeSpace":1099511627776},{"path":"/","freeSpace":5},{"id":3},
              {"path":"D:\\Anime\\","freeSpace":"12"},{"path":"/kids","freeSpace":-1},7])");
    route(S("/api/v3/qualityprofile"), 200, R"([{"id":1,"name":"Any"},{"id":6,"name":"HD"},{"id":7,"name":"hd"}])");
    ASSERT_EQ(kova_sonarr_test(), KOVA_OK);
    const struct {
        const char *path;
        int64_t free_space;
    } want[] = {{"/tv", 1099511627776}, {"D:\\Anime", 12}, {"/kids", -1}};
    ASSERT_EQ(kova_rootfolder_count(), 3); // "/" and an entry without a path are no root folders
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_STREQ(kova_rootfolder_path(i), want[i].path);
        EXPECT_EQ(kova_rootfolder_free_space(i), want[i].free_space);
    }
    EXPECT_STREQ(kova_rootfolder_path(3), "");
    EXPECT_EQ(kova_rootfolder_free_space(-1), -1);

    const struct {
        const char *root;
        int32_t index;
    } roots[] = {{"/tv", 0}, {"/tv///", 0}, {"D:\\Anime\\\\", 1}, {"/kids/", 2}, {"/TV", -1}, {"/", -1}, {"", -1},
                 {nullptr, -1}};
    for (const auto &r : roots) EXPECT_EQ(kova_rootfolder_find(r.root), r.index) << (r.root ? r.root : "NULL");

    const struct {
        const char *profile;
        int32_t rc;
    } profiles[] = {{nullptr, 1}, {"", 1}, {"6", 6}, {"Any", 1}, {"ANY", 1}, {"HD", 6}, {"hd", 7},
                    {"Hd", KOVA_ERR_INVALID_ARG}, {"9", KOVA_ERR_INVALID_ARG}};
    for (const auto &p : profiles) {
        EXPECT_EQ(kova_quality_profile_find(p.profile), p.rc) << (p.profile ? p.profile : "NULL");
        EXPECT_EQ(kova_last_rc(), p.rc);
    }
    EXPECT_STREQ(kova_last_error(), "Sonarr: no quality profile \"9\"; Sonarr has: Any (1), HD (6), hd (7)");
    kova_reset();
    EXPECT_EQ(kova_quality_profile_find("Any"), KOVA_ERR_EMPTY);
    EXPECT_EQ(kova_rootfolder_count(), 0);
}

// A profile numbered below 1 cannot go into an add: finding never chooses it,
// not even as the first profile.
TEST_F(ConnTest, FindingSkipsProfilesNumberedBelowOne) {
    route(S("/api/v3/rootfolder"), 200, R"([{"path":"/tv"}])");
    route(S("/api/v3/qualityprofile"), 200, R"([{"id":0,"name":"HD"},{"id":-3,"name":"Any"},{"id":4,"name":"SD"}])");
    ASSERT_EQ(kova_sonarr_test(), KOVA_OK);
    EXPECT_EQ(kova_quality_profile_find(nullptr), 4);
    EXPECT_EQ(kova_quality_profile_find("0"), KOVA_ERR_INVALID_ARG);
    EXPECT_EQ(kova_quality_profile_find("HD"), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(), "Sonarr: no quality profile \"HD\"; Sonarr has: SD (4)");

    route(S("/api/v3/qualityprofile"), 200, R"([{"id":0,"name":"HD"}])");
    ASSERT_EQ(kova_sonarr_test(), KOVA_OK);
    EXPECT_EQ(kova_quality_profile_find(nullptr), KOVA_ERR_EMPTY);
    EXPECT_STREQ(kova_last_error(), "Sonarr: no quality profile");
}
