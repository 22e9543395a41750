// Library adds: a series to Sonarr, a film to Radarr. The request body is the
// service's own lookup object with a fixed set of members replaced, so the
// library never invents an item's description.
#include <cstdio>
#include <cstring>

#include "core/kova_internal.h"
#include "ops/ops.h"

namespace {
struct add_kind {
    const char *id_key;
    const char *path;
    const char *label;
    const char *log_key;
    const char *log_fmt;
};
constexpr add_kind k_sonarr_add = {"tvdbId", "/api/v3/series", "add series", "SonarrV3_Series_Add",
                                   "Adding series details to library for %s and tvdbId is %d"};
constexpr add_kind k_radarr_add = {"tmdbId", "/api/v3/movie", "add movie", "RadarrV3_Movie_Add",
                                   "Adding movie details to library for %s and tmdbid is %d"};

constexpr const char *k_not_armed = "library writes are not armed (kova_arm_library_writes)";

bool replaced_member(const char *key, size_t len, bool sonarr) {
    static constexpr const char *common[] = {"path", "rootFolderPath", "qualityProfileId", "monitored", "addOptions"};
    static constexpr const char *series_only[] = {"seasonFolder", "monitorNewItems"};
    for (const char *k : common)
        if (strlen(k) == len && memcmp(k, key, len) == 0) return true;
    if (sonarr)
        for (const char *k : series_only)
            if (strlen(k) == len && memcmp(k, key, len) == 0) return true;
    return false;
}

// Length of a root folder once trailing backslashes, then trailing slashes,
// are removed (the rule of trim_root, without copying).
size_t trimmed_len(const char *root) {
    size_t n = strlen(root);
    while (n > 0 && root[n - 1] == '\\') --n;
    while (n > 0 && root[n - 1] == '/') --n;
    return n;
}

// Every season object ends with "monitored": false, so adding a series never
// starts monitoring (and downloading) any of its seasons.
bool unmonitor_seasons(yyjson_mut_doc *doc, yyjson_mut_val *obj) {
    yyjson_mut_obj_iter it;
    yyjson_mut_obj_iter_init(obj, &it);
    yyjson_mut_val *key;
    while ((key = yyjson_mut_obj_iter_next(&it))) {
        if (yyjson_mut_get_len(key) != 7 || memcmp(yyjson_mut_get_str(key), "seasons", 7) != 0) continue;
        yyjson_mut_val *seasons = yyjson_mut_obj_iter_get_val(key);
        if (!yyjson_mut_is_arr(seasons)) return true;
        size_t idx, max;
        yyjson_mut_val *season;
        yyjson_mut_arr_foreach(seasons, idx, max, season) {
            if (!yyjson_mut_is_obj(season)) continue;
            yyjson_mut_obj_remove_key(season, "monitored");
            if (!yyjson_mut_obj_add_bool(doc, season, "monitored", false)) return false;
        }
        return true;
    }
    return true;
}

// The request body as compact JSON, or null when memory ran out (a body with
// members missing is never sent) or when a text from the caller (the root
// folder) is not valid UTF-8, which sets *bad_text.
char *build_body(yyjson_val *object, bool sonarr, const char *folder, const char *root, size_t root_len,
                 int32_t profile, bool *bad_text) {
    *bad_text = false;
    mut_doc_guard doc(yyjson_mut_doc_new(&kova_alc));
    if (!doc.doc) return nullptr;
    yyjson_mut_val *out = yyjson_mut_obj(doc.doc);
    if (!out) return nullptr;
    yyjson_mut_doc_set_root(doc.doc, out);

    size_t idx, max;
    yyjson_val *key, *val;
    yyjson_obj_foreach(object, idx, max, key, val) {
        if (replaced_member(yyjson_get_str(key), yyjson_get_len(key), sonarr)) continue;
        yyjson_mut_val *k = yyjson_val_mut_copy(doc.doc, key);
        yyjson_mut_val *v = yyjson_val_mut_copy(doc.doc, val);
        if (!k || !v || !yyjson_mut_obj_add(out, k, v)) return nullptr;
    }

    bool ok = yyjson_mut_obj_add_strcpy(doc.doc, out, "path", folder) &&
              yyjson_mut_obj_add_strncpy(doc.doc, out, "rootFolderPath", root, root_len) &&
              yyjson_mut_obj_add_int(doc.doc, out, "qualityProfileId", profile) &&
              yyjson_mut_obj_add_bool(doc.doc, out, "monitored", false);
    if (ok && sonarr)
        ok = yyjson_mut_obj_add_bool(doc.doc, out, "seasonFolder", true) &&
             yyjson_mut_obj_add_str(doc.doc, out, "monitorNewItems", "none");
    yyjson_mut_val *opts = ok ? yyjson_mut_obj_add_obj(doc.doc, out, "addOptions") : nullptr;
    if (!opts) return nullptr;
    if (sonarr)
        ok = yyjson_mut_obj_add_str(doc.doc, opts, "monitor", "none") &&
             yyjson_mut_obj_add_bool(doc.doc, opts, "searchForMissingEpisodes", false) &&
             yyjson_mut_obj_add_bool(doc.doc, opts, "searchForCutoffUnmetEpisodes", false) &&
             unmonitor_seasons(doc.doc, out);
    else
        ok = yyjson_mut_obj_add_bool(doc.doc, opts, "searchForMovie", false) &&
             yyjson_mut_obj_add_str(doc.doc, opts, "monitor", "none");
    if (!ok) return nullptr;
    yyjson_write_err err;
    char *text = yyjson_mut_write_opts(doc.doc, 0, &kova_alc, nullptr, &err);
    *bad_text = !text && err.code == YYJSON_WRITE_ERROR_INVALID_STRING;
    return text;
}
} // namespace

int32_t add_from_lookup(kova_ctx *ctx, int32_t kind, yyjson_val *object, const char *root, int32_t profile,
                        const char *suffix) {
    const char *name = kova_svc_name(kind);
    const add_kind &ak = kind == 1 ? k_sonarr_add : k_radarr_add;
    if (!ctx->armed) return kova_fail(ctx, ERR_NOT_ARMED, "%s", k_not_armed);
    if (!yyjson_is_obj(object)) return kova_fail(ctx, ERR_NOT_FOUND, "%s add: no lookup object", name);
    // A root that trims to nothing ("/", "\\") would add the item at the top
    // of the service's file system: refused like a missing root.
    size_t root_len = root ? trimmed_len(root) : 0;
    if (root_len == 0) return kova_fail(ctx, ERR_INVALID_ARG, "%s add: empty root folder (F11)", name);
    if (profile < 1) return kova_fail(ctx, ERR_INVALID_ARG, "%s add: invalid quality profile id", name);
    int32_t id;
    if (!read_id(kova_obj_iget(object, ak.id_key), &id))
        return kova_fail(ctx, ERR_NOT_FOUND, "%s add: lookup object has no %s", name, ak.id_key);

    yyjson_val *clean = kova_obj_iget(object, "cleanTitle");
    const char *folder_name = yyjson_is_str(clean) && yyjson_get_len(clean) > 0 ? yyjson_get_str(clean) : "untitled";
    size_t cap = strlen(folder_name) + root_len + (suffix ? strlen(suffix) : 0) + 4;
    text_guard folder(static_cast<char *>(kova_malloc(cap)));
    if (!folder.p) return kova_oom(ctx);
    if (present(suffix))
        snprintf(folder.p, cap, "%.*s/%s-%s", static_cast<int>(root_len), root, folder_name, suffix);
    else
        snprintf(folder.p, cap, "%.*s/%s", static_cast<int>(root_len), root, folder_name);

    bool bad_text;
    text_guard body(build_body(object, kind == 1, folder.p, root, root_len, profile, &bad_text));
    if (bad_text) return kova_fail(ctx, ERR_INVALID_ARG, "%s add: root folder is not valid UTF-8", name);
    if (!body.p) return kova_oom(ctx);
    kova_logf(ctx, ak.log_key, ak.log_fmt, folder_name, id);

    char query[48];
    if (kind == 1) snprintf(query, sizeof query, "tvdbId=%d", static_cast<int>(id));
    char *answer = nullptr;
    int32_t rc = kova_http(ctx, kind, 1, ak.path, kind == 1 ? query : nullptr, body.p, ak.label, &answer);
    body.reset(nullptr);
    text_guard answer_g(answer);
    if (rc != OK) return rc;
    bool oom;
    doc_guard doc(kova_json_read(answer, strlen(answer), &oom));
    answer_g.reset(nullptr);
    if (oom) return kova_oom(ctx);
    yyjson_val *v = yyjson_doc_get_root(doc.doc);
    if (yyjson_is_arr(v)) v = yyjson_arr_get_first(v);
    int32_t new_id;
    if (read_id(kova_obj_iget(v, "id"), &new_id)) return new_id;
    return kova_fail(ctx, ERR_JSON, "%s add: the answer carries no id", name);
}

int32_t kova_do_sonarr_add(kova_ctx *ctx, int32_t tvdb, const char *root, int32_t profile) {
    if (!ctx->armed) return kova_fail(ctx, ERR_NOT_ARMED, "%s", k_not_armed);
    if (tvdb < 1 || !present(root) || profile < 1)
        return kova_fail(ctx, ERR_INVALID_ARG, "Sonarr add: invalid tvdb id / root / profile");
    char term[48];
    snprintf(term, sizeof term, "tvdb:%d", static_cast<int>(tvdb));
    char *body = nullptr;
    int32_t rc = sonarr_term(ctx, term, &body);
    if (rc != OK) {
        kova_free(body);
        return rc;
    }
    rc = lk_parse(ctx, body, 1);
    if (rc != OK) return rc;
    for (int32_t i = 0; i < ctx->lookup_count; ++i) {
        const kova_lookup &e = ctx->lookup[i];
        if (e.tvdb != tvdb) continue;
        if (e.library_id > 0)
            return kova_fail(ctx, ERR_INVALID_ARG, "Sonarr add: series is already in the library (id %d)",
                             e.library_id);
        return add_from_lookup(ctx, 1, e.raw, root, profile, e.imdb);
    }
    return kova_fail(ctx, ERR_NOT_FOUND, "Sonarr add: tvdb id not found");
}

int32_t kova_do_radarr_add(kova_ctx *ctx, int32_t tmdb, const char *root, int32_t profile) {
    if (!ctx->armed) return kova_fail(ctx, ERR_NOT_ARMED, "%s", k_not_armed);
    if (tmdb < 1 || !present(root) || profile < 1)
        return kova_fail(ctx, ERR_INVALID_ARG, "Radarr add: invalid tmdb id / root / profile");
    char query[48];
    snprintf(query, sizeof query, "tmdbId=%d", static_cast<int>(tmdb));
    char *body = nullptr;
    int32_t rc = kova_http(ctx, 2, 0, "/api/v3/movie/lookup/tmdb", query, nullptr, "movie lookup", &body);
    if (rc != OK) {
        bool missing = radarr_not_found(ctx, rc, body);
        kova_free(body);
        if (missing) return kova_fail(ctx, ERR_NOT_FOUND, "Radarr add: tmdb id not found");
        return rc;
    }
    rc = lk_parse(ctx, body, 2);
    if (rc != OK) return rc;
    if (ctx->lookup_count == 0 || ctx->lookup[0].tmdb != tmdb)
        return kova_fail(ctx, ERR_NOT_FOUND, "Radarr add: tmdb id not found");
    const kova_lookup &e = ctx->lookup[0];
    if (e.library_id > 0)
        return kova_fail(ctx, ERR_INVALID_ARG, "Radarr add: movie is already in the library (id %d)", e.library_id);
    return add_from_lookup(ctx, 2, e.raw, root, profile, e.imdb);
}

int32_t kova_qp_pick(kova_ctx *ctx, const char *text) {
    if (ctx->qp_count <= 0) return -1;
    if (present(text)) {
        char num[16];
        for (int32_t i = 0; i < ctx->qp_count; ++i) {
            snprintf(num, sizeof num, "%d", static_cast<int>(ctx->qp_ids[i]));
            if (strcmp(num, text) == 0) return ctx->qp_ids[i];
        }
        for (int32_t i = 0; i < ctx->qp_count; ++i)
            if (ctx->qp_names[i] && strcmp(ctx->qp_names[i], text) == 0) return ctx->qp_ids[i];
    }
    return ctx->qp_ids[0];
}
