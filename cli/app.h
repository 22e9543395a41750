// The state of one run of the kova command-line host, in one place: main()
// makes one App and hands it to the command, and every function that reads or
// changes the run's state takes it. (The terminal's settings, out:: and ui::,
// and the platform's hooks, sys::, are the process's, not the run's.)
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "config.h"
#include "kova.h"
#include "net.h"
#include "services.h"
#include "ui.h"

namespace cli {

// The command line.
struct Options {
    std::string config_path;
    bool json = false, yes = false, verbose = false, no_color = false, help = false, version = false;
    bool exact = false, monitor = false;
    bool movie = false, tv = false;  // a Prowlarr search for films or for series
    std::string via;                 // --via: the indexer service a search asks
    std::string instance;            // --instance: the instance of a service to use
    std::string completion;  // --completion SHELL (hidden): the script for bash or zsh
    bool man = false;        // --man (hidden): the manual page kova(1)
    int32_t timeout_ms = 0;
    int32_t deadline_ms = 0;  // --deadline: the whole command's time; 0 none
    std::string imdb, title, query, root, profile;
    bool has_imdb = false, has_title = false, has_query = false, has_root = false, has_profile = false;
    int32_t season = 0, episode = 0, limit = 0, grab = 0;
    bool has_season = false, has_episode = false, has_grab = false;
    // queue --watch: its pause in seconds, how many refreshes (0: until Ctrl-C)
    bool watch = false, has_interval = false, has_count = false;
    int32_t interval = 5, count = 0;
    // calendar: how many days from which one, whose entries
    bool has_days = false, has_from = false, series = false, movies = false;
    int32_t days = 7;
    std::string from;
    std::vector<std::string> args;  // positional words after the command
};

// One service as the run uses it (service.cpp).
struct Connection {
    net::Transport *transport = nullptr;
    bool ready = false;      // configured in the library
    bool ca_warned = false;  // its CAFile's warning was given (once a run)
};

// Thrown out of a library call that Ctrl-C cancelled, and out of one that
// the deadline cut short or kept from starting (see Requests).
struct Interrupted {};
struct DeadlinePassed {};

// What may stop a request early (requests.cpp). Ctrl-C: while a request runs
// it cancels the open transports, and the request then throws Interrupted,
// which main() turns into "kova: cancelled" and EXIT_CANCELLED once the
// terminal is clean; outside a request it ends the program at once with that
// status, unless a watch runs (watching): then the first Ctrl-C ends the
// watch wherever it comes, the request in flight (Interrupted), the pause
// (rest returns false) or what lies between (the next of them). --deadline
// MS, the whole command's time: when it passes during a request, a watchdog
// thread cancels the request through its transport (as Ctrl-C does) and the
// request throws DeadlinePassed; when it passes between requests, the next
// one does not start (nor does a pause go on). A per-request --timeout still
// applies to each request.
class Requests {
public:
    Requests() = default;
    Requests(const Requests &) = delete;
    Requests &operator=(const Requests &) = delete;
    ~Requests() { stop_deadline(); }

    // The transports Ctrl-C and the deadline cancel.
    void opened(net::Transport *t);
    void closed(net::Transport *t);
    // Ctrl-C (on a thread of its own).
    void interrupt();
    // Brackets a library call. enter() throws DeadlinePassed once the
    // deadline has passed; leave(rc) throws Interrupted after a Ctrl-C,
    // DeadlinePassed when the deadline cut the call short (rc < 0: it failed).
    void enter();
    void leave(int32_t rc);
    void start_deadline(int32_t ms);
    void stop_deadline();  // joins the watchdog
    // A watch's refreshes follow: Ctrl-C ends the watch (see above).
    void watching();
    // The pause between two refreshes of a watch: false when Ctrl-C ended
    // it; DeadlinePassed when the deadline passes.
    bool rest(int32_t ms);
    int32_t deadline_ms() const { return deadline_ms_; }

private:
    // Orders Ctrl-C and the watchdog with the main thread's requests.
    std::mutex lock_;
    std::vector<net::Transport *> open_;
    bool busy_ = false, interrupted_ = false;
    std::thread watchdog_;
    std::condition_variable wake_;
    bool stop_watching_ = false, deadline_passed_ = false, cut_ = false;
    std::condition_variable rested_;  // wakes a pause: Ctrl-C or the deadline
    bool watching_ = false;
    int32_t deadline_ms_ = 0;
};

// What the run's --json document says of it (show.cpp): its failure, and the
// CLI's own warnings.
struct Outcome {
    int32_t rc = 0;
    bool has_rc = false;
    bool explicit_error = false;  // set by finish or fail, not read off stderr
    bool own = false;             // the CLI's own (fail): the library's warnings say nothing of it
    std::string error;
    bool json_printed = false;    // the run printed its JSON document
    std::vector<std::string> warnings;
};

struct App {
    Options o;
    cfg::Config conf;
    bool config_read = false;  // load_configuration read `conf`
    bool demo = false;         // the fake transport answers; no configuration is read
    Connection conn[k_service_count];
    int current = -1;          // the service use_service set up last; -1 none
    // The last library call was a connection test (run_test): its own
    // requests are the ones a wrong address or URL base fails first.
    bool last_call_was_test = false;
    int instance_kind = -1;    // the service of the --instance chosen; -1 none
    ui::Progress progress;  // of the answer in flight, for the spinner
    Requests requests;
    Outcome outcome;

    App() = default;
    App(const App &) = delete;
    App &operator=(const App &) = delete;
    // Uninstalls and closes the transports; the destructor does it too, for
    // an App that was not closed.
    void close();
    ~App();

private:
    bool closed_ = false;
};

}  // namespace cli
