// Answers the host fetched itself: parsed into the context's result set as
// the operations' own answers are, with the same classification.
#include "ops/ops.h"

namespace kova {

namespace {
// Clears the context's set and stage, then installs the parsed answer.
int32_t parse_into(context *ctx, const char *text,
                   int32_t (*parse)(diagnostics *, result_set *, const char *, size_t, char *)) {
    result_set_free(&ctx->rs);
    ctx->stage = KOVA_STAGE_NONE;
    if (!text) return fail(ctx, ERR_INVALID_ARG, "NULL input");
    result_set fresh{};
    // The parser finds the text's end as it copies it: a strlen first would
    // read a large answer once more.
    return install_set(ctx, &fresh, parse(ctx, &fresh, text, to_nul, nullptr));
}
} // namespace

int32_t do_parse_jackett(context *ctx, const char *json) {
    int32_t rc = parse_into(ctx, json, parse_jackett);
    return rc != OK ? rc : classify_set(ctx);
}

int32_t do_parse_jackett_own(context *ctx, char *json, size_t len) {
    result_set_free(&ctx->rs);
    ctx->stage = KOVA_STAGE_NONE;
    if (!json) return fail(ctx, ERR_INVALID_ARG, "NULL input");
    result_set fresh{};
    // The set owns the text from here on, on every path.
    int32_t rc = install_set(ctx, &fresh, parse_jackett(ctx, &fresh, json, len, json));
    return rc != OK ? rc : classify_set(ctx);
}

int32_t do_parse_prowlarr(context *ctx, const char *json) {
    int32_t rc = parse_into(ctx, json, parse_prowlarr);
    return rc != OK ? rc : classify_set(ctx);
}

int32_t do_parse_releases(context *ctx, const char *json) {
    int32_t rc = parse_into(ctx, json, parse_releases);
    if (rc != OK) return rc;
    return ctx->rs.row_count == 0 ? fail(ctx, ERR_EMPTY, "no releases") : OK;
}

int32_t do_parse_torznab(context *ctx, const char *xml) {
    result_set_free(&ctx->rs);
    ctx->stage = KOVA_STAGE_NONE;
    result_set fresh{};
    return install_set(ctx, &fresh, parse_torznab(ctx, &fresh, xml));
}

} // namespace kova
