// End-to-end tests of libkova_curl against the local test server (server.py):
// the suite every transport passes (transport_suite.h), then what only
// libcurl offers (a CA file of the caller's choice).
#include "transport_suite.h"

#include "kova_curl.h"

namespace {

using namespace kova_e2e;

struct CurlTraits {
    using Options = kova_curl_options;
    using Handle = kova_curl;
    static void init(Options *o) { kova_curl_options_init(o); }
    static Handle *create(const Options *o) { return kova_curl_new(o); }
    static void destroy(Handle *t) { kova_curl_free(t); }
    static const kova_io *io(const Handle *t) { return kova_curl_io(t); }
    static int32_t redact(const char *text, char *out, int32_t size) { return kova_curl_redact(text, out, size); }
    static bool decodes_gzip() { return true; }
    static void cancel(Handle *t) { kova_curl_cancel(t); }
    static void resume(Handle *t) { kova_curl_resume(t); }
    static bool aborts_waits() { return true; }
    static constexpr const char *kTimeoutWord = "Timeout";
};

}  // namespace

namespace kova_e2e {
INSTANTIATE_TYPED_TEST_SUITE_P(Curl, TransportE2e, CurlTraits);
}

namespace {

using CurlE2e = E2eBase;
using CurlTransport = Transport<CurlTraits>;

TEST_F(CurlE2e, TlsIsVerifiedAgainstTheGivenCaOnly) {
    struct Case { const char *host; bool with_ca; bool insecure; bool ok; };
    // The server's certificate names "localhost" only.
    const Case cases[] = {
        {"localhost", false, false, false},  // unknown CA: refused
        {"localhost", true, false, true},
        {"127.0.0.1", true, false, false},   // right CA, wrong name: refused
        {"127.0.0.1", false, true, true},    // explicit insecure switch
    };
    for (const Case &c : cases) {
        kova_curl_options o = defaults<CurlTraits>();
        if (c.with_ca) o.ca_file = server().ca.c_str();
        o.insecure = c.insecure;
        CurlTransport tr(&o);
        Reply r = call(tr.io(), https_url(c.host, "/echo?apikey=tls"));
        if (c.ok) {
            EXPECT_EQ(r.rc, 0) << c.host << ": " << r.error;
            EXPECT_EQ(r.status, 200);
            EXPECT_EQ(member(r.body, "tls"), "true");
        } else {
            EXPECT_NE(r.rc, 0) << c.host;
            EXPECT_FALSE(r.has_body);
            EXPECT_NE(r.error.find("certificate"), std::string::npos) << r.error;
        }
    }
}

TEST_F(CurlE2e, LibraryOverHttpsAndBehindAUrlBase) {
    kova_curl_options o = defaults<CurlTraits>();
    o.ca_file = server().ca.c_str();
    o.url_base = "/radarr";
    CurlTransport tr(&o);
    kova_set_io(tr.io());
    ASSERT_EQ(kova_radarr_configure("localhost", server().https, 1, "httpsbase"), KOVA_OK);
    EXPECT_EQ(kova_radarr_test(), KOVA_OK) << kova_last_error();
    std::string rec = recorded<CurlTraits>("httpsbase");
    EXPECT_NE(rec.find("\"path\": \"/radarr/api/v3/rootfolder\""), std::string::npos) << rec;
    EXPECT_NE(rec.find("\"tls\": true"), std::string::npos) << rec;

    CurlTransport plain(nullptr);  // no CA: the library sees a transport failure
    kova_set_io(plain.io());
    EXPECT_EQ(kova_radarr_test(), KOVA_ERR_TRANSPORT);
    EXPECT_EQ(kova_last_http_code(), 0);
}

}  // namespace
