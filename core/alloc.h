// The library's allocation helpers. Everything the library allocates goes
// through them (yyjson documents too, through json_alc), so that test builds
// can make the N-th allocation fail and sweep every out-of-memory path.
// Memory is the runtime's malloc family: anything handed across the C
// interface, or to a transport, can be released with free().
#pragma once

#include <cstddef>
#include <cstdlib>

#include <yyjson.h>

namespace kova {

#if defined(KV_FAULT_INJECTION)

void *mem_alloc(size_t n);
void *mem_calloc(size_t count, size_t size);
void *mem_realloc(void *p, size_t n);

// Fault injection (test builds only). Arming with n > 0 makes the n-th
// allocation from now on fail (and, when persistent, every later one too) on
// the calling thread. Arming with 0 disarms.
void fault_arm(long n, bool persistent = false);
void fault_disarm();
// Allocations attempted on this thread since the last arm.
long fault_count();
// True once an armed failure was injected since the last arm.
bool fault_injected();
// Makes the next n calls of the system random source report failure.
void fault_random(int n);
bool fault_random_fails();

#else

inline void *mem_alloc(size_t n) { return malloc(n); }
inline void *mem_calloc(size_t count, size_t size) { return calloc(count, size); }
inline void *mem_realloc(void *p, size_t n) { return realloc(p, n); }
inline bool fault_random_fails() { return false; }

#endif

inline void mem_free(void *p) { free(p); }

// yyjson allocator over the helpers above.
extern const yyjson_alc json_alc;

// Scope guards: release a parsed or mutable document, or an owned text, on
// every path out of a scope.
struct doc_guard {
    yyjson_doc *doc;
    explicit doc_guard(yyjson_doc *d) : doc(d) {}
    ~doc_guard() { yyjson_doc_free(doc); }
    doc_guard(const doc_guard &) = delete;
    doc_guard &operator=(const doc_guard &) = delete;
    yyjson_doc *release() { yyjson_doc *d = doc; doc = nullptr; return d; }
};

struct mut_doc_guard {
    yyjson_mut_doc *doc;
    explicit mut_doc_guard(yyjson_mut_doc *d) : doc(d) {}
    ~mut_doc_guard() { yyjson_mut_doc_free(doc); }
    mut_doc_guard(const mut_doc_guard &) = delete;
    mut_doc_guard &operator=(const mut_doc_guard &) = delete;
};

struct text_guard {
    char *p;
    explicit text_guard(char *t = nullptr) : p(t) {}
    ~text_guard() { mem_free(p); }
    text_guard(const text_guard &) = delete;
    text_guard &operator=(const text_guard &) = delete;
    char *release() { char *t = p; p = nullptr; return t; }
    void reset(char *t) { mem_free(p); p = t; }
};

} // namespace kova
