// Shared test support: a fixture that starts every test from a clean library,
// a recording host transport, and the allocation-failure sweep.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "exports/frame.h"
#include "kova.h"

using namespace kova;

// A recorded answer of tests/fixtures (e.g. "prowlarr/indexerstatus-one-disabled.json"),
// whole; the test fails when it cannot be read.
std::string fixture(const char *name);

// Every test starts with a reset context and an empty fake transport.
class KovaTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// Sweeps the allocations of one operation, SQLite-style: for n = 1, 2, ...
// runs setup(), makes the n-th allocation inside op() fail, and hands the
// result to check(rc, injected). Stops at the first run in which no failure
// was injected (that run is the normal path and is checked too, with
// injected == false). Returns the number of failing runs.
int oom_sweep(const std::function<void()> &setup, const std::function<int32_t()> &op,
              const std::function<void(int32_t rc, bool injected)> &check, long max_runs = 100000);

// The URLs of the services as the fixtures configure them (hosts j, s, r and
// p on their default ports, API key "k"), for routes and expectations.
struct ServiceUrls {
    static std::string url(const char *base, const std::string &path, const std::string &query) {
        std::string u = std::string(base) + path + "?apikey=k";
        if (!query.empty()) u += "&" + query;
        return u;
    }
    static std::string J(const std::string &path, const std::string &query = "") {
        return url("http://j:9117", path, query);
    }
    static std::string S(const std::string &path, const std::string &query = "") {
        return url("http://s:8989", path, query);
    }
    static std::string R(const std::string &path, const std::string &query = "") {
        return url("http://r:7878", path, query);
    }
    static std::string P(const std::string &path, const std::string &query = "") {
        return url("http://p:9696", path, query);
    }
};

// A host transport that records every call and answers from a script.
struct RecordingIo {
    struct Call {
        bool post;
        std::string url;
        std::string body;
        std::string content_type;
        bool body_was_null;
        void *user;
    };
    struct Answer {
        int32_t ret = 0;
        int32_t status = 200;
        const char *body = nullptr; // nullptr: no body
        const char *error = nullptr;
        bool set_status = true;
    };
    std::vector<Call> calls;
    std::map<std::string, Answer> answers; // by exact URL
    Answer fallback{};
    std::vector<std::pair<void *, int>> released; // pointer, order
    std::vector<void *> handed_out;
    std::vector<bool> live;  // per handed_out entry: not yet released
    int double_releases = 0; // releases of a pointer that was not live
    bool use_release = true;
    kova_io io{};

    RecordingIo();
    ~RecordingIo();
    // Pointers handed out but never released, and pointers released twice.
    int unreleased() const;
    int released_twice() const;
};

// The result document of ctx as yyjson writes it from a mutable document of
// the set (tests/support/result_reference.cpp): what the library's own
// writer must match byte for byte. "" where that writer gave up.
std::string reference_result_document(const context &ctx);
// Equal documents, or where they first differ.
::testing::AssertionResult same_document(const std::string &got, const std::string &want);
// result_document(&ctx) against the reference.
::testing::AssertionResult document_matches_reference(const context &ctx);

// The same text as std::string, for EXPECT_EQ on returned texts.
inline std::string S(const char *s) { return s ? std::string(s) : std::string("<null>"); }
