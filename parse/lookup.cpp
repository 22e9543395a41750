// Sonarr's and Radarr's lookup answers: the items a search term or an
// external id found, each with the ids and names the operations need and
// its own object, which an add sends back.
#include <cstring>

#include "parse/parse.h"

namespace kova {

namespace {
// The low 32 bits of an integer member, 0 when it is none.
int32_t low32(yyjson_val *v) {
    int64_t n;
    return val_int(v, &n) ? static_cast<int32_t>(n) : 0;
}

// Fills one entry; its texts stay null when memory runs out.
int32_t fill_entry(diagnostics *diag, lookup_entry *e, yyjson_val *obj) {
    e->raw = obj;
    e->title = val_str(obj_iget(obj, "title"), nullptr);
    e->clean_title = val_str(obj_iget(obj, "cleanTitle"), nullptr);
    e->imdb = val_str(obj_iget(obj, "imdbId"), nullptr);
    e->tvdb = low32(obj_iget(obj, "tvdbId"));
    e->tmdb = low32(obj_iget(obj, "tmdbId"));
    e->year = low32(obj_iget(obj, "year"));
    e->library_id = low32(obj_iget(obj, "id"));
    if (!e->title || !e->clean_title || !e->imdb) return fail_oom(diag);
    return OK;
}
} // namespace

const char *lookup_folder_name(yyjson_val *object) {
    yyjson_val *clean = obj_iget(object, "cleanTitle");
    return yyjson_is_str(clean) && yyjson_get_len(clean) > 0 ? yyjson_get_str(clean) : "untitled";
}

bool lookup_external_id(yyjson_val *object, const char *key, int32_t *id) { return read_id(obj_iget(object, key), id); }

bool lookup_language_profile(yyjson_val *object, int32_t *id) {
    return read_id(obj_iget(object, "languageProfileId"), id);
}

void lookup_list_free(lookup_list *l) {
    for (int32_t i = 0; i < l->count; ++i) {
        mem_free(l->entries[i].title);
        mem_free(l->entries[i].clean_title);
        mem_free(l->entries[i].imdb);
    }
    mem_free(l->entries);
    yyjson_doc_free(l->doc);
    *l = lookup_list{};
}

int32_t parse_lookup(diagnostics *diag, const char *service, const char *text, lookup_list *out) {
    *out = lookup_list{};
    bool oom;
    out->doc = answer_read(diag, text, text ? strlen(text) : 0, &oom);
    if (oom) return fail_oom(diag);
    yyjson_val *root = yyjson_doc_get_root(out->doc);
    if (yyjson_is_obj(root)) {
        out->entries = static_cast<lookup_entry *>(mem_calloc(1, sizeof(lookup_entry)));
        if (!out->entries) return fail_oom(diag);
        // The entry counts even when filling it runs out of memory: its texts
        // are then null, which the accessors read as "".
        out->count = 1;
        return fill_entry(diag, &out->entries[0], root);
    }
    if (!yyjson_is_arr(root)) return fail(diag, ERR_JSON, "%s lookup: not JSON", service);
    size_t n = yyjson_arr_size(root);
    size_t cap = n < 1 ? 1 : (n > max_lookup ? max_lookup : n);
    out->entries = static_cast<lookup_entry *>(mem_calloc(cap, sizeof(lookup_entry)));
    if (!out->entries) return fail_oom(diag);
    size_t idx, max;
    yyjson_val *el;
    yyjson_arr_foreach(root, idx, max, el) {
        if (!yyjson_is_obj(el)) continue;
        if (out->count >= max_lookup) break;
        int32_t rc = fill_entry(diag, &out->entries[out->count++], el);
        if (rc != OK) return rc;
    }
    return OK;
}

} // namespace kova
