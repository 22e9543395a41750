// Prowlarr: its connection test (the enabled indexers and their status) and
// its staged search, with the rules of Jackett's: by IMDb id, then by title
// (rows of other IMDb ids dropped), then by query.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/platform.h"
#include "ops/ops.h"

namespace kova {

namespace {
// Prowlarr's search types by KOVA_SEARCH_*: free text, films, series.
constexpr const char *k_types[] = {"search", "movie", "tvsearch"};

// The indexers and their status, read into rs's indexer entries.
int32_t read_indexers(context *ctx, result_set *rs) {
    yyjson_doc *indexers_doc, *status_doc;
    yyjson_val *indexers, *status;
    int32_t rc = get_json_array(ctx, KOVA_PROWLARR, "/api/v1/indexer", nullptr, "indexer list", &indexers_doc, &indexers);
    doc_guard indexers_g(indexers_doc);
    if (rc != OK) return rc;
    rc = get_json_array(ctx, KOVA_PROWLARR, "/api/v1/indexerstatus", nullptr, "indexer status", &status_doc, &status);
    doc_guard status_g(status_doc);
    if (rc != OK) return rc;
    return read_prowlarr_indexers(ctx, rs, indexers, status, time_seconds());
}

// One search request; its answer in *body (len bytes, handed over).
int32_t search_request(context *ctx, const char *text, const char *type, char **body, size_t *len) {
    text_guard enc(url_encode(text));
    if (!enc.p) return fail_oom(ctx);
    buf_guard query;
    strbuf_puts(&query.b, "query=");
    strbuf_puts(&query.b, enc.p);
    strbuf_puts(&query.b, "&type=");
    strbuf_puts(&query.b, type);
    if (query.b.oom) return fail_oom(ctx);
    int32_t rc = request(ctx, KOVA_PROWLARR, http_method::get, "/api/v1/search", query.b.data, nullptr, "search",
                         body, len);
    if (rc == ERR_HTTP && ctx->http_code == 404) rc = fail(ctx, ERR_NOT_FOUND, "Prowlarr search: HTTP 404");
    return rc;
}

// The contents of an array answer between its brackets, or null when the
// text is no array.
const char *array_inside(const char *text, size_t len, size_t *n) {
    const char *b = text, *e = text + len;
    while (b < e && (*b == ' ' || *b == '\t' || *b == '\r' || *b == '\n')) ++b;
    while (e > b && (e[-1] == ' ' || e[-1] == '\t' || e[-1] == '\r' || e[-1] == '\n')) --e;
    if (e - b < 2 || *b != '[' || e[-1] != ']') return nullptr;
    const char *in = b + 1, *out = e - 1;
    while (in < out && (*in == ' ' || *in == '\t' || *in == '\r' || *in == '\n')) ++in;
    *n = static_cast<size_t>(out - in);
    return in;
}

// Two answers of one stage (the two types a search for anything asks) as
// one array of their rows together; a text that is no array is kept alone,
// so that its parse reports it. Takes both texts over; null when out of
// memory.
char *joined(char *first, size_t first_len, char *second, size_t second_len, size_t *len) {
    size_t na, nb;
    const char *ia = array_inside(first, first_len, &na);
    const char *ib = array_inside(second, second_len, &nb);
    if (!ia || !ib) {
        mem_free(ia ? first : second);
        *len = ia ? second_len : first_len;
        return ia ? second : first;
    }
    char *text = static_cast<char *>(mem_alloc(na + nb + 3 + YYJSON_PADDING_SIZE));
    size_t o = 0;
    if (text) {
        text[o++] = '[';
        memcpy(text + o, ia, na);
        o += na;
        if (na && nb) text[o++] = ',';
        memcpy(text + o, ib, nb);
        o += nb;
        text[o++] = ']';
        memset(text + o, 0, YYJSON_PADDING_SIZE);
    }
    mem_free(first);
    mem_free(second);
    *len = o;
    return text;
}

// One stage: text searched under each of the types given (one, or two).
int32_t stage(context *ctx, const char *text, const char *type, const char *second_text, const char *second_type) {
    char *body = nullptr, *second = nullptr;
    size_t len = 0, second_len = 0;
    int32_t rc = search_request(ctx, text, type, &body, &len);
    if (rc == OK && second_type) rc = search_request(ctx, second_text, second_type, &second, &second_len);
    if (rc != OK) {
        mem_free(body);
        mem_free(second);
        return rc;
    }
    if (second_type) {
        body = joined(body, len, second, second_len, &len);
        if (!body) return fail_oom(ctx);
    }
    // The set takes the answer over and reads it in place.
    result_set fresh{};
    rc = install_set(ctx, &fresh, parse_prowlarr(ctx, &fresh, body, len, body));
    if (rc == OK) ctx->rs.source = KOVA_PROWLARR;
    return rc;
}

// After the stages: the indexers held back after failures count as failed,
// so that the outcome follows Jackett's rules. A status that cannot be read
// leaves the search's own result, with a warning.
int32_t finish(context *ctx) {
    log_append(ctx, "ProwlarrV1_Indexer_Status", "Reading the indexers' status...");
    diag_mark mark;
    diag_save(ctx, &mark);
    int32_t rc = read_indexers(ctx, &ctx->rs);
    if (rc == ERR_OOM) return rc;
    if (rc != OK) {
        char why[err_size];
        memcpy(why, ctx->err, sizeof why);
        diag_rewind(ctx, &mark);
        warnf(ctx, "Prowlarr: the indexers' status is unknown (%s)", why);
    }
    return classify_set(ctx);
}
} // namespace

int32_t do_prowlarr_test(context *ctx) {
    log_clear(ctx);
    result_set_free(&ctx->rs);
    ctx->stage = KOVA_STAGE_NONE;
    log_append(ctx, "ProwlarrV1_Test_Indexers", "Listing enabled Prowlarr indexers (no search)...");
    result_set fresh{};
    fresh.answer = answer_kind::prowlarr;
    int32_t rc = install_set(ctx, &fresh, read_indexers(ctx, &fresh));
    if (rc != OK) return rc;
    const result_set &rs = ctx->rs;
    if (rs.indexer_count == 0) {
        log_append(ctx, "ProwlarrV1_NoIndexers", "no indexer is enabled in Prowlarr");
        return fail(ctx, ERR_EMPTY, "Prowlarr: no indexer is enabled");
    }
    buf_guard names;
    for (int32_t i = 0; i < rs.indexer_count; ++i) {
        if (i) strbuf_puts(&names.b, ", ");
        strbuf_puts(&names.b, rs.indexers[i].name);
        if (rs.indexers[i].status == KOVA_INDEXER_FAILED) strbuf_puts(&names.b, " (held back)");
    }
    log_append(ctx, "ProwlarrV1_Indexers", "indexers: %s", names.b.data ? names.b.data : "");
    return OK;
}

int32_t do_prowlarr_search(context *ctx, const char *imdb, const char *title, const char *query, int32_t type,
                           int32_t season, int32_t episode) {
    log_clear(ctx);
    result_set_free(&ctx->rs);
    ctx->stage = KOVA_STAGE_NONE;
    if (type < KOVA_SEARCH_ANY || type > KOVA_SEARCH_TV)
        return fail(ctx, ERR_INVALID_ARG, "Prowlarr search: unknown type %d", static_cast<int>(type));
    if (!present(query) && !present(imdb))
        return fail(ctx, ERR_INVALID_ARG, "Prowlarr search: no IMDb id and no query");
    if (season < 0 || episode < 0) return fail(ctx, ERR_INVALID_ARG, "Prowlarr search: invalid season/episode");
    // Prowlarr reads an IMDb id as "tt" and one to eight digits.
    char norm[9] = ""; // the IMDb number, at most eight digits
    char token[96] = "";
    if (present(imdb)) {
        imdb_norm(imdb, norm, sizeof norm);
        if (!*norm || strcmp(norm, "0") == 0) return fail(ctx, ERR_INVALID_ARG, "Prowlarr search: invalid IMDb id");
        snprintf(token, sizeof token, "{ImdbId:tt%07d}", atoi(norm));
    }
    if (!ctx->svc[KOVA_PROWLARR].configured) return fail(ctx, ERR_NOT_CONFIGURED, "Prowlarr is not configured");

    int32_t rc;
    if (*token) {
        // Season and episode are tokens a series search reads.
        char tv[128];
        snprintf(tv, sizeof tv, "%s", token);
        if (season > 0) snprintf(tv + strlen(tv), sizeof tv - strlen(tv), "{Season:%d}", static_cast<int>(season));
        if (episode > 0) snprintf(tv + strlen(tv), sizeof tv - strlen(tv), "{Episode:%d}", static_cast<int>(episode));
        log_append(ctx, "ProwlarrV1_Lookup_By_IMDbID", "Searching by IMDbID:tt%07d...", atoi(norm));
        // Only the movie and tvsearch types read tokens: a search for
        // anything asks both and takes their rows together.
        if (type == KOVA_SEARCH_MOVIE)
            rc = stage(ctx, token, "movie", nullptr, nullptr);
        else if (type == KOVA_SEARCH_TV)
            rc = stage(ctx, tv, "tvsearch", nullptr, nullptr);
        else
            rc = stage(ctx, token, "movie", tv, "tvsearch");
        if (rc != OK) return rc;
        if (ctx->rs.row_count > 0) {
            ctx->stage = KOVA_STAGE_IMDB;
            return finish(ctx);
        }
    }
    if (*token && present(title)) {
        log_append(ctx, "ProwlarrV1_Lookup_By_Title", "Searching by title:%s...", title);
        rc = stage(ctx, title, k_types[type], nullptr, nullptr);
        if (rc != OK) return rc;
        int32_t dropped = imdb_filter(&ctx->rs, norm);
        if (dropped > 0) warnf(ctx, "Prowlarr: %d rows of other IMDb ids dropped", dropped);
        if (ctx->rs.row_count > 0) {
            ctx->stage = KOVA_STAGE_TITLE;
            return finish(ctx);
        }
    }
    if (present(query)) {
        log_append(ctx, "ProwlarrV1_Lookup_By_Query", "Searching by query:%s...", query);
        rc = stage(ctx, query, k_types[type], nullptr, nullptr);
        if (rc != OK) return rc;
        if (ctx->rs.row_count > 0) ctx->stage = KOVA_STAGE_QUERY;
    }
    return finish(ctx);
}

} // namespace kova
