// A release's details, read from the row's own object in the shapes of
// Sonarr v3 and v4 and Radarr v3 to v5, through the accessors a host uses.
#include <string>

#include "support/kova_test.h"

namespace {

// One release of each shape, and one written with other key cases and
// numbers as texts: the answer kova_parse_arr_releases reads.
const char *const k_releases = R"([
 {"guid":"sonarr-v3","title":"Show.S01E05.1080p.WEB-DL-NTb","indexer":"NZBgeek","indexerId":4,
  "quality":{"quality":{"id":3,"name":"WEBDL-1080p","source":"web","resolution":1080},
             "revision":{"version":2,"real":0,"isRepack":false}},
  "language":{"id":1,"name":"English"},"approved":false,"rejected":true,
  "rejections":["Existing file on disk is of equal or higher preference: WEBDL-1080p"],
  "protocol":"usenet","seasonNumber":1,"episodeNumbers":[5]},
 {"guid":"sonarr-v4","title":"Show.S01E05.2160p.WEB.h265-GRP","indexer":"Torrentio","indexerId":7,
  "quality":{"quality":{"id":18,"name":"WEBDL-2160p","source":"web","resolution":2160},
             "revision":{"version":1,"real":0,"isRepack":false}},
  "customFormats":[{"id":2,"name":"x265"}],"customFormatScore":-150,
  "languages":[{"id":1,"name":"English"},{"id":2,"name":"French"}],
  "approved":true,"rejections":[],"protocol":"torrent","seeders":12,"leechers":3},
 {"guid":"newer","title":"Show.S01E05.720p.HDTV","indexerId":9,
  "quality":{"quality":{"name":"HDTV-720p","resolution":720}},"languages":[{"name":"German"}],
  "approved":false,"protocol":1,
  "rejections":[{"reason":"unknownSeries","message":"Unknown Series","type":"permanent"},
                {"reason":"x","type":"temporary"},"",42,"Not a repack"]},
 {"Guid":"tolerant","Title":"Film.2019.1080p","IndexerId":"11",
  "Quality":{"Quality":{"Name":"Bluray-1080p","Resolution":"1080"}},"CustomFormatScore":"25",
  "Languages":[{"Name":"English"}],"Approved":"true","Protocol":"TORRENT"},
 {"guid":"bare","title":"Nothing known"}
])";

TEST_F(KovaTest, ReleaseDetailsFromEveryShape) {
    ASSERT_EQ(kova_parse_arr_releases(k_releases), KOVA_OK);
    ASSERT_EQ(kova_result_count(), 5);
    const struct {
        const char *quality;
        int32_t resolution, approved;
        const char *languages;
        int32_t score;
        const char *protocol;
        int32_t indexer;
        std::vector<std::string> rejections;
    } want[] = {
        {"WEBDL-1080p", 1080, 0, "English", 0, "usenet", 4,
         {"Existing file on disk is of equal or higher preference: WEBDL-1080p"}},
        {"WEBDL-2160p", 2160, 1, "English, French", -150, "torrent", 7, {}},
        {"HDTV-720p", 720, 0, "German", 0, "usenet", 9, {"Unknown Series", "Not a repack"}},
        {"Bluray-1080p", 1080, 1, "English", 25, "torrent", 11, {}},
        {"", 0, -1, "", 0, "", -1, {}},
    };
    for (int32_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(kova_result_guid(i));
        const auto &w = want[i];
        EXPECT_STREQ(kova_result_quality(i), w.quality);
        EXPECT_EQ(kova_result_resolution(i), w.resolution);
        EXPECT_EQ(kova_result_approved(i), w.approved);
        EXPECT_STREQ(kova_result_languages(i), w.languages);
        EXPECT_EQ(kova_result_custom_format_score(i), w.score);
        EXPECT_STREQ(kova_result_protocol(i), w.protocol);
        EXPECT_EQ(kova_result_indexer_id(i), w.indexer);
        std::vector<std::string> got;
        for (int32_t j = 0; j < kova_result_rejection_count(i); ++j) got.emplace_back(kova_result_rejection(i, j));
        EXPECT_EQ(got, w.rejections);
        EXPECT_STREQ(kova_result_rejection(i, -1), "");
        EXPECT_STREQ(kova_result_rejection(i, kova_result_rejection_count(i)), "");
    }
    // A text a host keeps stays valid while the set lives.
    const char *languages = kova_result_languages(1);
    EXPECT_STREQ(kova_result_languages(0), "English");
    EXPECT_STREQ(languages, "English, French");
    // The result document stays as it was: no detail in it.
    EXPECT_EQ(std::string(kova_result_json()).find("quality"), std::string::npos);
}

TEST_F(KovaTest, ReleaseDetailsOutOfRangeAndOfJackettRows) {
    ASSERT_EQ(kova_parse_jackett(R"({"Results":[{"Title":"t","Tracker":"x","TrackerId":"x",
        "quality":{"quality":{"name":"looks like one"}},"approved":true}],"Indexers":[]})"),
              KOVA_OK);
    for (int32_t i : {0, -1, 1}) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(kova_result_quality(i), "");
        EXPECT_EQ(kova_result_resolution(i), 0);
        EXPECT_EQ(kova_result_approved(i), -1);
        EXPECT_EQ(kova_result_rejection_count(i), 0);
        EXPECT_STREQ(kova_result_languages(i), "");
        EXPECT_EQ(kova_result_custom_format_score(i), 0);
        EXPECT_STREQ(kova_result_protocol(i), i == 0 ? "torrent" : "");
        EXPECT_EQ(kova_result_indexer_id(i), -1);
    }
}

// The protocol as a name in any letter case, as a number, or as a number
// given as a text, which reads like the number.
TEST_F(KovaTest, ReleaseProtocolFromNamesNumbersAndNumbersAsTexts) {
    const struct {
        const char *value, *protocol;
    } cases[] = {
        {R"("torrent")", "torrent"}, {R"("Usenet")", "usenet"}, {"1", "usenet"}, {"2", "torrent"},
        {R"("1")", "usenet"}, {R"("2")", "torrent"}, {R"(" 2 ")", "torrent"}, {"2.0", "torrent"},
        {R"("3")", ""}, {"0", ""}, {R"("")", ""}, {R"("unknown")", ""},
        {"true", ""}, {"null", ""}, {"[2]", ""}, {R"({"id":2})", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value);
        ASSERT_EQ(kova_parse_arr_releases((std::string(R"([{"title":"t","protocol":)") + c.value + "}]").c_str()),
                  KOVA_OK);
        EXPECT_STREQ(kova_result_protocol(0), c.protocol);
    }
}

TEST_F(KovaTest, ResultPathReadsAnyMemberOfTheRowsObject) {
    ASSERT_EQ(kova_parse_arr_releases(k_releases), KOVA_OK);
    const struct {
        int32_t row;
        const char *path, *text;
    } cases[] = {
        {0, "quality.revision.version", "2"},
        {0, "QUALITY.quality.Name", "WEBDL-1080p"},
        {1, "languages.1.name", "French"},
        {1, "customFormats.0.id", "2"},
        {0, "rejections.0", "Existing file on disk is of equal or higher preference: WEBDL-1080p"},
        {0, "approved", "false"},
        {1, "languages.2.name", ""}, // past the array's end
        {1, "languages.x.name", ""}, // not an index
        {1, "languages", ""},        // an array, not a scalar
        {0, "quality..name", ""},
        {0, "", ""},
        {0, "nothing.here", ""},
        {4, "guid", "bare"},
        {5, "guid", ""},
        {-1, "guid", ""},
    };
    for (const auto &c : cases) EXPECT_STREQ(kova_result_path(c.row, c.path), c.text) << c.row << " " << c.path;
    EXPECT_STREQ(kova_result_path(0, nullptr), "");
    // Jackett rows have their objects too.
    ASSERT_EQ(kova_parse_jackett(R"({"Results":[{"Title":"t","Extra":{"a":[1,{"b":"c"}]}}]})"), KOVA_OK);
    EXPECT_STREQ(kova_result_path(0, "extra.a.1.b"), "c");
}

} // namespace
