// The row builder: one-pass key resolution over a row's members, the staging
// of the texts and categories a row builds, and the shared chunks their
// blocks are carved from.
#include <cctype>
#include <cstring>

#include "core/platform.h"
#include "parse/rows.h"

namespace kova {

namespace {
// Stages v's decimal digits (after a '-' when neg) as the text of *f,
// written straight into the staging area.
void put_uint(row_own &own, const char **f, uint64_t v, bool neg) {
    own.field[own.nfield] = f;
    own.off[own.nfield++] = static_cast<uint32_t>(own.used);
    char *p = own.text + own.used;
    *f = p;
    if (neg) *p++ = '-';
    char *end = write_u64(p, v);
    *end = '\0';
    own.used = static_cast<size_t>(end + 1 - own.text);
}
} // namespace

key_index::key_index(const keyset &k) : ks(&k) {
    for (int c = 0; c < 256; ++c) fold[c] = static_cast<uint8_t>(tolower(c));
    uint8_t by_fold[256][keyset::max_len] = {};
    for (int i = 0; i < k.count; ++i) {
        for (size_t j = 0; j < k.len[i]; ++j) wfold[i][j] = fold[static_cast<unsigned char>(k.name[i][j])];
        uint8_t &e = by_fold[wfold[i][0]][k.len[i]];
        e = e ? several : static_cast<uint8_t>(i + 1);
    }
    for (int c = 0; c < 256; ++c) memcpy(cand[c], by_fold[fold[c]], sizeof cand[c]);
}


namespace {
// The first candidate slot whose key equals k (kl bytes) with letter case
// folded, or -1.
int loose_slot(const key_index &ix, const unsigned char *k, size_t kl, int only) {
    for (const int8_t *c = ix.ks->bylen[kl]; *c >= 0; ++c) {
        if (only >= 0 && *c != only) continue;
        const uint8_t *wf = ix.wfold[*c];
        size_t j = 0;
        while (j < kl && ix.fold[k[j]] == wf[j]) ++j;
        if (j == kl) return *c;
    }
    return -1;
}
} // namespace

namespace {
// The key after key's member. A branch instead of yyjson's select: the
// predictor learns where a row's containers are, so the walk does not wait
// for each value's tag to be loaded before it can find the next key.
__attribute__((always_inline)) inline yyjson_val *next_key(yyjson_val *key) {
    yyjson_val *val = key + 1;
    if (__builtin_expect(unsafe_yyjson_is_ctn(val), 0))
        return reinterpret_cast<yyjson_val *>(reinterpret_cast<uint8_t *>(val) + val->uni.ofs);
    return val + 1;
}
} // namespace

namespace {
// The 8 bytes at a key. A key's text in the document is followed by at
// least four bytes (its closing quote, now a NUL, a ':', a value, a closing
// brace), and the document's text by YYJSON_PADDING_SIZE (4) zero bytes:
// 8 bytes from a key's start never leave the buffer the document was read
// in, whichever it is.
inline uint64_t key_word(const unsigned char *k) { return load_word<uint64_t>(k); }

// Records member j of the layout from its key value.
void lay_member(key_layout::member &e, yyjson_val *key, int8_t slot) {
    size_t kl = unsafe_yyjson_get_len(key);
    const auto *k = reinterpret_cast<const unsigned char *>(unsafe_yyjson_get_str(key));
    e.tag = key->tag;
    e.str = k;
    e.slot = slot;
    e.wide = kl > 8;
    unsigned char mask[8] = {};
    memset(mask, 0xff, kl < 8 ? kl : 8);
    memcpy(&e.head_mask, mask, 8);
    e.head = key_word(k) & e.head_mask;
    e.tail = kl >= 8 ? load_word<uint64_t>(k + kl - 8) : 0;
}

// Whether key is the same as the layout's member e.
__attribute__((always_inline)) inline bool lay_same(const key_layout::member &e, yyjson_val *key) {
    if (key->tag != e.tag) return false;
    const auto *k = reinterpret_cast<const unsigned char *>(unsafe_yyjson_get_str(key));
    if ((key_word(k) & e.head_mask) != e.head) return false;
    if (!e.wide) return true;
    size_t kl = unsafe_yyjson_get_len(key);
    if (load_word<uint64_t>(k + kl - 8) != e.tail) return false;
    return kl <= 16 || eq_bytes(k + 8, e.str + 8, kl - 16);
}
} // namespace

void keys_resolve(const key_index &ix, key_layout *lay, yyjson_val *obj, yyjson_val **out) {
    const keyset &ks = *ix.ks;
    size_t n = unsafe_yyjson_get_len(obj);
    yyjson_val *first = n ? unsafe_yyjson_get_first(obj) : nullptr;

    // Same keys as the row the layout was taken from: same answer. Members
    // that give no wanted key write the scratch slot, out[ks.count]; the
    // wanted keys none gives are cleared after.
    if (lay && lay->m >= 0 && (lay->stopped ? n >= static_cast<size_t>(lay->m) : n == static_cast<size_t>(lay->m))) {
        yyjson_val *key = first;
        const key_layout::member *e = lay->mem, *end = lay->mem + lay->m;
        for (; e != end; ++e, key = next_key(key)) {
            if (!lay_same(*e, key)) break;
            out[e->slot] = key + 1;
        }
        if (e == end) {
            for (int i = 0; i < lay->missing; ++i) out[lay->missing_slot[i]] = nullptr;
            return;
        }
    }

    for (int i = 0; i < ks.count; ++i) out[i] = nullptr;
    int8_t member_of[keyset::max_keys];
    uint32_t exact = 0; // slots holding an exact match; a case-folded match fills a slot only until then
    uint32_t loose = 0;
    const uint32_t all = (1u << ks.count) - 1;
    bool keep = lay && n <= static_cast<size_t>(key_layout::max_members);
    bool stopped = false;
    size_t i = 0;
    yyjson_val *key = first;
    for (; i < n; ++i, key = next_key(key)) {
        size_t kl = unsafe_yyjson_get_len(key);
        const auto *k = reinterpret_cast<const unsigned char *>(unsafe_yyjson_get_str(key));
        if (kl >= static_cast<size_t>(keyset::max_len)) continue;
        // An empty key reads its NUL here: no wanted key has length 0.
        uint8_t e = ix.cand[k[0]][kl];
        if (!e) continue;
        int slot = -1;
        if (e != key_index::several) {
            if (eq_bytes(k, reinterpret_cast<const unsigned char *>(ks.name[e - 1]), kl)) slot = e - 1;
        } else {
            for (const int8_t *c = ks.bylen[kl]; *c >= 0; ++c)
                if (eq_bytes(k, reinterpret_cast<const unsigned char *>(ks.name[*c]), kl)) {
                    slot = *c;
                    break;
                }
        }
        if (slot >= 0) {
            uint32_t bit = 1u << slot;
            if (!(exact & bit)) {
                exact |= bit;
                out[slot] = key + 1;
                member_of[slot] = static_cast<int8_t>(i);
                if (exact == all) {
                    stopped = true;
                    ++i;
                    break;
                }
            }
            continue;
        }
        slot = loose_slot(ix, k, kl, e != key_index::several ? e - 1 : -1);
        if (slot < 0) continue;
        uint32_t bit = 1u << slot;
        if (!((exact | loose) & bit)) {
            loose |= bit;
            out[slot] = key + 1;
            member_of[slot] = static_cast<int8_t>(i);
        }
    }
    if (!lay) return;
    if (!keep) {
        lay->m = -1;
        return;
    }
    // The layout of this row: the members examined, each with the wanted key
    // it ended up giving (a case-folded match may have been replaced by an
    // exact one after it).
    lay->m = static_cast<int>(i);
    lay->stopped = stopped;
    int8_t slot_of[key_layout::max_members];
    for (size_t j = 0; j < i; ++j) slot_of[j] = static_cast<int8_t>(ks.count);
    lay->missing = 0;
    for (int s = 0; s < ks.count; ++s) {
        if (out[s])
            slot_of[member_of[s]] = static_cast<int8_t>(s);
        else
            lay->missing_slot[lay->missing++] = static_cast<int8_t>(s);
    }
    key = first;
    for (size_t j = 0; j < i; ++j, key = next_key(key)) lay_member(lay->mem[j], key, slot_of[j]);
}

// A row's block sits in a chunk: [u64 distance back to the chunk][categories]
// [texts]. The chunk starts with its header: the number of rows whose blocks
// it holds, and its size.
namespace {
constexpr size_t k_chunk = 64 * 1024;
constexpr size_t k_hdr = 8;
struct chunk_hdr {
    uint32_t live;
    uint32_t cap;
};
static_assert(sizeof(chunk_hdr) == k_hdr);

chunk_hdr get_hdr(const char *c) {
    chunk_hdr h;
    memcpy(&h, c, sizeof h);
    return h;
}
void set_hdr(char *c, chunk_hdr h) { memcpy(c, &h, sizeof h); }

char *chunk_of(char *own) {
    uint64_t back;
    memcpy(&back, own - k_hdr, sizeof back);
    return own - k_hdr - back;
}
} // namespace

bool row_own::finish(result_row *row) {
    size_t cat_bytes = static_cast<size_t>(ncats) * sizeof(int32_t);
    size_t total = cat_bytes + used;
    if (!total) return true;
    size_t need = (k_hdr + total + 7) & ~static_cast<size_t>(7);
    if (!chunk || chunk_cap - chunk_used < need) {
        size_t cap = need + k_hdr > k_chunk ? need + k_hdr : k_chunk;
        char *c = static_cast<char *>(mem_alloc(cap));
        if (!c) {
            for (int i = 0; i < nfield; ++i) *field[i] = nullptr; // they pointed at the staging area
            return false;
        }
        set_hdr(c, chunk_hdr{0, static_cast<uint32_t>(cap)});
        chunk = c;
        chunk_used = k_hdr;
        chunk_cap = cap;
    }
    char *at = chunk + chunk_used;
    uint64_t back = chunk_used;
    memcpy(at, &back, sizeof back);
    chunk_hdr h = get_hdr(chunk);
    ++h.live;
    set_hdr(chunk, h);
    chunk_used += need;
    char *block = at + k_hdr;
    if (ncats) {
        small_copy(block, cats, cat_bytes);
        row->category = reinterpret_cast<int32_t *>(block);
        row->category_count = ncats;
    }
    if (used) {
        small_copy(block + cat_bytes, text, used);
        for (int i = 0; i < nfield; ++i) *field[i] = block + cat_bytes + off[i];
    }
    row->own = block;
    return true;
}

void own_release(char *own) {
    if (!own) return;
    own_run run;
    run.add(own);
    run.flush();
}

void own_run::add(char *own) {
    if (!own) return;
    auto at = reinterpret_cast<uintptr_t>(own);
    if (at > reinterpret_cast<uintptr_t>(chunk) && at < reinterpret_cast<uintptr_t>(end)) {
        ++n; // the same chunk as the row before: no need to look
        return;
    }
    flush();
    chunk = chunk_of(own);
    end = chunk + get_hdr(chunk).cap;
    n = 1;
}

void own_run::flush() {
    if (!chunk) return;
    chunk_hdr h = get_hdr(chunk);
    h.live -= n;
    if (h.live == 0)
        mem_free(chunk);
    else
        set_hdr(chunk, h);
    chunk = end = nullptr;
    n = 0;
}

void fstr_other(diagnostics *diag, row_own &own, const char **f, yyjson_val *v, const char *key, bool member) {
    switch (yyjson_get_tag(v)) {
    case YYJSON_TYPE_NUM | YYJSON_SUBTYPE_UINT:
        if (const char *d = member ? doc_digits(v, unsafe_yyjson_get_uint(v)) : nullptr)
            *f = d;
        else
            put_uint(own, f, unsafe_yyjson_get_uint(v), false);
        return;
    case YYJSON_TYPE_NUM | YYJSON_SUBTYPE_SINT: {
        int64_t i = unsafe_yyjson_get_sint(v);
        put_uint(own, f, i < 0 ? 0 - static_cast<uint64_t>(i) : static_cast<uint64_t>(i), i < 0);
        return;
    }
    default:
        break;
    }
    char buf[64];
    int flag = 0;
    const char *t = val_text(v, buf, &flag);
    if (yyjson_is_num(v)) // formatted into buf: the row keeps a copy
        own.put(f, t, strlen(t));
    else
        *f = t; // "", "true", "false": constants
    if (flag) warnf(diag, "field %s: object/array where a scalar was expected, treated as empty", key);
}

void imdb_other(row_own &own, const char **f, yyjson_val *v) {
    char buf[64];
    if (yyjson_get_tag(v) == (YYJSON_TYPE_NUM | YYJSON_SUBTYPE_UINT)) {
        // A number's digits are already normalised (no prefix, no leading zero).
        uint64_t u = unsafe_yyjson_get_uint(v);
        if (!u)
            *f = empty_text;
        else
            put_uint(own, f, u, false);
        return;
    }
    bool in_doc = yyjson_is_str(v);
    const char *t = in_doc ? unsafe_yyjson_get_str(v) : val_text(v, buf, nullptr);
    size_t n = 0;
    const char *d = imdb_digits(t, 63, &n); // the 64-byte buffer's limit
    if (!d || (n == 1 && d[0] == '0')) {
        *f = empty_text; // invalid, or zero: absent
        return;
    }
    if (in_doc && d[n] == '\0')
        *f = d; // the number ends the document's text: no copy needed
    else
        own.put(f, d, n);
}

namespace {
bool cat_value(yyjson_val *v, int32_t *out) {
    int64_t i;
    if (yyjson_is_str(v) || !val_int(v, &i)) return false;
    *out = clamp32(i);
    return true;
}
} // namespace

void cats_from(row_own &own, yyjson_val *v) {
    own.ncats = 0;
    if (!v) return;
    if (yyjson_is_arr(v)) {
        size_t idx, max;
        yyjson_val *e;
        yyjson_arr_foreach(v, idx, max, e) {
            if (own.ncats >= max_categories) break;
            if (yyjson_get_tag(e) == (YYJSON_TYPE_NUM | YYJSON_SUBTYPE_UINT) &&
                unsafe_yyjson_get_uint(e) <= 2147483647u) { // the usual case
                own.cats[own.ncats++] = static_cast<int32_t>(unsafe_yyjson_get_uint(e));
                continue;
            }
            yyjson_val *c = yyjson_is_obj(e) ? obj_iget(e, "id") : e;
            if (cat_value(c, &own.cats[own.ncats])) ++own.ncats;
        }
        return;
    }
    if (cat_value(v, &own.cats[0])) own.ncats = 1;
}

int32_t int_field_other(yyjson_val *v, int32_t dflt) {
    int64_t i;
    return val_int(v, &i) ? clamp32(i) : dflt;
}

int64_t date_field(yyjson_val *v) {
    if (!v || yyjson_is_null(v)) return -1;
    if (yyjson_is_str(v)) return parse_iso_len(unsafe_yyjson_get_str(v), unsafe_yyjson_get_len(v));
    char buf[64];
    return parse_iso(val_text(v, buf, nullptr));
}

bool reserve_rows(result_set *rs, yyjson_val *arr) {
    size_t len = yyjson_arr_size(arr);
    int32_t n = len < static_cast<size_t>(max_rows) ? static_cast<int32_t>(len) : max_rows;
    if (n <= 64) return true; // the first growth step covers it
    auto *p = static_cast<result_row *>(mem_alloc(sizeof(result_row) * static_cast<size_t>(n)));
    if (!p) return false;
    rs->rows = p;
    rs->row_cap = n;
    return true;
}

} // namespace kova
