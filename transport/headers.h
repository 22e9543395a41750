// What a host transport adds to a request's headers beyond what its HTTP
// stack writes: the host's own headers, basic credentials and the API key.
// Each is checked once, when the transport is created (or, for the key, when
// the request's URL is known), the same way on every platform, so that a
// header is either sent exactly as given or refused with a reason.
#pragma once

#include <cstddef>

namespace kt {

// Why an option was refused, in words for the host's log; the first reason
// given is kept.
struct refusal {
    char text[256] = "";
    bool given() const { return text[0] != '\0'; }
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    void say(const char *fmt, ...);
};

// One header of the host's, split and trimmed: "X-Token:  abc " is
// {"X-Token", "abc"}.
struct header_line {
    char *name = nullptr;
    char *value = nullptr;
};

// The host's extra headers, copied and checked.
struct header_list {
    header_line *lines = nullptr;
    size_t count = 0;
    header_list() = default;
    header_list(const header_list &) = delete;
    header_list &operator=(const header_list &) = delete;
    ~header_list();
    // Whether a header of that name (any letter case) is among them.
    bool has(const char *name) const;
};

// The most lines and the longest line the headers option takes: a header
// block is a few lines, not a document.
constexpr size_t k_max_header_lines = 64;
constexpr size_t k_max_header_line = 8192;

// Takes the headers option, a NULL-terminated array of "Name: value" lines
// (NULL: none), into `out`. False with a reason for a line that is not
// "Name: value", a name that is empty or holds anything but a token's
// characters (CR and LF among them), a value that holds a control character
// (CR, LF) or a byte beyond ASCII, a header the transport writes itself
// (Host, Content-Length, Transfer-Encoding, ...), or too many or too long
// lines; false without one when memory runs out. A value never appears in a
// reason: the header reads "Name: <redacted>".
bool take_headers(const char *const *lines, header_list &out, refusal &why);

// The Authorization value of basic credentials, "Basic <base64 of
// user:password>", malloc'd; NULL when memory runs out.
char *basic_credentials(const char *user, const char *password);

// True for a URL whose scheme is plain http.
bool plain_http(const char *url);

// The API key of a request moved from its URL to a header. Sonarr, Radarr
// and Prowlarr read the key from X-Api-Key on their API paths (/api/v3/,
// /api/v1/); Jackett's results and Torznab paths (/api/v2.0/) take only the
// query parameter, and keep it, as does any other path.
struct key_move {
    char *url = nullptr;  // the URL to request, without apikey= when moved
    char *key = nullptr;  // the key as the header carries it (decoded); NULL: not moved
    bool bad_key = false; // the key holds what no header can carry
    key_move() = default;
    key_move(const key_move &) = delete;
    key_move &operator=(const key_move &) = delete;
    ~key_move();
};

// Fills `m` for `url`: moved when the path is an API path of a service that
// reads X-Api-Key and the query holds an apikey parameter. False when memory
// runs out or the decoded key holds a control character, a space or a byte
// beyond ASCII (`bad_key`), which a header cannot carry as it is.
bool move_key(const char *url, key_move &m);

}  // namespace kt
