// Operation entry points: each one the call frame around one operation.
#include "exports/frame.h"

using namespace kova;

extern "C" {

KOVA_API int32_t kova_jackett_test(void) { return frame_end(do_jackett_test(frame_begin())); }
KOVA_API int32_t kova_sonarr_test(void) { return frame_end(do_arr_test(frame_begin(), KOVA_SONARR)); }
KOVA_API int32_t kova_radarr_test(void) { return frame_end(do_arr_test(frame_begin(), KOVA_RADARR)); }

KOVA_API int32_t kova_parse_torznab_indexers(const char *xml) {
    return frame_end(do_parse_torznab(frame_begin(), xml));
}

KOVA_API int32_t kova_jackett_search_imdb(const char *imdb_id, const char *title, const char *query) {
    return frame_end(do_jackett_search(frame_begin(), imdb_id, title, query));
}

KOVA_API int32_t kova_jackett_search_query(const char *query) {
    context *ctx = frame_begin();
    if (!query || !*query) {
        result_set_free(&ctx->rs);
        ctx->stage = KOVA_STAGE_NONE;
        return frame_end(fail(ctx, ERR_INVALID_ARG, "Jackett search: empty query"));
    }
    return frame_end(do_jackett_search(ctx, nullptr, nullptr, query));
}

KOVA_API int32_t kova_parse_jackett(const char *json) {
    return frame_end(do_parse_jackett(frame_begin(), json));
}

KOVA_API int32_t kova_parse_jackett_take(char *json, size_t len) {
    return frame_end(do_parse_jackett_own(frame_begin(), json, len));
}

KOVA_API int32_t kova_sonarr_lookup(const char *imdb_id, const char *title) {
    context *ctx = frame_begin();
    log_clear(ctx);
    return frame_end(do_sonarr_lookup(ctx, imdb_id, title));
}

KOVA_API int32_t kova_radarr_lookup_imdb(const char *imdb_id) {
    context *ctx = frame_begin();
    log_clear(ctx);
    return frame_end(do_radarr_lookup(ctx, imdb_id));
}

KOVA_API int32_t kova_sonarr_library_find(int32_t tvdb_id) {
    return frame_end(do_library_find(frame_begin(), KOVA_SONARR, tvdb_id));
}

KOVA_API int32_t kova_radarr_library_find(int32_t tmdb_id) {
    return frame_end(do_library_find(frame_begin(), KOVA_RADARR, tmdb_id));
}

KOVA_API int32_t kova_sonarr_releases(int32_t series_id, int32_t season, int32_t episode) {
    context *ctx = frame_begin();
    log_clear(ctx);
    return frame_end(do_sonarr_releases(ctx, series_id, season, episode));
}

KOVA_API int32_t kova_sonarr_releases_exact(int32_t series_id, int32_t season, int32_t episode) {
    context *ctx = frame_begin();
    log_clear(ctx);
    return frame_end(do_sonarr_releases(ctx, series_id, season, episode, true));
}

KOVA_API int32_t kova_radarr_releases(int32_t movie_id) {
    context *ctx = frame_begin();
    log_clear(ctx);
    return frame_end(do_radarr_releases(ctx, movie_id));
}

KOVA_API int32_t kova_parse_arr_releases(const char *json) {
    return frame_end(do_parse_releases(frame_begin(), json));
}

KOVA_API int32_t kova_sonarr_add_series(int32_t tvdb_id, const char *root, int32_t profile_id) {
    return frame_end(do_add(frame_begin(), KOVA_SONARR, tvdb_id, root, profile_id));
}

KOVA_API int32_t kova_radarr_add_movie(int32_t tmdb_id, const char *root, int32_t profile_id) {
    return frame_end(do_add(frame_begin(), KOVA_RADARR, tmdb_id, root, profile_id));
}

KOVA_API int32_t kova_quality_profile_pick(const char *profile) { return profile_pick(&current(), profile); }

KOVA_API int32_t kova_quality_profile_find(const char *profile) {
    context *ctx = frame_begin();
    int32_t id = 0;
    int32_t rc = find_profile(ctx, service_name(ctx->profiles_of), profile, &id);
    return frame_end(rc == OK ? id : rc);
}

KOVA_API int32_t kova_rootfolder_find(const char *root) { return find_root(&current(), root); }

KOVA_API int32_t kova_sonarr_search_or_add(const char *imdb_id, const char *title, int32_t season, int32_t episode,
                                           const char *profile) {
    return frame_end(
        do_search_or_add(frame_begin(), KOVA_SONARR, imdb_id, title, season, episode, profile));
}

KOVA_API int32_t kova_radarr_search_or_add(const char *imdb_id, const char *profile) {
    return frame_end(do_search_or_add(frame_begin(), KOVA_RADARR, imdb_id, nullptr, 0, 0, profile));
}

KOVA_API int32_t kova_sonarr_get(const char *imdb_id, const char *title, int32_t season, int32_t episode,
                                 const char *profile, const char *root, int32_t flags) {
    return frame_end(do_get(frame_begin(), KOVA_SONARR, imdb_id, title, season, episode, profile, root, flags));
}

KOVA_API int32_t kova_radarr_get(const char *imdb_id, const char *profile, const char *root, int32_t flags) {
    return frame_end(do_get(frame_begin(), KOVA_RADARR, imdb_id, nullptr, 0, 0, profile, root, flags));
}

KOVA_API int32_t kova_prowlarr_test(void) { return frame_end(do_prowlarr_test(frame_begin())); }

KOVA_API int32_t kova_prowlarr_search(const char *imdb_id, const char *title, const char *query, int32_t type,
                                      int32_t season, int32_t episode) {
    return frame_end(do_prowlarr_search(frame_begin(), imdb_id, title, query, type, season, episode));
}

KOVA_API int32_t kova_parse_prowlarr(const char *json) {
    return frame_end(do_parse_prowlarr(frame_begin(), json));
}

KOVA_API int32_t kova_prowlarr_grab_release(int32_t index) {
    return frame_end(do_grab(frame_begin(), KOVA_PROWLARR, index));
}

KOVA_API int32_t kova_sonarr_grab_release(int32_t index) {
    return frame_end(do_grab(frame_begin(), KOVA_SONARR, index));
}

KOVA_API int32_t kova_radarr_grab_release(int32_t index) {
    return frame_end(do_grab(frame_begin(), KOVA_RADARR, index));
}

KOVA_API int32_t kova_sonarr_queue(int32_t series_id) {
    return frame_end(do_queue(frame_begin(), KOVA_SONARR, series_id));
}

KOVA_API int32_t kova_radarr_queue(int32_t movie_id) {
    return frame_end(do_queue(frame_begin(), KOVA_RADARR, movie_id));
}

KOVA_API int32_t kova_sonarr_calendar(int64_t start, int64_t end) {
    return frame_end(do_calendar(frame_begin(), KOVA_SONARR, start, end));
}

KOVA_API int32_t kova_radarr_calendar(int64_t start, int64_t end) {
    return frame_end(do_calendar(frame_begin(), KOVA_RADARR, start, end));
}

} // extern "C"
