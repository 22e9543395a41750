// Prowlarr search answers through kova_parse_prowlarr: the parser, every
// accessor over every row and the result document.
#include "fuzz/fuzz_common.h"

namespace prowlarr_fuzzer {

int one_input(const uint8_t *data, size_t size) {
    kova_reset();
    std::string text = c_text(data, size);
    int32_t rc = kova_parse_prowlarr(text.c_str());
    FUZZ_CHECK(in_codes(rc, {KOVA_OK, KOVA_ERR_EMPTY, KOVA_ERR_JSON}));
    FUZZ_CHECK(kova_last_rc() == rc);
    FUZZ_CHECK((rc == KOVA_OK) == (*kova_last_error() == '\0'));
    FUZZ_CHECK((rc == KOVA_OK) == (kova_result_count() > 0));
    FUZZ_CHECK(kova_indexer_count() == 0 && kova_jackett_stage() == KOVA_STAGE_NONE);
    for (int32_t i = 0; i < kova_result_count(); ++i) {
        int32_t dvf = kova_result_download_volume_factor(i);
        FUZZ_CHECK(dvf == 0 || dvf == 500 || dvf == 1000);
        FUZZ_CHECK(strcmp(kova_result_tmdb(i), "0") != 0 && strcmp(kova_result_tvdb(i), "0") != 0);
        // The peers count the seeders too.
        int32_t seeders = kova_result_seeders(i), peers = kova_result_peers(i);
        FUZZ_CHECK(peers >= -1 && (seeders < 0 || peers >= seeders));
        FUZZ_CHECK(kova_result_season(i) == -1 && kova_result_episode(i) == -1 && kova_result_full_season(i) == 0);
        const char *protocol = kova_result_protocol(i);
        FUZZ_CHECK(!*protocol || !strcmp(protocol, "torrent") || !strcmp(protocol, "usenet"));
    }
    if (rc != KOVA_ERR_JSON) {
        static const char *const k_keys[] = {"title", "indexer", "guid", "downloadUrl", "infoUrl", "magnetUrl",
                                             "infoHash"};
        static const char *(*const k_fns[])(int32_t) = {kova_result_title,   kova_result_tracker, kova_result_guid,
                                                        kova_result_link,    kova_result_details, kova_result_magnet,
                                                        kova_result_info_hash};
        yyjson_doc *doc = oracle_read(text);
        if (doc) {
            check_row_texts(yyjson_doc_get_root(doc), k_keys, k_fns, 7);
            static const char *const k_int_keys[] = {"seeders", "files"};
            static int32_t (*const k_int_fns[])(int32_t) = {kova_result_seeders, kova_result_files};
            check_row_ints(yyjson_doc_get_root(doc), k_int_keys, k_int_fns, 2);
        }
        yyjson_doc_free(doc);
    }
    check_results();
    kova_reset();
    return 0;
}

} // namespace prowlarr_fuzzer

KOVA_FUZZ_TARGET(prowlarr_fuzzer)
