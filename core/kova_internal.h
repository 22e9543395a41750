// Internal types and functions shared between the library's source units.
// Nothing here is exported: the build hides every symbol that the public
// header does not declare.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include <yyjson.h>

#include "core/alloc.h"
#include "kova.h"

#if defined(__GNUC__) && !defined(__clang__)
// gnu_printf: the C99 formats we use (%zu, %lld) are checked as such even
// where the platform's own printf is older (msvcrt); the build formats with a
// C99 printf on every platform.
#define KOVA_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#elif defined(__GNUC__)
#define KOVA_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define KOVA_PRINTF(fmt, args)
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

inline constexpr int kova_max_warnings = 64;
inline constexpr int kova_max_log = 64;
inline constexpr int kova_err_size = 512;
inline constexpr int kova_warn_size = 512;
inline constexpr int kova_log_size = 1024;
inline constexpr int32_t kova_max_rows = 200000;
inline constexpr int32_t kova_max_lookup = 100000;
inline constexpr int32_t kova_max_profiles = 10000;
inline constexpr int32_t kova_max_categories = 4096;
inline constexpr int32_t kova_default_timeout_ms = 100000;

// The library's one empty text: what an absent text reads as.
inline constexpr const char kova_empty[] = "";

// ---------------------------------------------------------------------------
// Text helpers (core/text.cpp)
// ---------------------------------------------------------------------------
struct kova_buf {
    char *data;  // contents, NUL-terminated once anything was allocated
    size_t len;  // bytes held, the NUL not counted
    size_t cap;  // bytes allocated
    int32_t oom; // sticky: 1 after growing failed, every append ignored
};

char *kova_strdup(const char *s);
char *kova_strndup(const char *s, size_t n);
int kova_ieq(const char *a, const char *b);
// First occurrence of the n_pat bytes at pat in the n_hay bytes at hay, or
// null; an empty pattern is found at hay. memmem, which not every platform's
// runtime has.
const void *kova_memmem(const void *hay, size_t n_hay, const void *pat, size_t n_pat);
void kova_buf_put(kova_buf *b, const void *bytes, size_t n);
void kova_buf_puts(kova_buf *b, const char *s);
void kova_buf_free(kova_buf *b);
char *kova_enc(const char *s);
void kova_uuid4(char out[37]);

// A kova_buf released on every path out of a scope.
struct buf_guard {
    kova_buf b{};
    buf_guard() = default;
    ~buf_guard() { kova_buf_free(&b); }
    buf_guard(const buf_guard &) = delete;
    buf_guard &operator=(const buf_guard &) = delete;
};

// ---------------------------------------------------------------------------
// Result rows and result sets (parse/)
// ---------------------------------------------------------------------------
struct kova_row {
    // Texts: never null in a completed row ("" when absent). They may point
    // into the set's document or into `own`; only `own` and `categories` are
    // released through the row.
    const char *title;
    const char *tracker;
    const char *tracker_id;
    const char *guid;
    const char *link;
    const char *details;
    const char *magnet;
    const char *info_hash;
    const char *category_desc;
    const char *imdb;
    const char *tmdb;
    const char *tvdb;
    int32_t has_size;
    int64_t size;
    int32_t seeders;
    int32_t peers;
    int32_t files;
    int32_t *categories;
    int32_t category_count;
    int64_t publish_date;
    int32_t download_volume_factor;
    int32_t season;
    int32_t episode;
    int32_t full_season;
    yyjson_val *raw; // borrowed: the row's object inside the set's document
    char *own;       // texts the row had to build itself (numbers as text, ...)
};

struct kova_indexer {
    char *id;
    char *name;
    char *error;
    int32_t status;  // 1 failed; Torznab entries carry 2
    int32_t results;
};

struct kova_rset {
    yyjson_doc *doc;
    kova_row *rows;
    int32_t row_count;
    int32_t row_cap;
    kova_indexer *indexers;
    int32_t indexer_count;
    int32_t indexer_cap;
    int32_t indexers_errored;
};

kova_row *rs_add(kova_rset *rs);
kova_indexer *rs_add_indexer(kova_rset *rs);
void kova_row_free(kova_row *row);
void kova_rset_free(kova_rset *rs);

// ---------------------------------------------------------------------------
// Lookups (ops/)
// ---------------------------------------------------------------------------
struct kova_lookup {
    char *title;
    char *clean_title;
    char *imdb;
    int32_t tvdb;
    int32_t tmdb;
    int32_t year;
    int32_t library_id;
    yyjson_val *raw; // borrowed from lookup_doc
};

// ---------------------------------------------------------------------------
// Context (core/context.cpp)
// ---------------------------------------------------------------------------
struct kova_svc {
    char *host;
    char *api_key;
    char *base_url;
    int32_t port;
    int32_t https;
    int32_t configured;
};

struct kova_log_entry {
    char *key;
    char *text;
};

struct kova_ctx {
    const kova_io *io;
    int32_t use_fake;
    kova_svc svc[3];
    kova_rset rs;
    int32_t stage;
    yyjson_doc *lookup_doc;
    kova_lookup *lookup;
    int32_t lookup_count;
    int32_t match;
    char *rootfolder;
    int32_t *qp_ids;
    char **qp_names;
    int32_t qp_count;
    kova_log_entry test_log[kova_max_log];
    int32_t test_log_count;
    char *warnings[kova_max_warnings];
    int32_t warning_count;
    int32_t armed;
    int32_t rc;
    int32_t http_code;
    char err[kova_err_size];
    char *json_text;
    char *field_text;
    char imdb_buf[64];
};

void kova_begin(kova_ctx *ctx);
int32_t kova_fail(kova_ctx *ctx, int32_t code, const char *fmt, ...) KOVA_PRINTF(3, 4);
void kova_warnf(kova_ctx *ctx, const char *fmt, ...) KOVA_PRINTF(2, 3);
void kova_logf(kova_ctx *ctx, const char *key, const char *fmt, ...) KOVA_PRINTF(3, 4);
void kova_log_clear(kova_ctx *ctx);
void kova_ctx_free(kova_ctx *ctx);
// A context in the zero state: every member zero, match -1.
void kova_ctx_init(kova_ctx *ctx);
const char *kova_code_name(int32_t code);
int32_t kova_oom(kova_ctx *ctx); // kova_fail(ERR_OOM, "out of memory")

// ---------------------------------------------------------------------------
// Service configuration (core/config.cpp)
// ---------------------------------------------------------------------------
int32_t kova_svc_configure(kova_ctx *ctx, int32_t kind, const char *host, int32_t port,
                           int32_t https, const char *api_key);
const char *kova_svc_name(int32_t kind);
int32_t kova_svc_default_port(int32_t kind);
// True when text is an IPv6 address literal without brackets: eight groups of
// one to four hex digits, one "::" standing for one or more zero groups, and
// optionally a dotted IPv4 address (no leading zeros) as the last 32 bits.
// The same as glibc's inet_pton(AF_INET6), on every platform.
bool kova_is_ipv6_literal(const char *text);

// ---------------------------------------------------------------------------
// HTTP request frame (core/http.cpp)
// ---------------------------------------------------------------------------
int32_t kova_http(kova_ctx *ctx, int32_t kind, int32_t post, const char *path, const char *query,
                  const char *body, const char *label, char **body_out);

// ---------------------------------------------------------------------------
// Transports (io/)
// ---------------------------------------------------------------------------
const kova_io *kova_ctx_io(const kova_ctx *ctx);
const kova_io *kova_io_fake();
const kova_io *kova_io_curl();
void kova_curl_set_timeout(int32_t ms);
int32_t kova_curl_timeout();

// ---------------------------------------------------------------------------
// JSON field readers (parse/readers.cpp)
// ---------------------------------------------------------------------------
int32_t kova_clamp32(int64_t v);
const char *kova_type_name(yyjson_val *v); // "null", "uint", ... ("missing" for null pointer is the caller's)
yyjson_val *kova_obj_iget(yyjson_val *obj, const char *key);
char *kova_val_str(yyjson_val *v, int *flag);
int kova_val_int(yyjson_val *v, int64_t *out);
void kova_imdb_norm(const char *in, char *out, size_t size);
int64_t kova_parse_iso(const char *s);

// ---------------------------------------------------------------------------
// Parsers (parse/)
// ---------------------------------------------------------------------------
int32_t kova_rset_parse_jackett(kova_ctx *ctx, kova_rset *rs, const char *text, size_t len);
int32_t kova_rset_parse_arr(kova_ctx *ctx, kova_rset *rs, const char *text, size_t len);
int32_t kova_torznab_parse(kova_ctx *ctx, kova_rset *rs, const char *text);

// ---------------------------------------------------------------------------
// Operations (ops/)
// ---------------------------------------------------------------------------
int32_t kova_do_arr_test(kova_ctx *ctx, int32_t kind);
int32_t kova_do_jackett_test(kova_ctx *ctx);
void kova_qp_free(kova_ctx *ctx);
void trim_root(char *s);
int32_t kova_do_jackett_search(kova_ctx *ctx, const char *imdb, const char *title, const char *query);
int32_t kova_rset_classify(kova_ctx *ctx);
int32_t kova_do_sonarr_lookup(kova_ctx *ctx, const char *imdb, const char *title);
int32_t kova_do_radarr_lookup(kova_ctx *ctx, const char *imdb);
int32_t kova_do_library_find(kova_ctx *ctx, int32_t kind, int32_t id);
void kova_lookup_free(kova_ctx *ctx);
int32_t kova_do_sonarr_releases(kova_ctx *ctx, int32_t series, int32_t season, int32_t episode);
int32_t kova_do_radarr_releases(kova_ctx *ctx, int32_t movie);
int32_t kova_do_sonarr_add(kova_ctx *ctx, int32_t tvdb, const char *root, int32_t profile);
int32_t kova_do_radarr_add(kova_ctx *ctx, int32_t tmdb, const char *root, int32_t profile);
int32_t kova_qp_pick(kova_ctx *ctx, const char *text);
int32_t kova_do_search_or_add(kova_ctx *ctx, int32_t kind, const char *imdb, const char *title,
                              int32_t season, int32_t episode, const char *profile);

// ---------------------------------------------------------------------------
// Exported-interface helpers (exports/)
// ---------------------------------------------------------------------------
extern kova_ctx g_kova;
