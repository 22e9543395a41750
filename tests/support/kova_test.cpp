#include "support/kova_test.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

std::string fixture(const char *name) {
    std::string path = std::string(KOVA_TEST_FIXTURES) + "/" + name;
    std::string text;
    if (FILE *f = fopen(path.c_str(), "rb")) {
        char buf[65536];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
        fclose(f);
    }
    EXPECT_FALSE(text.empty()) << "no recorded answer at " << path;
    return text;
}

void KovaTest::SetUp() {
    fault_disarm();
    kova_session_bind(nullptr);
    kova_reset();
    kova_fake_reset();
}

void KovaTest::TearDown() {
    fault_disarm();
    // Whatever a test leaves behind is also a case for the result document.
    EXPECT_TRUE(document_matches_reference(current()));
    kova_reset();
    kova_fake_reset();
}

int oom_sweep(const std::function<void()> &setup, const std::function<int32_t()> &op,
              const std::function<void(int32_t rc, bool injected)> &check, long max_runs) {
    int failures = 0;
    for (long n = 1; n <= max_runs; ++n) {
        setup();
        fault_arm(n);
        int32_t rc = op();
        bool injected = fault_injected();
        fault_disarm();
        SCOPED_TRACE("allocation " + std::to_string(n));
        check(rc, injected);
        if (!injected) break;
        ++failures;
    }
    return failures;
}

namespace {
char *dup_out(RecordingIo *r, const char *s) {
    if (!s) return nullptr;
    char *p = static_cast<char *>(malloc(strlen(s) + 1));
    strcpy(p, s);
    r->handed_out.push_back(p);
    r->live.push_back(true);
    return p;
}

int32_t answer(RecordingIo *r, const char *url, char **body, int32_t *status, char **err) {
    auto it = r->answers.find(url);
    const RecordingIo::Answer &a = it == r->answers.end() ? r->fallback : it->second;
    *body = dup_out(r, a.body);
    *err = dup_out(r, a.error);
    if (a.set_status) *status = a.status;
    return a.ret;
}

int32_t rec_get(void *user, const char *url, char **body, int32_t *status, char **err) {
    auto *r = static_cast<RecordingIo *>(user);
    r->calls.push_back({false, url, "", "", false, user});
    return answer(r, url, body, status, err);
}

int32_t rec_post(void *user, const char *url, const char *req, const char *ct, char **body,
                 int32_t *status, char **err) {
    auto *r = static_cast<RecordingIo *>(user);
    r->calls.push_back({true, url, req ? req : "", ct ? ct : "", req == nullptr, user});
    return answer(r, url, body, status, err);
}

void rec_release(void *user, char *text) {
    auto *r = static_cast<RecordingIo *>(user);
    r->released.emplace_back(text, static_cast<int>(r->released.size()));
    // Addresses are reused after free: match the newest live hand-out.
    bool found = false;
    for (size_t i = r->handed_out.size(); i-- > 0;)
        if (r->live[i] && r->handed_out[i] == text) {
            r->live[i] = false;
            found = true;
            break;
        }
    if (!found) ++r->double_releases;
    free(text);
}
} // namespace

RecordingIo::RecordingIo() {
    io.user = this;
    io.get = rec_get;
    io.post = rec_post;
    io.release = rec_release;
}

RecordingIo::~RecordingIo() = default;

int RecordingIo::unreleased() const {
    int n = 0;
    for (bool l : live) n += l ? 1 : 0;
    return n;
}

int RecordingIo::released_twice() const { return double_releases; }
