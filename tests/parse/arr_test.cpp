// The Sonarr/Radarr release-list parser.
#include "parse_support.h"

namespace {

std::string one(const std::string &members) { return "[{" + members + "}]"; }

TEST(ArrParse, RejectsWhatIsNotAJsonArray) {
    struct { const char *json; const char *err; } cases[] = {
        {"", "release list is not JSON"},
        {"[{]", "release list is not JSON"},
        {"{}", "release list is object, not an array"},
        {"5", "release list is uint, not an array"},
        {"null", "release list is null, not an array"},
        {R"("[]")", "release list is string, not an array"},
    };
    for (auto &c : cases) {
        Parsed p;
        parse_arr(p, c.json);
        EXPECT_EQ(p.rc, ERR_JSON) << c.json;
        EXPECT_EQ(p.err(), c.err) << c.json;
    }
}

TEST(ArrParse, EmptyListAndNonObjectElements) {
    {
        Parsed p;
        parse_arr(p, "[]");
        EXPECT_EQ(p.rc, OK);
        EXPECT_EQ(p.rs.row_count, 0);
        EXPECT_TRUE(p.warnings().empty());
    }
    Parsed p;
    parse_arr(p, R"([{"guid":"x"},1,{"guid":"x"}])");
    ASSERT_EQ(p.rc, OK);
    ASSERT_EQ(p.rs.row_count, 2); // same guid twice: two rows
    EXPECT_EQ(p.rs.indexer_count, 0);
    EXPECT_EQ(p.warnings(), (std::vector<std::string>{"1 non-object release rows ignored"}));
}

TEST(ArrParse, ReadsAFullRelease) {
    Parsed p;
    parse_arr(p, R"([{"guid":"g1","quality":{"quality":{"id":7}},"title":"Show.S01E05.1080p",
        "indexer":"NZBgeek","indexerId":12,"downloadUrl":"http://dl","infoUrl":"http://info",
        "magnetUrl":"magnet:?x","infoHash":"abc","tmdbId":603,"tvdbId":0,"imdbId":"tt0133093",
        "size":123456789,"seeders":5,"leechers":6,"categories":[{"id":5040,"name":"TV/HD"},{"id":5000}],
        "publishDate":"2024-03-01T12:30:45Z","indexerFlags":["G_Halfleech"],"seasonNumber":1,
        "episodeNumbers":[5,6],"fullSeason":false}])");
    ASSERT_EQ(p.rc, OK);
    ASSERT_EQ(p.rs.row_count, 1);
    const result_row &r = p.row(0);
    std::pair<const char *, const char *> texts[] = {
        {"title", "Show.S01E05.1080p"}, {"tracker", "NZBgeek"}, {"tracker_id", "12"}, {"guid", "g1"},
        {"link", "http://dl"}, {"details", "http://info"}, {"magnet", "magnet:?x"}, {"info_hash", "abc"},
        {"category_desc", ""}, {"tmdb", "603"}, {"tvdb", ""}, {"imdb", "133093"},
    };
    for (auto &t : texts) EXPECT_EQ(row_text(r, t.first), t.second) << t.first;
    EXPECT_EQ(r.has_size, 1);
    EXPECT_EQ(r.size, 123456789);
    EXPECT_EQ(r.seeders, 5);
    EXPECT_EQ(r.peers, 6);
    EXPECT_EQ(r.files, -1);
    EXPECT_EQ(row_cats(r), (std::vector<int32_t>{5040, 5000}));
    EXPECT_EQ(r.publish_date, 1709296245000LL);
    EXPECT_EQ(r.download_volume_factor, 500);
    EXPECT_EQ(r.season, 1);
    EXPECT_EQ(r.episode, 5);
    EXPECT_EQ(r.full_season, 0);
    EXPECT_TRUE(p.warnings().empty());
}

TEST(ArrParse, TextFields) {
    struct { const char *member; const char *field; const char *want; } cases[] = {
        {R"("tmdbId":0)", "tmdb", ""},
        {R"("tmdbId":"0")", "tmdb", ""},
        {R"("tmdbId":"00")", "tmdb", "00"},
        {R"("tmdbId":603)", "tmdb", "603"},
        {R"("tvdbId":0)", "tvdb", ""},
        {R"("tvdbId":0,"tmdbId":5)", "tmdb", "5"},
        {R"("tmdbId":0,"tvdbId":7)", "tvdb", "7"},
        {R"("tmdbId":0.0)", "tmdb", ""},
        {R"("Title":"case-shifted")", "title", "case-shifted"},
        {R"("TITLE":"upper","title":"exact")", "title", "exact"},
        {R"("indexerid":"7")", "tracker_id", "7"},
        {R"("imdbId":0)", "imdb", ""},
        {R"("imdbId":133093)", "imdb", "133093"},
        {R"("CategoryDesc":"ignored")", "category_desc", ""},
    };
    for (auto &c : cases) {
        Parsed p;
        parse_arr(p, one(c.member));
        ASSERT_EQ(p.rc, OK) << c.member;
        expect_complete(p.row(0));
        EXPECT_EQ(row_text(p.row(0), c.field), c.want) << c.member;
    }
}

TEST(ArrParse, ObjectInATextFieldWarnsWithTheCamelCaseKey) {
    Parsed p;
    parse_arr(p, one(R"("title":[],"tmdbId":{})"));
    ASSERT_EQ(p.rc, OK);
    EXPECT_EQ(p.warnings(), (std::vector<std::string>{
                                "field title: object/array where a scalar was expected, treated as empty",
                                "field tmdbId: object/array where a scalar was expected, treated as empty"}));
}

TEST(ArrParse, NumericFields) {
    struct { const char *member; const char *field; int64_t want; } cases[] = {
        {"", "dvf", -1},
        {R"("indexerFlags":1)", "dvf", 0},
        {R"("indexerFlags":2)", "dvf", 500},
        {R"("indexerFlags":3)", "dvf", 0},
        {R"("indexerFlags":4)", "dvf", 1000},
        {R"("indexerFlags":0)", "dvf", 1000},
        {R"("indexerFlags":-1)", "dvf", 0},
        {R"("indexerFlags":-2)", "dvf", 500},
        {R"("indexerFlags":null)", "dvf", 1000},
        {R"("indexerFlags":"1")", "dvf", 1000},
        {R"("indexerFlags":1.0)", "dvf", 1000},
        {R"("indexerFlags":true)", "dvf", 1000},
        {R"("indexerFlags":{})", "dvf", 1000},
        {R"("indexerFlags":[])", "dvf", 1000},
        {R"("indexerFlags":["g_halfleech"])", "dvf", 500},
        {R"("indexerFlags":["G_Freeleech","G_Halfleech"])", "dvf", 0},
        {R"("indexerFlags":["G_Halfleech","G_FREELEECH"])", "dvf", 0},
        {R"("indexerFlags":[1,"G_Scene",null])", "dvf", 1000},
        {R"("episodeNumbers":[5,6])", "episode", 5},
        {R"("episodeNumbers":["7"])", "episode", 7},
        {R"("episodeNumbers":[])", "episode", -1},
        {R"("episodeNumbers":5)", "episode", -1},
        {R"("episodeNumbers":[null,4])", "episode", -1},
        {R"("episodeNumbers":[[4]])", "episode", -1},
        {R"("seasonNumber":"3")", "season", 3},
        {R"("seasonNumber":null)", "season", -1},
        {R"("fullSeason":true)", "full_season", 1},
        {R"("fullSeason":"true")", "full_season", 0},
        {R"("fullSeason":1)", "full_season", 0},
        {R"("leechers":"9")", "peers", 9},
        {R"("size":-5)", "has_size", 0},
        {R"("size":0)", "has_size", 1},
        {R"("publishDate":"2024-03-01T12:30:45.123456789Z")", "publish_date", 1709296245123LL},
        {R"("publishDate":null)", "publish_date", -1},
        {R"("categories":[5000,"5040",{"name":"x"}])", "category_count", 1},
        {"", "files", -1},
    };
    for (auto &c : cases) {
        Parsed p;
        parse_arr(p, one(c.member));
        ASSERT_EQ(p.rc, OK) << c.member;
        EXPECT_EQ(row_num(p.row(0), c.field), c.want) << c.member << " " << c.field;
    }
}

TEST(ArrParse, RowLimit) {
    std::string json = "[";
    for (int i = 0; i <= max_rows; ++i) json += i ? ",{}" : "{}";
    json += ",true]";
    Parsed p;
    parse_arr(p, json);
    ASSERT_EQ(p.rc, OK);
    EXPECT_EQ(p.rs.row_count, max_rows);
    EXPECT_EQ(p.warnings(), (std::vector<std::string>{"more than 200000 releases, the rest dropped"}));
}

TEST(ArrParse, AllocationFailureSweep) {
    std::string json = "[";
    for (int i = 0; i < 70; ++i)
        json += std::string(i ? "," : "") +
                R"({"title":"t","tmdbId":603,"tvdbId":0,"imdbId":"tt1","categories":[{"id":5000}],"size":"9"})";
    json += R"(,{"title":"plain"}])";
    sweep(json, false, false);
}

TEST(ArrParse, AllocationFailureSweepWithWarnings) { sweep(R"([1,{"title":{},"tmdbId":1}])", false, true); }

} // namespace
