// The row builder shared by the JSON answer parsers (jackett.cpp, arr.cpp)
// and the chunk allocator of the rows' own blocks. Private to parse/.
//
// A large answer holds up to 200,000 rows of some thirty members each, so the
// row readers avoid the general reader's costs: every wanted key of a row is
// resolved in one pass over the object's members (`keys_resolve`), texts that
// already exist in the document are pointed at, and texts a row has to build
// (numbers as text, normalised IMDb numbers) and its categories are staged
// and then moved into the row's block (`row_own::finish`). The blocks of one
// parse are carved from shared chunks, each counting the rows that still use
// it, so that neither building nor releasing a large set calls the allocator
// once per row.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <new>

#include "parse/row_fields.h"
#include "parse/values.h"

namespace kova {

// Copies n bytes with a few word moves that never leave either stretch: the
// texts a row builds are short, and a library call per copy would cost more
// than the copy.
__attribute__((always_inline)) inline void small_copy(void *dst, const void *src, size_t n) {
    auto *d = static_cast<unsigned char *>(dst);
    const auto *s = static_cast<const unsigned char *>(src);
    if (n >= 8) {
        uint64_t w, last;
        memcpy(&last, s + n - 8, 8);
        for (size_t i = 0; i + 8 < n; i += 8) {
            memcpy(&w, s + i, 8);
            memcpy(d + i, &w, 8);
        }
        memcpy(d + n - 8, &last, 8);
    } else if (n >= 4) {
        uint32_t a, b;
        memcpy(&a, s, 4);
        memcpy(&b, s + n - 4, 4);
        memcpy(d, &a, 4);
        memcpy(d + n - 4, &b, 4);
    } else {
        for (size_t i = 0; i < n; ++i) d[i] = s[i];
    }
}

// The row fields by name (parse/row_fields.h), for the parsers to say which
// field they fill.
enum class row_field : uint8_t {
#define KV_X(name, ...) name,
    KV_ROW_FIELDS(KV_X)
#undef KV_X
};
inline constexpr int row_field_count = 0
#define KV_X(...) +1
    KV_ROW_FIELDS(KV_X)
#undef KV_X
    ;

// A fixed set of keys resolved over an object in one pass with the same
// result as obj_iget for each key: the first member with exactly that
// key, else the first member whose key matches with letter case ignored.
// Resolved values are written to an array of `values` entries: one per key
// (its slot), then a scratch entry, then one that stays null.
struct keyset {
    static constexpr int max_keys = 31;
    static constexpr int max_len = 32; // keys are shorter than this
    static constexpr int per_len = 6;
    const char *name[max_keys]{};
    uint8_t len[max_keys]{};
    int count = 0;
    int8_t bylen[max_len][per_len]{}; // slot indexes of each key length, -1 ends
    // Each row field's slot; a field the answer does not hold reads the
    // entry that stays null.
    int8_t field_slot[row_field_count]{};

    // The keys of a kind of answer's row fields, one per field in the field
    // list's order ("" for a field it does not hold; they become slots in
    // that order), then the keys its parser reads beyond them.
    constexpr keyset(const char *const (&field_keys)[row_field_count], std::initializer_list<const char *> more = {}) {
        for (auto &l : bylen)
            for (auto &s : l) s = -1;
        for (int f = 0; f < row_field_count; ++f)
            field_slot[f] = field_keys[f][0] ? static_cast<int8_t>(add(field_keys[f])) : -1;
        for (const char *k : more) add(k);
        for (auto &s : field_slot)
            if (s < 0) s = static_cast<int8_t>(null_slot());
    }
    // Keys that are no row fields' (every field reads null).
    constexpr keyset(std::initializer_list<const char *> keys) {
        for (auto &l : bylen)
            for (auto &s : l) s = -1;
        for (const char *k : keys) add(k);
        for (auto &s : field_slot) s = static_cast<int8_t>(null_slot());
    }
    // Room for the values of one object.
    static constexpr int values = max_keys + 2;
    constexpr int null_slot() const { return count + 1; }
    constexpr int slot(row_field f) const { return field_slot[static_cast<int>(f)]; }

private:
    constexpr int add(const char *k) {
        size_t n = 0;
        while (k[n]) ++n;
        // A key that does not fit the tables stops constant evaluation.
        if (count >= max_keys || n == 0 || n >= max_len) fits(false);
        name[count] = k;
        len[count] = static_cast<uint8_t>(n);
        int j = 0;
        while (bylen[n][j] >= 0) ++j;
        if (j >= per_len - 1) fits(false);
        bylen[n][j] = static_cast<int8_t>(count);
        return count++;
    }
    static void no_fit();
    static constexpr void fits(bool ok) {
        if (!ok) no_fit();
    }
};

// A keyset prepared for one parse. Letter case is folded through a table
// made from the runtime's tolower when the parse starts, so the result is
// the same as obj_iget's in any locale. A member key is classified by
// its first byte and its length with one table load: no wanted key, exactly
// one candidate, or several (then each is tried).
struct key_index {
    static constexpr uint8_t several = 0xff;
    const keyset *ks;
    uint8_t fold[256];
    uint8_t wfold[keyset::max_keys][keyset::max_len];
    uint8_t cand[256][keyset::max_len]; // by first byte, length: 0 none, slot + 1, or several
    explicit key_index(const keyset &k);
};

// The keys of the last row resolved in full, and where its wanted keys were.
// The rows of an answer mostly share one layout: a row whose keys are the
// same bytes in the same places (as far as the resolution looked) resolves
// the same way, so it is checked against the layout instead of resolved.
// Each member's key is kept as its value tag (length and type: a key with
// escapes differs from one without and merely fails the check) and its
// first and last eight bytes, so that most keys are checked with two word
// compares against this record, not byte by byte against the last row.
struct key_layout {
    static constexpr int max_members = 64;
    int m = -1;           // members the resolution examined; -1: no layout
    bool stopped = false; // it stopped early: every wanted key had an exact match
    struct member {
        uint64_t tag;               // the key's yyjson tag
        uint64_t head, head_mask;   // its first 8 bytes (masked to its length when shorter)
        uint64_t tail;              // its last 8 bytes when it has 8 or more
        const unsigned char *str;   // the key in the row the layout came from
        int8_t slot;                // the wanted key it gives, or the scratch slot
        bool wide;                  // longer than 8 bytes: the tail (and more) is compared too
    } mem[max_members];
    int missing = 0;                    // wanted keys no member gives
    int8_t missing_slot[keyset::max_keys];
};

// out[i] receives the value of ks.name[i] or null; out[ks.count] is
// scratch, and the entries after it are not touched. lay (may be null) is
// used and updated across the rows of a parse.
void keys_resolve(const key_index &ix, key_layout *lay, yyjson_val *obj, yyjson_val **out);

// Texts and categories one row builds, staged until the row is complete.
struct row_own {
    static constexpr size_t text_cap = 1024; // 12 texts of at most 64 bytes fit
    char text[text_cap];
    size_t used = 0;
    const char **field[16];
    uint32_t off[16];
    int nfield = 0;
    int32_t ncats = 0;
    int32_t cats[max_categories];

    void reset() {
        used = 0;
        nfield = 0;
        ncats = 0;
    }
    // Stages a copy of s (n bytes) as the text of *f. *f points at the
    // staged copy until finish() moves it.
    void put(const char **f, const char *s, size_t n) {
        field[nfield] = f;
        off[nfield++] = static_cast<uint32_t>(used);
        small_copy(text + used, s, n);
        text[used + n] = '\0';
        *f = text + used;
        used += n + 1;
    }
    // Replaces the text of *f by "", unstaging it when it was the last staged.
    void clear(const char **f) {
        if (nfield && field[nfield - 1] == f) used = off[--nfield];
        *f = empty_text;
    }
    // Moves the staged texts and categories into the row's block (row->own).
    // Returns false when out of memory (the staged fields are then null).
    bool finish(result_row *row);

    key_layout layout; // the rows' key layout (keys_resolve)

    // The chunk blocks are carved from (owned by the rows placed in it).
    char *chunk = nullptr;
    size_t chunk_used = 0;
    size_t chunk_cap = 0;
};

// Releases a row's block (row->own as the parsers make it): the chunk it
// lives in is freed with its last row.
void own_release(char *own);

// Releases the blocks of many rows: the rows of one parse lie in runs per
// chunk, and a run is counted off its chunk at once, without reading each
// block's own header.
struct own_run {
    char *chunk = nullptr;
    char *end = nullptr;
    uint32_t n = 0;
    void add(char *own);
    void flush(); // call once after the last add
};

// One parse's staging area, on the heap (it is some 17 KiB).
struct own_guard {
    row_own *p;
    own_guard() {
        void *m = mem_alloc(sizeof(row_own));
        p = m ? new (m) row_own : nullptr; // trivially destructible
    }
    ~own_guard() { mem_free(p); }
    own_guard(const own_guard &) = delete;
    own_guard &operator=(const own_guard &) = delete;
};

// Appends a row for a parser that sets every field itself, so it is not
// cleared first; the rows were reserved, so this rarely grows.
inline result_row *next_row(result_set *rs) {
    if (rs->row_count == rs->row_cap) return rs_add(rs);
    return &rs->rows[rs->row_count++];
}

// Reserves room for the objects of a row array (at most the row limit), so
// that a large answer is not copied again and again while it grows. False
// when out of memory.
bool reserve_rows(result_set *rs, yyjson_val *arr);

// Clears the set and reads the answer into its document (kept even when its
// root turns out unusable): through a copy, or in place when the text is
// handed over (own, which becomes the set's at once). Null root: the text was
// not JSON, and the failure ("out of memory" or "<what> is not JSON") is
// already reported in *rc.
inline yyjson_val *read_into(diagnostics *diag, result_set *rs, const char *text, size_t len, char *own,
                             const char *what, int32_t *rc) {
    *rs = result_set{};
    bool oom = false;
    if (own) {
        rs->text = own;
        rs->doc = answer_read_in_place(diag, &rs->text, len, &oom);
    } else {
        rs->doc = answer_read_copy(diag, text, len, &rs->text, &oom);
    }
    if (rs->doc) return yyjson_doc_get_root(rs->doc);
    *rc = oom ? fail_oom(diag) : fail(diag, ERR_JSON, "%s is not JSON", what);
    return nullptr;
}

// Walks a row array in order: non-object elements are counted and skipped
// (one warning with their number, `skipped_fmt`), the row limit stops the
// walk with one warning (`limit_fmt`), and every other element becomes a row
// filled by fill(diag, ix, own, row, obj), which returns false when out of
// memory. Both formats take one %d.
template <typename Fill>
int32_t walk_rows(diagnostics *diag, result_set *rs, yyjson_val *arr, const keyset &keys, const char *limit_fmt,
                  const char *skipped_fmt, Fill fill) {
    if (!reserve_rows(rs, arr)) return fail_oom(diag);
    // Staging space for one row's built texts and categories, reused for
    // every row.
    own_guard own;
    if (!own.p) return fail_oom(diag);
    const key_index ix(keys);
    int32_t skipped = 0;
    size_t idx, max;
    yyjson_val *obj;
    yyjson_arr_foreach(arr, idx, max, obj) {
        if (!yyjson_is_obj(obj)) {
            ++skipped;
            continue;
        }
        if (rs->row_count == max_rows) {
            warnf(diag, limit_fmt, max_rows);
            break;
        }
        result_row *row = next_row(rs);
        if (!row || !fill(diag, ix, *own.p, row, obj)) return fail_oom(diag);
    }
    if (skipped) warnf(diag, skipped_fmt, skipped);
    return OK;
}

// An answer that is one array of row objects (Sonarr's and Radarr's release
// lists, Prowlarr's search), read into the set as answer kind `kind`; what
// names the answer in the messages ("<what> is not JSON", "<what> is
// <type>, not an array"), the rest is walk_rows's.
template <typename Fill>
int32_t parse_row_array(diagnostics *diag, result_set *rs, const char *text, size_t len, char *own,
                        answer_kind kind, const char *what, const keyset &keys, const char *limit_fmt,
                        const char *skipped_fmt, Fill fill) {
    int32_t rc = OK;
    yyjson_val *root = read_into(diag, rs, text, len, own, what, &rc);
    rs->answer = kind;
    if (!root) return rc;
    if (!yyjson_is_arr(root)) return fail(diag, ERR_JSON, "%s is %s, not an array", what, type_name(root));
    return walk_rows(diag, rs, root, keys, limit_fmt, skipped_fmt, fill);
}

// The digits of a member's value v, a non-negative integer u, where the
// answer wrote them, made a text of their own in place: a JSON integer is
// written exactly as formatting it would give (no sign, no leading zero,
// no fraction or exponent), so the row can point there instead of
// formatting it. The byte after the digits (a ',' or '}', which nothing
// reads once the document is built) becomes their NUL; the text the
// document was read from is the set's, like the strings the rows point at.
// Found in the usual case only (a key without escapes, then ':' and the
// digits without spaces); null otherwise. v must be a member's value: its
// key is the value before it.
inline char *doc_digits(yyjson_val *v, uint64_t u) {
    yyjson_val *key = v - 1; // a member's key comes right before its value
    if (yyjson_get_tag(key) != (YYJSON_TYPE_STR | YYJSON_SUBTYPE_NOESC)) return nullptr;
    // The key's closing quote (now its NUL), then what followed it.
    char *p = const_cast<char *>(unsafe_yyjson_get_str(key)) + unsafe_yyjson_get_len(key) + 1;
    if (*p != ':' || p[1] < '0' || p[1] > '9') return nullptr;
    ++p;
    p[dec_digits(u)] = '\0';
    return p;
}

// A text field: absent or null gives "", a string points into the document,
// a number or boolean is staged as text; an array or object gives "" and the
// warning naming key. member: v is the value of an object member, as
// keys_resolve gives them, and not a document's root or an array's element:
// a non-negative integer then points at its digits in the document's text
// where it can (doc_digits) instead of being staged.
void fstr_other(diagnostics *diag, row_own &own, const char **f, yyjson_val *v, const char *key, bool member);
inline void fstr(diagnostics *diag, row_own &own, const char **f, yyjson_val *v, const char *key,
                 bool member = false) {
    if (yyjson_is_str(v))
        *f = unsafe_yyjson_get_str(v); // NUL-terminated in the document, which lives as long as the row
    else if (!v || yyjson_is_null(v))
        *f = empty_text; // what fstr_other makes of them, without the call
    else if (const char *d = member && yyjson_get_tag(v) == (YYJSON_TYPE_NUM | YYJSON_SUBTYPE_UINT)
                                 ? doc_digits(v, unsafe_yyjson_get_uint(v))
                                 : nullptr)
        *f = d; // the usual id, also without the call
    else
        fstr_other(diag, own, f, v, key, member);
}
// An id field (tmdbId, tvdbId of the release lists and Prowlarr's answer)
// where 0 means none: staged like any text of a member, then cleared.
inline void id_field(diagnostics *diag, row_own &own, const char **f, yyjson_val *v, const char *key) {
    fstr(diag, own, f, v, key, true);
    if ((*f)[0] == '0' && (*f)[1] == '\0') own.clear(f);
}
// The row's IMDb number: normalised, "" when absent, invalid or zero. member
// as for fstr.
void imdb_other(row_own &own, const char **f, yyjson_val *v);
inline void imdb_field(row_own &own, const char **f, yyjson_val *v, bool member = false) {
    // The usual shapes in line: absent, null, or a member's number (its
    // digits are already normalised: no prefix, no leading zero).
    if (!v || yyjson_is_null(v)) {
        *f = empty_text;
        return;
    }
    if (member && yyjson_get_tag(v) == (YYJSON_TYPE_NUM | YYJSON_SUBTYPE_UINT) && unsafe_yyjson_get_uint(v)) {
        if (const char *d = doc_digits(v, unsafe_yyjson_get_uint(v))) {
            *f = d;
            return;
        }
    }
    imdb_other(own, f, v);
}
// The row's categories from the category value (staged in own).
void cats_from(row_own &own, yyjson_val *v);
// val_int with the plain non-negative number handled in line.
inline int val_int_fast(yyjson_val *v, int64_t *out) {
    if (yyjson_get_tag(v) == (YYJSON_TYPE_NUM | YYJSON_SUBTYPE_UINT) && unsafe_yyjson_get_uint(v) < (1ULL << 63)) {
        *out = static_cast<int64_t>(unsafe_yyjson_get_uint(v));
        return 1;
    }
    return val_int(v, out);
}

// One row's values as a parser reads them: by field, through the parser's
// keyset K (a field the answer does not hold reads null), or by the slot of
// a key it reads beyond the fields. key(f) names a field's key in warnings.
template <const keyset &K> struct row_values {
    yyjson_val *v[keyset::values];
    yyjson_val *operator[](row_field f) const { return v[K.slot(f)]; }
    static constexpr const char *key(row_field f) { return K.name[K.slot(f)]; }
};

// The member of a text field.
#define KV_TEXT_MEMBER_text(name) \
    case row_field::name:         \
        return &result_row::name;
#define KV_TEXT_MEMBER_count(name)
#define KV_TEXT_MEMBER_flag(name)
#define KV_TEXT_MEMBER_date(name)
#define KV_TEXT_MEMBER_size(name)
#define KV_TEXT_MEMBER_categories(name)
template <row_field F> constexpr const char *result_row::*text_member() {
    constexpr const char *result_row::*m = [] {
        switch (F) {
#define KV_X(name, kind, ...) KV_TEXT_MEMBER_##kind(name)
            KV_ROW_FIELDS(KV_X)
#undef KV_X
        default:
            return static_cast<const char *result_row::*>(nullptr);
        }
    }();
    static_assert(m != nullptr, "not a text field");
    return m;
}

// Starts filling a row that comes uncleared (next_row): resolves its wanted
// keys into v, empties the staging area and sets the fields that every
// parser sets alike (the object, no size, no categories, no block yet).
inline void row_begin(const key_index &ix, row_own &own, result_row *row, yyjson_val *obj, yyjson_val **v) {
    keys_resolve(ix, &own.layout, obj, v);
    v[ix.ks->null_slot()] = nullptr;
    own.reset();
    row->raw = obj;
    row->has_size = 0;
    row->size = 0;
    row->category = nullptr;
    row->category_count = 0;
    row->own = nullptr;
}

// Text fields F... whose values are taken as they are (fstr, a member's
// number at its digits): one call per field, unrolled, as a loop over a
// table of the fields would cost some ninety instructions a row more.
template <row_field... F, const keyset &K>
inline void texts_as_sent(diagnostics *diag, row_own &own, result_row *row, const row_values<K> &in) {
    (fstr(diag, own, &(row->*text_member<F>()), in[F], in.key(F), true), ...);
}

// The size: a non-negative integer, else the row has none.
inline void size_field(result_row *row, yyjson_val *v) {
    int64_t size;
    if (val_int_fast(v, &size) && size >= 0) {
        row->has_size = 1;
        row->size = size;
    }
}

// val_int then clamp32; dflt when the value is not an integer.
int32_t int_field_other(yyjson_val *v, int32_t dflt);
inline int32_t int_field(yyjson_val *v, int32_t dflt) {
    if (yyjson_get_tag(v) == (YYJSON_TYPE_NUM | YYJSON_SUBTYPE_UINT)) {
        uint64_t u = unsafe_yyjson_get_uint(v);
        if (u <= 2147483647u) return static_cast<int32_t>(u);
    }
    return int_field_other(v, dflt);
}
// "publishDate"/"PublishDate": absent or null -1, else the value's text read
// as an ISO 8601 date-time.
int64_t date_field(yyjson_val *v);

} // namespace kova
