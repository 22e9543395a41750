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

unsigned char lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

// Case-insensitive search for a lower-case ASCII word.
bool mentions(const char *text, size_t n, const char *word) {
    size_t w = strlen(word);
    for (size_t i = 0; i + w <= n; ++i) {
        size_t k = 0;
        while (k < w && lower(static_cast<unsigned char>(text[i + k])) == static_cast<unsigned char>(word[k])) ++k;
        if (k == w) return true;
    }
    return false;
}

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

bool value_ends(char c) {
    return c == '\0' || c == '&' || c == '#' || c == '"' || c == '\'' || c == ';' || c == ',' || c == ' ' ||
           c == '\t' || c == '\r' || c == '\n';
}

// Writes text into out (k_room bytes and a NUL): every "apikey=" value and
// every occurrence of the key itself (when long enough not to match ordinary
// words) becomes "***", control characters become spaces, runs of spaces
// collapse, invalid UTF-8 bytes become U+FFFD, and a text too long is cut at
// a character boundary and ends with "...".
void clean(const char *text, const char *secret, char out[warn_size]) {
    const size_t secret_len = secret ? strlen(secret) : 0;
    const size_t n = strlen(text);
    size_t o = 0;
    bool cut = false;
    auto put = [&](const char *s, size_t len) {
        if (cut) return;
        if (o + len > k_room) {
            cut = true;
            return;
        }
        memcpy(out + o, s, len);
        o += len;
    };
    for (size_t i = 0; i < n && !cut;) {
        const char *p = text + i;
        if (n - i >= 7 && mentions(p, 7, "apikey=")) {
            put(p, 7);
            put("***", 3);
            i += 7;
            while (!value_ends(text[i])) ++i;
            continue;
        }
        if (secret_len >= 6 && n - i >= secret_len && memcmp(p, secret, secret_len) == 0) {
            put("***", 3);
            i += secret_len;
            continue;
        }
        unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7F) c = ' ';
        if (c == ' ') {
            if (o > 0 && out[o - 1] != ' ') put(" ", 1);
            ++i;
            continue;
        }
        size_t len = utf8_len(p, n - i);
        if (len == 0) {
            put("\xEF\xBF\xBD", 3);
            ++i;
        } else {
            put(p, len);
            i += len;
        }
    }
    if (cut) {
        // Room for "...": drop whole characters from the end.
        if (o > k_room - 3) {
            o = k_room - 3;
            while (o > 0 && (static_cast<unsigned char>(out[o]) & 0xC0) == 0x80) --o;
        }
        memcpy(out + o, "...", 3);
        o += 3;
    }
    while (o > 0 && out[o - 1] == ' ') --o;
    out[o] = '\0';
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
        if (n > k_max_json || (*start != '"' && !mentions(start, n, "message") && !mentions(start, n, "error") &&
                               !mentions(start, n, "title") && !mentions(start, n, "detail")))
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
    clean(full.b.data, secret, out);
    return out[0] != '\0';
}

void warn_refusal(diagnostics *d, const char *name, const char *body, const char *secret) {
    char text[warn_size];
    if (refusal_text(name, body, secret, text)) warnf(d, "%s", text);
}

} // namespace kova
