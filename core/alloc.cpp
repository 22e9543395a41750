#include "core/alloc.h"

#include <cstdint>
#include <cstring>

#include "core/core.h"
#include "core/platform.h"

namespace kova {

#if defined(KV_FAULT_INJECTION)

namespace {
thread_local long g_fault_at = 0;       // fail when the count reaches this (0: never)
thread_local bool g_fault_persist = false;
thread_local long g_fault_count = 0;
thread_local bool g_fault_hit = false;
thread_local int g_fault_random = 0;

bool should_fail() {
    if (g_fault_at <= 0) return false;
    ++g_fault_count;
    if (g_fault_count == g_fault_at || (g_fault_persist && g_fault_count > g_fault_at)) {
        g_fault_hit = true;
        return true;
    }
    return false;
}
} // namespace

void *mem_alloc(size_t n) { return should_fail() ? nullptr : malloc(n); }
void *mem_calloc(size_t count, size_t size) { return should_fail() ? nullptr : calloc(count, size); }
void *mem_realloc(void *p, size_t n) { return should_fail() ? nullptr : realloc(p, n); }

void fault_arm(long n, bool persistent) {
    g_fault_at = n;
    g_fault_persist = persistent;
    g_fault_count = 0;
    g_fault_hit = false;
}
void fault_disarm() { g_fault_at = 0; g_fault_persist = false; }
long fault_count() { return g_fault_count; }
bool fault_injected() { return g_fault_hit; }
void fault_random(int n) { g_fault_random = n; }
bool fault_random_fails() {
    if (g_fault_random <= 0) return false;
    --g_fault_random;
    return true;
}

#endif

namespace {
// yyjson's allocations: a large answer's values are its largest block. Not
// when yyjson grows one (answers of tiny values outgrow its estimate): a
// huge-page block that realloc moves costs memory instead of time.
void *alc_malloc(void *, size_t n) {
    void *p = mem_alloc(n);
    hint_large(p, n);
    return p;
}
void *alc_realloc(void *, void *p, size_t, size_t n) { return mem_realloc(p, n); }
void alc_free(void *, void *p) { mem_free(p); }
} // namespace

const yyjson_alc json_alc = {alc_malloc, alc_realloc, alc_free, nullptr};

yyjson_doc *json_read(const char *text, size_t len, bool *oom) {
    if (oom) *oom = false;
    if (!text) return nullptr;
    yyjson_read_err err;
    // Without YYJSON_READ_INSITU the input is only read, never written.
    yyjson_doc *doc = yyjson_read_opts(const_cast<char *>(text), len, 0, &json_alc, &err);
    if (!doc && oom) *oom = err.code == YYJSON_READ_ERROR_MEMORY_ALLOCATION;
    return doc;
}

// ---------------------------------------------------------------------------
// Service answers: one badly encoded text must not lose the whole answer.
// ---------------------------------------------------------------------------
namespace {
int hex4(const unsigned char *p) {
    int v = 0;
    for (int k = 0; k < 4; ++k) {
        unsigned char c = p[k];
        int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0) return -1;
        v = v * 16 + d;
    }
    return v;
}

// Writes text with every string literal's invalid Unicode replaced: a byte
// that starts no well-formed UTF-8 sequence becomes U+FFFD (the rule of the
// result document's repair), an escaped surrogate without its partner
// becomes the escape \ufffd. Bytes outside string literals are left alone,
// so any other malformation still fails the read that follows. out null:
// only measures. Returns the length written; *texts counts the literals
// repaired.
size_t mend(const char *text, size_t len, char *out, int32_t *texts) {
    const auto *t = reinterpret_cast<const unsigned char *>(text);
    size_t o = 0;
    auto put = [&](const void *p, size_t n) {
        if (out) memcpy(out + o, p, n);
        o += n;
    };
    bool in = false, bad = false;
    *texts = 0;
    size_t i = 0;
    while (i < len) {
        unsigned char c = t[i];
        if (!in || (c >= 0x20 && c < 0x80 && c != '"' && c != '\\')) {
            // Runs of plain bytes go at once.
            size_t j = i + 1;
            if (!in) {
                in = c == '"';
                bad = false;
            } else {
                while (j < len && t[j] >= 0x20 && t[j] < 0x80 && t[j] != '"' && t[j] != '\\') ++j;
            }
            put(t + i, j - i);
            i = j;
            continue;
        }
        if (c == '"') {
            in = false;
            if (bad) ++*texts;
            put(t + i, 1);
            ++i;
            continue;
        }
        if (c == '\\') {
            int cp = i + 6 <= len && t[i + 1] == 'u' ? hex4(t + i + 2) : -1;
            if (cp >= 0xD800 && cp <= 0xDBFF) {
                int lo = i + 12 <= len && t[i + 6] == '\\' && t[i + 7] == 'u' ? hex4(t + i + 8) : -1;
                if (lo >= 0xDC00 && lo <= 0xDFFF) {
                    put(t + i, 12);
                    i += 12;
                    continue;
                }
            }
            if (cp >= 0xD800 && cp <= 0xDFFF) {
                put("\\ufffd", 6);
                bad = true;
                i += 6;
                continue;
            }
            size_t n = cp >= 0 ? 6 : (i + 2 <= len ? 2 : 1);
            put(t + i, n);
            i += n;
            continue;
        }
        size_t n = c < 0x80 ? 1 : utf8_len(text + i, len - i);
        if (n) {
            put(t + i, n);
            i += n;
        } else {
            put("\xEF\xBF\xBD", 3);
            bad = true;
            ++i;
        }
    }
    if (in && bad) ++*texts;
    return o;
}

// True when text holds no byte outside well-formed UTF-8 and no escaped
// surrogate without its partner, so that a strict read cannot fail for
// either. Every backslash is taken as an escape: outside a string literal
// one is a malformation anyway. Blocks of plain ASCII without a backslash,
// the bulk of an answer, are passed over whole; the block test is a plain
// loop the compiler turns into vector compares.
bool answer_clean(const char *text, size_t len) {
    const auto *t = reinterpret_cast<const unsigned char *>(text);
    // Nonzero when a byte of [p, p + n) is not ASCII or is a backslash.
    auto flagged = [](const unsigned char *p, size_t n) {
        unsigned char acc = 0;
        for (size_t k = 0; k < n; ++k) acc |= static_cast<unsigned char>((p[k] & 0x80) | (p[k] == '\\' ? 0x80 : 0));
        return acc != 0;
    };
    size_t i = 0;
    while (i < len) {
        if (i + 64 <= len && !flagged(t + i, 64)) {
            i += 64;
            continue;
        }
        if (i + 8 <= len && !flagged(t + i, 8)) {
            i += 8;
            continue;
        }
        unsigned char c = t[i];
        if (c == '\\') {
            int cp = i + 6 <= len && t[i + 1] == 'u' ? hex4(t + i + 2) : -1;
            if (cp >= 0xD800 && cp <= 0xDBFF) {
                int lo = i + 12 <= len && t[i + 6] == '\\' && t[i + 7] == 'u' ? hex4(t + i + 8) : -1;
                if (lo < 0xDC00 || lo > 0xDFFF) return false;
                i += 12;
            } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                return false;
            } else {
                i += cp >= 0 ? 6 : 2;
            }
        } else if (c >= 0x80) {
            size_t n = utf8_len(text + i, len - i);
            if (!n) return false;
            i += n;
        } else {
            ++i;
        }
    }
    return true;
}

// The answer mended into a fresh text; null
// when there is nothing to mend (*texts 0) or no memory (*oom).
char *mended(const char *text, size_t len, size_t *n, int32_t *texts, bool *oom) {
    *n = mend(text, len, nullptr, texts);
    if (!*texts) return nullptr;
    // With yyjson's padding after it, so that it can be read in place.
    char *fixed = static_cast<char *>(mem_alloc(*n + 1 + YYJSON_PADDING_SIZE));
    if (!fixed) {
        *oom = true;
        return nullptr;
    }
    mend(text, len, fixed, texts);
    memset(fixed + *n, 0, 1 + YYJSON_PADDING_SIZE);
    return fixed;
}

// The strict read of what a mending made, and its one warning.
yyjson_doc *read_mended(diagnostics *diag, char *fixed, size_t n, int32_t texts, yyjson_read_flag flags, bool *oom) {
    yyjson_read_err err;
    yyjson_doc *doc = yyjson_read_opts(fixed, n, flags, &json_alc, &err);
    if (!doc) {
        *oom = err.code == YYJSON_READ_ERROR_MEMORY_ALLOCATION;
        return nullptr;
    }
    warnf(diag, "invalid Unicode in %d texts of the answer replaced by U+FFFD", static_cast<int>(texts));
    return doc;
}
} // namespace

namespace {
// Mends an answer the strict read refused for its strings (err) and reads
// the mended text; null when there was nothing to mend, or on failure.
yyjson_doc *read_refused(diagnostics *diag, const char *text, size_t len, const yyjson_read_err &err, bool *oom) {
    *oom = err.code == YYJSON_READ_ERROR_MEMORY_ALLOCATION;
    // Invalid UTF-8 and lone surrogates are the only string faults mended;
    // an answer with none of them fails as it did.
    if (err.code != YYJSON_READ_ERROR_INVALID_STRING) return nullptr;
    size_t n;
    int32_t texts;
    text_guard fixed(mended(text, len, &n, &texts, oom));
    if (!fixed.p) return nullptr;
    // Read through yyjson's copy: the caller keeps only the document.
    return read_mended(diag, fixed.p, n, texts, 0, oom);
}

// Copies the host's text into dst up to its NUL or until room bytes are
// copied; *done tells which. The bulk goes 16 bytes at a time, each block
// checked for a zero byte as it passes: measuring the text first (strlen)
// and copying it after reads a large answer twice from memory and costs
// half as much again as this one pass, which runs about as fast as memcpy
// (a stretch-wise strnlen and memcpy is no better). The blocks are read at
// addresses aligned to their size, so the block holding the NUL may hold
// bytes after the text but never leaves the page the NUL is on (what every
// strlen does); AddressSanitizer is told, as it would take that for an
// overflow. No block after the one holding the NUL is read.
typedef unsigned char text_block __attribute__((vector_size(16), may_alias));
constexpr size_t k_block = sizeof(text_block);

__attribute__((no_sanitize("address"))) inline bool has_nul(const char *p) {
    text_block zero = *reinterpret_cast<const text_block *>(p) == 0;
    uint64_t lo, hi;
    memcpy(&lo, &zero, 8);
    memcpy(&hi, reinterpret_cast<const char *>(&zero) + 8, 8);
    return (lo | hi) != 0;
}

__attribute__((no_sanitize("address"))) size_t copy_to_nul(const char *src, char *dst, size_t room, bool *done) {
    size_t i = 0;
    while (i < room && (reinterpret_cast<uintptr_t>(src + i) & (k_block - 1))) {
        if (!src[i]) {
            *done = true;
            return i;
        }
        dst[i] = src[i];
        ++i;
    }
    while (room - i >= 4 * k_block) {
        // Four blocks a round, each checked before the next is read.
        for (int b = 0; b < 4; ++b, i += k_block) {
            if (has_nul(src + i)) goto last;
            memcpy(dst + i, src + i, k_block);
        }
    }
last:
    for (; i < room; ++i) {
        if (!src[i]) {
            *done = true;
            return i;
        }
        dst[i] = src[i];
    }
    *done = false;
    return i;
}

// A copy of the answer with yyjson's zero padding after it, in a buffer of
// its own; *n receives its length. A text of unknown length (to_nul) is
// measured while it is copied, into a buffer that grows by doubling (realloc
// of a large block seldom moves it). Null when out of memory.
char *answer_copy(const char *text, size_t len, size_t *n) {
    if (len != to_nul) {
        if (len > SIZE_MAX - YYJSON_PADDING_SIZE) return nullptr;
        auto *buf = static_cast<char *>(mem_alloc(len + YYJSON_PADDING_SIZE));
        if (!buf) return nullptr;
        hint_large(buf, len);
        memcpy(buf, text, len);
        memset(buf + len, 0, YYJSON_PADDING_SIZE);
        *n = len;
        return buf;
    }
    constexpr size_t first = 64 * 1024;
    size_t cap = first, used = 0;
    auto *buf = static_cast<char *>(mem_alloc(cap + YYJSON_PADDING_SIZE));
    if (!buf) return nullptr;
    for (;;) {
        bool done;
        used += copy_to_nul(text + used, buf + used, cap - used, &done);
        if (done) break;
        auto *more = static_cast<char *>(mem_realloc(buf, 2 * cap + YYJSON_PADDING_SIZE));
        if (!more) {
            mem_free(buf);
            return nullptr;
        }
        buf = more;
        cap *= 2;
        hint_large(buf, cap);
    }
    // The slack stays: pages never written cost no memory.
    memset(buf + used, 0, YYJSON_PADDING_SIZE);
    *n = used;
    return buf;
}
} // namespace

yyjson_doc *answer_read(diagnostics *diag, const char *text, size_t len, bool *oom) {
    *oom = false;
    if (!text) return nullptr;
    yyjson_read_err err;
    yyjson_doc *doc = yyjson_read_opts(const_cast<char *>(text), len, 0, &json_alc, &err);
    if (doc) return doc;
    return read_refused(diag, text, len, err, oom);
}

yyjson_doc *answer_read_copy(diagnostics *diag, const char *text, size_t len, char **copy, bool *oom) {
    *oom = false;
    *copy = nullptr;
    if (!text) return nullptr;
    size_t n = 0;
    text_guard buf(answer_copy(text, len, &n));
    if (!buf.p) {
        *oom = true;
        return nullptr;
    }
    yyjson_read_err err;
    yyjson_doc *doc = yyjson_read_opts(buf.p, n, YYJSON_READ_INSITU, &json_alc, &err);
    if (doc) {
        *copy = buf.release();
        return doc;
    }
    // The failed read may have written over the copy: a mending starts from
    // the host's text, and its document holds a copy of its own.
    return read_refused(diag, text, n, err, oom);
}

yyjson_doc *answer_read_in_place(diagnostics *diag, char **text, size_t len, bool *oom) {
    *oom = false;
    if (len > SIZE_MAX - YYJSON_PADDING_SIZE) {
        *oom = true;
        return nullptr;
    }
    // yyjson reads a few zero bytes past the text.
    auto *padded = static_cast<char *>(mem_realloc(*text, len + YYJSON_PADDING_SIZE));
    if (!padded) {
        *oom = true;
        return nullptr;
    }
    *text = padded;
    memset(padded + len, 0, YYJSON_PADDING_SIZE);
    if (!answer_clean(padded, len)) {
        // Mended before any read: a read in place that failed would have
        // written over the text the mending needs. The mended text replaces
        // the answer at once, so the two are not held longer than the mending.
        size_t n;
        int32_t texts;
        char *fixed = mended(padded, len, &n, &texts, oom);
        if (fixed) {
            mem_free(padded);
            *text = fixed;
            return read_mended(diag, fixed, n, texts, YYJSON_READ_INSITU, oom);
        }
        if (*oom) return nullptr;
        // Nothing inside a string to mend: the strict read decides.
    }
    yyjson_read_err err;
    yyjson_doc *doc = yyjson_read_opts(padded, len, YYJSON_READ_INSITU, &json_alc, &err);
    if (!doc) *oom = err.code == YYJSON_READ_ERROR_MEMORY_ALLOCATION;
    return doc;
}

} // namespace kova
