// The settings of Sonarr and Radarr that an add needs: root folders,
// quality profiles and Sonarr v3's language profiles.
#include "parse/parse.h"

namespace kova {

char *read_first_root(yyjson_val *folders) {
    return val_str(obj_iget(yyjson_arr_get_first(folders), "path"), nullptr);
}

void root_list_free(root_list *l) {
    for (int32_t i = 0; i < l->count; ++i) mem_free(l->items[i].path);
    mem_free(l->items);
    *l = root_list{};
}

int32_t read_root_folders(diagnostics *diag, yyjson_val *folders, root_list *out) {
    *out = root_list{};
    size_t n = yyjson_arr_size(folders);
    size_t cap = n < 1 ? 1 : (n > max_roots ? max_roots : n);
    out->items = static_cast<root_folder *>(mem_calloc(cap, sizeof(root_folder)));
    if (!out->items) return fail_oom(diag);
    size_t idx, max;
    yyjson_val *el;
    yyjson_arr_foreach(folders, idx, max, el) {
        if (out->count >= max_roots) break;
        yyjson_val *path = obj_iget(el, "path");
        if (!path || yyjson_is_null(path) || yyjson_is_arr(path) || yyjson_is_obj(path)) continue;
        char *text = val_str(path, nullptr);
        if (!text) return fail_oom(diag);
        int64_t space;
        root_folder &f = out->items[out->count++];
        f.path = text;
        f.free_space = val_int(obj_iget(el, "freeSpace"), &space) && space >= 0 ? space : -1;
    }
    return OK;
}

void profile_list_free(profile_list *p) {
    for (int32_t i = 0; i < p->count; ++i) mem_free(p->names[i]);
    mem_free(p->names);
    mem_free(p->ids);
    *p = profile_list{};
}

int32_t read_profiles(diagnostics *diag, yyjson_val *profiles, profile_list *out) {
    *out = profile_list{};
    size_t n = yyjson_arr_size(profiles);
    size_t cap = n < 1 ? 1 : (n > max_profiles ? max_profiles : n);
    out->ids = static_cast<int32_t *>(mem_calloc(cap, sizeof(int32_t)));
    out->names = static_cast<char **>(mem_calloc(cap, sizeof(char *)));
    if (!out->ids || !out->names) return fail_oom(diag);
    size_t idx, max;
    yyjson_val *el;
    yyjson_arr_foreach(profiles, idx, max, el) {
        if (out->count >= max_profiles) break;
        int64_t id;
        if (!yyjson_is_obj(el) || !val_int(obj_iget(el, "id"), &id)) continue;
        char *name = val_str(obj_iget(el, "name"), nullptr);
        if (!name) return fail_oom(diag);
        out->ids[out->count] = static_cast<int32_t>(id);
        out->names[out->count] = name;
        ++out->count;
    }
    return OK;
}

bool read_first_profile(yyjson_val *profiles, int32_t *id, const char **name) {
    size_t idx, max;
    yyjson_val *el;
    yyjson_arr_foreach(profiles, idx, max, el) {
        if (!read_id(obj_iget(el, "id"), id)) continue;
        yyjson_val *v = obj_iget(el, "name");
        *name = yyjson_is_str(v) ? yyjson_get_str(v) : "";
        return true;
    }
    return false;
}

} // namespace kova
