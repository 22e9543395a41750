// The call frame shared by every operation entry point:
//   kova_ctx *ctx = kova_frame_begin();   // initialisation step + kova_begin
//   ... own checks (ending with kova_frame_end(kova_fail(...))) ...
//   return kova_frame_end(kova_do_x(ctx, ...));
#pragma once

#include "core/kova_internal.h"

// Sets match to -1 on the first use of the process-wide context.
void kova_init_step();
// The initialisation step and the per-call reset; returns &g_kova.
kova_ctx *kova_frame_begin();
// Stores an operation's return value as the last result code and returns it.
int32_t kova_frame_end(int32_t rc);
