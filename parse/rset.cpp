// Result rows and result sets: growth and release.
#include <cstring>

#include "parse/rows.h"

kova_row *rs_add(kova_rset *rs) {
    if (rs->row_count == rs->row_cap) {
        int32_t cap = rs->row_cap ? rs->row_cap * 2 : 64;
        auto *p = static_cast<kova_row *>(kova_realloc(rs->rows, sizeof(kova_row) * static_cast<size_t>(cap)));
        if (!p) return nullptr;
        rs->rows = p;
        rs->row_cap = cap;
    }
    kova_row *row = &rs->rows[rs->row_count++];
    memset(row, 0, sizeof *row);
    return row;
}

kova_indexer *rs_add_indexer(kova_rset *rs) {
    if (rs->indexer_count == rs->indexer_cap) {
        int32_t cap = rs->indexer_cap ? rs->indexer_cap * 2 : 16;
        auto *p = static_cast<kova_indexer *>(
            kova_realloc(rs->indexers, sizeof(kova_indexer) * static_cast<size_t>(cap)));
        if (!p) return nullptr;
        rs->indexers = p;
        rs->indexer_cap = cap;
    }
    // The entry is cleared but not counted: the caller counts it once its
    // three texts exist.
    kova_indexer *e = &rs->indexers[rs->indexer_count];
    memset(e, 0, sizeof *e);
    return e;
}

void kova_row_free(kova_row *row) {
    // The parsers keep a row's categories at the start of its `own` block; a
    // categories array allocated on its own is released separately.
    if (row->categories != reinterpret_cast<int32_t *>(row->own)) kova_free(row->categories);
    kova_own_release(row->own);
    memset(row, 0, sizeof *row);
}

void kova_rset_free(kova_rset *rs) {
    // What kova_row_free releases, without clearing rows about to be freed.
    own_run run;
    for (int32_t i = 0; i < rs->row_count; ++i) {
        kova_row *row = &rs->rows[i];
        if (row->categories != reinterpret_cast<int32_t *>(row->own)) kova_free(row->categories);
        run.add(row->own);
    }
    run.flush();
    for (int32_t i = 0; i < rs->indexer_count; ++i) {
        kova_free(rs->indexers[i].id);
        kova_free(rs->indexers[i].name);
        kova_free(rs->indexers[i].error);
    }
    kova_free(rs->rows);
    kova_free(rs->indexers);
    yyjson_doc_free(rs->doc);
    kova_free(rs->text);
    memset(rs, 0, sizeof *rs);
}
