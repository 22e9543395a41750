// Sonarr and Radarr release lists (API v3): one JSON array of release
// objects, read into rows shaped like Jackett's so that the accessors and the
// result document treat both alike.
#include <cstring>

#include "parse/rows.h"

namespace kova {

namespace {
enum {
    k_title, k_tracker, k_tracker_id, k_guid, k_link, k_details, k_magnet, k_info_hash, k_tmdb,
    k_tvdb, k_imdb, k_size, k_seeders, k_peers, k_categories, k_publish_date, k_flags, k_season,
    k_episodes, k_full_season, k_count
};
constexpr keyset k_arr{"title",       "indexer",      "indexerId",    "guid",           "downloadUrl",
                       "infoUrl",     "magnetUrl",    "infoHash",     "tmdbId",         "tvdbId",
                       "imdbId",      "size",         "seeders",      "leechers",       "categories",
                       "publishDate", "indexerFlags", "seasonNumber", "episodeNumbers", "fullSeason"};
static_assert(k_arr.count == k_count);

// "indexerFlags" as the download volume factor in thousandths: integer bits
// (1 freeleech, 2 halfleech) or an array of flag names.
int32_t flags_dvf(yyjson_val *v) {
    if (!v) return -1;
    if (yyjson_is_int(v)) {
        uint64_t bits = unsafe_yyjson_get_uint(v); // two's complement bits for negatives
        if (bits & 1) return 0;
        if (bits & 2) return 500;
        return 1000;
    }
    if (!yyjson_is_arr(v)) return 1000;
    int32_t f = 1000;
    size_t idx, max;
    yyjson_val *e;
    yyjson_arr_foreach(v, idx, max, e) {
        if (!yyjson_is_str(e)) continue;
        const char *s = unsafe_yyjson_get_str(e);
        if (ieq(s, "G_Freeleech"))
            f = 0;
        else if (ieq(s, "G_Halfleech") && f != 0)
            f = 500;
    }
    return f;
}

// tmdbId and tvdbId: a zero id counts as absent.
void id_field(diagnostics *diag, row_own &own, const char **f, yyjson_val *v, const char *key) {
    fstr(diag, own, f, v, key, true);
    if ((*f)[0] == '0' && (*f)[1] == '\0') own.clear(f);
}

bool fill_row(diagnostics *diag, const key_index &ix, row_own &own, result_row *row, yyjson_val *obj) {
    yyjson_val *v[k_count + 1]; // the last: keys_resolve's scratch
    // The row comes uncleared (next_row): every field is set here.
    row_begin(ix, own, row, obj, v);
    const char **text[] = {&row->title, &row->tracker, &row->tracker_id, &row->guid,
                           &row->link,  &row->details, &row->magnet,     &row->info_hash};
    for (int i = k_title; i <= k_info_hash; ++i) fstr(diag, own, text[i], v[i], k_arr.name[i], true);
    row->category_desc = empty_text;
    id_field(diag, own, &row->tmdb, v[k_tmdb], k_arr.name[k_tmdb]);
    id_field(diag, own, &row->tvdb, v[k_tvdb], k_arr.name[k_tvdb]);
    imdb_field(own, &row->imdb, v[k_imdb], true);
    size_field(row, v[k_size]);
    row->seeders = int_field(v[k_seeders], -1);
    row->peers = int_field(v[k_peers], -1);
    row->files = -1;
    cats_from(own, v[k_categories]);
    row->publish_date = date_field(v[k_publish_date]);
    row->download_volume_factor = flags_dvf(v[k_flags]);
    row->season = int_field(v[k_season], -1);
    yyjson_val *eps = v[k_episodes];
    row->episode = yyjson_arr_size(eps) ? int_field(unsafe_yyjson_get_first(eps), -1) : -1;
    row->full_season = yyjson_is_true(v[k_full_season]) ? 1 : 0;
    return own.finish(row);
}
} // namespace

int32_t parse_arr_releases(diagnostics *diag, result_set *rs, const char *text, size_t len, char *own) {
    int32_t rc = OK;
    yyjson_val *root = read_into(diag, rs, text, len, own, "release list is not JSON", &rc);
    if (!root) return rc;
    if (!yyjson_is_arr(root))
        return fail(diag, ERR_JSON, "release list is %s, not an array", type_name(root));

    return walk_rows(diag, rs, root, k_arr, "more than %d releases, the rest dropped",
                     "%d non-object release rows ignored", fill_row);
}

} // namespace kova
