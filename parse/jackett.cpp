// Jackett's aggregated results answer: strict about the document's shape,
// lenient about everything inside it.
#include <cmath>
#include <cstdlib>

#include "parse/rows.h"

namespace kova {

namespace {
// The keys of Jackett's rows, from the field list.
constexpr const char *k_fields[] = {KV_ROW_FIELDS(KV_ROW_KEY_jackett)};
constexpr keyset k_jackett{k_fields};

// "DownloadVolumeFactor" in thousandths; -1 when absent or unusable.
int32_t dvf(yyjson_val *v) {
    double x;
    if (yyjson_is_num(v)) {
        x = yyjson_get_num(v);
    } else if (yyjson_is_str(v)) {
        const char *s = unsafe_yyjson_get_str(v);
        char *end = nullptr;
        x = strtod(s, &end);
        if (end == s || *end) return -1;
    } else {
        return -1;
    }
    if (!std::isfinite(x) || x < 0 || x > 1000) return -1;
    return static_cast<int32_t>(x * 1000 + 0.5);
}

// The indexer entries; false when out of memory.
bool read_indexers(result_set *rs, yyjson_val *arr) {
    size_t idx, max;
    yyjson_val *o;
    yyjson_arr_foreach(arr, idx, max, o) {
        if (!yyjson_is_obj(o)) continue;
        indexer_entry *e = rs_add_indexer(rs);
        if (!e) return false;
        e->id = val_str(obj_iget(o, "ID"), nullptr);
        e->name = val_str(obj_iget(o, "Name"), nullptr);
        e->error = val_str(obj_iget(o, "Error"), nullptr);
        if (!e->id || !e->name || !e->error) {
            mem_free(e->id);
            mem_free(e->name);
            mem_free(e->error);
            *e = indexer_entry{};
            return false;
        }
        e->status = int_field(obj_iget(o, "Status"), 0);
        e->results = int_field(obj_iget(o, "Results"), 0);
        ++rs->indexer_count;
        if (e->status == KOVA_INDEXER_FAILED) ++rs->indexers_errored;
    }
    return true;
}

// Fills one row from its object; false when out of memory.
bool fill_row(diagnostics *diag, const key_index &ix, row_own &own, result_row *row, yyjson_val *obj) {
    using enum row_field;
    row_values<k_jackett> in;
    // The row comes uncleared (next_row): every field is set here.
    row_begin(ix, own, row, obj, in.v);
    texts_as_sent<title, tracker, tracker_id, guid, link, details, magnet, info_hash, category_desc, tmdb, tvdb>(
        diag, own, row, in);
    imdb_field(own, &row->imdb, in[imdb], true);
    size_field(row, in[size]);
    row->seeders = int_field(in[seeders], -1);
    row->peers = int_field(in[peers], -1);
    row->files = int_field(in[files], -1);
    cats_from(own, in[category]);
    row->publish_date = date_field(in[publish_date]);
    row->download_volume_factor = dvf(in[download_volume_factor]);
    row->season = -1;
    row->episode = -1;
    row->full_season = 0;
    return own.finish(row);
}

} // namespace

int32_t parse_jackett(diagnostics *diag, result_set *rs, const char *text, size_t len, char *own) {
    int32_t rc = OK;
    yyjson_val *root = read_into(diag, rs, text, len, own, "Jackett: response", &rc);
    rs->answer = answer_kind::jackett;
    if (!root) return rc;
    if (!yyjson_is_obj(root)) return fail(diag, ERR_JSON, "Jackett: response is not a JSON object");
    yyjson_val *results = obj_iget(root, "Results");
    if (!yyjson_is_arr(results))
        return fail(diag, ERR_JSON, "Jackett: Results is %s, not an array",
                         results ? type_name(results) : "missing");

    yyjson_val *indexers = obj_iget(root, "Indexers");
    if (indexers && !yyjson_is_arr(indexers) && !yyjson_is_null(indexers))
        warnf(diag, "Jackett: Indexers is not an array, ignored");
    if (yyjson_is_arr(indexers) && !read_indexers(rs, indexers)) return fail_oom(diag);

    return walk_rows(diag, rs, results, k_jackett, "Jackett: more than %d results, the rest dropped",
                     "Jackett: %d non-object rows in Results ignored", fill_row);
}

} // namespace kova
