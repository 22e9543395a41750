// What the operations share: the description of Sonarr and Radarr, the
// library-writes check, installing a parsed set and the root-folder rule.
#include <cstring>

#include "ops/ops.h"

namespace kova {

namespace {
constexpr arr_service k_sonarr = {
    .kind = KOVA_SONARR,
    .name = "Sonarr",
    .lower = "sonarr",
    .item = "series",
    .ext_key = "tvdbId",
    .ext_short = "tvdb",
    .ext = &lookup_entry::tvdb,
    .library_path = "/api/v3/series",
    .add_label = "add series",
    .add_query = "tvdbId",
    .one_item = false,
    .ext_lookup_path = "/api/v3/series/lookup",
    .ext_lookup_query = "term=tvdb%%3A%d",
    .lookup_label = "series lookup",
    .log_get_root = "SonarrV3_Get_Rootfolder",
    .log_root = "SonarrV3_Rootfolder",
    .log_no_root = "SonarrV3_NoRootfolder",
    .log_get_qp = "SonarrV3_Get_QualityProfile",
    .log_qp = "SonarrV3_QualityProfile",
    .log_no_qp = "SonarrV3_NoQualityProfile",
    .log_set_qp = "SonarrV3_Set_QualityProfile",
    .log_add = "SonarrV3_Series_Add",
    .log_add_fmt = "Adding series details to library for %s and tvdbId is %d",
    .log_grab = "SonarrV3_Release_Grab",
};
constexpr arr_service k_radarr = {
    .kind = KOVA_RADARR,
    .name = "Radarr",
    .lower = "radarr",
    .item = "movie",
    .ext_key = "tmdbId",
    .ext_short = "tmdb",
    .ext = &lookup_entry::tmdb,
    .library_path = "/api/v3/movie",
    .add_label = "add movie",
    .add_query = nullptr,
    .one_item = true,
    .ext_lookup_path = "/api/v3/movie/lookup/tmdb",
    .ext_lookup_query = "tmdbId=%d",
    .lookup_label = "movie lookup",
    .log_get_root = "RadarrV3_Get_Rootfolder",
    .log_root = "RadarrV3_Rootfolder",
    .log_no_root = "RadarrV3_NoRootfolder",
    .log_get_qp = "RadarrV3_Get_QualityProfile",
    .log_qp = "RadarrV3_QualityProfile",
    .log_no_qp = "RadarrV3_NoQualityProfile",
    .log_set_qp = "RadarrV3_Set_QualityProfile",
    .log_add = "RadarrV3_Movie_Add",
    .log_add_fmt = "Adding movie details to library for %s and tmdbid is %d",
    .log_grab = "RadarrV3_Release_Grab",
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
