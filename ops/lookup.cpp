// Lookups of series (Sonarr) and films (Radarr), and the library find.
#include <cstdio>
#include <cstring>

#include "ops/ops.h"

namespace kova {

void lookup_free(context *ctx) {
    lookup_list_free(&ctx->lookups);
    ctx->match = -1;
}

int32_t get_json_array(context *ctx, int32_t kind, const char *path, const char *query, const char *label,
                       yyjson_doc **doc, yyjson_val **arr) {
    *doc = nullptr;
    *arr = nullptr;
    char *body = nullptr;
    int32_t rc = request(ctx, kind, http_method::get, path, query, nullptr, label, &body);
    text_guard body_g(body);
    if (rc != OK) return rc;
    return parse_array(ctx, service_name(kind), label, body, doc, arr);
}

bool radarr_not_found(const context *ctx, int32_t rc, const char *body) {
    if (rc != ERR_HTTP) return false;
    if (ctx->http_code == 404) return true;
    return ctx->http_code == 500 && body &&
           (strstr(body, "NotFoundException") || strstr(body, "was not found"));
}

namespace {
// Builds "<name>=<encoded value>" for a lookup query.
char *encoded_query(const char *name, const char *value) {
    text_guard enc(url_encode(value));
    if (!enc.p) return nullptr;
    buf_guard q;
    strbuf_puts(&q.b, name);
    strbuf_puts(&q.b, enc.p);
    if (q.b.oom) return nullptr;
    char *out = q.b.data;
    q.b = strbuf{};
    return out;
}
} // namespace

int32_t lk_parse(context *ctx, char *body, int32_t kind) {
    lookup_free(ctx);
    text_guard body_g(body);
    return parse_lookup(ctx, service_name(kind), body, &ctx->lookups);
}

int32_t sonarr_term(context *ctx, const char *term, char **body) {
    *body = nullptr;
    text_guard query(encoded_query("term=", term));
    if (!query.p) return fail_oom(ctx);
    return request(ctx, KOVA_SONARR, http_method::get, "/api/v3/series/lookup", query.p, nullptr, "series lookup", body);
}

namespace {
// One Sonarr lookup of term, logged under key ("Searching series by using
// <what>:<term>..."); its entries become the context's lookup.
int32_t sonarr_lookup_step(context *ctx, const char *key, const char *what, const char *term) {
    log_append(ctx, key, "Searching series by using %s:%s...", what, term);
    char *body = nullptr;
    int32_t rc = sonarr_term(ctx, term, &body);
    if (rc != OK) {
        mem_free(body);
        return rc;
    }
    return lk_parse(ctx, body, KOVA_SONARR);
}
} // namespace

int32_t do_sonarr_lookup(context *ctx, const char *imdb, const char *title) {
    lookup_free(ctx);
    if (!present(imdb) && !present(title))
        return fail(ctx, ERR_INVALID_ARG, "Sonarr lookup: no IMDb id and no title");
    int32_t rc;
    bool title_search = !present(imdb);
    if (present(imdb)) {
        rc = sonarr_lookup_step(ctx, "SonarrV3_Series_Lookup_By_IMDbID", "IMDbID", imdb);
        if (rc != OK) return rc;
        title_search = ctx->lookups.count == 0 && present(title);
    }
    if (title_search) {
        rc = sonarr_lookup_step(ctx, "SonarrV3_Series_Lookup_By_Title", "Title", title);
        if (rc != OK) return rc;
    }
    ctx->match = -1;
    if (ctx->lookups.count == 0) return fail(ctx, ERR_EMPTY, "Sonarr lookup: no series found");
    if (present(imdb)) {
        for (int32_t i = 0; i < ctx->lookups.count; ++i) {
            const lookup_entry &e = ctx->lookups.entries[i];
            if (e.imdb && strcmp(e.imdb, imdb) == 0 && e.tvdb > 0) {
                ctx->match = i;
                log_append(ctx, "SonarrV3_Series_Found", "Found series %s and tvdbId is %d", e.clean_title,
                          e.tvdb);
                return OK;
            }
        }
    }
    return fail(ctx, ERR_NOT_FOUND, "Sonarr lookup: %d series, none with that IMDb id and a TVDB id",
                     ctx->lookups.count);
}

int32_t do_radarr_lookup(context *ctx, const char *imdb) {
    lookup_free(ctx);
    if (!present(imdb)) return fail(ctx, ERR_INVALID_ARG, "Radarr lookup: no IMDb id");
    log_append(ctx, "RadarrV3_Movie_Lookup_By_IMDbID", "Searching movie by using IMDbID:%s...", imdb);
    char *body = nullptr;
    int32_t rc;
    {
        text_guard query(encoded_query("imdbId=", imdb));
        if (!query.p) return fail_oom(ctx);
        rc = request(ctx, KOVA_RADARR, http_method::get, "/api/v3/movie/lookup/imdb", query.p, nullptr, "movie lookup", &body);
    }
    if (rc != OK) {
        bool missing = radarr_not_found(ctx, rc, body);
        mem_free(body);
        if (missing)
            return fail(ctx, ERR_NOT_FOUND, "Radarr lookup: movie not found (HTTP %ld)",
                             static_cast<long>(ctx->http_code));
        return rc;
    }
    rc = lk_parse(ctx, body, KOVA_RADARR);
    if (rc != OK) return rc;
    ctx->match = -1;
    if (ctx->lookups.count > 0) {
        const lookup_entry &e = ctx->lookups.entries[0];
        if (e.imdb && strcmp(e.imdb, imdb) == 0 && e.tmdb > 0) {
            ctx->match = 0;
            log_append(ctx, "RadarrV3_Movie_Found", "Found movie %s and tmdbId is %d", e.title, e.tmdb);
            return OK;
        }
    }
    return fail(ctx, ERR_NOT_FOUND, "Radarr lookup: the answer is for a different IMDb id or has no TMDb id");
}

int32_t do_library_find(context *ctx, int32_t kind, int32_t id) {
    const arr_service &s = arr_service_of(kind);
    if (id < 1) return fail(ctx, ERR_INVALID_ARG, "%s: invalid %s", s.name, s.ext_key);
    char query[64];
    snprintf(query, sizeof query, "%s=%d", s.ext_key, static_cast<int>(id));
    yyjson_doc *answer;
    yyjson_val *arr;
    int32_t rc = get_json_array(ctx, kind, s.library_path, query, "library", &answer, &arr);
    doc_guard doc(answer);
    if (rc != OK) return rc;
    return find_library_id(arr, s.ext_key, id);
}

} // namespace kova
