// The per-call diagnostics (last error, warnings and the test log) and the
// release of the core part of a context.
#include <cstdio>
#include <cstring>

#include "core/core.h"

namespace kova {

namespace {
struct code_entry {
    int32_t code;
    const char *name;
};
constexpr code_entry k_code_names[] = {
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

const char *code_name(int32_t code) {
    for (const code_entry &c : k_code_names)
        if (c.code == code) return c.name;
    return "ERR_UNKNOWN";
}

void begin_call(diagnostics *d) {
    for (int32_t i = 0; i < d->warning_count; ++i) {
        mem_free(d->warnings[i]);
        d->warnings[i] = nullptr;
    }
    d->warning_count = 0;
    d->rc = 0;
    d->http_code = 0;
    d->err[0] = '\0';
    d->transport_err[0] = '\0';
}

int32_t fail(diagnostics *d, int32_t code, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(d->err, sizeof d->err, fmt, ap);
    va_end(ap);
    d->rc = code;
    return code;
}

int32_t fail_oom(diagnostics *d) { return fail(d, ERR_OOM, "out of memory"); }

void warnf(diagnostics *d, const char *fmt, ...) {
    if (d->warning_count >= max_warnings) return;
    char buf[warn_size];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    char *copy = text_dup(buf);
    if (!copy) return; // a lost warning never changes the call's result
    d->warnings[d->warning_count++] = copy;
}

void log_append(diagnostics *d, const char *key, const char *fmt, ...) {
    if (d->test_log_count >= max_log) return;
    char buf[log_size];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    char *k = text_dup(key);
    char *t = text_dup(buf);
    if (!k || !t) {
        mem_free(k);
        mem_free(t);
        return;
    }
    d->test_log[d->test_log_count].key = k;
    d->test_log[d->test_log_count].text = t;
    ++d->test_log_count;
}

void diag_save(const diagnostics *d, diag_mark *m) {
    m->rc = d->rc;
    m->warning_count = d->warning_count;
    memcpy(m->err, d->err, sizeof m->err);
    memcpy(m->transport_err, d->transport_err, sizeof m->transport_err);
}

void diag_rewind(diagnostics *d, const diag_mark *m) {
    for (int32_t i = m->warning_count; i < d->warning_count; ++i) {
        mem_free(d->warnings[i]);
        d->warnings[i] = nullptr;
    }
    if (d->warning_count > m->warning_count) d->warning_count = m->warning_count;
    d->rc = m->rc;
    memcpy(d->err, m->err, sizeof d->err);
    memcpy(d->transport_err, m->transport_err, sizeof d->transport_err);
}

void log_clear(diagnostics *d) {
    for (int32_t i = 0; i < d->test_log_count; ++i) {
        mem_free(d->test_log[i].key);
        mem_free(d->test_log[i].text);
        d->test_log[i] = log_entry{};
    }
    d->test_log_count = 0;
}

void core_free(core_context *c) {
    begin_call(c);
    log_clear(c);
    for (service_config &s : c->svc) {
        mem_free(s.api_key);
        mem_free(s.base_url);
        mem_free(s.url_base);
    }
    memset(static_cast<void *>(c), 0, sizeof *c);
}

} // namespace kova
