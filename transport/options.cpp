// The options of a host transport (see options.h).
#include "options.h"

#include "kova.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kt {

namespace {

// When neither the option nor the library names a total time-out.
constexpr int32_t k_fallback_total_ms = 100000;

void release(char *text) { free(text); }
template <class T>
void release(const T &) {}

// A secret's copy is wiped before it goes.
void wipe(char *text) {
    if (text) memset(text, 0, strlen(text));
}

bool not_negative(int64_t v, const char *name, refusal &why) {
    if (v < 0) why.say("%s is negative", name);
    return v >= 0;
}

}  // namespace

bool take_time(int32_t v, int32_t &out, refusal &why) {
    out = v;
    return not_negative(v, "timeout_ms", why);
}

bool take_connect_time(int32_t v, int32_t &out, refusal &why) {
    out = v > 0 ? v : k_default_connect_ms;
    return not_negative(v, "connect_timeout_ms", why);
}

bool take_flag(int32_t v, bool &out, refusal &) {
    out = v != 0;
    return true;
}

bool take_size_cap(int64_t v, int64_t &out, refusal &why) {
    out = v > 0 ? v : k_default_max_response;
    // The body buffer counts in size_t.
    if (sizeof(size_t) < 8 && out > 0x7fffffff) out = 0x7fffffff;
    return not_negative(v, "max_response_bytes", why);
}

bool take_file(const char *v, char *&out, refusal &) { return !v || !v[0] || (out = dup_text(v)) != nullptr; }

bool take_text(const char *v, char *&out, refusal &) { return !v || (out = dup_text(v)) != nullptr; }

bool take_agent(const char *v, char *&out, refusal &) {
    if (v) return (out = dup_text(v)) != nullptr;
    char ua[64];
    snprintf(ua, sizeof ua, "kova/%s", kova_version());
    return (out = dup_text(ua)) != nullptr;
}

bool take_base(const char *v, char *&out, refusal &) { return (out = norm_base(v)) != nullptr; }

bool take_credential(const char *v, char *&out, refusal &why) {
    if (!v || !v[0]) return true;
    for (const char *p = v; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7f) {
            why.say("a user name or password holds a control character");
            return false;
        }
    }
    return (out = dup_text(v)) != nullptr;
}

bool settings::finish(refusal &why) {
    if (password && !username) {
        why.say("a password without a username");
        return false;
    }
    if (username && strchr(username, ':')) {
        why.say("the username holds a colon, which basic authentication cannot carry");
        return false;
    }
    // One value per header: the options that set one take it whole.
    if (username && headers.has("Authorization")) {
        why.say("headers: Authorization: <redacted> is set by the username and password options");
        return false;
    }
    if (key_in_header && headers.has("X-Api-Key")) {
        why.say("headers: X-Api-Key: <redacted> is set by key_in_header");
        return false;
    }
    if (username && !(basic = basic_credentials(username, password))) return false;
    return true;
}

const char *settings::prepare(const char *url_in, key_move &moved, char *&url) const {
    url = nullptr;
    if (key_in_header) {
        if (!move_key(url_in, moved)) {
            return moved.bad_key ? "the API key holds a character a header cannot carry (a control character, a "
                                   "space or a byte beyond ASCII); nothing was sent"
                                 : nullptr;
        }
        url_in = moved.url;
    }
    url = with_base(url_base, url_in);
    if (url && basic && !allow_basic_over_http && plain_http(url)) {
        free(url);
        url = nullptr;
        return "basic authentication over plain HTTP refused: the password would cross the network in clear text "
               "(allow_basic_over_http sends it anyway); nothing was sent";
    }
    return nullptr;
}

char *settings::begin(const char *who, const char *method, const char *url_in, key_forms &keys, key_move &moved,
                      char **body_out, int32_t *status, char **error) const {
    if (body_out) *body_out = nullptr;
    if (error) *error = nullptr;
    if (status) *status = 0;
    char own[64];
    if (!url_in) {
        snprintf(own, sizeof own, "%s: no URL", who);
        if (error) *error = dup_text(own);
        return nullptr;
    }
    find_key(url_in, keys);
    snprintf(own, sizeof own, "%s: out of memory", who);
    char *url = nullptr;
    if (const char *why = prepare(url_in, moved, url)) {
        log_request(log, log_user, method, url_in, why, 0, 0, 0, keys);
        if (error) *error = error_text(method, url_in, why, keys, own);
        return nullptr;
    }
    if (!url && error) *error = dup_text(own);
    return url;
}

int32_t settings::end(const char *who, const request_end &r, const key_forms &keys, body_buf &body, int32_t *status,
                      char **body_out, char **error) const {
    if (status) *status = static_cast<int32_t>(r.status);
    char own[64];
    snprintf(own, sizeof own, "%s: out of memory", who);
    char what[128];
    const char *why = r.failure;
    if (r.cancelled) {
        why = "cancelled";
    } else if (body.nul_at != body_buf::no_nul) {
        nul_words(body.nul_at, what, sizeof what);
        why = what;
    } else if (body.too_big) {
        snprintf(what, sizeof what, "response larger than %lld bytes, refused",
                 static_cast<long long>(max_response_bytes));
        why = what;
    } else if (body.oom) {
        why = "out of memory while reading the response";
    }
    // A rate limit is a complete answer: its wait goes beside it, as the
    // error text of an exchange that took place; so does a request for
    // basic credentials, which tells a proxy's 401 from the service's.
    char note[k_basic_words_size] = "";
    if (!why && r.status == 429) rate_limit_words(r.retry_after, note, sizeof note);
    if (!why && r.status == 401) snprintf(note, sizeof note, "%s", r.basic);
    log_request(log, log_user, r.method, r.url, why, r.status, body.len, r.ms, keys, r.location, note);
    if (why) {
        if (error) *error = error_text(r.method, r.url, why, keys, own);
        return 1;
    }
    if (body_out) {
        *body_out = body.take();
        if (!*body_out) {
            if (error) *error = dup_text(own);
            return 1;
        }
    }
    if (note[0] && error) *error = error_text(r.method, r.url, note, keys, own);
    return 0;
}

settings::~settings() {
    wipe(password);
    wipe(basic);
    free(basic);
#define KT_RELEASE(kept, name, initial, rule) release(name);
    KT_OPTIONS(KT_RELEASE)
#undef KT_RELEASE
}

int32_t settings::total_ms() const {
    int32_t total = timeout_ms > 0 ? timeout_ms : kova_timeout_ms();
    return total > 0 ? total : k_fallback_total_ms;
}

int32_t settings::connect_ms(int32_t total) const { return connect_timeout_ms < total ? connect_timeout_ms : total; }

}  // namespace kt
