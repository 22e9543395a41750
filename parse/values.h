// The general JSON value readers' helpers shared inside parse/ (the readers
// themselves are declared in parse/parse.h): the pieces the row builder
// reuses so that it reads values exactly as the general readers do.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/numbers.h"
#include "parse/parse.h"

namespace kova {

// Non-allocating core of val_str: the value's text, pointing into the
// document (strings), at a constant, or into buf (numbers). buf holds 64
// bytes. *flag (when given) is set to 1 for arrays, objects and raw values.
const char *val_text(yyjson_val *v, char *buf, int *flag);

// The digits of an IMDb id's number within in: their start and *n, or null
// when the text is no IMDb id or the number has more than max digits. Spaces
// around the id and a "tt" prefix (any case) are allowed; a run of leading
// zeros keeps its last one.
const char *imdb_digits(const char *in, size_t max, size_t *n);

// parse_iso of a text whose length is known (a string of the
// document): the same result, the usual shape read faster.
int64_t parse_iso_len(const char *s, size_t len);

// The text of obj's string member key (matched as obj_iget matches it); ""
// for any other value or none.
inline const char *str_member(yyjson_val *obj, const char *key) {
    yyjson_val *v = obj_iget(obj, key);
    return yyjson_is_str(v) ? unsafe_yyjson_get_str(v) : "";
}

// A count or number from 0 to INT32_MAX (numbers as texts too); none for
// anything else.
inline int32_t count_or(yyjson_val *v, int32_t none) {
    int64_t n;
    return val_int(v, &n) && n >= 0 && n <= INT32_MAX ? static_cast<int32_t>(n) : none;
}

template <class T> T load_word(const unsigned char *p) {
    T v;
    memcpy(&v, p, sizeof v);
    return v;
}

// Byte equality of two n-byte stretches with a few word loads that never
// leave the stretches (the last load overlaps the one before it).
__attribute__((always_inline)) inline bool eq_bytes(const unsigned char *a, const unsigned char *b, size_t n) {
    if (n >= 8) {
        for (size_t i = 0; i + 8 < n; i += 8)
            if (load_word<uint64_t>(a + i) != load_word<uint64_t>(b + i)) return false;
        return load_word<uint64_t>(a + n - 8) == load_word<uint64_t>(b + n - 8);
    }
    if (n >= 4) return load_word<uint32_t>(a) == load_word<uint32_t>(b) && load_word<uint32_t>(a + n - 4) == load_word<uint32_t>(b + n - 4);
    if (n >= 2) return load_word<uint16_t>(a) == load_word<uint16_t>(b) && load_word<uint16_t>(a + n - 2) == load_word<uint16_t>(b + n - 2);
    return n == 0 || a[0] == b[0];
}

} // namespace kova
