// Reading a service answer through the library's own copy of it: the copy
// ends at the host's NUL (or at the length given), whatever the text's
// length and where it starts, and the document lives in that copy.
#include <cstring>
#include <string>
#include <vector>

#include "support/kova_test.h"

namespace {

// The document and its copy, released together.
struct Read {
    diagnostics diag{};
    yyjson_doc *doc = nullptr;
    char *copy = nullptr;
    bool oom = false;
    Read(const char *text, size_t len) { doc = answer_read_copy(&diag, text, len, &copy, &oom); }
    ~Read() {
        yyjson_doc_free(doc);
        mem_free(copy);
        begin_call(&diag); // releases the warnings
    }
    Read(const Read &) = delete;
    Read &operator=(const Read &) = delete;
    std::string root_str() const {
        yyjson_val *root = doc ? yyjson_doc_get_root(doc) : nullptr;
        return yyjson_is_str(root) ? std::string(yyjson_get_str(root), yyjson_get_len(root)) : "<none>";
    }
};

// A JSON string of n bytes in all: '"', n - 2 letters, '"'.
std::string json_string(size_t n) {
    std::string s(n, 'a');
    for (size_t i = 1; i + 1 < n; ++i) s[i] = static_cast<char>('a' + i % 26);
    s.front() = s.back() = '"';
    return s;
}

// Lengths about the copy's blocks (16 bytes, rounds of 64) and the points
// where its buffer grows (64 KiB, then doubling), each from every start
// within a 16-byte block, with bytes after the NUL that must not be copied.
TEST(AnswerReadCopy, EndsAtTheNulWhateverTheLengthAndStart) {
    const size_t lengths[] = {2, 3, 15, 16, 17, 31, 63, 64, 65, 127, 65535, 65536, 65537, 131071, 131072, 131073, 300000};
    for (size_t n : lengths) {
        const std::string text = json_string(n);
        for (size_t start = 0; start < 16; start += n > 1000 ? 5 : 1) {
            std::vector<char> buf(start + n + 40, '"'); // what follows the NUL would end the document badly
            memcpy(buf.data() + start, text.data(), n);
            buf[start + n] = '\0';
            Read r(buf.data() + start, to_nul);
            ASSERT_NE(r.doc, nullptr) << "length " << n << " start " << start;
            EXPECT_EQ(r.root_str(), text.substr(1, n - 2)) << "length " << n << " start " << start;
            // The document's strings live in the copy, which ends in zeros.
            ASSERT_NE(r.copy, nullptr);
            EXPECT_EQ(memcmp(r.copy, text.data(), n - 1), 0);
            EXPECT_EQ(std::string(r.copy + n - 1, YYJSON_PADDING_SIZE + 1), std::string(YYJSON_PADDING_SIZE + 1, '\0'));
        }
    }
}

TEST(AnswerReadCopy, AKnownLengthIsCopiedAsIs) {
    const std::string text = "[1,2]garbage";
    Read r(text.data(), 5);
    ASSERT_NE(r.doc, nullptr);
    EXPECT_EQ(yyjson_arr_size(yyjson_doc_get_root(r.doc)), 2u);
    ASSERT_NE(r.copy, nullptr);
    // A NUL inside the given length is part of the text, and not JSON.
    const char with_nul[] = "[1,\0 2]";
    Read bad(with_nul, sizeof with_nul - 1);
    EXPECT_EQ(bad.doc, nullptr);
    EXPECT_FALSE(bad.oom);
    EXPECT_EQ(bad.copy, nullptr);
}

TEST(AnswerReadCopy, NotJsonEmptyOrNull) {
    for (const char *text : {"", "{", "[1,]", "nul"}) {
        Read r(text, to_nul);
        EXPECT_EQ(r.doc, nullptr) << text;
        EXPECT_FALSE(r.oom) << text;
        EXPECT_EQ(r.copy, nullptr) << text;
    }
    Read none(nullptr, to_nul);
    EXPECT_EQ(none.doc, nullptr);
    EXPECT_FALSE(none.oom);
}

// A failed read in place may have written over the copy: the mending starts
// from the host's text, and the mended document holds its own copy.
TEST(AnswerReadCopy, MendsFromTheHostsText) {
    const std::string text = "[\"a\\n\\u00e9\xff\",\"\\ud800\"]";
    Read r(text.c_str(), to_nul);
    ASSERT_NE(r.doc, nullptr);
    EXPECT_STREQ(yyjson_get_str(yyjson_arr_get(yyjson_doc_get_root(r.doc), 0)), "a\n\xc3\xa9\xef\xbf\xbd");
    EXPECT_STREQ(yyjson_get_str(yyjson_arr_get(yyjson_doc_get_root(r.doc), 1)), "\xef\xbf\xbd");
    EXPECT_EQ(r.copy, nullptr);
    ASSERT_EQ(r.diag.warning_count, 1);
    EXPECT_STREQ(r.diag.warnings[0], "invalid Unicode in 2 texts of the answer replaced by U+FFFD");
}

// Every allocation, the buffer's growth included, may fail: then no
// document, out of memory, and nothing held; only the mending's warning may
// be lost instead.
TEST(AnswerReadCopy, EachAllocationFailureIsOutOfMemory) {
    const std::string text = json_string(200000);
    for (const std::string &t : {text, std::string("[\"\xff\"]")}) {
        Read *r = nullptr;
        int runs = oom_sweep([&] { delete r; r = nullptr; },
                  [&] {
                      r = new Read(t.c_str(), to_nul);
                      return r->doc ? OK : ERR_OOM;
                  },
                  [&](int32_t rc, bool injected) {
                      if (injected && rc == OK) {
                          EXPECT_EQ(r->diag.warning_count, 0); // the warning was lost
                          return;
                      }
                      EXPECT_EQ(rc, injected ? ERR_OOM : OK);
                      EXPECT_EQ(r->oom, injected);
                      EXPECT_EQ(r->copy != nullptr, !injected && t == text);
                  });
        EXPECT_GE(runs, t == text ? 4 : 2); // the first block, two growths, yyjson's values
        delete r;
    }
}

} // namespace
