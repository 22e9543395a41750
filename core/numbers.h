// Decimal and hexadecimal digits: the one integer writer and the one hex
// table and reader of the library. Header-only, as the writers sit on the
// hot paths of the parsers and of the result document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kova {

// "00".."99": the digits of each pair, for writing numbers two at a time.
inline constexpr char digit_pairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                                      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                                      "8081828384858687888990919293949596979899";

// The longest integer written: 18446744073709551615 or -9223372036854775808.
inline constexpr size_t max_int_digits = 20;

// The number of decimal digits of v (1 for 0).
inline size_t dec_digits(uint64_t v) {
    static constexpr uint64_t p10[20] = {1ULL, 10ULL, 100ULL, 1000ULL, 10000ULL, 100000ULL, 1000000ULL,
                                         10000000ULL, 100000000ULL, 1000000000ULL, 10000000000ULL,
                                         100000000000ULL, 1000000000000ULL, 10000000000000ULL,
                                         100000000000000ULL, 1000000000000000ULL, 10000000000000000ULL,
                                         100000000000000000ULL, 1000000000000000000ULL, 10000000000000000000ULL};
    // From the bit length (log10 2 ~ 1233 / 4096), corrected by one compare.
    size_t t = static_cast<size_t>(64 - __builtin_clzll(v | 1)) * 1233 >> 12;
    size_t n = t + (v >= p10[t]);
    return n ? n : 1;
}

// Writes v in decimal at o (no NUL) and returns the end. The digits are
// written in place from the last: formatting into a buffer and copying from
// it would make the copy wait for the small stores just made.
inline char *write_u64(char *o, uint64_t v) {
    if (v < 10) {
        *o = static_cast<char>('0' + v);
        return o + 1;
    }
    char *end = o + dec_digits(v);
    char *p = end;
    while (v > 0xffffffffu) {
        uint64_t q = v / 100;
        p -= 2;
        memcpy(p, digit_pairs + 2 * (v - q * 100), 2);
        v = q;
    }
    // The usual numbers fit 32 bits, where dividing is cheaper.
    auto w = static_cast<uint32_t>(v);
    while (w >= 100) {
        uint32_t q = w / 100;
        p -= 2;
        memcpy(p, digit_pairs + 2 * (w - q * 100), 2);
        w = q;
    }
    if (w >= 10)
        memcpy(p - 2, digit_pairs + 2 * w, 2);
    else
        p[-1] = static_cast<char>('0' + w);
    return end;
}

// The same for a signed value: '-' before a negative one.
inline char *write_i64(char *o, int64_t v) {
    if (v >= 0) return write_u64(o, static_cast<uint64_t>(v));
    *o = '-';
    return write_u64(o + 1, 0 - static_cast<uint64_t>(v));
}

inline constexpr char hex_upper[] = "0123456789ABCDEF";
inline constexpr char hex_lower[] = "0123456789abcdef";

// The value of a hex digit of either case; -1 for any other byte.
inline int hex_value(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace kova
