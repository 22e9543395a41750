// Benchmarks of the library's hot paths against yyjson itself, on generated
// answers of realistic shape. Run through bench/run.sh, which prints the
// summary table with the ratios.
//
//   kova_bench --peak-memory   peak resident memory of one 200,000-row parse
//   kova_bench --peak-memory-search [ROWS] [tiny]
//                              the same for one search through the request
//                              frame and a host transport (150,000 rows)
//   kova_bench --write-jackett ROWS FILE
//                              the generator's Jackett answer of ROWS rows, to
//                              a file (for the whole-process comparison)
//   kova_bench [benchmark flags]
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <yyjson.h>

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "gen.h"
#include "kova.h"

namespace {

const char k_key[] = "benchkey0123456789";

const std::string &jackett_text(int rows) {
    static std::map<int, std::string> cache;
    auto it = cache.find(rows);
    if (it == cache.end()) it = cache.emplace(rows, gen::jackett(rows)).first;
    return it->second;
}

const std::string &release_text(int rows) {
    static std::map<int, std::string> cache;
    auto it = cache.find(rows);
    if (it == cache.end()) it = cache.emplace(rows, gen::releases(rows)).first;
    return it->second;
}

void set_rates(benchmark::State &state, size_t bytes, int64_t rows) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
    state.counters["rows"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
}

bool parse_ok(int32_t rc) { return rc == KOVA_OK || rc == KOVA_PARTIAL; }

// 1. The Jackett parse beside yyjson's own read of the same text.
void BM_yyjson_read_jackett(benchmark::State &state) {
    const std::string &text = jackett_text(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        yyjson_doc *doc = yyjson_read(text.data(), text.size(), 0);
        benchmark::DoNotOptimize(doc);
        yyjson_doc_free(doc);
    }
    set_rates(state, text.size(), state.range(0));
}

// yyjson as a host with a NUL-terminated text would call it: the length
// first. kova_parse_jackett takes such a text and pays the same strlen.
void BM_yyjson_read_cstr_jackett(benchmark::State &state) {
    const std::string &text = jackett_text(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const char *p = text.c_str();
        yyjson_doc *doc = yyjson_read(p, strlen(p), 0);
        benchmark::DoNotOptimize(doc);
        yyjson_doc_free(doc);
    }
    set_rates(state, text.size(), state.range(0));
}

void BM_kova_parse_jackett(benchmark::State &state) {
    const std::string &text = jackett_text(static_cast<int>(state.range(0)));
    kova_reset();
    for (auto _ : state) {
        int32_t rc = kova_parse_jackett(text.c_str());
        if (!parse_ok(rc)) state.SkipWithError(kova_last_error());
    }
    if (kova_result_count() != state.range(0)) state.SkipWithError("wrong row count");
    set_rates(state, text.size(), state.range(0));
    kova_reset();
}

// 2. The release-list parse, with the same comparison.
void BM_yyjson_read_releases(benchmark::State &state) {
    const std::string &text = release_text(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        yyjson_doc *doc = yyjson_read(text.data(), text.size(), 0);
        benchmark::DoNotOptimize(doc);
        yyjson_doc_free(doc);
    }
    set_rates(state, text.size(), state.range(0));
}

void BM_kova_parse_arr_releases(benchmark::State &state) {
    const std::string &text = release_text(static_cast<int>(state.range(0)));
    kova_reset();
    for (auto _ : state) {
        int32_t rc = kova_parse_arr_releases(text.c_str());
        if (rc != KOVA_OK) state.SkipWithError(kova_last_error());
    }
    set_rates(state, text.size(), state.range(0));
    kova_reset();
}

// 3. Every field of every row through the accessors.
void BM_accessors(benchmark::State &state) {
    const std::string &text = jackett_text(static_cast<int>(state.range(0)));
    kova_reset();
    if (!parse_ok(kova_parse_jackett(text.c_str()))) state.SkipWithError(kova_last_error());
    int32_t n = kova_result_count();
    for (auto _ : state) {
        uint64_t sum = 0;
        for (int32_t i = 0; i < n; ++i) {
            const char *t[] = {kova_result_title(i),    kova_result_tracker(i),  kova_result_tracker_id(i),
                               kova_result_guid(i),     kova_result_link(i),     kova_result_details(i),
                               kova_result_magnet(i),   kova_result_info_hash(i), kova_result_category_desc(i),
                               kova_result_imdb(i),     kova_result_tmdb(i),     kova_result_tvdb(i)};
            for (const char *s : t) sum += static_cast<unsigned char>(s[0]);
            uint64_t size = 0;
            sum += static_cast<uint64_t>(kova_result_size(i, &size)) + size;
            sum += static_cast<uint64_t>(kova_result_seeders(i) + kova_result_peers(i) + kova_result_files(i));
            int32_t cats = kova_result_category_count(i);
            for (int32_t j = 0; j < cats; ++j) sum += static_cast<uint64_t>(kova_result_category(i, j));
            sum += static_cast<uint64_t>(kova_result_publish_date(i));
            sum += static_cast<uint64_t>(kova_result_download_volume_factor(i) + kova_result_season(i) +
                                         kova_result_episode(i) + kova_result_full_season(i));
        }
        benchmark::DoNotOptimize(sum);
    }
    set_rates(state, text.size(), n);
    kova_reset();
}

// 4. The result document beside yyjson writing the parsed input.
void BM_yyjson_write(benchmark::State &state) {
    const std::string &text = jackett_text(static_cast<int>(state.range(0)));
    yyjson_doc *doc = yyjson_read(text.data(), text.size(), 0);
    for (auto _ : state) {
        size_t len = 0;
        char *out = yyjson_write(doc, 0, &len);
        benchmark::DoNotOptimize(out);
        free(out);
    }
    yyjson_doc_free(doc);
    set_rates(state, text.size(), state.range(0));
}

void BM_kova_result_json(benchmark::State &state) {
    const std::string &text = jackett_text(static_cast<int>(state.range(0)));
    kova_reset();
    if (!parse_ok(kova_parse_jackett(text.c_str()))) state.SkipWithError(kova_last_error());
    // A few untimed documents first: the writer's buffers settle in the heap
    // only after several rounds of growth.
    for (int i = 0; i < 4; ++i) benchmark::DoNotOptimize(kova_result_json());
    size_t len = 0;
    for (auto _ : state) {
        const char *out = kova_result_json();
        benchmark::DoNotOptimize(out);
        if (!*out) state.SkipWithError("empty result document");
        len = strlen(out);
    }
    state.counters["doc_bytes"] = static_cast<double>(len);
    set_rates(state, text.size(), state.range(0));
    kova_reset();
}

// 5. A staged search through the fake transport: the IMDb stage finds
// nothing, the title stage gets the answer and drops the rows of other IMDb
// numbers. The fake copies the body for every request.
void BM_staged_search(benchmark::State &state) {
    const std::string &text = jackett_text(static_cast<int>(state.range(0)));
    kova_reset();
    kova_fake_reset();
    kova_use_fake();
    kova_jackett_configure("127.0.0.1", 9117, 0, k_key);
    std::string base = std::string(kova_base_url(0)) + "/api/v2.0/indexers/all/results?apikey=" + k_key;
    kova_fake_set((base + "&Query=tt0133093").c_str(), 200, R"({"Results":[],"Indexers":[]})");
    kova_fake_set((base + "&Query=Matrix").c_str(), 200, text.c_str());
    for (auto _ : state) {
        int32_t rc = kova_jackett_search_imdb("tt0133093", "Matrix", nullptr);
        if (!parse_ok(rc) || kova_jackett_stage() != 2) state.SkipWithError(kova_last_error());
    }
    state.counters["kept_rows"] = kova_result_count();
    set_rates(state, text.size(), state.range(0));
    kova_reset();
    kova_fake_reset();
}

// Torznab indexer list and a series lookup, for completeness.
void BM_torznab_indexers(benchmark::State &state) {
    static const std::string xml = gen::torznab(static_cast<int>(state.range(0)));
    kova_reset();
    for (auto _ : state) {
        if (kova_parse_torznab_indexers(xml.c_str()) != KOVA_OK) state.SkipWithError(kova_last_error());
    }
    set_rates(state, xml.size(), state.range(0));
    kova_reset();
}

void BM_sonarr_lookup(benchmark::State &state) {
    static const std::string body = gen::lookup(static_cast<int>(state.range(0)));
    kova_reset();
    kova_fake_reset();
    kova_use_fake();
    kova_sonarr_configure("127.0.0.1", 8989, 0, k_key);
    std::string url = std::string(kova_base_url(1)) + "/api/v3/series/lookup?apikey=" + k_key + "&term=tt0903747";
    kova_fake_set(url.c_str(), 200, body.c_str());
    for (auto _ : state) {
        if (kova_sonarr_lookup("tt0903747", nullptr) < 0) state.SkipWithError(kova_last_error());
    }
    set_rates(state, body.size(), state.range(0));
    kova_reset();
    kova_fake_reset();
}

// 6. The ratios the targets are about, measured in pairs: each iteration
// times one run of each side, by turns (which goes first alternates), on
// the thread's CPU clock, so that both sides meet the same moment of a
// shared machine; the counter "ratio" is kova's time over yyjson's. The
// benchmarks above give each side's own figures.
double thread_cpu_ms() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

template <class Base, class Ours>
void run_pairs(benchmark::State &state, Base base, Ours ours) {
    double base_ms = 0, ours_ms = 0;
    bool base_first = true;
    for (auto _ : state) {
        for (int k = 0; k < 2; ++k) {
            double t0 = thread_cpu_ms();
            if (base_first == (k == 0)) base(); else ours();
            double dt = thread_cpu_ms() - t0;
            (base_first == (k == 0) ? base_ms : ours_ms) += dt;
        }
        base_first = !base_first;
    }
    state.counters["ratio"] = base_ms > 0 ? ours_ms / base_ms : 0;
}

void BM_pair_parse_jackett(benchmark::State &state) {
    const std::string &text = jackett_text(static_cast<int>(state.range(0)));
    kova_reset();
    // yyjson's document is kept until its next read, as kova keeps its set
    // until the next parse, so that neither side reads into memory the other
    // has just given back more often than the other does.
    yyjson_doc *doc = nullptr;
    run_pairs(
        state,
        [&] {
            yyjson_doc_free(doc);
            doc = yyjson_read(text.data(), text.size(), 0);
            benchmark::DoNotOptimize(doc);
        },
        [&] {
            if (!parse_ok(kova_parse_jackett(text.c_str()))) state.SkipWithError(kova_last_error());
        });
    yyjson_doc_free(doc);
    kova_reset();
}

void BM_pair_result_json(benchmark::State &state) {
    const std::string &text = jackett_text(static_cast<int>(state.range(0)));
    yyjson_doc *doc = yyjson_read(text.data(), text.size(), 0);
    kova_reset();
    if (!parse_ok(kova_parse_jackett(text.c_str()))) state.SkipWithError(kova_last_error());
    for (int i = 0; i < 4; ++i) benchmark::DoNotOptimize(kova_result_json());
    run_pairs(
        state,
        [&] {
            size_t len = 0;
            char *out = yyjson_write(doc, 0, &len);
            benchmark::DoNotOptimize(out);
            free(out);
        },
        [&] {
            const char *out = kova_result_json();
            benchmark::DoNotOptimize(out);
            if (!*out) state.SkipWithError("empty result document");
        });
    yyjson_doc_free(doc);
    kova_reset();
}

// Every benchmark first runs untimed for a while: the first runs of a large
// parse take their memory fresh from the kernel, and on this kind of machine
// those page faults cost more than the parse itself.
BENCHMARK(BM_yyjson_read_jackett)->Arg(1000)->Arg(10000)->Arg(200000)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.3);
BENCHMARK(BM_yyjson_read_cstr_jackett)->Arg(1000)->Arg(10000)->Arg(200000)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.3);
BENCHMARK(BM_kova_parse_jackett)->Arg(1000)->Arg(10000)->Arg(200000)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.3);
BENCHMARK(BM_yyjson_read_releases)->Arg(10000)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.3);
BENCHMARK(BM_kova_parse_arr_releases)->Arg(10000)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.3);
BENCHMARK(BM_accessors)->Arg(10000)->Arg(200000)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.3);
BENCHMARK(BM_yyjson_write)->Arg(10000)->Arg(200000)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.3);
BENCHMARK(BM_kova_result_json)->Arg(10000)->Arg(200000)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.3);
BENCHMARK(BM_staged_search)->Arg(10000)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.3);
BENCHMARK(BM_torznab_indexers)->Arg(500)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.3);
BENCHMARK(BM_sonarr_lookup)->Arg(1000)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.3);
// The pairs hold both sides' memory at once: a longer warm-up lets the heap
// settle before the first repetition, and a longer time gives the 200,000-row
// pairs several iterations a repetition.
BENCHMARK(BM_pair_parse_jackett)->Arg(10000)->Arg(200000)->Unit(benchmark::kMillisecond)->MinWarmUpTime(1.5)->MinTime(1.0);
BENCHMARK(BM_pair_result_json)->Arg(10000)->Arg(200000)->Unit(benchmark::kMillisecond)->MinWarmUpTime(1.5)->MinTime(1.0);

// Resident set size now and its peak, in bytes (Linux).
void rss(long *now, long *peak) {
    *now = *peak = -1;
    FILE *f = fopen("/proc/self/status", "r");
    if (!f) return;
    char line[256];
    while (fgets(line, sizeof line, f)) {
        if (!strncmp(line, "VmRSS:", 6)) *now = atol(line + 6) * 1024;
        if (!strncmp(line, "VmHWM:", 6)) *peak = atol(line + 6) * 1024;
    }
    fclose(f);
}

// Peak memory of a 200,000-row parse, the host's text included, as a
// multiple of the answer's size. The peak is reset after the answer is made
// so that the generator's own work does not count.
int peak_memory() {
    long base_now, base_peak;
    rss(&base_now, &base_peak);
    std::string *text = new std::string(gen::jackett(200000));
    long text_now, text_peak;
    rss(&text_now, &text_peak);
    FILE *clear = fopen("/proc/self/clear_refs", "w");
    bool reset = clear && fputs("5", clear) >= 0;
    if (clear) fclose(clear);
    int32_t rc = kova_parse_jackett(text->c_str());
    long now, peak;
    rss(&now, &peak);
    int32_t rows = kova_result_count();
    double answer = static_cast<double>(text->size());
    double used = static_cast<double>(peak - base_now);
    printf("{\"answer_bytes\":%zu,\"rows\":%d,\"rc\":%d,\"base_rss\":%ld,\"peak_rss\":%ld,\"after_rss\":%ld,"
           "\"peak_reset\":%s,\"peak_multiple\":%.3f}\n",
           text->size(), rows, rc, base_now, peak, now, reset ? "true" : "false", used / answer);
    kova_reset();
    delete text;
    return parse_ok(rc) && rows == 200000 ? 0 : 1;
}

// A host transport that hands over its own copy of the answer, as a real
// one does after reading it from the network (into a buffer sized from
// Content-Length), and releases it when the library is done with it.
const std::string *g_answer = nullptr;
int32_t answer_get(void *, const char *, char **body, int32_t *status, char **err) {
    *err = nullptr;
    *status = 200;
    *body = static_cast<char *>(malloc(g_answer->size() + 1));
    if (!*body) return 1;
    memcpy(*body, g_answer->c_str(), g_answer->size() + 1);
    return 0;
}
void answer_release(void *, char *text) { free(text); }

// Peak memory of one search through the request frame, the transport's
// buffer included, as a multiple of the answer's size: the realistic answer
// of `rows` rows, or `rows` tiny rows ({"a":1}, the worst case: yyjson's
// values and the rows outweigh the text many times).
int peak_memory_search(int rows, bool tiny) {
    std::string *text = new std::string;
    if (tiny) {
        text->reserve(static_cast<size_t>(rows) * 8 + 32);
        *text = "{\"Results\":[";
        for (int i = 0; i < rows; ++i) *text += i ? ",{\"a\":1}" : "{\"a\":1}";
        *text += "],\"Indexers\":[]}";
    } else {
        *text = gen::jackett(rows);
    }
    g_answer = text;
    static const kova_io io = {nullptr, answer_get, nullptr, answer_release};
    kova_set_io(&io);
    kova_jackett_configure("127.0.0.1", 9117, 0, k_key);
    long base_now, base_peak;
    rss(&base_now, &base_peak);
    FILE *clear = fopen("/proc/self/clear_refs", "w");
    bool reset = clear && fputs("5", clear) >= 0;
    if (clear) fclose(clear);
    int32_t rc = kova_jackett_search_query("Matrix");
    long now, peak;
    rss(&now, &peak);
    int32_t kept = kova_result_count();
    double answer = static_cast<double>(text->size());
    double used = static_cast<double>(peak - base_now);
    printf("{\"case\":\"search %s\",\"answer_bytes\":%zu,\"rows\":%d,\"rc\":%d,\"base_rss\":%ld,"
           "\"peak_rss\":%ld,\"after_rss\":%ld,\"peak_reset\":%s,\"peak_multiple\":%.3f}\n",
           tiny ? "tiny" : "realistic", text->size(), kept, rc, base_now, peak, now, reset ? "true" : "false",
           used / answer);
    kova_reset();
    delete text;
    return parse_ok(rc) ? 0 : 1;
}

} // namespace

// Writes the generator's Jackett answer of rows rows to path.
int write_jackett(int rows, const char *path) {
    std::string text = gen::jackett(rows);
    FILE *f = fopen(path, "wb");
    if (!f) {
        perror(path);
        return 1;
    }
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = fclose(f) == 0 && ok;
    if (!ok) perror(path);
    return ok ? 0 : 1;
}

int main(int argc, char **argv) {
    if (argc > 3 && !strcmp(argv[1], "--write-jackett")) return write_jackett(atoi(argv[2]), argv[3]);
    if (argc > 1 && !strcmp(argv[1], "--peak-memory")) return peak_memory();
    if (argc > 1 && !strcmp(argv[1], "--peak-memory-search"))
        return peak_memory_search(argc > 2 ? atoi(argv[2]) : 150000, argc > 3 && !strcmp(argv[3], "tiny"));
    // Steady state with a warm allocator: without this, glibc hands every
    // block above its mmap threshold back to the kernel on free, and each
    // iteration of a large parse (ours and yyjson's alike) pays page faults
    // that hide the work being measured.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 0x7fffffff); // the pairs of 200,000 rows hold over 1 GiB at once
    // --bound-session runs everything on a session bound to the main thread:
    // the accessors then take the path of a host that uses sessions (a
    // thread-local read per call) instead of the default context's global.
    // It is a process of its own because binding once switches the whole
    // process to that path.
    kova_session *session = nullptr;
    if (argc > 1 && !strcmp(argv[1], "--bound-session")) {
        session = kova_session_new();
        if (!session) return 1;
        kova_session_bind(session);
        argv[1] = argv[0];
        ++argv;
        --argc;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    kova_session_free(session);
    return 0;
}
