// A library configured for the three services on a host transport that
// answers exact URLs, and a snapshot of everything a host can read back.
#pragma once

#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "support/kova_test.h"

class HostTest : public KovaTest, protected ServiceUrls {
protected:
    RecordingIo io;
    std::deque<std::string> bodies; // answer texts stay put while installed

    void SetUp() override {
        KovaTest::SetUp();
        configure();
    }
    void TearDown() override {
        EXPECT_EQ(io.unreleased(), 0);
        EXPECT_EQ(io.released_twice(), 0);
        KovaTest::TearDown();
    }
    // Everything back to a configured library on the host transport.
    void configure() {
        kova_reset();
        kova_set_io(&io.io);
        ASSERT_EQ(kova_jackett_configure("j", 0, 0, "k"), KOVA_OK);
        ASSERT_EQ(kova_sonarr_configure("s", 0, 0, "k"), KOVA_OK);
        ASSERT_EQ(kova_radarr_configure("r", 0, 0, "k"), KOVA_OK);
        ASSERT_EQ(kova_prowlarr_configure("p", 0, 0, "k"), KOVA_OK);
    }

    void answer(const std::string &u, int32_t status, const std::string &body) {
        bodies.push_back(body);
        io.answers[u] = RecordingIo::Answer{0, status, bodies.back().c_str(), nullptr, true};
    }
    void fail(const std::string &u) { io.answers[u] = RecordingIo::Answer{1, 0, nullptr, "down", true}; }
};

// What a host can read after a call. `core` must not change when memory
// runs out somewhere that is allowed to degrade silently (a lost warning or
// test-log entry); `diag` is the warnings and the test log.
struct observed {
    std::string core;
    int32_t warnings;
    int32_t log_entries;
    std::vector<std::string> log;

    bool operator==(const observed &o) const {
        return core == o.core && warnings == o.warnings && log == o.log;
    }
};

inline observed observe() {
    observed o;
    std::string json = kova_result_json();
    // The document's last member is the warnings: the rest is core.
    size_t w = json.rfind(",\"warnings\":");
    o.core = "rc=" + std::to_string(kova_last_rc()) + " err=" + kova_last_error() +
             " http=" + std::to_string(kova_last_http_code()) + " doc=" + json.substr(0, w);
    o.core += " root=" + std::string(kova_rootfolder()) + " qp=";
    for (int32_t i = 0; i < kova_quality_profile_count(); ++i)
        o.core += std::to_string(kova_quality_profile_id(i)) + ":" + kova_quality_profile_name(i) + ",";
    o.core += " lookup=" + std::to_string(kova_lookup_match()) + "/";
    for (int32_t i = 0; i < kova_lookup_count(); ++i)
        o.core += std::string(kova_lookup_title(i)) + "|" + kova_lookup_clean_title(i) + "|" + kova_lookup_imdb(i) +
                  "|" + std::to_string(kova_lookup_tvdb(i)) + "|" + std::to_string(kova_lookup_tmdb(i)) + "|" +
                  std::to_string(kova_lookup_library_id(i)) + ",";
    for (int32_t k = 0; k < 4; ++k) o.core += " base=" + std::string(kova_base_url(k));
    o.core += " roots=";
    for (int32_t i = 0; i < kova_rootfolder_count(); ++i)
        o.core += std::string(kova_rootfolder_path(i)) + ":" + std::to_string(kova_rootfolder_free_space(i)) + ",";
    o.core += " get=" + std::to_string(kova_get_library_id()) + "/" + std::to_string(kova_get_added()) + "/" +
              kova_get_root() + "/" + std::to_string(kova_get_profile_id()) + "/" + kova_get_path() + "/" +
              std::to_string(kova_get_fallback());
    o.core += " transport=" + std::string(kova_last_transport_error());
    o.warnings = kova_warning_count();
    o.log_entries = kova_test_log_count();
    for (int32_t i = 0; i < o.log_entries; ++i)
        o.log.push_back(std::string(kova_test_log_key(i)) + ": " + kova_test_log_text(i));
    return o;
}

inline std::ostream &operator<<(std::ostream &os, const observed &o) {
    os << o.core << " warnings=" << o.warnings << " log=[";
    for (const std::string &l : o.log) os << l << "; ";
    return os << "]";
}

// Memcheck runs the suite some fifty times slower; the tests that move
// hundreds of megabytes (checked under ASan in every CI run) skip there.
inline bool under_valgrind() {
    const char *preload = getenv("LD_PRELOAD");
    return preload && strstr(preload, "vgpreload") != nullptr;
}
