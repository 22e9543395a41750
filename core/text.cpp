// Owned copies, case-insensitive equality, the growable buffer,
// percent-encoding of query values, version-4 UUIDs and the padded copy an
// answer is read from.
#include <atomic>
#include <cctype>
#include <cstring>

#include "core/core.h"
#include "core/numbers.h"
#include "core/platform.h"

namespace kova {

namespace {
std::atomic<uint64_t> ctr{0}; // fallback sequence counter of uuid4; sessions on threads share it

bool unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}
} // namespace

char *text_dup(const char *s) {
    if (!s) return nullptr;
    return text_ndup(s, strlen(s));
}

char *text_ndup(const char *s, size_t n) {
    if (!s) return nullptr;
    char *p = static_cast<char *>(mem_alloc(n + 1));
    if (!p) return nullptr;
    memcpy(p, s, n);
    p[n] = '\0';
    return p;
}

const void *find_bytes(const void *hay, size_t n_hay, const void *pat, size_t n_pat) {
    if (n_pat == 0) return hay;
    if (n_pat > n_hay) return nullptr;
    const auto *h = static_cast<const unsigned char *>(hay);
    const auto *p = static_cast<const unsigned char *>(pat);
    const unsigned char *last = h + (n_hay - n_pat);  // last position a match can start at
    // memchr finds candidates for the first byte at memory speed; most of
    // them fail at the first compare.
    for (const unsigned char *c = h; c <= last;) {
        c = static_cast<const unsigned char *>(memchr(c, p[0], static_cast<size_t>(last - c) + 1));
        if (!c) return nullptr;
        if (memcmp(c + 1, p + 1, n_pat - 1) == 0) return c;
        ++c;
    }
    return nullptr;
}

namespace {
// The runtime's tolower, the one case folding of every comparison here.
int fold(char c) { return tolower(static_cast<unsigned char>(c)); }
} // namespace

int ieq(const char *a, const char *b) {
    if (!a || !b) return 0;
    for (;; ++a, ++b) {
        int x = fold(*a);
        if (x != fold(*b)) return 0;
        if (x == 0) return 1;
    }
}

bool ieq_n(const char *a, const char *b, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

void strbuf_put(strbuf *b, const void *bytes, size_t n) {
    if (b->oom) return;
    size_t need = b->len + n + 1;
    if (b->cap < need) {
        size_t cap = b->cap ? b->cap : 128;
        while (cap < need) cap *= 2;
        char *p = static_cast<char *>(mem_realloc(b->data, cap));
        if (!p) {
            b->oom = 1;
            return;
        }
        b->data = p;
        b->cap = cap;
    }
    if (n) memcpy(b->data + b->len, bytes, n);
    b->len += n;
    b->data[b->len] = '\0';
}

void strbuf_puts(strbuf *b, const char *s) {
    if (b->oom) return;
    strbuf_put(b, s, strlen(s));
}

void strbuf_free(strbuf *b) {
    mem_free(b->data);
    *b = strbuf{};
}

char *url_encode(const char *s) {
    if (!s || !*s) return text_dup("");
    size_t n = 0;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(s); *p; ++p)
        n += unreserved(*p) ? 1 : 3;
    char *out = static_cast<char *>(mem_alloc(n + 1));
    if (!out) return nullptr;
    char *o = out;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(s); *p; ++p) {
        if (unreserved(*p)) {
            *o++ = static_cast<char>(*p);
        } else {
            *o++ = '%';
            *o++ = hex_upper[*p >> 4];
            *o++ = hex_upper[*p & 15];
        }
    }
    *o = '\0';
    return out;
}

void uuid4(char out[37]) {
    unsigned char b[16];
    if (random_bytes(b, sizeof b) != 0) {
        // SplitMix64 over a seed of counter, address and time: unique enough
        // for an identifier when the system generator is unavailable.
        uint64_t seed = (ctr.fetch_add(1, std::memory_order_relaxed) + 1) * 0x9E3779B97F4A7C15ULL;
        seed ^= static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&ctr));
        seed ^= static_cast<uint64_t>(time_seconds());
        for (unsigned char &byte : b) {
            seed += 0x9E3779B97F4A7C15ULL;
            uint64_t z = seed;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
            z = z ^ (z >> 31);
            byte = static_cast<unsigned char>(z & 0xFF);
        }
    }
    b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);
    b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);
    char *o = out;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) *o++ = '-';
        *o++ = hex_lower[b[i] >> 4];
        *o++ = hex_lower[b[i] & 15];
    }
    *o = '\0';
}

size_t utf8_len(const char *text, size_t n) {
    const auto *p = reinterpret_cast<const unsigned char *>(text);
    unsigned char c = p[0];
    size_t len;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) len = 2;
    else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (len > n) return 0;
    if (p[1] < lo || p[1] > hi) return 0;
    for (size_t i = 2; i < len; ++i)
        if (p[i] < 0x80 || p[i] > 0xBF) return 0;
    return len;
}

bool utf8_valid(const char *s, size_t n) {
    for (size_t i = 0; i < n;) {
        size_t len = utf8_len(s + i, n - i);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

namespace {
// Copies the host's text into dst up to its NUL or until room bytes are
// copied; *done tells which. The bulk goes 16 bytes at a time, each block
// checked for a zero byte as it passes: measuring the text first (strlen)
// and copying it after reads a large answer twice from memory and costs
// half as much again as this one pass, which runs about as fast as memcpy
// (a stretch-wise strnlen and memcpy is no better). The blocks are read at
// addresses aligned to their size, so the block holding the NUL may hold
// bytes after the text but never leaves the page the NUL is on (what every
// strlen does); the sanitizers are told, as they would take that for an
// overflow (or, when the bytes after the text were freed, for a use after
// free). No block after the one holding the NUL is read.
typedef unsigned char text_block __attribute__((vector_size(16), may_alias));
constexpr size_t k_block = sizeof(text_block);

__attribute__((no_sanitize("address", "thread"))) inline bool has_nul(const char *p) {
    text_block zero = *reinterpret_cast<const text_block *>(p) == 0;
    uint64_t lo, hi;
    memcpy(&lo, &zero, 8);
    memcpy(&hi, reinterpret_cast<const char *>(&zero) + 8, 8);
    return (lo | hi) != 0;
}

__attribute__((no_sanitize("address", "thread"))) size_t copy_to_nul(const char *src, char *dst, size_t room, bool *done) {
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

} // namespace

// A text of unknown length (to_nul) is measured while it is copied, into a
// buffer that grows by doubling (realloc of a large block seldom moves it).
char *copy_padded(const char *text, size_t len, size_t *n) {
    if (len != to_nul) {
        if (len > SIZE_MAX - YYJSON_PADDING_SIZE) return nullptr;
        auto *buf = static_cast<char *>(mem_alloc(len + YYJSON_PADDING_SIZE));
        if (!buf) return nullptr;
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
    }
    // The slack stays: pages never written cost no memory.
    memset(buf + used, 0, YYJSON_PADDING_SIZE);
    *n = used;
    return buf;
}

namespace {
// Room for a redacted text without its NUL; a cut text ends with "...".
constexpr size_t k_room = warn_size - 1;

unsigned char lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

} // namespace

bool mentions_word(const char *text, size_t n, const char *word) {
    size_t w = strlen(word);
    for (size_t i = 0; i + w <= n; ++i) {
        size_t k = 0;
        while (k < w && lower(static_cast<unsigned char>(text[i + k])) == static_cast<unsigned char>(word[k])) ++k;
        if (k == w) return true;
    }
    return false;
}

namespace {
bool value_ends(char c) {
    return c == '\0' || c == '&' || c == '#' || c == '"' || c == '\'' || c == ';' || c == ',' || c == ' ' ||
           c == '\t' || c == '\r' || c == '\n';
}

// (see core.h) every "apikey=" value and
// every occurrence of the key itself (when long enough not to match ordinary
// words) becomes "***", control characters become spaces, runs of spaces
// collapse, invalid UTF-8 bytes become U+FFFD, and a text too long is cut at
// a character boundary and ends with "...".
} // namespace

void redact_text(const char *text, const char *secret, char out[warn_size]) {
    const size_t secret_len = secret ? strlen(secret) : 0;
    const size_t n = strlen(text);
    size_t o = 0;
    bool cut = false;
    auto put = [&](const char *s, size_t len) {
        if (cut) return;
        if (o + len > k_room) {
            cut = true;
            return;
        }
        memcpy(out + o, s, len);
        o += len;
    };
    for (size_t i = 0; i < n && !cut;) {
        const char *p = text + i;
        if (n - i >= 7 && mentions_word(p, 7, "apikey=")) {
            put(p, 7);
            put("***", 3);
            i += 7;
            // A transport's text puts ": " after the URL ("GET <url>: rate
            // limited"), and no URL holds a space: the colon is the text's.
            while (!value_ends(text[i]) && !(text[i] == ':' && text[i + 1] == ' ')) ++i;
            continue;
        }
        if (secret_len >= 6 && n - i >= secret_len && memcmp(p, secret, secret_len) == 0) {
            put("***", 3);
            i += secret_len;
            continue;
        }
        unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7F) c = ' ';
        if (c == ' ') {
            if (o > 0 && out[o - 1] != ' ') put(" ", 1);
            ++i;
            continue;
        }
        size_t len = utf8_len(p, n - i);
        if (len == 0) {
            put("\xEF\xBF\xBD", 3);
            ++i;
        } else {
            put(p, len);
            i += len;
        }
    }
    if (cut) {
        // Room for "...": drop whole characters from the end.
        if (o > k_room - 3) {
            o = k_room - 3;
            while (o > 0 && (static_cast<unsigned char>(out[o]) & 0xC0) == 0x80) --o;
        }
        memcpy(out + o, "...", 3);
        o += 3;
    }
    while (o > 0 && out[o - 1] == ' ') --o;
    out[o] = '\0';
}

void iso_utc(int64_t seconds, char out[21]) {
    if (seconds < 0) seconds = 0;
    if (seconds > max_utc_seconds) seconds = max_utc_seconds;
    int64_t days = seconds / 86400, rest = seconds % 86400;
    // The civil date of a day count (days since 1970-01-01), in eras of 400
    // years that start on 1 March, so that a leap day ends its year.
    int64_t z = days + 719468, era = z / 146097, doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
    int64_t day = doy - (153 * mp + 2) / 5 + 1, month = mp < 10 ? mp + 3 : mp - 9;
    int64_t year = yoe + era * 400 + (month <= 2);
    const int64_t parts[] = {year / 100, year % 100, month, day, rest / 3600, rest / 60 % 60, rest % 60};
    const char seps[] = {'\0', '-', '-', 'T', ':', ':', 'Z'};
    char *o = out;
    for (int i = 0; i < 7; ++i) {
        if (i > 1) *o++ = seps[i - 1];
        memcpy(o, digit_pairs + 2 * parts[i], 2);
        o += 2;
    }
    *o++ = 'Z';
    *o = '\0';
}

} // namespace kova
