// Connection tests: the first root folder and the quality profiles of Sonarr
// and Radarr, the configured indexers of Jackett.
#include <cstring>

#include "ops/ops.h"

namespace kova {

void arr_settings_free(context *ctx) {
    for (int32_t i = 0; i < ctx->qp_count; ++i) mem_free(ctx->qp_names[i]);
    mem_free(ctx->qp_names);
    mem_free(ctx->qp_ids);
    mem_free(ctx->rootfolder);
    ctx->qp_names = nullptr;
    ctx->qp_ids = nullptr;
    ctx->rootfolder = nullptr;
    ctx->qp_count = 0;
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
    log_append(ctx, s.log_get_root, "Get first %s Rootfolder", s.name);
    yyjson_doc *answer;
    yyjson_val *root;
    int32_t rc = get_json_array(ctx, kind, "/api/v3/rootfolder", nullptr, "rootfolder", &answer, &root);
    doc_guard doc(answer);
    if (rc != OK) return rc;
    yyjson_val *first = yyjson_arr_get_first(root);
    ctx->rootfolder = val_str(obj_iget(first, "path"), nullptr);
    if (!ctx->rootfolder) return fail_oom(ctx);
    trim_root(ctx->rootfolder);
    if (*ctx->rootfolder)
        log_append(ctx, s.log_root, "rootfolder: %s", ctx->rootfolder);
    else
        log_no_root(ctx, s);
    return OK;
}

int32_t fetch_profiles(context *ctx, int32_t kind) {
    // Drop the old profile list but keep the root folder it is paired with.
    char *root = ctx->rootfolder;
    ctx->rootfolder = nullptr;
    arr_settings_free(ctx);
    ctx->rootfolder = root;

    const arr_service &s = arr_service_of(kind);
    log_append(ctx, s.log_get_qp, "Getting quality profiles...");
    yyjson_doc *answer;
    yyjson_val *arr;
    int32_t rc = get_json_array(ctx, kind, "/api/v3/qualityprofile", nullptr, "qualityprofile", &answer, &arr);
    doc_guard doc(answer);
    if (rc != OK) return rc;

    size_t n = yyjson_arr_size(arr);
    size_t cap = n < 1 ? 1 : (n > max_profiles ? max_profiles : n);
    ctx->qp_ids = static_cast<int32_t *>(mem_calloc(cap, sizeof(int32_t)));
    ctx->qp_names = static_cast<char **>(mem_calloc(cap, sizeof(char *)));
    if (!ctx->qp_ids || !ctx->qp_names) return fail_oom(ctx);

    buf_guard names;
    int32_t count = 0;
    size_t idx, max;
    yyjson_val *el;
    yyjson_arr_foreach(arr, idx, max, el) {
        if (count >= max_profiles) break;
        int64_t id;
        if (!yyjson_is_obj(el) || !val_int(obj_iget(el, "id"), &id)) continue;
        char *name = val_str(obj_iget(el, "name"), nullptr);
        if (!name) {
            ctx->qp_count = count;
            return fail_oom(ctx);
        }
        ctx->qp_ids[count] = static_cast<int32_t>(id);
        ctx->qp_names[count] = name;
        ++count;
        if (count > 1) strbuf_puts(&names.b, ", ");
        strbuf_puts(&names.b, name);
    }
    ctx->qp_count = count;
    if (count == 0)
        log_append(ctx, s.log_no_qp, "not quality profiles availble");
    else
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
    bool has_qp = ctx->qp_count > 0;
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
