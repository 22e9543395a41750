// What every host transport does around a request, whatever its HTTP stack:
// owned output texts, the growable texts and the capped body buffer, percent
// decoding, the URL base, the clock, the progress reports and the
// cancellation of requests in flight.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>

#include "kova.h"

namespace kt {

// The release entry of a transport's table: the texts it hands over are
// malloc'd.
void release_text(void *user, char *text);

// A transport object T, whose first member is its kova_io table `io`,
// allocated zeroed (free releases it, after its destructor) and
// constructed, its table pointing at it with `get`, `post` and
// release_text; NULL when memory runs out.
template <class T>
T *new_transport(decltype(kova_io::get) get, decltype(kova_io::post) post) {
    void *mem = calloc(1, sizeof(T));
    if (!mem) return nullptr;
    auto *t = new (mem) T();
    t->io.user = t;
    t->io.get = get;
    t->io.post = post;
    t->io.release = release_text;
    return t;
}

// A malloc'd copy of `s` (the outputs handed to the library are malloc'd);
// NULL for NULL or when memory runs out.
char *dup_text(const char *s);

// A growable text: NUL-terminated whenever it holds anything, and never
// failing loudly: when memory runs out it sets `oom`, keeps what it held and
// takes nothing more.
struct sbuf {
    char *data = nullptr;
    size_t len = 0, cap = 0;
    bool oom = false;
    sbuf() = default;
    sbuf(const sbuf &) = delete;
    sbuf &operator=(const sbuf &) = delete;
    ~sbuf();
    // Appends `n` bytes, growing by doubling from `first` bytes; false when
    // memory ran out (now or before).
    bool put(const char *p, size_t n, size_t first = 256);
    void puts(const char *s);
    // Room for exactly `n` bytes and the NUL after them; false when memory
    // runs out.
    bool resize(size_t n);
    // The text, malloc'd ("" when nothing was put); NULL when memory ran out.
    char *take();
};

// A growable byte buffer with a hard cap, for response bodies. A body is
// text for the library, which reads it up to its first NUL: a NUL inside
// would silently cut it (a Torznab list cut there still parses, shorter), so
// the buffer refuses it and remembers where it came.
struct body_buf : sbuf {
    static constexpr size_t no_nul = static_cast<size_t>(-1);
    size_t limit = 0;      // most bytes accepted
    bool too_big = false;  // the answer went over `limit`
    size_t nul_at = no_nul;  // offset of the first NUL byte of the answer
    // Allocates room for an announced length at once, so a large answer is
    // neither copied by repeated doubling nor left with up to twice its size
    // allocated. More than `limit` marks the answer too big and fails. The
    // buffer stays a NUL-terminated text throughout.
    bool reserve(size_t n);
    // False when the bytes went over the cap, memory ran out or they hold a
    // NUL; the request then stops reading.
    bool append(const char *p, size_t n);
};

// The value of a hexadecimal digit (either case); -1 for another character.
int hexval(char c);

// Decodes the %XX escapes of `in` (`n` bytes; any other byte, and a '%' not
// followed by two hex digits, as it is) into `out`, at most `room` - 1 bytes
// and a NUL; returns the bytes written. A decoded NUL is written like any
// other byte: the caller compares the count with strlen.
size_t percent_decode(const char *in, size_t n, char *out, size_t room);

// A URL base option as stored: "sonarr/" -> "/sonarr"; NULL, "" or "/" -> "".
// NULL when memory runs out.
char *norm_base(const char *s);

// The request URL with a normalised URL base inserted after
// scheme://host:port; NULL when memory runs out.
char *with_base(const char *url_base, const char *url);

// A redirect's Location made absolute against the request's URL, as a
// browser would resolve it ("/sonarr/api" -> "http://host:port/sonarr/api");
// malloc'd, NULL for NULL or when memory runs out.
char *absolute_location(const char *request_url, const char *location);

// A URL the server wrote (a Location), fit for a log line: every byte that
// is not printable ASCII (controls, a space, DEL, anything beyond ASCII) is
// percent-encoded, so that a terminal showing the line reads an address and
// never an escape sequence. malloc'd; NULL for NULL or when memory runs out.
char *printable_url(const char *url, size_t n);

// The most bytes of response headers a transport reads (the status line and
// every header line, with their line ends): one header block, not a stream.
// A larger block fails the request with "response header too long".
constexpr size_t k_max_header_bytes = 100 * 1024;

// "answer cut short: N of M bytes" (`announced` >= 0), or "answer cut short
// after N bytes" when no length was announced, into `out`.
void cut_short_words(size_t received, int64_t announced, char *out, size_t size);

// A monotonic clock in milliseconds.
long long now_ms();

// "answer holds a NUL byte at offset N" into `out`.
void nul_words(size_t at, char *out, size_t size);

// The seconds until the time a Retry-After value names: delay-seconds
// ("120"), or an HTTP date in any of HTTP's three forms ("Sun, 06 Nov 1994
// 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37
// 1994"), counted from `now` (seconds since 1970, UTC) and never below 0.
// False for anything else.
bool retry_after_seconds(const char *value, long long now, long long &seconds);

// The reason a transport gives beside a 429 answer: "rate limited, retry
// after N s" when its Retry-After (NULL: none) says when, else "rate
// limited". The transport does not retry by itself: the wait is the host's
// to honour.
void rate_limit_words(const char *retry_after, char *out, size_t size);

// The reason a transport gives beside a 401 whose WWW-Authenticate header
// (`challenge`, one header's value) holds a Basic challenge: "the server
// asks for basic authentication", and ` (realm "R")` after it when the
// realm is 1 to 64 printable ASCII characters without a quote or backslash
// (any other realm is left out, so that every transport words the same
// answer alike whatever its HTTP stack does with other bytes). Such a 401
// most often comes from a reverse proxy, not from the service behind it,
// whose wrong-key answer carries no challenge: a host tells the two apart
// by it. False, `out` untouched, when the header asks for no Basic
// credentials.
bool basic_challenge_words(const char *challenge, char *out, size_t size);
// Room for what basic_challenge_words writes.
constexpr size_t k_basic_words_size = 128;

// A transport's progress callback (kova_curl_progress_fn, ...).
using progress_fn = void (*)(void *progress_user, int64_t bytes_received, int64_t bytes_expected);

// Calls a progress callback at most every `interval_ms`, so a host's
// "2.1 MB received" costs nothing however small the reads are, plus once
// with the final count when the last bytes came between two reports.
struct progress_meter {
    static constexpr long long interval_ms = 250;
    progress_fn fn = nullptr;
    void *user = nullptr;
    long long last_ms = 0;
    int64_t last = -1;  // the count last reported; -1 before the first report
    void update(int64_t received, int64_t expected);
    void finish(int64_t received, int64_t expected);
};

// One request in flight, as the cancellation of its transport sees it.
// `wake` interrupts the request's blocking wait; it is called with the
// gate's lock held, only while `busy`, at most once per cancellation.
struct inflight {
    inflight *prev = nullptr, *next = nullptr;
    uint64_t epoch = 0;  // the gate's epoch when the request started
    bool busy = false;   // inside a wait that `wake` can interrupt
    bool woken = false;  // `wake` was called for the current wait
    void (*wake)(inflight *) = nullptr;
};

// The cancellation state of one transport: cancel() stops every request in
// flight and makes later ones fail at once, until resume(). Each request
// records the epoch it started in; cancel() moves the epoch on, so a request
// that started before a cancel stays cancelled even when resume() follows
// before it looks. Every member may be called from any thread.
class cancel_gate {
public:
    // Registers a request; false (and nothing registered) while cancelled.
    bool enter(inflight &f);
    void leave(inflight &f);
    // True once a cancel came after the request started.
    bool cancelled(const inflight &f) const { return epoch_.load(std::memory_order_acquire) != f.epoch; }
    // Around a wait that `wake` can interrupt; begin() is false when the
    // request is cancelled already (then it must not start the wait).
    bool begin(inflight &f);
    void end(inflight &f);
    void cancel();
    void resume();

private:
    std::mutex m_;
    bool paused_ = false;
    std::atomic<uint64_t> epoch_{0};
    inflight *head_ = nullptr;
};

}  // namespace kt
