// Library adds: a series to Sonarr, a film to Radarr. The request body is the
// service's own lookup object with a fixed set of members replaced, so the
// library never invents an item's description.
#include <cstdio>
#include <cstring>

#include "ops/ops.h"

namespace kova {

namespace {
// Takes the members the add sets itself out of the body's copy of the lookup
// object (each member of such a key, should an object hold one twice),
// keeping the others in their order.
void remove_replaced(yyjson_mut_val *body, bool series, bool language) {
    static constexpr const char *common[] = {"path", "rootFolderPath", "qualityProfileId", "monitored", "addOptions"};
    static constexpr const char *series_only[] = {"seasonFolder", "monitorNewItems"};
    for (const char *k : common) yyjson_mut_obj_remove_key(body, k);
    if (series)
        for (const char *k : series_only) yyjson_mut_obj_remove_key(body, k);
    if (language) yyjson_mut_obj_remove_key(body, "languageProfileId");
}

// Sonarr v3 refuses a new series without a language profile it knows, and
// its own lookup objects carry 0 or nothing there. When the object has none,
// the add takes the first profile Sonarr lists. Sonarr v4 has no language
// profiles (404) and ignores the member: then, and whenever the list cannot
// be had, the body goes out as it would without this step. Only a lack of
// memory stops the add.
int32_t first_language_profile(context *ctx, yyjson_val *object, int32_t *id) {
    *id = 0;
    int32_t own;
    if (lookup_language_profile(object, &own)) return OK;
    log_append(ctx, "SonarrV3_Get_LanguageProfile", "Getting language profiles...");
    diag_mark mark;
    diag_save(ctx, &mark);
    yyjson_doc *answer;
    yyjson_val *arr;
    int32_t rc = get_json_array(ctx, KOVA_SONARR, "/api/v3/languageprofile", nullptr, "languageprofile", &answer, &arr);
    doc_guard doc(answer);
    if (rc == ERR_OOM) return rc;
    const char *name;
    if (rc == OK && read_first_profile(arr, id, &name)) {
        log_append(ctx, "SonarrV3_LanguageProfile", "language profile: %s (id %d)", name, *id);
        return OK;
    }
    // A failed or empty answer is no failure of the add.
    diag_rewind(ctx, &mark);
    log_append(ctx, "SonarrV3_NoLanguageProfile", "no language profile, adding without one");
    return OK;
}

// Every season object ends with its "monitored" member set: false, so that
// adding a series starts monitoring (and downloading) none of its seasons,
// unless monitoring is on: then the requested season's, or all (0).
bool set_seasons(yyjson_mut_doc *doc, yyjson_mut_val *obj, const add_monitoring &m) {
    yyjson_mut_obj_iter it;
    yyjson_mut_obj_iter_init(obj, &it);
    yyjson_mut_val *key;
    while ((key = yyjson_mut_obj_iter_next(&it))) {
        if (yyjson_mut_get_len(key) != 7 || memcmp(yyjson_mut_get_str(key), "seasons", 7) != 0) continue;
        yyjson_mut_val *seasons = yyjson_mut_obj_iter_get_val(key);
        if (!yyjson_mut_is_arr(seasons)) return true;
        size_t idx, max;
        yyjson_mut_val *season;
        yyjson_mut_arr_foreach(seasons, idx, max, season) {
            if (!yyjson_mut_is_obj(season)) continue;
            int64_t number = -1;
            yyjson_mut_val *n = yyjson_mut_obj_get(season, "seasonNumber");
            if (yyjson_mut_is_int(n)) number = yyjson_mut_get_sint(n);
            bool on = m.on && (m.season == 0 || number == m.season);
            yyjson_mut_obj_remove_key(season, "monitored");
            if (!yyjson_mut_obj_add_bool(doc, season, "monitored", on)) return false;
        }
        return true;
    }
    return true;
}

// The request body as compact JSON, or null when memory ran out (a body with
// members missing is never sent) or when a text from the caller (the root
// folder) is not valid UTF-8, which sets *bad_text.
char *build_body(yyjson_val *object, bool series, const char *folder, const char *root, size_t root_len,
                 int32_t profile, int32_t language, const add_monitoring &m, bool *bad_text) {
    *bad_text = false;
    mut_doc_guard doc(yyjson_mut_doc_new(&json_alc));
    if (!doc.doc) return nullptr;
    // The lookup object as the service sent it, less what the add replaces.
    yyjson_mut_val *out = yyjson_val_mut_copy(doc.doc, object);
    if (!out) return nullptr;
    yyjson_mut_doc_set_root(doc.doc, out);
    remove_replaced(out, series, language > 0);

    bool ok = yyjson_mut_obj_add_strcpy(doc.doc, out, "path", folder) &&
              yyjson_mut_obj_add_strncpy(doc.doc, out, "rootFolderPath", root, root_len) &&
              yyjson_mut_obj_add_int(doc.doc, out, "qualityProfileId", profile) &&
              yyjson_mut_obj_add_bool(doc.doc, out, "monitored", m.on);
    // Monitoring one season leaves the service's choice to the seasons'
    // flags ("unknown"); all seasons, or none, it says itself.
    const char *series_monitor = !m.on ? "none" : m.season == 0 ? "all" : "unknown";
    if (ok && series)
        ok = yyjson_mut_obj_add_bool(doc.doc, out, "seasonFolder", true) &&
             yyjson_mut_obj_add_str(doc.doc, out, "monitorNewItems", m.on && m.season == 0 ? "all" : "none");
    yyjson_mut_val *opts = ok ? yyjson_mut_obj_add_obj(doc.doc, out, "addOptions") : nullptr;
    if (!opts) return nullptr;
    if (series)
        ok = yyjson_mut_obj_add_str(doc.doc, opts, "monitor", series_monitor) &&
             yyjson_mut_obj_add_bool(doc.doc, opts, "searchForMissingEpisodes", m.on) &&
             yyjson_mut_obj_add_bool(doc.doc, opts, "searchForCutoffUnmetEpisodes", false) &&
             set_seasons(doc.doc, out, m);
    else
        ok = yyjson_mut_obj_add_bool(doc.doc, opts, "searchForMovie", m.on) &&
             yyjson_mut_obj_add_str(doc.doc, opts, "monitor", m.on ? "movieOnly" : "none");
    if (ok && language > 0) ok = yyjson_mut_obj_add_int(doc.doc, out, "languageProfileId", language);
    if (!ok) return nullptr;
    yyjson_write_err err;
    char *text = yyjson_mut_write_opts(doc.doc, 0, &json_alc, nullptr, &err);
    *bad_text = !text && err.code == YYJSON_WRITE_ERROR_INVALID_STRING;
    return text;
}
} // namespace

char *add_folder(yyjson_val *object, const char *root, const char *suffix) {
    const size_t root_len = root_trimmed_len(root);
    const char *name = lookup_folder_name(object);
    size_t cap = strlen(name) + root_len + (suffix ? strlen(suffix) : 0) + 4;
    char *folder = static_cast<char *>(mem_alloc(cap));
    if (!folder) return nullptr;
    if (present(suffix))
        snprintf(folder, cap, "%.*s/%s-%s", static_cast<int>(root_len), root, name, suffix);
    else
        snprintf(folder, cap, "%.*s/%s", static_cast<int>(root_len), root, name);
    return folder;
}

int32_t add_from_lookup(context *ctx, int32_t kind, yyjson_val *object, const char *root, int32_t profile,
                        const char *suffix, const add_monitoring &monitoring) {
    const arr_service &s = arr_service_of(kind);
    if (!yyjson_is_obj(object)) return fail(ctx, ERR_NOT_FOUND, "%s add: no lookup object", s.name);
    // A root that trims to nothing ("/", "\\") would add the item at the top
    // of the service's file system: refused like a missing root.
    size_t root_len = root ? root_trimmed_len(root) : 0;
    if (root_len == 0) return fail(ctx, ERR_INVALID_ARG, "%s add: empty root folder (F11)", s.name);
    if (profile < 1) return fail(ctx, ERR_INVALID_ARG, "%s add: invalid quality profile id", s.name);
    int32_t id;
    if (!lookup_external_id(object, s.ext_key, &id))
        return fail(ctx, ERR_NOT_FOUND, "%s add: lookup object has no %s", s.name, s.ext_key);
    text_guard folder(add_folder(object, root, suffix));
    if (!folder.p) return fail_oom(ctx);

    // Checked before anything is sent: the body could not carry the root.
    if (!utf8_valid(root, root_len))
        return fail(ctx, ERR_INVALID_ARG, "%s add: root folder is not valid UTF-8", s.name);
    int32_t language = 0;
    if (kind == KOVA_SONARR) {
        int32_t rc = first_language_profile(ctx, object, &language);
        if (rc != OK) return rc;
    }
    bool bad_text;
    text_guard body(
        build_body(object, kind == KOVA_SONARR, folder.p, root, root_len, profile, language, monitoring, &bad_text));
    if (bad_text) return fail(ctx, ERR_INVALID_ARG, "%s add: root folder is not valid UTF-8", s.name);
    if (!body.p) return fail_oom(ctx);
    log_append(ctx, s.log_add, s.log_add_fmt, lookup_folder_name(object), id);

    char query[48];
    if (s.add_query) snprintf(query, sizeof query, "%s=%d", s.add_query, static_cast<int>(id));
    char *answer = nullptr;
    int32_t rc = request(ctx, kind, http_method::post, s.library_path, s.add_query ? query : nullptr, body.p,
                         s.add_label, &answer);
    body.reset(nullptr);
    text_guard answer_g(answer);
    if (rc != OK) return rc;
    int32_t new_id;
    rc = parse_added_id(ctx, answer, &new_id);
    if (rc == OK) return new_id;
    if (rc == ERR_OOM) return rc;
    return fail(ctx, ERR_JSON, "%s add: the answer carries no id", s.name);
}

int32_t do_add(context *ctx, int32_t kind, int32_t ext_id, const char *root, int32_t profile) {
    int32_t rc = check_armed(ctx);
    if (rc != OK) return rc;
    log_clear(ctx);
    const arr_service &s = arr_service_of(kind);
    if (ext_id < 1 || !present(root) || profile < 1)
        return fail(ctx, ERR_INVALID_ARG, "%s add: invalid %s id / root / profile", s.name, s.ext_short);
    char query[48];
    snprintf(query, sizeof query, s.ext_lookup_query, static_cast<int>(ext_id));
    char *body = nullptr;
    rc = request(ctx, kind, http_method::get, s.ext_lookup_path, query, nullptr, s.lookup_label, &body);
    if (rc != OK) {
        bool missing = s.one_item && radarr_not_found(ctx, rc, body);
        mem_free(body);
        if (missing) return fail(ctx, ERR_NOT_FOUND, "%s add: %s id not found", s.name, s.ext_short);
        return rc;
    }
    rc = lk_parse(ctx, body, kind);
    if (rc != OK) return rc;
    const int32_t entries = s.one_item && ctx->lookups.count > 1 ? 1 : ctx->lookups.count;
    for (int32_t i = 0; i < entries; ++i) {
        const lookup_entry &e = ctx->lookups.entries[i];
        if (e.*s.ext != ext_id) continue;
        if (e.library_id > 0)
            return fail(ctx, ERR_INVALID_ARG, "%s add: %s is already in the library (id %d)", s.name, s.item,
                             e.library_id);
        return add_from_lookup(ctx, kind, e.raw, root, profile, e.imdb);
    }
    return fail(ctx, ERR_NOT_FOUND, "%s add: %s id not found", s.name, s.ext_short);
}

int32_t profile_pick(context *ctx, const char *text) {
    const profile_list &p = ctx->profiles;
    if (p.count <= 0) return -1;
    if (present(text)) {
        char num[16];
        for (int32_t i = 0; i < p.count; ++i) {
            snprintf(num, sizeof num, "%d", static_cast<int>(p.ids[i]));
            if (strcmp(num, text) == 0) return p.ids[i];
        }
        for (int32_t i = 0; i < p.count; ++i)
            if (p.names[i] && strcmp(p.names[i], text) == 0) return p.ids[i];
    }
    return p.ids[0];
}

namespace {
// A profile an add can name: the services number theirs from 1.
bool usable(const profile_list &p, int32_t i) { return p.ids[i] > 0; }

// "a (1), b (2)": the usable profiles (those listed in only, when given), for a message.
void list_profiles(const profile_list &p, const int32_t *only, int32_t n_only, strbuf *b) {
    int32_t n = only ? n_only : p.count;
    int32_t listed = 0;
    for (int32_t k = 0; k < n; ++k) {
        int32_t i = only ? only[k] : k;
        if (!usable(p, i)) continue;
        char id[24];
        snprintf(id, sizeof id, " (%d)", static_cast<int>(p.ids[i]));
        if (listed++) strbuf_puts(b, ", ");
        strbuf_puts(b, p.names[i] ? p.names[i] : "");
        strbuf_puts(b, id);
    }
    if (listed == 0) strbuf_puts(b, "none");
}
} // namespace

int32_t find_profile(context *ctx, const char *who, const char *text, int32_t *id) {
    const profile_list &p = ctx->profiles;
    const char *service = service_name(ctx->profiles_of);
    if (ctx->profiles_of != KOVA_SONARR && ctx->profiles_of != KOVA_RADARR)
        return fail(ctx, ERR_EMPTY, "no quality profiles are loaded (a Sonarr or Radarr test loads them)");
    int32_t first = -1;
    for (int32_t i = 0; first < 0 && i < p.count; ++i)
        if (usable(p, i)) first = i;
    // A profile with an id below 1 cannot be named in an add: it is never chosen.
    if (first < 0) return fail(ctx, ERR_EMPTY, "%s: no quality profile", service);
    int32_t found = present(text) ? -1 : first;
    char num[16];
    for (int32_t i = 0; found < 0 && i < p.count; ++i) {
        snprintf(num, sizeof num, "%d", static_cast<int>(p.ids[i]));
        if (usable(p, i) && strcmp(num, text) == 0) found = i;
    }
    for (int32_t i = 0; found < 0 && i < p.count; ++i)
        if (usable(p, i) && p.names[i] && strcmp(p.names[i], text) == 0) found = i;
    // In any letter case, only when one profile has the name.
    int32_t near[8];
    int32_t n_near = 0;
    for (int32_t i = 0; found < 0 && i < p.count; ++i)
        if (usable(p, i) && p.names[i] && ieq(p.names[i], text) && n_near < 8) near[n_near++] = i;
    if (found < 0 && n_near == 1) found = near[0];
    if (found >= 0) {
        *id = p.ids[found];
        return OK;
    }
    buf_guard list;
    list_profiles(p, n_near ? near : nullptr, n_near, &list.b);
    if (list.b.oom) return fail_oom(ctx);
    const char *names = list.b.data ? list.b.data : "";
    if (n_near)
        return fail(ctx, ERR_INVALID_ARG, "%s: quality profile \"%s\" could be any of %s: give its id or its exact name",
                    who, text, names);
    return fail(ctx, ERR_INVALID_ARG, "%s: no quality profile \"%s\"; %s has: %s", who, text, service, names);
}

int32_t find_root(const context *ctx, const char *root) {
    if (!root) return -1;
    const size_t n = root_trimmed_len(root);
    for (int32_t i = 0; n > 0 && i < ctx->roots.count; ++i) {
        const char *f = ctx->roots.items[i].path;
        if (strlen(f) == n && memcmp(f, root, n) == 0) return i;
    }
    return -1;
}

} // namespace kova
