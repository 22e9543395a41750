// kova: a command-line host for the kova library. It reads one JSON
// configuration file, installs an HTTP transport per service (libcurl on
// Linux, WinHTTP on Windows) and runs the library's operations, printing
// readable tables or, with --json, the library's own JSON.
//
// This unit holds main() and run(), which takes the command line to the
// command's exit status; the command table is in commands.cpp, the parsing
// of the command line in args.cpp, and each family of commands has its own
// unit (see cli.h).
#include <cstdio>
#include <string>

#include "cli.h"
#include "sys.h"

namespace cli {

int cmd_version(App &app) {
    if (app.o.json) {
        JsonOut report;
        yyjson_mut_obj_add_str(report.doc, report.root, "kova", KOVA_CLI_VERSION);
        yyjson_mut_obj_add_strcpy(report.doc, report.root, "libkova", kova_version());
        yyjson_mut_obj_add_str(report.doc, report.root, "transport", net::name());
        yyjson_mut_obj_add_strcpy(report.doc, report.root, "transport_version", net::version());
        report.print(app);
        return EXIT_OK;
    }
    out::print(stdout, "kova %s (libkova %s, %s)\n", KOVA_CLI_VERSION, kova_version(), net::version());
    return EXIT_OK;
}

namespace {

// --completion SHELL, --man: what the build installs.
int generated(const Options &o) {
    std::string text = o.man ? manual_page() : completion_script(o.completion);
    if (text.empty()) return usage_error("--completion: bash or zsh, not " + o.completion);
    out::puts(stdout, out::Shown::verbatim(text));
    return EXIT_OK;
}

// Everything from the command line to the command's exit status.
int run(App &app, int argc, char **argv) {
    std::string command;
    int rc = parse_args(sys::arguments(argc, argv), app.o, command);
    if (rc >= 0) return rc;
    Options &o = app.o;
    if (o.man || !o.completion.empty()) return generated(o);
    if (o.version && command.empty()) return cmd_version(app);
    if (command.empty()) {
        out::puts(o.help ? stdout : stderr, help_text(nullptr));
        return o.help ? EXIT_OK : EXIT_USAGE;
    }
    const Command *c = find_command(command);
    if (!c) {
        const char *near = cfg::nearest(command, command_names());
        return usage_error("unknown command " + command + (near ? std::string("; did you mean ") + near + "?" : ""));
    }
    if (c->before == Before::nothing) return c->handler(app);
    if (o.help) {
        out::puts(stdout, help_text(c));
        return EXIT_OK;
    }
    rc = check_options(o, *c);
    if (rc >= 0) return rc;
    ui::init(o.no_color, o.verbose || o.json);
    if (c->before == Before::config && !load_configuration(app)) {
        note_failure(app, KOVA_ERR_NOT_CONFIGURED);
        return EXIT_USAGE;
    }
    if (o.deadline_ms > 0) app.requests.start_deadline(o.deadline_ms);
    return c->handler(app);
}

}  // namespace
}  // namespace cli

int main(int argc, char **argv) {
    using namespace cli;
    // The run's state, for as long as Ctrl-C may reach it.
    App app;
    sys::watch_interrupt(on_interrupt, &app);  // first: before any thread starts
    sys::init_streams();
    out::use_ascii(!sys::unicode_output());
    watch_failures(app);
    int rc;
    try {
        rc = run(app, argc, argv);
    } catch (const Interrupted &) {
        // The spinner is gone by now: the line is clean.
        note_failure(app, KOVA_ERR_TRANSPORT);
        out::print(stderr, "kova: cancelled\n");
        rc = EXIT_CANCELLED;
    } catch (const DeadlinePassed &) {
        note_failure(app, KOVA_ERR_TRANSPORT);
        out::print(stderr, "kova: the deadline of %d ms passed (--deadline): stopped\n", app.requests.deadline_ms());
        rc = EXIT_DEADLINE;
    }
    app.requests.stop_deadline();
    if (app.o.json && !app.o.help) json_failure(app, rc);
    app.close();
    // The library's state goes too, so that a leak checker sees only what
    // was really lost.
    kova_reset();
    sys::unwatch_interrupt();
    fflush(stdout);
    return rc;
}
