// Helpers for the parser tests: a private context per test, a parsed set
// that frees itself, JSON values from literal text.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/kova_test.h"

// A context of its own and one parse result; everything is released at the
// end of the test, so LeakSanitizer sees any row or entry that leaks.
struct Parsed {
    context ctx;
    result_set rs{};
    int32_t rc = 0;

    Parsed() { context_init(&ctx); }
    ~Parsed() {
        result_set_free(&rs);
        context_free(&ctx);
    }
    Parsed(const Parsed &) = delete;
    Parsed &operator=(const Parsed &) = delete;

    std::vector<std::string> warnings() const {
        std::vector<std::string> w;
        for (int i = 0; i < ctx.warning_count; ++i) w.emplace_back(ctx.warnings[i]);
        return w;
    }
    std::string err() const { return ctx.err; }
    const result_row &row(int i) const { return rs.rows[i]; }
};

inline void parse_jackett(Parsed &p, const std::string &json) {
    p.rc = parse_jackett(&p.ctx, &p.rs, json.data(), json.size());
}
inline void parse_arr(Parsed &p, const std::string &json) {
    p.rc = parse_releases(&p.ctx, &p.rs, json.data(), json.size());
}

// One parsed JSON value, released with the object.
struct Json {
    yyjson_doc *doc;
    explicit Json(const std::string &text) : doc(yyjson_read(text.data(), text.size(), 0)) {}
    ~Json() { yyjson_doc_free(doc); }
    Json(const Json &) = delete;
    Json &operator=(const Json &) = delete;
    yyjson_val *root() const { return yyjson_doc_get_root(doc); }
};

// The twelve texts of a row by name, for tables of expected fields.
inline std::string row_text(const result_row &r, const std::string &name) {
    const char *t = nullptr;
    if (name == "title") t = r.title;
    else if (name == "tracker") t = r.tracker;
    else if (name == "tracker_id") t = r.tracker_id;
    else if (name == "guid") t = r.guid;
    else if (name == "link") t = r.link;
    else if (name == "details") t = r.details;
    else if (name == "magnet") t = r.magnet;
    else if (name == "info_hash") t = r.info_hash;
    else if (name == "category_desc") t = r.category_desc;
    else if (name == "imdb") t = r.imdb;
    else if (name == "tmdb") t = r.tmdb;
    else if (name == "tvdb") t = r.tvdb;
    else return "<no such field " + name + ">";
    return S(t);
}

// The numeric fields of a row by name.
inline int64_t row_num(const result_row &r, const std::string &name) {
    if (name == "has_size") return r.has_size;
    if (name == "size") return r.size;
    if (name == "seeders") return r.seeders;
    if (name == "peers") return r.peers;
    if (name == "files") return r.files;
    if (name == "category_count") return r.category_count;
    if (name == "publish_date") return r.publish_date;
    if (name == "dvf") return r.download_volume_factor;
    if (name == "season") return r.season;
    if (name == "episode") return r.episode;
    if (name == "full_season") return r.full_season;
    ADD_FAILURE() << "no numeric field " << name;
    return 0;
}

inline std::vector<int32_t> row_cats(const result_row &r) {
    return std::vector<int32_t>(r.category, r.category + r.category_count);
}

// Every text of a completed row is set.
inline void expect_complete(const result_row &r) {
    for (const char *f : {"title", "tracker", "tracker_id", "guid", "link", "details", "magnet", "info_hash",
                          "category_desc", "imdb", "tmdb", "tvdb"})
        EXPECT_NE(row_text(r, f), "<null>") << f;
}

// Every allocation of a parse, made to fail in turn, ends in ERR_OOM with
// "out of memory"; the partial set is released by the caller and nothing
// leaks (LeakSanitizer checks the ASan build).
inline void sweep(const std::string &json, bool jackett, bool may_lose_warnings) {
    auto p = std::make_unique<Parsed>();
    int runs = oom_sweep([&] { p = std::make_unique<Parsed>(); },
                         [&] {
                             if (jackett) parse_jackett(*p, json);
                             else parse_arr(*p, json);
                             return p->rc;
                         },
                         [&](int32_t rc, bool injected) {
                             if (!injected) {
                                 EXPECT_EQ(rc, OK);
                                 return;
                             }
                             if (may_lose_warnings && rc == OK) return; // a lost warning never fails a call
                             EXPECT_EQ(rc, ERR_OOM);
                             EXPECT_EQ(p->err(), "out of memory");
                             EXPECT_EQ(p->ctx.rc, ERR_OOM);
                         });
    EXPECT_GT(runs, 2);
    p.reset();
}

