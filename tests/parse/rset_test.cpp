// Result sets: growth, release, and the release of rows the parsers built.
#include "parse_support.h"

namespace {
struct SearchDrops : KovaTest, ServiceUrls {};

// Rows and indexer entries added one by one, marked with their index; the
// marks tell whether growing kept every earlier entry in place.
constexpr int k_many = 5000;

TEST(ResultSet, RowsGrowKeepingEveryRowAndComeCleared) {
    result_set rs{};
    for (int i = 0; i < k_many; ++i) {
        result_row *r = rs_add(&rs);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->title, nullptr);
        EXPECT_EQ(r->raw, nullptr);
        EXPECT_EQ(r->seeders, 0);
        r->seeders = i;
        ASSERT_EQ(rs.row_count, i + 1);
    }
    for (int i = 0; i < k_many; ++i) ASSERT_EQ(rs.rows[i].seeders, i);
    result_set_free(&rs);
}

TEST(ResultSet, IndexerEntriesGrowKeepingEveryEntryAndAreCountedByTheCaller) {
    result_set rs{};
    for (int i = 0; i < k_many; ++i) {
        indexer_entry *e = rs_add_indexer(&rs);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(rs.indexer_count, i); // not counted until filled
        e->id = text_dup(std::to_string(i).c_str());
        e->name = text_dup("n");
        e->error = text_dup("");
        ++rs.indexer_count;
    }
    for (int i = 0; i < k_many; ++i) ASSERT_EQ(S(rs.indexers[i].id), std::to_string(i));
    result_set_free(&rs);
    EXPECT_EQ(rs.indexers, nullptr);
}

// Whenever growing fails, the set stays as it was: same rows and entries,
// same counts, every mark intact; the next add then works again.
TEST(ResultSet, FailedGrowthLeavesTheSetAsItWas) {
    result_set rs{};
    int failed_rows = 0, failed_indexers = 0;
    for (int i = 0; i < k_many; ++i) {
        fault_arm(1);
        result_row *r = rs_add(&rs);
        bool grew = fault_injected();
        fault_disarm();
        if (grew) {
            EXPECT_EQ(r, nullptr);
            EXPECT_EQ(rs.row_count, i);
            ++failed_rows;
            r = rs_add(&rs);
        }
        ASSERT_NE(r, nullptr);
        r->seeders = i;

        fault_arm(1);
        indexer_entry *e = rs_add_indexer(&rs);
        grew = fault_injected();
        fault_disarm();
        if (grew) {
            EXPECT_EQ(e, nullptr);
            EXPECT_EQ(rs.indexer_count, i);
            ++failed_indexers;
            e = rs_add_indexer(&rs);
        }
        ASSERT_NE(e, nullptr);
        e->results = i;
        ++rs.indexer_count;
    }
    EXPECT_GT(failed_rows, 1); // growth happened, and more than once
    EXPECT_GT(failed_indexers, 1);
    for (int i = 0; i < k_many; ++i) {
        ASSERT_EQ(rs.rows[i].seeders, i);
        ASSERT_EQ(rs.indexers[i].results, i);
    }
    result_set_free(&rs);
}

TEST(ResultSet, FreeIsSafeOnEmptyAndTwice) {
    result_set rs{};
    result_set_free(&rs);
    Parsed p;
    parse_jackett(p, R"({"Results":[{"TMDb":1,"Category":[1,2]}],"Indexers":[{"ID":"a"}]})");
    ASSERT_EQ(p.rc, OK);
    result_set_free(&p.rs);
    result_set_free(&p.rs);
    result_set zero{};
    EXPECT_EQ(memcmp(&p.rs, &zero, sizeof zero), 0);
}

TEST(ResultSet, RowFreeClearsEveryField) {
    Parsed p;
    parse_jackett(p, R"({"Results":[{"Title":"t","TMDb":1,"Imdb":"tt5","Category":[1,2],"Seeders":3}]})");
    ASSERT_EQ(p.rs.row_count, 1);
    result_row *r = &p.rs.rows[0];
    EXPECT_NE(r->own, nullptr);
    EXPECT_EQ(reinterpret_cast<char *>(r->category), r->own); // one block per row
    row_free(r);
    result_row zero{};
    EXPECT_EQ(memcmp(r, &zero, sizeof zero), 0);
    row_free(r); // safe on a cleared row
}

TEST(ResultSet, RowFreeReleasesASeparateCategoriesArray) {
    result_row r{};
    r.category = static_cast<int32_t *>(mem_alloc(4 * sizeof(int32_t)));
    r.category_count = 4;
    row_free(&r); // LeakSanitizer checks it was released
    EXPECT_EQ(r.category, nullptr);
}

// Row blocks share chunks: the chunk goes with its last row, in any order.
TEST(ResultSet, RowBlocksOutliveTheirNeighbours) {
    std::string json = R"({"Results":[)";
    for (int i = 0; i < 3000; ++i) json += std::string(i ? "," : "") + R"({"TMDb":)" + std::to_string(i) + "}";
    json += "]}";
    Parsed p;
    parse_jackett(p, json);
    ASSERT_EQ(p.rs.row_count, 3000);
    for (int i = 0; i < 3000; i += 3) row_free(&p.rs.rows[i]);
    for (int i = 1; i < 3000; i += 3) EXPECT_EQ(S(p.rs.rows[i].tmdb), std::to_string(i));
    for (int i = 2998; i > 0; i -= 3) row_free(&p.rs.rows[i]);
    for (int i = 2; i < 3000; i += 3) EXPECT_EQ(S(p.rs.rows[i].tmdb), std::to_string(i));
    // result_set_free in ~Parsed releases the remaining third in runs per
    // chunk, skipping the cleared rows; LeakSanitizer checks the chunks.
}

// The title stage of a search drops rows of other IMDb ids and moves the
// rows after them down: what a moved row built itself (numbers as text, its
// categories) must move with it, and the dropped rows' blocks be released
// (LeakSanitizer and valgrind check both).
TEST_F(SearchDrops, RowsMovedDownStayValid) {
    kova_use_fake();
    ASSERT_EQ(kova_jackett_configure("j", 0, 0, "k"), KOVA_OK);
    ASSERT_EQ(kova_fake_set(J("/api/v2.0/indexers/all/results", "Query=tt0000007").c_str(), 200, R"({"Results":[]})"),
              KOVA_OK);
    ASSERT_EQ(kova_fake_set(J("/api/v2.0/indexers/all/results", "Query=Film").c_str(), 200,
                            R"({"Results":[{"Title":"a","Imdb":8,"TMDb":1,"Category":[1]},
                                           {"Title":"b","Imdb":7,"TMDb":2,"Category":[7,8]},
                                           {"Title":"c","Imdb":9,"TMDb":3},
                                           {"Title":"d","TMDb":4,"Category":[4]}]})"),
              KOVA_OK);
    ASSERT_EQ(kova_jackett_search_imdb("tt0000007", "Film", nullptr), KOVA_OK);
    EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_TITLE);
    ASSERT_EQ(kova_result_count(), 2);
    EXPECT_STREQ(kova_result_title(0), "b");
    EXPECT_STREQ(kova_result_tmdb(0), "2");
    EXPECT_STREQ(kova_result_imdb(0), "7");
    ASSERT_EQ(kova_result_category_count(0), 2);
    EXPECT_EQ(kova_result_category(0, 1), 8);
    EXPECT_STREQ(kova_result_title(1), "d");
    EXPECT_STREQ(kova_result_tmdb(1), "4");
    EXPECT_EQ(kova_result_category(1, 0), 4);
    EXPECT_STREQ(kova_warning(0), "stage2: dropped 2 rows with a different Imdb");
}

} // namespace
