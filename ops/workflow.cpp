// Search-or-add: from an IMDb id to a release list in one call. Lookup,
// library find, add when absent, then the release search.
#include "ops/ops.h"

namespace kova {

int32_t do_search_or_add(context *ctx, int32_t kind, const char *imdb, const char *title, int32_t season,
                              int32_t episode, const char *profile) {
    int32_t rc = check_armed(ctx);
    if (rc != OK) return rc;
    if (!present(imdb)) return fail(ctx, ERR_INVALID_ARG, "search_or_add: no IMDb id");
    const bool sonarr = kind == KOVA_SONARR;
    if (sonarr && (season < 0 || episode < 0))
        return fail(ctx, ERR_INVALID_ARG, "search_or_add: invalid season/episode");

    log_clear(ctx);
    rc = sonarr ? do_sonarr_lookup(ctx, imdb, title) : do_radarr_lookup(ctx, imdb);
    if (rc != OK) return rc;
    const arr_service &s = arr_service_of(kind);
    const lookup_entry &found = ctx->lookups.entries[ctx->match];
    const int32_t external = found.*s.ext;
    yyjson_val *object = found.raw;

    int32_t library_id = do_library_find(ctx, kind, external);
    if (library_id < 0) return library_id;
    if (library_id == 0) {
        rc = fetch_root(ctx, kind);
        if (rc != OK) return rc;
        rc = fetch_profiles(ctx, kind);
        if (rc != OK) return rc;
        if (!ctx->rootfolder || !*ctx->rootfolder)
            return fail(ctx, ERR_EMPTY, "%s: no root folder, refusing to add at '/' (F11)", s.name);
        int32_t chosen = profile_pick(ctx, profile);
        if (chosen <= 0) return fail(ctx, ERR_EMPTY, "%s: no quality profile (F12)", s.name);
        log_append(ctx, s.log_set_qp, "Set up quality profile to %d", chosen);
        text_guard root(text_dup(ctx->rootfolder));
        if (!root.p) return fail_oom(ctx);
        library_id = add_from_lookup(ctx, kind, object, root.p, chosen, imdb);
        if (library_id < 0) return library_id;
    }
    return sonarr ? do_sonarr_releases(ctx, library_id, season, episode)
                  : do_radarr_releases(ctx, library_id);
}

} // namespace kova
