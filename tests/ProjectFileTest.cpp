#include "model/DataUnit.h"
#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "platform/FileUtil.h"

#include "TempFolderTest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class ProjectFile : public TTempFolderTest {
protected:
    static std::string Read(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void Write(const std::string& p, const std::string& bytes) {
        std::ofstream(p, std::ios::binary) << bytes;
    }
};

int32_t Int(const std::string& b, size_t off) {
    int32_t v;
    std::memcpy(&v, b.data() + off, 4);
    return v;
}
double Double(const std::string& b, size_t off) {
    double v;
    std::memcpy(&v, b.data() + off, 8);
    return v;
}

TInputData SampleProject() {
    TInputData d;
    d.SetTitle("造成工事 第2工区");
    d.SetLayer(3);
    d.SetMeshSpan(10.0);
    d.SetHyoudo(true);
    d.SetCalcType(1);
    d.SetSolidValue(0, 1, 0.3);
    for (int i = 0; i < 3; ++i) {
        TGridData g;
        g.X = i;
        g.Y = i % 2;
        g.GH = 12.0 + i;
        g.FH = 11.0;
        g.LAYER[0] = 0.3;
        g.LAYER[1] = 1.0;
        d.SetMeshData(g);
    }
    d.SetPhase(0, true);
    return d;
}

// Everything a save writes, so that "unchanged" can be checked completely.
std::string State(const TInputData& d) {
    std::string s = d.SaveToBytes();
    s += std::to_string(d.MeshCount()) + "/" + std::to_string(d.CalcMeshCount());
    return s;
}

} // namespace

TEST_F(ProjectFile, NewProjectIs889Bytes) {
    TInputData d;
    d.FileSave(Path("new.msh"));
    const std::string b = Read(Path("new.msh"));
    ASSERT_EQ(b.size(), 889u);
    EXPECT_EQ(b.substr(0, 20), "NOLVODohai..........");
    EXPECT_EQ(Int(b, 20), 1);
    EXPECT_EQ(Int(b, 24), 5);
    // Empty title: its zero byte, the signature's bytes 1 to 19, then zeros.
    EXPECT_EQ(b[28], '\0');
    EXPECT_EQ(b.substr(29, 19), std::string("NOLVODohai..........").substr(1, 19));
    EXPECT_EQ(b.substr(48, 236), std::string(236, '\0'));
    for (size_t off : {284, 288, 292, 296})
        EXPECT_EQ(Int(b, off), 0);
    EXPECT_EQ(Int(b, 300), 5);
    EXPECT_EQ(Double(b, 304), 20.0);
    EXPECT_EQ(b.substr(312, 3), std::string(3, '\0'));
    const char* names[] = {"盛土", "普通土", "軟岩Ⅰ", "軟岩Ⅱ", "中硬岩", "硬岩", ""};
    const double rates[] = {1.0, 0.9, 1.05, 1.15, 1.25, 1.3, 0.0};
    for (int i = 0; i < 7; ++i) {
        const size_t e = 315 + 80 * static_cast<size_t>(i);
        const std::string name = Utf8ToCp932(names[i]);
        EXPECT_EQ(static_cast<unsigned char>(b[e]), name.size());
        EXPECT_EQ(b.substr(e + 1, name.size()), name);
        EXPECT_EQ(b.substr(e + 1 + name.size(), 63 - name.size()),
                  std::string(63 - name.size(), '\0'));
        EXPECT_EQ(Double(b, e + 64), rates[i]);
        EXPECT_EQ(Double(b, e + 72), 0.0);
    }
    EXPECT_EQ(Int(b, 875), 0);
    EXPECT_EQ(b.substr(879, 10), std::string(10, '\0'));
}

TEST_F(ProjectFile, TitleFieldKeepsTheSignatureTail) {
    TInputData d;
    d.SetTitle("ABC");
    const std::string b = d.SaveToBytes();
    EXPECT_EQ(b.substr(28, 4), std::string("ABC\0", 4));
    EXPECT_EQ(b.substr(32, 16), std::string("NOLVODohai..........").substr(4, 16));
    EXPECT_EQ(b.substr(48, 236), std::string(236, '\0'));
    // A title too long for the field is cut before its terminator, on a character boundary.
    std::string longTitle = "a";
    for (int i = 0; i < 200; ++i)
        longTitle += "土";
    d.SetTitle(longTitle);
    const std::string c = d.SaveToBytes();
    EXPECT_EQ(c[28 + 255], '\0');
    EXPECT_EQ(c.substr(28, 255), Utf8ToCp932(longTitle).substr(0, 255));
    TInputData e;
    e.LoadFromBytes(c);
    EXPECT_EQ(e.Title(), longTitle.substr(0, 1 + 127 * 3));
}

TEST_F(ProjectFile, SaveLoadSaveIsIdentical) {
    TInputData d = SampleProject();
    d.SetSolidName(1, std::string(64, 'n')); // one byte more than the file's name field holds
    d.SetSolidName(1, "粘性土");             // the old bytes stay behind the new name
    d.SetSolidName(2, std::string(62, 'x') + "岩");
    d.SetSolidValue(6, 1, 0.125);
    d.FileSave(Path("a.msh"));
    TInputData e;
    e.FileLoad(Path("a.msh"));
    e.FileSave(Path("b.msh"));
    EXPECT_EQ(Read(Path("a.msh")), Read(Path("b.msh")));
    EXPECT_EQ(e.GetSolidName(1), "粘性土");
    EXPECT_EQ(e.GetSolidName(2), std::string(62, 'x')); // the cut character does not fit
    EXPECT_EQ(e.Title(), "造成工事 第2工区");
    EXPECT_EQ(e.GetSolidValue(6, 1), 0.125);
    EXPECT_EQ(e.Layer(), 3);
    EXPECT_TRUE(e.Hyoudo());
    EXPECT_EQ(e.CalcType(), 1);
    EXPECT_TRUE(e.GetPhase(0));
    EXPECT_TRUE(e.GetPhase(1));
}

// Every value its own, so that a field read into its neighbour cannot go unseen.
TEST_F(ProjectFile, EveryFieldSurvivesSaveAndLoad) {
    TInputData d;
    d.SetSolidType(1);
    d.SetCalcType(2);
    // Methods outside their ranges, as a foreign file may hold them, are kept as they are.
    d.SetRoundType(4);
    d.SetRateType(3);
    d.SetLayer(4);
    d.SetMeshSpan(12.5);
    d.SetHyoudo(true);
    d.SetAtumitu(true);
    for (int i = 0; i < 7; ++i) {
        d.SetSolidValue(i, 0, 0.75 + i / 8.0);
        d.SetSolidValue(i, 1, 0.1 + i / 16.0);
    }
    for (int p = 0; p < 2; ++p) {
        TGridData g;
        g.X = -7 - p;
        g.Y = 11 + p;
        g.GH = 20.5 + p;
        g.FH = 18.25 + p;
        for (int i = 0; i < 5; ++i)
            g.LAYER[i] = 0.3 + i + p / 4.0;
        g.CSink = 0.125 + p;
        g.BSink = 0.375 + p;
        d.SetMeshData(g);
    }
    d.SetPhase(0, true);
    d.SetPhase(9, true);
    d.FileSave(Path("every.msh"));

    // The first mesh record, field by field.
    const std::string b = Read(Path("every.msh"));
    EXPECT_EQ(Int(b, 879), -7);
    EXPECT_EQ(Int(b, 883), 11);
    EXPECT_EQ(Double(b, 887), 20.5);
    EXPECT_EQ(Double(b, 895), 18.25);
    EXPECT_EQ(Double(b, 903), 0.125);
    EXPECT_EQ(Double(b, 911), 0.375);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Double(b, 919 + 8 * static_cast<size_t>(i)), 0.3 + i) << i;

    TInputData e;
    e.FileLoad(Path("every.msh"));
    EXPECT_EQ(e.SolidType(), 1);
    EXPECT_EQ(e.CalcType(), 2);
    EXPECT_EQ(e.RoundType(), 4);
    EXPECT_EQ(e.RateType(), 3);
    EXPECT_EQ(e.Layer(), 4);
    EXPECT_EQ(e.MeshSpan(), 12.5);
    EXPECT_TRUE(e.Hyoudo());
    EXPECT_FALSE(e.Fumikomi());
    EXPECT_TRUE(e.Atumitu());
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(e.GetSolidValue(i, 0), d.GetSolidValue(i, 0)) << i;
        EXPECT_EQ(e.GetSolidValue(i, 1), d.GetSolidValue(i, 1)) << i;
    }
    for (int p = 0; p < 10; ++p)
        EXPECT_EQ(e.GetPhase(p), d.GetPhase(p)) << p;
    ASSERT_EQ(e.MeshCount(), 2);
    for (int p = 0; p < 2; ++p) {
        const TGridData a = d.GetIndexToData(p), g = e.GetIndexToData(p);
        EXPECT_EQ(g.Index, p + 1);
        EXPECT_EQ(g.X, a.X);
        EXPECT_EQ(g.Y, a.Y);
        EXPECT_EQ(g.GH, a.GH);
        EXPECT_EQ(g.FH, a.FH);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(g.LAYER[i], a.LAYER[i]) << p << " " << i;
        EXPECT_EQ(g.CSink, a.CSink) << p;
        EXPECT_EQ(g.BSink, a.BSink) << p;
    }
}

TEST_F(ProjectFile, DeletedPointsAreDroppedAndRenumbered) {
    TInputData d = SampleProject();
    d.DeleteMeshData(1, 1);
    d.FileSave(Path("p.msh"));
    EXPECT_EQ(Read(Path("p.msh")).size(), 889u + 2 * 80);
    TInputData e;
    e.FileLoad(Path("p.msh"));
    EXPECT_EQ(e.MeshCount(), 2);
    EXPECT_EQ(e.GetIndexToData(0).Index, 1);
    EXPECT_EQ(e.GetIndexToData(1).Index, 2);
    EXPECT_EQ(e.GetIndexToData(1).X, 2);
    EXPECT_EQ(e.GetXYToData(1, 1).Index, 0);
}

TEST_F(ProjectFile, ResultsFollowPhaseTwo) {
    TInputData d = SampleProject();
    d.FileSave(Path("stale.msh"));
    ASSERT_TRUE(d.Calcrate());
    d.FileSave(Path("valid.msh"));

    TInputData e;
    std::vector<std::pair<int, bool>> events;
    e.SetOnPhaseChange([&](TInputData&, int p, bool v) { events.emplace_back(p, v); });
    e.FileLoad(Path("valid.msh"));
    EXPECT_EQ(events, (std::vector<std::pair<int, bool>>{{0, true}, {1, true}, {2, true}}));
    EXPECT_EQ(e.CalcMeshCount(), d.CalcMeshCount());
    EXPECT_EQ(e.GetCalcSumVolume().CV[0][0], d.GetCalcSumVolume().CV[0][0]);
    e.FileLoad(Path("stale.msh"));
    EXPECT_EQ(e.CalcMeshCount(), 0);
    EXPECT_FALSE(e.GetPhase(2));
}

TEST_F(ProjectFile, OlderVersionReadsFewerSoilEntries) {
    TInputData d;
    d.SetSolidValue(6, 1, 0.5);
    std::string b = d.SaveToBytes();
    // Version 4: six soil entries, then the mesh count right after them.
    const int32_t v4 = 4;
    std::memcpy(&b[24], &v4, 4);
    b.erase(315 + 6 * 80, 80);
    TInputData e;
    e.SetSolidValue(6, 1, 0.75);
    e.LoadFromBytes(b);
    EXPECT_EQ(e.GetSolidValue(6, 1), 0.75); // kept its earlier value
    EXPECT_EQ(e.GetSolidName(5), "硬岩");
    EXPECT_EQ(e.MeshCount(), 0);
}

// Every bad file fails with its message and leaves the model exactly as it was.
TEST_F(ProjectFile, BadFilesLeaveTheModelUntouched) {
    const std::string good = SampleProject().SaveToBytes();
    const auto with = [&](size_t off, int32_t v) {
        std::string b = good;
        std::memcpy(&b[off], &v, 4);
        return b;
    };
    const char* notProject =
        "選択されたファイルは、このプログラム用のファイルでないかもしくはファイルが壊れています。";
    const char* newer = "選択されたデータは、このバージョンでは処理することが出来ません。"
                        "アプリケーションの最新バージョンをご用意下さい。";
    struct Case {
        std::string bytes;
        std::string message; // the start of the message
    } cases[] = {
        {"# README\nThis is a text file.\n", notProject},
        {"", notProject},
        {"NOLVODohai.........", notProject},
        {"NOLVODohai\0.........", notProject},
        {with(24, 6), newer},
        {with(24, INT32_MAX), newer},
        {good.substr(0, 100), "ファイルが途中で終わっています。"},
        {good.substr(0, good.size() - 1), "メッシュ数 3 がファイルの大きさと合いません。"},
        {good.substr(0, good.size() - 85), "メッシュ数 3 がファイルの大きさと合いません。"},
        {with(300, 0), "層の数が 0 になっています"},
        {with(300, 6), "層の数が 6 になっています"},
        {with(875, -1), "メッシュ数 -1 がファイルの大きさと合いません。"},
        {with(875, INT32_MAX), "メッシュ数 2147483647 がファイルの大きさと合いません。"},
    };
    cases[3].bytes = std::string("NOLVODohai\0.........", 20) + good.substr(20);
    for (const Case& c : cases) {
        TInputData d = SampleProject();
        d.Calcrate();
        const std::string before = State(d);
        int events = 0;
        d.SetOnPhaseChange([&](TInputData&, int, bool) { ++events; });
        Write(Path("bad.msh"), c.bytes);
        try {
            d.FileLoad(Path("bad.msh"));
            ADD_FAILURE() << "loaded: " << c.message;
        } catch (const EFailure& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
        }
        EXPECT_EQ(State(d), before) << c.message;
        EXPECT_EQ(events, 0);
        EXPECT_TRUE(d.GetPhase(2));
    }
}

TEST_F(ProjectFile, MissingFileAndFolderFail) {
    TInputData d = SampleProject();
    const std::string before = State(d);
    EXPECT_THROW(d.FileLoad(Path("none.msh")), EFailure);
    EXPECT_THROW(d.FileLoad(dir.string()), EFailure);
    EXPECT_EQ(State(d), before);
    EXPECT_THROW(d.FileSave(Path("no/such/folder/x.msh")), EFailure);
}

TEST_F(ProjectFile, FailedSaveKeepsTheOldFile) {
    TInputData d = SampleProject();
    const std::string target = Path("keep.msh");
    d.FileSave(target);
    const std::string old = Read(target);
    // A child process with a small file size limit: the write fails as on a full disk, and the
    // signal the limit raises does not end the process.
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        signal(SIGXFSZ, SIG_DFL);
        rlimit lim{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &lim);
        TInputData big;
        for (int i = 0; i < 100; ++i) {
            TGridData g;
            g.X = i;
            big.SetMeshData(g);
        }
        try {
            big.FileSave(target);
        } catch (const EFailure& e) {
            const bool clear = std::strstr(e.what(), "ファイルの大きさが上限を超えました。") &&
                               std::strstr(e.what(), "元のファイルは変更されていません。");
            _exit(clear ? 0 : 2);
        }
        _exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Read(target), old);
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1); // no temporary file left behind
}

TEST_F(ProjectFile, SavingKeepsPermissionsAndFollowsLinks) {
    TInputData d = SampleProject();
    const std::string real = Path("real.msh");
    d.FileSave(real);
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(real, Path("link.msh"));
    d.SetTitle("changed");
    d.FileSave(Path("link.msh"));
    EXPECT_TRUE(fs::is_symlink(Path("link.msh")));
    TInputData e;
    e.FileLoad(real);
    EXPECT_EQ(e.Title(), "changed");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// Titles and soil names read from a file lose their control characters (NUL, escapes, line
// breaks); ordinary names keep every byte of their field.
TEST_F(ProjectFile, ControlCharactersInTextsAreDropped) {
    TInputData d = SampleProject();
    d.SetTitle("\x1b[31m工区\r\n1\x7f");
    d.SetSolidName(1, std::string("粘\0性\t土", 11));
    const std::string bytes = d.SaveToBytes();
    TInputData e;
    e.LoadFromBytes(bytes);
    EXPECT_EQ(e.Title(), "[31m工区1");
    EXPECT_EQ(e.GetSolidName(1), "粘性土");
    EXPECT_EQ(e.GetSolidName(2), d.GetSolidName(2));
    // Loading what was saved changes nothing more.
    TInputData f;
    f.LoadFromBytes(e.SaveToBytes());
    EXPECT_EQ(f.SaveToBytes(), e.SaveToBytes());
    EXPECT_EQ(bytes.substr(315 + 80 * 2, 80), e.SaveToBytes().substr(315 + 80 * 2, 80));
}

// A stream that claims 2^31 - 1 meshes and delivers them runs out of memory while it is read:
// the project that was open stays as it was.
TEST_F(ProjectFile, OutOfMemoryWhileReadingKeepsTheProject) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#endif
#endif
    const std::string head = SampleProject().SaveToBytes().substr(0, 875);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        close(fds[0]);
        std::string block = head + std::string("\xff\xff\xff\x7f", 4);
        while (write(fds[1], block.data(), block.size()) > 0)
            block.assign(1 << 16, '\0');
        _exit(0);
    }
    close(fds[1]);
    const pid_t reader = fork();
    ASSERT_GE(reader, 0);
    if (reader == 0) {
        dup2(fds[0], STDIN_FILENO);
        TInputData d = SampleProject();
        const std::string before = State(d);
        rlimit lim{300u << 20, 300u << 20};
        setrlimit(RLIMIT_AS, &lim);
        try {
            TFileReader in{TFileReader::TStandardInput{}};
            d.FileLoad(in);
        } catch (const std::bad_alloc& e) {
            _exit(State(d) == before && FailureText(e).find("メモリが足りません") == 0 ? 0 : 2);
        }
        _exit(1);
    }
    close(fds[0]);
    int status = 0;
    waitpid(reader, &status, 0);
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// The file keeps no date: results read with it are dated by the file's time, not the reading.
TEST_F(ProjectFile, ResultsReadWithAFileAreDatedByTheFile) {
    TInputData d;
    for (int x = 0; x <= 1; ++x) {
        TGridData g;
        g.X = x;
        g.GH = 1.0;
        g.FH = 2.0;
        d.SetMeshData(g);
    }
    ASSERT_TRUE(d.Calcrate());
    EXPECT_GT(d.CalcTime(), 0);
    const std::string path = Path("dated.msh");
    d.FileSave(path);
    const auto written = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    fs::last_write_time(path, written);
    TInputData read;
    read.FileLoad(path);
    ASSERT_TRUE(read.GetPhase(2));
    EXPECT_LT(read.CalcTime(), d.CalcTime() - 24 * 3600 * 399);
    // Without results there is nothing to date.
    TInputData plain;
    TGridData g;
    plain.SetMeshData(g);
    plain.FileSave(path);
    read.FileLoad(path);
    EXPECT_EQ(read.CalcTime(), 0);
}

namespace {

// A tagged block by hand: signature, layout, count, then name/data pairs.
std::string TagBlock(int32_t layout, int32_t count,
                     const std::vector<std::pair<std::string, std::string>>& tags) {
    std::string b = "DRYOTAGS";
    b.append(reinterpret_cast<const char*>(&layout), 4);
    b.append(reinterpret_cast<const char*>(&count), 4);
    for (const auto& [name, data] : tags) {
        const uint16_t n = static_cast<uint16_t>(name.size());
        b.append(reinterpret_cast<const char*>(&n), 2);
        b += name;
        const uint32_t size = static_cast<uint32_t>(data.size());
        b.append(reinterpret_cast<const char*>(&size), 4);
        b += data;
    }
    return b;
}

} // namespace

TEST_F(ProjectFile, TagsFollowThePhasesAndSurviveSaving) {
    const std::string plain = SampleProject().SaveToBytes();
    TInputData d = SampleProject();
    d.SetTag("survey", std::string("geo\0ref", 7));
    d.SetTag("allocation", "");
    const std::string tagged = d.SaveToBytes();
    // The version-5 part is untouched; the block follows it in name order.
    EXPECT_EQ(tagged.substr(0, plain.size()), plain);
    EXPECT_EQ(tagged.substr(plain.size()),
              TagBlock(1, 2, {{"allocation", ""}, {"survey", std::string("geo\0ref", 7)}}));

    // A tag this program does not know (a later part's) is kept and saved back as it came.
    const std::string foreign = plain + TagBlock(1, 1, {{"later.part", "\x01\x02"}});
    TInputData e;
    e.LoadFromBytes(foreign);
    EXPECT_EQ(e.GetTag("later.part"), "\x01\x02");
    EXPECT_EQ(e.SaveToBytes(), foreign);
    e.FileSave(Path("t.msh"));
    TInputData f;
    f.FileLoad(Path("t.msh"));
    EXPECT_EQ(f.Tags(), e.Tags());

    // Loading a project without tags drops the ones held; removing the last one gives the
    // version-5 bytes again; bytes after the phases without the signature are ignored.
    f.LoadFromBytes(plain + "junk");
    EXPECT_TRUE(f.Tags().empty());
    d.RemoveTag("survey");
    d.RemoveTag("allocation");
    EXPECT_EQ(d.SaveToBytes(), plain);
    EXPECT_THROW(d.SetTag("", "x"), EFailure);
    EXPECT_THROW(d.SetTag("with space", "x"), EFailure);
    EXPECT_THROW(d.SetTag(std::string(65, 'a'), "x"), EFailure);
}

TEST_F(ProjectFile, DamagedTagBlocksAreRefused) {
    const std::string plain = SampleProject().SaveToBytes();
    const std::string good = TagBlock(1, 1, {{"survey", "abc"}});
    std::string longLength = good;
    longLength[8 + 8 + 2 + 6] = 4; // data length 4 where 3 bytes follow
    const char* damaged = "プロジェクトの付加データ（タグ ブロック）が壊れています";
    const struct {
        std::string block;
        std::string message; // the start of the message
    } cases[] = {
        {"DRYOTAGS", damaged},
        {good.substr(0, good.size() - 1), damaged},
        {longLength, damaged},
        {good + "x", damaged},
        {TagBlock(0, 1, {{"survey", "abc"}}), damaged},
        {TagBlock(2, 1, {{"survey", "abc"}}), "選択されたデータは、このバージョンでは"},
        {TagBlock(1, -1, {}), damaged},
        {TagBlock(1, INT32_MAX, {{"survey", "abc"}}), damaged},
        {TagBlock(1, 2, {{"survey", "abc"}, {"survey", "def"}}), damaged},
        {TagBlock(1, 1, {{"", "abc"}}), damaged},
        {TagBlock(1, 1, {{"sur vey", "abc"}}), damaged},
        {TagBlock(1, 1, {{std::string(65, 'n'), "abc"}}), damaged},
        {TagBlock(1, 1, {{std::string(0xFFFF, 'n'), "abc"}}), damaged},
    };
    for (const auto& c : cases) {
        TInputData d = SampleProject();
        d.SetTag("kept", "1");
        const std::string before = State(d);
        // From memory and from a file alike.
        Write(Path("bad.msh"), plain + c.block);
        for (int way = 0; way < 2; ++way) {
            try {
                if (way == 0)
                    d.LoadFromBytes(plain + c.block);
                else
                    d.FileLoad(Path("bad.msh"));
                ADD_FAILURE() << "loaded: " << c.block.size();
            } catch (const EFailure& e) {
                EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
            }
            EXPECT_EQ(State(d), before);
            EXPECT_EQ(d.GetTag("kept"), "1");
        }
    }
}
