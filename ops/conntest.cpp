// Connection tests: the first root folder and the quality profiles of Sonarr
// and Radarr, the configured indexers of Jackett.
#include <cstring>

#include "ops/ops.h"

namespace kova {

void arr_settings_free(context *ctx) {
    profile_list_free(&ctx->profiles);
    ctx->profiles_of = 0;
    root_list_free(&ctx->roots);
    mem_free(ctx->rootfolder);
    ctx->rootfolder = nullptr;
}

namespace {
void log_no_root(context *ctx, const arr_service &s) {
    log_append(ctx, s.log_no_root, "rootfolder is not set for %s", s.lower);
}

// Joins the indexer names of a set with ", ".
void join_names(const result_set &rs, strbuf *b) {
    for (int32_t i = 0; i < rs.indexer_count; ++i) {
        if (i) strbuf_puts(b, ", ");
        strbuf_puts(b, rs.indexers[i].name ? rs.indexers[i].name : "");
    }
}
} // namespace

int32_t fetch_root(context *ctx, int32_t kind) {
    const arr_service &s = arr_service_of(kind);
    mem_free(ctx->rootfolder);
    ctx->rootfolder = nullptr;
    root_list_free(&ctx->roots);
    log_append(ctx, s.log_get_root, "Get first %s Rootfolder", s.name);
    yyjson_doc *answer;
    yyjson_val *root;
    int32_t rc = get_json_array(ctx, kind, "/api/v3/rootfolder", nullptr, "rootfolder", &answer, &root);
    doc_guard doc(answer);
    if (rc != OK) return rc;
    ctx->rootfolder = read_first_root(root);
    if (!ctx->rootfolder) return fail_oom(ctx);
    trim_root(ctx->rootfolder);
    rc = read_root_folders(ctx, root, &ctx->roots);
    if (rc != OK) return rc;
    // Every root folder an add could use, trimmed as the first one is.
    int32_t kept = 0;
    for (int32_t i = 0; i < ctx->roots.count; ++i) {
        root_folder &f = ctx->roots.items[i];
        trim_root(f.path);
        if (*f.path)
            ctx->roots.items[kept++] = f;
        else
            mem_free(f.path);
    }
    ctx->roots.count = kept;
    if (*ctx->rootfolder)
        log_append(ctx, s.log_root, "rootfolder: %s", ctx->rootfolder);
    else
        log_no_root(ctx, s);
    return OK;
}

int32_t fetch_profiles(context *ctx, int32_t kind) {
    profile_list_free(&ctx->profiles);
    const arr_service &s = arr_service_of(kind);
    log_append(ctx, s.log_get_qp, "Getting quality profiles...");
    yyjson_doc *answer;
    yyjson_val *arr;
    int32_t rc = get_json_array(ctx, kind, "/api/v3/qualityprofile", nullptr, "qualityprofile", &answer, &arr);
    doc_guard doc(answer);
    if (rc != OK) return rc;
    ctx->profiles_of = kind;
    rc = read_profiles(ctx, arr, &ctx->profiles);
    if (rc != OK) return rc;
    if (ctx->profiles.count == 0) {
        log_append(ctx, s.log_no_qp, "not quality profiles availble");
        return OK;
    }
    buf_guard names;
    for (int32_t i = 0; i < ctx->profiles.count; ++i) {
        if (i) strbuf_puts(&names.b, ", ");
        strbuf_puts(&names.b, ctx->profiles.names[i]);
    }
    log_append(ctx, s.log_qp, "profile: %s", names.b.data ? names.b.data : "");
    return OK;
}

int32_t do_arr_test(context *ctx, int32_t kind) {
    log_clear(ctx);
    arr_settings_free(ctx);
    int32_t rc = fetch_root(ctx, kind);
    if (rc != OK) {
        if (rc != ERR_NO_IO && rc != ERR_NOT_CONFIGURED) log_no_root(ctx, arr_service_of(kind));
        return rc;
    }
    rc = fetch_profiles(ctx, kind);
    if (rc != OK) return rc;
    const char *name = service_name(kind);
    bool has_root = ctx->rootfolder && *ctx->rootfolder;
    bool has_qp = ctx->profiles.count > 0;
    if (has_root && has_qp) return OK;
    if (has_root) return fail(ctx, ERR_EMPTY, "%s: no quality profile", name);
    if (has_qp) return fail(ctx, ERR_EMPTY, "%s: no root folder configured", name);
    return fail(ctx, ERR_EMPTY, "%s: no root folder and no quality profile", name);
}

int32_t do_jackett_test(context *ctx) {
    log_clear(ctx);
    result_set_free(&ctx->rs);
    log_append(ctx, "JackettV2_Test_Indexers", "Listing configured Jackett indexers (no search)...");
    char *body = nullptr;
    int32_t rc = request(ctx, KOVA_JACKETT, http_method::get, "/api/v2.0/indexers/all/results/torznab/api", "t=indexers&configured=true",
                           nullptr, "indexer list", &body);
    text_guard body_g(body);
    if (rc != OK) return rc;
    result_set fresh{};
    rc = install_set(ctx, &fresh, parse_torznab(ctx, &fresh, body));
    body_g.reset(nullptr);
    if (rc != OK) return rc;
    if (ctx->rs.indexer_count == 0) {
        warnf(ctx, "Jackett: no indexer is configured");
        log_append(ctx, "JackettV2_NoIndexers", "no indexer is configured in Jackett");
        return OK;
    }
    buf_guard names;
    join_names(ctx->rs, &names.b);
    log_append(ctx, "JackettV2_Indexers", "indexers: %s", names.b.data ? names.b.data : "");
    return OK;
}

} // namespace kova
