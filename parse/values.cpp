// The general JSON value readers: services disagree on key case and value
// types, so every value is turned into the one form the library stores.
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "parse/values.h"

namespace kova {

namespace {
bool digit(char c) { return c >= '0' && c <= '9'; }

// Two digits at s into *out.
bool two(const char *s, int *out) {
    if (!digit(s[0]) || !digit(s[1])) return false;
    *out = (s[0] - '0') * 10 + (s[1] - '0');
    return true;
}
} // namespace

int32_t clamp32(int64_t v) {
    if (v > 2147483647) return 2147483647;
    if (v < -2147483647) return -2147483647;
    return static_cast<int32_t>(v);
}

const char *type_name(yyjson_val *v) { return yyjson_get_type_desc(v); }

yyjson_val *obj_iget(yyjson_val *obj, const char *key) {
    if (!yyjson_is_obj(obj) || !key) return nullptr;
    size_t n = strlen(key);
    size_t idx, max;
    yyjson_val *k, *v;
    yyjson_obj_foreach(obj, idx, max, k, v) {
        if (unsafe_yyjson_get_len(k) == n &&
            eq_bytes(reinterpret_cast<const unsigned char *>(unsafe_yyjson_get_str(k)),
                     reinterpret_cast<const unsigned char *>(key), n))
            return v;
    }
    yyjson_obj_foreach(obj, idx, max, k, v) {
        if (unsafe_yyjson_get_len(k) == n && ieq_n(unsafe_yyjson_get_str(k), key, n)) return v;
    }
    return nullptr;
}

const char *val_text(yyjson_val *v, char *buf, int *flag) {
    if (flag) *flag = 0;
    switch (yyjson_get_tag(v)) {
    case YYJSON_TYPE_STR | YYJSON_SUBTYPE_NONE:
    case YYJSON_TYPE_STR | YYJSON_SUBTYPE_NOESC:
        return unsafe_yyjson_get_str(v);
    case YYJSON_TYPE_NUM | YYJSON_SUBTYPE_UINT:
        *write_u64(buf, unsafe_yyjson_get_uint(v)) = '\0';
        return buf;
    case YYJSON_TYPE_NUM | YYJSON_SUBTYPE_SINT:
        *write_i64(buf, unsafe_yyjson_get_sint(v)) = '\0';
        return buf;
    case YYJSON_TYPE_NUM | YYJSON_SUBTYPE_REAL: {
        double d = unsafe_yyjson_get_real(v);
        if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 9e15)
            snprintf(buf, 64, "%.0f", d);
        else
            snprintf(buf, 64, "%.17g", d);
        return buf;
    }
    case YYJSON_TYPE_BOOL | YYJSON_SUBTYPE_TRUE:
        return "true";
    case YYJSON_TYPE_BOOL | YYJSON_SUBTYPE_FALSE:
        return "false";
    case YYJSON_TYPE_ARR | YYJSON_SUBTYPE_NONE:
    case YYJSON_TYPE_OBJ | YYJSON_SUBTYPE_NONE:
    case YYJSON_TYPE_RAW | YYJSON_SUBTYPE_NONE:
        if (flag) *flag = 1;
        return empty_text;
    default: // no value, JSON null
        return empty_text;
    }
}

char *val_str(yyjson_val *v, int *flag) {
    char buf[64];
    if (yyjson_is_str(v)) {
        if (flag) *flag = 0;
        return text_ndup(unsafe_yyjson_get_str(v), unsafe_yyjson_get_len(v));
    }
    return text_dup(val_text(v, buf, flag));
}

int val_int(yyjson_val *v, int64_t *out) {
    switch (yyjson_get_tag(v)) {
    case YYJSON_TYPE_NUM | YYJSON_SUBTYPE_UINT: {
        uint64_t u = unsafe_yyjson_get_uint(v);
        if (u >= (1ULL << 63)) return 0;
        *out = static_cast<int64_t>(u);
        return 1;
    }
    case YYJSON_TYPE_NUM | YYJSON_SUBTYPE_SINT:
        *out = unsafe_yyjson_get_sint(v);
        return 1;
    case YYJSON_TYPE_NUM | YYJSON_SUBTYPE_REAL: {
        double d = unsafe_yyjson_get_real(v);
        if (!std::isfinite(d) || d < -9.2e18 || d > 9.2e18) return 0;
        *out = static_cast<int64_t>(d);
        return 1;
    }
    case YYJSON_TYPE_STR | YYJSON_SUBTYPE_NONE:
    case YYJSON_TYPE_STR | YYJSON_SUBTYPE_NOESC: {
        const char *s = unsafe_yyjson_get_str(v);
        if (!*s) return 0;
        char *end = nullptr;
        double d = strtod(s, &end);
        while (*end == ' ') ++end;
        if (*end) return 0;
        if (!std::isfinite(d) || d < -9.2e18 || d > 9.2e18) return 0;
        *out = static_cast<int64_t>(d);
        return 1;
    }
    default:
        return 0;
    }
}

const char *imdb_digits(const char *in, size_t max, size_t *n) {
    const char *p = in;
    while (*p == ' ') ++p;
    if ((p[0] == 't' || p[0] == 'T') && (p[1] == 't' || p[1] == 'T')) p += 2;
    if (!digit(*p)) return nullptr;
    while (*p == '0' && digit(p[1])) ++p; // a run of zeros keeps its last one
    const char *d = p;
    while (digit(*p)) ++p;
    *n = static_cast<size_t>(p - d);
    if (*n > max) return nullptr;
    while (*p == ' ') ++p;
    return *p ? nullptr : d;
}

void imdb_norm(const char *in, char *out, size_t size) {
    if (!out || size == 0) return;
    out[0] = '\0';
    if (!in || size < 2) return;
    size_t n;
    const char *d = imdb_digits(in, size - 1, &n);
    if (!d) return;
    memcpy(out, d, n);
    out[n] = '\0';
}

namespace {
// Days from 1970-01-01 to a date of the proleptic Gregorian calendar (after
// H. Hinnant); any day of the month from 1 to 31 counts on from its first.
constexpr int64_t civil_days(int64_t year, int mon, int day) {
    int64_t yy = mon <= 2 ? year - 1 : year;
    int64_t era = yy / 400; // years are at least 1900: no negative division
    int64_t yoe = yy - era * 400;
    int64_t doy = (153 * (mon <= 2 ? mon + 9 : mon - 3) + 2) / 5 + day - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// The same from tables for the years services send (1900 to 2155): the
// first of January of each year, whether it is a leap year, and the days
// before each month.
struct civil_table {
    static constexpr int first_year = 1900, years = 256;
    int32_t jan1[years];
    uint8_t leap[years];
    int16_t before[2][13];
    constexpr civil_table() : jan1(), leap(), before() {
        for (int i = 0; i < years; ++i) {
            jan1[i] = static_cast<int32_t>(civil_days(first_year + i, 1, 1));
            leap[i] = civil_days(first_year + i, 3, 1) - civil_days(first_year + i, 2, 1) == 29;
        }
        for (int leap = 0; leap < 2; ++leap)
            for (int m = 1; m <= 12; ++m)
                before[leap][m] = static_cast<int16_t>(civil_days(leap ? 2000 : 2001, m, 1) - civil_days(leap ? 2000 : 2001, 1, 1));
    }
};
constexpr civil_table k_civil{};
static_assert(k_civil.jan1[70] == 0 && k_civil.leap[100] && !k_civil.leap[0] && k_civil.before[1][3] == 60 && k_civil.before[0][12] == 334);

inline int64_t days_of(int year, int mon, int day) {
    unsigned i = static_cast<unsigned>(year - civil_table::first_year);
    if (i >= civil_table::years) return civil_days(year, mon, day);
    return k_civil.jan1[i] + k_civil.before[k_civil.leap[i]][mon] + day - 1;
}

// The rest of an ISO 8601 date-time from p: the fraction (only right after
// seconds), the zone, the end of the text; then the instant.
__attribute__((always_inline)) inline int64_t iso_tail(const char *p, int year, int mon, int day, int hour, int min, int sec, bool after_sec) {
    int ms = 0;
    if (after_sec && *p == '.') {
        ++p;
        // Milliseconds: the first three digits count, the rest are passed over.
        if (digit(*p)) {
            ms = (*p++ - '0') * 100;
            if (digit(*p)) {
                ms += (*p++ - '0') * 10;
                if (digit(*p)) ms += *p++ - '0';
            }
        }
        while (digit(*p)) ++p;
    }
    if (hour > 23 || min > 59 || sec > 60) return -1;
    int64_t offset = 0;
    if (*p == 'Z' || *p == 'z') {
        ++p;
    } else if (*p == '+' || *p == '-') {
        int sign = *p == '+' ? 1 : -1;
        int oh, om = 0;
        if (!two(p + 1, &oh)) return -1;
        p += 3;
        if (*p == ':' && two(p + 1, &om))
            p += 3;
        else if (two(p, &om))
            p += 2;
        offset = sign * (static_cast<int64_t>(oh) * 3600 + om * 60);
    }
    if (*p) return -1;
    int64_t days = days_of(year, mon, day);
    // One product per part rather than a chain of them: the same exact sum.
    return days * 86400000 + hour * INT64_C(3600000) + min * INT64_C(60000) + (sec - offset) * 1000 + ms;
}

} // namespace

int64_t parse_iso(const char *s) {
    // A text shorter than ten characters fails the checks below at its NUL.
    if (!s) return -1;
    int y1, y2, mon, day;
    if (!two(s, &y1) || !two(s + 2, &y2) || s[4] != '-' || !two(s + 5, &mon) || s[7] != '-' ||
        !two(s + 8, &day))
        return -1;
    int year = y1 * 100 + y2;
    if (mon < 1 || mon > 12 || day < 1 || day > 31 || year < 1900) return -1;
    int hour = 0, min = 0, sec = 0;
    const char *p = s + 10;
    bool after_sec = false;
    if (*p == 'T' || *p == ' ') {
        if (!two(p + 1, &hour) || p[3] != ':' || !two(p + 4, &min)) return -1;
        p += 6;
        if (*p == ':') {
            if (!two(p + 1, &sec)) return -1;
            p += 3;
            after_sec = true;
        }
        return iso_tail(p, year, mon, day, hour, min, sec, after_sec);
    }
    return iso_tail(p, year, mon, day, 0, 0, 0, false);
}

namespace {
// Whether the bytes of w under mask m are all decimal digits: high nibble 3,
// and still 3 after adding 6 (a carry can only come out of a byte that
// failed the first test).
inline bool swar_digits(uint64_t w, uint64_t m) {
    const uint64_t hi = m & 0xF0F0F0F0F0F0F0F0ull, want = m & 0x3030303030303030ull;
    return ((w & hi) == want) & (((w + (m & 0x0606060606060606ull)) & hi) == want);
}
inline int lane(uint64_t w, int i) { return static_cast<int>((w >> (8 * i)) & 0xff); }
} // namespace

int64_t parse_iso_len(const char *s, size_t len) {
    // The shape nearly every service sends, "YYYY-MM-DDTHH:MM:SS" (T or a
    // space), is checked and read eight bytes at a time; any other text, or
    // a byte out of place, takes the general reader above, so the result is
    // the same.
    if constexpr (std::endian::native == std::endian::little) {
        if (len >= 19) {
            const auto *u = reinterpret_cast<const unsigned char *>(s);
            uint64_t date = load_word<uint64_t>(u);      // YYYY-MM-
            uint64_t time = load_word<uint64_t>(u + 11); // HH:MM:SS
            constexpr uint64_t date_digits = 0x00FFFF00FFFFFFFFull, date_seps = 0xFF0000FF00000000ull;
            constexpr uint64_t time_digits = 0xFFFF00FFFF00FFFFull, time_seps = 0x0000FF0000FF0000ull;
            bool shape = swar_digits(date, date_digits) && (date & date_seps) == 0x2D00002D00000000ull &&
                         swar_digits(time, time_digits) && (time & time_seps) == 0x00003A00003A0000ull &&
                         digit(s[8]) && digit(s[9]) && (s[10] == 'T' || s[10] == ' ');
            if (shape) {
                date -= 0x3030303030303030ull & date_digits;
                time -= 0x3030303030303030ull & time_digits;
                int year = lane(date, 0) * 1000 + lane(date, 1) * 100 + lane(date, 2) * 10 + lane(date, 3);
                int mon = lane(date, 5) * 10 + lane(date, 6);
                int day = (s[8] - '0') * 10 + (s[9] - '0');
                if (mon < 1 || mon > 12 || day < 1 || day > 31 || year < 1900) return -1;
                return iso_tail(s + 19, year, mon, day, lane(time, 0) * 10 + lane(time, 1),
                                lane(time, 3) * 10 + lane(time, 4), lane(time, 6) * 10 + lane(time, 7), true);
            }
        }
    }
    return parse_iso(s);
}

} // namespace kova
