// Hostile answers: deep nesting, huge numbers, very long keys and strings,
// invalid UTF-8, more rows than the limits, and Torznab texts that end in
// the middle of a tag, a quote or an entity. The library must give its
// documented results, and whatever it exposes must stay consistent (the
// fuzz targets' checks, fuzz/fuzz_common.h, are reused for that).
#include <climits>
#include <cstring>

#include "fuzz/fuzz_common.h"
#include "reliability/reliability_support.h"

namespace {

class Hostile : public HostTest {};

std::string nested(int depth, const std::string &inner = "1") {
    return std::string(static_cast<size_t>(depth), '[') + inner + std::string(static_cast<size_t>(depth), ']');
}

constexpr int k_deep = 100000;

TEST_F(Hostile, HundredThousandLevelsOfNesting) {
    // Inside a row: the field is empty with a warning, the row is kept.
    std::string jackett = R"({"Results":[{"Title":)" + nested(k_deep) + R"(,"Seeders":3,"Category":)" +
                          nested(k_deep) + "}]}";
    ASSERT_EQ(kova_parse_jackett(jackett.c_str()), KOVA_OK);
    EXPECT_STREQ(kova_result_title(0), "");
    EXPECT_EQ(kova_result_seeders(0), 3);
    EXPECT_EQ(kova_result_category_count(0), 0);
    EXPECT_STREQ(kova_warning(0), "field Title: object/array where a scalar was expected, treated as empty");
    EXPECT_STREQ(kova_result_field(0, "Title"), "");
    check_results();
    // As the whole answer: the wrong shape.
    EXPECT_EQ(kova_parse_jackett(nested(k_deep).c_str()), KOVA_ERR_JSON);
    EXPECT_STREQ(kova_last_error(), "Jackett: response is not a JSON object");
    EXPECT_EQ(kova_parse_arr_releases(nested(k_deep, "{}").c_str()), KOVA_ERR_EMPTY); // one element, not an object
    EXPECT_STREQ(kova_warning(0), "1 non-object release rows ignored");
    EXPECT_EQ(kova_parse_arr_releases(("[{\"title\":" + nested(k_deep, "{\"a\":1}") + "}]").c_str()), KOVA_OK);
    EXPECT_STREQ(kova_result_title(0), "");
    check_results();
    // Unterminated nesting is not JSON.
    EXPECT_EQ(kova_parse_jackett(std::string(k_deep, '[').c_str()), KOVA_ERR_JSON);
    EXPECT_STREQ(kova_last_error(), "Jackett: response is not JSON");
    // Settings nested deeply: not an object, or an object without a host.
    char buf[256];
    kova_validate_fn fn = kova_rtchk_handler("SONARR")->validate;
    EXPECT_EQ(fn(&io.io, nested(k_deep).c_str(), buf, sizeof buf), -8);
    EXPECT_STREQ(buf, R"({"error":"settings are not a JSON object"})");
    EXPECT_EQ(fn(&io.io, (R"({"Host":)" + nested(k_deep) + R"(,"APIKey":"k"})").c_str(), buf, sizeof buf), -8);
    EXPECT_STREQ(buf, R"({"error":"Host is empty"})");
}

// A lookup object with a deeply nested member is copied whole into the add's
// body, which is still valid JSON.
TEST_F(Hostile, DeepLookupObjectIsPostedWhole) {
    kova_arm_library_writes(1);
    answer(S("/api/v3/series/lookup", "term=tvdb%3A7"), 200,
           R"([{"tvdbId":7,"cleanTitle":"deep","seasons":[{"monitored":true}],"extra":)" + nested(k_deep) + "}]");
    answer(S("/api/v3/series", "tvdbId=7"), 201, R"({"id":12})");
    ASSERT_EQ(kova_sonarr_add_series(7, "/tv", 3), 12);
    ASSERT_FALSE(io.calls.empty());
    const std::string &posted = io.calls.back().body;
    yyjson_doc *doc = yyjson_read(posted.data(), posted.size(), 0);
    ASSERT_NE(doc, nullptr);
    yyjson_val *v = yyjson_obj_get(yyjson_doc_get_root(doc), "extra");
    int depth = 0;
    while (yyjson_is_arr(v)) {
        v = yyjson_arr_get_first(v);
        ++depth;
    }
    EXPECT_EQ(depth, k_deep);
    yyjson_doc_free(doc);
}

TEST_F(Hostile, HugeNumbers) {
    const char *answer_text =
        R"({"Results":[{"Title":1e308,"Seeders":1e18,"Peers":-1e18,"Files":99999999999999999999999,)"
        R"("Size":18446744073709551615,"Category":[1e19,-1e19,9223372036854775807,-9223372036854775808],)"
        R"("DownloadVolumeFactor":1e308,"TMDb":-9223372036854775808,"TVDBId":123456789012345678901234567890,)"
        R"("Imdb":1e20,"PublishDate":1e308},)"
        R"({"Size":9223372036854775807,"Seeders":"1e3","Peers":"0x7fffffff","Files":2147483648,)"
        R"("DownloadVolumeFactor":"1000"}]})";
    ASSERT_EQ(kova_parse_jackett(answer_text), KOVA_OK);
    EXPECT_STREQ(kova_result_title(0), "1e+308"); // "%.17g"
    EXPECT_EQ(kova_result_seeders(0), INT32_MAX);
    EXPECT_EQ(kova_result_peers(0), -INT32_MAX);
    EXPECT_EQ(kova_result_files(0), -1); // beyond what an integer can hold
    uint64_t size = 0;
    EXPECT_EQ(kova_result_size(0, &size), KOVA_ERR_NOT_FOUND);
    EXPECT_EQ(kova_result_category_count(0), 2);
    EXPECT_EQ(kova_result_category(0, 0), INT32_MAX);
    EXPECT_EQ(kova_result_category(0, 1), -INT32_MAX);
    EXPECT_EQ(kova_result_download_volume_factor(0), -1);
    EXPECT_STREQ(kova_result_tmdb(0), "-9223372036854775808");
    EXPECT_STREQ(kova_result_imdb(0), "");
    EXPECT_EQ(kova_result_publish_date(0), -1);
    EXPECT_EQ(kova_result_size(1, &size), KOVA_OK);
    EXPECT_EQ(size, 9223372036854775807u);
    EXPECT_EQ(kova_result_seeders(1), 1000);
    EXPECT_EQ(kova_result_peers(1), INT32_MAX);
    EXPECT_EQ(kova_result_files(1), INT32_MAX);
    EXPECT_EQ(kova_result_download_volume_factor(1), 1000000);
    check_results();
    // Numbers beyond a double are not JSON.
    EXPECT_EQ(kova_parse_jackett(R"({"Results":[{"Size":1e400}]})"), KOVA_ERR_JSON);

    // Ids out of range in service answers count as absent.
    kova_arm_library_writes(1);
    answer(R("/api/v3/movie", "tmdbId=603"), 200,
           R"([{"tmdbId":603,"id":2147483647},{"tmdbId":603.0,"id":1e300},{"tmdbId":"603","id":-1}])");
    EXPECT_EQ(kova_radarr_library_find(603), 0);
    answer(R("/api/v3/movie/lookup/tmdb", "tmdbId=603"), 200, R"([{"tmdbId":603,"id":0,"cleanTitle":"m"}])");
    answer(R("/api/v3/movie"), 201, R"({"id":2147483647})");
    EXPECT_EQ(kova_radarr_add_movie(603, "/m", 1), KOVA_ERR_JSON);
    EXPECT_STREQ(kova_last_error(), "Radarr add: the answer carries no id");
    answer(R("/api/v3/movie/lookup/tmdb", "tmdbId=603"), 200, R"([{"tmdbId":6.03e300,"id":0}])");
    EXPECT_EQ(kova_radarr_add_movie(603, "/m", 1), KOVA_ERR_NOT_FOUND);
    answer(R("/api/v3/qualityprofile"), 200, R"([{"id":1e300,"name":"x"},{"id":4294967297,"name":"y"}])");
    answer(R("/api/v3/rootfolder"), 200, R"([{"path":"/m"}])");
    EXPECT_EQ(kova_radarr_test(), KOVA_OK);
    check_results();
}

TEST_F(Hostile, VeryLongKeysAndStrings) {
    if (under_valgrind()) GTEST_SKIP() << "too slow under memcheck";
    const std::string long_text(4u << 20, 'y');
    const std::string long_key(1u << 20, 'K');
    std::string text = R"({"Results":[{")" + long_key + R"(":1,"Title":")" + long_text + R"(","Imdb":"tt)" +
                       std::string(100000, '1') + R"(","Tracker":")" + long_text + R"("}],"Indexers":[{"ID":")" +
                       long_text + R"(","Name":"n"}]})";
    ASSERT_EQ(kova_parse_jackett(text.c_str()), KOVA_OK);
    EXPECT_EQ(strlen(kova_result_title(0)), long_text.size());
    EXPECT_STREQ(kova_result_imdb(0), ""); // too many digits for an IMDb number
    EXPECT_STREQ(kova_result_field(0, long_key.c_str()), "1");
    EXPECT_EQ(strlen(kova_indexer_id(0)), long_text.size());
    check_results();

    // Texts that go into diagnostics are cut to their limits.
    answer(J("/api/v2.0/indexers/all/results", "Query=" + long_text), 200, R"({"Results":[]})");
    EXPECT_EQ(kova_jackett_search_query(long_text.c_str()), KOVA_ERR_EMPTY);
    ASSERT_EQ(kova_test_log_count(), 1);
    EXPECT_EQ(strlen(kova_test_log_text(0)), 1023u);
    std::string imdb = "tt" + std::string(100000, '9');
    EXPECT_EQ(kova_sonarr_lookup(imdb.c_str(), long_text.c_str()), KOVA_ERR_JSON); // the host answers ""
    EXPECT_LE(strlen(kova_last_error()), 511u);
    // A long lookup title lands in the found entry's log text, cut.
    answer(S("/api/v3/series/lookup", "term=tt1"), 200,
           R"([{"imdbId":"tt1","tvdbId":3,"cleanTitle":")" + long_text + R"("}])");
    EXPECT_EQ(kova_sonarr_lookup("tt1", nullptr), KOVA_OK);
    EXPECT_EQ(strlen(kova_test_log_text(1)), 1023u);
    EXPECT_EQ(strlen(kova_lookup_clean_title(0)), long_text.size());
    // A long root folder and clean title make a long folder path.
    kova_arm_library_writes(1);
    answer(S("/api/v3/series/lookup", "term=tvdb%3A3"), 200,
           R"([{"imdbId":"tt1","tvdbId":3,"cleanTitle":")" + long_text + R"("}])");
    answer(S("/api/v3/series", "tvdbId=3"), 201, R"({"id":5})");
    EXPECT_EQ(kova_sonarr_add_series(3, long_text.c_str(), 1), 5);
    yyjson_doc *doc = yyjson_read(io.calls.back().body.data(), io.calls.back().body.size(), 0);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(yyjson_get_len(yyjson_obj_get(yyjson_doc_get_root(doc), "path")), 2 * long_text.size() + 5);
    yyjson_doc_free(doc);
}

// Invalid UTF-8 or an escaped lone surrogate in a text of a service answer
// costs that text its bad bytes, not the answer: each becomes U+FFFD, the
// rows stay, and one warning counts the texts repaired.
TEST_F(Hostile, InvalidUnicodeInAnswers) {
    const std::string fffd = "\xef\xbf\xbd";
    const std::string warning1 = "invalid Unicode in 1 texts of the answer replaced by U+FFFD";
    struct repaired_case {
        const char *name;
        std::string title; // as written in the JSON text
        std::string want;  // as the library hands it out
    };
    const repaired_case cases[] = {
        {"stray continuation byte", "a\x80z", "a" + fffd + "z"},
        {"bytes no sequence starts with", "\xff\xfe ok", fffd + fffd + " ok"},
        {"overlong form", "\xc0\xaf", fffd + fffd},
        {"encoded surrogate", "x\xed\xa0\x80", "x" + fffd + fffd + fffd},
        {"sequence cut short", "\xe2\x82 end", fffd + fffd + " end"},
        {"beyond U+10FFFF", "\xf4\x90\x80\x80", fffd + fffd + fffd + fffd},
        {"escaped lone high surrogate", "a\\ud800b", "a" + fffd + "b"},
        {"escaped lone low surrogate", "\\uDC00", fffd},
        {"high surrogate before a plain escape", "\\ud83d\\u0041", fffd + "A"},
        {"two high surrogates, then a pair", "\\ud800\\ud83d\\ude00", fffd + "\xf0\x9f\x98\x80"},
        {"mixed with valid text", "caf\xc3\xa9 \xff \\u00e9", "caf\xc3\xa9 " + fffd + " \xc3\xa9"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        // Jackett: the bad row and its neighbours are kept.
        const std::string jackett = R"({"Results":[{"Title":"good","Seeders":1},{"Title":")" + c.title +
                                    R"(","Seeders":2},{"Title":"also good"}],"Indexers":[]})";
        // Parsed from the host's text and from a search's own answer (which
        // the library reads in place unless it needs mending).
        answer(J("/api/v2.0/indexers/all/results", "Query=x"), 200, jackett);
        for (bool searched : {false, true}) {
            ASSERT_EQ(searched ? kova_jackett_search_query("x") : kova_parse_jackett(jackett.c_str()), KOVA_OK)
                << kova_last_error();
            ASSERT_EQ(kova_result_count(), 3);
            EXPECT_STREQ(kova_result_title(0), "good");
            EXPECT_EQ(kova_result_title(1), c.want);
            EXPECT_EQ(kova_result_seeders(1), 2);
            EXPECT_STREQ(kova_result_title(2), "also good");
            ASSERT_EQ(kova_warning_count(), 1);
            EXPECT_EQ(kova_warning(0), warning1);
            check_results();
        }
        // A release list, the same two ways.
        const std::string releases = R"([{"title":")" + c.title + R"(","guid":"g1"},{"title":"fine"}])";
        answer(R("/api/v3/release", "movieId=7"), 200, releases);
        for (bool searched : {false, true}) {
            ASSERT_EQ(searched ? kova_radarr_releases(7) : kova_parse_arr_releases(releases.c_str()), KOVA_OK)
                << kova_last_error();
            ASSERT_EQ(kova_result_count(), 2);
            EXPECT_EQ(kova_result_title(0), c.want);
            EXPECT_STREQ(kova_result_title(1), "fine");
            ASSERT_EQ(kova_warning_count(), 1);
            EXPECT_EQ(kova_warning(0), warning1);
            check_results();
        }
        // A lookup: the entry is kept with its repaired title.
        answer(S("/api/v3/series/lookup", "term=tt5"), 200,
               R"([{"title":")" + c.title + R"(","imdbId":"tt5","tvdbId":9,"cleanTitle":"x"}])");
        ASSERT_EQ(kova_sonarr_lookup("tt5", nullptr), KOVA_OK) << kova_last_error();
        EXPECT_EQ(kova_lookup_title(0), c.want);
        ASSERT_EQ(kova_warning_count(), 1);
        EXPECT_EQ(kova_warning(0), warning1);
    }
    // Several bad texts, keys among them: one warning with their number.
    ASSERT_EQ(kova_parse_jackett("{\"Results\":[{\"Title\":\"\xff\",\"Tracker\":\"\\udfff\",\"b\xff\":1},"
                                 "{\"Title\":\"\xc3\"}]}"),
              KOVA_OK);
    EXPECT_EQ(kova_result_count(), 2);
    EXPECT_EQ(kova_result_tracker(0), fffd);
    ASSERT_EQ(kova_warning_count(), 1);
    EXPECT_STREQ(kova_warning(0), "invalid Unicode in 4 texts of the answer replaced by U+FFFD");
    check_results();
    // Invalid Unicode and any other malformation: still not JSON, no warning.
    const char *still_bad[] = {
        "{\"Results\":[{\"Title\":\"\xff\"},]}",           // trailing comma
        "{\"Results\":[{\"Title\":\"\\ud800\"}]",            // cut short
        "{\"Results\":[{\"Title\":\"\xff\x01\"}]}",          // a control byte in a string
        "{\"Results\":[{\"Title\":\"\\ud800\\q\"}]}",        // a bad escape
        "{\"Results\":[{\"Title\":\"\xff\"}]} \xff",         // a stray byte outside strings
        "\xff{\"Results\":[]}",
    };
    for (const char *text : still_bad) {
        SCOPED_TRACE(text);
        EXPECT_EQ(kova_parse_jackett(text), KOVA_ERR_JSON);
        EXPECT_STREQ(kova_last_error(), "Jackett: response is not JSON");
        EXPECT_EQ(kova_warning_count(), 0);
        answer(J("/api/v2.0/indexers/all/results", "Query=x"), 200, text);
        EXPECT_EQ(kova_jackett_search_query("x"), KOVA_ERR_JSON);
        EXPECT_STREQ(kova_last_error(), "Jackett: response is not JSON");
        EXPECT_EQ(kova_warning_count(), 0);
    }
    EXPECT_EQ(kova_parse_arr_releases("[{\"title\":\"\xed\xa0\x80\"}"), KOVA_ERR_JSON);
    EXPECT_STREQ(kova_last_error(), "release list is not JSON");
    // The result document of a repaired answer agrees with the texts.
    ASSERT_EQ(kova_parse_jackett("{\"Results\":[{\"Title\":\"a\xff\"}]}"), KOVA_OK);
    const std::string doc = kova_result_json();
    EXPECT_NE(doc.find("\"title\":\"a" + fffd + "\""), std::string::npos) << doc;
}

// A search reads its answer in place after a check that passes over long
// runs of plain ASCII whole: a bad byte or escape is found at any offset,
// block edges and the answer's last bytes included.
TEST_F(Hostile, InvalidUnicodeAtEveryOffsetOfASearchAnswer) {
    const std::string fffd = "\xef\xbf\xbd";
    const std::string head = R"({"Results":[{"Title":")";
    const std::string tail = R"("}]})";
    for (const auto &[bad, shown] : {std::pair<std::string, std::string>{"\xff", fffd}, {"\\udc00", fffd}}) {
        for (size_t at = 0; at <= 200; ++at) {
            std::string title(200, 'x');
            const std::string text = head + title.substr(0, at) + bad + title.substr(at) + tail;
            SCOPED_TRACE(text.size());
            answer(J("/api/v2.0/indexers/all/results", "Query=x"), 200, text);
            ASSERT_EQ(kova_jackett_search_query("x"), KOVA_OK) << kova_last_error();
            EXPECT_EQ(kova_result_title(0), title.substr(0, at) + shown + title.substr(at));
            ASSERT_EQ(kova_warning_count(), 1);
        }
    }
    // Clean non-ASCII text and escapes, anywhere: nothing to mend.
    for (size_t at = 0; at < 130; at += 7) {
        const std::string title = std::string(at, 'y') + "caf\xc3\xa9 \\ud83d\\ude00 \\\" \\u00e9";
        answer(J("/api/v2.0/indexers/all/results", "Query=x"), 200, head + title + tail);
        ASSERT_EQ(kova_jackett_search_query("x"), KOVA_OK) << kova_last_error();
        EXPECT_EQ(kova_result_title(0), std::string(at, 'y') + "caf\xc3\xa9 \xf0\x9f\x98\x80 \" \xc3\xa9");
        EXPECT_EQ(kova_warning_count(), 0);
    }
}

TEST_F(Hostile, InvalidUtf8) {
    // In a JSON answer: the texts are repaired (InvalidUnicodeInAnswers).
    EXPECT_EQ(kova_parse_jackett("{\"Results\":[{\"Title\":\"\xff\xfe\"}]}"), KOVA_OK);
    EXPECT_STREQ(kova_result_title(0), "\xef\xbf\xbd\xef\xbf\xbd");
    // In a Torznab answer every byte is kept, and the result document still
    // comes out valid, with replacement characters.
    ASSERT_EQ(kova_parse_torznab_indexers(
                  "<indexers><indexer id=\"\xc3\"><title>bad \xff\xfe \xed\xa0\x80 ok \xc3\xa9</title></indexer>"
                  "</indexers>"),
              KOVA_OK);
    EXPECT_STREQ(kova_indexer_name(0), "bad \xff\xfe \xed\xa0\x80 ok \xc3\xa9");
    const std::string doc = kova_result_json();
    EXPECT_NE(doc.find("bad \xef\xbf\xbd\xef\xbf\xbd \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd ok \xc3\xa9"), std::string::npos)
        << doc;
    check_results();
    // In the settings: not a JSON object.
    char buf[128];
    EXPECT_EQ(kova_rtchk_handler("RADARR")->validate(&io.io, "{\"Host\":\"\xff\",\"APIKey\":\"k\"}", buf, sizeof buf),
              KOVA_VALIDATE_INVALID_SETTINGS);
    EXPECT_STREQ(buf, R"({"error":"settings are not a JSON object"})");
    // In a Torznab error code that ends up in a validation's error answer:
    // still a valid answer with its own code, not a report of lost memory.
    io.answers[J("/api/v2.0/indexers/all/results/torznab/api", "t=indexers&configured=true")] =
        RecordingIo::Answer{0, 200, "<error code=\"1234567\xc3\xa9\"/>", nullptr, true};
    EXPECT_EQ(kova_rtchk_handler("JACKETT")->validate(&io.io, R"({"Host":"j","APIKey":"k"})", buf, sizeof buf),
              KOVA_VALIDATE_UNEXPECTED);
    EXPECT_STREQ(buf, R"({"error":"Jackett: Torznab error 1234567\uFFFD"})");
    // In a root folder the host passes: refused before anything is sent.
    kova_arm_library_writes(1);
    answer(S("/api/v3/series/lookup", "term=tvdb%3A3"), 200, R"([{"tvdbId":3,"cleanTitle":"x"}])");
    size_t sent = io.calls.size();
    EXPECT_EQ(kova_sonarr_add_series(3, "/tv/\xff", 1), KOVA_ERR_INVALID_ARG);
    EXPECT_EQ(io.calls.size(), sent + 1); // the lookup only
    // In a host: allowed bytes, sent as they are.
    EXPECT_EQ(kova_radarr_configure("h\xc3\xa9\xff", 0, 0, "k\xff"), KOVA_OK);
    EXPECT_EQ(kova_radarr_library_find(1), KOVA_ERR_JSON);
    EXPECT_EQ(io.calls.back().url, "http://h\xc3\xa9\xff:7878/api/v3/movie?apikey=k%FF&tmdbId=1");
}

std::string rows(const char *open, int n, const char *row, const char *close) {
    std::string s = open;
    s.reserve(s.size() + static_cast<size_t>(n) * (strlen(row) + 1) + 8);
    for (int i = 0; i < n; ++i) {
        if (i) s += ',';
        s += row;
    }
    return s + close;
}

TEST_F(Hostile, MoreRowsThanTheLimits) {
    if (under_valgrind()) GTEST_SKIP() << "too slow under memcheck";
    const std::string jackett = rows(R"({"Results":[)", 200001, R"({"Seeders":1})", "]}");
    ASSERT_EQ(kova_parse_jackett(jackett.c_str()), KOVA_OK);
    EXPECT_EQ(kova_result_count(), 200000);
    ASSERT_EQ(kova_warning_count(), 1);
    EXPECT_STREQ(kova_warning(0), "Jackett: more than 200000 results, the rest dropped");
    EXPECT_EQ(kova_result_seeders(199999), 1);
    EXPECT_EQ(kova_result_seeders(200000), -1);
    check_document();

    const std::string releases = rows("[", 200001, "{}", "]");
    ASSERT_EQ(kova_parse_arr_releases(releases.c_str()), KOVA_OK);
    EXPECT_EQ(kova_result_count(), 200000);
    EXPECT_STREQ(kova_warning(0), "more than 200000 releases, the rest dropped");

    answer(S("/api/v3/series/lookup", "term=tt1"), 200, rows("[", 100001, R"({"imdbId":"tt2"})", "]"));
    EXPECT_EQ(kova_sonarr_lookup("tt1", nullptr), KOVA_ERR_NOT_FOUND);
    EXPECT_EQ(kova_lookup_count(), 100000);
    EXPECT_STREQ(kova_last_error(), "Sonarr lookup: 100000 series, none with that IMDb id and a TVDB id");

    answer(S("/api/v3/rootfolder"), 200, R"([{"path":"/tv"}])");
    answer(S("/api/v3/qualityprofile"), 200, rows("[", 10001, R"({"id":1,"name":"p"})", "]"));
    EXPECT_EQ(kova_sonarr_test(), KOVA_OK);
    EXPECT_EQ(kova_quality_profile_count(), 10000);
    EXPECT_EQ(kova_quality_profile_id(9999), 1);
    EXPECT_EQ(kova_quality_profile_id(10000), -1);
}

// The title stage drops rows in place from a large set: the survivors keep
// their order and every text, whatever storage the dropped rows shared.
TEST_F(Hostile, TitleStageDropsRowsAcrossALargeSet) {
    std::string title_rows = R"({"Results":[)";
    for (int i = 0; i < 3000; ++i) {
        if (i) title_rows += ',';
        title_rows += R"({"Title":"r)" + std::to_string(i) + R"(","TMDb":)" + std::to_string(1000000 + i) +
                      R"(,"Imdb":")" + (i % 3 == 0 ? "tt0000999" : "tt0000123") + R"(","Category":[)" +
                      std::to_string(i) + "]}";
    }
    title_rows += "]}";
    answer(J("/api/v2.0/indexers/all/results", "Query=tt0000123"), 200, R"({"Results":[]})");
    answer(J("/api/v2.0/indexers/all/results", "Query=T"), 200, title_rows);
    ASSERT_EQ(kova_jackett_search_imdb("tt0000123", "T", nullptr), KOVA_OK);
    EXPECT_EQ(kova_jackett_stage(), KOVA_STAGE_TITLE);
    ASSERT_EQ(kova_result_count(), 2000);
    EXPECT_STREQ(kova_warning(0), "stage2: dropped 1000 rows with a different Imdb");
    for (int32_t k = 0; k < 2000; ++k) {
        int i = k + k / 2 + 1; // the kept rows: those with i % 3 != 0
        ASSERT_EQ(std::string(kova_result_title(k)), "r" + std::to_string(i));
        ASSERT_EQ(std::string(kova_result_tmdb(k)), std::to_string(1000000 + i));
        ASSERT_EQ(kova_result_category(k, 0), i);
    }
    check_results();
    // Replacing and resetting the set releases what the survivors hold.
    ASSERT_EQ(kova_parse_jackett(R"({"Results":[{"Title":"x"}]})"), KOVA_OK);
    EXPECT_STREQ(kova_result_title(0), "x");
}

TEST_F(Hostile, TorznabCutShort) {
    struct cut_case {
        const char *text;
        int32_t rc;
        int32_t indexers;
        const char *first_name;
    };
    const cut_case cases[] = {
        {"<indexers><indexer id=\"abc", KOVA_OK, 0, nullptr},
        {"<indexers><indexer id=\"a><title>x</title></indexer>", KOVA_OK, 0, nullptr},
        {"<indexers><indexer id=\"a\"><title>unterminated", KOVA_OK, 1, ""},
        {"<indexers><indexer id=\"a\">", KOVA_OK, 1, ""},
        {"<indexers><indexer id='a'", KOVA_OK, 0, nullptr},
        {"<indexers><indexer", KOVA_OK, 0, nullptr},
        {"<indexers><indexer ", KOVA_OK, 0, nullptr},
        {"<indexers><indexer id=\"a\"><title>x &amp", KOVA_OK, 1, ""},
        {"<indexers><indexer id=\"a\"><title>x &am</title>", KOVA_OK, 1, "x &am"},
        {"<indexers><indexer id=\"a\"><title>&</title></indexer><indexer id=\"b\"><title>", KOVA_OK, 2, "&"},
        {"<indexers><indexer id=\"a\"><title></title", KOVA_OK, 1, ""},
        {"<indexers><indexer id=", KOVA_OK, 0, nullptr},
        {"<indexers><indexer id=\"", KOVA_OK, 0, nullptr},
        {"<error code=\"100", KOVA_ERR_JSON, 0, nullptr},
        {"<error code=\"100\"", KOVA_ERR_JSON, 0, nullptr},
        {"<indexers><error code=\"1", KOVA_OK, 0, nullptr},
        {"<error code=\"100>", KOVA_ERR_HTTP, 0, nullptr},
        {"<error code='100'>", KOVA_ERR_AUTH, 0, nullptr},
        {"<error", KOVA_ERR_JSON, 0, nullptr},
        {"<indexers", KOVA_OK, 0, nullptr},
        {"", KOVA_ERR_JSON, 0, nullptr},
    };
    for (const cut_case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(kova_parse_torznab_indexers(c.text), c.rc) << kova_last_error();
        EXPECT_EQ(kova_indexer_count(), c.indexers);
        if (c.first_name) {
            EXPECT_STREQ(kova_indexer_name(0), c.first_name);
        }
        check_results();
    }
}

} // namespace

namespace {
// Refusals a broken or malicious service could send: the warning that carries
// them stays one valid UTF-8 line within its limit, with no key in it.
TEST_F(Hostile, RefusalBodies) {
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "{\"error\":";
    deep += "\"x\"";
    for (int i = 0; i < 100000; ++i) deep += "}";
    std::string many = "[";
    for (int i = 0; i < 20000; ++i) many += std::string(i ? "," : "") + R"({"propertyName":"P","errorMessage":"too long"})";
    many += "]";
    const std::string key = "s3cr3tK3yValue";
    const std::string bodies[] = {
        deep,
        many,
        std::string(R"({"message":")") + std::string(100000, 'a') + "\"}",
        "{\"title\":\"bad\\u0000\\u001b[2J\\r\\nforged line\",\"detail\":\"apikey=" + key + "&x\"}",
        "plain \xff\xfe\xed\xa0\x80 text with " + key + " and ApIkEy=" + key,
        std::string(300000, '{'),
        std::string(1 << 20, 'm'),
    };
    ASSERT_EQ(kova_sonarr_configure("s", 0, 0, key.c_str()), KOVA_OK);
    for (const std::string &b : bodies) {
        answer("http://s:8989/api/v3/rootfolder?apikey=" + key, 400, b);
        EXPECT_EQ(kova_sonarr_test(), KOVA_ERR_HTTP);
        EXPECT_STREQ(kova_last_error(), "Sonarr rootfolder: HTTP 400");
        ASSERT_LE(kova_warning_count(), 1);
        if (kova_warning_count() == 0) continue;
        std::string w = kova_warning(0);
        EXPECT_LE(w.size(), 511u);
        EXPECT_EQ(w.rfind("Sonarr: ", 0), 0u) << w;
        EXPECT_TRUE(utf8_valid(w.data(), w.size())) << w;
        EXPECT_EQ(w.find(key), std::string::npos) << w;
        for (char c : w) EXPECT_GE(static_cast<unsigned char>(c), 0x20) << w;
        check_results();
    }
}
} // namespace
