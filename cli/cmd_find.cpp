// `kova search`, `kova lookup` and `kova releases`: the read-only questions
// to Jackett, Sonarr and Radarr.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli.h"

namespace cli {

namespace {

int grab(App &app, int kind);

// The indexer service a search asks: --via, else Jackett when it is
// configured, else Prowlarr when it is, else Jackett (whose "not configured"
// then says what to set). -1 after a usage error.
int search_service(const App &app) {
    const Options &o = app.o;
    if (!o.via.empty()) {
        int k = service_arg(o.via);
        if (k == KOVA_JACKETT || k == KOVA_PROWLARR) return k;
        usage_error("search: --via jackett or --via prowlarr, not " + o.via, "search");
        return -1;
    }
    if (!configured(app.conf, KOVA_JACKETT) && configured(app.conf, KOVA_PROWLARR)) return KOVA_PROWLARR;
    return KOVA_JACKETT;
}

}  // namespace

int cmd_search(App &app) {
    Options &o = app.o;
    std::string words = join(o.args, 0);
    if (!words.empty() && o.has_query) return usage_error("search: give the query either as words or with --query", "search");
    if (!words.empty()) { o.query = words; o.has_query = true; }
    if (o.has_title && !o.has_imdb) return usage_error("search: --title needs --imdb (the title stage follows the IMDb stage)", "search");
    if (!o.has_imdb && o.query.empty()) return usage_error("search: what? give a query or --imdb", "search");
    if (o.has_imdb && !imdb_arg(o.imdb, o.imdb, "search")) return EXIT_USAGE;
    const int kind = search_service(app);
    if (kind < 0) return EXIT_USAGE;
    if (kind == KOVA_JACKETT && (o.movie || o.tv || o.has_season || o.has_episode || o.has_grab))
        return usage_error("search: --movie, --tv, --season, --episode and --grab are Prowlarr's (--via prowlarr)", "search");
    if (o.movie && o.tv) return usage_error("search: --movie or --tv, not both (neither: both kinds)", "search");
    if ((o.has_season || o.has_episode) && (!o.has_imdb || o.movie))
        return usage_error("search: --season and --episode go with --imdb, for a series", "search");
    if (o.has_episode && !o.has_season) return usage_error("search: --episode goes with --season", "search");
    if (!use_service(app, kind)) return EXIT_USAGE;
    const char *imdb = o.has_imdb ? o.imdb.c_str() : nullptr, *title = o.has_title ? o.title.c_str() : nullptr;
    const char *query = o.has_query ? o.query.c_str() : nullptr;
    const int32_t type = o.movie ? KOVA_SEARCH_MOVIE : o.tv ? KOVA_SEARCH_TV : KOVA_SEARCH_ANY;
    int32_t rc = with_spinner(app, std::string("searching ") + service(kind).name, [&] {
        if (kind == KOVA_PROWLARR) return kova_prowlarr_search(imdb, title, query, type, o.season, o.episode);
        return imdb ? kova_jackett_search_imdb(imdb, title, query) : kova_jackett_search_query(query);
    });
    const bool found = rc == KOVA_OK || rc == KOVA_PARTIAL;
    if (o.json) {
        // With --grab the grab's report is the one document.
        if (o.has_grab && found) return grab(app, kind);
        print_result_json(app, o.limit);
        return finish(app, rc);
    }
    if (kova_test_log_count() > 1) print_log(app, "  ");
    if (found || kova_indexer_count() > 0) {
        search_header(kind, rc);
        show_results(false, rc, o.limit);
    }
    if (o.has_grab && found) return grab(app, kind);
    return finish(app, rc);
}

int cmd_lookup(App &app) {
    Options &o = app.o;
    if (o.args.empty()) return usage_error("lookup: series or movie?", "lookup");
    std::string what = o.args[0];
    int kind = what == "series" ? KOVA_SONARR : what == "movie" ? KOVA_RADARR : -1;
    if (kind < 0) return usage_error("lookup: series or movie, not " + what, "lookup");
    // A word that can only be an id (a film's) is one; a series' word is a
    // title unless it starts with "tt" ("1923" is a series).
    std::string word = join(o.args, 1);
    if (!word.empty()) {
        if ((kind == KOVA_RADARR || imdb_like(word)) && !o.has_imdb) { o.imdb = word; o.has_imdb = true; }
        else if (kind == KOVA_SONARR && !imdb_like(word) && !o.has_title) { o.title = word; o.has_title = true; }
        else return usage_error("lookup: unexpected " + word, "lookup");
    }
    if (kind == KOVA_RADARR && o.has_title) return usage_error("lookup movie: Radarr is looked up by IMDb id only", "lookup");
    if (!o.has_imdb && !o.has_title) return usage_error("lookup: give an IMDb id or a title", "lookup");
    if (o.has_imdb && !imdb_arg(o.imdb, o.imdb, "lookup")) return EXIT_USAGE;
    if (!use_service(app, kind)) return EXIT_USAGE;
    int32_t rc = with_spinner(app, std::string("looking up in ") + service(kind).name, [&] {
        return kind == KOVA_SONARR ? kova_sonarr_lookup(o.has_imdb ? o.imdb.c_str() : nullptr,
                                                        o.has_title ? o.title.c_str() : nullptr)
                                   : kova_radarr_lookup_imdb(o.imdb.c_str());
    });
    // A lookup by title alone has no IMDb id to match, yet the library fails
    // it as if one were missing once it found series: what it found is the
    // answer. (A stopgap until the library says so itself.)
    if (!o.has_imdb && rc == KOVA_ERR_NOT_FOUND && kova_lookup_count() > 0) rc = KOVA_OK;
    if (o.json) {
        JsonOut report;
        outcome_json(app, report.doc, report.root, rc);
        const int32_t m = kova_lookup_match();
        yyjson_mut_obj_add_val(report.doc, report.root, "match", m >= 0 ? yyjson_mut_int(report.doc, m) : yyjson_mut_null(report.doc));
        yyjson_mut_val *arr = yyjson_mut_obj_add_arr(report.doc, report.root, "entries");
        for (int32_t i = 0; i < kova_lookup_count(); ++i) {
            yyjson_mut_val *e = yyjson_mut_arr_add_obj(report.doc, arr);
            yyjson_mut_obj_add_val(report.doc, e, "title", text_or_null(report.doc, kova_lookup_title(i)));
            yyjson_mut_obj_add_val(report.doc, e, "clean_title", text_or_null(report.doc, kova_lookup_clean_title(i)));
            yyjson_mut_obj_add_val(report.doc, e, "imdb", text_or_null(report.doc, kova_lookup_imdb(i)));
            yyjson_mut_obj_add_val(report.doc, e, "tvdb", id_or_null(report.doc, kova_lookup_tvdb(i)));
            yyjson_mut_obj_add_val(report.doc, e, "tmdb", id_or_null(report.doc, kova_lookup_tmdb(i)));
            yyjson_mut_obj_add_val(report.doc, e, "year", id_or_null(report.doc, kova_lookup_year(i)));
            yyjson_mut_obj_add_val(report.doc, e, "library_id", id_or_null(report.doc, kova_lookup_library_id(i)));
        }
        yyjson_mut_obj_add_val(report.doc, report.root, "log", log_json(report.doc));
        report.print(app);
        return finish(app, rc);
    }
    print_log(app, "  ");
    show_lookup(kind);
    return finish(app, rc);
}

namespace {

// --grab N after a release search or a Prowlarr search: N as the table's #
// column numbers the rows, from 1. Without --yes it says what it would send,
// like `add`. The release goes back to the service that listed it.
int grab(App &app, int kind) {
    const Options &o = app.o;
    int32_t n = kova_result_count();
    if (o.grab > n)
        return fail(app, EXIT_FAILED, KOVA_ERR_NOT_FOUND,
                    "there is no release " + std::to_string(o.grab) + ": " + service(kind).name + " listed " + std::to_string(n));
    int32_t i = o.grab - 1;
    const std::string title = kova_result_title(i), indexer = kova_result_tracker(i);
    if (!o.yes) {
        if (o.json) {
            JsonOut report;
            yyjson_mut_obj_add_bool(report.doc, report.root, "dry_run", true);
            yyjson_mut_obj_add_str(report.doc, report.root, "service", service(kind).lower);
            yyjson_mut_obj_add_int(report.doc, report.root, "release", o.grab);
            yyjson_mut_obj_add_strcpy(report.doc, report.root, "title", title.c_str());
            yyjson_mut_obj_add_val(report.doc, report.root, "indexer", text_or_null(report.doc, indexer.c_str()));
            report.print(app);
        } else {
            out::print(stdout, "Would send release %d to %s's download client:\n  %s\n  from %s\n%s\n", o.grab,
                       service(kind).name, title, indexer.empty() ? std::string("(no indexer named)") : indexer,
                       ui::paint(ui::Tone::warn, "Nothing was sent: run again with --yes to send it."));
        }
        return EXIT_OK;
    }
    kova_arm_library_writes(1);
    int32_t rc = with_spinner(app, std::string("sending the release to ") + service(kind).name, [&] {
        return kind == KOVA_SONARR   ? kova_sonarr_grab_release(i)
               : kind == KOVA_RADARR ? kova_radarr_grab_release(i)
                                     : kova_prowlarr_grab_release(i);
    });
    if (o.json) {
        JsonOut report;
        yyjson_mut_obj_add_str(report.doc, report.root, "service", service(kind).lower);
        yyjson_mut_obj_add_int(report.doc, report.root, "release", o.grab);
        yyjson_mut_obj_add_strcpy(report.doc, report.root, "title", title.c_str());
        yyjson_mut_obj_add_val(report.doc, report.root, "indexer", text_or_null(report.doc, indexer.c_str()));
        outcome_json(app, report.doc, report.root, rc);
        report.print(app);
    } else if (rc == KOVA_OK) {
        out::print(stdout, "%s\n  %s\n", ui::paint(ui::Tone::good, "Sent release " + std::to_string(o.grab) + " to " +
                                                                   service(kind).name + "'s download client:"),
                   title);
    }
    return finish(app, rc);
}

}  // namespace

namespace {

// Whether the test log of the last call holds an entry with this key.
bool logged(const char *key) {
    for (int32_t i = 0; i < kova_test_log_count(); ++i)
        if (strcmp(kova_test_log_key(i), key) == 0) return true;
    return false;
}

std::string episode_name(int32_t season, int32_t episode) {
    char name[48];
    snprintf(name, sizeof name, "S%02dE%02d", season, episode);
    return name;
}

}  // namespace

ReleaseSearch search_releases(App &app, int kind, int32_t id, int32_t season, int32_t episode) {
    ReleaseSearch r;
    const bool exact = app.o.exact && kind == KOVA_SONARR && episode > 0;
    r.rc = with_spinner(app, std::string("asking ") + service(kind).name + " for releases", [&] {
        if (kind == KOVA_RADARR) return kova_radarr_releases(id);
        return exact ? kova_sonarr_releases_exact(id, season, episode) : kova_sonarr_releases(id, season, episode);
    });
    // The library searched the whole season when the episode was not in it.
    r.whole_season = kind == KOVA_SONARR && episode > 0 && logged("SonarrV3_Series_Search_Release_Season");
    return r;
}

void show_releases(App &app, int kind, const ReleaseSearch &r, int32_t season, int32_t episode) {
    std::string target = kind == KOVA_RADARR ? "" : episode > 0 && !r.whole_season ? " for " + episode_name(season, episode)
                                                                                  : " for season " + std::to_string(season);
    if (r.whole_season)
        out::print(stdout, "%s\n", ui::paint(ui::Tone::warn, std::string(service(kind).name) + " has no episode " +
                                                              episode_name(season, episode) + " in season " +
                                                              std::to_string(season) +
                                                              ": these are the releases for the whole season"));
    int32_t n = kova_result_count();
    out::print(stdout, "%s\n", ui::paint(ui::Tone::bold, std::string(service(kind).name) + ": " + std::to_string(n) +
                                                      (n == 1 ? " release" : " releases") + target));
    show_results(true, r.rc, app.o.limit);
}

int cmd_releases(App &app) {
    Options &o = app.o;
    if (o.args.size() != 2) return usage_error("releases: want series|movie and a library id", "releases");
    int kind = o.args[0] == "series" ? KOVA_SONARR : o.args[0] == "movie" ? KOVA_RADARR : -1;
    if (kind < 0) return usage_error("releases: series or movie, not " + o.args[0], "releases");
    int32_t id = 0;
    if (!parse_int(o.args[1], 1, 2147483646, id)) return usage_error("releases: the library id is a number, 1 or more", "releases");
    if (kind == KOVA_SONARR && !o.has_season) return usage_error("releases series: --season is required", "releases");
    if (kind == KOVA_RADARR && (o.has_season || o.has_episode)) return usage_error("releases movie takes no --season/--episode", "releases");
    if (o.exact && !o.has_episode) return usage_error("releases: --exact goes with --episode", "releases");
    if (!use_service(app, kind)) return EXIT_USAGE;
    int32_t episode = o.has_episode ? o.episode : 0;
    ReleaseSearch r = search_releases(app, kind, id, o.season, episode);
    bool found = r.rc == KOVA_OK || r.rc == KOVA_PARTIAL;
    if (o.json) {
        // With --grab the grab's report is the one document.
        if (o.has_grab && found) return grab(app, kind);
        JsonOut extra;
        if (kind == KOVA_SONARR && episode > 0) yyjson_mut_obj_add_bool(extra.doc, extra.root, "whole_season", r.whole_season);
        print_result_json(app, o.limit, extra.doc);
        return finish(app, r.rc);
    }
    print_log(app, "  ");
    // A failure says so on stderr alone: no empty table, no "0 releases".
    if (found) show_releases(app, kind, r, o.season, episode);
    if (o.has_grab && found) return grab(app, kind);
    return finish(app, r.rc);
}

}  // namespace cli
