// The result document as the library first wrote it: a mutable yyjson
// document of every row and indexer entry, written by yyjson with no flags,
// and written again with every text repaired when a text was not valid
// UTF-8. The library now writes the document itself; this is the reference
// its bytes must match (tests/exports/result_json_test.cpp, and every test's
// last state through KovaTest::TearDown).
#include <cstring>

#include "support/kova_test.h"

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

yyjson_mut_val *str_val(yyjson_mut_doc *doc, const char *s, bool repair) {
    if (!s) s = "";
    size_t n = strlen(s);
    if (!repair) return yyjson_mut_strn(doc, s, n);
    const auto *u = reinterpret_cast<const unsigned char *>(s);
    std::string b;
    size_t i = 0;
    while (i < n) {
        size_t ok = utf8_valid_prefix(u + i, n - i);
        b.append(s + i, ok);
        i += ok;
        if (i < n) {
            b += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return yyjson_mut_strncpy(doc, b.data(), b.size());
}

void add_str(yyjson_mut_doc *doc, yyjson_mut_val *obj, const char *key, const char *s, bool repair) {
    yyjson_mut_obj_add(obj, yyjson_mut_str(doc, key), str_val(doc, s, repair));
}

// One member per field of the field list, written the way yyjson writes
// each kind.
#define KV_REF_text(name, key) add_str(doc, o, key, r.name, repair);
#define KV_REF_count(name, key) yyjson_mut_obj_add_int(doc, o, key, r.name);
#define KV_REF_date(name, key) yyjson_mut_obj_add_int(doc, o, key, r.name);
#define KV_REF_flag(name, key) yyjson_mut_obj_add_bool(doc, o, key, r.name != 0);
#define KV_REF_size(name, key)                                                 \
    if (r.has_##name)                                                          \
        yyjson_mut_obj_add_uint(doc, o, key, static_cast<uint64_t>(r.name)); \
    else                                                                       \
        yyjson_mut_obj_add_null(doc, o, key);
#define KV_REF_categories(name, key)                                                              \
    {                                                                                             \
        yyjson_mut_val *ids = yyjson_mut_arr(doc);                                                \
        for (int32_t j = 0; j < r.name##_count; ++j) yyjson_mut_arr_add_int(doc, ids, r.name[j]); \
        yyjson_mut_obj_add_val(doc, o, key, ids);                                                 \
    }

yyjson_mut_val *row_object(yyjson_mut_doc *doc, const result_row &r, bool repair) {
    yyjson_mut_val *o = yyjson_mut_obj(doc);
#define KV_X(name, kind, key, ...) KV_REF_##kind(name, key)
    KV_ROW_FIELDS(KV_X)
#undef KV_X
    return o;
}

// yyjson's allocator, not the library's: the reference stays out of the
// allocation counts of the failure sweeps.
std::string write_document(const context &ctx, bool repair, bool *bad_text) {
    *bad_text = false;
    yyjson_mut_doc *doc = yyjson_mut_doc_new(nullptr);
    yyjson_mut_val *root = yyjson_mut_obj(doc);
    yyjson_mut_doc_set_root(doc, root);
    yyjson_mut_obj_add_int(doc, root, "stage", ctx.stage);
    yyjson_mut_obj_add_int(doc, root, "rc", ctx.rc);
    const result_set &rs = ctx.rs;
    yyjson_mut_val *results = yyjson_mut_arr(doc);
    for (int32_t i = 0; i < rs.row_count; ++i) yyjson_mut_arr_append(results, row_object(doc, rs.rows[i], repair));
    yyjson_mut_obj_add_val(doc, root, "results", results);
    yyjson_mut_val *indexers = yyjson_mut_arr(doc);
    for (int32_t i = 0; i < rs.indexer_count; ++i) {
        const indexer_entry &e = rs.indexers[i];
        yyjson_mut_val *o = yyjson_mut_obj(doc);
        add_str(doc, o, "id", e.id, repair);
        add_str(doc, o, "name", e.name, repair);
        yyjson_mut_obj_add_int(doc, o, "status", e.status);
        yyjson_mut_obj_add_int(doc, o, "results", e.results);
        add_str(doc, o, "error", e.error, repair);
        yyjson_mut_arr_append(indexers, o);
    }
    yyjson_mut_obj_add_val(doc, root, "indexers", indexers);
    yyjson_mut_obj_add_int(doc, root, "indexers_errored", rs.indexers_errored);
    yyjson_mut_val *warnings = yyjson_mut_arr(doc);
    for (int32_t i = 0; i < ctx.warning_count; ++i)
        yyjson_mut_arr_append(warnings, str_val(doc, ctx.warnings[i], repair));
    yyjson_mut_obj_add_val(doc, root, "warnings", warnings);
    yyjson_write_err err;
    size_t len = 0;
    char *text = yyjson_mut_write_opts(doc, 0, nullptr, &len, &err);
    yyjson_mut_doc_free(doc);
    *bad_text = !text && err.code == YYJSON_WRITE_ERROR_INVALID_STRING;
    std::string out = text ? std::string(text, len) : std::string();
    free(text);
    return out;
}
} // namespace

std::string reference_result_document(const context &ctx) {
    bool bad_text;
    std::string text = write_document(ctx, false, &bad_text);
    if (bad_text) text = write_document(ctx, true, &bad_text);
    return text;
}

::testing::AssertionResult same_document(const std::string &got, const std::string &want) {
    if (got == want) return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
    size_t from = at > 60 ? at - 60 : 0;
    return ::testing::AssertionFailure() << "documents differ at byte " << at << " of " << got.size() << " (want "
                                         << want.size() << ")\n  got:  ..." << got.substr(from, 120)
                                         << "\n  want: ..." << want.substr(from, 120);
}

::testing::AssertionResult document_matches_reference(const context &ctx) {
    char *text = result_document(&ctx);
    std::string got = text ? text : "<null>";
    free(text);
    return same_document(got, reference_result_document(ctx));
}
