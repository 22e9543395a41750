// POSIX side of sys.h: the arguments, the environment and file names are
// already UTF-8 bytes, and a terminal understands escape sequences.
#include "sys.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <atomic>
#include <csignal>

#include <pthread.h>
#include <sys/ioctl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sys {

void init_streams() {}

namespace {
pthread_t g_watcher;
bool g_watching = false;
std::atomic<bool> g_stop{false};
void (*g_on_interrupt)(void *) = nullptr;
void *g_interrupt_user = nullptr;

void *watch(void *) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    for (;;) {
        int sig = 0;
        if (sigwait(&set, &sig) != 0) continue;
        // unwatch_interrupt wakes the thread with a SIGINT of its own.
        if (g_stop.load()) return nullptr;
        g_on_interrupt(g_interrupt_user);
    }
}
}  // namespace

void watch_interrupt(void (*fn)(void *user), void *user) {
    g_on_interrupt = fn;
    g_interrupt_user = user;
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    // Blocked here, in the main thread: every thread started later (the
    // spinner, libcurl's resolver) inherits the mask, so only the watcher
    // ever takes SIGINT.
    if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return;
    g_watching = pthread_create(&g_watcher, nullptr, watch, nullptr) == 0;
    if (!g_watching) pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void unwatch_interrupt() {
    if (!g_watching) return;
    g_stop = true;
    pthread_kill(g_watcher, SIGINT);
    pthread_join(g_watcher, nullptr);
    g_watching = false;
}

void quit_now(int status) { _exit(status); }

std::vector<std::string> arguments(int argc, char **argv) { return std::vector<std::string>(argv, argv + argc); }

std::string env(const char *name) {
    const char *v = getenv(name);
    return v ? v : "";
}

bool is_terminal(FILE *f) { return isatty(fileno(f)); }

bool enable_escapes(FILE *) { return true; }

bool unicode_output() {
    for (const char *name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char *v = getenv(name);
        if (!v || !v[0]) continue;
        // "en_US.UTF-8", "C.utf8", "de_DE.UTF-8@euro": the codeset, any case,
        // with or without its hyphen.
        std::string s;
        for (const char *p = v; *p && *p != '@'; ++p)
            if (*p != '-') s += static_cast<char>(tolower(static_cast<unsigned char>(*p)));
        return s.find("utf8") != std::string::npos;
    }
    return false;
}

bool local_time(int64_t t, std::tm &out) {
    const time_t when = static_cast<time_t>(t);
    return localtime_r(&when, &out) != nullptr;
}

int terminal_columns() {
    struct winsize ws {};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
    return 0;
}

bool wraps_at_last_column() { return false; }

void write(FILE *f, const char *data, size_t size) { fwrite(data, 1, size, f); }

std::string default_config_path() {
    std::string xdg = env("XDG_CONFIG_HOME");
    if (!xdg.empty() && xdg[0] == '/') return xdg + "/kova/config.json";
    std::string home = env("HOME");
    return (home.empty() ? "." : home) + "/.config/kova/config.json";
}

const char *config_lookup_help() {
    return "$KOVA_CONFIG, else\n"
           "                      $XDG_CONFIG_HOME/kova/config.json or ~/.config/kova/config.json";
}

std::string default_config_reason() {
    std::string xdg = env("XDG_CONFIG_HOME");
    if (!xdg.empty() && xdg[0] == '/') return "the default place, $XDG_CONFIG_HOME/kova/config.json";
    if (!xdg.empty())
        return "the default place, ~/.config/kova/config.json ($XDG_CONFIG_HOME is not an absolute path, "
               "so it is not used)";
    return "the default place, ~/.config/kova/config.json ($XDG_CONFIG_HOME is not set)";
}

bool make_parent_dirs(const std::string &path) {
    for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
        std::string dir = path.substr(0, at);
        if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

bool create_private_file(const std::string &path, const std::string &content) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int saved = n < 0 ? errno : EIO;
            close(fd);
            unlink(path.c_str());
            errno = saved;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    if (close(fd) != 0) {
        int saved = errno;
        unlink(path.c_str());
        errno = saved;
        return false;
    }
    return true;
}

bool file_exists(const std::string &path, bool &others_can_read) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return false;
    others_can_read = (st.st_mode & 0044) != 0;
    return true;
}

FILE *open_file(const std::string &path) { return fopen(path.c_str(), "rb"); }

bool regular_size(FILE *f, uint64_t &size) {
    struct stat st {};
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return false;
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

}  // namespace sys
