// Sonarr and Radarr release lists (API v3): one JSON array of release
// objects, read into rows shaped like Jackett's so that the accessors and the
// result document treat both alike.
#include <cstring>

#include "parse/rows.h"

namespace kova {

namespace {
// The keys of the release lists' rows, from the field list.
constexpr const char *k_fields[] = {KV_ROW_FIELDS(KV_ROW_KEY_releases)};
constexpr keyset k_releases{k_fields};

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

bool fill_row(diagnostics *diag, const key_index &ix, row_own &own, result_row *row, yyjson_val *obj) {
    using enum row_field;
    row_values<k_releases> in;
    // The row comes uncleared (next_row): every field is set here.
    row_begin(ix, own, row, obj, in.v);
    texts_as_sent<title, tracker, tracker_id, guid, link, details, magnet, info_hash>(diag, own, row, in);
    row->category_desc = empty_text;
    id_field(diag, own, &row->tmdb, in[tmdb], in.key(tmdb));
    id_field(diag, own, &row->tvdb, in[tvdb], in.key(tvdb));
    imdb_field(own, &row->imdb, in[imdb], true);
    size_field(row, in[size]);
    row->seeders = int_field(in[seeders], -1);
    row->peers = int_field(in[peers], -1);
    row->files = -1;
    cats_from(own, in[category]);
    row->publish_date = date_field(in[publish_date]);
    row->download_volume_factor = flags_dvf(in[download_volume_factor]);
    row->season = int_field(in[season], -1);
    yyjson_val *eps = in[episode];
    row->episode = yyjson_arr_size(eps) ? int_field(unsafe_yyjson_get_first(eps), -1) : -1;
    row->full_season = yyjson_is_true(in[full_season]) ? 1 : 0;
    return own.finish(row);
}
} // namespace

int32_t parse_releases(diagnostics *diag, result_set *rs, const char *text, size_t len, char *own) {
    return parse_row_array(diag, rs, text, len, own, answer_kind::releases, "release list", k_releases,
                           "more than %d releases, the rest dropped", "%d non-object release rows ignored", fill_row);
}

} // namespace kova
