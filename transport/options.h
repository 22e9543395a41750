// The options of a host transport, read once for every transport: the
// caller's option struct (kova_curl_options, kova_winhttp_options) checked,
// defaulted and copied into the settings the transport keeps. The structs
// share their field names, so each option is one line of the list below, and
// behaves the same on every platform.
//
// An option struct starts with its size (struct_size, the caller's sizeof)
// and grows only at its end, so that a host built against an older header
// keeps working with a newer library: the options its struct lacks take
// their initial values. Adding an option is one field at the end of each
// struct, one line at the end of the list, and its use in the transports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "common.h"
#include "headers.h"
#include "redact.h"

namespace kt {

// The defaults both transport headers name (KOVA_CURL_DEFAULT_*,
// KOVA_WINHTTP_DEFAULT_*); each transport checks its macros against these.
constexpr int64_t k_default_max_response = 256 * 1024 * 1024;
constexpr int32_t k_default_connect_ms = 10000;

// No option struct comes near this size: a larger struct_size is not a size
// (a struct filled by hand without it, say), and is refused unread.
constexpr uint32_t k_size_max = 4096;

// Every option, in the order of the option structs: the type the transport
// keeps it as, its name in the structs, its initial value (what
// *_options_init writes), and the rule that takes the caller's value into
// the kept one (take_*, below). A struct without an option (WinHTTP has no
// CA file) skips its line, and the setting keeps its zero value.
#define KT_OPTIONS(X)                                    \
    X(int32_t, timeout_ms, 0, take_time)                 \
    X(int32_t, connect_timeout_ms, 0, take_connect_time) \
    X(bool, insecure, 0, take_flag)                      \
    X(bool, compressed, 1, take_flag)                    \
    X(int64_t, max_response_bytes, 0, take_size_cap)     \
    X(char *, ca_file, nullptr, take_file)               \
    X(char *, proxy, nullptr, take_text)                 \
    X(char *, user_agent, nullptr, take_agent)           \
    X(char *, url_base, nullptr, take_base)              \
    X(log_fn, log, nullptr, take_same)                   \
    X(void *, log_user, nullptr, take_same)              \
    X(progress_fn, progress, nullptr, take_same)         \
    X(void *, progress_user, nullptr, take_same)         \
    X(header_list, headers, nullptr, take_headers)       \
    X(char *, username, nullptr, take_credential)        \
    X(char *, password, nullptr, take_credential)        \
    X(bool, allow_basic_over_http, 0, take_flag)         \
    X(bool, key_in_header, 0, take_flag)

// Whether the option struct Opt has the option `name`.
#define KT_HAS_OPTION(Opt, name) requires(const Opt &opt_) { opt_.name; }

// The rules. Each takes the caller's value into the kept one; false refuses
// the value, with the reason in `why` (none when memory ran out), and the
// transport is not created.
// A time-out: negative is refused; 0 stays 0 (the per-request default).
bool take_time(int32_t v, int32_t &out, refusal &why);
// The connection time-out: negative is refused; 0 is k_default_connect_ms.
bool take_connect_time(int32_t v, int32_t &out, refusal &why);
// A switch: any nonzero value is on.
bool take_flag(int32_t v, bool &out, refusal &why);
// The body size cap: negative is refused; 0 is k_default_max_response; no
// more than a size_t can count.
bool take_size_cap(int64_t v, int64_t &out, refusal &why);
// A file name: NULL or "" for none, else a copy.
bool take_file(const char *v, char *&out, refusal &why);
// A text where "" means something of its own: NULL stays NULL, else a copy.
bool take_text(const char *v, char *&out, refusal &why);
// The User-Agent: a copy, "kova/<library version>" for NULL.
bool take_agent(const char *v, char *&out, refusal &why);
// The URL base, normalised by norm_base ("" for none).
bool take_base(const char *v, char *&out, refusal &why);
// A user name or password of basic authentication: NULL or "" for none,
// else a copy; a control character is refused (the service would compare
// something else than what the user typed).
bool take_credential(const char *v, char *&out, refusal &why);
// A callback or its user pointer, as given.
template <class T>
bool take_same(T v, T &out, refusal &) {
    out = v;
    return true;
}

// How a request ended, as its transport saw it (settings::end).
struct request_end {
    const char *method = nullptr;       // "GET" or "POST"
    const char *url = nullptr;          // as the library gave it
    long status = 0;                    // the answer's; 0 when none came
    long long ms = 0;                   // how long the request took
    bool cancelled = false;             // a cancel stopped it
    const char *failure = nullptr;      // what went wrong in the HTTP stack, in words; NULL: nothing
    const char *location = nullptr;     // a redirect's target, absolute and printable; NULL: none
    const char *retry_after = nullptr;  // the answer's Retry-After, as sent; NULL or "": none
    const char *basic = "";             // its request for basic credentials, in words; "": none
};

// The options a transport keeps: one member per option, under its name,
// valid after read_options; the texts are owned (malloc'd).
struct settings {
#define KT_SETTING(kept, name, initial, rule) kept name{};
    KT_OPTIONS(KT_SETTING)
#undef KT_SETTING
    settings() = default;
    settings(const settings &) = delete;
    settings &operator=(const settings &) = delete;
    ~settings();
    // What the options say together, checked once they are all read:
    // credentials and the headers they set. False with a reason, or when
    // memory runs out.
    bool finish(refusal &why);
    // The Authorization value of the credentials; NULL without a username.
    char *basic = nullptr;
    // The URL a request goes to (`url`, malloc'd; NULL when memory runs
    // out): the library's with the URL base, and without its key when the
    // key moves to a header (`moved`). Returns why the request must not go
    // out at all (static text), or NULL.
    const char *prepare(const char *url_in, key_move &moved, char *&url) const;
    // The start every request of a transport (`who`, "kova_curl") shares:
    // the outputs cleared, the key's forms found for redaction, and the URL
    // of prepare (malloc'd). NULL with *error set when the request must not
    // go out (a refusal also writes its log line) or memory ran out.
    char *begin(const char *who, const char *method, const char *url_in, key_forms &keys, key_move &moved,
                char **body_out, int32_t *status, char **error) const;
    // The end every request shares, once its HTTP stack is done: why it
    // failed (a cancel, what the body met, else the stack's own `failure`),
    // its log line, and the outputs: the status, the body handed over, and
    // the error text of a failure or the note beside a complete answer (a
    // 429's wait, a 401's request for basic credentials). Returns what the
    // kova_io call returns: 0 when an exchange took place.
    int32_t end(const char *who, const request_end &r, const key_forms &keys, body_buf &body, int32_t *status,
                char **body_out, char **error) const;
    // Calls f(name, value) for every header a request carries beyond the
    // transport's own: the host's, the credentials, the moved key.
    template <class F>
    void each_header(const key_move &moved, F f) const {
        for (size_t i = 0; i < headers.count; ++i) f(headers.lines[i].name, headers.lines[i].value);
        if (basic) f("Authorization", basic);
        if (moved.key && moved.key[0]) f("X-Api-Key", moved.key);
    }
    // The total time for one request: the option, else kova_timeout_ms()
    // read now (so kova_set_timeout_ms applies at once), else 100 s.
    int32_t total_ms() const;
    // The time to connect, never longer than the total.
    int32_t connect_ms(int32_t total) const;
};

// Where the options of Opt end; 0 when the list above does not follow the
// order of the struct.
template <class Opt>
constexpr size_t options_end() {
    size_t end = sizeof(Opt::struct_size);
#define KT_END(kept, name, initial, rule)              \
    if constexpr (KT_HAS_OPTION(Opt, name)) {          \
        if (offsetof(Opt, name) < end) return 0;       \
        end = offsetof(Opt, name) + sizeof(Opt::name); \
    }
    KT_OPTIONS(KT_END)
#undef KT_END
    return end;
}

// Writes the caller's size and the options' initial values: the body of
// *_options_init.
template <class Opt>
void init_options(Opt *o) {
    if (!o) return;
    memset(o, 0, sizeof *o);
    o->struct_size = static_cast<uint32_t>(sizeof *o);
#define KT_INITIAL(kept, name, initial, rule) \
    if constexpr (KT_HAS_OPTION(Opt, name)) o->name = initial;
    KT_OPTIONS(KT_INITIAL)
#undef KT_INITIAL
}

// The size of the first struct with a size: it ended with progress_user.
template <class Opt>
constexpr size_t first_size() {
    return offsetof(Opt, progress_user) + sizeof(Opt::progress_user);
}

// Copies into `o` the options the caller's struct_size covers whole; the
// others keep their initial values. False for a size smaller than the first
// struct with a size, a size that is not one, and a struct larger than this
// library knows with a byte past the options it knows set: that is an
// option from a newer header it cannot honour.
template <class Opt>
bool take_covered(const Opt *caller, Opt &o, refusal &why) {
    const size_t size = caller->struct_size;
    if (size < first_size<Opt>() || size > k_size_max) {
        why.say("struct_size %lu is not the size of an options struct", static_cast<unsigned long>(size));
        return false;
    }
    const auto *bytes = reinterpret_cast<const unsigned char *>(caller);
    for (size_t i = sizeof(Opt); i < size; ++i) {
        if (bytes[i]) {
            why.say("an option of a newer header is set (byte %lu of the struct), which this library cannot honour",
                    static_cast<unsigned long>(i));
            return false;
        }
    }
#define KT_COVERED(kept, name, initial, rule)                            \
    if constexpr (KT_HAS_OPTION(Opt, name)) {                            \
        if (offsetof(Opt, name) + sizeof o.name <= size)                 \
            memcpy(&o.name, bytes + offsetof(Opt, name), sizeof o.name); \
    }
    KT_OPTIONS(KT_COVERED)
#undef KT_COVERED
    return true;
}

// Reads the caller's options (NULL: the initial values) into `s`, which
// starts empty. False when the size or an option is refused, with the reason
// in `why`, or memory runs out ("out of memory"); what `s` holds then is
// released with it.
template <class Opt>
bool read_options(const Opt *caller, settings &s, refusal &why) {
    static_assert(offsetof(Opt, struct_size) == 0, "an option struct starts with its size");
    // Were there padding at the end of a struct, an option added after it
    // could sit in the padding, where an older host's struct, whose size
    // covers it, holds whatever its compiler left there (add 32-bit options
    // in pairs).
    static_assert(options_end<Opt>() == sizeof(Opt),
                  "the list of options follows the struct, which ends without padding");
    Opt o;
    init_options(&o);
    if (caller && !take_covered(caller, o, why)) return false;
#define KT_TAKE(kept, name, initial, rule)    \
    if constexpr (KT_HAS_OPTION(Opt, name)) { \
        if (!rule(o.name, s.name, why)) {     \
            why.say("out of memory");         \
            return false;                     \
        }                                     \
    }
    KT_OPTIONS(KT_TAKE)
#undef KT_TAKE
    if (!s.finish(why)) {
        why.say("out of memory");
        return false;
    }
    return true;
}

// Says why kova_*_new failed, as "<who> failed: <why>", through the
// caller's own log sink, when its struct_size covers the sink at all (a
// refused size may not, and then nothing is read).
template <class Opt>
void report_refusal(const Opt *caller, const char *who, const refusal &why) {
    if (!caller || caller->struct_size < first_size<Opt>() || caller->struct_size > k_size_max || !caller->log)
        return;
    char line[sizeof why.text + 64];
    snprintf(line, sizeof line, "%s failed: %s", who, why.given() ? why.text : "out of memory");
    caller->log(caller->log_user, line);
}

}  // namespace kt
