#include <string>

#include "support/kova_test.h"

using ConfigTest = KovaTest;

namespace {
using configure_fn = int32_t (*)(const char *, int32_t, int32_t, const char *);
constexpr configure_fn k_configure[3] = {kova_jackett_configure, kova_sonarr_configure, kova_radarr_configure};
} // namespace

TEST_F(ConfigTest, BuildsTheBaseUrl) {
    struct Case {
        int kind;
        const char *host;
        int32_t port;
        int32_t https;
        const char *url;
    } cases[] = {
        {0, "127.0.0.1", 0, 0, "http://127.0.0.1:9117"},
        {1, "nas.local", -1, 0, "http://nas.local:8989"},
        {2, "::1", 7000, 1, "https://[::1]:7000"},
        {2, "fe80::1%eth0", 0, 0, nullptr}, // % is refused
        {1, "2001:db8::10", 65535, 7, "https://[2001:db8::10]:65535"},
        {0, "h\xC3\xB6st", 80, 0, "http://h\xC3\xB6st:80"},
    };
    for (const Case &c : cases) {
        int32_t rc = k_configure[c.kind](c.host, c.port, c.https, "key");
        if (c.url) {
            EXPECT_EQ(rc, KOVA_OK) << c.host;
            EXPECT_STREQ(kova_base_url(c.kind), c.url);
        } else {
            EXPECT_EQ(rc, KOVA_ERR_INVALID_ARG) << c.host;
        }
    }
}

TEST_F(ConfigTest, RefusesHostsThatAreNotAHost) {
    std::string h253(253, 'a'), h254(254, 'a');
    EXPECT_EQ(kova_jackett_configure(h253.c_str(), 0, 0, "k"), KOVA_OK);
    const char *refused[] = {h254.c_str(), "", "http://example.org", "my host", "a/b", "[::1]", "user@host",
                             "host?x", "host#f", "a\\b", "tab\there", "del\x7f", "quote\"",
                             // A colon means an IPv6 literal; host:port is not one and would
                             // configure into an unusable URL.
                             "192.0.2.10:8080", "example.org:9117", ":::"};
    for (const char *h : refused) {
        EXPECT_EQ(kova_jackett_configure(h, 0, 0, "k"), KOVA_ERR_INVALID_ARG) << h;
        EXPECT_STREQ(kova_last_error(), "Jackett: invalid host") << h;
    }
    EXPECT_EQ(kova_jackett_configure(nullptr, 0, 0, "k"), KOVA_ERR_INVALID_ARG);
}

TEST_F(ConfigTest, ChecksInOrderAndKeepsThePreviousConfiguration) {
    ASSERT_EQ(kova_sonarr_configure("first", 0, 0, "k1"), KOVA_OK);
    // The host is examined before the key.
    EXPECT_EQ(kova_sonarr_configure("bad host", 0, 0, ""), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(), "Sonarr: invalid host");
    EXPECT_EQ(kova_sonarr_configure("second", 0, 0, ""), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(), "Sonarr: empty API key");
    EXPECT_EQ(kova_sonarr_configure("second", 65536, 0, "k"), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(), "Sonarr: port out of range");
    EXPECT_EQ(kova_last_rc(), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_base_url(1), "http://first:8989");
    // A success clears the last error.
    EXPECT_EQ(kova_sonarr_configure("second", 65535, 0, "k"), KOVA_OK);
    EXPECT_STREQ(kova_last_error(), "");
    EXPECT_EQ(kova_last_rc(), KOVA_OK);
}

TEST_F(ConfigTest, UnknownKindsAndPorts) {
    EXPECT_STREQ(kova_base_url(4), "");
    EXPECT_STREQ(kova_base_url(-1), "");
    EXPECT_STREQ(kova_base_url(1), ""); // unconfigured
    EXPECT_EQ(kova_default_port(0), 9117);
    EXPECT_EQ(kova_default_port(1), 8989);
    EXPECT_EQ(kova_default_port(2), 7878);
    EXPECT_EQ(kova_default_port(KOVA_PROWLARR), 9696);
    EXPECT_EQ(kova_default_port(4), 0);
    EXPECT_EQ(kova_default_port(-1), 0);
    EXPECT_STREQ(service_name(KOVA_PROWLARR), "Prowlarr");
    EXPECT_STREQ(service_name(4), "");
    EXPECT_STREQ(service_name(-1), "");
    ASSERT_EQ(kova_prowlarr_configure("p", 0, 0, "k"), KOVA_OK);
    EXPECT_STREQ(kova_base_url(KOVA_PROWLARR), "http://p:9696");
    ASSERT_EQ(kova_set_url_base(KOVA_PROWLARR, "prowlarr"), KOVA_OK);
    EXPECT_STREQ(kova_base_url(KOVA_PROWLARR), "http://p:9696/prowlarr");
    context c;
    context_init(&c);
    EXPECT_EQ(service_configure(&c, 4, "h", 0, 0, "k"), ERR_INVALID_ARG);
    EXPECT_STREQ(c.err, "unknown service");
    context_free(&c);
}

TEST_F(ConfigTest, OutOfMemoryLeavesTheServiceUnconfigured) {
    ASSERT_EQ(kova_radarr_configure("old", 0, 0, "k"), KOVA_OK);
    int failures = oom_sweep([] {},
                             [] { return kova_radarr_configure("new", 1234, 1, "key"); },
                             [](int32_t rc, bool injected) {
                                 if (injected) {
                                     EXPECT_EQ(rc, KOVA_ERR_OOM);
                                     EXPECT_STREQ(kova_last_error(), "out of memory");
                                     EXPECT_STREQ(kova_base_url(2), "");
                                 } else {
                                     EXPECT_EQ(rc, KOVA_OK);
                                     EXPECT_STREQ(kova_base_url(2), "https://new:1234");
                                 }
                             });
    EXPECT_EQ(failures, 2); // key and URL copies
}

TEST_F(ConfigTest, ResetUnconfiguresEverything) {
    ASSERT_EQ(kova_jackett_configure("j", 0, 0, "k"), KOVA_OK);
    kova_arm_library_writes(1);
    kova_reset();
    EXPECT_STREQ(kova_base_url(0), "");
    EXPECT_EQ(kova_library_writes_armed(), 0);
    EXPECT_EQ(kova_last_rc(), 0);
    EXPECT_EQ(kova_jackett_test(), KOVA_ERR_NOT_CONFIGURED);
    ASSERT_EQ(kova_jackett_configure("j", 0, 0, "k"), KOVA_OK);
    EXPECT_EQ(kova_jackett_test(), KOVA_ERR_NO_IO);
}

TEST_F(ConfigTest, AUrlBaseJoinsTheBaseUrl) {
    ASSERT_EQ(kova_sonarr_configure("nas", 0, 0, "k"), KOVA_OK);
    struct Case {
        const char *path;
        int32_t rc;
        const char *url; // after the call: a refusal keeps the previous one
    } cases[] = {
        {"sonarr", KOVA_OK, "http://nas:8989/sonarr"},
        {"/sonarr/", KOVA_OK, "http://nas:8989/sonarr"},
        {"//tv//shows//", KOVA_OK, "http://nas:8989/tv//shows"},
        {"/a-b_c.d~e/f%2Fg/!$&'()*+,;=:@", KOVA_OK, "http://nas:8989/a-b_c.d~e/f%2Fg/!$&'()*+,;=:@"},
        {"/with space", KOVA_ERR_INVALID_ARG, "http://nas:8989/a-b_c.d~e/f%2Fg/!$&'()*+,;=:@"},
        {"/", KOVA_OK, "http://nas:8989"},
        {"/x", KOVA_OK, "http://nas:8989/x"},
        {nullptr, KOVA_OK, "http://nas:8989"},
        {"/y", KOVA_OK, "http://nas:8989/y"},
        {"", KOVA_OK, "http://nas:8989"},
        {"/q?x=1", KOVA_ERR_INVALID_ARG, "http://nas:8989"},
        {"/f#x", KOVA_ERR_INVALID_ARG, "http://nas:8989"},
        {"/b\\s", KOVA_ERR_INVALID_ARG, "http://nas:8989"},
        {"/%zz", KOVA_ERR_INVALID_ARG, "http://nas:8989"},
        {"/%2", KOVA_ERR_INVALID_ARG, "http://nas:8989"},
        {"/\xc3\xa9", KOVA_ERR_INVALID_ARG, "http://nas:8989"},
        {"/a\"b", KOVA_ERR_INVALID_ARG, "http://nas:8989"},
        {"/a<b>", KOVA_ERR_INVALID_ARG, "http://nas:8989"},
        {"/tab\t", KOVA_ERR_INVALID_ARG, "http://nas:8989"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(kova_set_url_base(KOVA_SONARR, c.path), c.rc) << (c.path ? c.path : "(null)");
        EXPECT_STREQ(kova_base_url(KOVA_SONARR), c.url) << (c.path ? c.path : "(null)");
        if (c.rc != KOVA_OK) {
            EXPECT_STREQ(kova_last_error(), "Sonarr: invalid URL base");
        }
    }
    std::string longest = "/" + std::string(255, 'a');
    EXPECT_EQ(kova_set_url_base(KOVA_SONARR, longest.c_str()), KOVA_OK);
    EXPECT_EQ(kova_set_url_base(KOVA_SONARR, (longest + "a").c_str()), KOVA_ERR_INVALID_ARG);
    EXPECT_EQ(std::string(kova_base_url(KOVA_SONARR)), "http://nas:8989" + longest);

    // Unknown kinds; an unconfigured service (a configure would clear it).
    for (int32_t kind : {-1, 4}) {
        EXPECT_EQ(kova_set_url_base(kind, "/x"), KOVA_ERR_INVALID_ARG);
        EXPECT_STREQ(kova_last_error(), "unknown service");
    }
    EXPECT_EQ(kova_set_url_base(KOVA_RADARR, "/radarr"), KOVA_ERR_NOT_CONFIGURED);
    EXPECT_STREQ(kova_last_error(), "Radarr is not configured");

    // Each service has its own; a configure of that service clears it, as
    // does kova_reset.
    ASSERT_EQ(kova_radarr_configure("nas", 0, 0, "k"), KOVA_OK);
    ASSERT_EQ(kova_set_url_base(KOVA_SONARR, "sonarr"), KOVA_OK);
    ASSERT_EQ(kova_set_url_base(KOVA_RADARR, "radarr"), KOVA_OK);
    EXPECT_STREQ(kova_base_url(KOVA_RADARR), "http://nas:7878/radarr");
    EXPECT_STREQ(kova_base_url(KOVA_SONARR), "http://nas:8989/sonarr");
    ASSERT_EQ(kova_sonarr_configure("nas2", 0, 1, "k"), KOVA_OK);
    EXPECT_STREQ(kova_base_url(KOVA_SONARR), "https://nas2:8989");
    EXPECT_STREQ(kova_base_url(KOVA_RADARR), "http://nas:7878/radarr");
    EXPECT_EQ(kova_radarr_configure("bad host", 0, 0, "k"), KOVA_ERR_INVALID_ARG); // refused: base kept
    EXPECT_STREQ(kova_base_url(KOVA_RADARR), "http://nas:7878/radarr");
    kova_reset();
    ASSERT_EQ(kova_radarr_configure("nas", 0, 0, "k"), KOVA_OK);
    EXPECT_STREQ(kova_base_url(KOVA_RADARR), "http://nas:7878");
}

TEST_F(ConfigTest, AUrlBaseReachesEveryRequest) {
    kova_use_fake();
    ASSERT_EQ(kova_radarr_configure("r", 0, 0, "k"), KOVA_OK);
    ASSERT_EQ(kova_set_url_base(KOVA_RADARR, "/radarr/"), KOVA_OK);
    kova_fake_set("http://r:7878/radarr/api/v3/rootfolder?apikey=k", 200, R"([{"path":"/m"}])");
    kova_fake_set("http://r:7878/radarr/api/v3/qualityprofile?apikey=k", 200, R"([{"id":1,"name":"Any"}])");
    EXPECT_EQ(kova_radarr_test(), KOVA_OK) << kova_last_error();
    EXPECT_EQ(kova_fake_calls(nullptr), 2);
}

TEST_F(ConfigTest, AUrlBaseThatRunsOutOfMemoryKeepsThePreviousOne) {
    ASSERT_EQ(kova_sonarr_configure("s", 0, 0, "k"), KOVA_OK);
    ASSERT_EQ(kova_set_url_base(KOVA_SONARR, "/old"), KOVA_OK);
    int failures = oom_sweep([] {}, [] { return kova_set_url_base(KOVA_SONARR, "/new"); },
                             [](int32_t rc, bool injected) {
                                 EXPECT_EQ(rc, injected ? KOVA_ERR_OOM : KOVA_OK);
                                 EXPECT_STREQ(kova_base_url(KOVA_SONARR),
                                              injected ? "http://s:8989/old" : "http://s:8989/new");
                                 if (!injected) kova_set_url_base(KOVA_SONARR, "/old");
                             });
    EXPECT_EQ(failures, 2); // the base and the URL
}

TEST_F(ConfigTest, ConfiguresByUrl) {
    const struct {
        int kind;
        const char *url;
        const char *base; // the base URL, or null when refused
        const char *err;
    } cases[] = {
        {1, "http://nas.local:8989", "http://nas.local:8989", ""},
        {1, "HTTPS://nas.local", "https://nas.local:443", ""},
        {2, "http://nas.local", "http://nas.local:80", ""},
        {2, "https://example.org/radarr/", "https://example.org:443/radarr", ""},
        {0, "http://[::1]:9117/jackett", "http://[::1]:9117/jackett", ""},
        {0, "http://[2001:db8::10]", "http://[2001:db8::10]:80", ""},
        {1, "http://h/a%20b/c", "http://h:80/a%20b/c", ""},
        {1, "ftp://nas.local", nullptr, "Sonarr: invalid URL: the scheme must be http:// or https://"},
        {1, "nas.local:8989", nullptr, "Sonarr: invalid URL: the scheme must be http:// or https://"},
        {1, "http://nas.local/?x=1", nullptr, "Sonarr: invalid URL: it has a query"},
        {1, "http://nas.local/sonarr#top", nullptr, "Sonarr: invalid URL: it has a fragment"},
        {1, "http://user:pw@nas.local", nullptr, "Sonarr: invalid URL: it holds user information"},
        {1, "http://:8989", nullptr, "Sonarr: invalid URL: the host is empty"},
        {1, "http://", nullptr, "Sonarr: invalid URL: the host is empty"},
        {1, "http://nas.local:", nullptr, "Sonarr: invalid URL: the port is not a number from 1 to 65535"},
        {1, "http://nas.local:0", nullptr, "Sonarr: invalid URL: the port is not a number from 1 to 65535"},
        {1, "http://nas.local:65536", nullptr, "Sonarr: invalid URL: the port is not a number from 1 to 65535"},
        {1, "http://nas.local:80a", nullptr, "Sonarr: invalid URL: the port is not a number from 1 to 65535"},
        {1, "http://[::1", nullptr, "Sonarr: invalid URL: the IPv6 address in brackets is not one"},
        {1, "http://[nas]:1", nullptr, "Sonarr: invalid URL: the IPv6 address in brackets is not one"},
        {1, "http://[::1]x", nullptr, "Sonarr: invalid URL: the host is followed by something other than a port"},
        {1, "http://bad host/", nullptr, "Sonarr: invalid host"},
        {1, "http://h/a b", nullptr, "Sonarr: invalid URL base"},
        {1, "", nullptr, "Sonarr: invalid URL: none given"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.url);
        ASSERT_EQ(k_configure[c.kind]("previous", 1, 0, "k"), KOVA_OK);
        int32_t rc = kova_configure_url(c.kind, c.url, "key");
        EXPECT_STREQ(kova_last_error(), c.err);
        if (c.base) {
            EXPECT_EQ(rc, KOVA_OK);
            EXPECT_STREQ(kova_base_url(c.kind), c.base);
        } else {
            EXPECT_EQ(rc, KOVA_ERR_INVALID_ARG);
            EXPECT_STREQ(kova_base_url(c.kind), "http://previous:1"); // the previous configuration stands
        }
    }
    EXPECT_EQ(kova_configure_url(1, nullptr, "key"), KOVA_ERR_INVALID_ARG);
    EXPECT_EQ(kova_configure_url(1, "http://h", ""), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(), "Sonarr: empty API key");
    EXPECT_EQ(kova_configure_url(7, "http://h", "k"), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(), "unknown service");
}
