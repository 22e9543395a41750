// The operation context: its zero state, its release (each layer releases
// its own part) and the one way its requests reach the request frame.
#include <cstring>

#include "ops/ops.h"

namespace kova {

void context_init(context *ctx) {
    memset(static_cast<void *>(ctx), 0, sizeof *ctx);
    ctx->match = -1;
}

void context_free(context *ctx) {
    result_set_free(&ctx->rs);
    lookup_free(ctx);
    arr_settings_free(ctx);
    get_report_free(&ctx->get);
    queue_list_free(&ctx->queue);
    calendar_list_free(&ctx->calendar);
    core_free(ctx);
    context_init(ctx);
}

int32_t request(context *ctx, int32_t kind, http_method method, const char *path, const char *query,
                const char *body, const char *label, char **body_out, size_t *len_out) {
    int32_t rc = http_request(ctx, select_io(ctx->io, ctx->use_fake != 0), kind, method, path, query, body, label,
                              body_out, len_out);
    // The code and message stay the library's; what the service said about
    // its refusal goes beside them.
    if ((rc == ERR_HTTP || rc == ERR_AUTH) && ctx->http_code >= 400)
        warn_refusal(ctx, service_name(kind), *body_out, ctx->svc[kind].api_key);
    return rc;
}

} // namespace kova
