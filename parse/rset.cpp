// Result rows and result sets: growth and release.
#include <cstring>

#include "parse/rows.h"

namespace kova {

result_row *rs_add(result_set *rs) {
    if (rs->row_count == rs->row_cap) {
        int32_t cap = rs->row_cap ? rs->row_cap * 2 : 64;
        auto *p = static_cast<result_row *>(mem_realloc(rs->rows, sizeof(result_row) * static_cast<size_t>(cap)));
        if (!p) return nullptr;
        rs->rows = p;
        rs->row_cap = cap;
    }
    result_row *row = &rs->rows[rs->row_count++];
    memset(row, 0, sizeof *row);
    return row;
}

indexer_entry *rs_add_indexer(result_set *rs) {
    if (rs->indexer_count == rs->indexer_cap) {
        int32_t cap = rs->indexer_cap ? rs->indexer_cap * 2 : 16;
        auto *p = static_cast<indexer_entry *>(
            mem_realloc(rs->indexers, sizeof(indexer_entry) * static_cast<size_t>(cap)));
        if (!p) return nullptr;
        rs->indexers = p;
        rs->indexer_cap = cap;
    }
    // The entry is cleared but not counted: the caller counts it once its
    // three texts exist.
    indexer_entry *e = &rs->indexers[rs->indexer_count];
    memset(e, 0, sizeof *e);
    return e;
}

void row_free(result_row *row) {
    // The parsers keep a row's categories at the start of its `own` block; a
    // categories array allocated on its own is released separately.
    if (row->category != reinterpret_cast<int32_t *>(row->own)) mem_free(row->category);
    own_release(row->own);
    memset(row, 0, sizeof *row);
}

void result_set_free(result_set *rs) {
    // What row_free releases, without clearing rows about to be freed.
    own_run run;
    for (int32_t i = 0; i < rs->row_count; ++i) {
        result_row *row = &rs->rows[i];
        if (row->category != reinterpret_cast<int32_t *>(row->own)) mem_free(row->category);
        run.add(row->own);
    }
    run.flush();
    for (int32_t i = 0; i < rs->indexer_count; ++i) {
        mem_free(rs->indexers[i].id);
        mem_free(rs->indexers[i].name);
        mem_free(rs->indexers[i].error);
    }
    if (rs->languages)
        for (int32_t i = 0; i < rs->languages_size; ++i) mem_free(rs->languages[i]);
    mem_free(rs->languages);
    mem_free(rs->rows);
    mem_free(rs->indexers);
    yyjson_doc_free(rs->doc);
    mem_free(rs->text);
    memset(rs, 0, sizeof *rs);
}

} // namespace kova
