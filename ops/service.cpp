// What the operations share: the description of Sonarr and Radarr, the
// library-writes check, installing a parsed set and the root-folder rule.
#include <cstring>

#include "ops/ops.h"

namespace kova {

namespace {
constexpr arr_service k_sonarr = {
    KOVA_SONARR, "Sonarr", "sonarr", "series", "tvdbId", "tvdb", &lookup_entry::tvdb,
    "/api/v3/series", "add series", "tvdbId", false,
    "/api/v3/series/lookup", "term=tvdb%%3A%d", "series lookup",
    "SonarrV3_Get_Rootfolder", "SonarrV3_Rootfolder", "SonarrV3_NoRootfolder",
    "SonarrV3_Get_QualityProfile", "SonarrV3_QualityProfile", "SonarrV3_NoQualityProfile",
    "SonarrV3_Set_QualityProfile",
    "SonarrV3_Series_Add", "Adding series details to library for %s and tvdbId is %d",
    "SonarrV3_Release_Grab",
};
constexpr arr_service k_radarr = {
    KOVA_RADARR, "Radarr", "radarr", "movie", "tmdbId", "tmdb", &lookup_entry::tmdb,
    "/api/v3/movie", "add movie", nullptr, true,
    "/api/v3/movie/lookup/tmdb", "tmdbId=%d", "movie lookup",
    "RadarrV3_Get_Rootfolder", "RadarrV3_Rootfolder", "RadarrV3_NoRootfolder",
    "RadarrV3_Get_QualityProfile", "RadarrV3_QualityProfile", "RadarrV3_NoQualityProfile",
    "RadarrV3_Set_QualityProfile",
    "RadarrV3_Movie_Add", "Adding movie details to library for %s and tmdbid is %d",
    "RadarrV3_Release_Grab",
};
} // namespace

const arr_service &arr_service_of(int32_t kind) { return kind == KOVA_SONARR ? k_sonarr : k_radarr; }

int32_t check_armed(context *ctx) {
    if (ctx->armed) return OK;
    return fail(ctx, ERR_NOT_ARMED, "library writes are not armed (kova_arm_library_writes)");
}

int32_t install_set(context *ctx, result_set *fresh, int32_t rc) {
    if (rc != OK) {
        result_set_free(fresh);
        return rc;
    }
    result_set_free(&ctx->rs);
    ctx->rs = *fresh;
    *fresh = result_set{};
    return OK;
}

size_t root_trimmed_len(const char *root) {
    size_t n = strlen(root);
    while (n > 0 && root[n - 1] == '\\') --n;
    while (n > 0 && root[n - 1] == '/') --n;
    return n;
}

void trim_root(char *s) {
    if (s) s[root_trimmed_len(s)] = '\0';
}

} // namespace kova
