// The host platform under the kova command-line host: its arguments and
// environment as UTF-8, files named in UTF-8, terminals (or Windows
// consoles), and where the configuration lives by default. One implementation
// per platform (sys_posix.cpp, sys_win32.cpp); the rest of the CLI is the same
// everywhere.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace sys {

// Prepares the standard streams. On Windows, pipes and files pass bytes
// unchanged (no CR before LF, no end of input at a Ctrl-Z byte), as on
// Linux. Call it first in main.
void init_streams();

// Ctrl-C. `fn(user)` runs on a thread of its own (never in a signal handler,
// so it may take locks: cancelling a transport does) each time the user
// presses Ctrl-C, and the program goes on. On POSIX a thread waits for SIGINT with
// sigwait, and SIGINT is blocked in every other thread: call this first in
// main, before any thread starts, since threads inherit the mask. On Windows
// the console control handler does it (Ctrl-C and Ctrl-Break).
void watch_interrupt(void (*fn)(void *user), void *user);
// Stops watching (joins the POSIX thread, so no thread outlives main).
void unwatch_interrupt();
// Ends the process at once with `status`, running no destructors or atexit
// handlers (another thread may be inside the library).
[[noreturn]] void quit_now(int status);

// The command-line arguments, the program name first, as UTF-8. Windows hands
// main() its arguments in the ANSI code page, so they come from the wide
// command line there.
std::vector<std::string> arguments(int argc, char **argv);

// An environment variable as UTF-8; "" when it is unset.
std::string env(const char *name);

// Whether `f` (stdout or stderr) is a terminal: on Windows, a console.
bool is_terminal(FILE *f);

// Makes the terminal behind `f` act on escape sequences (colours, erasing a
// line). Always true on POSIX terminals; on Windows it turns on the console's
// virtual-terminal processing (restored at exit) and is false where the
// console cannot do it. Only for a stream that is_terminal().
bool enable_escapes(FILE *f);

// Whether the output may carry the CLI's Unicode symbols (out::glyph). On
// POSIX the locale says: the first of LC_ALL, LC_CTYPE and LANG that is set
// must name UTF-8 (none set is the C locale: ASCII). On Windows the
// console's output code page says (65001 is UTF-8); a process without a
// console writes UTF-8 to its files and pipes.
bool unicode_output();

// The local civil time of `t`, seconds since 1970-01-01T00:00:00Z: in the
// zone TZ names when it is set (the C runtime reads it on Windows too), else
// the system's. False when the platform cannot convert it.
bool local_time(int64_t t, std::tm &out);

// Columns of the terminal on stdout; 0 when unknown.
int terminal_columns();
// Whether the terminal on stdout moves to the next line as soon as its last
// column is written (a Windows console), rather than at the next character.
bool wraps_at_last_column();

// Writes UTF-8 text to `f`: to a Windows console as UTF-16, so that it shows
// right whatever the console's code page; everywhere else the bytes as they
// are.
void write(FILE *f, const char *data, size_t size);

// The configuration file used when none is named: on POSIX
// $XDG_CONFIG_HOME/kova/config.json, else ~/.config/kova/config.json; on
// Windows %APPDATA%\kova\config.json.
std::string default_config_path();

// How the help names that place: the whole lookup order.
const char *config_lookup_help();

// Why default_config_path() is what it is, in words: "the default place
// ($XDG_CONFIG_HOME is not set)".
std::string default_config_reason();

// Creates the folders above `path` that are missing, each readable by its
// owner only (on POSIX mode 0700; on Windows they inherit their parent's
// access). Returns false with errno set when it cannot.
bool make_parent_dirs(const std::string &path);

// Creates `path` with `content`, readable and writable by its owner alone:
// mode 0600 on POSIX; on Windows an access list that grants the current user
// alone, not inherited from the folder. Never replaces a file: errno EEXIST
// when one is there. Returns false with errno set when it cannot.
bool create_private_file(const std::string &path, const std::string &content);

// Whether a file exists and whether users other than its owner may read it.
// Returns false with errno set when it cannot tell (errno ENOENT: missing).
// `others_can_read` is always false on Windows, where the mode bits say
// nothing about who may read a file.
bool file_exists(const std::string &path, bool &others_can_read);

// Opens a file for reading bytes; nullptr with errno set when it cannot.
FILE *open_file(const std::string &path);

// The size of what f reads when it is a regular file; false for anything
// else (a pipe, a terminal) or when it cannot tell.
bool regular_size(FILE *f, uint64_t &size);

// Everything left to read from f, in one buffer from malloc: *size bytes and
// a NUL after them (free it, or hand it to kova_parse_jackett_take). A
// regular file goes into a buffer of its exact size, read once with no copy
// on the way; anything else into a buffer that grows. Null with errno set
// when it cannot be read or memory runs out.
inline char *read_all(FILE *f, size_t *size) {
    uint64_t known = 0;
    size_t cap = 64 * 1024;
    if (regular_size(f, known)) {
        if (known >= SIZE_MAX / 2) {
            errno = EFBIG;
            return nullptr;
        }
        cap = static_cast<size_t>(known) + 1; // the byte more finds the end in the same read
    }
    char *buf = static_cast<char *>(malloc(cap + 1));
    if (!buf) {
        errno = ENOMEM;
        return nullptr;
    }
    size_t used = 0;
    for (;;) {
        if (used == cap) {
            char *more = cap < SIZE_MAX / 4 ? static_cast<char *>(realloc(buf, 2 * cap + 1)) : nullptr;
            if (!more) {
                free(buf);
                errno = ENOMEM;
                return nullptr;
            }
            buf = more;
            cap *= 2;
        }
        size_t n = fread(buf + used, 1, cap - used, f);
        used += n;
        if (n == 0) break;
    }
    if (ferror(f)) {
        int saved = errno;
        free(buf);
        errno = saved ? saved : EIO;
        return nullptr;
    }
    buf[used] = '\0';
    *size = used;
    return buf;
}

// The same for the file at path.
inline char *read_all(const std::string &path, size_t *size) {
    FILE *f = open_file(path);
    if (!f) return nullptr;
    char *buf = read_all(f, size);
    int saved = errno;
    fclose(f);
    errno = saved;
    return buf;
}

// Reads a whole file. Returns false with errno set when it cannot.
inline bool read_file(const std::string &path, std::string &out) {
    FILE *f = open_file(path);
    if (!f) return false;
    out.clear();
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    bool ok = !ferror(f);
    int saved = errno;
    fclose(f);
    errno = saved;
    return ok;
}

}  // namespace sys
