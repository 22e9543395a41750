// Sonarr's and Radarr's download queues, a page at a time: each record
// becomes an entry with the word a host can map its status to, the sizes,
// the time it should end and what went wrong.
#include <cctype>
#include <cstring>

#include "parse/values.h"

namespace kova {

namespace {
// A count or size from the service: -1 when absent, negative or no number.
int64_t non_negative(yyjson_val *v) {
    int64_t n;
    return val_int(v, &n) && n >= 0 ? n : -1;
}

// The word of a record's state. The download's own state first (imported,
// importing, failed), then what the service says of the download (a
// warning outranks "downloading": a stalled torrent is still downloading),
// then its tracking status, then its plain status; the service's own status
// lower-cased when no word fits.
const char *status_word(yyjson_val *rec, char *own, size_t size) {
    const char *status = str_member(rec, "status");
    const char *state = str_member(rec, "trackedDownloadState");
    const char *tracked = str_member(rec, "trackedDownloadStatus");
    if (ieq(state, "imported")) return "imported";
    if (ieq(state, "importing") || ieq(state, "importPending")) return "importing";
    if (ieq(state, "failed") || ieq(state, "failedPending") || ieq(status, "failed")) return "failed";
    if (ieq(status, "warning") || ieq(tracked, "warning") || ieq(state, "importBlocked")) return "warning";
    if (ieq(tracked, "error")) return "failed";
    static const char *const k_words[] = {"delay", "paused", "queued", "downloading", "completed"};
    for (const char *w : k_words)
        if (ieq(status, w)) return w;
    const char *text = *status ? status : state;
    size_t n = 0;
    for (; text[n] && n + 1 < size; ++n) own[n] = static_cast<char>(tolower(static_cast<unsigned char>(text[n])));
    own[n] = '\0';
    return own;
}

// errorMessage, else the texts of every status message joined with "; ".
char *message_of(yyjson_val *rec) {
    const char *error = str_member(rec, "errorMessage");
    if (*error) return text_dup(error);
    buf_guard out;
    strbuf_puts(&out.b, "");
    size_t i, n, j, m;
    yyjson_val *entry, *text;
    yyjson_arr_foreach(obj_iget(rec, "statusMessages"), i, n, entry) {
        yyjson_arr_foreach(obj_iget(entry, "messages"), j, m, text) {
            if (!yyjson_is_str(text) || !*unsafe_yyjson_get_str(text)) continue;
            if (out.b.len) strbuf_puts(&out.b, "; ");
            strbuf_puts(&out.b, unsafe_yyjson_get_str(text));
        }
    }
    if (out.b.oom) return nullptr;
    char *t = out.b.data;
    out.b = strbuf{};
    return t;
}

// Adds id to the set of ids read so far; false when it was there already
// (or when memory ran out, *oom then set). Open addressing over a table
// of a power-of-two size, at most half full; 0 marks a free slot.
bool remember(queue_reader *r, int32_t id, bool *oom) {
    if (2 * (r->seen_count + 1) > r->seen_cap) {
        int32_t cap = r->seen_cap ? r->seen_cap * 2 : 64;
        auto *t = static_cast<int32_t *>(mem_calloc(static_cast<size_t>(cap), sizeof(int32_t)));
        if (!t) {
            *oom = true;
            return false;
        }
        for (int32_t i = 0; i < r->seen_cap; ++i) {
            if (!r->seen[i]) continue;
            uint32_t h = static_cast<uint32_t>(r->seen[i]) * 2654435761u;
            while (t[h & static_cast<uint32_t>(cap - 1)]) ++h;
            t[h & static_cast<uint32_t>(cap - 1)] = r->seen[i];
        }
        mem_free(r->seen);
        r->seen = t;
        r->seen_cap = cap;
    }
    uint32_t mask = static_cast<uint32_t>(r->seen_cap - 1);
    for (uint32_t h = static_cast<uint32_t>(id) * 2654435761u;; ++h) {
        int32_t &slot = r->seen[h & mask];
        if (slot == id) return false;
        if (!slot) {
            slot = id;
            ++r->seen_count;
            return true;
        }
    }
}

void entry_free(queue_entry *e) {
    mem_free(e->title);
    mem_free(e->status);
    mem_free(e->message);
    mem_free(e->client);
    mem_free(e->protocol);
}

int32_t fill_entry(diagnostics *diag, queue_entry *e, yyjson_val *rec, bool series) {
    char own[64];
    e->title = text_dup(str_member(rec, "title"));
    e->status = text_dup(status_word(rec, own, sizeof own));
    e->message = message_of(rec);
    e->client = text_dup(str_member(rec, "downloadClient"));
    e->protocol = text_dup(str_member(rec, "protocol"));
    if (!e->title || !e->status || !e->message || !e->client || !e->protocol) return fail_oom(diag);
    e->size = non_negative(obj_iget(rec, "size"));
    e->left = non_negative(obj_iget(rec, "sizeleft"));
    const char *eta = str_member(rec, "estimatedCompletionTime");
    int64_t ms = *eta ? parse_iso(eta) : -1;
    e->eta = ms >= 0 ? ms / 1000 : -1;
    e->season = e->episode = -1;
    if (series) {
        yyjson_val *episode = obj_iget(rec, "episode");
        e->season = count_or(obj_iget(rec, "seasonNumber"), -1);
        if (e->season < 0) e->season = count_or(obj_iget(episode, "seasonNumber"), -1);
        e->episode = count_or(obj_iget(episode, "episodeNumber"), -1);
    }
    return OK;
}
} // namespace

void queue_reader_free(queue_reader *r) {
    mem_free(r->seen);
    *r = queue_reader{};
}

void queue_list_free(queue_list *q) {
    for (int32_t i = 0; i < q->count; ++i) entry_free(&q->entries[i]);
    mem_free(q->entries);
    *q = queue_list{};
}

int32_t queue_progress(const queue_entry &e) {
    if (e.size <= 0 || e.left < 0 || e.left > e.size) return -1;
    // size - left never exceeds size, so the product stays below 2^63 for
    // any size under 9.2 petabytes; above that the division goes first.
    int64_t done = e.size - e.left;
    if (e.size < INT64_MAX / 1000) return static_cast<int32_t>(done * 1000 / e.size);
    return static_cast<int32_t>(done / (e.size / 1000));
}

int32_t read_queue_page(diagnostics *diag, const char *service, yyjson_val *page, int32_t item, bool series,
                        queue_list *q, queue_reader *reader, queue_page *out) {
    *out = queue_page{};
    yyjson_val *records = page;
    if (yyjson_is_obj(page)) {
        records = obj_iget(page, "records");
        out->total = non_negative(obj_iget(page, "totalRecords"));
    }
    if (!yyjson_is_arr(records)) return fail(diag, ERR_JSON, "%s queue: not a page of records", service);
    if (!yyjson_is_obj(page)) out->total = static_cast<int64_t>(yyjson_arr_size(records)); // a bare list: all of it
    size_t i, n;
    yyjson_val *rec;
    yyjson_arr_foreach(records, i, n, rec) {
        ++out->records;
        if (!yyjson_is_obj(rec)) continue;
        int32_t id = 0;
        read_id(obj_iget(rec, "id"), &id);
        // A page past the end may repeat an earlier one: an id seen before
        // is the same download.
        bool oom = false;
        if (id > 0 && !remember(reader, id, &oom)) {
            if (oom) return fail_oom(diag);
            continue;
        }
        ++out->fresh;
        int32_t library_id = 0;
        read_id(obj_iget(rec, series ? "seriesId" : "movieId"), &library_id);
        if (item > 0 && library_id != item) continue;
        if (q->count >= max_queue) {
            out->full = true;
            break;
        }
        if (q->count == q->cap) {
            int32_t cap = q->cap ? q->cap * 2 : 16;
            if (cap > max_queue) cap = max_queue;
            auto *p = static_cast<queue_entry *>(mem_realloc(q->entries, sizeof(queue_entry) * static_cast<size_t>(cap)));
            if (!p) return fail_oom(diag);
            q->entries = p;
            q->cap = cap;
        }
        queue_entry *e = &q->entries[q->count++];
        *e = queue_entry{};
        e->id = id;
        e->library_id = library_id;
        int32_t rc = fill_entry(diag, e, rec, series);
        if (rc != OK) return rc;
    }
    return OK;
}

} // namespace kova
