// The exports layer: the contexts (the process-wide default and the hosts'
// sessions), the calling thread's binding and the call frame shared by every
// operation entry point:
//   context *ctx = frame_begin();   // the per-call reset (begin_call)
//   ... own checks (ending with frame_end(fail(...))) ...
//   return frame_end(do_x(ctx, ...));
// Exports only translate: they reach the ops layer (and, for what an
// operation does not own, io/ and parse/), never the other way round.
#pragma once

#include <atomic>

#include "core/platform.h"
#include "ops/ops.h"

namespace kova {

// What every call acts on: an operation context plus the texts the exports
// hand out, which only they own.
struct host_context : context {
    char *json_text;  // kova_result_json
    char *field_text; // kova_result_field
    char *path_text;  // kova_result_path
    char imdb_buf[64]; // kova_imdb_numeric
    // kova_fake_last_post_url and _body: the fake is the process's, but the
    // copies it hands out are the caller's context's, so that threads never
    // share one. A reset keeps them, as it keeps the fake's state.
    char *post_url_text;
    char *post_body_text;
};

} // namespace kova

// A host's session: a context of its own, bound to a thread at a time.
struct kova_session {
    kova::host_context ctx;
};

namespace kova {

// The context of every thread that has bound no session.
extern host_context g_default;

// Set once a thread binds a session, never cleared. A thread whose binding
// is not null set it itself before binding, so it always sees it set.
extern std::atomic<bool> g_bound_once;

// The calling thread's context: its session's, else the default. Until a
// session is bound anywhere, the flag (a global that stays in cache) spares
// the accessors even the one thread-local read.
inline host_context &current() {
    if (!g_bound_once.load(std::memory_order_relaxed)) [[likely]]
        return g_default;
    auto *s = static_cast<kova_session *>(thread_binding());
    return s ? s->ctx : g_default;
}

// The per-call reset of the calling thread's context; returns it.
context *frame_begin();
// Stores an operation's return value as the calling thread's last result
// code and returns it.
int32_t frame_end(int32_t rc);

// The result document of a context (exports/result_json.cpp) as a fresh
// NUL-terminated text from the malloc family; null when memory ran out.
char *result_document(const context *ctx);

} // namespace kova
