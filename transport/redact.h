// Redaction shared by the host transports: no API key may reach an error text
// or a log line, whichever HTTP stack produced the message.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common.h"

namespace kt {

// True when `p` starts with "apikey=" in any letter case.
bool starts_apikey(const char *p);

// True for a character that ends a parameter value inside a URL or a message.
bool ends_value(char c);

// Appends `s` with the value of every "apikey=" parameter replaced by "***".
void redact_into(sbuf &out, const char *s);

// Replaces every occurrence of `secret` (of `n` bytes) in `text` by "***", in
// place. Secrets shorter than 6 bytes are left alone.
void scrub(char *text, const char *secret, size_t n);

// The API key of a request URL, as sent (percent-encoded) and decoded. Both
// are scrubbed from the HTTP stack's own messages, which may quote the URL.
struct key_forms {
    char sent[512] = "";
    char plain[512] = "";
};

void find_key(const char *url, key_forms &k);

// "<method> <url><sep><what>" with every "apikey=" value redacted, both
// forms of the key scrubbed and control characters made spaces; NULL when
// memory runs out.
char *redacted_line(const char *method, const char *url, const char *sep, const char *what,
                    const key_forms &k);

// The error text of a failed request, "<method> <url>: <why>", redacted;
// a copy of `oom_text` when memory runs out.
char *error_text(const char *method, const char *url, const char *why, const key_forms &k,
                 const char *oom_text);

// A transport's log sink (kova_curl_log_fn, kova_winhttp_log_fn).
using log_fn = void (*)(void *log_user, const char *line);

// The one redacted log line of a request: "<method> <url> -> failed after
// <ms> ms: <why>", or with `why` NULL "<method> <url> -> HTTP <status>,
// <bytes> bytes, <ms> ms", followed for a redirect by ", Location: <url>"
// (`location`, absolute; NULL or "" for none), so that a host can say where
// the service wanted the request to go without following it, and by ",
// <note>" when the transport has one about the answer (a rate limit's wait).
// Nothing when `log` is NULL or memory runs out.
void log_request(log_fn log, void *log_user, const char *method, const char *url, const char *why,
                 long status, size_t bytes, long long ms, const key_forms &k, const char *location = nullptr,
                 const char *note = nullptr);

// The public redaction entry point of a transport (snprintf-like).
int32_t redact_copy(const char *text, char *out, int32_t size);

}  // namespace kt
