// Lookups of series and films, and the library find.
#include <cstring>

#include "core/kova_internal.h"

void kova_lookup_free(kova_ctx *ctx) {
    for (int32_t i = 0; i < ctx->lookup_count; ++i) {
        kova_free(ctx->lookup[i].title);
        kova_free(ctx->lookup[i].clean_title);
        kova_free(ctx->lookup[i].imdb);
    }
    kova_free(ctx->lookup);
    ctx->lookup = nullptr;
    ctx->lookup_count = 0;
    yyjson_doc_free(ctx->lookup_doc);
    ctx->lookup_doc = nullptr;
    ctx->match = -1;
}
