// Redaction shared by the host transports: "apikey=<value>" becomes
// "apikey=***" in any letter case, and the raw key is scrubbed from texts that
// the HTTP stack wrote itself.
#include "redact.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kt {

bool starts_apikey(const char *p) {
    static const char k[] = "apikey=";
    for (size_t i = 0; i < sizeof k - 1; ++i)
        if (tolower(static_cast<unsigned char>(p[i])) != k[i]) return false;
    return true;
}

bool ends_value(char c) {
    return c == '\0' || c == '&' || c == '#' || c == '"' || c == '\'' || c == ';' || c == ',' ||
           isspace(static_cast<unsigned char>(c));
}

void redact_into(sbuf &out, const char *s) {
    while (*s) {
        if (starts_apikey(s)) {
            out.put(s, 7);
            s += 7;
            while (!ends_value(*s)) ++s;
            out.puts("***");
            continue;
        }
        out.put(s, 1);
        ++s;
    }
}

// Keys shorter than 6 bytes are left to the "apikey=" rule alone: scrubbing
// them would mangle ordinary words of the message (real keys are 32
// characters).
void scrub(char *text, const char *secret, size_t n) {
    if (!text || n < 6) return;
    char *p;
    while ((p = strstr(text, secret)) != nullptr) {
        // Replace by "***" and close the gap.
        size_t tail = strlen(p + n);
        memcpy(p, "***", 3);
        memmove(p + 3, p + n, tail + 1);
        text = p + 3;
    }
}

void find_key(const char *url, key_forms &k) {
    const char *q = strchr(url, '?');
    if (!q) return;
    for (const char *p = q + 1; *p; ++p) {
        if ((p == q + 1 || p[-1] == '&') && starts_apikey(p)) {
            p += 7;
            size_t n = 0;
            while (!ends_value(p[n]) && n < sizeof k.sent - 1) {
                k.sent[n] = p[n];
                ++n;
            }
            k.sent[n] = '\0';
            percent_decode(k.sent, n, k.plain, sizeof k.plain);
            return;
        }
    }
}

char *redacted_line(const char *method, const char *url, const char *sep, const char *what,
                    const key_forms &k) {
    sbuf b;
    b.puts(method);
    b.puts(" ");
    redact_into(b, url);
    b.puts(sep);
    redact_into(b, what);
    char *text = b.take();
    if (!text) return nullptr;
    scrub(text, k.sent, strlen(k.sent));
    scrub(text, k.plain, strlen(k.plain));
    // Whatever an HTTP stack quoted of the server's words, a terminal that
    // shows the line reads no escape sequence and no forged line in it.
    for (char *p = text; *p; ++p)
        if (static_cast<unsigned char>(*p) < 0x20 || *p == 0x7f) *p = ' ';
    return text;
}

char *error_text(const char *method, const char *url, const char *why, const key_forms &k,
                 const char *oom_text) {
    char *text = redacted_line(method, url, ": ", why, k);
    if (text) return text;
    size_t n = strlen(oom_text);
    text = static_cast<char *>(malloc(n + 1));
    if (text) memcpy(text, oom_text, n + 1);
    return text;
}

void log_request(log_fn log, void *log_user, const char *method, const char *url, const char *why,
                 long status, size_t bytes, long long ms, const key_forms &k, const char *location,
                 const char *note) {
    if (!log) return;
    char head[160];
    sbuf outcome;
    if (why) {
        snprintf(head, sizeof head, "failed after %lld ms: ", ms);
        outcome.puts(head);
        outcome.puts(why);
    } else {
        snprintf(head, sizeof head, "HTTP %ld, %llu bytes, %lld ms", status,
                 static_cast<unsigned long long>(bytes), ms);
        outcome.puts(head);
        if (location && location[0]) {
            outcome.puts(", Location: ");
            outcome.puts(location);
        }
        if (note && note[0]) {
            outcome.puts(", ");
            outcome.puts(note);
        }
    }
    if (outcome.oom) return;
    char *text = redacted_line(method, url, " -> ", outcome.data, k);
    if (!text) return;
    log(log_user, text);
    free(text);
}

int32_t redact_copy(const char *text, char *out, int32_t size) {
    sbuf b;
    redact_into(b, text ? text : "");
    size_t n = b.data ? b.len : 0;
    if (out && size > 0) {
        size_t c = n < static_cast<size_t>(size) - 1 ? n : static_cast<size_t>(size) - 1;
        if (c) memcpy(out, b.data, c);
        out[c] = '\0';
    }
    return n > 0x7fffffff ? 0x7fffffff : static_cast<int32_t>(n);
}

}  // namespace kt
