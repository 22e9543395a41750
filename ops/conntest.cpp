// Connection tests: root folder and quality profiles of Sonarr and Radarr,
// the configured indexers of Jackett.
#include <cstring>

#include "core/kova_internal.h"

void kova_qp_free(kova_ctx *ctx) {
    for (int32_t i = 0; i < ctx->qp_count; ++i) kova_free(ctx->qp_names[i]);
    kova_free(ctx->qp_names);
    kova_free(ctx->qp_ids);
    kova_free(ctx->rootfolder);
    ctx->qp_names = nullptr;
    ctx->qp_ids = nullptr;
    ctx->rootfolder = nullptr;
    ctx->qp_count = 0;
}

void trim_root(char *s) {
    if (!s) return;
    size_t n = strlen(s);
    while (n > 0 && s[n - 1] == '\\') --n;
    while (n > 0 && s[n - 1] == '/') --n;
    s[n] = '\0';
}
