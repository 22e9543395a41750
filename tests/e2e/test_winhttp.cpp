// End-to-end tests of kova_winhttp against the local test server (server.py),
// run under Wine on the build machine: the suite every transport passes
// (transport_suite.h), then what is WinHTTP's own: TLS against the Windows
// certificate store, the proxy option, failures named in words.
#include "transport_suite.h"

#include <windows.h>
#include <winhttp.h>

#include "kova_winhttp.h"

namespace {

using namespace kova_e2e;

struct WinHttpTraits {
    using Options = kova_winhttp_options;
    using Handle = kova_winhttp;
    static void init(Options *o) { kova_winhttp_options_init(o); }
    static Handle *create(const Options *o) { return kova_winhttp_new(o); }
    static void destroy(Handle *t) { kova_winhttp_free(t); }
    static const kova_io *io(const Handle *t) { return kova_winhttp_io(t); }
    static int32_t redact(const char *text, char *out, int32_t size) { return kova_winhttp_redact(text, out, size); }
    // Whether this system's WinHTTP decodes gzip, asked of WinHTTP directly
    // (Windows 8.1 and later do; Wine 8 does not).
    static bool decodes_gzip() {
        static const bool yes = [] {
            HINTERNET s = WinHttpOpen(L"kova-test", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                      WINHTTP_NO_PROXY_BYPASS, 0);
            DWORD all = WINHTTP_DECOMPRESSION_FLAG_ALL;
            bool ok = s && WinHttpSetOption(s, WINHTTP_OPTION_DECOMPRESSION, &all, sizeof all);
            if (s) WinHttpCloseHandle(s);
            return ok;
        }();
        return yes;
    }
    static void cancel(Handle *t) { kova_winhttp_cancel(t); }
    static void resume(Handle *t) { kova_winhttp_resume(t); }
    // Windows' WinHTTP ends a synchronous call whose request handle another
    // thread closes. Wine's (8) finishes the call first, up to its time-out,
    // and only then reports it cancelled.
    static bool aborts_waits() {
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return !(ntdll && GetProcAddress(ntdll, "wine_get_version"));
    }
    static constexpr const char *kTimeoutWord = "time-out";
};

}  // namespace

namespace kova_e2e {
INSTANTIATE_TYPED_TEST_SUITE_P(WinHttp, TransportE2e, WinHttpTraits);
}

namespace {

using WinHttpE2e = E2eBase;
using WinTransport = Transport<WinHttpTraits>;

kova_winhttp_options defaults_w() { return defaults<WinHttpTraits>(); }

bool under_wine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

TEST_F(WinHttpE2e, InsecureAcceptsTheSelfSignedCertificate) {
    for (const char *host : {"localhost", "127.0.0.1"}) {
        kova_winhttp_options o = defaults_w();
        o.insecure = 1;
        WinTransport tr(&o);
        Reply r = call(tr.io(), https_url(host, "/echo?apikey=tls"));
        ASSERT_EQ(r.rc, 0) << host << ": " << r.error;
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(member(r.body, "tls"), "true");
    }
}

TEST_F(WinHttpE2e, VerifiedTlsRefusesTheCertificateAndSaysWhy) {
    // The throw-away CA is in no certificate store, and the certificate names
    // "localhost" only.
    const struct { const char *host; bool wrong_name; } cases[] = {{"localhost", false}, {"127.0.0.1", true}};
    for (const auto &c : cases) {
        WinTransport tr(nullptr);
        Reply r = call(tr.io(), https_url(c.host, "/echo?apikey=tls"));
        EXPECT_NE(r.rc, 0) << c.host;
        EXPECT_FALSE(r.has_body) << c.host;
        EXPECT_NE(r.error.find("certificate invalid"), std::string::npos) << r.error;
        EXPECT_NE(r.error.find("unknown certificate authority"), std::string::npos) << r.error;
        EXPECT_EQ(r.error.find("does not match the host") != std::string::npos, c.wrong_name) << r.error;
    }
}

TEST_F(WinHttpE2e, LibraryOverHttpsAndBehindAUrlBase) {
    kova_winhttp_options o = defaults_w();
    o.insecure = 1;
    o.url_base = "/radarr";
    WinTransport tr(&o);
    kova_set_io(tr.io());
    ASSERT_EQ(kova_radarr_configure("localhost", server().https, 1, "httpsbase"), KOVA_OK);
    EXPECT_EQ(kova_radarr_test(), KOVA_OK) << kova_last_error();
    std::string rec = recorded<WinHttpTraits>("httpsbase");
    EXPECT_NE(rec.find("\"path\": \"/radarr/api/v3/rootfolder\""), std::string::npos) << rec;
    EXPECT_NE(rec.find("\"tls\": true"), std::string::npos) << rec;

    WinTransport verified(nullptr);  // the library sees a transport failure
    kova_set_io(verified.io());
    EXPECT_EQ(kova_radarr_test(), KOVA_ERR_TRANSPORT);
    EXPECT_EQ(kova_last_http_code(), 0);
}

TEST_F(WinHttpE2e, TheProxyOptionRoutesOrBypasses) {
    // The test server answers absolute-URI requests too, so it serves as an
    // HTTP proxy: a request for a closed port arrives through it.
    const std::string target = "http://127.0.0.1:" + std::to_string(closed_port()) + "/echo?apikey=proxied";
    const std::string proxy = "127.0.0.1:" + std::to_string(server().http);
    const std::string proxy_url = "http://" + proxy + "/";
    const struct { const char *proxy; bool reached; } cases[] = {
        {proxy.c_str(), true}, {proxy_url.c_str(), true}, {"", false}};
    for (const auto &c : cases) {
        kova_winhttp_options o = defaults_w();
        o.proxy = c.proxy;
        WinTransport tr(&o);
        ASSERT_NE(tr.t, nullptr) << c.proxy;
        Reply r = call(tr.io(), target);
        if (c.reached) {
            ASSERT_EQ(r.rc, 0) << c.proxy << ": " << r.error;
            EXPECT_EQ(r.status, 200);
            EXPECT_EQ(member(r.body, "query"), "apikey=proxied");
        } else {
            EXPECT_NE(r.rc, 0);
            EXPECT_NE(r.error.find("connection refused"), std::string::npos) << r.error;
        }
    }
    for (const char *bad : {"socks5://127.0.0.1:1080", "https://127.0.0.1:3128", ":3128", "http://"}) {
        kova_winhttp_options o = defaults_w();
        o.proxy = bad;
        EXPECT_EQ(kova_winhttp_new(&o), nullptr) << bad;
    }
}

TEST_F(WinHttpE2e, FailuresAreNamedInWords) {
    WinTransport tr(nullptr);
    const std::string refused = "http://127.0.0.1:" + std::to_string(closed_port()) + "/api?apikey=w0rdsKey";
    const struct { std::string url; const char *words; } cases[] = {
        {refused, "connection refused"},
        {"ftp://127.0.0.1/x?apikey=w0rdsKey", "malformed URL or unsupported scheme"},
        {http_url("/echo?q=\xff\xfe&apikey=w0rdsKey"), "malformed URL or unsupported scheme"},  // not UTF-8
    };
    for (const auto &c : cases) {
        Reply r = call(tr.io(), c.url);
        EXPECT_NE(r.rc, 0) << c.url;
        EXPECT_FALSE(r.has_body);
        EXPECT_NE(r.error.find(c.words), std::string::npos) << r.error;
        EXPECT_NE(r.error.find("apikey=***"), std::string::npos) << r.error;
        EXPECT_EQ(r.error.find("w0rdsKey"), std::string::npos) << r.error;
    }
    Reply none = call(tr.io(), "");
    EXPECT_NE(none.rc, 0);
    char *body = nullptr, *error = nullptr;
    int32_t status = -1;
    EXPECT_NE(tr.io()->get(tr.io()->user, nullptr, &body, &status, &error), 0);
    EXPECT_EQ(body, nullptr);
    EXPECT_STREQ(error, "kova_winhttp: no URL");
    tr.io()->release(tr.io()->user, error);
}

TEST_F(WinHttpE2e, TheVersionNamesWinHttpAndWindows) {
    std::string v = kova_winhttp_version();
    EXPECT_EQ(v.rfind("WinHTTP (Windows ", 0), 0u) << v;
    EXPECT_EQ(v.back(), ')') << v;
    EXPECT_EQ(kova_winhttp_version(), kova_winhttp_version());  // one static text
    EXPECT_EQ(v.find("Wine") != std::string::npos, under_wine()) << v;
}

}  // namespace
