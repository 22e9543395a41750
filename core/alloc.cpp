#include "core/alloc.h"

#include <cstring>

#include "core/core.h"

#if defined(KOVA_FAULT_INJECTION)

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

void *kova_malloc(size_t n) { return should_fail() ? nullptr : malloc(n); }
void *kova_calloc(size_t count, size_t size) { return should_fail() ? nullptr : calloc(count, size); }
void *kova_realloc(void *p, size_t n) { return should_fail() ? nullptr : realloc(p, n); }

void kova_fault_arm(long n, bool persistent) {
    g_fault_at = n;
    g_fault_persist = persistent;
    g_fault_count = 0;
    g_fault_hit = false;
}
void kova_fault_disarm() { g_fault_at = 0; g_fault_persist = false; }
long kova_fault_count() { return g_fault_count; }
bool kova_fault_injected() { return g_fault_hit; }
void kova_fault_random(int n) { g_fault_random = n; }
bool kova_fault_random_fails() {
    if (g_fault_random <= 0) return false;
    --g_fault_random;
    return true;
}

#endif

namespace {
void *alc_malloc(void *, size_t n) { return kova_malloc(n); }
void *alc_realloc(void *, void *p, size_t, size_t n) { return kova_realloc(p, n); }
void alc_free(void *, void *p) { kova_free(p); }
} // namespace

const yyjson_alc kova_alc = {alc_malloc, alc_realloc, alc_free, nullptr};

yyjson_doc *kova_json_read(const char *text, size_t len, bool *oom) {
    if (oom) *oom = false;
    if (!text) return nullptr;
    yyjson_read_err err;
    // Without YYJSON_READ_INSITU the input is only read, never written.
    yyjson_doc *doc = yyjson_read_opts(const_cast<char *>(text), len, 0, &kova_alc, &err);
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
        size_t n = c < 0x80 ? 1 : kova_utf8_len(text + i, len - i);
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
            size_t n = kova_utf8_len(text + i, len - i);
            if (!n) return false;
            i += n;
        } else {
            ++i;
        }
    }
    return true;
}

// The answer mended into a fresh text with yyjson's padding after it; null
// when there is nothing to mend (*texts 0) or no memory (*oom).
char *mended(const char *text, size_t len, size_t *n, int32_t *texts, bool *oom) {
    *n = mend(text, len, nullptr, texts);
    if (!*texts) return nullptr;
    char *fixed = static_cast<char *>(kova_malloc(*n + 1 + YYJSON_PADDING_SIZE));
    if (!fixed) {
        *oom = true;
        return nullptr;
    }
    mend(text, len, fixed, texts);
    memset(fixed + *n, 0, 1 + YYJSON_PADDING_SIZE);
    return fixed;
}

// The strict read of what a mending made, and its one warning.
yyjson_doc *read_mended(kova_diag *diag, char *fixed, size_t n, int32_t texts, yyjson_read_flag flags, bool *oom) {
    yyjson_read_err err;
    yyjson_doc *doc = yyjson_read_opts(fixed, n, flags, &kova_alc, &err);
    if (!doc) {
        *oom = err.code == YYJSON_READ_ERROR_MEMORY_ALLOCATION;
        return nullptr;
    }
    kova_warnf(diag, "invalid Unicode in %d texts of the answer replaced by U+FFFD", static_cast<int>(texts));
    return doc;
}
} // namespace

yyjson_doc *kova_answer_read_in_place(kova_diag *diag, char **text, size_t len, bool *oom) {
    *oom = false;
    yyjson_read_err err;
    if (!answer_clean(*text, len)) {
        // Mended before any read: a read in place that failed would have
        // written over the text the mending needs. The mended text replaces
        // the answer at once, so the two are not held longer than the mending.
        size_t n;
        int32_t texts;
        char *fixed = mended(*text, len, &n, &texts, oom);
        if (fixed) {
            kova_free(*text);
            *text = fixed;
            return read_mended(diag, fixed, n, texts, YYJSON_READ_INSITU, oom);
        }
        if (*oom) return nullptr;
        // Nothing inside a string to mend: the strict read decides.
    }
    yyjson_doc *doc = yyjson_read_opts(*text, len, YYJSON_READ_INSITU, &kova_alc, &err);
    if (!doc) *oom = err.code == YYJSON_READ_ERROR_MEMORY_ALLOCATION;
    return doc;
}

yyjson_doc *kova_answer_read(kova_diag *diag, const char *text, size_t len, bool *oom) {
    *oom = false;
    if (!text) return nullptr;
    yyjson_read_err err;
    yyjson_doc *doc = yyjson_read_opts(const_cast<char *>(text), len, 0, &kova_alc, &err);
    if (doc) return doc;
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
