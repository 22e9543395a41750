#include "ops/ops_fixture.h"

using namespace kova;

namespace {
const std::string k_results = "/api/v2.0/indexers/all/results";

std::string jackett(const std::string &rows, const std::string &indexers = "[]") {
    return "{\"Results\":[" + rows + "],\"Indexers\":" + indexers + "}";
}
std::string row(const char *title, const char *imdb = nullptr) {
    std::string r = std::string("{\"Title\":\"") + title + "\"";
    if (imdb) r += std::string(",\"Imdb\":") + imdb;
    return r + "}";
}
const std::string k_three_ok = "[{\"ID\":\"a\",\"Status\":0},{\"ID\":\"b\",\"Status\":0},{\"ID\":\"c\",\"Status\":0}]";
} // namespace

using JackettSearch = OpsTest;

TEST_F(JackettSearch, ImdbStageSendsTheIdUnchanged) {
    route(J(k_results, "Query=tt0111161"), 200, jackett(row("A") + "," + row("B")));
    EXPECT_EQ(kova_jackett_search_imdb("tt0111161", "Title", "query"), KOVA_OK);
    EXPECT_EQ(kova_fake_calls(nullptr), 1);
    EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_IMDB);
    EXPECT_EQ(titles(), (Strings{"A", "B"}));
    EXPECT_EQ(log_keys(), Strings{"JackettV3_Movie_Lookup_By_IMDbID"});
    EXPECT_EQ(log_texts(), Strings{"Searching movie by using IMDbID:tt0111161..."});
}

TEST_F(JackettSearch, TitleStageDropsRowsOfOtherImdbIdsInPlace) {
    route(J(k_results, "Query=tt0000042"), 200, jackett(""));
    route(J(k_results, "Query=The%20Title"), 200,
          jackett(row("same", "\"tt0000042\"") + "," + row("other", "\"tt99\"") + "," + row("none") + "," +
                  row("number", "42") + "," + row("other2", "7")));
    EXPECT_EQ(kova_jackett_search_imdb("tt0000042", "The Title", nullptr), KOVA_OK);
    EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_TITLE);
    EXPECT_EQ(titles(), (Strings{"same", "none", "number"}));
    ASSERT_EQ(kova_warning_count(), 1);
    EXPECT_STREQ(kova_warning(0), "stage2: dropped 2 rows with a different Imdb");
    EXPECT_EQ(log_keys(), (Strings{"JackettV3_Movie_Lookup_By_IMDbID", "JackettV2_Lookup_By_Title"}));
    EXPECT_EQ(log_texts()[1], "Searching by title:The Title...");
}

TEST_F(JackettSearch, FallsThroughToTheQueryStage) {
    route(J(k_results, "Query=tt1"), 200, jackett(""));
    route(J(k_results, "Query=T"), 200, jackett(row("wrong", "\"tt2\"")));
    route(J(k_results, "Query=a%20%26%20b-._~"), 200, jackett(row("Q")));
    EXPECT_EQ(kova_jackett_search_imdb("tt1", "T", "a & b-._~"), KOVA_OK);
    EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_QUERY);
    EXPECT_EQ(titles(), Strings{"Q"});
    EXPECT_EQ(log_keys(),
              (Strings{"JackettV3_Movie_Lookup_By_IMDbID", "JackettV2_Lookup_By_Title", "JackettV2_Lookup_By_Query"}));
    EXPECT_EQ(log_texts()[2], "Searching by query:a & b-._~...");
}

TEST_F(JackettSearch, NothingFoundAnywhere) {
    route(J(k_results, "Query=tt1"), 200, jackett(""));
    route(J(k_results, "Query=T"), 200, jackett(row("wrong", "\"tt2\"")));
    EXPECT_EQ(kova_jackett_search_imdb("tt1", "T", nullptr), KOVA_ERR_EMPTY);
    EXPECT_STREQ(kova_last_error(), "Jackett: no results");
    EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_NONE);
    EXPECT_EQ(kova_result_count(), 0);
}

TEST_F(JackettSearch, TitleWithoutImdbIdIsNeverSearched) {
    route(J(k_results, "Query=q"), 200, jackett(row("Q")));
    EXPECT_EQ(kova_jackett_search_imdb(nullptr, "ignored", "q"), KOVA_OK);
    EXPECT_EQ(kova_fake_calls(nullptr), 1);
    EXPECT_EQ(log_keys(), Strings{"JackettV2_Lookup_By_Query"});

    EXPECT_EQ(kova_jackett_search_imdb("", "title only", ""), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(), "Jackett search: no IMDb id and no query");
    EXPECT_EQ(kova_fake_calls(nullptr), 1);
    EXPECT_EQ(kova_test_log_count(), 0);
    EXPECT_EQ(kova_result_count(), 0);
}

TEST_F(JackettSearch, Classification) {
    struct Case {
        std::string indexers;
        int rows;
        int32_t rc;
        const char *msg;
    } cases[] = {
        {"[{\"Status\":0},{\"Status\":1},{\"Status\":0}]", 12, KOVA_PARTIAL,
         "Jackett: 1 of 3 indexers failed; 12 results from the rest"},
        {"[{\"Status\":0},{\"Status\":1},{\"Status\":0}]", 0, KOVA_PARTIAL,
         "Jackett: 1 of 3 indexers failed; 0 results from the rest"},
        {"[{\"Status\":1},{\"Status\":\"1\"},{\"Status\":1}]", 0, KOVA_ERR_INDEXERS,
         "Jackett: all 3 indexers failed; nothing was searched"},
        {"[{\"Status\":1},{\"Status\":1}]", 2, KOVA_PARTIAL, "Jackett: 2 of 2 indexers failed; 2 results from the rest"},
        {"[]", 0, KOVA_ERR_EMPTY, "Jackett: no results"},
        {k_three_ok, 1, KOVA_OK, ""},
    };
    for (const Case &c : cases) {
        std::string rows;
        for (int i = 0; i < c.rows; ++i) rows += (i ? "," : "") + row("r");
        route(J(k_results, "Query=q"), 200, jackett(rows, c.indexers));
        EXPECT_EQ(kova_jackett_search_query("q"), c.rc) << c.msg;
        EXPECT_STREQ(kova_last_error(), c.msg);
        EXPECT_EQ(kova_last_rc(), c.rc);
        EXPECT_EQ(kova_result_count(), c.rows);
        // The same answer handed in by the host classifies the same way.
        EXPECT_EQ(kova_parse_jackett(jackett(rows, c.indexers).c_str()), c.rc);
        EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_NONE);
    }
}

TEST_F(JackettSearch, FailuresKeepThePreviousStageResult) {
    route(J(k_results, "Query=tt1"), 200, jackett(""));
    route(J(k_results, "Query=T"), 404, "gone");
    EXPECT_EQ(kova_jackett_search_imdb("tt1", "T", "q"), KOVA_ERR_NOT_FOUND);
    EXPECT_STREQ(kova_last_error(), "Jackett search: HTTP 404");
    EXPECT_EQ(kova_last_http_code(), 404);
    EXPECT_EQ(kova_fake_calls(nullptr), 2); // the query stage does not run

    route(J(k_results, "Query=tt1"), 401, "no");
    EXPECT_EQ(kova_jackett_search_imdb("tt1", nullptr, nullptr), KOVA_ERR_AUTH);
    EXPECT_STREQ(kova_last_error(), "Jackett search: HTTP 401 (API key rejected)");

    route(J(k_results, "Query=tt1"), 200, "[1]");
    EXPECT_EQ(kova_jackett_search_imdb("tt1", nullptr, nullptr), KOVA_ERR_JSON);
    EXPECT_STREQ(kova_last_error(), "Jackett: response is not a JSON object");
}

TEST_F(JackettSearch, EmptyQueryAndNotConfigured) {
    route(J(k_results, "Query=q"), 200, jackett(row("Q")));
    ASSERT_EQ(kova_jackett_search_query("q"), KOVA_OK);
    EXPECT_EQ(kova_jackett_search_query(""), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(), "Jackett search: empty query");
    EXPECT_EQ(kova_result_count(), 0);
    EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_NONE);
    EXPECT_EQ(kova_test_log_count(), 1); // left as the earlier search wrote it
    EXPECT_EQ(kova_jackett_search_query(nullptr), KOVA_ERR_INVALID_ARG);

    kova_reset();
    kova_use_fake();
    int32_t served = kova_fake_calls(nullptr);
    EXPECT_EQ(kova_jackett_search_query("q"), KOVA_ERR_NOT_CONFIGURED);
    EXPECT_STREQ(kova_last_error(), "Jackett is not configured");
    EXPECT_EQ(kova_jackett_search_imdb("tt1", nullptr, nullptr), KOVA_ERR_NOT_CONFIGURED);
    EXPECT_EQ(kova_fake_calls(nullptr), served);
}

TEST_F(JackettSearch, ParseJackettNullReleasesTheSet) {
    route(J(k_results, "Query=q"), 200, jackett(row("Q")));
    ASSERT_EQ(kova_jackett_search_query("q"), KOVA_OK);
    EXPECT_EQ(kova_parse_jackett(nullptr), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(), "NULL input");
    EXPECT_EQ(kova_result_count(), 0);
    EXPECT_EQ(kova_test_log_count(), 1);
}

TEST_F(JackettSearch, OutOfMemoryAnywhereInTheStagesEndsCleanly) {
    route(J(k_results, "Query=tt1"), 200, jackett(""));
    route(J(k_results, "Query=T"), 200, jackett(row("wrong", "\"tt2\"")));
    route(J(k_results, "Query=q"), 200, jackett(row("Q"), k_three_ok));
    int failures = oom_sweep([] {}, [] { return kova_jackett_search_imdb("tt1", "T", "q"); },
                             [](int32_t rc, bool injected) {
                                 if (!injected) {
                                     EXPECT_EQ(rc, KOVA_OK);
                                     EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_QUERY);
                                     return;
                                 }
                                 // A lost warning or log entry never changes the result.
                                 if (rc == KOVA_OK) return;
                                 expect_oom_outcome(rc);
                                 EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_NONE);
                             });
    EXPECT_GT(failures, 10);
    EXPECT_EQ(kova_jackett_search_imdb("tt1", "T", "q"), KOVA_OK);
}
