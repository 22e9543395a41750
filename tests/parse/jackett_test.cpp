// The Jackett results parser: document shape, row fields, indexer entries,
// limits and allocation failures.
#include <memory>

#include "parse_support.h"

namespace {

std::string one_row(const std::string &members) { return R"({"Results":[{)" + members + "}]}"; }

TEST(JackettParse, RejectsWrongDocumentShapes) {
    struct { std::string json; const char *err; } cases[] = {
        {"", "Jackett: response is not JSON"},
        {"{\"Results\":[", "Jackett: response is not JSON"},
        {"{'Results':[]}", "Jackett: response is not JSON"},
        {"[]", "Jackett: response is not a JSON object"},
        {"5", "Jackett: response is not a JSON object"},
        {"{}", "Jackett: Results is missing, not an array"},
        {R"({"Results":null})", "Jackett: Results is null, not an array"},
        {R"({"Results":{}})", "Jackett: Results is object, not an array"},
        {R"({"Results":"x"})", "Jackett: Results is string, not an array"},
        {R"({"Results":5})", "Jackett: Results is uint, not an array"},
        {R"({"Results":-5})", "Jackett: Results is sint, not an array"},
        {R"({"Results":true})", "Jackett: Results is true, not an array"},
    };
    for (auto &c : cases) {
        Parsed p;
        parse_jackett(p, c.json);
        EXPECT_EQ(p.rc, ERR_JSON) << c.json;
        EXPECT_EQ(p.err(), c.err) << c.json;
        EXPECT_EQ(p.rs.row_count, 0);
    }
}

TEST(JackettParse, KeepsTheDocumentOnAShapeFailure) {
    Parsed p;
    parse_jackett(p, "[1,2]");
    EXPECT_EQ(p.rc, ERR_JSON);
    EXPECT_NE(p.rs.doc, nullptr); // owned by the set, released by result_set_free
}

TEST(JackettParse, EmptyResultsAndCaseShiftedResultsKey) {
    for (const char *json : {R"({"Results":[]})", R"({"results":[]})", R"({"RESULTS":[],"Indexers":[]})"}) {
        Parsed p;
        parse_jackett(p, json);
        EXPECT_EQ(p.rc, OK) << json;
        EXPECT_EQ(p.rs.row_count, 0);
        EXPECT_TRUE(p.warnings().empty());
    }
    Parsed p;
    parse_jackett(p, R"({"results":[{"title":"lower"}],"Results":[{"Title":"exact"}]})");
    ASSERT_EQ(p.rs.row_count, 1);
    EXPECT_STREQ(p.row(0).title, "exact");
}

TEST(JackettParse, IndexerEntries) {
    struct { const char *indexers; int entries; int errored; int warns; } cases[] = {
        {"null", 0, 0, 0},
        {"5", 0, 0, 1},
        {"{}", 0, 0, 1},
        {R"("x")", 0, 0, 1},
        {R"([{"ID":"a","Name":"A","Status":2,"Results":7},3])", 1, 0, 0},
        {R"([{"ID":"a","Status":1},{"ID":"b","Status":"1"},{"ID":"c","Status":"x"}])", 3, 2, 0},
        {R"([{"ID":"a"},{"ID":"a"}])", 2, 0, 0},
    };
    for (auto &c : cases) {
        Parsed p;
        parse_jackett(p, std::string(R"({"Results":[],"Indexers":)") + c.indexers + "}");
        EXPECT_EQ(p.rc, OK) << c.indexers;
        EXPECT_EQ(p.rs.indexer_count, c.entries) << c.indexers;
        EXPECT_EQ(p.rs.indexers_errored, c.errored) << c.indexers;
        ASSERT_EQ(static_cast<int>(p.warnings().size()), c.warns) << c.indexers;
        if (c.warns) {
            EXPECT_EQ(p.warnings()[0], "Jackett: Indexers is not an array, ignored");
        }
    }
}

TEST(JackettParse, IndexerFieldsConvertTolerantly) {
    Parsed p;
    parse_jackett(p, R"({"Results":[],"indexers":[
        {"ID":"yts","Name":"YTS","Error":null,"Status":2,"Results":12},
        {"id":42,"name":{"x":1},"error":"boom","status":3000000000,"results":1.9},
        {}]})");
    ASSERT_EQ(p.rc, OK);
    ASSERT_EQ(p.rs.indexer_count, 3);
    const indexer_entry *e = p.rs.indexers;
    EXPECT_STREQ(e[0].id, "yts");
    EXPECT_STREQ(e[0].name, "YTS");
    EXPECT_STREQ(e[0].error, "");
    EXPECT_EQ(e[0].status, 2);
    EXPECT_EQ(e[0].results, 12);
    EXPECT_STREQ(e[1].id, "42");
    EXPECT_STREQ(e[1].name, "");
    EXPECT_STREQ(e[1].error, "boom");
    EXPECT_EQ(e[1].status, 2147483647);
    EXPECT_EQ(e[1].results, 1);
    EXPECT_STREQ(e[2].id, "");
    EXPECT_EQ(e[2].status, 0);
    EXPECT_EQ(e[2].results, 0);
    EXPECT_TRUE(p.warnings().empty()); // indexer texts never warn
}

TEST(JackettParse, ReadsAFullRow) {
    Parsed p;
    {
        // The text goes away right after the call: rows live on the document.
        auto text = std::make_unique<std::string>(R"({"Results":[{
            "FirstSeen":"2024-01-01T00:00:00","Tracker":"YTS","TrackerId":"yts","CategoryDesc":"Movies/HD",
            "Title":"The Matrix 1999 1080p","Guid":"https://x/g/1","Link":"https://x/dl/1",
            "Details":"https://x/d/1","MagnetUri":"magnet:?xt=urn:btih:abc","InfoHash":"ABC",
            "TMDb":603,"TVDBId":0,"Imdb":133093,"Size":2147483648000,"Seeders":10,"Peers":12,
            "Files":3,"Category":[2000,100001],"PublishDate":"2024-03-01T12:30:45.5+01:00",
            "DownloadVolumeFactor":0.5,"UploadVolumeFactor":1}]})");
        parse_jackett(p, *text);
    }
    ASSERT_EQ(p.rc, OK);
    ASSERT_EQ(p.rs.row_count, 1);
    const result_row &r = p.row(0);
    std::pair<const char *, const char *> texts[] = {
        {"title", "The Matrix 1999 1080p"}, {"tracker", "YTS"}, {"tracker_id", "yts"}, {"guid", "https://x/g/1"},
        {"link", "https://x/dl/1"}, {"details", "https://x/d/1"}, {"magnet", "magnet:?xt=urn:btih:abc"},
        {"info_hash", "ABC"}, {"category_desc", "Movies/HD"}, {"tmdb", "603"}, {"tvdb", "0"}, {"imdb", "133093"},
    };
    for (auto &t : texts) EXPECT_EQ(row_text(r, t.first), t.second) << t.first;
    EXPECT_EQ(r.has_size, 1);
    EXPECT_EQ(r.size, 2147483648000LL);
    EXPECT_EQ(r.seeders, 10);
    EXPECT_EQ(r.peers, 12);
    EXPECT_EQ(r.files, 3);
    EXPECT_EQ(row_cats(r), (std::vector<int32_t>{2000, 100001}));
    EXPECT_EQ(r.publish_date, 1709292645500LL);
    EXPECT_EQ(r.download_volume_factor, 500);
    EXPECT_EQ(r.season, -1);
    EXPECT_EQ(r.episode, -1);
    EXPECT_EQ(r.full_season, 0);
    ASSERT_NE(r.raw, nullptr);
    EXPECT_STREQ(yyjson_get_str(obj_iget(r.raw, "FirstSeen")), "2024-01-01T00:00:00");
    EXPECT_TRUE(p.warnings().empty());
}

TEST(JackettParse, RowWithNoKeysGetsTheDefaults) {
    Parsed p;
    parse_jackett(p, one_row(""));
    ASSERT_EQ(p.rs.row_count, 1);
    const result_row &r = p.row(0);
    expect_complete(r);
    for (const char *f : {"title", "tracker", "tracker_id", "guid", "link", "details", "magnet", "info_hash",
                          "category_desc", "imdb", "tmdb", "tvdb"})
        EXPECT_EQ(row_text(r, f), "") << f;
    for (const char *f : {"seeders", "peers", "files", "publish_date", "dvf", "season", "episode"})
        EXPECT_EQ(row_num(r, f), -1) << f;
    EXPECT_EQ(r.has_size, 0);
    EXPECT_EQ(r.size, 0);
    EXPECT_EQ(r.category_count, 0);
    EXPECT_EQ(r.full_season, 0);
}

TEST(JackettParse, TextFieldsTolerateOddTypesAndKeyCase) {
    struct { const char *member; const char *field; const char *want; } cases[] = {
        {R"("title":"lower-case key")", "title", "lower-case key"},
        {R"("TITLE":"upper")", "title", "upper"},
        {R"("title":"second","Title":"exact")", "title", "exact"},
        {R"("Title":"first","Title":"dup")", "title", "first"},
        {R"("Title":12.5)", "title", "12.5"},
        {R"("Title":true)", "title", "true"},
        {R"("Title":null)", "title", ""},
        {R"("TrackerId":-7)", "tracker_id", "-7"},
        {R"("TrackerId":0)", "tracker_id", "0"},
        {R"("TrackerId":9)", "tracker_id", "9"},
        {R"("TrackerId":10)", "tracker_id", "10"},
        {R"("TrackerId":99)", "tracker_id", "99"},
        {R"("TrackerId":100)", "tracker_id", "100"},
        {R"("TrackerId":1000000)", "tracker_id", "1000000"},
        {R"("TrackerId":18446744073709551615)", "tracker_id", "18446744073709551615"},
        {R"("TrackerId":10000000000000000000)", "tracker_id", "10000000000000000000"},
        {R"("TrackerId":9999999999999999999)", "tracker_id", "9999999999999999999"},
        {R"("TrackerId":-9223372036854775808)", "tracker_id", "-9223372036854775808"},
        {R"("TrackerId":-10)", "tracker_id", "-10"},
        {R"("Imdb":7)", "imdb", "7"},
        {R"("Imdb":18446744073709551615)", "imdb", "18446744073709551615"},
        {R"("Imdb":-5)", "imdb", ""},
        {R"("TMDb":0)", "tmdb", "0"},
        {R"("TMDb":"603")", "tmdb", "603"},
        {R"("TVDBId":1e16)", "tvdb", "10000000000000000"},
        {R"("Imdb":"tt0000042")", "imdb", "42"},
        {R"("Imdb":0)", "imdb", ""},
        {R"("imdb":"TT0133093 ")", "imdb", "133093"},
        {R"("Imdb":[1])", "imdb", ""},
        {R"("Guid":"a\u0000b")", "guid", "a"},
        {R"("InfoHash":"\u00e9t\u00e9")", "info_hash", "\xc3\xa9t\xc3\xa9"},
    };
    for (auto &c : cases) {
        Parsed p;
        parse_jackett(p, one_row(c.member));
        ASSERT_EQ(p.rc, OK) << c.member;
        ASSERT_EQ(p.rs.row_count, 1);
        expect_complete(p.row(0));
        EXPECT_EQ(row_text(p.row(0), c.field), c.want) << c.member;
        EXPECT_TRUE(p.warnings().empty()) << c.member;
    }
}

// An integer in a text field is its digits as the answer wrote them: taken
// from the document's own text where the key and ':' come right before them
// (and the byte after them, a ',' or '}', made their NUL), formatted
// otherwise; the same text either way, and the rest of the row intact.
TEST(JackettParse, IntegerTextsFromTheAnswersDigits) {
    struct { std::string row; bool in_doc; } cases[] = {
        {R"({"TMDb":603,"Title":"t"})", true},
        {R"({"Title":"t","TMDb":603})", true},                // the NUL takes the place of the '}'
        {R"({"Title":"t","TMDb":603 })", true},               // or of a space
        {R"({"TMDb" :603,"Title":"t"})", false},              // a space before the ':'
        {R"({"TMDb": 603,"Title":"t"})", false},              // after it
        {R"({"TM\u0044b":603,"Title":"t"})", false},          // a key with an escape
        {R"({"tmdb":603,"Title":"t"})", true},                // a case-folded key
        {R"({"TMDb":603,"TMDb":604,"Title":"t"})", true},     // the first of two
    };
    for (const auto &c : cases) {
        Parsed p;
        const std::string json = R"({"Results":[)" + c.row + "," + c.row + "]}";
        parse_jackett(p, json);
        ASSERT_EQ(p.rc, OK) << c.row;
        ASSERT_EQ(p.rs.row_count, 2);
        for (int i = 0; i < 2; ++i) {
            const result_row &r = p.row(i);
            EXPECT_STREQ(r.tmdb, "603") << c.row;
            EXPECT_STREQ(r.title, "t") << c.row;
            bool inside = r.tmdb >= p.rs.text && r.tmdb < p.rs.text + json.size();
            EXPECT_EQ(inside, c.in_doc) << c.row << " [" << r.tmdb << "] " << (const void *)r.tmdb << " " << (const void *)p.rs.text;
            // The document still reads as it did.
            EXPECT_EQ(yyjson_get_uint(obj_iget(r.raw, "TMDb")), 603u) << c.row;
            EXPECT_EQ(yyjson_obj_size(r.raw), static_cast<size_t>(c.row.find("604") != std::string::npos ? 3 : 2));
        }
    }
}

TEST(JackettParse, ObjectOrArrayInATextFieldWarnsWithTheKey) {
    Parsed p;
    parse_jackett(p, one_row(R"("Title":{"a":1},"link":[1,2],"Guid":"g")"));
    ASSERT_EQ(p.rc, OK);
    EXPECT_STREQ(p.row(0).title, "");
    EXPECT_STREQ(p.row(0).link, "");
    EXPECT_STREQ(p.row(0).guid, "g");
    EXPECT_EQ(p.warnings(), (std::vector<std::string>{
                                "field Title: object/array where a scalar was expected, treated as empty",
                                "field Link: object/array where a scalar was expected, treated as empty"}));
}

TEST(JackettParse, NumericFields) {
    struct { const char *member; const char *field; int64_t want; } cases[] = {
        {R"("Seeders":"12")", "seeders", 12},
        {R"("Seeders":"n/a")", "seeders", -1},
        {R"("Seeders":3000000000)", "seeders", 2147483647},
        {R"("Seeders":-5)", "seeders", -5},
        {R"("Seeders":null)", "seeders", -1},
        {R"("peers":7.9)", "peers", 7},
        {R"("Files":true)", "files", -1},
        {R"("Size":-1)", "has_size", 0},
        {R"("Size":-1)", "size", 0},
        {R"("Size":"1024")", "has_size", 1},
        {R"("Size":"1024")", "size", 1024},
        {R"("Size":0)", "has_size", 1},
        {R"("Size":18446744073709551615)", "has_size", 0},
        {R"("DownloadVolumeFactor":0.25)", "dvf", 250},
        {R"("DownloadVolumeFactor":1)", "dvf", 1000},
        {R"("DownloadVolumeFactor":0)", "dvf", 0},
        {R"("DownloadVolumeFactor":1000)", "dvf", 1000000},
        {R"("DownloadVolumeFactor":-0.5)", "dvf", -1},
        {R"("DownloadVolumeFactor":1001)", "dvf", -1},
        {R"("DownloadVolumeFactor":true)", "dvf", -1},
        {R"("DownloadVolumeFactor":null)", "dvf", -1},
        {R"("DownloadVolumeFactor":"0.5")", "dvf", 500},
        {R"("DownloadVolumeFactor":"0.5 ")", "dvf", -1},
        {R"("DownloadVolumeFactor":"")", "dvf", -1},
        {R"("DownloadVolumeFactor":"x")", "dvf", -1},
        {R"("DownloadVolumeFactor":"nan")", "dvf", -1},
        {R"("PublishDate":"2024-03-01")", "publish_date", 1709251200000LL},
        {R"("PublishDate":"yesterday")", "publish_date", -1},
        {R"("PublishDate":null)", "publish_date", -1},
        {R"("PublishDate":20240301)", "publish_date", -1},
        {R"("Category":5000)", "category_count", 1},
        {R"("Category":"5000")", "category_count", 0},
    };
    for (auto &c : cases) {
        Parsed p;
        parse_jackett(p, one_row(c.member));
        ASSERT_EQ(p.rc, OK) << c.member;
        ASSERT_EQ(p.rs.row_count, 1);
        EXPECT_EQ(row_num(p.row(0), c.field), c.want) << c.member << " " << c.field;
    }
}

TEST(JackettParse, NonObjectRowsAreCountedAndSkipped) {
    Parsed p;
    parse_jackett(p, R"({"Results":[1,{"Guid":"a"},"s",{"Guid":"a"},null]})");
    ASSERT_EQ(p.rc, OK);
    ASSERT_EQ(p.rs.row_count, 2); // duplicates are not merged
    EXPECT_STREQ(p.row(0).guid, "a");
    EXPECT_STREQ(p.row(1).guid, "a");
    EXPECT_EQ(p.warnings(), (std::vector<std::string>{"Jackett: 3 non-object rows in Results ignored"}));
}

TEST(JackettParse, RowLimitKeepsTheFirst200000) {
    std::string json = R"({"Results":[7,)";
    for (int i = 0; i < max_rows + 2; ++i) json += i ? ",{\"Seeders\":" + std::to_string(i) + "}" : "{\"Seeders\":0}";
    json += ",8]}";
    Parsed p;
    parse_jackett(p, json);
    ASSERT_EQ(p.rc, OK);
    ASSERT_EQ(p.rs.row_count, max_rows);
    EXPECT_EQ(p.row(max_rows - 1).seeders, max_rows - 1);
    // Only the non-object met before the walk stopped is counted.
    EXPECT_EQ(p.warnings(), (std::vector<std::string>{"Jackett: more than 200000 results, the rest dropped",
                                                      "Jackett: 1 non-object rows in Results ignored"}));
}

TEST(JackettParse, ExactlyTheLimitGivesNoWarning) {
    std::string json = R"({"Results":[)";
    for (int i = 0; i < max_rows; ++i) json += i ? ",{}" : "{}";
    json += "]}";
    Parsed p;
    parse_jackett(p, json);
    ASSERT_EQ(p.rc, OK);
    EXPECT_EQ(p.rs.row_count, max_rows);
    EXPECT_TRUE(p.warnings().empty());
}

TEST(JackettParse, WarningsStopAt64) {
    std::string json = R"({"Results":[)";
    for (int i = 0; i < 100; ++i) json += std::string(i ? "," : "") + R"({"Title":[]})";
    json += "]}";
    Parsed p;
    parse_jackett(p, json);
    EXPECT_EQ(p.rc, OK);
    EXPECT_EQ(p.rs.row_count, 100);
    EXPECT_EQ(p.ctx.warning_count, max_warnings);
}

TEST(JackettParse, AllocationFailureSweep) {
    std::string json = R"({"Indexers":[{"ID":"a","Name":"A","Error":"","Status":1},{"ID":"b"}],"Results":[)";
    for (int i = 0; i < 70; ++i)
        json += std::string(i ? "," : "") + R"({"Title":"t","TMDb":603,"Imdb":"tt0133093","Category":[2000,5000],"Seeders":"4"})";
    json += R"(,{"Title":"no built texts"}]})";
    sweep(json, true, false);
}

TEST(JackettParse, AllocationFailureSweepWithWarnings) {
    sweep(R"({"Indexers":5,"Results":[1,{"Title":{},"TMDb":1}]})", true, true);
}

} // namespace
