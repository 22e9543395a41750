// Answers the host fetched itself: parsed into the context's result set as
// the operations' own answers are, with the same classification.
#include "ops/ops.h"

namespace {
// Clears the context's set and stage, then installs the parsed answer.
int32_t parse_into(kova_ctx *ctx, const char *text,
                   int32_t (*parse)(kova_diag *, kova_rset *, const char *, size_t, char *)) {
    kova_rset_free(&ctx->rs);
    ctx->stage = KOVA_STAGE_NONE;
    if (!text) return kova_fail(ctx, ERR_INVALID_ARG, "NULL input");
    kova_rset fresh{};
    // The parser finds the text's end as it copies it: a strlen first would
    // read a large answer once more.
    return install_set(ctx, &fresh, parse(ctx, &fresh, text, kova_to_nul, nullptr));
}
} // namespace

int32_t kova_do_parse_jackett(kova_ctx *ctx, const char *json) {
    int32_t rc = parse_into(ctx, json, kova_rset_parse_jackett);
    return rc != OK ? rc : kova_rset_classify(ctx);
}

int32_t kova_do_parse_jackett_own(kova_ctx *ctx, char *json, size_t len) {
    kova_rset_free(&ctx->rs);
    ctx->stage = KOVA_STAGE_NONE;
    if (!json) return kova_fail(ctx, ERR_INVALID_ARG, "NULL input");
    kova_rset fresh{};
    // The set owns the text from here on, on every path.
    int32_t rc = install_set(ctx, &fresh, kova_rset_parse_jackett(ctx, &fresh, json, len, json));
    return rc != OK ? rc : kova_rset_classify(ctx);
}

int32_t kova_do_parse_releases(kova_ctx *ctx, const char *json) {
    int32_t rc = parse_into(ctx, json, kova_rset_parse_arr);
    if (rc != OK) return rc;
    return ctx->rs.row_count == 0 ? kova_fail(ctx, ERR_EMPTY, "no releases") : OK;
}

int32_t kova_do_parse_torznab(kova_ctx *ctx, const char *xml) {
    kova_rset_free(&ctx->rs);
    ctx->stage = KOVA_STAGE_NONE;
    kova_rset fresh{};
    return install_set(ctx, &fresh, kova_torznab_parse(ctx, &fresh, xml));
}
