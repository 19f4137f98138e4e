// Our LHA library on archives whose members are far larger than the archive: 16 members of
// 64 MiB each (about 1 KB of archive), and one member of 4 GiB - 1 byte (the largest an LHA
// header can claim). Each run happens in a child process of its own, so that its peak
// resident memory ("peak_MiB", from wait4) is its own; "idle_MiB" is the same child doing
// nothing, the floor that the library adds to. Memory must not grow with member sizes.
//   build/bench/doryou_lha_bench [--benchmark_filter=4GiB]

#include "LhaCraft.h"
#include "unlha32.h"

#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct TLib {
    void* handle = dlopen(DORYOU_UNLHA32, RTLD_NOW);
    decltype(&Unlha) run = reinterpret_cast<decltype(&Unlha)>(dlsym(handle, "Unlha"));
    decltype(&UnlhaCheckArchive) check =
        reinterpret_cast<decltype(&UnlhaCheckArchive)>(dlsym(handle, "UnlhaCheckArchive"));
    decltype(&UnlhaExtractMem) extractMem =
        reinterpret_cast<decltype(&UnlhaExtractMem)>(dlsym(handle, "UnlhaExtractMem"));
};

TLib& Lib() {
    static TLib lib;
    return lib;
}

const fs::path& Folder() {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("doryou-lha-bench-" + std::to_string(getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

std::string Make(const std::string& name, const std::vector<LhaCraft::TMember>& members) {
    const std::string path = (Folder() / name).string();
    if (!fs::exists(path))
        std::ofstream(path, std::ios::binary) << LhaCraft::Archive(members);
    return path;
}

// 16 members of 64 MiB, and a 4 KiB member last.
const std::string& Sixteen() {
    static const std::string path = [] {
        std::vector<LhaCraft::TMember> m;
        for (int i = 0; i < 16; ++i)
            m.push_back(LhaCraft::Run("m" + std::to_string(i) + ".bin", 'a' + i, 64u << 20));
        m.push_back(LhaCraft::Stored("small.txt", std::string(4096, 's')));
        return Make("sixteen.lzh", m);
    }();
    return path;
}

const std::string& Huge() {
    static const std::string path = Make("huge.lzh", {LhaCraft::Run("huge.bin", 'h', 0xFFFFFFFFu)});
    return path;
}

// The peak resident memory of a child that does `work`, in MiB; the child must answer 0.
double ChildPeakMiB(const std::function<int()>& work) {
    const pid_t pid = fork();
    if (pid == 0)
        _exit(work() == 0 ? 0 : 1);
    int status = 0;
    rusage use{};
    wait4(pid, &status, 0, &use);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return static_cast<double>(use.ru_maxrss) / 1024.0;
}

void Measure(benchmark::State& state, const std::function<int()>& work) {
    if (!Lib().run) {
        state.SkipWithError("libunlha32.so not loaded");
        return;
    }
    double peak = 0;
    for (auto _ : state) {
        peak = ChildPeakMiB(work);
        if (peak < 0) {
            state.SkipWithError("the library answered with an error");
            return;
        }
    }
    state.counters["peak_MiB"] = peak;
    state.counters["idle_MiB"] = ChildPeakMiB([] { return 0; });
}

int ExtractAll(const std::string& archive) {
    const fs::path out = Folder() / "out";
    char text[4096];
    const int code =
        Lib().run(nullptr, ("x -jso1 -jse1 \"" + archive + "\" \"" + out.string() + "/\"").c_str(),
                  text, sizeof text);
    fs::remove_all(out);
    return code;
}

void BM_Extract16x64MiB(benchmark::State& state) {
    const std::string archive = Sixteen();
    Measure(state, [&] { return ExtractAll(archive); });
}

void BM_Check16x64MiB(benchmark::State& state) {
    const std::string archive = Sixteen();
    Measure(state, [&] { return Lib().check(archive.c_str(), 0) == 1 ? 0 : 1; });
}

void BM_ExtractMem4KiBOf16x64MiB(benchmark::State& state) {
    const std::string archive = Sixteen();
    Measure(state, [&] {
        static uint8_t buf[4096];
        uint32_t got = 0;
        const int code = Lib().extractMem(nullptr, ("\"" + archive + "\" small.txt").c_str(), buf,
                                          sizeof buf, nullptr, nullptr, &got);
        return code == 0 && got == sizeof buf ? 0 : 1;
    });
}

void BM_Extract4GiB(benchmark::State& state) {
    const std::string archive = Huge();
    Measure(state, [&] { return ExtractAll(archive); });
}

void BM_Check4GiB(benchmark::State& state) {
    const std::string archive = Huge();
    Measure(state, [&] { return Lib().check(archive.c_str(), 0) == 1 ? 0 : 1; });
}

BENCHMARK(BM_Extract16x64MiB)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Check16x64MiB)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExtractMem4KiBOf16x64MiB)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Extract4GiB)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Check4GiB)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(Folder());
    return 0;
}
