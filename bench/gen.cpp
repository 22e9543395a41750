#include "gen.h"

#include <cstdarg>
#include <cstdio>

namespace gen {
namespace {

// splitmix64: small, fast and the same everywhere.
struct rng {
    uint64_t s;
    uint64_t next() {
        uint64_t z = (s += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int64_t in(int64_t lo, int64_t hi) { return lo + static_cast<int64_t>(next() % static_cast<uint64_t>(hi - lo + 1)); }
    bool chance(int percent) { return in(1, 100) <= percent; }
    template <class T, size_t N> const T &pick(const T (&a)[N]) { return a[next() % N]; }
};

const char *const k_trackers[][2] = {
    {"1337x", "1337x"},           {"The Pirate Bay", "thepiratebay"}, {"RARBG", "rarbg"},
    {"YTS", "yts"},               {"EZTV", "eztv"},                   {"TorrentGalaxy", "torrentgalaxyclone"},
    {"LimeTorrents", "limetorrents"}, {"Nyaa.si", "nyaasi"},          {"kickasstorrents.to", "kickasstorrents-to"},
    {"BitSearch", "bitsearch"},   {"Torlock", "torlock"},             {"MagnetDL", "magnetdl"},
};
const char *const k_words[] = {"The", "Matrix", "Reloaded", "Revolutions", "Resurrections", "Night", "Dark",
                               "City", "Return", "Last", "Star", "Empire", "King", "Ring", "Lost", "Ocean",
                               "Blade", "Runner", "Alien", "Heat", "Fargo", "Office", "Wire", "Breaking",
                               "Bad", "Better", "Call", "Saul", "Sopranos", "Crown", "Queen", "Red"};
const char *const k_quality[] = {"2160p", "1080p", "720p", "480p"};
const char *const k_source[] = {"BluRay", "WEB-DL", "WEBRip", "HDTV", "BDRip", "DVDRip", "REMUX"};
const char *const k_codec[] = {"x264", "x265", "H.264", "HEVC", "AV1", "10bit.x265"};
const char *const k_group[] = {"SPARKS", "GECKOS", "RARBG", "YIFY", "NTb", "FLUX", "CMRG", "EVO", "TGx", "PSA"};
const char *const k_catdesc[] = {"Movies/HD", "Movies/UHD", "Movies/SD", "TV/HD", "TV/UHD", "TV/SD", "Movies", "TV"};
const int k_cats[] = {2000, 2030, 2040, 2045, 5000, 5030, 5040, 5045};

void add(std::string &s, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
void add(std::string &s, const char *fmt, ...) {
    char buf[1024];
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    s.append(buf, static_cast<size_t>(n < static_cast<int>(sizeof buf) ? n : static_cast<int>(sizeof buf) - 1));
}

std::string title(rng &r, bool tv) {
    std::string t;
    int words = static_cast<int>(r.in(1, 4));
    for (int i = 0; i < words; ++i) {
        if (i) t += '.';
        t += r.pick(k_words);
    }
    if (tv)
        add(t, ".S%02dE%02d", static_cast<int>(r.in(1, 12)), static_cast<int>(r.in(1, 24)));
    else
        add(t, ".%d", static_cast<int>(r.in(1970, 2024)));
    add(t, ".%s.%s.%s-%s", r.pick(k_quality), r.pick(k_source), r.pick(k_codec), r.pick(k_group));
    return t;
}

std::string hash(rng &r) {
    static const char hx[] = "0123456789ABCDEF";
    std::string h;
    for (int i = 0; i < 40; ++i) h += hx[r.next() % 16];
    return h;
}

// Dates in the shapes the services send: offsets, fractions of varying
// length, 'Z', or none. Each indexer keeps to one shape (shape -1: any).
std::string date(rng &r, int shape = -1) {
    std::string d;
    add(d, "%04d-%02d-%02dT%02d:%02d:%02d", static_cast<int>(r.in(2005, 2024)), static_cast<int>(r.in(1, 12)),
        static_cast<int>(r.in(1, 28)), static_cast<int>(r.in(0, 23)), static_cast<int>(r.in(0, 59)),
        static_cast<int>(r.in(0, 59)));
    switch (shape >= 0 ? shape : r.in(0, 3)) {
    case 0: add(d, "%+03d:00", static_cast<int>(r.in(-11, 12))); break;
    case 1: add(d, ".%07dZ", static_cast<int>(r.in(0, 9999999))); break;
    case 2: add(d, ".%03d+01:00", static_cast<int>(r.in(0, 999))); break;
    default: break;
    }
    return d;
}
} // namespace

std::string jackett(int rows, uint64_t seed, int64_t imdb) {
    rng r{seed};
    std::string s;
    s.reserve(static_cast<size_t>(rows) * 720 + 4096);
    s += "{\"Results\":[";
    // Jackett concatenates the answers of its indexers: rows come in runs of
    // one tracker, and each tracker writes its dates its own way.
    size_t tracker = 0;
    int run = 0;
    for (int i = 0; i < rows; ++i) {
        if (i) s += ',';
        if (run-- <= 0) {
            tracker = r.next() % (sizeof k_trackers / sizeof *k_trackers);
            run = static_cast<int>(r.in(20, 300));
        }
        const auto &tr = k_trackers[tracker];
        bool tv = r.chance(40);
        std::string t = title(r, tv);
        std::string h = hash(r);
        int64_t id = r.in(1000000, 9999999);
        int cat = r.pick(k_cats);
        add(s, "{\"Tracker\":\"%s\",\"TrackerId\":\"%s\","
               "\"CategoryDesc\":\"%s\",\"Title\":\"%s\",",
            tr[0], tr[1], r.pick(k_catdesc), t.c_str());
        add(s, "\"Guid\":\"https://%s.example/t/%lld/\",\"Link\":\"http://127.0.0.1:9117/dl/%s/?path=Q2ZESjhG%lld\",",
            tr[1], static_cast<long long>(id), tr[1], static_cast<long long>(id));
        add(s, "\"Details\":\"https://%s.example/t/%lld/\",\"PublishDate\":\"%s\",\"Category\":[%d,%d],",
            tr[1], static_cast<long long>(id), date(r, static_cast<int>(tracker % 4)).c_str(), cat,
            100000 + static_cast<int>(r.in(1, 999)));
        int64_t size = r.in(100LL << 20, 80LL << 30);
        if (r.chance(3))
            add(s, "\"Size\":\"%lld\",", static_cast<long long>(size)); // the odd string-typed number
        else
            add(s, "\"Size\":%lld,", static_cast<long long>(size));
        add(s, "\"Files\":%d,\"Description\":null,\"TVDBId\":%s,", static_cast<int>(r.in(1, 60)),
            tv ? std::to_string(r.in(70000, 400000)).c_str() : "null");
        switch (r.in(0, 5)) {
        case 0: s += "\"Imdb\":null,"; break;
        case 1: add(s, "\"Imdb\":\"tt%07lld\",", static_cast<long long>(imdb)); break;
        case 2: case 3: add(s, "\"Imdb\":%lld,", static_cast<long long>(imdb)); break;
        default: add(s, "\"Imdb\":%lld,", static_cast<long long>(r.in(100000, 9999999))); break;
        }
        add(s, "\"TMDb\":%lld,\"Year\":%d,",
            static_cast<long long>(r.in(0, 900000)), static_cast<int>(r.in(1970, 2024)));
        int seeders = static_cast<int>(r.in(0, 3000));
        if (r.chance(3))
            add(s, "\"Seeders\":\"%d\",", seeders);
        else
            add(s, "\"Seeders\":%d,", seeders);
        add(s, "\"Peers\":%d,\"InfoHash\":\"%s\",\"MagnetUri\":\"magnet:?xt=urn:btih:%s&dn=%s\",",
            seeders + static_cast<int>(r.in(0, 500)), h.c_str(), h.c_str(), t.c_str());
        add(s, "\"DownloadVolumeFactor\":%s,\"UploadVolumeFactor\":1.0}",
            r.chance(10) ? (r.chance(50) ? "0.0" : "0.5") : "1.0");
    }
    s += "],\"Indexers\":[";
    for (int i = 0; i < 12; ++i) {
        if (i) s += ',';
        bool failed = i == 7;
        add(s, "{\"ID\":\"%s\",\"Name\":\"%s\",\"Status\":%d,\"Results\":%d,\"Error\":%s}", k_trackers[i][1],
            k_trackers[i][0], failed ? 1 : 2, failed ? 0 : rows / 12,
            failed ? "\"The operation has timed out.\"" : "null");
    }
    s += "]}";
    return s;
}

std::string releases(int rows, uint64_t seed) {
    rng r{seed};
    std::string s;
    s.reserve(static_cast<size_t>(rows) * 1400 + 16);
    s += '[';
    for (int i = 0; i < rows; ++i) {
        if (i) s += ',';
        const auto &tr = r.pick(k_trackers);
        std::string t = title(r, true);
        std::string h = hash(r);
        int season = static_cast<int>(r.in(1, 12));
        int ep = static_cast<int>(r.in(1, 24));
        bool full = r.chance(10);
        add(s, "{\"guid\":\"https://%s.example/torrent/%lld/\",\"quality\":{\"quality\":{\"id\":%d,\"name\":"
               "\"WEBDL-%s\",\"source\":\"web\",\"resolution\":%d},\"revision\":{\"version\":1,\"real\":0,"
               "\"isRepack\":false}},\"customFormats\":[],\"customFormatScore\":0,\"qualityWeight\":%d,",
            tr[1], static_cast<long long>(r.in(1000000, 9999999)), static_cast<int>(r.in(1, 20)),
            r.pick(k_quality), 1080, static_cast<int>(r.in(100, 2000)));
        add(s, "\"age\":%d,\"ageHours\":%.6f,\"ageMinutes\":%.5f,\"size\":%lld,\"indexerId\":%d,\"indexer\":"
               "\"%s (Prowlarr)\",\"releaseGroup\":\"%s\",\"title\":\"%s\",\"fullSeason\":%s,",
            static_cast<int>(r.in(0, 4000)), static_cast<double>(r.in(0, 100000000)) / 1000,
            static_cast<double>(r.in(0, 100000000)) / 100, static_cast<long long>(r.in(100LL << 20, 20LL << 30)),
            static_cast<int>(r.in(1, 40)), tr[0], r.pick(k_group), t.c_str(), full ? "true" : "false");
        add(s, "\"sceneSource\":false,\"seasonNumber\":%d,\"languages\":[{\"id\":1,\"name\":\"English\"}],"
               "\"languageWeight\":0,\"seriesTitle\":\"%s\",\"episodeNumbers\":[%d],\"absoluteEpisodeNumbers\":[],"
               "\"mappedSeasonNumber\":%d,\"mappedEpisodeNumbers\":[%d],\"mappedAbsoluteEpisodeNumbers\":[],",
            season, r.pick(k_words), ep, season, ep);
        add(s, "\"approved\":%s,\"temporarilyRejected\":false,\"rejected\":%s,\"tvdbId\":%lld,\"tvRageId\":0,"
               "\"imdbId\":\"%s\",\"rejections\":[],\"publishDate\":\"%s\",\"commentUrl\":\"\",",
            r.chance(50) ? "true" : "false", r.chance(50) ? "true" : "false",
            static_cast<long long>(r.in(0, 400000)), r.chance(50) ? "tt0903747" : "", date(r).c_str());
        add(s, "\"downloadUrl\":\"http://127.0.0.1:9696/%d/download?apikey=0123456789abcdef&link=L3%s\","
               "\"infoUrl\":\"https://%s.example/torrent/%s/\",\"episodeRequested\":true,\"downloadAllowed\":true,"
               "\"releaseWeight\":%d,",
            static_cast<int>(r.in(1, 40)), h.c_str(), tr[1], h.c_str(), static_cast<int>(r.in(1, 9000)));
        if (r.chance(70))
            add(s, "\"indexerFlags\":%d,", static_cast<int>(r.in(0, 9)));
        else
            s += r.chance(50) ? "\"indexerFlags\":[\"G_Freeleech\"]," : "\"indexerFlags\":[],";
        add(s, "\"magnetUrl\":\"magnet:?xt=urn:btih:%s\",\"infoHash\":\"%s\",\"seeders\":%d,\"leechers\":%d,"
               "\"protocol\":\"torrent\",\"isDaily\":false,\"isAbsoluteNumbering\":false,\"categories\":[{\"id\":5000,\"name\":\"TV\"},{\"id\":%d,\"name\":\"TV/HD\"}]}",
            h.c_str(), h.c_str(), static_cast<int>(r.in(0, 3000)), static_cast<int>(r.in(0, 300)),
            static_cast<int>(r.in(5010, 5090)));
    }
    s += ']';
    return s;
}

std::string torznab(int n, uint64_t seed) {
    rng r{seed};
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<indexers>\n";
    for (int i = 0; i < n; ++i) {
        const auto &tr = r.pick(k_trackers);
        add(s, "  <indexer id=\"%s-%d\" configured=\"%s\">\n    <title>%s &amp; %d</title>\n"
               "    <description>%s is a public torrent site &lt;mirror %d&gt;</description>\n"
               "    <link>https://%s.example/</link>\n    <language>en-US</language>\n    <type>public</type>\n",
            tr[1], i, r.chance(90) ? "true" : "false", tr[0], i, tr[0], i, tr[1]);
        s += "    <caps>\n      <server title=\"Jackett\" />\n      <limits default=\"100\" max=\"100\" />\n"
             "      <searching>\n        <search available=\"yes\" supportedParams=\"q\" />\n"
             "        <tv-search available=\"yes\" supportedParams=\"q,season,ep,imdbid\" />\n"
             "        <movie-search available=\"yes\" supportedParams=\"q,imdbid\" />\n      </searching>\n"
             "      <categories>\n        <category id=\"2000\" name=\"Movies\" />\n"
             "        <category id=\"5000\" name=\"TV\" />\n      </categories>\n    </caps>\n  </indexer>\n";
    }
    s += "</indexers>\n";
    return s;
}

std::string lookup(int n, uint64_t seed) {
    rng r{seed};
    std::string s = "[";
    for (int i = 0; i < n; ++i) {
        if (i) s += ',';
        std::string t = std::string(r.pick(k_words)) + " " + r.pick(k_words);
        int year = static_cast<int>(r.in(1980, 2024));
        add(s, "{\"title\":\"%s\",\"sortTitle\":\"%s\",\"status\":\"%s\",\"ended\":%s,\"overview\":\"A long "
               "overview of %s, a series about people, places and the things that happen to them over many "
               "seasons.\",\"network\":\"HBO\",\"airTime\":\"21:00\",",
            t.c_str(), t.c_str(), r.chance(50) ? "ended" : "continuing", r.chance(50) ? "true" : "false", t.c_str());
        add(s, "\"images\":[{\"coverType\":\"banner\",\"url\":\"/MediaCoverProxy/%llx/banner.jpg\",\"remoteUrl\":"
               "\"https://artworks.example/banners/%d.jpg\"},{\"coverType\":\"poster\",\"url\":\"/MediaCoverProxy/"
               "%llx/poster.jpg\",\"remoteUrl\":\"https://artworks.example/posters/%d.jpg\"}],",
            static_cast<unsigned long long>(r.next()), i, static_cast<unsigned long long>(r.next()), i);
        add(s, "\"remotePoster\":\"https://artworks.example/posters/%d.jpg\",\"seasons\":[{\"seasonNumber\":1,"
               "\"monitored\":false},{\"seasonNumber\":2,\"monitored\":false}],\"year\":%d,\"qualityProfileId\":0,"
               "\"seasonFolder\":false,\"monitored\":false,\"useSceneNumbering\":false,\"runtime\":%d,",
            i, year, static_cast<int>(r.in(20, 70)));
        add(s, "\"tvdbId\":%d,\"tvRageId\":%d,\"tvMazeId\":%d,\"firstAired\":\"%d-01-20T00:00:00Z\",\"seriesType\":"
               "\"standard\",\"cleanTitle\":\"%s\",\"imdbId\":\"tt%07d\",\"titleSlug\":\"%s-%d\",\"certification\":"
               "\"TV-MA\",\"genres\":[\"Crime\",\"Drama\"],\"tags\":[],\"added\":\"0001-01-01T00:00:00Z\","
               "\"ratings\":{\"votes\":%d,\"value\":%.1f},\"statistics\":{\"seasonCount\":2,\"episodeFileCount\":0,"
               "\"episodeCount\":0,\"totalEpisodeCount\":20,\"sizeOnDisk\":0,\"percentOfEpisodes\":0.0}}",
            static_cast<int>(r.in(70000, 400000)), static_cast<int>(r.in(0, 40000)), static_cast<int>(r.in(0, 60000)),
            year, t.c_str(), i == n / 2 ? 903747 : static_cast<int>(r.in(100000, 9999999)), t.c_str(), i,
            static_cast<int>(r.in(0, 90000)), static_cast<double>(r.in(10, 99)) / 10);
    }
    s += ']';
    return s;
}

} // namespace gen
