// The parse layer: result rows and sets, the tolerant JSON value readers, and
// the parsers of Jackett's results, Sonarr's and Radarr's release lists and
// Torznab indexer lists. Builds on core/ only; a parser reports to the
// diagnostics sink it is given, never to a whole context.
#pragma once

#include <cstddef>

#include "core/core.h"
#include "parse/row_fields.h"

namespace kova {

// ---------------------------------------------------------------------------
// Reading an answer (parse/answer.cpp)
// ---------------------------------------------------------------------------
// Every service answer is read through one of the three answer readers. Each
// reads strictly first; when that fails only because string literals hold
// invalid UTF-8 or escaped lone surrogates, the answer is read again with
// each such byte or escape replaced by U+FFFD, and one warning gives the
// number of texts repaired, so that one bad title does not lose every other
// row. Every text of the document is valid UTF-8. Each returns null when the
// answer is not JSON, and *oom tells an allocation failure apart. They
// differ only in who owns the text the document's strings live in:
//
// answer_read: the document holds a copy of its own; text (len bytes) stays
// the caller's and may be released at once.
yyjson_doc *answer_read(diagnostics *diag, const char *text, size_t len, bool *oom);
// answer_read_copy: the text (len bytes, or up to its NUL for to_nul) is
// copied once into a buffer that becomes the caller's (*copy, released with
// mem_free after the document; null when the document holds a copy of its
// own) and read there in place.
yyjson_doc *answer_read_copy(diagnostics *diag, const char *text, size_t len, char **copy, bool *oom);
// answer_read_in_place: the caller hands the text over (*text: len bytes
// from mem_alloc or the runtime's malloc) and it is read in place, without a
// copy; *text may be reallocated (yyjson's padding) or replaced by its
// mended text. Whatever *text holds on return is the caller's to release
// with mem_free, on every path, after the document.
yyjson_doc *answer_read_in_place(diagnostics *diag, char **text, size_t len, bool *oom);
// A strict read of JSON that is no service answer (a host's settings, a
// refusal's body): no mending, the text never written. Null for invalid
// JSON, with *oom (if given) set when the reason was an allocation failure.
yyjson_doc *json_read(const char *text, size_t len, bool *oom = nullptr);

// The explanation a service gave with a refusal (parse/refusal.cpp), read
// from the shapes Sonarr, Radarr and Jackett send: ASP.NET problem details
// ("title", "detail", "errors": {"Field": ["text"]}), Servarr's validation
// failures ([{"propertyName","errorMessage"}]), {"message"} or {"error"}, or
// the first line of a plain-text body; an HTML page explains nothing. Writes
// "<name>: <explanation>" into out as valid UTF-8 of at most 511 bytes, with
// every "apikey=" value (and the key itself, when it is six bytes or longer)
// replaced by "***"; false when the body holds no explanation.
bool refusal_text(const char *name, const char *body, const char *secret, char out[warn_size]);
// The same text as one warning; nothing when there is none (or no memory).
void warn_refusal(diagnostics *d, const char *name, const char *body, const char *secret);

// ---------------------------------------------------------------------------
// Result rows and result sets (parse/)
// ---------------------------------------------------------------------------
// The row's members come from the field list (parse/row_fields.h), in groups
// by size. What releasing a row reads (categories and own) shares 16 aligned
// bytes: releasing a large set reads one cache line of each row, not two, as
// the rows start at 16-byte boundaries. Texts are never null in a
// completed row ("" when absent); they may point into the set's document or
// into `own`. Only `own` and the categories are released through the row.
#define KV_ROW_PTR_text(name)
#define KV_ROW_PTR_count(name)
#define KV_ROW_PTR_flag(name)
#define KV_ROW_PTR_date(name)
#define KV_ROW_PTR_size(name)
#define KV_ROW_PTR_categories(name) alignas(16) int32_t *name;
#define KV_ROW_TEXT_text(name) const char *name;
#define KV_ROW_TEXT_count(name)
#define KV_ROW_TEXT_flag(name)
#define KV_ROW_TEXT_date(name)
#define KV_ROW_TEXT_size(name)
#define KV_ROW_TEXT_categories(name)
#define KV_ROW_WIDE_text(name)
#define KV_ROW_WIDE_count(name)
#define KV_ROW_WIDE_flag(name)
#define KV_ROW_WIDE_date(name) int64_t name;
#define KV_ROW_WIDE_size(name) int64_t name;
#define KV_ROW_WIDE_categories(name)
#define KV_ROW_INT_text(name)
#define KV_ROW_INT_count(name) int32_t name;
#define KV_ROW_INT_flag(name) int32_t name;
#define KV_ROW_INT_date(name)
#define KV_ROW_INT_size(name) int32_t has_##name;
#define KV_ROW_INT_categories(name) int32_t name##_count;
// What kind of answer a set's rows come from.
enum class answer_kind : int32_t { none, jackett, releases, prowlarr };

struct alignas(16) result_row {
#define KV_X(name, kind, ...) KV_ROW_TEXT_##kind(name)
    KV_ROW_FIELDS(KV_X)
#undef KV_X
#define KV_X(name, kind, ...) KV_ROW_WIDE_##kind(name)
    KV_ROW_FIELDS(KV_X)
#undef KV_X
#define KV_X(name, kind, ...) KV_ROW_PTR_##kind(name)
    KV_ROW_FIELDS(KV_X)
#undef KV_X
    char *own;       // texts the row had to build itself (numbers as text, ...)
    yyjson_val *raw; // borrowed: the row's object inside the set's document
#define KV_X(name, kind, ...) KV_ROW_INT_##kind(name)
    KV_ROW_FIELDS(KV_X)
#undef KV_X
};
static_assert(offsetof(result_row, own) == offsetof(result_row, category) + sizeof(void *) &&
                  offsetof(result_row, category) % 16 == 0 && sizeof(result_row) % 16 == 0,
              "the categories and own share 16 bytes of each row");

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
    // The kind of answer the rows were read from (set by its parser).
    answer_kind answer;
    // The rows' languages as the accessor hands them out, built on first
    // request (one entry per row, null until then); released with the set.
    // Nothing changes the rows once a set is installed, so an entry stays
    // the one of its row.
    char **languages;
    int32_t languages_size; // entries of languages
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
int32_t parse_releases(diagnostics *diag, result_set *rs, const char *text, size_t len, char *own = nullptr);
int32_t parse_torznab(diagnostics *diag, result_set *rs, const char *text);
int32_t parse_prowlarr(diagnostics *diag, result_set *rs, const char *text, size_t len, char *own = nullptr);

// Prowlarr's indexers (GET /api/v1/indexer, an array) and their status (GET
// /api/v1/indexerstatus, an array), added to the set's indexer entries: each
// enabled indexer, with its results among the set's rows; one held back
// after failures until a time after now (Unix seconds) is failed
// (KOVA_INDEXER_FAILED), its error text saying since when and until when.
int32_t read_prowlarr_indexers(diagnostics *diag, result_set *rs, yyjson_val *indexers, yyjson_val *status,
                               int64_t now);

// ---------------------------------------------------------------------------
// A release's details (parse/details.cpp), read from row r's own object when
// asked; each gives its "none" value for rows of other answers (Jackett's
// protocol is "torrent"; Prowlarr's rows have a protocol and an indexer id). Texts point into the set's document, or are
// constants, and live as long as the set.
// ---------------------------------------------------------------------------
const char *release_quality(const result_set &rs, const result_row &r);   // quality.quality.name
int32_t release_resolution(const result_set &rs, const result_row &r);    // quality.quality.resolution, 0
int32_t release_approved(const result_set &rs, const result_row &r);      // 1, 0, -1 unknown
int32_t release_rejection_count(const result_set &rs, const result_row &r);
const char *release_rejection(const result_set &rs, const result_row &r, int32_t j);
int32_t release_custom_format_score(const result_set &rs, const result_row &r); // 0 none
const char *release_protocol(const result_set &rs, const result_row &r);  // "torrent", "usenet", ""
int32_t release_indexer_id(const result_set &rs, const result_row &r);    // -1 none
// What a grab sends back for row r, as the service listed it: its guid (a
// non-empty text) and its indexer id (a value read_id accepts, kept as
// sent). False when either is missing.
bool release_grab_keys(const result_row &r, yyjson_val **guid, yyjson_val **indexer);
// The language names of row i joined with ", " ("" for none, or when
// memory ran out), built once and kept in the set.
const char *release_languages(result_set &rs, int32_t i);
// The member of obj at a dotted path ("quality.revision.version",
// "languages.0.name": a number indexes an array); each key is matched as
// obj_iget matches it. Null when there is none.
yyjson_val *member_at_path(yyjson_val *obj, const char *path);

// ---------------------------------------------------------------------------
// Sonarr's and Radarr's other answers (parse/lookup.cpp, settings.cpp,
// library.cpp)
// ---------------------------------------------------------------------------
// One item of a lookup answer. The texts are owned (null only when memory
// ran out while the entry was read); raw points into the list's document.
struct lookup_entry {
    char *title;
    char *clean_title;
    char *imdb;
    int32_t tvdb;
    int32_t tmdb;
    int32_t year;
    int32_t library_id;
    yyjson_val *raw;
};

struct lookup_list {
    yyjson_doc *doc;
    lookup_entry *entries;
    int32_t count;
};
void lookup_list_free(lookup_list *l);
// A lookup answer (an array of items, or one item as Radarr's lookups by id
// send) into *out, which is overwritten; on failure *out may hold the
// entries read so far, which the caller releases. service names the service
// in messages.
int32_t parse_lookup(diagnostics *diag, const char *service, const char *text, lookup_list *out);
// What an add takes from a lookup item's own object (an entry's raw), read
// as the add sends it back rather than as the entry keeps it: the name of
// the item's folder, its clean title ("untitled" when it has none, pointing
// into the document otherwise); its external id, the member key names
// ("tvdbId", "tmdbId"); the language profile it names itself. The ids count
// as read_id counts them; false when there is none.
const char *lookup_folder_name(yyjson_val *object);
bool lookup_external_id(yyjson_val *object, const char *key, int32_t *id);
bool lookup_language_profile(yyjson_val *object, int32_t *id);

// An array answer: *doc receives the document on every path (null when the
// text is not JSON; the caller releases it), *arr its root when that is an
// array, else "<service> <label>: not a JSON array".
int32_t parse_array(diagnostics *diag, const char *service, const char *label, const char *text, yyjson_doc **doc,
                    yyjson_val **arr);

// The path of the first of the root folders, as sent; "" when there is none,
// null when memory ran out.
char *read_first_root(yyjson_val *folders);

// Every root folder that has a path (at most max_roots), in the service's
// order: the path as sent, the free space in bytes (-1 when unknown). On
// failure *out holds those read so far.
struct root_folder {
    char *path;
    int64_t free_space;
};
struct root_list {
    root_folder *items;
    int32_t count;
};
void root_list_free(root_list *l);
int32_t read_root_folders(diagnostics *diag, yyjson_val *folders, root_list *out);

// The quality profiles with an integer id, in the service's order (at most
// max_profiles). On failure *out holds those read so far.
struct profile_list {
    int32_t *ids;
    char **names;
    int32_t count;
};
void profile_list_free(profile_list *p);
int32_t read_profiles(diagnostics *diag, yyjson_val *profiles, profile_list *out);
// The first profile of a list with a usable id: its id and name (pointing
// into the document). False when there is none.
bool read_first_profile(yyjson_val *profiles, int32_t *id, const char **name);

// An id taken from a service answer counts only from 1 to 2147483646.
bool read_id(yyjson_val *v, int32_t *out);

// ---------------------------------------------------------------------------
// Download queues and calendars (parse/queue.cpp, calendar.cpp)
// ---------------------------------------------------------------------------
// One download of a queue. Texts are owned and never null in a completed
// entry ("" when absent).
struct queue_entry {
    char *title;
    char *status;   // the word a host maps (status_word in parse/queue.cpp)
    char *message;  // errorMessage, or the status messages joined with "; "
    char *client;
    char *protocol;
    int64_t size;   // bytes; -1 unknown
    int64_t left;   // bytes still to come; -1 unknown
    int64_t eta;    // Unix seconds; -1 none
    int32_t id;     // the queue entry's id; 0 none
    int32_t library_id;
    int32_t season; // -1 unknown, and for films
    int32_t episode;
};
struct queue_list {
    queue_entry *entries;
    int32_t count;
    int32_t cap;
};
void queue_list_free(queue_list *q);
// Per mille done, from the size and what is left; -1 when either is unknown.
int32_t queue_progress(const queue_entry &e);
// What reading a queue's pages remembers between them: the ids of every
// record read, kept or not.
struct queue_reader {
    int32_t *seen; // a hash set (0: a free slot)
    int32_t seen_cap;
    int32_t seen_count;
};
void queue_reader_free(queue_reader *r);
// What one page held: the total the service announced (-1 when it sent
// none), its records, those not read on an earlier page, and whether the
// list is full (max_queue).
struct queue_page {
    int64_t total;
    int32_t records;
    int32_t fresh;
    bool full;
};
// Appends the records of one queue page (a {page, totalRecords, records}
// object, or a bare array of records) that are new and, when item is above
// 0, of that library item (seriesId for series, movieId for films).
int32_t read_queue_page(diagnostics *diag, const char *service, yyjson_val *page, int32_t item, bool series,
                        queue_list *q, queue_reader *reader, queue_page *out);

// One item of a calendar. Texts are owned and never null in a completed
// entry; kind is a constant ("episode", "cinema", "digital", "physical",
// or "" for a film with no release inside the span).
struct calendar_entry {
    char *title;
    char *series;
    char *imdb;
    const char *kind;
    int64_t date;       // Unix seconds; -1 none
    int32_t season;     // -1 for films
    int32_t episode;
    int32_t has_file;   // 1, 0, -1 unknown
    int32_t monitored;  // 1, 0, -1 unknown
    int32_t library_id; // 0 none
};
struct calendar_list {
    calendar_entry *entries;
    int32_t count;
};
void calendar_list_free(calendar_list *c);
// The episodes (series) or films of a calendar answer's array, at most
// max_calendar (a warning says when more were left out), in date order; a
// film's date is its earliest release within [start, end] (Unix seconds).
// On failure *out holds those read so far.
int32_t read_calendar(diagnostics *diag, yyjson_val *items, bool series, int64_t start, int64_t end,
                      calendar_list *out);
// The library id of the item whose ext_key member is ext_id; 0 when none.
int32_t find_library_id(yyjson_val *items, const char *ext_key, int32_t ext_id);
// The id of episode `episode` of season `season` in an episode list; 0 when none.
int32_t find_episode_id(yyjson_val *episodes, int32_t season, int32_t episode);
// The id of the item an add created (the answer's object, or the first of an
// array): OK with *id, ERR_NOT_FOUND (nothing reported) when it carries
// none, or ERR_OOM (reported).
int32_t parse_added_id(diagnostics *diag, const char *text, int32_t *id);

} // namespace kova
