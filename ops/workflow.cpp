// Search-or-add: from an IMDb id to a release list in one call. Lookup,
// library find, add when absent, then the release search.
#include "ops/ops.h"

int32_t kova_do_search_or_add(kova_ctx *ctx, int32_t kind, const char *imdb, const char *title, int32_t season,
                              int32_t episode, const char *profile) {
    int32_t rc = check_armed(ctx);
    if (rc != OK) return rc;
    if (!present(imdb)) return kova_fail(ctx, ERR_INVALID_ARG, "search_or_add: no IMDb id");
    const bool sonarr = kind == KOVA_SONARR;
    if (sonarr && (season < 0 || episode < 0))
        return kova_fail(ctx, ERR_INVALID_ARG, "search_or_add: invalid season/episode");

    kova_log_clear(ctx);
    rc = sonarr ? kova_do_sonarr_lookup(ctx, imdb, title) : kova_do_radarr_lookup(ctx, imdb);
    if (rc != OK) return rc;
    const arr_service &s = arr_service_of(kind);
    const kova_lookup &found = ctx->lookup[ctx->match];
    const int32_t external = found.*s.ext;
    yyjson_val *object = found.raw;

    int32_t library_id = kova_do_library_find(ctx, kind, external);
    if (library_id < 0) return library_id;
    if (library_id == 0) {
        rc = fetch_root(ctx, kind);
        if (rc != OK) return rc;
        rc = fetch_profiles(ctx, kind);
        if (rc != OK) return rc;
        if (!ctx->rootfolder || !*ctx->rootfolder)
            return kova_fail(ctx, ERR_EMPTY, "%s: no root folder, refusing to add at '/' (F11)", s.name);
        int32_t chosen = kova_qp_pick(ctx, profile);
        if (chosen <= 0) return kova_fail(ctx, ERR_EMPTY, "%s: no quality profile (F12)", s.name);
        kova_logf(ctx, s.log_set_qp, "Set up quality profile to %d", chosen);
        text_guard root(kova_strdup(ctx->rootfolder));
        if (!root.p) return kova_oom(ctx);
        library_id = add_from_lookup(ctx, kind, object, root.p, chosen, imdb);
        if (library_id < 0) return library_id;
    }
    return sonarr ? kova_do_sonarr_releases(ctx, library_id, season, episode)
                  : kova_do_radarr_releases(ctx, library_id);
}
