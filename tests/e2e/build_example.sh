#!/usr/bin/env bash
# Builds the guide's example (docs/examples/example.c) the ways docs/guide.md
# tells a host developer to, and runs each program:
#
#   build-tree  against this build directory: pkg-config through
#               kova-uninstalled.pc (and kova_curl-uninstalled.pc), CMake
#               through the build tree's kovaConfig.cmake;
#   installed   after `cmake --install` into a prefix of its own: pkg-config
#               through the installed kova.pc (and kova_curl.pc), CMake
#               through the installed package.
#
# Each way must use the kova it was pointed at: the flags must name the
# build tree or the prefix, and the programs must load that libkova.
#
#   build_example.sh build-tree|installed SOURCE_DIR BUILD_DIR WORK_DIR CC PKG_CONFIG CMAKE GENERATOR
set -euo pipefail
mode=$1 src=$2 build=$3 work=$4 cc=$5 pkg_config=$6 cmake=$7 generator=$8

fail() { echo "FAIL: $*"; exit 1; }

rm -rf "$work"
mkdir -p "$work"
# Nothing of the caller's environment may point pkg-config or the loader
# elsewhere.
unset PKG_CONFIG_PATH PKG_CONFIG_LIBDIR PKG_CONFIG_DISABLE_UNINSTALLED LD_LIBRARY_PATH

case $mode in
  build-tree)
    export PKG_CONFIG_PATH=$build
    # pkg-config prefers the -uninstalled file it finds in its path.
    "$pkg_config" --uninstalled kova || fail "pkg-config does not find kova-uninstalled.pc in $build"
    "$pkg_config" --uninstalled kova_curl || fail "pkg-config does not find kova_curl-uninstalled.pc in $build"
    want_include=$src/include
    want_lib=$build
    cmake_prefix=$build
    ;;
  installed)
    prefix=$work/prefix
    "$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; }
    pc=$(find "$prefix" -path '*/pkgconfig/kova.pc' | head -n 1)
    [ -n "$pc" ] || fail "no kova.pc installed under $prefix"
    export PKG_CONFIG_PATH=${pc%/kova.pc}
    want_include=$prefix
    want_lib=$prefix
    cmake_prefix=$prefix
    ;;
  *) fail "unknown mode $mode" ;;
esac

# pkg-config: the flags name the kova chosen, and a program built with them
# compiles as strict C11, links, loads that libkova and runs.
cflags=$("$pkg_config" --cflags kova)
libs=$("$pkg_config" --libs kova)
libdir=$("$pkg_config" --variable=libdir kova)
echo "pkg-config kova: $cflags $libs"
[[ $cflags == *"-I$want_include"* ]] || fail "--cflags kova does not name $want_include: $cflags"
[[ $libdir == "$want_lib"* ]] || fail "libdir of kova is not under $want_lib: $libdir"
# shellcheck disable=SC2086  # the flags are words
"$cc" -std=c11 -pedantic-errors -Wall -Wextra -Werror "$src/docs/examples/example.c" -o "$work/example_pc" \
  $cflags $libs -Wl,-rpath,"$libdir"
# The program loads the libkova of the flags (ldd's output is read whole:
# grep -q would stop it early, which pipefail reports as a failure).
loads() { local deps; deps=$(ldd "$1"); grep -q "libkova.so.1 => $2" <<<"$deps"; }
loads "$work/example_pc" "$libdir/" || fail "example_pc does not load libkova from $libdir"
"$work/example_pc" >"$work/example_pc.out" || { cat "$work/example_pc.out"; fail "example_pc failed"; }
grep -q '^2 results from stage 1$' "$work/example_pc.out" || { cat "$work/example_pc.out"; fail "example_pc printed something else"; }

# The transport's package resolves with kova's, as the guide's link line
# asks for both.
curl_libdir=$("$pkg_config" --variable=libdir kova_curl)
cat >"$work/transport.c" <<'EOF'
#include <stdio.h>
#include <kova.h>
#include <kova_curl.h>
int main(void) {
    kova_curl *t = kova_curl_new(NULL);
    if (!t) return 1;
    kova_set_io(kova_curl_io(t));
    kova_set_io(NULL);
    kova_curl_free(t);
    printf("kova %s, %s\n", kova_version(), kova_curl_version());
    return 0;
}
EOF
# shellcheck disable=SC2046
"$cc" -std=c11 -Wall -Wextra -Werror "$work/transport.c" -o "$work/transport" \
  $("$pkg_config" --cflags --libs kova_curl kova) -Wl,-rpath,"$curl_libdir" -Wl,-rpath,"$libdir"
"$work/transport" || fail "the kova_curl program failed"

# CMake: the example's own project finds the package through
# CMAKE_PREFIX_PATH alone.
"$cmake" -S "$src/docs/examples" -B "$work/cmake" -G "$generator" -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_PREFIX_PATH="$cmake_prefix" -DCMAKE_FIND_PACKAGE_NO_PACKAGE_REGISTRY=ON >"$work/cmake.log" ||
  { cat "$work/cmake.log"; fail "configuring docs/examples"; }
found=$(grep -E '^kova_DIR:' "$work/cmake/CMakeCache.txt" | cut -d= -f2-)
[[ $found == "$cmake_prefix"* ]] || fail "CMake found kova in $found, not under $cmake_prefix"
"$cmake" --build "$work/cmake" >"$work/cmake-build.log" || { cat "$work/cmake-build.log"; fail "building docs/examples"; }
loads "$work/cmake/example" "$want_lib" || fail "the CMake example does not load libkova from $want_lib"
"$work/cmake/example" >"$work/example_cmake.out" || { cat "$work/example_cmake.out"; fail "the CMake example failed"; }
echo "OK: the example builds and runs against the $mode kova (pkg-config and CMake)"
