// The HTTP request frame: the one way a request leaves the library.
#include <cstring>

#include "core/core.h"

namespace kova {

namespace {
void release_out(const kova_io *io, char *text) {
    if (!text) return;
    if (io->release)
        io->release(io->user, text);
    else
        free(text); // the transport allocated with the runtime's malloc
}
} // namespace

int32_t http_request(core_context *ctx, const kova_io *io, int32_t kind, http_method method, const char *path,
                  const char *query, const char *body, const char *label, char **body_out, size_t *len_out) {
    *body_out = nullptr;
    size_t len = 0;
    if (!len_out) len_out = &len;
    *len_out = 0;
    if (!kind_ok(kind)) return fail(ctx, ERR_INVALID_ARG, "unknown service");
    const bool post = method == http_method::post;
    const service_config &svc = ctx->svc[kind];
    const char *name = service_name(kind);
    if (!svc.configured) return fail(ctx, ERR_NOT_CONFIGURED, "%s is not configured", name);
    if (!io || !io->get || (post && !io->post))
        return fail(ctx, ERR_NO_IO, "no transport installed (kova_set_io / kova_use_curl)");

    buf_guard url;
    {
        text_guard key(url_encode(svc.api_key));
        if (!key.p) return fail_oom(ctx);
        strbuf_puts(&url.b, svc.base_url);
        strbuf_puts(&url.b, path);
        strbuf_puts(&url.b, "?apikey=");
        strbuf_puts(&url.b, key.p);
        if (query && *query) {
            strbuf_puts(&url.b, "&");
            strbuf_puts(&url.b, query);
        }
        if (url.b.oom) return fail_oom(ctx);
    }

    char *tbody = nullptr;
    char *terr = nullptr;
    int32_t status = 0;
    int32_t r = post ? io->post(io->user, url.b.data, body ? body : "", "application/json", &tbody,
                                &status, &terr)
                     : io->get(io->user, url.b.data, &tbody, &status, &terr);
    strbuf_free(&url.b);

    char *copy = nullptr;
    bool copy_failed = false;
    if (tbody) {
        // The library's copy of the answer, up to its first NUL (a body is
        // text), padded so that the parsers can read it in place: the one
        // copy of a large answer is this one, not yyjson's.
        copy = copy_padded(tbody, to_nul, len_out);
        copy_failed = copy == nullptr;
    }
    release_out(io, tbody);
    ctx->http_code = status;

    if (r != 0) {
        // What the transport said is the host's best clue (connection
        // refused, a certificate problem, cancelled); it may quote the URL,
        // and with it the key.
        redact_text(terr ? terr : "", svc.api_key, ctx->transport_err);
        release_out(io, terr);
        mem_free(copy);
        return fail(ctx, ERR_TRANSPORT, "%s %s: transport failure", name, label);
    }
    // A transport may explain a refusal in its own words too (a rate limit
    // and when to retry, a redirect's target): the host gets that beside the
    // service's own explanation.
    if ((status < 200 || status > 299) && terr && *terr) redact_text(terr, svc.api_key, ctx->transport_err);
    release_out(io, terr);
    if (copy_failed) return fail_oom(ctx);
    *body_out = copy;
    if (status >= 200 && status <= 299) {
        if (!copy) {
            *body_out = copy_padded("", to_nul, len_out);
            if (!*body_out) return fail_oom(ctx);
        }
        return OK;
    }
    return status == 401 || status == 403
               ? fail(ctx, ERR_AUTH, "%s %s: HTTP %ld (API key rejected)", name, label, static_cast<long>(status))
               : fail(ctx, ERR_HTTP, "%s %s: HTTP %ld", name, label, static_cast<long>(status));
}

} // namespace kova
