/*
 * A Windows host that never saw kova's headers or import library: it loads
 * kova.dll at run time with LoadLibrary, finds each function by name with
 * GetProcAddress, declares the signatures itself, and runs a staged Jackett
 * search on the built-in fake transport (the IMDb stage finds nothing, the
 * title stage finds two rows). It also checks that the DLL's version resource
 * names the version kova_version() returns.
 */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <windows.h>

typedef const char *(*text_fn)(void);
typedef int32_t (*count_fn)(void);
typedef void (*void_fn)(void);
typedef int32_t (*configure_fn)(const char *, int32_t, int32_t, const char *);
typedef const char *(*base_url_fn)(int32_t);
typedef int32_t (*fake_set_fn)(const char *, int32_t, const char *);
typedef int32_t (*search_fn)(const char *, const char *, const char *);
typedef const char *(*row_text_fn)(int32_t);

static HMODULE dll;
static int missing;

static FARPROC get(const char *name) {
    FARPROC f = GetProcAddress(dll, name);
    if (!f) {
        fprintf(stderr, "kova.dll has no %s\n", name);
        missing = 1;
    }
    return f;
}
#define GET(type, name) ((type)(void (*)(void))get(name))

static const char key[] = "0b5e7c1d9a2f4e6b8c3d1a0f9e8d7c6b";
static const char rows[] =
    "{\"Results\":["
    "{\"Title\":\"Night of the Living Dead 1968 1080p\",\"Tracker\":\"1337x\",\"Size\":8589934592,"
    "\"Seeders\":212,\"Imdb\":63350},"
    "{\"Title\":\"Night of the Living Dead 1968 2160p\",\"Tracker\":\"RuTracker.org\",\"Size\":61203283968,"
    "\"Seeders\":38,\"Imdb\":63350}],"
    "\"Indexers\":[{\"ID\":\"1337x\",\"Name\":\"1337x\",\"Status\":2,\"Results\":2}]}";

/* ProductVersion of the DLL's version resource, in out. */
static int resource_version(char *out, size_t size) {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(dll, path, MAX_PATH), handle = 0, len;
    static char block[8192];
    wchar_t *value = NULL;
    UINT vlen = 0;
    if (n == 0 || n >= MAX_PATH) return 0;
    len = GetFileVersionInfoSizeW(path, &handle);
    if (len == 0 || len > sizeof block || !GetFileVersionInfoW(path, 0, len, block)) return 0;
    if (!VerQueryValueW(block, L"\\StringFileInfo\\040904B0\\ProductVersion", (void **)&value, &vlen) || !value)
        return 0;
    return WideCharToMultiByte(CP_UTF8, 0, value, -1, out, (int)size, NULL, NULL) > 0;
}

int main(void) {
    char url[512], version[64];
    int32_t rc, n, i;

    dll = LoadLibraryW(L"kova.dll");
    if (!dll) {
        fprintf(stderr, "LoadLibrary(kova.dll) failed: error %lu\n", (unsigned long)GetLastError());
        return 1;
    }
    text_fn kova_version = GET(text_fn, "kova_version");
    configure_fn jackett_configure = GET(configure_fn, "kova_jackett_configure");
    base_url_fn base_url = GET(base_url_fn, "kova_base_url");
    void_fn use_fake = GET(void_fn, "kova_use_fake");
    fake_set_fn fake_set = GET(fake_set_fn, "kova_fake_set");
    search_fn search_imdb = GET(search_fn, "kova_jackett_search_imdb");
    count_fn stage = GET(count_fn, "kova_jackett_stage");
    count_fn result_count = GET(count_fn, "kova_result_count");
    row_text_fn result_title = GET(row_text_fn, "kova_result_title");
    text_fn last_error = GET(text_fn, "kova_last_error");
    void_fn reset = GET(void_fn, "kova_reset");
    void_fn fake_reset = GET(void_fn, "kova_fake_reset");
    if (missing) return 1;

    printf("kova %s loaded at run time\n", kova_version());
    if (!resource_version(version, sizeof version) || strcmp(version, kova_version()) != 0) {
        fprintf(stderr, "version resource says '%s', kova_version() '%s'\n", version, kova_version());
        return 1;
    }

    if (jackett_configure("127.0.0.1", 0, 0, key) != 0) return 1;
    use_fake();
    snprintf(url, sizeof url, "%s/api/v2.0/indexers/all/results?apikey=%s&Query=tt0063350", base_url(0), key);
    fake_set(url, 200, "{\"Results\":[],\"Indexers\":[]}");
    snprintf(url, sizeof url, "%s/api/v2.0/indexers/all/results?apikey=%s&Query=Night%%20of%%20the%%20Living%%20Dead",
             base_url(0), key);
    fake_set(url, 200, rows);

    rc = search_imdb("tt0063350", "Night of the Living Dead", NULL);
    n = result_count();
    printf("search: rc %d, stage %d, %d rows\n", (int)rc, (int)stage(), (int)n);
    for (i = 0; i < n; ++i) printf("  %s\n", result_title(i));
    if (rc != 0 || stage() != 2 || n != 2) {
        fprintf(stderr, "unexpected result: %s\n", last_error());
        return 1;
    }
    reset();
    fake_reset();
    FreeLibrary(dll);
    return 0;
}
