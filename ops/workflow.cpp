// From an IMDb id to a release list in one call: lookup, library find, add
// when absent, then the release search. Search-or-add runs it as it was
// first given; get with the choices a host needs (the root folder, a
// profile that must exist, no add, the exact episode, monitoring, a dry
// run) and a report of what it did.
#include <cstdio>
#include <cstring>

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

void get_report_free(get_report *g) {
    mem_free(g->root);
    mem_free(g->path);
    *g = get_report{};
}

namespace {
constexpr int32_t k_get_flags = KOVA_GET_NO_ADD | KOVA_GET_EXACT | KOVA_GET_MONITOR | KOVA_GET_DRY_RUN;

// The root folder text names: NULL or "" the service's first; otherwise
// one of the service's root folders, compared once both are trimmed.
// *chosen points at the service's own text.
int32_t resolve_root(context *ctx, const arr_service &s, const char *text, const char **chosen) {
    if (!present(text)) {
        if (!ctx->rootfolder || !*ctx->rootfolder)
            return fail(ctx, ERR_EMPTY, "%s: no root folder, refusing to add at '/'", s.name);
        *chosen = ctx->rootfolder;
        return OK;
    }
    int32_t i = find_root(ctx, text);
    if (i >= 0) {
        *chosen = ctx->roots.items[i].path;
        return OK;
    }
    buf_guard list;
    for (int32_t k = 0; k < ctx->roots.count; ++k) {
        if (k) strbuf_puts(&list.b, ", ");
        strbuf_puts(&list.b, ctx->roots.items[k].path);
    }
    if (list.b.oom) return fail_oom(ctx);
    return fail(ctx, ERR_INVALID_ARG, "%s get: %s is not one of %s's root folders: %s", s.name, text, s.name,
                list.b.data ? list.b.data : "none");
}
} // namespace

int32_t do_get(context *ctx, int32_t kind, const char *imdb, const char *title, int32_t season, int32_t episode,
               const char *profile, const char *root, int32_t flags) {
    get_report_free(&ctx->get);
    // A get's results are its releases or nothing: rows of an earlier call
    // must not pass for them after a dry run or a failure.
    result_set_free(&ctx->rs);
    ctx->stage = KOVA_STAGE_NONE;
    const arr_service &s = arr_service_of(kind);
    if (flags & ~k_get_flags)
        return fail(ctx, ERR_INVALID_ARG, "%s get: unknown flags 0x%x", s.name, static_cast<unsigned>(flags & ~k_get_flags));
    if (!present(imdb)) return fail(ctx, ERR_INVALID_ARG, "%s get: no IMDb id", s.name);
    const bool sonarr = kind == KOVA_SONARR;
    if (sonarr && (season < 0 || episode < 0)) return fail(ctx, ERR_INVALID_ARG, "%s get: invalid season/episode", s.name);
    const bool dry_run = (flags & KOVA_GET_DRY_RUN) != 0;

    log_clear(ctx);
    int32_t rc = sonarr ? do_sonarr_lookup(ctx, imdb, title) : do_radarr_lookup(ctx, imdb);
    if (rc != OK) return rc;
    const lookup_entry &found = ctx->lookups.entries[ctx->match];
    yyjson_val *object = found.raw;
    int32_t library_id = do_library_find(ctx, kind, found.*s.ext);
    if (library_id < 0) return library_id;
    ctx->get.library_id = library_id;

    if (library_id == 0) {
        if (flags & KOVA_GET_NO_ADD) return fail(ctx, ERR_NOT_FOUND, "%s get: not in the library", s.name);
        // Root and profile are settled before arming is asked for, so that
        // a wrong one is refused as such, armed or not.
        rc = fetch_root(ctx, kind);
        if (rc != OK) return rc;
        rc = fetch_profiles(ctx, kind);
        if (rc != OK) return rc;
        const char *chosen_root = nullptr;
        rc = resolve_root(ctx, s, root, &chosen_root);
        if (rc != OK) return rc;
        int32_t chosen_profile = 0;
        char who[32];
        snprintf(who, sizeof who, "%s get", s.name);
        rc = find_profile(ctx, who, profile, &chosen_profile);
        if (rc != OK) return rc;
        log_append(ctx, s.log_set_qp, "Set up quality profile to %d", chosen_profile);
        ctx->get.root = text_dup(chosen_root);
        ctx->get.path = add_folder(object, chosen_root, imdb);
        if (!ctx->get.root || !ctx->get.path) return fail_oom(ctx);
        ctx->get.profile_id = chosen_profile;
        if (dry_run) {
            ctx->get.added = 1;
            return OK;
        }
        rc = check_armed(ctx);
        if (rc != OK) return rc;
        add_monitoring monitoring;
        monitoring.on = (flags & KOVA_GET_MONITOR) != 0;
        monitoring.season = season;
        library_id = add_from_lookup(ctx, kind, object, chosen_root, chosen_profile, imdb, monitoring);
        if (library_id < 0) return library_id;
        ctx->get.library_id = library_id;
        ctx->get.added = 1;
    }
    if (dry_run) return OK;
    if (!sonarr) return do_radarr_releases(ctx, library_id);
    bool fallback = false;
    rc = do_sonarr_releases(ctx, library_id, season, episode, (flags & KOVA_GET_EXACT) != 0, &fallback);
    ctx->get.fallback = fallback ? 1 : 0;
    return rc;
}

} // namespace kova
