// The staged Jackett search (IMDb id, then title, then free query) and the
// classification of a Jackett result set.
#include <cstdio>
#include <cstring>

#include "ops/ops.h"

namespace kova {

namespace {
// One search request for text; on success its answer is the context's set,
// on failure the set is left as it was.
int32_t jackett_query(context *ctx, const char *text) {
    text_guard enc(url_encode(text));
    if (!enc.p) return fail_oom(ctx);
    size_t qlen = strlen(enc.p) + 8;
    text_guard query(static_cast<char *>(mem_alloc(qlen)));
    if (!query.p) return fail_oom(ctx);
    snprintf(query.p, qlen, "Query=%s", enc.p);
    char *body = nullptr;
    size_t len = 0;
    int32_t rc = request(ctx, KOVA_JACKETT, http_method::get, "/api/v2.0/indexers/all/results", query.p, nullptr,
                              "search", &body, &len);
    text_guard body_g(body);
    if (rc == ERR_HTTP && ctx->http_code == 404)
        rc = fail(ctx, ERR_NOT_FOUND, "Jackett search: HTTP 404");
    if (rc != OK) return rc;
    // The set takes the answer over and reads it in place.
    result_set fresh{};
    return install_set(ctx, &fresh, parse_jackett(ctx, &fresh, body, len, body_g.release()));
}

int32_t query_stage(context *ctx, const char *query) {
    log_append(ctx, "JackettV2_Lookup_By_Query", "Searching by query:%s...", query);
    int32_t rc = jackett_query(ctx, query);
    if (rc != OK) return rc;
    if (ctx->rs.row_count > 0) ctx->stage = KOVA_STAGE_QUERY;
    return classify_set(ctx);
}

int32_t title_stage(context *ctx, const char *imdb, const char *title, const char *query) {
    char norm[64];
    imdb_norm(imdb, norm, sizeof norm);
    log_append(ctx, "JackettV2_Lookup_By_Title", "Searching by title:%s...", title);
    int32_t rc = jackett_query(ctx, title);
    if (rc != OK) return rc;
    if (ctx->rs.row_count > 0) {
        int32_t dropped = imdb_filter(&ctx->rs, norm);
        if (dropped > 0) warnf(ctx, "stage2: dropped %d rows with a different Imdb", dropped);
        if (ctx->rs.row_count > 0) {
            ctx->stage = KOVA_STAGE_TITLE;
            return classify_set(ctx);
        }
    }
    return present(query) ? query_stage(ctx, query) : classify_set(ctx);
}
} // namespace

int32_t imdb_filter(result_set *rs, const char *imdb) {
    int32_t kept = 0;
    int32_t dropped = 0;
    for (int32_t i = 0; i < rs->row_count; ++i) {
        result_row *row = &rs->rows[i];
        if (row->imdb && *row->imdb && strcmp(row->imdb, imdb) != 0) {
            row_free(row);
            ++dropped;
            continue;
        }
        if (kept != i) {
            rs->rows[kept] = *row;
            memset(row, 0, sizeof *row);
        }
        ++kept;
    }
    rs->row_count = kept;
    return dropped;
}

int32_t classify_set(context *ctx) {
    const result_set &rs = ctx->rs;
    // The rules of Jackett's searches, for either indexer service.
    const char *name = rs.answer == answer_kind::prowlarr ? "Prowlarr" : "Jackett";
    int32_t total = rs.indexer_count;
    int32_t failed = rs.indexers_errored;
    int32_t rows = rs.row_count;
    if (total > 0 && failed == total && rows == 0)
        return fail(ctx, ERR_INDEXERS, "%s: all %d indexers failed; nothing was searched", name, total);
    if (failed > 0)
        return fail(ctx, PARTIAL, "%s: %d of %d indexers failed; %d results from the rest", name, failed, total,
                    rows);
    if (rows > 0) return OK;
    return fail(ctx, ERR_EMPTY, "%s: no results", name);
}

int32_t do_jackett_search(context *ctx, const char *imdb, const char *title, const char *query) {
    log_clear(ctx);
    result_set_free(&ctx->rs);
    ctx->stage = KOVA_STAGE_NONE;
    if (!present(query) && !present(imdb))
        return fail(ctx, ERR_INVALID_ARG, "Jackett search: no IMDb id and no query");
    if (!ctx->svc[KOVA_JACKETT].configured) return fail(ctx, ERR_NOT_CONFIGURED, "Jackett is not configured");
    if (!present(imdb)) return query_stage(ctx, query);

    log_append(ctx, "JackettV3_Movie_Lookup_By_IMDbID", "Searching movie by using IMDbID:%s...", imdb);
    int32_t rc = jackett_query(ctx, imdb);
    if (rc != OK) return rc;
    if (ctx->rs.row_count > 0) {
        ctx->stage = KOVA_STAGE_IMDB;
        return classify_set(ctx);
    }
    if (present(title)) return title_stage(ctx, imdb, title, query);
    if (present(query)) return query_stage(ctx, query);
    return classify_set(ctx);
}

} // namespace kova
