// The options of a host transport (see options.h).
#include "options.h"

#include "kova.h"

#include <cstdio>
#include <cstdlib>

namespace kova_transport {

namespace {

// When neither the option nor the library names a total time-out.
constexpr int32_t k_fallback_total_ms = 100000;

void release(char *text) { free(text); }
template <class T>
void release(T) {}

}  // namespace

bool take_time(int32_t v, int32_t &out) {
    out = v;
    return v >= 0;
}

bool take_connect_time(int32_t v, int32_t &out) {
    out = v > 0 ? v : k_default_connect_ms;
    return v >= 0;
}

bool take_flag(int32_t v, bool &out) {
    out = v != 0;
    return true;
}

bool take_size_cap(int64_t v, int64_t &out) {
    out = v > 0 ? v : k_default_max_response;
    // The body buffer counts in size_t.
    if (sizeof(size_t) < 8 && out > 0x7fffffff) out = 0x7fffffff;
    return v >= 0;
}

bool take_file(const char *v, char *&out) { return !v || !v[0] || (out = dup_text(v)) != nullptr; }

bool take_text(const char *v, char *&out) { return !v || (out = dup_text(v)) != nullptr; }

bool take_agent(const char *v, char *&out) {
    if (v) return (out = dup_text(v)) != nullptr;
    char ua[64];
    snprintf(ua, sizeof ua, "kova/%s", kova_version());
    return (out = dup_text(ua)) != nullptr;
}

bool take_base(const char *v, char *&out) { return (out = norm_base(v)) != nullptr; }

settings::~settings() {
#define KOVA_RELEASE(kept, name, initial, rule) release(name);
    KOVA_TRANSPORT_OPTIONS(KOVA_RELEASE)
#undef KOVA_RELEASE
}

int32_t settings::total_ms() const {
    int32_t total = timeout_ms > 0 ? timeout_ms : kova_timeout_ms();
    return total > 0 ? total : k_fallback_total_ms;
}

int32_t settings::connect_ms(int32_t total) const { return connect_timeout_ms < total ? connect_timeout_ms : total; }

}  // namespace kova_transport
