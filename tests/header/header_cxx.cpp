// The public header on its own, as C++.
#include "kova.h"

static_assert(sizeof(kova_io) == 4 * sizeof(void *), "transport table is four pointers");

int header_cxx_probe() { return kova_strerror(KOVA_OK)[0] == 'O' ? 0 : 1; }
