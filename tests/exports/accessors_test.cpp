#include <string>

#include "support/kova_test.h"

using Accessors = KovaTest;

namespace {
using text_fn = const char *(*)(int32_t);
using int_fn = int32_t (*)(int32_t);

struct TextAccessor {
    const char *name;
    text_fn fn;
    int32_t (*count)();
};
struct IntAccessor {
    const char *name;
    int_fn fn;
    int32_t missing;
    int32_t (*count)();
};

const TextAccessor k_text[] = {
    {"result_title", kova_result_title, kova_result_count},
    {"result_tracker", kova_result_tracker, kova_result_count},
    {"result_tracker_id", kova_result_tracker_id, kova_result_count},
    {"result_guid", kova_result_guid, kova_result_count},
    {"result_link", kova_result_link, kova_result_count},
    {"result_details", kova_result_details, kova_result_count},
    {"result_magnet", kova_result_magnet, kova_result_count},
    {"result_info_hash", kova_result_info_hash, kova_result_count},
    {"result_category_desc", kova_result_category_desc, kova_result_count},
    {"result_imdb", kova_result_imdb, kova_result_count},
    {"result_tmdb", kova_result_tmdb, kova_result_count},
    {"result_tvdb", kova_result_tvdb, kova_result_count},
    {"indexer_id", kova_indexer_id, kova_indexer_count},
    {"indexer_name", kova_indexer_name, kova_indexer_count},
    {"indexer_error", kova_indexer_error, kova_indexer_count},
    {"lookup_title", kova_lookup_title, kova_lookup_count},
    {"lookup_clean_title", kova_lookup_clean_title, kova_lookup_count},
    {"lookup_imdb", kova_lookup_imdb, kova_lookup_count},
    {"quality_profile_name", kova_quality_profile_name, kova_quality_profile_count},
    {"test_log_key", kova_test_log_key, kova_test_log_count},
    {"test_log_text", kova_test_log_text, kova_test_log_count},
    {"warning", kova_warning, kova_warning_count},
};
const IntAccessor k_int[] = {
    {"result_seeders", kova_result_seeders, -1, kova_result_count},
    {"result_peers", kova_result_peers, -1, kova_result_count},
    {"result_files", kova_result_files, -1, kova_result_count},
    {"result_category_count", kova_result_category_count, 0, kova_result_count},
    {"result_download_volume_factor", kova_result_download_volume_factor, -1, kova_result_count},
    {"result_season", kova_result_season, -1, kova_result_count},
    {"result_episode", kova_result_episode, -1, kova_result_count},
    {"result_full_season", kova_result_full_season, 0, kova_result_count},
    {"indexer_status", kova_indexer_status, -1, kova_indexer_count},
    {"indexer_results", kova_indexer_results, -1, kova_indexer_count},
    {"lookup_tvdb", kova_lookup_tvdb, -1, kova_lookup_count},
    {"lookup_tmdb", kova_lookup_tmdb, -1, kova_lookup_count},
    {"lookup_year", kova_lookup_year, -1, kova_lookup_count},
    {"lookup_library_id", kova_lookup_library_id, -1, kova_lookup_count},
    {"quality_profile_id", kova_quality_profile_id, -1, kova_quality_profile_count},
};

void expect_out_of_range_everywhere() {
    for (const TextAccessor &a : k_text) {
        int32_t n = a.count();
        for (int32_t i : {-1, n, n + 1, INT32_MIN, INT32_MAX}) {
            const char *t = a.fn(i);
            ASSERT_NE(t, nullptr) << a.name << " " << i;
            EXPECT_STREQ(t, "") << a.name << " " << i;
        }
    }
    for (const IntAccessor &a : k_int) {
        int32_t n = a.count();
        for (int32_t i : {-1, n, n + 1, INT32_MIN, INT32_MAX}) EXPECT_EQ(a.fn(i), a.missing) << a.name << " " << i;
    }
    int32_t n = kova_result_count();
    for (int32_t i : {-1, n, n + 1}) {
        uint64_t size = 77;
        EXPECT_EQ(kova_result_size(i, &size), KOVA_ERR_NOT_FOUND);
        EXPECT_EQ(size, 77u);
        EXPECT_EQ(kova_result_publish_date(i), -1);
        EXPECT_EQ(kova_result_category(i, 0), -1);
        EXPECT_STREQ(kova_result_field(i, "Title"), "");
    }
}

// Two rows, two indexers, a lookup list, profiles and a test log.
void load_everything() {
    kova_use_fake();
    ASSERT_EQ(kova_sonarr_configure("s", 0, 0, "k"), KOVA_OK);
    kova_fake_set("http://s:8989/api/v3/rootfolder?apikey=k", 200, "[{\"path\":\"/tv\"}]");
    kova_fake_set("http://s:8989/api/v3/qualityprofile?apikey=k", 200, "[{\"id\":3,\"name\":\"HD\"}]");
    ASSERT_EQ(kova_sonarr_test(), KOVA_OK);
    kova_fake_set("http://s:8989/api/v3/series/lookup?apikey=k&term=tt1", 200,
                  "[{\"title\":\"T\",\"imdbId\":\"tt1\",\"tvdbId\":4}]");
    ASSERT_EQ(kova_sonarr_lookup("tt1", nullptr), KOVA_OK);
    ASSERT_EQ(kova_parse_jackett("{\"Results\":[{\"Title\":\"a\",\"Seeders\":12,\"Size\":0,\"Category\":[2000,5030],"
                                 "\"Nothing\":null},{\"Title\":\"b\"}],"
                                 "\"Indexers\":[{\"ID\":\"x\",\"Name\":\"X\",\"Status\":1,\"Results\":2},"
                                 "{\"ID\":\"y\",\"Status\":0}]}"),
              KOVA_PARTIAL);
}
} // namespace

TEST_F(Accessors, ZeroStateGivesTheOutOfRangeValues) {
    EXPECT_EQ(kova_result_count(), 0);
    EXPECT_EQ(kova_lookup_match(), -1);
    EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_NONE);
    EXPECT_STREQ(kova_rootfolder(), "");
    EXPECT_EQ(kova_indexers_errored(), 0);
    EXPECT_EQ(kova_last_rc(), 0);
    EXPECT_STREQ(kova_last_error(), "");
    EXPECT_EQ(kova_warning_count(), 0);
    EXPECT_EQ(kova_library_writes_armed(), 0);
    expect_out_of_range_everywhere();
}

TEST_F(Accessors, LoadedStateBoundsEveryList) {
    load_everything();
    expect_out_of_range_everywhere();
    EXPECT_STREQ(kova_result_title(1), "b");
    EXPECT_STREQ(kova_result_tracker(1), "");
    EXPECT_EQ(kova_result_seeders(0), 12);
    EXPECT_EQ(kova_result_seeders(1), -1);
    EXPECT_EQ(kova_result_category(0, 1), 5030);
    EXPECT_EQ(kova_result_category(0, 2), -1);
    EXPECT_EQ(kova_result_category(0, -1), -1);
    EXPECT_EQ(kova_indexers_errored(), 1);
    EXPECT_EQ(kova_indexer_results(0), 2);
    EXPECT_STREQ(kova_indexer_name(1), "");
    EXPECT_EQ(kova_lookup_match(), 0);
    EXPECT_EQ(kova_quality_profile_id(0), 3);
    EXPECT_STREQ(kova_rootfolder(), "/tv");
}

TEST_F(Accessors, SizeDistinguishesZeroFromAbsent) {
    load_everything();
    uint64_t size = 99;
    EXPECT_EQ(kova_result_size(0, &size), KOVA_OK);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(kova_result_size(0, nullptr), KOVA_OK);
    size = 99;
    EXPECT_EQ(kova_result_size(1, &size), KOVA_ERR_NOT_FOUND);
    EXPECT_EQ(size, 99u);
}

TEST_F(Accessors, ResultFieldReadsTheRawRowByKey) {
    load_everything();
    EXPECT_STREQ(kova_result_field(0, "Seeders"), "12");
    EXPECT_STREQ(kova_result_field(0, "seeders"), "12");
    EXPECT_STREQ(kova_result_field(0, "Nothing"), "");
    EXPECT_STREQ(kova_result_field(0, "Missing"), "");
    EXPECT_STREQ(kova_result_field(0, "Category"), "");
    EXPECT_STREQ(kova_result_field(0, nullptr), "");
    const char *kept = kova_result_field(0, "Title");
    EXPECT_STREQ(kept, "a");
    kova_parse_jackett("{\"Results\":[]}");
    EXPECT_STREQ(kept, "a"); // a copy: valid until the next kova_result_field
    kova_result_field(-1, "Title");
    EXPECT_EQ(current().field_text, nullptr);
}

TEST_F(Accessors, LookupMatchIsMinusOneWithoutEntries) {
    current().match = 3;
    EXPECT_EQ(kova_lookup_match(), -1);
}

TEST_F(Accessors, AccessorsLeaveTheDiagnosticsAlone) {
    load_everything();
    int32_t rc = kova_last_rc();
    std::string err = kova_last_error();
    for (const TextAccessor &a : k_text) a.fn(0);
    for (const IntAccessor &a : k_int) a.fn(0);
    kova_result_json();
    kova_result_field(0, "Title");
    EXPECT_EQ(kova_last_rc(), rc);
    EXPECT_EQ(err, kova_last_error());
}
