/*
 * kova_curl - an HTTP(S) transport for kova, built on libcurl.
 *
 * The kova library performs no network I/O of its own: a host installs a
 * transport table with kova_set_io. This small separate library makes such a
 * table out of libcurl:
 *
 *     kova_curl_options o;
 *     kova_curl_options_init(&o);
 *     o.ca_file = "/etc/ssl/my-ca.pem";          (optional)
 *     kova_curl *t = kova_curl_new(&o);
 *     kova_set_io(kova_curl_io(t));
 *     ... kova calls ...
 *     kova_set_io(NULL);
 *     kova_curl_free(t);
 *
 * One transport holds one set of options, and so serves one service setup:
 * a host whose services need different options (a URL base behind a reverse
 * proxy, TLS verification off for one self-signed instance) creates one
 * transport per service and installs the right table before calling an
 * operation of that service. Every kova operation talks to one service only.
 *
 * Contract with the library (see kova_io in kova.h):
 *  - get/post return 0 whenever an HTTP exchange completed, whatever its
 *    status, and store the status and the body (a NUL-terminated copy, "" when
 *    the answer was empty). They return nonzero when no usable answer came
 *    (connection refused, time-out, TLS failure, answer over the size cap,
 *    response headers over 100 KiB or holding a NUL byte, a body shorter than
 *    its Content-Length: "answer cut short: N of M bytes", out of memory) and
 *    then store an error text.
 *  - A 429 is a completed exchange, and its error text says when to retry:
 *    "<method> <url>: rate limited, retry after 30 s" from Retry-After (delay
 *    seconds or an HTTP date), or "...: rate limited" without one. The
 *    transport never retries by itself.
 *  - So is a 401, and when one of its WWW-Authenticate headers asks for
 *    basic credentials its error text says so: "<method> <url>: the server
 *    asks for basic authentication (realm "R")", the realm shown when it is
 *    1 to 64 printable ASCII characters without a quote or backslash, else
 *    "...: the server asks for basic authentication". Such a 401 most often
 *    comes from a reverse proxy in front of the service (a wrong API key
 *    gets a 401 that asks for nothing): set username and password. A 401
 *    without a Basic challenge has no error text.
 *  - Outputs are released by the table's own release entry.
 *  - Nothing is kept after a call returns. Each request uses its own libcurl
 *    handle, so the table may be called from several threads at once (the
 *    kova library itself wants one call at a time; the settings validation
 *    handlers may run on other threads).
 *  - The API key never appears in an error text or log line: every
 *    "apikey=" value is replaced by "***".
 *  - Redirects are not followed: the API key travels in the query string, and
 *    following a redirect would hand it (and the credentials and headers of
 *    the options) to whatever the redirect names. A 3xx answer comes back as
 *    such (kova reports it as ERR_HTTP). Its log line names the Location,
 *    absolute, with every byte that is not printable ASCII percent-encoded:
 *    no log line carries a control character a server wrote.
 *  - A body holding a NUL byte is refused ("answer holds a NUL byte at
 *    offset N"): kova reads bodies as text, and a list cut at the NUL would
 *    read as a shorter, valid one.
 *
 * Cancelling: a staged Jackett search can take minutes, and kova makes one
 * call at a time. A host that runs the call on a worker thread stops it from
 * any other thread with kova_curl_cancel: the requests in flight end within
 * a fraction of a second with the error text "cancelled" (kova returns
 * KOVA_ERR_TRANSPORT, and a staged search stops at its current stage), and
 * every later request fails the same way at once, until kova_curl_resume.
 */
#ifndef KOVA_CURL_H
#define KOVA_CURL_H

#include <stdint.h>

#include "kova.h"

#if defined(__GNUC__) && __GNUC__ >= 4
#  define KOVA_CURL_API __attribute__((visibility("default")))
#else
#  define KOVA_CURL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Default cap on a response body, after decompression: 256 MiB. */
#define KOVA_CURL_DEFAULT_MAX_RESPONSE (256 * 1024 * 1024)
/* Default connection time-out: 10 s (never longer than the total time-out). */
#define KOVA_CURL_DEFAULT_CONNECT_TIMEOUT_MS 10000

/* A line the transport writes about a request, already redacted. */
typedef void (*kova_curl_log_fn)(void *log_user, const char *line);

/* Progress of an answer's body: the bytes received so far (after
   decompression), and the length the service announced, or -1 when it
   announced none or the answer is compressed. */
typedef void (*kova_curl_progress_fn)(void *progress_user, int64_t bytes_received, int64_t bytes_expected);

/*
 * Transport options. Start from kova_curl_options_init; every field left at
 * its initial value takes the default named here. kova_curl_new copies every
 * text, so the caller's strings need not outlive the call.
 *
 * The struct begins with its own size, and options added later go at its
 * end: kova_curl_new reads only what the caller's struct_size covers, and
 * every option beyond it takes its default. A host built against an older
 * header therefore keeps working with a newer library, and a new option
 * needs no new soname. Inserting struct_size itself moved every field, and so
 * took a new soname, libkova_curl.so.3: the last change that needs one. A
 * host that calls kova_curl_options_init needs no source change for it; a
 * host that fills the struct by hand sets
 * struct_size = sizeof(kova_curl_options) itself.
 */
typedef struct kova_curl_options {
    /* The caller's sizeof(kova_curl_options), set by kova_curl_options_init.
       kova_curl_new fails (NULL) when it is smaller than this first struct
       with a size (the fields up to progress_user), 0 included, or larger
       than 4096, or when it is larger than the library's struct with a byte
       past the library's last option set (an option of a newer header this
       library cannot honour). */
    uint32_t struct_size;
    /* Total time for one request in milliseconds; 0: kova_timeout_ms(),
       read at each request (so kova_set_timeout_ms applies at once). */
    int32_t timeout_ms;
    /* Time to establish the connection; 0: 10000. */
    int32_t connect_timeout_ms;
    /* Nonzero switches TLS peer and host-name verification OFF. Only for a
       service with a self-signed certificate on a network you trust. */
    int32_t insecure;
    /* Accept compressed answers (gzip, deflate and whatever this libcurl
       decodes); nonzero by default. 0 asks for identity encoding. */
    int32_t compressed;
    /* Largest accepted response body in bytes after decompression; a larger
       answer fails the request. 0: KOVA_CURL_DEFAULT_MAX_RESPONSE. */
    int64_t max_response_bytes;
    /* CA bundle file (PEM) to verify the service's certificate with;
       NULL: the system's bundle. */
    const char *ca_file;
    /* Proxy URL ("http://proxy:3128", "socks5h://..."); NULL: libcurl's
       environment rules (http_proxy, https_proxy, no_proxy); "": no proxy. */
    const char *proxy;
    /* User-Agent header; NULL: "kova/<library version>". */
    const char *user_agent;
    /* Path prefix inserted after scheme://host:port, for a service behind a
       reverse proxy at e.g. "/sonarr". Slashes around it are normalised;
       NULL or "" for none. */
    const char *url_base;
    /* Optional log sink: one redacted line per request (method, URL,
       outcome, bytes, milliseconds), e.g. "GET <url> -> HTTP 200, 512 bytes,
       3 ms"; a redirect's line ends with ", Location: <absolute url>", the
       place the answer names (never followed). Called on the requesting
       thread. */
    kova_curl_log_fn log;
    void *log_user;
    /* Optional progress report while a body arrives, e.g. for "2.1 MB
       received" while Jackett gathers results. Called on the requesting
       thread at most four times a second, plus once with the final count. */
    kova_curl_progress_fn progress;
    void *progress_user;

    /* Options added since the first struct with a size (3.1); a host built
       against an older header passes a smaller struct_size, and these take
       their initial values (all off). */

    /* Extra request headers, sent with every request: a NULL-terminated
       array of "Name: value" lines, e.g.
           static const char *const h[] = {"X-Proxy-Token: abc", NULL};
       Spaces around the value are trimmed; "Name:" sends an empty value.
       NULL: none. kova_curl_new copies them and fails (NULL) for a line without a
       colon, an empty name, a name with anything but letters, digits and
       !#$%&'*+-.^_`|~ (a CR or LF among them; a NUL cannot hide in a C
       string), a value with a control character (CR, LF) or a byte beyond
       ASCII, a header the transport writes itself (Host, Content-Length,
       Transfer-Encoding, Connection, Expect, TE, Upgrade, Accept,
       Accept-Encoding, Content-Type, User-Agent; any letter case), more than
       64 lines or a line over 8192 bytes. Values never appear in a log line
       or an error text; a refusal names the header as "Name: <redacted>". */
    const char *const *headers;
    /* HTTP basic authentication, for a service or a reverse proxy that asks
       for it: "Authorization: Basic ..." goes with every request (not only
       after a 401), UTF-8 as given. NULL or "": none. A password without a
       username, a username with a colon, a control character in either, or
       an Authorization line in `headers` makes kova_curl_new fail. Never logged.
       Requests go only to the URL the library asks for (redirects are not
       followed), so the credentials never reach another host. */
    const char *username;
    const char *password;
    /* Basic credentials over plain http:// put the password on the network
       in clear text: such a request is refused when it is made (the URL is
       known then), before anything is sent, with the error text "basic
       authentication over plain HTTP refused: ...". Nonzero sends it anyway
       (a trusted network, or TLS ended by a proxy on the same machine). */
    int32_t allow_basic_over_http;
    /* Nonzero: the API key of Sonarr, Radarr and Prowlarr travels in the
       X-Api-Key header instead of the URL, so that it never reaches an access
       log. Requests whose path holds /api/v3/ or /api/v1/ (after any URL
       base) lose their apikey= parameter and carry its value, percent-decoded,
       in X-Api-Key. Jackett's paths (/api/v2.0/: its results and Torznab
       APIs take only the parameter) and any other path keep the key in the
       URL. A key that holds a control character, a space or a byte beyond
       ASCII cannot travel in a header: such a request fails before anything
       is sent. An X-Api-Key line in `headers` makes kova_curl_new fail. 0 (the
       default): the URL as the library made it. */
    int32_t key_in_header;
} kova_curl_options;

/* An opaque transport: the options and the kova_io table that uses them. */
typedef struct kova_curl kova_curl;

/**
 * Fills `o` with the defaults (all zero/NULL except compressed = 1) and sets
 * struct_size to sizeof(kova_curl_options). NULL: nothing.
 */
KOVA_CURL_API void kova_curl_options_init(kova_curl_options *o);

/**
 * Creates a transport. NULL options: the defaults. Initialises libcurl once
 * per process (thread-safe). Returns NULL when memory runs out, when libcurl
 * cannot be initialised, when struct_size is refused (see there) or when an
 * option is refused (a negative time-out or size cap, a header, credentials:
 * see each option). The reason goes to the options' log sink, when there is
 * one and struct_size covers it: "kova_curl_new failed: timeout_ms is
 * negative". Free it with kova_curl_free.
 */
KOVA_CURL_API kova_curl *kova_curl_new(const kova_curl_options *o);

/** Releases a transport; NULL: nothing. Uninstall its table first (kova_set_io(NULL)). */
KOVA_CURL_API void kova_curl_free(kova_curl *t);

/**
 * The transport's kova_io table, valid until kova_curl_free. Install it with
 * kova_set_io or hand it to a settings-validation handler. NULL: NULL.
 */
KOVA_CURL_API const kova_io *kova_curl_io(const kova_curl *t);

/**
 * Copies `text` into `out` (of `size` bytes, always NUL-terminated when size
 * is at least 1) with the value of every "apikey=" parameter (any letter
 * case) replaced by "***". Returns the length of the full redacted text, like
 * snprintf. A tool for hosts that print URLs themselves.
 */
KOVA_CURL_API int32_t kova_curl_redact(const char *text, char *out, int32_t size);

/**
 * Cancels: every request in flight on this transport ends within a fraction
 * of a second with the error text "cancelled", and every later one fails the
 * same way without connecting, until kova_curl_resume. Callable from any
 * thread, at any time, any number of times. NULL: nothing. It takes a lock,
 * so it is not async-signal-safe: a command-line host that cancels on
 * SIGINT calls it from a thread that waits for the signal (sigwait), not
 * from the signal handler.
 */
KOVA_CURL_API void kova_curl_cancel(kova_curl *t);

/**
 * Ends a cancellation: later requests go out again. A request that started
 * before the cancel stays cancelled. Callable from any thread. NULL: nothing.
 */
KOVA_CURL_API void kova_curl_resume(kova_curl *t);

/** libcurl's version text, e.g. "libcurl/7.88.1 OpenSSL/3.0.11 zlib/1.2.13". Static text. */
KOVA_CURL_API const char *kova_curl_version(void);

#ifdef __cplusplus
}
#endif

#endif /* KOVA_CURL_H */
