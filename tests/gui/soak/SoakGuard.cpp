#include "SoakGuard.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>

#include <execinfo.h>
#include <pthread.h>
#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SOAK_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define SOAK_SANITIZED 1
#endif
#ifdef SOAK_SANITIZED
#include <sanitizer/common_interface_defs.h>
#endif

namespace {

// The ring is written by the windows' thread only and read when the run is ending, from a
// signal handler or the watchdog, so it holds plain characters and nothing that allocates.
constexpr int RingLines = 40;
constexpr int RingWidth = 320;
char Ring[RingLines][RingWidth];
std::atomic<unsigned long> RingCount{0};
std::atomic<bool> Dumped{false};

std::atomic<long long> LastSign{0};
pthread_t WindowsThread;
int HangLimit = 0;
std::thread Watchdog;
std::mutex WatchMutex;
std::condition_variable WatchWake;
bool WatchStop = false;

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Say(const char* Text) {
    size_t left = std::strlen(Text);
    while (left > 0) {
        const ssize_t n = ::write(2, Text, left);
        if (n <= 0)
            return;
        Text += n;
        left -= size_t(n);
    }
}

void DumpRecent() {
    if (Dumped.exchange(true))
        return;
    const unsigned long count = RingCount.load();
    const unsigned long first = count > RingLines ? count - RingLines : 0;
    Say("\nsoak: the last actions before the failure (replay with the same --seed):\n");
    for (unsigned long k = first; k < count; ++k) {
        Say("  ");
        Say(Ring[k % RingLines]);
        Say("\n");
    }
}

void PrintStack() {
#ifdef SOAK_SANITIZED
    __sanitizer_print_stack_trace();
#else
    void* frames[96];
    const int n = backtrace(frames, 96);
    backtrace_symbols_fd(frames, n, 2);
#endif
}

void OnFatalSignal(int Signal) {
    Say("\nsoak: fatal signal\n");
    DumpRecent();
    PrintStack();
    std::signal(Signal, SIG_DFL);
    std::raise(Signal);
}

// Sent by the watchdog: the windows' thread shows where it stands, and the run ends.
void OnHangSignal(int) {
    Say("soak: the windows' thread stands here:\n");
    PrintStack();
    _exit(3);
}

void OnTerminate() {
    Say("\nsoak: terminate called");
    if (std::exception_ptr e = std::current_exception()) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            Say(" after an uncaught exception: ");
            Say(x.what());
        } catch (...) {
            Say(" after an uncaught exception of an unknown type");
        }
    }
    Say("\n");
    DumpRecent();
    PrintStack();
    std::abort();
}

void Watch() {
    std::unique_lock<std::mutex> lock(WatchMutex);
    while (!WatchStop) {
        WatchWake.wait_for(lock, std::chrono::seconds(1));
        if (WatchStop)
            return;
        const long long silent = (NowMs() - LastSign.load()) / 1000;
        if (silent < HangLimit)
            continue;
        char line[160];
        std::snprintf(line, sizeof line, "\nsoak: HANG: the windows have not answered for %lld s\n",
                      silent);
        Say(line);
        DumpRecent();
        pthread_kill(WindowsThread, SIGUSR2);
        // Should the handler never run, the run still ends.
        WatchWake.wait_for(lock, std::chrono::seconds(20));
        _exit(3);
    }
}

} // namespace

namespace SoakGuard {

void Install(int HangSeconds) {
    WindowsThread = pthread_self();
    HangLimit = HangSeconds;
    LastSign = NowMs();
    std::set_terminate(OnTerminate);
    std::signal(SIGUSR2, OnHangSignal);
#ifdef SOAK_SANITIZED
    // The sanitizers report faults themselves; the ring tells what led to them.
    __sanitizer_set_death_callback(DumpRecent);
    std::signal(SIGABRT, OnFatalSignal);
#else
    for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
        std::signal(s, OnFatalSignal);
#endif
    if (HangSeconds > 0)
        Watchdog = std::thread(Watch);
}

void Record(const std::string& Line) {
    const unsigned long k = RingCount.load();
    std::snprintf(Ring[k % RingLines], RingWidth, "%s", Line.c_str());
    RingCount = k + 1;
    LastSign = NowMs();
}

void Finish() {
    {
        std::lock_guard<std::mutex> lock(WatchMutex);
        WatchStop = true;
    }
    WatchWake.notify_all();
    if (Watchdog.joinable())
        Watchdog.join();
}

} // namespace SoakGuard
