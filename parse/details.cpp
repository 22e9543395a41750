// What Sonarr and Radarr say about a release beyond the row's fields: its
// quality, whether the service would take it and why not, its languages,
// its custom format score, protocol and indexer. Read from the row's own
// object when a host asks, as tolerantly as the row's fields (members in any
// letter case, numbers and booleans as texts or numbers), so that parsing a
// large Jackett answer pays nothing for them.
#include <cstring>

#include "parse/parse.h"

namespace kova {

namespace {
bool from_releases(const result_set &rs) { return rs.answer == answer_kind::releases; }
// Prowlarr's rows carry a protocol and an indexer id in the same members.
bool names_its_indexer(const result_set &rs) {
    return rs.answer == answer_kind::releases || rs.answer == answer_kind::prowlarr;
}

// The text of a string value; null for anything else.
const char *str_of(yyjson_val *v) { return yyjson_is_str(v) ? unsafe_yyjson_get_str(v) : nullptr; }

// One rejection's text: a text as it is, or an object's "message"; null
// for anything else or an empty text.
const char *rejection_text(yyjson_val *v) {
    const char *t = str_of(yyjson_is_obj(v) ? obj_iget(v, "message") : v);
    return t && *t ? t : nullptr;
}

// The name of a language object, or of a language given as a text.
const char *language_name(yyjson_val *v) {
    const char *t = str_of(yyjson_is_obj(v) ? obj_iget(v, "name") : v);
    return t && *t ? t : nullptr;
}
} // namespace

const char *release_quality(const result_set &rs, const result_row &r) {
    if (!from_releases(rs)) return empty_text;
    const char *name = str_of(obj_iget(obj_iget(obj_iget(r.raw, "quality"), "quality"), "name"));
    return name ? name : empty_text;
}

int32_t release_resolution(const result_set &rs, const result_row &r) {
    int64_t v;
    if (!from_releases(rs) || !val_int(obj_iget(obj_iget(obj_iget(r.raw, "quality"), "quality"), "resolution"), &v))
        return 0;
    return v > 0 ? clamp32(v) : 0;
}

int32_t release_approved(const result_set &rs, const result_row &r) {
    if (!from_releases(rs)) return -1;
    yyjson_val *v = obj_iget(r.raw, "approved");
    if (yyjson_is_bool(v)) return yyjson_get_bool(v) ? 1 : 0;
    if (const char *t = str_of(v)) {
        if (ieq(t, "true")) return 1;
        if (ieq(t, "false")) return 0;
    }
    int64_t n;
    if (!yyjson_is_str(v) && val_int(v, &n) && (n == 0 || n == 1)) return static_cast<int32_t>(n);
    return -1;
}

int32_t release_rejection_count(const result_set &rs, const result_row &r) {
    if (!from_releases(rs)) return 0;
    int32_t n = 0;
    size_t idx, max;
    yyjson_val *e;
    yyjson_arr_foreach(obj_iget(r.raw, "rejections"), idx, max, e) n += rejection_text(e) != nullptr;
    return n;
}

const char *release_rejection(const result_set &rs, const result_row &r, int32_t j) {
    if (!from_releases(rs) || j < 0) return empty_text;
    size_t idx, max;
    yyjson_val *e;
    yyjson_arr_foreach(obj_iget(r.raw, "rejections"), idx, max, e) {
        const char *t = rejection_text(e);
        if (t && j-- == 0) return t;
    }
    return empty_text;
}

namespace {
// The names of a release's languages joined with ", "; null when memory ran
// out.
char *joined_languages(const result_row &r) {
    buf_guard out;
    // Sonarr v4 and Radarr: an array of language objects; Sonarr v3: one.
    yyjson_val *list = obj_iget(r.raw, "languages");
    if (yyjson_is_arr(list)) {
        size_t idx, max;
        yyjson_val *e;
        yyjson_arr_foreach(list, idx, max, e) {
            const char *name = language_name(e);
            if (!name) continue;
            if (out.b.len) strbuf_puts(&out.b, ", ");
            strbuf_puts(&out.b, name);
        }
    } else if (const char *name = language_name(obj_iget(r.raw, "language"))) {
        strbuf_puts(&out.b, name);
    }
    if (out.b.oom) return nullptr;
    if (!out.b.data) return text_dup("");
    char *text = out.b.data;
    out.b = strbuf{};
    return text;
}
} // namespace

const char *release_languages(result_set &rs, int32_t i) {
    if (!from_releases(rs) || i < 0 || i >= rs.row_count) return empty_text;
    if (!rs.languages) {
        rs.languages = static_cast<char **>(mem_calloc(static_cast<size_t>(rs.row_count), sizeof(char *)));
        if (!rs.languages) return empty_text;
        rs.languages_size = rs.row_count;
    }
    if (i >= rs.languages_size) return empty_text;
    if (!rs.languages[i]) rs.languages[i] = joined_languages(rs.rows[i]);
    return rs.languages[i] ? rs.languages[i] : empty_text;
}

int32_t release_custom_format_score(const result_set &rs, const result_row &r) {
    int64_t v;
    if (!from_releases(rs) || !val_int(obj_iget(r.raw, "customFormatScore"), &v)) return 0;
    return clamp32(v);
}

const char *release_protocol(const result_set &rs, const result_row &r) {
    static constexpr const char k_torrent[] = "torrent", k_usenet[] = "usenet";
    if (rs.answer == answer_kind::jackett) return k_torrent;
    if (!names_its_indexer(rs)) return empty_text;
    yyjson_val *v = obj_iget(r.raw, "protocol");
    if (const char *t = str_of(v)) {
        if (ieq(t, k_torrent)) return k_torrent;
        if (ieq(t, k_usenet)) return k_usenet;
    }
    // The services' older answers number it: 1 usenet, 2 torrent; a number
    // given as a text ("2") reads as that number, as for every other member.
    int64_t n;
    if (val_int(v, &n)) return n == 1 ? k_usenet : n == 2 ? k_torrent : empty_text;
    return empty_text;
}

int32_t release_indexer_id(const result_set &rs, const result_row &r) {
    int64_t v;
    if (!names_its_indexer(rs) || !val_int(obj_iget(r.raw, "indexerId"), &v) || v < 0) return -1;
    return clamp32(v);
}

bool release_grab_keys(const result_row &r, yyjson_val **guid, yyjson_val **indexer) {
    *guid = obj_iget(r.raw, "guid");
    *indexer = obj_iget(r.raw, "indexerId");
    int32_t id;
    return yyjson_is_str(*guid) && yyjson_get_len(*guid) > 0 && read_id(*indexer, &id);
}

yyjson_val *member_at_path(yyjson_val *obj, const char *path) {
    if (!path || !*path) return nullptr;
    yyjson_val *v = obj;
    char key[256];
    for (const char *p = path;;) {
        const char *dot = strchr(p, '.');
        size_t n = dot ? static_cast<size_t>(dot - p) : strlen(p);
        if (n == 0 || n >= sizeof key) return nullptr;
        memcpy(key, p, n);
        key[n] = '\0';
        if (yyjson_is_arr(v)) {
            // An array's element by its index: digits only.
            size_t i = 0;
            for (size_t k = 0; k < n; ++k) {
                if (key[k] < '0' || key[k] > '9' || i > SIZE_MAX / 10 - 1) return nullptr;
                i = i * 10 + static_cast<size_t>(key[k] - '0');
            }
            v = yyjson_arr_get(v, i);
        } else {
            v = obj_iget(v, key);
        }
        if (!v || !dot) return v;
        p = dot + 1;
    }
}

} // namespace kova
