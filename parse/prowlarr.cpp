// Prowlarr's search answer: one JSON array of release objects, read into rows
// shaped like Jackett's, so that the accessors and the result document treat
// every indexer service alike.
#include <cstdio>
#include <cstring>

#include "parse/rows.h"

namespace kova {

namespace {
// The keys of Prowlarr's rows, from the field list. The peers' key is
// "leechers": a row's peers are its seeders and leechers together, as
// Jackett counts them.
constexpr const char *k_fields[] = {KV_ROW_FIELDS(KV_ROW_KEY_prowlarr)};
constexpr keyset k_prowlarr{k_fields};

// "indexerFlags" (texts such as "freeleech") as the download volume factor
// in thousandths: nothing counts for a freeleech or neutralleech release,
// half for a halfleech one, all of it otherwise.
int32_t flags_dvf(yyjson_val *v) {
    int32_t f = 1000;
    size_t idx, max;
    yyjson_val *e;
    yyjson_arr_foreach(v, idx, max, e) {
        if (!yyjson_is_str(e)) continue;
        const char *s = unsafe_yyjson_get_str(e);
        if (ieq(s, "freeleech") || ieq(s, "neutralleech"))
            f = 0;
        else if (ieq(s, "halfleech") && f != 0)
            f = 500;
    }
    return f;
}

// The names of the categories that have one, joined with ", ", as the
// row's category description; what does not fit the row's staging area is
// left out, at a character boundary.
void category_names(row_own &own, const char **f, yyjson_val *cats) {
    char buf[512];
    size_t room = row_own::text_cap - own.used - 1;
    if (room > sizeof buf) room = sizeof buf;
    size_t n = 0;
    size_t idx, max;
    yyjson_val *e;
    yyjson_arr_foreach(cats, idx, max, e) {
        yyjson_val *name = obj_iget(e, "name");
        if (!yyjson_is_str(name) || !unsafe_yyjson_get_len(name)) continue;
        const char *s = unsafe_yyjson_get_str(name);
        size_t len = unsafe_yyjson_get_len(name);
        size_t sep = n ? 2 : 0;
        if (n + sep + len > room) {
            // The part that fits, cut before a continuation byte.
            size_t fit = room > n + sep ? room - n - sep : 0;
            while (fit > 0 && (static_cast<unsigned char>(s[fit]) & 0xC0) == 0x80) --fit;
            if (fit == 0) break;
            len = fit;
        }
        if (sep) memcpy(buf + n, ", ", 2);
        memcpy(buf + n + sep, s, len);
        n += sep + len;
        if (n >= room) break;
    }
    if (n)
        own.put(f, buf, n);
    else
        *f = empty_text;
}

bool fill_row(diagnostics *diag, const key_index &ix, row_own &own, result_row *row, yyjson_val *obj) {
    using enum row_field;
    row_values<k_prowlarr> in;
    // The row comes uncleared (next_row): every field is set here.
    row_begin(ix, own, row, obj, in.v);
    texts_as_sent<title, tracker, tracker_id, guid, link, details, magnet, info_hash>(diag, own, row, in);
    id_field(diag, own, &row->tmdb, in[tmdb], in.key(tmdb));
    id_field(diag, own, &row->tvdb, in[tvdb], in.key(tvdb));
    imdb_field(own, &row->imdb, in[imdb], true);
    size_field(row, in[size]);
    row->seeders = int_field(in[seeders], -1);
    int32_t leechers = int_field(in[peers], -1);
    row->peers = row->seeders < 0 && leechers < 0
                     ? -1
                     : clamp32(static_cast<int64_t>(row->seeders < 0 ? 0 : row->seeders) + (leechers < 0 ? 0 : leechers));
    row->files = int_field(in[files], -1);
    cats_from(own, in[category]);
    category_names(own, &row->category_desc, in[category]);
    row->publish_date = date_field(in[publish_date]);
    row->download_volume_factor = flags_dvf(in[download_volume_factor]);
    row->season = -1;
    row->episode = -1;
    row->full_season = 0;
    return own.finish(row);
}
} // namespace

int32_t parse_prowlarr(diagnostics *diag, result_set *rs, const char *text, size_t len, char *own) {
    return parse_row_array(diag, rs, text, len, own, answer_kind::prowlarr, "Prowlarr: response", k_prowlarr,
                           "Prowlarr: more than %d results, the rest dropped", "Prowlarr: %d non-object rows ignored",
                           fill_row);
}

namespace {
// The status entry of indexer id, or null.
yyjson_val *status_of(yyjson_val *status, int64_t id) {
    size_t idx, max;
    yyjson_val *e;
    yyjson_arr_foreach(status, idx, max, e) {
        int64_t n;
        if (val_int(obj_iget(e, "indexerId"), &n) && n == id) return e;
    }
    return nullptr;
}

// A date member as text, and as milliseconds since 1970 (-1 when none).
const char *date_text(yyjson_val *e, const char *key, int64_t *ms) {
    yyjson_val *v = obj_iget(e, key);
    *ms = yyjson_is_str(v) ? parse_iso_len(unsafe_yyjson_get_str(v), unsafe_yyjson_get_len(v)) : -1;
    return *ms >= 0 ? unsafe_yyjson_get_str(v) : nullptr;
}

int32_t rows_of(const result_set &rs, const char *id) {
    int32_t n = 0;
    for (int32_t i = 0; i < rs.row_count; ++i) n += strcmp(rs.rows[i].tracker_id, id) == 0;
    return n;
}
} // namespace

int32_t read_prowlarr_indexers(diagnostics *diag, result_set *rs, yyjson_val *indexers, yyjson_val *status,
                               int64_t now) {
    size_t idx, max;
    yyjson_val *e;
    yyjson_arr_foreach(indexers, idx, max, e) {
        int64_t id;
        yyjson_val *enable = obj_iget(e, "enable");
        if (!yyjson_is_obj(e) || !val_int(obj_iget(e, "id"), &id) || (enable && !yyjson_is_true(enable))) continue;
        indexer_entry *x = rs_add_indexer(rs);
        if (!x) return fail_oom(diag);
        char since_until[160] = "";
        int32_t state = 0;
        if (yyjson_val *st = status_of(status, id)) {
            int64_t till_ms, since_ms;
            const char *till = date_text(st, "disabledTill", &till_ms);
            const char *since = date_text(st, "initialFailure", &since_ms);
            if (!since) since = date_text(st, "mostRecentFailure", &since_ms);
            if (till && till_ms > now * 1000) {
                state = KOVA_INDEXER_FAILED;
                if (since)
                    snprintf(since_until, sizeof since_until, "held back after failures since %.40s until %.40s", since,
                             till);
                else
                    snprintf(since_until, sizeof since_until, "held back after failures until %.40s", till);
            }
        }
        char digits[24];
        *write_i64(digits, id) = '\0';
        x->id = text_dup(digits);
        x->name = val_str(obj_iget(e, "name"), nullptr);
        x->error = text_dup(since_until);
        if (!x->id || !x->name || !x->error) {
            mem_free(x->id);
            mem_free(x->name);
            mem_free(x->error);
            *x = indexer_entry{};
            return fail_oom(diag);
        }
        x->status = state;
        x->results = rows_of(*rs, x->id);
        ++rs->indexer_count;
        if (state == KOVA_INDEXER_FAILED) ++rs->indexers_errored;
    }
    return OK;
}

} // namespace kova
