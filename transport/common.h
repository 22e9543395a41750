// What every host transport does around a request, whatever its HTTP stack:
// owned output texts, the capped body buffer, the URL base, the clock.
#ifndef KOVA_TRANSPORT_COMMON_H
#define KOVA_TRANSPORT_COMMON_H

#include <cstddef>

namespace kova_transport {

// A malloc'd copy of `s` (the outputs handed to the library are malloc'd);
// NULL for NULL or when memory runs out.
char *dup_text(const char *s);

// A growable byte buffer with a hard cap, for response bodies.
struct body_buf {
    char *data = nullptr;
    size_t len = 0;
    size_t cap = 0;
    size_t limit = 0;      // most bytes accepted
    bool too_big = false;  // the answer went over `limit`
    bool oom = false;
    body_buf() = default;
    body_buf(const body_buf &) = delete;
    body_buf &operator=(const body_buf &) = delete;
    ~body_buf();
    bool append(const char *p, size_t n);
    // Hands the body over as a NUL-terminated malloc'd text ("" when empty).
    char *take();
};

// A URL base option as stored: "sonarr/" -> "/sonarr"; NULL, "" or "/" -> "".
// NULL when memory runs out.
char *norm_base(const char *s);

// The request URL with a normalised URL base inserted after
// scheme://host:port; NULL when memory runs out.
char *with_base(const char *url_base, const char *url);

// A monotonic clock in milliseconds.
long long now_ms();

}  // namespace kova_transport

#endif  // KOVA_TRANSPORT_COMMON_H
