// The staged Jackett search (IMDb id, then title, then free query) and the
// classification of a Jackett result set.
#include <cstdio>
#include <cstring>

#include "ops/ops.h"

namespace {
// One search request for text; on success its answer is the context's set,
// on failure the set is left as it was.
int32_t jackett_query(kova_ctx *ctx, const char *text) {
    text_guard enc(kova_enc(text));
    if (!enc.p) return kova_oom(ctx);
    size_t qlen = strlen(enc.p) + 8;
    text_guard query(static_cast<char *>(kova_malloc(qlen)));
    if (!query.p) return kova_oom(ctx);
    snprintf(query.p, qlen, "Query=%s", enc.p);
    char *body = nullptr;
    size_t len = 0;
    int32_t rc = kova_request(ctx, KOVA_JACKETT, kova_method::get, "/api/v2.0/indexers/all/results", query.p, nullptr,
                              "search", &body, &len);
    text_guard body_g(body);
    if (rc == ERR_HTTP && ctx->http_code == 404)
        rc = kova_fail(ctx, ERR_NOT_FOUND, "Jackett search: HTTP 404");
    if (rc != OK) return rc;
    // The set takes the answer over and reads it in place.
    kova_rset fresh{};
    return install_set(ctx, &fresh, kova_rset_parse_jackett(ctx, &fresh, body, len, body_g.release()));
}

// Drops, in place, the rows that carry an IMDb number other than `imdb`;
// rows without one stay. Returns the number dropped.
int32_t imdb_filter(kova_rset *rs, const char *imdb) {
    int32_t kept = 0;
    int32_t dropped = 0;
    for (int32_t i = 0; i < rs->row_count; ++i) {
        kova_row *row = &rs->rows[i];
        if (row->imdb && *row->imdb && strcmp(row->imdb, imdb) != 0) {
            kova_row_free(row);
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

int32_t query_stage(kova_ctx *ctx, const char *query) {
    kova_logf(ctx, "JackettV2_Lookup_By_Query", "Searching by query:%s...", query);
    int32_t rc = jackett_query(ctx, query);
    if (rc != OK) return rc;
    if (ctx->rs.row_count > 0) ctx->stage = KOVA_STAGE_QUERY;
    return kova_rset_classify(ctx);
}

int32_t title_stage(kova_ctx *ctx, const char *imdb, const char *title, const char *query) {
    char norm[64];
    kova_imdb_norm(imdb, norm, sizeof norm);
    kova_logf(ctx, "JackettV2_Lookup_By_Title", "Searching by title:%s...", title);
    int32_t rc = jackett_query(ctx, title);
    if (rc != OK) return rc;
    if (ctx->rs.row_count > 0) {
        int32_t dropped = imdb_filter(&ctx->rs, norm);
        if (dropped > 0) kova_warnf(ctx, "stage2: dropped %d rows with a different Imdb", dropped);
        if (ctx->rs.row_count > 0) {
            ctx->stage = KOVA_STAGE_TITLE;
            return kova_rset_classify(ctx);
        }
    }
    return present(query) ? query_stage(ctx, query) : kova_rset_classify(ctx);
}
} // namespace

int32_t kova_rset_classify(kova_ctx *ctx) {
    const kova_rset &rs = ctx->rs;
    int32_t total = rs.indexer_count;
    int32_t failed = rs.indexers_errored;
    int32_t rows = rs.row_count;
    if (total > 0 && failed == total && rows == 0)
        return kova_fail(ctx, ERR_INDEXERS, "Jackett: all %d indexers failed; nothing was searched", total);
    if (failed > 0)
        return kova_fail(ctx, PARTIAL, "Jackett: %d of %d indexers failed; %d results from the rest", failed,
                         total, rows);
    if (rows > 0) return OK;
    return kova_fail(ctx, ERR_EMPTY, "Jackett: no results");
}

int32_t kova_do_jackett_search(kova_ctx *ctx, const char *imdb, const char *title, const char *query) {
    kova_log_clear(ctx);
    kova_rset_free(&ctx->rs);
    ctx->stage = KOVA_STAGE_NONE;
    if (!present(query) && !present(imdb))
        return kova_fail(ctx, ERR_INVALID_ARG, "Jackett search: no IMDb id and no query");
    if (!ctx->svc[KOVA_JACKETT].configured) return kova_fail(ctx, ERR_NOT_CONFIGURED, "Jackett is not configured");
    if (!present(imdb)) return query_stage(ctx, query);

    kova_logf(ctx, "JackettV3_Movie_Lookup_By_IMDbID", "Searching movie by using IMDbID:%s...", imdb);
    int32_t rc = jackett_query(ctx, imdb);
    if (rc != OK) return rc;
    if (ctx->rs.row_count > 0) {
        ctx->stage = KOVA_STAGE_IMDB;
        return kova_rset_classify(ctx);
    }
    if (present(title)) return title_stage(ctx, imdb, title, query);
    if (present(query)) return query_stage(ctx, query);
    return kova_rset_classify(ctx);
}
