#include "out.h"

#include <cstdarg>
#include <vector>

#include "sys.h"

namespace out {

void print(FILE *f, const char *fmt, ...) {
    char small[1024];
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(small, sizeof small, fmt, ap);
    va_end(ap);
    if (n < 0) return;
    if (static_cast<size_t>(n) < sizeof small) {
        sys::write(f, small, static_cast<size_t>(n));
        return;
    }
    std::vector<char> big(static_cast<size_t>(n) + 1);
    va_start(ap, fmt);
    vsnprintf(big.data(), big.size(), fmt, ap);
    va_end(ap);
    sys::write(f, big.data(), static_cast<size_t>(n));
}

void puts(FILE *f, const std::string &text) { sys::write(f, text.data(), text.size()); }

}  // namespace out
