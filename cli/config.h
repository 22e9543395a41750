// The kova command-line host's configuration file: one JSON object with one
// settings object per service, in the shape the settings validation reads,
// plus the transport's options.
//
//   {
//     "Jackett": {"Host": "192.168.1.5", "APIKey": "...", "Port": "9117"},
//     "Sonarr":  {"Host": "media.lan", "APIKey": "...", "UseHttps": "true",
//                 "Port": 443, "UrlBase": "/sonarr", "CAFile": "/etc/ssl/lan-ca.pem"},
//     "Radarr":  {"Host": "media.lan", "APIKey": "...", "Insecure": true},
//     "TimeoutMs": 30000,
//     "Proxy": ""
//   }
#pragma once

#include <cstdint>
#include <string>

namespace cfg {

struct Service {
    bool present = false;
    std::string host, api_key, url_base, ca_file, id;
    bool https = false;
    bool insecure = false;
    int32_t port = 0;        // 0: the service's default
    std::string port_text;   // as written, for the settings validation
};

struct Config {
    Service svc[3];          // by service kind
    int32_t timeout_ms = 0;  // 0: the library's default
    bool has_proxy = false;
    std::string proxy;
    std::string path;        // the file that was read, or would have been
    bool found = false;      // a file was read
    bool loose_mode = false; // readable by other users (it holds API keys); never on Windows
};

// The file to read: `explicit_path`, else $KOVA_CONFIG, else the platform's
// place (sys::default_config_path).
std::string locate(const std::string &explicit_path);

// Reads the file. A missing file is an error only when it was named
// explicitly (--config or $KOVA_CONFIG); otherwise the configuration is empty.
// Returns false with a message in `err`.
bool load(const std::string &explicit_path, Config &out, std::string &err);

}  // namespace cfg
