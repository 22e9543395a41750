// The row builder: one-pass key resolution and the readers that stage a
// row's own texts and categories.
#include <cctype>
#include <ctime>
#include <random>

#include "parse/rows.h"
#include "parse_support.h"

using namespace kova;

namespace {

// The one-pass resolver must agree with obj_iget on every key, whatever
// the mix of exact, case-shifted and duplicate members.
TEST(KeysResolve, AgreesWithObjIgetOnRandomObjects) {
    static constexpr keyset ks{"Title", "Size", "Guid", "TMDb", "imdbId", "a"};
    const char *spell[] = {"Title", "title", "TITLE", "tItle", "Size", "size", "SIZE", "Guid", "guid", "GUID",
                           "TMDb", "tmdb", "Tmdb", "imdbId", "IMDBID", "imdbid", "a", "A", "Other", "Titles",
                           "Siz", "x", "Tixle", "Gxid", "tmdB", "imdbID", "b", "", "T\u00e9tle", "Ti\u0000le"};
    const key_index ix(ks);
    std::mt19937 rng(12345);
    for (int round = 0; round < 2000; ++round) {
        std::string json = "{";
        int n = static_cast<int>(rng() % 12);
        for (int i = 0; i < n; ++i) {
            if (i) json += ",";
            json += "\"" + std::string(spell[rng() % (sizeof spell / sizeof *spell)]) + "\":" + std::to_string(i);
        }
        json += "}";
        Json j(json);
        yyjson_val *out[keyset::max_keys];
        keys_resolve(ix, nullptr, j.root(), out);
        for (int k = 0; k < ks.count; ++k)
            ASSERT_EQ(out[k], obj_iget(j.root(), ks.name[k])) << json << " key " << ks.name[k];
    }
}

// Successive rows resolved with a shared layout give the same answers as
// each row resolved alone, whether a row repeats the layout, shifts one key's
// case, duplicates a key, has fewer or more members, or differs in a byte.
void shared_layout_agrees(const keyset &ks, const std::vector<std::string> (&bases)[3], unsigned seed) {
    // Shifts the case of the key's i-th byte when it is a letter.
    auto flip = [](std::string &key, size_t i) {
        if (i < key.size() && isalpha(static_cast<unsigned char>(key[i]))) key[i] ^= 0x20;
    };
    const key_index ix(ks);
    std::mt19937 rng(seed);
    for (int round = 0; round < 300; ++round) {
        std::string json = "[";
        for (int r = 0; r < 20; ++r) {
            std::vector<std::string> keys = bases[rng() % 3];
            std::string &some = keys[rng() % keys.size()];
            switch (rng() % 11) {
            case 0: flip(some, 0); break; // case shift of one key's first letter
            case 1: keys.push_back(keys[rng() % keys.size()]); break; // a duplicate at the end
            case 2: keys.insert(keys.begin(), keys[rng() % keys.size()]); break; // a duplicate in front
            case 3: keys.pop_back(); break;
            case 4: keys.back() += "x"; break;
            case 5: keys.push_back("title"); break;
            case 6: flip(some, some.size() - 1); break; // case shift of one key's last letter
            case 7: flip(some, 9); break; // a byte in the middle of a long key
            case 8: // another byte anywhere: often no wanted key any more
                if (!some.empty() && some.find('\\') == std::string::npos) some[rng() % some.size()] = 'q';
                break;
            default: break; // the same layout again
            }
            json += r ? ",{" : "{";
            for (size_t k = 0; k < keys.size(); ++k)
                json += (k ? ",\"" : "\"") + keys[k] + "\":" + std::to_string(r * 100 + static_cast<int>(k));
            json += "}";
        }
        json += "]";
        Json j(json);
        ASSERT_TRUE(j.doc) << json;
        key_layout lay;
        size_t idx, max;
        yyjson_val *row;
        yyjson_arr_foreach(j.root(), idx, max, row) {
            yyjson_val *out[keyset::max_keys];
            keys_resolve(ix, &lay, row, out);
            for (int k = 0; k < ks.count; ++k)
                ASSERT_EQ(out[k], obj_iget(row, ks.name[k])) << json << " row " << idx << " key " << ks.name[k];
        }
    }
}

TEST(KeysResolve, SharedLayoutAgreesWithObjIget) {
    static constexpr keyset ks{"Title", "Size", "Guid", "TMDb"};
    const std::vector<std::string> bases[] = {
        {"Title", "Guid", "Other", "Size", "TMDb", "Tail"},
        {"Title", "Guid", "Size"},
        {"x", "Title", "Guid", "Size", "TMDb"},
    };
    shared_layout_agrees(ks, bases, 99);
}

// The same with keys of every length class the layout compares differently
// (under 8 bytes, 8 to 16, longer than 16), the empty key, and keys written
// with escapes, which read as the same bytes as their plain spelling.
TEST(KeysResolve, SharedLayoutAgreesOnLongShortAndEscapedKeys) {
    static constexpr keyset ks{"DownloadVolumeFactor", "TrackerId", "CategoryDesc", "a", "Seeders"};
    const std::vector<std::string> bases[] = {
        {"a", "TrackerId", "DownloadVolumeFactor", "CategoryDesc", "Seeders", "UploadVolumeFactor"},
        {"", "Tr\\u0061ckerId", "DownloadVolumeFactorX", "Seeders", "DownloadVolumeFactor", "CategoryDesc"},
        {"DownloadVolumeFactor", "\\u0061", "CategoryDescription", "seeders", "TrackerId", "Seeders", "a"},
    };
    shared_layout_agrees(ks, bases, 7);
}

TEST(RowReaders, FstrPointsStagesAndWarns) {
    Json j(R"({"s":"text","n":603,"r":1.5,"b":true,"nul":null,"o":{},"a":[1]})");
    Parsed p;
    own_guard own;
    ASSERT_TRUE(own.p);
    own.p->reset();
    result_row row{};
    struct { const char *key; const char *want; int warns; } cases[] = {
        {"s", "text", 0}, {"n", "603", 0}, {"r", "1.5", 0}, {"b", "true", 0}, {"nul", "", 0},
        {"missing", "", 0}, {"o", "", 1}, {"a", "", 1},
    };
    for (auto &c : cases) {
        int before = p.ctx.warning_count;
        const char *f = nullptr;
        fstr(&p.ctx, *own.p, &f, obj_iget(j.root(), c.key), c.key);
        EXPECT_STREQ(f, c.want) << c.key;
        EXPECT_EQ(p.ctx.warning_count - before, c.warns) << c.key;
    }
    EXPECT_EQ(p.warnings().at(0), "field o: object/array where a scalar was expected, treated as empty");
    // Staged texts survive the move into the row's own block.
    const char *n = nullptr, *r = nullptr;
    own.p->reset();
    fstr(&p.ctx, *own.p, &n, obj_iget(j.root(), "n"), "n");
    fstr(&p.ctx, *own.p, &r, obj_iget(j.root(), "r"), "r");
    ASSERT_TRUE(own.p->finish(&row));
    // finish() rebased the staged pointers it was given (n and r here).
    EXPECT_STREQ(n, "603");
    EXPECT_STREQ(r, "1.5");
    EXPECT_NE(row.own, nullptr);
    row_free(&row);
}

TEST(RowReaders, ImdbField) {
    struct { const char *json; const char *want; } cases[] = {
        {"0", ""}, {R"("tt0000000")", ""}, {R"("tt0133093")", "133093"}, {"133093", "133093"}, {"null", ""},
        {"[1]", ""}, {R"("bad")", ""}, {"1.5", ""},
    };
    own_guard own;
    for (auto &c : cases) {
        Json j(c.json);
        own.p->reset();
        const char *f = nullptr;
        imdb_field(*own.p, &f, j.root());
        EXPECT_STREQ(f, c.want) << c.json;
    }
    own.p->reset();
    const char *f = nullptr;
    imdb_field(*own.p, &f, nullptr);
    EXPECT_STREQ(f, "");
}

TEST(RowReaders, CatsFromNumbersAndIdObjectsNeverStrings) {
    struct { const char *json; std::vector<int32_t> want; } cases[] = {
        {R"([2000,"2040",{"id":5030},{"name":"x"},7000])", {2000, 5030, 7000}},
        {"5000", {5000}},
        {R"("5000")", {}},
        {"null", {}},
        {"[]", {}},
        {R"([null,true,1.5,-3,3000000000,{"ID":8}])", {1, -3, 2147483647, 8}},
        {R"({"id":5})", {}},
        {"[9223372036854775807,9223372036854775808,2147483647,2147483648]", {2147483647, 2147483647, 2147483647}},
    };
    own_guard own;
    for (auto &c : cases) {
        Json j(c.json);
        own.p->reset();
        cats_from(*own.p, j.root());
        EXPECT_EQ(std::vector<int32_t>(own.p->cats, own.p->cats + own.p->ncats), c.want) << c.json;
    }
    std::string big = "[";
    for (int i = 0; i < 5000; ++i) big += (i ? "," : "") + std::to_string(i);
    big += "]";
    Json j(big);
    own.p->reset();
    cats_from(*own.p, j.root());
    ASSERT_EQ(own.p->ncats, 4096);
    EXPECT_EQ(own.p->cats[4095], 4095);
}
} // namespace
