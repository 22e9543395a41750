// kova: a command-line host for the kova library. It reads one JSON
// configuration file, installs an HTTP transport per service (libcurl on
// Linux, WinHTTP on Windows) and runs the library's operations, printing
// readable tables or, with --json, the library's own JSON.
#include <yyjson.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include <strings.h>

#include "cli.h"
#include "sys.h"

namespace cli {

const char *const k_service[3] = {"Jackett", "Sonarr", "Radarr"};
namespace {
const char *const k_lower[3] = {"jackett", "sonarr", "radarr"};
const char *const k_runtime[3] = {"JACKETT", "SONARR", "RADARR"};

// ---------------------------------------------------------------------------
// Help texts. "@HTTP@" stands for the transport's name and "@CONFIG@" for
// where the configuration is looked for, both of which depend on the platform.
// ---------------------------------------------------------------------------
const char k_usage[] =
    "usage: kova [options] <command> [arguments]\n"
    "\n"
    "Talks to Jackett, Sonarr and Radarr through the kova library.\n"
    "\n"
    "commands:\n"
    "  demo                          the whole chain against built-in fake services\n"
    "  config check [SERVICE|all]    validate the configured services\n"
    "  test [SERVICE|all]            run the connection tests\n"
    "  search QUERY...               Jackett search by free query\n"
    "  search --imdb ID [--title T] [--query Q]\n"
    "                                staged Jackett search: IMDb id, title, query\n"
    "  lookup series|movie ...       look a series or film up in Sonarr/Radarr\n"
    "  releases series|movie ID ...  releases Sonarr/Radarr find for a library item\n"
    "  add series|movie ID ...       add to the library (only with --yes)\n"
    "  get series|movie IMDB ...     search-or-add: lookup, add if needed, releases\n"
    "  parse jackett|releases|torznab FILE\n"
    "                                read a saved answer offline\n"
    "  version                       versions of kova and @HTTP@\n"
    "\n"
    "options (any command):\n"
    "  --config FILE     configuration (default: @CONFIG@)\n"
    "  --json            print JSON instead of tables\n"
    "  --timeout MS      request time-out in milliseconds (default 100000)\n"
    "  --verbose, -v     log each HTTP request on stderr (API keys redacted)\n"
    "  --no-color        no colours (also: NO_COLOR=1, or output not a terminal)\n"
    "  --help, -h        help; 'kova COMMAND --help' for a command\n"
    "\n"
    "exit status: 0 success (also partial success), 1 the operation failed,\n"
    "2 usage or configuration error.\n";

struct Command {
    const char *name;
    const char *usage;
    const char *options;  // the command's own options, space-separated
};

const Command k_commands[] = {
    {"demo",
     "usage: kova demo [--json]\n\n"
     "Runs the whole chain against built-in fake services: no configuration, no\n"
     "network. Shows the connection tests, a staged Jackett search, a Sonarr\n"
     "search-or-add of an episode, a Radarr search-or-add of a film already in\n"
     "the library, and the JSON result document. --json prints only the document.\n",
     ""},
    {"config",
     "usage: kova config check [jackett|sonarr|radarr|all]\n\n"
     "Validates each configured service through the library's settings handler:\n"
     "the service is reached, its key checked, and the normalised URL printed, or\n"
     "the error with its answer code (-1 key rejected, -2 not found, -3 too many\n"
     "requests, -4 unreachable, -5 unexpected answer, -8 invalid settings).\n",
     ""},
    {"test",
     "usage: kova test [jackett|sonarr|radarr|all]\n\n"
     "Runs the connection tests and prints their log: Jackett lists its configured\n"
     "indexers; Sonarr and Radarr report their root folder and quality profiles.\n",
     ""},
    {"search",
     "usage: kova search QUERY...\n"
     "       kova search --imdb ID [--title TITLE] [--query QUERY]\n\n"
     "Searches Jackett. With --imdb the search runs in stages: the IMDb id, then\n"
     "the title (dropping rows of other IMDb ids), then the query; it stops at\n"
     "the first stage with results.\n\n"
     "  --limit N     print at most N rows (0: all)\n",
     "imdb title query limit"},
    {"lookup",
     "usage: kova lookup series [--imdb ID] [--title TITLE]\n"
     "       kova lookup series ID_OR_TITLE\n"
     "       kova lookup movie IMDB_ID\n\n"
     "Looks a series up in Sonarr (by IMDb id, then title) or a film up in Radarr\n"
     "(by IMDb id) and lists what the service knows; '*' marks the match.\n",
     "imdb title"},
    {"releases",
     "usage: kova releases series SERIES_ID --season S [--episode E]\n"
     "       kova releases movie MOVIE_ID\n\n"
     "Lists the releases Sonarr finds for an episode (or a whole season without\n"
     "--episode) of a library series, or Radarr for a library film. IDs are\n"
     "library ids (see 'kova get' or the services' web pages).\n\n"
     "  --limit N     print at most N rows (0: all)\n",
     "season episode limit"},
    {"add",
     "usage: kova add series TVDB_ID [--root PATH] [--profile NAME|ID] [--yes]\n"
     "       kova add movie TMDB_ID [--root PATH] [--profile NAME|ID] [--yes]\n\n"
     "Adds a series to Sonarr or a film to Radarr, unmonitored and without an\n"
     "automatic search. Without --yes it only says what it would do.\n"
     "--root defaults to the service's first root folder, --profile to its first\n"
     "quality profile.\n",
     "root profile yes"},
    {"get",
     "usage: kova get series IMDB_ID --season S [--episode E] [--title T] [--profile P] [--yes]\n"
     "       kova get movie IMDB_ID [--profile P] [--yes]\n\n"
     "Search-or-add: looks the item up, finds it in the library or adds it there,\n"
     "then lists the releases for the episode (whole season without --episode)\n"
     "or the film. Library writes happen only with --yes; without it the command\n"
     "says what it would do and stops.\n\n"
     "  --limit N     print at most N rows (0: all)\n",
     "season episode title profile yes limit"},
    {"parse",
     "usage: kova parse jackett|releases|torznab FILE\n\n"
     "Reads an answer saved earlier ('-' for standard input) without any network:\n"
     "a Jackett results answer, a Sonarr/Radarr release list, or a Torznab\n"
     "indexer list.\n\n"
     "  --limit N     print at most N rows (0: all)\n",
     "limit"},
    {"version", "usage: kova version\n\nPrints the versions of kova, its library and @HTTP@.\n", ""},
    {"help", "usage: kova help [COMMAND]\n", ""},
};

std::string help_text(const char *text) {
    std::string s = text;
    auto put = [&s](const char *mark, const char *value) {
        for (size_t at = s.find(mark); at != std::string::npos; at = s.find(mark, at + strlen(value)))
            s.replace(at, strlen(mark), value);
    };
    put("@HTTP@", net::name());
    put("@CONFIG@", sys::config_lookup_help());
    return s;
}

const Command *find_command(const std::string &name) {
    for (const auto &c : k_commands)
        if (name == c.name) return &c;
    return nullptr;
}

int usage_error(const std::string &msg, const char *cmd = nullptr) {
    out::print(stderr, "kova: %s\n", msg.c_str());
    if (cmd) out::print(stderr, "Try 'kova %s --help'.\n", cmd);
    else out::print(stderr, "Try 'kova --help'.\n");
    return EXIT_USAGE;
}

// ---------------------------------------------------------------------------
// Argument parsing
// ---------------------------------------------------------------------------
bool parse_int(const std::string &s, int32_t lo, int32_t hi, int32_t &out) {
    if (s.empty()) return false;
    char *end = nullptr;
    errno = 0;
    long long v = strtoll(s.c_str(), &end, 10);
    if (errno || *end || v < lo || v > hi) return false;
    out = static_cast<int32_t>(v);
    return true;
}

// Parses everything after the program name: options anywhere, the command
// and its positional words. Returns -1 on success, else an exit status.
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
        if (name == "--help" || name == "-h") { o.help = true; continue; }
        if (name == "--version") { o.version = true; continue; }

        static const char *with_value[] = {"--config", "--timeout", "--imdb", "--title", "--query", "--season",
                                           "--episode", "--root", "--profile", "--limit"};
        bool known = false;
        for (const char *w : with_value) known = known || name == w;
        if (!known) return usage_error("unknown option " + name, command.empty() ? nullptr : command.c_str());
        if (!has_value) {
            if (i + 1 >= argv.size()) return usage_error(name + " needs a value");
            value = argv[++i];
        }
        if (name == "--config") o.config_path = value;
        else if (name == "--timeout") {
            if (!parse_int(value, 1, 86400000, o.timeout_ms)) return usage_error("--timeout wants milliseconds, 1 or more");
        } else if (name == "--imdb") { o.imdb = value; o.has_imdb = true; }
        else if (name == "--title") { o.title = value; o.has_title = true; }
        else if (name == "--query") { o.query = value; o.has_query = true; }
        else if (name == "--root") { o.root = value; o.has_root = true; }
        else if (name == "--profile") { o.profile = value; o.has_profile = true; }
        else if (name == "--season") {
            if (!parse_int(value, 0, 100000, o.season)) return usage_error("--season wants a number, 0 or more");
            o.has_season = true;
        } else if (name == "--episode") {
            if (!parse_int(value, 0, 100000, o.episode)) return usage_error("--episode wants a number, 0 or more");
            o.has_episode = true;
        } else if (name == "--limit") {
            if (!parse_int(value, 0, 1000000000, o.limit)) return usage_error("--limit wants a number, 0 or more");
        }
    }
    return -1;
}

// Refuses options that the command does not take.
int check_options(const Options &o, const Command &c) {
    std::string allowed = std::string(" ") + c.options + " ";
    struct { bool set; const char *name; } used[] = {
        {o.has_imdb, "imdb"}, {o.has_title, "title"}, {o.has_query, "query"}, {o.has_root, "root"},
        {o.has_profile, "profile"}, {o.has_season, "season"}, {o.has_episode, "episode"},
        {o.yes, "yes"}, {o.limit != 0, "limit"},
    };
    for (const auto &u : used)
        if (u.set && allowed.find(std::string(" ") + u.name + " ") == std::string::npos)
            return usage_error(std::string("kova ") + c.name + " takes no --" + u.name, c.name);
    return -1;
}

// "jackett" -> 0 ...; "all" or "" -> 3; -1 when unknown.
int service_arg(const std::string &s) {
    if (s.empty() || strcasecmp(s.c_str(), "all") == 0) return 3;
    for (int k = 0; k < 3; ++k)
        if (strcasecmp(s.c_str(), k_lower[k]) == 0) return k;
    return -1;
}

// The library reports a failed exchange as "transport failure" and never
// reads the transport's own text; the CLI keeps the transport's last reason
// (already redacted) to show it next to the library's message.
std::string g_transport_reason;
bool g_verbose = false;

void log_request(void *, const char *line) {
    if (g_verbose) out::print(stderr, "kova: %s\n", line);
    const char *f = strstr(line, " -> failed after ");
    if (f) {
        const char *why = strstr(f, " ms: ");
        g_transport_reason = why ? why + 5 : f + 4;
    }
}

std::string join(const std::vector<std::string> &words, size_t from) {
    std::string s;
    for (size_t i = from; i < words.size(); ++i) s += (s.empty() ? "" : " ") + words[i];
    return s;
}

// ---------------------------------------------------------------------------
// JSON output helpers (yyjson mutable documents)
// ---------------------------------------------------------------------------
struct JsonOut {
    yyjson_mut_doc *doc = yyjson_mut_doc_new(nullptr);
    yyjson_mut_val *root = nullptr;
    JsonOut() { root = yyjson_mut_obj(doc); yyjson_mut_doc_set_root(doc, root); }
    ~JsonOut() { yyjson_mut_doc_free(doc); }
    void print() const {
        char *s = yyjson_mut_write(doc, 0, nullptr);
        out::print(stdout, "%s\n", s ? s : "{}");
        free(s);
    }
};

yyjson_mut_val *log_json(yyjson_mut_doc *d) {
    yyjson_mut_val *arr = yyjson_mut_arr(d);
    for (int32_t i = 0; i < kova_test_log_count(); ++i) {
        yyjson_mut_val *e = yyjson_mut_arr_add_obj(d, arr);
        yyjson_mut_obj_add_strcpy(d, e, "key", kova_test_log_key(i));
        yyjson_mut_obj_add_strcpy(d, e, "text", kova_test_log_text(i));
    }
    return arr;
}

yyjson_mut_val *warnings_json(yyjson_mut_doc *d) {
    yyjson_mut_val *arr = yyjson_mut_arr(d);
    for (int32_t i = 0; i < kova_warning_count(); ++i) yyjson_mut_arr_add_strcpy(d, arr, kova_warning(i));
    return arr;
}

void outcome_json(yyjson_mut_doc *d, yyjson_mut_val *obj, int32_t rc) {
    yyjson_mut_obj_add_int(d, obj, "rc", rc);
    yyjson_mut_obj_add_strcpy(d, obj, "result", kova_strerror(rc));
    yyjson_mut_obj_add_strcpy(d, obj, "error", rc == KOVA_OK ? "" : kova_last_error());
    yyjson_mut_obj_add_int(d, obj, "http_code", kova_last_http_code());
    if (rc == KOVA_ERR_TRANSPORT && !g_transport_reason.empty())
        yyjson_mut_obj_add_strcpy(d, obj, "transport_error", g_transport_reason.c_str());
}

}  // namespace

// ---------------------------------------------------------------------------
// Shared pieces
// ---------------------------------------------------------------------------
App::~App() {
    kova_set_io(nullptr);
    for (auto *t : transport) net::close(t);
}

namespace {

// The transport for one configured service, with its URL base, TLS and proxy
// settings. Prints why when it cannot be made.
net::Transport *open_transport(const App &app, int kind) {
    const cfg::Service &s = app.conf.svc[kind];
    // Once per service and run: a CAFile the platform's transport cannot use.
    static bool warned[3];
    const char *ignored = net::ca_file_ignored();
    if (!s.ca_file.empty() && ignored && !warned[kind]) {
        warned[kind] = true;
        out::print(stderr, "kova: warning: %s.CAFile is not used: %s\n", k_service[kind], ignored);
    }
    net::Options o;
    o.insecure = s.insecure;
    o.ca_file = s.ca_file;
    o.url_base = s.url_base;
    o.has_proxy = app.conf.has_proxy;
    o.proxy = app.conf.proxy;
    o.log = log_request;
    std::string err;
    net::Transport *t = net::open(o, err);
    if (!t) out::print(stderr, "kova: %s\n", err.c_str());
    return t;
}

}  // namespace

bool use_service(App &app, int kind) {
    if (app.demo) {
        kova_use_fake();
        return true;
    }
    const cfg::Service &s = app.conf.svc[kind];
    if (!app.ready[kind]) {
        if (!s.present) {
            out::print(stderr, "kova: %s is not configured: add a \"%s\" object to %s (see 'kova config --help')\n",
                      k_service[kind], k_service[kind], app.conf.path.c_str());
            return false;
        }
        app.transport[kind] = open_transport(app, kind);
        if (!app.transport[kind]) return false;
        static int32_t (*const configure[3])(const char *, int32_t, int32_t, const char *) = {
            kova_jackett_configure, kova_sonarr_configure, kova_radarr_configure};
        int32_t rc = configure[kind](s.host.c_str(), s.port, s.https ? 1 : 0, s.api_key.c_str());
        if (rc != KOVA_OK) {
            out::print(stderr, "kova: %s (in %s)\n", kova_last_error(), app.conf.path.c_str());
            return false;
        }
        app.ready[kind] = true;
    }
    kova_set_io(net::io(app.transport[kind]));
    return true;
}

int finish(int32_t rc) {
    if (rc == KOVA_OK || rc == KOVA_PARTIAL) return EXIT_OK;
    const char *e = kova_last_error();
    out::print(stderr, "kova: %s\n", e && e[0] ? e : kova_strerror(rc));
    if (rc == KOVA_ERR_TRANSPORT && !g_transport_reason.empty())
        out::print(stderr, "kova: the transport said: %s\n", g_transport_reason.c_str());
    return EXIT_FAILED;
}

void print_log(const std::string &indent) {
    size_t w = 0;
    for (int32_t i = 0; i < kova_test_log_count(); ++i) w = std::max(w, strlen(kova_test_log_key(i)));
    for (int32_t i = 0; i < kova_test_log_count(); ++i) {
        std::string key = kova_test_log_key(i);
        key.resize(w, ' ');
        out::print(stdout, "%s%s  %s\n", indent.c_str(), ui::paint(ui::Tone::dim, key).c_str(), kova_test_log_text(i));
    }
}

void print_warnings(const std::string &indent) {
    for (int32_t i = 0; i < kova_warning_count(); ++i)
        out::print(stdout, "%s%s %s\n", indent.c_str(), ui::paint(ui::Tone::warn, "warning:").c_str(), kova_warning(i));
}

int32_t show_test(App &app, int kind) {
    static int32_t (*const test[3])() = {kova_jackett_test, kova_sonarr_test, kova_radarr_test};
    int32_t rc = with_spinner(std::string("testing ") + k_service[kind], test[kind]);
    std::string url = kova_base_url(kind);
    if (!app.demo && !app.conf.svc[kind].url_base.empty()) {
        std::string b = app.conf.svc[kind].url_base;
        if (b[0] != '/') b = "/" + b;
        url += b;
    }
    out::print(stdout, "%s  %s\n", ui::paint(ui::Tone::bold, k_service[kind]).c_str(), url.c_str());
    print_log("    ");
    print_warnings("    ");
    if (rc == KOVA_OK || rc == KOVA_PARTIAL)
        out::print(stdout, "    %s\n", ui::paint(ui::Tone::good, std::string("\xe2\x9c\x93 ") + kova_strerror(rc)).c_str());
    else
        out::print(stdout, "    %s %s\n", ui::paint(ui::Tone::bad, std::string("\xe2\x9c\x97 ") + kova_strerror(rc)).c_str(),
                   kova_last_error());
    return rc;
}

void show_results(bool releases, int32_t rc, int limit) {
    int32_t n = kova_result_count();
    ui::Table t;
    t.head = {"#", "Title", releases ? "Indexer" : "Tracker", "Size", "S/P", "Age", "FL",
              releases ? "S/E" : "Categories"};
    t.right = {true, false, false, true, true, true, false, false};
    int32_t shown = limit > 0 && limit < n ? limit : n;
    for (int32_t i = 0; i < shown; ++i) {
        uint64_t size = 0;
        std::string sz = kova_result_size(i, &size) == 0 ? ui::human_size(size) : "-";
        int32_t s = kova_result_seeders(i), p = kova_result_peers(i);
        std::string sp = (s < 0 ? std::string("-") : std::to_string(s)) + "/" + (p < 0 ? std::string("-") : std::to_string(p));
        int32_t dvf = kova_result_download_volume_factor(i);
        ui::Cell fl{dvf == 0 ? "FL" : dvf > 0 && dvf < 1000 ? std::to_string(dvf / 10) + "%" : "", ui::Tone::good};
        std::string last;
        if (releases) {
            char se[32] = "";
            int32_t season = kova_result_season(i), ep = kova_result_episode(i);
            if (season >= 0 && (kova_result_full_season(i) || ep < 0)) snprintf(se, sizeof se, "S%02d", season);
            else if (season >= 0) snprintf(se, sizeof se, "S%02dE%02d", season, ep);
            last = se;
        } else {
            for (int32_t j = 0; j < kova_result_category_count(i); ++j)
                last += (j ? "," : "") + std::to_string(kova_result_category(i, j));
        }
        ui::Tone st = s > 0 ? ui::Tone::good : s == 0 ? ui::Tone::bad : ui::Tone::plain;
        t.rows.push_back({{std::to_string(i + 1), ui::Tone::dim},
                          {kova_result_title(i), ui::Tone::plain},
                          {kova_result_tracker(i), ui::Tone::accent},
                          {sz, ui::Tone::plain},
                          {sp, st},
                          {ui::age(kova_result_publish_date(i)), ui::Tone::plain},
                          fl,
                          {last, ui::Tone::dim}});
    }
    if (n > 0) t.print(stdout);
    if (shown < n) out::print(stdout, "  %s\n", ui::paint(ui::Tone::dim, "... " + std::to_string(n - shown) + " more (--limit 0 shows all)").c_str());

    if (!releases && kova_indexer_count() > 0) {
        std::string line;
        for (int32_t i = 0; i < kova_indexer_count(); ++i) {
            std::string name = kova_indexer_name(i)[0] ? kova_indexer_name(i) : kova_indexer_id(i);
            std::string item;
            if (kova_indexer_status(i) == 1) {
                item = ui::paint(ui::Tone::bad, name + " failed");
                if (kova_indexer_error(i)[0]) item += ": " + std::string(kova_indexer_error(i));
            } else {
                item = name + " (" + std::to_string(kova_indexer_results(i)) + ")";
            }
            line += (line.empty() ? "" : ", ") + item;
        }
        out::print(stdout, "  indexers: %s\n", line.c_str());
    }
    print_warnings("  ");
    if (rc == KOVA_PARTIAL) out::print(stdout, "  %s %s\n", ui::paint(ui::Tone::warn, "partial:").c_str(), kova_last_error());
}

void show_lookup(int kind) {
    ui::Table t;
    t.head = {"", "#", "Title", "Year", "IMDb", kind == KOVA_SONARR ? "TVDB" : "TMDb", "In library"};
    t.right = {false, true, false, true, false, true, false};
    int32_t m = kova_lookup_match();
    for (int32_t i = 0; i < kova_lookup_count(); ++i) {
        int32_t ext = kind == KOVA_SONARR ? kova_lookup_tvdb(i) : kova_lookup_tmdb(i);
        int32_t lib = kova_lookup_library_id(i);
        t.rows.push_back({{i == m ? "*" : "", ui::Tone::good},
                          {std::to_string(i + 1), ui::Tone::dim},
                          {kova_lookup_title(i), i == m ? ui::Tone::bold : ui::Tone::plain},
                          {kova_lookup_year(i) > 0 ? std::to_string(kova_lookup_year(i)) : "-", ui::Tone::plain},
                          {kova_lookup_imdb(i), ui::Tone::plain},
                          {ext > 0 ? std::to_string(ext) : "-", ui::Tone::plain},
                          {lib > 0 ? "id " + std::to_string(lib) : "no", lib > 0 ? ui::Tone::good : ui::Tone::dim}});
    }
    t.elastic = 2;
    if (!t.rows.empty()) t.print(stdout);
}

void print_result_json() { out::print(stdout, "%s\n", kova_result_json()); }

namespace {

// ---------------------------------------------------------------------------
// Commands
// ---------------------------------------------------------------------------
const char *answer_meaning(int32_t code) {
    switch (code) {
    case 0: return "valid";
    case -1: return "key rejected";
    case -2: return "not found";
    case -3: return "too many requests";
    case -4: return "unreachable";
    case -5: return "unexpected answer";
    case -8: return "invalid settings";
    case -9: return "answer too long";
    default: return "error";
    }
}

int cmd_config(App &app) {
    const Options &o = app.o;
    if (o.args.empty() || o.args[0] != "check")
        return usage_error(o.args.empty() ? "config: which action? (check)" : "config: unknown action " + o.args[0], "config");
    if (o.args.size() > 2) return usage_error("config check: too many arguments", "config");
    int which = service_arg(o.args.size() > 1 ? o.args[1] : "");
    if (which < 0) return usage_error("config check: unknown service " + o.args[1], "config");
    if (!app.conf.found) {
        out::print(stderr, "kova: no configuration file at %s (see 'kova config --help' and docs/cli.md)\n", app.conf.path.c_str());
        return EXIT_USAGE;
    }
    if (app.conf.loose_mode && !o.json)
        out::print(stderr, "kova: warning: %s is readable by other users and holds API keys (chmod 600 it)\n",
                  app.conf.path.c_str());

    JsonOut report;
    int failures = 0, checked = 0;
    for (int k = 0; k < 3; ++k) {
        if (which != 3 && which != k) continue;
        const cfg::Service &s = app.conf.svc[k];
        std::string name = k_service[k];
        name.resize(8, ' ');
        if (!s.present) {
            if (which == k) {
                out::print(stderr, "kova: %s is not configured in %s\n", k_service[k], app.conf.path.c_str());
                return EXIT_USAGE;
            }
            if (!o.json) out::print(stdout, "%s %s\n", name.c_str(), ui::paint(ui::Tone::dim, "-      not configured").c_str());
            continue;
        }
        ++checked;
        // The settings object the handler reads: texts only, as a host stores them.
        yyjson_mut_doc *d = yyjson_mut_doc_new(nullptr);
        yyjson_mut_val *obj = yyjson_mut_obj(d);
        yyjson_mut_doc_set_root(d, obj);
        yyjson_mut_obj_add_strcpy(d, obj, "Host", s.host.c_str());
        yyjson_mut_obj_add_strcpy(d, obj, "APIKey", s.api_key.c_str());
        yyjson_mut_obj_add_str(d, obj, "UseHttps", s.https ? "true" : "false");
        if (!s.port_text.empty()) yyjson_mut_obj_add_strcpy(d, obj, "Port", s.port_text.c_str());
        if (!s.id.empty()) yyjson_mut_obj_add_strcpy(d, obj, "ID", s.id.c_str());
        char *settings = yyjson_mut_write(d, 0, nullptr);
        yyjson_mut_doc_free(d);

        // The transport of this service (URL base, CA, insecure) serves the check.
        g_transport_reason.clear();
        net::Transport *tr = open_transport(app, k);
        std::vector<char> answer(8192, '\0');
        const kova_handler *h = kova_rtchk_handler(k_runtime[k]);
        int32_t code = -8;
        if (h && tr && settings) {
            code = with_spinner("checking " + std::string(k_service[k]), [&] {
                return h->validate(net::io(tr), settings, answer.data(), static_cast<int32_t>(answer.size()));
            });
        }
        net::close(tr);
        free(settings);

        yyjson_doc *ans = yyjson_read(answer.data(), strlen(answer.data()), 0);
        yyjson_val *aroot = yyjson_doc_get_root(ans);
        const char *url = yyjson_get_str(yyjson_obj_get(aroot, "URL"));
        const char *port = yyjson_get_str(yyjson_obj_get(aroot, "Port"));
        const char *err = yyjson_get_str(yyjson_obj_get(aroot, "error"));
        if (code != 0) ++failures;
        if (o.json) {
            yyjson_mut_val *e = yyjson_mut_obj_add_obj(report.doc, report.root, k_lower[k]);
            yyjson_mut_obj_add_int(report.doc, e, "code", code);
            yyjson_mut_obj_add_str(report.doc, e, "meaning", answer_meaning(code));
            yyjson_mut_obj_add_val(report.doc, e, "answer",
                                   aroot ? yyjson_val_mut_copy(report.doc, aroot) : yyjson_mut_null(report.doc));
            if (!s.url_base.empty()) yyjson_mut_obj_add_strcpy(report.doc, e, "url_base", s.url_base.c_str());
        } else if (code == 0) {
            std::string shown = url ? url : "";
            if (!s.url_base.empty()) shown += (s.url_base[0] == '/' ? "" : "/") + s.url_base;
            out::print(stdout, "%s %s  %s", name.c_str(), ui::paint(ui::Tone::good, "ok    ").c_str(), shown.c_str());
            if (port) out::print(stdout, "  (no valid Port given: default %s used)", port);
            out::print(stdout, "\n");
        } else {
            out::print(stdout, "%s %s  %d %s: %s\n", name.c_str(), ui::paint(ui::Tone::bad, "error ").c_str(), code,
                       answer_meaning(code), err ? err : "(no answer)");
            if (code == -4 && !g_transport_reason.empty())
                out::print(stdout, "         %s\n", ui::paint(ui::Tone::dim, "transport: " + g_transport_reason).c_str());
        }
        yyjson_doc_free(ans);
    }
    if (o.json) report.print();
    if (checked == 0) {
        out::print(stderr, "kova: no service is configured in %s\n", app.conf.path.c_str());
        return EXIT_USAGE;
    }
    if (failures) {
        out::print(stderr, "kova: %d of %d services failed the check\n", failures, checked);
        return EXIT_FAILED;
    }
    return EXIT_OK;
}

int cmd_test(App &app) {
    const Options &o = app.o;
    if (o.args.size() > 1) return usage_error("test: too many arguments", "test");
    int which = service_arg(o.args.empty() ? "" : o.args[0]);
    if (which < 0) return usage_error("test: unknown service " + o.args[0], "test");
    JsonOut report;
    int failures = 0, ran = 0;
    std::vector<std::string> errors;
    for (int k = 0; k < 3; ++k) {
        if (which != 3 && which != k) continue;
        if (which == 3 && !app.conf.svc[k].present) {
            if (!o.json) out::print(stdout, "%s  %s\n", ui::paint(ui::Tone::bold, k_service[k]).c_str(), ui::paint(ui::Tone::dim, "not configured").c_str());
            continue;
        }
        if (!use_service(app, k)) return EXIT_USAGE;
        ++ran;
        int32_t rc;
        if (o.json) {
            static int32_t (*const test[3])() = {kova_jackett_test, kova_sonarr_test, kova_radarr_test};
            rc = with_spinner(std::string("testing ") + k_service[k], test[k]);
            yyjson_mut_val *e = yyjson_mut_obj_add_obj(report.doc, report.root, k_lower[k]);
            yyjson_mut_obj_add_strcpy(report.doc, e, "url", kova_base_url(k));
            outcome_json(report.doc, e, rc);
            yyjson_mut_obj_add_val(report.doc, e, "log", log_json(report.doc));
            yyjson_mut_obj_add_val(report.doc, e, "warnings", warnings_json(report.doc));
            if (k == KOVA_JACKETT) {
                yyjson_mut_val *arr = yyjson_mut_obj_add_arr(report.doc, e, "indexers");
                for (int32_t i = 0; i < kova_indexer_count(); ++i) {
                    yyjson_mut_val *x = yyjson_mut_arr_add_obj(report.doc, arr);
                    yyjson_mut_obj_add_strcpy(report.doc, x, "id", kova_indexer_id(i));
                    yyjson_mut_obj_add_strcpy(report.doc, x, "name", kova_indexer_name(i));
                }
            } else {
                yyjson_mut_obj_add_strcpy(report.doc, e, "rootfolder", kova_rootfolder());
                yyjson_mut_val *arr = yyjson_mut_obj_add_arr(report.doc, e, "quality_profiles");
                for (int32_t i = 0; i < kova_quality_profile_count(); ++i) {
                    yyjson_mut_val *x = yyjson_mut_arr_add_obj(report.doc, arr);
                    yyjson_mut_obj_add_int(report.doc, x, "id", kova_quality_profile_id(i));
                    yyjson_mut_obj_add_strcpy(report.doc, x, "name", kova_quality_profile_name(i));
                }
            }
        } else {
            rc = show_test(app, k);
        }
        if (rc != KOVA_OK && rc != KOVA_PARTIAL) {
            ++failures;
            errors.push_back(kova_last_error()[0] ? kova_last_error() : kova_strerror(rc));
            if (rc == KOVA_ERR_TRANSPORT && !g_transport_reason.empty())
                errors.push_back("the transport said: " + g_transport_reason);
        }
        g_transport_reason.clear();
    }
    if (o.json) report.print();
    if (ran == 0) {
        out::print(stderr, "kova: no service is configured in %s\n", app.conf.path.c_str());
        return EXIT_USAGE;
    }
    for (const auto &e : errors) out::print(stderr, "kova: %s\n", e.c_str());
    return failures ? EXIT_FAILED : EXIT_OK;
}

const char *stage_name(int32_t stage) {
    switch (stage) {
    case 1: return "IMDb id";
    case 2: return "title, rows of other IMDb ids dropped";
    case 3: return "free query";
    default: return "none";
    }
}

void search_header(int32_t rc) {
    int32_t n = kova_result_count();
    std::string head = "Jackett: " + std::to_string(n) + (n == 1 ? " result" : " results");
    if (kova_jackett_stage() > 0)
        head += " (stage " + std::to_string(kova_jackett_stage()) + ": " + stage_name(kova_jackett_stage()) + ")";
    out::print(stdout, "%s\n", ui::paint(rc == KOVA_OK ? ui::Tone::bold : ui::Tone::warn, head).c_str());
}

int cmd_search(App &app) {
    Options &o = app.o;
    std::string words = join(o.args, 0);
    if (!words.empty() && o.has_query) return usage_error("search: give the query either as words or with --query", "search");
    if (!words.empty()) { o.query = words; o.has_query = true; }
    if (o.has_title && !o.has_imdb) return usage_error("search: --title needs --imdb (the title stage follows the IMDb stage)", "search");
    if (!o.has_imdb && o.query.empty()) return usage_error("search: what? give a query or --imdb", "search");
    if (!use_service(app, KOVA_JACKETT)) return EXIT_USAGE;
    int32_t rc = with_spinner("searching Jackett", [&] {
        return o.has_imdb ? kova_jackett_search_imdb(o.imdb.c_str(), o.has_title ? o.title.c_str() : nullptr,
                                                     o.has_query ? o.query.c_str() : nullptr)
                          : kova_jackett_search_query(o.query.c_str());
    });
    if (o.json) {
        print_result_json();
        return finish(rc);
    }
    if (kova_test_log_count() > 1) print_log("  ");
    if (rc == KOVA_OK || rc == KOVA_PARTIAL || kova_indexer_count() > 0) {
        search_header(rc);
        show_results(false, rc, o.limit);
    }
    return finish(rc);
}

int cmd_lookup(App &app) {
    Options &o = app.o;
    if (o.args.empty()) return usage_error("lookup: series or movie?", "lookup");
    std::string what = o.args[0];
    int kind = what == "series" ? KOVA_SONARR : what == "movie" ? KOVA_RADARR : -1;
    if (kind < 0) return usage_error("lookup: series or movie, not " + what, "lookup");
    std::string word = join(o.args, 1);
    if (!word.empty()) {
        bool imdb_like = word.size() > 2 && (word[0] == 't' || word[0] == 'T') && (word[1] == 't' || word[1] == 'T') &&
                         isdigit(static_cast<unsigned char>(word[2]));
        if (imdb_like && !o.has_imdb) { o.imdb = word; o.has_imdb = true; }
        else if (kind == KOVA_RADARR) return usage_error("lookup movie: Radarr is looked up by IMDb id only", "lookup");
        else if (!o.has_title) { o.title = word; o.has_title = true; }
        else return usage_error("lookup: unexpected " + word, "lookup");
    }
    if (kind == KOVA_RADARR && o.has_title) return usage_error("lookup movie: Radarr is looked up by IMDb id only", "lookup");
    if (!o.has_imdb && !o.has_title) return usage_error("lookup: give an IMDb id or a title", "lookup");
    if (!use_service(app, kind)) return EXIT_USAGE;
    int32_t rc = with_spinner(std::string("looking up in ") + k_service[kind], [&] {
        return kind == KOVA_SONARR ? kova_sonarr_lookup(o.has_imdb ? o.imdb.c_str() : nullptr,
                                                        o.has_title ? o.title.c_str() : nullptr)
                                   : kova_radarr_lookup_imdb(o.imdb.c_str());
    });
    if (o.json) {
        JsonOut report;
        outcome_json(report.doc, report.root, rc);
        yyjson_mut_obj_add_int(report.doc, report.root, "match", kova_lookup_match());
        yyjson_mut_val *arr = yyjson_mut_obj_add_arr(report.doc, report.root, "entries");
        for (int32_t i = 0; i < kova_lookup_count(); ++i) {
            yyjson_mut_val *e = yyjson_mut_arr_add_obj(report.doc, arr);
            yyjson_mut_obj_add_strcpy(report.doc, e, "title", kova_lookup_title(i));
            yyjson_mut_obj_add_strcpy(report.doc, e, "clean_title", kova_lookup_clean_title(i));
            yyjson_mut_obj_add_strcpy(report.doc, e, "imdb", kova_lookup_imdb(i));
            yyjson_mut_obj_add_int(report.doc, e, "tvdb", kova_lookup_tvdb(i));
            yyjson_mut_obj_add_int(report.doc, e, "tmdb", kova_lookup_tmdb(i));
            yyjson_mut_obj_add_int(report.doc, e, "year", kova_lookup_year(i));
            yyjson_mut_obj_add_int(report.doc, e, "library_id", kova_lookup_library_id(i));
        }
        yyjson_mut_obj_add_val(report.doc, report.root, "log", log_json(report.doc));
        report.print();
        return finish(rc);
    }
    print_log("  ");
    show_lookup(kind);
    return finish(rc);
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
    if (!use_service(app, kind)) return EXIT_USAGE;
    int32_t rc = with_spinner(std::string("asking ") + k_service[kind] + " for releases", [&] {
        return kind == KOVA_SONARR ? kova_sonarr_releases(id, o.season, o.has_episode ? o.episode : 0)
                                   : kova_radarr_releases(id);
    });
    if (o.json) {
        print_result_json();
        return finish(rc);
    }
    print_log("  ");
    out::print(stdout, "%s\n", ui::paint(ui::Tone::bold, std::string(k_service[kind]) + ": " + std::to_string(kova_result_count()) + " releases").c_str());
    show_results(true, rc, o.limit);
    return finish(rc);
}

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
                       ui::paint(ui::Tone::warn, "Nothing was changed: run again with --yes to add it.").c_str());
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
            out::print(stdout, "%s\n", ui::paint(ui::Tone::good, std::string("Added to ") + k_service[kind] + " as library id " + std::to_string(rc)).c_str());
        }
        return EXIT_OK;
    }
    if (!o.json) print_log("  ");
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
        out::print(stdout, "%s\n", ui::paint(ui::Tone::warn, "Nothing was changed: run again with --yes to do it.").c_str());
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
                                                         std::to_string(kova_result_count()) + " releases for " + target).c_str());
        show_results(true, rc, o.limit);
    } else {
        print_warnings("  ");
    }
    return finish(rc);
}

int cmd_parse(App &app) {
    Options &o = app.o;
    if (o.args.size() != 2) return usage_error("parse: want jackett|releases|torznab and a file", "parse");
    const std::string &what = o.args[0];
    if (what != "jackett" && what != "releases" && what != "torznab")
        return usage_error("parse: jackett, releases or torznab, not " + what, "parse");
    std::string text;
    if (o.args[1] == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else if (!sys::read_file(o.args[1], text)) {
        out::print(stderr, "kova: cannot read %s: %s\n", o.args[1].c_str(), strerror(errno));
        return EXIT_USAGE;
    }
    int32_t rc = what == "jackett"    ? kova_parse_jackett(text.c_str())
                 : what == "releases" ? kova_parse_arr_releases(text.c_str())
                                      : kova_parse_torznab_indexers(text.c_str());
    if (o.json) {
        print_result_json();
        return finish(rc);
    }
    if (what == "torznab") {
        if (rc == KOVA_OK) {
            out::print(stdout, "%s\n", ui::paint(ui::Tone::bold, std::to_string(kova_indexer_count()) + " configured indexers").c_str());
            ui::Table t;
            t.head = {"ID", "Name"};
            for (int32_t i = 0; i < kova_indexer_count(); ++i)
                t.rows.push_back({{kova_indexer_id(i), ui::Tone::accent}, {kova_indexer_name(i), ui::Tone::plain}});
            if (!t.rows.empty()) t.print(stdout);
        }
    } else if (what == "jackett") {
        if (rc == KOVA_OK || rc == KOVA_PARTIAL || kova_indexer_count() > 0) {
            search_header(rc);
            show_results(false, rc, o.limit);
        }
    } else if (rc == KOVA_OK) {
        out::print(stdout, "%s\n", ui::paint(ui::Tone::bold, std::to_string(kova_result_count()) + " releases").c_str());
        show_results(true, rc, o.limit);
    }
    return finish(rc);
}

int cmd_version() {
    out::print(stdout, "kova %s (libkova %s, %s)\n", KOVA_CLI_VERSION, kova_version(), net::version());
    return EXIT_OK;
}

}  // namespace
}  // namespace cli

int main(int argc, char **argv) {
    using namespace cli;
    sys::init_streams();
    App app;
    std::string command;
    int rc = parse_args(sys::arguments(argc, argv), app.o, command);
    if (rc >= 0) return rc;
    Options &o = app.o;
    if (o.version && command.empty()) return cmd_version();
    if (command.empty()) {
        out::puts(o.help ? stdout : stderr, help_text(k_usage));
        return o.help ? EXIT_OK : EXIT_USAGE;
    }
    if (command == "help") {
        if (o.args.empty()) { out::puts(stdout, help_text(k_usage)); return EXIT_OK; }
        const Command *c = find_command(o.args[0]);
        if (!c) return usage_error("no command " + o.args[0]);
        out::puts(stdout, help_text(c->usage));
        return EXIT_OK;
    }
    const Command *c = find_command(command);
    if (!c) return usage_error("unknown command " + command);
    if (o.help) {
        out::puts(stdout, help_text(c->usage));
        return EXIT_OK;
    }
    rc = check_options(o, *c);
    if (rc >= 0) return rc;
    ui::init(o.no_color, o.verbose || o.json);
    g_verbose = o.verbose;

    if (command == "version") return cmd_version();
    if (command == "demo") {
        if (!o.args.empty()) return usage_error("demo takes no arguments", "demo");
        app.demo = true;
        return run_demo(app);
    }
    if (command != "parse") {
        std::string err;
        if (!cfg::load(o.config_path, app.conf, err)) {
            out::print(stderr, "kova: %s\n", err.c_str());
            return EXIT_USAGE;
        }
        int32_t timeout = o.timeout_ms ? o.timeout_ms : app.conf.timeout_ms;
        if (timeout > 0) kova_set_timeout_ms(timeout);
    }
    if (command == "config") return cmd_config(app);
    if (command == "test") return cmd_test(app);
    if (command == "search") return cmd_search(app);
    if (command == "lookup") return cmd_lookup(app);
    if (command == "releases") return cmd_releases(app);
    if (command == "add") return cmd_add(app);
    if (command == "get") return cmd_get(app);
    if (command == "parse") return cmd_parse(app);
    return usage_error("unknown command " + command);
}
