// The io layer: which transport a request goes through (the host's table, the
// built-in fake, or none), the process-wide request time-out, and the fake
// transport's routes and records. Builds on core/ only.
#pragma once

#include "core/core.h"

namespace kova {

// The transport a context's requests use: the table the host installed,
// else the fake when chosen, else the built-in client (none in this build).
const kova_io *select_io(const kova_io *installed, bool use_fake);
const kova_io *fake_io();
const kova_io *builtin_io();

// The request time-out hosts read from their transport threads; 0 or less
// restores the default.
void set_request_timeout(int32_t ms);
int32_t request_timeout();

// The fake transport's controls (exports/fake.cpp puts them behind the
// kova_fake_* functions). All of them take the fake's one lock.
int32_t fake_set(const char *url, int32_t status, const char *body);
int32_t fake_fail(const char *url, const char *text);
int32_t fake_calls(const char *url); // null url: every request
int32_t fake_post_count();
// An owned copy of the last POST's URL ("" when none), cut to max_len bytes;
// null when out of memory.
char *fake_last_post_url(size_t max_len);
// An owned copy of the last POST's body ("" when none), or null when out of
// memory.
char *fake_last_post_body();
void fake_reset();

} // namespace kova
