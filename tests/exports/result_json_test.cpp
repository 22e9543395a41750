#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bench/gen.h"
#include "support/kova_test.h"

using ResultJson = KovaTest;

TEST_F(ResultJson, ZeroStateDocument) {
    EXPECT_STREQ(kova_result_json(),
                 "{\"stage\":0,\"rc\":0,\"results\":[],\"indexers\":[],\"indexers_errored\":0,\"warnings\":[]}");
}

TEST_F(ResultJson, WholeDocumentForASmallSet) {
    ASSERT_EQ(kova_parse_jackett(
                  "{\"Results\":[{\"Title\":\"a \\\"q\\\"\\nb/c\",\"Tracker\":\"T\",\"Size\":0,\"Seeders\":5,"
                  "\"Category\":[2000],\"PublishDate\":\"1970-01-01T00:00:01Z\",\"DownloadVolumeFactor\":0.5,"
                  "\"Imdb\":\"tt0042\",\"TMDb\":7},{\"Files\":3}],"
                  "\"Indexers\":[{\"ID\":\"x\",\"Name\":\"X\",\"Status\":1,\"Results\":0,\"Error\":\"down\"},5],"
                  "\"Extra\":{\"Indexers\":5}}"),
              KOVA_PARTIAL);
    const std::string row0 =
        "{\"title\":\"a \\\"q\\\"\\nb/c\",\"tracker\":\"T\",\"tracker_id\":\"\",\"guid\":\"\",\"link\":\"\","
        "\"details\":\"\",\"magnet\":\"\",\"info_hash\":\"\",\"category_desc\":\"\",\"imdb\":\"42\",\"tmdb\":\"7\","
        "\"tvdb\":\"\",\"size\":0,\"seeders\":5,\"peers\":-1,\"files\":-1,\"category\":[2000],\"publish_date\":1000,"
        "\"download_volume_factor\":500,\"season\":-1,\"episode\":-1,\"full_season\":false}";
    const std::string row1 =
        "{\"title\":\"\",\"tracker\":\"\",\"tracker_id\":\"\",\"guid\":\"\",\"link\":\"\",\"details\":\"\","
        "\"magnet\":\"\",\"info_hash\":\"\",\"category_desc\":\"\",\"imdb\":\"\",\"tmdb\":\"\",\"tvdb\":\"\","
        "\"size\":null,\"seeders\":-1,\"peers\":-1,\"files\":3,\"category\":[],\"publish_date\":-1,"
        "\"download_volume_factor\":-1,\"season\":-1,\"episode\":-1,\"full_season\":false}";
    const std::string expected = "{\"stage\":0,\"rc\":1,\"results\":[" + row0 + "," + row1 +
                                 "],\"indexers\":[{\"id\":\"x\",\"name\":\"X\",\"status\":1,\"results\":0,"
                                 "\"error\":\"down\"}],\"indexers_errored\":1,\"warnings\":[]}";
    EXPECT_EQ(std::string(kova_result_json()), expected);
}

TEST_F(ResultJson, WarningsFullSeasonAndFailedCalls) {
    ASSERT_EQ(kova_parse_arr_releases("[{\"title\":\"s\",\"fullSeason\":true,\"seasonNumber\":2,\"guid\":[1]},1,2]"),
              KOVA_OK);
    std::string doc = kova_result_json();
    EXPECT_NE(doc.find("\"full_season\":true"), std::string::npos);
    EXPECT_NE(doc.find("\"warnings\":[\"field guid: object/array where a scalar was expected, treated as empty\","
                       "\"2 non-object release rows ignored\"]"),
              std::string::npos)
        << doc;
    kova_jackett_search_query("q");
    doc = kova_result_json();
    EXPECT_EQ(doc, "{\"stage\":0,\"rc\":-5,\"results\":[],\"indexers\":[],\"indexers_errored\":0,\"warnings\":[]}");
}

TEST_F(ResultJson, InvalidUtf8IsRepairedNotLost) {
    // Torznab texts are not validated by the parser; one bad byte must not
    // cost the host the whole document.
    ASSERT_EQ(kova_parse_torznab_indexers("<indexers><indexer id=\"a\xff\" configured=\"true\"><title>Caf\xc3 "
                                          "\xe9t\xc3\xa9</title></indexer></indexers>"),
              KOVA_OK);
    std::string doc = kova_result_json();
    EXPECT_EQ(doc, "{\"stage\":0,\"rc\":0,\"results\":[],\"indexers\":[{\"id\":\"a\xEF\xBF\xBD\",\"name\":\"Caf"
                   "\xEF\xBF\xBD \xEF\xBF\xBDt\xc3\xa9\",\"status\":2,\"results\":0,\"error\":\"\"}],"
                   "\"indexers_errored\":0,\"warnings\":[]}");
}

TEST_F(ResultJson, EachCallReplacesTheText) {
    const char *first = kova_result_json();
    EXPECT_EQ(first, current().json_text);
    const char *second = kova_result_json();
    EXPECT_EQ(second, current().json_text);
    EXPECT_STREQ(second, "{\"stage\":0,\"rc\":0,\"results\":[],\"indexers\":[],\"indexers_errored\":0,\"warnings\":[]}");
}

TEST_F(ResultJson, OutOfMemoryGivesEmptyNeverAPart) {
    ASSERT_EQ(kova_parse_jackett("{\"Results\":[{\"Title\":\"a\",\"Category\":[1,2]},{\"Title\":\"b\"}],"
                                 "\"Indexers\":[{\"ID\":\"x\",\"Status\":0}]}"),
              KOVA_OK);
    const std::string full = kova_result_json();
    std::string doc;
    oom_sweep([] {},
              [&] {
                  doc = kova_result_json();
                  return 0;
              },
              [&](int32_t, bool injected) {
                  if (!injected) {
                      EXPECT_EQ(doc, full);
                      return;
                  }
                  // Cutting the buffer down to size may fail: the text is whole either way.
                  EXPECT_TRUE(doc.empty() || doc == full) << doc;
              });
}

// ---------------------------------------------------------------------------
// The writer against the reference (yyjson writing a mutable document of the
// set, as the library once did): the same bytes for every set.
// ---------------------------------------------------------------------------

namespace {

// The row's text fields, from the field list.
#define KV_TEXT_FIELD_text(name) &result_row::name,
#define KV_TEXT_FIELD_count(name)
#define KV_TEXT_FIELD_flag(name)
#define KV_TEXT_FIELD_date(name)
#define KV_TEXT_FIELD_size(name)
#define KV_TEXT_FIELD_categories(name)
constexpr const char *result_row::*k_text_fields[] = {
#define KV_X(name, kind, ...) KV_TEXT_FIELD_##kind(name)
    KV_ROW_FIELDS(KV_X)
#undef KV_X
};

// A context holding hand-made rows, indexer entries and warnings; it owns
// nothing the library would release.
struct Crafted {
    context ctx;
    std::vector<result_row> rows;
    std::vector<indexer_entry> indexers;
    std::vector<std::vector<int32_t>> cats;
    std::vector<std::string> warnings;
    std::vector<std::unique_ptr<std::string>> texts; // stable addresses

    Crafted() { context_init(&ctx); }
    Crafted(const Crafted &) = delete;
    Crafted &operator=(const Crafted &) = delete;

    char *keep(const std::string &s) {
        texts.push_back(std::make_unique<std::string>(s));
        return texts.back()->data();
    }
    // A row with every text field set to t (null stays null).
    result_row &row(const char *t) {
        result_row r{};
        for (auto f : k_text_fields) r.*f = t;
        r.seeders = r.peers = r.files = r.season = r.episode = r.download_volume_factor = -1;
        r.publish_date = -1;
        rows.push_back(r);
        return rows.back();
    }
    // Points the context at what was added.
    const context &done() {
        for (size_t i = 0; i < rows.size(); ++i) {
            rows[i].category = cats.size() > i && !cats[i].empty() ? cats[i].data() : nullptr;
            rows[i].category_count = cats.size() > i ? static_cast<int32_t>(cats[i].size()) : 0;
        }
        ctx.rs.rows = rows.data();
        ctx.rs.row_count = static_cast<int32_t>(rows.size());
        ctx.rs.indexers = indexers.data();
        ctx.rs.indexer_count = static_cast<int32_t>(indexers.size());
        ctx.warning_count = static_cast<int32_t>(warnings.size());
        for (size_t i = 0; i < warnings.size(); ++i) ctx.warnings[i] = warnings[i].data();
        return ctx;
    }
};

// A text in every place a text can be: each row field, each indexer text,
// a warning.
void put_everywhere(Crafted &c, const std::string &t) {
    char *p = c.keep(t);
    c.row(p);
    c.indexers.push_back(indexer_entry{p, p, p, 2, 0});
    if (c.warnings.size() < static_cast<size_t>(max_warnings)) c.warnings.push_back(t);
}

bool utf8_ok(const std::string &s) { return utf8_valid(s.data(), s.size()); }

// Texts the escaping and the repair must get right.
const std::vector<std::string> &tricky_texts() {
    static const std::vector<std::string> k = [] {
        std::vector<std::string> v = {
            "", "plain", "a/b//c", "http://x.example/?a=1&b=2", "quote \" inside", "\"", "\\", "back\\slash\\",
            "\\u0041 stays text", "tab\tnew\nline\rret\bbs\fff", "\x7f del", "\xE2\x80\xA8 U+2028 \xE2\x80\xA9 U+2029",
            "\xEF\xBB\xBF" "bom", "\xEF\xBF\xBD", "caf\xC3\xA9", "\xF0\x9F\x98\x80 smile", "\xF4\x8F\xBF\xBF",
            "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80", "\xC2\x80\xC2\xA0",
            // Not UTF-8: each byte that begins no well-formed sequence becomes U+FFFD.
            "\xFF", "a\xFE" "b", "\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xE0\x9F\xBF", "\xED\xA0\x80",
            "\xED\xBF\xBF", "\xED\xA0\x80\xED\xB0\x80", "\xF0\x80\x80\x80", "\xF0\x8F\xBF\xBF",
            "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xF8\x88\x80\x80\x80", "\xFC\x84\x80\x80\x80\x80", "\x80",
            "\xBF\xBF", "end \xE2\x82", "end \xF0\x9F\x98", "\xE2\x82x", "\xC3", "ok\xFFok\xC3\xA9\xC3",
            "Caf\xC3 \xE9t\xC3\xA9", "\xC3\x28", "\xE2\x28\xA1", "\xF0\x28\x8C\x28"};
        for (int c = 1; c < 0x20; ++c) v.push_back("ctl " + std::string(1, static_cast<char>(c)) + " end");
        // Each kind of special byte at every position around the eight-byte blocks.
        const char *const specials[] = {"\"", "\\", "\x01", "\x1f", "\xC3\xA9", "\xE2\x80\xA8", "\xF0\x9F\x98\x80",
                                        "\xFF", "\xE2\x82"};
        for (const char *sp : specials)
            for (size_t at = 0; at <= 24; ++at) {
                std::string t(at, 'x');
                t += sp;
                t += std::string(24 - at, 'y');
                v.push_back(t);
                v.push_back(std::string(at, 'z') + sp);
            }
        v.push_back(std::string(1000, 'L') + "\"" + std::string(999, '\x1f') + "\xFF");
        return v;
    }();
    return k;
}

} // namespace

TEST_F(ResultJson, GeneratedAnswersMatchTheReference) {
    struct Case {
        const char *what;
        int32_t (*load)();
    };
    static const Case k_cases[] = {
        {"Jackett, 3,000 rows", [] { return kova_parse_jackett(gen::jackett(3000).c_str()); }},
        {"Jackett, 200 rows, other IMDb", [] { return kova_parse_jackett(gen::jackett(200, 7, 1234567).c_str()); }},
        {"Sonarr releases, 500", [] { return kova_parse_arr_releases(gen::releases(500).c_str()); }},
        {"Torznab indexers, 300", [] { return kova_parse_torznab_indexers(gen::torznab(300).c_str()); }},
    };
    for (const Case &c : k_cases) {
        SCOPED_TRACE(c.what);
        int32_t rc = c.load();
        EXPECT_TRUE(rc == KOVA_OK || rc == KOVA_PARTIAL) << rc;
        EXPECT_TRUE(same_document(kova_result_json(), reference_result_document(current())));
    }
}

TEST_F(ResultJson, TrickyTextsMatchTheReference) {
    // One text at a time: yyjson's writer decides alone whether it is
    // valid, so a text it took as it is must come out as it is.
    for (const std::string &t : tricky_texts()) {
        SCOPED_TRACE(testing::PrintToString(t));
        Crafted c;
        put_everywhere(c, t);
        EXPECT_TRUE(document_matches_reference(c.done()));
    }
    // All valid texts together, then all texts: every one repaired alike.
    Crafted valid, all;
    for (const std::string &t : tricky_texts()) {
        if (utf8_ok(t)) put_everywhere(valid, t);
        put_everywhere(all, t);
    }
    EXPECT_TRUE(document_matches_reference(valid.done()));
    EXPECT_TRUE(document_matches_reference(all.done()));
}

TEST_F(ResultJson, EveryByteSequenceAsYyjsonJudgesIt) {
    // Every lead byte, followed by every byte (two-byte forms) or by the
    // bytes at the edges of the continuation ranges (longer forms), each
    // alone in a document, before and across an eight-byte block boundary:
    // valid sequences come out as they are, every other byte as U+FFFD,
    // exactly where yyjson's writer refuses the text.
    const unsigned char k_edges[] = {0x20, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC2, 0xE0, 0xF0, 0xFF};
    std::vector<unsigned char> every;
    for (int b = 1; b <= 0xFF; ++b) every.push_back(static_cast<unsigned char>(b));
    const std::vector<unsigned char> edges(std::begin(k_edges), std::end(k_edges));
    const std::vector<unsigned char> none = {0x41};
    int cases = 0;
    for (int lead = 0x01; lead <= 0xFF; ++lead) {
        const auto &seconds = lead >= 0x80 && lead < 0xE0 ? every : edges;
        const auto &thirds = lead >= 0xE0 ? edges : none;
        const auto &fourths = lead >= 0xF0 ? std::vector<unsigned char>{0x41, 0x80, 0xBF} : none;
        for (unsigned char second : seconds)
            for (unsigned char third : thirds)
                for (unsigned char fourth : fourths)
                    for (size_t pad : {0, 6}) {
                        std::string t(pad, 'p');
                        t += {static_cast<char>(lead), static_cast<char>(second), static_cast<char>(third),
                              static_cast<char>(fourth)};
                        t += "0123456789abcdef";
                        Crafted c;
                        c.warnings.push_back(t);
                        ASSERT_TRUE(document_matches_reference(c.done())) << testing::PrintToString(t);
                        ++cases;
                    }
    }
    EXPECT_GT(cases, 0);
}

TEST_F(ResultJson, NumbersAtTheirLimitsMatchTheReference) {
    const int64_t k_i64[] = {0, 1, -1, 9, 10, -9, -10, 99, 100, 999, 1000, 9999, 10000, 99999, 100000,
                             2147483647, -2147483647 - 1, 4294967295LL, 4294967296LL, 999999999999LL,
                             1000000000000LL, 9007199254740993LL, 999999999999999999LL, 1000000000000000000LL,
                             INT64_MAX, INT64_MIN, INT64_MIN + 1, -1000000000000000000LL};
    Crafted c;
    for (int64_t v : k_i64) {
        result_row &r = c.row("n");
        auto v32 = static_cast<int32_t>(v); // wraps: the 32-bit edges come from the list too
        r.has_size = 1;
        r.size = v; // a negative size reads as its 64-bit unsigned value
        r.seeders = r.peers = r.files = r.season = r.episode = r.download_volume_factor = v32;
        r.publish_date = v;
        r.full_season = v32;
        c.cats.push_back({v32, static_cast<int32_t>(0u - static_cast<uint32_t>(v32)), 0, INT32_MIN, INT32_MAX});
    }
    c.ctx.stage = INT32_MIN;
    c.ctx.rc = INT32_MAX;
    c.ctx.rs.indexers_errored = -7;
    c.indexers.push_back(indexer_entry{nullptr, nullptr, nullptr, INT32_MIN, INT32_MAX});
    EXPECT_TRUE(document_matches_reference(c.done()));
}

TEST_F(ResultJson, RandomSetsMatchTheReference) {
    // Seeded, so a failure repeats. Texts from a palette of plain words,
    // escapes, multi-byte characters and (in every other set) bad bytes;
    // null texts; row counts on both sides of the writer's size estimate.
    uint64_t state = 17;
    auto next = [&state] {
        uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    };
    const char *const k_good[] = {"The", ".", "Matrix", " ", "/", "\"", "\\", "\n", "\x01", "\x1f", "\x7f",
                                  "\xC3\xA9", "\xE2\x80\xA8", "\xF0\x9F\x8E\xAC", "1080p", "&dn=", "0123456789"};
    const char *const k_bad[] = {"\xFF", "\x80", "\xC3", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"};
    for (int set = 0; set < 40; ++set) {
        SCOPED_TRACE("set " + std::to_string(set));
        bool bad = set % 2 == 1;
        auto text = [&]() -> std::string {
            std::string t;
            int parts = static_cast<int>(next() % 12);
            for (int k = 0; k < parts; ++k)
                t += bad && next() % 9 == 0 ? k_bad[next() % std::size(k_bad)] : k_good[next() % std::size(k_good)];
            if (next() % 7 == 0) t += std::string(next() % 300, 'w');
            return t;
        };
        Crafted c;
        int rows = static_cast<int>(next() % 150);
        for (int i = 0; i < rows; ++i) {
            result_row &r = c.row(nullptr);
            for (auto f : k_text_fields) r.*f = next() % 10 == 0 ? nullptr : c.keep(text());
            r.has_size = static_cast<int32_t>(next() % 2);
            r.size = static_cast<int64_t>(next());
            r.seeders = static_cast<int32_t>(next());
            r.peers = static_cast<int32_t>(next() % 1000) - 1;
            r.files = static_cast<int32_t>(next() % 3) - 1;
            r.publish_date = static_cast<int64_t>(next() >> (next() % 64));
            r.download_volume_factor = static_cast<int32_t>(next() % 1001);
            r.season = static_cast<int32_t>(next() % 30) - 1;
            r.episode = static_cast<int32_t>(next());
            r.full_season = static_cast<int32_t>(next() % 3);
            std::vector<int32_t> cats(next() % 6);
            for (int32_t &v : cats) v = static_cast<int32_t>(next() >> (next() % 64));
            c.cats.push_back(cats);
        }
        int indexers = static_cast<int>(next() % 5);
        for (int i = 0; i < indexers; ++i)
            c.indexers.push_back(indexer_entry{next() % 4 ? c.keep(text()) : nullptr, c.keep(text()),
                                              next() % 2 ? c.keep(text()) : nullptr, static_cast<int32_t>(next() % 3),
                                              static_cast<int32_t>(next())});
        int warnings = static_cast<int>(next() % 4);
        for (int i = 0; i < warnings; ++i) c.warnings.push_back(text());
        c.ctx.stage = static_cast<int32_t>(next() % 4);
        c.ctx.rc = -static_cast<int32_t>(next() % 20);
        c.ctx.rs.indexers_errored = indexers ? static_cast<int32_t>(next() % static_cast<uint64_t>(indexers)) : 0;
        EXPECT_TRUE(document_matches_reference(c.done()));
    }
}

// Rows that grow far beyond the first ones, which the writer's estimate of
// the whole document comes from: the buffer grows on the way.
TEST_F(ResultJson, RowsLargerThanTheEstimate) {
    Crafted c;
    for (int i = 0; i < 300; ++i) c.row(c.keep(std::string(i < 64 ? 1 : 2000 + i, static_cast<char>('a' + i % 26))));
    c.rows.back().title = c.keep(std::string(300000, '\x01')); // six bytes out for each byte in
    EXPECT_TRUE(document_matches_reference(c.done()));
}

TEST_F(ResultJson, OutOfMemoryWhileGrowingGivesEmpty) {
    // Large enough that the buffer grows, takes the estimate and is cut down.
    std::string answer = "{\"Results\":[";
    for (int i = 0; i < 150; ++i)
        answer += (i ? ",{\"Title\":\"" : "{\"Title\":\"") + std::string(i < 100 ? 1500 : 3000, 't') + "\"}";
    answer += "]}";
    ASSERT_EQ(kova_parse_jackett(answer.c_str()), KOVA_OK);
    const std::string full = kova_result_json();
    ASSERT_GT(full.size(), 300000u);
    std::string doc;
    int failures = oom_sweep([] {},
                             [&] {
                                 doc = kova_result_json();
                                 return 0;
                             },
                             [&](int32_t, bool injected) {
                                 if (injected) {
                                     EXPECT_TRUE(doc.empty() || doc == full) << doc.size();
                                 } else {
                                     EXPECT_EQ(doc, full);
                                 }
                             });
    EXPECT_GE(failures, 3);
}
