// Jackett's Torznab indexer list. Not a general XML parser: the answer is
// scanned for a few fixed tags and attributes, and the five predefined
// entities are decoded.
#include <cstring>

#include "core/kova_internal.h"

namespace {
struct ent {
    const char *text;
    size_t len;
    char c;
};
constexpr ent ents[] = {{"&amp;", 5, '&'}, {"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&quot;", 6, '"'},
                        {"&apos;", 6, '\''}};

// First occurrence of pat in [from, to), or null. Searches are bounded by
// the stretch they belong to, so a missing tag never makes the scan quadratic.
const char *find(const char *from, const char *to, const char *pat) {
    if (!from || from >= to) return nullptr;
    return static_cast<const char *>(kova_memmem(from, static_cast<size_t>(to - from), pat, strlen(pat)));
}

bool white(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The value of attribute name within one tag's text [start, end): its start
// and *len, or null. A name counts only at the start or after white space,
// directly followed by '=' and a quote.
const char *attr(const char *start, const char *end, const char *name, size_t *len) {
    if (!start || start >= end) return nullptr;
    size_t n = strlen(name);
    for (const char *p = find(start, end, name); p; p = find(p + 1, end, name)) {
        if (p != start && !white(p[-1])) continue;
        if (end - (p + n) < 2 || p[n] != '=' || (p[n + 1] != '"' && p[n + 1] != '\'')) continue;
        const char *v = p + n + 2;
        const char *q = static_cast<const char *>(memchr(v, p[n + 1], static_cast<size_t>(end - v)));
        if (!q) return nullptr;
        *len = static_cast<size_t>(q - v);
        return v;
    }
    return nullptr;
}

// An owned, entity-decoded copy of [s, s + n), or null when out of memory.
char *xml_text(const char *s, size_t n) {
    if (!n) return kova_strdup("");
    buf_guard g;
    const char *end = s + n;
    const char *run = s;
    for (const char *p = s; p < end; ++p) {
        if (*p != '&') continue;
        for (const ent &e : ents) {
            if (static_cast<size_t>(end - p) >= e.len && memcmp(p, e.text, e.len) == 0) {
                kova_buf_put(&g.b, run, static_cast<size_t>(p - run));
                kova_buf_put(&g.b, &e.c, 1);
                p += e.len - 1;
                run = p + 1;
                break;
            }
        }
    }
    kova_buf_put(&g.b, run, static_cast<size_t>(end - run));
    if (g.b.oom || !g.b.data) return nullptr;
    char *out = g.b.data;
    g.b = kova_buf{};
    return out;
}
} // namespace

int32_t kova_torznab_parse(kova_ctx *ctx, kova_rset *rs, const char *text) {
    *rs = kova_rset{};
    if (!text) return kova_fail(ctx, ERR_JSON, "Jackett: empty indexer list");
    const char *text_end = text + strlen(text);

    // An error answer wins over anything else in the text.
    if (const char *e = strstr(text, "<error")) {
        if (const char *gt = strchr(e, '>')) {
            size_t n = 0;
            const char *code = attr(e + 6, gt, "code", &n);
            if (code && n == 3 && memcmp(code, "100", 3) == 0)
                return kova_fail(ctx, ERR_AUTH, "Jackett: API key rejected (Torznab error 100)");
            if (!code) {
                code = "?";
                n = 1;
            }
            return kova_fail(ctx, ERR_HTTP, "Jackett: Torznab error %.*s", static_cast<int>(n < 8 ? n : 8), code);
        }
    }
    if (!strstr(text, "<indexers")) return kova_fail(ctx, ERR_JSON, "Jackett: not a Torznab indexer list");

    const char *p = text;
    for (;;) {
        const char *tag = find(p, text_end, "<indexer");
        if (!tag) return OK;
        char after = tag[8];
        // "<indexers" and other longer names are different tags. A carriage
        // return counts as white space too: XML allows it there.
        if (!white(after) && after != '>') {
            p = tag + 8;
            continue;
        }
        const char *gt = strchr(tag + 8, '>');
        if (!gt) return OK;
        size_t id_len = 0, conf_len = 0;
        const char *id = attr(tag + 8, gt, "id", &id_len);
        const char *conf = attr(tag + 8, gt, "configured", &conf_len);
        const char *close = find(gt, text_end, "</indexer>");
        const char *ix_end = close ? close : text_end;
        const char *t_open = find(gt, ix_end, "<title>");
        const char *t_close = t_open ? find(t_open + 7, ix_end, "</title>") : nullptr;

        bool off = conf && conf_len == 5 && memcmp(conf, "false", 5) == 0;
        if (id && !off) {
            kova_indexer *ix = rs_add_indexer(rs);
            if (!ix) return kova_oom(ctx);
            ix->id = xml_text(id, id_len);
            ix->name = t_close ? xml_text(t_open + 7, static_cast<size_t>(t_close - (t_open + 7)))
                               : kova_strdup("");
            ix->error = kova_strdup("");
            if (!ix->id || !ix->name || !ix->error) {
                kova_free(ix->id);
                kova_free(ix->name);
                kova_free(ix->error);
                *ix = kova_indexer{};
                return kova_oom(ctx);
            }
            ix->status = 2;
            ix->results = 0;
            ++rs->indexer_count;
        }
        p = close ? close + 10 : text_end;
    }
}
