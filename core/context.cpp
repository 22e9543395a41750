// The context record and the per-call diagnostics: last error, warnings and
// the test log.
#include <cstdio>
#include <cstring>

#include "core/kova_internal.h"

namespace {
struct code_name {
    int32_t code;
    const char *name;
};
constexpr code_name k_code_names[] = {
    {OK, "OK"},
    {PARTIAL, "PARTIAL"},
    {ERR_TRANSPORT, "ERR_TRANSPORT"},
    {ERR_HTTP, "ERR_HTTP"},
    {ERR_AUTH, "ERR_AUTH"},
    {ERR_JSON, "ERR_JSON"},
    {ERR_NOT_CONFIGURED, "ERR_NOT_CONFIGURED"},
    {ERR_NOT_FOUND, "ERR_NOT_FOUND"},
    {ERR_EMPTY, "ERR_EMPTY"},
    {ERR_NOT_ARMED, "ERR_NOT_ARMED"},
    {ERR_NO_IO, "ERR_NO_IO"},
    {ERR_INVALID_ARG, "ERR_INVALID_ARG"},
    {ERR_OOM, "ERR_OOM"},
    {ERR_INDEXERS, "ERR_INDEXERS"},
};
} // namespace

const char *kova_code_name(int32_t code) {
    for (const code_name &c : k_code_names)
        if (c.code == code) return c.name;
    return "ERR_UNKNOWN";
}

void kova_ctx_init(kova_ctx *ctx) {
    memset(ctx, 0, sizeof *ctx);
    ctx->match = -1;
}

void kova_begin(kova_ctx *ctx) {
    for (int32_t i = 0; i < ctx->warning_count; ++i) {
        kova_free(ctx->warnings[i]);
        ctx->warnings[i] = nullptr;
    }
    ctx->warning_count = 0;
    ctx->rc = 0;
    ctx->http_code = 0;
    ctx->err[0] = '\0';
}

int32_t kova_fail(kova_ctx *ctx, int32_t code, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(ctx->err, sizeof ctx->err, fmt, ap);
    va_end(ap);
    ctx->rc = code;
    return code;
}

int32_t kova_oom(kova_ctx *ctx) { return kova_fail(ctx, ERR_OOM, "out of memory"); }

void kova_warnf(kova_ctx *ctx, const char *fmt, ...) {
    if (ctx->warning_count >= kova_max_warnings) return;
    char buf[kova_warn_size];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    char *copy = kova_strdup(buf);
    if (!copy) return; // a lost warning never changes the call's result
    ctx->warnings[ctx->warning_count++] = copy;
}

void kova_logf(kova_ctx *ctx, const char *key, const char *fmt, ...) {
    if (ctx->test_log_count >= kova_max_log) return;
    char buf[kova_log_size];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    char *k = kova_strdup(key);
    char *t = kova_strdup(buf);
    if (!k || !t) {
        kova_free(k);
        kova_free(t);
        return;
    }
    ctx->test_log[ctx->test_log_count].key = k;
    ctx->test_log[ctx->test_log_count].text = t;
    ++ctx->test_log_count;
}

void kova_log_clear(kova_ctx *ctx) {
    for (int32_t i = 0; i < ctx->test_log_count; ++i) {
        kova_free(ctx->test_log[i].key);
        kova_free(ctx->test_log[i].text);
        ctx->test_log[i] = kova_log_entry{};
    }
    ctx->test_log_count = 0;
}

void kova_ctx_free(kova_ctx *ctx) {
    kova_begin(ctx);
    kova_log_clear(ctx);
    kova_rset_free(&ctx->rs);
    kova_lookup_free(ctx);
    kova_qp_free(ctx);
    for (kova_svc &s : ctx->svc) {
        kova_free(s.host);
        kova_free(s.api_key);
        kova_free(s.base_url);
    }
    kova_free(ctx->json_text);
    kova_free(ctx->field_text);
    kova_ctx_init(ctx);
}
