// Replays every committed fuzz corpus file through its target, in every
// build (gcc, ASan, valgrind), so that the corpora and every input a fuzzer
// ever crashed on stay regression tests even where libFuzzer is not built.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/kova_test.h"

#define KOVA_FUZZ_REPLAY 1
#include "fuzz/configure_fuzzer.cpp"
#include "fuzz/jackett_fuzzer.cpp"
#include "fuzz/releases_fuzzer.cpp"
#include "fuzz/prowlarr_fuzzer.cpp"
#include "fuzz/queue_fuzzer.cpp"
#include "fuzz/sequence_fuzzer.cpp"
#include "fuzz/torznab_fuzzer.cpp"
#include "fuzz/validate_fuzzer.cpp"
#include "fuzz/workflow_fuzzer.cpp"

// The targets mirror the library's limits; they must agree with its own.
static_assert(fuzz_limits::rows == max_rows && fuzz_limits::lookup == max_lookup &&
              fuzz_limits::profiles == max_profiles && fuzz_limits::roots == max_roots &&
              fuzz_limits::queue == max_queue && fuzz_limits::categories == max_categories &&
              fuzz_limits::log_entries == max_log && fuzz_limits::warnings == max_warnings &&
              fuzz_limits::log_text == log_size - 1 && fuzz_limits::message == err_size - 1 &&
              fuzz_limits::message == warn_size - 1 &&
              fuzz_limits::default_timeout_ms == default_timeout_ms);

namespace {
namespace fs = std::filesystem;

struct target {
    const char *name;
    int (*one_input)(const uint8_t *, size_t);
};

constexpr target k_targets[] = {
    {"jackett", jackett_fuzzer::one_input},   {"releases", releases_fuzzer::one_input}, {"prowlarr", prowlarr_fuzzer::one_input},
    {"torznab", torznab_fuzzer::one_input},   {"validate", validate_fuzzer::one_input},
    {"configure", configure_fuzzer::one_input}, {"workflow", workflow_fuzzer::one_input},
    {"sequence", sequence_fuzzer::one_input}, {"queue", queue_fuzzer::one_input},
};

fs::path corpora() { return fs::path(__FILE__).parent_path().parent_path().parent_path() / "fuzz" / "corpora"; }

class CorpusReplay : public KovaTest, public ::testing::WithParamInterface<target> {};

TEST_P(CorpusReplay, EveryCommittedInputRunsClean) {
    fs::path dir = corpora() / GetParam().name;
    ASSERT_TRUE(fs::is_directory(dir)) << dir;
    std::vector<fs::path> files;
    for (const auto &e : fs::directory_iterator(dir))
        if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    EXPECT_FALSE(files.empty());
    for (const fs::path &f : files) {
        SCOPED_TRACE(f.string());
        std::ifstream in(f, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // A failed check aborts with its condition on stderr.
        EXPECT_EQ(GetParam().one_input(bytes.data(), bytes.size()), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Fuzz, CorpusReplay, ::testing::ValuesIn(k_targets),
                         [](const ::testing::TestParamInfo<target> &i) { return std::string(i.param.name); });
} // namespace
