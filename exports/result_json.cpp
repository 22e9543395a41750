// The result document: everything the accessors expose about the current
// result set, as one compact JSON text.
//
// The document is written straight from the set's records into one growing
// buffer; building a yyjson document of every row first cost as much again
// as the writing. The bytes are those yyjson's writer gives for the same
// document with no flags, which tests/exports/result_json_test.cpp checks
// against a yyjson-built copy: members in a fixed order, integers in
// decimal, '/' and non-ASCII characters as they are, '"' and '\\' escaped,
// control characters as \b \t \n \f \r or \u00XX with capital hex digits.
// Texts that are not well-formed UTF-8 are repaired: each byte that does not
// begin a well-formed sequence becomes U+FFFD, so one badly encoded indexer
// name cannot blank the whole document (a well-formed text is unchanged by
// that, so one pass serves both).
#include <bit>
#include <cstring>

#include "core/numbers.h"
#include "exports/frame.h"

using namespace kova;

namespace {

// The output: one buffer from the malloc family (it becomes the text the
// host reads), grown as the rows need. An element checks for room once, for
// its largest possible size, and then writes without checks.
struct doc_out {
    char *base = nullptr;
    char *cur = nullptr;
    char *end = nullptr;

    doc_out() = default;
    ~doc_out() { mem_free(base); }
    doc_out(const doc_out &) = delete;
    doc_out &operator=(const doc_out &) = delete;

    size_t len() const { return static_cast<size_t>(cur - base); }
    size_t cap() const { return static_cast<size_t>(end - base); }

    // Room for n more bytes; false when memory ran out.
    bool room(size_t n) { return static_cast<size_t>(end - cur) >= n || grow(n); }

    bool grow(size_t n) {
        size_t used = len();
        if (n > SIZE_MAX / 2 - used) return false;
        size_t want = cap() < SIZE_MAX / 4 ? cap() * 2 : SIZE_MAX / 2;
        if (want < used + n) want = used + n;
        return resize(want);
    }

    bool resize(size_t want) {
        size_t used = len();
        char *p = static_cast<char *>(mem_realloc(base, want));
        if (!p) return false;
        base = p;
        cur = p + used;
        end = p + want;
        return true;
    }

    // The finished text, NUL-terminated, given up by the writer; a buffer
    // well beyond its text is cut down to size first.
    char *release() {
        if (!room(1)) return nullptr;
        *cur = '\0';
        size_t used = len() + 1;
        if (cap() - used > used / 8 && cap() - used > 4096) resize(used); // keeps the larger one on failure
        char *p = base;
        base = cur = end = nullptr;
        return p;
    }
};

template <size_t N> inline char *lit(char *o, const char (&s)[N]) {
    memcpy(o, s, N - 1);
    return o + N - 1;
}

// What a byte of a text needs: 0 copied as it is, 1 escaped (control
// characters, '"', '\\'), 2 the start of a multi-byte sequence to check.
constexpr unsigned char k_plain = 0, k_escape = 1, k_multi = 2;
struct byte_classes {
    unsigned char c[256];
    constexpr byte_classes() : c() {
        for (int i = 0; i < 256; ++i)
            c[i] = i < 0x20 || i == '"' || i == '\\' ? k_escape : i >= 0x80 ? k_multi : k_plain;
    }
};
constexpr byte_classes k_class;

// Eight bytes at once: a nonzero result has its lowest set bit in the first
// byte that is not plain (a byte below 0x20, '"', '\\', or one with the top
// bit set). Each test's borrow can only mark bytes after a true hit, so the
// lowest mark is exact.
inline uint64_t not_plain(uint64_t v) {
    constexpr uint64_t ones = 0x0101010101010101ULL, high = 0x8080808080808080ULL;
    uint64_t q = v ^ (ones * '"');
    uint64_t b = v ^ (ones * '\\');
    uint64_t lt = (v - ones * 0x20) & ~v;
    uint64_t eq = ((q - ones) & ~q) | ((b - ones) & ~b);
    return (v | lt | eq) & high;
}

// One byte that is not plain, or the sequence it starts; returns the input
// position after it.
inline size_t put_special(char *&o, const unsigned char *s, size_t i, size_t n) {
    unsigned char c = s[i];
    if (k_class.c[c] == k_escape) {
        static constexpr char k_named[0x20] = {0, 0, 0, 0, 0, 0, 0, 0, 'b', 't', 'n', 0, 'f', 'r'};
        o[0] = '\\';
        if (c == '"' || c == '\\') {
            o[1] = static_cast<char>(c);
            o += 2;
        } else if (k_named[c]) {
            o[1] = k_named[c];
            o += 2;
        } else {
            memcpy(o + 1, "u00", 3);
            o[4] = hex_upper[c >> 4];
            o[5] = hex_upper[c & 15];
            o += 6;
        }
        return i + 1;
    }
    size_t len = utf8_len(reinterpret_cast<const char *>(s + i), n - i);
    if (!len) {
        o = lit(o, "\xEF\xBF\xBD");
        return i + 1;
    }
    memcpy(o, s + i, len);
    o += len;
    return i + len;
}

// The body of a text of n bytes (without its quotes); needs room for 6n
// bytes: a control byte becomes six, an invalid byte three.
inline char *put_text(char *o, const char *text, size_t n) {
    const auto *s = reinterpret_cast<const unsigned char *>(text);
    size_t i = 0;
    // Eight bytes at a time while they are plain; the first that is not
    // goes through put_special.
    if constexpr (std::endian::native == std::endian::little) {
        while (n - i >= 8) {
            uint64_t v;
            memcpy(&v, s + i, 8);
            memcpy(o, &v, 8);
            if (uint64_t m = not_plain(v)) {
                size_t k = static_cast<size_t>(std::countr_zero(m)) >> 3;
                o += k;
                i = put_special(o, s, i + k, n);
                continue;
            }
            o += 8;
            i += 8;
        }
    }
    while (i < n) {
        if (k_class.c[s[i]] == k_plain) {
            *o++ = static_cast<char>(s[i++]);
            continue;
        }
        i = put_special(o, s, i, n);
    }
    return o;
}

// Six output bytes per text byte can never exceed this for a text that fits
// in memory; the check keeps the room computation from wrapping.
constexpr size_t k_text_max = SIZE_MAX / 8;

inline const char *text_or_empty(const char *s) { return s ? s : empty_text; }

// A row's members, from the field list: each writes its key with a leading
// ',' (the first one's becomes the row's '{'), then its value. A text's
// length comes measured (len, by its index among the texts), as its room
// was reserved from it.
enum : int {
#define KV_TEXT_INDEX_text(name) t_##name,
#define KV_TEXT_INDEX_count(name)
#define KV_TEXT_INDEX_flag(name)
#define KV_TEXT_INDEX_date(name)
#define KV_TEXT_INDEX_size(name)
#define KV_TEXT_INDEX_categories(name)
#define KV_X(name, kind, ...) KV_TEXT_INDEX_##kind(name)
    KV_ROW_FIELDS(KV_X)
#undef KV_X
    k_row_texts
};

#define KV_PUT_text(name, key)              \
    o = lit(o, ",\"" key "\":\"");           \
    o = put_text(o, t[t_##name], len[t_##name]); \
    *o++ = '"';
#define KV_PUT_count(name, key)   \
    o = lit(o, ",\"" key "\":"); \
    o = write_i64(o, r.name);
#define KV_PUT_date(name, key) KV_PUT_count(name, key)
#define KV_PUT_flag(name, key) o = r.name ? lit(o, ",\"" key "\":true") : lit(o, ",\"" key "\":false");
#define KV_PUT_size(name, key)    \
    o = lit(o, ",\"" key "\":"); \
    o = r.has_##name ? write_u64(o, static_cast<uint64_t>(r.name)) : lit(o, "null");
#define KV_PUT_categories(name, key)              \
    o = lit(o, ",\"" key "\":[");                 \
    for (int32_t j = 0; j < r.name##_count; ++j) { \
        if (j) *o++ = ',';                        \
        o = write_i64(o, r.name[j]);                \
    }                                             \
    *o++ = ']';

// Room for everything in a row but its texts' and categories' contents: the
// row's braces, the comma before it and each member's key and punctuation,
// with the longest integer for each number.
#define KV_ROOM_text(key) sizeof(",\"" key "\":\"\"") - 1
#define KV_ROOM_count(key) sizeof(",\"" key "\":") - 1 + max_int_digits
#define KV_ROOM_date(key) KV_ROOM_count(key)
#define KV_ROOM_size(key) KV_ROOM_count(key)
#define KV_ROOM_flag(key) sizeof(",\"" key "\":false") - 1
#define KV_ROOM_categories(key) sizeof(",\"" key "\":[]") - 1
constexpr size_t k_row_fixed = sizeof "{}," - 1
#define KV_X(name, kind, key, ...) + KV_ROOM_##kind(key)
    KV_ROW_FIELDS(KV_X)
#undef KV_X
    ;
constexpr size_t k_cat_room = 12; // "-2147483648,"

char *put_row(char *o, const result_row &r, const char *const *t, const size_t *len) {
    char *start = o;
#define KV_X(name, kind, key, ...) KV_PUT_##kind(name, key)
    KV_ROW_FIELDS(KV_X)
#undef KV_X
    *start = '{';
    *o++ = '}';
    return o;
}

bool write_row(doc_out &out, const result_row &r, bool first) {
    const char *t[k_row_texts] = {
#define KV_TEXT_text(name) r.name,
#define KV_TEXT_count(name)
#define KV_TEXT_flag(name)
#define KV_TEXT_date(name)
#define KV_TEXT_size(name)
#define KV_TEXT_categories(name)
#define KV_X(name, kind, ...) KV_TEXT_##kind(name)
        KV_ROW_FIELDS(KV_X)
#undef KV_X
    };
    size_t len[k_row_texts];
    size_t texts = 0;
    for (int k = 0; k < k_row_texts; ++k) {
        t[k] = text_or_empty(t[k]);
        len[k] = strlen(t[k]);
        texts += len[k];
    }
    size_t cats = 0; // category ids to write
#define KV_CATS_text(name)
#define KV_CATS_count(name)
#define KV_CATS_flag(name)
#define KV_CATS_date(name)
#define KV_CATS_size(name)
#define KV_CATS_categories(name) cats += r.name##_count > 0 ? static_cast<size_t>(r.name##_count) : 0;
#define KV_X(name, kind, ...) KV_CATS_##kind(name)
    KV_ROW_FIELDS(KV_X)
#undef KV_X
    if (texts > k_text_max) return false;
    if (!out.room(k_row_fixed + 6 * texts + k_cat_room * cats)) return false;
    if (!first) *out.cur++ = ',';
    out.cur = put_row(out.cur, r, t, len);
    return true;
}

// A text in quotes after a short literal (a key, a separator); `after` is
// room for what the caller writes next without checking.
template <size_t N> bool write_text(doc_out &out, const char (&before)[N], const char *s, size_t after) {
    s = text_or_empty(s);
    size_t n = strlen(s);
    if (n > k_text_max || !out.room(N + 6 * n + 2 + after)) return false;
    char *o = lit(out.cur, before);
    *o++ = '"';
    o = put_text(o, s, n);
    *o++ = '"';
    out.cur = o;
    return true;
}

// Room for two integer members and the literals around them.
constexpr size_t k_small = 64;

bool write_indexer(doc_out &out, const indexer_entry &e, bool first) {
    bool ok = first ? write_text(out, "{\"id\":", e.id, 0) : write_text(out, ",{\"id\":", e.id, 0);
    if (!ok || !write_text(out, ",\"name\":", e.name, k_small)) return false;
    out.cur = lit(out.cur, ",\"status\":");
    out.cur = write_i64(out.cur, e.status);
    out.cur = lit(out.cur, ",\"results\":");
    out.cur = write_i64(out.cur, e.results);
    if (!write_text(out, ",\"error\":", e.error, 1)) return false;
    *out.cur++ = '}';
    return true;
}

// Rows sized from the first ones: after this many, the buffer is made big
// enough for the rest at their average size (plus an eighth), so a large
// set is written without copying its text on the way.
constexpr int32_t k_sample_rows = 64;
constexpr size_t k_first_room = 64 * 1024;

// The whole document; null when memory ran out.
char *write_document(const context &ctx) {
    doc_out out;
    const result_set &rs = ctx.rs;
    if (!out.resize(rs.row_count > 0 ? k_first_room : 512)) return nullptr;
    out.cur = lit(out.cur, "{\"stage\":");
    out.cur = write_i64(out.cur, ctx.stage);
    out.cur = lit(out.cur, ",\"rc\":");
    out.cur = write_i64(out.cur, ctx.rc);
    out.cur = lit(out.cur, ",\"results\":[");
    size_t rows_start = out.len();
    for (int32_t i = 0; i < rs.row_count; ++i) {
        if (i == k_sample_rows) {
            size_t per_row = (out.len() - rows_start) / static_cast<size_t>(i) + 1;
            size_t rest = static_cast<size_t>(rs.row_count - i);
            if (rest <= (SIZE_MAX / 4) / per_row) {
                size_t want = out.len() + rest * per_row + rest * per_row / 8 + k_first_room;
                if (want > out.cap() && !out.resize(want)) return nullptr;
            }
        }
        if (!write_row(out, rs.rows[i], i == 0)) return nullptr;
    }
    if (!out.room(k_small)) return nullptr;
    out.cur = lit(out.cur, "],\"indexers\":[");
    for (int32_t i = 0; i < rs.indexer_count; ++i)
        if (!write_indexer(out, rs.indexers[i], i == 0)) return nullptr;
    if (!out.room(k_small)) return nullptr;
    out.cur = lit(out.cur, "],\"indexers_errored\":");
    out.cur = write_i64(out.cur, rs.indexers_errored);
    out.cur = lit(out.cur, ",\"warnings\":[");
    for (int32_t i = 0; i < ctx.warning_count; ++i)
        if (!(i ? write_text(out, ",", ctx.warnings[i], 0) : write_text(out, "", ctx.warnings[i], 0))) return nullptr;
    if (!out.room(2)) return nullptr;
    out.cur = lit(out.cur, "]}");
    return out.release();
}
} // namespace

char *kova::result_document(const context *ctx) { return write_document(*ctx); }

extern "C" KOVA_API const char *kova_result_json(void) {
    host_context &c = current();
    mem_free(c.json_text);
    c.json_text = write_document(c);
    return c.json_text ? c.json_text : empty_text;
}
