// The exports layer: the process-wide context and the call frame shared by
// every operation entry point:
//   context *ctx = frame_begin();   // the per-call reset (begin_call)
//   ... own checks (ending with frame_end(fail(...))) ...
//   return frame_end(do_x(ctx, ...));
// Exports only translate: they reach the ops layer (and, for what an
// operation does not own, io/ and parse/), never the other way round.
#pragma once

#include "ops/ops.h"

namespace kova {

// The process-wide context: an operation context plus the texts the exports
// hand out, which only they own.
struct global_context : context {
    char *json_text;  // kova_result_json
    char *field_text; // kova_result_field
    char *path_text;  // kova_result_path
    char imdb_buf[64]; // kova_imdb_numeric
};
extern global_context g_kova;

// The per-call reset; returns &g_kova.
context *frame_begin();
// Stores an operation's return value as the last result code and returns it.
int32_t frame_end(int32_t rc);

// The result document of a context (exports/result_json.cpp) as a fresh
// NUL-terminated text from the malloc family; null when memory ran out.
char *result_document(const context *ctx);

} // namespace kova
