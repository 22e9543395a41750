// The operation context: its zero state, its release (each layer releases
// its own part) and the one way its requests reach the request frame.
#include <cstring>

#include "ops/ops.h"

void kova_ctx_init(kova_ctx *ctx) {
    memset(static_cast<void *>(ctx), 0, sizeof *ctx);
    ctx->match = -1;
}

void kova_ctx_free(kova_ctx *ctx) {
    kova_rset_free(&ctx->rs);
    kova_lookup_free(ctx);
    kova_qp_free(ctx);
    kova_core_free(ctx);
    kova_ctx_init(ctx);
}

int32_t kova_request(kova_ctx *ctx, int32_t kind, kova_method method, const char *path, const char *query,
                     const char *body, const char *label, char **body_out, size_t *len_out) {
    return kova_http(ctx, kova_io_select(ctx->io, ctx->use_fake != 0), kind, method, path, query, body, label,
                     body_out, len_out);
}
