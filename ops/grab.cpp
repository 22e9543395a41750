// Sending a release to the download client: a row of a Sonarr or Radarr
// release search goes back to the service that listed it, which hands it to
// its download client. A library write like an add.
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

int32_t do_grab(context *ctx, int32_t kind, int32_t index) {
    int32_t rc = check_armed(ctx);
    if (rc != OK) return rc;
    log_clear(ctx);
    const arr_service &s = arr_service_of(kind);
    const result_set &rs = ctx->rs;
    if (rs.source != kind)
        return fail(ctx, ERR_INVALID_ARG, "%s grab: the current results are not from a %s release search", s.name,
                         s.name);
    if (index < 0 || index >= rs.row_count)
        return fail(ctx, ERR_INVALID_ARG, "%s grab: no release %d in the current results", s.name, index);
    const result_row &row = rs.rows[index];
    yyjson_val *guid = obj_iget(row.raw, "guid");
    yyjson_val *indexer = obj_iget(row.raw, "indexerId");
    int32_t indexer_id;
    if (!yyjson_is_str(guid) || yyjson_get_len(guid) == 0 || !read_id(indexer, &indexer_id))
        return fail(ctx, ERR_INVALID_ARG, "%s grab: release %d has no guid or indexer id", s.name, index);
    text_guard body(grab_body(guid, indexer));
    if (!body.p) return fail_oom(ctx);
    log_append(ctx, s.log_grab, "Sending release %s to the download client", row.title);
    char *answer = nullptr;
    rc = request(ctx, kind, http_method::post, "/api/v3/release", nullptr, body.p, "release grab", &answer);
    mem_free(answer);
    return rc;
}

} // namespace kova
