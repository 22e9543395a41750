// A library configured for all three services on the fake transport.
#pragma once

#include <string>

#include "support/kova_test.h"

class OpsTest : public KovaTest, protected ServiceUrls {
protected:
    void SetUp() override {
        KovaTest::SetUp();
        kova_use_fake();
        ASSERT_EQ(kova_jackett_configure("j", 0, 0, "k"), KOVA_OK);
        ASSERT_EQ(kova_sonarr_configure("s", 0, 0, "k"), KOVA_OK);
        ASSERT_EQ(kova_radarr_configure("r", 0, 0, "k"), KOVA_OK);
    }
    static void route(const std::string &url, int32_t status, const std::string &body) {
        ASSERT_EQ(kova_fake_set(url.c_str(), status, body.c_str()), KOVA_OK);
    }
    static int calls(const std::string &url) { return kova_fake_calls(url.c_str()); }
    static std::vector<std::string> log_keys() {
        std::vector<std::string> v;
        for (int i = 0; i < kova_test_log_count(); ++i) v.push_back(kova_test_log_key(i));
        return v;
    }
    static std::vector<std::string> log_texts() {
        std::vector<std::string> v;
        for (int i = 0; i < kova_test_log_count(); ++i) v.push_back(kova_test_log_text(i));
        return v;
    }
    static std::vector<std::string> titles() {
        std::vector<std::string> v;
        for (int i = 0; i < kova_result_count(); ++i) v.push_back(kova_result_title(i));
        return v;
    }
};

using Strings = std::vector<std::string>;

// What an injected allocation failure may end in: the library's own
// "out of memory", or, when the failure hit the fake transport while it
// served the request, the transport failure it reports by design.
inline void expect_oom_outcome(int32_t rc) {
    std::string msg = kova_last_error();
    if (rc == KOVA_ERR_TRANSPORT) {
        EXPECT_NE(msg.find(": transport failure"), std::string::npos) << msg;
        return;
    }
    EXPECT_EQ(rc, KOVA_ERR_OOM) << msg;
    EXPECT_EQ(msg, "out of memory");
}
