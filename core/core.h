// The core layer: result codes, limits, texts, the diagnostics of a call, the
// service configuration and the HTTP request frame. Every other layer builds
// on it; it includes nothing from parse/, io/, ops/ or exports/. Nothing here
// is exported: the build hides every symbol the public header does not
// declare.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include <yyjson.h>

#include "core/alloc.h"
#include "kova.h"

namespace kova {

#if defined(__GNUC__) && !defined(__clang__)
// gnu_printf: the C99 formats we use (%zu, %lld) are checked as such even
// where the platform's own printf is older (msvcrt); the build formats with a
// C99 printf on every platform.
#define KV_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#elif defined(__GNUC__)
#define KV_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define KV_PRINTF(fmt, args)
#endif

// ---------------------------------------------------------------------------
// Result codes (the public KOVA_* values under their internal names)
// ---------------------------------------------------------------------------
enum : int32_t {
    OK = KOVA_OK,
    PARTIAL = KOVA_PARTIAL,
    ERR_TRANSPORT = KOVA_ERR_TRANSPORT,
    ERR_HTTP = KOVA_ERR_HTTP,
    ERR_AUTH = KOVA_ERR_AUTH,
    ERR_JSON = KOVA_ERR_JSON,
    ERR_NOT_CONFIGURED = KOVA_ERR_NOT_CONFIGURED,
    ERR_NOT_FOUND = KOVA_ERR_NOT_FOUND,
    ERR_EMPTY = KOVA_ERR_EMPTY,
    ERR_NOT_ARMED = KOVA_ERR_NOT_ARMED,
    ERR_NO_IO = KOVA_ERR_NO_IO,
    ERR_INVALID_ARG = KOVA_ERR_INVALID_ARG,
    ERR_OOM = KOVA_ERR_OOM,
    ERR_INDEXERS = KOVA_ERR_INDEXERS,
};

inline constexpr int max_warnings = 64;
inline constexpr int max_log = 64;
inline constexpr int err_size = 512;
inline constexpr int warn_size = 512;
inline constexpr int log_size = 1024;
inline constexpr int32_t max_rows = 200000;
inline constexpr int32_t max_lookup = 100000;
inline constexpr int32_t max_profiles = 10000;
inline constexpr int32_t max_roots = 10000;
inline constexpr int32_t max_categories = 4096;
inline constexpr int32_t max_queue = 10000;     // entries of a download queue
inline constexpr int32_t max_queue_pages = 40;  // pages asked for, of queue_page_size records
inline constexpr int32_t queue_page_size = 250;
inline constexpr int32_t max_calendar = 100000; // entries of a calendar
inline constexpr int32_t default_timeout_ms = 100000;

// Service kinds are the public KOVA_JACKETT, KOVA_SONARR, KOVA_RADARR and
// KOVA_PROWLARR; kind_ok is the one range check of a kind that came from
// outside.
inline constexpr int32_t kind_count = 4;
static_assert(KOVA_JACKETT == 0 && KOVA_SONARR == 1 && KOVA_RADARR == 2 && KOVA_PROWLARR == 3,
              "kinds index the service tables");
inline bool kind_ok(int32_t kind) { return static_cast<uint32_t>(kind) < static_cast<uint32_t>(kind_count); }

// The two requests the library sends.
enum class http_method { get, post };

// A text length meaning "up to the text's NUL": what a host's C text has
// until someone measures it.
inline constexpr size_t to_nul = SIZE_MAX;

// The library's one empty text: what an absent text reads as.
inline constexpr const char empty_text[] = "";

// ---------------------------------------------------------------------------
// Text helpers (core/text.cpp)
// ---------------------------------------------------------------------------
struct strbuf {
    char *data;  // contents, NUL-terminated once anything was allocated
    size_t len;  // bytes held, the NUL not counted
    size_t cap;  // bytes allocated
    int32_t oom; // sticky: 1 after growing failed, every append ignored
};

char *text_dup(const char *s);
char *text_ndup(const char *s, size_t n);
int ieq(const char *a, const char *b);
// The same comparison over exactly n bytes of each, for texts that carry
// their length (a document's keys); neither may be null.
bool ieq_n(const char *a, const char *b, size_t n);
// First occurrence of the n_pat bytes at pat in the n_hay bytes at hay, or
// null; an empty pattern is found at hay. memmem, which not every platform's
// runtime has.
const void *find_bytes(const void *hay, size_t n_hay, const void *pat, size_t n_pat);
// The length of the well-formed UTF-8 sequence at text (at most n bytes
// read, n >= 1), or 0 when there is none; utf8_valid: the n bytes at s
// are well-formed UTF-8 throughout.
size_t utf8_len(const char *text, size_t n);
bool utf8_valid(const char *s, size_t n);
void strbuf_put(strbuf *b, const void *bytes, size_t n);
void strbuf_puts(strbuf *b, const char *s);
void strbuf_free(strbuf *b);
char *url_encode(const char *s);
void uuid4(char out[37]);
// Unix seconds as an ISO 8601 UTC time, "2026-12-10T20:30:00Z", for years
// 1970 to 9999 (seconds from 0 to max_utc_seconds; others are clamped).
inline constexpr int64_t max_utc_seconds = INT64_C(253402300799); // 9999-12-31T23:59:59Z
void iso_utc(int64_t seconds, char out[21]);
// A copy of text in a buffer of its own (mem_alloc), followed by
// YYJSON_PADDING_SIZE zero bytes (the first is its NUL), so that the JSON
// reader can read it in place; *n receives its length. len is the text's
// length, or to_nul for a text that ends at its NUL: its end is then found
// while it is copied, in one pass. Null when out of memory.
char *copy_padded(const char *text, size_t len, size_t *n);
// Whether the n bytes at text hold word (lower-case ASCII) in any letter case.
bool mentions_word(const char *text, size_t n, const char *word);
// Writes text into out as a message a host may show: every "apikey=" value
// and every occurrence of secret (when it is six bytes or longer, so that it
// cannot match ordinary words) becomes "***", control characters become
// spaces and runs of spaces one, invalid UTF-8 bytes become U+FFFD, and a
// text longer than warn_size - 1 bytes is cut at a character boundary and
// ends with "...".
void redact_text(const char *text, const char *secret, char out[warn_size]);

// A strbuf released on every path out of a scope.
struct buf_guard {
    strbuf b{};
    buf_guard() = default;
    ~buf_guard() { strbuf_free(&b); }
    buf_guard(const buf_guard &) = delete;
    buf_guard &operator=(const buf_guard &) = delete;
};

// ---------------------------------------------------------------------------
// Diagnostics of a call (core/context.cpp): the sink every layer reports to
// ---------------------------------------------------------------------------
struct log_entry {
    char *key;
    char *text;
};

struct diagnostics {
    log_entry test_log[max_log];
    int32_t test_log_count;
    char *warnings[max_warnings];
    int32_t warning_count;
    int32_t rc;
    int32_t http_code;
    char err[err_size];
    // The transport's own text for the call's last transport failure,
    // redacted (redact_text); "" when there was none.
    char transport_err[warn_size];
};

// The per-call reset: warnings, result code, HTTP status, error text and the
// transport's text (the test log is cleared by the operations that write
// one).
void begin_call(diagnostics *d);
int32_t fail(diagnostics *d, int32_t code, const char *fmt, ...) KV_PRINTF(3, 4);
int32_t fail_oom(diagnostics *d); // fail(ERR_OOM, "out of memory")
void warnf(diagnostics *d, const char *fmt, ...) KV_PRINTF(2, 3);
void log_append(diagnostics *d, const char *key, const char *fmt, ...) KV_PRINTF(3, 4);
void log_clear(diagnostics *d);
const char *code_name(int32_t code);

// What a step the operation may tolerate can change in the diagnostics: the
// result code, the error text, the transport's text and the warnings.
// diag_rewind undoes a tolerated failure (the test log and the HTTP status
// stay as they are).
struct diag_mark {
    int32_t rc;
    int32_t warning_count;
    char err[err_size];
    char transport_err[warn_size];
};
void diag_save(const diagnostics *d, diag_mark *m);
void diag_rewind(diagnostics *d, const diag_mark *m);

// ---------------------------------------------------------------------------
// Service configuration (core/config.cpp)
// ---------------------------------------------------------------------------
// What a request needs of a configured service: the host, port and scheme
// live on only inside the base URL they make.
struct service_config {
    char *api_key;
    char *base_url; // "scheme://host:port" and the URL base, if any
    char *url_base; // "/sonarr": the path prefix of a service behind a reverse proxy; null for none
    int32_t configured;
};

// What the core keeps of a context: its diagnostics and its services.
struct core_context : diagnostics {
    service_config svc[kind_count];
};

// Releases everything the core part holds and leaves it zeroed.
void core_free(core_context *c);

int32_t service_configure(core_context *c, int32_t kind, const char *host, int32_t port, int32_t https,
                           const char *api_key);
// Sets the path prefix of a configured service ("sonarr/" -> "/sonarr"; NULL,
// "" or "/" for none), part of its base URL until the next configuration.
int32_t service_set_url_base(core_context *c, int32_t kind, const char *path);
// Configures a service from its URL: http:// or https://, a host (an IPv6
// literal in brackets), an optional port (absent: the scheme's, 80 or 443)
// and an optional path, its URL base. The same checks and effect as
// service_configure followed by service_set_url_base; a query, a fragment,
// user information, another scheme, an empty host or a bad port is refused
// with a message naming it, and a refused URL leaves the previous
// configuration in force.
int32_t service_configure_url(core_context *c, int32_t kind, const char *url, const char *api_key);
const char *service_name(int32_t kind);
int32_t service_default_port(int32_t kind);
// True when text is an IPv6 address literal without brackets: eight groups of
// one to four hex digits, one "::" standing for one or more zero groups, and
// optionally a dotted IPv4 address (no leading zeros) as the last 32 bits.
// The same as glibc's inet_pton(AF_INET6), on every platform.
bool is_ipv6_literal(const char *text);

// ---------------------------------------------------------------------------
// HTTP request frame (core/http.cpp)
// ---------------------------------------------------------------------------
// Sends one request to service kind through io (which the caller chose; null
// when none is installed) and maps the answer's status to a result code.
// *body_out (freed with mem_free; also set on a refusal, null after a
// transport failure) is the answer's text up to its first NUL, padded as
// copy_padded pads, so that a parser can read it in place; *len_out, when
// given, receives its length. What a refusal's body says is the caller's to
// read (the request frame reads no answer).
int32_t http_request(core_context *c, const kova_io *io, int32_t kind, http_method method, const char *path,
                  const char *query, const char *body, const char *label, char **body_out,
                  size_t *len_out = nullptr);

} // namespace kova
