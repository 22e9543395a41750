/*
 * kova - a client library for Jackett, Prowlarr, Sonarr v3 and Radarr v3.
 *
 * A context holds every result until the next call that replaces it: the
 * process-wide default context, or the session the calling thread has bound
 * (kova_session_bind, KOVA_1.5). The library performs no network I/O of its own: every request
 * goes through a transport table the host installs (kova_set_io) or the
 * built-in fake transport (kova_use_fake).
 *
 * Conventions of this header:
 *  - Integers are 32-bit signed unless stated otherwise. Service kinds are
 *    0 Jackett, 1 Sonarr, 2 Radarr, and 3 Prowlarr (KOVA_1.4).
 *  - Texts are NUL-terminated UTF-8, except the counted buffer that
 *    kova_parse_jackett_take takes over. A NULL text argument is accepted
 *    everywhere; each function says what it means.
 *  - A text returned by the library is owned by the library, is never NULL
 *    ("" stands for an absent text) and stays valid until the next call that
 *    replaces it. Never free it.
 *  - Operations return a result code (KOVA_OK, KOVA_PARTIAL or a negative
 *    KOVA_ERR_*); the library-find and add calls return a positive library id
 *    on success instead (a library find returns 0 when the item is absent).
 *  - The library does not lock its context: make one call at a time.
 *  - Each function's comment gives its purpose, a short paragraph where the
 *    behaviour needs one, then its parameters (@param) and its result
 *    (@return).
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
#define KOVA_PARTIAL             1   /* some indexers (Jackett's, Prowlarr's) failed */
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
#define KOVA_ERR_INDEXERS      (-12) /* every indexer (Jackett's, Prowlarr's) failed */

/* Service kinds. */
#define KOVA_JACKETT 0
#define KOVA_SONARR  1
#define KOVA_RADARR  2

/* ===================================================================== */
/* Transport table                                                       */
/* ===================================================================== */

/**
 The host's HTTP transport.

 The library keeps the table's address (not a copy): keep it valid and unchanged while
 installed.

 get and post return 0 when an HTTP exchange took place (any status, stored in *status) and
 nonzero when it failed. They may store a NUL-terminated body and an error text they
 allocated; the library releases each exactly once, through release(user, text), or through
 free() when release is NULL.

 free() is the C runtime kova itself was built with: on Windows, kova.dll uses msvcrt, and a
 host built with MSVC (or any other runtime) allocates from a different heap, which that
 free() must never see. Windows hosts: always supply release, and free your texts in it with
 your own runtime.

 The URL and request body are only valid during the call. The content type passed to post
 is always "application/json"; a POST without a body passes "". No time-out is passed: see
 kova_timeout_ms.
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

/**
 Validates a service's settings.

 It configures a private context with `io` and runs the service's connection test; it never
 touches the caller's context.

 @param io The transport table the connection test's requests go through. NULL: -4,
    once the settings have passed their checks.
 @param settings A settings JSON object: {"Host","APIKey","UseHttps","Port","ID"}, and
    optionally "UrlBase", checked as kova_set_url_base checks a path; or, since KOVA_1.3,
    {"Url","APIKey","ID"} with the service's URL, checked as kova_configure_url checks it
    (Url with any of Host, Port, UseHttps or UrlBase: -8). NULL: -8.
 @param answer The buffer that receives a compact JSON answer. The answer is never cut:
    when it does not fit, `answer` holds "". NULL: -9, and nothing is written.
 @param answer_size The size of `answer` in bytes. Below 1: -9, and nothing is written.
 @return The answer code (KOVA_VALIDATE_*): 0 valid, -1 key rejected, -2 not found,
    -3 too many requests, -4 unreachable, -5 unexpected answer, -8 invalid settings,
    -9 no or too small buffer.
 */
typedef int32_t (*kova_validate_fn)(const kova_io *io, const char *settings,
                                    char *answer, int32_t answer_size);

/**
 A constant, 64-byte record per runtime type ("JACKETT", "SONARR", "RADARR").

 Layout: name at offset 0, the value 32 at 8, the validation function at 16, five zero
 slots.
 */
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

/**
 Library version.

 @return The library's version as "MAJOR.MINOR.PATCH" (e.g. "1.0.0"). Static text.
 */
KOVA_API const char *kova_version(void);

/**
 Name of a result code.

 @param rc The result code; any value is accepted.
 @return "OK", "ERR_AUTH", ...; "ERR_UNKNOWN" for any other value. Static text.
 */
KOVA_API const char *kova_strerror(int32_t rc);

/**
 Value returned by the last operation call.

 @return A result code or a library id.
 */
KOVA_API int32_t kova_last_rc(void);

/**
 HTTP status of the last request of the last operation call.

 @return The status; 0 when no request reached the transport.
 */
KOVA_API int32_t kova_last_http_code(void);

/**
 Message of the last failure or partial success.

 @return The message; "" when none. Owned by the library.
 */
KOVA_API const char *kova_last_error(void);

/**
 Number of warnings raised by the last operation call.

 @return 0 to 64.
 */
KOVA_API int32_t kova_warning_count(void);

/**
 A warning of the last operation call.

 When a service answers 400 or above with an explanation in its body, one warning carries
 it ("Sonarr: RootFolderPath: Folder '/nope' does not exist").

 @param i The warning's index.
 @return Warning i; "" when i is out of range. Owned by the library.
 */
KOVA_API const char *kova_warning(int32_t i);

/**
 Releases everything.

 It also unconfigures every service, removes the transport, disarms writes and restores the
 default time-out. Fake-transport routes survive.
 */
KOVA_API void kova_reset(void);

/**
 Arms or disarms library writes: adds, search-or-add and the release grabs.

 @param armed Nonzero arms, 0 disarms.
 */
KOVA_API void kova_arm_library_writes(int32_t armed);

/**
 Whether library writes are armed.

 @return 1 when library writes are armed, else 0.
 */
KOVA_API int32_t kova_library_writes_armed(void);

/* ===================================================================== */
/* Service configuration                                                 */
/* ===================================================================== */

/**
 Configures Jackett.

 A refused configuration leaves the previous one in force.

 @param host The host: a name, an IPv4 address or a bare IPv6 address; no scheme, path or
    brackets. NULL: KOVA_ERR_INVALID_ARG.
 @param port The port; <= 0: the default, 9117.
 @param https Nonzero for HTTPS.
 @param api_key The API key; it must not be empty. NULL: KOVA_ERR_INVALID_ARG.
 @return A result code.
 */
KOVA_API int32_t kova_jackett_configure(const char *host, int32_t port, int32_t https, const char *api_key);

/**
 Configures Sonarr; the rules are those of kova_jackett_configure.

 @param host The host, as for kova_jackett_configure.
 @param port The port; <= 0: the default, 8989.
 @param https Nonzero for HTTPS.
 @param api_key The API key, as for kova_jackett_configure.
 @return A result code.
 */
KOVA_API int32_t kova_sonarr_configure(const char *host, int32_t port, int32_t https, const char *api_key);

/**
 Configures Radarr; the rules are those of kova_jackett_configure.

 @param host The host, as for kova_jackett_configure.
 @param port The port; <= 0: the default, 7878.
 @param https Nonzero for HTTPS.
 @param api_key The API key, as for kova_jackett_configure.
 @return A result code.
 */
KOVA_API int32_t kova_radarr_configure(const char *host, int32_t port, int32_t https, const char *api_key);

/**
 Base URL of a configured service.

 @param kind The service kind.
 @return "scheme://host:port", then the URL base of kova_set_url_base if any; "" for an
    unknown kind or an unconfigured service. Owned by the library.
 */
KOVA_API const char *kova_base_url(int32_t kind);

/**
 Default port of a service kind.

 @param kind The service kind.
 @return 9117, 8989, 7878 or 9696 (Jackett, Sonarr, Radarr, Prowlarr); 0 for any other kind.
 */
KOVA_API int32_t kova_default_port(int32_t kind);

/* ===================================================================== */
/* Transport selection                                                   */
/* ===================================================================== */

/**
 Installs the host's transport table.

 @param io The table; NULL removes the installed one. The table must outlive its
    installation.
 */
KOVA_API void kova_set_io(const kova_io *io);

/**
 Selects the built-in HTTP client.

 This build has none, so the call leaves no transport selected.

 @return Always KOVA_ERR_NO_IO.
 */
KOVA_API int32_t kova_use_curl(void);

/**
 Selects the built-in fake transport, which answers from the routes of kova_fake_set.
 */
KOVA_API void kova_use_fake(void);

/**
 Sets the process-wide request time-out.

 Host transports read it with kova_timeout_ms.

 @param ms The time-out in milliseconds; 0 or negative restores the default, 100000.
 */
KOVA_API void kova_set_timeout_ms(int32_t ms);

/**
 The request time-out.

 @return The time-out in milliseconds (default 100000).
 */
KOVA_API int32_t kova_timeout_ms(void);

/* ===================================================================== */
/* Fake transport control (thread-safe; independent of kova_reset)       */
/* ===================================================================== */

/**
 Removes every route, zeroes the counters and forgets the last POST.

 The transport selection is kept.
 */
KOVA_API void kova_fake_reset(void);

/**
 Routes an exact URL to a status and body.

 An earlier route for the URL is replaced; its call count is kept.

 @param url The exact request URL. NULL: KOVA_ERR_INVALID_ARG.
 @param status The HTTP status of the answer.
 @param body The body of the answer. NULL: KOVA_ERR_INVALID_ARG.
 @return A result code.
 */
KOVA_API int32_t kova_fake_set(const char *url, int32_t status, const char *body);

/**
 Makes requests to an exact URL fail at the transport.

 @param url The exact request URL. NULL: KOVA_ERR_INVALID_ARG.
 @param text The transport's error text; NULL: "fake: transport failure".
 @return A result code.
 */
KOVA_API int32_t kova_fake_fail(const char *url, const char *text);

/**
 Requests served for a URL's route.

 @param url The exact request URL, or NULL.
 @return The requests served by the route of `url` (0 when there is none); with NULL, all
    requests served since the last kova_fake_reset.
 */
KOVA_API int32_t kova_fake_calls(const char *url);

/**
 Number of POST requests received.

 @return The number of POST requests.
 */
KOVA_API int32_t kova_fake_post_count(void);

/**
 URL of the last POST.

 @return The URL, cut to 65535 bytes; "" before the first POST. Valid until the next call of
    this function.
 */
KOVA_API const char *kova_fake_last_post_url(void);

/**
 Body of the last POST.

 @return The body; "" before the first POST. Valid until the next call of this function.
 */
KOVA_API const char *kova_fake_last_post_body(void);

/* ===================================================================== */
/* IMDb number                                                           */
/* ===================================================================== */

/**
 Normalises an IMDb id to its number ("tt0000123" -> "123").

 @param imdb_id The IMDb id, or NULL.
 @return The number; "" when the id is invalid or NULL. Valid until the next call of this
    function.
 */
KOVA_API const char *kova_imdb_numeric(const char *imdb_id);

/* ===================================================================== */
/* Connection tests                                                      */
/* ===================================================================== */

/**
 Lists Jackett's configured indexers, without searching.

 The list goes to the indexer accessors, and the steps to the test log.

 @return A result code.
 */
KOVA_API int32_t kova_jackett_test(void);

/**
 Fetches Sonarr's first root folder and its quality profiles.

 @return A result code; KOVA_ERR_EMPTY when either is missing.
 */
KOVA_API int32_t kova_sonarr_test(void);

/**
 Fetches Radarr's first root folder and its quality profiles.

 @return A result code; KOVA_ERR_EMPTY when either is missing.
 */
KOVA_API int32_t kova_radarr_test(void);

/**
 Parses a Torznab indexer list the host fetched itself into the indexer accessors.

 @param xml The list. NULL: KOVA_ERR_JSON.
 @return A result code.
 */
KOVA_API int32_t kova_parse_torznab_indexers(const char *xml);

/* ===================================================================== */
/* Jackett search                                                        */
/* ===================================================================== */

/**
 Staged Jackett search: by IMDb id, then by title, then by query.

 The results are read with kova_result_* and kova_jackett_stage. imdb_id and query may not
 both be NULL: that is KOVA_ERR_INVALID_ARG, whatever the title.

 @param imdb_id The IMDb id of the first stage, or NULL.
 @param title The title of the second stage, or NULL; rows of other IMDb ids are dropped.
 @param query The query of the third stage, or NULL.
 @return A result code.
 */
KOVA_API int32_t kova_jackett_search_imdb(const char *imdb_id, const char *title, const char *query);

/**
 Jackett search by free query.

 @param query The query. NULL or "": KOVA_ERR_INVALID_ARG.
 @return A result code.
 */
KOVA_API int32_t kova_jackett_search_query(const char *query);

/**
 Parses a Jackett results answer the host fetched itself and classifies it.

 @param json The answer. NULL: KOVA_ERR_INVALID_ARG.
 @return A result code.
 */
KOVA_API int32_t kova_parse_jackett(const char *json);

/* ===================================================================== */
/* Lookups and library find                                              */
/* ===================================================================== */

/**
 Looks a series up in Sonarr by IMDb id, then by title when the IMDb answer is empty.

 kova_lookup_match names the entry with that IMDb id.

 @param imdb_id The series' IMDb id, or NULL.
 @param title The title to look up when the IMDb answer is empty, or NULL. Both NULL:
    KOVA_ERR_INVALID_ARG.
 @return A result code.
 */
KOVA_API int32_t kova_sonarr_lookup(const char *imdb_id, const char *title);

/**
 Looks a film up in Radarr by IMDb id.

 @param imdb_id The film's IMDb id. NULL: KOVA_ERR_INVALID_ARG.
 @return A result code.
 */
KOVA_API int32_t kova_radarr_lookup_imdb(const char *imdb_id);

/**
 Sonarr library id of the series with this TVDB id.

 @param tvdb_id The series' TVDB id.
 @return The library id, above 0, when present; 0 when absent; or a negative result code.
 */
KOVA_API int32_t kova_sonarr_library_find(int32_t tvdb_id);

/**
 Radarr library id of the film with this TMDb id.

 @param tmdb_id The film's TMDb id.
 @return The library id, above 0, when present; 0 when absent; or a negative result code.
 */
KOVA_API int32_t kova_radarr_library_find(int32_t tmdb_id);

/* ===================================================================== */
/* Release searches                                                      */
/* ===================================================================== */

/**
 Releases Sonarr finds for an episode, or a whole season, of a library series.

 @param series_id The series' Sonarr library id.
 @param season The season number.
 @param episode The episode number; 0: the whole season.
 @return A result code.
 */
KOVA_API int32_t kova_sonarr_releases(int32_t series_id, int32_t season, int32_t episode);

/**
 Releases Radarr finds for a library film.

 @param movie_id The film's Radarr library id.
 @return A result code.
 */
KOVA_API int32_t kova_radarr_releases(int32_t movie_id);

/**
 Parses a Sonarr/Radarr release list the host fetched itself.

 @param json The list. NULL: KOVA_ERR_INVALID_ARG.
 @return A result code; KOVA_ERR_EMPTY when the list has no rows.
 */
KOVA_API int32_t kova_parse_arr_releases(const char *json);

/* ===================================================================== */
/* Library writes (refused with KOVA_ERR_NOT_ARMED until armed)          */
/* ===================================================================== */

/**
 Adds the series with this TVDB id to Sonarr, unmonitored.

 Sonarr v3 needs a language profile: when Sonarr's lookup object has no languageProfileId of
 1 or more, the first profile of GET /api/v3/languageprofile is added to the body; when that
 list cannot be had, the body goes out without it.

 @param tvdb_id The series' TVDB id.
 @param root The root folder to add it under. NULL: KOVA_ERR_INVALID_ARG.
 @param profile_id The quality profile id.
 @return The new library id, or a negative result code.
 */
KOVA_API int32_t kova_sonarr_add_series(int32_t tvdb_id, const char *root, int32_t profile_id);

/**
 Adds the film with this TMDb id to Radarr, unmonitored.

 @param tmdb_id The film's TMDb id.
 @param root The root folder to add it under. NULL: KOVA_ERR_INVALID_ARG.
 @param profile_id The quality profile id.
 @return The new library id, or a negative result code.
 */
KOVA_API int32_t kova_radarr_add_movie(int32_t tmdb_id, const char *root, int32_t profile_id);

/**
 Picks a quality profile id from the loaded list.

 @param profile A profile's decimal id, else its exact name. NULL picks the first profile.
 @return The id of the profile chosen by decimal id, then by exact name, else of the first
    profile; -1 when no list is loaded.
 */
KOVA_API int32_t kova_quality_profile_pick(const char *profile);

/**
 From an IMDb id to Sonarr's releases of an episode, or of a season.

 The steps: lookup, library find or add, release search.

 @param imdb_id The series' IMDb id. NULL: KOVA_ERR_INVALID_ARG.
 @param title The title, for the lookup, or NULL.
 @param season The season number.
 @param episode The episode number; 0: the whole season.
 @param profile The quality profile of an add, as kova_quality_profile_pick reads it; NULL
    picks the first profile.
 @return A result code.
 */
KOVA_API int32_t kova_sonarr_search_or_add(const char *imdb_id, const char *title, int32_t season, int32_t episode, const char *profile);

/**
 From an IMDb id to Radarr's releases of a film.

 The steps: lookup, library find or add, release search.

 @param imdb_id The film's IMDb id. NULL: KOVA_ERR_INVALID_ARG.
 @param profile The quality profile of an add, as kova_quality_profile_pick reads it; NULL
    picks the first profile.
 @return A result code.
 */
KOVA_API int32_t kova_radarr_search_or_add(const char *imdb_id, const char *profile);

/* ===================================================================== */
/* Accessors (read-only; out-of-range indexes give "", -1 or 0)           */
/* All texts are owned by the library and valid until replaced.          */
/* ===================================================================== */

/**
 Entries in the test log of the last test, search or workflow.

 @return The number of entries.
 */
KOVA_API int32_t kova_test_log_count(void);

/**
 Key of a test-log entry ("SonarrV3_Get_Rootfolder", ...).

 @param i The entry's index.
 @return The key of entry i; "" out of range.
 */
KOVA_API const char *kova_test_log_key(int32_t i);

/**
 Text of a test-log entry.

 @param i The entry's index.
 @return The text of entry i; "" out of range.
 */
KOVA_API const char *kova_test_log_text(int32_t i);

/**
 Root folder of the last Sonarr/Radarr fetch.

 @return The folder, trailing slashes removed; "" when none.
 */
KOVA_API const char *kova_rootfolder(void);

/**
 Number of quality profiles loaded.

 @return The number of profiles.
 */
KOVA_API int32_t kova_quality_profile_count(void);

/**
 Id of a quality profile.

 @param i The profile's index.
 @return The id of profile i; -1 out of range.
 */
KOVA_API int32_t kova_quality_profile_id(int32_t i);

/**
 Name of a quality profile.

 @param i The profile's index.
 @return The name of profile i; "" out of range.
 */
KOVA_API const char *kova_quality_profile_name(int32_t i);

/**
 Stage of the last Jackett search that produced rows, or of the last Prowlarr search
 (kova_prowlarr_search): either service's staged search reports here.

 @return 1 IMDb id, 2 title, 3 query, 0 none (KOVA_STAGE_*).
 */
KOVA_API int32_t kova_jackett_stage(void);

/**
 Number of entries of the last lookup.

 @return The number of entries.
 */
KOVA_API int32_t kova_lookup_count(void);

/**
 Index of the lookup entry that matched.

 @return The entry's index; -1 for none.
 */
KOVA_API int32_t kova_lookup_match(void);

/**
 Title of a lookup entry.

 @param i The entry's index.
 @return The title of entry i; "" out of range.
 */
KOVA_API const char *kova_lookup_title(int32_t i);

/**
 Clean title of a lookup entry.

 @param i The entry's index.
 @return The clean title of entry i; "" out of range.
 */
KOVA_API const char *kova_lookup_clean_title(int32_t i);

/**
 IMDb id of a lookup entry, as the service sent it.

 @param i The entry's index.
 @return The IMDb id of entry i; "" out of range.
 */
KOVA_API const char *kova_lookup_imdb(int32_t i);

/**
 TVDB id of a lookup entry.

 @param i The entry's index.
 @return The TVDB id of entry i (0 absent); -1 out of range.
 */
KOVA_API int32_t kova_lookup_tvdb(int32_t i);

/**
 TMDb id of a lookup entry.

 @param i The entry's index.
 @return The TMDb id of entry i (0 absent); -1 out of range.
 */
KOVA_API int32_t kova_lookup_tmdb(int32_t i);

/**
 Year of a lookup entry.

 @param i The entry's index.
 @return The year of entry i (0 absent); -1 out of range.
 */
KOVA_API int32_t kova_lookup_year(int32_t i);

/**
 Library id of a lookup entry.

 @param i The entry's index.
 @return The library id of entry i (above 0 when already in the library); -1 out of range.
 */
KOVA_API int32_t kova_lookup_library_id(int32_t i);

/**
 Number of result rows.

 @return The number of rows.
 */
KOVA_API int32_t kova_result_count(void);

/**
 Title of a result row.

 @param i The row's index.
 @return The title of row i; "" out of range.
 */
KOVA_API const char *kova_result_title(int32_t i);

/**
 Tracker (indexer) name of a result row.

 @param i The row's index.
 @return The tracker name of row i; "" out of range.
 */
KOVA_API const char *kova_result_tracker(int32_t i);

/**
 Tracker id of a result row.

 @param i The row's index.
 @return The tracker id of row i; "" out of range.
 */
KOVA_API const char *kova_result_tracker_id(int32_t i);

/**
 GUID of a result row.

 @param i The row's index.
 @return The GUID of row i; "" out of range.
 */
KOVA_API const char *kova_result_guid(int32_t i);

/**
 Download link of a result row.

 @param i The row's index.
 @return The download link of row i; "" out of range.
 */
KOVA_API const char *kova_result_link(int32_t i);

/**
 Details page of a result row.

 @param i The row's index.
 @return The details page of row i; "" out of range.
 */
KOVA_API const char *kova_result_details(int32_t i);

/**
 Magnet URI of a result row.

 @param i The row's index.
 @return The magnet URI of row i; "" out of range.
 */
KOVA_API const char *kova_result_magnet(int32_t i);

/**
 Info hash of a result row.

 @param i The row's index.
 @return The info hash of row i; "" out of range.
 */
KOVA_API const char *kova_result_info_hash(int32_t i);

/**
 Size in bytes of a result row.

 @param i The row's index.
 @param size_out Receives the size, when not NULL.
 @return 0 with the size stored; KOVA_ERR_NOT_FOUND, with nothing written, when i is out of
    range or the size is unknown.
 */
KOVA_API int32_t kova_result_size(int32_t i, uint64_t *size_out);

/**
 Seeders of a result row.

 @param i The row's index.
 @return The seeders of row i; -1 when absent or out of range.
 */
KOVA_API int32_t kova_result_seeders(int32_t i);

/**
 Peers (Jackett) or leechers of a result row.

 @param i The row's index.
 @return The peers or leechers of row i; -1 when absent or out of range.
 */
KOVA_API int32_t kova_result_peers(int32_t i);

/**
 Number of files of a result row.

 @param i The row's index.
 @return The number of files of row i; -1 when absent or out of range.
 */
KOVA_API int32_t kova_result_files(int32_t i);

/**
 Number of category ids of a result row.

 @param i The row's index.
 @return The number of category ids of row i; 0 out of range.
 */
KOVA_API int32_t kova_result_category_count(int32_t i);

/**
 A category id of a result row.

 @param i The row's index.
 @param j The category's index within the row.
 @return Category id j of row i; -1 out of range.
 */
KOVA_API int32_t kova_result_category(int32_t i, int32_t j);

/**
 Category description of a result row.

 @param i The row's index.
 @return The category description of row i; "" out of range.
 */
KOVA_API const char *kova_result_category_desc(int32_t i);

/**
 Normalised IMDb number of a result row.

 @param i The row's index.
 @return The IMDb number of row i; "" when none.
 */
KOVA_API const char *kova_result_imdb(int32_t i);

/**
 TMDb id of a result row, as text.

 @param i The row's index.
 @return The TMDb id text of row i; "" out of range.
 */
KOVA_API const char *kova_result_tmdb(int32_t i);

/**
 TVDB id of a result row, as text.

 @param i The row's index.
 @return The TVDB id text of row i; "" out of range.
 */
KOVA_API const char *kova_result_tvdb(int32_t i);

/**
 Publish date of a result row.

 @param i The row's index.
 @return The publish date of row i in milliseconds since 1970-01-01T00:00:00Z; -1 when
    absent or out of range.
 */
KOVA_API int64_t kova_result_publish_date(int32_t i);

/**
 Download volume factor of a result row.

 @param i The row's index.
 @return The factor of row i in thousandths (1000 full, 0 freeleech); -1 when absent or out
    of range.
 */
KOVA_API int32_t kova_result_download_volume_factor(int32_t i);

/**
 Season number of a result row.

 @param i The row's index.
 @return The season number of row i; -1 when absent or out of range.
 */
KOVA_API int32_t kova_result_season(int32_t i);

/**
 First episode number of a result row.

 @param i The row's index.
 @return The first episode number of row i; -1 when absent or out of range.
 */
KOVA_API int32_t kova_result_episode(int32_t i);

/**
 Whether a result row is a full-season release.

 @param i The row's index.
 @return 1 when row i is a full-season release, else 0.
 */
KOVA_API int32_t kova_result_full_season(int32_t i);

/**
 Any member of a result row's JSON object, as text.

 @param i The row's index.
 @param name The member's key, matched exactly, then case-insensitively. NULL gives "".
 @return The member's value as text; "" when absent. Valid until the next call of this
    function.
 */
KOVA_API const char *kova_result_field(int32_t i, const char *name);

/**
 Number of per-indexer status entries.

 @return The number of entries.
 */
KOVA_API int32_t kova_indexer_count(void);

/**
 Id of an indexer entry.

 @param i The entry's index.
 @return The id of entry i; "" out of range.
 */
KOVA_API const char *kova_indexer_id(int32_t i);

/**
 Name of an indexer entry.

 @param i The entry's index.
 @return The name of entry i; "" out of range.
 */
KOVA_API const char *kova_indexer_name(int32_t i);

/**
 Status of an indexer entry.

 @param i The entry's index.
 @return The status of entry i (1 failed; Torznab entries carry 2: KOVA_INDEXER_*); -1 out
    of range.
 */
KOVA_API int32_t kova_indexer_status(int32_t i);

/**
 Results reported by an indexer entry.

 @param i The entry's index.
 @return The number of results entry i reported; -1 out of range.
 */
KOVA_API int32_t kova_indexer_results(int32_t i);

/**
 Error text of an indexer entry.

 @param i The entry's index.
 @return The error text of entry i; "" when none or out of range.
 */
KOVA_API const char *kova_indexer_error(int32_t i);

/**
 Number of indexer entries whose status is 1 (failed).

 @return The number of failed entries.
 */
KOVA_API int32_t kova_indexers_errored(void);

/* ===================================================================== */
/* Result document                                                       */
/* ===================================================================== */

/**
 The whole current result as compact JSON.

 @return {"stage","rc","results","indexers","indexers_errored","warnings"}; "" only when
    memory runs out. Valid until the next call of this function or kova_reset.
 */
KOVA_API const char *kova_result_json(void);

/* ===================================================================== */
/* Runtime-type handler records                                          */
/* ===================================================================== */

/**
 The handler record of a runtime type.

 @param runtime_type "JACKETT", "SONARR", "RADARR" or "PROWLARR" (exact case; "PROWLARR"
    since KOVA_1.4).
 @return The record; NULL for any other name or NULL.
 */
KOVA_API const kova_handler *kova_rtchk_handler(const char *runtime_type);

/**
 The Jackett handler record.

 @return The record.
 */
KOVA_API const kova_handler *rtchk_get(void);

/* ===================================================================== */
/* Extensions (KOVA_1.1): added after the first 99 functions              */
/* On ELF they carry the symbol version KOVA_1.1; a host that uses them   */
/* needs a kova that has them.                                            */
/* ===================================================================== */

/**
 Sets the URL base of a configured service.

 The URL base is the path prefix the service answers under behind a reverse proxy
 ("/sonarr"). From then on every request and kova_base_url(kind) include it, until the next
 configure call of that service (configure first, then set the base) or kova_reset. A
 refused call leaves the previous base in force.

 @param kind The service kind; an unknown kind is KOVA_ERR_INVALID_ARG.
 @param path The URL base, normalised to one leading slash and no trailing slash; NULL, ""
    or "/" for none. A path with bytes that do not belong in a URL path (space, '?', '#',
    '\\', non-ASCII, '%' not before two hex digits...) or over 255 bytes is
    KOVA_ERR_INVALID_ARG.
 @return A result code; KOVA_ERR_NOT_CONFIGURED when the service is not configured.
 */
KOVA_API int32_t kova_set_url_base(int32_t kind, const char *path);

/**
 Sends a release of the current result set to Sonarr's download client.

 The set must come from a Sonarr release search (kova_sonarr_releases or
 kova_sonarr_search_or_add). The call sends POST /api/v3/release with the release's guid
 and indexerId as Sonarr listed them. A library write: KOVA_ERR_NOT_ARMED unless armed.
 The result set stays as it was.

 @param index The release's index in the current result set.
 @return KOVA_OK when Sonarr accepts it; a refusal is reported like any answer outside 2xx,
    with Sonarr's own explanation as a warning. KOVA_ERR_INVALID_ARG for an index out of
    range, a set from anything but a Sonarr release search, or a release without a guid or
    indexer id.
 */
KOVA_API int32_t kova_sonarr_grab_release(int32_t index);

/**
 Sends a release of the current result set to Radarr's download client.

 The same as kova_sonarr_grab_release, for a set from kova_radarr_releases or
 kova_radarr_search_or_add.

 @param index The release's index in the current result set.
 @return As for kova_sonarr_grab_release.
 */
KOVA_API int32_t kova_radarr_grab_release(int32_t index);

/* ===================================================================== */
/* Extensions (KOVA_1.2)                                                  */
/* ===================================================================== */

/**
 Parses a Jackett results answer from a buffer the host hands over.

 It parses like kova_parse_jackett, but takes the buffer over instead of copying it, which
 halves the memory a large answer costs. The library reads the buffer in place, may write
 to and reallocate it, and releases it with free once the result set made from it is
 replaced or released (kova_reset included), or before returning when the call fails. The
 host must not use json afterwards.

 The memory must come from malloc of the C runtime the library uses: a Windows host built
 with another runtime, such as MSVC's, calls kova_parse_jackett instead.

 @param json The answer: len bytes of text in memory from malloc. NULL: KOVA_ERR_INVALID_ARG.
 @param len The length of the text in bytes. A NUL at the end is not needed; a NUL inside
    is not JSON.
 @return A result code, as kova_parse_jackett returns it.
 */
KOVA_API int32_t kova_parse_jackett_take(char *json, size_t len);

/* ===================================================================== */
/* Extensions (KOVA_1.3)                                                  */
/* ===================================================================== */

/*
 * Release details. For rows of a Sonarr or Radarr release list (the release
 * searches, kova_parse_arr_releases, the get and search-or-add workflows),
 * read from the row's own object in the shapes of Sonarr v3 and v4 and
 * Radarr v3 to v5, tolerantly (members in any letter case, numbers given as
 * texts). For Jackett rows each gives its "none" value. Texts are owned by
 * the library and valid until the result set is replaced.
 */

/**
 The quality of release i, as the service names it ("WEBDL-1080p": quality.quality.name).

 @param i The row.
 @return The name; "" when none or out of range.
 */
KOVA_API const char *kova_result_quality(int32_t i);

/**
 The resolution of release i's quality (quality.quality.resolution, e.g. 1080).

 @param i The row.
 @return The resolution; 0 when none or out of range.
 */
KOVA_API int32_t kova_result_resolution(int32_t i);

/**
 Whether the service would accept release i ("approved").

 @param i The row.
 @return 1 when it would, 0 when it would not, -1 when unknown or out of range.
 */
KOVA_API int32_t kova_result_approved(int32_t i);

/**
 The number of reasons the service gives for rejecting release i ("rejections").

 @param i The row.
 @return The number of reasons; 0 when none or out of range.
 */
KOVA_API int32_t kova_result_rejection_count(int32_t i);

/**
 Reason j for rejecting release i: a text of "rejections", or the "message" of an object there
 (newer answers).

 @param i The row.
 @param j The reason, from 0 to kova_result_rejection_count(i) - 1.
 @return The reason; "" out of range.
 */
KOVA_API const char *kova_result_rejection(int32_t i, int32_t j);

/**
 The languages of release i, their names joined with ", " ("English, French": languages[].name,
 or Sonarr v3's single language.name).

 @param i The row.
 @return The names; "" when none or out of range.
 */
KOVA_API const char *kova_result_languages(int32_t i);

/**
 The custom format score of release i ("customFormatScore").

 @param i The row.
 @return The score; 0 when none or out of range.
 */
KOVA_API int32_t kova_result_custom_format_score(int32_t i);

/**
 The protocol of release i: "torrent" or "usenet" (the services send a text, or a number: 1
 usenet, 2 torrent). Jackett rows are "torrent".

 @param i The row.
 @return The protocol; "" for any other value, none, or out of range.
 */
KOVA_API const char *kova_result_protocol(int32_t i);

/**
 The id of the indexer that listed release i ("indexerId", what a grab sends).

 @param i The row.
 @return The id; -1 when none or out of range.
 */
KOVA_API int32_t kova_result_indexer_id(int32_t i);

/**
 Any member of row i's own answer object by a dotted path, for what no accessor names.

 Each key is matched exactly, then in any letter case; a number indexes an array
 ("quality.revision.version", "languages.0.name"). Every row has its object, whether it came
 from a search or from a host's text.

 @param i The row.
 @param path The path. NULL: "".
 @return The member as text, as kova_result_field gives a member; "" when absent or out of
    range. Valid until the next call of this function.
 */
KOVA_API const char *kova_result_path(int32_t i, const char *path);

/**
 The number of root folders the last Sonarr/Radarr settings fetch found (their connection test,
 and the root-folder step of an add): every one with a path, where kova_rootfolder is the first.

 @return The number of root folders.
 */
KOVA_API int32_t kova_rootfolder_count(void);

/**
 The path of root folder i, trimmed as kova_rootfolder is.

 @param i The root folder.
 @return The path; "" out of range.
 */
KOVA_API const char *kova_rootfolder_path(int32_t i);

/**
 The free space of root folder i ("freeSpace").

 @param i The root folder.
 @return Bytes; -1 when unknown or out of range.
 */
KOVA_API int64_t kova_rootfolder_free_space(int32_t i);

/**
 Releases Sonarr finds for an episode of a library series, and only for it.

 As kova_sonarr_releases, except that an episode Sonarr does not list is KOVA_ERR_NOT_FOUND
 ("Sonarr: episode S1E5 not found") instead of a search of the whole season; episode 0 is the
 whole season, as there.

 @param series_id The series' library id.
 @param season The season.
 @param episode The episode; 0: the whole season.
 @return A result code.
 */
KOVA_API int32_t kova_sonarr_releases_exact(int32_t series_id, int32_t season, int32_t episode);

/**
 The index of the loaded root folder that root names once both are trimmed (trailing
 backslashes, then slashes, removed): the check kova_sonarr_get makes of its root.

 @param root The root folder, or NULL.
 @return The index (kova_rootfolder_path); -1 when none, or for NULL.
 */
KOVA_API int32_t kova_rootfolder_find(const char *root);

/**
 The id of the loaded quality profile that profile names, by the rule kova_sonarr_get applies.

 NULL or "" names the first profile; otherwise a decimal id that exists, a name exactly, or a
 name in any letter case when only one profile has it. Never a silent fallback, unlike
 kova_quality_profile_pick. Sets kova_last_rc and kova_last_error like an operation.

 @param profile The profile's id or name, or NULL.
 @return The id (above 0); KOVA_ERR_EMPTY when no profiles are loaded (kova_sonarr_test or
    kova_radarr_test loads them) or the list is empty; KOVA_ERR_INVALID_ARG when no profile or
    several match, with a message listing the names.
 */
KOVA_API int32_t kova_quality_profile_find(const char *profile);

/**
 The transport's own text for the last call's transport failure (connection refused, timed out,
 a certificate problem, "cancelled", a fake route's failure text).

 The library's code and message (KOVA_ERR_TRANSPORT, kova_last_error) are as before; this is
 what the transport said, made valid UTF-8, with every API key redacted ("***"), at most 511
 bytes. A transport's text about a refusal it received (a status outside 2xx: "rate limited,
 retry after 30 s") is kept too. Per call, like kova_last_error.

 @return The text; "" when the last call had no transport failure and no refusal the transport
    explained.
 */
KOVA_API const char *kova_last_transport_error(void);

/**
 From an IMDb id to Sonarr's releases of an episode (or a season), with a host's choices.

 Lookup, library find, an add when the series is not in the library, then the release search:
 the requests, test log, results and codes of kova_sonarr_search_or_add, except that:
  - arming is checked only when an add is about to be sent, so a series already in the library
    gets its releases without arming; the root and the profile are settled before that check,
    so a wrong one is refused as such (with no add sent), armed or not;
  - root: NULL or "" takes the service's first root folder; otherwise it must equal one of the
    service's root folders once trimmed, else KOVA_ERR_INVALID_ARG listing them;
  - profile: NULL or "" takes the first profile; a decimal id must exist; a name matches exactly,
    else in any letter case when only one profile matches; anything else is
    KOVA_ERR_INVALID_ARG listing the names (never a silent fallback);
  - flags (KOVA_GET_*): KOVA_GET_NO_ADD never adds (a series not in the library is
    KOVA_ERR_NOT_FOUND "...: not in the library"); KOVA_GET_EXACT makes a missing episode
    KOVA_ERR_NOT_FOUND instead of a search of the whole season; KOVA_GET_MONITOR adds the series
    monitored (the requested season's episodes, all seasons for season 0) and lets Sonarr search
    for them; KOVA_GET_DRY_RUN settles the lookup, the library, the root and the profile, sends
    no add, searches no releases and needs no arming. Other bits: KOVA_ERR_INVALID_ARG.
 What happened is read with kova_get_* after the call, also after a failure. The current result
 set is released first: after a dry run or a failure there are no rows.

 @param imdb_id The IMDb id. NULL or "": KOVA_ERR_INVALID_ARG.
 @param title A title to look up when Sonarr finds nothing by the IMDb id, or NULL.
 @param season The season, 0 or more.
 @param episode The episode, 0 or more; 0: the whole season.
 @param profile The quality profile of an add, or NULL.
 @param root The root folder of an add, or NULL.
 @param flags KOVA_GET_* values, or 0.
 @return A result code.
 */
KOVA_API int32_t kova_sonarr_get(const char *imdb_id, const char *title, int32_t season, int32_t episode, const char *profile, const char *root, int32_t flags);

/**
 From an IMDb id to Radarr's releases of a film, with a host's choices.

 As kova_sonarr_get, for Radarr: KOVA_GET_EXACT changes nothing, and KOVA_GET_MONITOR adds the
 film monitored and lets Radarr search for it.

 @param imdb_id The IMDb id. NULL or "": KOVA_ERR_INVALID_ARG.
 @param profile The quality profile of an add, or NULL.
 @param root The root folder of an add, or NULL.
 @param flags KOVA_GET_* values, or 0.
 @return A result code.
 */
KOVA_API int32_t kova_radarr_get(const char *imdb_id, const char *profile, const char *root, int32_t flags);

/**
 The library id of the item of the last get: after the add when one happened.

 @return The id; 0 when none.
 */
KOVA_API int32_t kova_get_library_id(void);

/**
 Whether the last get added the item (or would have, under KOVA_GET_DRY_RUN).

 @return 1 when it did, else 0.
 */
KOVA_API int32_t kova_get_added(void);

/**
 The root folder the last get's add used or would use.

 @return The root folder; "" when no add was settled.
 */
KOVA_API const char *kova_get_root(void);

/**
 The quality profile id the last get's add used or would use.

 @return The id; 0 when no add was settled.
 */
KOVA_API int32_t kova_get_profile_id(void);

/**
 The folder path the last get's add sent or would send ("<root>/<clean title>-<IMDb id>").

 @return The path; "" when no add was settled.
 */
KOVA_API const char *kova_get_path(void);

/**
 Whether the last get searched the whole season because Sonarr does not list the episode.

 @return 1 when it did, else 0.
 */
KOVA_API int32_t kova_get_fallback(void);

/**
 Configures a service from its URL.

 The URL is http:// or https://, a host (an IPv6 literal in brackets), an optional port (absent:
 the scheme's, 80 or 443, since a URL names a place) and an optional path, the URL base. The
 same checks and effect as the service's configure function followed by kova_set_url_base; a
 refused URL leaves the previous configuration in force.

 @param kind The service (KOVA_JACKETT, KOVA_SONARR, KOVA_RADARR, KOVA_PROWLARR).
 @param url The URL. NULL, a query, a fragment, user information, another scheme, an empty host
    or a bad port: KOVA_ERR_INVALID_ARG, with a message naming the part.
 @param api_key The API key, not empty.
 @return A result code.
 */
KOVA_API int32_t kova_configure_url(int32_t kind, const char *url, const char *api_key);

/* ===================================================================== */
/* Extensions (KOVA_1.4): Prowlarr                                        */
/* ===================================================================== */

/*
 * Prowlarr, the indexer manager of the same family as Sonarr and Radarr, as a
 * fourth service beside Jackett (kind KOVA_PROWLARR, default port 9696):
 * kova_base_url, kova_default_port, kova_set_url_base and kova_configure_url
 * take its kind. Its rows go through the result accessors and
 * kova_result_json like Jackett's, its indexers through the indexer accessors,
 * and the stage of its searches through kova_jackett_stage.
 */

/**
 Configures Prowlarr.

 @param host The host: a name, IPv4 or bare IPv6 address; no scheme, path or brackets.
    NULL: KOVA_ERR_INVALID_ARG.
 @param port The port; 0 or less: 9696.
 @param https Nonzero for HTTPS.
 @param api_key The API key, not empty. NULL: KOVA_ERR_INVALID_ARG.
 @return A result code. A refused configuration leaves the previous one in force.
 */
KOVA_API int32_t kova_prowlarr_configure(const char *host, int32_t port, int32_t https, const char *api_key);

/**
 Lists Prowlarr's enabled indexers and their status, without searching.

 The indexers go to the indexer accessors (their id, name, and status 0, or
 KOVA_INDEXER_FAILED for one Prowlarr holds back after failures until a time to come, its error
 text saying since when and until when), the steps to the test log.

 @return A result code: KOVA_ERR_AUTH for a rejected key, KOVA_ERR_EMPTY when no indexer is
    enabled.
 */
KOVA_API int32_t kova_prowlarr_test(void);

/**
 Staged Prowlarr search: by IMDb id, then by title, then by query.

 Stage 1 asks for the IMDb id as Prowlarr's token {ImdbId:tt0063350} (with {Season:N} and
 {Episode:N} when they are above 0, for series), under type=movie for KOVA_SEARCH_MOVIE,
 type=tvsearch for KOVA_SEARCH_TV, and both for KOVA_SEARCH_ANY, whose rows it takes together.
 Stage 2 asks for the title, and drops the rows of other IMDb ids; stage 3 asks for the query;
 each under type=search, movie or tvsearch. The first stage with rows ends the search. Then
 Prowlarr's indexers and their status fill the indexer accessors, so that, as for Jackett, the
 result is KOVA_PARTIAL when some indexers are held back after failures and KOVA_ERR_INDEXERS
 when all are and no rows came; when that status cannot be read, the search's own result
 stands, with a warning. Results: kova_result_* and kova_jackett_stage.

 @param imdb_id The IMDb id ("tt" and digits, or digits), or NULL.
 @param title The title of the second stage, or NULL.
 @param query The query of the third stage, or NULL. imdb_id and query may not both be NULL.
 @param type KOVA_SEARCH_ANY, KOVA_SEARCH_MOVIE or KOVA_SEARCH_TV.
 @param season The season for series, or 0.
 @param episode The episode for series, or 0.
 @return A result code.
 */
KOVA_API int32_t kova_prowlarr_search(const char *imdb_id, const char *title, const char *query, int32_t type, int32_t season, int32_t episode);

/**
 Parses a Prowlarr search answer the host fetched itself (a JSON array of releases).

 @param json The answer. NULL: KOVA_ERR_INVALID_ARG.
 @return A result code; KOVA_ERR_EMPTY when it holds no release.
 */
KOVA_API int32_t kova_parse_prowlarr(const char *json);

/**
 Sends release `index` of the current result set, which a Prowlarr search produced, to
 Prowlarr's own download client: POST /api/v1/search with the release's guid and indexerId.

 A library write: KOVA_ERR_NOT_ARMED unless armed. Prowlarr keeps a search's releases for
 about half an hour; after that it no longer knows them. The result set stays as it was.

 @param index The release.
 @return A result code: KOVA_ERR_INVALID_ARG for an index out of range, a set from anything
    but a Prowlarr search, or a release without a guid or indexer id; KOVA_ERR_NOT_FOUND when
    Prowlarr no longer knows the release (search again); KOVA_ERR_HTTP when the indexer failed
    to deliver it (409) or for any other refusal, with Prowlarr's explanation as a warning.
 */
KOVA_API int32_t kova_prowlarr_grab_release(int32_t index);

/* ===================================================================== */
/* Extensions (KOVA_1.5): sessions                                        */
/* ===================================================================== */

/*
 * A session is a context of its own: service configurations and URL bases,
 * the transport choice (kova_set_io, kova_use_fake), arming, results,
 * lookups, quality profiles, root folders, stage, test log, warnings, last
 * result code, error, HTTP code, transport error, and every text an accessor
 * hands out. Every call acts on the calling thread's binding: the session it
 * bound last, else the process-wide default context, which every thread uses
 * until it binds. Calls on different sessions from different threads run at
 * the same time; one transport table may serve several sessions, so a host's
 * transport must accept calls from several threads at once.
 *
 * Shared by the whole process, whatever the binding: the fake transport's
 * routes and counters, the time-out (kova_set_timeout_ms), the version and
 * code texts, and the settings-validation records.
 *
 * A session is used by one thread at a time, as the default context is:
 * binding one session on two threads at once, or freeing a session another
 * thread has bound, is the host's error. A thread that ends does not free
 * its session; the host does. A typical host binds one session per worker
 * thread; a simple host never binds and uses the default context.
 *
 * kova_reset resets the calling thread's context; on the default context it
 * also restores the default time-out, on a session it leaves the time-out
 * alone.
 */

/** An opaque session. */
typedef struct kova_session kova_session;

/**
 A new session in the zero state: nothing configured, no transport selected, writes not armed,
 no results. It is not bound.

 @return The session, or NULL when memory runs out (or, on Windows, when the system had no
    thread-local storage slot left for the library when it loaded: no session could be bound).
 */
KOVA_API kova_session *kova_session_new(void);

/**
 From now on every kova call the calling thread makes acts on `s`.

 @param s The session; NULL binds the process-wide default context.
 @return The thread's previous binding (NULL for the default), so that the host can restore it.
 */
KOVA_API kova_session *kova_session_bind(kova_session *s);

/**
 @return The calling thread's binding; NULL for the default context.
 */
KOVA_API kova_session *kova_session_current(void);

/**
 Releases a session and everything it holds; every text it handed out becomes invalid. A
 session bound on the calling thread is unbound first (the thread is back on the default
 context).

 @param s The session; NULL does nothing.
 */
KOVA_API void kova_session_free(kova_session *s);

/* ===================================================================== */
/* Extensions (KOVA_1.6): the download queue and the calendar             */
/* ===================================================================== */

/*
 * After the add: Sonarr's and Radarr's download queues and calendars. Each
 * operation fills a list of its own and leaves the result set alone, so that
 * a host can show releases and the queue together. A failed call leaves the
 * list as it was.
 */

/**
 Reads Sonarr's download queue, every page of it (GET /api/v3/queue, with the episodes and the
 downloads Sonarr has not matched to a series).

 The pages are followed up to the total Sonarr announces, and no further; a page with nothing
 new ends the reading early, and at most 40 pages of 250 are asked for (a warning says so).

 @param series_id Only the entries of this series when above 0; all entries for 0.
 @return A result code: KOVA_OK (also for an empty queue), KOVA_ERR_INVALID_ARG for a negative
    id, or the request's and the answer's codes.
 */
KOVA_API int32_t kova_sonarr_queue(int32_t series_id);

/**
 Reads Radarr's download queue, every page of it, like kova_sonarr_queue.

 @param movie_id Only the entries of this film when above 0; all entries for 0.
 @return A result code.
 */
KOVA_API int32_t kova_radarr_queue(int32_t movie_id);

/**
 The number of entries of the last queue read.

 @return The number of entries.
 */
KOVA_API int32_t kova_queue_count(void);

/**
 The service's id of queue entry i.

 @param i The entry.
 @return The id; 0 when it has none, -1 out of range.
 */
KOVA_API int32_t kova_queue_id(int32_t i);

/**
 The release title of queue entry i.

 @param i The entry.
 @return The title; "" when absent or out of range.
 */
KOVA_API const char *kova_queue_title(int32_t i);

/**
 The series id or film id of queue entry i ("seriesId", "movieId").

 @param i The entry.
 @return The id; 0 when the service has not matched the download to one, -1 out of range.
 */
KOVA_API int32_t kova_queue_library_id(int32_t i);

/**
 The season of queue entry i.

 @param i The entry.
 @return The season; -1 when unknown, for films, or out of range.
 */
KOVA_API int32_t kova_queue_season(int32_t i);

/**
 The episode of queue entry i.

 @param i The entry.
 @return The episode; -1 when unknown, for films, or out of range.
 */
KOVA_API int32_t kova_queue_episode(int32_t i);

/**
 The state of queue entry i as one word a host can map: "queued", "downloading", "paused",
 "importing", "imported", "completed", "warning", "failed", "delay", or the service's own status
 lower-cased when none fits.

 @param i The entry.
 @return The word; "" out of range.
 */
KOVA_API const char *kova_queue_status(int32_t i);

/**
 Size of the download of queue entry i in bytes.

 @param i The entry.
 @param size_out Receives the size, when not NULL.
 @return 0 with the size stored; KOVA_ERR_NOT_FOUND, with nothing written, when i is out of
    range or the size is unknown.
 */
KOVA_API int32_t kova_queue_size(int32_t i, uint64_t *size_out);

/**
 Bytes of queue entry i still to download.

 @param i The entry.
 @param left_out Receives the bytes, when not NULL.
 @return 0 with the bytes stored; KOVA_ERR_NOT_FOUND, with nothing written, when i is out of
    range or they are unknown.
 */
KOVA_API int32_t kova_queue_left(int32_t i, uint64_t *left_out);

/**
 How far queue entry i is, from its size and the bytes left.

 @param i The entry.
 @return Thousandths, 0 to 1000; -1 when unknown or out of range.
 */
KOVA_API int32_t kova_queue_progress(int32_t i);

/**
 When queue entry i should be done ("estimatedCompletionTime").

 @param i The entry.
 @return Seconds since 1970-01-01T00:00:00Z; -1 when the service gave no time, or out of range.
 */
KOVA_API int64_t kova_queue_eta(int32_t i);

/**
 What went wrong with queue entry i: the service's error message, or its status messages
 joined with "; ".

 @param i The entry.
 @return The text; "" when none, or out of range.
 */
KOVA_API const char *kova_queue_message(int32_t i);

/**
 The download client of queue entry i ("downloadClient").

 @param i The entry.
 @return The name; "" when absent or out of range.
 */
KOVA_API const char *kova_queue_client(int32_t i);

/**
 The protocol of queue entry i.

 @param i The entry.
 @return "torrent" or "usenet"; "" when absent or out of range.
 */
KOVA_API const char *kova_queue_protocol(int32_t i);

/**
 Reads Sonarr's calendar: the episodes that air from start to end, monitored or not, with their
 series (GET /api/v3/calendar).

 @param start The first moment, in seconds since 1970-01-01T00:00:00Z.
 @param end The last moment; not before start, at most 366 days after it, before the year 10000.
 @return A result code: KOVA_ERR_INVALID_ARG for a span that is reversed, over a year, or out of
    range; or the request's and the answer's codes.
 */
KOVA_API int32_t kova_sonarr_calendar(int64_t start, int64_t end);

/**
 Reads Radarr's calendar: the films with a release (in cinemas, digital, physical) from start to
 end, monitored or not.

 @param start The first moment, in seconds since 1970-01-01T00:00:00Z.
 @param end The last moment; as for kova_sonarr_calendar.
 @return A result code.
 */
KOVA_API int32_t kova_radarr_calendar(int64_t start, int64_t end);

/**
 The number of entries of the last calendar read; the entries are in date order.

 @return The number of entries.
 */
KOVA_API int32_t kova_calendar_count(void);

/**
 The episode's or the film's title of calendar entry i.

 @param i The entry.
 @return The title; "" when absent or out of range.
 */
KOVA_API const char *kova_calendar_title(int32_t i);

/**
 The series' title of calendar entry i.

 @param i The entry.
 @return The title; "" for films, or out of range.
 */
KOVA_API const char *kova_calendar_series(int32_t i);

/**
 The season of calendar entry i.

 @param i The entry.
 @return The season; -1 for films, or out of range.
 */
KOVA_API int32_t kova_calendar_season(int32_t i);

/**
 The episode of calendar entry i.

 @param i The entry.
 @return The episode; -1 for films, or out of range.
 */
KOVA_API int32_t kova_calendar_episode(int32_t i);

/**
 The date of calendar entry i: an episode's air time; a film's earliest release that falls
 inside the span asked for.

 @param i The entry.
 @return Seconds since 1970-01-01T00:00:00Z; -1 when none, or out of range.
 */
KOVA_API int64_t kova_calendar_date(int32_t i);

/**
 What the date of calendar entry i is.

 @param i The entry.
 @return "episode", "cinema", "digital" or "physical"; "" for a film with no release inside the
    span, or out of range.
 */
KOVA_API const char *kova_calendar_kind(int32_t i);

/**
 Whether the item of calendar entry i has its file.

 @param i The entry.
 @return 1 when it has, 0 when not; -1 when unknown or out of range.
 */
KOVA_API int32_t kova_calendar_has_file(int32_t i);

/**
 Whether calendar entry i is monitored.

 @param i The entry.
 @return 1 when it is, 0 when not; -1 when unknown or out of range.
 */
KOVA_API int32_t kova_calendar_monitored(int32_t i);

/**
 The series id or film id of calendar entry i.

 @param i The entry.
 @return The id; 0 when absent, -1 out of range.
 */
KOVA_API int32_t kova_calendar_library_id(int32_t i);

/**
 The IMDb id of calendar entry i's series or film, as the service sent it ("tt0944947").

 @param i The entry.
 @return The id; "" when absent or out of range.
 */
KOVA_API const char *kova_calendar_imdb(int32_t i);

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

/* The fourth service kind (KOVA_1.4): Prowlarr. */
#define KOVA_PROWLARR 3

/* What a Prowlarr search asks for (kova_prowlarr_search). */
#define KOVA_SEARCH_ANY   0   /* anything: type=search (stage 1: movie and tvsearch) */
#define KOVA_SEARCH_MOVIE 1   /* films: type=movie */
#define KOVA_SEARCH_TV    2   /* series: type=tvsearch */

/* Choices of kova_sonarr_get and kova_radarr_get (combined with |). */
#define KOVA_GET_NO_ADD  1   /* never add: an item not in the library is KOVA_ERR_NOT_FOUND */
#define KOVA_GET_EXACT   2   /* Sonarr: the episode or nothing, no search of the whole season */
#define KOVA_GET_MONITOR 4   /* add monitored, and let the service search */
#define KOVA_GET_DRY_RUN 8   /* settle everything, send nothing, need no arming */

/* Indexer status values (kova_indexer_status). Jackett's own entries carry
 * the status Jackett sent; these two have a meaning for the library. */
#define KOVA_INDEXER_FAILED  1   /* the indexer failed (counted by kova_indexers_errored) */
#define KOVA_INDEXER_TORZNAB 2   /* an entry of a Torznab indexer list */

#ifdef __cplusplus
}
#endif

#endif /* KOVA_H */
