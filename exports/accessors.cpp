// Read-only accessors: a bounds check and one load each. Out-of-range
// indexes give "", -1 or 0; a text is never null.
#include "exports/frame.h"

using namespace kova;

namespace {
const result_row *row_at(int32_t i) {
    const result_set &rs = current().rs;
    return i >= 0 && i < rs.row_count ? &rs.rows[i] : nullptr;
}
const indexer_entry *indexer_at(int32_t i) {
    const result_set &rs = current().rs;
    return i >= 0 && i < rs.indexer_count ? &rs.indexers[i] : nullptr;
}
const lookup_entry *lookup_at(int32_t i) {
    const lookup_list &l = current().lookups;
    return i >= 0 && i < l.count ? &l.entries[i] : nullptr;
}
const queue_entry *queue_at(int32_t i) {
    const queue_list &q = current().queue;
    return i >= 0 && i < q.count ? &q.entries[i] : nullptr;
}
const calendar_entry *calendar_at(int32_t i) {
    const calendar_list &c = current().calendar;
    return i >= 0 && i < c.count ? &c.entries[i] : nullptr;
}
const char *text(const char *s) { return s ? s : empty_text; }
} // namespace

// One accessor: entry i of a list (indexer_at, lookup_at), its field, or the
// out-of-range value.
#define KV_TEXT(fn, at, field)                  \
    KOVA_API const char *fn(int32_t i) {        \
        const auto *e = at(i);                  \
        return e ? text(e->field) : empty_text; \
    }
#define KV_INT64(fn, at, field)        \
    KOVA_API int64_t fn(int32_t i) {   \
        const auto *e = at(i);         \
        return e ? e->field : -1;      \
    }
#define KV_BYTES(fn, at, field)                                        \
    KOVA_API int32_t fn(int32_t i, uint64_t *out) {                    \
        const auto *e = at(i);                                         \
        if (!e || e->field < 0) return ERR_NOT_FOUND;                  \
        if (out) *out = static_cast<uint64_t>(e->field);               \
        return OK;                                                     \
    }
#define KV_INT(fn, at, field, missing) \
    KOVA_API int32_t fn(int32_t i) {   \
        const auto *e = at(i);         \
        return e ? e->field : missing; \
    }

// The row accessors, one (two for categories) per field of the field list,
// each giving the kind's out-of-range value.
#define KV_ROW_ACCESSOR_text(name) KV_TEXT(kova_result_##name, row_at, name)
#define KV_ROW_ACCESSOR_count(name) KV_INT(kova_result_##name, row_at, name, -1)
#define KV_ROW_ACCESSOR_flag(name) KV_INT(kova_result_##name, row_at, name, 0)
#define KV_ROW_ACCESSOR_date(name)                   \
    KOVA_API int64_t kova_result_##name(int32_t i) { \
        const result_row *r = row_at(i);             \
        return r ? r->name : -1;                     \
    }
#define KV_ROW_ACCESSOR_size(name)                                  \
    KOVA_API int32_t kova_result_##name(int32_t i, uint64_t *out) { \
        const result_row *r = row_at(i);                            \
        if (!r || !r->has_##name) return ERR_NOT_FOUND;             \
        if (out) *out = static_cast<uint64_t>(r->name);             \
        return OK;                                                  \
    }
#define KV_ROW_ACCESSOR_categories(name)                        \
    KV_INT(kova_result_##name##_count, row_at, name##_count, 0) \
    KOVA_API int32_t kova_result_##name(int32_t i, int32_t j) { \
        const result_row *r = row_at(i);                        \
        if (!r || j < 0 || j >= r->name##_count) return -1;     \
        return r->name[j];                                      \
    }

// The release details' accessors, one (two for texts) per entry of the
// details list, each reading the row's object (parse/details.cpp).
#define KV_DETAIL(type, name, missing)                  \
    KOVA_API type kova_result_##name(int32_t i) {       \
        const result_row *r = row_at(i);                \
        return r ? release_##name(current().rs, *r) : missing; \
    }
#define KV_ROW_DETAIL_text(name) KV_DETAIL(const char *, name, empty_text)
#define KV_ROW_DETAIL_count(name) KV_DETAIL(int32_t, name, -1)
#define KV_ROW_DETAIL_positive(name) KV_DETAIL(int32_t, name, 0)
#define KV_ROW_DETAIL_score(name) KV_DETAIL(int32_t, name, 0)
#define KV_ROW_DETAIL_tristate(name) KV_DETAIL(int32_t, name, -1)
#define KV_ROW_DETAIL_joined(name) \
    KOVA_API const char *kova_result_##name(int32_t i) { return release_##name(current().rs, i); }
#define KV_ROW_DETAIL_texts(name)                                               \
    KV_DETAIL(int32_t, name##_count, 0)                                         \
    KOVA_API const char *kova_result_##name(int32_t i, int32_t j) {             \
        const result_row *r = row_at(i);                                        \
        return r ? release_##name(current().rs, *r, j) : empty_text;               \
    }

extern "C" {

KOVA_API int32_t kova_test_log_count(void) { return current().test_log_count; }
KOVA_API const char *kova_test_log_key(int32_t i) {
    return i >= 0 && i < current().test_log_count ? text(current().test_log[i].key) : empty_text;
}
KOVA_API const char *kova_test_log_text(int32_t i) {
    return i >= 0 && i < current().test_log_count ? text(current().test_log[i].text) : empty_text;
}

KOVA_API const char *kova_rootfolder(void) { return text(current().rootfolder); }
KOVA_API int32_t kova_rootfolder_count(void) { return current().roots.count; }
KOVA_API const char *kova_rootfolder_path(int32_t i) {
    return i >= 0 && i < current().roots.count ? text(current().roots.items[i].path) : empty_text;
}
KOVA_API int64_t kova_rootfolder_free_space(int32_t i) {
    return i >= 0 && i < current().roots.count ? current().roots.items[i].free_space : -1;
}

KOVA_API int32_t kova_get_library_id(void) { return current().get.library_id; }
KOVA_API int32_t kova_get_added(void) { return current().get.added; }
KOVA_API const char *kova_get_root(void) { return text(current().get.root); }
KOVA_API int32_t kova_get_profile_id(void) { return current().get.profile_id; }
KOVA_API const char *kova_get_path(void) { return text(current().get.path); }
KOVA_API int32_t kova_get_fallback(void) { return current().get.fallback; }
KOVA_API int32_t kova_quality_profile_count(void) { return current().profiles.count; }
KOVA_API int32_t kova_quality_profile_id(int32_t i) {
    return i >= 0 && i < current().profiles.count ? current().profiles.ids[i] : -1;
}
KOVA_API const char *kova_quality_profile_name(int32_t i) {
    return i >= 0 && i < current().profiles.count ? text(current().profiles.names[i]) : empty_text;
}

KOVA_API int32_t kova_jackett_stage(void) { return current().stage; }

KOVA_API int32_t kova_lookup_count(void) { return current().lookups.count; }
KOVA_API int32_t kova_lookup_match(void) { return current().lookups.count == 0 ? -1 : current().match; }
KV_TEXT(kova_lookup_title, lookup_at, title)
KV_TEXT(kova_lookup_clean_title, lookup_at, clean_title)
KV_TEXT(kova_lookup_imdb, lookup_at, imdb)
KV_INT(kova_lookup_tvdb, lookup_at, tvdb, -1)
KV_INT(kova_lookup_tmdb, lookup_at, tmdb, -1)
KV_INT(kova_lookup_year, lookup_at, year, -1)
KV_INT(kova_lookup_library_id, lookup_at, library_id, -1)

KOVA_API int32_t kova_result_count(void) { return current().rs.row_count; }
#define KV_X(name, kind, ...) KV_ROW_ACCESSOR_##kind(name)
KV_ROW_FIELDS(KV_X)
#undef KV_X

KOVA_API const char *kova_result_field(int32_t i, const char *name) {
    host_context &c = current();
    mem_free(c.field_text);
    c.field_text = nullptr;
    const result_row *r = row_at(i);
    if (!r || !name) return empty_text;
    c.field_text = val_str(obj_iget(r->raw, name), nullptr);
    return text(c.field_text);
}

#define KV_X(name, kind) KV_ROW_DETAIL_##kind(name)
KV_ROW_DETAILS(KV_X)
#undef KV_X

KOVA_API const char *kova_result_path(int32_t i, const char *path) {
    host_context &c = current();
    mem_free(c.path_text);
    c.path_text = nullptr;
    const result_row *r = row_at(i);
    if (!r || !path) return empty_text;
    c.path_text = val_str(member_at_path(r->raw, path), nullptr);
    return text(c.path_text);
}

KOVA_API int32_t kova_indexer_count(void) { return current().rs.indexer_count; }
KV_TEXT(kova_indexer_id, indexer_at, id)
KV_TEXT(kova_indexer_name, indexer_at, name)
KV_TEXT(kova_indexer_error, indexer_at, error)
KV_INT(kova_indexer_status, indexer_at, status, -1)
KV_INT(kova_indexer_results, indexer_at, results, -1)
KOVA_API int32_t kova_indexers_errored(void) { return current().rs.indexers_errored; }

KOVA_API int32_t kova_queue_count(void) { return current().queue.count; }
KV_INT(kova_queue_id, queue_at, id, -1)
KV_TEXT(kova_queue_title, queue_at, title)
KV_INT(kova_queue_library_id, queue_at, library_id, -1)
KV_INT(kova_queue_season, queue_at, season, -1)
KV_INT(kova_queue_episode, queue_at, episode, -1)
KV_TEXT(kova_queue_status, queue_at, status)
KV_BYTES(kova_queue_size, queue_at, size)
KV_BYTES(kova_queue_left, queue_at, left)
KOVA_API int32_t kova_queue_progress(int32_t i) {
    const queue_entry *e = queue_at(i);
    return e ? queue_progress(*e) : -1;
}
KV_INT64(kova_queue_eta, queue_at, eta)
KV_TEXT(kova_queue_message, queue_at, message)
KV_TEXT(kova_queue_client, queue_at, client)
KV_TEXT(kova_queue_protocol, queue_at, protocol)

KOVA_API int32_t kova_calendar_count(void) { return current().calendar.count; }
KV_TEXT(kova_calendar_title, calendar_at, title)
KV_TEXT(kova_calendar_series, calendar_at, series)
KV_INT(kova_calendar_season, calendar_at, season, -1)
KV_INT(kova_calendar_episode, calendar_at, episode, -1)
KV_INT64(kova_calendar_date, calendar_at, date)
KV_TEXT(kova_calendar_kind, calendar_at, kind)
KV_INT(kova_calendar_has_file, calendar_at, has_file, -1)
KV_INT(kova_calendar_monitored, calendar_at, monitored, -1)
KV_INT(kova_calendar_library_id, calendar_at, library_id, -1)
KV_TEXT(kova_calendar_imdb, calendar_at, imdb)

} // extern "C"
