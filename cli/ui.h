// Terminal output for the kova command-line host: colours (only on a
// terminal, never with NO_COLOR), a spinner on stderr while a request runs,
// aligned tables and human-readable numbers.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "out.h"

namespace ui {

// Decides once whether stdout gets colours and stderr a spinner.
void init(bool no_color_flag, bool quiet_spinner);
bool color();

enum class Tone { plain, bold, dim, good, bad, warn, accent };
// `text` made safe (out::safe) and wrapped in the tone's escape sequence when
// colours are on.
out::Shown paint(Tone tone, std::string_view text);

// 1.4 GiB, 700 MiB, 512 B.
std::string human_size(uint64_t bytes);
// Age of a date in milliseconds since the epoch: "5m", "3h", "12d", "4mo", "2y"; "-" when unknown.
std::string age(int64_t ms);
// Time left until `eta` at `now` (seconds since 1970): "<1m", "45m",
// "1h 33m", "2d 4h"; "due" once it has passed; "-" when unknown (eta < 0).
std::string time_left(int64_t eta, int64_t now);
// A download's progress, in thousandths, as a bar of ten cells and a
// percentage ("███████▌░░  75.5%"; in ASCII "#######...  75.5%"); "-" when
// unknown (< 0).
std::string progress_bar(int32_t thousandths);

// "S01E05"; "S01" for a season alone; "" for neither (-1 is unknown).
std::string season_episode(int32_t season, int32_t episode);

// The civil time of a moment (seconds since 1970-01-01T00:00:00Z): in the
// local zone, or in UTC, where a service's moment stands for a day (a
// film's release date is its day at midnight UTC).
enum class Zone { local, utc };
bool civil(int64_t t, Zone zone, std::tm &out);
// "Fri 2021-12-17", and with `clock` its hour and minute ("Fri 2021-12-17
// 02:00"); "-" when it cannot be told.
std::string day(int64_t t, Zone zone, bool clock);
// "14:03:22", local.
std::string clock_time(int64_t t);
// "2021-12-17T02:00:00Z": a moment as the CLI's JSON writes it.
std::string iso_utc(int64_t t);

// Display width of UTF-8 text (code points; good enough for titles).
size_t width(const std::string &s);
// Cuts UTF-8 text to `w` columns, ending with "…" when cut.
std::string fit(const std::string &s, size_t w);
// The same, cut in the middle ("Worst Cooks…1080p.WEB-GRP"): releases of
// one episode differ at their ends, in quality and group.
std::string fit_middle(const std::string &s, size_t w);
// Whether stdout may be redrawn in place (a watch): a terminal that takes
// escape sequences.
bool can_redraw();
// The columns a line may take: $COLUMNS when it is set, else the width of
// the terminal on stdout (one less on a console that wraps at its last
// column); 0 (no limit) when stdout is no terminal and COLUMNS is not set.
int columns();

struct Cell {
    std::string text;
    Tone tone = Tone::plain;
};

// A table with one elastic column that shrinks to fit the terminal. Its
// texts are made safe (out::safe) before they are measured and printed.
struct Table {
    std::vector<std::string> head;
    std::vector<bool> right;  // right-aligned columns
    std::vector<std::vector<Cell>> rows;
    // A line under row i (none when its text is empty), starting where the
    // elastic column starts: a rejected release's reason.
    std::vector<Cell> notes;
    int elastic = 1;          // the column that takes what is left (the title), cut in the middle
    // How the table gives way when it is wider than the terminal: each step
    // in turn, while it is still too wide, shrinks a column as far as needed
    // but not below `width`, or drops it (width 0). After the steps the
    // elastic column shrinks as far as it must.
    struct Give {
        size_t column, width;
    };
    std::vector<Give> give;
    void print(FILE *out, const std::string &indent = "  ") const;
};

// The transport's report on the answer arriving: bytes received so far and
// the announced length (-1 when unknown). Any thread.
struct Progress {
    std::atomic<int64_t> received{0}, expected{-1};
    void report(int64_t bytes, int64_t length) {
        received = bytes;
        expected = length;
    }
};

// Shows "⠋ label 1.2s" on stderr while alive, only when stderr is a
// terminal; erases itself when destroyed. Once an answer grows large it
// shows the bytes received too ("⠋ label 3.4s  2.1 MiB of 8.0 MiB"), as
// reported through `progress`, which it starts afresh.
class Spinner {
public:
    Spinner(const std::string &label, Progress &progress);
    ~Spinner();
    Spinner(const Spinner &) = delete;
    Spinner &operator=(const Spinner &) = delete;

private:
    struct Impl;
    Impl *impl_;
};

}  // namespace ui
