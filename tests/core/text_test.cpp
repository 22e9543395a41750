#include <cstring>
#include <set>

#include "support/kova_test.h"

TEST(Enc, KeepsUnreservedAndEscapesEverythingElseUpperCase) {
    struct Case {
        const char *in;
        const char *out;
    } cases[] = {
        {"Hello World/\xC3\xBC", "Hello%20World%2F%C3%BC"},
        {"a-b.c_d~e", "a-b.c_d~e"},
        {"tvdb:42", "tvdb%3A42"},
        {"a+b&c=d?e#f%", "a%2Bb%26c%3Dd%3Fe%23f%25"},
        {"", ""},
    };
    for (const Case &c : cases) {
        text_guard t(url_encode(c.in));
        ASSERT_NE(t.p, nullptr);
        EXPECT_STREQ(t.p, c.out) << c.in;
    }
    text_guard n(url_encode(nullptr));
    EXPECT_STREQ(n.p, "");
}

TEST(Enc, FailsOnlyForMemory) {
    fault_arm(1);
    EXPECT_EQ(url_encode("abc"), nullptr);
    fault_disarm();
}

TEST(Ieq, ComparesAsciiCaseInsensitivelyAndNeverEqualsNull) {
    EXPECT_EQ(ieq("TRUE", "true"), 1);
    EXPECT_EQ(ieq("true", "true "), 0);
    EXPECT_EQ(ieq("", ""), 1);
    EXPECT_EQ(ieq(nullptr, nullptr), 0);
    EXPECT_EQ(ieq("a", nullptr), 0);
    EXPECT_EQ(ieq("\xC3\x9C", "\xC3\xBC"), 0); // only ASCII letters fold
    // The length variant compares exactly n bytes, whatever follows them.
    EXPECT_TRUE(ieq_n("TrackerId", "trackerid", 9));
    EXPECT_TRUE(ieq_n("Title=x", "tITLE=y", 6));
    EXPECT_FALSE(ieq_n("Title", "Titel", 5));
    EXPECT_TRUE(ieq_n("a\0B", "A\0b", 3));
    EXPECT_TRUE(ieq_n("x", "y", 0));
    EXPECT_FALSE(ieq_n("\xC3\x9C", "\xC3\xBC", 2));
}

TEST(Memmem, FindsTheFirstMatchWithinTheBoundsOnly) {
    struct Case {
        const char *hay;
        size_t n_hay;  // bytes of hay searched
        const char *pat;
        long at;       // offset of the match, -1 for none
    } cases[] = {
        {"<indexer id=", 12, "<indexer", 0},
        {"xx<a><a>", 8, "<a>", 2},
        {"aaab", 4, "aab", 1},    // a failed partial match must not skip the real one
        {"abc", 3, "", 0},
        {"abc", 3, "abcd", -1},   // pattern longer than the text
        {"abcabc", 5, "abc", 0},
        {"xxabc", 4, "abc", -1},  // the match crosses the bound
        {"a\0b\0c", 5, "b", 2},
        {"", 0, "a", -1},
    };
    for (const Case &c : cases) {
        const void *r = find_bytes(c.hay, c.n_hay, c.pat, strlen(c.pat));
        long at = r ? static_cast<const char *>(r) - c.hay : -1;
        EXPECT_EQ(at, c.at) << c.pat << " in " << std::string(c.hay, c.n_hay);
    }
}

TEST(Strndup, CopiesExactlyNBytes) {
    text_guard a(text_ndup("abc", 2));
    EXPECT_STREQ(a.p, "ab");
    EXPECT_EQ(text_ndup(nullptr, 3), nullptr);
    EXPECT_EQ(text_dup(nullptr), nullptr);
}

TEST(Buf, GrowsToHoldEverythingAppendedAndTerminates) {
    buf_guard g;
    strbuf_put(&g.b, "", 0);
    EXPECT_STREQ(g.b.data, ""); // an empty append still gives a text
    // Appends of every size, small and larger than all before them: the
    // text is always the concatenation, terminated, with room for its NUL.
    std::string want;
    for (size_t n : {1u, 100u, 27u, 1000u, 3u, 5000u}) {
        std::string piece(n, static_cast<char>('a' + want.size() % 26));
        strbuf_puts(&g.b, piece.c_str());
        want += piece;
        ASSERT_EQ(g.b.oom, 0);
        EXPECT_EQ(g.b.len, want.size());
        EXPECT_GT(g.b.cap, g.b.len);
        EXPECT_EQ(std::string(g.b.data), want);
    }
}

TEST(Buf, OutOfMemoryIsStickyAndKeepsTheText) {
    buf_guard g;
    strbuf_puts(&g.b, "abc");
    std::string big(200, 'z');
    fault_arm(1);
    strbuf_puts(&g.b, big.c_str());
    fault_disarm();
    EXPECT_EQ(g.b.oom, 1);
    strbuf_puts(&g.b, "d");
    EXPECT_EQ(g.b.len, 3u);
    EXPECT_STREQ(g.b.data, "abc");
}

static void expect_uuid_shape(const char *u) {
    ASSERT_EQ(strlen(u), 36u);
    for (int i = 0; i < 36; ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            EXPECT_EQ(u[i], '-');
        } else {
            EXPECT_NE(strchr("0123456789abcdef", u[i]), nullptr) << u;
        }
    }
    EXPECT_EQ(u[14], '4');
    EXPECT_NE(strchr("89ab", u[19]), nullptr);
}

TEST(Uuid4, HasTheVersion4ShapeAndDiffers) {
    char a[37], b[37];
    uuid4(a);
    uuid4(b);
    expect_uuid_shape(a);
    expect_uuid_shape(b);
    EXPECT_STRNE(a, b);
}

TEST(Uuid4, FallsBackToSplitMixWhenTheSystemSourceFails) {
    std::set<std::string> seen;
    for (int i = 0; i < 4; ++i) {
        char u[37];
        fault_random(1);
        uuid4(u);
        expect_uuid_shape(u);
        seen.insert(u);
    }
    fault_random(0);
    EXPECT_EQ(seen.size(), 4u); // the counter makes every fallback distinct
}

// Against the reader of dates: moments spread over a century with leap and
// century years go there and back, and the ends of the range are clamped.
TEST(IsoUtc, WritesWhatTheDateReaderReadsBack) {
    char out[21];
    struct Case {
        int64_t seconds;
        const char *text;
    } cases[] = {{0, "1970-01-01T00:00:00Z"},           {951782400, "2000-02-29T00:00:00Z"},
                 {1765412999, "2025-12-11T00:29:59Z"},  {4107542399, "2100-02-28T23:59:59Z"},
                 {max_utc_seconds, "9999-12-31T23:59:59Z"}, {-5, "1970-01-01T00:00:00Z"},
                 {max_utc_seconds + 1, "9999-12-31T23:59:59Z"}};
    for (const Case &c : cases) {
        iso_utc(c.seconds, out);
        EXPECT_STREQ(out, c.text) << c.seconds;
    }
    for (int64_t s = 946684800 - 3 * 86400; s < 4107542400 + 400 * 86400; s += 86400 * 37 + 3671) {
        iso_utc(s, out);
        ASSERT_EQ(parse_iso(out), s * 1000) << out;
    }
}
