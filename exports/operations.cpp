// Operation entry points: each one the call frame around one operation.
#include <cstring>

#include "exports/frame.h"

namespace {
enum parse_kind { parse_jackett = 0, parse_releases = 1 };

// Parses an answer the host fetched itself into the context's result set.
int32_t parse_into(const char *text, parse_kind kind) {
    kova_ctx *ctx = kova_frame_begin();
    kova_rset_free(&ctx->rs);
    ctx->stage = 0;
    if (!text) return kova_frame_end(kova_fail(ctx, ERR_INVALID_ARG, "NULL input"));
    kova_rset fresh{};
    size_t len = strlen(text);
    int32_t rc = kind == parse_jackett ? kova_rset_parse_jackett(ctx, &fresh, text, len)
                                       : kova_rset_parse_arr(ctx, &fresh, text, len);
    if (rc != OK) {
        kova_rset_free(&fresh);
        return kova_frame_end(rc);
    }
    ctx->rs = fresh;
    if (kind == parse_jackett) return kova_frame_end(kova_rset_classify(ctx));
    if (ctx->rs.row_count == 0) return kova_frame_end(kova_fail(ctx, ERR_EMPTY, "no releases"));
    return kova_frame_end(OK);
}

int32_t not_armed(kova_ctx *ctx) {
    return kova_fail(ctx, ERR_NOT_ARMED, "library writes are not armed (kova_arm_library_writes)");
}
} // namespace

extern "C" {

KOVA_API int32_t kova_jackett_test(void) { return kova_frame_end(kova_do_jackett_test(kova_frame_begin())); }
KOVA_API int32_t kova_sonarr_test(void) { return kova_frame_end(kova_do_arr_test(kova_frame_begin(), 1)); }
KOVA_API int32_t kova_radarr_test(void) { return kova_frame_end(kova_do_arr_test(kova_frame_begin(), 2)); }

KOVA_API int32_t kova_parse_torznab_indexers(const char *xml) {
    kova_ctx *ctx = kova_frame_begin();
    kova_rset_free(&ctx->rs);
    ctx->stage = 0;
    kova_rset fresh{};
    int32_t rc = kova_torznab_parse(ctx, &fresh, xml);
    if (rc != OK) {
        kova_rset_free(&fresh);
        return kova_frame_end(rc);
    }
    ctx->rs = fresh;
    return kova_frame_end(OK);
}

KOVA_API int32_t kova_jackett_search_imdb(const char *imdb_id, const char *title, const char *query) {
    return kova_frame_end(kova_do_jackett_search(kova_frame_begin(), imdb_id, title, query));
}

KOVA_API int32_t kova_jackett_search_query(const char *query) {
    kova_ctx *ctx = kova_frame_begin();
    if (!query || !*query) {
        kova_rset_free(&ctx->rs);
        ctx->stage = 0;
        return kova_frame_end(kova_fail(ctx, ERR_INVALID_ARG, "Jackett search: empty query"));
    }
    return kova_frame_end(kova_do_jackett_search(ctx, nullptr, nullptr, query));
}

KOVA_API int32_t kova_parse_jackett(const char *json) { return parse_into(json, parse_jackett); }

KOVA_API int32_t kova_sonarr_lookup(const char *imdb_id, const char *title) {
    kova_ctx *ctx = kova_frame_begin();
    kova_log_clear(ctx);
    return kova_frame_end(kova_do_sonarr_lookup(ctx, imdb_id, title));
}

KOVA_API int32_t kova_radarr_lookup_imdb(const char *imdb_id) {
    kova_ctx *ctx = kova_frame_begin();
    kova_log_clear(ctx);
    return kova_frame_end(kova_do_radarr_lookup(ctx, imdb_id));
}

KOVA_API int32_t kova_sonarr_library_find(int32_t tvdb_id) {
    return kova_frame_end(kova_do_library_find(kova_frame_begin(), 1, tvdb_id));
}

KOVA_API int32_t kova_radarr_library_find(int32_t tmdb_id) {
    return kova_frame_end(kova_do_library_find(kova_frame_begin(), 2, tmdb_id));
}

KOVA_API int32_t kova_sonarr_releases(int32_t series_id, int32_t season, int32_t episode) {
    kova_ctx *ctx = kova_frame_begin();
    kova_log_clear(ctx);
    return kova_frame_end(kova_do_sonarr_releases(ctx, series_id, season, episode));
}

KOVA_API int32_t kova_radarr_releases(int32_t movie_id) {
    kova_ctx *ctx = kova_frame_begin();
    kova_log_clear(ctx);
    return kova_frame_end(kova_do_radarr_releases(ctx, movie_id));
}

KOVA_API int32_t kova_parse_arr_releases(const char *json) { return parse_into(json, parse_releases); }

KOVA_API int32_t kova_sonarr_add_series(int32_t tvdb_id, const char *root, int32_t profile_id) {
    kova_ctx *ctx = kova_frame_begin();
    if (!ctx->armed) return kova_frame_end(not_armed(ctx));
    kova_log_clear(ctx);
    return kova_frame_end(kova_do_sonarr_add(ctx, tvdb_id, root, profile_id));
}

KOVA_API int32_t kova_radarr_add_movie(int32_t tmdb_id, const char *root, int32_t profile_id) {
    kova_ctx *ctx = kova_frame_begin();
    if (!ctx->armed) return kova_frame_end(not_armed(ctx));
    kova_log_clear(ctx);
    return kova_frame_end(kova_do_radarr_add(ctx, tmdb_id, root, profile_id));
}

KOVA_API int32_t kova_quality_profile_pick(const char *profile) { return kova_qp_pick(&g_kova, profile); }

KOVA_API int32_t kova_sonarr_search_or_add(const char *imdb_id, const char *title, int32_t season, int32_t episode,
                                           const char *profile) {
    kova_ctx *ctx = kova_frame_begin();
    if (!ctx->armed) return kova_frame_end(not_armed(ctx));
    return kova_frame_end(kova_do_search_or_add(ctx, 1, imdb_id, title, season, episode, profile));
}

KOVA_API int32_t kova_radarr_search_or_add(const char *imdb_id, const char *profile) {
    kova_ctx *ctx = kova_frame_begin();
    if (!ctx->armed) return kova_frame_end(not_armed(ctx));
    return kova_frame_end(kova_do_search_or_add(ctx, 2, imdb_id, nullptr, 0, 0, profile));
}

} // extern "C"
