// The io layer: which transport a request goes through (the host's table, the
// built-in fake, or none), the process-wide request time-out, and the fake
// transport's routes and records. Builds on core/ only.
#pragma once

#include "core/core.h"

// The transport a context's requests use: the table the host installed,
// else the fake when chosen, else the built-in client (none in this build).
const kova_io *kova_io_select(const kova_io *installed, bool use_fake);
const kova_io *kova_io_fake();
const kova_io *kova_io_curl();

// The request time-out hosts read from their transport threads; 0 or less
// restores the default.
void kova_curl_set_timeout(int32_t ms);
int32_t kova_curl_timeout();

// The fake transport's controls (exports/fake.cpp puts them behind the
// kova_fake_* functions). All of them take the fake's one lock.
int32_t fake_io_set(const char *url, int32_t status, const char *body);
int32_t fake_io_fail(const char *url, const char *text);
int32_t fake_io_calls(const char *url); // null url: every request
int32_t fake_io_post_count();
// Copies the last POST's URL into out (size bytes, cut to fit).
void fake_io_last_post_url(char *out, size_t size);
// An owned copy of the last POST's body ("" when none), or null when out of
// memory.
char *fake_io_last_post_body();
void fake_io_reset();
