// Result sets: growth, release, and the release of rows the parsers built.
#include "parse_support.h"

namespace {

TEST(ResultSet, RowsGrowFrom64ByDoubling) {
    kova_rset rs{};
    for (int i = 0; i < 64; ++i) ASSERT_NE(rs_add(&rs), nullptr);
    EXPECT_EQ(rs.row_cap, 64);
    kova_row *r = rs_add(&rs);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(rs.row_count, 65);
    EXPECT_EQ(rs.row_cap, 128);
    EXPECT_EQ(r->title, nullptr);
    EXPECT_EQ(r->raw, nullptr);
    EXPECT_EQ(r->seeders, 0);
    kova_rset_free(&rs);
}

TEST(ResultSet, FailedGrowthLeavesTheSetAsItWas) {
    kova_rset rs{};
    for (int i = 0; i < 64; ++i) rs_add(&rs);
    kova_row *before = rs.rows;
    kova_fault_arm(1);
    EXPECT_EQ(rs_add(&rs), nullptr);
    kova_fault_arm(1);
    EXPECT_EQ(rs_add_indexer(&rs), nullptr);
    kova_fault_disarm();
    EXPECT_EQ(rs.rows, before);
    EXPECT_EQ(rs.row_count, 64);
    EXPECT_EQ(rs.row_cap, 64);
    EXPECT_EQ(rs.indexer_cap, 0);
    kova_rset_free(&rs);
}

TEST(ResultSet, IndexerEntriesGrowFrom16AndAreCountedByTheCaller) {
    kova_rset rs{};
    for (int i = 0; i < 17; ++i) {
        kova_indexer *e = rs_add_indexer(&rs);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(rs.indexer_count, i); // not counted until filled
        e->id = kova_strdup("i");
        e->name = kova_strdup("n");
        e->error = kova_strdup("");
        ++rs.indexer_count;
        EXPECT_EQ(rs.indexer_cap, i < 16 ? 16 : 32);
    }
    kova_rset_free(&rs);
    EXPECT_EQ(rs.indexers, nullptr);
}

TEST(ResultSet, FreeIsSafeOnEmptyAndTwice) {
    kova_rset rs{};
    kova_rset_free(&rs);
    Parsed p;
    parse_jackett(p, R"({"Results":[{"TMDb":1,"Category":[1,2]}],"Indexers":[{"ID":"a"}]})");
    ASSERT_EQ(p.rc, OK);
    kova_rset_free(&p.rs);
    kova_rset_free(&p.rs);
    kova_rset zero{};
    EXPECT_EQ(memcmp(&p.rs, &zero, sizeof zero), 0);
}

TEST(ResultSet, RowFreeClearsEveryField) {
    Parsed p;
    parse_jackett(p, R"({"Results":[{"Title":"t","TMDb":1,"Imdb":"tt5","Category":[1,2],"Seeders":3}]})");
    ASSERT_EQ(p.rs.row_count, 1);
    kova_row *r = &p.rs.rows[0];
    EXPECT_NE(r->own, nullptr);
    EXPECT_EQ(reinterpret_cast<char *>(r->categories), r->own); // one block per row
    kova_row_free(r);
    kova_row zero{};
    EXPECT_EQ(memcmp(r, &zero, sizeof zero), 0);
    kova_row_free(r); // safe on a cleared row
}

TEST(ResultSet, RowFreeReleasesASeparateCategoriesArray) {
    kova_row r{};
    r.categories = static_cast<int32_t *>(kova_malloc(4 * sizeof(int32_t)));
    r.category_count = 4;
    kova_row_free(&r); // LeakSanitizer checks it was released
    EXPECT_EQ(r.categories, nullptr);
}

// Row blocks share chunks: the chunk goes with its last row, in any order.
TEST(ResultSet, RowBlocksOutliveTheirNeighbours) {
    std::string json = R"({"Results":[)";
    for (int i = 0; i < 3000; ++i) json += std::string(i ? "," : "") + R"({"TMDb":)" + std::to_string(i) + "}";
    json += "]}";
    Parsed p;
    parse_jackett(p, json);
    ASSERT_EQ(p.rs.row_count, 3000);
    for (int i = 0; i < 3000; i += 3) kova_row_free(&p.rs.rows[i]);
    for (int i = 1; i < 3000; i += 3) EXPECT_EQ(S(p.rs.rows[i].tmdb), std::to_string(i));
    for (int i = 2998; i > 0; i -= 3) kova_row_free(&p.rs.rows[i]);
    for (int i = 2; i < 3000; i += 3) EXPECT_EQ(S(p.rs.rows[i].tmdb), std::to_string(i));
    // kova_rset_free in ~Parsed releases the remaining third in runs per
    // chunk, skipping the cleared rows; LeakSanitizer checks the chunks.
}

TEST(ResultSet, RowsMovedWholeStayValid) {
    // The search drops rows and moves later ones down by copying them.
    Parsed p;
    parse_jackett(p, R"({"Results":[{"TMDb":1},{"TMDb":2,"Category":[7]}]})");
    ASSERT_EQ(p.rs.row_count, 2);
    kova_row_free(&p.rs.rows[0]);
    p.rs.rows[0] = p.rs.rows[1];
    memset(&p.rs.rows[1], 0, sizeof(kova_row));
    p.rs.row_count = 1;
    EXPECT_STREQ(p.rs.rows[0].tmdb, "2");
    EXPECT_EQ(row_cats(p.rs.rows[0]), std::vector<int32_t>{7});
}

} // namespace
