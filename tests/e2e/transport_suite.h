// End-to-end tests that every host transport must pass against the local
// test server (server.py), written once for all of them. A test program
// includes this file, defines a traits type for its transport and
// instantiates the suite:
//
//     struct CurlTraits {
//         using Options = kova_curl_options;   // the transport's option struct
//         using Handle = kova_curl;
//         static void init(Options *o);
//         static Handle *create(const Options *o);
//         static void destroy(Handle *t);
//         static const kova_io *io(const Handle *t);
//         static int32_t redact(const char *text, char *out, int32_t size);
//         static bool decodes_gzip();          // asks for and decodes gzip
//         static void cancel(Handle *t);       // kova_curl_cancel, ...
//         static void resume(Handle *t);
//         static bool aborts_waits();          // a cancel cuts a wait short
//         static constexpr const char *kTimeoutWord = "Timeout";
//     };
//     INSTANTIATE_TYPED_TEST_SUITE_P(Curl, TransportE2e, CurlTraits);
//
// The option structs share their field names (timeout_ms, compressed,
// max_response_bytes, url_base, log, progress, ...), which is what lets one
// test body drive both.
#pragma once

#include <gtest/gtest.h>
#include <yyjson.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#define PSAPI_VERSION 2  // GetProcessMemoryInfo from kernel32
#include <psapi.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "kova.h"

namespace kova_e2e {

struct ServerInfo {
    int http = 0, https = 0;
    int tarpit = 0;  // accepts connections and never says a word
    std::string dir, ca;
};

// KOVA_E2E_DIR is a path of the machine that runs the server. Under Wine the
// Unix root is drive Z:, whatever the current drive is.
inline std::string host_path(const char *dir) {
#ifdef _WIN32
    if (dir[0] == '/') return std::string("Z:") + dir;
#endif
    return dir;
}

inline const ServerInfo &server() {
    static ServerInfo info = [] {
        ServerInfo s;
        const char *d = getenv("KOVA_E2E_DIR");
        if (!d) return s;
        s.dir = host_path(d);
        s.ca = s.dir + "/ca.pem";
        std::ifstream f(s.dir + "/ports.json");
        std::stringstream ss;
        ss << f.rdbuf();
        std::string text = ss.str();
        yyjson_doc *doc = yyjson_read(text.data(), text.size(), 0);
        if (doc) {
            yyjson_val *root = yyjson_doc_get_root(doc);
            s.http = static_cast<int>(yyjson_get_int(yyjson_obj_get(root, "http")));
            s.https = static_cast<int>(yyjson_get_int(yyjson_obj_get(root, "https")));
            s.tarpit = static_cast<int>(yyjson_get_int(yyjson_obj_get(root, "tarpit")));
            yyjson_doc_free(doc);
        }
        return s;
    }();
    return info;
}

inline std::string http_url(const std::string &path_query) {
    return "http://127.0.0.1:" + std::to_string(server().http) + path_query;
}
inline std::string https_url(const std::string &host, const std::string &path_query) {
    return "https://" + host + ":" + std::to_string(server().https) + path_query;
}

// One exchange through a table, with its outputs copied and released.
struct Reply {
    int32_t rc = -99;
    int32_t status = -1;
    bool has_body = false, has_error = false;
    std::string body, error;
    long long ms = 0;
};

inline Reply call(const kova_io *io, const std::string &url, const char *post_body = nullptr,
                  const char *ctype = "application/json") {
    Reply r;
    char *body = nullptr, *error = nullptr;
    auto t0 = std::chrono::steady_clock::now();
    r.rc = post_body ? io->post(io->user, url.c_str(), post_body, ctype, &body, &r.status, &error)
                     : io->get(io->user, url.c_str(), &body, &r.status, &error);
    r.ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    if (body) { r.has_body = true; r.body = body; io->release(io->user, body); }
    if (error) { r.has_error = true; r.error = error; io->release(io->user, error); }
    return r;
}

// A JSON member of a body as text ("" when absent).
inline std::string member(const std::string &json, const char *key) {
    yyjson_doc *doc = yyjson_read(json.data(), json.size(), 0);
    std::string out;
    if (!doc) return "<not json>";
    yyjson_val *v = yyjson_obj_get(yyjson_doc_get_root(doc), key);
    if (yyjson_is_str(v)) out = yyjson_get_str(v);
    else if (yyjson_is_bool(v)) out = yyjson_get_bool(v) ? "true" : "false";
    else if (v) {
        char *w = yyjson_val_write(v, 0, nullptr);
        out = w ? w : "";
        free(w);
    }
    yyjson_doc_free(doc);
    return out;
}

// A transport of kind T, freed at the end of the scope.
template <class T>
struct Transport {
    typename T::Handle *t = nullptr;
    explicit Transport(const typename T::Options *o) { t = T::create(o); }
    ~Transport() { T::destroy(t); }
    Transport(const Transport &) = delete;
    Transport &operator=(const Transport &) = delete;
    const kova_io *io() const { return T::io(t); }
};

template <class T>
typename T::Options defaults() {
    typename T::Options o;
    T::init(&o);
    return o;
}

// The requests the server recorded for one API key, as JSON text.
template <class T>
std::string recorded(const std::string &key) {
    Transport<T> tr(nullptr);
    return call(tr.io(), http_url("/__requests?apikey=" + key)).body;
}

// A local port with nothing listening: bound, then closed again.
inline int closed_port() {
#ifdef _WIN32
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int n = sizeof a;
    bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
    getsockname(s, reinterpret_cast<sockaddr *>(&a), &n);
    int port = ntohs(a.sin_port);
    closesocket(s);
    WSACleanup();
    return port;
#else
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
    getsockname(s, reinterpret_cast<sockaddr *>(&a), &n);
    int port = ntohs(a.sin_port);
    close(s);
    return port;
#endif
}

// Skips every test when the server is not running; resets the library
// around each test.
class E2eBase : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server().http) GTEST_SKIP() << "KOVA_E2E_DIR is not set: the test server is not running";
        kova_reset();
    }
    void TearDown() override { kova_reset(); }
};

template <class T>
class TransportE2e : public E2eBase {};

TYPED_TEST_SUITE_P(TransportE2e);

// A request header the server recorded, by name in any letter case;
// "<absent>" when the request had none.
inline std::string header_of(const std::string &json, const char *name) {
    std::string out = "<absent>";
    yyjson_doc *doc = yyjson_read(json.data(), json.size(), 0);
    if (!doc) return "<not json>";
    size_t i, n;
    yyjson_val *pair;
    yyjson_arr_foreach(yyjson_obj_get(yyjson_doc_get_root(doc), "headers"), i, n, pair) {
        const char *k = yyjson_get_str(yyjson_arr_get(pair, 0));
        bool same = k && strlen(k) == strlen(name);
        for (size_t j = 0; same && k[j]; ++j)
            same = tolower(static_cast<unsigned char>(k[j])) == tolower(static_cast<unsigned char>(name[j]));
        if (same) out = yyjson_get_str(yyjson_arr_get(pair, 1));
    }
    yyjson_doc_free(doc);
    return out;
}

// ---------------------------------------------------------------------------
// The transport table alone
// ---------------------------------------------------------------------------
TYPED_TEST_P(TransportE2e, GetReachesTheServerWithExactPathQueryAndHeaders) {
    using T = TypeParam;
    Transport<T> tr(nullptr);
    Reply r = call(tr.io(), http_url("/echo?apikey=abc&Query=Night%20of%20the%26x&t=1"));
    ASSERT_EQ(r.rc, 0) << r.error;
    EXPECT_EQ(r.status, 200);
    EXPECT_FALSE(r.has_error);
    EXPECT_EQ(member(r.body, "method"), "GET");
    EXPECT_EQ(member(r.body, "path"), "/echo");
    EXPECT_EQ(member(r.body, "query"), "apikey=abc&Query=Night%20of%20the%26x&t=1");
    EXPECT_EQ(member(r.body, "user_agent"), std::string("kova/") + kova_version());
    EXPECT_EQ(member(r.body, "accept_encoding").find("gzip") != std::string::npos, T::decodes_gzip());
}

TYPED_TEST_P(TransportE2e, PostBodiesArriveIntactWithTheirContentType) {
    Transport<TypeParam> tr(nullptr);
    const char *bodies[] = {"{\"title\":\"Caf\xc3\xa9 \\\"x\\\"\",\"n\":[1,2]}", ""};
    for (const char *b : bodies) {
        Reply r = call(tr.io(), http_url("/echo?apikey=p"), b);
        ASSERT_EQ(r.rc, 0) << r.error;
        EXPECT_EQ(member(r.body, "method"), "POST");
        EXPECT_EQ(member(r.body, "body"), b);
        EXPECT_EQ(member(r.body, "content_type"), "application/json");
    }
    std::string big(300000, 'z');
    Reply r = call(tr.io(), http_url("/echo?apikey=p"), big.c_str());
    ASSERT_EQ(r.rc, 0) << r.error;
    EXPECT_EQ(member(r.body, "body").size(), big.size());
}

TYPED_TEST_P(TransportE2e, EveryCompletedExchangeReturnsZeroWithItsStatus) {
    Transport<TypeParam> tr(nullptr);
    const struct { const char *path; int32_t status; } cases[] = {
        {"/status/200", 200}, {"/status/401", 401}, {"/status/403", 403}, {"/status/404", 404},
        {"/status/429", 429}, {"/status/500", 500}, {"/status/503", 503},
        {"/redirect", 302},  // not followed: the key would travel along
    };
    for (const auto &c : cases) {
        Reply r = call(tr.io(), http_url(c.path));
        EXPECT_EQ(r.rc, 0) << c.path << ": " << r.error;
        EXPECT_EQ(r.status, c.status) << c.path;
        EXPECT_TRUE(r.has_body) << c.path;
        // A rate limit's reason goes beside its answer (see RateLimitsSayWhenToRetry).
        EXPECT_EQ(r.has_error, c.status == 429) << c.path << ": " << r.error;
    }
}

TYPED_TEST_P(TransportE2e, ARedirectsLogLineNamesItsLocation) {
    using T = TypeParam;
    std::vector<std::string> lines;
    auto o = defaults<T>();
    o.log = [](void *user, const char *line) { static_cast<std::vector<std::string> *>(user)->push_back(line); };
    o.log_user = &lines;
    o.url_base = "/radarr";  // the server strips it: the redirect is resolved against the URL sent
    Transport<T> tr(&o);
    const std::string origin = "http://127.0.0.1:" + std::to_string(server().http);
    const struct { const char *to, *logged; bool on_origin; } cases[] = {
        // (the Location the server sends, percent-encoded in the query;
        //  what the line names: absolute, resolved against the URL sent)
        {"%2Fecho", "/echo", true},
        {"sub%2Fpage", "/radarr/sub/page", true},
        {"https%3A%2F%2Flocalhost%3A8443%2Fapi%3Fapikey%3Dr3d1rS3cr3t", "https://localhost:8443/api?apikey=***", false},
        {"%2F%2Fother.example%2Fx", "http://other.example/x", false},
    };
    for (const auto &c : cases) {
        lines.clear();
        Reply r = call(tr.io(), http_url(std::string("/redirect?apikey=r3d1rS3cr3t&to=") + c.to));
        ASSERT_EQ(r.rc, 0) << r.error;
        EXPECT_EQ(r.status, 302);
        ASSERT_EQ(lines.size(), 1u);
        const std::string tail = ", Location: " + (c.on_origin ? origin : std::string()) + c.logged;
        EXPECT_NE(lines[0].find("-> HTTP 302, "), std::string::npos) << lines[0];
        EXPECT_TRUE(lines[0].size() > tail.size() && lines[0].compare(lines[0].size() - tail.size(), tail.size(), tail) == 0)
            << lines[0] << " does not end with " << tail;
        EXPECT_EQ(lines[0].find("r3d1rS3cr3t"), std::string::npos) << lines[0];
    }
    lines.clear();
    call(tr.io(), http_url("/status/200"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].find("Location"), std::string::npos) << lines[0];
}

TYPED_TEST_P(TransportE2e, ASlowAnswerFailsWithinTheTimeOut) {
    using T = TypeParam;
    // Once through the option, once through kova_set_timeout_ms, which the
    // transport reads at each request when the option is 0.
    for (int via_library = 0; via_library < 2; ++via_library) {
        auto o = defaults<T>();
        if (via_library) kova_set_timeout_ms(400);
        else o.timeout_ms = 400;
        Transport<T> tr(&o);
        Reply r = call(tr.io(), http_url("/slow?ms=5000&apikey=topsecret123"));
        EXPECT_NE(r.rc, 0);
        EXPECT_TRUE(r.has_error);
        EXPECT_NE(r.error.find(T::kTimeoutWord), std::string::npos) << r.error;
        EXPECT_LT(r.ms, 4000) << "the request waited for the slow answer";
        kova_set_timeout_ms(0);
    }
}

TYPED_TEST_P(TransportE2e, GzipAnswersAreDecoded) {
    using T = TypeParam;
    // A transport whose HTTP stack cannot decode gzip must not ask for it;
    // the answer then comes plain.
    for (int compressed = 0; compressed < 2; ++compressed) {
        auto o = defaults<T>();
        o.compressed = compressed;
        Transport<T> tr(&o);
        Reply echo = call(tr.io(), http_url("/echo"));
        ASSERT_EQ(echo.rc, 0) << echo.error;
        EXPECT_EQ(member(echo.body, "accept_encoding").find("gzip") != std::string::npos,
                  compressed && T::decodes_gzip())
            << member(echo.body, "accept_encoding");
        Reply r = call(tr.io(), http_url("/gzip"));
        ASSERT_EQ(r.rc, 0) << r.error;
        EXPECT_EQ(member(r.body, "gzip"), "true");
        EXPECT_GT(r.body.size(), 4000u);
    }
}

TYPED_TEST_P(TransportE2e, AnswersOverTheSizeCapFail) {
    using T = TypeParam;
    const std::string over = "larger than ";
    // refusal: nullptr when the answer passes, else a part of the error text
    // ("larger than " is followed by the cap).
    const struct { const char *path; int64_t cap; const char *refusal; } cases[] = {
        {"/big?n=5000", 10000, nullptr},
        {"/big?n=10000", 10000, nullptr},
        {"/big?n=10001", 10000, over.c_str()},          // refused from Content-Length
        {"/bigchunked?n=500000", 100000, over.c_str()}, // no length: counted while reading
        // 4 MiB once decoded; a transport that does not decode passes the
        // compressed bytes on as they came, and those hold NUL bytes, which
        // no text answer does.
        {"/bomb?z=1", 1 << 20, T::decodes_gzip() ? over.c_str() : "holds a NUL byte"},
    };
    for (const auto &c : cases) {
        auto o = defaults<T>();
        o.max_response_bytes = c.cap;
        Transport<T> tr(&o);
        Reply r = call(tr.io(), http_url(std::string(c.path) + "&apikey=cap"));
        if (!c.refusal) {
            EXPECT_EQ(r.rc, 0) << c.path << ": " << r.error;
            EXPECT_EQ(r.status, 200) << c.path;
        } else {
            EXPECT_NE(r.rc, 0) << c.path;
            EXPECT_FALSE(r.has_body) << c.path;
            std::string want = c.refusal == over.c_str() ? over + std::to_string(c.cap) : c.refusal;
            EXPECT_NE(r.error.find(want), std::string::npos) << r.error;
        }
    }
}

TYPED_TEST_P(TransportE2e, TheUrlBaseGoesAfterSchemeHostAndPort) {
    using T = TypeParam;
    const struct { const char *base; const char *path; } cases[] = {
        {nullptr, "/echo"}, {"", "/echo"}, {"/", "/echo"},
        {"sonarr", "/sonarr/echo"}, {"/sonarr/", "/sonarr/echo"}, {"//radarr//", "/radarr/echo"},
    };
    for (const auto &c : cases) {
        auto o = defaults<T>();
        o.url_base = c.base;
        Transport<T> tr(&o);
        Reply r = call(tr.io(), http_url("/echo?apikey=base"));
        ASSERT_EQ(r.rc, 0) << r.error;
        EXPECT_EQ(member(r.body, "path"), c.path) << (c.base ? c.base : "(null)");
        EXPECT_EQ(member(r.body, "query"), "apikey=base");
    }
}

TYPED_TEST_P(TransportE2e, TheApiKeyIsInNoErrorTextAndNoLogLine) {
    using T = TypeParam;
    std::vector<std::string> lines;
    auto o = defaults<T>();
    o.timeout_ms = 400;
    o.max_response_bytes = 1000;
    o.log = [](void *user, const char *line) { static_cast<std::vector<std::string> *>(user)->push_back(line); };
    o.log_user = &lines;
    Transport<T> tr(&o);
    const std::string key = "s3cr3tK3y%2B%2Fv";  // "s3cr3tK3y+/v" as the library encodes it
    const std::string urls[] = {
        "http://127.0.0.1:" + std::to_string(closed_port()) + "/api?apikey=" + key,  // refused
        http_url("/slow?ms=5000&apikey=" + key),                                     // time-out
        https_url("127.0.0.1", "/echo?apikey=" + key),                               // TLS refused
        http_url("/big?n=5000&apikey=" + key),                                       // size cap
        http_url("/status/200?x=1&APIKEY=" + key),                                   // succeeds: log only
    };
    for (const auto &u : urls) {
        Reply r = call(tr.io(), u);
        for (const char *secret : {"s3cr3t", "K3y"}) {
            EXPECT_EQ(r.error.find(secret), std::string::npos) << r.error;
        }
        if (r.rc != 0) {
            EXPECT_NE(r.error.find("apikey=***"), std::string::npos) << r.error;
        }
    }
    ASSERT_EQ(lines.size(), 5u);
    for (const auto &l : lines) {
        EXPECT_EQ(l.find("s3cr3t"), std::string::npos) << l;
        EXPECT_NE(l.find("=***"), std::string::npos) << l;
    }
}

TYPED_TEST_P(TransportE2e, RedactReplacesEveryApiKeyValue) {
    using T = TypeParam;
    const struct { const char *in, *out; } cases[] = {
        {"http://h:1/p?apikey=abc", "http://h:1/p?apikey=***"},
        {"http://h:1/p?apikey=abc&Query=x", "http://h:1/p?apikey=***&Query=x"},
        {"GET /a?ApiKey=A%2Bb&x=1 and apikey=zz", "GET /a?ApiKey=***&x=1 and apikey=***"},
        {"apikey=", "apikey=***"},
        {"no key here", "no key here"},
    };
    for (const auto &c : cases) {
        char buf[128];
        EXPECT_EQ(T::redact(c.in, buf, sizeof buf), static_cast<int32_t>(strlen(c.out)));
        EXPECT_STREQ(buf, c.out);
    }
    char small[8];
    T::redact("apikey=secret", small, sizeof small);
    EXPECT_STREQ(small, "apikey=");
}

TYPED_TEST_P(TransportE2e, BadOptionsAreRefused) {
    using T = TypeParam;
    auto o = defaults<T>();
    o.timeout_ms = -1;
    EXPECT_EQ(T::create(&o), nullptr);
    o = defaults<T>();
    o.max_response_bytes = -5;
    EXPECT_EQ(T::create(&o), nullptr);
    EXPECT_EQ(T::io(nullptr), nullptr);
    T::destroy(nullptr);
}

TYPED_TEST_P(TransportE2e, TheStructSizeSaysHowMuchOfTheOptionsToRead) {
    using T = TypeParam;
    using Options = typename T::Options;
    EXPECT_EQ(defaults<T>().struct_size, sizeof(Options));
    // The options as a host passes them, followed by what a newer header
    // would have added after them.
    struct Caller {
        Options o;
        unsigned char newer[16];
    };
    static_assert(offsetof(Caller, newer) == sizeof(Options));
    // The first struct with a size ended with progress_user: a host built
    // against that header passes this size, and every option after it takes
    // its default.
    const size_t first = offsetof(Options, progress_user) + sizeof(void *);
    // `later`: the options added since (the host's headers, credentials,
    // the key in a header) are read.
    const struct { const char *what; size_t size; unsigned char newer; bool made, later; } cases[] = {
        {"init's", sizeof(Options), 0, true, true},
        {"the first header's", first, 0, true, false},
        {"a newer header's, its options unset", sizeof(Caller), 0, true, true},
        {"a newer header's, one of its options set", sizeof(Caller), 1, false, false},
        {"up to an earlier field", offsetof(Options, progress), 0, false, false},
        {"a byte short", first - 1, 0, false, false},
        {"none", 0, 0, false, false},
        {"not a size", size_t{1} << 20, 0, false, false},  // refused unread: the struct is far smaller
    };
    const char *const headers[] = {"X-Sized: 1", nullptr};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Caller caller{defaults<T>(), {}};
        caller.o.url_base = "/sonarr";
        caller.o.headers = headers;
        caller.o.key_in_header = 1;
        caller.o.struct_size = static_cast<uint32_t>(c.size);
        caller.newer[sizeof caller.newer - 1] = c.newer;
        // What lies past a smaller size is not the caller's struct: the
        // library must not read it (the first header's struct ends before
        // the headers option: pointers to nowhere here).
        const size_t theirs = c.size > first ? c.size : first;
        if (theirs < sizeof(Options))
            memset(reinterpret_cast<unsigned char *>(&caller.o) + theirs, 0xff, sizeof(Options) - theirs);
        Transport<T> tr(&caller.o);
        ASSERT_EQ(tr.t != nullptr, c.made);
        if (!tr.t) continue;
        Reply r = call(tr.io(), http_url("/api/v3/echo?apikey=sized"));
        ASSERT_EQ(r.rc, 0) << r.error;
        EXPECT_EQ(member(r.body, "path"), "/sonarr/api/v3/echo");  // the options were read
        EXPECT_EQ(member(r.body, "query"), c.later ? "" : "apikey=sized");
        EXPECT_EQ(header_of(r.body, "X-Sized"), c.later ? "1" : "<absent>");
        EXPECT_EQ(header_of(r.body, "Authorization"), "<absent>");
    }
}

TYPED_TEST_P(TransportE2e, OneTableServesSeveralThreadsAtOnce) {
    Transport<TypeParam> tr(nullptr);
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] {
            for (int j = 0; j < 8; ++j) {
                std::string q = "t" + std::to_string(i) + "r" + std::to_string(j);
                Reply r = call(tr.io(), http_url("/echo?apikey=" + q));
                if (r.rc == 0 && member(r.body, "query") == "apikey=" + q) ++good;
            }
        });
    for (auto &t : threads) t.join();
    EXPECT_EQ(good.load(), 32);
}

// ---------------------------------------------------------------------------
// Through the library
// ---------------------------------------------------------------------------
// Sessions on several threads share one transport table: each thread's
// searches, lookups, adds and refusals stay in its session, and each sends
// its own key. One run on this thread first counts the requests a run makes.
TYPED_TEST_P(TransportE2e, SessionsOnThreadsShareOneTransport) {
    Transport<TypeParam> tr(nullptr);
    auto run = [&](int t, const std::string &key) {
        bool ok = true;
        auto expect = [&](bool b) { ok = ok && b; };
        kova_session *s = kova_session_new();
        if (!s) return false;
        kova_session_bind(s);
        kova_set_io(tr.io());
        kova_arm_library_writes(1);
        const bool even = t % 2 == 0;
        for (int kind : {KOVA_JACKETT, KOVA_SONARR, KOVA_RADARR}) {
            std::string url = "http://127.0.0.1:" + std::to_string(server().http);
            expect(kova_configure_url(kind, url.c_str(), key.c_str()) == KOVA_OK);
        }
        for (int round = 0; round < 3; ++round) {
            if (even) {
                expect(kova_jackett_search_imdb("tt1", nullptr, "many") == KOVA_OK);
                expect(kova_jackett_stage() == KOVA_STAGE_QUERY && kova_result_count() == 3 &&
                       std::string(kova_result_title(2)) == "Row 3");
                expect(kova_radarr_add_movie(603, "/data/media/", 4) == 44);
            } else {
                expect(kova_jackett_search_imdb("tt0063350", "Night of the Living Dead", nullptr) == KOVA_OK);
                expect(kova_jackett_stage() == KOVA_STAGE_TITLE && kova_result_count() == 1);
                expect(kova_sonarr_add_series(73587, "/data/media/", 4) == 12);
            }
            expect(kova_sonarr_test() == KOVA_OK && std::string(kova_rootfolder()) == "/data/media");
            expect(kova_radarr_lookup_imdb("tt9") < 0 && kova_last_http_code() == 404);
            expect(std::string(kova_last_error()).find("Radarr") != std::string::npos);
        }
        kova_session_free(s);
        return ok && kova_session_current() == nullptr;
    };
    auto requests = [](const std::string &key) {
        std::string rec = recorded<TypeParam>(key);
        size_t n = 0;
        for (size_t at = rec.find("\"path\""); at != std::string::npos; at = rec.find("\"path\"", at + 1)) ++n;
        return n;
    };
    ASSERT_TRUE(run(0, "solo0"));
    ASSERT_TRUE(run(1, "solo1"));
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            if (run(t, "sess" + std::to_string(t))) ++good;
        });
    for (auto &th : threads) th.join();
    EXPECT_EQ(good.load(), 4);
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(requests("sess" + std::to_string(t)), requests(t % 2 ? "solo1" : "solo0")) << t;
    EXPECT_EQ(kova_session_current(), nullptr);
    EXPECT_EQ(kova_result_count(), 0); // the default context saw none of it
}

TYPED_TEST_P(TransportE2e, LibraryRequestsReachTheServerExactly) {
    using T = TypeParam;
    Transport<T> tr(nullptr);
    kova_set_io(tr.io());
    const std::string key = "lib+key/1";  // sent as lib%2Bkey%2F1
    ASSERT_EQ(kova_sonarr_configure("127.0.0.1", server().http, 0, key.c_str()), KOVA_OK);
    ASSERT_EQ(kova_sonarr_test(), KOVA_OK) << kova_last_error();
    EXPECT_STREQ(kova_rootfolder(), "/data/media");
    EXPECT_EQ(kova_quality_profile_count(), 2);

    std::string rec = recorded<T>("lib%2Bkey%2F1");
    EXPECT_NE(rec.find("\"path\": \"/api/v3/rootfolder\", \"query\": \"apikey=lib%2Bkey%2F1\""), std::string::npos) << rec;
    EXPECT_NE(rec.find("\"path\": \"/api/v3/qualityprofile\", \"query\": \"apikey=lib%2Bkey%2F1\""), std::string::npos) << rec;

    ASSERT_EQ(kova_jackett_configure("127.0.0.1", server().http, 0, "jk1"), KOVA_OK);
    EXPECT_EQ(kova_jackett_search_imdb("tt0063350", "Night of the Living Dead", nullptr), KOVA_OK) << kova_last_error();
    EXPECT_EQ(kova_jackett_stage(), 2);
    rec = recorded<T>("jk1");
    EXPECT_NE(rec.find("\"query\": \"apikey=jk1&Query=tt0063350\""), std::string::npos) << rec;
    EXPECT_NE(rec.find("\"query\": \"apikey=jk1&Query=Night%20of%20the%20Living%20Dead\""), std::string::npos) << rec;
}

TYPED_TEST_P(TransportE2e, LibraryAddPostsItsJsonBody) {
    using T = TypeParam;
    Transport<T> tr(nullptr);
    kova_set_io(tr.io());
    ASSERT_EQ(kova_sonarr_configure("127.0.0.1", server().http, 0, "addkey"), KOVA_OK);
    kova_arm_library_writes(1);
    EXPECT_EQ(kova_sonarr_add_series(73587, "/data/media/", 4), 12) << kova_last_error();
    std::string rec = recorded<T>("addkey");
    yyjson_doc *doc = yyjson_read(rec.data(), rec.size(), 0);
    ASSERT_NE(doc, nullptr);
    yyjson_val *post = nullptr;
    size_t i, n;
    yyjson_val *r;
    yyjson_arr_foreach(yyjson_doc_get_root(doc), i, n, r) {
        if (strcmp(yyjson_get_str(yyjson_obj_get(r, "method")), "POST") == 0) post = r;
    }
    ASSERT_NE(post, nullptr) << rec;
    EXPECT_STREQ(yyjson_get_str(yyjson_obj_get(post, "path")), "/api/v3/series");
    EXPECT_STREQ(yyjson_get_str(yyjson_obj_get(post, "query")), "apikey=addkey&tvdbId=73587");
    EXPECT_STREQ(yyjson_get_str(yyjson_obj_get(post, "content_type")), "application/json");
    std::string body = yyjson_get_str(yyjson_obj_get(post, "body"));
    EXPECT_EQ(member(body, "qualityProfileId"), "4");
    EXPECT_EQ(member(body, "languageProfileId"), "1");  // Sonarr v3's first language profile
    EXPECT_EQ(member(body, "path"), "/data/media/thetwilightzone-tt0052520");
    EXPECT_EQ(member(body, "monitored"), "false");
    yyjson_doc_free(doc);
}

TYPED_TEST_P(TransportE2e, LibraryMapsStatusesAndTransportFailures) {
    using T = TypeParam;
    auto o = defaults<T>();
    Transport<T> tr(&o);
    kova_set_io(tr.io());
    const struct { const char *key; int32_t rc; int32_t http; } cases[] = {
        {"k401", KOVA_ERR_AUTH, 401}, {"k403", KOVA_ERR_AUTH, 403},
        {"k404", KOVA_ERR_HTTP, 404}, {"k500", KOVA_ERR_HTTP, 500},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(kova_radarr_configure("127.0.0.1", server().http, 0, c.key), KOVA_OK);
        EXPECT_EQ(kova_radarr_test(), c.rc) << c.key;
        EXPECT_EQ(kova_last_http_code(), c.http) << c.key;
        EXPECT_EQ(std::string(kova_last_error()).find(c.key), std::string::npos) << kova_last_error();
    }
    kova_set_timeout_ms(500);
    ASSERT_EQ(kova_radarr_configure("127.0.0.1", server().http, 0, "slow"), KOVA_OK);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(kova_radarr_test(), KOVA_ERR_TRANSPORT);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(4000));
    EXPECT_STREQ(kova_last_error(), "Radarr rootfolder: transport failure");
    // Beside the library's message, the transport's own words: what a host
    // shows to say why, redacted.
    const std::string timed_out = kova_last_transport_error();
    EXPECT_FALSE(timed_out.empty());
    EXPECT_EQ(timed_out.find("apikey=slow"), std::string::npos) << timed_out;
    ASSERT_EQ(kova_radarr_configure("127.0.0.1", closed_port(), 0, "refusedkey123"), KOVA_OK);
    EXPECT_EQ(kova_radarr_test(), KOVA_ERR_TRANSPORT);
    const std::string refused = kova_last_transport_error();
    EXPECT_FALSE(refused.empty());
    EXPECT_NE(refused, timed_out);
    EXPECT_EQ(refused.find("refusedkey123"), std::string::npos) << refused;
    ASSERT_EQ(kova_radarr_configure("127.0.0.1", server().http, 0, "k404"), KOVA_OK);
    EXPECT_EQ(kova_radarr_test(), KOVA_ERR_HTTP);
    EXPECT_STREQ(kova_last_transport_error(), "");
}

TYPED_TEST_P(TransportE2e, SettingsValidationRunsOverRealSockets) {
    using T = TypeParam;
    Transport<T> tr(nullptr);
    const kova_handler *h = kova_rtchk_handler("SONARR");
    ASSERT_NE(h, nullptr);
    std::string port = std::to_string(server().http);
    const struct { const char *key; int32_t code; } cases[] = {{"valid", 0}, {"k401", -1}, {"k404", -2}, {"k500", -4}};
    for (const auto &c : cases) {
        std::string settings = std::string("{\"Host\":\"127.0.0.1\",\"APIKey\":\"") + c.key +
                               "\",\"Port\":\"" + port + "\",\"ID\":\"x\"}";
        char answer[1024];
        EXPECT_EQ(h->validate(tr.io(), settings.c_str(), answer, sizeof answer), c.code) << c.key << " " << answer;
        if (c.code == 0) {
            EXPECT_EQ(member(answer, "URL"), "http://127.0.0.1:" + port);
        }
    }
}

TYPED_TEST_P(TransportE2e, LibraryUrlBasesPerService) {
    using T = TypeParam;
    Transport<T> tr(nullptr);
    kova_set_io(tr.io());
    const std::string origin = "http://127.0.0.1:" + std::to_string(server().http);
    ASSERT_EQ(kova_sonarr_configure("127.0.0.1", server().http, 0, "base1"), KOVA_OK);
    ASSERT_EQ(kova_radarr_configure("127.0.0.1", server().http, 0, "base1"), KOVA_OK);
    ASSERT_EQ(kova_set_url_base(KOVA_SONARR, "sonarr/"), KOVA_OK);
    ASSERT_EQ(kova_set_url_base(KOVA_RADARR, "/radarr"), KOVA_OK);
    EXPECT_EQ(kova_base_url(KOVA_SONARR), origin + "/sonarr");
    EXPECT_EQ(kova_sonarr_test(), KOVA_OK) << kova_last_error();
    EXPECT_EQ(kova_radarr_test(), KOVA_OK) << kova_last_error();
    std::string rec = recorded<T>("base1");
    for (const char *path : {"/sonarr/api/v3/rootfolder", "/sonarr/api/v3/qualityprofile", "/radarr/api/v3/rootfolder"}) {
        EXPECT_NE(rec.find(std::string("\"path\": \"") + path + "\""), std::string::npos) << path << rec;
    }
    // The settings validation takes its own.
    char answer[1024];
    std::string settings = "{\"Host\":\"127.0.0.1\",\"APIKey\":\"base2\",\"Port\":\"" +
                           std::to_string(server().http) + "\",\"ID\":\"x\",\"UrlBase\":\"/sonarr/\"}";
    EXPECT_EQ(kova_rtchk_handler("SONARR")->validate(tr.io(), settings.c_str(), answer, sizeof answer), 0) << answer;
    EXPECT_EQ(member(answer, "URL"), origin + "/sonarr");
    EXPECT_NE(recorded<T>("base2").find("\"path\": \"/sonarr/api/v3/rootfolder\""), std::string::npos);
}

TYPED_TEST_P(TransportE2e, LibraryReportsWhatTheServiceSaid) {
    using T = TypeParam;
    Transport<T> tr(nullptr);
    kova_set_io(tr.io());
    kova_arm_library_writes(1);
    const struct {
        const char *key;
        int32_t kind;
        int32_t rc, http;
        const char *err, *warning;
    } cases[] = {
        {"e400problem", KOVA_SONARR, KOVA_ERR_HTTP, 400, "Sonarr series lookup: HTTP 400",
         "Sonarr: One or more validation errors occurred. Path: The Path field is required."},
        {"e400servarr", KOVA_SONARR, KOVA_ERR_HTTP, 400, "Sonarr series lookup: HTTP 400",
         "Sonarr: RootFolderPath: Folder '/nope' does not exist; LanguageProfileId: Language profile does not exist"},
        {"e400jackett", KOVA_JACKETT, KOVA_ERR_HTTP, 400, "Jackett indexer list: HTTP 400",
         "Jackett: Indexer is not configured: apikey=***"},
        {"e500html", KOVA_RADARR, KOVA_ERR_HTTP, 500, "Radarr rootfolder: HTTP 500", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.key);
        int32_t rc;
        if (c.kind == KOVA_SONARR) {
            ASSERT_EQ(kova_sonarr_configure("127.0.0.1", server().http, 0, c.key), KOVA_OK);
            rc = kova_sonarr_add_series(73587, "/nope", 1);
        } else if (c.kind == KOVA_JACKETT) {
            ASSERT_EQ(kova_jackett_configure("127.0.0.1", server().http, 0, c.key), KOVA_OK);
            rc = kova_jackett_test();
        } else {
            ASSERT_EQ(kova_radarr_configure("127.0.0.1", server().http, 0, c.key), KOVA_OK);
            rc = kova_radarr_test();
        }
        EXPECT_EQ(rc, c.rc);
        EXPECT_EQ(kova_last_http_code(), c.http);
        EXPECT_STREQ(kova_last_error(), c.err);
        ASSERT_EQ(kova_warning_count(), c.warning ? 1 : 0);
        if (c.warning) {
            EXPECT_STREQ(kova_warning(0), c.warning);
        }
    }
}

TYPED_TEST_P(TransportE2e, LibraryGrabsAListedRelease) {
    using T = TypeParam;
    Transport<T> tr(nullptr);
    kova_set_io(tr.io());
    ASSERT_EQ(kova_sonarr_configure("127.0.0.1", server().http, 0, "grab1"), KOVA_OK);
    kova_arm_library_writes(1);
    ASSERT_EQ(kova_sonarr_releases(12, 1, 5), KOVA_OK) << kova_last_error();
    ASSERT_EQ(kova_result_count(), 1);
    EXPECT_EQ(kova_sonarr_grab_release(0), KOVA_OK) << kova_last_error();
    EXPECT_EQ(kova_last_http_code(), 200);
    std::string rec = recorded<T>("grab1");
    EXPECT_NE(rec.find("\"method\": \"POST\", \"path\": \"/api/v3/release\", \"query\": \"apikey=grab1\""),
              std::string::npos) << rec;
    EXPECT_NE(rec.find("\"body\": \"{\\\"guid\\\":\\\"rel-1\\\",\\\"indexerId\\\":2}\""), std::string::npos) << rec;
    EXPECT_EQ(kova_result_count(), 1);
    EXPECT_EQ(kova_radarr_grab_release(0), KOVA_ERR_INVALID_ARG);
}


// The requests the server recorded for one key, in order, as
// "METHOD path?query" (the API key left out).
template <class T>
std::vector<std::string> requests_of(const std::string &key) {
    std::string rec = recorded<T>(key);
    std::vector<std::string> out;
    yyjson_doc *doc = yyjson_read(rec.data(), rec.size(), 0);
    size_t i, n;
    yyjson_val *r;
    yyjson_arr_foreach(yyjson_doc_get_root(doc), i, n, r) {
        std::string query = yyjson_get_str(yyjson_obj_get(r, "query"));
        const std::string own = "apikey=" + key;
        if (query.rfind(own, 0) == 0) query.erase(0, own.size() + (query.size() > own.size() ? 1 : 0));
        out.push_back(std::string(yyjson_get_str(yyjson_obj_get(r, "method"))) + " " +
                      yyjson_get_str(yyjson_obj_get(r, "path")) + (query.empty() ? "" : "?" + query));
    }
    yyjson_doc_free(doc);
    return out;
}

// Prowlarr through the library: its test, a staged search (the IMDb id as a
// token under both types, then the title), the indexers' status behind the
// outcome, and the grab of a listed release.
TYPED_TEST_P(TransportE2e, ProwlarrTestSearchStatusAndGrab) {
    using T = TypeParam;
    Transport<T> tr(nullptr);
    kova_set_io(tr.io());
    const std::string url = "http://127.0.0.1:" + std::to_string(server().http) + "/prowlarr";
    ASSERT_EQ(kova_configure_url(KOVA_PROWLARR, url.c_str(), "prow1"), KOVA_OK);
    ASSERT_EQ(kova_prowlarr_test(), KOVA_OK) << kova_last_error();
    EXPECT_EQ(kova_indexer_count(), 5);
    EXPECT_STREQ(kova_indexer_name(0), "LimeTorrents");

    // The series' IMDb id with its season and episode: asked as films and as
    // series, the rows of both together (the episode's).
    ASSERT_EQ(kova_prowlarr_search("tt0052520", nullptr, nullptr, KOVA_SEARCH_ANY, 1, 5), KOVA_OK) << kova_last_error();
    EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_IMDB);
    ASSERT_EQ(kova_result_count(), 1);
    EXPECT_STREQ(kova_result_title(0), "The Twilight Zone S01E05 Walking Distance 1080p");
    ASSERT_EQ(kova_prowlarr_search("63350", nullptr, nullptr, KOVA_SEARCH_ANY, 0, 0), KOVA_OK) << kova_last_error();
    EXPECT_EQ(kova_result_count(), 1);
    // Nothing by the IMDb id: the title, less the rows of other films.
    ASSERT_EQ(kova_prowlarr_search("tt0464196", "Night of the Living Dead", nullptr, KOVA_SEARCH_MOVIE, 0, 0), KOVA_OK);
    EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_TITLE);
    ASSERT_EQ(kova_result_count(), 1);
    EXPECT_STREQ(kova_result_title(0), "Severance (2006) 720p BRRip x264 -YTS");
    const std::vector<std::string> expected = {
        "GET /prowlarr/api/v1/indexer", "GET /prowlarr/api/v1/indexerstatus",
        "GET /prowlarr/api/v1/search?query=%7BImdbId%3Att0052520%7D&type=movie",
        "GET /prowlarr/api/v1/search?query=%7BImdbId%3Att0052520%7D%7BSeason%3A1%7D%7BEpisode%3A5%7D&type=tvsearch",
        "GET /prowlarr/api/v1/indexer", "GET /prowlarr/api/v1/indexerstatus",
        "GET /prowlarr/api/v1/search?query=%7BImdbId%3Att0063350%7D&type=movie",
        "GET /prowlarr/api/v1/search?query=%7BImdbId%3Att0063350%7D&type=tvsearch",
        "GET /prowlarr/api/v1/indexer", "GET /prowlarr/api/v1/indexerstatus",
        "GET /prowlarr/api/v1/search?query=%7BImdbId%3Att0464196%7D&type=movie",
        "GET /prowlarr/api/v1/search?query=Night%20of%20the%20Living%20Dead&type=movie",
        "GET /prowlarr/api/v1/indexer", "GET /prowlarr/api/v1/indexerstatus",
    };
    EXPECT_EQ(requests_of<T>("prow1"), expected);

    // One indexer held back: a partial outcome, said by the indexer's entry;
    // all of them: the search fails.
    ASSERT_EQ(kova_configure_url(KOVA_PROWLARR, url.c_str(), "heldback"), KOVA_OK);
    EXPECT_EQ(kova_prowlarr_search(nullptr, nullptr, "Severance", KOVA_SEARCH_ANY, 0, 0), KOVA_PARTIAL)
        << kova_last_error();
    EXPECT_EQ(kova_result_count(), 3);
    EXPECT_EQ(kova_indexer_status(0), KOVA_INDEXER_FAILED);
    EXPECT_NE(std::string(kova_indexer_error(0)).find("held back after failures"), std::string::npos);
    ASSERT_EQ(kova_configure_url(KOVA_PROWLARR, url.c_str(), "allheldback"), KOVA_OK);
    EXPECT_EQ(kova_prowlarr_search(nullptr, nullptr, "Severance", KOVA_SEARCH_ANY, 0, 0), KOVA_ERR_INDEXERS);

    // The grab: armed, the listed release's guid and indexer id; after
    // Prowlarr forgot the search, not found.
    const struct { const char *key; int32_t rc; int32_t http; } grabs[] = {
        {"prowgrab", KOVA_OK, 200}, {"expired", KOVA_ERR_NOT_FOUND, 404}, {"grabconflict", KOVA_ERR_HTTP, 409}};
    for (const auto &g : grabs) {
        SCOPED_TRACE(g.key);
        ASSERT_EQ(kova_configure_url(KOVA_PROWLARR, url.c_str(), g.key), KOVA_OK);
        ASSERT_EQ(kova_prowlarr_search("tt0063350", nullptr, nullptr, KOVA_SEARCH_MOVIE, 0, 0), KOVA_OK);
        EXPECT_EQ(kova_prowlarr_grab_release(0), KOVA_ERR_NOT_ARMED);
        kova_arm_library_writes(1);
        EXPECT_EQ(kova_prowlarr_grab_release(0), g.rc) << kova_last_error();
        EXPECT_EQ(kova_last_http_code(), g.http);
        kova_arm_library_writes(0);
    }
    std::string rec = recorded<T>("prowgrab");
    EXPECT_NE(rec.find("\"method\": \"POST\", \"path\": \"/prowlarr/api/v1/search\""), std::string::npos) << rec;
    EXPECT_NE(rec.find(R"(\"guid\":\"https://yts.gg/torrent/download/0063350\",\"indexerId\":4)"), std::string::npos)
        << rec;
}

// ---------------------------------------------------------------------------
// Cancelling, progress, and answers the library must not see as text
// ---------------------------------------------------------------------------
// The requests with `what` in their path that the server recorded for `key`.
template <class T>
int recorded_count(const std::string &key, const std::string &what) {
    std::string rec = recorded<T>(key);
    int n = 0;
    for (size_t at = rec.find(what); at != std::string::npos; at = rec.find(what, at + 1)) ++n;
    return n;
}

// Runs `work` on a worker thread, cancels `t` from this one after
// `after_ms`, and returns how long the worker took from the start.
template <class T, class Work>
long long cancel_after(typename T::Handle *t, int after_ms, Work work) {
    auto t0 = std::chrono::steady_clock::now();
    std::thread worker(work);
    std::this_thread::sleep_for(std::chrono::milliseconds(after_ms));
    T::cancel(t);
    worker.join();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
}

TYPED_TEST_P(TransportE2e, ACancelEndsTheRequestsInFlightAndLaterOnesUntilResume) {
    using T = TypeParam;
    // Both routes take 5 s: one before its answer starts, one while its body
    // trickles in.
    const struct { const char *path; const char *key; } cases[] = {
        {"/slow?ms=5000", "cancel-wait"},
        {"/trickle?n=100000&ms=5000&parts=50", "cancel-body"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        Transport<T> tr(nullptr);
        Reply r;
        long long took = cancel_after<T>(tr.t, 500, [&] { r = call(tr.io(), http_url(std::string(c.path) + "&apikey=" + c.key)); });
        EXPECT_NE(r.rc, 0);
        EXPECT_FALSE(r.has_body);
        EXPECT_NE(r.error.find("cancelled"), std::string::npos) << r.error;
        if (T::aborts_waits()) {
            EXPECT_LT(took, 3000) << "well under the 5 s the route takes";
        }

        // Until resumed, a request fails at once and never reaches the server.
        const std::string later = std::string(c.key) + "-later";
        Reply refused = call(tr.io(), http_url("/echo?apikey=" + later), "{}");
        EXPECT_NE(refused.rc, 0);
        EXPECT_NE(refused.error.find("cancelled"), std::string::npos) << refused.error;
        EXPECT_EQ(recorded_count<T>(later, "\"path\": \"/echo\""), 0);

        T::resume(tr.t);
        Reply again = call(tr.io(), http_url("/echo?apikey=" + later));
        EXPECT_EQ(again.rc, 0) << again.error;
        EXPECT_EQ(again.status, 200);
    }
    T::cancel(nullptr);
    T::resume(nullptr);
}

TYPED_TEST_P(TransportE2e, ACancelledSearchStopsAtItsStage) {
    using T = TypeParam;
    std::vector<std::string> lines;
    auto o = defaults<T>();
    o.log = [](void *user, const char *line) { static_cast<std::vector<std::string> *>(user)->push_back(line); };
    o.log_user = &lines;
    Transport<T> tr(&o);
    kova_set_io(tr.io());
    // "slow-" keys make every search request take 5 s; this search has three
    // stages (the IMDb id finds nothing here), so uncancelled it would run
    // for 15 s.
    ASSERT_EQ(kova_jackett_configure("127.0.0.1", server().http, 0, "slow-stages"), KOVA_OK);
    int32_t rc = 0;
    long long took = cancel_after<T>(tr.t, 500, [&] {
        rc = kova_jackett_search_imdb("tt0063350", "Night of the Living Dead", "living dead 1968");
    });
    EXPECT_EQ(rc, KOVA_ERR_TRANSPORT);
    EXPECT_STREQ(kova_last_error(), "Jackett search: transport failure");
    EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_NONE);
    if (T::aborts_waits()) {
        EXPECT_LT(took, 3000) << "well under the 5 s of the first stage";
    }
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("cancelled"), std::string::npos) << lines[0];
    EXPECT_EQ(recorded_count<T>("slow-stages", "/api/v2.0/indexers/all/results\""), 1)
        << "no request of the later stages";

    T::resume(tr.t);
    ASSERT_EQ(kova_jackett_configure("127.0.0.1", server().http, 0, "stages-resumed"), KOVA_OK);
    EXPECT_EQ(kova_jackett_search_imdb("tt0063350", "Night of the Living Dead", nullptr), KOVA_OK)
        << kova_last_error();
    EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_TITLE);
}

TYPED_TEST_P(TransportE2e, CancelAndResumeRaceWithRequestsFromSeveralThreads) {
    using T = TypeParam;
    Transport<T> tr(nullptr);
    std::atomic<int> done{0}, bad{0};
    std::mutex m;
    std::string first_bad;
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] {
            for (int j = 0; j < 10; ++j) {
                // Requests that wait, and requests that answer at once.
                std::string path = (i + j) % 2 ? "/slow?ms=60&apikey=race" : "/echo?apikey=race";
                Reply r = call(tr.io(), http_url(path));
                bool ok = r.rc == 0 ? r.status == 200 && r.has_body && !r.has_error
                                    : !r.has_body && r.error.find("cancelled") != std::string::npos;
                if (!ok && bad++ == 0) {
                    std::lock_guard<std::mutex> lock(m);
                    first_bad = std::to_string(r.rc) + " " + r.error;
                }
            }
            ++done;
        });
    while (done.load() < 4) {
        T::cancel(tr.t);
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        T::resume(tr.t);
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    for (auto &t : threads) t.join();
    std::lock_guard<std::mutex> lock(m);
    EXPECT_EQ(bad.load(), 0) << "an answer or \"cancelled\", nothing else: " << first_bad;
    T::resume(tr.t);
    EXPECT_EQ(call(tr.io(), http_url("/echo?apikey=race")).rc, 0);
}

TYPED_TEST_P(TransportE2e, ProgressIsReportedOnTheRequestingThreadAFewTimesASecond) {
    using T = TypeParam;
    struct Report { int64_t got, expected; std::thread::id thread; };
    const struct { const char *path; int64_t n; int64_t expected; } cases[] = {
        {"/trickle?n=300000&ms=1500&parts=30", 300000, 300000},  // announced length
        {"/bigchunked?n=300000", 300000, -1},                     // none announced
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        std::vector<Report> reports;
        auto o = defaults<T>();
        o.progress = [](void *user, int64_t got, int64_t expected) {
            static_cast<std::vector<Report> *>(user)->push_back({got, expected, std::this_thread::get_id()});
        };
        o.progress_user = &reports;
        Transport<T> tr(&o);
        Reply r = call(tr.io(), http_url(std::string(c.path) + "&apikey=progress"));
        ASSERT_EQ(r.rc, 0) << r.error;
        ASSERT_FALSE(reports.empty());
        for (size_t i = 0; i < reports.size(); ++i) {
            EXPECT_EQ(reports[i].expected, c.expected);
            EXPECT_EQ(reports[i].thread, std::this_thread::get_id());
            if (i) {
                EXPECT_GT(reports[i].got, reports[i - 1].got);
            }
        }
        EXPECT_EQ(reports.back().got, c.n);
        // Four a second plus the first and the last, with room to spare.
        EXPECT_LE(static_cast<long long>(reports.size()), r.ms / 250 + 3) << r.ms << " ms";
    }
    auto o = defaults<T>();  // slow but steady: reported before the end
    std::vector<int64_t> seen;
    o.progress = [](void *user, int64_t got, int64_t) { static_cast<std::vector<int64_t> *>(user)->push_back(got); };
    o.progress_user = &seen;
    Transport<T> tr(&o);
    ASSERT_EQ(call(tr.io(), http_url("/trickle?n=300000&ms=1500&parts=30&apikey=progress")).rc, 0);
    EXPECT_GE(seen.size(), 2u);
}

TYPED_TEST_P(TransportE2e, AnAnswerHoldingANulByteIsRefused) {
    using T = TypeParam;
    Transport<T> tr(nullptr);
    const struct { int n, at; } cases[] = {{100, 10}, {1, 0}, {300000, 250000}};  // the last spans many reads
    for (const auto &c : cases) {
        Reply r = call(tr.io(), http_url("/nul?n=" + std::to_string(c.n) + "&at=" + std::to_string(c.at) +
                                         "&apikey=nul"));
        EXPECT_NE(r.rc, 0) << c.at;
        EXPECT_FALSE(r.has_body);
        EXPECT_NE(r.error.find("answer holds a NUL byte at offset " + std::to_string(c.at)), std::string::npos)
            << r.error;
        EXPECT_NE(r.error.find("apikey=***"), std::string::npos) << r.error;
    }
}

// ---------------------------------------------------------------------------
// The download queue and the calendar
// ---------------------------------------------------------------------------
// Sonarr's and Radarr's queues as the server splits them into pages, one
// item's entries, and a total that says more than there is; the calendars in
// date order whatever the answer's order, and spans the library refuses
// before anything is sent.
TYPED_TEST_P(TransportE2e, QueueAndCalendarFollowPagesFilterAndSort) {
    using T = TypeParam;
    Transport<T> tr(nullptr);
    kova_set_io(tr.io());
    const std::string origin = "http://127.0.0.1:" + std::to_string(server().http);
    auto use_key = [&](const char *key) {
        for (int kind : {KOVA_SONARR, KOVA_RADARR}) ASSERT_EQ(kova_configure_url(kind, origin.c_str(), key), KOVA_OK);
    };
    auto sonarr_pages = [](int n) {
        std::vector<std::string> pages;
        for (int p = 1; p <= n; ++p)
            pages.push_back("GET /api/v3/queue?page=" + std::to_string(p) +
                            "&pageSize=250&includeUnknownSeriesItems=true&includeEpisode=true");
        return pages;
    };

    use_key("queue1");
    ASSERT_EQ(kova_sonarr_queue(0), KOVA_OK) << kova_last_error();
    EXPECT_EQ(requests_of<T>("queue1"), sonarr_pages(3));
    ASSERT_EQ(kova_queue_count(), 5);
    EXPECT_STREQ(kova_queue_status(0), "warning");  // the recorded stalled download
    EXPECT_STREQ(kova_queue_message(0), "The download is stalled with no connections");
    EXPECT_EQ(kova_queue_season(0), 1);
    EXPECT_EQ(kova_queue_episode(0), 20);  // from the episode the request asked for
    EXPECT_EQ(kova_queue_library_id(3), 12);
    EXPECT_EQ(kova_queue_progress(3), 750);
    EXPECT_GT(kova_queue_eta(3), 0);
    EXPECT_EQ(kova_queue_library_id(4), 0);  // not matched to a series
    EXPECT_STREQ(kova_queue_status(4), "downloadclientunavailable");
    EXPECT_STREQ(kova_queue_message(4), "Download client qBittorrent is unavailable");
    EXPECT_EQ(kova_queue_progress(4), -1);

    // One series' entries, one film's: the same pages, the others left out.
    ASSERT_EQ(kova_sonarr_queue(12), KOVA_OK) << kova_last_error();
    ASSERT_EQ(kova_queue_count(), 1);
    EXPECT_STREQ(kova_queue_title(0), "The.Twilight.Zone.S01E05.720p.BluRay.x264");
    ASSERT_EQ(kova_radarr_queue(311), KOVA_OK) << kova_last_error();
    ASSERT_EQ(kova_queue_count(), 1);
    EXPECT_STREQ(kova_queue_title(0), "Goodfellas 1990 25th Anniversary REMASTERED BRRip x264 1080p-NPW");
    EXPECT_STREQ(kova_queue_client(0), "deluge");
    EXPECT_EQ(kova_queue_progress(0), 1);

    // A total of 90 over five records: the empty page after the last one
    // ends the reading.
    use_key("queuelies-suite");
    ASSERT_EQ(kova_sonarr_queue(0), KOVA_OK) << kova_last_error();
    EXPECT_EQ(kova_queue_count(), 5);
    EXPECT_EQ(requests_of<T>("queuelies-suite"), sonarr_pages(4));
    EXPECT_EQ(kova_warning_count(), 0);

    // The server answers Sonarr's calendar by series, not by date.
    use_key("calendar1");
    const int64_t dec14 = 1639440000, day = 86400;  // 2021-12-14T00:00:00Z
    ASSERT_EQ(kova_sonarr_calendar(dec14, dec14 + 14 * day - 1), KOVA_OK) << kova_last_error();
    const struct {
        const char *title, *series;
        int64_t date;
        int32_t monitored;
    } episodes[] = {
        {"Ronin", "Hawkeye", 1639555200, 1},
        {"Azure Dragon", "The Expanse", 1639706400, 1},
        {"So This Is Christmas?", "Hawkeye", 1640160000, 0},  // unmonitored: asked for too
        {"Force Projection", "The Expanse", 1640311200, 1},
    };
    ASSERT_EQ(kova_calendar_count(), 4);
    for (int32_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(episodes[i].title);
        EXPECT_STREQ(kova_calendar_title(i), episodes[i].title);
        EXPECT_STREQ(kova_calendar_series(i), episodes[i].series);
        EXPECT_EQ(kova_calendar_date(i), episodes[i].date);
        EXPECT_EQ(kova_calendar_monitored(i), episodes[i].monitored);
        EXPECT_STREQ(kova_calendar_kind(i), "episode");
    }
    // The film whose cinema release came before the span, its digital one in it.
    ASSERT_EQ(kova_radarr_calendar(dec14 + 6 * day, dec14 + 13 * day - 1), KOVA_OK) << kova_last_error();
    ASSERT_EQ(kova_calendar_count(), 1);
    EXPECT_STREQ(kova_calendar_title(0), "The Matrix Resurrections");
    EXPECT_STREQ(kova_calendar_kind(0), "digital");
    EXPECT_EQ(kova_calendar_date(0), 1640131200);
    const std::vector<std::string> asked = {
        "GET /api/v3/calendar?start=2021-12-14T00:00:00Z&end=2021-12-27T23:59:59Z&unmonitored=true&includeSeries=true",
        "GET /api/v3/calendar?start=2021-12-20T00:00:00Z&end=2021-12-26T23:59:59Z&unmonitored=true",
    };
    EXPECT_EQ(requests_of<T>("calendar1"), asked);

    // Reversed, over a year: refused, nothing sent, the last calendar kept.
    EXPECT_EQ(kova_sonarr_calendar(dec14, dec14 - 1), KOVA_ERR_INVALID_ARG);
    EXPECT_EQ(kova_radarr_calendar(dec14, dec14 + 367 * day), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(), "Radarr calendar: the span is over a year");
    EXPECT_EQ(requests_of<T>("calendar1").size(), asked.size());
    EXPECT_EQ(kova_calendar_count(), 1);
}

// ---------------------------------------------------------------------------
// Empty answers
// ---------------------------------------------------------------------------
// A body of no bytes is "" for the library, however the answer says so: a
// Content-Length of 0, a last chunk at once, or no length and a closed
// connection. Nothing a service never sent may become an explanation (a
// "Sonarr: \uFFFD" warning made of a stray byte).
TYPED_TEST_P(TransportE2e, EmptyAnswersStayEmptyUpToTheLibrary) {
    using T = TypeParam;
    Transport<T> tr(nullptr);
    const struct { int status; int32_t rc; } statuses[] = {
        {200, KOVA_ERR_JSON}, {401, KOVA_ERR_AUTH}, {404, KOVA_ERR_HTTP}, {500, KOVA_ERR_HTTP}};
    for (const auto &c : statuses) {
        for (const char *framing : {"length", "chunked", "close"}) {
            const std::string key = "empty-" + std::to_string(c.status) + "-" + framing;
            SCOPED_TRACE(key);
            Reply r = call(tr.io(), http_url("/echo?apikey=" + key));
            ASSERT_EQ(r.rc, 0) << r.error;
            EXPECT_EQ(r.status, c.status);
            EXPECT_TRUE(r.has_body);
            EXPECT_EQ(r.body, "");

            kova_set_io(tr.io());
            ASSERT_EQ(kova_sonarr_configure("127.0.0.1", server().http, 0, key.c_str()), KOVA_OK);
            EXPECT_EQ(kova_sonarr_test(), c.rc) << kova_last_error();
            EXPECT_EQ(kova_last_http_code(), c.status);
            EXPECT_EQ(kova_warning_count(), 0) << kova_warning(0);
            EXPECT_EQ(std::string(kova_last_error()).find("\xEF\xBF\xBD"), std::string::npos) << kova_last_error();
            kova_set_io(nullptr);
        }
    }
}

// ---------------------------------------------------------------------------
// Behind a reverse proxy: the host's headers, basic credentials, the key in
// a header
// ---------------------------------------------------------------------------
// What the test server's reverse-proxy keys ask for (server.py).
constexpr const char *k_proxy_token = "X-Proxy-Token: t0ken-for-the-proxy";
constexpr const char *k_basic_user = "kova";
constexpr const char *k_basic_password = "s3cret:pa55 w\xc3\xb6rd";
constexpr const char *k_basic_sent = "Basic a292YTpzM2NyZXQ6cGE1NSB3w7ZyZA==";

// Points the options' log sink at `lines`.
template <class Options>
void log_into(Options &o, std::vector<std::string> &lines) {
    o.log = [](void *user, const char *line) { static_cast<std::vector<std::string> *>(user)->push_back(line); };
    o.log_user = &lines;
}

TYPED_TEST_P(TransportE2e, TheHostsHeadersGoWithEveryRequest) {
    using T = TypeParam;
    const char *const headers[] = {k_proxy_token, "X-Empty:", "x-spaced:  inner  space \t", nullptr};
    auto o = defaults<T>();
    o.headers = headers;
    Transport<T> tr(&o);
    ASSERT_NE(tr.t, nullptr);
    for (const char *post : {static_cast<const char *>(nullptr), "{}"}) {
        Reply r = call(tr.io(), http_url("/echo?apikey=needheader-raw"), post);
        ASSERT_EQ(r.rc, 0) << r.error;
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(header_of(r.body, "X-Proxy-Token"), "t0ken-for-the-proxy");
        EXPECT_EQ(header_of(r.body, "X-Empty"), "");
        EXPECT_EQ(header_of(r.body, "X-Spaced"), "inner  space");
        EXPECT_EQ(header_of(r.body, "Accept").find("application/json"), 0u) << "the transport's own stay";
    }
    // Through the library: the proxy lets the requests through with the
    // header only.
    Transport<T> bare(nullptr);
    for (const Transport<T> *t : {&tr, &bare}) {
        kova_set_io(t->io());
        ASSERT_EQ(kova_sonarr_configure("127.0.0.1", server().http, 0, "needheader-lib"), KOVA_OK);
        EXPECT_EQ(kova_sonarr_test(), t == &tr ? KOVA_OK : KOVA_ERR_AUTH) << kova_last_error();
    }
}

TYPED_TEST_P(TransportE2e, RefusedOptionsSayWhyInTheirLog) {
    using T = TypeParam;
    const char *const h_host[] = {"X-Fine: 1", "host: evil.example", nullptr};
    const char *const h_length[] = {"Content-Length: 5", nullptr};
    const char *const h_te[] = {"TRANSFER-ENCODING: chunked", nullptr};
    const char *const h_cr[] = {"X-Token: s3cr3tV4lue\r\nX-Forged: 1", nullptr};
    const char *const h_lf_name[] = {"X-To\nken: s3cr3tV4lue", nullptr};
    const char *const h_ctl[] = {"X-Token: s3cr3t\x01V4lue", nullptr};
    const char *const h_utf8[] = {"X-Token: s3cr3tV\xc3\xb6lue", nullptr};
    const char *const h_empty_name[] = {": s3cr3tV4lue", nullptr};
    const char *const h_space_name[] = {"X Token: s3cr3tV4lue", nullptr};
    const char *const h_no_colon[] = {"X-Token s3cr3tV4lue", nullptr};
    const char *const h_agent[] = {"User-Agent: s3cr3tV4lue", nullptr};
    const char *const h_auth[] = {"Authorization: Bearer s3cr3tV4lue", nullptr};
    const char *const h_key[] = {"x-api-key: s3cr3tV4lue", nullptr};
    const char *const h_accept[] = {"X-Fine: 1", "Accept: s3cr3tV4lue", nullptr};
    const char *const h_expect[] = {"expect: 100-continue", nullptr};
    struct Case {
        const char *what;
        const char *const *headers;
        const char *user, *password;
        int key_in_header;
        int32_t timeout;
        const char *reason;
    };
    const Case cases[] = {
        {"Host", h_host, nullptr, nullptr, 0, 0, "headers[1] (host: <redacted>): a header the transport writes itself"},
        {"Content-Length", h_length, nullptr, nullptr, 0, 0, "headers[0] (Content-Length: <redacted>): a header the transport writes itself"},
        {"Transfer-Encoding", h_te, nullptr, nullptr, 0, 0, "(TRANSFER-ENCODING: <redacted>): a header the transport writes itself"},
        {"a CR LF in a value", h_cr, nullptr, nullptr, 0, 0, "headers[0] (X-Token: <redacted>): the value holds a line break (CR or LF)"},
        {"a LF in a name", h_lf_name, nullptr, nullptr, 0, 0, "headers[0]: the name holds a line break (CR or LF)"},
        {"a control character", h_ctl, nullptr, nullptr, 0, 0, "(X-Token: <redacted>): the value holds a control character"},
        {"beyond ASCII", h_utf8, nullptr, nullptr, 0, 0, "(X-Token: <redacted>): the value holds a byte beyond ASCII"},
        {"an empty name", h_empty_name, nullptr, nullptr, 0, 0, "headers[0]: the name is empty"},
        {"a space in a name", h_space_name, nullptr, nullptr, 0, 0, "headers[0]: the name holds a character other than"},
        {"no colon", h_no_colon, nullptr, nullptr, 0, 0, "headers[0]: not \"Name: value\" (no colon)"},
        {"User-Agent", h_agent, nullptr, nullptr, 0, 0, "a header the transport writes itself (set user_agent instead)"},
        {"Accept", h_accept, nullptr, nullptr, 0, 0, "headers[1] (Accept: <redacted>): a header the transport writes itself"},
        {"Expect", h_expect, nullptr, nullptr, 0, 0, "headers[0] (expect: <redacted>): a header the transport writes itself"},
        {"Authorization beside credentials", h_auth, "kova", "s3cr3tV4lue", 0, 0, "Authorization: <redacted> is set by the username and password options"},
        {"X-Api-Key beside key_in_header", h_key, nullptr, nullptr, 1, 0, "X-Api-Key: <redacted> is set by key_in_header"},
        {"a password alone", nullptr, nullptr, "s3cr3tV4lue", 0, 0, "a password without a username"},
        {"a colon in the username", nullptr, "ko:va", "s3cr3tV4lue", 0, 0, "the username holds a colon"},
        {"a line break in the password", nullptr, "kova", "s3cr3t\nV4lue", 0, 0, "a user name or password holds a control character"},
        {"a negative time-out", nullptr, nullptr, nullptr, 0, -1, "timeout_ms is negative"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> lines;
        auto o = defaults<T>();
        log_into(o, lines);
        o.headers = c.headers;
        o.username = c.user;
        o.password = c.password;
        o.key_in_header = c.key_in_header;
        o.timeout_ms = c.timeout;
        Transport<T> tr(&o);
        EXPECT_EQ(tr.t, nullptr);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].rfind("kova_", 0), 0u) << lines[0];
        EXPECT_NE(lines[0].find("_new failed: "), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find(c.reason), std::string::npos) << lines[0];
        EXPECT_EQ(lines[0].find("s3cr3t"), std::string::npos) << lines[0];
    }
    // The same headers without what made them wrong are taken.
    const char *const fine[] = {"X-Fine: 1", "Authorization: Bearer s3cr3tV4lue", nullptr};
    auto o = defaults<T>();
    o.headers = fine;
    Transport<T> tr(&o);
    ASSERT_NE(tr.t, nullptr);
    EXPECT_EQ(header_of(call(tr.io(), http_url("/echo?apikey=fine")).body, "Authorization"), "Bearer s3cr3tV4lue");
}

TYPED_TEST_P(TransportE2e, BasicCredentialsGoOverHttpsAndOverHttpOnlyWhenAllowed) {
    using T = TypeParam;
    std::vector<std::string> lines;
    auto o = defaults<T>();
    log_into(o, lines);
    o.insecure = 1;  // the test server's certificate is its own
    o.username = k_basic_user;
    o.password = k_basic_password;
    Transport<T> tr(&o);
    ASSERT_NE(tr.t, nullptr);
    Reply tls = call(tr.io(), https_url("localhost", "/echo?apikey=needauth-tls"));
    ASSERT_EQ(tls.rc, 0) << tls.error;
    EXPECT_EQ(tls.status, 200);
    EXPECT_EQ(member(tls.body, "authorization"), k_basic_sent);

    // Over plain HTTP: refused before anything is sent, saying why.
    lines.clear();
    Reply plain = call(tr.io(), http_url("/echo?apikey=needauth-plain"), "{}");
    EXPECT_NE(plain.rc, 0);
    EXPECT_FALSE(plain.has_body);
    EXPECT_NE(plain.error.find("basic authentication over plain HTTP refused: the password would cross the network "
                               "in clear text (allow_basic_over_http sends it anyway)"),
              std::string::npos) << plain.error;
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("refused"), std::string::npos) << lines[0];
    EXPECT_EQ(recorded_count<T>("needauth-plain", "\"path\""), 0);

    // Allowed, it goes; the credentials never go where an answer points.
    o.allow_basic_over_http = 1;
    Transport<T> allowed(&o);
    Reply r = call(allowed.io(), http_url("/echo?apikey=needauth-plain"));
    ASSERT_EQ(r.rc, 0) << r.error;
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(member(r.body, "authorization"), k_basic_sent);
    const std::string elsewhere = "http%3A%2F%2Flocalhost%3A" + std::to_string(server().http) + "%2Fecho%3Fapikey%3Dneedauth-moved";
    EXPECT_EQ(call(allowed.io(), http_url("/redirect?apikey=needauth-go&to=" + elsewhere)).status, 302);
    EXPECT_EQ(recorded_count<T>("needauth-moved", "\"path\""), 0);

    // A username alone goes with an empty password.
    auto alone = defaults<T>();
    alone.username = k_basic_user;
    alone.allow_basic_over_http = 1;
    Transport<T> user_only(&alone);
    ASSERT_NE(user_only.t, nullptr);
    EXPECT_EQ(member(call(user_only.io(), http_url("/echo?apikey=user-alone")).body, "authorization"), "Basic a292YTo=");

    // A wrong password is the service's 401, with its empty body; through
    // the library, a rejected key and nothing else.
    o.password = "wrong";
    Transport<T> wrong(&o);
    Reply no = call(wrong.io(), http_url("/echo?apikey=needauth-wrong"));
    EXPECT_EQ(no.rc, 0) << no.error;
    EXPECT_EQ(no.status, 401);
    EXPECT_EQ(no.body, "");
    for (const Transport<T> *t : {&allowed, &wrong}) {
        kova_set_io(t->io());
        ASSERT_EQ(kova_radarr_configure("127.0.0.1", server().http, 0, "needauth-lib"), KOVA_OK);
        EXPECT_EQ(kova_radarr_test(), t == &allowed ? KOVA_OK : KOVA_ERR_AUTH) << kova_last_error();
        EXPECT_EQ(kova_warning_count(), 0);
    }
    for (const auto &l : lines) {
        EXPECT_EQ(l.find("s3cret"), std::string::npos) << l;
        EXPECT_EQ(l.find("a292YT"), std::string::npos) << l;
    }
}

TYPED_TEST_P(TransportE2e, TheKeyTravelsInAHeaderWhereTheServiceReadsIt) {
    using T = TypeParam;
    std::vector<std::string> lines;
    auto o = defaults<T>();
    log_into(o, lines);
    o.key_in_header = 1;
    Transport<T> tr(&o);
    ASSERT_NE(tr.t, nullptr);
    // (the URL the library would make; what reaches the server)
    const struct { const char *path_query, *path, *query, *header; } cases[] = {
        {"/api/v3/echo?apikey=hdrkey%2B1%2F2&term=a%26b", "/api/v3/echo", "term=a%26b", "hdrkey+1/2"},
        {"/api/v1/echo?apikey=hdrkey-p", "/api/v1/echo", "", "hdrkey-p"},
        {"/sonarr/api/v3/echo?apikey=hdrkey-b&x=1", "/sonarr/api/v3/echo", "x=1", "hdrkey-b"},  // a URL base first
        {"/api/v2.0/echo?apikey=hdrkey-j&t=1", "/api/v2.0/echo", "apikey=hdrkey-j&t=1", "<absent>"},  // Jackett's
        {"/echo?apikey=hdrkey-e", "/echo", "apikey=hdrkey-e", "<absent>"},                          // no API path
        {"/api/v3/echo?apikey=&x=1", "/api/v3/echo", "x=1", "<absent>"},  // an empty key goes nowhere
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path_query);
        Reply r = call(tr.io(), http_url(c.path_query));
        ASSERT_EQ(r.rc, 0) << r.error;
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(member(r.body, "path"), c.path);
        EXPECT_EQ(member(r.body, "query"), c.query);
        EXPECT_EQ(header_of(r.body, "X-Api-Key"), c.header);
    }
    // The first API segment of the path decides, whatever follows it.
    EXPECT_EQ(call(tr.io(), http_url("/api/v2.0/x/api/v3/y?apikey=hdrkey-f1")).status, 404);
    EXPECT_NE(recorded<T>("hdrkey-f1").find("\"path\": \"/api/v2.0/x/api/v3/y\", \"query\": \"apikey=hdrkey-f1\""),
              std::string::npos);
    EXPECT_EQ(call(tr.io(), http_url("/api/v3/x/api/v2.0/y?apikey=hdrkey-f2")).status, 404);
    EXPECT_NE(recorded<T>("hdrkey-f2").find("\"path\": \"/api/v3/x/api/v2.0/y\", \"query\": \"\""), std::string::npos);
    // A key a header cannot carry as it is (a control character, a space, a
    // byte beyond ASCII): refused, nothing sent.
    for (const char *key : {"hdrkey%0D%0AX-Forged%3A%201", "hdrkey%20x", "hdrkey%C3%A9", "hdrkey%7F"}) {
        SCOPED_TRACE(key);
        Reply bad = call(tr.io(), http_url(std::string("/api/v3/echo?apikey=") + key));
        EXPECT_NE(bad.rc, 0);
        EXPECT_FALSE(bad.has_body);
        EXPECT_NE(bad.error.find("the API key holds a character a header cannot carry"), std::string::npos) << bad.error;
        EXPECT_EQ(bad.error.find("Forged"), std::string::npos) << bad.error;
    }

    // Through the library: Sonarr and Radarr send the key in the header only
    // (the server refuses it in the query for these keys), Jackett in the
    // query; the library's own URLs are unchanged.
    kova_set_io(tr.io());
    const std::string key = "hdrkey-lib+/1";
    ASSERT_EQ(kova_sonarr_configure("127.0.0.1", server().http, 0, key.c_str()), KOVA_OK);
    EXPECT_EQ(kova_sonarr_test(), KOVA_OK) << kova_last_error();
    ASSERT_EQ(kova_radarr_configure("127.0.0.1", server().http, 0, key.c_str()), KOVA_OK);
    EXPECT_EQ(kova_radarr_lookup_imdb("tt0063350"), KOVA_OK) << kova_last_error();
    ASSERT_EQ(kova_jackett_configure("127.0.0.1", server().http, 0, key.c_str()), KOVA_OK);
    EXPECT_EQ(kova_jackett_search_imdb("tt0063350", "Night of the Living Dead", nullptr), KOVA_OK) << kova_last_error();
    std::string rec = recorded<T>("hdrkey-lib%2B%2F1");
    for (const char *sent : {"\"path\": \"/api/v3/rootfolder\", \"query\": \"\"",
                             "\"path\": \"/api/v3/movie/lookup/imdb\", \"query\": \"imdbId=tt0063350\"",
                             "\"path\": \"/api/v2.0/indexers/all/results\", \"query\": \"apikey=hdrkey-lib%2B%2F1&Query=tt0063350\""}) {
        EXPECT_NE(rec.find(sent), std::string::npos) << sent << "\n" << rec;
    }
    EXPECT_NE(rec.find("\"x_api_key\": \"hdrkey-lib+/1\""), std::string::npos) << rec;
    for (const auto &l : lines) {
        EXPECT_EQ(l.find("hdrkey-lib"), std::string::npos) << l;
    }
}

// ---------------------------------------------------------------------------
// Rate limits
// ---------------------------------------------------------------------------
// A 429 is an answer like any other (0, its status and body), with the wait
// its Retry-After names in the transport's reason, for the host to honour:
// the transport never retries by itself.
TYPED_TEST_P(TransportE2e, RateLimitsSayWhenToRetry) {
    using T = TypeParam;
    std::vector<std::string> lines;
    auto o = defaults<T>();
    log_into(o, lines);
    Transport<T> tr(&o);
    // (the key; the reason, its wait given as the seconds it may read: an
    // HTTP date counts whole seconds from a clock that moved on meanwhile,
    // and the transport's time() may read a tick behind the server's clock
    // just past a second's turn)
    const struct { const char *key; const char *reason; int lo, hi; } cases[] = {
        {"ratelimit-secs-30", "rate limited, retry after ", 30, 30},
        {"ratelimit-date-120", "rate limited, retry after ", 117, 121},
        {"ratelimit-none", "rate limited", -1, -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.key);
        lines.clear();
        Reply r = call(tr.io(), http_url(std::string("/api/v3/rootfolder?apikey=") + c.key));
        ASSERT_EQ(r.rc, 0) << r.error;
        EXPECT_EQ(r.status, 429);
        EXPECT_EQ(member(r.body, "message"), "Too Many Requests");
        const std::string head = "GET " + http_url("/api/v3/rootfolder?apikey=***: ");
        EXPECT_EQ(r.error.rfind(head + c.reason, 0), 0u) << r.error;
        if (c.lo >= 0) {
            const int wait = atoi(r.error.c_str() + head.size() + strlen(c.reason));
            EXPECT_GE(wait, c.lo) << r.error;
            EXPECT_LE(wait, c.hi) << r.error;
            EXPECT_EQ(r.error.substr(r.error.size() - 2), " s") << r.error;
        } else {
            EXPECT_EQ(r.error, head + c.reason);
        }
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find(" -> HTTP 429, "), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find(r.error.substr(head.size())), std::string::npos) << lines[0];
        EXPECT_EQ(recorded_count<T>(c.key, "\"path\""), 1) << "no retry";
    }
    // Through the library: an HTTP failure with its status, and the
    // settings handler's answer for it.
    kova_set_io(tr.io());
    ASSERT_EQ(kova_sonarr_configure("127.0.0.1", server().http, 0, "ratelimit-secs-7"), KOVA_OK);
    EXPECT_EQ(kova_sonarr_test(), KOVA_ERR_HTTP);
    EXPECT_EQ(kova_last_http_code(), 429);
    std::string settings = "{\"Host\":\"127.0.0.1\",\"APIKey\":\"ratelimit-secs-7\",\"Port\":\"" +
                           std::to_string(server().http) + "\",\"ID\":\"x\"}";
    char answer[1024];
    EXPECT_EQ(kova_rtchk_handler("RADARR")->validate(tr.io(), settings.c_str(), answer, sizeof answer),
              KOVA_VALIDATE_TOO_MANY_REQUESTS) << answer;
}

// A 401 that asks for basic credentials is a proxy's (or a login's) way to
// ask, where a service's wrong-key 401 asks nothing: the transport says so
// beside the answer, as it says a 429's wait, so that a host can tell the
// two apart. Only a Basic challenge counts, in any header, in any place
// among the challenges of a header; the realm is shown when it is plain.
TYPED_TEST_P(TransportE2e, ABasicChallengeSaysSoBesideThe401) {
    using T = TypeParam;
    std::vector<std::string> lines;
    auto o = defaults<T>();
    log_into(o, lines);
    Transport<T> tr(&o);
    const std::string asks = "the server asks for basic authentication";
    const struct { const char *key; std::string reason; } cases[] = {
        {"needauth-ask", asks + " (realm \"kova\")"},
        {"challenge-bare", asks},
        {"challenge-second", asks + " (realm \"media lan\")"},
        {"challenge-twoheaders", asks + " (realm \"proxy\")"},
        {"challenge-escaped", asks},      // a quote inside: no realm shown
        {"challenge-beyondascii", asks},  // a byte beyond ASCII: likewise
        {"challenge-long", asks},         // 65 characters: likewise
        {"challenge-inquotes", ""},       // "Basic" inside a quoted text is no challenge
        {"challenge-bearer", ""},
        {"k401", ""},                     // the service's own: no challenge
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.key);
        lines.clear();
        Reply r = call(tr.io(), http_url(std::string("/api/v3/rootfolder?apikey=") + c.key));
        ASSERT_EQ(r.rc, 0) << r.error;
        EXPECT_EQ(r.status, 401);
        const std::string head = "GET " + http_url("/api/v3/rootfolder?apikey=***: ");
        EXPECT_EQ(r.error, c.reason.empty() ? "" : head + c.reason);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find(" -> HTTP 401, "), std::string::npos) << lines[0];
        EXPECT_EQ(lines[0].find(asks) != std::string::npos, !c.reason.empty()) << lines[0];
    }
    // Through the library: a rejected key as before, the transport's words
    // beside it, and no warning (the body says nothing).
    kova_set_io(tr.io());
    ASSERT_EQ(kova_radarr_configure("127.0.0.1", server().http, 0, "needauth-lib-ask"), KOVA_OK);
    EXPECT_EQ(kova_radarr_test(), KOVA_ERR_AUTH);
    EXPECT_EQ(kova_last_http_code(), 401);
    EXPECT_EQ(std::string(kova_last_transport_error()),
              "GET " + http_url("/api/v3/rootfolder?apikey=***: ") + asks + " (realm \"kova\")");
    EXPECT_EQ(kova_warning_count(), 0);
    kova_set_io(nullptr);
}

// ---------------------------------------------------------------------------
// Hostile servers
// ---------------------------------------------------------------------------
// The most resident memory this process has used so far, in bytes; 0 where
// the system does not say.
inline size_t peak_memory() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    return GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc) ? pmc.PeakWorkingSetSize : 0;
#else
    rusage ru{};
    return getrusage(RUSAGE_SELF, &ru) == 0 ? static_cast<size_t>(ru.ru_maxrss) * 1024 : 0;
#endif
}

// True when Windows' programs run under Wine here: its WinHTTP cannot show
// some of the promises below, which Windows' keeps.
inline bool under_wine() {
#ifdef _WIN32
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
    return false;
#endif
}

// Whether `text` holds one of the '|'-separated words.
inline bool says(const std::string &text, const std::string &words) {
    for (size_t at = 0; at <= words.size();) {
        size_t bar = words.find('|', at);
        if (bar == std::string::npos) bar = words.size();
        if (text.find(words.substr(at, bar - at)) != std::string::npos) return true;
        at = bar + 1;
    }
    return false;
}

// Every answer a server can get wrong ends within the time-out and the body
// cap, in bounded memory, with words that say what went wrong and no key
// in them: a transport's promise whatever the server does.
TYPED_TEST_P(TransportE2e, HostileAnswersEndWithinTheirBoundsAndSayWhy) {
    using T = TypeParam;
    constexpr int32_t timeout = 1500;
    constexpr int64_t cap = 1 << 20;
    const std::string key = "h0st1leK3y";
    const std::string over = "larger than " + std::to_string(cap);
    const std::string timed_out = T::kTimeoutWord;
    const std::string tarpit = "127.0.0.1:" + std::to_string(server().tarpit);
    const char *const chunks_wine =
        "Wine's WinHTTP takes a malformed or unfinished chunked body for a complete one";
    struct Case {
        std::string what, url;
        std::string words;        // in the error text ('|': any of them); "" for an answer
        std::string body;         // the answer's body, when there is one
        const char *wine;         // why Wine's WinHTTP cannot show it, or nullptr
    };
    const Case cases[] = {
        {"headers that drip", http_url("/drip?where=headers&ms=100&apikey=" + key), timed_out, "",
         "Wine's WinHTTP times each read of the headers, not all of them, and a drip starts it again"},
        {"a body that drips", http_url("/drip?where=body&ms=100&apikey=" + key), timed_out, "", nullptr},
        {"headers without end", http_url("/endlessheaders?apikey=" + key), "response header too long", "",
         "Wine's WinHTTP reads response headers without any limit"},
        {"a header line of 200000 bytes", http_url("/longheader?n=200000&apikey=" + key), "response header too long",
         "", "Wine's WinHTTP cuts a long header line short instead of refusing it"},
        {"a header line of 50000 bytes", http_url("/longheader?n=50000&apikey=" + key), "", "short body", nullptr},
        {"a body without end", http_url("/endless?apikey=" + key), over, "", nullptr},
        {"a gzip bomb of 1 GiB", http_url("/gzbomb?mib=1024&apikey=" + key),
         T::decodes_gzip() ? over : "holds a NUL byte", "", nullptr},
        {"a body shorter than its length", http_url("/length?declared=100&sent=50&apikey=" + key),
         "answer cut short: 50 of 100 bytes|closed", "", nullptr},
        {"no body for a length", http_url("/length?declared=100&sent=0&apikey=" + key),
         "answer cut short: 0 of 100 bytes|closed", "", nullptr},
        {"a body longer than its length", http_url("/length?declared=10&sent=100&apikey=" + key), "", "llllllllll",
         nullptr},
        {"a chunk size that is not hex", http_url("/badchunk?kind=hex&apikey=" + key), "chunked|invalid HTTP answer",
         "", chunks_wine},
        {"a chunk longer than its size", http_url("/badchunk?kind=long&apikey=" + key),
         "chunked|invalid HTTP answer", "", chunks_wine},
        {"a chunk size past 64 bits", http_url("/badchunk?kind=huge&apikey=" + key), "chunked|invalid HTTP answer",
         "", chunks_wine},
        {"no last chunk", http_url("/badchunk?kind=noend&apikey=" + key), "answer cut short after 15 bytes|closed",
         "", chunks_wine},
        {"a reset in the body", http_url("/reset?after=1000&apikey=" + key), "reset", "", nullptr},
        {"a reset after the headers", http_url("/reset?after=0&apikey=" + key), "reset", "", nullptr},
        {"a reset before the answer", http_url("/reset?after=-1&apikey=" + key), "reset", "", nullptr},
        {"a hang-up before the answer", http_url("/hangup?apikey=" + key),
         "Empty reply from server|invalid HTTP answer|closed by the server", "", nullptr},
        {"a NUL in a header", http_url("/nulheader?apikey=" + key), "response header holds a NUL byte", "",
         "Wine's WinHTTP cuts a header value at a NUL byte instead of refusing it"},
        {"TLS to a plain HTTP port", "https://localhost:" + std::to_string(server().http) + "/echo?apikey=" + key,
         "SSL|TLS", "", nullptr},
        {"plain HTTP to a TLS port", "http://127.0.0.1:" + std::to_string(server().https) + "/echo?apikey=" + key,
         "Empty reply from server|invalid HTTP answer|closed by the server", "", nullptr},
        {"a server that never answers", "http://" + tarpit + "/echo?apikey=" + key, timed_out, "", nullptr},
        {"a TLS handshake that never ends", "https://" + tarpit + "/echo?apikey=" + key, timed_out, "", nullptr},
    };
    std::vector<std::string> lines;
    auto o = defaults<T>();
    log_into(o, lines);
    o.timeout_ms = timeout;
    o.max_response_bytes = cap;
    o.insecure = 1;  // what fails is not the certificate
    Transport<T> tr(&o);
    ASSERT_GT(peak_memory(), 0u) << "the system says how much memory the process used";
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.wine && under_wine()) {
            std::cout << "[ SKIPPED  ] " << c.what << ": " << c.wine << "\n";
            continue;
        }
        lines.clear();
        const size_t before = peak_memory();
        Reply r = call(tr.io(), c.url);
        const size_t grown = peak_memory() - before;
        EXPECT_LT(r.ms, timeout + 2500) << "it ends within its time-out";
        EXPECT_LT(grown, size_t{64} << 20) << "memory stays near the cap";
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].find(key), std::string::npos) << lines[0];
        if (c.words.empty()) {
            EXPECT_EQ(r.rc, 0) << r.error;
            EXPECT_EQ(r.body, c.body);
            continue;
        }
        EXPECT_NE(r.rc, 0);
        EXPECT_FALSE(r.has_body);
        EXPECT_TRUE(says(r.error, c.words)) << r.error << "\n  wanted: " << c.words;
        EXPECT_NE(r.error.find("apikey=***"), std::string::npos) << r.error;
        EXPECT_EQ(r.error.find(key), std::string::npos) << r.error;
        EXPECT_EQ(r.error.find("memory"), std::string::npos) << r.error;
    }
    // The transport is whole after all that.
    Reply after = call(tr.io(), http_url("/echo?apikey=after-hostile"));
    EXPECT_EQ(after.rc, 0) << after.error;
    EXPECT_EQ(after.status, 200);
}

// A redirect never takes the key, the credentials or the host's headers
// anywhere: whatever its status, the answer comes back as it is.
TYPED_TEST_P(TransportE2e, RedirectsAreNeverFollowed) {
    using T = TypeParam;
    std::vector<std::string> lines;
    const char *const headers[] = {k_proxy_token, nullptr};
    auto o = defaults<T>();
    log_into(o, lines);
    o.headers = headers;
    o.username = k_basic_user;
    o.password = k_basic_password;
    o.allow_basic_over_http = 1;
    Transport<T> tr(&o);
    const std::string elsewhere = "http%3A%2F%2Flocalhost%3A" + std::to_string(server().http) + "%2Fecho%3Fapikey%3D";
    for (int code : {301, 302, 303, 307, 308}) {
        SCOPED_TRACE(code);
        lines.clear();
        const std::string moved = "moved-" + std::to_string(code);
        Reply r = call(tr.io(), http_url("/redirect?apikey=r3d1rK3y&code=" + std::to_string(code) + "&to=" +
                                         elsewhere + moved), code % 2 ? "{}" : nullptr);
        ASSERT_EQ(r.rc, 0) << r.error;
        EXPECT_EQ(r.status, code);
        EXPECT_EQ(r.body, "moved");
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find(", Location: http://localhost:" + std::to_string(server().http) + "/echo?apikey=***"),
                  std::string::npos) << lines[0];
        EXPECT_EQ(lines[0].find("r3d1rK3y"), std::string::npos) << lines[0];
        EXPECT_EQ(recorded_count<T>(moved, "\"path\""), 0) << "nothing reached the place it names";
    }
}

// What a server writes that reaches a log line (a redirect's Location) comes
// printable: a terminal shows an address, never an escape sequence.
TYPED_TEST_P(TransportE2e, LogLinesHoldNoTerminalControls) {
    using T = TypeParam;
    std::vector<std::string> lines;
    auto o = defaults<T>();
    log_into(o, lines);
    Transport<T> tr(&o);
    const std::string origin = "http://127.0.0.1:" + std::to_string(server().http);
    // (the Location sent, percent-encoded in the query; the line's tail when
    // it is ASCII: a byte beyond it reads as WinHTTP's code page made it)
    const struct { const char *to, *logged; } cases[] = {
        {"%2Fx%1b%5D0%3BPWNED%07%1b%5B2J%09forged%7Fend", "/x%1B]0;PWNED%07%1B[2J%09forged%7Fend"},
        {"%2Fcsi%C2%9B31m%20space", nullptr},  // an 8-bit CSI, sent as the byte 0x9B
    };
    for (const auto &c : cases) {
        lines.clear();
        Reply r = call(tr.io(), http_url(std::string("/redirect?apikey=esc&to=") + c.to));
        ASSERT_EQ(r.rc, 0) << r.error;
        ASSERT_EQ(lines.size(), 1u);
        for (unsigned char ch : lines[0]) {
            EXPECT_TRUE(ch >= 0x20 && ch != 0x7f && ch < 0x80) << static_cast<int>(ch) << " in " << lines[0];
        }
        if (c.logged) {
            const std::string tail = ", Location: " + origin + c.logged;
            EXPECT_EQ(lines[0].substr(lines[0].size() - std::min(lines[0].size(), tail.size())), tail) << lines[0];
        }
    }
    // Through the library: the service's texts in its refusal become a
    // warning without controls, over either transport.
    kova_set_io(tr.io());
    ASSERT_EQ(kova_sonarr_configure("127.0.0.1", server().http, 0, "hostile"), KOVA_OK);
    kova_sonarr_test();
    ASSERT_EQ(kova_warning_count(), 1);
    const std::string warning = kova_warning(0);
    EXPECT_NE(warning.find("PWNED"), std::string::npos) << warning;
    for (unsigned char ch : warning) {
        EXPECT_TRUE(ch >= 0x20 && ch != 0x7f) << static_cast<int>(ch) << " in " << warning;
    }
}

// JSON nested 100000 levels deep reaches the library whole through the
// transport, and the library answers it as it does any list of the wrong
// rows: nothing usable in it.
TYPED_TEST_P(TransportE2e, DeepAnswersReachTheLibraryWhole) {
    using T = TypeParam;
    Transport<T> tr(nullptr);
    Reply r = call(tr.io(), http_url("/api/v3/rootfolder?apikey=deep"));
    ASSERT_EQ(r.rc, 0) << r.error;
    EXPECT_EQ(r.body.size(), 200001u);
    EXPECT_EQ(r.body.substr(99998, 5), "[[1]]");
    kova_set_io(tr.io());
    ASSERT_EQ(kova_sonarr_configure("127.0.0.1", server().http, 0, "deep"), KOVA_OK);
    EXPECT_EQ(kova_sonarr_test(), KOVA_ERR_EMPTY) << kova_last_error();
    EXPECT_STREQ(kova_last_error(), "Sonarr: no root folder and no quality profile");
    EXPECT_EQ(kova_last_http_code(), 200);
}

REGISTER_TYPED_TEST_SUITE_P(TransportE2e, GetReachesTheServerWithExactPathQueryAndHeaders,
                            PostBodiesArriveIntactWithTheirContentType,
                            EveryCompletedExchangeReturnsZeroWithItsStatus, ARedirectsLogLineNamesItsLocation,
                            ASlowAnswerFailsWithinTheTimeOut,
                            GzipAnswersAreDecoded, AnswersOverTheSizeCapFail, TheUrlBaseGoesAfterSchemeHostAndPort,
                            TheApiKeyIsInNoErrorTextAndNoLogLine, RedactReplacesEveryApiKeyValue,
                            BadOptionsAreRefused, TheStructSizeSaysHowMuchOfTheOptionsToRead,
                            OneTableServesSeveralThreadsAtOnce, SessionsOnThreadsShareOneTransport,
                            LibraryRequestsReachTheServerExactly, LibraryAddPostsItsJsonBody,
                            LibraryMapsStatusesAndTransportFailures, SettingsValidationRunsOverRealSockets,
                            LibraryUrlBasesPerService, LibraryReportsWhatTheServiceSaid, LibraryGrabsAListedRelease, ProwlarrTestSearchStatusAndGrab,
                            ACancelEndsTheRequestsInFlightAndLaterOnesUntilResume, ACancelledSearchStopsAtItsStage,
                            CancelAndResumeRaceWithRequestsFromSeveralThreads,
                            ProgressIsReportedOnTheRequestingThreadAFewTimesASecond, AnAnswerHoldingANulByteIsRefused,
                            QueueAndCalendarFollowPagesFilterAndSort,
                            EmptyAnswersStayEmptyUpToTheLibrary, TheHostsHeadersGoWithEveryRequest,
                            RefusedOptionsSayWhyInTheirLog, BasicCredentialsGoOverHttpsAndOverHttpOnlyWhenAllowed,
                            TheKeyTravelsInAHeaderWhereTheServiceReadsIt, RateLimitsSayWhenToRetry,
                            ABasicChallengeSaysSoBesideThe401,
                            HostileAnswersEndWithinTheirBoundsAndSayWhy, RedirectsAreNeverFollowed,
                            LogLinesHoldNoTerminalControls, DeepAnswersReachTheLibraryWhole);

}  // namespace kova_e2e
