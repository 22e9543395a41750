// The one way an operation's request leaves the library: the request frame
// through the context's transport, and what a refusal's body says as one
// warning beside the library's own code and message.
#include "ops/ops_fixture.h"

namespace {

TEST(Request, ARefusalIsOneWarningBesideTheUnchangedResult) {
    context ctx;
    context_init(&ctx);
    RecordingIo rec;
    ctx.io = &rec.io;
    ASSERT_EQ(service_configure(&ctx, KOVA_SONARR, "s", 0, 0, "k"), OK);
    const struct {
        int32_t status;
        const char *body;
        int32_t rc;
        const char *err;
        int warnings;
    } cases[] = {
        {400, R"([{"propertyName":"Path","errorMessage":"Bad"}])", ERR_HTTP, "Sonarr add series: HTTP 400", 1},
        {401, R"({"message":"Unauthorized"})", ERR_AUTH, "Sonarr add series: HTTP 401 (API key rejected)", 1},
        {500, "<html><body>Internal Server Error</body></html>", ERR_HTTP, "Sonarr add series: HTTP 500", 0},
        {404, "", ERR_HTTP, "Sonarr add series: HTTP 404", 0},
        {302, "moved to apikey=x", ERR_HTTP, "Sonarr add series: HTTP 302", 0}, // below 400: no refusal
        {201, R"({"message":"created"})", OK, "", 0},
    };
    for (const auto &c : cases) {
        begin_call(&ctx);
        rec.fallback = RecordingIo::Answer{0, c.status, c.body, nullptr, true};
        char *body = nullptr;
        EXPECT_EQ(request(&ctx, KOVA_SONARR, http_method::post, "/api/v3/series", nullptr, "{}", "add series", &body),
                  c.rc);
        mem_free(body);
        EXPECT_STREQ(ctx.err, c.rc == OK ? "" : c.err);
        EXPECT_EQ(ctx.http_code, c.status);
        EXPECT_EQ(ctx.warning_count, c.warnings) << c.body;
    }
    begin_call(&ctx);
    rec.fallback = RecordingIo::Answer{0, 400, R"([{"propertyName":"Path","errorMessage":"Bad"}])", nullptr, true};
    char *body = nullptr;
    request(&ctx, KOVA_SONARR, http_method::get, "/x", nullptr, nullptr, "x", &body);
    mem_free(body);
    ASSERT_EQ(ctx.warning_count, 1);
    EXPECT_STREQ(ctx.warnings[0], "Sonarr: Path: Bad");
    context_free(&ctx);
}

} // namespace

namespace {
using TransportReason = OpsTest;

// A transport's own words about an answer it received (a rate limit, a
// redirect) come with a refusal, redacted; with a success they are ignored.
TEST(TransportReasonOfAnAnswer, ComesWithARefusalOnly) {
    context ctx;
    context_init(&ctx);
    RecordingIo rec;
    ctx.io = &rec.io;
    ASSERT_EQ(service_configure(&ctx, KOVA_SONARR, "s", 0, 0, "secretkey123"), OK);
    const struct {
        int32_t status;
        const char *said;
        const char *kept;
    } cases[] = {
        {429, "rate limited, retry after 30 s", "rate limited, retry after 30 s"},
        {401, "GET http://s/api?apikey=secretkey123: the server asks for basic authentication",
         "GET http://s/api?apikey=***: the server asks for basic authentication"},
        {302, "redirected to http://x/?apikey=secretkey123", "redirected to http://x/?apikey=***"},
        {500, "", ""},
        {200, "chatter", ""},
    };
    for (const auto &c : cases) {
        begin_call(&ctx);
        rec.fallback = RecordingIo::Answer{0, c.status, "{}", c.said, true};
        char *body = nullptr;
        request(&ctx, KOVA_SONARR, http_method::get, "/api/v3/rootfolder", nullptr, nullptr, "rootfolder", &body);
        mem_free(body);
        EXPECT_STREQ(ctx.transport_err, c.kept) << c.status;
    }
    context_free(&ctx);
}

TEST_F(TransportReason, IsTheTransportsOwnTextRedactedPerCall) {
    ASSERT_EQ(kova_sonarr_configure("s", 0, 0, "secretkey123"), KOVA_OK);
    const std::string roots = "http://s:8989/api/v3/rootfolder?apikey=secretkey123";
    ASSERT_EQ(kova_fake_fail(roots.c_str(), ("connect to " + roots + " failed: Connection refused, key secretkey123 \xff")
                                                .c_str()),
              KOVA_OK);
    EXPECT_EQ(kova_sonarr_test(), KOVA_ERR_TRANSPORT);
    EXPECT_STREQ(kova_last_error(), "Sonarr rootfolder: transport failure");
    EXPECT_STREQ(kova_last_transport_error(),
                 "connect to http://s:8989/api/v3/rootfolder?apikey=*** failed: Connection refused, key *** \xEF\xBF\xBD");

    ASSERT_EQ(kova_fake_fail(roots.c_str(), nullptr), KOVA_OK);
    EXPECT_EQ(kova_sonarr_test(), KOVA_ERR_TRANSPORT);
    EXPECT_STREQ(kova_last_transport_error(), "fake: transport failure");
    // Per call: a call without a transport failure has none, whatever the
    // call before it had.
    EXPECT_EQ(kova_sonarr_configure("s", 0, 0, "k"), KOVA_OK);
    EXPECT_STREQ(kova_last_transport_error(), "");
    route(S("/api/v3/rootfolder"), 404, "");
    EXPECT_EQ(kova_sonarr_test(), KOVA_ERR_HTTP);
    EXPECT_STREQ(kova_last_transport_error(), "");
}
} // namespace
