// `kova add` and `kova get`: the commands that may write to a Sonarr or
// Radarr library, and only with --yes.
#include <cstdio>
#include <string>

#include <strings.h>

#include "cli.h"

namespace cli {
namespace {

// A profile id from the loaded list: decimal id, exact name, name in any
// letter case; the first profile when `text` is empty. -1 when none fits.
int32_t resolve_profile(const std::string &text, std::string &name) {
    int32_t n = kova_quality_profile_count();
    if (n == 0) return -1;
    if (text.empty()) {
        name = kova_quality_profile_name(0);
        return kova_quality_profile_id(0);
    }
    for (int pass = 0; pass < 3; ++pass)
        for (int32_t i = 0; i < n; ++i) {
            bool hit = pass == 0 ? std::to_string(kova_quality_profile_id(i)) == text
                     : pass == 1 ? text == kova_quality_profile_name(i)
                                 : strcasecmp(text.c_str(), kova_quality_profile_name(i)) == 0;
            if (hit) {
                name = kova_quality_profile_name(i);
                return kova_quality_profile_id(i);
            }
        }
    return -1;
}

std::string profile_list() {
    std::string s;
    for (int32_t i = 0; i < kova_quality_profile_count(); ++i)
        s += (i ? ", " : "") + std::string(kova_quality_profile_name(i)) + " (" + std::to_string(kova_quality_profile_id(i)) + ")";
    return s.empty() ? "none" : s;
}

// Loads the root folder and quality profiles of a service and picks the
// profile; prints why when it cannot. Returns the profile id or -1.
int32_t load_profile(App &app, int kind, std::string &profile_name) {
    int32_t rc = with_spinner(std::string("reading ") + k_service[kind] + " settings",
                              kind == KOVA_SONARR ? kova_sonarr_test : kova_radarr_test);
    if (rc != KOVA_OK && rc != KOVA_ERR_EMPTY) {
        if (app.o.json) {
            JsonOut report;
            outcome_json(report.doc, report.root, rc);
            report.print();
        }
        finish(rc);
        return -1;
    }
    int32_t id = resolve_profile(app.o.profile, profile_name);
    if (id < 0) {
        if (app.o.profile.empty()) out::print(stderr, "kova: %s has no quality profile\n", k_service[kind]);
        else out::print(stderr, "kova: %s has no quality profile \"%s\"; it has: %s\n", k_service[kind],
                       app.o.profile.c_str(), profile_list().c_str());
    }
    return id;
}

}  // namespace

int cmd_add(App &app) {
    Options &o = app.o;
    if (o.args.size() != 2) return usage_error("add: want series|movie and a TVDB/TMDb id", "add");
    int kind = o.args[0] == "series" ? KOVA_SONARR : o.args[0] == "movie" ? KOVA_RADARR : -1;
    if (kind < 0) return usage_error("add: series or movie, not " + o.args[0], "add");
    int32_t ext = 0;
    if (!parse_int(o.args[1], 1, 2147483646, ext))
        return usage_error(std::string("add: the ") + (kind == KOVA_SONARR ? "TVDB" : "TMDb") + " id is a number, 1 or more", "add");
    if (!use_service(app, kind)) return EXIT_USAGE;
    std::string pname;
    int32_t profile = load_profile(app, kind, pname);
    if (profile < 0) return EXIT_FAILED;
    std::string root = o.has_root ? o.root : kova_rootfolder();
    if (root.empty()) {
        out::print(stderr, "kova: %s has no root folder; give one with --root\n", k_service[kind]);
        return EXIT_FAILED;
    }
    const char *what = kind == KOVA_SONARR ? "series with TVDB id" : "film with TMDb id";
    if (!o.yes) {
        if (o.json) {
            JsonOut report;
            yyjson_mut_obj_add_bool(report.doc, report.root, "dry_run", true);
            yyjson_mut_obj_add_str(report.doc, report.root, "service", k_lower[kind]);
            yyjson_mut_obj_add_int(report.doc, report.root, "id", ext);
            yyjson_mut_obj_add_strcpy(report.doc, report.root, "root", root.c_str());
            yyjson_mut_obj_add_int(report.doc, report.root, "profile", profile);
            report.print();
        } else {
            out::print(stdout, "Would add the %s %d to %s under %s with quality profile %s (%d),\n"
                       "unmonitored and without an automatic search.\n%s\n",
                       what, ext, k_service[kind], root.c_str(), pname.c_str(), profile,
                       ui::paint(ui::Tone::warn, "Nothing was changed: run again with --yes to add it."));
        }
        return EXIT_OK;
    }
    kova_arm_library_writes(1);
    int32_t rc = with_spinner(std::string("adding to ") + k_service[kind], [&] {
        return kind == KOVA_SONARR ? kova_sonarr_add_series(ext, root.c_str(), profile)
                                   : kova_radarr_add_movie(ext, root.c_str(), profile);
    });
    if (rc > 0) {
        if (o.json) {
            JsonOut report;
            yyjson_mut_obj_add_int(report.doc, report.root, "library_id", rc);
            yyjson_mut_obj_add_val(report.doc, report.root, "log", log_json(report.doc));
            report.print();
        } else {
            print_log("  ");
            out::print(stdout, "%s\n", ui::paint(ui::Tone::good, std::string("Added to ") + k_service[kind] + " as library id " + std::to_string(rc)));
        }
        return EXIT_OK;
    }
    if (o.json) {
        JsonOut report;
        outcome_json(report.doc, report.root, rc);
        yyjson_mut_obj_add_val(report.doc, report.root, "log", log_json(report.doc));
        report.print();
    } else {
        print_log("  ");
    }
    return finish(rc);
}

int cmd_get(App &app) {
    Options &o = app.o;
    if (o.args.size() != 2) return usage_error("get: want series|movie and an IMDb id", "get");
    int kind = o.args[0] == "series" ? KOVA_SONARR : o.args[0] == "movie" ? KOVA_RADARR : -1;
    if (kind < 0) return usage_error("get: series or movie, not " + o.args[0], "get");
    const std::string imdb = o.args[1];
    if (kind == KOVA_SONARR && !o.has_season) return usage_error("get series: --season is required", "get");
    if (kind == KOVA_RADARR && (o.has_season || o.has_episode || o.has_title))
        return usage_error("get movie takes no --season/--episode/--title", "get");
    if (!use_service(app, kind)) return EXIT_USAGE;
    int32_t episode = o.has_episode ? o.episode : 0;
    char target[64];
    if (kind == KOVA_RADARR) snprintf(target, sizeof target, "the film");
    else if (episode > 0) snprintf(target, sizeof target, "S%02dE%02d", o.season, episode);
    else snprintf(target, sizeof target, "season %d", o.season);

    if (!o.yes) {
        // A dry run: read-only lookups, then say what --yes would do.
        int32_t rc = with_spinner(std::string("looking up in ") + k_service[kind], [&] {
            return kind == KOVA_SONARR ? kova_sonarr_lookup(imdb.c_str(), o.has_title ? o.title.c_str() : nullptr)
                                       : kova_radarr_lookup_imdb(imdb.c_str());
        });
        if (rc != KOVA_OK) {
            if (!o.json) show_lookup(kind);
            return finish(rc);
        }
        int32_t m = kova_lookup_match();
        int32_t ext = kind == KOVA_SONARR ? kova_lookup_tvdb(m) : kova_lookup_tmdb(m);
        std::string title = kova_lookup_title(m);
        if (kova_lookup_year(m) > 0) title += " (" + std::to_string(kova_lookup_year(m)) + ")";
        int32_t lib = with_spinner("searching the library", [&] {
            return kind == KOVA_SONARR ? kova_sonarr_library_find(ext) : kova_radarr_library_find(ext);
        });
        if (lib < 0) return finish(lib);
        if (o.json) {
            JsonOut report;
            yyjson_mut_obj_add_bool(report.doc, report.root, "dry_run", true);
            yyjson_mut_obj_add_str(report.doc, report.root, "service", k_lower[kind]);
            yyjson_mut_obj_add_strcpy(report.doc, report.root, "title", kova_lookup_title(m));
            yyjson_mut_obj_add_int(report.doc, report.root, kind == KOVA_SONARR ? "tvdb" : "tmdb", ext);
            yyjson_mut_obj_add_int(report.doc, report.root, "library_id", lib);
            yyjson_mut_obj_add_bool(report.doc, report.root, "would_add", lib == 0);
            report.print();
            return EXIT_OK;
        }
        if (lib > 0) {
            out::print(stdout, "%s is in %s's library (id %d).\nWould search releases for %s.\n", title.c_str(),
                       k_service[kind], lib, target);
            if (kind == KOVA_SONARR)
                out::print(stdout, "Read-only: kova releases series %d --season %d%s\n", lib, o.season,
                           episode > 0 ? (" --episode " + std::to_string(episode)).c_str() : "");
            else
                out::print(stdout, "Read-only: kova releases movie %d\n", lib);
        } else {
            out::print(stdout, "%s is not in %s's library.\nWould add it (unmonitored, no automatic search) into the "
                       "first root folder with quality profile %s, then search releases for %s.\n",
                       title.c_str(), k_service[kind], o.has_profile ? ("\"" + o.profile + "\"").c_str() : "(the first)",
                       target);
        }
        out::print(stdout, "%s\n", ui::paint(ui::Tone::warn, "Nothing was changed: run again with --yes to do it."));
        return EXIT_OK;
    }

    if (o.has_profile) {
        // Refuse a profile the service does not have instead of silently
        // falling back to the first one.
        std::string pname;
        if (load_profile(app, kind, pname) < 0) return EXIT_FAILED;
    }
    kova_arm_library_writes(1);
    int32_t rc = with_spinner(std::string(k_service[kind]) + ": search-or-add", [&] {
        return kind == KOVA_SONARR
                   ? kova_sonarr_search_or_add(imdb.c_str(), o.has_title ? o.title.c_str() : nullptr, o.season,
                                               episode, o.has_profile ? o.profile.c_str() : nullptr)
                   : kova_radarr_search_or_add(imdb.c_str(), o.has_profile ? o.profile.c_str() : nullptr);
    });
    if (o.json) {
        print_result_json();
        return finish(rc);
    }
    print_log("  ");
    if (rc == KOVA_OK || kova_result_count() > 0) {
        out::print(stdout, "%s\n", ui::paint(ui::Tone::bold, std::string(k_service[kind]) + ": " +
                                                         std::to_string(kova_result_count()) + " releases for " + target));
        show_results(true, rc, o.limit);
    }
    return finish(rc);
}

}  // namespace cli
