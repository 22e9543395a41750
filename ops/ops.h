// Functions shared by the operation source files only.
#pragma once

#include "core/kova_internal.h"

int32_t fetch_root(kova_ctx *ctx, int32_t kind);
int32_t fetch_profiles(kova_ctx *ctx, int32_t kind);
int32_t lk_parse(kova_ctx *ctx, char *body, int32_t kind);
int32_t sonarr_term(kova_ctx *ctx, const char *term, char **body);
int32_t add_from_lookup(kova_ctx *ctx, int32_t kind, yyjson_val *object, const char *root, int32_t profile,
                        const char *suffix);

// GETs a JSON answer: on OK, *doc holds the parsed answer, or null when the
// answer is not JSON (the caller names that in its own message). A request
// failure returns the frame's code; a read that ran out of memory ERR_OOM.
int32_t get_json(kova_ctx *ctx, int32_t kind, const char *path, const char *query, const char *label,
                 yyjson_doc **doc);

// A text input counts as present when it is non-null and non-empty.
inline bool present(const char *s) { return s && *s; }

// Radarr answers a lookup of an unknown item with 404, or with 500 and a
// not-found exception in the body.
bool radarr_not_found(const kova_ctx *ctx, int32_t rc, const char *body);

// An id taken from a service answer counts only from 1 to 2147483646.
bool read_id(yyjson_val *v, int32_t *out);
