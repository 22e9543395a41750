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

// A row's text fields by name (those of the field list), for tables of
// expected fields.
inline std::string row_text(const result_row &r, const std::string &name) {
#define KV_TEST_TEXT_text(field) \
    if (name == #field) return S(r.field);
#define KV_TEST_TEXT_count(field)
#define KV_TEST_TEXT_flag(field)
#define KV_TEST_TEXT_date(field)
#define KV_TEST_TEXT_size(field)
#define KV_TEST_TEXT_categories(field)
#define KV_X(field, kind, ...) KV_TEST_TEXT_##kind(field)
    KV_ROW_FIELDS(KV_X)
#undef KV_X
    return "<no such field " + name + ">";
}

// A row's numeric fields by name (a size's has_<name>, a category list's
// <name>_count), and "dvf" for the download volume factor.
inline int64_t row_num(const result_row &r, const std::string &name) {
    if (name == "dvf") return r.download_volume_factor;
#define KV_TEST_NUM_text(field)
#define KV_TEST_NUM_count(field) \
    if (name == #field) return r.field;
#define KV_TEST_NUM_flag(field) KV_TEST_NUM_count(field)
#define KV_TEST_NUM_date(field) KV_TEST_NUM_count(field)
#define KV_TEST_NUM_size(field) \
    if (name == #field) return r.field; \
    if (name == "has_" #field) return r.has_##field;
#define KV_TEST_NUM_categories(field) \
    if (name == #field "_count") return r.field##_count;
#define KV_X(field, kind, ...) KV_TEST_NUM_##kind(field)
    KV_ROW_FIELDS(KV_X)
#undef KV_X
    ADD_FAILURE() << "no numeric field " << name;
    return 0;
}

inline std::vector<int32_t> row_cats(const result_row &r) {
    return std::vector<int32_t>(r.category, r.category + r.category_count);
}

// Every text of a completed row is set.
inline void expect_complete(const result_row &r) {
#define KV_TEST_SET_text(field) EXPECT_NE(r.field, nullptr) << #field;
#define KV_TEST_SET_count(field)
#define KV_TEST_SET_flag(field)
#define KV_TEST_SET_date(field)
#define KV_TEST_SET_size(field)
#define KV_TEST_SET_categories(field)
#define KV_X(field, kind, ...) KV_TEST_SET_##kind(field)
    KV_ROW_FIELDS(KV_X)
#undef KV_X
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

