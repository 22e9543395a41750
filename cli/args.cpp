// The command line of the kova command-line host: options anywhere on it,
// the command and its words, and the checks of the arguments several
// commands take (numbers, IMDb ids, SERVICE).
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include <strings.h>

#include "cli.h"

namespace cli {

int usage_error(const std::string &msg, const char *cmd) {
    out::print(stderr, "kova: %s\n", msg.c_str());
    if (cmd) out::print(stderr, "Try 'kova %s --help'.\n", cmd);
    else out::print(stderr, "Try 'kova --help'.\n");
    return EXIT_USAGE;
}

bool parse_int(const std::string &s, int32_t lo, int32_t hi, int32_t &out) {
    if (s.empty()) return false;
    char *end = nullptr;
    errno = 0;
    long long v = strtoll(s.c_str(), &end, 10);
    if (errno || *end || v < lo || v > hi) return false;
    out = static_cast<int32_t>(v);
    return true;
}

int parse_args(const std::vector<std::string> &argv, Options &o, std::string &command) {
    bool only_words = false;
    // The first bad value, said once the command is known, with its help.
    std::string bad;
    auto defer = [&bad](const std::string &msg) {
        if (bad.empty()) bad = msg;
    };
    for (size_t i = 1; i < argv.size(); ++i) {
        const std::string &a = argv[i];
        if (only_words || a.size() < 2 || a[0] != '-' || a == "-") {
            if (command.empty()) command = a;
            else o.args.push_back(a);
            continue;
        }
        if (a == "--") { only_words = true; continue; }
        std::string name = a, value;
        bool has_value = false;
        size_t eq = a.find('=');
        if (a.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
            has_value = true;
        }
        auto flag = [&](bool &f) {
            if (has_value) return false;
            f = true;
            return true;
        };
        if (name == "--json") { if (!flag(o.json)) defer(name + " takes no value"); continue; }
        if (name == "--yes" || name == "-y") { if (!flag(o.yes)) defer(name + " takes no value"); continue; }
        if (name == "--verbose" || name == "-v") { if (!flag(o.verbose)) defer(name + " takes no value"); continue; }
        if (name == "--no-color") { if (!flag(o.no_color)) defer(name + " takes no value"); continue; }
        if (name == "--exact") { if (!flag(o.exact)) defer(name + " takes no value"); continue; }
        if (name == "--monitor") { if (!flag(o.monitor)) defer(name + " takes no value"); continue; }
        if (name == "--man") { if (!flag(o.man)) defer(name + " takes no value"); continue; }
        if (name == "--movie") { if (!flag(o.movie)) defer(name + " takes no value"); continue; }
        if (name == "--tv") { if (!flag(o.tv)) defer(name + " takes no value"); continue; }
        if (name == "--watch") { if (!flag(o.watch)) defer(name + " takes no value"); continue; }
        if (name == "--series") { if (!flag(o.series)) defer(name + " takes no value"); continue; }
        if (name == "--movies") { if (!flag(o.movies)) defer(name + " takes no value"); continue; }
        if (name == "--help" || name == "-h") { o.help = true; continue; }
        if (name == "--version") { o.version = true; continue; }

        const Option *known = find_option(name);
        if (!known || !known->value) { defer("unknown option " + name); continue; }
        if (!has_value) {
            if (i + 1 >= argv.size()) { defer(name + " needs a value"); continue; }
            value = argv[++i];
        }
        if (name == "--config") o.config_path = value;
        else if (name == "--timeout") {
            if (!parse_int(value, 1, 86400000, o.timeout_ms)) defer("--timeout wants milliseconds, 1 or more");
        } else if (name == "--deadline") {
            if (!parse_int(value, 1, 86400000, o.deadline_ms)) defer("--deadline wants milliseconds, 1 or more");
        } else if (name == "--imdb") { o.imdb = value; o.has_imdb = true; }
        else if (name == "--title") { o.title = value; o.has_title = true; }
        else if (name == "--query") { o.query = value; o.has_query = true; }
        else if (name == "--root") { o.root = value; o.has_root = true; }
        else if (name == "--profile") { o.profile = value; o.has_profile = true; }
        else if (name == "--completion") o.completion = value;
        else if (name == "--via") o.via = value;
        else if (name == "--instance") o.instance = value;
        else if (name == "--season") {
            if (!parse_int(value, 0, 100000, o.season)) defer("--season wants a number, 0 or more");
            o.has_season = true;
        } else if (name == "--episode") {
            if (!parse_int(value, 0, 100000, o.episode)) defer("--episode wants a number, 0 or more");
            o.has_episode = true;
        } else if (name == "--grab") {
            if (!parse_int(value, 1, 1000000000, o.grab)) defer("--grab wants a release number, 1 or more");
            o.has_grab = true;
        } else if (name == "--limit") {
            if (!parse_int(value, 0, 1000000000, o.limit)) defer("--limit wants a number, 0 or more");
        } else if (name == "--interval") {
            if (!parse_int(value, 1, 86400, o.interval)) defer("--interval wants seconds, 1 or more");
            o.has_interval = true;
        } else if (name == "--count") {
            if (!parse_int(value, 1, 1000000000, o.count)) defer("--count wants a number, 1 or more");
            o.has_count = true;
        } else if (name == "--days") {
            // How many the library takes in one span, it says itself.
            if (!parse_int(value, 1, 100000, o.days)) defer("--days wants a number, 1 or more");
            o.has_days = true;
        } else if (name == "--from") {
            o.from = value;
            o.has_from = true;
        }
    }
    if (bad.empty()) return -1;
    return cli::usage_error(bad, find_command(command) ? command.c_str() : nullptr);
}

int check_options(const Options &o, const Command &c) {
    std::string allowed = std::string(" ") + c.options + " ";
    struct { bool set; const char *name; } used[] = {
        {o.has_imdb, "imdb"}, {o.has_title, "title"}, {o.has_query, "query"}, {o.has_root, "root"},
        {o.has_profile, "profile"}, {o.has_season, "season"}, {o.has_episode, "episode"},
        {o.yes, "yes"}, {o.limit != 0, "limit"}, {o.has_grab, "grab"}, {o.exact, "exact"},
        {o.monitor, "monitor"}, {o.movie, "movie"}, {o.tv, "tv"}, {!o.via.empty(), "via"},
        {o.watch, "watch"}, {o.has_interval, "interval"}, {o.has_count, "count"}, {o.has_days, "days"},
        {o.has_from, "from"}, {o.series, "series"}, {o.movies, "movies"},
    };
    for (const auto &u : used)
        if (u.set && allowed.find(std::string(" ") + u.name + " ") == std::string::npos)
            return usage_error(std::string("kova ") + c.name + " takes no --" + u.name, c.name);
    return -1;
}

int service_arg(const std::string &s) {
    if (s.empty() || strcasecmp(s.c_str(), "all") == 0) return k_all_services;
    for (const auto &svc : k_services)
        if (strcasecmp(s.c_str(), svc.lower) == 0) return svc.kind;
    return -1;
}

bool imdb_arg(const std::string &text, std::string &out, const char *cmd) {
    // The library's own reading of an id: "tt" (any case) and digits, or
    // digits alone; its number without leading zeros, "" for anything else.
    const std::string number = kova_imdb_numeric(text.c_str());
    if (number.empty()) {
        usage_error(std::string(cmd) + ": \"" + text + "\" is not an IMDb id (tt and digits, or digits alone: tt0063350, 63350)", cmd);
        return false;
    }
    // As the services write it: at least seven digits.
    out = "tt" + std::string(number.size() < 7 ? 7 - number.size() : 0, '0') + number;
    return true;
}

bool imdb_like(const std::string &word) {
    return word.size() >= 2 && (word[0] == 't' || word[0] == 'T') && (word[1] == 't' || word[1] == 'T');
}

std::string join(const std::vector<std::string> &words, size_t from) {
    std::string s;
    for (size_t i = from; i < words.size(); ++i) s += (s.empty() ? "" : " ") + words[i];
    return s;
}

}  // namespace cli
