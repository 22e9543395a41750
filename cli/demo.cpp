// `kova demo`: the whole chain as a user sees it, with no configuration and
// no network. The library's fake transport is programmed with answers shaped
// like the real services' (trimmed, but with the members the services send),
// and the commands' own printers show each step.
#include <yyjson.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "cli.h"
#include "sys.h"

namespace cli {
namespace {

// The services the demo plays, in the order it tests them.
const struct {
    int kind;
    const char *host, *key;
} k_played[] = {
    {KOVA_JACKETT, "jackett.home.lan", "4c1f0e8a9b7d46c2a53e8f1d0b6c9a27"},
    {KOVA_SONARR, "sonarr.home.lan", "b2e9d41f7a0c4e86953d2c7f1a8e0b64"},
    {KOVA_RADARR, "radarr.home.lan", "e7a3c90b5d1f42e8a6c4b0d9f2e7a153"},
    {KOVA_PROWLARR, "prowlarr.home.lan", "5d0e8b3a1c7f49e2b6a4d9c0f3e1b872"},
};

const char *key(int kind) {
    for (const auto &p : k_played)
        if (p.kind == kind) return p.key;
    return "";
}

// Percent-encoding as the library applies it to query values.
std::string enc(const std::string &s) {
    std::string out;
    for (unsigned char c : s) {
        if (isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            char b[4];
            snprintf(b, sizeof b, "%%%02X", c);
            out += b;
        }
    }
    return out;
}

// The URL the library requests: base URL, path, the key first, then the query.
std::string url(int kind, const char *path, const std::string &query = "") {
    std::string u = std::string(kova_base_url(kind)) + path + "?apikey=" + enc(key(kind));
    if (!query.empty()) u += "&" + query;
    return u;
}

// ---------------------------------------------------------------------------
// Answers
// ---------------------------------------------------------------------------
const char k_torznab_indexers[] = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<indexers>
  <indexer id="1337x" configured="true">
    <title>1337x</title>
    <description>1337X is a Public torrent site that offers verified torrent downloads</description>
    <link>https://1337x.to/</link>
    <language>en-US</language>
    <type>public</type>
    <caps>
      <server title="Jackett" />
      <limits default="100" max="100" />
      <searching>
        <search available="yes" supportedParams="q" />
        <tv-search available="yes" supportedParams="q,season,ep" />
        <movie-search available="yes" supportedParams="q" />
      </searching>
    </caps>
  </indexer>
  <indexer id="eztv" configured="true">
    <title>EZTV</title>
    <description>EZTV is a Public torrent site for TV shows</description>
    <link>https://eztvx.to/</link>
    <language>en-US</language>
    <type>public</type>
  </indexer>
  <indexer id="rutracker" configured="true">
    <title>RuTracker.org</title>
    <description>RuTracker.org is a Semi-Private Russian torrent site with a thriving file-sharing community</description>
    <link>https://rutracker.org/</link>
    <language>ru-RU</language>
    <type>semi-private</type>
  </indexer>
</indexers>
)xml";

// The IMDb stage finds nothing: these indexers do not search by IMDb id.
const char k_jackett_by_imdb[] = R"json({"Results":[],"Indexers":[
 {"ID":"1337x","Name":"1337x","Status":2,"Results":0,"Error":null},
 {"ID":"eztv","Name":"EZTV","Status":2,"Results":0,"Error":null},
 {"ID":"rutracker","Name":"RuTracker.org","Status":2,"Results":0,"Error":null}]})json";

// The title stage: three rows of the 1968 film (one without an IMDb id),
// one of the 1990 remake, which the IMDb filter drops; EZTV failed.
const char k_jackett_by_title[] = R"json({"Results":[
 {"FirstSeen":"0001-01-01T00:00:00","Tracker":"1337x","TrackerId":"1337x","TrackerType":"public",
  "CategoryDesc":"Movies/HD","BlackholeLink":null,
  "Title":"Night of the Living Dead 1968 REMASTERED 1080p BluRay x264-SPOOKS",
  "Guid":"https://1337x.to/torrent/5518224/Night-of-the-Living-Dead-1968-REMASTERED-1080p/",
  "Link":null,"Details":"https://1337x.to/torrent/5518224/Night-of-the-Living-Dead-1968-REMASTERED-1080p/",
  "PublishDate":"2023-10-28T19:42:00","Category":[2000,2040,100042],"Size":9126805504,"Files":3,"Grabs":1893,
  "Description":null,"RageID":null,"TVDBId":null,"Imdb":63350,"TMDb":10331,"Year":1968,
  "Seeders":212,"Peers":231,"Poster":null,"InfoHash":"9f3c6e1d2b8a4f0e7c5d3b1a9e8f7d6c5b4a3e2d",
  "MagnetUri":"magnet:?xt=urn:btih:9f3c6e1d2b8a4f0e7c5d3b1a9e8f7d6c5b4a3e2d&dn=Night+of+the+Living+Dead+1968",
  "MinimumRatio":1.0,"MinimumSeedTime":0,"DownloadVolumeFactor":1.0,"UploadVolumeFactor":1.0,"Gain":1827.5},
 {"FirstSeen":"0001-01-01T00:00:00","Tracker":"RuTracker.org","TrackerId":"rutracker","TrackerType":"semi-private",
  "CategoryDesc":"Movies/UHD","Title":"Night of the Living Dead (1968) 2160p UHD BDRemux HDR DV",
  "Guid":"https://rutracker.org/forum/viewtopic.php?t=6401123","Link":null,
  "Details":"https://rutracker.org/forum/viewtopic.php?t=6401123","PublishDate":"2024-02-11T08:05:31+03:00",
  "Category":[2000,2045,100313],"Size":61203283968,"Files":1,"Grabs":402,"Imdb":63350,"TMDb":null,
  "Seeders":38,"Peers":41,"InfoHash":null,"MagnetUri":null,"DownloadVolumeFactor":0,"UploadVolumeFactor":1},
 {"FirstSeen":"0001-01-01T00:00:00","Tracker":"1337x","TrackerId":"1337x","TrackerType":"public",
  "CategoryDesc":"Movies/SD","Title":"Night.Of.The.Living.Dead.1968.DVDRip.XviD",
  "Guid":"https://1337x.to/torrent/110233/Night-Of-The-Living-Dead-1968-DVDRip-XviD/","Link":null,
  "Details":"https://1337x.to/torrent/110233/Night-Of-The-Living-Dead-1968-DVDRip-XviD/",
  "PublishDate":"2011-06-03T00:00:00","Category":[2000,2030],"Size":734003200,"Files":2,"Grabs":15022,
  "Imdb":null,"Seeders":9,"Peers":10,"DownloadVolumeFactor":1.0,"UploadVolumeFactor":1.0},
 {"FirstSeen":"0001-01-01T00:00:00","Tracker":"1337x","TrackerId":"1337x","TrackerType":"public",
  "CategoryDesc":"Movies/HD","Title":"Night of the Living Dead 1990 1080p BluRay x264",
  "Guid":"https://1337x.to/torrent/4420011/Night-of-the-Living-Dead-1990-1080p/","Link":null,
  "Details":"https://1337x.to/torrent/4420011/Night-of-the-Living-Dead-1990-1080p/",
  "PublishDate":"2020-09-14T12:00:00","Category":[2000,2040],"Size":8912896000,"Files":2,"Grabs":3310,
  "Imdb":100258,"Seeders":27,"Peers":30,"DownloadVolumeFactor":1.0,"UploadVolumeFactor":1.0}],
"Indexers":[
 {"ID":"1337x","Name":"1337x","Status":2,"Results":3,"Error":null},
 {"ID":"eztv","Name":"EZTV","Status":1,"Results":0,"Error":"The request to EZTV timed out (Cloudflare challenge)"},
 {"ID":"rutracker","Name":"RuTracker.org","Status":2,"Results":1,"Error":null}]})json";

const char k_sonarr_rootfolder[] =
    R"json([{"path":"/data/tv/","accessible":true,"freeSpace":2199023255552,"unmappedFolders":[],"id":1}])json";
const char k_radarr_rootfolder[] =
    R"json([{"path":"/data/movies","accessible":true,"freeSpace":2199023255552,"unmappedFolders":[],"id":1}])json";
const char k_profiles[] = R"json([
 {"name":"Any","upgradeAllowed":false,"cutoff":1,"items":[],"id":1},
 {"name":"SD","upgradeAllowed":false,"cutoff":1,"items":[],"id":2},
 {"name":"HD-1080p","upgradeAllowed":true,"cutoff":7,"items":[],"id":4},
 {"name":"Ultra-HD","upgradeAllowed":true,"cutoff":19,"items":[],"id":5}])json";

// Sonarr's lookup by IMDb id: the 1985 revival comes first, the 1959 series
// (the one with the IMDb id asked for) second.
const char k_series_lookup[] = R"json([
 {"title":"The Twilight Zone (1985)","sortTitle":"twilight zone 1985","status":"ended","ended":true,
  "overview":"A revival of the classic anthology series.","network":"CBS","airTime":"20:00",
  "seasons":[{"seasonNumber":1,"monitored":false},{"seasonNumber":2,"monitored":false},{"seasonNumber":3,"monitored":false}],
  "year":1985,"qualityProfileId":0,"seasonFolder":false,"monitored":false,"runtime":45,"tvdbId":73977,"tvRageId":0,
  "tvMazeId":6279,"firstAired":"1985-09-27T00:00:00Z","seriesType":"standard","cleanTitle":"thetwilightzone1985",
  "imdbId":"tt0088634","titleSlug":"the-twilight-zone-1985","genres":["Drama","Fantasy"],"tags":[]},
 {"title":"The Twilight Zone","sortTitle":"twilight zone","status":"ended","ended":true,
  "overview":"Rod Serling's anthology of the strange, the eerie and the unexplained.","network":"CBS",
  "airTime":"22:00","images":[{"coverType":"poster","url":"/MediaCover/poster.jpg"}],
  "seasons":[{"seasonNumber":0,"monitored":false},{"seasonNumber":1,"monitored":true},
             {"seasonNumber":2,"monitored":true},{"seasonNumber":3,"monitored":true},
             {"seasonNumber":4,"monitored":true},{"seasonNumber":5,"monitored":true}],
  "year":1959,"qualityProfileId":0,"seasonFolder":false,"monitored":false,"useSceneNumbering":false,
  "runtime":25,"tvdbId":73587,"tvRageId":0,"tvMazeId":6278,"firstAired":"1959-10-02T00:00:00Z",
  "seriesType":"standard","cleanTitle":"thetwilightzone","imdbId":"tt0052520",
  "titleSlug":"the-twilight-zone","folder":"The Twilight Zone","genres":["Drama","Fantasy","Science Fiction"],
  "tags":[],"added":"0001-01-01T00:00:00Z","ratings":{"votes":14811,"value":9.0},
  "statistics":{"seasonCount":5,"episodeFileCount":0,"episodeCount":0,"totalEpisodeCount":0,"sizeOnDisk":0}}])json";

// Prowlarr's enabled indexers (as its /api/v1/indexer lists them, less the
// capabilities and URLs), none held back; a search for the film by IMDb id,
// as films: two rows, one a season pack of another indexer's.
const char k_prowlarr_indexers[] = R"json([
 {"definitionName":"yts","enable":true,"redirect":false,"supportsRss":true,"supportsSearch":true,"appProfileId":1,
  "protocol":"torrent","privacy":"public","priority":25,"added":"2025-05-09T01:28:56Z","name":"YTS",
  "implementationName":"Cardigann","implementation":"Cardigann","configContract":"CardigannSettings","tags":[],"id":4},
 {"definitionName":"thepiratebay","enable":true,"redirect":false,"supportsRss":true,"supportsSearch":true,
  "appProfileId":1,"protocol":"torrent","privacy":"public","priority":25,"added":"2025-05-09T01:28:40Z",
  "name":"The Pirate Bay","implementationName":"Cardigann","implementation":"Cardigann",
  "configContract":"CardigannSettings","tags":[],"id":5}])json";

const char k_prowlarr_search[] = R"json([
 {"age":1142,"categories":[{"id":2040,"name":"Movies/HD","subCategories":[]},{"id":100045,"subCategories":[]}],
  "fileName":"Night of the Living Dead (1968) 1080p BluRay x264 -YTS.torrent",
  "guid":"https://yts.gg/torrent/download/4D1E7B0C2A9F3E6D8B5C1A0F9E8D7C6B5A4F3E2D","imdbId":63350,"indexer":"YTS",
  "indexerFlags":["freeleech"],"indexerId":4,"infoHash":"4D1E7B0C2A9F3E6D8B5C1A0F9E8D7C6B5A4F3E2D",
  "infoUrl":"https://yts.gg/movies/night-of-the-living-dead-1968","leechers":7,"protocol":"torrent",
  "publishDate":"2023-10-30T09:12:00Z","seeders":64,"size":1653562408,"sortTitle":"night of the living dead 1968",
  "title":"Night of the Living Dead (1968) [1080p] [BluRay] [YTS]","tmdbId":10331,"tvMazeId":0,"tvdbId":0},
 {"age":2630,"categories":[{"id":2030,"name":"Movies/SD","subCategories":[]}],
  "guid":"https://thepiratebay.org/description.php?id=9221370","imdbId":63350,"indexer":"The Pirate Bay",
  "indexerId":5,"infoHash":"0A1B2C3D4E5F60718293A4B5C6D7E8F901234567",
  "infoUrl":"https://thepiratebay.org/description.php?id=9221370","leechers":2,"protocol":"torrent",
  "publishDate":"2019-09-16T21:40:00Z","seeders":15,"size":734003200,"sortTitle":"night of the living dead 1968 dvdrip",
  "title":"Night.of.the.Living.Dead.1968.DVDRip.x264","tmdbId":0,"tvMazeId":0,"tvdbId":0}])json";

// The library query ("is TVDB 73587 in the library?", a GET) and the add (a
// POST) use the same URL, and the fake transport routes by URL alone. So one
// answer serves both: for the query it lists no series with that TVDB id (not
// in the library), for the add its first element carries the new library id.
const char k_series_find_and_add[] = R"json([{"title":"The Twilight Zone","sortTitle":"twilight zone",
 "status":"ended","year":1959,"path":"/data/tv/thetwilightzone-tt0052520","qualityProfileId":4,
 "seasonFolder":true,"monitored":false,"imdbId":"tt0052520","cleanTitle":"thetwilightzone",
 "added":"2026-01-01T12:00:00Z","id":12}])json";

const char k_episodes[] = R"json([
 {"seriesId":12,"tvdbId":1224185,"episodeFileId":0,"seasonNumber":1,"episodeNumber":1,"title":"Where Is Everybody?","airDate":"1959-10-02","hasFile":false,"monitored":false,"id":8801},
 {"seriesId":12,"tvdbId":1224186,"episodeFileId":0,"seasonNumber":1,"episodeNumber":2,"title":"One for the Angels","airDate":"1959-10-09","hasFile":false,"monitored":false,"id":8802},
 {"seriesId":12,"tvdbId":1224187,"episodeFileId":0,"seasonNumber":1,"episodeNumber":3,"title":"Mr. Denton on Doomsday","airDate":"1959-10-16","hasFile":false,"monitored":false,"id":8803},
 {"seriesId":12,"tvdbId":1224188,"episodeFileId":0,"seasonNumber":1,"episodeNumber":4,"title":"The Sixteen-Millimeter Shrine","airDate":"1959-10-23","hasFile":false,"monitored":false,"id":8804},
 {"seriesId":12,"tvdbId":1224189,"episodeFileId":0,"seasonNumber":1,"episodeNumber":5,"title":"Walking Distance","airDate":"1959-10-30","hasFile":false,"monitored":false,"id":8805}])json";

const char k_episode_releases[] = R"json([
 {"guid":"https://1337x.to/torrent/5012345/","quality":{"quality":{"id":7,"name":"Bluray-1080p"}},"qualityWeight":1101,
  "age":412,"ageHours":9893.2,"size":1503238553,"indexerId":2,"indexer":"1337x (Prowlarr)","releaseGroup":"DRAMATiCS",
  "title":"The.Twilight.Zone.1959.S01E05.Walking.Distance.1080p.BluRay.x264-DRAMATiCS","fullSeason":false,
  "sceneSource":false,"seasonNumber":1,"languages":[{"id":1,"name":"English"}],"seriesTitle":"The Twilight Zone",
  "episodeNumbers":[5],"approved":true,"temporarilyRejected":false,"rejected":false,"tvdbId":73587,"rejections":[],
  "publishDate":"2024-11-20T14:03:11Z","downloadUrl":"http://sonarr.home.lan:8989/api/v3/indexer/2/download?link=x",
  "infoUrl":"https://1337x.to/torrent/5012345/","seeders":34,"leechers":3,"protocol":"torrent","indexerFlags":0},
 {"guid":"rutracker-6123456","quality":{"quality":{"id":3,"name":"WEBDL-1080p"}},"qualityWeight":1001,
  "size":2254857830,"indexerId":3,"indexer":"RuTracker.org","title":"The Twilight Zone S01E05 1080p WEB-DL AAC2.0 H.264",
  "fullSeason":false,"seasonNumber":1,"episodeNumbers":[5],"approved":true,"rejected":false,"rejections":[],
  "publishDate":"2025-03-02T09:00:00Z","seeders":12,"leechers":0,"protocol":"torrent","indexerFlags":1},
 {"guid":"eztv-889911","quality":{"quality":{"id":1,"name":"SDTV"}},"size":367001600,"indexerId":4,"indexer":"EZTV",
  "title":"The Twilight Zone S01E05 Walking Distance 480p","fullSeason":false,"seasonNumber":1,"episodeNumbers":[5],
  "approved":false,"rejected":true,"rejections":["Quality is not wanted in profile"],
  "publishDate":"2019-05-17T22:15:00Z","seeders":2,"leechers":1,"protocol":"torrent","indexerFlags":2}])json";

// Sonarr's answer to the grab (POST /api/v3/release): the release it handed
// to its download client.
const char k_episode_grab[] = R"json({"guid":"https://1337x.to/torrent/5012345/","indexerId":2,
 "indexer":"1337x (Prowlarr)","title":"The.Twilight.Zone.1959.S01E05.Walking.Distance.1080p.BluRay.x264-DRAMATiCS",
 "quality":{"quality":{"id":7,"name":"Bluray-1080p"}},"size":1503238553,"approved":true,"rejected":false,
 "protocol":"torrent","seeders":34,"leechers":3})json";

// Radarr answers a lookup by IMDb id with one object; the film is already in
// the library (it carries its library "id").
const char k_movie_lookup[] = R"json({"title":"Night of the Living Dead","originalTitle":"Night of the Living Dead",
 "sortTitle":"night living dead","status":"released","overview":"A group of people hide from bloodthirsty zombies in a farmhouse.",
 "inCinemas":"1968-10-04T00:00:00Z","year":1968,"hasFile":true,"studio":"Image Ten","path":"/data/movies/Night of the Living Dead (1968)",
 "qualityProfileId":4,"monitored":true,"minimumAvailability":"released","isAvailable":true,"runtime":96,
 "cleanTitle":"nightofthelivingdead","imdbId":"tt0063350","tmdbId":10331,"titleSlug":"10331",
 "genres":["Horror","Thriller"],"tags":[],"added":"2024-05-01T18:22:10Z","ratings":{"imdb":{"votes":140221,"value":7.8}},"id":31})json";

const char k_movie_library[] = R"json([{"title":"Night of the Living Dead","year":1968,"hasFile":true,
 "path":"/data/movies/Night of the Living Dead (1968)","monitored":true,"imdbId":"tt0063350","tmdbId":10331,"id":31}])json";

const char k_movie_releases[] = R"json([
 {"guid":"https://1337x.to/torrent/5518224/","quality":{"quality":{"id":7,"name":"Bluray-1080p"}},"customFormatScore":0,
  "size":9126805504,"indexerId":2,"indexer":"1337x","releaseGroup":"SPOOKS",
  "title":"Night of the Living Dead 1968 REMASTERED 1080p BluRay x264-SPOOKS","movieTitles":["Night of the Living Dead"],
  "languages":[{"id":1,"name":"English"}],"approved":true,"rejected":false,"tmdbId":10331,"imdbId":63350,"rejections":[],
  "publishDate":"2023-10-28T19:42:00Z","downloadUrl":"http://radarr.home.lan:7878/api/v3/indexer/2/download?link=y",
  "infoUrl":"https://1337x.to/torrent/5518224/","seeders":212,"leechers":19,"protocol":"torrent","indexerFlags":[]},
 {"guid":"rutracker-6401123","quality":{"quality":{"id":31,"name":"Remux-2160p"}},"size":61203283968,"indexerId":3,
  "indexer":"RuTracker.org","title":"Night of the Living Dead (1968) 2160p UHD BDRemux HDR DV","approved":false,
  "rejected":true,"rejections":["Existing file on disk is of equal or higher preference"],"tmdbId":10331,
  "publishDate":"2024-02-11T05:05:31Z","seeders":38,"leechers":3,"protocol":"torrent","indexerFlags":["G_Freeleech"]},
 {"guid":"https://1337x.to/torrent/110233/","quality":{"quality":{"id":2,"name":"DVD"}},"size":734003200,"indexerId":2,
  "indexer":"1337x","title":"Night.Of.The.Living.Dead.1968.DVDRip.XviD","approved":false,"rejected":true,
  "rejections":["Quality is not wanted in profile"],"tmdbId":10331,"publishDate":"2011-06-03T00:00:00Z",
  "seeders":9,"leechers":1,"protocol":"torrent","indexerFlags":["G_Halfleech"]}])json";

// Radarr's download queue: a recorded page (a film that has just begun to
// download), as it came.
const char k_radarr_queue[] = R"json({"page":1,"pageSize":10,"sortKey":"timeleft","sortDirection":"ascending",
 "totalRecords":1,"records":[{"movieId":311,"languages":[{"id":1,"name":"English"}],
 "quality":{"quality":{"id":7,"name":"Bluray-1080p","source":"bluray","resolution":1080,"modifier":"none"},
  "revision":{"version":1,"real":0,"isRepack":false}},"customFormats":[],"size":6202395598,
 "title":"Goodfellas 1990 25th Anniversary REMASTERED BRRip x264 1080p-NPW","sizeleft":6193674427,
 "timeleft":"01:33:22","estimatedCompletionTime":"2022-07-26T10:34:55Z","status":"downloading",
 "trackedDownloadStatus":"ok","trackedDownloadState":"downloading","statusMessages":[],
 "downloadId":"202B87F7190B45F86487C7A28A49EA5A5EB939A5","protocol":"torrent","downloadClient":"deluge",
 "indexer":"Jackett","outputPath":"/downloads/Goodfellas 1990 25th Anniversary REMASTERED BRRip x264 1080p-NPW",
 "id":1340002663}]})json";
// The moment it was recorded, its time to completion less the time left it
// gave: the demo's clock for the time left, the same on every run.
constexpr int64_t k_queue_recorded_at = 1658831695 - (1 * 3600 + 33 * 60 + 22);

struct Route {
    std::string url;
    const char *body;
};

void program(const Route *routes, size_t n) {
    for (size_t i = 0; i < n; ++i) kova_fake_set(routes[i].url.c_str(), 200, routes[i].body);
}

// ---------------------------------------------------------------------------
// Printing
// ---------------------------------------------------------------------------
// A step's heading; none when quiet (--json: only the final document).
void step(bool quiet, int n, const std::string &title, const std::string &command) {
    if (quiet) return;
    out::print(stdout, "\n%s %s\n", ui::paint(ui::Tone::accent, "[" + std::to_string(n) + "/6]"),
               ui::paint(ui::Tone::bold, title));
    if (!command.empty()) out::print(stdout, "  %s\n", ui::paint(ui::Tone::dim, "$ " + command));
}

int failed(int n, int32_t rc) {
    out::print(stderr, "kova: demo step %d failed with %s: %s\n", n, kova_strerror(rc), kova_last_error());
    return EXIT_FAILED;
}

void print_pretty(const char *json, const std::string &indent) {
    yyjson_doc *d = yyjson_read(json, strlen(json), 0);
    char *s = d ? yyjson_write(d, YYJSON_WRITE_PRETTY_TWO_SPACES, nullptr) : nullptr;
    std::string text = s ? s : json;
    free(s);
    yyjson_doc_free(d);
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        out::print(stdout, "%s%s\n", indent.c_str(), text.substr(start, end - start).c_str());
        start = end + 1;
    }
}

// What a library write sent: the POST and the members of its body that the
// library set.
void print_post(std::initializer_list<const char *> keys) {
    std::string body = kova_fake_last_post_body();
    std::string u = kova_fake_last_post_url();
    char shown[512];
    net::redact(u.c_str(), shown, sizeof shown);
    out::print(stdout, "  %s %s\n", ui::paint(ui::Tone::dim, "sent: POST"), shown);
    yyjson_doc *d = yyjson_read(body.data(), body.size(), 0);
    yyjson_val *root = yyjson_doc_get_root(d);
    for (const char *k : keys) {
        yyjson_val *v = yyjson_obj_get(root, k);
        if (!v) continue;
        char *s = yyjson_val_write(v, 0, nullptr);
        out::print(stdout, "        %s: %s\n", k, s ? s : "?");
        free(s);
    }
    yyjson_doc_free(d);
}

}  // namespace

int cmd_demo(App &app) {
    if (!app.o.args.empty()) return usage_error("demo takes no arguments", "demo");
    app.demo = true;
    const bool quiet = app.o.json;
    kova_reset();
    kova_fake_reset();
    kova_use_fake();
    for (const auto &p : k_played) service(p.kind).configure(p.host, 0, 0, p.key);

    const std::string film_title = "Night of the Living Dead";
    const Route routes[] = {
        {url(KOVA_JACKETT, "/api/v2.0/indexers/all/results/torznab/api", "t=indexers&configured=true"), k_torznab_indexers},
        {url(KOVA_JACKETT, "/api/v2.0/indexers/all/results", "Query=tt0063350"), k_jackett_by_imdb},
        {url(KOVA_JACKETT, "/api/v2.0/indexers/all/results", "Query=" + enc(film_title)), k_jackett_by_title},
        {url(KOVA_PROWLARR, "/api/v1/indexer"), k_prowlarr_indexers},
        {url(KOVA_PROWLARR, "/api/v1/indexerstatus"), "[]"},
        {url(KOVA_PROWLARR, "/api/v1/search", "query=" + enc("{ImdbId:tt0063350}") + "&type=movie"), k_prowlarr_search},
        {url(KOVA_SONARR, "/api/v3/rootfolder"), k_sonarr_rootfolder},
        {url(KOVA_SONARR, "/api/v3/qualityprofile"), k_profiles},
        {url(KOVA_SONARR, "/api/v3/series/lookup", "term=tt0052520"), k_series_lookup},
        {url(KOVA_SONARR, "/api/v3/series", "tvdbId=73587"), k_series_find_and_add},
        {url(KOVA_SONARR, "/api/v3/episode", "seriesId=12&seasonNumber=1"), k_episodes},
        {url(KOVA_SONARR, "/api/v3/release", "episodeId=8805"), k_episode_releases},
        {url(KOVA_SONARR, "/api/v3/release"), k_episode_grab},
        {url(KOVA_RADARR, "/api/v3/rootfolder"), k_radarr_rootfolder},
        {url(KOVA_RADARR, "/api/v3/qualityprofile"), k_profiles},
        {url(KOVA_RADARR, "/api/v3/movie/lookup/imdb", "imdbId=tt0063350"), k_movie_lookup},
        {url(KOVA_RADARR, "/api/v3/movie", "tmdbId=10331"), k_movie_library},
        {url(KOVA_RADARR, "/api/v3/release", "movieId=31"), k_movie_releases},
        {url(KOVA_RADARR, "/api/v3/queue", "page=1&pageSize=250&includeUnknownMovieItems=true"), k_radarr_queue},
    };
    program(routes, sizeof routes / sizeof routes[0]);

    if (!quiet) {
        out::print(stdout, "%s\n", ui::paint(ui::Tone::bold, std::string("kova ") + kova_version() + " demo"));
        out::print(stdout, "Jackett, Prowlarr, Sonarr and Radarr are played by the library's fake\n"
                   "transport with answers shaped like the real services'. Nothing leaves this\n"
                   "machine.\n");
    }

    // 1. Connection tests.
    step(quiet, 1, "Connection tests", "kova test all");
    for (const auto &p : k_played) {
        int32_t rc = quiet ? service(p.kind).test() : show_test(app, p.kind);
        if (rc != KOVA_OK) return failed(1, rc);
    }

    // 2. Staged Jackett search.
    step(quiet, 2, "Indexer searches: Jackett in stages, then Prowlarr",
         "kova search --imdb tt0063350 --title \"" + film_title + "\"");
    int32_t rc = kova_jackett_search_imdb("tt0063350", film_title.c_str(), nullptr);
    if (rc != KOVA_OK && rc != KOVA_PARTIAL) return failed(2, rc);
    if (!quiet) {
        print_log(app, "  ");
        search_header(KOVA_JACKETT, rc, "  ");
        show_results(false, rc, 0);
    }
    // ... and the same film through Prowlarr, which takes the IMDb id as a
    // token of its own and finds it at once.
    if (!quiet)
        out::print(stdout, "\n  %s\n", ui::paint(ui::Tone::dim, "$ kova search --via prowlarr --imdb tt0063350 --movie"));
    rc = kova_prowlarr_search("tt0063350", nullptr, nullptr, KOVA_SEARCH_MOVIE, 0, 0);
    if (rc != KOVA_OK) return failed(2, rc);
    if (!quiet) {
        print_log(app, "  ");
        search_header(KOVA_PROWLARR, rc, "  ");
        show_results(false, rc, 0);
    }

    // 3. Sonarr search-or-add of one episode: the series is added first.
    step(quiet, 3, "Sonarr: search-or-add of The Twilight Zone S01E05, then a grab",
         "kova get series tt0052520 --season 1 --episode 5 --profile HD-1080p --yes");
    kova_arm_library_writes(1);
    rc = kova_sonarr_get("tt0052520", nullptr, 1, 5, "HD-1080p", nullptr, 0);
    if (rc != KOVA_OK) return failed(3, rc);
    if (!quiet) {
        print_log(app, "  ");
        print_post({"path", "rootFolderPath", "qualityProfileId", "monitored", "seasonFolder", "addOptions"});
        out::print(stdout, "  %s\n", ui::paint(ui::Tone::bold, "Sonarr: " + std::to_string(kova_result_count()) + " releases for S01E05"));
        show_results(true, rc, 0);
    }
    // ... and the first release goes to Sonarr's download client.
    if (!quiet)
        out::print(stdout, "  %s\n", ui::paint(ui::Tone::dim, "$ kova releases series 12 --season 1 --episode 5 --grab 1 --yes"));
    rc = kova_sonarr_grab_release(0);
    if (rc != KOVA_OK) return failed(3, rc);
    if (!quiet) {
        print_post({"guid", "indexerId"});
        out::print(stdout, "  %s\n  %s\n", ui::paint(ui::Tone::good, "Sent release 1 to Sonarr's download client:"),
                   kova_result_title(0));
    }

    // 4. Radarr search-or-add of a film already in the library: no add.
    step(quiet, 4, "Radarr: search-or-add of a film already in the library", "kova get movie tt0063350 --yes");
    int32_t posts = kova_fake_post_count();
    rc = kova_radarr_get("tt0063350", nullptr, nullptr, 0);
    if (rc != KOVA_OK) return failed(4, rc);
    if (!quiet) {
        print_log(app, "  ");
        out::print(stdout, "  %s\n", ui::paint(ui::Tone::bold, "Radarr: " + std::to_string(kova_result_count()) + " releases"));
        show_results(true, rc, 0);
        if (kova_fake_post_count() == posts) out::print(stdout, "  %s\n", ui::paint(ui::Tone::dim, "(no POST: the film was found in the library)"));
    }

    // 5. Radarr's download queue, which leaves the result set as it was.
    if (!quiet) {
        step(quiet, 5, "Radarr: the download queue", "kova queue movie");
        rc = kova_radarr_queue(0);
        if (rc != KOVA_OK) return failed(5, rc);
        show_queue(KOVA_RADARR, read_queue(), k_queue_recorded_at, "  ");
    }

    // 6. The JSON document of the last result.
    if (quiet) {
        print_result_json(app);
        return EXIT_OK;
    }
    step(quiet, 6, "The result as JSON (kova_result_json)", "kova get movie tt0063350 --yes --json");
    print_pretty(kova_result_json(), "  ");
    out::print(stdout, "\n%s %d requests answered by the fake transport, %d library writes.\n",
               ui::paint(ui::Tone::good, "Done:"), kova_fake_calls(nullptr), kova_fake_post_count());
    // The file the other commands would read, as they would find it.
    cfg::Source source;
    const std::string path = cfg::locate(app.o.config_path, source);
    out::print(stdout, "Next: 'kova config init' writes a template to\n  %s\nput your services in it and run 'kova config check' (see 'kova config --help'\nand docs/cli.md).\n", path);
    return EXIT_OK;
}

}  // namespace cli
