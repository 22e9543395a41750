/* The transport's public header compiles on its own as strict C11. */
#include "kova_curl.h"

int kova_curl_header_ok(void);
int kova_curl_header_ok(void) {
    kova_curl_options o;
    kova_curl_options_init(&o);
    return o.struct_size == sizeof o && o.compressed == 1 && KOVA_CURL_DEFAULT_MAX_RESPONSE > 0;
}
