// Sending a release to the download client: a row of a Sonarr or Radarr
// release search, or of a Prowlarr search, goes back to the service that
// listed it, which hands it to its download client. A library write like an
// add.
#include "ops/ops.h"

namespace kova {

namespace {
// {"guid": ..., "indexerId": ...} with both values as the service listed
// them; null when memory ran out.
char *grab_body(yyjson_val *guid, yyjson_val *indexer) {
    mut_doc_guard doc(yyjson_mut_doc_new(&json_alc));
    if (!doc.doc) return nullptr;
    yyjson_mut_val *out = yyjson_mut_obj(doc.doc);
    if (!out) return nullptr;
    yyjson_mut_doc_set_root(doc.doc, out);
    yyjson_mut_val *g = yyjson_val_mut_copy(doc.doc, guid);
    yyjson_mut_val *i = yyjson_val_mut_copy(doc.doc, indexer);
    if (!g || !i || !yyjson_mut_obj_add_val(doc.doc, out, "guid", g) ||
        !yyjson_mut_obj_add_val(doc.doc, out, "indexerId", i))
        return nullptr;
    // The values come from a strictly read answer: writing fails only for
    // lack of memory.
    return yyjson_mut_write_opts(doc.doc, 0, &json_alc, nullptr, nullptr);
}
} // namespace

namespace {
// Where a grab goes, by the service that listed the release: Sonarr and
// Radarr take it back at their release endpoint, Prowlarr at its search
// endpoint.
struct grab_target {
    const char *name;
    const char *listed_by; // the search the set must come from
    const char *path;
    const char *log_key;
};
grab_target target_of(int32_t kind) {
    if (kind == KOVA_PROWLARR) return {"Prowlarr", "Prowlarr search", "/api/v1/search", "ProwlarrV1_Release_Grab"};
    const arr_service &s = arr_service_of(kind);
    return {s.name, kind == KOVA_SONARR ? "Sonarr release search" : "Radarr release search", "/api/v3/release",
            s.log_grab};
}
} // namespace

int32_t do_grab(context *ctx, int32_t kind, int32_t index) {
    int32_t rc = check_armed(ctx);
    if (rc != OK) return rc;
    log_clear(ctx);
    const grab_target t = target_of(kind);
    const result_set &rs = ctx->rs;
    if (rs.source != kind)
        return fail(ctx, ERR_INVALID_ARG, "%s grab: the current results are not from a %s", t.name, t.listed_by);
    if (index < 0 || index >= rs.row_count)
        return fail(ctx, ERR_INVALID_ARG, "%s grab: no release %d in the current results", t.name, index);
    const result_row &row = rs.rows[index];
    yyjson_val *guid, *indexer;
    if (!release_grab_keys(row, &guid, &indexer))
        return fail(ctx, ERR_INVALID_ARG, "%s grab: release %d has no guid or indexer id", t.name, index);
    text_guard body(grab_body(guid, indexer));
    if (!body.p) return fail_oom(ctx);
    log_append(ctx, t.log_key, "Sending release %s to the download client", row.title);
    char *answer = nullptr;
    rc = request(ctx, kind, http_method::post, t.path, nullptr, body.p, "release grab", &answer);
    mem_free(answer);
    if (kind == KOVA_PROWLARR && rc == ERR_HTTP) {
        // Prowlarr keeps a search's releases for about half an hour.
        if (ctx->http_code == 404)
            return fail(ctx, ERR_NOT_FOUND, "Prowlarr grab: Prowlarr no longer knows release %d: search again", index);
        if (ctx->http_code == 409)
            return fail(ctx, ERR_HTTP, "Prowlarr grab: the indexer failed to deliver release %d (HTTP 409)", index);
    }
    return rc;
}

} // namespace kova
