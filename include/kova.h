/*
 * kova - a client library for Jackett, Sonarr v3 and Radarr v3.
 *
 * One process-wide context holds every result until the next call that
 * replaces it. The library performs no network I/O of its own: every request
 * goes through a transport table the host installs (kova_set_io) or the
 * built-in fake transport (kova_use_fake).
 *
 * Conventions of this header:
 *  - Integers are 32-bit signed unless stated otherwise. Service kinds are
 *    0 Jackett, 1 Sonarr, 2 Radarr.
 *  - Texts are NUL-terminated UTF-8. A NULL text argument is accepted
 *    everywhere; each function says what it means.
 *  - A text returned by the library is owned by the library, is never NULL
 *    ("" stands for an absent text) and stays valid until the next call that
 *    replaces it. Never free it.
 *  - Operations return a result code (KOVA_OK, KOVA_PARTIAL or a negative
 *    KOVA_ERR_*); the library-find and add calls return a positive library id
 *    on success instead.
 *  - The library does not lock its context: make one call at a time.
 */
#ifndef KOVA_H
#define KOVA_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) || defined(__CYGWIN__)
#  if defined(KOVA_BUILDING)
#    define KOVA_API __declspec(dllexport)
#  elif defined(KOVA_STATIC)
#    define KOVA_API
#  else
#    define KOVA_API __declspec(dllimport)
#  endif
#elif defined(__GNUC__) && __GNUC__ >= 4
#  define KOVA_API __attribute__((visibility("default")))
#else
#  define KOVA_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ===================================================================== */
/* Result codes (they only ever grow; kova_strerror names them)          */
/* ===================================================================== */

#define KOVA_OK                  0   /* success */
#define KOVA_PARTIAL             1   /* some Jackett indexers failed */
#define KOVA_ERR_TRANSPORT     (-1)  /* the transport reported a failure */
#define KOVA_ERR_HTTP          (-2)  /* HTTP status outside 2xx (not 401/403) */
#define KOVA_ERR_AUTH          (-3)  /* API key rejected */
#define KOVA_ERR_JSON          (-4)  /* answer not JSON or not the expected shape */
#define KOVA_ERR_NOT_CONFIGURED (-5) /* the service is not configured */
#define KOVA_ERR_NOT_FOUND     (-6)  /* the item asked for was not found */
#define KOVA_ERR_EMPTY         (-7)  /* the answer held nothing usable */
#define KOVA_ERR_NOT_ARMED     (-8)  /* library writes are not armed */
#define KOVA_ERR_NO_IO         (-9)  /* no usable transport installed */
#define KOVA_ERR_INVALID_ARG   (-10) /* an argument was missing or out of range */
#define KOVA_ERR_OOM           (-11) /* an allocation failed */
#define KOVA_ERR_INDEXERS      (-12) /* every Jackett indexer failed */

/* Service kinds. */
#define KOVA_JACKETT 0
#define KOVA_SONARR  1
#define KOVA_RADARR  2

/* ===================================================================== */
/* Transport table                                                       */
/* ===================================================================== */

/*
 * The host's HTTP transport. The library keeps the table's address (not a
 * copy): keep it valid and unchanged while installed.
 *
 * get/post return 0 when an HTTP exchange took place (any status, stored in
 * *status) and nonzero when it failed. They may store a NUL-terminated body
 * and an error text they allocated; the library releases each exactly once,
 * through release(user, text), or through free() when release is NULL.
 * free() is the C runtime kova itself was built with: on Windows, kova.dll
 * uses msvcrt, and a host built with MSVC (or any other runtime) allocates
 * from a different heap, which that free() must never see. Windows hosts:
 * always supply release, and free your texts in it with your own runtime.
 * The URL and request body are only valid during the call. The content type
 * passed to post is always "application/json"; a POST without a body passes
 * "". No time-out is passed: see kova_timeout_ms.
 */
typedef struct kova_io {
    void *user;
    int32_t (*get)(void *user, const char *url,
                   char **body, int32_t *status, char **error);
    int32_t (*post)(void *user, const char *url, const char *body,
                    const char *content_type,
                    char **body_out, int32_t *status, char **error);
    void (*release)(void *user, char *text);
} kova_io;

/* ===================================================================== */
/* Settings validation handler records                                   */
/* ===================================================================== */

/*
 * Validates a settings JSON object ({"Host","APIKey","UseHttps","Port","ID"},
 * and optionally "UrlBase", checked as kova_set_url_base checks a path)
 * by configuring a private context with `io` and running the service's
 * connection test. Writes a compact JSON answer into `answer` (never cut:
 * when it does not fit, `answer` holds "") and returns the answer code:
 * 0 valid, -1 key rejected, -2 not found, -3 too many requests,
 * -4 unreachable, -5 unexpected answer, -8 invalid settings, -9 no or too
 * small buffer (KOVA_VALIDATE_*). Never touches the process-wide context.
 */
typedef int32_t (*kova_validate_fn)(const kova_io *io, const char *settings,
                                    char *answer, int32_t answer_size);

/* A constant, 64-byte record per runtime type ("JACKETT", "SONARR",
 * "RADARR"). Layout: name at offset 0, the value 32 at 8, the validation
 * function at 16, five zero slots. */
typedef struct kova_handler {
    const char *name;
    int32_t value;            /* always 32 */
    int32_t reserved0;        /* always 0 */
    kova_validate_fn validate;
    void *reserved[5];        /* always NULL */
} kova_handler;

/* ===================================================================== */
/* Diagnostics and lifecycle                                             */
/* ===================================================================== */

/** Library version, "1.0.0". Static text. */
KOVA_API const char *kova_version(void);
/** Name of a result code ("OK", "ERR_AUTH", ...; "ERR_UNKNOWN" for any other value). Static text. */
KOVA_API const char *kova_strerror(int32_t rc);
/** Value returned by the last operation call (result code or library id). */
KOVA_API int32_t kova_last_rc(void);
/** HTTP status of the last request of the last operation call; 0 when none reached the transport. */
KOVA_API int32_t kova_last_http_code(void);
/** Message of the last failure or partial success; "" when none. Owned by the library. */
KOVA_API const char *kova_last_error(void);
/** Number of warnings raised by the last operation call (0 to 64). */
KOVA_API int32_t kova_warning_count(void);
/** Warning i of the last operation call; "" when i is out of range. Owned by the library. When a service answers 400 or above with an explanation in its body, one warning carries it ("Sonarr: RootFolderPath: Folder '/nope' does not exist"). */
KOVA_API const char *kova_warning(int32_t i);
/** Releases everything, unconfigures every service, removes the transport, disarms writes and restores the default time-out. Fake-transport routes survive. */
KOVA_API void kova_reset(void);
/** Arms (nonzero) or disarms (0) library writes: adds and search-or-add. */
KOVA_API void kova_arm_library_writes(int32_t armed);
/** 1 when library writes are armed, else 0. */
KOVA_API int32_t kova_library_writes_armed(void);

/* ===================================================================== */
/* Service configuration                                                 */
/* ===================================================================== */

/** Configures Jackett: host (name, IPv4 or bare IPv6; no scheme, path or brackets), port (<= 0: default 9117), https (nonzero = HTTPS), non-empty API key. A refused configuration leaves the previous one in force. */
KOVA_API int32_t kova_jackett_configure(const char *host, int32_t port, int32_t https, const char *api_key);
/** Configures Sonarr (default port 8989); rules as kova_jackett_configure. */
KOVA_API int32_t kova_sonarr_configure(const char *host, int32_t port, int32_t https, const char *api_key);
/** Configures Radarr (default port 7878); rules as kova_jackett_configure. */
KOVA_API int32_t kova_radarr_configure(const char *host, int32_t port, int32_t https, const char *api_key);
/** Base URL ("scheme://host:port", then the URL base of kova_set_url_base if any) of a configured service; "" for an unknown kind or an unconfigured service. Owned by the library. */
KOVA_API const char *kova_base_url(int32_t kind);
/** Default port of a service kind (9117, 8989, 7878); 0 for any other kind. */
KOVA_API int32_t kova_default_port(int32_t kind);

/* ===================================================================== */
/* Transport selection                                                   */
/* ===================================================================== */

/** Installs the host's transport table (NULL removes it). The table must outlive its installation. */
KOVA_API void kova_set_io(const kova_io *io);
/** Selects the built-in HTTP client; this build has none, so it always returns KOVA_ERR_NO_IO and leaves no transport selected. */
KOVA_API int32_t kova_use_curl(void);
/** Selects the built-in fake transport (answers from kova_fake_set routes). */
KOVA_API void kova_use_fake(void);
/** Sets the process-wide request time-out in milliseconds; 0 or negative restores the default 100000. Host transports read it with kova_timeout_ms. */
KOVA_API void kova_set_timeout_ms(int32_t ms);
/** The request time-out in milliseconds (default 100000). */
KOVA_API int32_t kova_timeout_ms(void);

/* ===================================================================== */
/* Fake transport control (thread-safe; independent of kova_reset)       */
/* ===================================================================== */

/** Removes every route, zeroes the counters and forgets the last POST. The transport selection is kept. */
KOVA_API void kova_fake_reset(void);
/** Routes an exact URL to a status and body (replacing an earlier route for it, whose call count is kept). NULL url or body: KOVA_ERR_INVALID_ARG. */
KOVA_API int32_t kova_fake_set(const char *url, int32_t status, const char *body);
/** Makes requests to an exact URL fail at the transport with `text` (NULL: "fake: transport failure"). NULL url: KOVA_ERR_INVALID_ARG. */
KOVA_API int32_t kova_fake_fail(const char *url, const char *text);
/** Requests served for a URL's route (0 when none); with NULL, all requests served since the last kova_fake_reset. */
KOVA_API int32_t kova_fake_calls(const char *url);
/** Number of POST requests received. */
KOVA_API int32_t kova_fake_post_count(void);
/** URL of the last POST (cut to 65535 bytes); "" before the first. Valid until the next call of this function. */
KOVA_API const char *kova_fake_last_post_url(void);
/** Body of the last POST; "" before the first. Valid until the next call of this function. */
KOVA_API const char *kova_fake_last_post_body(void);

/* ===================================================================== */
/* IMDb number                                                           */
/* ===================================================================== */

/** Normalises an IMDb id to its number ("tt0000123" -> "123"); "" when invalid or NULL. Valid until the next call of this function. */
KOVA_API const char *kova_imdb_numeric(const char *imdb_id);

/* ===================================================================== */
/* Connection tests                                                      */
/* ===================================================================== */

/** Lists Jackett's configured indexers (no search) into the indexer accessors; logs the steps in the test log. */
KOVA_API int32_t kova_jackett_test(void);
/** Fetches Sonarr's first root folder and its quality profiles; KOVA_ERR_EMPTY when either is missing. */
KOVA_API int32_t kova_sonarr_test(void);
/** Fetches Radarr's first root folder and its quality profiles; KOVA_ERR_EMPTY when either is missing. */
KOVA_API int32_t kova_radarr_test(void);
/** Parses a Torznab indexer list the host fetched itself into the indexer accessors. NULL: KOVA_ERR_JSON. */
KOVA_API int32_t kova_parse_torznab_indexers(const char *xml);

/* ===================================================================== */
/* Jackett search                                                        */
/* ===================================================================== */

/** Staged Jackett search: IMDb id, then title (rows of other IMDb ids dropped), then query; each may be NULL. Results: kova_result_* and kova_jackett_stage. */
KOVA_API int32_t kova_jackett_search_imdb(const char *imdb_id, const char *title, const char *query);
/** Jackett search by free query; NULL or "" is KOVA_ERR_INVALID_ARG. */
KOVA_API int32_t kova_jackett_search_query(const char *query);
/** Parses a Jackett results answer the host fetched itself and classifies it. NULL: KOVA_ERR_INVALID_ARG. */
KOVA_API int32_t kova_parse_jackett(const char *json);

/* ===================================================================== */
/* Lookups and library find                                              */
/* ===================================================================== */

/** Looks a series up in Sonarr by IMDb id, then by title when the IMDb answer is empty; kova_lookup_match names the entry with that IMDb id. */
KOVA_API int32_t kova_sonarr_lookup(const char *imdb_id, const char *title);
/** Looks a film up in Radarr by IMDb id. */
KOVA_API int32_t kova_radarr_lookup_imdb(const char *imdb_id);
/** Sonarr library id of the series with this TVDB id: above 0 when present, 0 when absent, or a negative result code. */
KOVA_API int32_t kova_sonarr_library_find(int32_t tvdb_id);
/** Radarr library id of the film with this TMDb id: above 0 when present, 0 when absent, or a negative result code. */
KOVA_API int32_t kova_radarr_library_find(int32_t tmdb_id);

/* ===================================================================== */
/* Release searches                                                      */
/* ===================================================================== */

/** Releases Sonarr finds for an episode (episode 0: the whole season) of a library series. */
KOVA_API int32_t kova_sonarr_releases(int32_t series_id, int32_t season, int32_t episode);
/** Releases Radarr finds for a library film. */
KOVA_API int32_t kova_radarr_releases(int32_t movie_id);
/** Parses a Sonarr/Radarr release list the host fetched itself. NULL: KOVA_ERR_INVALID_ARG; no rows: KOVA_ERR_EMPTY. */
KOVA_API int32_t kova_parse_arr_releases(const char *json);

/* ===================================================================== */
/* Library writes (refused with KOVA_ERR_NOT_ARMED until armed)          */
/* ===================================================================== */

/** Adds the series with this TVDB id to Sonarr, unmonitored, under `root` with quality profile `profile_id`. When Sonarr's lookup object has no languageProfileId of 1 or more, the first profile of GET /api/v3/languageprofile is added to the body (Sonarr v3 needs one); when that list cannot be had, the body goes out without it. Returns the new library id or a negative code. */
KOVA_API int32_t kova_sonarr_add_series(int32_t tvdb_id, const char *root, int32_t profile_id);
/** Adds the film with this TMDb id to Radarr, unmonitored. Returns the new library id or a negative code. */
KOVA_API int32_t kova_radarr_add_movie(int32_t tmdb_id, const char *root, int32_t profile_id);
/** A quality profile id of the loaded list chosen by decimal id, then exact name, else the first; -1 when no list is loaded. NULL picks the first. */
KOVA_API int32_t kova_quality_profile_pick(const char *profile);
/** IMDb id to Sonarr episode (or season when episode is 0) releases: lookup, library find or add, release search. */
KOVA_API int32_t kova_sonarr_search_or_add(const char *imdb_id, const char *title, int32_t season, int32_t episode, const char *profile);
/** IMDb id to Radarr film releases: lookup, library find or add, release search. */
KOVA_API int32_t kova_radarr_search_or_add(const char *imdb_id, const char *profile);

/* ===================================================================== */
/* Accessors (read-only; out-of-range indexes give "", -1 or 0)           */
/* All texts are owned by the library and valid until replaced.          */
/* ===================================================================== */

/** Entries in the test log of the last test, search or workflow. */
KOVA_API int32_t kova_test_log_count(void);
/** Key of test-log entry i ("SonarrV3_Get_Rootfolder", ...); "" out of range. */
KOVA_API const char *kova_test_log_key(int32_t i);
/** Text of test-log entry i; "" out of range. */
KOVA_API const char *kova_test_log_text(int32_t i);
/** Root folder of the last Sonarr/Radarr fetch (trailing slashes removed); "" when none. */
KOVA_API const char *kova_rootfolder(void);
/** Number of quality profiles loaded. */
KOVA_API int32_t kova_quality_profile_count(void);
/** Id of quality profile i; -1 out of range. */
KOVA_API int32_t kova_quality_profile_id(int32_t i);
/** Name of quality profile i; "" out of range. */
KOVA_API const char *kova_quality_profile_name(int32_t i);
/** Stage of the last Jackett search that produced rows: 1 IMDb id, 2 title, 3 query, 0 none (KOVA_STAGE_*). */
KOVA_API int32_t kova_jackett_stage(void);
/** Number of entries of the last lookup. */
KOVA_API int32_t kova_lookup_count(void);
/** Index of the lookup entry that matched; -1 for none. */
KOVA_API int32_t kova_lookup_match(void);
/** Title of lookup entry i; "" out of range. */
KOVA_API const char *kova_lookup_title(int32_t i);
/** Clean title of lookup entry i; "" out of range. */
KOVA_API const char *kova_lookup_clean_title(int32_t i);
/** IMDb id of lookup entry i as the service sent it; "" out of range. */
KOVA_API const char *kova_lookup_imdb(int32_t i);
/** TVDB id of lookup entry i (0 absent); -1 out of range. */
KOVA_API int32_t kova_lookup_tvdb(int32_t i);
/** TMDb id of lookup entry i (0 absent); -1 out of range. */
KOVA_API int32_t kova_lookup_tmdb(int32_t i);
/** Year of lookup entry i (0 absent); -1 out of range. */
KOVA_API int32_t kova_lookup_year(int32_t i);
/** Library id of lookup entry i (above 0 when already in the library); -1 out of range. */
KOVA_API int32_t kova_lookup_library_id(int32_t i);
/** Number of result rows. */
KOVA_API int32_t kova_result_count(void);
/** Title of row i; "" out of range. */
KOVA_API const char *kova_result_title(int32_t i);
/** Tracker (indexer) name of row i; "" out of range. */
KOVA_API const char *kova_result_tracker(int32_t i);
/** Tracker id of row i; "" out of range. */
KOVA_API const char *kova_result_tracker_id(int32_t i);
/** GUID of row i; "" out of range. */
KOVA_API const char *kova_result_guid(int32_t i);
/** Download link of row i; "" out of range. */
KOVA_API const char *kova_result_link(int32_t i);
/** Details page of row i; "" out of range. */
KOVA_API const char *kova_result_details(int32_t i);
/** Magnet URI of row i; "" out of range. */
KOVA_API const char *kova_result_magnet(int32_t i);
/** Info hash of row i; "" out of range. */
KOVA_API const char *kova_result_info_hash(int32_t i);
/** Stores the size in bytes of row i through size_out (when not NULL) and returns 0; KOVA_ERR_NOT_FOUND (nothing written) when out of range or unknown. */
KOVA_API int32_t kova_result_size(int32_t i, uint64_t *size_out);
/** Seeders of row i; -1 when absent or out of range. */
KOVA_API int32_t kova_result_seeders(int32_t i);
/** Peers (Jackett) or leechers of row i; -1 when absent or out of range. */
KOVA_API int32_t kova_result_peers(int32_t i);
/** Number of files of row i; -1 when absent or out of range. */
KOVA_API int32_t kova_result_files(int32_t i);
/** Number of category ids of row i; 0 out of range. */
KOVA_API int32_t kova_result_category_count(int32_t i);
/** Category id j of row i; -1 out of range. */
KOVA_API int32_t kova_result_category(int32_t i, int32_t j);
/** Category description of row i; "" out of range. */
KOVA_API const char *kova_result_category_desc(int32_t i);
/** Normalised IMDb number of row i ("" when none). */
KOVA_API const char *kova_result_imdb(int32_t i);
/** TMDb id text of row i; "" out of range. */
KOVA_API const char *kova_result_tmdb(int32_t i);
/** TVDB id text of row i; "" out of range. */
KOVA_API const char *kova_result_tvdb(int32_t i);
/** Publish date of row i in milliseconds since 1970-01-01T00:00:00Z; -1 when absent or out of range. */
KOVA_API int64_t kova_result_publish_date(int32_t i);
/** Download volume factor of row i in thousandths (1000 full, 0 freeleech); -1 when absent or out of range. */
KOVA_API int32_t kova_result_download_volume_factor(int32_t i);
/** Season number of row i; -1 when absent or out of range. */
KOVA_API int32_t kova_result_season(int32_t i);
/** First episode number of row i; -1 when absent or out of range. */
KOVA_API int32_t kova_result_episode(int32_t i);
/** 1 when row i is a full-season release, else 0. */
KOVA_API int32_t kova_result_full_season(int32_t i);
/** Any member of row i's JSON object by key (exact, then case-insensitive) as text; "" when absent. Valid until the next call of this function. */
KOVA_API const char *kova_result_field(int32_t i, const char *name);
/** Number of per-indexer status entries. */
KOVA_API int32_t kova_indexer_count(void);
/** Id of indexer entry i; "" out of range. */
KOVA_API const char *kova_indexer_id(int32_t i);
/** Name of indexer entry i; "" out of range. */
KOVA_API const char *kova_indexer_name(int32_t i);
/** Status of indexer entry i (1 failed; Torznab entries carry 2: KOVA_INDEXER_*); -1 out of range. */
KOVA_API int32_t kova_indexer_status(int32_t i);
/** Results reported by indexer entry i; -1 out of range. */
KOVA_API int32_t kova_indexer_results(int32_t i);
/** Error text of indexer entry i; "" when none or out of range. */
KOVA_API const char *kova_indexer_error(int32_t i);
/** Number of indexer entries whose status is 1 (failed). */
KOVA_API int32_t kova_indexers_errored(void);

/* ===================================================================== */
/* Result document                                                       */
/* ===================================================================== */

/** The whole current result as compact JSON: {"stage","rc","results","indexers","indexers_errored","warnings"}. Valid until the next call of this function or kova_reset; "" only when memory runs out. */
KOVA_API const char *kova_result_json(void);

/* ===================================================================== */
/* Runtime-type handler records                                          */
/* ===================================================================== */

/** The handler record of "JACKETT", "SONARR" or "RADARR" (exact case); NULL for any other name or NULL. */
KOVA_API const kova_handler *kova_rtchk_handler(const char *runtime_type);
/** The Jackett handler record. */
KOVA_API const kova_handler *rtchk_get(void);

/* ===================================================================== */
/* Extensions (KOVA_1.1): added after the first 99 functions              */
/* On ELF they carry the symbol version KOVA_1.1; a host that uses them   */
/* needs a kova that has them.                                            */
/* ===================================================================== */

/** Sets the URL base of a configured service: the path prefix it answers under behind a reverse proxy ("/sonarr"). Normalised to one leading slash and no trailing slash; NULL, "" or "/" for none. From then on every request and kova_base_url(kind) include it, until the next configure call of that service (configure first, then set the base) or kova_reset. KOVA_ERR_INVALID_ARG for an unknown kind or a path with bytes that do not belong in a URL path (space, '?', '#', '\\', non-ASCII, '%' not before two hex digits...) or over 255 bytes; KOVA_ERR_NOT_CONFIGURED when the service is not configured. A refused call leaves the previous base in force. */
KOVA_API int32_t kova_set_url_base(int32_t kind, const char *path);
/** Sends release `index` of the current result set, which a Sonarr release search (kova_sonarr_releases or kova_sonarr_search_or_add) produced, to Sonarr's download client: POST /api/v3/release with the release's guid and indexerId as Sonarr listed them. A library write: KOVA_ERR_NOT_ARMED unless armed. KOVA_ERR_INVALID_ARG for an index out of range, a set from anything but a Sonarr release search, or a release without a guid or indexer id. KOVA_OK when Sonarr accepts it; a refusal is reported like any answer outside 2xx, with Sonarr's own explanation as a warning. The result set stays as it was. */
KOVA_API int32_t kova_sonarr_grab_release(int32_t index);
/** The same for Radarr: release `index` of a set from kova_radarr_releases or kova_radarr_search_or_add. */
KOVA_API int32_t kova_radarr_grab_release(int32_t index);

/* ===================================================================== */
/* Extensions (KOVA_1.2)                                                  */
/* ===================================================================== */

/** Parses a Jackett results answer like kova_parse_jackett from a buffer the host hands over instead of copying it, which halves the memory a large answer costs: json holds len bytes of text (a NUL at the end is not needed, a NUL inside is not JSON) in memory from malloc (the C runtime the library uses: a Windows host built with another runtime, such as MSVC's, calls kova_parse_jackett instead), and the library takes it over: it reads it in place, may write to and reallocate it, and releases it with free once the result set made from it is replaced or released (kova_reset included), or before returning when the call fails. The host must not use json afterwards. NULL: KOVA_ERR_INVALID_ARG. */
KOVA_API int32_t kova_parse_jackett_take(char *json, size_t len);

/* ===================================================================== */
/* Named values (additive: macros only; the numbers never change)         */
/* ===================================================================== */

/* Stages of a Jackett search (kova_jackett_stage, "stage" of kova_result_json):
 * the stage whose request produced the current rows. */
#define KOVA_STAGE_NONE  0   /* no rows from a staged search */
#define KOVA_STAGE_IMDB  1   /* rows from the IMDb id search */
#define KOVA_STAGE_TITLE 2   /* rows from the title search (other IMDb ids dropped) */
#define KOVA_STAGE_QUERY 3   /* rows from the free query */

/* Answer codes of a settings validation (kova_validate_fn). -6 and -7 are
 * never returned. */
#define KOVA_VALIDATE_OK                 0
#define KOVA_VALIDATE_KEY_REJECTED     (-1)
#define KOVA_VALIDATE_NOT_FOUND        (-2)
#define KOVA_VALIDATE_TOO_MANY_REQUESTS (-3)
#define KOVA_VALIDATE_UNREACHABLE      (-4)
#define KOVA_VALIDATE_UNEXPECTED       (-5)
#define KOVA_VALIDATE_INVALID_SETTINGS (-8)
#define KOVA_VALIDATE_NO_BUFFER        (-9)

/* Indexer status values (kova_indexer_status). Jackett's own entries carry
 * the status Jackett sent; these two have a meaning for the library. */
#define KOVA_INDEXER_FAILED  1   /* the indexer failed (counted by kova_indexers_errored) */
#define KOVA_INDEXER_TORZNAB 2   /* an entry of a Torznab indexer list */

#ifdef __cplusplus
}
#endif

#endif /* KOVA_H */
