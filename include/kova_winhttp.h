/*
 * kova_winhttp - an HTTP(S) transport for kova on Windows, built on WinHTTP.
 *
 * The Windows counterpart of kova_curl: a small separate DLL that makes a
 * kova_io transport table out of the system's WinHTTP. It honours the
 * system's proxy settings, verifies certificates against the Windows
 * certificate store and needs nothing shipped beside it but kova.dll.
 *
 *     kova_winhttp_options o;
 *     kova_winhttp_options_init(&o);
 *     kova_winhttp *t = kova_winhttp_new(&o);
 *     kova_set_io(kova_winhttp_io(t));
 *     ... kova calls ...
 *     kova_set_io(NULL);
 *     kova_winhttp_free(t);
 *
 * One transport holds one set of options, and so serves one service setup:
 * a host whose services need different options creates one transport per
 * service and installs the right table before calling an operation of that
 * service.
 *
 * Contract with the library (see kova_io in kova.h), the same as kova_curl's:
 *  - get/post return 0 whenever an HTTP exchange completed, whatever its
 *    status, and store the status and the body (a NUL-terminated copy, "" when
 *    the answer was empty). They return nonzero when no usable answer came
 *    (connection refused, name not resolved, time-out, certificate refused,
 *    answer over the size cap, response headers over 100 KiB or holding a
 *    NUL byte, a body shorter than its Content-Length: "answer cut short: N
 *    of M bytes", out of memory) and then store an error text that names the
 *    failure in words.
 *  - A 429 is a completed exchange, and its error text says when to retry
 *    ("rate limited, retry after 30 s"), as kova_curl's does.
 *  - So is a 401, and when one of its WWW-Authenticate headers asks for
 *    basic credentials its error text says so, in kova_curl's words: "the
 *    server asks for basic authentication (realm "R")", or without the
 *    realm when it is not 1 to 64 printable ASCII characters.
 *  - Outputs are released by the table's own release entry.
 *  - Nothing is kept after a call returns. A transport holds one WinHTTP
 *    session; each request opens and closes its own connection and request
 *    handles, so the table may be called from several threads at once.
 *  - The API key never appears in an error text or log line: every
 *    "apikey=" value is replaced by "***", and the key itself is scrubbed.
 *  - Redirects are not followed (the API key travels in the query string):
 *    a 3xx answer comes back as such, its Location in the log line made
 *    printable as kova_curl's is.
 *  - A body holding a NUL byte is refused ("answer holds a NUL byte at
 *    offset N"): kova reads bodies as text, and a list cut at the NUL would
 *    read as a shorter, valid one.
 *  - kova_winhttp_cancel stops the requests in flight from any thread (their
 *    error text is "cancelled") and makes later ones fail at once, until
 *    kova_winhttp_resume; see kova_curl.h for the pattern.
 *
 * Where WinHTTP differs from libcurl:
 *  - There is no CA-file option. Certificates are verified against the
 *    Windows certificate store; to trust a private CA, add it to the store
 *    (certmgr.msc, or certutil -addstore Root ca.pem) or set `insecure`.
 *  - WinHTTP has no total time-out, only per-phase ones. The total is
 *    approximated: every phase (name resolution, connection, sending, waiting
 *    for the answer, each read of the body) is given what is left of it, and
 *    the deadline is checked between reads. A request therefore ends close to
 *    the total, but the time-out is not exact to the millisecond.
 *  - Compressed answers are decoded by WinHTTP itself
 *    (WINHTTP_OPTION_DECOMPRESSION, Windows 8.1 and later). Where WinHTTP
 *    cannot decode (older Windows, Wine 8), no Accept-Encoding is sent and
 *    answers come uncompressed; a server that compresses unasked is passed
 *    through as it sent.
 *  - Proxies are HTTP proxies only (WinHTTP has no SOCKS support).
 */
#ifndef KOVA_WINHTTP_H
#define KOVA_WINHTTP_H

#include <stdint.h>

#include "kova.h"

#if defined(_WIN32) || defined(__CYGWIN__)
#  if defined(KOVA_WINHTTP_BUILDING)
#    define KOVA_WINHTTP_API __declspec(dllexport)
#  else
#    define KOVA_WINHTTP_API __declspec(dllimport)
#  endif
#elif defined(__GNUC__) && __GNUC__ >= 4
#  define KOVA_WINHTTP_API __attribute__((visibility("default")))
#else
#  define KOVA_WINHTTP_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Default cap on a response body, after decompression: 256 MiB. */
#define KOVA_WINHTTP_DEFAULT_MAX_RESPONSE (256 * 1024 * 1024)
/* Default connection time-out: 10 s (never longer than the total time-out). */
#define KOVA_WINHTTP_DEFAULT_CONNECT_TIMEOUT_MS 10000

/* A line the transport writes about a request, already redacted. */
typedef void (*kova_winhttp_log_fn)(void *log_user, const char *line);

/* Progress of an answer's body: the bytes received so far (after
   decompression), and the length the service announced, or -1 when it
   announced none or the answer is compressed. */
typedef void (*kova_winhttp_progress_fn)(void *progress_user, int64_t bytes_received, int64_t bytes_expected);

/*
 * Transport options. Start from kova_winhttp_options_init; every field left
 * at its initial value takes the default named here. kova_winhttp_new copies
 * every text, so the caller's strings need not outlive the call.
 *
 * The struct begins with its own size, and options added later go at its
 * end: kova_winhttp_new reads only what the caller's struct_size covers, and
 * every option beyond it takes its default. A host built against an older
 * header therefore keeps working with a newer DLL, and a new option needs no
 * new major version. Inserting struct_size itself moved every field, and so
 * took a new major version, kova_winhttp.dll 3.0.0 (with libkova_curl.so.3,
 * whose options have the same layout): the last change that needs one. A
 * host that calls kova_winhttp_options_init needs no source change for it; a
 * host that fills the struct by hand sets
 * struct_size = sizeof(kova_winhttp_options) itself.
 */
typedef struct kova_winhttp_options {
    /* The caller's sizeof(kova_winhttp_options), set by
       kova_winhttp_options_init. kova_winhttp_new fails (NULL) when it is
       smaller than this first struct with a size (the fields up to
       progress_user), 0 included, or larger than 4096, or when it is larger
       than the DLL's struct with a byte past the DLL's last option set (an
       option of a newer header this DLL cannot honour). */
    uint32_t struct_size;
    /* Total time for one request in milliseconds (approximated, see above);
       0: kova_timeout_ms(), read at each request (so kova_set_timeout_ms
       applies at once). */
    int32_t timeout_ms;
    /* Time to resolve the name and establish the connection; 0: 10000.
       Never longer than the total. */
    int32_t connect_timeout_ms;
    /* Nonzero switches TLS verification OFF (unknown authority, wrong name,
       expired, wrong usage are all accepted). Only for a service with a
       self-signed certificate on a network you trust. */
    int32_t insecure;
    /* Accept gzip/deflate answers where WinHTTP decodes them (see above);
       nonzero by default. 0 asks for identity encoding. */
    int32_t compressed;
    /* Largest accepted response body in bytes after decompression; a larger
       answer fails the request while it is read.
       0: KOVA_WINHTTP_DEFAULT_MAX_RESPONSE. */
    int64_t max_response_bytes;
    /* NULL: the system's proxy settings (WinHTTP's automatic proxy: the
       user's settings, auto-detection and configuration scripts where the
       system allows it, else the netsh winhttp settings); "": no proxy;
       else an HTTP proxy as "host:port" or "http://host:port". Any other
       scheme makes kova_winhttp_new fail. */
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
    kova_winhttp_log_fn log;
    void *log_user;
    /* Optional progress report while a body arrives. Called on the
       requesting thread at most four times a second, plus once with the
       final count. */
    kova_winhttp_progress_fn progress;
    void *progress_user;

    /* Options added since the first struct with a size (3.1); a host built
       against an older header passes a smaller struct_size, and these take
       their initial values (all off). */

    /* Extra request headers, sent with every request: a NULL-terminated
       array of "Name: value" lines, e.g.
           static const char *const h[] = {"X-Proxy-Token: abc", NULL};
       Spaces around the value are trimmed; "Name:" sends an empty value.
       NULL: none. kova_winhttp_new copies them and fails (NULL) for a line without a
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
       an Authorization line in `headers` makes kova_winhttp_new fail. Never logged.
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
       is sent. An X-Api-Key line in `headers` makes kova_winhttp_new fail. 0 (the
       default): the URL as the library made it. */
    int32_t key_in_header;
} kova_winhttp_options;

/* An opaque transport: the options, a WinHTTP session and the kova_io table
   that uses them. */
typedef struct kova_winhttp kova_winhttp;

/**
 * Fills `o` with the defaults (all zero/NULL except compressed = 1) and sets
 * struct_size to sizeof(kova_winhttp_options). NULL: nothing.
 */
KOVA_WINHTTP_API void kova_winhttp_options_init(kova_winhttp_options *o);

/**
 * Creates a transport with its own WinHTTP session. NULL options: the
 * defaults. Returns NULL when memory runs out, when struct_size is refused
 * (see there), when an option is refused (negative time-out or size cap, a
 * proxy that is not an HTTP proxy, a text that is not UTF-8, a header,
 * credentials: see each option) or when WinHTTP is unavailable. The reason
 * goes to the options' log sink, when there is one and struct_size covers
 * it: "kova_winhttp_new failed: ...". Free it with kova_winhttp_free.
 */
KOVA_WINHTTP_API kova_winhttp *kova_winhttp_new(const kova_winhttp_options *o);

/** Releases a transport and its session; NULL: nothing. Uninstall its table first (kova_set_io(NULL)). */
KOVA_WINHTTP_API void kova_winhttp_free(kova_winhttp *t);

/**
 * The transport's kova_io table, valid until kova_winhttp_free. Install it
 * with kova_set_io or hand it to a settings-validation handler. NULL: NULL.
 */
KOVA_WINHTTP_API const kova_io *kova_winhttp_io(const kova_winhttp *t);

/**
 * Copies `text` into `out` (of `size` bytes, always NUL-terminated when size
 * is at least 1) with the value of every "apikey=" parameter (any letter
 * case) replaced by "***". Returns the length of the full redacted text, like
 * snprintf. A tool for hosts that print URLs themselves.
 */
KOVA_WINHTTP_API int32_t kova_winhttp_redact(const char *text, char *out, int32_t size);

/**
 * Cancels: every request in flight on this transport ends at once with the
 * error text "cancelled" (its request handle is closed), and every later one
 * fails the same way without connecting, until kova_winhttp_resume. Callable
 * from any thread, at any time, any number of times. NULL: nothing.
 */
KOVA_WINHTTP_API void kova_winhttp_cancel(kova_winhttp *t);

/**
 * Ends a cancellation: later requests go out again. A request that started
 * before the cancel stays cancelled. Callable from any thread. NULL: nothing.
 */
KOVA_WINHTTP_API void kova_winhttp_resume(kova_winhttp *t);

/** "WinHTTP" and the system's version, e.g. "WinHTTP (Windows 10.0.19045)". Static text. */
KOVA_WINHTTP_API const char *kova_winhttp_version(void);

#ifdef __cplusplus
}
#endif

#endif /* KOVA_WINHTTP_H */
