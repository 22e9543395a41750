#include "config.h"

#include <yyjson.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <span>
#include <strings.h>

#include "sys.h"

namespace cfg {

using cli::k_service_count;
using cli::k_services;

const char k_template[] =
    "{\n"
    "  \"_comment\": [\n"
    "    \"kova's configuration. Keep the services you use and delete the others.\",\n"
    "    \"Url: the address you open the service at in a browser, with the path it has\",\n"
    "    \"behind a reverse proxy: http://192.168.1.5:9117 or https://media.lan/sonarr.\",\n"
    "    \"APIKey: the service's API key (where to find it: each service's _comment).\",\n"
    "    \"Optional per service: \\\"Insecure\\\": true (no TLS certificate check, for a\",\n"
    "    \"self-signed certificate on a network you trust), \\\"CAFile\\\": the PEM file of\",\n"
    "    \"the CA that signed its certificate. Behind a reverse proxy that asks for them:\",\n"
    "    \"\\\"Headers\\\": {\\\"X-Proxy-Token\\\": \\\"...\\\"}, \\\"Username\\\" and \\\"Password\\\" (over\",\n"
    "    \"https://). At the top level: \\\"TimeoutMs\\\" (each request), \\\"Proxy\\\".\",\n"
    "    \"Members whose names start with _ are notes.\",\n"
    "    \"Then run: kova config check. All members: kova config --help.\"\n"
    "  ],\n"
    "  \"Jackett\": {\n"
    "    \"_comment\": \"APIKey: the API Key at the top of Jackett's dashboard\",\n"
    "    \"Url\": \"http://localhost:9117\",\n"
    "    \"APIKey\": \"\"\n"
    "  },\n"
    "  \"Sonarr\": {\n"
    "    \"_comment\": \"APIKey: Sonarr's Settings > General > Security > API Key\",\n"
    "    \"Url\": \"http://localhost:8989\",\n"
    "    \"APIKey\": \"\"\n"
    "  },\n"
    "  \"Radarr\": {\n"
    "    \"_comment\": \"APIKey: Radarr's Settings > General > Security > API Key\",\n"
    "    \"Url\": \"http://localhost:7878\",\n"
    "    \"APIKey\": \"\"\n"
    "  },\n"
    "  \"Prowlarr\": {\n"
    "    \"_comment\": \"instead of Jackett, or beside it. APIKey: Prowlarr's Settings > General > Security > API Key\",\n"
    "    \"Url\": \"http://localhost:9696\",\n"
    "    \"APIKey\": \"\"\n"
    "  }\n"
    "}\n";

namespace {

// The members a service object and the top level know, in the order the
// warnings list them: at the top level, the services' sections first.
const char *const k_service_members[] = {"Url", "APIKey", "Host", "Port", "UseHttps", "UrlBase", "Insecure", "CAFile",
                                         "Headers", "Username", "Password", "AllowBasicOverHttp", "KeyInHeader",
                                         "ID", "Service"};
const char *const k_top_settings[] = {"TimeoutMs", "Proxy"};
constexpr auto k_top_members = [] {
    std::array<const char *, k_service_count + std::size(k_top_settings)> names{};
    size_t n = 0;
    for (const auto &svc : k_services) names[n++] = svc.section;
    for (const char *name : k_top_settings) names[n++] = name;
    return names;
}();
// The members that make up an address, which "Url" gives in one.
const char *const k_address_parts[] = {"Host", "Port", "UseHttps", "UrlBase"};

// Names people write for a member that are too far from it for the edit
// distance to find.
const struct {
    const char *written, *meant;
} k_aliases[] = {
    {"BaseUrl", "UrlBase"}, {"Hostname", "Host"}, {"Address", "Url"}, {"Key", "APIKey"},
    {"Token", "APIKey"},    {"Https", "UseHttps"},  {"SSL", "UseHttps"}, {"Timeout", "TimeoutMs"},
    {"Path", "UrlBase"},    {"User", "Username"},   {"Login", "Username"},
    {"Pass", "Password"},
};

std::string lower(std::string s) {
    for (char &c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// Edit distance (insertions, deletions, substitutions and swaps of two
// neighbours), ignoring letter case: "Radar" is 1 from "Radarr", "Hots" 1
// from "Host".
size_t distance(const std::string &a_in, const std::string &b_in) {
    std::string a = lower(a_in), b = lower(b_in);
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

}  // namespace

const char *nearest(const std::string &name, std::span<const char *const> known) {
    for (const auto &a : k_aliases) {
        if (strcasecmp(name.c_str(), a.written) != 0) continue;
        for (const char *k : known)
            if (strcmp(k, a.meant) == 0) return k;
    }
    const char *best = nullptr;
    size_t best_d = 4;
    for (const char *k : known) {
        size_t d = distance(name, k);
        if (d < best_d && d * 2 <= name.size()) {
            best = k;
            best_d = d;
        }
    }
    return best;
}

namespace {

bool known_name(const char *name, std::span<const char *const> known) {
    for (const char *k : known)
        if (strcasecmp(name, k) == 0) return true;
    return false;
}

// A member by exact key, then ignoring letter case.
yyjson_val *member(yyjson_val *obj, const char *key) {
    if (yyjson_val *v = yyjson_obj_get(obj, key)) return v;
    size_t i, n;
    yyjson_val *k, *v;
    yyjson_obj_foreach(obj, i, n, k, v) {
        if (strcasecmp(yyjson_get_str(k), key) == 0) return v;
    }
    return nullptr;
}

// Warns of each member of `obj` that is neither known nor a note.
void check_members(yyjson_val *obj, std::span<const char *const> known, const std::string &where,
                   std::vector<std::string> &warnings) {
    size_t i, n;
    yyjson_val *k, *v;
    yyjson_obj_foreach(obj, i, n, k, v) {
        const char *name = yyjson_get_str(k);
        if (name[0] == '_' || known_name(name, known)) continue;
        if (where.empty() && yyjson_is_obj(v) && member(v, "Service")) continue;  // an instance of a service
        std::string w = where.empty() ? name : where + "." + name;
        bool section = where.empty() && yyjson_is_obj(v);
        w += section ? ": unknown section, ignored" : ": unknown member, ignored";
        if (const char *near = nearest(name, known)) {
            w += std::string("; did you mean ") + near + "?";
        } else {
            w += " (known:";
            for (size_t j = 0; j < known.size(); ++j) w += std::string(j ? ", " : " ") + known[j];
            w += ")";
        }
        warnings.push_back(w);
    }
}

bool given(yyjson_val *obj, const char *key) {
    yyjson_val *v = member(obj, key);
    return v && !yyjson_is_null(v);
}

bool text(yyjson_val *obj, const char *key, std::string &out, std::string &err, const std::string &where) {
    yyjson_val *v = member(obj, key);
    if (!v || yyjson_is_null(v)) return true;
    if (!yyjson_is_str(v)) {
        err = where + "." + key + " must be a text";
        return false;
    }
    out = yyjson_get_str(v);
    return true;
}

// true/false, or the texts "true"/"false" the settings objects use.
bool flag(yyjson_val *obj, const char *key, bool &out, std::string &err, const std::string &where) {
    yyjson_val *v = member(obj, key);
    if (!v || yyjson_is_null(v)) return true;
    if (yyjson_is_bool(v)) {
        out = yyjson_get_bool(v);
        return true;
    }
    if (yyjson_is_str(v)) {
        const char *s = yyjson_get_str(v);
        if (strcasecmp(s, "true") == 0) { out = true; return true; }
        if (strcasecmp(s, "false") == 0 || !s[0]) { out = false; return true; }
    }
    err = where + "." + key + " must be true or false";
    return false;
}

// A number or a decimal text, within [lo, hi]; absent or "" leaves `out`.
bool number(yyjson_val *obj, const char *key, int32_t lo, int32_t hi, int32_t &out, std::string *as_text,
            std::string &err, const std::string &where) {
    yyjson_val *v = member(obj, key);
    if (!v || yyjson_is_null(v)) return true;
    long long n = 0;
    if (yyjson_is_int(v)) {
        n = yyjson_get_sint(v);
    } else if (yyjson_is_str(v)) {
        const char *s = yyjson_get_str(v);
        if (!s[0]) return true;
        char *end = nullptr;
        errno = 0;
        n = strtoll(s, &end, 10);
        if (errno || *end || end == s) {
            err = where + "." + key + " must be a whole number";
            return false;
        }
    } else {
        err = where + "." + key + " must be a whole number";
        return false;
    }
    if (n < lo || n > hi) {
        err = where + "." + key + " is out of range (" + std::to_string(lo) + " to " + std::to_string(hi) + ")";
        return false;
    }
    out = static_cast<int32_t>(n);
    if (as_text) *as_text = std::to_string(n);
    return true;
}

// "Headers": {"Name": "value", ...}, in the file's order. What makes a
// header unfit to send (its name, a line break in its value, a header the
// transport writes itself) is the transport's to say: the configuration's
// loader asks it (cli::load_configuration).
bool headers(yyjson_val *obj, Service &s, std::string &err, const std::string &where) {
    yyjson_val *v = member(obj, "Headers");
    if (!v || yyjson_is_null(v)) return true;
    const std::string shape = where + ".Headers must be an object of header names and values, as texts: "
                                      "{\"X-Proxy-Token\": \"...\"}";
    if (!yyjson_is_obj(v)) {
        err = shape;
        return false;
    }
    size_t i, n;
    yyjson_val *k, *value;
    yyjson_obj_foreach(v, i, n, k, value) {
        if (!yyjson_is_str(value)) {
            err = shape + "; \"" + yyjson_get_str(k) + "\" is not a text";
            return false;
        }
        s.headers.emplace_back(yyjson_get_str(k), yyjson_get_str(value));
    }
    return true;
}

bool read_service(yyjson_val *obj, int kind, Service &s, std::vector<std::string> &warnings, std::string &err,
                  const std::string &where) {
    s.kind = kind;
    s.name = where;
    if (!yyjson_is_obj(obj)) {
        err = where + " must be an object";
        return false;
    }
    s.present = true;
    check_members(obj, k_service_members, where, warnings);
    std::string url;
    bool ok = text(obj, "Url", url, err, where) && text(obj, "APIKey", s.api_key, err, where) &&
              flag(obj, "Insecure", s.insecure, err, where) && text(obj, "CAFile", s.ca_file, err, where) &&
              text(obj, "ID", s.id, err, where) && headers(obj, s, err, where) &&
              text(obj, "Username", s.username, err, where) && text(obj, "Password", s.password, err, where) &&
              flag(obj, "AllowBasicOverHttp", s.allow_basic_over_http, err, where) &&
              flag(obj, "KeyInHeader", s.key_in_header, err, where);
    if (!ok) return false;
    if (!s.api_key.empty()) s.key_from = From::file;
    if (!s.username.empty()) s.username_from = From::file;
    if (!s.password.empty()) s.password_from = From::file;
    if (given(obj, "Url")) {
        for (const char *part : k_address_parts) {
            if (given(obj, part)) {
                err = where + ": give either \"Url\" or its parts (Host, Port, UseHttps, UrlBase), not both; \"" +
                      part + "\" is there along with \"Url\"";
                return false;
            }
        }
        std::string note;
        if (!read_url(url, kind, s, err, note, where + ".Url")) return false;
        if (!note.empty()) warnings.push_back(note);
        s.address_from = From::file;
        return true;
    }
    ok = text(obj, "Host", s.host, err, where) && flag(obj, "UseHttps", s.https, err, where) &&
         number(obj, "Port", 1, 65535, s.port, &s.port_text, err, where) &&
         text(obj, "UrlBase", s.url_base, err, where);
    if (!ok || (!s.host.empty() && !check_host(s.host, err, where))) return false;
    if (!s.host.empty()) s.address_from = From::file;
    return true;
}

// The sections that name their service ("Radarr4K": {"Service": "Radarr",
// ...}): more instances of it, under their own names, in the file's order.
bool read_instances(yyjson_val *root, Config &out, std::string &err) {
    size_t i, n;
    yyjson_val *k, *v;
    yyjson_obj_foreach(root, i, n, k, v) {
        const char *name = yyjson_get_str(k);
        yyjson_val *which = yyjson_is_obj(v) ? member(v, "Service") : nullptr;
        if (!which) {
            for (const auto &svc : k_services)
                if (strcasecmp(name, svc.section) == 0) out.order.push_back({svc.kind, -1});
            continue;
        }
        int kind = -1;
        for (const auto &svc : k_services)
            if (yyjson_is_str(which) && strcasecmp(yyjson_get_str(which), svc.section) == 0) kind = svc.kind;
        if (kind < 0) {
            err = std::string(name) + ".Service must name a service: Jackett, Sonarr, Radarr or Prowlarr";
            return false;
        }
        // The section named after the service is its default instance.
        if (strcasecmp(name, cli::service(kind).section) == 0) {
            out.order.push_back({kind, -1});
            continue;
        }
        for (const auto &known : out.named)
            if (strcasecmp(known.name.c_str(), name) == 0) {
                err = std::string(name) + ": a second instance of that name";
                return false;
            }
        Service s;
        if (!read_service(v, kind, s, out.warnings, err, name)) return false;
        out.order.push_back({kind, static_cast<int>(out.named.size())});
        out.named.push_back(s);
    }
    return true;
}

// What the environment says over the file.
bool read_env(Config &out, std::string &err) {
    for (const auto &svc : k_services) {
        Service &s = out.svc[svc.kind];
        std::string url = sys::env(svc.env_url), key = sys::env(svc.env_key);
        if (!url.empty()) {
            Service fresh = s;  // the file's key, TLS settings and ID stay
            fresh.host.clear();
            fresh.url_base.clear();
            fresh.port = 0;
            fresh.port_text.clear();
            std::string note;
            if (!read_url(url, svc.kind, fresh, err, note, svc.env_url)) return false;
            if (!note.empty()) out.warnings.push_back(note);
            s = fresh;
            s.present = true;
            s.address_from = From::env;
        }
        if (!key.empty()) {
            s.api_key = key;
            s.present = true;
            s.key_from = From::env;
        }
        // Credentials alone configure nothing: they go with the address
        // and key of the file or of the variables above.
        if (std::string user = sys::env(svc.env_user); !user.empty()) {
            s.username = user;
            s.username_from = From::env;
        }
        if (std::string password = sys::env(svc.env_password); !password.empty()) {
            s.password = password;
            s.password_from = From::env;
        }
        s.kind = svc.kind;
        s.name = svc.section;
        bool listed = false;
        for (const auto &o : out.order) listed = listed || (o.kind == svc.kind && o.named < 0);
        if (s.present && !listed) out.order.push_back({svc.kind, -1});
    }
    return true;
}

// Basic credentials go with every request: over plain http a password
// would cross the network in clear text. The transport would refuse each
// request; refused here, the setting to change is named before anything
// runs.
bool check_credentials(const Config &c, std::string &err) {
    for (const auto &i : c.order) {
        const Service &s = c.of(i);
        if (!s.has_credentials() || s.host.empty() || s.https || s.allow_basic_over_http) continue;
        err = s.name + ": its Username and Password would cross the network in clear text to " + address(s, i.kind) +
              " (plain http): give its https:// address, or, on a network you trust (a proxy on this machine), "
              "set \"AllowBasicOverHttp\": true in its section of " + c.path;
        return false;
    }
    return true;
}

}  // namespace

std::string redact_proxy(const std::string &proxy) {
    size_t start = proxy.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    size_t at = proxy.find('@', start), slash = proxy.find('/', start);
    if (at == std::string::npos || (slash != std::string::npos && slash < at)) return proxy;
    size_t colon = proxy.find(':', start);
    if (colon == std::string::npos || colon > at) return proxy;
    return proxy.substr(0, colon + 1) + "***" + proxy.substr(at);
}

std::string locate(const std::string &explicit_path, Source &source) {
    if (!explicit_path.empty()) {
        source = Source::option;
        return explicit_path;
    }
    std::string env = sys::env("KOVA_CONFIG");
    if (!env.empty()) {
        source = Source::env;
        return env;
    }
    source = Source::default_place;
    return sys::default_config_path();
}

bool load(const std::string &explicit_path, Config &out, std::string &err) {
    out = Config{};
    out.path = locate(explicit_path, out.source);
    bool named = out.source != Source::default_place;

    std::string text;
    if (!sys::file_exists(out.path, out.loose_mode)) {
        // No file yet: only the environment may configure services.
        if (!named && errno == ENOENT) return read_env(out, err) && check_credentials(out, err);
        err = "cannot read " + out.path + ": " + strerror(errno);
        return false;
    }
    if (!sys::read_file(out.path, text)) {
        err = "cannot read " + out.path + ": " + strerror(errno);
        return false;
    }

    yyjson_read_err rerr{};
    // People write this file by hand: comments and trailing commas are fine.
    yyjson_doc *doc = yyjson_read_opts(text.data(), text.size(),
                                       YYJSON_READ_ALLOW_COMMENTS | YYJSON_READ_ALLOW_TRAILING_COMMAS,
                                       nullptr, &rerr);
    if (!doc) {
        err = out.path + ": " + (rerr.msg ? rerr.msg : "unreadable") + " at byte " + std::to_string(rerr.pos);
        return false;
    }
    yyjson_val *root = yyjson_doc_get_root(doc);
    bool ok = yyjson_is_obj(root);
    if (!ok) err = "the configuration must be a JSON object";
    if (ok) check_members(root, k_top_members, "", out.warnings);
    for (const auto &svc : k_services) {
        if (!ok) break;
        if (yyjson_val *s = member(root, svc.section))
            ok = read_service(s, svc.kind, out.svc[svc.kind], out.warnings, err, svc.section);
    }
    if (ok) ok = read_instances(root, out, err);
    if (ok) ok = number(root, "TimeoutMs", 1, 86400000, out.timeout_ms, nullptr, err, "config");
    if (ok) {
        yyjson_val *p = member(root, "Proxy");
        if (p && yyjson_is_str(p)) {
            out.has_proxy = true;
            out.proxy = yyjson_get_str(p);
        } else if (p && !yyjson_is_null(p)) {
            err = "config.Proxy must be a text";
            ok = false;
        }
    }
    if (!ok) err = out.path + ": " + err;
    for (auto &w : out.warnings) w = out.path + ": " + w;
    yyjson_doc_free(doc);
    out.found = ok;
    return ok && read_env(out, err) && check_credentials(out, err);
}

}  // namespace cfg
