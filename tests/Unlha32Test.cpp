#include "unlha32.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <random>
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
