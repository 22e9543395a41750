// Sessions: a context per session, the thread's binding, and sessions used
// side by side from several threads (this test runs under TSan too).
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "ops/ops_fixture.h"

namespace {
std::string jackett_rows(const std::string &title) {
    return "{\"Results\":[{\"Title\":\"" + title + "\",\"Imdb\":111161},{\"Title\":\"" + title +
           " 2\"}],\"Indexers\":[{\"ID\":\"a\",\"Status\":0}]}";
}

// Unbinds and frees the session at the end of a scope, whatever the test did.
struct owned_session {
    kova_session *s = kova_session_new();
    ~owned_session() { kova_session_free(s); }
};
} // namespace

using Session = OpsTest;

TEST_F(Session, NewSessionStartsInTheZeroStateAndKeepsItsOwnState) {
    // The default context: configured, fake selected, armed, with an error.
    kova_arm_library_writes(1);
    kova_set_timeout_ms(1234);
    EXPECT_EQ(kova_jackett_search_imdb("tt1", nullptr, nullptr), KOVA_ERR_TRANSPORT);
    const std::string default_error = kova_last_error();

    owned_session a;
    ASSERT_NE(a.s, nullptr);
    EXPECT_EQ(kova_session_current(), nullptr);
    EXPECT_EQ(kova_session_bind(a.s), nullptr);
    EXPECT_EQ(kova_session_current(), a.s);
    EXPECT_STREQ(kova_base_url(KOVA_JACKETT), "");
    EXPECT_EQ(kova_library_writes_armed(), 0);
    EXPECT_EQ(kova_last_rc(), KOVA_OK);
    EXPECT_STREQ(kova_last_error(), "");
    EXPECT_EQ(kova_result_count(), 0);
    EXPECT_EQ(kova_lookup_match(), -1);
    EXPECT_EQ(kova_timeout_ms(), 1234); // the process's
    // Configured but no transport selected: nothing reaches the fake.
    ASSERT_EQ(kova_jackett_configure("j", 0, 0, "k"), KOVA_OK);
    route(J("/api/v2.0/indexers/all/results", "Query=tt2"), 200, jackett_rows("A"));
    EXPECT_EQ(kova_jackett_search_imdb("tt2", nullptr, nullptr), KOVA_ERR_NO_IO);
    kova_use_fake();
    EXPECT_EQ(kova_jackett_search_imdb("tt2", nullptr, nullptr), KOVA_OK);
    EXPECT_EQ(titles(), (Strings{"A", "A 2"}));

    // Back on the default context: its own state, untouched.
    EXPECT_EQ(kova_session_bind(nullptr), a.s);
    EXPECT_EQ(kova_last_rc(), KOVA_ERR_TRANSPORT);
    EXPECT_EQ(kova_last_error(), default_error);
    EXPECT_EQ(kova_result_count(), 0);
    EXPECT_EQ(kova_library_writes_armed(), 1);
    EXPECT_STREQ(kova_base_url(KOVA_SONARR), "http://s:8989");

    // And the session's again, as it was left.
    kova_session_bind(a.s);
    EXPECT_EQ(titles(), (Strings{"A", "A 2"}));
    EXPECT_STREQ(kova_base_url(KOVA_SONARR), "");
    kova_session_bind(nullptr);
}

TEST_F(Session, BindReturnsThePreviousBindingAndFreeUnbindsTheCallingThread) {
    kova_session *a = kova_session_new();
    kova_session *b = kova_session_new();
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);
    EXPECT_EQ(kova_session_bind(a), nullptr);
    EXPECT_EQ(kova_session_bind(b), a);
    EXPECT_EQ(kova_session_bind(b), b);
    kova_session_free(a); // not bound here: the binding stays
    EXPECT_EQ(kova_session_current(), b);
    ASSERT_EQ(kova_radarr_configure("r2", 0, 0, "k"), KOVA_OK);
    kova_session_free(b); // bound: the thread is back on the default
    EXPECT_EQ(kova_session_current(), nullptr);
    EXPECT_STREQ(kova_base_url(KOVA_RADARR), "http://r:7878");
    kova_session_free(nullptr);
}

TEST_F(Session, ResetOfASessionLeavesTheDefaultAndTheProcessTimeOut) {
    const int32_t default_timeout = kova_timeout_ms();
    kova_set_timeout_ms(2500);
    owned_session a;
    kova_session_bind(a.s);
    ASSERT_EQ(kova_sonarr_configure("s2", 0, 0, "k"), KOVA_OK);
    kova_use_fake();
    EXPECT_EQ(kova_sonarr_test(), KOVA_ERR_TRANSPORT);
    EXPECT_STRNE(kova_result_json(), "");
    kova_reset();
    EXPECT_STREQ(kova_base_url(KOVA_SONARR), "");
    EXPECT_STREQ(kova_last_error(), "");
    EXPECT_EQ(kova_timeout_ms(), 2500);
    EXPECT_EQ(kova_session_current(), a.s); // still bound
    kova_session_bind(nullptr);
    EXPECT_STREQ(kova_base_url(KOVA_SONARR), "http://s:8989");
    kova_reset();
    EXPECT_EQ(kova_timeout_ms(), default_timeout);
}

TEST_F(Session, NewReportsRunningOutOfMemory) {
    int failures = oom_sweep([] {}, [] {
        kova_session *s = kova_session_new();
        kova_session_free(s);
        return s ? KOVA_OK : KOVA_ERR_OOM;
    }, [](int32_t rc, bool injected) { EXPECT_EQ(rc, injected ? KOVA_ERR_OOM : KOVA_OK); });
    EXPECT_EQ(failures, 1);
}

// Threads with a session each run searches, lookups, adds and failing
// requests at once against services of their own; no result, warning or
// error text crosses from one session to another.
TEST_F(Session, ThreadsWithASessionEachKeepTheirResultsApart) {
    constexpr int k_threads = 4, k_rounds = 60;
    const char *k_series = "[{\"title\":\"Show %d\",\"tvdbId\":%d,\"imdbId\":\"tt0944947\"}]";
    for (int t = 0; t < k_threads; ++t) {
        const std::string j = "http://j" + std::to_string(t) + ":9117", s = "http://s" + std::to_string(t) + ":8989",
                          r = "http://r" + std::to_string(t) + ":7878", T = std::to_string(t);
        route(url(j.c_str(), "/api/v2.0/indexers/all/results", "Query=tt0111161"), 200, jackett_rows("T" + T));
        char series[128];
        snprintf(series, sizeof series, k_series, t, 100 + t);
        route(url(s.c_str(), "/api/v3/series/lookup", "term=tt0944947"), 200, series);
        route(url(r.c_str(), "/api/v3/movie/lookup/tmdb", "tmdbId=278"), 200,
              "{\"title\":\"Film " + T + "\",\"tmdbId\":278}");
        route(url(r.c_str(), "/api/v3/movie", ""), 201, "{\"id\":" + std::to_string(10 + t) + "}");
        // A refusal with the service's explanation, which becomes a warning.
        route(url(s.c_str(), "/api/v3/rootfolder", ""), 500, "{\"message\":\"broken " + T + "\"}");
    }
    std::atomic<int> mismatches{0};
    auto worker = [&](int t) {
        kova_session *s = kova_session_new();
        if (!s) {
            ++mismatches;
            return;
        }
        kova_session_bind(s);
        const std::string T = std::to_string(t);
        kova_use_fake();
        kova_arm_library_writes(1);
        kova_jackett_configure(("j" + T).c_str(), 0, 0, "k");
        kova_sonarr_configure(("s" + T).c_str(), 0, 0, "k");
        kova_radarr_configure(("r" + T).c_str(), 0, 0, "k");
        auto expect = [&](bool ok) {
            if (!ok) ++mismatches;
        };
        for (int i = 0; i < k_rounds; ++i) {
            expect(kova_jackett_search_imdb("tt0111161", nullptr, nullptr) == KOVA_OK);
            expect(kova_result_count() == 2 && std::string(kova_result_title(0)) == "T" + T &&
                   std::string(kova_result_json()).find("\"T" + T + " 2\"") != std::string::npos);
            expect(kova_sonarr_lookup("tt0944947", nullptr) >= 0);
            expect(std::string(kova_lookup_title(0)) == "Show " + T && kova_lookup_tvdb(0) == 100 + t);
            expect(kova_radarr_add_movie(278, "/m", 1) == 10 + t);
            // The fake's last POST is the process's; each thread reads its own copy.
            const std::string posted = kova_fake_last_post_url(), body = kova_fake_last_post_body();
            expect(posted.find(":7878/api/v3/movie?apikey=k") != std::string::npos && body.find("\"tmdbId\":278") != std::string::npos);
            expect(kova_sonarr_test() == KOVA_ERR_HTTP && kova_warning_count() == 1 &&
                   std::string(kova_warning(0)).find("broken " + T) != std::string::npos &&
                   kova_last_http_code() == 500);
            expect(std::string(kova_imdb_numeric(("tt" + T).c_str())) == T);
        }
        kova_session_free(s);
        expect(kova_session_current() == nullptr);
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < k_threads; ++t) threads.emplace_back(worker, t);
    for (auto &th : threads) th.join();
    EXPECT_EQ(mismatches.load(), 0);
    // The default context saw none of it.
    EXPECT_EQ(kova_result_count(), 0);
    EXPECT_STREQ(kova_last_error(), "");
}
