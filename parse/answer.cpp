// Reading a service's answer into a yyjson document: the strict read, and
// the mending that keeps one badly encoded text from losing the whole
// answer. Every answer the library reads goes through here.
#include <cstring>

#include "core/numbers.h"
#include "parse/parse.h"

namespace kova {

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
// The four hex digits of a \u escape at p as a number; -1 when they are not.
int hex4(const unsigned char *p) {
    int v = 0;
    for (int k = 0; k < 4; ++k) {
        int d = hex_value(p[k]);
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
    text_guard buf(copy_padded(text, len, &n));
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
