// The kova command-line host's configuration: one JSON file with one
// settings object per service, in the shape the settings validation reads,
// plus the transport's options; environment variables over it.
//
//   {
//     "Jackett": {"Url": "http://192.168.1.5:9117", "APIKey": "..."},
//     "Sonarr":  {"Host": "media.lan", "APIKey": "...", "UseHttps": "true",
//                 "Port": 443, "UrlBase": "/sonarr", "CAFile": "/etc/ssl/lan-ca.pem"},
//     "Radarr":  {"Url": "https://media.lan/radarr", "APIKey": "...", "Insecure": true},
//     "Prowlarr": {"Url": "https://media.lan/prowlarr", "APIKey": "...",
//                  "Headers": {"X-Proxy-Token": "..."}, "Username": "me", "Password": "..."},
//     "TimeoutMs": 30000,
//     "Proxy": ""
//   }
//
// A service's address is either "Url", as a browser shows it, or its parts
// Host, Port, UseHttps, UrlBase; a file that gives both for one service is
// refused, since no order of precedence between them would be obvious.
// Members whose name starts with "_" are notes (the template explains itself
// with them) and are skipped; any other unknown member is a warning naming
// the nearest known one.
//
// KOVA_<SERVICE>_URL and KOVA_<SERVICE>_API_KEY (SERVICE: JACKETT, SONARR,
// RADARR, PROWLARR; the environment variables of cli::k_services) replace the
// file's address and key of that service's default instance; they may
// configure a service the file does not have, or configure it with no file.
// KOVA_<SERVICE>_USERNAME and KOVA_<SERVICE>_PASSWORD replace its Username
// and Password, so that a password need not sit in the file.
//
// Behind a reverse proxy a service may take "Headers" (an object of header
// names and values, sent with every request), "Username" and "Password"
// (HTTP basic authentication, which the transport refuses over plain http
// unless "AllowBasicOverHttp" is true: the loader refuses it first, naming
// the setting), and "KeyInHeader" (default true: Sonarr's, Radarr's and
// Prowlarr's API key travels as X-Api-Key, out of the proxy's access log).
//
// A section may be another instance of a service under its own name, when
// it says which service it is: "Radarr4K": {"Service": "Radarr", "Url": ...}.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "services.h"

namespace cfg {

// Where a setting came from.
enum class From { none, file, env };

struct Service {
    bool present = false;    // the file or the environment names the service
    std::string host, api_key, url_base, ca_file, id;
    bool https = false;
    bool insecure = false;
    int32_t port = 0;        // 0: the service's default
    std::string port_text;   // as written, for the settings validation
    std::string url;         // the Url (or KOVA_<SERVICE>_URL) as the library reads it; "" with Host
    From address_from = From::none;
    From key_from = From::none;
    // What a reverse proxy in front of the service asks for: its headers
    // (name, value, in the file's order), basic credentials.
    std::vector<std::pair<std::string, std::string>> headers;
    std::string username, password;
    From username_from = From::none;
    From password_from = From::none;
    bool allow_basic_over_http = false;
    bool key_in_header = true;  // the API key as X-Api-Key where the service reads it there
    int kind = -1;           // KOVA_JACKETT ...
    std::string name;        // its section: "Radarr", or an instance's own name ("Radarr4K")
    // Whether one transport serves both: the same options from the file.
    bool same_transport(const Service &o) const {
        return insecure == o.insecure && ca_file == o.ca_file && headers == o.headers && username == o.username &&
               password == o.password && allow_basic_over_http == o.allow_basic_over_http &&
               key_in_header == o.key_in_header;
    }
    bool has_credentials() const { return !username.empty() || !password.empty(); }
};

// An instance in the file's order: the default instance of a service (its
// section named after it), or one of Config::named.
struct Instance {
    int kind;
    int named;  // index in Config::named; -1 for the default instance
};

// How the file was chosen.
enum class Source { option, env, default_place };

struct Config {
    Service svc[cli::k_service_count];  // the default instance of each service, by kind
    std::vector<Service> named;         // the sections that name their service: other instances
    std::vector<Instance> order;        // every instance given, in the file's order (the environment's last)
    const Service &of(const Instance &i) const { return i.named < 0 ? svc[i.kind] : named[static_cast<size_t>(i.named)]; }
    int32_t timeout_ms = 0;  // 0: the library's default
    bool has_proxy = false;
    std::string proxy;
    std::string path;        // the file that was read, or would have been
    Source source = Source::default_place;
    bool found = false;      // a file was read
    bool loose_mode = false; // readable by other users (it holds API keys); never on Windows
    // What the loader ignored or left out, each saying where it was:
    // "FILE: Radar: unknown section, ignored; did you mean Radarr?".
    std::vector<std::string> warnings;
    bool any_service() const {
        for (const auto &s : svc)
            if (s.present) return true;
        return false;
    }
};

// The file to read: `explicit_path`, else $KOVA_CONFIG, else the platform's
// place (sys::default_config_path); `source` says which.
std::string locate(const std::string &explicit_path, Source &source);

// Reads the file, then the environment. A missing file is an error only
// when it was named explicitly (--config or $KOVA_CONFIG); otherwise the
// configuration holds what the environment gives. Returns false with a
// message in `err`.
bool load(const std::string &explicit_path, Config &out, std::string &err);

// Addresses (address.cpp).
// Reads a service's address as a browser shows it, "https://host:port/base",
// through the library (kova_configure_url): scheme http or https, a host
// ([IPv6] in brackets), an optional port (default: the scheme's, 80 or 443,
// as in the browser) and an optional path, which becomes the URL base. Sets
// host, port, port_text, https, url_base and url (the address as the
// library reads it) of `s`. Returns false with the reason in `err`
// (starting with `where` and the text); a part it leaves out on purpose
// (Jackett's dashboard page) is a note in `warning`.
bool read_url(const std::string &text, int kind, Service &s, std::string &err, std::string &warning,
              const std::string &where);

// A Host that holds more than a host (a scheme, a path, brackets, a port):
// the library would only call it invalid, so `err` says what to write
// instead. `where` is the service's section.
bool check_host(const std::string &host, std::string &err, const std::string &where);

// The address of a service as one URL: scheme://host:port/base (an IPv6
// host in brackets, the service's default port when none is set).
std::string address(const Service &s, int kind);

// The known name `name` most likely stands for (a member, a section, a
// command); nullptr when none is close: at most three edits, and no more
// than half the name's length (so "Timout" finds "TimeoutMs", and "X"
// nothing).
const char *nearest(const std::string &name, std::span<const char *const> known);

// A proxy URL with its password, if any, shown as "***".
std::string redact_proxy(const std::string &proxy);

// The file `kova config init` writes: JSON that explains itself in "_comment"
// members, which load() skips.
extern const char k_template[];

}  // namespace cfg
