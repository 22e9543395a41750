// Read-only accessors: a bounds check and one load each. Out-of-range
// indexes give "", -1 or 0; a text is never null.
#include "exports/frame.h"

using namespace kova;

namespace {
const result_row *row_at(int32_t i) {
    return i >= 0 && i < g_kova.rs.row_count ? &g_kova.rs.rows[i] : nullptr;
}
const indexer_entry *indexer_at(int32_t i) {
    return i >= 0 && i < g_kova.rs.indexer_count ? &g_kova.rs.indexers[i] : nullptr;
}
const lookup_entry *lookup_at(int32_t i) {
    return i >= 0 && i < g_kova.lookups.count ? &g_kova.lookups.entries[i] : nullptr;
}
const char *text(const char *s) { return s ? s : empty_text; }
} // namespace

// One accessor: entry i of a list (row_at, indexer_at, lookup_at), its field,
// or the out-of-range value.
#define KOVA_TEXT(fn, at, field)                      \
    KOVA_API const char *fn(int32_t i) {              \
        const auto *e = at(i);                        \
        return e ? text(e->field) : empty_text;       \
    }
#define KOVA_INT(fn, at, field, missing)              \
    KOVA_API int32_t fn(int32_t i) {                  \
        const auto *e = at(i);                        \
        return e ? e->field : missing;                \
    }
#define KOVA_ROW_TEXT(fn, field) KOVA_TEXT(fn, row_at, field)
#define KOVA_ROW_INT(fn, field, missing) KOVA_INT(fn, row_at, field, missing)

extern "C" {

KOVA_API int32_t kova_test_log_count(void) { return g_kova.test_log_count; }
KOVA_API const char *kova_test_log_key(int32_t i) {
    return i >= 0 && i < g_kova.test_log_count ? text(g_kova.test_log[i].key) : empty_text;
}
KOVA_API const char *kova_test_log_text(int32_t i) {
    return i >= 0 && i < g_kova.test_log_count ? text(g_kova.test_log[i].text) : empty_text;
}

KOVA_API const char *kova_rootfolder(void) { return text(g_kova.rootfolder); }
KOVA_API int32_t kova_quality_profile_count(void) { return g_kova.profiles.count; }
KOVA_API int32_t kova_quality_profile_id(int32_t i) {
    return i >= 0 && i < g_kova.profiles.count ? g_kova.profiles.ids[i] : -1;
}
KOVA_API const char *kova_quality_profile_name(int32_t i) {
    return i >= 0 && i < g_kova.profiles.count ? text(g_kova.profiles.names[i]) : empty_text;
}

KOVA_API int32_t kova_jackett_stage(void) { return g_kova.stage; }

KOVA_API int32_t kova_lookup_count(void) { return g_kova.lookups.count; }
KOVA_API int32_t kova_lookup_match(void) { return g_kova.lookups.count == 0 ? -1 : g_kova.match; }
KOVA_TEXT(kova_lookup_title, lookup_at, title)
KOVA_TEXT(kova_lookup_clean_title, lookup_at, clean_title)
KOVA_TEXT(kova_lookup_imdb, lookup_at, imdb)
KOVA_INT(kova_lookup_tvdb, lookup_at, tvdb, -1)
KOVA_INT(kova_lookup_tmdb, lookup_at, tmdb, -1)
KOVA_INT(kova_lookup_year, lookup_at, year, -1)
KOVA_INT(kova_lookup_library_id, lookup_at, library_id, -1)

KOVA_API int32_t kova_result_count(void) { return g_kova.rs.row_count; }
KOVA_ROW_TEXT(kova_result_title, title)
KOVA_ROW_TEXT(kova_result_tracker, tracker)
KOVA_ROW_TEXT(kova_result_tracker_id, tracker_id)
KOVA_ROW_TEXT(kova_result_guid, guid)
KOVA_ROW_TEXT(kova_result_link, link)
KOVA_ROW_TEXT(kova_result_details, details)
KOVA_ROW_TEXT(kova_result_magnet, magnet)
KOVA_ROW_TEXT(kova_result_info_hash, info_hash)
KOVA_ROW_TEXT(kova_result_category_desc, category_desc)
KOVA_ROW_TEXT(kova_result_imdb, imdb)
KOVA_ROW_TEXT(kova_result_tmdb, tmdb)
KOVA_ROW_TEXT(kova_result_tvdb, tvdb)
KOVA_ROW_INT(kova_result_seeders, seeders, -1)
KOVA_ROW_INT(kova_result_peers, peers, -1)
KOVA_ROW_INT(kova_result_files, files, -1)
KOVA_ROW_INT(kova_result_category_count, category_count, 0)
KOVA_ROW_INT(kova_result_download_volume_factor, download_volume_factor, -1)
KOVA_ROW_INT(kova_result_season, season, -1)
KOVA_ROW_INT(kova_result_episode, episode, -1)
KOVA_ROW_INT(kova_result_full_season, full_season, 0)

KOVA_API int32_t kova_result_size(int32_t i, uint64_t *size_out) {
    const result_row *r = row_at(i);
    if (!r || !r->has_size) return ERR_NOT_FOUND;
    if (size_out) *size_out = static_cast<uint64_t>(r->size);
    return OK;
}

KOVA_API int32_t kova_result_category(int32_t i, int32_t j) {
    const result_row *r = row_at(i);
    if (!r || j < 0 || j >= r->category_count) return -1;
    return r->categories[j];
}

KOVA_API int64_t kova_result_publish_date(int32_t i) {
    const result_row *r = row_at(i);
    return r ? r->publish_date : -1;
}

KOVA_API const char *kova_result_field(int32_t i, const char *name) {
    mem_free(g_kova.field_text);
    g_kova.field_text = nullptr;
    const result_row *r = row_at(i);
    if (!r || !name) return empty_text;
    g_kova.field_text = val_str(obj_iget(r->raw, name), nullptr);
    return text(g_kova.field_text);
}

KOVA_API int32_t kova_indexer_count(void) { return g_kova.rs.indexer_count; }
KOVA_TEXT(kova_indexer_id, indexer_at, id)
KOVA_TEXT(kova_indexer_name, indexer_at, name)
KOVA_TEXT(kova_indexer_error, indexer_at, error)
KOVA_INT(kova_indexer_status, indexer_at, status, -1)
KOVA_INT(kova_indexer_results, indexer_at, results, -1)
KOVA_API int32_t kova_indexers_errored(void) { return g_kova.rs.indexers_errored; }

} // extern "C"
