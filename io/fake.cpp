// The fake transport: canned answers keyed by exact URL, injected failures,
// request counters and a record of the last POST. Its state is process-wide
// and independent of the context; one lock guards all of it so that a host
// may program routes on one thread while another thread's request is served.
// The lock is held only to find a route: requests copy their answers outside
// it, so that sessions on several threads are served at once.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/platform.h"
#include "io/io.h"

namespace kova {

namespace {
// An answer, shared by its route and the requests copying it; the last one
// to let go frees it. Its text follows the header.
struct fake_answer {
    std::atomic<int32_t> refs;
    size_t len;
    char *text() { return reinterpret_cast<char *>(this + 1); }
};

fake_answer *answer_new(const char *body) {
    size_t len = strlen(body);
    void *p = mem_alloc(sizeof(fake_answer) + len + 1);
    if (!p) return nullptr;
    auto *a = ::new (p) fake_answer{{1}, len};
    memcpy(a->text(), body, len + 1);
    return a;
}

void answer_release(fake_answer *a) {
    if (a && a->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        a->~fake_answer();
        mem_free(a);
    }
}

struct fake_route {
    char *url;
    fake_answer *body;
    char *fail;
    int32_t status;
    int32_t calls;
};

fake_route *g_routes = nullptr;
int32_t g_nr = 0;
int32_t g_capr = 0;
int32_t g_total = 0;
int32_t g_posts = 0;
char *g_post_url = nullptr;
char *g_post_body = nullptr;
mutex g_fl = KV_LOCK_INIT;

// Holds g_fl for one scope. Never nested.
struct fake_lock : mutex_guard {
    fake_lock() : mutex_guard(&g_fl) {}
};

fake_route *find(const char *url) {
    for (int32_t i = 0; i < g_nr; ++i)
        if (strcmp(g_routes[i].url, url) == 0) return &g_routes[i];
    return nullptr;
}

// Find-or-append; called with g_fl held. A found route loses its answer but
// keeps its status and call count.
fake_route *upsert(const char *url) {
    if (fake_route *r = find(url)) {
        answer_release(r->body);
        mem_free(r->fail);
        r->body = nullptr;
        r->fail = nullptr;
        return r;
    }
    if (g_nr == g_capr) {
        int32_t cap = g_capr ? g_capr * 2 : 16;
        auto *p = static_cast<fake_route *>(mem_realloc(g_routes, sizeof(fake_route) * static_cast<size_t>(cap)));
        if (!p) return nullptr;
        g_routes = p;
        g_capr = cap;
    }
    fake_route *r = &g_routes[g_nr];
    *r = fake_route{};
    r->url = text_dup(url);
    if (!r->url) return nullptr;
    ++g_nr;
    return r;
}

int32_t fake_do(const char *url, char **body, int32_t *status, char **err) {
    *body = nullptr;
    *err = nullptr;
    *status = 0;
    fake_answer *answer = nullptr;
    int32_t answer_status = 0;
    {
        fake_lock lock;
        ++g_total;
        fake_route *r = url ? find(url) : nullptr;
        if (!r) {
            *err = text_dup("fake: no route");
            return -1;
        }
        ++r->calls;
        if (!r->body) {
            *err = text_dup(r->fail ? r->fail : "fake: transport failure");
            return -1;
        }
        answer = r->body;
        answer->refs.fetch_add(1, std::memory_order_relaxed);
        answer_status = r->status;
    }
    *body = text_ndup(answer->text(), answer->len);
    answer_release(answer);
    if (!*body) {
        *err = text_dup("fake: out of memory");
        return -1;
    }
    *status = answer_status;
    return 0;
}

int32_t fake_get(void *, const char *url, char **body, int32_t *status, char **err) {
    return fake_do(url, body, status, err);
}

int32_t fake_post(void *, const char *url, const char *req, const char *, char **body, int32_t *status,
                  char **err) {
    {
        fake_lock lock;
        ++g_posts;
        mem_free(g_post_url);
        mem_free(g_post_body);
        g_post_url = text_dup(url ? url : "");
        g_post_body = text_dup(req ? req : "");
    }
    return fake_do(url, body, status, err);
}

void fake_free(void *, char *text) { mem_free(text); }

const kova_io g_fake_io = {nullptr, fake_get, fake_post, fake_free};
} // namespace

const kova_io *fake_io() { return &g_fake_io; }

int32_t fake_set(const char *url, int32_t status, const char *body) {
    if (!url || !body) return ERR_INVALID_ARG;
    fake_lock lock;
    fake_route *r = upsert(url);
    if (!r) return ERR_OOM;
    r->body = answer_new(body);
    if (!r->body) return ERR_OOM;
    r->status = status;
    return OK;
}

int32_t fake_fail(const char *url, const char *text) {
    if (!url) return ERR_INVALID_ARG;
    fake_lock lock;
    fake_route *r = upsert(url);
    if (!r) return ERR_OOM;
    r->fail = text_dup(text ? text : "fake: transport failure");
    return r->fail ? OK : ERR_OOM;
}

int32_t fake_calls(const char *url) {
    fake_lock lock;
    if (!url) return g_total;
    fake_route *r = find(url);
    return r ? r->calls : 0;
}

int32_t fake_post_count() {
    fake_lock lock;
    return g_posts;
}

char *fake_last_post_url(size_t max_len) {
    fake_lock lock;
    const char *url = g_post_url ? g_post_url : "";
    size_t n = strlen(url);
    return text_ndup(url, n < max_len ? n : max_len);
}

char *fake_last_post_body() {
    fake_lock lock;
    return text_dup(g_post_body ? g_post_body : "");
}

void fake_reset() {
    fake_lock lock;
    for (int32_t i = 0; i < g_nr; ++i) {
        mem_free(g_routes[i].url);
        answer_release(g_routes[i].body);
        mem_free(g_routes[i].fail);
    }
    mem_free(g_routes);
    g_routes = nullptr;
    g_nr = g_capr = g_total = g_posts = 0;
    mem_free(g_post_url);
    mem_free(g_post_body);
    g_post_url = g_post_body = nullptr;
}

} // namespace kova
