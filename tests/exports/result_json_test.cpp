#include <cstring>
#include <string>

#include "support/kova_test.h"

using ResultJson = KovaTest;

TEST_F(ResultJson, ZeroStateDocument) {
    EXPECT_STREQ(kova_result_json(),
                 "{\"stage\":0,\"rc\":0,\"results\":[],\"indexers\":[],\"indexers_errored\":0,\"warnings\":[]}");
}

TEST_F(ResultJson, WholeDocumentForASmallSet) {
    ASSERT_EQ(kova_parse_jackett(
                  "{\"Results\":[{\"Title\":\"a \\\"q\\\"\\nb/c\",\"Tracker\":\"T\",\"Size\":0,\"Seeders\":5,"
                  "\"Category\":[2000],\"PublishDate\":\"1970-01-01T00:00:01Z\",\"DownloadVolumeFactor\":0.5,"
                  "\"Imdb\":\"tt0042\",\"TMDb\":7},{\"Files\":3}],"
                  "\"Indexers\":[{\"ID\":\"x\",\"Name\":\"X\",\"Status\":1,\"Results\":0,\"Error\":\"down\"},5],"
                  "\"Extra\":{\"Indexers\":5}}"),
              KOVA_PARTIAL);
    const std::string row0 =
        "{\"title\":\"a \\\"q\\\"\\nb/c\",\"tracker\":\"T\",\"tracker_id\":\"\",\"guid\":\"\",\"link\":\"\","
        "\"details\":\"\",\"magnet\":\"\",\"info_hash\":\"\",\"category_desc\":\"\",\"imdb\":\"42\",\"tmdb\":\"7\","
        "\"tvdb\":\"\",\"size\":0,\"seeders\":5,\"peers\":-1,\"files\":-1,\"category\":[2000],\"publish_date\":1000,"
        "\"download_volume_factor\":500,\"season\":-1,\"episode\":-1,\"full_season\":false}";
    const std::string row1 =
        "{\"title\":\"\",\"tracker\":\"\",\"tracker_id\":\"\",\"guid\":\"\",\"link\":\"\",\"details\":\"\","
        "\"magnet\":\"\",\"info_hash\":\"\",\"category_desc\":\"\",\"imdb\":\"\",\"tmdb\":\"\",\"tvdb\":\"\","
        "\"size\":null,\"seeders\":-1,\"peers\":-1,\"files\":3,\"category\":[],\"publish_date\":-1,"
        "\"download_volume_factor\":-1,\"season\":-1,\"episode\":-1,\"full_season\":false}";
    const std::string expected = "{\"stage\":0,\"rc\":1,\"results\":[" + row0 + "," + row1 +
                                 "],\"indexers\":[{\"id\":\"x\",\"name\":\"X\",\"status\":1,\"results\":0,"
                                 "\"error\":\"down\"}],\"indexers_errored\":1,\"warnings\":[]}";
    EXPECT_EQ(std::string(kova_result_json()), expected);
}

TEST_F(ResultJson, WarningsFullSeasonAndFailedCalls) {
    ASSERT_EQ(kova_parse_arr_releases("[{\"title\":\"s\",\"fullSeason\":true,\"seasonNumber\":2,\"guid\":[1]},1,2]"),
              KOVA_OK);
    std::string doc = kova_result_json();
    EXPECT_NE(doc.find("\"full_season\":true"), std::string::npos);
    EXPECT_NE(doc.find("\"warnings\":[\"field guid: object/array where a scalar was expected, treated as empty\","
                       "\"2 non-object release rows ignored\"]"),
              std::string::npos)
        << doc;
    kova_jackett_search_query("q");
    doc = kova_result_json();
    EXPECT_EQ(doc, "{\"stage\":0,\"rc\":-5,\"results\":[],\"indexers\":[],\"indexers_errored\":0,\"warnings\":[]}");
}

TEST_F(ResultJson, InvalidUtf8IsRepairedNotLost) {
    // Torznab texts are not validated by the parser; one bad byte must not
    // cost the host the whole document.
    ASSERT_EQ(kova_parse_torznab_indexers("<indexers><indexer id=\"a\xff\" configured=\"true\"><title>Caf\xc3 "
                                          "\xe9t\xc3\xa9</title></indexer></indexers>"),
              KOVA_OK);
    std::string doc = kova_result_json();
    EXPECT_EQ(doc, "{\"stage\":0,\"rc\":0,\"results\":[],\"indexers\":[{\"id\":\"a\xEF\xBF\xBD\",\"name\":\"Caf"
                   "\xEF\xBF\xBD \xEF\xBF\xBDt\xc3\xa9\",\"status\":2,\"results\":0,\"error\":\"\"}],"
                   "\"indexers_errored\":0,\"warnings\":[]}");
}

TEST_F(ResultJson, EachCallReplacesTheText) {
    const char *first = kova_result_json();
    EXPECT_EQ(first, g_kova.json_text);
    const char *second = kova_result_json();
    EXPECT_EQ(second, g_kova.json_text);
    EXPECT_STREQ(second, "{\"stage\":0,\"rc\":0,\"results\":[],\"indexers\":[],\"indexers_errored\":0,\"warnings\":[]}");
}

TEST_F(ResultJson, OutOfMemoryGivesEmptyOrValidJson) {
    ASSERT_EQ(kova_parse_jackett("{\"Results\":[{\"Title\":\"a\",\"Category\":[1,2]},{\"Title\":\"b\"}],"
                                 "\"Indexers\":[{\"ID\":\"x\",\"Status\":0}]}"),
              KOVA_OK);
    const std::string full = kova_result_json();
    std::string doc;
    oom_sweep([] {},
              [&] {
                  doc = kova_result_json();
                  return 0;
              },
              [&](int32_t, bool injected) {
                  if (!injected) {
                      EXPECT_EQ(doc, full);
                      return;
                  }
                  if (doc.empty()) return;
                  yyjson_doc *d = yyjson_read(doc.c_str(), doc.size(), 0);
                  EXPECT_NE(d, nullptr) << doc;
                  yyjson_doc_free(d);
              });
}
