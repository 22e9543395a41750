// The fields of a result row, declared once. Everything else that names a
// row field comes from this list: the row struct (parse/parse.h), the keys
// each parser resolves (parse/rows.h: row_keys), the accessors
// (exports/accessors.cpp), the result document's members and its room
// estimate (exports/result_json.cpp) and the reference writers the tests and
// fuzz targets compare the document with. Only filling a field is written
// out by hand, in each parser's fill_row, since each answer kind reads it in
// its own way.
//
// KV_ROW_FIELDS(X) calls X(name, kind, doc, jackett, releases, prowlarr) once
// per field, in the order of the result document's members:
//   name      the row's member and the accessor's suffix (kova_result_<name>)
//   kind      how it is stored, handed out and written:
//               text        const char *, never null in a row; "" when
//                           absent or out of range
//               count       int32_t; -1 when absent or out of range
//               flag        int32_t 0 or 1; 0 out of range
//               date        int64_t milliseconds since 1970; -1 when absent
//               size        int64_t plus has_<name>; the accessor reports
//                           KOVA_ERR_NOT_FOUND without one; null in the
//                           document
//               categories  int32_t *<name> and <name>_count: accessors
//                           kova_result_<name>_count and kova_result_<name>(i, j)
//   doc       the member's key in the result document
//   jackett   the key Jackett's results answer holds it in ("" for none)
//   releases  the key Sonarr's and Radarr's release lists hold it in ("" for
//             none)
//   prowlarr  the key Prowlarr's search answer holds it in ("" for none)
// A field's keys are where its parser looks first; what a parser makes of
// the value, and what a field without a key holds, is the parser's.
//
// An expansion usually gives each kind its own macro by pasting the kind to
// a prefix (X(name, kind, ...) -> P_##kind(name)), with every kind defined,
// those it passes over as nothing. Header-only and free of dependencies, so
// that tests and fuzz targets can expand it too.
#pragma once

#define KV_ROW_FIELDS(X)                                                                                               \
    X(title, text, "title", "Title", "title", "title")                                                                 \
    X(tracker, text, "tracker", "Tracker", "indexer", "indexer")                                                       \
    X(tracker_id, text, "tracker_id", "TrackerId", "indexerId", "indexerId")                                           \
    X(guid, text, "guid", "Guid", "guid", "guid")                                                                      \
    X(link, text, "link", "Link", "downloadUrl", "downloadUrl")                                                        \
    X(details, text, "details", "Details", "infoUrl", "infoUrl")                                                       \
    X(magnet, text, "magnet", "MagnetUri", "magnetUrl", "magnetUrl")                                                   \
    X(info_hash, text, "info_hash", "InfoHash", "infoHash", "infoHash")                                                \
    X(category_desc, text, "category_desc", "CategoryDesc", "", "")                                                    \
    X(imdb, text, "imdb", "Imdb", "imdbId", "imdbId")                                                                  \
    X(tmdb, text, "tmdb", "TMDb", "tmdbId", "tmdbId")                                                                  \
    X(tvdb, text, "tvdb", "TVDBId", "tvdbId", "tvdbId")                                                                \
    X(size, size, "size", "Size", "size", "size")                                                                      \
    X(seeders, count, "seeders", "Seeders", "seeders", "seeders")                                                      \
    X(peers, count, "peers", "Peers", "leechers", "leechers")                                                          \
    X(files, count, "files", "Files", "", "files")                                                                     \
    X(category, categories, "category", "Category", "categories", "categories")                                        \
    X(publish_date, date, "publish_date", "PublishDate", "publishDate", "publishDate")                                 \
    X(download_volume_factor, count, "download_volume_factor", "DownloadVolumeFactor", "indexerFlags", "indexerFlags") \
    X(season, count, "season", "", "seasonNumber", "")                                                                 \
    X(episode, count, "episode", "", "episodeNumbers", "")                                                             \
    X(full_season, flag, "full_season", "", "fullSeason", "")

// One kind of answer's key column, in field order: the keys a parser's
// keyset is made of (parse/rows.h), as in
// const char *keys[] = {KV_ROW_FIELDS(KV_ROW_KEY_jackett)}.
#define KV_ROW_KEY_jackett(name, kind, doc, jackett, releases, prowlarr) jackett,
#define KV_ROW_KEY_releases(name, kind, doc, jackett, releases, prowlarr) releases,
#define KV_ROW_KEY_prowlarr(name, kind, doc, jackett, releases, prowlarr) prowlarr,

// The release details: what Sonarr and Radarr say about a release beyond
// the fields above, read from the row's own object when a host asks
// (parse/details.cpp: release_<name>), and not in the result document.
// KV_ROW_DETAILS(X) calls X(name, kind) once per detail, in the order of
// their accessors (kova_result_<name>):
//   text      const char *; "" when none or out of range
//   joined    the same, built from several values when first asked
//   count     int32_t; -1 when none or out of range
//   positive  int32_t above 0; 0 when none or out of range
//   score     int32_t, any value; 0 when none or out of range
//   tristate  int32_t 1 yes, 0 no, -1 unknown or out of range
//   texts     kova_result_<name>_count(i) texts, kova_result_<name>(i, j)
#define KV_ROW_DETAILS(X)                                                                                \
    X(quality, text)                                                                                     \
    X(resolution, positive)                                                                              \
    X(approved, tristate)                                                                                \
    X(rejection, texts)                                                                                  \
    X(languages, joined)                                                                                 \
    X(custom_format_score, score)                                                                        \
    X(protocol, text)                                                                                    \
    X(indexer_id, count)
