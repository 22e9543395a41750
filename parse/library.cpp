// What Sonarr and Radarr answer about their libraries: the item with an
// external id, a series' episodes, the id of an item just added, and the
// array answers those come in.
#include <cstring>

#include "parse/parse.h"

namespace kova {

namespace {
bool int_equals(yyjson_val *v, int64_t want) {
    int64_t n;
    return val_int(v, &n) && n == want;
}
} // namespace

bool read_id(yyjson_val *v, int32_t *out) {
    int64_t n;
    if (!val_int(v, &n) || n < 1 || n > 2147483646) return false;
    *out = static_cast<int32_t>(n);
    return true;
}

int32_t parse_array(diagnostics *diag, const char *service, const char *label, const char *text, yyjson_doc **doc,
                    yyjson_val **arr) {
    *arr = nullptr;
    bool oom;
    *doc = answer_read(diag, text, text ? strlen(text) : 0, &oom);
    if (oom) return fail_oom(diag);
    yyjson_val *root = yyjson_doc_get_root(*doc);
    if (!yyjson_is_arr(root)) return fail(diag, ERR_JSON, "%s %s: not a JSON array", service, label);
    *arr = root;
    return OK;
}

int32_t find_library_id(yyjson_val *items, const char *ext_key, int32_t ext_id) {
    size_t idx, max;
    yyjson_val *el;
    yyjson_arr_foreach(items, idx, max, el) {
        int32_t lib;
        if (yyjson_is_obj(el) && int_equals(obj_iget(el, ext_key), ext_id) && read_id(obj_iget(el, "id"), &lib))
            return lib;
    }
    return 0;
}

int32_t find_episode_id(yyjson_val *episodes, int32_t season, int32_t episode) {
    size_t idx, max;
    yyjson_val *el;
    yyjson_arr_foreach(episodes, idx, max, el) {
        int32_t id;
        if (int_equals(obj_iget(el, "episodeNumber"), episode) && int_equals(obj_iget(el, "seasonNumber"), season) &&
            read_id(obj_iget(el, "id"), &id))
            return id;
    }
    return 0;
}

int32_t parse_added_id(diagnostics *diag, const char *text, int32_t *id) {
    *id = 0;
    bool oom;
    doc_guard doc(answer_read(diag, text, text ? strlen(text) : 0, &oom));
    if (oom) return fail_oom(diag);
    yyjson_val *v = yyjson_doc_get_root(doc.doc);
    if (yyjson_is_arr(v)) v = yyjson_arr_get_first(v);
    return read_id(obj_iget(v, "id"), id) ? OK : ERR_NOT_FOUND;
}

} // namespace kova
