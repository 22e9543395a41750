#include <cstring>
#include <string>

#include "support/kova_test.h"

namespace {
struct Ctx {
    context c;
    Ctx() { context_init(&c); }
    ~Ctx() { context_free(&c); }
};
} // namespace

TEST(Diagnostics, FailFormatsStoresAndReturnsTheCode) {
    Ctx x;
    EXPECT_EQ(fail(&x.c, ERR_AUTH, "%s %s: HTTP %ld", "Sonarr", "rootfolder", 401L), ERR_AUTH);
    EXPECT_EQ(x.c.rc, ERR_AUTH);
    EXPECT_STREQ(x.c.err, "Sonarr rootfolder: HTTP 401");
    EXPECT_EQ(fail(&x.c, PARTIAL, "partial"), PARTIAL);
    EXPECT_EQ(x.c.rc, PARTIAL);
}

TEST(Diagnostics, LongTextsAreCut) {
    Ctx x;
    std::string long_text(600, 'e');
    fail(&x.c, ERR_HTTP, "%s", long_text.c_str());
    EXPECT_EQ(strlen(x.c.err), 511u);
    warnf(&x.c, "%s", long_text.c_str());
    EXPECT_EQ(strlen(x.c.warnings[0]), 511u);
    std::string longer(1500, 'l');
    log_append(&x.c, "K", "%s", longer.c_str());
    EXPECT_EQ(strlen(x.c.test_log[0].text), 1023u);
}

TEST(Diagnostics, WarningsAndLogStopAt64) {
    Ctx x;
    for (int i = 0; i < 70; ++i) {
        warnf(&x.c, "w%d", i);
        log_append(&x.c, "key", "t%d", i);
    }
    EXPECT_EQ(x.c.warning_count, 64);
    EXPECT_EQ(x.c.test_log_count, 64);
    EXPECT_STREQ(x.c.warnings[63], "w63");
    EXPECT_STREQ(x.c.test_log[63].text, "t63");
}

TEST(Diagnostics, LogEntryWithoutKeyOrMemoryIsDropped) {
    Ctx x;
    log_append(&x.c, nullptr, "text");
    EXPECT_EQ(x.c.test_log_count, 0);
    for (long n = 1; n <= 2; ++n) {
        fault_arm(n);
        log_append(&x.c, "key", "text");
        fault_disarm();
        EXPECT_EQ(x.c.test_log_count, 0) << n;
    }
    fault_arm(1);
    warnf(&x.c, "lost");
    fault_disarm();
    EXPECT_EQ(x.c.warning_count, 0);
}

TEST(Diagnostics, BeginResetsOnlyThePerCallState) {
    Ctx x;
    fail(&x.c, ERR_HTTP, "boom");
    x.c.http_code = 500;
    warnf(&x.c, "w");
    log_append(&x.c, "k", "t");
    x.c.stage = 2;
    begin_call(&x.c);
    EXPECT_EQ(x.c.rc, 0);
    EXPECT_EQ(x.c.http_code, 0);
    EXPECT_STREQ(x.c.err, "");
    EXPECT_EQ(x.c.warning_count, 0);
    EXPECT_EQ(x.c.test_log_count, 1);
    EXPECT_EQ(x.c.stage, 2);
}

TEST(Diagnostics, CtxFreeReturnsToTheZeroState) {
    Ctx x;
    context_free(&x.c);
    EXPECT_EQ(x.c.match, -1);
    ASSERT_EQ(service_configure(&x.c, 1, "host", 0, 0, "key"), OK);
    log_append(&x.c, "k", "t");
    x.c.armed = 1;
    context_free(&x.c);
    context zero;
    context_init(&zero);
    EXPECT_EQ(memcmp(&zero, &x.c, sizeof zero), 0);
}

TEST(Strerror, NamesEveryCodeAndUnknownValues) {
    struct Case {
        int32_t code;
        const char *name;
    } cases[] = {{0, "OK"},
                 {1, "PARTIAL"},
                 {-1, "ERR_TRANSPORT"},
                 {-2, "ERR_HTTP"},
                 {-3, "ERR_AUTH"},
                 {-4, "ERR_JSON"},
                 {-5, "ERR_NOT_CONFIGURED"},
                 {-6, "ERR_NOT_FOUND"},
                 {-7, "ERR_EMPTY"},
                 {-8, "ERR_NOT_ARMED"},
                 {-9, "ERR_NO_IO"},
                 {-10, "ERR_INVALID_ARG"},
                 {-11, "ERR_OOM"},
                 {-12, "ERR_INDEXERS"},
                 {-13, "ERR_UNKNOWN"},
                 {2, "ERR_UNKNOWN"},
                 {42, "ERR_UNKNOWN"}};
    for (const Case &c : cases) EXPECT_STREQ(kova_strerror(c.code), c.name) << c.code;
}
