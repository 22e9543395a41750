/*
 * A complete kova host in C: configure Jackett, install a transport, test the
 * connection, search by IMDb id and read the rows back.
 *
 * It runs anywhere, with no Jackett and no network: the library's built-in
 * fake transport serves the two answers a real Jackett would give. A real
 * host installs an HTTP transport instead (see docs/guide.md):
 *
 *     kova_curl *t = kova_curl_new(NULL);
 *     kova_set_io(kova_curl_io(t));
 *
 * Build: cc -std=c11 example.c $(pkg-config --cflags --libs kova)
 * (against a build tree: PKG_CONFIG_PATH=build/dev, see docs/guide.md)
 */
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <kova.h>

static const char api_key[] = "0b5e7c1d9a2f4e6b8c3d1a0f9e8d7c6b";

/* What Jackett answers to the indexer list (Torznab XML) and to a search
   (JSON), trimmed to the members the library reads. */
static const char indexers_xml[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<indexers>\n"
    "  <indexer id=\"1337x\" configured=\"true\"><title>1337x</title></indexer>\n"
    "  <indexer id=\"rutracker\" configured=\"true\"><title>RuTracker.org</title></indexer>\n"
    "</indexers>\n";

static const char results_json[] =
    "{\"Results\":["
    "{\"Title\":\"Night of the Living Dead 1968 1080p BluRay x264\",\"Tracker\":\"1337x\","
    "\"Size\":8589934592,\"Seeders\":212,\"Peers\":231,\"Imdb\":63350,"
    "\"PublishDate\":\"2023-10-28T19:42:00\",\"DownloadVolumeFactor\":1.0},"
    "{\"Title\":\"Night of the Living Dead (1968) 2160p UHD BDRemux\",\"Tracker\":\"RuTracker.org\","
    "\"Size\":61203283968,\"Seeders\":38,\"Peers\":41,\"Imdb\":63350,\"DownloadVolumeFactor\":0}],"
    "\"Indexers\":[{\"ID\":\"1337x\",\"Name\":\"1337x\",\"Status\":2,\"Results\":1},"
    "{\"ID\":\"rutracker\",\"Name\":\"RuTracker.org\",\"Status\":2,\"Results\":1}]}";

/* Every operation returns a result code; the message and the HTTP status of
   the last call explain a failure. OK and PARTIAL both leave usable rows. */
static int failed(int32_t rc, const char *what) {
    if (rc == KOVA_OK || rc == KOVA_PARTIAL) return 0;
    fprintf(stderr, "%s: %s (%s, HTTP %d)\n", what, kova_last_error(), kova_strerror(rc),
            (int)kova_last_http_code());
    return 1;
}

/* Programs the fake transport with the exact URLs the library will request:
   base URL, path, "?apikey=" with the key, then "&" and the query. */
static void program_fake(void) {
    char url[512];
    const char *base = kova_base_url(KOVA_JACKETT); /* "http://127.0.0.1:9117" */
    snprintf(url, sizeof url, "%s/api/v2.0/indexers/all/results/torznab/api?apikey=%s&t=indexers&configured=true",
             base, api_key);
    kova_fake_set(url, 200, indexers_xml);
    snprintf(url, sizeof url, "%s/api/v2.0/indexers/all/results?apikey=%s&Query=tt0063350", base, api_key);
    kova_fake_set(url, 200, results_json);
}

int main(void) {
    int32_t rc, i, n;
    char *json;

    printf("kova %s\n", kova_version());

    /* 1. Configure the service: host, port (0 = default 9117), HTTPS, key. */
    rc = kova_jackett_configure("127.0.0.1", 0, 0, api_key);
    if (failed(rc, "configure")) return 1;

    /* 2. Install a transport. */
    kova_use_fake();
    program_fake();
    kova_set_timeout_ms(15000); /* transports read it with kova_timeout_ms() */

    /* 3. Test the connection; the test log tells each step. */
    rc = kova_jackett_test();
    for (i = 0; i < kova_test_log_count(); ++i)
        printf("  %s: %s\n", kova_test_log_key(i), kova_test_log_text(i));
    if (failed(rc, "Jackett test")) return 1;

    /* 4. Search by IMDb id (a title and a query would be the next stages). */
    rc = kova_jackett_search_imdb("tt0063350", NULL, NULL);
    if (failed(rc, "search")) return 1;
    n = kova_result_count();
    printf("%d results from stage %d\n", (int)n, (int)kova_jackett_stage());
    for (i = 0; i < n; ++i) {
        uint64_t size = 0;
        int have_size = kova_result_size(i, &size) == KOVA_OK;
        printf("  %-52s %-14s %8.1f GiB  %d seeders%s\n", kova_result_title(i), kova_result_tracker(i),
               have_size ? (double)size / 1073741824.0 : 0.0, (int)kova_result_seeders(i),
               kova_result_download_volume_factor(i) == 0 ? "  freeleech" : "");
    }

    /* 5. The whole result as JSON. The text belongs to the library and lives
       until the next kova_result_json or kova_reset: copy it to keep it. */
    {
        const char *doc = kova_result_json();
        size_t len = strlen(doc);
        json = malloc(len + 1);
        if (!json) return 1;
        memcpy(json, doc, len + 1);
    }

    /* 6. Release everything. The copy stays valid. */
    kova_reset();
    kova_fake_reset();
    printf("JSON document: %zu bytes, starts with %.30s...\n", strlen(json), json);
    free(json);
    return n == 2 ? 0 : 1;
}
