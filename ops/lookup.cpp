// Lookups of series (Sonarr) and films (Radarr), and the library find.
#include <cstdio>
#include <cstring>

#include "ops/ops.h"

namespace kova {

void lookup_free(context *ctx) {
    for (int32_t i = 0; i < ctx->lookup_count; ++i) {
        mem_free(ctx->lookup[i].title);
        mem_free(ctx->lookup[i].clean_title);
        mem_free(ctx->lookup[i].imdb);
    }
    mem_free(ctx->lookup);
    ctx->lookup = nullptr;
    ctx->lookup_count = 0;
    yyjson_doc_free(ctx->lookup_doc);
    ctx->lookup_doc = nullptr;
    ctx->match = -1;
}

bool read_id(yyjson_val *v, int32_t *out) {
    int64_t n;
    if (!val_int(v, &n) || n < 1 || n > 2147483646) return false;
    *out = static_cast<int32_t>(n);
    return true;
}

int32_t get_json_array(context *ctx, int32_t kind, const char *path, const char *query, const char *label,
                       yyjson_doc **doc, yyjson_val **arr) {
    *doc = nullptr;
    *arr = nullptr;
    char *body = nullptr;
    int32_t rc = request(ctx, kind, http_method::get, path, query, nullptr, label, &body);
    text_guard body_g(body);
    if (rc != OK) return rc;
    bool oom;
    *doc = answer_read(ctx, body, strlen(body), &oom);
    if (oom) return fail_oom(ctx);
    yyjson_val *root = yyjson_doc_get_root(*doc);
    if (!yyjson_is_arr(root))
        return fail(ctx, ERR_JSON, "%s %s: not a JSON array", service_name(kind), label);
    *arr = root;
    return OK;
}

bool radarr_not_found(const context *ctx, int32_t rc, const char *body) {
    if (rc != ERR_HTTP) return false;
    if (ctx->http_code == 404) return true;
    return ctx->http_code == 500 && body &&
           (strstr(body, "NotFoundException") || strstr(body, "was not found"));
}

namespace {
int32_t low32(yyjson_val *v) {
    int64_t n;
    return val_int(v, &n) ? static_cast<int32_t>(n) : 0;
}

int32_t lk_fill_one(context *ctx, lookup_entry *e, yyjson_val *obj) {
    e->raw = obj;
    e->title = val_str(obj_iget(obj, "title"), nullptr);
    e->clean_title = val_str(obj_iget(obj, "cleanTitle"), nullptr);
    e->imdb = val_str(obj_iget(obj, "imdbId"), nullptr);
    e->tvdb = low32(obj_iget(obj, "tvdbId"));
    e->tmdb = low32(obj_iget(obj, "tmdbId"));
    e->year = low32(obj_iget(obj, "year"));
    e->library_id = low32(obj_iget(obj, "id"));
    if (!e->title || !e->clean_title || !e->imdb) return fail_oom(ctx);
    return OK;
}

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
    bool oom;
    ctx->lookup_doc = answer_read(ctx, body, body ? strlen(body) : 0, &oom);
    mem_free(body);
    if (oom) return fail_oom(ctx);
    yyjson_val *root = yyjson_doc_get_root(ctx->lookup_doc);
    if (yyjson_is_obj(root)) {
        ctx->lookup = static_cast<lookup_entry *>(mem_calloc(1, sizeof(lookup_entry)));
        if (!ctx->lookup) return fail_oom(ctx);
        // The entry counts even when filling it runs out of memory: its texts
        // are then null, which the accessors read as "".
        ctx->lookup_count = 1;
        return lk_fill_one(ctx, &ctx->lookup[0], root);
    }
    if (!yyjson_is_arr(root)) return fail(ctx, ERR_JSON, "%s lookup: not JSON", service_name(kind));
    size_t n = yyjson_arr_size(root);
    size_t cap = n < 1 ? 1 : (n > max_lookup ? max_lookup : n);
    ctx->lookup = static_cast<lookup_entry *>(mem_calloc(cap, sizeof(lookup_entry)));
    if (!ctx->lookup) return fail_oom(ctx);
    size_t idx, max;
    yyjson_val *el;
    yyjson_arr_foreach(root, idx, max, el) {
        if (!yyjson_is_obj(el)) continue;
        if (ctx->lookup_count >= max_lookup) break;
        lookup_entry *e = &ctx->lookup[ctx->lookup_count++];
        int32_t rc = lk_fill_one(ctx, e, el);
        if (rc != OK) return rc;
    }
    return OK;
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
        title_search = ctx->lookup_count == 0 && present(title);
    }
    if (title_search) {
        rc = sonarr_lookup_step(ctx, "SonarrV3_Series_Lookup_By_Title", "Title", title);
        if (rc != OK) return rc;
    }
    ctx->match = -1;
    if (ctx->lookup_count == 0) return fail(ctx, ERR_EMPTY, "Sonarr lookup: no series found");
    if (present(imdb)) {
        for (int32_t i = 0; i < ctx->lookup_count; ++i) {
            const lookup_entry &e = ctx->lookup[i];
            if (e.imdb && strcmp(e.imdb, imdb) == 0 && e.tvdb > 0) {
                ctx->match = i;
                log_append(ctx, "SonarrV3_Series_Found", "Found series %s and tvdbId is %d", e.clean_title,
                          e.tvdb);
                return OK;
            }
        }
    }
    return fail(ctx, ERR_NOT_FOUND, "Sonarr lookup: %d series, none with that IMDb id and a TVDB id",
                     ctx->lookup_count);
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
    if (ctx->lookup_count > 0) {
        const lookup_entry &e = ctx->lookup[0];
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
    const char *key = s.ext_key;
    if (id < 1) return fail(ctx, ERR_INVALID_ARG, "%s: invalid %s", s.name, key);
    char query[64];
    snprintf(query, sizeof query, "%s=%d", key, static_cast<int>(id));
    yyjson_doc *answer;
    yyjson_val *arr;
    int32_t rc = get_json_array(ctx, kind, s.library_path, query, "library", &answer, &arr);
    doc_guard doc(answer);
    if (rc != OK) return rc;
    size_t idx, max;
    yyjson_val *el;
    yyjson_arr_foreach(arr, idx, max, el) {
        int64_t ext;
        int32_t lib;
        if (!yyjson_is_obj(el)) continue;
        if (!val_int(obj_iget(el, key), &ext) || ext != id) continue;
        if (read_id(obj_iget(el, "id"), &lib)) return lib;
    }
    return 0;
}

} // namespace kova
