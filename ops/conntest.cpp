// Connection tests: the first root folder and the quality profiles of Sonarr
// and Radarr, the configured indexers of Jackett.
#include <cstring>

#include "core/kova_internal.h"
#include "ops/ops.h"

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

namespace {
const char *arr_key(int32_t kind, const char *sonarr, const char *radarr) {
    return kind == 1 ? sonarr : radarr;
}
const char *lower_name(int32_t kind) { return kind == 1 ? "sonarr" : "radarr"; }
const char *title_name(int32_t kind) { return kind == 1 ? "Sonarr" : "Radarr"; }

void log_no_root(kova_ctx *ctx, int32_t kind) {
    kova_logf(ctx, arr_key(kind, "SonarrV3_NoRootfolder", "RadarrV3_NoRootfolder"),
              "rootfolder is not set for %s", lower_name(kind));
}

// Joins the indexer names of a set with ", ".
void join_names(const kova_rset &rs, kova_buf *b) {
    for (int32_t i = 0; i < rs.indexer_count; ++i) {
        if (i) kova_buf_puts(b, ", ");
        kova_buf_puts(b, rs.indexers[i].name ? rs.indexers[i].name : "");
    }
}
} // namespace

int32_t fetch_root(kova_ctx *ctx, int32_t kind) {
    kova_free(ctx->rootfolder);
    ctx->rootfolder = nullptr;
    kova_logf(ctx, arr_key(kind, "SonarrV3_Get_Rootfolder", "RadarrV3_Get_Rootfolder"),
              "Get first %s Rootfolder", title_name(kind));
    yyjson_doc *answer;
    int32_t rc = get_json(ctx, kind, "/api/v3/rootfolder", nullptr, "rootfolder", &answer);
    doc_guard doc(answer);
    if (rc != OK) return rc;
    yyjson_val *root = yyjson_doc_get_root(doc.doc);
    if (!yyjson_is_arr(root))
        return kova_fail(ctx, ERR_JSON, "%s rootfolder: not a JSON array", kova_svc_name(kind));
    yyjson_val *first = yyjson_arr_get_first(root);
    ctx->rootfolder = kova_val_str(kova_obj_iget(first, "path"), nullptr);
    if (!ctx->rootfolder) return kova_oom(ctx);
    trim_root(ctx->rootfolder);
    if (*ctx->rootfolder)
        kova_logf(ctx, arr_key(kind, "SonarrV3_Rootfolder", "RadarrV3_Rootfolder"), "rootfolder: %s",
                  ctx->rootfolder);
    else
        log_no_root(ctx, kind);
    return OK;
}

int32_t fetch_profiles(kova_ctx *ctx, int32_t kind) {
    // Drop the old profile list but keep the root folder it is paired with.
    char *root = ctx->rootfolder;
    ctx->rootfolder = nullptr;
    kova_qp_free(ctx);
    ctx->rootfolder = root;

    kova_logf(ctx, arr_key(kind, "SonarrV3_Get_QualityProfile", "RadarrV3_Get_QualityProfile"),
              "Getting quality profiles...");
    yyjson_doc *answer;
    int32_t rc = get_json(ctx, kind, "/api/v3/qualityprofile", nullptr, "qualityprofile", &answer);
    doc_guard doc(answer);
    if (rc != OK) return rc;
    yyjson_val *arr = yyjson_doc_get_root(doc.doc);
    if (!yyjson_is_arr(arr))
        return kova_fail(ctx, ERR_JSON, "%s qualityprofile: not a JSON array", kova_svc_name(kind));

    size_t n = yyjson_arr_size(arr);
    size_t cap = n < 1 ? 1 : (n > kova_max_profiles ? kova_max_profiles : n);
    ctx->qp_ids = static_cast<int32_t *>(kova_calloc(cap, sizeof(int32_t)));
    ctx->qp_names = static_cast<char **>(kova_calloc(cap, sizeof(char *)));
    if (!ctx->qp_ids || !ctx->qp_names) return kova_oom(ctx);

    buf_guard names;
    int32_t count = 0;
    size_t idx, max;
    yyjson_val *el;
    yyjson_arr_foreach(arr, idx, max, el) {
        if (count >= kova_max_profiles) break;
        int64_t id;
        if (!yyjson_is_obj(el) || !kova_val_int(kova_obj_iget(el, "id"), &id)) continue;
        char *name = kova_val_str(kova_obj_iget(el, "name"), nullptr);
        if (!name) {
            ctx->qp_count = count;
            return kova_oom(ctx);
        }
        ctx->qp_ids[count] = static_cast<int32_t>(id);
        ctx->qp_names[count] = name;
        ++count;
        if (count > 1) kova_buf_puts(&names.b, ", ");
        kova_buf_puts(&names.b, name);
    }
    ctx->qp_count = count;
    if (count == 0)
        kova_logf(ctx, arr_key(kind, "SonarrV3_NoQualityProfile", "RadarrV3_NoQualityProfile"),
                  "not quality profiles availble");
    else
        kova_logf(ctx, arr_key(kind, "SonarrV3_QualityProfile", "RadarrV3_QualityProfile"), "profile: %s",
                  names.b.data ? names.b.data : "");
    return OK;
}

int32_t kova_do_arr_test(kova_ctx *ctx, int32_t kind) {
    kova_log_clear(ctx);
    kova_qp_free(ctx);
    int32_t rc = fetch_root(ctx, kind);
    if (rc != OK) {
        if (rc != ERR_NO_IO && rc != ERR_NOT_CONFIGURED) log_no_root(ctx, kind);
        return rc;
    }
    rc = fetch_profiles(ctx, kind);
    if (rc != OK) return rc;
    const char *name = kova_svc_name(kind);
    bool has_root = ctx->rootfolder && *ctx->rootfolder;
    bool has_qp = ctx->qp_count > 0;
    if (has_root && has_qp) return OK;
    if (has_root) return kova_fail(ctx, ERR_EMPTY, "%s: no quality profile", name);
    if (has_qp) return kova_fail(ctx, ERR_EMPTY, "%s: no root folder configured", name);
    return kova_fail(ctx, ERR_EMPTY, "%s: no root folder and no quality profile", name);
}

int32_t kova_do_jackett_test(kova_ctx *ctx) {
    kova_log_clear(ctx);
    kova_rset_free(&ctx->rs);
    kova_logf(ctx, "JackettV2_Test_Indexers", "Listing configured Jackett indexers (no search)...");
    char *body = nullptr;
    int32_t rc = kova_http(ctx, 0, 0, "/api/v2.0/indexers/all/results/torznab/api", "t=indexers&configured=true",
                           nullptr, "indexer list", &body);
    text_guard body_g(body);
    if (rc != OK) return rc;
    kova_rset fresh{};
    rc = kova_torznab_parse(ctx, &fresh, body);
    body_g.reset(nullptr);
    if (rc != OK) {
        kova_rset_free(&fresh);
        return rc;
    }
    ctx->rs = fresh;
    if (ctx->rs.indexer_count == 0) {
        kova_warnf(ctx, "Jackett: no indexer is configured");
        kova_logf(ctx, "JackettV2_NoIndexers", "no indexer is configured in Jackett");
        return OK;
    }
    buf_guard names;
    join_names(ctx->rs, &names.b);
    kova_logf(ctx, "JackettV2_Indexers", "indexers: %s", names.b.data ? names.b.data : "");
    return OK;
}
