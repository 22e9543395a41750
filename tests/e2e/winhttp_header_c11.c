/* The transport's public header compiles on its own as strict C11. */
#include "kova_winhttp.h"

int kova_winhttp_header_ok(void);
int kova_winhttp_header_ok(void) {
    kova_winhttp_options o;
    kova_winhttp_options_init(&o);
    return o.struct_size == sizeof o && o.compressed == 1 && o.proxy == 0 && KOVA_WINHTTP_DEFAULT_MAX_RESPONSE > 0 &&
           KOVA_WINHTTP_DEFAULT_CONNECT_TIMEOUT_MS == 10000;
}
