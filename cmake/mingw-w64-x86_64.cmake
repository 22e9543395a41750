# Cross-building for 64-bit Windows with Debian's mingw-w64 (posix thread
# model: GCC 12's win32 model has no std::thread or std::mutex, which the
# command-line host and the threading tests use; its winpthread runtime is
# linked statically, so nothing but system DLLs ships beside ours).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KOVA_MINGW_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${KOVA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KOVA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KOVA_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${KOVA_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${KOVA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# msvcrt's printf family lacks C99 formats and its _snprintf may leave a
# buffer unterminated: use mingw-w64's C99 implementation everywhere, so that
# formatting is the same as on Linux.
set(CMAKE_C_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_CXX_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")
# libgcc, libstdc++ and winpthread go into each DLL and EXE.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# Test programs run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
