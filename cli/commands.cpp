// The command table and the option table of the kova command-line host, and
// the help texts made from them: `kova --help`, `kova COMMAND --help`, and
// what the completion and the manual page are generated from (generate.cpp).
// One row per command, with its handler: main() knows no command by name.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "cli.h"
#include "sys.h"

namespace cli {
namespace {

// ---------------------------------------------------------------------------
// Help texts. "@HTTP@" stands for the transport's name and "@CONFIG@" for
// where the configuration is looked for, both of which depend on the platform;
// "@SERVICES@" for the SERVICE arguments ("jackett|sonarr|radarr").
// ---------------------------------------------------------------------------
const char k_usage[] =
    "usage: kova [options] <command> [arguments]\n"
    "\n"
    "Talks to Jackett, Prowlarr, Sonarr and Radarr through the kova library.\n"
    "\n"
    "commands:\n"
    "  demo                          the whole chain against built-in fake services\n"
    "  config init|path|show         write a template, say which file is read,\n"
    "                                print the settings (API keys hidden)\n"
    "  config check [SERVICE|all]    validate the configured services\n"
    "  test [SERVICE|all]            run the connection tests\n"
    "  search QUERY...               Jackett (or Prowlarr) search by free query\n"
    "  search --imdb ID [--title T] [--query Q]\n"
    "                                staged search: IMDb id, title, query\n"
    "  lookup series|movie ...       look a series or film up in Sonarr/Radarr\n"
    "  releases series|movie ID ...  releases Sonarr/Radarr find for a library item;\n"
    "                                --grab N --yes sends release N to the download client\n"
    "  add series|movie ID ...       add to the library (only with --yes)\n"
    "  get series|movie IMDB ...     search-or-add: lookup, add if needed, releases\n"
    "  queue [series|movie [ID]]     the download queues; --watch refreshes them\n"
    "  calendar [--days N]           what airs and comes out, from today\n"
    "  parse jackett|prowlarr|releases|torznab FILE\n"
    "                                read a saved answer offline\n"
    "  version                       versions of kova and @HTTP@\n"
    "\n"
    "options (any command):\n";
// (The options come from k_options.)
const char k_usage_end[] =
    "\n"
    "exit status: 0 success (also partial success), 1 the operation failed,\n"
    "2 usage or configuration error, 124 --deadline passed, 130 cancelled with Ctrl-C.\n";

// Every option (see Option), in the order the help lists them.
const Option k_options[] = {
    {"--config", nullptr, "FILE", "configuration (default: @CONFIG@)", Option::any},
    {"--json", nullptr, nullptr, "print JSON instead of tables", Option::any},
    {"--timeout", nullptr, "MS", "time-out of each request in milliseconds (default 100000)", Option::any},
    {"--deadline", nullptr, "MS", "time for the whole command: then kova cancels and exits 124", Option::any},
    {"--instance", nullptr, "NAME", "the instance of a service to use (a section of its own; default: the service's)", Option::any},
    {"--verbose", "-v", nullptr, "log each HTTP request on stderr (API keys redacted), show log keys", Option::any},
    {"--no-color", nullptr, nullptr, "no colours (also: NO_COLOR=1, or output not a terminal)", Option::any},
    {"--help", "-h", nullptr, "help; 'kova COMMAND --help' for a command", Option::any},
    {"--version", nullptr, nullptr, "versions, as 'kova version'", Option::any},
    {"--imdb", nullptr, "ID", "IMDb id: tt and digits, or digits alone", Option::command},
    {"--title", nullptr, "TITLE", "title of the series or film", Option::command},
    {"--query", nullptr, "QUERY", "free query, the last stage of a staged search", Option::command},
    {"--season", nullptr, "S", "season number", Option::command},
    {"--episode", nullptr, "E", "episode number", Option::command},
    {"--exact", nullptr, nullptr, "the episode or nothing: no fallback to the whole season", Option::command},
    {"--monitor", nullptr, nullptr, "add monitored, and let the service search for it", Option::command},
    {"--root", nullptr, "PATH", "root folder to add under (default: the service's first)", Option::command},
    {"--profile", nullptr, "NAME|ID", "quality profile (default: the service's first)", Option::command},
    {"--via", nullptr, "SERVICE", "the indexer service a search asks: jackett or prowlarr", Option::command},
    {"--movie", nullptr, nullptr, "(Prowlarr) search for films", Option::command},
    {"--tv", nullptr, nullptr, "(Prowlarr) search for series", Option::command},
    {"--limit", nullptr, "N", "print at most N rows (0: all)", Option::command},
    {"--grab", nullptr, "N", "send release N (the # column) to the download client", Option::command},
    {"--yes", "-y", nullptr, "write: without it a command that writes only says what it would do", Option::command},
    {"--watch", nullptr, nullptr, "refresh the queue every few seconds until Ctrl-C", Option::command},
    {"--interval", nullptr, "S", "seconds between the refreshes of --watch (default 5)", Option::command},
    {"--count", nullptr, "N", "stop --watch after N refreshes", Option::command},
    {"--days", nullptr, "N", "how many days the calendar shows (default 7)", Option::command},
    {"--from", nullptr, "DATE", "the calendar's first day, YYYY-MM-DD (default: today)", Option::command},
    {"--series", nullptr, nullptr, "the calendar of Sonarr's episodes only", Option::command},
    {"--movies", nullptr, nullptr, "the calendar of Radarr's films only", Option::command},
    {"--completion", nullptr, "SHELL", "print the shell completion script: bash or zsh", Option::hidden},
    {"--man", nullptr, nullptr, "print the manual page kova(1) in roff", Option::hidden},
};

}  // namespace

const Option *find_option(const std::string &name) {
    for (const auto &o : k_options)
        if (name == o.name || (o.alias && name == o.alias)) return &o;
    return nullptr;
}

namespace {

const Command k_commands[] = {
    {"demo",
     "usage: kova demo [--json]\n\n"
     "Runs the whole chain against built-in fake services: no configuration, no\n"
     "network. Shows the connection tests, staged Jackett and Prowlarr\n"
     "searches, a Sonarr search-or-add of an episode and the grab of one of its\n"
     "releases, a Radarr search-or-add of a film already in the library, and\n"
     "the JSON result document. --json prints only the document.\n",
     "", cmd_demo, Before::checks},
    {"config",
     "usage: kova config check [@SERVICES@|all]\n"
     "       kova config init\n"
     "       kova config path\n"
     "       kova config show\n\n"
     "  check   validates each configured service through the library's settings\n"
     "          handler: the service is reached, its key checked, and the\n"
     "          normalised URL printed, or the error with its answer code (-1 key\n"
     "          rejected, -2 not found, -3 too many requests, -4 unreachable, -5\n"
     "          unexpected answer, -8 invalid settings) and a hint when one fits\n"
     "  init    writes a template that explains itself, readable by you only;\n"
     "          it never replaces a file\n"
     "  path    prints the file kova reads (stdout) and why that one (stderr)\n"
     "  show    prints the settings as kova reads them, API keys as ***, header\n"
     "          values as <redacted>, and whether a password is set\n\n"
     "The file: --config FILE, else @CONFIG@\n"
     "It is a JSON object with one object per service:\n\n"
     "  {\n"
     "    \"Jackett\": {\"Url\": \"http://192.168.1.5:9117\", \"APIKey\": \"...\"},\n"
     "    \"Sonarr\":  {\"Url\": \"https://media.lan/sonarr\", \"APIKey\": \"...\",\n"
     "                \"CAFile\": \"/etc/ssl/lan-ca.pem\"},\n"
     "    \"Radarr\":  {\"Host\": \"10.0.0.7\", \"Port\": 7878, \"APIKey\": \"...\", \"Insecure\": true},\n"
     "    \"Prowlarr\": {\"Url\": \"https://media.lan/prowlarr\", \"APIKey\": \"...\",\n"
     "                 \"Headers\": {\"X-Proxy-Token\": \"...\"},\n"
     "                 \"Username\": \"me\", \"Password\": \"...\"},\n"
     "    \"TimeoutMs\": 30000\n"
     "  }\n\n"
     "per service:\n"
     "  Url       the address you open in a browser: http or https, the host\n"
     "            ([IPv6] in brackets), the port (default 80 or 443, as in the\n"
     "            browser) and the path behind a reverse proxy, if any\n"
     "  Host, Port, UseHttps, UrlBase\n"
     "            the address in parts, instead of Url (never both); Port\n"
     "            defaults to 9117, 8989, 7878, 9696\n"
     "  APIKey    Jackett: at the top of its dashboard; Prowlarr, Sonarr and Radarr:\n"
     "            Settings > General > Security > API Key\n"
     "  Insecure  true: no TLS certificate check (self-signed, trusted network)\n"
     "  CAFile    PEM file of the CA that signed the service's certificate\n"
     "  ID        your name for the configuration, passed to the validation\n"
     "behind a reverse proxy that asks for them:\n"
     "  Headers   {\"Name\": \"value\", ...}: headers sent with every request\n"
     "  Username, Password\n"
     "            HTTP basic authentication; over https:// only, unless\n"
     "  AllowBasicOverHttp\n"
     "            is true (the password crosses the network in clear text)\n"
     "  KeyInHeader\n"
     "            default true: Sonarr's, Radarr's and Prowlarr's key goes as\n"
     "            the X-Api-Key header, out of the proxy's access log; false:\n"
     "            in the URL's query (Jackett's always is)\n"
     "top level:\n"
     "  TimeoutMs the time-out of each request, in milliseconds\n"
     "  Proxy     proxy URL for every service; \"\" for none\n\n"
     "Members whose names start with _ are notes; // comments are fine too. An\n"
     "unknown member is a warning that names the nearest known one.\n"
     "KOVA_JACKETT_URL, KOVA_JACKETT_API_KEY (and the same for SONARR, RADARR and\n"
     "PROWLARR)\n"
     "replace the file's address and key; they may configure a service alone.\n"
     "KOVA_JACKETT_USERNAME, KOVA_JACKETT_PASSWORD (and the same for the others)\n"
     "replace its Username and Password.\n",
     "", cmd_config, Before::checks},
    {"test",
     "usage: kova test [@SERVICES@|all]\n\n"
     "Runs the connection tests and prints their log: Jackett and Prowlarr list\n"
     "their indexers; Sonarr and Radarr report their root folder and quality\n"
     "profiles.\n",
     "", cmd_test, Before::config},
    {"search",
     "usage: kova search QUERY... [--via jackett|prowlarr]\n"
     "       kova search --imdb ID [--title TITLE] [--query QUERY] [--via jackett|prowlarr]\n"
     "       kova search ... --via prowlarr [--movie|--tv] [--season S [--episode E]] [--grab N [--yes]]\n\n"
     "Searches Jackett, or Prowlarr when it is configured and Jackett is not;\n"
     "--via chooses. With --imdb the search runs in stages: the IMDb id, then\n"
     "the title (dropping rows of other IMDb ids), then the query; it stops at\n"
     "the first stage with results.\n\n"
     "  --via S       jackett or prowlarr\n"
     "  --movie, --tv (Prowlarr) films or series only; default: both\n"
     "  --season S, --episode E\n"
     "                (Prowlarr, with --imdb) the episode of a series\n"
     "  --grab N      (Prowlarr) send release N (the # column, from 1) to\n"
     "                Prowlarr's download client; without --yes it only says\n"
     "                what it would send\n"
     "  --limit N     print at most N rows (0: all)\n",
     "imdb title query limit via movie tv season episode grab yes", cmd_search, Before::config},
    {"lookup",
     "usage: kova lookup series [--imdb ID] [--title TITLE]\n"
     "       kova lookup series ID_OR_TITLE\n"
     "       kova lookup movie IMDB_ID\n\n"
     "Looks a series up in Sonarr (by IMDb id, then title) or a film up in Radarr\n"
     "(by IMDb id) and lists what the service knows; '*' marks the match.\n",
     "imdb title", cmd_lookup, Before::config},
    {"releases",
     "usage: kova releases series SERIES_ID --season S [--episode E [--exact]] [--grab N [--yes]]\n"
     "       kova releases movie MOVIE_ID [--grab N [--yes]]\n\n"
     "Lists the releases Sonarr finds for an episode (or a whole season without\n"
     "--episode) of a library series, or Radarr for a library film, with their\n"
     "quality and, for those the service rejected, its first reason. IDs are\n"
     "library ids (see 'kova get' or the services' web pages). When the season\n"
     "has no such episode, Sonarr's releases for the whole season are listed and\n"
     "a line says so.\n\n"
     "  --exact       the episode or nothing: fail when the season has no such episode\n"
     "  --limit N     print at most N rows (0: all)\n"
     "  --grab N      send release N (the # column, from 1) to the service's\n"
     "                download client; without --yes it only says what it would send\n",
     "season episode exact limit grab yes", cmd_releases, Before::config},
    {"add",
     "usage: kova add series TVDB_ID [--root PATH] [--profile NAME|ID] [--yes]\n"
     "       kova add movie TMDB_ID [--root PATH] [--profile NAME|ID] [--yes]\n\n"
     "Adds a series to Sonarr or a film to Radarr, unmonitored and without an\n"
     "automatic search. Without --yes it only says what it would do, after the\n"
     "same checks: the profile must exist, and a root folder that is not one of\n"
     "the service's is warned about (with --yes, one that leaves no folder once\n"
     "its trailing slashes go, such as '/', is refused before the add is sent).\n\n"
     "  --root PATH       default: the service's first root folder\n"
     "  --profile NAME|ID an id, a name, or a name in another letter case when only\n"
     "                    one profile has it; default: the service's first profile\n",
     "root profile yes", cmd_add, Before::config},
    {"get",
     "usage: kova get series IMDB_ID --season S [--episode E [--exact]] [--title T] [--root PATH] [--profile P]\n"
     "                  [--monitor] [--yes]\n"
     "       kova get movie IMDB_ID [--root PATH] [--profile P] [--monitor] [--yes]\n\n"
     "Search-or-add: looks the item up, finds it in the library or adds it there,\n"
     "then lists the releases for the episode (whole season without --episode)\n"
     "or the film. Library writes happen only with --yes; without it the command\n"
     "settles what an add would use (root folder, quality profile, the item's\n"
     "folder), says what it would do and stops.\n\n"
     "  --root PATH   root folder for an add: one of the service's (default: its first)\n"
     "  --profile P   quality profile for an add, as 'kova add' takes it\n"
     "  --monitor     add monitored (the season asked for, or the film), and let\n"
     "                the service search for it; default: unmonitored, no search\n"
     "  --exact       the episode or nothing: fail when the season has no such episode\n"
     "  --limit N     print at most N rows (0: all)\n",
     "season episode exact title root profile monitor yes limit", cmd_get, Before::config},
    {"queue",
     "usage: kova queue [series|movie [ID]] [--watch [--interval S] [--count N]]\n\n"
     "Shows the download queues of Sonarr and Radarr (those configured); series\n"
     "or movie shows one service's, and an ID (a library id) one series' or\n"
     "film's. Each download with its progress, size, what is left, the time left\n"
     "by the service's estimate and its status; under it, what went wrong.\n\n"
     "  --watch       refresh every few seconds, until Ctrl-C (which ends it\n"
     "                with status 0)\n"
     "  --interval S  seconds between refreshes (default 5)\n"
     "  --count N     stop after N refreshes\n",
     "watch interval count", cmd_queue, Before::config},
    {"calendar",
     "usage: kova calendar [--days N] [--from DATE] [--series|--movies]\n\n"
     "Lists what airs and comes out: Sonarr's episodes and Radarr's film releases\n"
     "(in cinemas, digital, physical), monitored or not, from the start of today\n"
     "for 7 days, in date order. An episode shows its local time; a film its\n"
     "release day.\n\n"
     "  --days N      how many days (the services take at most a year at once)\n"
     "  --from DATE   the first day, YYYY-MM-DD, instead of today\n"
     "  --series      Sonarr's episodes only\n"
     "  --movies      Radarr's films only\n",
     "days from series movies", cmd_calendar, Before::config},
    {"parse",
     "usage: kova parse jackett|prowlarr|releases|torznab FILE\n\n"
     "Reads an answer saved earlier ('-' for standard input) without any network:\n"
     "a Jackett results answer, a Prowlarr search answer, a Sonarr/Radarr release\n"
     "list, or a Torznab indexer list.\n\n"
     "  --limit N     print at most N rows (0: all)\n",
     "limit", cmd_parse, Before::checks},
    {"version", "usage: kova version [--json]\n\nPrints the versions of kova, its library and @HTTP@.\n", "", cmd_version, Before::checks},
    {"help", "usage: kova help [COMMAND]\n", "", cmd_help, Before::nothing},
};

// A help text with its marks replaced (see above). The help texts are the
// CLI's own: printed as they are.
out::Shown expand(const char *text) {
    std::string s = text;
    auto put = [&s](const char *mark, const char *value) {
        for (size_t at = s.find(mark); at != std::string::npos; at = s.find(mark, at + strlen(value)))
            s.replace(at, strlen(mark), value);
    };
    std::string services;
    for (const auto &svc : k_services) services += (services.empty() ? "" : "|") + std::string(svc.lower);
    put("@HTTP@", net::name());
    put("@CONFIG@", sys::config_lookup_help());
    put("@SERVICES@", services.c_str());
    return out::Shown::verbatim(s);
}

// `kova --help`: the commands, then the options any command takes.
std::string overview_text() {
    std::string s = k_usage;
    for (Option::Scope scope : {Option::any, Option::hidden}) {
        if (scope == Option::hidden) s += "\nwithout a command:\n";
        for (const auto &o : k_options) {
            if (o.scope != scope) continue;
            std::string name = std::string(o.name) + (o.value ? std::string(" ") + o.value : "") +
                               (o.alias ? std::string(", ") + o.alias : "");
            name.resize(std::max<size_t>(name.size(), 18), ' ');
            s += "  " + name + "  " + o.help + "\n";
        }
    }
    return s + k_usage_end;
}

}  // namespace

std::span<const char *const> command_names() {
    static const auto names = [] {
        std::array<const char *, std::size(k_commands)> n{};
        for (size_t i = 0; i < n.size(); ++i) n[i] = k_commands[i].name;
        return n;
    }();
    return names;
}

const Command *find_command(const std::string &name) {
    for (const auto &c : k_commands)
        if (name == c.name) return &c;
    return nullptr;
}

out::Shown help_text(const Command *c) { return expand(c ? c->usage : overview_text().c_str()); }

int cmd_help(App &app) {
    const Options &o = app.o;
    if (o.args.empty()) {
        out::puts(stdout, help_text(nullptr));
        return EXIT_OK;
    }
    const Command *c = find_command(o.args[0]);
    if (!c) {
        const char *near = cfg::nearest(o.args[0], command_names());
        return usage_error("no command " + o.args[0] + (near ? std::string("; did you mean ") + near + "?" : ""));
    }
    out::puts(stdout, help_text(c));
    return EXIT_OK;
}

std::vector<CommandDoc> command_docs() {
    std::vector<CommandDoc> docs;
    for (const auto &c : k_commands) docs.push_back({c.name, help_text(&c).str(), c.options});
    return docs;
}

std::vector<OptionDoc> option_docs() {
    std::vector<OptionDoc> docs;
    for (const auto &o : k_options)
        if (o.scope != Option::hidden)
            docs.push_back({o.name, o.alias, o.value, expand(o.help).str(), o.scope == Option::any});
    return docs;
}

std::string overview() { return help_text(nullptr).str(); }

}  // namespace cli
