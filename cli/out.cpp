#include "out.h"

#include <cstdarg>
#include <vector>

#include "sys.h"

namespace out {

namespace {

const char k_replacement[] = "\xef\xbf\xbd";  // U+FFFD
bool g_ascii = false;
void (*g_stderr_watch)(void *, std::string_view) = nullptr;
void *g_stderr_watcher = nullptr;

bool continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the UTF-8 sequence at text[i], 0 when it is not one. `bad` is
// then how many bytes one U+FFFD stands for: the lead byte and the
// continuation bytes that could still have belonged to it.
size_t sequence(std::string_view text, size_t i, size_t &bad) {
    auto c = static_cast<unsigned char>(text[i]);
    size_t len = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    bad = 1;
    if (len == 0) return 0;
    for (size_t k = 1; k < len; ++k) {
        if (i + k >= text.size()) return 0;
        auto d = static_cast<unsigned char>(text[i + k]);
        // The second byte also rules out overlong forms, surrogates and
        // code points past U+10FFFF.
        bool ok = k > 1 ? continuation(d)
                : c == 0xE0 ? d >= 0xA0 && d <= 0xBF
                : c == 0xED ? d >= 0x80 && d <= 0x9F
                : c == 0xF0 ? d >= 0x90 && d <= 0xBF
                : c == 0xF4 ? d >= 0x80 && d <= 0x8F
                            : continuation(d);
        if (!ok) return 0;
        bad = k + 1;
    }
    return len;
}

}  // namespace

void use_ascii(bool ascii) { g_ascii = ascii; }
bool ascii() { return g_ascii; }
const char *glyph(const char *unicode, const char *fallback) { return g_ascii ? fallback : unicode; }

bool utf8_valid(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        size_t bad = 1, len = sequence(text, i, bad);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

std::string safe(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '\t') {
            s += ' ';
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            if (g_ascii) {
                // Caret notation, as cat -v writes it: ^[ for ESC, ^? for DEL.
                s += '^';
                s += static_cast<char>(c == 0x7F ? '?' : c + 0x40);
            } else {
                // U+2400 + c; DEL's picture is U+2421.
                s += "\xe2\x90";
                s += static_cast<char>(c == 0x7F ? 0xA1 : 0x80 + c);
            }
            ++i;
        } else if (c < 0x80) {
            s += static_cast<char>(c);
            ++i;
        } else {
            size_t bad = 1;
            size_t len = sequence(text, i, bad);
            // U+0080..U+009F, the C1 controls, are C2 80..C2 9F.
            if (len == 0 || (c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0)) {
                s += g_ascii ? "?" : k_replacement;
                i += len ? len : bad;
            } else {
                s.append(text.data() + i, len);
                i += len;
            }
        }
    }
    return s;
}

namespace detail {

void format(FILE *f, const char *fmt, ...) {
    char small[1024];
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(small, sizeof small, fmt, ap);
    va_end(ap);
    if (n < 0) return;
    if (static_cast<size_t>(n) < sizeof small) {
        sys::write(f, small, static_cast<size_t>(n));
        if (f == stderr && g_stderr_watch) g_stderr_watch(g_stderr_watcher, std::string_view(small, static_cast<size_t>(n)));
        return;
    }
    std::vector<char> big(static_cast<size_t>(n) + 1);
    va_start(ap, fmt);
    vsnprintf(big.data(), big.size(), fmt, ap);
    va_end(ap);
    sys::write(f, big.data(), static_cast<size_t>(n));
    if (f == stderr && g_stderr_watch) g_stderr_watch(g_stderr_watcher, std::string_view(big.data(), static_cast<size_t>(n)));
}

}  // namespace detail

void puts(FILE *f, const Shown &text) {
    sys::write(f, text.str().data(), text.str().size());
    if (f == stderr && g_stderr_watch) g_stderr_watch(g_stderr_watcher, text.str());
}

void watch_stderr(void (*fn)(void *user, std::string_view text), void *user) {
    g_stderr_watch = fn;
    g_stderr_watcher = user;
}

}  // namespace out
