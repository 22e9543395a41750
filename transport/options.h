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
#ifndef KOVA_TRANSPORT_OPTIONS_H
#define KOVA_TRANSPORT_OPTIONS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common.h"
#include "redact.h"

namespace kova_transport {

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
#define KOVA_TRANSPORT_OPTIONS(X)                                \
    X(int32_t, timeout_ms, 0, take_time)                         \
    X(int32_t, connect_timeout_ms, 0, take_connect_time)         \
    X(bool, insecure, 0, take_flag)                              \
    X(bool, compressed, 1, take_flag)                            \
    X(int64_t, max_response_bytes, 0, take_size_cap)             \
    X(char *, ca_file, nullptr, take_file)                       \
    X(char *, proxy, nullptr, take_text)                         \
    X(char *, user_agent, nullptr, take_agent)                   \
    X(char *, url_base, nullptr, take_base)                      \
    X(log_fn, log, nullptr, take_same)                           \
    X(void *, log_user, nullptr, take_same)                      \
    X(progress_fn, progress, nullptr, take_same)                 \
    X(void *, progress_user, nullptr, take_same)

// Whether the option struct Opt has the option `name`.
#define KOVA_HAS_OPTION(Opt, name) requires(const Opt &opt_) { opt_.name; }

// The rules. Each takes the caller's value into the kept one; false refuses
// the value (or memory ran out), and the transport is not created.
// A time-out: negative is refused; 0 stays 0 (the per-request default).
bool take_time(int32_t v, int32_t &out);
// The connection time-out: negative is refused; 0 is k_default_connect_ms.
bool take_connect_time(int32_t v, int32_t &out);
// A switch: any nonzero value is on.
bool take_flag(int32_t v, bool &out);
// The body size cap: negative is refused; 0 is k_default_max_response; no
// more than a size_t can count.
bool take_size_cap(int64_t v, int64_t &out);
// A file name: NULL or "" for none, else a copy.
bool take_file(const char *v, char *&out);
// A text where "" means something of its own: NULL stays NULL, else a copy.
bool take_text(const char *v, char *&out);
// The User-Agent: a copy, "kova/<library version>" for NULL.
bool take_agent(const char *v, char *&out);
// The URL base, normalised by norm_base ("" for none).
bool take_base(const char *v, char *&out);
// A callback or its user pointer, as given.
template <class T>
bool take_same(T v, T &out) {
    out = v;
    return true;
}

// The options a transport keeps: one member per option, under its name,
// valid after read_options; the texts are owned (malloc'd).
struct settings {
#define KOVA_SETTING(kept, name, initial, rule) kept name{};
    KOVA_TRANSPORT_OPTIONS(KOVA_SETTING)
#undef KOVA_SETTING
    settings() = default;
    settings(const settings &) = delete;
    settings &operator=(const settings &) = delete;
    ~settings();
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
#define KOVA_END(kept, name, initial, rule)                     \
    if constexpr (KOVA_HAS_OPTION(Opt, name)) {                 \
        if (offsetof(Opt, name) < end) return 0;                \
        end = offsetof(Opt, name) + sizeof(Opt::name);          \
    }
    KOVA_TRANSPORT_OPTIONS(KOVA_END)
#undef KOVA_END
    return end;
}

// Writes the caller's size and the options' initial values: the body of
// *_options_init.
template <class Opt>
void init_options(Opt *o) {
    if (!o) return;
    memset(o, 0, sizeof *o);
    o->struct_size = static_cast<uint32_t>(sizeof *o);
#define KOVA_INITIAL(kept, name, initial, rule) \
    if constexpr (KOVA_HAS_OPTION(Opt, name)) o->name = initial;
    KOVA_TRANSPORT_OPTIONS(KOVA_INITIAL)
#undef KOVA_INITIAL
}

// Copies into `o` the options the caller's struct_size covers whole; the
// others keep their initial values. False for a size smaller than the first
// struct with a size (it ended with progress_user), a size that is not one,
// and a struct larger than this library knows with a byte past the options
// it knows set: that is an option from a newer header it cannot honour.
template <class Opt>
bool take_covered(const Opt *caller, Opt &o) {
    constexpr size_t first = offsetof(Opt, progress_user) + sizeof(Opt::progress_user);
    const size_t size = caller->struct_size;
    if (size < first || size > k_size_max) return false;
    const auto *bytes = reinterpret_cast<const unsigned char *>(caller);
    for (size_t i = sizeof(Opt); i < size; ++i)
        if (bytes[i]) return false;
#define KOVA_COVERED(kept, name, initial, rule)                                   \
    if constexpr (KOVA_HAS_OPTION(Opt, name)) {                                   \
        if (offsetof(Opt, name) + sizeof o.name <= size)                          \
            memcpy(&o.name, bytes + offsetof(Opt, name), sizeof o.name);          \
    }
    KOVA_TRANSPORT_OPTIONS(KOVA_COVERED)
#undef KOVA_COVERED
    return true;
}

// Reads the caller's options (NULL: the initial values) into `s`, which
// starts empty. False when the size or an option is refused or memory runs
// out; what `s` holds then is released with it.
template <class Opt>
bool read_options(const Opt *caller, settings &s) {
    static_assert(offsetof(Opt, struct_size) == 0, "an option struct starts with its size");
    // Were there padding at the end of a struct, an option added after it
    // could sit in the padding, where an older host's struct, whose size
    // covers it, holds whatever its compiler left there (add 32-bit options
    // in pairs).
    static_assert(options_end<Opt>() == sizeof(Opt),
                  "the list of options follows the struct, which ends without padding");
    Opt o;
    init_options(&o);
    if (caller && !take_covered(caller, o)) return false;
#define KOVA_TAKE(kept, name, initial, rule) \
    if constexpr (KOVA_HAS_OPTION(Opt, name)) {  \
        if (!rule(o.name, s.name)) return false; \
    }
    KOVA_TRANSPORT_OPTIONS(KOVA_TAKE)
#undef KOVA_TAKE
    return true;
}

}  // namespace kova_transport

#endif  // KOVA_TRANSPORT_OPTIONS_H
