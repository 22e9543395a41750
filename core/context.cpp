// The per-call diagnostics (last error, warnings and the test log) and the
// release of the core part of a context.
#include <cstdio>
#include <cstring>

#include "core/core.h"

namespace {
struct code_name {
    int32_t code;
    const char *name;
};
constexpr code_name k_code_names[] = {
    {OK, "OK"},
    {PARTIAL, "PARTIAL"},
    {ERR_TRANSPORT, "ERR_TRANSPORT"},
    {ERR_HTTP, "ERR_HTTP"},
    {ERR_AUTH, "ERR_AUTH"},
    {ERR_JSON, "ERR_JSON"},
    {ERR_NOT_CONFIGURED, "ERR_NOT_CONFIGURED"},
    {ERR_NOT_FOUND, "ERR_NOT_FOUND"},
    {ERR_EMPTY, "ERR_EMPTY"},
    {ERR_NOT_ARMED, "ERR_NOT_ARMED"},
    {ERR_NO_IO, "ERR_NO_IO"},
    {ERR_INVALID_ARG, "ERR_INVALID_ARG"},
    {ERR_OOM, "ERR_OOM"},
    {ERR_INDEXERS, "ERR_INDEXERS"},
};
} // namespace

const char *kova_code_name(int32_t code) {
    for (const code_name &c : k_code_names)
        if (c.code == code) return c.name;
    return "ERR_UNKNOWN";
}

void kova_begin(kova_diag *d) {
    for (int32_t i = 0; i < d->warning_count; ++i) {
        kova_free(d->warnings[i]);
        d->warnings[i] = nullptr;
    }
    d->warning_count = 0;
    d->rc = 0;
    d->http_code = 0;
    d->err[0] = '\0';
}

int32_t kova_fail(kova_diag *d, int32_t code, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(d->err, sizeof d->err, fmt, ap);
    va_end(ap);
    d->rc = code;
    return code;
}

int32_t kova_oom(kova_diag *d) { return kova_fail(d, ERR_OOM, "out of memory"); }

void kova_warnf(kova_diag *d, const char *fmt, ...) {
    if (d->warning_count >= kova_max_warnings) return;
    char buf[kova_warn_size];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    char *copy = kova_strdup(buf);
    if (!copy) return; // a lost warning never changes the call's result
    d->warnings[d->warning_count++] = copy;
}

void kova_logf(kova_diag *d, const char *key, const char *fmt, ...) {
    if (d->test_log_count >= kova_max_log) return;
    char buf[kova_log_size];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    char *k = kova_strdup(key);
    char *t = kova_strdup(buf);
    if (!k || !t) {
        kova_free(k);
        kova_free(t);
        return;
    }
    d->test_log[d->test_log_count].key = k;
    d->test_log[d->test_log_count].text = t;
    ++d->test_log_count;
}

void kova_diag_save(const kova_diag *d, kova_diag_mark *m) {
    m->rc = d->rc;
    m->warning_count = d->warning_count;
    memcpy(m->err, d->err, sizeof m->err);
}

void kova_diag_rewind(kova_diag *d, const kova_diag_mark *m) {
    for (int32_t i = m->warning_count; i < d->warning_count; ++i) {
        kova_free(d->warnings[i]);
        d->warnings[i] = nullptr;
    }
    if (d->warning_count > m->warning_count) d->warning_count = m->warning_count;
    d->rc = m->rc;
    memcpy(d->err, m->err, sizeof d->err);
}

void kova_log_clear(kova_diag *d) {
    for (int32_t i = 0; i < d->test_log_count; ++i) {
        kova_free(d->test_log[i].key);
        kova_free(d->test_log[i].text);
        d->test_log[i] = kova_log_entry{};
    }
    d->test_log_count = 0;
}

void kova_core_free(kova_core *c) {
    kova_begin(c);
    kova_log_clear(c);
    for (kova_svc &s : c->svc) {
        kova_free(s.host);
        kova_free(s.api_key);
        kova_free(s.base_url);
        kova_free(s.url_base);
    }
    memset(static_cast<void *>(c), 0, sizeof *c);
}
