#include "unlha32.h"

#include "LhaCraft.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The library as the archiver layer uses it: loaded at run time, entries found by name.
struct TLib {
    void* handle = dlopen(DORYOU_UNLHA32, RTLD_NOW);
    template <class F> F Entry(const char* name) {
        return reinterpret_cast<F>(dlsym(handle, name));
    }
    ~TLib() {
        if (handle)
            dlclose(handle);
    }
};

class Unlha32 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(lib.handle, nullptr) << dlerror();
        run = lib.Entry<decltype(&Unlha)>("Unlha");
        dir = fs::temp_directory_path() / ("doryou-lha-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "out");
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string P(const std::string& name) const { return (dir / name).string(); }
    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(P(name), std::ios::binary) << bytes;
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    int Cmd(const std::string& line) {
        output[0] = 'X';
        return run(nullptr, line.c_str(), output, sizeof output);
    }
    TLib lib;
    decltype(&Unlha) run = nullptr;
    fs::path dir;
    char output[8192];
};

std::map<std::string, std::string> Samples() {
    std::mt19937 rng(7);
    std::string random(100000, '\0'), text, runs, far;
    for (char& c : random)
        c = static_cast<char>(rng());
    for (int i = 0; i < 5000; ++i)
        text += "土量計算一覧表 page " + std::to_string(i % 97) + " 盛土量 1,234\r\n";
    runs = std::string(700000, 'a') + std::string(300, 'b') + std::string(70000, '\0');
    // Repeats exactly one window apart, and just beyond it.
    std::string block(8192, '\0');
    for (char& c : block)
        c = static_cast<char>(rng() % 7);
    far = block + block + block.substr(0, 5000) + "x" + block;
    std::string all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<char>(i));
    return {{"empty.bin", ""},  {"one.bin", "Z"}, {"random.bin", random},      {"text.txt", text},
            {"runs.bin", runs}, {"far.bin", far}, {"all.bin", all + all + all}};
}

} // namespace

TEST_F(Unlha32, PackedMembersExtractByteForByte) {
    const auto samples = Samples();
    std::string files;
    for (const auto& [name, bytes] : samples) {
        Write(name, bytes);
        files += " \"" + P(name) + "\"";
    }
    // The print record's command line.
    ASSERT_EQ(Cmd("u -+ -n1 -p1 -jso1 \"" + P("a.lzh") + "\"" + files), 0) << output;
    EXPECT_NE(std::string(output).find("text.txt - Frozen"), std::string::npos);

    ASSERT_EQ(Cmd("x -jso1 -jse1 \"" + P("a.lzh") + "\" \"" + P("out") + "/\""), 0) << output;
    for (const auto& [name, bytes] : samples)
        EXPECT_EQ(Read(P("out/" + name)), bytes) << name;

    // A compressible page stream gets much smaller; random bytes are stored, not inflated.
    const std::string page = samples.at("text.txt");
    Write("page.tmp", page);
    ASSERT_EQ(Cmd("u -jso1 \"" + P("page.lzh") + "\" \"" + P("page.tmp") + "\""), 0);
    EXPECT_LT(fs::file_size(P("page.lzh")), page.size() / 5);
    Write("random.tmp", samples.at("random.bin"));
    ASSERT_EQ(Cmd("u -jso1 \"" + P("random.lzh") + "\" \"" + P("random.tmp") + "\""), 0);
    EXPECT_LT(fs::file_size(P("random.lzh")), samples.at("random.bin").size() + 100);
}

// Debian's lha (lhasa) reads what we write: a real peer, not our own reader.
TEST_F(Unlha32, TheLhaCommandExtractsOurArchives) {
    if (std::system("command -v lha >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "the lha command is not installed";
    const auto samples = Samples();
    std::string files;
    for (const auto& [name, bytes] : samples) {
        Write(name, bytes);
        files += " \"" + P(name) + "\"";
    }
    ASSERT_EQ(Cmd("a -jso1 \"" + P("b.lzh") + "\"" + files), 0) << output;
    const std::string cmd = "cd \"" + P("out") + "\" && lha -xq \"" + P("b.lzh") +
                            "\" && lha -tq \"" + P("b.lzh") + "\"";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    for (const auto& [name, bytes] : samples)
        EXPECT_EQ(Read(P("out/" + name)), bytes) << name;
}

TEST_F(Unlha32, ListingCheckingUpdatingAndRemoving) {
    Write("a.txt", "alpha alpha alpha alpha");
    Write("b.dat", "beta");
    ASSERT_EQ(Cmd("a -jso1 \"" + P("c.lzh") + "\" \"" + P("a.txt") + "\" \"" + P("b.dat") + "\""),
              0);

    const auto open = lib.Entry<decltype(&UnlhaOpenArchive)>("UnlhaOpenArchive");
    const auto first = lib.Entry<decltype(&UnlhaFindFirst)>("UnlhaFindFirst");
    const auto next = lib.Entry<decltype(&UnlhaFindNext)>("UnlhaFindNext");
    const auto close = lib.Entry<decltype(&UnlhaCloseArchive)>("UnlhaCloseArchive");
    const auto check = lib.Entry<decltype(&UnlhaCheckArchive)>("UnlhaCheckArchive");
    const auto writeTime = lib.Entry<decltype(&UnlhaGetWriteTimeEx)>("UnlhaGetWriteTimeEx");
    ASSERT_TRUE(open && first && next && close && check && writeTime);

    HARC arc = open(nullptr, P("c.lzh").c_str(), 0);
    ASSERT_NE(arc, nullptr);
    INDIVIDUALINFO info;
    ASSERT_EQ(first(arc, "*.*", &info), 0);
    EXPECT_STREQ(info.szFileName, "a.txt");
    EXPECT_EQ(info.dwOriginalSize, 23u);
    int64_t t = 0;
    EXPECT_EQ(writeTime(arc, &t), 1);
    EXPECT_GT(t, 0);
    ASSERT_EQ(next(arc, &info), 0);
    EXPECT_STREQ(info.szFileName, "b.dat");
    EXPECT_STREQ(info.szMode, "-lh0-"); // four bytes do not compress
    EXPECT_EQ(next(arc, &info), -1);
    EXPECT_EQ(first(arc, "*.dat", &info), 0);
    EXPECT_STREQ(info.szFileName, "b.dat");
    EXPECT_EQ(close(arc), 0);
    EXPECT_EQ(close(nullptr), UNLHA_ERROR_HANDLE);

    // A time before DOS dates begin lists as their first day.
    LhaCraft::TMember epoch = LhaCraft::Stored("epoch.txt", "1970");
    epoch.MTime = 0;
    Write("epoch.lzh", LhaCraft::Archive({epoch}));
    arc = open(nullptr, P("epoch.lzh").c_str(), 0);
    ASSERT_NE(arc, nullptr);
    ASSERT_EQ(first(arc, "*", &info), 0);
    EXPECT_EQ(info.wDate, (0 << 9) | (1 << 5) | 1);
    EXPECT_EQ(close(arc), 0);

    EXPECT_EQ(check(P("c.lzh").c_str(), 16), 1);
    EXPECT_EQ(check(P("c.lzh").c_str(), 0), 1);
    Write("not.lzh", "this is plain text, not an archive at all.......");
    EXPECT_EQ(check(P("not.lzh").c_str(), 16), 0);
    EXPECT_EQ(open(nullptr, P("not.lzh").c_str(), 0), nullptr);
    EXPECT_EQ(open(nullptr, P("missing.lzh").c_str(), 0), nullptr);

    // "u" adds a new file and keeps the rest; "d" removes by pattern.
    Write("c.txt", "gamma");
    ASSERT_EQ(Cmd("u -jso1 \"" + P("c.lzh") + "\" \"" + P("c.txt") + "\""), 0);
    ASSERT_EQ(Cmd("d -jso1 \"" + P("c.lzh") + "\" \"*.dat\""), 0);
    ASSERT_EQ(Cmd("l -jso1 \"" + P("c.lzh") + "\""), 0);
    const std::string list = output;
    EXPECT_NE(list.find("a.txt 23"), std::string::npos) << list;
    EXPECT_NE(list.find("c.txt 5"), std::string::npos);
    EXPECT_EQ(list.find("b.dat"), std::string::npos);
}

TEST_F(Unlha32, FailuresAnswerWithCodes) {
    EXPECT_EQ(Cmd(""), UNLHA_ERROR_COMMAND);
    EXPECT_EQ(output[0], 'c'); // "command line error", terminated
    EXPECT_EQ(Cmd("q \"" + P("x.lzh") + "\""), UNLHA_ERROR_COMMAND);
    EXPECT_EQ(Cmd("u -jso1 \"" + P("x.lzh") + "\" \"" + P("nothing-*") + "\""),
              UNLHA_ERROR_NO_FILES);
    EXPECT_FALSE(fs::exists(P("x.lzh")));
    Write("text.lzh", "plain text");
    Write("f.txt", "data");
    EXPECT_EQ(Cmd("u -jso1 \"" + P("text.lzh") + "\" \"" + P("f.txt") + "\""),
              UNLHA_ERROR_NOT_ARCHIVE);
    EXPECT_EQ(Read(P("text.lzh")), "plain text"); // a foreign file is never overwritten
    EXPECT_EQ(Cmd("u -jso1 \"" + P("no/such/dir/y.lzh") + "\" \"" + P("f.txt") + "\""),
              UNLHA_ERROR_CANNOT_WRITE);
    // A small output buffer is cut and still terminated.
    char small[4];
    EXPECT_EQ(run(nullptr, "", small, sizeof small), UNLHA_ERROR_COMMAND);
    EXPECT_EQ(std::string(small), "com");
    EXPECT_EQ(run(nullptr, nullptr, nullptr, 0), UNLHA_ERROR_COMMAND);
}

namespace {

using LhaCraft::TMember;

// The entries beside the main procedure, found by name as the archiver layer finds them.
struct TEntries {
    explicit TEntries(TLib& lib)
        : check(lib.Entry<decltype(&UnlhaCheckArchive)>("UnlhaCheckArchive")),
          extractMem(lib.Entry<decltype(&UnlhaExtractMem)>("UnlhaExtractMem")),
          open(lib.Entry<decltype(&UnlhaOpenArchive)>("UnlhaOpenArchive")),
          close(lib.Entry<decltype(&UnlhaCloseArchive)>("UnlhaCloseArchive")),
          first(lib.Entry<decltype(&UnlhaFindFirst)>("UnlhaFindFirst")),
          next(lib.Entry<decltype(&UnlhaFindNext)>("UnlhaFindNext")),
          writeTime(lib.Entry<decltype(&UnlhaGetWriteTimeEx)>("UnlhaGetWriteTimeEx")) {}
    decltype(&UnlhaCheckArchive) check;
    decltype(&UnlhaExtractMem) extractMem;
    decltype(&UnlhaOpenArchive) open;
    decltype(&UnlhaCloseArchive) close;
    decltype(&UnlhaFindFirst) first;
    decltype(&UnlhaFindNext) next;
    decltype(&UnlhaGetWriteTimeEx) writeTime;
};

// A member whose header claims 0xFFFFFFFF bytes over a few stored ones.
TMember Claims4G(int level, const std::string& method) {
    TMember m = LhaCraft::Stored("big.bin", std::string(25, 'q'), level);
    m.Method = method;
    m.Length = 0xFFFFFFFFu;
    return m;
}

bool SanitizerBuild() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return false;
}

} // namespace

// Archives that lie or are damaged: every entry answers with a code, none aborts the host, and
// the main procedure never answers with an exception's text.
TEST_F(Unlha32, HostileArchivesGiveCodes) {
    const TEntries api(lib);
    const TMember good = LhaCraft::Stored("good.txt", "good data");
    TMember badCrc = LhaCraft::Stored("crc.txt", "some data");
    badCrc.Crc ^= 1;
    TMember cut = LhaCraft::Stored("cut.txt", "0123456789", 1);
    cut.PackedLength = 1000; // the file ends long before
    TMember unknown = LhaCraft::Stored("odd.txt", "abc");
    unknown.Method = "-lhz-";
    TMember shortRun = LhaCraft::Run("run.bin", 'r', 5000);
    shortRun.Length = 4000; // decodes to more than it claims
    struct TCase {
        const char* name;
        std::string bytes;
        int headersOk, dataOk; // UnlhaCheckArchive with mode 16 and 0
        int extract;           // the main procedure's "x"
    };
    const std::vector<TCase> cases = {
        {"level 0 claims 4 GiB", LhaCraft::Archive({Claims4G(0, "-lh0-")}), 1, 0,
         UNLHA_ERROR_BROKEN},
        {"level 2 claims 4 GiB", LhaCraft::Archive({Claims4G(2, "-lh5-")}), 1, 0,
         UNLHA_ERROR_BROKEN},
        {"level 1 claims 4 GiB", LhaCraft::Archive({Claims4G(1, "-lh5-")}), 1, 0,
         UNLHA_ERROR_BROKEN},
        {"CRC wrong", LhaCraft::Archive({good, badCrc}), 1, 0, UNLHA_ERROR_BROKEN},
        {"data cut short", LhaCraft::Archive({good, cut}), 0, 0, UNLHA_ERROR_BROKEN},
        {"unknown method", LhaCraft::Archive({unknown}), 1, 0, UNLHA_ERROR_BROKEN},
        {"more data than claimed", LhaCraft::Archive({shortRun}), 1, 0, UNLHA_ERROR_BROKEN},
        {"bytes after the end mark", LhaCraft::Archive({good}) + "garbage", 0, 0,
         UNLHA_ERROR_BROKEN},
        {"cut inside a header",
         LhaCraft::Archive({good, good}).substr(0, LhaCraft::Archive({good}).size() + 9), 0, 0,
         UNLHA_ERROR_BROKEN},
        {"plain text", "this is plain text, not an archive at all.......", 0, 0,
         UNLHA_ERROR_NOT_ARCHIVE},
        {"end mark only", std::string(1, '\0'), 0, 0, UNLHA_ERROR_NO_FILES},
        {"sound", LhaCraft::Archive({good, LhaCraft::Run("r", 'r', 100000)}), 1, 1, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        Write("h.lzh", c.bytes);
        EXPECT_EQ(api.check(P("h.lzh").c_str(), 16), c.headersOk);
        EXPECT_EQ(api.check(P("h.lzh").c_str(), 0), c.dataOk);
        // Debian's lha, an independent decoder, gives the same verdict on the members' data (it
        // is lenient about what surrounds them).
        if (c.headersOk == 1 && std::system("command -v lha >/dev/null 2>&1") == 0) {
            const int lha = std::system(("lha -tq \"" + P("h.lzh") + "\" >/dev/null 2>&1").c_str());
            EXPECT_EQ(lha == 0, c.dataOk == 1) << "lha -t answers " << lha;
        }
        fs::remove_all(dir / "out");
        EXPECT_EQ(Cmd("x -jso1 -jse1 \"" + P("h.lzh") + "\" \"" + P("out") + "/\""), c.extract)
            << output;
        EXPECT_EQ(std::string(output).find("std::"), std::string::npos) << output;
        // A member that fails its check leaves no file, not even a part of one.
        if (c.extract != 0 && fs::exists(dir / "out")) {
            for (const auto& f : fs::recursive_directory_iterator(dir / "out"))
                EXPECT_TRUE(f.path().filename() == "good.txt") << f.path();
        }
        uint8_t buf[4096];
        uint32_t got = 7;
        const int mem = api.extractMem(nullptr, (P("h.lzh") + " *").c_str(), buf, sizeof buf,
                                       nullptr, nullptr, &got);
        if (mem != 0) {
            EXPECT_EQ(got, 0u);
        }
    }
}

// Members of 32 MB each: extracting them to files, checking them and taking one into memory
// need no memory in proportion to a member.
TEST_F(Unlha32, MemoryDoesNotFollowMemberSizes) {
    if (SanitizerBuild())
        GTEST_SKIP() << "peak memory under the sanitizers says nothing";
    std::vector<TMember> members;
    for (int i = 0; i < 4; ++i)
        members.push_back(LhaCraft::Run("m" + std::to_string(i) + ".bin", 'a' + i, 32u << 20));
    Write("big.lzh", LhaCraft::Archive(members));
    const TEntries api(lib);
    // Each measurement in a child of its own, so that its peak is its own.
    const auto peakKiB = [](const std::function<void()>& work) {
        const pid_t pid = fork();
        if (pid == 0) {
            work();
            _exit(0);
        }
        int status = 0;
        rusage use{};
        wait4(pid, &status, 0, &use);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        return static_cast<long>(use.ru_maxrss);
    };
    const long idle = peakKiB([] {});
    const long extract = peakKiB([&] {
        if (Cmd("x -jso1 -jse1 \"" + P("big.lzh") + "\" \"" + P("out") + "/\"") != 0)
            _exit(1);
    });
    const long check = peakKiB([&] {
        if (api.check(P("big.lzh").c_str(), 0) != 1)
            _exit(1);
    });
    std::vector<uint8_t> small(4096);
    const long mem = peakKiB([&] {
        uint32_t got = 0;
        // The last member is asked for: the three before it are skipped, not decoded.
        if (api.extractMem(nullptr, (P("big.lzh") + " m3.bin").c_str(), small.data(),
                           static_cast<uint32_t>(small.size()), nullptr, nullptr,
                           &got) != UNLHA_ERROR_SMALL_BUFFER)
            _exit(1);
    });
    for (long peak : {extract, check, mem})
        EXPECT_LT(peak - idle, 16 * 1024) << "idle " << idle << " KiB";
    EXPECT_EQ(fs::file_size(P("out/m3.bin")), 32u << 20);
}

// UnlhaExtractMem takes the command lines the header gives, and a member that does not fit is
// an error, never a cut copy.
TEST_F(Unlha32, ExtractMemFitsOrFails) {
    const TEntries api(lib);
    const std::string text = "土量計算書 page 1\r\n";
    TMember broken = LhaCraft::Run("broken.bin", 'b', 1000);
    broken.Crc ^= 1;
    Write("m.lzh", LhaCraft::Archive({broken, LhaCraft::Stored("dir/t.txt", text),
                                      LhaCraft::Run("zeros", '\0', 70000)}));
    const std::string a = "\"" + P("m.lzh") + "\"";
    struct TCase {
        std::string cmdLine;
        uint32_t size;
        int code;
        std::string data;
    };
    const uint32_t n = static_cast<uint32_t>(text.size());
    const std::vector<TCase> cases = {
        {a + " dir/t.txt", n, 0, text},
        {a + " dir/t.txt", n + 100, 0, text},
        {a + " dir/t.txt", n - 1, UNLHA_ERROR_SMALL_BUFFER, ""},
        {a + " dir/t.txt", 0, UNLHA_ERROR_SMALL_BUFFER, ""},
        {a + " t.txt", n, 0, text},                           // the name without its folder
        {a + " \"*.txt\"", n, 0, text},                       // a wildcard: the first that matches
        {"x -+ -n1 -jso1 -jse1 " + a + " t.txt", n, 0, text}, // the archiver layer's form
        {"e " + a + " t.txt", n, 0, text},
        {a + " zeros", 70000, 0, std::string(70000, '\0')},
        {a + " zeros", 69999, UNLHA_ERROR_SMALL_BUFFER, ""},
        {a + " missing.txt", n, UNLHA_ERROR_NO_FILES, ""},
        {a + " broken.bin", 2000, UNLHA_ERROR_BROKEN, ""},
        {a, n, UNLHA_ERROR_COMMAND, ""},
        {a + " t.txt extra", n, UNLHA_ERROR_COMMAND, ""},
        {"\"" + P("none.lzh") + "\" t.txt", n, UNLHA_ERROR_CANNOT_READ, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.cmdLine + " into " + std::to_string(c.size));
        std::vector<uint8_t> buf(c.size + 16, 0xEE);
        uint32_t got = 12345;
        int64_t time = 0;
        EXPECT_EQ(
            api.extractMem(nullptr, c.cmdLine.c_str(), buf.data(), c.size, &time, nullptr, &got),
            c.code);
        ASSERT_EQ(got, c.data.size());
        EXPECT_EQ(std::string(buf.begin(), buf.begin() + got), c.data);
        EXPECT_EQ(buf[c.size], 0xEE); // nothing past the buffer
    }
    EXPECT_EQ(api.extractMem(nullptr, nullptr, nullptr, 0, nullptr, nullptr, nullptr),
              UNLHA_ERROR_COMMAND);
}

// Members go below the target folder or nowhere: no "..", no absolute path, no way out through
// a symbolic link that already stands in the folder; links in the archive are never made.
// (liblhasa already drops ".." from names; the library refuses them on its own as well.)
TEST_F(Unlha32, PathsStayInsideTheTargetFolder) {
    fs::create_directories(dir / "outside");
    fs::create_directories(dir / "out/real");
    fs::create_directory_symlink(dir / "outside", dir / "out/escape");
    fs::create_directory_symlink("real", dir / "out/inner");
    TMember link;
    link.Name = "made-link";
    link.Symlink = P("outside");
    struct TCase {
        TMember member;
        int code;
        std::string landsAt; // below out/, empty for nowhere
    };
    const std::vector<TCase> cases = {
        {LhaCraft::Stored("../up.txt", "x"), 0, "up.txt"},
        {LhaCraft::Stored("a/../../up.txt", "x"), 0, "up.txt"},
        {LhaCraft::Stored("../up.txt", "x", 0), 0, "up.txt"},
        {LhaCraft::Stored("a/../../up.txt", "x", 1), 0, "up.txt"},
        {LhaCraft::Stored("escape/in.txt", "x"), UNLHA_ERROR_UNSAFE_PATH, ""},
        {LhaCraft::Stored("escape/deeper/in.txt", "x"), UNLHA_ERROR_UNSAFE_PATH, ""},
        {LhaCraft::Stored("inner/ok.txt", "x"), 0, "real/ok.txt"},
        {LhaCraft::Stored("a/./b/ok.txt", "x"), 0, "a/b/ok.txt"},
        {LhaCraft::Stored(P("outside/abs.txt"), "x"), 0, P("outside/abs.txt").substr(1)},
        {link, UNLHA_ERROR_NO_FILES, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.member.Name);
        Write("p.lzh", LhaCraft::Archive({c.member}));
        EXPECT_EQ(Cmd("x -jso1 -jse1 \"" + P("p.lzh") + "\" \"" + P("out") + "/\""), c.code)
            << output;
        if (!c.landsAt.empty()) {
            EXPECT_EQ(Read(P("out/" + c.landsAt)), "x");
        }
        EXPECT_TRUE(fs::is_empty(dir / "outside"));
        EXPECT_FALSE(fs::exists(dir / "up.txt"));
        EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "out/made-link")));
    }
    // The good members of an archive still come out beside a refused one.
    Write("mixed.lzh", LhaCraft::Archive({LhaCraft::Stored("escape/x.txt", "x"),
                                          LhaCraft::Stored("fine.txt", "fine")}));
    EXPECT_EQ(Cmd("x -jso1 -jse1 \"" + P("mixed.lzh") + "\" \"" + P("out") + "/\""),
              UNLHA_ERROR_UNSAFE_PATH);
    EXPECT_EQ(Read(P("out/fine.txt")), "fine");
    EXPECT_TRUE(fs::is_empty(dir / "outside"));
}

// A handle closed once is gone: closing it again or listing through it is refused (valgrind
// shows no read of freed memory here).
TEST_F(Unlha32, StaleHandlesAreRefused) {
    const TEntries api(lib);
    Write("s.lzh", LhaCraft::Archive({LhaCraft::Stored("a.txt", "a")}));
    HARC arc = api.open(nullptr, P("s.lzh").c_str(), 0);
    ASSERT_NE(arc, nullptr);
    INDIVIDUALINFO info;
    EXPECT_EQ(api.first(arc, "*", &info), 0);
    EXPECT_EQ(api.close(arc), 0);
    int64_t t = 0;
    EXPECT_EQ(api.close(arc), UNLHA_ERROR_HANDLE);
    EXPECT_EQ(api.first(arc, "*", &info), UNLHA_ERROR_HANDLE);
    EXPECT_EQ(api.next(arc, &info), UNLHA_ERROR_HANDLE);
    EXPECT_EQ(api.writeTime(arc, &t), 0);
    // Another archive opened after it gets a handle of its own; the old one stays refused.
    HARC again = api.open(nullptr, P("s.lzh").c_str(), 0);
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, arc);
    EXPECT_EQ(api.close(arc), UNLHA_ERROR_HANDLE);
    int local = 0;
    EXPECT_EQ(api.close(&local), UNLHA_ERROR_HANDLE);
    EXPECT_EQ(api.next(reinterpret_cast<HARC>(uintptr_t{1}), &info), UNLHA_ERROR_HANDLE);
    EXPECT_EQ(api.close(again), 0);
}

// Running out of memory inside the library is a result code and a message, not an exception
// that takes the host process down.
TEST_F(Unlha32, OutOfMemoryIsACode) {
    if (SanitizerBuild())
        GTEST_SKIP() << "the sanitizers reserve more address space than the limit allows";
    // A sparse 2 GiB file to pack, under an address-space limit far below it.
    { std::ofstream(P("huge.bin")); }
    fs::resize_file(P("huge.bin"), uint64_t{2} << 30);
    const pid_t pid = fork();
    if (pid == 0) {
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = uint64_t{1} << 30;
        setrlimit(RLIMIT_AS, &limit);
        const int code = Cmd("a -jso1 \"" + P("huge.lzh") + "\" \"" + P("huge.bin") + "\"");
        _exit(code == UNLHA_ERROR_MEMORY && std::string(output) == "out of memory\n" ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(fs::exists(P("huge.lzh")));
}

// Inputs that are not plain files are refused at once; a FIFO without a writer never blocks.
TEST_F(Unlha32, OnlyRegularFilesAreRead) {
    const TEntries api(lib);
    ASSERT_EQ(mkfifo(P("fifo.lzh").c_str(), 0600), 0);
    for (const std::string& name : {P("fifo.lzh"), P("out")}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(api.open(nullptr, name.c_str(), 0), nullptr);
        EXPECT_EQ(api.check(name.c_str(), 16), 0);
        EXPECT_EQ(Cmd("x -jso1 -jse1 \"" + name + "\" \"" + P("out") + "/\""),
                  UNLHA_ERROR_CANNOT_READ);
        uint8_t buf[16];
        EXPECT_EQ(api.extractMem(nullptr, ("\"" + name + "\" a").c_str(), buf, sizeof buf, nullptr,
                                 nullptr, nullptr),
                  UNLHA_ERROR_CANNOT_READ);
    }
    // Nor is a FIFO replaced by an archive.
    Write("f.txt", "data");
    EXPECT_EQ(Cmd("a -jso1 \"" + P("fifo.lzh") + "\" \"" + P("f.txt") + "\""),
              UNLHA_ERROR_CANNOT_WRITE);
    struct stat st {};
    ASSERT_EQ(lstat(P("fifo.lzh").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// Updating and removing copy the other members as they stand (whatever header level they
// came with) and never rewrite a damaged archive.
TEST_F(Unlha32, RewritingKeepsOtherMembersAsTheyStand) {
    const TMember l0 = LhaCraft::Stored("old0.txt", "from a level 0 archive", 0);
    const TMember l1 = LhaCraft::Stored("sub/old1.txt", "from a level 1 archive", 1);
    const TMember runs = LhaCraft::Run("run.bin", 'z', 40u << 20);
    const std::string kept = LhaCraft::Header(l0) + l0.Packed + LhaCraft::Header(l1) + l1.Packed +
                             LhaCraft::Header(runs) + runs.Packed;
    Write("r.lzh", kept + std::string(1, '\0'));
    Write("new.txt", "new file");
    ASSERT_EQ(Cmd("u -jso1 \"" + P("r.lzh") + "\" \"" + P("new.txt") + "\""), 0) << output;
    EXPECT_EQ(Read(P("r.lzh")).compare(0, kept.size(), kept), 0);
    ASSERT_EQ(Cmd("d -jso1 \"" + P("r.lzh") + "\" old0.txt"), 0) << output;
    ASSERT_EQ(Cmd("l -jso1 \"" + P("r.lzh") + "\""), 0);
    EXPECT_EQ(std::string(output).find("old0.txt"), std::string::npos) << output;
    EXPECT_NE(std::string(output).find("sub/old1.txt 22"), std::string::npos) << output;
    EXPECT_NE(std::string(output).find("new.txt 8"), std::string::npos) << output;
    EXPECT_EQ(Cmd("d -jso1 \"" + P("r.lzh") + "\" nothing.txt"), UNLHA_ERROR_NO_FILES);

    // Damaged archives stay byte for byte.
    TMember bad = LhaCraft::Stored("bad.txt", "bad");
    bad.Crc ^= 1;
    const std::vector<std::pair<const char*, std::string>> damaged = {
        {"CRC", LhaCraft::Archive({l0, bad})},
        {"garbage at the end", LhaCraft::Archive({l0}) + "junk"},
        {"cut", LhaCraft::Archive({l0, runs}).substr(0, 40)},
    };
    for (const auto& [what, bytes] : damaged) {
        SCOPED_TRACE(what);
        Write("bad.lzh", bytes);
        EXPECT_NE(Cmd("u -jso1 \"" + P("bad.lzh") + "\" \"" + P("new.txt") + "\""), 0);
        EXPECT_NE(Cmd("d -jso1 \"" + P("bad.lzh") + "\" old0.txt"), 0);
        EXPECT_EQ(Read(P("bad.lzh")), bytes);
    }
    // Debian's lha agrees with the rewritten archive.
    if (std::system("command -v lha >/dev/null 2>&1") == 0) {
        EXPECT_EQ(std::system(("lha -tq \"" + P("r.lzh") + "\"").c_str()), 0);
    }
}
