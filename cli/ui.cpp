#include "ui.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <thread>

#include "out.h"
#include "sys.h"

namespace ui {
namespace {
bool g_color = false;
bool g_spinner = false;
}  // namespace

void init(bool no_color_flag, bool quiet_spinner) {
    // NO_COLOR: any non-empty value turns colours off (no-color.org).
    const char *nc = getenv("NO_COLOR");
    bool env_off = nc && nc[0];
    const char *term = getenv("TERM");
    bool dumb = term && std::string(term) == "dumb";
    // Escape sequences are switched on (a Windows console needs that) only
    // where they will be used; a console that cannot take them gets none.
    g_color = !no_color_flag && !env_off && !dumb && sys::is_terminal(stdout) && sys::enable_escapes(stdout);
    g_spinner = !quiet_spinner && !dumb && sys::is_terminal(stderr) && sys::enable_escapes(stderr);
}

bool color() { return g_color; }

bool can_redraw() {
    const char *term = getenv("TERM");
    static const bool yes = !(term && std::string(term) == "dumb") && sys::is_terminal(stdout) && sys::enable_escapes(stdout);
    return yes;
}

out::Shown paint(Tone tone, std::string_view text) {
    out::Shown shown(text);
    if (!g_color || tone == Tone::plain || shown.empty()) return shown;
    const char *code = "";
    switch (tone) {
    case Tone::bold: code = "1"; break;
    case Tone::dim: code = "2"; break;
    case Tone::good: code = "32"; break;
    case Tone::bad: code = "31"; break;
    case Tone::warn: code = "33"; break;
    case Tone::accent: code = "36"; break;
    case Tone::plain: break;
    }
    return out::Shown::verbatim(std::string("\x1b[") + code + "m") + shown + out::Shown::verbatim("\x1b[0m");
}

std::string human_size(uint64_t bytes) {
    static const char *units[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB"};
    double v = static_cast<double>(bytes);
    int u = 0;
    while (v >= 1024.0 && u < 5) {
        v /= 1024.0;
        ++u;
    }
    char buf[32];
    if (u == 0) snprintf(buf, sizeof buf, "%llu B", static_cast<unsigned long long>(bytes));
    else snprintf(buf, sizeof buf, v < 10 ? "%.1f %s" : "%.0f %s", v, units[u]);
    return buf;
}

std::string age(int64_t ms) {
    if (ms < 0) return "-";
    int64_t now = static_cast<int64_t>(time(nullptr)) * 1000;
    int64_t s = (now - ms) / 1000;
    if (s < 0) s = 0;
    char buf[32];
    if (s < 3600) snprintf(buf, sizeof buf, "%lldm", static_cast<long long>(s / 60));
    else if (s < 86400) snprintf(buf, sizeof buf, "%lldh", static_cast<long long>(s / 3600));
    else if (s < 86400LL * 60) snprintf(buf, sizeof buf, "%lldd", static_cast<long long>(s / 86400));
    else if (s < 86400LL * 730) snprintf(buf, sizeof buf, "%lldmo", static_cast<long long>(s / (86400LL * 30)));
    else snprintf(buf, sizeof buf, "%lldy", static_cast<long long>(s / (86400LL * 365)));
    return buf;
}

std::string time_left(int64_t eta, int64_t now) {
    if (eta < 0) return "-";
    const int64_t s = eta - now;
    if (s <= 0) return "due";
    if (s < 60) return "<1m";
    const long long m = s / 60, h = m / 60, d = h / 24;
    char buf[48];
    if (h == 0) snprintf(buf, sizeof buf, "%lldm", m);
    else if (d == 0) snprintf(buf, sizeof buf, "%lldh %02lldm", h, m % 60);
    else snprintf(buf, sizeof buf, "%lldd %lldh", d, h % 24);
    return buf;
}

std::string progress_bar(int32_t thousandths) {
    if (thousandths < 0) return "-";
    thousandths = std::min(thousandths, 1000);
    // Twenty halves of a cell; ASCII has no half, so it shows whole cells.
    const int halves = thousandths / 50;
    std::string bar;
    for (int cell = 0; cell < 10; ++cell) {
        const int here = halves - 2 * cell;
        bar += here >= 2 ? out::glyph("\xe2\x96\x88", "#") : here == 1 ? out::glyph("\xe2\x96\x8c", ".")
                                                                        : out::glyph("\xe2\x96\x91", ".");
    }
    char pct[16];
    snprintf(pct, sizeof pct, " %3d.%d%%", thousandths / 10, thousandths % 10);
    return bar + pct;
}

std::string season_episode(int32_t season, int32_t episode) {
    char se[48] = "";
    if (season >= 0 && episode >= 0) snprintf(se, sizeof se, "S%02dE%02d", season, episode);
    else if (season >= 0) snprintf(se, sizeof se, "S%02d", season);
    return se;
}

bool civil(int64_t t, Zone zone, std::tm &out) {
    if (zone == Zone::local) return sys::local_time(t, out);
    using namespace std::chrono;
    const sys_seconds at{seconds{t}};
    const sys_days date = floor<days>(at);
    const year_month_day ymd{date};
    const hh_mm_ss<seconds> hms{at - date};
    out = std::tm{};
    out.tm_year = static_cast<int>(ymd.year()) - 1900;
    out.tm_mon = static_cast<int>(static_cast<unsigned>(ymd.month())) - 1;
    out.tm_mday = static_cast<int>(static_cast<unsigned>(ymd.day()));
    out.tm_hour = static_cast<int>(hms.hours().count());
    out.tm_min = static_cast<int>(hms.minutes().count());
    out.tm_sec = static_cast<int>(hms.seconds().count());
    out.tm_wday = static_cast<int>(weekday{date}.c_encoding());
    return true;
}

std::string day(int64_t t, Zone zone, bool clock) {
    // Weekdays from a table: strftime's would follow the C locale's.
    static const char *const names[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::tm c;
    if (t < 0 || !civil(t, zone, c) || c.tm_wday < 0 || c.tm_wday > 6) return "-";
    char buf[64];
    snprintf(buf, sizeof buf, "%s %04d-%02d-%02d", names[c.tm_wday], c.tm_year + 1900, c.tm_mon + 1, c.tm_mday);
    std::string s = buf;
    if (clock) {
        snprintf(buf, sizeof buf, " %02d:%02d", c.tm_hour, c.tm_min);
        s += buf;
    }
    return s;
}

std::string clock_time(int64_t t) {
    std::tm c;
    if (!civil(t, Zone::local, c)) return "-";
    char buf[32];
    snprintf(buf, sizeof buf, "%02d:%02d:%02d", c.tm_hour, c.tm_min, c.tm_sec);
    return buf;
}

std::string iso_utc(int64_t t) {
    std::tm c;
    civil(t, Zone::utc, c);
    char buf[64];
    snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", c.tm_year + 1900, c.tm_mon + 1, c.tm_mday, c.tm_hour,
             c.tm_min, c.tm_sec);
    return buf;
}

size_t width(const std::string &s) {
    size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

std::string fit(const std::string &s, size_t w) {
    if (width(s) <= w) return s;
    std::string mark = out::glyph("\xe2\x80\xa6", "...");  // …
    size_t mark_w = width(mark);
    if (w <= mark_w) return out::ascii() ? std::string(w, '.') : w ? mark : std::string();
    size_t cols = 0, i = 0;
    while (i < s.size()) {
        size_t len = 1;
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c >= 0xF0) len = 4;
        else if (c >= 0xE0) len = 3;
        else if (c >= 0xC0) len = 2;
        if (cols + 1 > w - mark_w) break;
        i += len;
        ++cols;
    }
    return s.substr(0, i) + mark;
}

std::string fit_middle(const std::string &s, size_t w) {
    if (width(s) <= w) return s;
    std::string mark = out::glyph("\xe2\x80\xa6", "...");
    if (w <= width(mark) + 2) return fit(s, w);
    size_t keep = w - width(mark), head = (keep + 1) / 2, tail = keep - head;
    // Code point boundaries: the first `head` and the last `tail` of them.
    size_t cols = 0, a = 0;
    while (a < s.size() && cols < head) {
        ++a;
        while (a < s.size() && (static_cast<unsigned char>(s[a]) & 0xC0) == 0x80) ++a;
        ++cols;
    }
    size_t b = s.size();
    for (cols = 0; b > 0 && cols < tail; ++cols) {
        --b;
        while (b > 0 && (static_cast<unsigned char>(s[b]) & 0xC0) == 0x80) --b;
    }
    return s.substr(0, a) + mark + s.substr(b);
}

int columns() {
    const bool terminal = sys::is_terminal(stdout);
    int cols = atoi(sys::env("COLUMNS").c_str());
    if (cols <= 0 && terminal) cols = sys::terminal_columns();
    if (cols <= 0) return terminal ? 100 : 0;
    // A console that wraps as soon as its last column is written would
    // leave an empty line under every full one.
    if (terminal && sys::wraps_at_last_column()) --cols;
    return cols;
}

void Table::print(FILE *out, const std::string &indent) const {
    // Widths are those of the texts as they will show.
    std::vector<std::vector<Cell>> shown;
    for (const auto &r : rows) {
        shown.emplace_back();
        for (const auto &cell : r) shown.back().push_back({out::safe(cell.text), cell.tone});
    }
    size_t n = head.size();
    // Columns with nothing in any row are left out (the S/E of a film).
    std::vector<bool> used(n, false);
    for (const auto &r : shown)
        for (size_t c = 0; c < n && c < r.size(); ++c) used[c] = used[c] || !r[c].text.empty();
    std::vector<size_t> w(n, 0);
    for (size_t c = 0; c < n; ++c) w[c] = width(head[c]);
    for (const auto &r : shown)
        for (size_t c = 0; c < n && c < r.size(); ++c) w[c] = std::max(w[c], width(r[c].text));

    // Only within a width does the table give way; a pipe gets it all.
    const int cols = columns();
    auto total = [&] {
        size_t t = indent.size(), shown_cols = 0;
        for (size_t c = 0; c < n; ++c)
            if (used[c]) t += w[c] + (shown_cols++ ? 2 : 0);
        return t;
    };
    if (cols > 0) {
        std::vector<Give> steps = give;
        if (elastic >= 0) steps.push_back({static_cast<size_t>(elastic), 1});
        for (const Give &g : steps) {
            size_t t = total();
            if (t <= static_cast<size_t>(cols)) break;
            if (g.column >= n || !used[g.column]) continue;
            size_t over = t - static_cast<size_t>(cols);
            if (g.width == 0) used[g.column] = false;
            else if (w[g.column] > g.width) w[g.column] = std::max(g.width, w[g.column] > over ? w[g.column] - over : 0);
        }
    }
    auto line = [&](const std::vector<Cell> &r, bool is_head) {
        std::string s = indent;
        bool first = true;
        for (size_t c = 0; c < n; ++c) {
            if (!used[c]) continue;
            std::string t = c >= r.size()                 ? ""
                            : static_cast<int>(c) == elastic ? fit_middle(r[c].text, w[c])
                                                             : fit(r[c].text, w[c]);
            size_t pad = w[c] - width(t);
            bool last = c + 1 == n;
            if (!first) s += "  ";
            first = false;
            Tone tone = is_head ? Tone::bold : (c < r.size() ? r[c].tone : Tone::plain);
            if (c < right.size() && right[c]) s += std::string(pad, ' ') + paint(tone, t).str();
            else s += paint(tone, t).str() + (last ? "" : std::string(pad, ' '));
        }
        while (!s.empty() && s.back() == ' ') s.pop_back();
        s += '\n';
        out::puts(out, out::Shown::verbatim(s));  // built of safe texts and paint()
    };
    std::vector<Cell> h;
    for (const auto &t : head) h.push_back({t, Tone::bold});
    line(h, true);
    // Where the elastic column starts, for the notes.
    size_t at = indent.size();
    for (size_t c = 0, first = 1; c < n && static_cast<int>(c) < elastic; ++c) {
        if (!used[c]) continue;
        at += w[c] + (first ? 0 : 2);
        first = 0;
    }
    if (at > indent.size()) at += 2;
    for (size_t i = 0; i < shown.size(); ++i) {
        line(shown[i], false);
        if (i >= notes.size() || notes[i].text.empty()) continue;
        std::string text = out::safe(notes[i].text);
        if (cols > 0) text = fit(text, static_cast<size_t>(cols) > at + 12 ? static_cast<size_t>(cols) - at : 12);
        out::print(out, "%s%s\n", std::string(at, ' '), paint(notes[i].tone, text));
    }
}

namespace {
// Below this an answer is quick enough that its size says nothing.
constexpr int64_t k_large = 256 * 1024;
}  // namespace

struct Spinner::Impl {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::thread th;
};

Spinner::Spinner(const std::string &label, Progress &progress) : impl_(nullptr) {
    if (!g_spinner) return;
    progress.report(0, -1);
    impl_ = new Impl;
    impl_->th = std::thread([this, label, &progress] {
        static const char *braille[] = {"\xe2\xa0\x8b", "\xe2\xa0\x99", "\xe2\xa0\xb9", "\xe2\xa0\xb8",
                                        "\xe2\xa0\xbc", "\xe2\xa0\xb4", "\xe2\xa0\xa6", "\xe2\xa0\xa7",
                                        "\xe2\xa0\x87", "\xe2\xa0\x8f"};
        static const char *line[] = {"|", "/", "-", "\\", "|", "/", "-", "\\", "|", "/"};
        const char *const *frames = out::ascii() ? line : braille;
        auto t0 = std::chrono::steady_clock::now();
        std::unique_lock<std::mutex> lk(impl_->m);
        // Nothing for the first fifth of a second: quick answers never flicker.
        if (impl_->cv.wait_for(lk, std::chrono::milliseconds(200), [this] { return impl_->done; })) return;
        for (unsigned i = 0;; ++i) {
            double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            std::string bytes;
            int64_t got = progress.received, want = progress.expected;
            if (got >= k_large) {
                bytes = "  " + human_size(static_cast<uint64_t>(got));
                if (want >= got) bytes += " of " + human_size(static_cast<uint64_t>(want));
            }
            out::print(stderr, "\r\x1b[2K%s %s %.1fs%s", frames[i % 10], label.c_str(), s, bytes);
            fflush(stderr);
            if (impl_->cv.wait_for(lk, std::chrono::milliseconds(100), [this] { return impl_->done; })) break;
        }
        out::print(stderr, "\r\x1b[2K");
        fflush(stderr);
    });
}

Spinner::~Spinner() {
    if (!impl_) return;
    {
        std::lock_guard<std::mutex> lk(impl_->m);
        impl_->done = true;
    }
    impl_->cv.notify_all();
    impl_->th.join();
    delete impl_;
}

}  // namespace ui
