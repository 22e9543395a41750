// Jackett's Torznab indexer list. Not a general XML parser: the answer is
// scanned for a few fixed tags and attributes, and the five predefined
// entities are decoded.
#include <cstring>

#include "parse/parse.h"

namespace kova {

namespace {
struct ent {
    const char *text;
    size_t len;
    char c;
};
// The fixed texts the scan looks for; len_of gives their lengths.
constexpr char k_error_open[] = "<error";
constexpr char k_indexer_open[] = "<indexer";
constexpr char k_indexer_close[] = "</indexer>";
constexpr char k_title_open[] = "<title>";
constexpr char k_title_close[] = "</title>";
template <size_t N> constexpr size_t len_of(const char (&)[N]) { return N - 1; }

template <size_t N> constexpr ent entity(const char (&text)[N], char c) { return {text, N - 1, c}; }
constexpr ent ents[] = {entity("&amp;", '&'), entity("&lt;", '<'), entity("&gt;", '>'), entity("&quot;", '"'),
                        entity("&apos;", '\'')};

// Torznab's error code for a rejected API key, and how much of any other
// code a message repeats.
constexpr char k_code_bad_key[] = "100";
constexpr size_t k_code_shown = 8;
constexpr char k_false[] = "false";

// First occurrence of pat in [from, to), or null. Searches are bounded by
// the stretch they belong to, so a missing tag never makes the scan quadratic.
const char *find(const char *from, const char *to, const char *pat) {
    if (!from || from >= to) return nullptr;
    return static_cast<const char *>(find_bytes(from, static_cast<size_t>(to - from), pat, strlen(pat)));
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
    if (!n) return text_dup("");
    buf_guard g;
    const char *end = s + n;
    const char *run = s;
    for (const char *p = s; p < end; ++p) {
        if (*p != '&') continue;
        for (const ent &e : ents) {
            if (static_cast<size_t>(end - p) >= e.len && memcmp(p, e.text, e.len) == 0) {
                strbuf_put(&g.b, run, static_cast<size_t>(p - run));
                strbuf_put(&g.b, &e.c, 1);
                p += e.len - 1;
                run = p + 1;
                break;
            }
        }
    }
    strbuf_put(&g.b, run, static_cast<size_t>(end - run));
    if (g.b.oom || !g.b.data) return nullptr;
    char *out = g.b.data;
    g.b = strbuf{};
    return out;
}
} // namespace

int32_t parse_torznab(diagnostics *diag, result_set *rs, const char *text) {
    *rs = result_set{};
    if (!text) return fail(diag, ERR_JSON, "Jackett: empty indexer list");
    const char *text_end = text + strlen(text);

    // An error answer wins over anything else in the text.
    if (const char *e = strstr(text, k_error_open)) {
        if (const char *gt = strchr(e, '>')) {
            size_t n = 0;
            const char *code = attr(e + len_of(k_error_open), gt, "code", &n);
            if (code && n == len_of(k_code_bad_key) && memcmp(code, k_code_bad_key, n) == 0)
                return fail(diag, ERR_AUTH, "Jackett: API key rejected (Torznab error 100)");
            if (!code) {
                code = "?";
                n = 1;
            }
            return fail(diag, ERR_HTTP, "Jackett: Torznab error %.*s", static_cast<int>(n < k_code_shown ? n : k_code_shown), code);
        }
    }
    if (!strstr(text, "<indexers")) return fail(diag, ERR_JSON, "Jackett: not a Torznab indexer list");

    const char *p = text;
    for (;;) {
        const char *tag = find(p, text_end, k_indexer_open);
        if (!tag) return OK;
        const char *tag_end = tag + len_of(k_indexer_open);
        char after = *tag_end;
        // "<indexers" and other longer names are different tags. A carriage
        // return counts as white space too: XML allows it there.
        if (!white(after) && after != '>') {
            p = tag_end;
            continue;
        }
        const char *gt = strchr(tag_end, '>');
        if (!gt) return OK;
        size_t id_len = 0, conf_len = 0;
        const char *id = attr(tag_end, gt, "id", &id_len);
        const char *conf = attr(tag_end, gt, "configured", &conf_len);
        const char *close = find(gt, text_end, k_indexer_close);
        const char *ix_end = close ? close : text_end;
        const char *t_open = find(gt, ix_end, k_title_open);
        const char *name = t_open ? t_open + len_of(k_title_open) : nullptr;
        const char *t_close = name ? find(name, ix_end, k_title_close) : nullptr;

        bool off = conf && conf_len == len_of(k_false) && memcmp(conf, k_false, conf_len) == 0;
        if (id && !off) {
            indexer_entry *ix = rs_add_indexer(rs);
            if (!ix) return fail_oom(diag);
            ix->id = xml_text(id, id_len);
            ix->name = t_close ? xml_text(name, static_cast<size_t>(t_close - name)) : text_dup("");
            ix->error = text_dup("");
            if (!ix->id || !ix->name || !ix->error) {
                mem_free(ix->id);
                mem_free(ix->name);
                mem_free(ix->error);
                *ix = indexer_entry{};
                return fail_oom(diag);
            }
            ix->status = KOVA_INDEXER_TORZNAB;
            ix->results = 0;
            ++rs->indexer_count;
        }
        p = close ? close + len_of(k_indexer_close) : text_end;
    }
}

} // namespace kova
