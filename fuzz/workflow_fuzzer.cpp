// Whole operation chains fed by fuzzer bytes as the services' answers:
// search-or-add (lookup, library find, root folder, profiles, add, episode
// list, release search), the adds, the tests, the lookups, the release
// searches and the staged Jackett search. Each request is answered either
// with raw fuzzer bytes or with a plausible answer for its path that carries
// fuzzer-chosen values, so that the chains get deep. Checked: the result
// code is a documented one, every posted body is valid JSON of the expected
// shape, every URL is built on a configured base URL, every transport text
// is released once, and everything readable afterwards is consistent.
#include "fuzz/fuzz_common.h"

namespace workflow_fuzzer {

struct run {
    fuzz_bytes *in;
    std::string imdb;
    int32_t ext_id;  // the TVDB/TMDb id the lookups answer with
    int32_t season;
    int32_t episode;
};

bool has(const std::string &url, const char *part) { return url.find(part) != std::string::npos; }

// A JSON value chosen by the fuzzer: mostly well-formed, sometimes raw bytes.
std::string value(fuzz_bytes &in) {
    switch (in.u8() % 8) {
    case 0: return "null";
    case 1: return std::to_string(in.i32());
    case 2: return json_quoted(in.text());
    case 3: return "[1,\"2\",{\"id\":3}]";
    case 4: return "{\"a\":[{}]}";
    case 5: return "1e300";
    case 6: return "true";
    default: return in.text(); // raw bytes: anything from valid JSON to garbage
    }
}

// Every read from the input is a statement of its own (see fuzz_bytes).
std::string lookup_entry(run &r, uint8_t v) {
    fuzz_bytes &in = *r.in;
    std::string title = json_quoted(in.text());
    std::string clean = (v & 1) ? value(in) : json_quoted(in.text());
    std::string imdb = (v & 2) ? value(in) : json_quoted(r.imdb);
    std::string id = (v & 4) ? std::to_string(in.u8()) : "0";
    std::string seasons = (v & 8) ? value(in) : "[{\"seasonNumber\":1,\"monitored\":true},2,{}]";
    std::string e = "{\"title\":" + title + ",\"cleanTitle\":" + clean + ",\"imdbId\":" + imdb;
    e += ",\"tvdbId\":" + std::to_string(r.ext_id) + ",\"tmdbId\":" + std::to_string(r.ext_id);
    e += ",\"year\":2001,\"id\":" + id;
    e += ",\"path\":\"/old\",\"monitored\":true,\"addOptions\":{\"x\":1},\"monitored\":true";
    e += ",\"seasons\":" + seasons;
    if (v & 16) {
        std::string extra = value(in);
        e += ",\"extra\":" + extra;
    }
    return e + "}";
}

std::string templated(run &r, const std::string &url, bool post) {
    fuzz_bytes &in = *r.in;
    uint8_t v = in.u8();
    if (has(url, "/lookup")) {
        if (v & 0x80) return lookup_entry(r, v);
        std::string a = "[";
        int n = 1 + (v >> 5 & 3);
        for (int i = 0; i < n; ++i) {
            uint8_t ev = in.u8();
            a += (i ? "," : "") + lookup_entry(r, ev);
        }
        return a + "]";
    }
    if (has(url, "/rootfolder")) {
        static const char *const k_roots[] = {"/tv/", "/", "C:\\media\\\\", "", "/m"};
        std::string path = (v & 8) ? in.text() : k_roots[v % 5];
        return (v & 16) ? "[]" : "[{\"path\":" + json_quoted(path) + "},{\"path\":\"/2\"}]";
    }
    if (has(url, "/qualityprofile")) {
        if (v & 16) return "[]";
        std::string id = value(in);
        std::string name = json_quoted(in.text());
        return "[{\"id\":4,\"name\":\"SD\"},{\"id\":" + id + ",\"name\":" + name + "},{\"id\":\"6\",\"name\":\"HD\"}]";
    }
    if (has(url, "/episode")) {
        std::string id = (v & 2) ? value(in) : "901";
        return "[{\"episodeNumber\":" + std::to_string(r.episode) + ",\"seasonNumber\":" +
               std::to_string((v & 1) ? r.season + 1 : r.season) + ",\"id\":" + id + "},7]";
    }
    if (has(url, "/release")) {
        std::string a = "[";
        int n = v % 4;
        for (int i = 0; i < n; ++i) {
            std::string title = json_quoted(in.text());
            std::string size = value(in);
            std::string flags = value(in);
            std::string episodes = value(in);
            std::string date = value(in);
            std::string cats = value(in);
            a += std::string(i ? "," : "") + "{\"title\":" + title + ",\"size\":" + size + ",\"indexerFlags\":" + flags +
                 ",\"episodeNumbers\":" + episodes + ",\"publishDate\":" + date + ",\"categories\":" + cats + "}";
        }
        return a + "]";
    }
    if (has(url, "/torznab/")) {
        std::string id = json_quoted(in.text());
        std::string title = in.text();
        return "<indexers><indexer id=" + id + " configured=\"true\"><title>" + title + "</title></indexer></indexers>";
    }
    if (has(url, "/indexers/all/results")) {
        std::string rows;
        int n = v % 4;
        for (int i = 0; i < n; ++i) {
            std::string title = json_quoted(in.text());
            std::string imdb = (in.u8() & 1) ? value(in) : json_quoted(r.imdb);
            std::string size = value(in);
            rows += std::string(i ? "," : "") + "{\"Title\":" + title + ",\"Imdb\":" + imdb + ",\"Size\":" + size + "}";
        }
        std::string status = value(in);
        return "{\"Results\":[" + rows + "],\"Indexers\":[{\"ID\":\"a\",\"Status\":" + std::to_string(v >> 6 & 1) +
               "},{\"ID\":\"b\",\"Status\":" + status + "}]}";
    }
    // The library lists and the adds' answers.
    if (post) {
        if (v & 1) {
            std::string id = value(in);
            return "[{\"id\":" + id + "}]";
        }
        return "{\"id\":" + std::to_string(in.i32()) + "}";
    }
    if (v & 1) return "[]";
    const char *key = has(url, "/series") ? "tvdbId" : "tmdbId";
    std::string id = value(in);
    return std::string("[{\"") + key + "\":" + std::to_string(r.ext_id) + ",\"id\":" + id + "}]";
}

fuzz_answer answer(void *ctx, const std::string &url, bool post) {
    run &r = *static_cast<run *>(ctx);
    fuzz_bytes &in = *r.in;
    fuzz_answer a;
    uint8_t c = in.u8();
    a.ret = (c & 0x0F) == 0x0F ? 1 : 0;
    a.status = (c & 0x30) == 0x30 ? fuzz_status(in.u8()) : 200;
    a.has_error = (c & 0x0C) == 0x0C;
    switch (c >> 6) {
    case 0:
        a.body = in.text(4096);
        break;
    case 1:
        a.has_body = (c & 1) == 0;
        if (a.has_body) a.body = templated(r, url, post);
        break;
    default:
        a.body = templated(r, url, post);
    }
    return a;
}

// A POST body of an add: strict JSON, an object, the replaced members once
// each with their new values, every season unmonitored.
void check_post(const std::string &body) {
    yyjson_doc *doc = yyjson_read(body.data(), body.size(), 0);
    FUZZ_CHECK(doc != nullptr);
    yyjson_val *root = yyjson_doc_get_root(doc);
    FUZZ_CHECK(yyjson_is_obj(root));
    int path = 0, monitored = 0, options = 0, profile = 0;
    size_t idx, max;
    yyjson_val *k, *v;
    yyjson_obj_foreach(root, idx, max, k, v) {
        const char *key = yyjson_get_str(k);
        if (!strcmp(key, "path")) ++path, FUZZ_CHECK(yyjson_is_str(v));
        if (!strcmp(key, "monitored")) ++monitored, FUZZ_CHECK(yyjson_is_false(v));
        if (!strcmp(key, "addOptions")) ++options, FUZZ_CHECK(yyjson_is_obj(v));
        if (!strcmp(key, "qualityProfileId")) ++profile, FUZZ_CHECK(yyjson_get_sint(v) >= 1);
        if (!strcmp(key, "rootFolderPath")) FUZZ_CHECK(yyjson_get_len(v) > 0);
    }
    FUZZ_CHECK(path == 1 && monitored == 1 && options == 1 && profile == 1);
    yyjson_val *seasons = yyjson_obj_get(root, "seasons");
    if (yyjson_obj_get(root, "seasonFolder") && yyjson_is_arr(seasons)) {
        yyjson_val *s;
        yyjson_arr_foreach(seasons, idx, max, s) {
            if (!yyjson_is_obj(s)) continue;
            int m = 0;
            size_t i2, m2;
            yyjson_obj_foreach(s, i2, m2, k, v) {
                if (!strcmp(yyjson_get_str(k), "monitored")) ++m, FUZZ_CHECK(yyjson_is_false(v));
            }
            FUZZ_CHECK(m == 1);
        }
    }
    yyjson_doc_free(doc);
}

int one_input(const uint8_t *data, size_t size) {
    fuzz_bytes in(data, size);
    kova_reset();
    FUZZ_CHECK(kova_jackett_configure("j", 0, 0, "k") == KOVA_OK);
    FUZZ_CHECK(kova_sonarr_configure("s", 0, 0, "k") == KOVA_OK);
    FUZZ_CHECK(kova_radarr_configure("r", 0, 0, "k") == KOVA_OK);

    uint8_t b0 = in.u8();
    uint8_t b1 = in.u8();
    static const char *const k_imdb[] = {"tt0000123", "tt0903747", "123"};
    run r{&in, b1 % 4 < 3 ? k_imdb[b1 % 4] : in.text(), 0, 0, 0};
    r.ext_id = (b1 & 0x80) ? in.i32() : 1 + in.u8();
    r.season = in.u8() % 4;
    r.episode = in.u8() % 4;
    std::string profile = in.text(16);
    const char *prof = (b1 & 0x40) ? nullptr : profile.c_str();
    bool armed = (b0 & 0x80) == 0;
    kova_arm_library_writes(armed);

    fuzz_io io;
    io.answer = answer;
    io.ctx = &r;
    io.install((b1 & 0x20) == 0);
    kova_set_io(&io.io);

    int32_t rc;
    bool write = false;
    bool returns_id = false;
    const char *imdb = r.imdb.c_str();
    switch (b0 % 8) {
    case 0: {
        std::string title = in.text(), query = in.text();
        rc = kova_jackett_search_imdb((b0 & 8) ? nullptr : imdb, title.c_str(), query.c_str());
        FUZZ_CHECK(in_codes(rc, {KOVA_OK, KOVA_PARTIAL}) == (kova_jackett_stage() != 0 || rc == KOVA_PARTIAL));
        break;
    }
    case 1:
        write = true;
        rc = kova_sonarr_search_or_add(imdb, (b0 & 8) ? "Title" : nullptr, r.season, r.episode, prof);
        break;
    case 2:
        write = true;
        rc = kova_radarr_search_or_add(imdb, prof);
        break;
    case 3:
        write = returns_id = true;
        rc = kova_sonarr_add_series(r.ext_id, (b0 & 8) ? "/tv/" : profile.c_str(), in.u8() % 8);
        break;
    case 4:
        write = returns_id = true;
        rc = kova_radarr_add_movie(r.ext_id, (b0 & 8) ? "/movies" : profile.c_str(), in.u8() % 8);
        break;
    case 5: {
        int32_t (*const tests[])(void) = {kova_jackett_test, kova_sonarr_test, kova_radarr_test};
        rc = tests[(b0 >> 3) % 3]();
        break;
    }
    case 6:
        rc = (b0 & 8) ? kova_sonarr_releases(r.ext_id, r.season, r.episode) : kova_radarr_releases(r.ext_id);
        break;
    default:
        rc = (b0 & 8) ? kova_sonarr_lookup(imdb, profile.c_str()) : kova_radarr_lookup_imdb(imdb);
        if (rc == KOVA_OK) FUZZ_CHECK(kova_lookup_match() >= 0 && kova_lookup_match() < kova_lookup_count());
        break;
    }
    FUZZ_CHECK(kova_last_rc() == rc);
    FUZZ_CHECK(rc >= KOVA_ERR_INDEXERS && (rc <= KOVA_PARTIAL || returns_id));
    if (returns_id && rc > 0) FUZZ_CHECK(rc <= 2147483646 && *kova_last_error() == '\0');
    // An add's new library id may be 1, the value of PARTIAL: no message then.
    if (rc < 0 || (rc == KOVA_PARTIAL && !returns_id)) FUZZ_CHECK(*kova_last_error() != '\0');
    if (write && !armed) FUZZ_CHECK(rc == KOVA_ERR_NOT_ARMED && io.urls.empty());
    for (const std::string &body : io.posts) check_post(body);
    for (const std::string &t : io.content_types) FUZZ_CHECK(t == "application/json");
    for (const std::string &u : io.urls) {
        bool known = u.rfind("http://j:9117/", 0) == 0 || u.rfind("http://s:8989/", 0) == 0 ||
                     u.rfind("http://r:7878/", 0) == 0;
        FUZZ_CHECK(known && u.find("?apikey=k") != std::string::npos);
    }
    io.check_released();
    check_results();
    kova_reset();
    return 0;
}

} // namespace workflow_fuzzer

KOVA_FUZZ_TARGET(workflow_fuzzer)
