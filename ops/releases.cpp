// Release searches: the releases Sonarr finds for an episode or a season and
// that Radarr finds for a film.
#include <cstdio>
#include <cstring>

#include "ops/ops.h"

namespace kova {

namespace {
// Sends one release search and installs the parsed list as the context's set.
int32_t releases_get(context *ctx, int32_t kind, const char *query) {
    result_set_free(&ctx->rs);
    ctx->stage = KOVA_STAGE_NONE;
    char *body = nullptr;
    size_t len = 0;
    int32_t rc =
        request(ctx, kind, http_method::get, "/api/v3/release", query, nullptr, "release search", &body, &len);
    text_guard body_g(body);
    if (rc != OK) return rc;
    result_set fresh{};
    rc = install_set(ctx, &fresh, parse_releases(ctx, &fresh, body, len, body_g.release()));
    if (rc != OK) return rc;
    ctx->rs.source = kind;
    if (ctx->rs.row_count == 0) return fail(ctx, ERR_EMPTY, "%s: no releases", service_name(kind));
    return OK;
}

int32_t season_search(context *ctx, int32_t series, int32_t season) {
    log_append(ctx, "SonarrV3_Series_Search_Release_Season", "Searching available releases for episodes for season %d",
              season);
    char query[96];
    snprintf(query, sizeof query, "seriesId=%d&seasonNumber=%d", static_cast<int>(series), static_cast<int>(season));
    return releases_get(ctx, KOVA_SONARR, query);
}

} // namespace

int32_t do_sonarr_releases(context *ctx, int32_t series, int32_t season, int32_t episode, bool exact,
                           bool *fallback) {
    if (fallback) *fallback = false;
    if (season < 0 || episode < 0 || series < 1)
        return fail(ctx, ERR_INVALID_ARG, "Sonarr releases: invalid series/season/episode");
    if (episode == 0) return season_search(ctx, series, season);

    log_append(ctx, "SonarrV3_Series_Get_All_Episode", "Get all episodes for series %d", series);
    char query[96];
    snprintf(query, sizeof query, "seriesId=%d&seasonNumber=%d", static_cast<int>(series), static_cast<int>(season));
    yyjson_doc *answer;
    yyjson_val *arr;
    int32_t rc = get_json_array(ctx, KOVA_SONARR, "/api/v3/episode", query, "episode list", &answer, &arr);
    doc_guard doc(answer);
    if (rc != OK) return rc;

    const int32_t episode_id = find_episode_id(arr, season, episode);
    yyjson_doc_free(doc.release());

    if (episode_id > 0) {
        log_append(ctx, "SonarrV3_Series_Search_Release_Episode",
                  "Searching available releases for episode %d in season %d with Sonarr episodeId %d", episode, season,
                  episode_id);
        snprintf(query, sizeof query, "episodeId=%d", static_cast<int>(episode_id));
        return releases_get(ctx, KOVA_SONARR, query);
    }
    if (exact) return fail(ctx, ERR_NOT_FOUND, "Sonarr: episode S%dE%d not found", season, episode);
    warnf(ctx, "Sonarr: episode S%dE%d not found, searching the whole season", season, episode);
    if (fallback) *fallback = true;
    return season_search(ctx, series, season);
}

int32_t do_radarr_releases(context *ctx, int32_t movie) {
    if (movie < 1) return fail(ctx, ERR_INVALID_ARG, "Radarr releases: invalid movie id");
    log_append(ctx, "RadarrV3_Movie_Search_Release", "Searching available releases for movie");
    char query[48];
    snprintf(query, sizeof query, "movieId=%d", static_cast<int>(movie));
    return releases_get(ctx, KOVA_RADARR, query);
}

} // namespace kova
