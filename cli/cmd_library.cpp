// `kova add` and `kova get`: the commands that may write to a Sonarr or
// Radarr library, and only with --yes. Without it they make every check that
// --yes would make and that needs no write, so that a dry run never promises
// what the real run then refuses: both runs go through the same steps here
// and part only where the library is written to.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include <strings.h>

#include "cli.h"

namespace cli {
namespace {

// What an add will use.
struct Plan {
    std::string root;          // as it will be sent (the library trims it)
    int32_t profile = -1;
    std::string profile_name;
};

std::string profile_list() {
    std::string s;
    for (int32_t i = 0; i < kova_quality_profile_count(); ++i)
        s += (i ? ", " : "") + std::string(kova_quality_profile_name(i)) + " (" + std::to_string(kova_quality_profile_id(i)) + ")";
    return s.empty() ? "none" : s;
}

// The quality profile a user names, among the loaded ones: its decimal id,
// else its exact name, else a name equal but for letter case when only one
// profile has it. The CLI hands the library the id, never the name: the
// library's own pick would take the first profile for a name it does not
// know. Returns -1 when an exit status is due (the reason printed), else the
// index of the profile.
int32_t pick_profile(int kind, const Options &o, std::string &why_not) {
    int32_t n = kova_quality_profile_count();
    if (n == 0) {
        why_not = std::string(service(kind).name) + " has no quality profile";
        return -1;
    }
    if (!o.has_profile) return 0;
    const std::string &text = o.profile;
    for (int32_t i = 0; i < n; ++i)
        if (std::to_string(kova_quality_profile_id(i)) == text) return i;
    for (int32_t i = 0; i < n; ++i)
        if (text == kova_quality_profile_name(i)) return i;
    std::vector<int32_t> near;
    for (int32_t i = 0; i < n; ++i)
        if (strcasecmp(text.c_str(), kova_quality_profile_name(i)) == 0) near.push_back(i);
    if (near.size() == 1) return near[0];
    if (near.empty()) {
        why_not = std::string(service(kind).name) + " has no quality profile \"" + text + "\"; it has: " + profile_list();
    } else {
        why_not = "--profile \"" + text + "\" could be any of ";
        for (size_t k = 0; k < near.size(); ++k)
            why_not += (k ? ", " : "") + std::string(kova_quality_profile_name(near[k])) + " (" +
                       std::to_string(kova_quality_profile_id(near[k])) + ")";
        why_not += ": give the id or the name in its exact letter case";
    }
    return -1;
}

// --root, checked before any request: a root that trims to nothing would add
// the item at the top of the service's file system, and the library refuses
// it (so must a dry run); one that is not UTF-8 cannot go into a request.
bool root_arg(const Options &o, const char *cmd) {
    if (!o.has_root) return true;
    std::string trimmed = trim_root(o.root);
    bool blank = std::all_of(trimmed.begin(), trimmed.end(), [](unsigned char c) { return isspace(c) != 0; });
    if (blank) {
        usage_error(std::string(cmd) + ": --root \"" + o.root + "\" leaves no folder once its trailing slashes go: "
                    "name a folder, such as one of the service's root folders ('kova test')", cmd);
        return false;
    }
    if (!out::utf8_valid(o.root)) {
        usage_error(std::string(cmd) + ": --root is not valid UTF-8", cmd);
        return false;
    }
    return true;
}

// Reads the service's root folders and quality profiles, and settles the
// root and profile of an add, as --yes and a dry run both do. Returns -1
// when all is well, else the exit status (the reason printed).
int plan_add(App &app, int kind, Plan &plan) {
    int32_t rc = with_spinner(app, std::string("reading ") + service(kind).name + " settings", service(kind).test);
    // KOVA_ERR_EMPTY: no root folder or no profile, each said below.
    if (rc != KOVA_OK && rc != KOVA_ERR_EMPTY) return finish(app, rc);
    std::string why_not;
    int32_t i = pick_profile(kind, app.o, why_not);
    if (i < 0)
        return fail(app, EXIT_FAILED, kova_quality_profile_count() ? KOVA_ERR_NOT_FOUND : KOVA_ERR_EMPTY, why_not);
    plan.profile = kova_quality_profile_id(i);
    plan.profile_name = kova_quality_profile_name(i);

    plan.root = app.o.has_root ? app.o.root : kova_rootfolder();
    if (plan.root.empty())
        return fail(app, EXIT_FAILED, KOVA_ERR_EMPTY, std::string(service(kind).name) + " has no root folder; give one with --root");
    const std::vector<std::string> &folders = root_folders();
    if (app.o.has_root && !folders.empty() &&
        std::find(folders.begin(), folders.end(), trim_root(plan.root)) == folders.end()) {
        std::string list;
        for (const auto &f : folders) list += (list.empty() ? "" : ", ") + f;
        warn(app, trim_root(plan.root) + " is not one of " + service(kind).name + "'s root folders (" + list + "): " +
             service(kind).name + " may refuse it");
    }
    return -1;
}

void plan_json(JsonOut &report, const Plan &plan) {
    yyjson_mut_obj_add_strcpy(report.doc, report.root, "root", trim_root(plan.root).c_str());
    yyjson_mut_obj_add_int(report.doc, report.root, "profile", plan.profile);
    yyjson_mut_obj_add_strcpy(report.doc, report.root, "profile_name", plan.profile_name.c_str());
}

std::string plan_text(const Plan &plan) {
    return "under " + trim_root(plan.root) + " with quality profile " + plan.profile_name + " (" +
           std::to_string(plan.profile) + ")";
}

// The add itself: the new library id, or a negative result code.
int32_t add(App &app, int kind, int32_t ext, const Plan &plan) {
    kova_arm_library_writes(1);
    return with_spinner(app, std::string("adding to ") + service(kind).name, [&] {
        return kind == KOVA_SONARR ? kova_sonarr_add_series(ext, plan.root.c_str(), plan.profile)
                                   : kova_radarr_add_movie(ext, plan.root.c_str(), plan.profile);
    });
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
    if (!root_arg(o, "add")) return EXIT_USAGE;
    if (!use_service(app, kind)) return EXIT_USAGE;
    Plan plan;
    int status = plan_add(app, kind, plan);
    if (status >= 0) return status;
    const char *what = kind == KOVA_SONARR ? "series with TVDB id" : "film with TMDb id";
    if (!o.yes) {
        if (o.json) {
            JsonOut report;
            yyjson_mut_obj_add_bool(report.doc, report.root, "dry_run", true);
            yyjson_mut_obj_add_str(report.doc, report.root, "service", service(kind).lower);
            yyjson_mut_obj_add_int(report.doc, report.root, "id", ext);
            plan_json(report, plan);
            yyjson_mut_obj_add_val(report.doc, report.root, "warnings", warnings_json(app, report.doc));
            report.print(app);
        } else {
            out::print(stdout, "Would add the %s %d to %s %s,\n"
                       "unmonitored and without an automatic search.\n%s\n",
                       what, ext, service(kind).name, plan_text(plan),
                       ui::paint(ui::Tone::warn, "Nothing was changed: run again with --yes to add it."));
        }
        return EXIT_OK;
    }
    int32_t rc = add(app, kind, ext, plan);
    if (rc > 0) {
        if (o.json) {
            JsonOut report;
            yyjson_mut_obj_add_int(report.doc, report.root, "library_id", rc);
            plan_json(report, plan);
            yyjson_mut_obj_add_val(report.doc, report.root, "log", log_json(report.doc));
            yyjson_mut_obj_add_val(report.doc, report.root, "warnings", warnings_json(app, report.doc));
            report.print(app);
        } else {
            print_log(app, "  ");
            out::print(stdout, "%s\n", ui::paint(ui::Tone::good, std::string("Added to ") + service(kind).name + " as library id " + std::to_string(rc)));
        }
        return EXIT_OK;
    }
    if (o.json) {
        JsonOut report;
        outcome_json(app, report.doc, report.root, rc);
        yyjson_mut_obj_add_val(report.doc, report.root, "log", log_json(report.doc));
        report.print(app);
    } else {
        print_log(app, "  ");
    }
    return finish(app, rc);
}

int cmd_get(App &app) {
    Options &o = app.o;
    if (o.args.size() != 2) return usage_error("get: want series|movie and an IMDb id", "get");
    int kind = o.args[0] == "series" ? KOVA_SONARR : o.args[0] == "movie" ? KOVA_RADARR : -1;
    if (kind < 0) return usage_error("get: series or movie, not " + o.args[0], "get");
    std::string imdb;
    if (!imdb_arg(o.args[1], imdb, "get")) return EXIT_USAGE;
    if (kind == KOVA_SONARR && !o.has_season) return usage_error("get series: --season is required", "get");
    if (kind == KOVA_RADARR && (o.has_season || o.has_episode || o.has_title))
        return usage_error("get movie takes no --season/--episode/--title", "get");
    if (!root_arg(o, "get")) return EXIT_USAGE;
    if (!use_service(app, kind)) return EXIT_USAGE;
    int32_t episode = o.has_episode ? o.episode : 0;
    char target[64];
    if (kind == KOVA_RADARR) snprintf(target, sizeof target, "the film");
    else if (episode > 0) snprintf(target, sizeof target, "S%02dE%02d", o.season, episode);
    else snprintf(target, sizeof target, "season %d", o.season);

    // 1. What the service knows of the item, and whether it is in the library.
    int32_t rc = with_spinner(app, std::string("looking up in ") + service(kind).name, [&] {
        return kind == KOVA_SONARR ? kova_sonarr_lookup(imdb.c_str(), o.has_title ? o.title.c_str() : nullptr)
                                   : kova_radarr_lookup_imdb(imdb.c_str());
    });
    if (rc != KOVA_OK) {
        if (!o.json) show_lookup(kind);
        return finish(app, rc);
    }
    int32_t m = kova_lookup_match();
    int32_t ext = kind == KOVA_SONARR ? kova_lookup_tvdb(m) : kova_lookup_tmdb(m);
    const std::string name = kova_lookup_title(m);
    std::string title = name;
    if (kova_lookup_year(m) > 0) title += " (" + std::to_string(kova_lookup_year(m)) + ")";
    int32_t lib = with_spinner(app, "searching the library", [&] {
        return kind == KOVA_SONARR ? kova_sonarr_library_find(ext) : kova_radarr_library_find(ext);
    });
    if (lib < 0) return finish(app, lib);

    // 2. The root folder and profile of an add. A --root or --profile the
    // user typed is checked even when no add is due: it must mean something.
    Plan plan;
    bool adding = lib == 0;
    if (adding || o.has_root || o.has_profile) {
        int status = plan_add(app, kind, plan);
        if (status >= 0) return status;
    }

    if (!o.yes) {
        if (o.json) {
            JsonOut report;
            yyjson_mut_obj_add_bool(report.doc, report.root, "dry_run", true);
            yyjson_mut_obj_add_str(report.doc, report.root, "service", service(kind).lower);
            yyjson_mut_obj_add_strcpy(report.doc, report.root, "title", name.c_str());
            yyjson_mut_obj_add_int(report.doc, report.root, kind == KOVA_SONARR ? "tvdb" : "tmdb", ext);
            yyjson_mut_obj_add_int(report.doc, report.root, "library_id", lib);
            yyjson_mut_obj_add_bool(report.doc, report.root, "would_add", adding);
            if (adding) plan_json(report, plan);
            yyjson_mut_obj_add_val(report.doc, report.root, "warnings", warnings_json(app, report.doc));
            report.print(app);
            return EXIT_OK;
        }
        if (!adding) {
            out::print(stdout, "%s is in %s's library (id %d).\nWould search releases for %s.\n", title.c_str(),
                       service(kind).name, lib, target);
            if (kind == KOVA_SONARR)
                out::print(stdout, "Read-only: kova releases series %d --season %d%s\n", lib, o.season,
                           episode > 0 ? (" --episode " + std::to_string(episode)).c_str() : "");
            else
                out::print(stdout, "Read-only: kova releases movie %d\n", lib);
        } else {
            out::print(stdout, "%s is not in %s's library.\nWould add it (unmonitored, no automatic search) %s,\n"
                       "then search releases for %s.\n",
                       title.c_str(), service(kind).name, plan_text(plan), target);
        }
        out::print(stdout, "%s\n", ui::paint(ui::Tone::warn, "Nothing was changed: run again with --yes to do it."));
        return EXIT_OK;
    }

    // 3. The add, when due, then the release search.
    if (adding) {
        lib = add(app, kind, ext, plan);
        if (!o.json) print_log(app, "  ");
        if (lib <= 0) return finish(app, lib);
        if (!o.json) out::print(stdout, "  %s\n", ui::paint(ui::Tone::good, std::string("Added to ") + service(kind).name +
                                                                        " as library id " + std::to_string(lib)));
    }
    ReleaseSearch r = search_releases(app, kind, lib, o.season, episode);
    if (r.refused) return refused_episode(app, kind, lib, o.season, episode);
    if (o.json) {
        JsonOut extra;
        yyjson_mut_obj_add_int(extra.doc, extra.root, "library_id", lib);
        yyjson_mut_obj_add_bool(extra.doc, extra.root, "added", adding);
        if (kind == KOVA_SONARR && episode > 0) yyjson_mut_obj_add_bool(extra.doc, extra.root, "whole_season", r.whole_season);
        print_result_json(app, o.limit, extra.doc);
        return finish(app, r.rc);
    }
    print_log(app, "  ");
    if (r.rc == KOVA_OK || r.rc == KOVA_PARTIAL) show_releases(app, kind, r, o.season, episode);
    return finish(app, r.rc);
}

}  // namespace cli
