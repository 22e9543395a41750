// `kova parse`: an answer saved earlier, read offline by the library's own
// parsers and shown as the live commands show it.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cli.h"
#include "sys.h"

namespace cli {

int cmd_parse(App &app) {
    Options &o = app.o;
    if (o.args.size() != 2) return usage_error("parse: want jackett|prowlarr|releases|torznab and a file", "parse");
    const std::string &what = o.args[0];
    if (what != "jackett" && what != "prowlarr" && what != "releases" && what != "torznab")
        return usage_error("parse: jackett, prowlarr, releases or torznab, not " + what, "parse");
    // The file in one buffer of its size. A Jackett answer (the large ones:
    // hundreds of megabytes) is handed over to the library, which reads it
    // in place instead of copying it; the others are read as C texts.
    size_t size = 0;
    char *text = o.args[1] == "-" ? sys::read_all(stdin, &size) : sys::read_all(o.args[1], &size);
    if (!text) {
        const std::string from = o.args[1] == "-" ? "standard input" : o.args[1];
        return fail(app, EXIT_USAGE, KOVA_ERR_INVALID_ARG, "cannot read " + from + ": " + strerror(errno));
    }
    int32_t rc;
    if (what == "jackett") {
        rc = kova_parse_jackett_take(text, size);
    } else {
        rc = what == "releases"   ? kova_parse_arr_releases(text)
             : what == "prowlarr" ? kova_parse_prowlarr(text)
                                  : kova_parse_torznab_indexers(text);
        free(text);
    }
    if (o.json) {
        print_result_json(app, o.limit);
        return finish(app, rc);
    }
    if (what == "torznab") {
        if (rc == KOVA_OK) {
            out::print(stdout, "%s\n", ui::paint(ui::Tone::bold, std::to_string(kova_indexer_count()) + " configured indexers"));
            ui::Table t;
            t.head = {"ID", "Name"};
            for (int32_t i = 0; i < kova_indexer_count(); ++i)
                t.rows.push_back({{kova_indexer_id(i), ui::Tone::accent}, {kova_indexer_name(i), ui::Tone::plain}});
            if (!t.rows.empty()) t.print(stdout);
        }
    } else if (what == "jackett" || what == "prowlarr") {
        if (rc == KOVA_OK || rc == KOVA_PARTIAL || kova_indexer_count() > 0) {
            search_header(what == "jackett" ? KOVA_JACKETT : KOVA_PROWLARR, rc);
            show_results(false, rc, o.limit);
        }
    } else if (rc == KOVA_OK) {
        int32_t n = kova_result_count();
        out::print(stdout, "%s\n", ui::paint(ui::Tone::bold, std::to_string(n) + (n == 1 ? " release" : " releases")));
        show_results(true, rc, o.limit);
    }
    return finish(app, rc);
}

}  // namespace cli
