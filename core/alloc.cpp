#include "core/alloc.h"

#include <cstdint>
#include <cstring>

#include "core/core.h"
#include "core/platform.h"

namespace kova {

#if defined(KV_FAULT_INJECTION)

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

void *mem_alloc(size_t n) { return should_fail() ? nullptr : malloc(n); }
void *mem_calloc(size_t count, size_t size) { return should_fail() ? nullptr : calloc(count, size); }
void *mem_realloc(void *p, size_t n) { return should_fail() ? nullptr : realloc(p, n); }

void fault_arm(long n, bool persistent) {
    g_fault_at = n;
    g_fault_persist = persistent;
    g_fault_count = 0;
    g_fault_hit = false;
}
void fault_disarm() { g_fault_at = 0; g_fault_persist = false; }
long fault_count() { return g_fault_count; }
bool fault_injected() { return g_fault_hit; }
void fault_random(int n) { g_fault_random = n; }
bool fault_random_fails() {
    if (g_fault_random <= 0) return false;
    --g_fault_random;
    return true;
}

#endif

namespace {
void *alc_malloc(void *, size_t n) { return mem_alloc(n); }
void *alc_realloc(void *, void *p, size_t, size_t n) { return mem_realloc(p, n); }
void alc_free(void *, void *p) { mem_free(p); }
} // namespace

const yyjson_alc json_alc = {alc_malloc, alc_realloc, alc_free, nullptr};

} // namespace kova
