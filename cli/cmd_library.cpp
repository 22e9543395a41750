// `kova add` and `kova get`: the commands that may write to a Sonarr or
// Radarr library, and only with --yes. Without it they make the checks --yes
// makes before it writes, by the library's rules: add asks
// kova_quality_profile_find and kova_rootfolder_find, get runs the library's
// own dry run (KOVA_GET_DRY_RUN), which settles the root folder, the profile
// and the item's folder. (Whether an add's root leaves a folder once trimmed
// only the add itself says: add's dry run warns of a root that is not one of
// the service's.)
#include <cstdio>
#include <string>

#include "cli.h"

namespace cli {
namespace {

// What an add will use, or would.
struct Plan {
    std::string root;
    int32_t profile = 0;
    std::string path;  // the item's folder, when the library says it (get)
};

// The name of a loaded quality profile.
std::string profile_name(int32_t id) {
    for (int32_t i = 0; i < kova_quality_profile_count(); ++i)
        if (kova_quality_profile_id(i) == id) return kova_quality_profile_name(i);
    return "";
}

// What an add uses; null for each when there is no add (nullptr).
void plan_json(JsonOut &report, const Plan *plan) {
    yyjson_mut_doc *d = report.doc;
    yyjson_mut_obj_add_val(d, report.root, "root", text_or_null(d, plan ? plan->root.c_str() : nullptr));
    yyjson_mut_obj_add_val(d, report.root, "profile", id_or_null(d, plan ? plan->profile : 0));
    yyjson_mut_obj_add_val(d, report.root, "profile_name", text_or_null(d, plan ? profile_name(plan->profile).c_str() : nullptr));
    yyjson_mut_obj_add_val(d, report.root, "path", text_or_null(d, plan ? plan->path.c_str() : nullptr));
}

// The dry run's document, the same members for add and get: the item (its
// title, TVDB or TMDb id, library id), whether --yes would add it and with
// what. What a dry run does not know is null.
void dry_run_json(App &app, int kind, const char *title, int32_t ext, int32_t library_id, const Plan *add) {
    JsonOut report;
    yyjson_mut_doc *d = report.doc;
    yyjson_mut_obj_add_bool(d, report.root, "dry_run", true);
    yyjson_mut_obj_add_str(d, report.root, "service", service(kind).lower);
    yyjson_mut_obj_add_val(d, report.root, "title", text_or_null(d, title));
    yyjson_mut_obj_add_val(d, report.root, kind == KOVA_SONARR ? "tvdb" : "tmdb", id_or_null(d, ext));
    yyjson_mut_obj_add_val(d, report.root, "library_id", id_or_null(d, library_id));
    yyjson_mut_obj_add_bool(d, report.root, "would_add", add != nullptr);
    plan_json(report, add);
    yyjson_mut_obj_add_val(d, report.root, "warnings", warnings_json(app, d));
    report.print(app);
}

std::string profile_text(const Plan &plan) {
    return "quality profile " + profile_name(plan.profile) + " (" + std::to_string(plan.profile) + ")";
}

// How an add leaves the item: as --monitor says.
std::string monitoring(int kind, bool on, int32_t season) {
    if (!on) return "unmonitored, no automatic search";
    if (kind == KOVA_RADARR) return "monitored, and Radarr searches for it";
    if (season == 0) return "all seasons monitored, and Sonarr searches for their episodes";
    return "season " + std::to_string(season) + " monitored, and Sonarr searches for its episodes";
}

int series_or_movie(const Options &o, const char *cmd) {
    int kind = o.args[0] == "series" ? KOVA_SONARR : o.args[0] == "movie" ? KOVA_RADARR : -1;
    if (kind < 0) usage_error(std::string(cmd) + ": series or movie, not " + o.args[0], cmd);
    return kind;
}

// Reads the service's root folders and quality profiles, and settles the
// root and profile of an add by id, as --yes and a dry run both do. Returns
// -1 when all is well, else the exit status (the reason printed).
int plan_add(App &app, int kind, Plan &plan) {
    const Options &o = app.o;
    const std::string name = service(kind).name;
    int32_t rc = run_test(app, kind, "reading " + name + " settings");
    // KOVA_ERR_EMPTY: no root folder or no profile, each said below.
    if (rc != KOVA_OK && rc != KOVA_ERR_EMPTY) return finish(app, rc);
    int32_t id = kova_quality_profile_find(o.has_profile ? o.profile.c_str() : nullptr);
    if (id < 0) return finish(app, id);
    plan.profile = id;

    // No --root, or an empty one, names the first root folder, as for get.
    plan.root = o.has_root && !o.root.empty() ? o.root : kova_rootfolder();
    if (plan.root.empty())
        return fail(app, EXIT_FAILED, KOVA_ERR_EMPTY, name + " has no root folder; give one with --root");
    int32_t i = kova_rootfolder_find(plan.root.c_str());
    if (i >= 0) {
        plan.root = kova_rootfolder_path(i);
    } else if (kova_rootfolder_count() > 0) {
        std::string list;
        for (int32_t k = 0; k < kova_rootfolder_count(); ++k) list += (k ? ", " : "") + std::string(kova_rootfolder_path(k));
        warn(app, plan.root + " is not one of " + name + "'s root folders (" + list + "): " + name + " may refuse it");
    }
    return -1;
}

}  // namespace

int cmd_add(App &app) {
    Options &o = app.o;
    if (o.args.size() != 2) return usage_error("add: want series|movie and a TVDB/TMDb id", "add");
    int kind = series_or_movie(o, "add");
    if (kind < 0) return EXIT_USAGE;
    int32_t ext = 0;
    if (!parse_int(o.args[1], 1, 2147483646, ext))
        return usage_error(std::string("add: the ") + (kind == KOVA_SONARR ? "TVDB" : "TMDb") + " id is a number, 1 or more", "add");
    if (!use_service(app, kind)) return EXIT_USAGE;
    Plan plan;
    int status = plan_add(app, kind, plan);
    if (status >= 0) return status;
    const char *what = kind == KOVA_SONARR ? "series with TVDB id" : "film with TMDb id";
    if (!o.yes) {
        if (o.json) {
            dry_run_json(app, kind, nullptr, ext, 0, &plan);
        } else {
            out::print(stdout, "Would add the %s %d to %s under %s with %s,\n"
                       "unmonitored and without an automatic search.\n%s\n",
                       what, ext, service(kind).name, plan.root, profile_text(plan),
                       ui::paint(ui::Tone::warn, "Nothing was changed: run again with --yes to add it."));
        }
        return EXIT_OK;
    }
    kova_arm_library_writes(1);
    int32_t rc = with_spinner(app, std::string("adding to ") + service(kind).name, [&] {
        return kind == KOVA_SONARR ? kova_sonarr_add_series(ext, plan.root.c_str(), plan.profile)
                                   : kova_radarr_add_movie(ext, plan.root.c_str(), plan.profile);
    });
    if (rc > 0) {
        if (o.json) {
            JsonOut report;
            yyjson_mut_obj_add_int(report.doc, report.root, "library_id", rc);
            plan_json(report, &plan);
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

namespace {

// The dry run's report: the item, whether it is in the library, and what
// --yes would do.
int show_dry_run(App &app, int kind, const Plan &plan, const std::string &target) {
    const Options &o = app.o;
    const int32_t m = kova_lookup_match(), lib = kova_get_library_id();
    const bool adding = kova_get_added() != 0;
    const std::string name = kova_lookup_title(m);
    if (o.json) {
        dry_run_json(app, kind, name.c_str(), kind == KOVA_SONARR ? kova_lookup_tvdb(m) : kova_lookup_tmdb(m), lib,
                     adding ? &plan : nullptr);
        return EXIT_OK;
    }
    std::string title = name;
    if (kova_lookup_year(m) > 0) title += " (" + std::to_string(kova_lookup_year(m)) + ")";
    if (!adding) {
        out::print(stdout, "%s is in %s's library (id %d).\nWould search releases for %s.\n", title, service(kind).name,
                   lib, target);
        if (kind == KOVA_SONARR)
            out::print(stdout, "Read-only: kova releases series %d --season %d%s%s\n", lib, o.season,
                       o.has_episode ? " --episode " + std::to_string(o.episode) : std::string(), o.exact ? " --exact" : "");
        else
            out::print(stdout, "Read-only: kova releases movie %d\n", lib);
    } else {
        out::print(stdout, "%s is not in %s's library.\nWould add it (%s) with %s\nin the folder %s,\n"
                   "then search releases for %s.\n",
                   title, service(kind).name, monitoring(kind, o.monitor, o.season), profile_text(plan), plan.path, target);
    }
    out::print(stdout, "%s\n", ui::paint(ui::Tone::warn, "Nothing was changed: run again with --yes to do it."));
    return EXIT_OK;
}

}  // namespace

int cmd_get(App &app) {
    Options &o = app.o;
    if (o.args.size() != 2) return usage_error("get: want series|movie and an IMDb id", "get");
    int kind = series_or_movie(o, "get");
    if (kind < 0) return EXIT_USAGE;
    std::string imdb;
    if (!imdb_arg(o.args[1], imdb, "get")) return EXIT_USAGE;
    if (kind == KOVA_SONARR && !o.has_season) return usage_error("get series: --season is required", "get");
    if (kind == KOVA_RADARR && (o.has_season || o.has_episode || o.has_title))
        return usage_error("get movie takes no --season/--episode/--title", "get");
    if (o.exact && !o.has_episode) return usage_error("get: --exact goes with --episode", "get");
    if (!use_service(app, kind)) return EXIT_USAGE;
    int32_t episode = o.has_episode ? o.episode : 0;
    char target[64];
    if (kind == KOVA_RADARR) snprintf(target, sizeof target, "the film");
    else if (episode > 0) snprintf(target, sizeof target, "S%02dE%02d", o.season, episode);
    else snprintf(target, sizeof target, "season %d", o.season);

    // Lookup, library, the root and profile of an add, the add, the release
    // search: one library call. The library asks for arming only when an
    // add is about to be sent.
    const int32_t flags = (o.yes ? 0 : KOVA_GET_DRY_RUN) | (o.exact ? KOVA_GET_EXACT : 0) |
                          (o.monitor ? KOVA_GET_MONITOR : 0);
    const char *profile = o.has_profile ? o.profile.c_str() : nullptr, *root = o.has_root ? o.root.c_str() : nullptr;
    if (o.yes) kova_arm_library_writes(1);
    int32_t rc = with_spinner(app, std::string(o.yes ? "getting from " : "looking up in ") + service(kind).name, [&] {
        return kind == KOVA_SONARR ? kova_sonarr_get(imdb.c_str(), o.has_title ? o.title.c_str() : nullptr, o.season,
                                                     episode, profile, root, flags)
                                   : kova_radarr_get(imdb.c_str(), profile, root, flags);
    });
    const bool ok = rc == KOVA_OK || rc == KOVA_PARTIAL;
    const int32_t lib = kova_get_library_id();
    const bool added = kova_get_added() != 0;
    const Plan plan{kova_get_root(), kova_get_profile_id(), kova_get_path()};
    // A failure before the item had a library id: the lookup, the root or
    // the profile, or the add.
    if (!ok && lib == 0) {
        if (!o.json && kova_lookup_match() < 0) show_lookup(kind);
        else if (!o.json && o.yes) print_log(app, "  ");
        return finish(app, rc);
    }
    if (!o.yes) return show_dry_run(app, kind, plan, target);

    const ReleaseSearch r{rc, kova_get_fallback() != 0};
    if (o.json) {
        JsonOut extra;
        yyjson_mut_obj_add_int(extra.doc, extra.root, "library_id", lib);
        yyjson_mut_obj_add_bool(extra.doc, extra.root, "added", added);
        if (added) yyjson_mut_obj_add_strcpy(extra.doc, extra.root, "path", plan.path.c_str());
        if (kind == KOVA_SONARR && episode > 0) yyjson_mut_obj_add_bool(extra.doc, extra.root, "whole_season", r.whole_season);
        print_result_json(app, o.limit, extra.doc);
        return finish(app, rc);
    }
    print_log(app, "  ");
    if (added)
        out::print(stdout, "  %s\n", ui::paint(ui::Tone::good, std::string("Added to ") + service(kind).name +
                                                        " as library id " + std::to_string(lib) + ", in " + plan.path));
    if (ok) show_releases(app, kind, r, o.season, episode);
    return finish(app, rc);
}

}  // namespace cli
