// Sessions side by side: the same searches by one thread, one after the
// other, and by two threads with a session each, timed in pairs on the wall
// clock. The counter "ratio" is one thread's time over two threads' time: 2
// when two searches take the time of one, 1 when they wait for each other.
//
//   BM_pair_sessions_fake/ROWS    the staged search of ROWS rows on the fake
//                                 transport: CPU-bound, the cores' share
//   BM_pair_cpu_control           arithmetic alone: the pair's ceiling on
//                                 this machine
//   BM_pair_sessions_delay/MS     a search through libkova_curl against a
//                                 local server that answers after MS ms
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <barrier>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "gen.h"
#include "kova.h"
#if defined(KOVA_BENCH_CURL)
#include "kova_curl.h"
#endif

namespace {

const char k_key[] = "benchkey0123456789";

double now_ms() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A second thread that runs one job each time the first asks, so that the
// pair's two-thread side pays no thread start.
class helper {
public:
    explicit helper(std::function<void()> job)
        : job_(std::move(job)), thread_([this] {
              for (;;) {
                  sync_.arrive_and_wait();
                  if (stop_.load()) return;
                  job_();
                  sync_.arrive_and_wait();
              }
          }) {}
    ~helper() {
        stop_ = true;
        sync_.arrive_and_wait();
        thread_.join();
    }
    // Runs own() here while the helper runs its job; returns when both ended.
    void run_beside(const std::function<void()> &own) {
        sync_.arrive_and_wait();
        own();
        sync_.arrive_and_wait();
    }

private:
    std::function<void()> job_;
    std::barrier<> sync_{2};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Each iteration times both sides by turns: one thread searching twice on
// session a, and two threads searching once each, on a and on b.
void run_pairs(benchmark::State &state, kova_session *a, kova_session *b, const std::function<bool()> &search) {
    bool failed = false;
    helper other([&] {
        kova_session_bind(b);
        if (!search()) failed = true;
    });
    kova_session *before = kova_session_bind(a);
    double one_ms = 0, two_ms = 0;
    bool one_first = true;
    for (auto _ : state) {
        for (int k = 0; k < 2; ++k) {
            double t0 = now_ms();
            if (one_first == (k == 0)) {
                if (!search() || !search()) failed = true;
                one_ms += now_ms() - t0;
            } else {
                other.run_beside([&] {
                    if (!search()) failed = true;
                });
                two_ms += now_ms() - t0;
            }
        }
        one_first = !one_first;
    }
    kova_session_bind(before);
    if (failed) state.SkipWithError("a search failed");
    state.counters["ratio"] = two_ms > 0 ? one_ms / two_ms : 0;
}

bool search_ok(int32_t rc) { return rc == KOVA_OK || rc == KOVA_PARTIAL; }

void BM_pair_sessions_fake(benchmark::State &state) {
    static const std::string text = gen::jackett(static_cast<int>(state.range(0)));
    kova_fake_reset();
    kova_session *s[2] = {kova_session_new(), kova_session_new()};
    for (kova_session *one : s) {
        kova_session *before = kova_session_bind(one);
        kova_use_fake();
        kova_jackett_configure("127.0.0.1", 9117, 0, k_key);
        kova_session_bind(before);
    }
    const std::string base = "http://127.0.0.1:9117/api/v2.0/indexers/all/results?apikey=" + std::string(k_key);
    kova_fake_set((base + "&Query=tt0133093").c_str(), 200, R"({"Results":[],"Indexers":[]})");
    kova_fake_set((base + "&Query=Matrix").c_str(), 200, text.c_str());
    run_pairs(state, s[0], s[1], [] {
        return search_ok(kova_jackett_search_imdb("tt0133093", "Matrix", nullptr)) && kova_jackett_stage() == 2;
    });
    kova_session_free(s[0]);
    kova_session_free(s[1]);
    kova_fake_reset();
}
BENCHMARK(BM_pair_sessions_fake)->Arg(10000)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.5)->MinTime(1.0);

// The machine's own ceiling for the pair above: a loop of arithmetic that
// stays in the core's caches and calls nothing of kova, timed the same way.
// A virtual machine whose two CPUs share a core, or a busy host, shows here.
void BM_pair_cpu_control(benchmark::State &state) {
    kova_session *s[2] = {kova_session_new(), kova_session_new()};
    run_pairs(state, s[0], s[1], [] {
        uint64_t x = 88172645463325252ull;
        for (int i = 0; i < 8000000; ++i) { // about as long as one search above
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
        }
        benchmark::DoNotOptimize(x);
        return true;
    });
    kova_session_free(s[0]);
    kova_session_free(s[1]);
}
BENCHMARK(BM_pair_cpu_control)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.5)->MinTime(1.0);

#if defined(KOVA_BENCH_CURL)
// A local HTTP server that answers every request after a fixed delay, one
// thread per connection, with a small Jackett answer.
class delay_server {
public:
    explicit delay_server(int delay_ms) : delay_ms_(delay_ms) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        if (bind(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || listen(fd_, 16) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr *>(&a), &n) != 0)
            return;
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] {
            for (;;) {
                int c = accept(fd_, nullptr, nullptr);
                if (c < 0 || stop_.load()) {
                    if (c >= 0) close(c);
                    return;
                }
                ++serving_; // before the thread starts, so that the destructor waits for it
                std::thread(&delay_server::serve, this, c).detach();
            }
        });
    }
    ~delay_server() {
        stop_ = true;
        shutdown(fd_, SHUT_RDWR);
        close(fd_);
        if (thread_.joinable()) thread_.join();
        while (serving_.load() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    int port() const { return port_; }

private:
    void serve(int c) {
        std::string req;
        char buf[4096];
        while (req.find("\r\n\r\n") == std::string::npos) {
            ssize_t got = read(c, buf, sizeof buf);
            if (got <= 0) break;
            req.append(buf, static_cast<size_t>(got));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms_));
        const std::string body = R"({"Results":[{"Title":"The Matrix 1999 1080p","Imdb":133093}],)"
                                 R"("Indexers":[{"ID":"a","Name":"A","Status":0,"Results":1}]})";
        std::string out = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n"
                          "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
        for (size_t sent = 0; sent < out.size();) {
            ssize_t n = write(c, out.data() + sent, out.size() - sent);
            if (n <= 0) break;
            sent += static_cast<size_t>(n);
        }
        close(c);
        --serving_;
    }

    int delay_ms_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> serving_{0};
    std::thread thread_;
};

void BM_pair_sessions_delay(benchmark::State &state) {
    delay_server server(static_cast<int>(state.range(0)));
    kova_curl_options o;
    kova_curl_options_init(&o);
    o.proxy = ""; // the local server, whatever the environment says
    kova_curl *t = kova_curl_new(&o);
    if (!t || !server.port()) {
        state.SkipWithError("no transport or no server");
        kova_curl_free(t);
        return;
    }
    kova_session *s[2] = {kova_session_new(), kova_session_new()};
    for (kova_session *one : s) {
        kova_session *before = kova_session_bind(one);
        kova_set_io(kova_curl_io(t));
        kova_jackett_configure("127.0.0.1", server.port(), 0, k_key);
        kova_session_bind(before);
    }
    run_pairs(state, s[0], s[1], [] {
        return search_ok(kova_jackett_search_imdb("tt0133093", nullptr, nullptr)) && kova_result_count() == 1;
    });
    kova_session_free(s[0]);
    kova_session_free(s[1]);
    kova_curl_free(t);
}
BENCHMARK(BM_pair_sessions_delay)->Arg(50)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
#endif

} // namespace
