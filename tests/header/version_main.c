#include <stdio.h>

#include "kova.h"

int main(void) {
    printf("kova %s\n", kova_version());
    return 0;
}
