// The service's own words when it refuses a request. Sonarr, Radarr and
// Jackett explain a 4xx or 5xx in their body; the result code and message
// stay the library's, and the explanation travels as one warning, so that a
// user reads "Folder '/nope' does not exist" instead of a bare status.
#include <cstring>

#include "parse/parse.h"

namespace kova {

namespace {
// A body past this size is a page or a dump, not an explanation worth parsing.
constexpr size_t k_max_json = 256 * 1024;
constexpr int k_max_depth = 3;
// Room for the warning text without its NUL; a cut text ends with "...".
constexpr size_t k_room = warn_size - 1;

const char *skip_space(const char *p) {
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') ++p;
    return p;
}

const char *text_of(yyjson_val *v) {
    return yyjson_is_str(v) && yyjson_get_len(v) > 0 ? yyjson_get_str(v) : nullptr;
}

// Appends one part of the explanation: after a part ending in a full stop or
// colon a space suffices, otherwise parts are joined with "; ".
void add_part(strbuf *b, const char *label, const char *text) {
    if (!text || b->len > k_room) return;
    if (b->len > 0) {
        char last = b->data[b->len - 1];
        strbuf_puts(b, last == '.' || last == ':' || last == '!' || last == '?' ? " " : "; ");
    }
    if (label && *label) {
        strbuf_puts(b, label);
        strbuf_puts(b, ": ");
    }
    strbuf_puts(b, text);
}

void read_value(strbuf *b, yyjson_val *v, int depth);

// One object of the shapes the services send (members in any letter case:
// ASP.NET writes camelCase, older services PascalCase): a Servarr validation failure
// ({"propertyName","errorMessage"}), ASP.NET problem details ({"title",
// "detail","errors":{"Field":["text",...]}}), or {"message"} / {"error"}.
void read_object(strbuf *b, yyjson_val *obj, int depth) {
    if (const char *msg = text_of(obj_iget(obj, "errorMessage"))) {
        add_part(b, text_of(obj_iget(obj, "propertyName")), msg);
        return;
    }
    const size_t before = b->len;
    const char *title = text_of(obj_iget(obj, "title"));
    const char *detail = text_of(obj_iget(obj, "detail"));
    add_part(b, nullptr, title);
    if (detail && (!title || strcmp(title, detail) != 0)) add_part(b, nullptr, detail);
    yyjson_val *errors = obj_iget(obj, "errors");
    if (yyjson_is_obj(errors)) {
        size_t idx, max, j, jmax;
        yyjson_val *k, *v, *e;
        yyjson_obj_foreach(errors, idx, max, k, v) {
            if (yyjson_is_arr(v)) {
                yyjson_arr_foreach(v, j, jmax, e) add_part(b, yyjson_get_str(k), text_of(e));
            } else {
                add_part(b, yyjson_get_str(k), text_of(v));
            }
        }
    } else if (errors && depth < k_max_depth) {
        read_value(b, errors, depth + 1);
    }
    if (b->len != before) return;
    if (const char *msg = text_of(obj_iget(obj, "message"))) {
        add_part(b, nullptr, msg);
        return;
    }
    yyjson_val *error = obj_iget(obj, "error");
    if (const char *msg = text_of(error))
        add_part(b, nullptr, msg);
    else if (yyjson_is_obj(error) && depth < k_max_depth)
        read_object(b, error, depth + 1);
}

void read_value(strbuf *b, yyjson_val *v, int depth) {
    if (yyjson_is_obj(v)) {
        read_object(b, v, depth);
    } else if (yyjson_is_arr(v)) {
        size_t idx, max;
        yyjson_val *e;
        yyjson_arr_foreach(v, idx, max, e) {
            if (yyjson_is_obj(e))
                read_object(b, e, depth);
            else
                add_part(b, nullptr, text_of(e));
        }
    } else {
        add_part(b, nullptr, text_of(v));
    }
}

// The first line of a plain-text answer (an exception's message comes
// first, its stack after it).
void read_plain(strbuf *b, const char *body) {
    const char *p = skip_space(body);
    size_t n = strcspn(p, "\r\n");
    if (n > 0) strbuf_put(b, p, n);
}

} // namespace

bool refusal_text(const char *name, const char *body, const char *secret, char out[warn_size]) {
    out[0] = '\0';
    if (!body) return false;
    const char *start = skip_space(body);
    if (!*start || *start == '<') return false; // nothing, or an HTML page: nothing a user can act on
    buf_guard text;
    if (*start == '{' || *start == '[' || *start == '"') {
        size_t n = strlen(start);
        // Look for the members before parsing, so that an answer that cannot
        // hold an explanation costs nothing.
        if (n > k_max_json || (*start != '"' && !mentions_word(start, n, "message") && !mentions_word(start, n, "error") &&
                               !mentions_word(start, n, "title") && !mentions_word(start, n, "detail")))
            return false;
        bool oom;
        doc_guard doc(json_read(start, n, &oom));
        if (oom) return false;
        if (doc.doc)
            read_value(&text.b, yyjson_doc_get_root(doc.doc), 0);
        else
            read_plain(&text.b, start);
    } else {
        read_plain(&text.b, start);
    }
    if (text.b.oom || text.b.len == 0) return false;
    buf_guard full;
    strbuf_puts(&full.b, name);
    strbuf_puts(&full.b, ": ");
    strbuf_put(&full.b, text.b.data, text.b.len);
    if (full.b.oom) return false;
    redact_text(full.b.data, secret, out);
    return out[0] != '\0';
}

void warn_refusal(diagnostics *d, const char *name, const char *body, const char *secret) {
    char text[warn_size];
    if (refusal_text(name, body, secret, text)) warnf(d, "%s", text);
}

} // namespace kova
