/*
 * A Windows host in C: kova.dll with the WinHTTP transport, or with a
 * transport of the host's own.
 *
 *     windows_host HOST PORT APIKEY   test a real Jackett through kova_winhttp
 *                                     and search it for Night of the Living Dead
 *     windows_host                    the same against answers the host serves
 *                                     from memory (no network)
 *
 * The memory transport shows the one rule that matters most on Windows: a
 * transport table always has a release entry. kova.dll frees with its own C
 * runtime (msvcrt) only when release is NULL, and a host built with MSVC, or
 * with any other runtime, allocates from another heap. Here the texts come
 * from the process heap (HeapAlloc) and go back there in release.
 *
 * Build with mingw-w64:  x86_64-w64-mingw32-gcc -std=c11 windows_host.c -I. -L. -lkova -lkova_winhttp
 * Build with MSVC:       lib /def:kova.def /machine:x64 /out:kova.lib  (once; likewise kova_winhttp)
 *                        cl /std:c11 windows_host.c kova.lib kova_winhttp.lib
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <windows.h>

#include "kova.h"
#include "kova_winhttp.h"

/* ---- A transport of the host's own: fixed answers from memory ---------- */

static const char indexers_xml[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<indexers>\n"
    "  <indexer id=\"1337x\" configured=\"true\"><title>1337x</title></indexer>\n</indexers>\n";
static const char results_json[] =
    "{\"Results\":[{\"Title\":\"Night of the Living Dead 1968 1080p BluRay x264\",\"Tracker\":\"1337x\","
    "\"Size\":8589934592,\"Seeders\":212,\"Imdb\":63350}],"
    "\"Indexers\":[{\"ID\":\"1337x\",\"Name\":\"1337x\",\"Status\":2,\"Results\":1}]}";

/* A copy of text on the process heap: what the host's own runtime would give. */
static char *heap_copy(const char *text) {
    size_t n = strlen(text) + 1;
    char *p = HeapAlloc(GetProcessHeap(), 0, n);
    if (p) memcpy(p, text, n);
    return p;
}

static int32_t memory_get(void *user, const char *url, char **body, int32_t *status, char **error) {
    (void)user;
    if (strstr(url, "t=indexers")) {
        *body = heap_copy(indexers_xml);
    } else if (strstr(url, "/results?")) {
        *body = heap_copy(results_json);
    } else {
        *error = heap_copy("no such answer");
        return 1;
    }
    if (!*body) return 1;
    *status = 200;
    return 0;
}

static int32_t memory_post(void *user, const char *url, const char *body, const char *content_type,
                           char **body_out, int32_t *status, char **error) {
    (void)user; (void)url; (void)body; (void)content_type; (void)body_out; (void)status;
    *error = heap_copy("this host only reads");
    return 1;
}

/* Every text the transport handed out comes back here, exactly once. */
static void memory_release(void *user, char *text) {
    (void)user;
    HeapFree(GetProcessHeap(), 0, text);
}

static const kova_io memory_io = {NULL, memory_get, memory_post, memory_release};

/* ---- The host ---------------------------------------------------------- */

static int failed(int32_t rc, const char *what) {
    if (rc == KOVA_OK || rc == KOVA_PARTIAL) return 0;
    fprintf(stderr, "%s: %s (%s, HTTP %d)\n", what, kova_last_error(), kova_strerror(rc),
            (int)kova_last_http_code());
    return 1;
}

static void print_log_line(void *user, const char *line) {
    (void)user;
    fprintf(stderr, "  [winhttp] %s\n", line);
}

int main(int argc, char **argv) {
    kova_winhttp *transport = NULL;
    int32_t rc, i, n;
    int status = 1;

    printf("kova %s, %s\n", kova_version(), kova_winhttp_version());
    if (argc == 4) {
        kova_winhttp_options o;
        kova_winhttp_options_init(&o);
        o.log = print_log_line;             /* redacted: the key never shows */
        transport = kova_winhttp_new(&o);
        if (!transport) {
            fprintf(stderr, "cannot create the WinHTTP transport\n");
            return 1;
        }
        rc = kova_jackett_configure(argv[1], atoi(argv[2]), 0, argv[3]);
        kova_set_io(kova_winhttp_io(transport));
    } else {
        rc = kova_jackett_configure("127.0.0.1", 0, 0, "0b5e7c1d9a2f4e6b8c3d1a0f9e8d7c6b");
        kova_set_io(&memory_io);
    }
    if (failed(rc, "configure")) goto done;

    rc = kova_jackett_test();
    for (i = 0; i < kova_test_log_count(); ++i)
        printf("  %s: %s\n", kova_test_log_key(i), kova_test_log_text(i));
    if (failed(rc, "Jackett test")) goto done;

    rc = kova_jackett_search_imdb("tt0063350", "Night of the Living Dead", NULL);
    if (failed(rc, "search")) goto done;
    n = kova_result_count();
    printf("%d results from stage %d\n", (int)n, (int)kova_jackett_stage());
    for (i = 0; i < n; ++i) printf("  %s (%s)\n", kova_result_title(i), kova_result_tracker(i));
    status = n > 0 ? 0 : 1;

done:
    kova_set_io(NULL);                      /* uninstall before freeing the transport */
    kova_winhttp_free(transport);
    kova_reset();
    return status;
}
