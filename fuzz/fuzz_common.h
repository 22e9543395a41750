// Shared pieces of the fuzz targets: a reader for structured inputs, a host
// transport whose answers come from the fuzzer's bytes, and the checks that
// everything the library exposes after a call is consistent.
//
// The targets use the public interface only. Each target file defines
// `<name>::one_input` and, unless KOVA_FUZZ_REPLAY is defined, the libFuzzer
// entry point; the replay test (tests/reliability/corpus_replay_test.cpp)
// includes the target files with KOVA_FUZZ_REPLAY and runs every committed
// corpus file through them, so the corpora are regression tests in every
// build, not only in the clang fuzz build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <yyjson.h>

#include "kova.h"
#include "parse/row_fields.h"

// The limits the library documents, which everything it exposes must keep.
// The targets see only the public interface, so they are mirrored here;
// tests/reliability/corpus_replay_test.cpp checks them against the library's
// own constants.
namespace fuzz_limits {
constexpr int32_t rows = 200000;        // result rows of one answer
constexpr int32_t lookup = 100000;      // entries of one lookup
constexpr int32_t profiles = 10000;     // quality profiles
constexpr int32_t roots = 10000;        // root folders
constexpr int32_t categories = 4096;    // categories of one row
constexpr int32_t log_entries = 64;     // test-log entries
constexpr int32_t warnings = 64;        // warnings of one call
constexpr size_t log_text = 1023;       // bytes of one test-log text
constexpr size_t message = 511;         // bytes of a warning or the error text
constexpr int32_t dvf = 1000000;        // download volume factor, thousandths
constexpr int32_t queue = 10000;        // entries of a download queue
constexpr int32_t default_timeout_ms = 100000;
} // namespace fuzz_limits

[[noreturn]] inline void fuzz_fail(const char *what, const char *file, int line) {
    fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", what, file, line);
    abort();
}
#define FUZZ_CHECK(cond) ((cond) ? (void)0 : fuzz_fail(#cond, __FILE__, __LINE__))

// The libFuzzer entry point of a target: every input goes to ns::one_input.
// The replay test defines KOVA_FUZZ_REPLAY before it includes the targets, so
// that they can share one program without their entry points.
#ifndef KOVA_FUZZ_REPLAY
#define KOVA_FUZZ_TARGET(ns)                                                  \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) { \
        return ns::one_input(data, size);                                     \
    }
#else
#define KOVA_FUZZ_TARGET(ns)
#endif

// Reads a structured input front to back; past the end it yields zeros and
// empty texts, so every input is usable.
struct fuzz_bytes {
    const uint8_t *p;
    size_t n;

    fuzz_bytes(const uint8_t *data, size_t size) : p(data), n(size) {}
    bool empty() const { return n == 0; }
    uint8_t u8() {
        if (!n) return 0;
        --n;
        return *p++;
    }
    // Multi-byte reads are sequenced statement by statement: the operands of
    // one expression may be evaluated in any order, and an input must mean
    // the same to every compiler.
    uint16_t u16() {
        uint16_t lo = u8();
        uint16_t hi = u8();
        return static_cast<uint16_t>(lo | (hi << 8));
    }
    int32_t i32() {
        uint32_t v = u16();
        v |= static_cast<uint32_t>(u16()) << 16;
        return static_cast<int32_t>(v);
    }
    // A text whose length (at most max) comes first: one byte when max is
    // below 256, else two.
    std::string text(size_t max = 255) {
        size_t len = max < 256 ? u8() : u16();
        if (len > max) len %= max + 1;
        if (len > n) len = n;
        std::string s(reinterpret_cast<const char *>(p), len);
        p += len;
        n -= len;
        return s;
    }
    std::string rest() {
        std::string s(reinterpret_cast<const char *>(p), n);
        p += n;
        n = 0;
        return s;
    }
};

// ---------------------------------------------------------------------------
// A host transport answering from a script
// ---------------------------------------------------------------------------

struct fuzz_answer {
    int32_t ret = 0;
    int32_t status = 200;
    bool has_body = true;
    std::string body;
    bool has_error = false;
};

// Statuses worth meeting: the ordinary ones, the edges of 2xx, and nonsense.
inline int32_t fuzz_status(uint8_t b) {
    static const int32_t k_status[] = {200, 200, 200, 200, 201, 204, 299, 0,   1000, 401,  403,
                                       404, 429, 500, 503, 400, 300, 199, 100, -1,   2147483647};
    return k_status[b % (sizeof k_status / sizeof k_status[0])];
}

// A transport table whose answers a target computes per request. It keeps
// what was sent and counts the texts it handed out and got back.
struct fuzz_io {
    kova_io io{};
    std::vector<std::string> urls;
    std::vector<std::string> posts; // request bodies of POSTs
    std::vector<std::string> content_types;
    long handed = 0;
    long released = 0;
    bool use_release = true;
    fuzz_answer (*answer)(void *ctx, const std::string &url, bool post) = nullptr;
    void *ctx = nullptr;

    fuzz_io() { io.user = this; }
    void install(bool with_release) {
        use_release = with_release;
        io.get = get;
        io.post = post;
        io.release = with_release ? release : nullptr;
    }

    static char *dup(fuzz_io *self, const std::string &s) {
        char *p = static_cast<char *>(malloc(s.size() + 1));
        if (!p) abort();
        memcpy(p, s.data(), s.size());
        p[s.size()] = '\0';
        ++self->handed;
        return p;
    }
    static int32_t serve(fuzz_io *self, const char *url, bool is_post, char **body, int32_t *status, char **error) {
        FUZZ_CHECK(url != nullptr);
        FUZZ_CHECK(*body == nullptr && *error == nullptr && *status == 0);
        self->urls.emplace_back(url);
        fuzz_answer a = self->answer ? self->answer(self->ctx, self->urls.back(), is_post) : fuzz_answer{};
        if (a.has_body) *body = dup(self, a.body);
        if (a.has_error) *error = dup(self, "host: failure");
        *status = a.status;
        return a.ret;
    }
    static int32_t get(void *user, const char *url, char **body, int32_t *status, char **error) {
        return serve(static_cast<fuzz_io *>(user), url, false, body, status, error);
    }
    static int32_t post(void *user, const char *url, const char *req, const char *type, char **body, int32_t *status,
                        char **error) {
        auto *self = static_cast<fuzz_io *>(user);
        FUZZ_CHECK(req != nullptr && type != nullptr);
        self->posts.emplace_back(req);
        self->content_types.emplace_back(type);
        return serve(self, url, true, body, status, error);
    }
    static void release(void *user, char *text) {
        auto *self = static_cast<fuzz_io *>(user);
        FUZZ_CHECK(text != nullptr);
        ++self->released;
        free(text);
    }
    // Every text handed out came back exactly once (when release is set; the
    // library frees them itself otherwise, which ASan checks).
    void check_released() const {
        if (use_release) FUZZ_CHECK(handed == released);
    }
};

// ---------------------------------------------------------------------------
// Consistency of everything the library exposes
// ---------------------------------------------------------------------------

inline void check_text(const char *s, size_t max = SIZE_MAX) {
    FUZZ_CHECK(s != nullptr);
    FUZZ_CHECK(strlen(s) <= max);
}

inline bool in_codes(int32_t rc, std::initializer_list<int32_t> codes) {
    for (int32_t c : codes)
        if (rc == c) return true;
    return false;
}

// The row fields' accessors and document members, from the field list.
#define KV_TEXT_ACCESSOR_text(name) kova_result_##name,
#define KV_TEXT_ACCESSOR_count(name)
#define KV_TEXT_ACCESSOR_flag(name)
#define KV_TEXT_ACCESSOR_date(name)
#define KV_TEXT_ACCESSOR_size(name)
#define KV_TEXT_ACCESSOR_categories(name)
inline const char *(*const k_text_accessors[])(int32_t) = {
#define KV_X(name, kind, ...) KV_TEXT_ACCESSOR_##kind(name)
    KV_ROW_FIELDS(KV_X)
#undef KV_X
};
inline constexpr size_t k_row_members = 0
#define KV_X(...) +1
    KV_ROW_FIELDS(KV_X)
#undef KV_X
    ;

// A row's members as yyjson writes what the accessors give (in
// reference_document: doc, the row object o, the row i and str).
#define KV_FUZZ_REF_text(name, key) yyjson_mut_obj_add(o, yyjson_mut_str(doc, key), str(kova_result_##name(i)));
#define KV_FUZZ_REF_count(name, key) yyjson_mut_obj_add_int(doc, o, key, kova_result_##name(i));
#define KV_FUZZ_REF_date(name, key) yyjson_mut_obj_add_int(doc, o, key, kova_result_##name(i));
#define KV_FUZZ_REF_flag(name, key) yyjson_mut_obj_add_bool(doc, o, key, kova_result_##name(i) != 0);
#define KV_FUZZ_REF_size(name, key)                          \
    {                                                        \
        uint64_t v;                                          \
        if (kova_result_##name(i, &v) == KOVA_OK)            \
            yyjson_mut_obj_add_uint(doc, o, key, v);         \
        else                                                 \
            yyjson_mut_obj_add_null(doc, o, key);            \
    }
#define KV_FUZZ_REF_categories(name, key)                                 \
    {                                                                     \
        yyjson_mut_val *ids = yyjson_mut_obj_add_arr(doc, o, key);        \
        for (int32_t j = 0; j < kova_result_##name##_count(i); ++j)       \
            yyjson_mut_arr_add_int(doc, ids, kova_result_##name(i, j));   \
    }

// What a row's accessors answer out of range (row i), by kind; texts are
// checked through k_text_accessors.
#define KV_FUZZ_OUT_text(name)
#define KV_FUZZ_OUT_count(name) FUZZ_CHECK(kova_result_##name(i) == -1);
#define KV_FUZZ_OUT_date(name) FUZZ_CHECK(kova_result_##name(i) == -1);
#define KV_FUZZ_OUT_flag(name) FUZZ_CHECK(kova_result_##name(i) == 0);
#define KV_FUZZ_OUT_size(name) FUZZ_CHECK(kova_result_##name(i, nullptr) == KOVA_ERR_NOT_FOUND);
#define KV_FUZZ_OUT_categories(name) FUZZ_CHECK(kova_result_##name##_count(i) == 0);

// A row's member in the parsed document (row, of row i) against its accessor.
#define KV_FUZZ_DOC_text(name, key)                                        \
    {                                                                      \
        const char *t = yyjson_get_str(yyjson_obj_get(row, key));          \
        FUZZ_CHECK(t != nullptr && strcmp(t, kova_result_##name(i)) == 0); \
    }
#define KV_FUZZ_DOC_count(name, key) FUZZ_CHECK(yyjson_get_sint(yyjson_obj_get(row, key)) == kova_result_##name(i));
#define KV_FUZZ_DOC_date(name, key) FUZZ_CHECK(yyjson_get_sint(yyjson_obj_get(row, key)) == kova_result_##name(i));
#define KV_FUZZ_DOC_flag(name, key) \
    FUZZ_CHECK(yyjson_is_true(yyjson_obj_get(row, key)) == (kova_result_##name(i) != 0));
#define KV_FUZZ_DOC_size(name, key)                                   \
    {                                                                 \
        uint64_t v;                                                   \
        yyjson_val *m = yyjson_obj_get(row, key);                     \
        if (kova_result_##name(i, &v) == KOVA_OK)                     \
            FUZZ_CHECK(yyjson_is_uint(m) && yyjson_get_uint(m) == v); \
        else                                                          \
            FUZZ_CHECK(yyjson_is_null(m));                            \
    }
#define KV_FUZZ_DOC_categories(name, key)                                                       \
    {                                                                                           \
        yyjson_val *ids = yyjson_obj_get(row, key);                                             \
        FUZZ_CHECK(yyjson_arr_size(ids) == static_cast<size_t>(kova_result_##name##_count(i))); \
        yyjson_val *id;                                                                         \
        size_t j, jmax;                                                                         \
        yyjson_arr_foreach(ids, j, jmax, id) {                                                  \
            FUZZ_CHECK(yyjson_get_sint(id) == kova_result_##name(i, static_cast<int32_t>(j)));  \
        }                                                                                       \
    }

// Row i in range: every accessor answers; out of range: the documented
// out-of-range values.
inline void check_row(int32_t i, bool in_range) {
    for (auto fn : k_text_accessors) {
        const char *s = fn(i);
        check_text(s);
        if (!in_range) FUZZ_CHECK(*s == '\0');
    }
    int32_t cats = kova_result_category_count(i);
    FUZZ_CHECK(cats >= 0 && cats <= fuzz_limits::categories);
    for (int32_t j = -1; j <= cats; ++j) {
        int32_t c = kova_result_category(i, j);
        if (j < 0 || j == cats) FUZZ_CHECK(c == -1);
    }
    uint64_t size = 0xDEADBEEF;
    int32_t rc = kova_result_size(i, &size);
    FUZZ_CHECK(rc == KOVA_OK || rc == KOVA_ERR_NOT_FOUND);
    if (rc != KOVA_OK) FUZZ_CHECK(size == 0xDEADBEEF);
    FUZZ_CHECK(kova_result_size(i, nullptr) == rc);
    int32_t dvf = kova_result_download_volume_factor(i);
    FUZZ_CHECK(dvf >= -1 && dvf <= fuzz_limits::dvf);
    int32_t full = kova_result_full_season(i);
    FUZZ_CHECK(full == 0 || full == 1);
    // The release details.
    check_text(kova_result_quality(i));
    check_text(kova_result_languages(i));
    check_text(kova_result_protocol(i));
    FUZZ_CHECK(kova_result_resolution(i) >= 0);
    FUZZ_CHECK(kova_result_approved(i) >= -1 && kova_result_approved(i) <= 1);
    FUZZ_CHECK(kova_result_indexer_id(i) >= -1);
    int32_t rejections = kova_result_rejection_count(i);
    FUZZ_CHECK(rejections >= 0);
    for (int32_t j = -1; j <= rejections; ++j) {
        const char *r = kova_result_rejection(i, j);
        check_text(r);
        FUZZ_CHECK((j >= 0 && j < rejections) == (*r != '\0'));
    }
    check_text(kova_result_path(i, "quality.quality.name"));
    const char *f = kova_result_field(i, "Title");
    check_text(f);
    check_text(kova_result_field(i, "title"));
    check_text(kova_result_field(i, "no such key"));
    FUZZ_CHECK(*kova_result_field(i, nullptr) == '\0');
    if (!in_range) {
#define KV_X(name, kind, ...) KV_FUZZ_OUT_##kind(name)
        KV_ROW_FIELDS(KV_X)
#undef KV_X
        FUZZ_CHECK(*kova_result_quality(i) == '\0' && *kova_result_protocol(i) == '\0' && rejections == 0);
        FUZZ_CHECK(*kova_result_field(i, "Title") == '\0');
    }
}

inline void check_lists() {
    int32_t n = kova_indexer_count();
    FUZZ_CHECK(n >= 0);
    int32_t failed = 0;
    for (int32_t i = -1; i <= n; ++i) {
        bool in = i >= 0 && i < n;
        check_text(kova_indexer_id(i));
        check_text(kova_indexer_name(i));
        check_text(kova_indexer_error(i));
        int32_t st = kova_indexer_status(i);
        if (!in) FUZZ_CHECK(st == -1 && kova_indexer_results(i) == -1 && *kova_indexer_name(i) == '\0');
        if (in && st == KOVA_INDEXER_FAILED) ++failed;
    }
    FUZZ_CHECK(kova_indexers_errored() == failed);

    int32_t lk = kova_lookup_count();
    FUZZ_CHECK(lk >= 0 && lk <= fuzz_limits::lookup);
    int32_t m = kova_lookup_match();
    FUZZ_CHECK(m >= -1 && m < (lk > 0 ? lk : 1));
    for (int32_t i = -1; i <= lk; ++i) {
        check_text(kova_lookup_title(i));
        check_text(kova_lookup_clean_title(i));
        check_text(kova_lookup_imdb(i));
        if (i < 0 || i == lk) FUZZ_CHECK(kova_lookup_tvdb(i) == -1 && kova_lookup_library_id(i) == -1);
    }
    int32_t qp = kova_quality_profile_count();
    FUZZ_CHECK(qp >= 0 && qp <= fuzz_limits::profiles);
    for (int32_t i = -1; i <= qp; ++i) {
        check_text(kova_quality_profile_name(i));
        if (i < 0 || i == qp) FUZZ_CHECK(kova_quality_profile_id(i) == -1);
    }
    check_text(kova_rootfolder());
    int32_t roots = kova_rootfolder_count();
    FUZZ_CHECK(roots >= 0 && roots <= fuzz_limits::roots);
    for (int32_t i = -1; i <= roots; ++i) {
        check_text(kova_rootfolder_path(i));
        int64_t free_space = kova_rootfolder_free_space(i);
        FUZZ_CHECK(free_space >= -1);
        if (i < 0 || i == roots) FUZZ_CHECK(*kova_rootfolder_path(i) == '\0' && free_space == -1);
    }
    int32_t queue = kova_queue_count();
    FUZZ_CHECK(queue >= 0 && queue <= fuzz_limits::queue);
    for (int32_t i = -1; i <= queue; ++i) {
        bool in = i >= 0 && i < queue;
        check_text(kova_queue_title(i));
        check_text(kova_queue_status(i));
        check_text(kova_queue_message(i));
        int32_t progress = kova_queue_progress(i);
        FUZZ_CHECK(progress >= -1 && progress <= 1000);
        if (!in) FUZZ_CHECK(kova_queue_id(i) == -1 && kova_queue_eta(i) == -1 && *kova_queue_status(i) == '\0');
    }
    int32_t days = kova_calendar_count();
    FUZZ_CHECK(days >= 0);
    for (int32_t i = -1; i <= days; ++i) {
        bool in = i >= 0 && i < days;
        check_text(kova_calendar_title(i));
        check_text(kova_calendar_series(i));
        if (in && i > 0 && kova_calendar_date(i) >= 0) FUZZ_CHECK(kova_calendar_date(i - 1) >= 0 && kova_calendar_date(i - 1) <= kova_calendar_date(i));
        if (!in) FUZZ_CHECK(kova_calendar_date(i) == -1 && *kova_calendar_kind(i) == '\0');
    }
    int32_t logs = kova_test_log_count();
    FUZZ_CHECK(logs >= 0 && logs <= fuzz_limits::log_entries);
    for (int32_t i = -1; i <= logs; ++i) {
        check_text(kova_test_log_key(i));
        check_text(kova_test_log_text(i), fuzz_limits::log_text);
    }
    int32_t w = kova_warning_count();
    FUZZ_CHECK(w >= 0 && w <= fuzz_limits::warnings);
    for (int32_t i = -1; i <= w; ++i) check_text(kova_warning(i), fuzz_limits::message);
    check_text(kova_last_error(), fuzz_limits::message);
    // Fuzz inputs are small: a report of lost memory misreports something else.
    FUZZ_CHECK(kova_last_rc() != KOVA_ERR_OOM);
    int32_t stage = kova_jackett_stage();
    FUZZ_CHECK(stage >= KOVA_STAGE_NONE && stage <= KOVA_STAGE_QUERY);
}

// The length of the well-formed UTF-8 sequence at s (n bytes left), 0 when
// none starts there: no overlong forms, surrogates or values past U+10FFFF.
inline size_t utf8_seq(const unsigned char *s, size_t n) {
    unsigned c = s[0];
    if (c < 0x80) return 1;
    size_t len = c >= 0xF8 ? 0 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
    if (!len || len > n) return 0;
    uint32_t cp = c & (0x7Fu >> len);
    for (size_t k = 1; k < len; ++k) {
        if ((s[k] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (s[k] & 0x3Fu);
    }
    static const uint32_t k_min[5] = {0, 0, 0x80, 0x800, 0x10000};
    return cp < k_min[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ? 0 : len;
}

// The text with each byte that begins no well-formed sequence as U+FFFD.
inline std::string utf8_repaired(const char *s) {
    std::string out;
    const auto *u = reinterpret_cast<const unsigned char *>(s);
    size_t n = strlen(s);
    for (size_t i = 0; i < n;) {
        size_t len = utf8_seq(u + i, n - i);
        out.append(len ? s + i : "\xEF\xBF\xBD", len ? len : 3);
        i += len ? len : 1;
    }
    return out;
}

// The result document as yyjson writes the same members read back through
// the accessors (texts repaired as above; a valid text is unchanged by it):
// the library writes the document itself and must give exactly these bytes.
inline std::string reference_document() {
    yyjson_mut_doc *doc = yyjson_mut_doc_new(nullptr);
    FUZZ_CHECK(doc != nullptr);
    auto str = [doc](const char *s) {
        std::string t = utf8_repaired(s);
        return yyjson_mut_strncpy(doc, t.data(), t.size());
    };
    yyjson_mut_val *root = yyjson_mut_obj(doc);
    yyjson_mut_doc_set_root(doc, root);
    yyjson_mut_obj_add_int(doc, root, "stage", kova_jackett_stage());
    yyjson_mut_obj_add_int(doc, root, "rc", kova_last_rc());
    yyjson_mut_val *results = yyjson_mut_arr(doc);
    for (int32_t i = 0; i < kova_result_count(); ++i) {
        yyjson_mut_val *o = yyjson_mut_arr_add_obj(doc, results);
#define KV_X(name, kind, key, ...) KV_FUZZ_REF_##kind(name, key)
        KV_ROW_FIELDS(KV_X)
#undef KV_X
    }
    yyjson_mut_obj_add_val(doc, root, "results", results);
    yyjson_mut_val *indexers = yyjson_mut_obj_add_arr(doc, root, "indexers");
    for (int32_t i = 0; i < kova_indexer_count(); ++i) {
        yyjson_mut_val *o = yyjson_mut_arr_add_obj(doc, indexers);
        yyjson_mut_obj_add(o, yyjson_mut_str(doc, "id"), str(kova_indexer_id(i)));
        yyjson_mut_obj_add(o, yyjson_mut_str(doc, "name"), str(kova_indexer_name(i)));
        yyjson_mut_obj_add_int(doc, o, "status", kova_indexer_status(i));
        yyjson_mut_obj_add_int(doc, o, "results", kova_indexer_results(i));
        yyjson_mut_obj_add(o, yyjson_mut_str(doc, "error"), str(kova_indexer_error(i)));
    }
    yyjson_mut_obj_add_int(doc, root, "indexers_errored", kova_indexers_errored());
    yyjson_mut_val *warnings = yyjson_mut_obj_add_arr(doc, root, "warnings");
    for (int32_t i = 0; i < kova_warning_count(); ++i) yyjson_mut_arr_append(warnings, str(kova_warning(i)));
    size_t len = 0;
    char *text = yyjson_mut_write(doc, 0, &len);
    yyjson_mut_doc_free(doc);
    FUZZ_CHECK(text != nullptr);
    std::string out(text, len);
    free(text);
    return out;
}

// The result document parses back as strict JSON and agrees with the
// accessors: same rows, same indexers, same code, stage and warnings, and
// the bytes yyjson gives for them.
inline void check_document() {
    const char *text = kova_result_json();
    FUZZ_CHECK(text != nullptr && *text == '{');
    FUZZ_CHECK(reference_document() == text);
    yyjson_doc *doc = yyjson_read(text, strlen(text), 0);
    FUZZ_CHECK(doc != nullptr);
    yyjson_val *root = yyjson_doc_get_root(doc);
    FUZZ_CHECK(yyjson_is_obj(root) && yyjson_obj_size(root) == 6);
    yyjson_val *results = yyjson_obj_get(root, "results");
    int32_t rows = kova_result_count();
    FUZZ_CHECK(yyjson_is_arr(results) && yyjson_arr_size(results) == static_cast<size_t>(rows));
    FUZZ_CHECK(yyjson_arr_size(yyjson_obj_get(root, "indexers")) == static_cast<size_t>(kova_indexer_count()));
    FUZZ_CHECK(yyjson_get_sint(yyjson_obj_get(root, "rc")) == kova_last_rc());
    FUZZ_CHECK(yyjson_get_sint(yyjson_obj_get(root, "stage")) == kova_jackett_stage());
    FUZZ_CHECK(yyjson_get_sint(yyjson_obj_get(root, "indexers_errored")) == kova_indexers_errored());
    FUZZ_CHECK(yyjson_arr_size(yyjson_obj_get(root, "warnings")) == static_cast<size_t>(kova_warning_count()));
    size_t idx, max;
    yyjson_val *row;
    yyjson_arr_foreach(results, idx, max, row) {
        int32_t i = static_cast<int32_t>(idx);
        FUZZ_CHECK(yyjson_is_obj(row) && yyjson_obj_size(row) == k_row_members);
        // Row texts come from JSON read strictly or mended (valid UTF-8 either way): unchanged in the document.
#define KV_X(name, kind, key, ...) KV_FUZZ_DOC_##kind(name, key)
        KV_ROW_FIELDS(KV_X)
#undef KV_X
    }
    yyjson_doc_free(doc);
}

// Everything at once: rows (with one index past each end), lists, document.
inline void check_results() {
    int32_t rows = kova_result_count();
    FUZZ_CHECK(rows >= 0 && rows <= fuzz_limits::rows);
    for (int32_t i = -1; i <= rows; ++i) check_row(i, i >= 0 && i < rows);
    check_row(INT32_MIN, false);
    check_row(INT32_MAX, false);
    check_lists();
    check_document();
}

// A JSON string literal of arbitrary bytes (invalid UTF-8 stays invalid):
// quotes and backslashes escaped, control bytes (NUL included) as \u00XX.
inline std::string json_quoted(const std::string &s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char esc[8];
            snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// A text that the library reads up to its first NUL, as a host would pass it.
inline std::string c_text(const uint8_t *data, size_t size) {
    std::string s(reinterpret_cast<const char *>(data), size);
    return s.substr(0, strlen(s.c_str()));
}

// An independent reading of a member, as the documentation words it: the
// first member with exactly that key, else the first whose key matches with
// ASCII letter case ignored. Used as the oracle for the parsers' own, faster
// key resolution.
inline yyjson_val *oracle_get(yyjson_val *obj, const char *key) {
    size_t n = strlen(key);
    size_t idx, max;
    yyjson_val *k, *v;
    yyjson_obj_foreach(obj, idx, max, k, v) {
        if (yyjson_get_len(k) == n && memcmp(yyjson_get_str(k), key, n) == 0) return v;
    }
    yyjson_obj_foreach(obj, idx, max, k, v) {
        if (yyjson_get_len(k) != n) continue;
        const char *a = yyjson_get_str(k);
        bool same = true;
        for (size_t i = 0; i < n && same; ++i) {
            char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + 32) : a[i];
            char y = key[i] >= 'A' && key[i] <= 'Z' ? static_cast<char>(key[i] + 32) : key[i];
            same = x == y;
        }
        if (same) return v;
    }
    return nullptr;
}

// The text fields of the rows the parser made from `rows` (an array of
// objects, row i from the i-th object) agree with the oracle wherever the
// member is a string, null or absent.
// Whether s is valid UTF-8 (up to its NUL), by the strict reader.
inline bool utf8_ok(const char *s) {
    std::string q = json_quoted(s);
    yyjson_doc *d = yyjson_read(q.data(), q.size(), 0);
    yyjson_doc_free(d);
    return d != nullptr;
}

// An oracle of a service answer: the strict read, or, when only invalid
// Unicode in its strings stops that, the read allowing it (which yyjson
// still refuses for escaped lone surrogates: then null, and nothing is
// compared). A mended answer must carry the library's warning about it.
inline yyjson_doc *oracle_read(const std::string &text) {
    yyjson_doc *doc = yyjson_read(text.data(), text.size(), 0);
    if (doc) return doc;
    FUZZ_CHECK(kova_warning_count() >= 1 && strstr(kova_warning(0), " texts of the answer replaced by U+FFFD"));
    return yyjson_read(text.data(), text.size(), YYJSON_READ_ALLOW_INVALID_UNICODE);
}

inline void check_row_texts(yyjson_val *rows, const char *const *keys, const char *(*const *fns)(int32_t),
                            size_t nkeys) {
    int32_t i = 0;
    size_t idx, max;
    yyjson_val *obj;
    yyjson_arr_foreach(rows, idx, max, obj) {
        if (!yyjson_is_obj(obj)) continue;
        if (i >= kova_result_count()) break;
        for (size_t k = 0; k < nkeys; ++k) {
            yyjson_val *v = oracle_get(obj, keys[k]);
            const char *got = fns[k](i);
            if (!v || yyjson_is_null(v)) FUZZ_CHECK(*got == '\0');
            if (yyjson_is_str(v)) {
                // A text the answer holds with invalid Unicode comes out
                // repaired (valid UTF-8); every other text as it is.
                const char *want = yyjson_get_str(v);
                if (utf8_ok(want))
                    FUZZ_CHECK(strcmp(got, want) == 0);
                else
                    FUZZ_CHECK(utf8_ok(got));
            }
        }
        ++i;
    }
    FUZZ_CHECK(i == kova_result_count());
}

// The same for integer fields, wherever the member is absent, null or an
// integer: -1, or the value clamped to 32 bits.
inline void check_row_ints(yyjson_val *rows, const char *const *keys, int32_t (*const *fns)(int32_t), size_t nkeys) {
    int32_t i = 0;
    size_t idx, max;
    yyjson_val *obj;
    yyjson_arr_foreach(rows, idx, max, obj) {
        if (!yyjson_is_obj(obj)) continue;
        if (i >= kova_result_count()) break;
        for (size_t k = 0; k < nkeys; ++k) {
            yyjson_val *v = oracle_get(obj, keys[k]);
            int32_t got = fns[k](i);
            int64_t want;
            if (!v || yyjson_is_null(v)) {
                want = -1;
            } else if (yyjson_is_uint(v)) {
                uint64_t u = yyjson_get_uint(v);
                want = u >= (1ULL << 63) ? -1 : (u > 2147483647 ? 2147483647 : static_cast<int64_t>(u));
            } else if (yyjson_is_sint(v)) {
                int64_t x = yyjson_get_sint(v);
                want = x < -2147483647 ? -2147483647 : (x > 2147483647 ? 2147483647 : x);
            } else {
                continue;
            }
            FUZZ_CHECK(got == want);
        }
        ++i;
    }
}
