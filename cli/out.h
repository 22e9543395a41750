// Every line the kova command-line host prints goes through these two, so
// that a Windows console receives it as wide text (see sys::write). They
// behave as fprintf and fputs do.
#pragma once

#include <cstdio>
#include <string>

// mingw-w64 formats with its own C99 printf: the checks must follow that one,
// not the Microsoft runtime's.
#if defined(__MINGW32__)
#  define KOVA_OUT_FORMAT(f, a) __attribute__((format(__MINGW_PRINTF_FORMAT, f, a)))
#elif defined(__GNUC__)
#  define KOVA_OUT_FORMAT(f, a) __attribute__((format(printf, f, a)))
#else
#  define KOVA_OUT_FORMAT(f, a)
#endif

namespace out {

// fprintf(f, fmt, ...).
void print(FILE *f, const char *fmt, ...) KOVA_OUT_FORMAT(2, 3);

// fputs(text, f): the text as it is, no newline added.
void puts(FILE *f, const std::string &text);

}  // namespace out
