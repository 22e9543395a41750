// The result document: everything the accessors expose about the current
// result set, as one compact JSON text.
#include <cstring>

#include "exports/frame.h"

namespace {
// Length of the longest valid UTF-8 prefix of s[0..n); n when all is valid.
size_t utf8_valid_prefix(const unsigned char *s, size_t n) {
    size_t i = 0;
    while (i < n) {
        unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len;
        uint32_t cp;
        if ((c & 0xE0) == 0xC0) { len = 2; cp = c & 0x1F; }
        else if ((c & 0xF0) == 0xE0) { len = 3; cp = c & 0x0F; }
        else if ((c & 0xF8) == 0xF0) { len = 4; cp = c & 0x07; }
        else return i;
        if (i + len > n) return i;
        for (size_t k = 1; k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return i;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and values beyond U+10FFFF are invalid.
        static constexpr uint32_t min_cp[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < min_cp[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return i;
        i += len;
    }
    return n;
}

// A text for the document. Texts parsed from JSON are valid UTF-8 and go in
// without a copy; in the repair pass every invalid byte becomes U+FFFD, so
// one badly encoded indexer name cannot blank the whole document.
yyjson_mut_val *str_val(yyjson_mut_doc *doc, const char *s, bool repair) {
    if (!s) s = kova_empty;
    size_t n = strlen(s);
    if (!repair) return yyjson_mut_strn(doc, s, n);
    const auto *u = reinterpret_cast<const unsigned char *>(s);
    size_t ok = utf8_valid_prefix(u, n);
    if (ok == n) return yyjson_mut_strn(doc, s, n);
    buf_guard b;
    size_t i = 0;
    while (i < n) {
        ok = utf8_valid_prefix(u + i, n - i);
        kova_buf_put(&b.b, s + i, ok);
        i += ok;
        if (i < n) {
            kova_buf_puts(&b.b, "\xEF\xBF\xBD");
            ++i;
        }
    }
    if (b.b.oom) return nullptr;
    return yyjson_mut_strncpy(doc, b.b.data ? b.b.data : "", b.b.len);
}

void add_str(yyjson_mut_doc *doc, yyjson_mut_val *obj, const char *key, const char *s, bool repair) {
    yyjson_mut_val *v = str_val(doc, s, repair);
    if (v) yyjson_mut_obj_add(obj, yyjson_mut_str(doc, key), v);
}

yyjson_mut_val *row_object(yyjson_mut_doc *doc, const kova_row &r, bool repair) {
    yyjson_mut_val *o = yyjson_mut_obj(doc);
    if (!o) return nullptr;
    add_str(doc, o, "title", r.title, repair);
    add_str(doc, o, "tracker", r.tracker, repair);
    add_str(doc, o, "tracker_id", r.tracker_id, repair);
    add_str(doc, o, "guid", r.guid, repair);
    add_str(doc, o, "link", r.link, repair);
    add_str(doc, o, "details", r.details, repair);
    add_str(doc, o, "magnet", r.magnet, repair);
    add_str(doc, o, "info_hash", r.info_hash, repair);
    add_str(doc, o, "category_desc", r.category_desc, repair);
    add_str(doc, o, "imdb", r.imdb, repair);
    add_str(doc, o, "tmdb", r.tmdb, repair);
    add_str(doc, o, "tvdb", r.tvdb, repair);
    if (r.has_size)
        yyjson_mut_obj_add_uint(doc, o, "size", static_cast<uint64_t>(r.size));
    else
        yyjson_mut_obj_add_null(doc, o, "size");
    yyjson_mut_obj_add_int(doc, o, "seeders", r.seeders);
    yyjson_mut_obj_add_int(doc, o, "peers", r.peers);
    yyjson_mut_obj_add_int(doc, o, "files", r.files);
    if (yyjson_mut_val *cats = yyjson_mut_arr(doc)) {
        for (int32_t j = 0; j < r.category_count; ++j) yyjson_mut_arr_add_int(doc, cats, r.categories[j]);
        yyjson_mut_obj_add_val(doc, o, "category", cats);
    }
    yyjson_mut_obj_add_int(doc, o, "publish_date", r.publish_date);
    yyjson_mut_obj_add_int(doc, o, "download_volume_factor", r.download_volume_factor);
    yyjson_mut_obj_add_int(doc, o, "season", r.season);
    yyjson_mut_obj_add_int(doc, o, "episode", r.episode);
    yyjson_mut_obj_add_bool(doc, o, "full_season", r.full_season != 0);
    return o;
}

// Builds and writes the document; null when memory ran out or a text was
// not valid UTF-8 (reported through *bad_text).
char *write_document(const kova_ctx &ctx, bool repair, bool *bad_text) {
    *bad_text = false;
    mut_doc_guard doc(yyjson_mut_doc_new(&kova_alc));
    if (!doc.doc) return nullptr;
    yyjson_mut_val *root = yyjson_mut_obj(doc.doc);
    if (!root) return nullptr;
    yyjson_mut_doc_set_root(doc.doc, root);
    yyjson_mut_obj_add_int(doc.doc, root, "stage", ctx.stage);
    yyjson_mut_obj_add_int(doc.doc, root, "rc", ctx.rc);

    const kova_rset &rs = ctx.rs;
    if (yyjson_mut_val *results = yyjson_mut_arr(doc.doc)) {
        for (int32_t i = 0; i < rs.row_count; ++i)
            if (yyjson_mut_val *o = row_object(doc.doc, rs.rows[i], repair)) yyjson_mut_arr_append(results, o);
        yyjson_mut_obj_add_val(doc.doc, root, "results", results);
    }
    if (yyjson_mut_val *indexers = yyjson_mut_arr(doc.doc)) {
        for (int32_t i = 0; i < rs.indexer_count; ++i) {
            const kova_indexer &e = rs.indexers[i];
            yyjson_mut_val *o = yyjson_mut_obj(doc.doc);
            if (!o) continue;
            add_str(doc.doc, o, "id", e.id, repair);
            add_str(doc.doc, o, "name", e.name, repair);
            yyjson_mut_obj_add_int(doc.doc, o, "status", e.status);
            yyjson_mut_obj_add_int(doc.doc, o, "results", e.results);
            add_str(doc.doc, o, "error", e.error, repair);
            yyjson_mut_arr_append(indexers, o);
        }
        yyjson_mut_obj_add_val(doc.doc, root, "indexers", indexers);
    }
    yyjson_mut_obj_add_int(doc.doc, root, "indexers_errored", rs.indexers_errored);
    if (yyjson_mut_val *warnings = yyjson_mut_arr(doc.doc)) {
        for (int32_t i = 0; i < ctx.warning_count; ++i)
            if (yyjson_mut_val *w = str_val(doc.doc, ctx.warnings[i], repair)) yyjson_mut_arr_append(warnings, w);
        yyjson_mut_obj_add_val(doc.doc, root, "warnings", warnings);
    }
    yyjson_write_err err;
    char *text = yyjson_mut_write_opts(doc.doc, 0, &kova_alc, nullptr, &err);
    *bad_text = !text && err.code == YYJSON_WRITE_ERROR_INVALID_STRING;
    return text;
}
} // namespace

extern "C" KOVA_API const char *kova_result_json(void) {
    kova_free(g_kova.json_text);
    g_kova.json_text = nullptr;
    bool bad_text;
    char *text = write_document(g_kova, false, &bad_text);
    if (!text && bad_text) text = write_document(g_kova, true, &bad_text);
    g_kova.json_text = text;
    return text ? text : kova_empty;
}
