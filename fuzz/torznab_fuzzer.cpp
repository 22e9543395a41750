// Torznab indexer lists through kova_parse_torznab_indexers. The scanner
// reads raw bytes, so indexer names may be anything: the result document
// must still be valid JSON with every entry.
#include "fuzz/fuzz_common.h"

namespace torznab_fuzzer {

int one_input(const uint8_t *data, size_t size) {
    kova_reset();
    std::string text = c_text(data, size);
    int32_t rc = kova_parse_torznab_indexers(text.c_str());
    FUZZ_CHECK(in_codes(rc, {KOVA_OK, KOVA_ERR_AUTH, KOVA_ERR_HTTP, KOVA_ERR_JSON}));
    FUZZ_CHECK(kova_last_rc() == rc);
    FUZZ_CHECK((rc == KOVA_OK) == (*kova_last_error() == '\0'));
    FUZZ_CHECK(kova_result_count() == 0);
    if (rc != KOVA_OK) FUZZ_CHECK(kova_indexer_count() == 0);
    for (int32_t i = 0; i < kova_indexer_count(); ++i) {
        FUZZ_CHECK(kova_indexer_status(i) == KOVA_INDEXER_TORZNAB && kova_indexer_results(i) == 0);
        FUZZ_CHECK(*kova_indexer_error(i) == '\0');
        // An id is a stretch of the text between quotes: never longer than it.
        FUZZ_CHECK(strlen(kova_indexer_id(i)) <= text.size());
    }
    if (rc == KOVA_ERR_HTTP) FUZZ_CHECK(strncmp(kova_last_error(), "Jackett: Torznab error ", 23) == 0);
    check_results();
    kova_reset();
    return 0;
}

} // namespace torznab_fuzzer

KOVA_FUZZ_TARGET(torznab_fuzzer)
