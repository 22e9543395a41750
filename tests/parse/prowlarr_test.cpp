// Prowlarr's answers: the search's release objects as rows, and the indexers
// with their status.
#include "parse/parse_support.h"

namespace {

TEST(ProwlarrParse, ReadsARecordedSearch) {
    Parsed p;
    const std::string text = fixture("prowlarr/search-severance-2.5.2.json");
    p.rc = parse_prowlarr(&p.ctx, &p.rs, text.data(), text.size());
    ASSERT_EQ(p.rc, OK) << p.err();
    ASSERT_EQ(p.rs.row_count, 3);
    EXPECT_TRUE(p.warnings().empty());
    const struct {
        const char *title, *tracker, *tracker_id, *imdb, *category_desc, *info_hash;
        int64_t size, seeders, peers, files;
        std::vector<int32_t> categories;
    } want[] = {
        {"Severance (2006) 720p BRRip x264 -YTS", "YTS", "4", "464196", "Movies/HD",
         "F74E542F0E2283D6827F59728D152959C73A6FD4", 864624312, 6, 11, -1, {2040, 100045}},
        {"Severance - S01 - Mp4 x264 AC3 1080p", "The Pirate Bay", "5", "11280740", "TV/HD",
         "34FF1FAE9661D72152FB1FC31E27C15297072654", 10575330041, 754, 1347, 10, {5040, 100208}},
        {"Severance - S02 - Mp4 x264 AC3 1080p", "The Pirate Bay", "5", "11280740", "TV/HD",
         "959ED8BE27CFFCB61603EFF33D393C94DF2BE2D7", 12246342176, 588, 987, 11, {5040, 100208}},
    };
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const result_row &r = p.row(i);
        expect_complete(r);
        EXPECT_EQ(row_text(r, "title"), want[i].title);
        EXPECT_EQ(row_text(r, "tracker"), want[i].tracker);
        EXPECT_EQ(row_text(r, "tracker_id"), want[i].tracker_id);
        EXPECT_EQ(row_text(r, "imdb"), want[i].imdb);
        EXPECT_EQ(row_text(r, "tmdb"), "");  // 0: none
        EXPECT_EQ(row_text(r, "tvdb"), "");
        EXPECT_EQ(row_text(r, "category_desc"), want[i].category_desc); // 100045 and up have no name
        EXPECT_EQ(row_text(r, "info_hash"), want[i].info_hash);
        EXPECT_EQ(row_num(r, "size"), want[i].size);
        EXPECT_EQ(row_num(r, "seeders"), want[i].seeders);
        EXPECT_EQ(row_num(r, "peers"), want[i].peers); // seeders and leechers
        EXPECT_EQ(row_num(r, "files"), want[i].files);
        EXPECT_EQ(row_cats(r), want[i].categories);
        EXPECT_EQ(row_num(r, "dvf"), 0); // freeleech
        EXPECT_EQ(row_num(r, "season"), -1);
        EXPECT_EQ(row_num(r, "episode"), -1);
        EXPECT_EQ(release_protocol(p.rs, r), std::string("torrent"));
    }
    EXPECT_EQ(row_text(p.row(0), "details"), "https://yts.gg/movies/severance-2006");
    EXPECT_EQ(row_num(p.row(0), "publish_date"), 1550493960000);
    EXPECT_EQ(release_indexer_id(p.rs, p.row(1)), 5);
    EXPECT_EQ(row_text(p.row(0), "link").rfind("http://localhost:19696/4/download?", 0), 0u);
}

TEST(ProwlarrParse, ReadsTolerantly) {
    const struct {
        const char *row;
        const char *field;
        int64_t value; // numeric fields
        const char *text;
    } cases[] = {
        // A usenet release has no seeders or leechers.
        {R"({"protocol":"usenet","title":"u"})", "peers", -1, nullptr},
        {R"({"seeders":3})", "peers", 3, nullptr},
        {R"({"leechers":"4"})", "peers", 4, nullptr},
        {R"({"Seeders":"2","LEECHERS":5})", "peers", 7, nullptr},
        {R"({"indexerFlags":["halfleech"]})", "dvf", 500, nullptr},
        {R"({"indexerFlags":["neutralleech","x"]})", "dvf", 0, nullptr},
        {R"({"indexerFlags":["HalfLeech","FreeLeech"]})", "dvf", 0, nullptr},
        {R"({"indexerFlags":[]})", "dvf", 1000, nullptr},
        {R"({})", "dvf", 1000, nullptr},
        {R"({"size":"12"})", "size", 12, nullptr},
        {R"({"files":null})", "files", -1, nullptr},
        {R"({"imdbId":0,"tmdbId":603,"tvdbId":"81189"})", "imdb", 0, ""},
        {R"({"imdbId":"tt0063350"})", "imdb", 0, "63350"},
        {R"({"tmdbId":603})", "tmdb", 0, "603"},
        {R"({"tvdbId":"81189"})", "tvdb", 0, "81189"},
        {R"({"IndexerId":"7"})", "tracker_id", 0, "7"},
        {R"({"categories":[{"id":2000,"name":"Movies","subCategories":[{"id":2040,"name":"Movies/HD"}]},
              {"id":5000,"name":"TV"},{"id":100001}]})", "category_desc", 0, "Movies, TV"},
        {R"({"categories":[{"id":100001}]})", "category_desc", 0, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.row);
        Parsed p;
        std::string text = std::string("[") + c.row + "]";
        p.rc = parse_prowlarr(&p.ctx, &p.rs, text.data(), text.size());
        ASSERT_EQ(p.rc, OK);
        ASSERT_EQ(p.rs.row_count, 1);
        if (c.text)
            EXPECT_EQ(row_text(p.row(0), c.field), c.text);
        else
            EXPECT_EQ(row_num(p.row(0), c.field), c.value);
    }
    // Prowlarr names the protocol; "unknown" is none of the two.
    for (const auto &[row, protocol] : {std::pair<const char *, const char *>{R"({"protocol":"usenet"})", "usenet"},
                                        {R"({"protocol":"torrent"})", "torrent"},
                                        {R"({"protocol":"unknown"})", ""}}) {
        Parsed q;
        std::string text = std::string("[") + row + "]";
        ASSERT_EQ(parse_prowlarr(&q.ctx, &q.rs, text.data(), text.size()), OK);
        EXPECT_EQ(release_protocol(q.rs, q.row(0)), std::string(protocol)) << row;
    }
    // Only the categories' own ids: a sub-category is not the release's.
    Parsed p;
    const std::string text = R"([{"categories":[{"id":2000,"subCategories":[{"id":2040}]},{"id":5040}]}])";
    ASSERT_EQ(parse_prowlarr(&p.ctx, &p.rs, text.data(), text.size()), OK);
    EXPECT_EQ(row_cats(p.row(0)), (std::vector<int32_t>{2000, 5040}));
}

TEST(ProwlarrParse, RefusesWhatIsNoArrayOfReleases) {
    const struct {
        const char *text, *err;
        int32_t rc;
    } cases[] = {
        {R"({"message":"x"})", "Prowlarr: response is object, not an array", ERR_JSON},
        {"nope", "Prowlarr: response is not JSON", ERR_JSON},
        {"[1,{\"title\":\"t\"}]", "", OK},
    };
    for (const auto &c : cases) {
        Parsed p;
        p.rc = parse_prowlarr(&p.ctx, &p.rs, c.text, strlen(c.text));
        EXPECT_EQ(p.rc, c.rc) << c.text;
        EXPECT_EQ(p.err(), c.err);
    }
    Parsed p;
    p.rc = parse_prowlarr(&p.ctx, &p.rs, "[1,{},\"x\"]", 10);
    EXPECT_EQ(p.warnings(), (std::vector<std::string>{"Prowlarr: 2 non-object rows ignored"}));
}

TEST(ProwlarrParse, IndexersHeldBackAreFailedUntilTheirTime) {
    Json indexers(fixture("prowlarr/indexer-list-5-public-fieldsstripped.json"));
    Json status(fixture("prowlarr/indexerstatus-one-disabled.json"));
    // LimeTorrents (id 3) is held back until 2026-09-13T12:27:57Z.
    const int64_t before = 1789302477 - 60, after = 1789302477 + 60;
    for (int64_t now : {before, after}) {
        SCOPED_TRACE(now);
        Parsed p;
        ASSERT_EQ(read_prowlarr_indexers(&p.ctx, &p.rs, indexers.root(), status.root(), now), OK);
        ASSERT_EQ(p.rs.indexer_count, 5);
        const indexer_entry &lime = p.rs.indexers[0];
        EXPECT_STREQ(lime.id, "3");
        EXPECT_STREQ(lime.name, "LimeTorrents");
        EXPECT_EQ(lime.status, now == before ? KOVA_INDEXER_FAILED : 0);
        EXPECT_STREQ(lime.error, now == before ? "held back after failures since 2026-07-27T06:52:06Z until "
                                                 "2026-09-13T12:27:57Z"
                                               : "");
        EXPECT_EQ(p.rs.indexers_errored, now == before ? 1 : 0);
        for (int i = 1; i < 5; ++i) EXPECT_EQ(p.rs.indexers[i].status, 0) << p.rs.indexers[i].name;
    }
    // A disabled indexer is no indexer of the searches; results count the
    // set's rows of each.
    Parsed p;
    const std::string rows = R"([{"indexerId":4},{"indexerId":4},{"indexerId":5}])";
    ASSERT_EQ(parse_prowlarr(&p.ctx, &p.rs, rows.data(), rows.size()), OK);
    Json few(R"([{"id":4,"name":"YTS","enable":true},{"id":5,"name":"TPB","enable":false},{"id":6,"name":"N"}])");
    Json none("[]");
    ASSERT_EQ(read_prowlarr_indexers(&p.ctx, &p.rs, few.root(), none.root(), 0), OK);
    ASSERT_EQ(p.rs.indexer_count, 2);
    EXPECT_EQ(p.rs.indexers[0].results, 2);
    EXPECT_STREQ(p.rs.indexers[1].name, "N");
    EXPECT_EQ(p.rs.indexers[1].results, 0);
}

} // namespace
