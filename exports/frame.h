// The exports layer: the process-wide context and the call frame shared by
// every operation entry point:
//   kova_ctx *ctx = kova_frame_begin();   // initialisation step + kova_begin
//   ... own checks (ending with kova_frame_end(kova_fail(...))) ...
//   return kova_frame_end(kova_do_x(ctx, ...));
// Exports only translate: they reach the ops layer (and, for what an
// operation does not own, io/ and parse/), never the other way round.
#pragma once

#include "ops/ops.h"

// The process-wide context: an operation context plus the texts the exports
// hand out, which only they own.
struct kova_global : kova_ctx {
    char *json_text;  // kova_result_json
    char *field_text; // kova_result_field
    char imdb_buf[64]; // kova_imdb_numeric
};
extern kova_global g_kova;

// Sets match to -1 on the first use of the process-wide context.
void kova_init_step();
// The initialisation step and the per-call reset; returns &g_kova.
kova_ctx *kova_frame_begin();
// Stores an operation's return value as the last result code and returns it.
int32_t kova_frame_end(int32_t rc);

// The result document of a context (exports/result_json.cpp) as a fresh
// NUL-terminated text from the malloc family; null when memory ran out.
char *kova_result_document(const kova_ctx *ctx);
