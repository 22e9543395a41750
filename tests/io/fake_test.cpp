#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "support/kova_test.h"

using FakeTest = KovaTest;

namespace {
const char *k_root = "http://h:8989/api/v3/rootfolder?apikey=k";
const char *k_profiles = "http://h:8989/api/v3/qualityprofile?apikey=k";

void use_fake_sonarr() {
    kova_use_fake();
    ASSERT_EQ(kova_sonarr_configure("h", 0, 0, "k"), KOVA_OK);
}
} // namespace

TEST_F(FakeTest, RoutesMatchTheExactUrlOnly) {
    use_fake_sonarr();
    ASSERT_EQ(kova_fake_set(k_root, 200, "[{\"path\":\"/tv\"}]"), KOVA_OK);
    const char *near_misses[] = {"http://h:8989/api/v3/Rootfolder?apikey=k", "http://h:8989/api/v3/rootfolder/?apikey=k",
                                 "http://h:8989/api/v3/rootfolder?apikey=K"};
    for (const char *u : near_misses) {
        kova_fake_set(u, 200, "x"); // proves they are distinct keys...
        EXPECT_EQ(kova_fake_calls(u), 0);
    }
    kova_fake_reset();
    ASSERT_EQ(kova_fake_set("http://h:8989/api/v3/rootfolder?apikey=K", 200, "[]"), KOVA_OK);
    EXPECT_EQ(kova_sonarr_test(), KOVA_ERR_TRANSPORT); // ...and none answers the real URL
    EXPECT_STREQ(kova_last_error(), "Sonarr rootfolder: transport failure");
    EXPECT_EQ(kova_fake_calls(nullptr), 1);
    EXPECT_EQ(kova_fake_calls(k_root), 0);
}

TEST_F(FakeTest, ReplacingARouteKeepsItsCallCount) {
    use_fake_sonarr();
    ASSERT_EQ(kova_fake_set(k_root, 200, "[]"), KOVA_OK);
    kova_sonarr_test();
    ASSERT_EQ(kova_fake_set(k_root, 500, "boom"), KOVA_OK);
    EXPECT_EQ(kova_sonarr_test(), KOVA_ERR_HTTP);
    EXPECT_EQ(kova_last_http_code(), 500);
    EXPECT_EQ(kova_fake_calls(k_root), 2);

    ASSERT_EQ(kova_fake_fail(k_root, nullptr), KOVA_OK);
    EXPECT_EQ(kova_sonarr_test(), KOVA_ERR_TRANSPORT);
    EXPECT_EQ(kova_last_http_code(), 0);
    ASSERT_EQ(kova_fake_set(k_root, 200, "[]"), KOVA_OK);
    ASSERT_EQ(kova_fake_set(k_profiles, 200, "[]"), KOVA_OK);
    EXPECT_EQ(kova_sonarr_test(), KOVA_ERR_EMPTY);
    EXPECT_EQ(kova_fake_calls(k_root), 4);
}

TEST_F(FakeTest, RefusesNullArguments) {
    EXPECT_EQ(kova_fake_set(nullptr, 200, "x"), KOVA_ERR_INVALID_ARG);
    EXPECT_EQ(kova_fake_set("u", 200, nullptr), KOVA_ERR_INVALID_ARG);
    EXPECT_EQ(kova_fake_fail(nullptr, "x"), KOVA_ERR_INVALID_ARG);
    EXPECT_EQ(kova_fake_calls("u"), 0);
}

TEST_F(FakeTest, TableOperationsFillTheOutputs) {
    const kova_io *io = fake_io();
    ASSERT_NE(io, nullptr);
    EXPECT_EQ(io->user, nullptr);
    char *body = nullptr, *err = nullptr;
    int32_t status = 77;
    EXPECT_EQ(io->get(nullptr, "nowhere", &body, &status, &err), -1);
    EXPECT_EQ(body, nullptr);
    EXPECT_EQ(status, 0);
    EXPECT_STREQ(err, "fake: no route");
    io->release(nullptr, err);

    kova_fake_fail("f", "custom failure");
    EXPECT_EQ(io->get(nullptr, "f", &body, &status, &err), -1);
    EXPECT_STREQ(err, "custom failure");
    io->release(nullptr, err);

    kova_fake_set("s", 418, "teapot");
    EXPECT_EQ(io->post(nullptr, "s", "{}", "application/json", &body, &status, &err), 0);
    EXPECT_STREQ(body, "teapot");
    EXPECT_EQ(status, 418);
    EXPECT_EQ(err, nullptr);
    io->release(nullptr, body);
    EXPECT_EQ(kova_fake_calls("s"), 1); // GET and POST share the route
}

TEST_F(FakeTest, RecordsTheLastPost) {
    EXPECT_STREQ(kova_fake_last_post_url(), "");
    EXPECT_STREQ(kova_fake_last_post_body(), "");
    const kova_io *io = fake_io();
    char *body = nullptr, *err = nullptr;
    int32_t status = 0;
    std::string long_url(70000, 'u');
    std::string long_body(100000, 'b');
    EXPECT_EQ(io->post(nullptr, long_url.c_str(), long_body.c_str(), "application/json", &body, &status, &err), -1);
    io->release(nullptr, err);
    EXPECT_EQ(kova_fake_post_count(), 1);
    EXPECT_EQ(strlen(kova_fake_last_post_url()), 65535u);
    EXPECT_EQ(std::string(kova_fake_last_post_body()), long_body);
    EXPECT_EQ(kova_fake_calls(nullptr), 1);
}

TEST_F(FakeTest, ResetKeepsTheSelectionAndContextResetKeepsTheRoutes) {
    use_fake_sonarr();
    ASSERT_EQ(kova_fake_set(k_root, 200, "[]"), KOVA_OK);
    kova_fake_reset();
    EXPECT_EQ(kova_fake_calls(k_root), 0);
    EXPECT_EQ(kova_sonarr_test(), KOVA_ERR_TRANSPORT); // still the fake, no route

    ASSERT_EQ(kova_fake_set(k_root, 200, "[]"), KOVA_OK);
    ASSERT_EQ(kova_fake_set(k_profiles, 200, "[]"), KOVA_OK);
    kova_reset();
    EXPECT_EQ(kova_fake_calls(nullptr), 1);
    use_fake_sonarr();
    EXPECT_EQ(kova_sonarr_test(), KOVA_ERR_EMPTY); // the routes survived
    EXPECT_EQ(kova_fake_calls(k_root), 1);
}

TEST_F(FakeTest, SelectionCalls) {
    ASSERT_EQ(kova_sonarr_configure("h", 0, 0, "k"), KOVA_OK);
    EXPECT_EQ(kova_sonarr_test(), KOVA_ERR_NO_IO);
    EXPECT_EQ(kova_use_curl(), KOVA_ERR_NO_IO);
    EXPECT_EQ(kova_sonarr_test(), KOVA_ERR_NO_IO);
    kova_use_fake();
    EXPECT_EQ(kova_sonarr_test(), KOVA_ERR_TRANSPORT);
    kova_set_io(nullptr);
    EXPECT_EQ(kova_sonarr_test(), KOVA_ERR_NO_IO);

    kova_set_timeout_ms(2500);
    EXPECT_EQ(kova_timeout_ms(), 2500);
    kova_set_timeout_ms(0);
    EXPECT_EQ(kova_timeout_ms(), 100000);
    kova_set_timeout_ms(-5);
    EXPECT_EQ(kova_timeout_ms(), 100000);
    kova_set_timeout_ms(1);
    kova_reset();
    EXPECT_EQ(kova_timeout_ms(), 100000);
}

TEST_F(FakeTest, ProgrammingRunsOutOfMemoryCleanly) {
    // A new route: URL copy, array growth, body copy.
    oom_sweep([] { kova_fake_reset(); },
              [] { return kova_fake_set("new", 200, "body"); },
              [](int32_t rc, bool injected) {
                  EXPECT_EQ(rc, injected ? KOVA_ERR_OOM : KOVA_OK);
                  if (!injected) {
                      EXPECT_EQ(kova_fake_calls(nullptr), 0);
                  }
              });
    // A route left without a body fails like a failing route.
    kova_fake_reset();
    kova_fake_set("r", 200, "x");
    fault_arm(1);
    EXPECT_EQ(kova_fake_set("r", 200, "y"), KOVA_ERR_OOM);
    fault_disarm();
    const kova_io *io = fake_io();
    char *body = nullptr, *err = nullptr;
    int32_t status = 0;
    EXPECT_EQ(io->get(nullptr, "r", &body, &status, &err), -1);
    EXPECT_STREQ(err, "fake: transport failure");
    io->release(nullptr, err);

    oom_sweep([] {}, [] { return kova_fake_fail("r", "down"); },
              [](int32_t rc, bool injected) { EXPECT_EQ(rc, injected ? KOVA_ERR_OOM : KOVA_OK); });

    // Serving: the body copy fails, then the error text copy fails too.
    kova_fake_set("r", 200, "x");
    fault_arm(1);
    EXPECT_EQ(io->get(nullptr, "r", &body, &status, &err), -1);
    fault_disarm();
    EXPECT_STREQ(err, "fake: out of memory");
    io->release(nullptr, err);
    fault_arm(1, true);
    EXPECT_EQ(io->get(nullptr, "r", &body, &status, &err), -1);
    fault_disarm();
    EXPECT_EQ(err, nullptr);
    EXPECT_EQ(body, nullptr);

    // Recording a POST: a failed copy reads back as "".
    fault_arm(1, true);
    EXPECT_EQ(io->post(nullptr, "r", "{}", "application/json", &body, &status, &err), -1);
    fault_disarm();
    EXPECT_STREQ(kova_fake_last_post_url(), "");
    EXPECT_STREQ(kova_fake_last_post_body(), "");
}

// Programming the fake on one thread while another's requests are served.
// Built under ThreadSanitizer by `make tsan`.
TEST(FakeThreads, ProgrammingWhileServingIsRaceFree) {
    kova_fake_reset();
    const kova_io *io = fake_io();
    std::atomic<bool> stop{false};
    std::atomic<int> served{0};
    std::thread server([&] {
        while (!stop.load()) {
            char *body = nullptr, *err = nullptr;
            int32_t status = 0;
            if (io->get(nullptr, "u0", &body, &status, &err) == 0) ++served;
            io->release(nullptr, body);
            io->release(nullptr, err);
            io->post(nullptr, "u1", "{\"x\":1}", "application/json", &body, &status, &err);
            io->release(nullptr, body);
            io->release(nullptr, err);
            kova_fake_last_post_body();
        }
    });
    for (int i = 0; i < 2000; ++i) {
        std::string u = "u" + std::to_string(i % 40);
        kova_fake_set(u.c_str(), 200, "body");
        if (i % 7 == 0) kova_fake_fail(u.c_str(), nullptr);
        kova_fake_calls(u.c_str());
        kova_fake_post_count();
        kova_fake_last_post_url();
        if (i % 500 == 499) kova_fake_reset();
    }
    stop = true;
    server.join();
    EXPECT_GE(kova_fake_calls(nullptr), 0);
    kova_fake_reset();
}
