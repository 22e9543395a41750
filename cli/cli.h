// Shared pieces of the kova command-line host: the helpers every command
// uses, the output of each operation, the exit-status rule and the command
// handlers. The demo prints through the very same functions as the real
// commands. Each of them is handed the run's state, the App (app.h).
//
// Where each piece lives:
//   services.h        the table of services: names, settings, the library's
//                     functions for each
//   app.h             the run's state: options, configuration, transports,
//                     the outcome
//   main.cpp          main(): from the command line to the exit status
//   commands.cpp      the command and option tables, the help texts, `help`
//   args.cpp          the command line: options, words, shared arguments
//   service.cpp       a configured service: the configuration, its transport,
//                     configuring it
//   requests.cpp      what may stop a request early: Ctrl-C and --deadline
//   hints.cpp         hints under the common failures of a setup
//   show.cpp          output: tables and lines of results, JSON documents
//   cmd_config.cpp    config init, path, show (and check, in cmd_check.cpp)
//   cmd_check.cpp     config check
//   cmd_test.cpp      test: every instance at once, a session each
//   cmd_find.cpp      search, lookup, releases
//   cmd_library.cpp   add, get
//   cmd_queue.cpp     queue, its --watch; the queue's table (the demo shows it)
//   cmd_calendar.cpp  calendar
//   cmd_parse.cpp     parse
//   demo.cpp          demo
//   generate.cpp      shell completion and manual page from the tables
// The configuration file (config.h: config.cpp, and address.cpp for the
// services' addresses), the terminal (out.h, ui.h), the platform (sys.h) and
// the transport (net.h) have headers of their own.
#pragma once

#include <yyjson.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app.h"
#include "config.h"
#include "kova.h"
#include "net.h"
#include "out.h"
#include "services.h"

namespace cli {

// Exit statuses.
// 124: --deadline passed (as timeout(1) reports its time running out).
// 130: stopped by Ctrl-C (128 + SIGINT, the shell's convention).
enum : int { EXIT_OK = 0, EXIT_FAILED = 1, EXIT_USAGE = 2, EXIT_DEADLINE = 124, EXIT_CANCELLED = 130 };

// ---------------------------------------------------------------------------
// The command and option tables (commands.cpp)
// ---------------------------------------------------------------------------

// Every option, for the parser, the help, the completion and the manual page.
// The first group any command takes; the second belongs to the commands that
// name it in their row of the command table; the hidden ones run the
// generators.
struct Option {
    const char *name, *alias, *value, *help;
    enum Scope { any, command, hidden } scope;
};
// By name or alias; nullptr when there is no such option.
const Option *find_option(const std::string &name);

// What main() does before a command's handler runs.
enum class Before {
    nothing,  // not even --help or the option check (help itself)
    checks,   // --help, the option check, colours
    config,   // those, then the configuration file and its time-out
};

// One row per command: main() knows no command by name.
struct Command {
    const char *name;
    const char *usage;
    const char *options;  // the command's own options, space-separated
    int (*handler)(App &);
    Before before;
};
// nullptr when there is no such command.
const Command *find_command(const std::string &name);
// Every command's name, in the table's order.
std::span<const char *const> command_names();
// The help as printed: `kova NAME --help`, or `kova --help` for nullptr.
out::Shown help_text(const Command *c);

// ---------------------------------------------------------------------------
// The command line (args.cpp)
// ---------------------------------------------------------------------------

// Parses everything after the program name: options anywhere, the command
// and its positional words. Returns -1 on success, else an exit status.
int parse_args(const std::vector<std::string> &argv, Options &o, std::string &command);
// Refuses options that the command does not take: -1, else an exit status.
int check_options(const Options &o, const Command &c);

// Prints "kova: <msg>" and where to find help; returns EXIT_USAGE.
int usage_error(const std::string &msg, const char *cmd = nullptr);
// A decimal number within [lo, hi].
bool parse_int(const std::string &s, int32_t lo, int32_t hi, int32_t &out);
// words[from..] joined by single spaces.
std::string join(const std::vector<std::string> &words, size_t from);
// An IMDb id as the services take it, "tt" and at least seven digits, from
// what the library reads as one (kova_imdb_numeric: "tt" and digits, or
// digits alone; "63350" -> "tt0063350"). Prints the usage error and returns
// false for anything else.
bool imdb_arg(const std::string &text, std::string &out, const char *cmd);
// Where a word may be a title or an id: an id when it starts with "tt" (any
// case); a title otherwise ("1923" is a series).
bool imdb_like(const std::string &word);
// A SERVICE argument: "jackett" -> KOVA_JACKETT ...; "all" or "" ->
// k_all_services; -1 when unknown.
constexpr int k_all_services = -2;
int service_arg(const std::string &s);

// ---------------------------------------------------------------------------
// Services (service.cpp)
// ---------------------------------------------------------------------------

// Reads the configuration (file, then environment), prints its warnings and
// applies its time-out. Prints the error and returns false when it cannot.
bool load_configuration(App &app);

// The transport for one configured instance of a service, with its TLS and
// proxy settings. Prints why when it cannot be made. Ctrl-C and the deadline
// cancel it until close_transport.
net::Transport *open_transport(App &app, const cfg::Service &s);
void close_transport(App &app, net::Transport *t);

// Ctrl-C, as sys::watch_interrupt calls it: `app` is the App (see Requests).
void on_interrupt(void *app);

// Configures the instance's service in the current library context, from
// its Url or its parts and URL base; the library's result code.
int32_t configure_service(const cfg::Service &s);

// Configures the service (once) and installs its transport. Prints the
// reason and returns false when it cannot.
bool use_service(App &app, int kind);

// The services a command of both asks when it names neither (queue,
// calendar): Sonarr and Radarr, those configured; the --instance's alone.
// Prints what to set and returns false when there is none.
bool library_services(App &app, std::vector<int> &kinds);

// Why a present service cannot be used: no address or no API key, with
// where to set it; "" when it has both.
std::string missing_setting(const cfg::Config &conf, int kind);
// Whether a service can be used: the file or the environment gives it an
// address and an API key (the template's sections, left empty, do not count).
bool configured(const cfg::Config &conf, int kind);

// ---------------------------------------------------------------------------
// Hints (hints.cpp)
// ---------------------------------------------------------------------------

// Where a service's settings come from, for a message: "in FILE", "from
// KOVA_SONARR_URL and KOVA_SONARR_API_KEY", ...
std::string setting_origin(const cfg::Config &conf, int kind);
// What is known of a failed call, for the hints.
struct Failure {
    std::string error;          // the library's message
    int32_t status = 0;         // HTTP status of the last request; 0 none (or not known)
    std::string transport;      // the transport's reason: why no answer came, or what it noted of a
                                // refusal (a 429's wait, a 401's basic challenge); "" none (or not known)
    bool key_rejected = false;  // the answer was 401 or 403: the service refused the API key, or a
                                // reverse proxy in front of it refused the request
    std::vector<std::string> warnings;  // the library's: a refusal's explanation, "<Service>: ..."
    bool connection_test = false;  // the failed call was the connection test
    const cfg::Service *instance = nullptr;  // the instance it failed on; nullptr: the service's default
};
// The library's report of its last call (kova_last_error,
// kova_last_http_code, kova_last_transport_error, kova_warning).
Failure last_failure();
// What a failure of service `kind` most likely means and what to change,
// from its configuration and what is known of the failure: a TLS port
// spoken to in plain HTTP or the reverse, nothing listening, a redirect, a
// rejected key, a reverse proxy asking for a password or a header of its
// own, a 404 for want of a URL base. Empty when none applies.
std::vector<std::string> hints(const App &app, int kind, const Failure &f);
// hints() for the last library call, of the service use_service set up.
std::vector<std::string> failure_hints(const App &app);

// Runs one library call with the spinner on stderr (only on a terminal);
// Ctrl-C cancels it (Interrupted is thrown once the spinner is erased), and
// so does the deadline (DeadlinePassed).
template <class F> int32_t with_spinner(App &app, const std::string &label, F &&f);
// The service's connection test, with the spinner ("testing Radarr" unless
// `label` says otherwise).
int32_t run_test(App &app, int kind, const std::string &label = "");

// ---------------------------------------------------------------------------
// Output (show.cpp)
// ---------------------------------------------------------------------------

// The result rule of every command: OK and PARTIAL give 0; anything else
// prints "kova: <last error>" on stderr and gives 1.
int finish(App &app, int32_t rc);

// A failure of the CLI's own (an unknown profile, a release number beyond
// the list): prints "kova: <msg>" on stderr and returns `status`. `rc` is the
// result code the --json document carries for it.
int fail(App &app, int status, int32_t rc, const std::string &msg);
// A warning of the CLI's own: "kova: warning: <msg>" on stderr, and in the
// "warnings" of the run's --json document.
void warn(App &app, const std::string &msg);
// The result code behind a failure that printed its message itself.
void note_failure(App &app, int32_t rc);
// Starts watching stderr for the first error message of the run (for a
// failure whose message nothing else records). Call once, in main.
void watch_failures(App &app);
// With --json every run prints one JSON document on stdout. Called once the
// command has run: when it failed without printing one, prints the failure's
// document: rc, result, error, http_code, warnings, exit_status.
void json_failure(App &app, int status);

// Printers shared by the commands and the demo.
void print_log(const App &app, const std::string &indent = "    ");
void print_warnings(const std::string &indent = "  ");
int32_t show_test(App &app, int kind);                  // runs and prints one connection test
void show_results(bool releases, int32_t rc, int limit); // the current result set as a table
void show_lookup(int kind);                             // the current lookup entries
void search_header(int kind, int32_t rc, const char *indent = "");  // "Jackett: N results (stage ...)"

// One download of a Sonarr or Radarr queue, as the library read it
// (cmd_queue.cpp).
struct Download {
    int32_t id = 0, library_id = 0, season = -1, episode = -1, progress = -1;
    std::string title, status, message, client, protocol;
    bool has_size = false, has_left = false;
    uint64_t size = 0, left = 0;
    int64_t eta = -1;
};
// The downloads of the last queue the library read (kova_queue_*).
std::vector<Download> read_queue();
// A service's queue as `kova queue` prints it: "Radarr: 1 download" (after
// `indent`) and the table, with the time left from `now` (seconds since 1970).
void show_queue(int kind, const std::vector<Download> &queue, int64_t now, const char *indent = "");

// A Sonarr or Radarr release search for a library item (cmd_find.cpp), as
// `releases` runs it: Sonarr's fallback from an episode its season does not
// have to the whole season is said on a line of its own; with --exact there
// is none (the library fails instead).
struct ReleaseSearch {
    int32_t rc = KOVA_OK;
    bool whole_season = false;  // an episode was asked for; the season came
};
ReleaseSearch search_releases(App &app, int kind, int32_t id, int32_t season, int32_t episode);
// The table of a successful search: the fallback line, "Sonarr: N releases
// for S01E05", the rows.
void show_releases(App &app, int kind, const ReleaseSearch &r, int32_t season, int32_t episode);
// The library's result document, with what the CLI adds: "error",
// "http_code" and "transport_error" as outcome_json has them, the CLI's
// warnings, the rows cut to `limit` (0: all; then "total_results" says how
// many there were), and the members of `extra` (an object, may be nullptr).
void print_result_json(App &app, int limit = 0, yyjson_mut_doc *extra = nullptr);

// A JSON report built with yyjson and printed on stdout as one line.
struct JsonOut {
    yyjson_mut_doc *doc = yyjson_mut_doc_new(nullptr);
    yyjson_mut_val *root = nullptr;
    JsonOut() { root = yyjson_mut_obj(doc); yyjson_mut_doc_set_root(doc, root); }
    ~JsonOut() { yyjson_mut_doc_free(doc); }
    JsonOut(const JsonOut &) = delete;
    JsonOut &operator=(const JsonOut &) = delete;
    void print(App &app) const;  // the run's JSON document
};

// A missing value in the CLI's own JSON is null, never "" or -1: a text
// that is empty, a number or id that is not above 0.
yyjson_mut_val *text_or_null(yyjson_mut_doc *d, const char *text);
yyjson_mut_val *id_or_null(yyjson_mut_doc *d, int64_t n);
yyjson_mut_val *log_json(yyjson_mut_doc *d);       // the test log: [{key, text}]
yyjson_mut_val *warnings_json(const App &app, yyjson_mut_doc *d);  // the warnings: [text]
// rc, result, error, http_code, the transport's reason and the warnings into `obj`.
void outcome_json(const App &app, yyjson_mut_doc *d, yyjson_mut_val *obj, int32_t rc);


// ---------------------------------------------------------------------------
// Commands: each checks its own words and options, runs, prints and returns
// the exit status.
// ---------------------------------------------------------------------------
int cmd_config(App &app);    // cmd_config.cpp
int config_check(App &app);  // cmd_check.cpp
int cmd_test(App &app);      // cmd_test.cpp
int cmd_search(App &app);    // cmd_find.cpp
int cmd_lookup(App &app);
int cmd_releases(App &app);
int cmd_add(App &app);       // cmd_library.cpp
int cmd_get(App &app);
int cmd_queue(App &app);     // cmd_queue.cpp
int cmd_calendar(App &app);  // cmd_calendar.cpp
int cmd_parse(App &app);     // cmd_parse.cpp
int cmd_demo(App &app);      // demo.cpp
int cmd_help(App &app);      // commands.cpp
int cmd_version(App &app);   // main.cpp

// ---------------------------------------------------------------------------
// The command and option tables (commands.cpp), as the generators read them
// ---------------------------------------------------------------------------
struct CommandDoc {
    const char *name;
    std::string usage;    // the help text, as `kova NAME --help` prints it
    const char *options;  // its own options, space-separated names
};
struct OptionDoc {
    const char *name;   // "--limit"
    const char *alias;  // "-v", or nullptr
    const char *value;  // "N", "FILE"..., or nullptr for a flag
    std::string help;   // one line
    bool any;           // any command takes it; else the commands that name it
};
std::vector<CommandDoc> command_docs();
std::vector<OptionDoc> option_docs();     // the options any command takes, then the commands' own
std::string overview();                   // `kova --help`

// Shell completion and the manual page (generate.cpp), for `kova
// --completion bash|zsh` and `kova --man`, which the build runs.
std::string completion_script(const std::string &shell);  // "" for another shell
std::string manual_page();

}  // namespace cli

#include "ui.h"

template <class F> int32_t cli::with_spinner(App &app, const std::string &label, F &&f) {
    int32_t rc;
    {
        ui::Spinner s(label, app.progress);  // erased before anything else is printed
        app.last_call_was_test = false;
        app.requests.enter();
        rc = f();
    }
    app.requests.leave(rc);
    return rc;
}
