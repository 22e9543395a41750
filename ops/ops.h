// The ops layer: the context an operation works on and the behaviour of
// every service operation. Builds on core/, io/ and parse/. Every operation
// takes the context as its first argument and never reaches for the
// process-wide one, so that a settings validation can run a connection test
// on a temporary context of its own.
#pragma once

#include "core/core.h"
#include "io/io.h"
#include "parse/parse.h"

namespace kova {

// ---------------------------------------------------------------------------
// The operation context
// ---------------------------------------------------------------------------

// What the last get did, readable after it (also after a failure, for the
// steps that ran): the item's library id (0 none), whether it added the item
// (or would, in a dry run), the root folder, profile id and folder path the
// add used or would use, and whether the whole season stood in for a
// missing episode.
struct get_report {
    int32_t library_id;
    int32_t added;
    char *root;
    int32_t profile_id;
    char *path;
    int32_t fallback;
};
void get_report_free(get_report *g);

// The core part (diagnostics, services) plus the transport choice and the
// state operations leave for the accessors. Each layer releases its own part.
struct context : core_context {
    const kova_io *io; // the host's table, or null
    int32_t use_fake;
    int32_t armed;     // library writes allowed
    result_set rs;
    int32_t stage;     // KOVA_STAGE_*
    lookup_list lookups;
    int32_t match = -1; // the lookup entry that matched; -1 for none
    // What the last Sonarr/Radarr settings fetch found: the first root
    // folder, every root folder with a path (both trimmed) and the quality
    // profiles.
    char *rootfolder;
    root_list roots;
    profile_list profiles;
    int32_t profiles_of; // the service the profiles are of
    get_report get;
    queue_list queue;       // the last queue read, beside the result set
    calendar_list calendar; // the last calendar read
};

// A context in the zero state: every member zero, match -1.
void context_init(context *ctx);
// Releases everything the context holds and returns it to the zero state.
void context_free(context *ctx);
// Each releases one part of the operations' state and leaves it empty.
void lookup_free(context *ctx);       // the lookup entries and the match
void arr_settings_free(context *ctx); // the root folder and the quality profiles

// ---------------------------------------------------------------------------
// Operations
// ---------------------------------------------------------------------------
int32_t do_arr_test(context *ctx, int32_t kind);
int32_t do_jackett_test(context *ctx);
int32_t do_jackett_search(context *ctx, const char *imdb, const char *title, const char *query);
// The outcome of an indexer service's search (Jackett's, Prowlarr's) from
// its set: every indexer failed and no rows, some failed, rows, or none.
int32_t classify_set(context *ctx);
// Drops, in place, the rows that carry an IMDb number other than imdb (a
// normalised one); rows without one stay. Returns the number dropped.
int32_t imdb_filter(result_set *rs, const char *imdb);
int32_t do_sonarr_lookup(context *ctx, const char *imdb, const char *title);
int32_t do_radarr_lookup(context *ctx, const char *imdb);
int32_t do_library_find(context *ctx, int32_t kind, int32_t id);
// Releases of an episode, or of the whole season for episode 0. An episode
// Sonarr does not list is looked for in the whole season (*fallback true),
// or, when exact, is ERR_NOT_FOUND.
int32_t do_sonarr_releases(context *ctx, int32_t series, int32_t season, int32_t episode, bool exact = false,
                           bool *fallback = nullptr);
int32_t do_radarr_releases(context *ctx, int32_t movie);
// Adds the item with external id ext_id (TVDB for Sonarr, TMDb for Radarr).
int32_t do_add(context *ctx, int32_t kind, int32_t ext_id, const char *root, int32_t profile);
int32_t profile_pick(context *ctx, const char *text);
// The id of the loaded quality profile text names: NULL or "" the first; a
// decimal id that exists; a name, exactly, else in any letter case when only
// one profile has it. Never a silent fallback: ERR_EMPTY without profiles,
// ERR_INVALID_ARG with the names when none or several match; `who` starts
// the message ("Sonarr get").
int32_t find_profile(context *ctx, const char *who, const char *text, int32_t *id);
// The index of the loaded root folder root names once trimmed; -1 for none.
int32_t find_root(const context *ctx, const char *root);
// Sends release index of the current set, which kind's search produced
// (Sonarr's or Radarr's release search, Prowlarr's search), to that
// service's download client.
int32_t do_grab(context *ctx, int32_t kind, int32_t index);
int32_t do_search_or_add(context *ctx, int32_t kind, const char *imdb, const char *title,
                              int32_t season, int32_t episode, const char *profile);
// The same with a host's choices (KOVA_GET_* flags), reported in ctx->get.
int32_t do_get(context *ctx, int32_t kind, const char *imdb, const char *title, int32_t season, int32_t episode,
               const char *profile, const char *root, int32_t flags);
// Answers the host fetched itself, parsed into the context's result set.
int32_t do_parse_jackett(context *ctx, const char *json);
// The same for an answer the host hands over (len bytes from malloc): read in
// place, released with the set (or at once when the parse fails).
int32_t do_parse_jackett_own(context *ctx, char *json, size_t len);
int32_t do_parse_releases(context *ctx, const char *json);
int32_t do_parse_prowlarr(context *ctx, const char *json);
// Prowlarr: the connection test and the staged search (ops/prowlarr.cpp).
int32_t do_prowlarr_test(context *ctx);
int32_t do_prowlarr_search(context *ctx, const char *imdb, const char *title, const char *query, int32_t type,
                           int32_t season, int32_t episode);
int32_t do_parse_torznab(context *ctx, const char *xml);
// Sonarr's or Radarr's download queue (ops/queue.cpp), every page of it:
// the entries of library item `item`, or all of them for 0, into ctx->queue.
int32_t do_queue(context *ctx, int32_t kind, int32_t item);
// Their calendar from start to end (Unix seconds) into ctx->calendar.
int32_t do_calendar(context *ctx, int32_t kind, int64_t start, int64_t end);

// ---------------------------------------------------------------------------
// Shared by the operation source files only
// ---------------------------------------------------------------------------
// One request through the context's transport (the request frame,
// http_request); for a refusal (400 or above) the service's own explanation
// becomes one warning.
int32_t request(context *ctx, int32_t kind, http_method method, const char *path, const char *query,
                     const char *body, const char *label, char **body_out, size_t *len_out = nullptr);

// What tells Sonarr and Radarr apart in the operations both run: names,
// paths, keys and test-log keys, one entry per service (ops/service.cpp).
struct arr_service {
    int32_t kind;
    const char *name;         // "Sonarr", as in messages
    const char *lower;        // "sonarr"
    const char *item;         // "series", "movie"
    const char *ext_key;      // the item's external id: "tvdbId", "tmdbId"
    const char *ext_short;    // "tvdb", "tmdb"
    int32_t lookup_entry::*ext; // that id in a lookup entry
    const char *library_path; // the library, where an add posts
    const char *add_label;    // "add series", "add movie"
    const char *add_query;    // the add's query key ("tvdbId"), or null
    // Radarr's lookups answer one item: only the first entry counts, and an
    // unknown item is a 404 or a 500 naming a not-found exception.
    bool one_item;
    const char *ext_lookup_path;  // lookup by external id
    const char *ext_lookup_query; // its query, with one %d for the id
    const char *lookup_label;     // "series lookup", "movie lookup"
    // Test-log keys.
    const char *log_get_root, *log_root, *log_no_root;
    const char *log_get_qp, *log_qp, *log_no_qp, *log_set_qp;
    const char *log_add, *log_add_fmt; // the format takes the folder name and the id
    const char *log_grab;
};
// The entry of KOVA_SONARR or KOVA_RADARR.
const arr_service &arr_service_of(int32_t kind);

// Library writes: ERR_NOT_ARMED unless the host armed them. Every operation
// that writes checks it first, here only.
int32_t check_armed(context *ctx);

// Makes a freshly parsed set the context's set when rc is OK (the old set is
// released); otherwise releases the fresh set and leaves the context's as it
// was. Returns rc.
int32_t install_set(context *ctx, result_set *fresh, int32_t rc);

// A root folder's length once trailing backslashes, then trailing slashes,
// are removed; trim_root cuts the text there.
size_t root_trimmed_len(const char *root);
void trim_root(char *s);

int32_t fetch_root(context *ctx, int32_t kind);
int32_t fetch_profiles(context *ctx, int32_t kind);
// A lookup answer (released here) becomes the context's lookup entries.
int32_t lk_parse(context *ctx, char *body, int32_t kind);
int32_t sonarr_term(context *ctx, const char *term, char **body);
// How an add sets the item up: unmonitored with no search (the default), or
// monitored, and searched by the service: Sonarr one season's episodes (all
// for 0), Radarr the film.
struct add_monitoring {
    bool on = false;
    int32_t season = 0;
};
// Adds the item of a lookup object under root (checked first: it must not
// trim to nothing) with a quality profile id: its library id, or a code.
int32_t add_from_lookup(context *ctx, int32_t kind, yyjson_val *object, const char *root, int32_t profile,
                        const char *suffix, const add_monitoring &monitoring = {});
// The folder an add of object under root puts the item in:
// "<root>/<cleanTitle>" and "-<suffix>" when there is one, the root
// trimmed (it must not trim to nothing). Null when memory ran out.
char *add_folder(yyjson_val *object, const char *root, const char *suffix);

// GETs an answer that must be a JSON array: on OK, *arr is its root. *doc
// receives the parsed answer (or null) on every path; the caller releases it.
// A request failure returns the frame's code, a read that ran out of memory
// ERR_OOM, anything but an array ERR_JSON "<Service> <label>: not a JSON array".
int32_t get_json_array(context *ctx, int32_t kind, const char *path, const char *query, const char *label,
                       yyjson_doc **doc, yyjson_val **arr);

// A text input counts as present when it is non-null and non-empty.
inline bool present(const char *s) { return s && *s; }

// Radarr answers a lookup of an unknown item with 404, or with 500 and a
// not-found exception in the body.
bool radarr_not_found(const context *ctx, int32_t rc, const char *body);


} // namespace kova
