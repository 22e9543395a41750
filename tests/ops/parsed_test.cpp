// Answers the host hands in: kova_parse_jackett copies the host's text,
// kova_parse_jackett_take takes the host's buffer over and reads it in
// place. Both must give the same set, code, error and warnings.
#include <cstdlib>
#include <cstring>

#include "ops/ops_fixture.h"

using namespace kova;

namespace {

// A malloc'd copy of text for the library to take (len bytes, no NUL).
char *handed(const std::string &text) {
    char *p = static_cast<char *>(malloc(text.size() ? text.size() : 1));
    if (p && !text.empty()) memcpy(p, text.data(), text.size());
    return p;
}

// What a parse leaves for the host to see.
struct Outcome {
    int32_t rc;
    std::string err;
    std::vector<std::string> warnings;
    std::string doc;
    bool operator==(const Outcome &o) const {
        return rc == o.rc && err == o.err && warnings == o.warnings && doc == o.doc;
    }
};
Outcome outcome(int32_t rc) {
    Outcome o{rc, kova_last_error(), {}, kova_result_json()};
    for (int32_t i = 0; i < kova_warning_count(); ++i) o.warnings.emplace_back(kova_warning(i));
    return o;
}
std::ostream &operator<<(std::ostream &os, const Outcome &o) {
    os << o.rc << " \"" << o.err << "\" [";
    for (const auto &w : o.warnings) os << w << "; ";
    return os << "] " << o.doc;
}

std::string many_rows(int n) {
    std::string rows;
    for (int i = 0; i < n; ++i) {
        rows += (i ? "," : "") + std::string("{\"Title\":\"t") + std::to_string(i) +
                "\",\"Tracker\":\"x\",\"TMDb\":" + std::to_string(600 + i) +
                ",\"Imdb\":\"tt0133093\",\"Size\":" + std::to_string(1000 * i) +
                ",\"Category\":[2000,5030],\"PublishDate\":\"2024-03-01T12:30:45.5+01:00\",\"Seeders\":\"7\"}";
    }
    return "{\"Results\":[" + rows + "],\"Indexers\":[{\"ID\":\"a\",\"Name\":\"A\",\"Status\":2,\"Results\":" +
           std::to_string(n) + "}]}";
}

using ParsedAnswers = OpsTest;

TEST_F(ParsedAnswers, TakenBufferGivesWhatACopiedTextGives) {
    const std::string answers[] = {
        many_rows(1),
        many_rows(3000),
        "{\"Results\":[],\"Indexers\":[]}",
        "{\"Results\":[1,{\"Title\":\"a\"},\"x\"],\"Indexers\":[{\"Status\":1},{\"Status\":0}]}",
        "{\"Results\":[{\"Title\":\"caf\xc3\xa9 \\u00e9 \\\"q\\\"\",\"Guid\":\"a\\\\b\"}]}", // clean, with escapes
        "{\"Results\":[{\"Title\":\"a\xff\"},{\"Title\":\"\\ud800\"}]}",                   // mended
        "{\"Results\":[{\"Title\":\"\xff\"},]}",                                           // bad Unicode and more
        "{\"Results\":[{\"Title\":\"a\"}]} \xff",                                          // a stray byte outside strings
        "{\"results\":{}}",
        "[1,2]",
        "{",
        "",
    };
    for (const std::string &a : answers) {
        SCOPED_TRACE(a.substr(0, 120));
        Outcome copied = outcome(kova_parse_jackett(a.c_str()));
        Outcome taken = outcome(kova_parse_jackett_take(handed(a), a.size()));
        EXPECT_EQ(taken, copied);
        EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_NONE);
    }
}

// The length is the host's: bytes after it are not read, a NUL inside it is
// part of the text (and no JSON), and no NUL after it is needed.
TEST_F(ParsedAnswers, TakenBufferIsItsLength) {
    const std::string text = "{\"Results\":[{\"Title\":\"a\"}]}";
    std::string longer = text + "],garbage";
    EXPECT_EQ(kova_parse_jackett_take(handed(longer), text.size()), KOVA_OK);
    EXPECT_STREQ(kova_result_title(0), "a");
    std::string with_nul = text;
    with_nul.insert(5, 1, '\0');
    EXPECT_EQ(kova_parse_jackett_take(handed(with_nul), with_nul.size()), KOVA_ERR_JSON);
    EXPECT_STREQ(kova_last_error(), "Jackett: response is not JSON");
    EXPECT_EQ(kova_result_count(), 0);
}

// The rows live as long as the set: later calls that keep the set keep
// them readable; NULL releases the set like kova_parse_jackett(NULL).
TEST_F(ParsedAnswers, TakenBufferLivesWithTheSet) {
    const std::string a = many_rows(50);
    ASSERT_EQ(kova_parse_jackett_take(handed(a), a.size()), KOVA_OK);
    EXPECT_EQ(kova_imdb_numeric("tt0000042"), std::string("42"));
    ASSERT_EQ(kova_result_count(), 50);
    EXPECT_STREQ(kova_result_title(49), "t49");
    EXPECT_STREQ(kova_result_tmdb(49), "649");
    EXPECT_STREQ(kova_result_imdb(0), "133093");
    EXPECT_STREQ(kova_result_field(3, "Seeders"), "7");
    EXPECT_EQ(kova_parse_jackett_take(nullptr, 5), KOVA_ERR_INVALID_ARG);
    EXPECT_STREQ(kova_last_error(), "NULL input");
    EXPECT_EQ(kova_result_count(), 0);
}

// Every allocation failure ends in "out of memory" with the buffer released
// (LeakSanitizer checks that in the ASan build); only a warning may be lost.
TEST_F(ParsedAnswers, TakenBufferSurvivesEveryAllocationFailure) {
    const std::string mended = "{\"Results\":[{\"Title\":\"a\xff\"}]}";
    for (const std::string &a : {many_rows(200), mended}) {
        SCOPED_TRACE(a.substr(0, 60));
        const bool may_lose_warning = a == mended;
        int failures = oom_sweep([] { kova_reset(); },
                                 [&] {
                                     char *buf = handed(a);
                                     return buf ? kova_parse_jackett_take(buf, a.size()) : KOVA_ERR_OOM;
                                 },
                                 [&](int32_t rc, bool injected) {
                                     if (!injected || (may_lose_warning && rc == KOVA_OK && kova_warning_count() == 0)) {
                                         EXPECT_EQ(rc, KOVA_OK);
                                         return;
                                     }
                                     EXPECT_EQ(rc, KOVA_ERR_OOM);
                                     EXPECT_STREQ(kova_last_error(), "out of memory");
                                     EXPECT_EQ(kova_result_count(), 0);
                                 });
        EXPECT_GT(failures, 2);
    }
}

} // namespace
