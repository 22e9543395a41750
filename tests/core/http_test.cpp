#include <cstdlib>
#include <cstring>
#include <string>

#include "support/kova_test.h"

namespace {
// The transport a context's requests go through, as the operations choose it.
const kova_io *io_of(const context &ctx) { return select_io(ctx.io, ctx.use_fake != 0); }

struct HttpTest : ::testing::Test {
    context ctx;
    RecordingIo rec;
    char *body = nullptr;

    void SetUp() override {
        context_init(&ctx);
        ctx.io = &rec.io;
        ASSERT_EQ(service_configure(&ctx, 1, "192.0.2.10", 0, 0, "a+b/c"), OK);
    }
    void TearDown() override {
        mem_free(body);
        context_free(&ctx);
    }
    int32_t get(const char *query = nullptr, const char *label = "rootfolder") {
        mem_free(body);
        body = nullptr;
        return http_request(&ctx, io_of(ctx), KOVA_SONARR, http_method::get, "/api/v3/rootfolder", query, nullptr, label, &body);
    }
};
const char *k_url = "http://192.0.2.10:8989/api/v3/rootfolder?apikey=a%2Bb%2Fc";
} // namespace

TEST_F(HttpTest, ComposesTheUrlWithTheEncodedKeyFirst) {
    rec.fallback = {0, 200, "[]"};
    ASSERT_EQ(get(), OK);
    ASSERT_EQ(get(""), OK);
    ASSERT_EQ(get("term=tt1234567"), OK);
    ASSERT_EQ(rec.calls.size(), 3u);
    EXPECT_EQ(rec.calls[0].url, k_url);
    EXPECT_EQ(rec.calls[1].url, k_url);
    EXPECT_EQ(rec.calls[2].url, std::string(k_url) + "&term=tt1234567");
    EXPECT_FALSE(rec.calls[0].post);
    EXPECT_EQ(rec.calls[0].user, &rec);
    EXPECT_STREQ(ctx.svc[1].api_key, "a+b/c"); // stored unchanged
    EXPECT_STREQ(body, "[]");
}

TEST_F(HttpTest, BracketsIpv6HostsInEveryUrl) {
    ASSERT_EQ(service_configure(&ctx, 1, "::1", 0, 1, "k"), OK);
    rec.fallback = {0, 200, "x"};
    ASSERT_EQ(get(), OK);
    EXPECT_EQ(rec.calls[0].url, "https://[::1]:8989/api/v3/rootfolder?apikey=k");
}

TEST_F(HttpTest, PostsJsonAndAnEmptyBodyForNull) {
    rec.fallback = {0, 201, "{\"id\":3}"};
    ASSERT_EQ(http_request(&ctx, io_of(ctx), KOVA_SONARR, http_method::post, "/api/v3/series", "tvdbId=5", nullptr, "add series", &body), OK);
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_TRUE(rec.calls[0].post);
    EXPECT_FALSE(rec.calls[0].body_was_null);
    EXPECT_EQ(rec.calls[0].body, "");
    EXPECT_EQ(rec.calls[0].content_type, "application/json");
    mem_free(body);
    body = nullptr;
    ASSERT_EQ(http_request(&ctx, io_of(ctx), KOVA_SONARR, http_method::post, "/api/v3/series", nullptr, "{\"a\":1}", "add series", &body), OK);
    EXPECT_EQ(rec.calls[1].body, "{\"a\":1}");
}

TEST_F(HttpTest, MapsTheStatus) {
    struct Case {
        int32_t status;
        int32_t rc;
        const char *msg;
    } cases[] = {
        {200, OK, ""},
        {299, OK, ""},
        {204, OK, ""},
        {401, ERR_AUTH, "Sonarr rootfolder: HTTP 401 (API key rejected)"},
        {403, ERR_AUTH, "Sonarr rootfolder: HTTP 403 (API key rejected)"},
        {400, ERR_HTTP, "Sonarr rootfolder: HTTP 400"},
        {404, ERR_HTTP, "Sonarr rootfolder: HTTP 404"},
        {500, ERR_HTTP, "Sonarr rootfolder: HTTP 500"},
        {199, ERR_HTTP, "Sonarr rootfolder: HTTP 199"},
        {300, ERR_HTTP, "Sonarr rootfolder: HTTP 300"},
        {0, ERR_HTTP, "Sonarr rootfolder: HTTP 0"},
    };
    for (const Case &c : cases) {
        rec.fallback = {0, c.status, "answer"};
        begin_call(&ctx);
        EXPECT_EQ(get(), c.rc) << c.status;
        EXPECT_STREQ(ctx.err, c.msg);
        EXPECT_EQ(ctx.http_code, c.status);
        ASSERT_NE(body, nullptr) << "the body is handed over on HTTP errors too";
        EXPECT_STREQ(body, "answer");
    }
}

TEST_F(HttpTest, SuccessWithoutBodyGivesAnOwnedEmptyText) {
    rec.fallback = {0, 204, nullptr};
    ASSERT_EQ(get(), OK);
    ASSERT_NE(body, nullptr);
    EXPECT_STREQ(body, "");
    rec.fallback = {0, 404, nullptr};
    EXPECT_EQ(get(), ERR_HTTP);
    EXPECT_EQ(body, nullptr);
}

TEST_F(HttpTest, TransportFailureKeepsTheStatusAndDropsTheBody) {
    rec.fallback = {1, 502, "partial", "connection reset"};
    EXPECT_EQ(get(), ERR_TRANSPORT);
    EXPECT_STREQ(ctx.err, "Sonarr rootfolder: transport failure");
    EXPECT_EQ(ctx.http_code, 502);
    EXPECT_EQ(body, nullptr);
    EXPECT_EQ(rec.unreleased(), 0);
    ASSERT_EQ(rec.released.size(), 2u);
    // The body goes back before the error text.
    EXPECT_EQ(rec.released[0].first, rec.handed_out[0]);
}

TEST_F(HttpTest, BodyIsCutAtItsFirstNul) {
    static const char raw[] = "abc\0def";
    RecordingIo::Answer a{0, 200, raw};
    rec.fallback = a;
    ASSERT_EQ(get(), OK);
    EXPECT_STREQ(body, "abc");
}

TEST_F(HttpTest, ChecksConfigurationThenTransportBeforeCallingAnything) {
    context fresh;
    context_init(&fresh);
    EXPECT_EQ(http_request(&fresh, io_of(fresh), KOVA_SONARR, http_method::get, "/x", nullptr, nullptr, "l", &body), ERR_NOT_CONFIGURED);
    EXPECT_STREQ(fresh.err, "Sonarr is not configured");
    ASSERT_EQ(service_configure(&fresh, 1, "h", 0, 0, "k"), OK);
    EXPECT_EQ(http_request(&fresh, io_of(fresh), KOVA_SONARR, http_method::get, "/x", nullptr, nullptr, "l", &body), ERR_NO_IO);
    EXPECT_STREQ(fresh.err, "no transport installed (kova_set_io / kova_use_curl)");
    EXPECT_EQ(http_request(&fresh, io_of(fresh), 7, http_method::get, "/x", nullptr, nullptr, "l", &body), ERR_INVALID_ARG);
    EXPECT_STREQ(fresh.err, "unknown service");
    context_free(&fresh);

    kova_io get_only = rec.io;
    get_only.post = nullptr;
    ctx.io = &get_only;
    rec.fallback = {0, 200, "ok"};
    EXPECT_EQ(http_request(&ctx, io_of(ctx), KOVA_SONARR, http_method::post, "/x", nullptr, nullptr, "l", &body), ERR_NO_IO);
    EXPECT_EQ(rec.calls.size(), 0u);
    EXPECT_EQ(get(), OK);
    EXPECT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(body == nullptr, false);
}

TEST_F(HttpTest, NullReleaseMeansFree) {
    // Leak checking proves the outputs went to free().
    kova_io no_release = rec.io;
    no_release.release = nullptr;
    ctx.io = &no_release;
    rec.fallback = {0, 200, "body", "err"};
    EXPECT_EQ(get(), OK);
    EXPECT_EQ(rec.released.size(), 0u);
    rec.fallback = {3, 0, "body", "err"};
    EXPECT_EQ(get(), ERR_TRANSPORT);
}

TEST_F(HttpTest, OutOfMemoryReleasesEveryTransportOutput) {
    rec.fallback = {0, 200, "the body", "an error"};
    int failures = oom_sweep([&] { begin_call(&ctx); },
                             [&] { return get(); },
                             [&](int32_t rc, bool injected) {
                                 if (injected) {
                                     EXPECT_EQ(rc, ERR_OOM);
                                     EXPECT_STREQ(ctx.err, "out of memory");
                                     EXPECT_EQ(body, nullptr);
                                 } else {
                                     EXPECT_EQ(rc, OK);
                                     EXPECT_STREQ(body, "the body");
                                 }
                             });
    EXPECT_GE(failures, 3); // key encoding, URL buffer, body copy
    EXPECT_EQ(rec.unreleased(), 0);
}

TEST_F(HttpTest, FakeTransportFailuresAreTransportFailures) {
    kova_fake_reset();
    ctx.io = nullptr;
    ctx.use_fake = 1;
    EXPECT_EQ(get(), ERR_TRANSPORT);
    EXPECT_STREQ(ctx.err, "Sonarr rootfolder: transport failure");
    EXPECT_EQ(ctx.http_code, 0);
    EXPECT_EQ(kova_fake_calls(nullptr), 1);
    ASSERT_EQ(kova_fake_set(k_url, 0, "zero"), KOVA_OK);
    EXPECT_EQ(get(), ERR_HTTP);
    EXPECT_STREQ(body, "zero");
    kova_fake_reset();
}
