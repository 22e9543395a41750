// The parse layer: result rows and sets, the tolerant JSON value readers, and
// the parsers of Jackett's results, Sonarr's and Radarr's release lists and
// Torznab indexer lists. Builds on core/ only; a parser reports to the
// diagnostics sink it is given, never to a whole context.
#pragma once

#include "core/core.h"

namespace kova {

// ---------------------------------------------------------------------------
// Result rows and result sets (parse/)
// ---------------------------------------------------------------------------
struct result_row {
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
    int64_t size;
    // What releasing the row reads, side by side: releasing a large set reads
    // one cache line of each row, not two.
    int32_t *categories;
    char *own;       // texts the row had to build itself (numbers as text, ...)
    yyjson_val *raw; // borrowed: the row's object inside the set's document
    int64_t publish_date;
    int32_t has_size;
    int32_t seeders;
    int32_t peers;
    int32_t files;
    int32_t category_count;
    int32_t download_volume_factor;
    int32_t season;
    int32_t episode;
    int32_t full_season;
};

struct indexer_entry {
    char *id;
    char *name;
    char *error;
    int32_t status;  // as Jackett sent it; KOVA_INDEXER_FAILED, KOVA_INDEXER_TORZNAB
    int32_t results;
};

struct result_set {
    yyjson_doc *doc;
    char *text; // the answer's copy the document was read in (its strings live there), or null
    result_row *rows;
    int32_t row_count;
    int32_t row_cap;
    indexer_entry *indexers;
    int32_t indexer_count;
    int32_t indexer_cap;
    int32_t indexers_errored;
    // The service whose release search produced the set (KOVA_SONARR or
    // KOVA_RADARR, set by the operation that ran it); 0 for any other set.
    // A release can only be sent back to the service that listed it.
    int32_t source;
};

result_row *rs_add(result_set *rs);
indexer_entry *rs_add_indexer(result_set *rs);
void row_free(result_row *row);
void result_set_free(result_set *rs);


// ---------------------------------------------------------------------------
// JSON value readers (parse/values.cpp)
// ---------------------------------------------------------------------------
int32_t clamp32(int64_t v);
const char *type_name(yyjson_val *v); // "null", "uint", ... ("missing" for null pointer is the caller's)
yyjson_val *obj_iget(yyjson_val *obj, const char *key);
char *val_str(yyjson_val *v, int *flag);
int val_int(yyjson_val *v, int64_t *out);
void imdb_norm(const char *in, char *out, size_t size);
int64_t parse_iso(const char *s);

// ---------------------------------------------------------------------------
// Parsers: each fills a zeroed set; on failure the set may hold a partial
// answer, which the caller releases. The JSON parsers read len bytes of
// text, or up to its NUL when len is to_nul, through a copy of their
// own. own: null, or text itself handed over to the set (len bytes from
// malloc: a host's answer, or a body from http_request), read in place and
// released with the set on every path.
// ---------------------------------------------------------------------------
int32_t parse_jackett(diagnostics *diag, result_set *rs, const char *text, size_t len, char *own = nullptr);
int32_t parse_arr_releases(diagnostics *diag, result_set *rs, const char *text, size_t len, char *own = nullptr);
int32_t parse_torznab(diagnostics *diag, result_set *rs, const char *text);

} // namespace kova
