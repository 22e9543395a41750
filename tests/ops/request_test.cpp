// The one way an operation's request leaves the library: the request frame
// through the context's transport, and what a refusal's body says as one
// warning beside the library's own code and message.
#include "support/kova_test.h"

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
