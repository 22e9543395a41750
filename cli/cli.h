// Shared pieces of the kova command-line host: its options, the helpers every
// command uses, the output of each operation, the exit-status rule and the
// command handlers. The demo prints through the very same functions as the
// real commands.
//
// Where each piece lives:
//   main.cpp          the command table, argument parsing, help texts, main()
//   service.cpp       a configured service: the configuration, its transport,
//                     configuring it; Ctrl-C and --deadline
//   hints.cpp         hints under the common failures of a setup
//   show.cpp          output: tables and lines of results, JSON documents
//   cmd_config.cpp    config init, path, show (and check, in cmd_check.cpp)
//   cmd_check.cpp     config check, test
//   cmd_find.cpp      search, lookup, releases
//   cmd_library.cpp   add, get
//   cmd_parse.cpp     parse
//   demo.cpp          demo
#pragma once

#include <yyjson.h>

#include <cstdint>
#include <string>
#include <vector>

#include "config.h"
#include "kova.h"
#include "net.h"
#include "out.h"

namespace cli {

// Exit statuses.
// 124: --deadline passed (as timeout(1) reports its time running out).
// 130: stopped by Ctrl-C (128 + SIGINT, the shell's convention).
enum : int { EXIT_OK = 0, EXIT_FAILED = 1, EXIT_USAGE = 2, EXIT_DEADLINE = 124, EXIT_CANCELLED = 130 };

struct Options {
    std::string config_path;
    bool json = false, yes = false, verbose = false, no_color = false, help = false, version = false;
    int32_t timeout_ms = 0;
    int32_t deadline_ms = 0;  // --deadline: the whole command's time; 0 none
    std::string imdb, title, query, root, profile;
    bool has_imdb = false, has_title = false, has_query = false, has_root = false, has_profile = false;
    int32_t season = 0, episode = 0, limit = 0, grab = 0;
    bool has_season = false, has_episode = false, has_grab = false;
    std::vector<std::string> args;  // positional words after the command
};

struct App {
    Options o;
    cfg::Config conf;
    net::Transport *transport[3] = {nullptr, nullptr, nullptr};
    bool ready[3] = {false, false, false};
    bool demo = false;  // the fake transport answers; no configuration is read
    // Uninstalls and closes the transports; the destructor does it too.
    void close();
    ~App();
};

extern const char *const k_service[3];  // "Jackett", "Sonarr", "Radarr"
extern const char *const k_lower[3];    // "jackett", "sonarr", "radarr": arguments and JSON keys

// ---------------------------------------------------------------------------
// Arguments (main.cpp)
// ---------------------------------------------------------------------------

// Prints "kova: <msg>" and where to find help; returns EXIT_USAGE.
int usage_error(const std::string &msg, const char *cmd = nullptr);
// A decimal number within [lo, hi].
bool parse_int(const std::string &s, int32_t lo, int32_t hi, int32_t &out);
// words[from..] joined by single spaces.
std::string join(const std::vector<std::string> &words, size_t from);
// "jackett" -> 0 ...; "all" or "" -> 3; -1 when unknown.
int service_arg(const std::string &s);

// ---------------------------------------------------------------------------
// Services (service.cpp)
// ---------------------------------------------------------------------------

// The library reports a failed exchange as "transport failure" and never
// reads the transport's own text; the CLI keeps the transport's last reason
// (already redacted) to show it next to the library's message.
extern std::string g_transport_reason;
extern bool g_verbose;  // --verbose: every request logged on stderr

// What the transport's log line said about the last request (reset as each
// library call starts), for the hints.
struct LastRequest {
    std::string url;       // redacted
    int32_t status = 0;    // the HTTP status; 0 when no answer came
    std::string location;  // a redirect's target (redacted)
    std::string reason;    // why no answer came; "" when one did
};
extern LastRequest g_last;
extern int g_service;                 // the service use_service set up last; -1 none
extern const cfg::Config *g_config;   // the configuration load_configuration read

// Reads the configuration (file, then environment), prints its warnings and
// applies its time-out. Prints the error and returns false when it cannot.
bool load_configuration(App &app);

// The transport for one configured service, with its TLS and proxy
// settings. Prints why when it cannot be made. Ctrl-C cancels it until
// close_transport.
net::Transport *open_transport(const App &app, int kind);
void close_transport(net::Transport *t);

// Ctrl-C: while a request runs (inside with_spinner) it cancels the open
// transports, and with_spinner then throws Interrupted, which main() turns
// into "kova: cancelled" and EXIT_CANCELLED once the terminal is clean.
// Outside a request it ends the program at once with that status.
struct Interrupted {};
void on_interrupt();

// --deadline MS: the whole command's time. When it passes during a request,
// a watchdog thread cancels the request through its transport (as Ctrl-C
// does), and with_spinner throws DeadlinePassed; when it passes between
// requests, the next one does not start. main() turns it into a message and
// EXIT_DEADLINE. A per-request --timeout still applies to each request.
struct DeadlinePassed {};
void start_deadline(int32_t ms);
void stop_deadline();  // joins the watchdog
int32_t deadline_ms();

// Brackets a library call that Ctrl-C or the deadline may cancel. enter()
// throws DeadlinePassed once the deadline has passed; leave(rc) throws
// Interrupted after a Ctrl-C, DeadlinePassed when the deadline cut the call
// short (rc < 0: it failed).
void enter_request();
void leave_request(int32_t rc);

// Configures the service (once) and installs its transport. Prints the
// reason and returns false when it cannot.
bool use_service(App &app, int kind);

// Why a present service cannot be used: no address or no API key, with
// where to set it; "" when it has both.
std::string missing_setting(const cfg::Config &conf, int kind);

// ---------------------------------------------------------------------------
// Hints (hints.cpp)
// ---------------------------------------------------------------------------

// Where the service shows its API key ("Sonarr shows it in Settings > ...").
std::string key_place(int kind);
// Where a service's settings come from, for a message: "in FILE", "from
// KOVA_SONARR_URL and KOVA_SONARR_API_KEY", ...
std::string setting_origin(const cfg::Config &conf, int kind);
// What a failure of service `kind` most likely means and what to change,
// from the last request (g_last) and `error`, the library's error text:
// a TLS port spoken to in plain HTTP or the reverse, nothing listening, a
// redirect (with the address it names), a rejected key, a 404 for want of a
// URL base. Empty when none applies.
std::vector<std::string> hints(const cfg::Config &conf, int kind, const std::string &error);
// hints() for the last library call, of the service use_service set up.
std::vector<std::string> failure_hints();

// Runs one library call with the spinner on stderr (only on a terminal);
// Ctrl-C cancels it (Interrupted is thrown once the spinner is erased).
template <class F> int32_t with_spinner(const std::string &label, F &&f);

// ---------------------------------------------------------------------------
// Output (show.cpp)
// ---------------------------------------------------------------------------

// The result rule of every command: OK and PARTIAL give 0; anything else
// prints "kova: <last error>" on stderr and gives 1.
int finish(int32_t rc);

// Printers shared by the commands and the demo.
void print_log(const std::string &indent = "    ");
void print_warnings(const std::string &indent = "  ");
int32_t show_test(App &app, int kind);                  // runs and prints one connection test
void show_results(bool releases, int32_t rc, int limit); // the current result set as a table
void show_lookup(int kind);                             // the current lookup entries
void search_header(int32_t rc);                         // "Jackett: N results (stage ...)"
void print_result_json();

// A JSON report built with yyjson and printed on stdout as one line.
struct JsonOut {
    yyjson_mut_doc *doc = yyjson_mut_doc_new(nullptr);
    yyjson_mut_val *root = nullptr;
    JsonOut() { root = yyjson_mut_obj(doc); yyjson_mut_doc_set_root(doc, root); }
    ~JsonOut() { yyjson_mut_doc_free(doc); }
    JsonOut(const JsonOut &) = delete;
    JsonOut &operator=(const JsonOut &) = delete;
    void print() const;
};

yyjson_mut_val *log_json(yyjson_mut_doc *d);       // the test log: [{key, text}]
yyjson_mut_val *warnings_json(yyjson_mut_doc *d);  // the warnings: [text]
// rc, result, error, http_code and the transport's reason into `obj`.
void outcome_json(yyjson_mut_doc *d, yyjson_mut_val *obj, int32_t rc);

// ---------------------------------------------------------------------------
// Commands: each checks its own words and options, runs, prints and returns
// the exit status.
// ---------------------------------------------------------------------------
int cmd_config(App &app);    // cmd_config.cpp
int config_check(App &app);  // cmd_check.cpp
int cmd_test(App &app);
int cmd_search(App &app);    // cmd_find.cpp
int cmd_lookup(App &app);
int cmd_releases(App &app);
int cmd_add(App &app);       // cmd_library.cpp
int cmd_get(App &app);
int cmd_parse(App &app);     // cmd_parse.cpp
int cmd_demo(App &app);      // demo.cpp

}  // namespace cli

#include "ui.h"

template <class F> int32_t cli::with_spinner(const std::string &label, F &&f) {
    int32_t rc;
    {
        ui::Spinner s(label);  // erased before anything else is printed
        enter_request();
        rc = f();
    }
    leave_request(rc);
    return rc;
}
