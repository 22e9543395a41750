/* The public header on its own, as strict C11. */
#include "kova.h"

_Static_assert(sizeof(kova_handler) == 8 * sizeof(void *), "handler record is eight slots");

int header_c11_probe(void);
int header_c11_probe(void) { return kova_default_port(KOVA_JACKETT) == 9117 ? 0 : 1; }
