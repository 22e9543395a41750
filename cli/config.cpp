#include "config.h"

#include <yyjson.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "sys.h"

namespace cfg {
namespace {

const char *k_names[3] = {"Jackett", "Sonarr", "Radarr"};

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

bool read_service(yyjson_val *obj, Service &s, std::string &err, const std::string &where) {
    if (!yyjson_is_obj(obj)) {
        err = where + " must be an object";
        return false;
    }
    s.present = true;
    return text(obj, "Host", s.host, err, where) && text(obj, "APIKey", s.api_key, err, where) &&
           flag(obj, "UseHttps", s.https, err, where) &&
           number(obj, "Port", 1, 65535, s.port, &s.port_text, err, where) &&
           text(obj, "UrlBase", s.url_base, err, where) && flag(obj, "Insecure", s.insecure, err, where) &&
           text(obj, "CAFile", s.ca_file, err, where) && text(obj, "ID", s.id, err, where);
}

}  // namespace

std::string locate(const std::string &explicit_path) {
    if (!explicit_path.empty()) return explicit_path;
    std::string env = sys::env("KOVA_CONFIG");
    if (!env.empty()) return env;
    return sys::default_config_path();
}

bool load(const std::string &explicit_path, Config &out, std::string &err) {
    out = Config{};
    out.path = locate(explicit_path);
    bool named = !explicit_path.empty() || !sys::env("KOVA_CONFIG").empty();

    std::string text;
    if (!sys::file_exists(out.path, out.loose_mode)) {
        if (!named && errno == ENOENT) return true;  // no file yet: nothing configured
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
    if (!ok) err = out.path + ": the configuration must be a JSON object";
    for (int k = 0; ok && k < 3; ++k) {
        if (yyjson_val *s = member(root, k_names[k])) ok = read_service(s, out.svc[k], err, k_names[k]);
    }
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
    if (!ok && err.rfind(out.path, 0) != 0) err = out.path + ": " + err;
    yyjson_doc_free(doc);
    out.found = ok;
    return ok;
}

}  // namespace cfg
