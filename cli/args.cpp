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
        if (name == "--json") { if (!flag(o.json)) return usage_error(name + " takes no value"); continue; }
        if (name == "--yes" || name == "-y") { if (!flag(o.yes)) return usage_error(name + " takes no value"); continue; }
        if (name == "--verbose" || name == "-v") { if (!flag(o.verbose)) return usage_error(name + " takes no value"); continue; }
        if (name == "--no-color") { if (!flag(o.no_color)) return usage_error(name + " takes no value"); continue; }
        if (name == "--exact") { if (!flag(o.exact)) return usage_error(name + " takes no value"); continue; }
        if (name == "--monitor") { if (!flag(o.monitor)) return usage_error(name + " takes no value"); continue; }
        if (name == "--man") { if (!flag(o.man)) return usage_error(name + " takes no value"); continue; }
        if (name == "--movie") { if (!flag(o.movie)) return usage_error(name + " takes no value"); continue; }
        if (name == "--tv") { if (!flag(o.tv)) return usage_error(name + " takes no value"); continue; }
        if (name == "--help" || name == "-h") { o.help = true; continue; }
        if (name == "--version") { o.version = true; continue; }

        const Option *known = find_option(name);
        if (!known || !known->value) return usage_error("unknown option " + name, command.empty() ? nullptr : command.c_str());
        if (!has_value) {
            if (i + 1 >= argv.size()) return usage_error(name + " needs a value");
            value = argv[++i];
        }
        if (name == "--config") o.config_path = value;
        else if (name == "--timeout") {
            if (!parse_int(value, 1, 86400000, o.timeout_ms)) return usage_error("--timeout wants milliseconds, 1 or more");
        } else if (name == "--deadline") {
            if (!parse_int(value, 1, 86400000, o.deadline_ms)) return usage_error("--deadline wants milliseconds, 1 or more");
        } else if (name == "--imdb") { o.imdb = value; o.has_imdb = true; }
        else if (name == "--title") { o.title = value; o.has_title = true; }
        else if (name == "--query") { o.query = value; o.has_query = true; }
        else if (name == "--root") { o.root = value; o.has_root = true; }
        else if (name == "--profile") { o.profile = value; o.has_profile = true; }
        else if (name == "--completion") o.completion = value;
        else if (name == "--via") o.via = value;
        else if (name == "--season") {
            if (!parse_int(value, 0, 100000, o.season)) return usage_error("--season wants a number, 0 or more");
            o.has_season = true;
        } else if (name == "--episode") {
            if (!parse_int(value, 0, 100000, o.episode)) return usage_error("--episode wants a number, 0 or more");
            o.has_episode = true;
        } else if (name == "--grab") {
            if (!parse_int(value, 1, 1000000000, o.grab)) return usage_error("--grab wants a release number, 1 or more");
            o.has_grab = true;
        } else if (name == "--limit") {
            if (!parse_int(value, 0, 1000000000, o.limit)) return usage_error("--limit wants a number, 0 or more");
        }
    }
    return -1;
}

int check_options(const Options &o, const Command &c) {
    std::string allowed = std::string(" ") + c.options + " ";
    struct { bool set; const char *name; } used[] = {
        {o.has_imdb, "imdb"}, {o.has_title, "title"}, {o.has_query, "query"}, {o.has_root, "root"},
        {o.has_profile, "profile"}, {o.has_season, "season"}, {o.has_episode, "episode"},
        {o.yes, "yes"}, {o.limit != 0, "limit"}, {o.has_grab, "grab"}, {o.exact, "exact"},
        {o.monitor, "monitor"}, {o.movie, "movie"}, {o.tv, "tv"}, {!o.via.empty(), "via"},
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
    size_t digits = text.rfind("tt", 0) == 0 ? 2 : 0;
    bool ok = text.size() > digits && text.size() - digits <= 12;
    for (size_t i = digits; ok && i < text.size(); ++i) ok = text[i] >= '0' && text[i] <= '9';
    // Leading zeros do not count: IMDb numbers start at 1.
    size_t first = ok ? text.find_first_not_of('0', digits) : std::string::npos;
    if (first == std::string::npos) {
        usage_error(std::string(cmd) + ": \"" + text + "\" is not an IMDb id (tt and digits, e.g. tt0063350)", cmd);
        return false;
    }
    std::string number = text.substr(first);
    out = "tt" + std::string(number.size() < 7 ? 7 - number.size() : 0, '0') + number;
    return true;
}

std::string join(const std::vector<std::string> &words, size_t from) {
    std::string s;
    for (size_t i = from; i < words.size(); ++i) s += (s.empty() ? "" : " ") + words[i];
    return s;
}

}  // namespace cli
