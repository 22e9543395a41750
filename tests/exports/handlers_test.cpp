#include <cstddef>
#include <cstring>
#include <string>

#include "support/kova_test.h"

namespace {
class Handlers : public KovaTest {
protected:
    RecordingIo rec;
    char buf[1024];

    void sonarr_answers(int32_t status_root = 200) {
        rec.answers["http://nas:8989/api/v3/rootfolder?apikey=key"] = {0, status_root, "[{\"path\":\"/tv\"}]"};
        rec.answers["http://nas:8989/api/v3/qualityprofile?apikey=key"] = {0, 200, "[{\"id\":1,\"name\":\"Any\"}]"};
    }
    int32_t sonarr(const char *settings, int32_t size = sizeof(char[1024])) {
        memset(buf, 'X', sizeof buf);
        return kova_rtchk_handler("SONARR")->validate(&rec.io, settings, buf, size);
    }
};
const char *k_ok = "{\"Host\":\"nas\",\"APIKey\":\"key\",\"ID\":\"mine\"}";
} // namespace

TEST_F(Handlers, RecordsHaveTheFixedLayout) {
    static_assert(offsetof(kova_handler, name) == 0);
    static_assert(offsetof(kova_handler, value) == 8);
    static_assert(offsetof(kova_handler, validate) == 16);
    static_assert(sizeof(kova_handler) == 64);
    for (const char *name : {"JACKETT", "SONARR", "RADARR", "PROWLARR"}) {
        const kova_handler *h = kova_rtchk_handler(name);
        ASSERT_NE(h, nullptr);
        EXPECT_STREQ(h->name, name);
        const auto *bytes = reinterpret_cast<const unsigned char *>(h);
        EXPECT_EQ(bytes[8], 32);
        for (int i = 9; i < 16; ++i) EXPECT_EQ(bytes[i], 0);
        for (int i = 24; i < 64; ++i) EXPECT_EQ(bytes[i], 0);
        EXPECT_NE(h->validate, nullptr);
    }
    EXPECT_EQ(rtchk_get(), kova_rtchk_handler("JACKETT"));
    for (const char *name : {"Sonarr", "SONARR ", "", "RADARRX"}) EXPECT_EQ(kova_rtchk_handler(name), nullptr);
    EXPECT_EQ(kova_rtchk_handler(nullptr), nullptr);
}

TEST_F(Handlers, SuccessAnswer) {
    sonarr_answers();
    EXPECT_EQ(sonarr(k_ok), 0);
    EXPECT_STREQ(buf, "{\"RuntimeType\":\"SONARR\",\"URL\":\"http://nas:8989\"}");
    EXPECT_EQ(rec.calls.size(), 2u);
}

TEST_F(Handlers, NewIdWhenTheSettingsHaveNone) {
    sonarr_answers();
    ASSERT_EQ(sonarr("{\"Host\":\"nas\",\"APIKey\":\"key\",\"ID\":\"\"}"), 0);
    std::string a = buf;
    ASSERT_EQ(sonarr("{\"Host\":\"nas\",\"APIKey\":\"key\"}"), 0);
    std::string b = buf;
    const std::string prefix = "{\"RuntimeType\":\"SONARR\",\"URL\":\"http://nas:8989\",\"ID\":\"";
    ASSERT_EQ(a.compare(0, prefix.size(), prefix), 0) << a;
    ASSERT_EQ(a.size(), prefix.size() + 36 + 2);
    EXPECT_NE(a, b);
}

TEST_F(Handlers, PortAndSchemeRules) {
    struct Case {
        const char *extra;
        const char *answer;
    } cases[] = {
        {",\"Port\":\"8080\"", "{\"RuntimeType\":\"SONARR\",\"URL\":\"http://nas:8080\"}"},
        {",\"Port\":\"\"", "{\"RuntimeType\":\"SONARR\",\"URL\":\"http://nas:8989\"}"},
        {",\"Port\":8080", "{\"RuntimeType\":\"SONARR\",\"URL\":\"http://nas:8989\"}"},
        {",\"Port\":\"80a\"", "{\"RuntimeType\":\"SONARR\",\"URL\":\"http://nas:8989\",\"Port\":\"8989\"}"},
        {",\"Port\":\"0\"", "{\"RuntimeType\":\"SONARR\",\"URL\":\"http://nas:8989\",\"Port\":\"8989\"}"},
        {",\"Port\":\"65536\"", "{\"RuntimeType\":\"SONARR\",\"URL\":\"http://nas:8989\",\"Port\":\"8989\"}"},
        {",\"Port\":\"-1\"", "{\"RuntimeType\":\"SONARR\",\"URL\":\"http://nas:8989\",\"Port\":\"8989\"}"},
        {",\"Port\":\"99999999999999999999\"",
         "{\"RuntimeType\":\"SONARR\",\"URL\":\"http://nas:8989\",\"Port\":\"8989\"}"},
        {",\"UseHttps\":\"TRUE\"", "{\"RuntimeType\":\"SONARR\",\"URL\":\"https://nas:8989\"}"},
        {",\"UseHttps\":true", "{\"RuntimeType\":\"SONARR\",\"URL\":\"http://nas:8989\"}"},
    };
    for (const Case &c : cases) {
        rec.answers.clear();
        for (const char *scheme : {"http", "https"})
            for (const char *port : {"8989", "8080"}) {
                std::string base = std::string(scheme) + "://nas:" + port;
                rec.answers[base + "/api/v3/rootfolder?apikey=key"] = {0, 200, "[{\"path\":\"/tv\"}]"};
                rec.answers[base + "/api/v3/qualityprofile?apikey=key"] = {0, 200, "[{\"id\":1}]"};
            }
        std::string settings = std::string("{\"Host\":\"nas\",\"APIKey\":\"key\",\"ID\":\"i\"") + c.extra + "}";
        EXPECT_EQ(sonarr(settings.c_str()), 0) << c.extra;
        EXPECT_STREQ(buf, c.answer) << c.extra;
    }
}

TEST_F(Handlers, SettingsByUrl) {
    rec.answers["https://nas:443/sonarr/api/v3/rootfolder?apikey=key"] = {0, 200, "[{\"path\":\"/tv\"}]"};
    rec.answers["https://nas:443/sonarr/api/v3/qualityprofile?apikey=key"] = {0, 200, "[{\"id\":1}]"};
    EXPECT_EQ(sonarr(R"({"Url":"https://nas/sonarr/","APIKey":"key","ID":"i"})"), 0);
    EXPECT_STREQ(buf, R"({"RuntimeType":"SONARR","URL":"https://nas:443/sonarr"})");
    const struct {
        const char *settings, *answer;
    } refused[] = {
        {R"({"Url":"https://nas","Host":"nas","APIKey":"key"})",
         R"({"error":"Url cannot be given with Host, Port, UseHttps or UrlBase"})"},
        {R"({"Url":"https://nas","UseHttps":"true","APIKey":"key"})",
         R"({"error":"Url cannot be given with Host, Port, UseHttps or UrlBase"})"},
        {R"({"Url":"","APIKey":"key"})", R"({"error":"Url is empty"})"},
        {R"({"Url":5,"APIKey":"key"})", R"({"error":"Url is empty"})"},
        {R"({"Url":"https://nas","APIKey":""})", R"({"error":"APIKey is empty"})"},
        {R"({"Url":"https://nas/?a=1","APIKey":"key"})", R"({"error":"Sonarr: invalid URL: it has a query"})"},
    };
    for (const auto &c : refused) {
        EXPECT_EQ(sonarr(c.settings), KOVA_VALIDATE_INVALID_SETTINGS) << c.settings;
        EXPECT_STREQ(buf, c.answer);
    }
    EXPECT_EQ(rec.calls.size(), 2u);
}

TEST_F(Handlers, ProwlarrValidationListsIndexers) {
    rec.answers["http://nas:9696/api/v1/indexer?apikey=key"] = {0, 200, R"([{"id":4,"name":"YTS","enable":true}])"};
    rec.answers["http://nas:9696/api/v1/indexerstatus?apikey=key"] = {0, 200, "[]"};
    const kova_handler *h = kova_rtchk_handler("PROWLARR");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->validate(&rec.io, R"({"Host":"nas","APIKey":"key","ID":"i"})", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, R"({"RuntimeType":"PROWLARR","URL":"http://nas:9696"})");
    rec.answers["http://nas:9696/api/v1/indexer?apikey=key"] = {0, 200, "[]"};
    EXPECT_EQ(h->validate(&rec.io, R"({"Host":"nas","APIKey":"key","ID":"i"})", buf, sizeof buf),
              KOVA_VALIDATE_INVALID_SETTINGS);
    EXPECT_STREQ(buf, R"({"error":"Prowlarr: no indexer is enabled"})");
}

TEST_F(Handlers, ErrorAnswers) {
    struct Case {
        const char *settings;
        int32_t code;
        const char *answer;
    } cases[] = {
        {nullptr, KOVA_VALIDATE_INVALID_SETTINGS, "{\"error\":\"settings are NULL\"}"},
        {"[]", KOVA_VALIDATE_INVALID_SETTINGS, "{\"error\":\"settings are not a JSON object\"}"},
        {"5", KOVA_VALIDATE_INVALID_SETTINGS, "{\"error\":\"settings are not a JSON object\"}"},
        {"{} {}", KOVA_VALIDATE_INVALID_SETTINGS, "{\"error\":\"settings are not a JSON object\"}"},
        {"{\"Host\":5,\"APIKey\":\"k\"}", KOVA_VALIDATE_INVALID_SETTINGS, "{\"error\":\"Host is empty\"}"},
        {"{\"host\":\"nas\",\"APIKey\":\"k\"}", KOVA_VALIDATE_INVALID_SETTINGS, "{\"error\":\"Host is empty\"}"},
        {"{\"Host\":\"nas\",\"APIKey\":\"\"}", KOVA_VALIDATE_INVALID_SETTINGS, "{\"error\":\"APIKey is empty\"}"},
        {"{\"Host\":\"a/b\",\"APIKey\":\"k\"}", KOVA_VALIDATE_INVALID_SETTINGS, "{\"error\":\"Sonarr: invalid host\"}"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(sonarr(c.settings), c.code) << (c.settings ? c.settings : "null");
        EXPECT_STREQ(buf, c.answer);
    }
    EXPECT_EQ(rec.calls.size(), 0u);
}

TEST_F(Handlers, AnswerCodesFollowTheTestResult) {
    struct Case {
        int32_t status;
        int32_t ret;
        int32_t code;
        const char *answer;
    } cases[] = {
        {401, 0, KOVA_VALIDATE_KEY_REJECTED, "{\"error\":\"Sonarr rootfolder: HTTP 401 (API key rejected)\"}"},
        {404, 0, KOVA_VALIDATE_NOT_FOUND, "{\"error\":\"Sonarr rootfolder: HTTP 404\"}"},
        {429, 0, KOVA_VALIDATE_TOO_MANY_REQUESTS, "{\"error\":\"Sonarr rootfolder: HTTP 429\"}"},
        {503, 0, KOVA_VALIDATE_UNREACHABLE, "{\"error\":\"Sonarr rootfolder: HTTP 503\"}"},
        {400, 0, KOVA_VALIDATE_UNEXPECTED, "{\"error\":\"Sonarr rootfolder: HTTP 400\"}"},
        {0, 0, KOVA_VALIDATE_UNEXPECTED, "{\"error\":\"Sonarr rootfolder: HTTP 0\"}"},
        {0, 1, KOVA_VALIDATE_UNREACHABLE, "{\"error\":\"Sonarr rootfolder: transport failure\"}"},
    };
    for (const Case &c : cases) {
        sonarr_answers(c.status);
        rec.answers["http://nas:8989/api/v3/rootfolder?apikey=key"].ret = c.ret;
        EXPECT_EQ(sonarr(k_ok), c.code) << c.status;
        EXPECT_STREQ(buf, c.answer);
    }
    rec.answers["http://nas:8989/api/v3/rootfolder?apikey=key"] = {0, 200, "{}"};
    EXPECT_EQ(sonarr(k_ok), KOVA_VALIDATE_UNEXPECTED);
    EXPECT_STREQ(buf, "{\"error\":\"Sonarr rootfolder: not a JSON array\"}");
    rec.answers["http://nas:8989/api/v3/rootfolder?apikey=key"] = {0, 200, "[]"};
    EXPECT_EQ(sonarr(k_ok), KOVA_VALIDATE_INVALID_SETTINGS);
    EXPECT_STREQ(buf, "{\"error\":\"Sonarr: no root folder configured\"}");
}

TEST_F(Handlers, BufferRules) {
    sonarr_answers();
    const std::string answer = "{\"RuntimeType\":\"SONARR\",\"URL\":\"http://nas:8989\"}";
    EXPECT_EQ(sonarr(k_ok, static_cast<int32_t>(answer.size())), KOVA_VALIDATE_NO_BUFFER);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(sonarr(k_ok, static_cast<int32_t>(answer.size() + 1)), KOVA_VALIDATE_OK);
    EXPECT_EQ(std::string(buf), answer);
    // An error answer that does not fit keeps its own code.
    EXPECT_EQ(sonarr(nullptr, 5), KOVA_VALIDATE_INVALID_SETTINGS);
    EXPECT_STREQ(buf, "");
    memset(buf, 'X', sizeof buf);
    const kova_handler *h = kova_rtchk_handler("RADARR");
    EXPECT_EQ(h->validate(&rec.io, k_ok, buf, 0), KOVA_VALIDATE_NO_BUFFER);
    EXPECT_EQ(buf[0], 'X');
    EXPECT_EQ(h->validate(&rec.io, k_ok, nullptr, 100), KOVA_VALIDATE_NO_BUFFER);
    EXPECT_EQ(h->validate(nullptr, "{\"Host\":\"\"}", buf, 100), KOVA_VALIDATE_INVALID_SETTINGS);
    EXPECT_STREQ(buf, "{\"error\":\"Host is empty\"}");
    EXPECT_EQ(h->validate(nullptr, k_ok, buf, 100), KOVA_VALIDATE_UNREACHABLE);
    EXPECT_STREQ(buf, "{\"error\":\"no transport\"}");
}

TEST_F(Handlers, JackettValidationListsIndexers) {
    rec.answers["http://j:9117/api/v2.0/indexers/all/results/torznab/api?apikey=key&t=indexers&configured=true"] = {
        0, 200, "<indexers></indexers>"};
    EXPECT_EQ(rtchk_get()->validate(&rec.io, "{\"Host\":\"j\",\"APIKey\":\"key\",\"ID\":\"1\"}", buf, 1024), KOVA_VALIDATE_OK);
    EXPECT_STREQ(buf, "{\"RuntimeType\":\"JACKETT\",\"URL\":\"http://j:9117\"}");
}

TEST_F(Handlers, NeverTouchesTheProcessContext) {
    ASSERT_EQ(kova_sonarr_configure("mine", 1, 0, "k"), KOVA_OK);
    kova_sonarr_test(); // ERR_NO_IO
    warnf(&current(), "keep me");
    const std::string before_err = kova_last_error();
    sonarr_answers(401);
    EXPECT_EQ(sonarr(k_ok), KOVA_VALIDATE_KEY_REJECTED);
    EXPECT_EQ(kova_last_rc(), KOVA_ERR_NO_IO);
    EXPECT_EQ(before_err, kova_last_error());
    EXPECT_STREQ(kova_base_url(1), "http://mine:1");
    EXPECT_EQ(kova_warning_count(), 1);
    EXPECT_EQ(kova_test_log_count(), 1);
}

TEST_F(Handlers, OutOfMemory) {
    sonarr_answers();
    oom_sweep([] {}, [&] { return sonarr("{\"Host\":\"nas\",\"APIKey\":\"key\"}"); },
              [&](int32_t code, bool injected) {
                  if (!injected) {
                      EXPECT_EQ(code, KOVA_VALIDATE_OK);
                      return;
                  }
                  if (code == 0) return; // a lost test-log entry changes nothing
                  EXPECT_EQ(code, KOVA_VALIDATE_INVALID_SETTINGS);
                  EXPECT_STREQ(buf, "{\"error\":\"out of memory\"}");
              });
}
