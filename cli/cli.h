// Shared pieces of the kova command-line host: its options, the output of
// each operation, and the exit-status rule. The demo prints through the very
// same functions as the real commands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config.h"
#include "kova.h"
#include "net.h"
#include "out.h"

namespace cli {

// Exit statuses.
enum : int { EXIT_OK = 0, EXIT_FAILED = 1, EXIT_USAGE = 2 };

struct Options {
    std::string config_path;
    bool json = false, yes = false, verbose = false, no_color = false, help = false, version = false;
    int32_t timeout_ms = 0;
    std::string imdb, title, query, root, profile;
    bool has_imdb = false, has_title = false, has_query = false, has_root = false, has_profile = false;
    int32_t season = 0, episode = 0, limit = 0;
    bool has_season = false, has_episode = false;
    std::vector<std::string> args;  // positional words after the command
};

struct App {
    Options o;
    cfg::Config conf;
    net::Transport *transport[3] = {nullptr, nullptr, nullptr};
    bool ready[3] = {false, false, false};
    bool demo = false;  // the fake transport answers; no configuration is read
    ~App();
};

extern const char *const k_service[3];  // "Jackett", "Sonarr", "Radarr"

// Configures the service (from the file, once) and installs its transport.
// Prints the reason and returns false when it cannot.
bool use_service(App &app, int kind);

// The result rule of every command: OK and PARTIAL give 0; anything else
// prints "kova: <last error>" on stderr and gives 1.
int finish(int32_t rc);

// Runs one library call with the spinner on stderr (only on a terminal).
template <class F> int32_t with_spinner(const std::string &label, F &&f);

// Printers shared by the commands and the demo.
void print_log(const std::string &indent = "    ");
void print_warnings(const std::string &indent = "  ");
int32_t show_test(App &app, int kind);                  // runs and prints one connection test
void show_results(bool releases, int32_t rc, int limit); // the current result set as a table
void show_lookup(int kind);                             // the current lookup entries
void print_result_json();

int run_demo(App &app);

}  // namespace cli

#include "ui.h"

template <class F> int32_t cli::with_spinner(const std::string &label, F &&f) {
    ui::Spinner s(label);
    return f();
}
