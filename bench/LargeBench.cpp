// The command line tool on large synthetic sites, as a user runs it: wall time and peak memory
// of each command, next to the time of streaming the project file's bytes once, which is what
// any program must at least do with the file. The sites are written once to a folder and kept
// for later runs (they take a while to make):
//   doryou_large_bench [FOLDER] [ROW...]     rows: calc 10m sparse json detail report
// Without rows every row is measured.

#include "SyntheticSite.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

struct TRun {
    double Seconds = 0;
    double CpuSeconds = 0; // user and system time of every thread: steadier on a busy machine
    double PeakMb = 0;
    double OutMb = 0; // what the command wrote to standard output
    bool Ok = false;
};

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

// Writes the site unless the folder already has it.
std::string Site(const std::string& dir, const std::string& name, int side, int calcType,
                 int64_t spread) {
    const std::string path = dir + "/" + name + ".msh";
    if (Exists(path))
        return path;
    std::fprintf(stderr, "%s を作成しています…\n", path.c_str());
    TInputData d;
    BuildSyntheticSite(d, side, calcType, spread);
    d.SetPhase(2, false);
    d.FileSave(path + ".part");
    std::rename((path + ".part").c_str(), path.c_str());
    return path;
}

// Streams the file's bytes through one buffer: the page-cache copy alone. The best of three, and
// the file is in the cache afterwards for the commands.
double StreamSeconds(const std::string& path) {
    std::vector<char> buf(1 << 20);
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto t0 = TClock::now();
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (!f)
            return 0;
        size_t total = 0, n;
        while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0)
            total += n;
        std::fclose(f);
        best = std::min(best, std::chrono::duration<double>(TClock::now() - t0).count());
    }
    return best;
}

// Runs the tool with its standard output counted through a pipe (as a script reading it would).
TRun RunTool(const std::vector<std::string>& args) {
    TRun r;
    int fds[2];
    if (pipe(fds) != 0)
        return r;
    const auto t0 = TClock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(DORYOU_CLI));
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(DORYOU_CLI, argv.data());
        _exit(127);
    }
    close(fds[1]);
    std::vector<char> buf(1 << 16);
    size_t out = 0;
    ssize_t n;
    while ((n = read(fds[0], buf.data(), buf.size())) != 0) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        out += static_cast<size_t>(n);
    }
    close(fds[0]);
    int status = 0;
    struct rusage ru;
    wait4(pid, &status, 0, &ru);
    r.Seconds = std::chrono::duration<double>(TClock::now() - t0).count();
    r.CpuSeconds = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                   (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    r.PeakMb = ru.ru_maxrss / 1024.0;
    r.OutMb = out / 1e6;
    r.Ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

// The better of two runs for the short commands; one run for the long ones.
TRun Best(const std::vector<std::string>& args, int runs) {
    TRun best;
    for (int i = 0; i < runs; ++i) {
        const TRun r = RunTool(args);
        if (!r.Ok)
            return r;
        if (i == 0 || r.Seconds < best.Seconds)
            best = r;
    }
    return best;
}

void Print(const char* what, const TRun& r, const std::string& extra) {
    if (!r.Ok)
        std::printf("%-32s 失敗しました\n", what);
    else
        std::printf("%-32s %7.2f s (cpu %6.2f s) %6.0f MB  %s\n", what, r.Seconds, r.CpuSeconds,
                    r.PeakMb, extra.c_str());
    std::fflush(stdout);
}

std::string Format(const char* fmt, double a, double b = 0) {
    char s[160];
    std::snprintf(s, sizeof s, fmt, a, b);
    return s;
}

} // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : "/tmp/doryou-large-bench";
    std::vector<std::string> rows(argv + std::min(argc, 2), argv + argc);
    const auto want = [&](const char* row) {
        return rows.empty() || std::find(rows.begin(), rows.end(), row) != rows.end();
    };
    mkdir(dir.c_str(), 0755);

    std::string m1[3];
    for (int m = 0; m < 3; ++m)
        m1[m] = Site(dir, "dense-1m-method" + std::to_string(m), 1000, m, 1);
    const double stream1 = StreamSeconds(m1[1]);
    std::printf("%-32s %7.2f s  (%s)\n", "streaming the 1M file once", stream1, m1[1].c_str());

    double denseSeconds = 0;
    if (want("calc") || want("sparse")) {
        static const char* names[3] = {"calc 1M, one-point", "calc 1M, prism", "calc 1M, average"};
        for (int m = 0; m < 3; ++m) {
            if (!want("calc") && m != 1)
                continue;
            const TRun r = Best({"calc", m1[m]}, 2);
            if (m == 1)
                denseSeconds = r.Seconds;
            Print(names[m], r, Format("%.2fx streaming (target 2.5x)", r.Seconds / stream1));
        }
    }
    if (want("json")) {
        const TRun r = Best({"calc", m1[1], "--json"}, 2);
        Print("calc --json 1M, prism", r,
              Format("%.0f MB/s for %.0f MB (target 150 MB/s)", r.OutMb / r.Seconds, r.OutMb));
    }
    if (want("detail")) {
        const TRun r = Best({"export-detail", m1[1], "-"}, 2);
        Print("export-detail 1M, prism", r, "(target 1 s)");
    }
    if (want("sparse")) {
        const std::string sparse = Site(dir, "sparse-1m-method1", 1000, 1, 4294967);
        StreamSeconds(sparse);
        const TRun r = Best({"calc", sparse}, 2);
        Print("calc 1M sparse, prism", r,
              Format("%.2fx the dense site (target 1.5x)", r.Seconds / denseSeconds));
    }
    if (want("10m")) {
        const std::string big = Site(dir, "dense-10m-method1", 3163, 1, 1);
        const double stream10 = StreamSeconds(big);
        std::printf("%-32s %7.2f s\n", "streaming the 10M file once", stream10);
        const TRun r = Best({"calc", big}, 1);
        Print("calc 10M, prism", r,
              Format("%.2fx streaming (target 2.5 s, 2500 MB)", r.Seconds / stream10));
    }
    if (want("report")) {
        const std::string pdf = dir + "/list.pdf";
        const TRun r = Best({"report", m1[1], "--list", "-o", pdf}, 1);
        Print("report --list 1M, prism", r, "(target 60 s, 600 MB)");
        std::remove(pdf.c_str());
    }
    return 0;
}
