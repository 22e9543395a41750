// What the CLI reads from the services' answers itself. The library's
// accessors carry what every host needs; the CLI shows a little more: each
// release's quality and the reason a service rejected it, and all of a
// service's root folders (the library keeps the first), so that a dry run can
// say whether a --root is one of them. A tap between the library and the
// transport keeps those answers as they go by; it also records the HTTP
// status of the last exchange and can stop a whole-season search that
// --exact forbids before it reaches the service.
#include <yyjson.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "cli.h"

namespace cli {
namespace {

std::string g_releases;                 // the last release list answer
bool g_releases_read = true;            // g_notes holds what g_releases says
std::unordered_map<std::string, ReleaseNote> g_notes;
std::vector<std::string> g_root_folders;
int32_t g_http_code = 0;
bool g_refuse_season = false, g_refused = false;

bool has(const char *url, const char *part) { return strstr(url, part) != nullptr; }

void keep_root_folders(const char *json) {
    g_root_folders.clear();
    yyjson_doc *d = yyjson_read(json, strlen(json), YYJSON_READ_ALLOW_INVALID_UNICODE);
    yyjson_val *arr = yyjson_doc_get_root(d);
    size_t i, n;
    yyjson_val *e;
    yyjson_arr_foreach(arr, i, n, e) {
        if (const char *path = yyjson_get_str(yyjson_obj_get(e, "path"))) g_root_folders.push_back(trim_root(path));
    }
    yyjson_doc_free(d);
}

int32_t tap_get(void *user, const char *url, char **body, int32_t *status, char **error) {
    const kova_io *inner = static_cast<Tap *>(user)->inner;
    // A season search in place of the episode asked for: --exact forbids it,
    // and the service is spared a search whose answer would be thrown away.
    if (g_refuse_season && has(url, "/api/v3/release?") && has(url, "&seasonNumber=") && !has(url, "episodeId=")) {
        g_refused = true;
        return 1;
    }
    int32_t rc = inner->get(inner->user, url, body, status, error);
    g_http_code = rc == 0 ? *status : 0;
    if (rc == 0 && *status >= 200 && *status < 300 && *body) {
        if (has(url, "/api/v3/release?")) {
            g_releases = *body;
            g_releases_read = false;
        } else if (has(url, "/api/v3/rootfolder?")) {
            keep_root_folders(*body);
        }
    }
    return rc;
}

int32_t tap_post(void *user, const char *url, const char *body, const char *content_type, char **body_out,
                 int32_t *status, char **error) {
    const kova_io *inner = static_cast<Tap *>(user)->inner;
    int32_t rc = inner->post(inner->user, url, body, content_type, body_out, status, error);
    g_http_code = rc == 0 ? *status : 0;
    return rc;
}

// Every text the library releases came from the transport behind the tap.
void tap_release(void *user, char *text) {
    const kova_io *inner = static_cast<Tap *>(user)->inner;
    if (inner->release) inner->release(inner->user, text);
    else free(text);
}

}  // namespace

const kova_io *tap(Tap &t, const kova_io *inner) {
    if (!inner) return nullptr;
    t.inner = inner;
    t.table = kova_io{&t, tap_get, tap_post, tap_release};
    g_http_code = 0;
    return &t.table;
}

int32_t tapped_http_code() { return g_http_code; }

std::string trim_root(const std::string &root) {
    // As the library trims a root folder before it adds under it.
    size_t n = root.size();
    while (n > 0 && root[n - 1] == '\\') --n;
    while (n > 0 && root[n - 1] == '/') --n;
    return root.substr(0, n);
}

const std::vector<std::string> &root_folders() { return g_root_folders; }

void refuse_season_search(bool on) {
    g_refuse_season = on;
    g_refused = false;
}

bool season_search_refused() { return g_refused; }

void note_releases(const char *json, size_t len) {
    g_releases.assign(json, len);
    g_releases_read = false;
}

const ReleaseNote *release_note(const char *guid) {
    if (!g_releases_read) {
        g_releases_read = true;
        g_notes.clear();
        yyjson_doc *d = yyjson_read(g_releases.data(), g_releases.size(), YYJSON_READ_ALLOW_INVALID_UNICODE);
        yyjson_val *arr = yyjson_doc_get_root(d);
        size_t i, n;
        yyjson_val *e;
        yyjson_arr_foreach(arr, i, n, e) {
            const char *id = yyjson_get_str(yyjson_obj_get(e, "guid"));
            if (!id) continue;
            ReleaseNote note;
            // Sonarr and Radarr v3: {"quality": {"quality": {"name": "Bluray-1080p"}}}.
            yyjson_val *q = yyjson_obj_get(yyjson_obj_get(e, "quality"), "quality");
            if (const char *name = yyjson_get_str(yyjson_obj_get(q, "name"))) note.quality = name;
            note.rejected = yyjson_is_true(yyjson_obj_get(e, "rejected"));
            // The reasons are texts; a few versions send {"reason": ...} objects.
            yyjson_val *first = yyjson_arr_get_first(yyjson_obj_get(e, "rejections"));
            const char *why = yyjson_is_obj(first) ? yyjson_get_str(yyjson_obj_get(first, "reason")) : yyjson_get_str(first);
            if (note.rejected && why) note.reason = why;
            g_notes.emplace(id, std::move(note));
        }
        yyjson_doc_free(d);
    }
    auto it = g_notes.find(guid ? guid : "");
    return it == g_notes.end() ? nullptr : &it->second;
}

}  // namespace cli
