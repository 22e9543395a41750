// The general JSON value readers, case by case.
#include <cstdio>
#include <ctime>
#include <random>

#include "parse/values.h"
#include "parse_support.h"

using namespace kova;

namespace {

TEST(Clamp32, KeepsValuesInsideAndPinsTheEdges) {
    struct { int64_t in; int32_t out; } cases[] = {
        {0, 0}, {-1, -1}, {2147483647, 2147483647}, {2147483648LL, 2147483647},
        {INT64_MAX, 2147483647}, {-2147483647, -2147483647}, {-2147483648LL, -2147483647},
        {INT64_MIN, -2147483647},
    };
    for (auto &c : cases) EXPECT_EQ(clamp32(c.in), c.out) << c.in;
}

TEST(TypeName, NamesEveryKind) {
    Json j(R"([null,true,false,1,-1,1.5,"s",[],{}])");
    const char *want[] = {"null", "true", "false", "uint", "sint", "real", "string", "array", "object"};
    for (size_t i = 0; i < 9; ++i) EXPECT_STREQ(type_name(yyjson_arr_get(j.root(), i)), want[i]) << i;
}

TEST(ObjIget, ExactKeyFirstThenFirstCaseInsensitive) {
    Json j(R"({"title":1,"Title":2,"TITLE":3,"x":4})");
    struct { const char *key; int64_t want; } cases[] = {
        {"title", 1}, {"Title", 2}, {"TITLE", 3}, {"tItLe", 1}, {"X", 4}, {"titl", -1}, {"titles", -1}, {"", -1},
    };
    for (auto &c : cases) {
        yyjson_val *v = obj_iget(j.root(), c.key);
        EXPECT_EQ(v ? yyjson_get_sint(v) : -1, c.want) << c.key;
    }
    EXPECT_EQ(obj_iget(j.root(), nullptr), nullptr);
    EXPECT_EQ(obj_iget(nullptr, "title"), nullptr);
    Json arr(R"(["title"])");
    EXPECT_EQ(obj_iget(arr.root(), "title"), nullptr);

    // Without an exact member, the first case-insensitive one wins.
    Json k(R"({"TiTle":"a","title ":"b","TITLE":"c"})");
    EXPECT_STREQ(yyjson_get_str(obj_iget(k.root(), "title")), "a");
    // Duplicate exact keys: the first occurrence.
    Json d(R"({"Guid":"first","Guid":"second"})");
    EXPECT_STREQ(yyjson_get_str(obj_iget(d.root(), "Guid")), "first");
}

TEST(ValStr, FormatsEveryKind) {
    struct { const char *json; const char *text; int flag; } cases[] = {
        {"null", "", 0},
        {R"("abc")", "abc", 0},
        {R"("")", "", 0},
        {"12", "12", 0},
        {"-12", "-12", 0},
        {"18446744073709551615", "18446744073709551615", 0},
        {"-9223372036854775808", "-9223372036854775808", 0},
        {"12.0", "12", 0},
        {"12.5", "12.5", 0},
        {"3.0", "3", 0},
        {"0.5", "0.5", 0},
        {"0.1", "0.10000000000000001", 0},
        {"1e16", "10000000000000000", 0},
        {"8.5e15", "8500000000000000", 0},
        {"-2.0", "-2", 0},
        {"1e300", "1.0000000000000001e+300", 0},
        {"true", "true", 0},
        {"false", "false", 0},
        {"[1]", "", 1},
        {"{}", "", 1},
    };
    for (auto &c : cases) {
        Json j(c.json);
        ASSERT_TRUE(j.doc) << c.json;
        int flag = 7;
        char *t = val_str(j.root(), &flag);
        ASSERT_TRUE(t);
        EXPECT_STREQ(t, c.text) << c.json;
        EXPECT_EQ(flag, c.flag) << c.json;
        mem_free(t);
    }
    // No value at all, and no flag given.
    char *t = val_str(nullptr, nullptr);
    EXPECT_STREQ(t, "");
    mem_free(t);
}

TEST(ValStr, ReportsAllocationFailure) {
    Json j("12");
    fault_arm(1);
    char *t = val_str(j.root(), nullptr);
    fault_disarm();
    EXPECT_EQ(t, nullptr);
}

TEST(ValInt, ConvertsNumbersAndNumericStrings) {
    struct { const char *json; int ok; int64_t want; } cases[] = {
        {"42", 1, 42},
        {"-42", 1, -42},
        {"9223372036854775807", 1, INT64_MAX},
        {"9223372036854775808", 0, 0},
        {"18446744073709551615", 0, 0},
        {"12.9", 1, 12},
        {"-3.7", 1, -3},
        {"1.5e19", 0, 0},
        {"-1.5e19", 0, 0},
        {"9.1e18", 1, 9100000000000000000LL},
        {R"("42")", 1, 42},
        {R"(" 12.9 ")", 1, 12},
        {R"("-3.7")", 1, -3},
        {R"("1e3")", 1, 1000},
        {R"("0x10")", 1, 16},
        {R"("12abc")", 0, 0},
        {R"("abc")", 0, 0},
        {R"("")", 0, 0},
        {R"("   ")", 1, 0},
        {R"("12 x")", 0, 0},
        {R"("inf")", 0, 0},
        {R"("nan")", 0, 0},
        {R"("1e19")", 0, 0},
        {"null", 0, 0},
        {"true", 0, 0},
        {"false", 0, 0},
        {"[1]", 0, 0},
        {R"({"a":1})", 0, 0},
    };
    for (auto &c : cases) {
        Json j(c.json);
        ASSERT_TRUE(j.doc) << c.json;
        int64_t out = -777;
        int ok = val_int(j.root(), &out);
        EXPECT_EQ(ok, c.ok) << c.json;
        EXPECT_EQ(out, c.ok ? c.want : -777) << c.json << " (untouched on failure)";
    }
    int64_t out = 5;
    EXPECT_EQ(val_int(nullptr, &out), 0);
    EXPECT_EQ(out, 5);
}

TEST(ImdbNorm, NormalisesIdsToTheirNumber) {
    struct { const char *in; const char *out; } cases[] = {
        {"tt0000123", "123"}, {" TT0000042 ", "42"}, {"tT0000042", "42"}, {"tt0000000", "0"},
        {"123", "123"}, {"0", "0"}, {"00", "0"}, {"tt", ""}, {"t0000123", ""}, {"tt 123", ""},
        {"tt12a", ""}, {"12 34", ""}, {"", ""}, {"  ", ""}, {"\t12", ""}, {"12\t", ""}, {"-12", ""},
        {"ttt1", ""},
    };
    for (auto &c : cases) {
        char out[64] = "junk";
        imdb_norm(c.in, out, sizeof out);
        EXPECT_STREQ(out, c.out) << "'" << c.in << "'";
    }
    char out[64] = "junk";
    imdb_norm(nullptr, out, sizeof out);
    EXPECT_STREQ(out, "");
}

TEST(ImdbNorm, DigitCountIsBoundedByTheBuffer) {
    char small[4];
    imdb_norm("tt000123", small, sizeof small); // three digits after the zeros fit
    EXPECT_STREQ(small, "123");
    imdb_norm("1234", small, sizeof small);
    EXPECT_STREQ(small, "");
    char one[1] = {'x'};
    imdb_norm("1", one, 1);
    EXPECT_EQ(one[0], '\0');
    std::string digits63(63, '7'), digits64(64, '7');
    char out[64];
    imdb_norm(digits63.c_str(), out, sizeof out);
    EXPECT_EQ(std::string(out), digits63);
    imdb_norm(digits64.c_str(), out, sizeof out);
    EXPECT_STREQ(out, "");
}

// Milliseconds since the epoch of a UTC time; day, hour, minute and second
// may run over (the 31st of February is the 2nd of March), like timegm,
// which not every platform has. Days of the civil calendar after H. Hinnant.
int64_t utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    int64_t yy = mo <= 2 ? y - 1 : y;
    int64_t era = (yy >= 0 ? yy : yy - 399) / 400;
    int64_t yoe = yy - era * 400;
    int64_t doy = (153 * (mo > 2 ? mo - 3 : mo + 9) + 2) / 5;
    int64_t days = era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468 + (d - 1);
    return ((days * 24 + h) * 60 + mi) * 60000 + s * 1000LL + ms;
}

TEST(ParseIso, AcceptsTheDocumentedShapes) {
    struct { const char *in; int64_t want; } cases[] = {
        {"2024-03-01T12:30:45.5+01:00", utc(2024, 3, 1, 11, 30, 45, 500)},
        {"2024-03-01", utc(2024, 3, 1)},
        {"2024-03-01T12:30", utc(2024, 3, 1, 12, 30)},
        {"2024-03-01 12:30:45Z", utc(2024, 3, 1, 12, 30, 45)},
        {"2024-03-01T12:30:45z", utc(2024, 3, 1, 12, 30, 45)},
        {"2024-03-01T12:30:45-0530", utc(2024, 3, 1, 18, 0, 45)},
        {"2024-03-01T12:30:45+05", utc(2024, 3, 1, 7, 30, 45)},
        {"2024-03-01T12:30:45+99:00", utc(2024, 3, 1, 12, 30, 45) - 99LL * 3600000},
        {"2024-03-01T12:30:45.05Z", utc(2024, 3, 1, 12, 30, 45, 50)},
        {"2024-03-01T12:30:45.123999Z", utc(2024, 3, 1, 12, 30, 45, 123)},
        {"2024-03-01T12:30:45.Z", utc(2024, 3, 1, 12, 30, 45)},
        {"2024-03-01T23:59:60", utc(2024, 3, 2)},
        {"2024-02-31", utc(2024, 3, 2)},
        {"2000-02-29T00:00:00Z", utc(2000, 2, 29)},
        {"1900-01-01", utc(1900, 1, 1)},
        {"1969-12-31T23:59:58Z", -2000},
        {"2024-01-15T10:00:00", utc(2024, 1, 15, 10)},
    };
    for (auto &c : cases) {
        EXPECT_EQ(parse_iso(c.in), c.want) << c.in;
    }
}

// Every day of every month, the 29th to 31st of February and of short
// months included, over the years around the reader's tables and far past
// them.
TEST(ParseIso, EveryDayOfEveryYear) {
    for (int y = 1900; y <= 10000; y += y < 2400 ? 1 : 97) {
        if (y > 9999) y = 9999;
        for (int mo = 1; mo <= 12; ++mo)
            for (int d = 1; d <= 31; ++d) {
                char text[32];
                snprintf(text, sizeof text, "%04d-%02d-%02dT23:59:60.999", y, mo, d);
                ASSERT_EQ(parse_iso(text), utc(y, mo, d, 23, 59, 60, 999)) << text;
            }
        if (y == 9999) break;
    }
}

TEST(ParseIso, RejectsEverythingElse) {
    const char *bad[] = {
        nullptr, "", "2024-03-0", "2024-3-1", "2024/03/01", "2024-03-01t12:30", "2024-03-01T24:00",
        "2024-03-01T12:60", "2024-03-01T12:30:61", "2024-13-01", "2024-00-01", "2024-03-00",
        "2024-03-32", "1899-12-31", "2024-03-01T12:30:45 UTC", "2024-03-01T12", "2024-03-01T12:3",
        "2024-03-01T12:30:4", "2024-03-01T12:30.5", "2024-03-01T12:30:45+1", "2024-03-01T12:30:45+01:",
        "2024-03-01T12:30:45+01:0", "2024-03-01T12:30:45ZZ", "2024-03-01X", "abcd-ef-gh",
    };
    for (const char *s : bad) {
        EXPECT_EQ(parse_iso(s), -1) << (s ? s : "<null>");
    }
    EXPECT_EQ(parse_iso("1969-12-31T23:59:59.999Z"), -1); // the one real instant that reads as -1
}

// The reader of a document's string (its length known) reads the usual
// shape its own way: it must agree with the general reader on every text,
// the tables above, every kind of date the services send, and mutations
// of them that break the shape anywhere.
TEST(ParseIso, KnownLengthAgreesWithTheGeneralReader) {
    std::vector<std::string> texts = {
        "2024-03-01T12:30:45.5+01:00", "2024-03-01 12:30:45Z", "2024-03-01T12:30:45-0530", "2024-03-01T12:30:45+05",
        "2024-03-01T12:30:45.1234567Z", "2024-03-01T12:30:45.123+01:00", "2024-03-01T12:30:45", "2024-03-01T12:30",
        "2024-02-31T00:00:00", "2000-02-29T23:59:60.999Z", "1900-01-01T00:00:00", "1899-12-31T23:59:59",
        "9999-12-31T23:59:59+14:00", "2100-02-29T12:00:00", "2155-06-01T00:00:00", "2156-06-01T00:00:00",
        "2024-03-01T24:00:00", "2024-03-01T12:60:00", "2024-03-01T12:30:61", "2024-13-01T00:00:00",
        "2024-00-01T00:00:00", "2024-03-00T00:00:00", "2024-03-32T00:00:00", "2024-03-01T12:30:45 UTC",
        "2024-03-01t12:30:45", "2024-03-01T12:30:45.Z", "2024-03-01T12:30:45+01:", "2024-03-01T12:30:45ZZ",
    };
    std::mt19937 rng(2024);
    const char alphabet[] = "0123456789-:T Zz+.\xff/\x01";
    const size_t base = texts.size();
    for (int i = 0; i < 200000; ++i) {
        std::string t = texts[rng() % base];
        for (int k = static_cast<int>(rng() % 3); k >= 0; --k) t[rng() % t.size()] = alphabet[rng() % (sizeof alphabet - 1)];
        if (rng() % 8 == 0) t.resize(rng() % t.size());
        texts.push_back(t);
    }
    for (const std::string &t : texts) ASSERT_EQ(parse_iso_len(t.c_str(), t.size()), parse_iso(t.c_str())) << t;
    // A NUL inside a document's string ends the text for both.
    const char with_nul[] = "2024-03-01T12:30:45\0junk";
    EXPECT_EQ(parse_iso_len(with_nul, sizeof with_nul - 1), parse_iso(with_nul));
    const char early_nul[] = "2024-03-01\0T12:30:45";
    EXPECT_EQ(parse_iso_len(early_nul, sizeof early_nul - 1), parse_iso(early_nul));
}

TEST(ImdbNumeric, NormalisesIntoTheContextBuffer) {
    EXPECT_STREQ(kova_imdb_numeric("tt0133093"), "133093");
    EXPECT_STREQ(kova_imdb_numeric(nullptr), "");
    EXPECT_STREQ(kova_imdb_numeric("tt00"), "0");
}

} // namespace
