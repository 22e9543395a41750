// Windows side of sys.h. The CLI works in UTF-8 throughout; Windows speaks
// UTF-16 at its edges (command line, environment, file names, console), so
// every crossing converts here. A console gets wide text through
// WriteConsoleW, which shows any character whatever the console's code page;
// a pipe or a file gets the UTF-8 bytes, as on Linux.
#include "sys.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <windows.h>
// windows.h first: shellapi.h relies on its types.
#include <shellapi.h>

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace sys {
namespace {

std::wstring widen(const char *s, size_t n) {
    if (n == 0) return std::wstring();
    int len = MultiByteToWideChar(CP_UTF8, 0, s, static_cast<int>(n), nullptr, 0);
    std::wstring w(static_cast<size_t>(len > 0 ? len : 0), L'\0');
    if (len > 0) MultiByteToWideChar(CP_UTF8, 0, s, static_cast<int>(n), w.data(), len);
    return w;
}

std::wstring widen(const std::string &s) { return widen(s.data(), s.size()); }

std::string narrow(const wchar_t *w) {
    if (!w || !w[0]) return std::string();
    int len = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    if (len <= 1) return std::string();
    std::string s(static_cast<size_t>(len), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), len, nullptr, nullptr);
    s.resize(static_cast<size_t>(len - 1));
    return s;
}

// The console behind stdout and stderr, looked up once: nullptr for a pipe,
// a file or NUL (which _isatty would call a terminal).
struct Consoles {
    HANDLE out = nullptr, err = nullptr;
    Consoles() {
        DWORD mode;
        HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
        if (h != INVALID_HANDLE_VALUE && h && GetConsoleMode(h, &mode)) out = h;
        h = GetStdHandle(STD_ERROR_HANDLE);
        if (h != INVALID_HANDLE_VALUE && h && GetConsoleMode(h, &mode)) err = h;
    }
};

HANDLE console(FILE *f) {
    static const Consoles c;
    return f == stdout ? c.out : f == stderr ? c.err : nullptr;
}

// Console modes changed for escape sequences, put back at exit so that the
// console the user goes on with behaves as before.
std::mutex g_modes_lock;
struct SavedMode {
    HANDLE h;
    DWORD mode;
};
SavedMode g_saved[2];
int g_saved_count = 0;

void restore_modes() {
    std::lock_guard<std::mutex> lk(g_modes_lock);
    while (g_saved_count > 0) {
        --g_saved_count;
        SetConsoleMode(g_saved[g_saved_count].h, g_saved[g_saved_count].mode);
    }
}

}  // namespace

namespace {
void (*g_on_interrupt)(void *) = nullptr;
void *g_interrupt_user = nullptr;

// Windows runs a console control handler on a thread of its own.
BOOL WINAPI on_control(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    g_on_interrupt(g_interrupt_user);
    return TRUE;  // handled: the program ends by itself
}
}  // namespace

void watch_interrupt(void (*fn)(void *user), void *user) {
    g_on_interrupt = fn;
    g_interrupt_user = user;
    SetConsoleCtrlHandler(on_control, TRUE);
}

void unwatch_interrupt() { SetConsoleCtrlHandler(on_control, FALSE); }

void quit_now(int status) {
    fflush(stderr);
    restore_modes();  // atexit handlers do not run
    ExitProcess(static_cast<UINT>(status));
}

void init_streams() {
    // Input typed at a console keeps text mode: there Ctrl-Z ends it.
    if (GetFileType(GetStdHandle(STD_INPUT_HANDLE)) != FILE_TYPE_CHAR) _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

std::vector<std::string> arguments(int argc, char **argv) {
    int n = 0;
    wchar_t **w = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!w) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> args;
    for (int i = 0; i < n; ++i) args.push_back(narrow(w[i]));
    LocalFree(w);
    return args;
}

std::string env(const char *name) {
    std::wstring key = widen(name, strlen(name));
    return narrow(_wgetenv(key.c_str()));
}

bool is_terminal(FILE *f) { return console(f) != nullptr; }

bool enable_escapes(FILE *f) {
    HANDLE h = console(f);
    DWORD mode = 0;
    if (!h || !GetConsoleMode(h, &mode)) return false;
    if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) return true;
    // Consoles before Windows 10 refuse the flag: then no escape sequences.
    if (!SetConsoleMode(h, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) return false;
    std::lock_guard<std::mutex> lk(g_modes_lock);
    if (g_saved_count == 0) atexit(restore_modes);
    if (g_saved_count < 2) g_saved[g_saved_count++] = {h, mode};
    return true;
}

bool unicode_output() {
    // 0: no console; the output goes to files or pipes, in UTF-8.
    UINT cp = GetConsoleOutputCP();
    return cp == 0 || cp == CP_UTF8;
}

bool local_time(int64_t t, std::tm &out) {
    const __time64_t when = t;
    return _localtime64_s(&out, &when) == 0;
}

int terminal_columns() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    HANDLE h = console(stdout);
    if (!h || !GetConsoleScreenBufferInfo(h, &info)) return 0;
    int cols = info.srWindow.Right - info.srWindow.Left + 1;
    return cols > 0 ? cols : 0;
}

bool wraps_at_last_column() { return true; }

void write(FILE *f, const char *data, size_t size) {
    HANDLE h = console(f);
    if (!h) {
        fwrite(data, 1, size, f);
        return;
    }
    fflush(f);  // whatever went through the C stream comes first
    std::wstring w = widen(data, size);
    const wchar_t *p = w.data();
    size_t left = w.size();
    while (left > 0) {
        // Bounded pieces (large writes to a console can fail), never
        // splitting a surrogate pair.
        DWORD piece = static_cast<DWORD>(left < 8192 ? left : 8192);
        if (piece < left && IS_HIGH_SURROGATE(p[piece - 1])) --piece;
        DWORD done = 0;
        if (!WriteConsoleW(h, p, piece, &done, nullptr) || done == 0) break;
        p += done;
        left -= done;
    }
}

std::string default_config_path() {
    std::string base = env("APPDATA");
    if (base.empty()) {
        std::string profile = env("USERPROFILE");
        base = profile.empty() ? "." : profile + "\\AppData\\Roaming";
    }
    return base + "\\kova\\config.json";
}

const char *config_lookup_help() {
    return "%KOVA_CONFIG%, else\n"
           "                      %APPDATA%\\kova\\config.json";
}

std::string default_config_reason() {
    if (env("APPDATA").empty()) return "the default place, %USERPROFILE%\\AppData\\Roaming\\kova\\config.json (%APPDATA% is not set)";
    return "the default place, %APPDATA%\\kova\\config.json";
}

namespace {

// errno for what a file function of Windows reported.
int errno_of(DWORD err) {
    switch (err) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return EACCES;
    case ERROR_DISK_FULL: return ENOSPC;
    default: return EIO;
    }
}

// The access list of a file only its creator may open: one entry for the
// current user, protected from the entries the folder would pass down. (On
// Windows the mode bits of POSIX say nothing; this is what 0600 means.)
struct OwnerOnly {
    std::vector<unsigned char> user, acl;
    SECURITY_DESCRIPTOR sd;
    SECURITY_ATTRIBUTES sa{};
    bool ready = false;
    OwnerOnly() {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
        DWORD n = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &n);
        user.resize(n);
        bool ok = n > 0 && GetTokenInformation(token, TokenUser, user.data(), n, &n);
        CloseHandle(token);
        if (!ok) return;
        PSID sid = reinterpret_cast<TOKEN_USER *>(user.data())->User.Sid;
        acl.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid));
        auto *a = reinterpret_cast<PACL>(acl.data());
        ready = InitializeAcl(a, static_cast<DWORD>(acl.size()), ACL_REVISION) &&
                AddAccessAllowedAce(a, ACL_REVISION, FILE_ALL_ACCESS, sid) &&
                InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
                SetSecurityDescriptorDacl(&sd, TRUE, a, FALSE) &&
                SetSecurityDescriptorControl(&sd, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
        sa.nLength = sizeof sa;
        sa.lpSecurityDescriptor = &sd;
        sa.bInheritHandle = FALSE;
    }
};

}  // namespace

bool make_parent_dirs(const std::string &path) {
    std::wstring w = widen(path);
    // Past a drive (C:\) or a share (\\server\share\): those are never made.
    size_t from = 0;
    if (w.size() > 2 && w[1] == L':') from = 3;
    else if (w.rfind(L"\\\\", 0) == 0) from = w.find_first_of(L"\\/", w.find_first_of(L"\\/", 2) + 1) + 1;
    for (size_t at = w.find_first_of(L"\\/", from); at != std::wstring::npos; at = w.find_first_of(L"\\/", at + 1)) {
        if (at == 0) continue;
        std::wstring dir = w.substr(0, at);
        if (!CreateDirectoryW(dir.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            errno = errno_of(GetLastError());
            return false;
        }
    }
    return true;
}

bool create_private_file(const std::string &path, const std::string &content) {
    OwnerOnly owner;
    if (!owner.ready) {
        errno = EACCES;
        return false;
    }
    std::wstring w = widen(path);
    HANDLE h = CreateFileW(w.c_str(), GENERIC_WRITE, 0, &owner.sa, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        errno = errno_of(GetLastError());
        return false;
    }
    DWORD done = 0;
    bool ok = WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &done, nullptr) && done == content.size();
    DWORD err = ok ? 0 : GetLastError();
    ok = CloseHandle(h) && ok;
    if (!ok) {
        DeleteFileW(w.c_str());
        errno = err ? errno_of(err) : EIO;
    }
    return ok;
}

bool file_exists(const std::string &path, bool &others_can_read) {
    struct _stat64 st {};
    if (_wstat64(widen(path).c_str(), &st) != 0) return false;
    others_can_read = false;
    return true;
}

FILE *open_file(const std::string &path) { return _wfopen(widen(path).c_str(), L"rb"); }


bool regular_size(FILE *f, uint64_t &size) {
    struct _stat64 st {};
    if (_fstat64(_fileno(f), &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG || st.st_size < 0) return false;
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

}  // namespace sys
