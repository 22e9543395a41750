// Jackett results answers through kova_parse_jackett: the parser, the
// classification, every accessor over every row and the result document.
#include "fuzz/fuzz_common.h"

namespace jackett_fuzzer {

int one_input(const uint8_t *data, size_t size) {
    kova_reset();
    std::string text = c_text(data, size);
    int32_t rc = kova_parse_jackett(text.c_str());
    FUZZ_CHECK(in_codes(rc, {KOVA_OK, KOVA_PARTIAL, KOVA_ERR_INDEXERS, KOVA_ERR_EMPTY, KOVA_ERR_JSON}));
    FUZZ_CHECK(kova_last_rc() == rc);
    FUZZ_CHECK((rc == KOVA_OK) == (*kova_last_error() == '\0'));
    FUZZ_CHECK(kova_jackett_stage() == KOVA_STAGE_NONE);
    if (rc == KOVA_ERR_JSON) FUZZ_CHECK(kova_result_count() == 0 && kova_indexer_count() == 0);
    if (rc == KOVA_OK) FUZZ_CHECK(kova_result_count() > 0 && kova_indexers_errored() == 0);
    if (rc == KOVA_ERR_EMPTY) FUZZ_CHECK(kova_result_count() == 0 && kova_indexers_errored() == 0);
    if (rc == KOVA_PARTIAL) FUZZ_CHECK(kova_indexers_errored() > 0);
    if (rc == KOVA_ERR_INDEXERS)
        FUZZ_CHECK(kova_result_count() == 0 && kova_indexers_errored() == kova_indexer_count());
    for (int32_t i = 0; i < kova_result_count(); ++i) {
        FUZZ_CHECK(kova_result_season(i) == -1 && kova_result_episode(i) == -1);
        FUZZ_CHECK(kova_result_full_season(i) == 0);
    }
    if (rc != KOVA_ERR_JSON) {
        static const char *const k_keys[] = {"Title", "Tracker", "TrackerId", "Guid", "Link", "Details",
                                             "MagnetUri", "InfoHash", "CategoryDesc", "TMDb", "TVDBId"};
        static const char *(*const k_fns[])(int32_t) = {
            kova_result_title, kova_result_tracker, kova_result_tracker_id, kova_result_guid,
            kova_result_link,  kova_result_details, kova_result_magnet,     kova_result_info_hash,
            kova_result_category_desc, kova_result_tmdb, kova_result_tvdb};
        yyjson_doc *doc = oracle_read(text);
        if (doc) {
            check_row_texts(oracle_get(yyjson_doc_get_root(doc), "Results"), k_keys, k_fns, 11);
            static const char *const k_int_keys[] = {"Seeders", "Peers", "Files"};
            static int32_t (*const k_int_fns[])(int32_t) = {kova_result_seeders, kova_result_peers, kova_result_files};
            check_row_ints(oracle_get(yyjson_doc_get_root(doc), "Results"), k_int_keys, k_int_fns, 3);
        }
        yyjson_doc_free(doc);
    }
    check_results();
    kova_reset();
    return 0;
}

} // namespace jackett_fuzzer

KOVA_FUZZ_TARGET(jackett_fuzzer)
