// Every line the kova command-line host prints goes through out::print and
// out::puts, for two reasons.
//
// A Windows console receives the text as wide characters (see sys::write).
//
// Text that came from outside (a title or a log text from a service, an error
// carrying a server's words, the transport's reason, a file read by `parse`)
// never reaches the terminal as it is: a server could otherwise send escape
// sequences that retitle or clear the terminal, or a carriage return that
// forges a line. out::print makes every string argument safe (out::safe);
// only an out::Shown passes unchanged, and a Shown is either outside text
// made safe or text the CLI wrote itself (its colours, its help, JSON whose
// writer escaped every control). So a new command cannot print raw service
// text by mistake: it would have to build a Shown::verbatim on purpose.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace out {

// The CLI's own symbols (the check mark and cross of an outcome, the ellipsis
// of a cut title, the spinner, the control pictures and U+FFFD below) in
// Unicode, or in ASCII where the output is not UTF-8 (sys::unicode_output
// decides once, in main). Service texts pass either way: they are the data.
void use_ascii(bool ascii);
bool ascii();
// `unicode`, or `fallback` in ASCII mode.
const char *glyph(const char *unicode, const char *fallback);

// Whether `text` is valid UTF-8 (no overlong forms, surrogates or code
// points past U+10FFFF).
bool utf8_valid(std::string_view text);

// `text` as a terminal may safely show it. Valid UTF-8 passes, except:
//   C0 controls and DEL  -> their Unicode control pictures (ESC -> U+241B,
//                           BEL -> U+2407, CR -> U+240D, LF -> U+240A, DEL ->
//                           U+2421): visible, one column, and they say which
//                           control the server sent;
//   tab                  -> a space (harmless, but it would break a table);
//   C1 controls (U+0080 to U+009F) and bytes that are not UTF-8
//                        -> U+FFFD, the usual mark of undecodable text (C1
//                           has no control pictures; 0x9B alone is the 8-bit
//                           CSI).
// In ASCII mode the stand-ins are ASCII too: caret notation for C0 controls
// and DEL (ESC -> ^[, BEL -> ^G, CR -> ^M, DEL -> ^?), '?' for C1 controls
// and bytes that are not UTF-8.
// Idempotent: safe(safe(x)) == safe(x).
std::string safe(std::string_view text);

// Text ready for the terminal.
class Shown {
public:
    Shown() = default;
    // Outside text, made safe.
    explicit Shown(std::string_view outside) : s_(safe(outside)) {}
    // Text the CLI wrote itself, passed unchanged: its escape sequences,
    // help texts, JSON from a writer that escapes controls.
    static Shown verbatim(std::string text) {
        Shown s;
        s.s_ = std::move(text);
        return s;
    }
    Shown &operator+=(const Shown &more) {
        s_ += more.s_;
        return *this;
    }
    Shown &operator+=(std::string_view outside) {
        s_ += safe(outside);
        return *this;
    }
    const std::string &str() const { return s_; }
    bool empty() const { return s_.empty(); }

private:
    std::string s_;
};

inline Shown operator+(Shown a, const Shown &b) { return a += b; }
inline Shown operator+(Shown a, std::string_view outside) { return a += outside; }

namespace detail {

// A format and its arguments are checked at compile time, as the compiler
// checks printf's: each conversion must fit its argument.
template <class T> consteval char kind() {
    using U = std::remove_cvref_t<std::decay_t<T>>;
    if constexpr (std::is_same_v<U, Shown> || std::is_same_v<U, std::string> || std::is_same_v<U, const char *> ||
                  std::is_same_v<U, char *>)
        return 's';
    else if constexpr (std::is_floating_point_v<U>) return 'f';
    else if constexpr (std::is_integral_v<U> && sizeof(U) == sizeof(int)) return std::is_signed_v<U> ? 'd' : 'u';
    else if constexpr (std::is_integral_v<U> && sizeof(U) == sizeof(long long)) return std::is_signed_v<U> ? 'D' : 'U';
    else return '?';
}

void format_does_not_fit_its_arguments();  // never defined: calling it stops the compilation

template <class... A> struct Format {
    const char *text;
    template <size_t N> consteval Format(const char (&f)[N]) : text(f) {
        constexpr char kinds[] = {kind<A>()..., '\0'};
        size_t arg = 0;
        for (size_t i = 0; i + 1 < N; ++i) {
            if (f[i] != '%') continue;
            ++i;
            if (f[i] == '%') continue;
            while (f[i] == '-' || f[i] == '+' || f[i] == ' ' || f[i] == '#' || f[i] == '0') ++i;
            while (f[i] >= '0' && f[i] <= '9') ++i;
            if (f[i] == '.') {
                ++i;
                while (f[i] >= '0' && f[i] <= '9') ++i;
            }
            bool ll = f[i] == 'l' && f[i + 1] == 'l';
            if (ll) i += 2;
            char c = f[i], want = c == 's' ? 's' : c == 'f' ? 'f' : (c == 'd' || c == 'i') ? (ll ? 'D' : 'd')
                                : (c == 'u' || c == 'x') ? (ll ? 'U' : 'u') : '!';
            if (arg >= sizeof...(A) || kinds[arg] != want) format_does_not_fit_its_arguments();
            ++arg;
        }
        if (arg != sizeof...(A)) format_does_not_fit_its_arguments();
    }
};

// Each argument as vsnprintf takes it; outside text is made safe here.
struct Safe {
    std::string s;
    const char *get() const { return s.c_str(); }
};
struct Keep {
    const char *p;
    const char *get() const { return p; }
};
template <class T> struct Number {
    T v;
    T get() const { return v; }
};
inline Safe hold(const char *outside) { return {safe(outside ? outside : "")}; }
inline Safe hold(const std::string &outside) { return {safe(outside)}; }
inline Keep hold(const Shown &shown) { return {shown.str().c_str()}; }
template <class T>
    requires std::is_arithmetic_v<T>
Number<T> hold(T v) {
    return {v};
}

void format(FILE *f, const char *fmt, ...);

}  // namespace detail

// fprintf(f, fmt, ...), with every string argument but a Shown made safe.
template <class... A> void print(FILE *f, detail::Format<std::type_identity_t<A>...> fmt, const A &...a) {
    detail::format(f, fmt.text, detail::hold(a).get()...);
}

// fputs(text, f): the text as it is, no newline added.
void puts(FILE *f, const Shown &text);

// Everything written to stderr also goes to `fn` (nullptr: nowhere), with
// `user`, so that a failure's --json document can carry the message the run
// printed.
void watch_stderr(void (*fn)(void *user, std::string_view text), void *user);

}  // namespace out
