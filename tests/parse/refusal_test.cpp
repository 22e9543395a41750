// What a service said when it refused a request: the shapes Sonarr, Radarr
// and Jackett send, and the limits of the one warning that carries it.
#include <string>

#include "support/kova_test.h"

namespace {

std::string refusal(const char *body, const char *secret = "0123456789abcdef") {
    char out[warn_size];
    bool got = refusal_text("Sonarr", body, secret, out);
    EXPECT_EQ(got, out[0] != '\0');
    return out;
}

TEST(Refusal, ReadsTheShapesTheServicesSend) {
    struct Case {
        const char *what, *body, *text;
    } cases[] = {
        {"ASP.NET problem details with an errors object",
         R"({"type":"https://tools.ietf.org/html/rfc7231#section-6.5.1","title":"One or more validation errors occurred.",)"
         R"("status":400,"errors":{"Path":["The Path field is required.","Too short."],"Title":"Missing."}})",
         "Sonarr: One or more validation errors occurred. Path: The Path field is required. Path: Too short. "
         "Title: Missing."},
        {"problem details with a detail", R"({"title":"Conflict","detail":"Series exists","status":409})",
         "Sonarr: Conflict; Series exists"},
        {"Servarr validation failures",
         R"([{"propertyName":"RootFolderPath","errorMessage":"Folder '/nope' does not exist","attemptedValue":"/nope",)"
         R"("severity":"error"},{"propertyName":"Path","errorMessage":"Path is already configured for an existing series"}])",
         "Sonarr: RootFolderPath: Folder '/nope' does not exist; Path: Path is already configured for an existing series"},
        {"a failure without a property", R"([{"propertyName":"","errorMessage":"Language profile does not exist"}])",
         "Sonarr: Language profile does not exist"},
        {"Jackett's error object", R"({"error":"Indexer is not configured"})", "Sonarr: Indexer is not configured"},
        {"a message", R"({"message":"NotFound","description":"at Sonarr.Api..."})", "Sonarr: NotFound"},
        {"keys in another case", R"({"Message":"Series not found"})", "Sonarr: Series not found"},
        {"a JSON string", R"("Invalid release")", "Sonarr: Invalid release"},
        {"plain text: its first line",
         "  NzbDrone.Core.Exceptions.SeriesNotFoundException: Series 5 was not found\r\n   at NzbDrone.Core...",
         "Sonarr: NzbDrone.Core.Exceptions.SeriesNotFoundException: Series 5 was not found"},
        {"invalid JSON read as text", "{oops: message", "Sonarr: {oops: message"},
        // An HTML error page (a 500 of a proxy) has nothing a user can act on.
        {"an HTML page", "\n<!DOCTYPE html><html><head><title>500 Internal Server Error</title></head></html>", ""},
        {"JSON without an explanation", R"({"status":400,"traceId":"00-ab"})", ""},
        {"an empty array", "[]", ""},
        {"members of other types", R"({"message":5,"error":null,"title":[]})", ""},
        {"nothing", "  \r\n", ""},
    };
    for (const Case &c : cases) EXPECT_EQ(refusal(c.body), c.text) << c.what;
    char out[warn_size];
    EXPECT_FALSE(refusal_text("Sonarr", nullptr, nullptr, out));
    EXPECT_STREQ(out, "");
}

TEST(Refusal, IsCleanedRedactedAndCut) {
    struct Case {
        const char *what, *body, *text;
    } cases[] = {
        {"apikey values", R"({"message":"GET /api?apikey=s3cr3t&x=1 and ApiKey=other failed"})",
         "Sonarr: GET /api?apikey=***&x=1 and ApiKey=*** failed"},
        {"the key itself", R"({"message":"key 0123456789abcdef is wrong"})", "Sonarr: key *** is wrong"},
        {"control characters and runs of spaces", "{\"message\":\"a\\n\\tb   c\\u0001\"}", "Sonarr: a b c"},
        {"invalid UTF-8 in plain text", "bad \xff\xc3 ok \xc3\xa9", "Sonarr: bad \xef\xbf\xbd\xef\xbf\xbd ok \xc3\xa9"},
    };
    for (const Case &c : cases) EXPECT_EQ(refusal(c.body), c.text) << c.what;
    // A short key is left to the apikey= rule: it would match ordinary words.
    EXPECT_EQ(refusal(R"({"message":"kk is a word"})", "kk"), "Sonarr: kk is a word");

    // Longer than a warning: cut at a character boundary, with "...".
    for (size_t pad = 0; pad < 4; ++pad) {
        std::string text(pad, 'x');
        for (int i = 0; i < 300; ++i) text += "\xc3\xa9";
        std::string got = refusal(("{\"message\":\"" + text + "\"}").c_str());
        EXPECT_LE(got.size(), 511u);
        EXPECT_GE(got.size(), 505u);
        EXPECT_EQ(got.substr(got.size() - 3), "...");
        EXPECT_TRUE(utf8_valid(got.data(), got.size())) << pad;
    }
}

} // namespace
