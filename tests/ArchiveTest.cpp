#include "archive/Archives.h"
#include "archive/Lha32.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/time.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kBuild = DORYOU_BUILD_DIR;

class Archive : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("doryou-arc-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        TLha32::Binding().FreeDll();
    }
    void TearDown() override {
        TLha32::Binding().FreeDll();
        SetArchiverLibraryFolder("");
        fs::remove_all(dir);
    }
    void Use(const std::string& folder) {
        TLha32::Binding().FreeDll();
        SetArchiverLibraryFolder(folder);
    }
    std::string P(const std::string& name) const { return (dir / name).string(); }
    void Write(const std::string& name, const std::string& bytes, time_t mtime = 0) const {
        fs::create_directories(fs::path(P(name)).parent_path());
        std::ofstream(P(name), std::ios::binary) << bytes;
        if (mtime) {
            const timeval tv[2] = {{mtime, 0}, {mtime, 0}};
            utimes(P(name).c_str(), tv);
        }
    }
    fs::path dir;
};

} // namespace

TEST(ArchiveFormat, FromTheFileName) {
    const struct {
        const char* name;
        TArchiverType type;
    } cases[] = {{"print.LZH", atLha},     {"a.tar.gz", atTgz},        {"a.tgz", atTgz},
                 {"x.zip", atZip},         {"x.cab", atCab},           {"x.gza", atBga},
                 {"x.bz2", atBZ2},         {"x.deb", atTar},           {"x.rar", atRar},
                 {"x.gca", atGCA},         {"x.txt", atNone},          {"lzh", atNone},
                 {"dir.lzh/file", atNone}, {"setup.exe", atAutoDetect}};
    for (const auto& c : cases)
        EXPECT_EQ(TArchiveFile::TypeFromFileName(c.name), c.type) << c.name;
    EXPECT_EQ(ArchiverLibraryFileName("UNLHA32.DLL"), "libunlha32.so");
}

TEST(ArchiveFormat, CommandLineItems) {
    TCmdOpt c;
    c.Int("jso", 1);
    c.Int("x", -1); // not given: absent
    c.Default("r", 2, 2);
    c.Default("r", 3, 2);
    c.Default("r", -1, 2);
    c.Bool("b", true);
    c.Bool("q", false);
    c.Text("w", "/tmp/work dir/");
    c.Text(" gr", "value");
    c.Text(nullptr, "a b.lzh");
    c.Folder("/base");
    c.Folder("");
    c.Files({"one.txt", "two words.txt"}, "");
    EXPECT_EQ(c.CmdLine(),
              " -jso1 -r -r3 -b \"-w/tmp/work dir/\" \"grvalue\" \"a b.lzh\" \"/base/\""
              " \"one.txt\" \"two words.txt\"");
    TCmdOpt outer(TCmdOpt::cfOuter);
    outer.Text("w", "x");
    EXPECT_EQ(outer.CmdLine(), " -w \"x\"");
}

TEST_F(Archive, MissingLibraryFailsWhenTheFormatIsChosen) {
    Use(dir.string()); // a folder without libraries
    TArchiveFile a;
    try {
        a.SetFileName(P("x.lzh"));
        FAIL();
    } catch (const ENoArchiverDLL& e) {
        EXPECT_STREQ(e.what(), "LHA 形式書庫 を扱うには UNLHA32.DLL が 必要です。");
    }
    a.SetFileName(P("x.txt")); // names no format: nothing changes
    EXPECT_EQ(a.ArchiverType(), atAutoDetect);
    EXPECT_THROW(a.SetArchiverType(atGCA), EArchiver);
    try {
        a.PackFiles(nullptr, nullptr, "", {"x"});
        FAIL();
    } catch (const EArchiver& e) {
        EXPECT_STREQ(e.what(), "書庫の形式を判別できません。");
    }
}

// The library lies beside the programs in a build folder and in the program's private library
// folder when installed; a set folder is the only place looked in.
TEST_F(Archive, LibraryFoldersOfBuildAndInstalledTrees) {
    const std::string bin = P("usr/bin");
    const std::string installed = bin + "/" + DORYOU_LIBDIR_FROM_BINDIR;
    fs::create_directories(installed);
    fs::copy_file(DORYOU_UNLHA32, installed + "/libunlha32.so");
    // The first folder that holds the library is the one opened.
    auto found = [](const std::vector<std::string>& folders) {
        for (const std::string& f : folders)
            if (fs::exists(f + "/libunlha32.so"))
                return fs::weakly_canonical(f).string();
        return std::string();
    };
    EXPECT_EQ(found(ArchiverLibraryFolders(bin)), fs::weakly_canonical(installed).string());
    fs::create_directories(bin);
    fs::copy_file(DORYOU_UNLHA32, bin + "/libunlha32.so");
    EXPECT_EQ(found(ArchiverLibraryFolders(bin)), fs::weakly_canonical(bin).string());
    EXPECT_TRUE(ArchiverLibraryFolders("").empty()); // unknown program folder: library path only
    Use(kBuild);
    EXPECT_EQ(ArchiverLibraryFolders(bin), std::vector<std::string>{kBuild});
}

TEST_F(Archive, ThePrintRecordCommandLine) {
    Use(kBuild + "/tests/archlibs/record");
    Write("page.tmp", "page stream");
    TArchiveFile a;
    a.SetFileName(P("rec.lzh"));
    a.SetArchiverType(atLha);
    a.SetOutputSize(8192);
    a.Options().jso = 1;
    a.Options().n = 1;
    EXPECT_EQ(a.PackFiles(nullptr, nullptr, "", {P("page.tmp")}), 0);
    const std::string expect =
        " u -+ -n1 -p1 -jso1 \"" + P("rec.lzh") + "\" \"" + P("page.tmp") + "\"";
    EXPECT_EQ(a.CmdLine(), expect);
    EXPECT_EQ(a.Output(), expect); // what the library was given

    // Without jso no command line is built; "x" also needs jse.
    a.Options().jso = -1;
    try {
        a.PackFiles(nullptr, nullptr, "", {P("page.tmp")});
        FAIL();
    } catch (const EArchiver& e) {
        EXPECT_STREQ(e.what(), "jso オプションが設定されていません。");
    }
    a.Options().jso = 1;
    try {
        a.UnpackFiles(nullptr, nullptr, dir.string(), {});
        FAIL();
    } catch (const EArchiver& e) {
        EXPECT_STREQ(e.what(), "jse オプションが設定されていません。");
    }
    a.Options().jse = 1;
    EXPECT_EQ(a.UnpackFiles(nullptr, nullptr, dir.string(), {}), 0);
    EXPECT_EQ(a.CmdLine(),
              " x -+ -n1 -jse1 -jso1 \"" + P("rec.lzh") + "\" \"" + dir.string() + "/\"");

    // The member's times come from its DOS date where the library has no time entries.
    ASSERT_EQ(a.FindOpen(nullptr, 0), 0);
    TIndivisualInfo info;
    ASSERT_EQ(a.FindFirst("*.*", info), 0);
    EXPECT_EQ(info.FileName, "member.txt");
    tm t{};
    const time_t wt = static_cast<time_t>(info.WriteTime);
    localtime_r(&wt, &t);
    EXPECT_EQ(t.tm_year + 1900, 2026);
    EXPECT_EQ(t.tm_hour, 9);
    EXPECT_EQ(a.FindNext(info), -1);
}

TEST_F(Archive, MissingEntryFails) {
    Use(kBuild + "/tests/archlibs/noentry");
    TArchiveFile a;
    a.SetFileName(P("x.lzh"));
    try {
        a.FindOpen(nullptr, 0);
        FAIL();
    } catch (const EEntryNotFound& e) {
        EXPECT_EQ(std::string(e.what()), kBuild + "/tests/archlibs/noentry/libunlha32.so に "
                                                  "UnlhaOpenArchive のエントリが見つかりません。");
    }
}

TEST_F(Archive, SelectingFilesForPacking) {
    Use(kBuild + "/tests/archlibs/record");
    const time_t old = 946684800; // 2000-01-01
    Write("a.txt", "a");
    Write("b.txt", "b");
    Write("c.dat", "c");
    Write(".hidden.txt", "h");
    Write("sub/d.txt", "d");
    Write("old.txt", "o", old);
    TArchiveFile a;
    a.SetFileName(P("sel.lzh"));
    a.SetOutputSize(4096);
    a.Options().jso = 1;
    const auto packed = [&](const std::vector<std::string>& files) {
        a.PackFiles(nullptr, nullptr, dir.string(), files);
        return a.CmdLine();
    };
    std::string line = packed({"*.txt"});
    EXPECT_NE(line.find(P("a.txt")), std::string::npos);
    EXPECT_NE(line.find(P("old.txt")), std::string::npos);
    EXPECT_EQ(line.find("hidden"), std::string::npos);
    EXPECT_EQ(line.find("sub/d.txt"), std::string::npos);
    EXPECT_EQ(line.find("c.dat"), std::string::npos);

    a.Options().r = 1;
    a.Options().a = 1;
    a.Options().jx = {"b.txt"};
    a.Options().jo = "20100101"; // files written since 2010 only
    line = packed({"*.txt"});
    EXPECT_NE(line.find(P("sub/d.txt")), std::string::npos);
    EXPECT_NE(line.find(P(".hidden.txt")), std::string::npos);
    EXPECT_EQ(line.find(P("b.txt")), std::string::npos);
    EXPECT_EQ(line.find("old.txt"), std::string::npos);
    EXPECT_EQ(line.find(" -r"), std::string::npos); // the selection is done; no switches left

    // Progress for every chosen file, and an abort.
    int seen = 0;
    a.SetOnProgress([&](void*, int state, const std::string&, bool& abort) {
        EXPECT_EQ(state, 2053);
        abort = ++seen == 2;
    });
    EXPECT_EQ(a.PackFiles(nullptr, nullptr, dir.string(), {"*.txt"}), 32800);
    a.SetOnProgress(nullptr);

    // Nothing found: success with an empty output.
    EXPECT_EQ(a.PackFiles(nullptr, nullptr, dir.string(), {"*.none"}), 0);
    EXPECT_EQ(a.Output(), "");
}

// The layer and our LHA library together, as a print record uses them.
TEST_F(Archive, PacksAndListsThroughOurLibrary) {
    Use(kBuild);
    Write("page.tmp", std::string(5000, 'p'));
    TArchiveFile a;
    a.SetFileName(P("real.lzh"));
    a.SetOutputSize(8192);
    a.Options().jso = 1;
    a.Options().n = 1;
    ASSERT_EQ(a.PackFiles(nullptr, nullptr, "", {P("page.tmp")}), 0) << a.Output();
    EXPECT_LT(fs::file_size(P("real.lzh")), 200u);

    TArchiveFile b;
    b.SetArchiverType(atAutoDetect);
    b.SetFileName(P("real.lzh"));
    fs::copy_file(P("real.lzh"), P("setup.exe"));
    EXPECT_EQ(TArchiveFile::DetectFromContent(P("setup.exe")), atLha);
    EXPECT_EQ(TArchiveFile::DetectFromContent(P("page.tmp")), atNone);
    EXPECT_TRUE(b.CheckArchive(0));
    ASSERT_EQ(b.FindOpen(nullptr, 0), 0);
    TIndivisualInfo info;
    ASSERT_EQ(b.FindFirst("*.*", info), 0);
    EXPECT_EQ(info.FileName, "page.tmp");
    EXPECT_EQ(info.OriginalSize, 5000u);
    EXPECT_EQ(info.Mode, "-lh5-");
    EXPECT_GT(info.WriteTime, 0);
    EXPECT_EQ(b.FindNext(info), -1);
}

TEST(ArchiveDrivers, BaseOperationsAnswerWithTheirMessages) {
    // Only what every archiver must do itself; the rest is the base's.
    struct TBare : TArchiver {
        void LoadDLL() override {}
        void FreeDLL() override {}
        int UnpackFiles(const TArchiveCall&) override { return 0; }
    } base;
    TArchiveCall call;
    TArchiverOptions o;
    call.Options = &o;
    const auto message = [](auto&& f) {
        try {
            f();
        } catch (const EArchiver& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    EXPECT_EQ(message([&] { base.PackFiles(call); }),
              "この形式では書庫ファイルの作成をサポートしておりません。");
    EXPECT_EQ(message([&] { base.RemoveItems(call); }),
              "この形式の書庫ではファイルの削除をサポートしておりません。");
    EXPECT_EQ(message([&] { base.CheckArchive("x", 0, o); }),
              "この形式では書庫チェック機能をサポートしておりません。");
    EXPECT_EQ(base.OpenArchive(nullptr, "x", 0), nullptr);
    TIndivisualInfo info;
    EXPECT_EQ(base.FindFirst(nullptr, "*", info), -1);
}
