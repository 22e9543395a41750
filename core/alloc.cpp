#include "core/alloc.h"

#if defined(KOVA_FAULT_INJECTION)

namespace {
thread_local long g_fault_at = 0;       // fail when the count reaches this (0: never)
thread_local bool g_fault_persist = false;
thread_local long g_fault_count = 0;
thread_local bool g_fault_hit = false;
thread_local int g_fault_random = 0;

bool should_fail() {
    if (g_fault_at <= 0) return false;
    ++g_fault_count;
    if (g_fault_count == g_fault_at || (g_fault_persist && g_fault_count > g_fault_at)) {
        g_fault_hit = true;
        return true;
    }
    return false;
}
} // namespace

void *kova_malloc(size_t n) { return should_fail() ? nullptr : malloc(n); }
void *kova_calloc(size_t count, size_t size) { return should_fail() ? nullptr : calloc(count, size); }
void *kova_realloc(void *p, size_t n) { return should_fail() ? nullptr : realloc(p, n); }

void kova_fault_arm(long n, bool persistent) {
    g_fault_at = n;
    g_fault_persist = persistent;
    g_fault_count = 0;
    g_fault_hit = false;
}
void kova_fault_disarm() { g_fault_at = 0; g_fault_persist = false; }
long kova_fault_count() { return g_fault_count; }
bool kova_fault_injected() { return g_fault_hit; }
void kova_fault_random(int n) { g_fault_random = n; }
bool kova_fault_random_fails() {
    if (g_fault_random <= 0) return false;
    --g_fault_random;
    return true;
}

#endif

namespace {
void *alc_malloc(void *, size_t n) { return kova_malloc(n); }
void *alc_realloc(void *, void *p, size_t, size_t n) { return kova_realloc(p, n); }
void alc_free(void *, void *p) { kova_free(p); }
} // namespace

const yyjson_alc kova_alc = {alc_malloc, alc_realloc, alc_free, nullptr};

yyjson_doc *kova_json_read(const char *text, size_t len, bool *oom) {
    if (oom) *oom = false;
    if (!text) return nullptr;
    yyjson_read_err err;
    // Without YYJSON_READ_INSITU the input is only read, never written.
    yyjson_doc *doc = yyjson_read_opts(const_cast<char *>(text), len, 0, &kova_alc, &err);
    if (!doc && oom) *oom = err.code == YYJSON_READ_ERROR_MEMORY_ALLOCATION;
    return doc;
}
