#include "analysis/EarthAllocation.h"
#include "analysis/EarthAllocationTable.h"
#include "analysis/MethodComparison.h"
#include "analysis/PlanBalance.h"
#include "model/CalcDetail.h"
#include "model/CalcSummary.h"
#include "model/DataUnit.h"
#include "model/MeshCsv.h"
#include "model/RateCalc.h"
#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "platform/NumberFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct TCliRun {
    int code;
    std::string out, err;
};

TCliRun Cli(const std::string& args) {
    const std::string errFile =
        ::testing::TempDir() + "doryou-cli-stderr-" + std::to_string(getpid()) + ".txt";
    const std::string cmd = std::string(DORYOU_CLI) + " " + args + " 2>" + errFile;
    TCliRun r;
    std::FILE* p = popen(cmd.c_str(), "r");
    std::array<char, 65536> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
        r.out.append(buf.data(), n);
    const int status = pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::FILE* e = std::fopen(errFile.c_str(), "r");
    while (e && (n = std::fread(buf.data(), 1, buf.size(), e)) > 0)
        r.err.append(buf.data(), n);
    if (e)
        std::fclose(e);
    std::remove(errFile.c_str());
    return r;
}

const std::string kSample = std::string(DORYOU_SOURCE_DIR) + "/examples/sample-site.msh";

} // namespace

TEST(Cli, CalcPrintsTheSummaryTable) {
    const TCliRun r = Cli("calc " + kSample);
    ASSERT_EQ(r.code, 0) << r.err;
    TInputData d;
    d.FileLoad(kSample);
    // The same texts the summary window shows, in order, one row a line.
    size_t pos = r.out.find("土量計算集計表");
    ASSERT_NE(pos, std::string::npos);
    for (const TCalcSummary::TRow& row : BuildCalcSummary(d).Rows) {
        for (const std::string& cell : row) {
            if (cell.empty())
                continue;
            pos = r.out.find(cell, pos);
            ASSERT_NE(pos, std::string::npos) << cell;
        }
    }
    EXPECT_NE(r.out.find("残土量"), std::string::npos);
}

TEST(Cli, JsonHasEveryRecordWithFullPrecision) {
    const TCliRun r = Cli("calc " + kSample + " --json");
    ASSERT_EQ(r.code, 0) << r.err;
    TInputData d;
    d.FileLoad(kSample);
    ASSERT_GT(d.CalcMeshCount(), 0);
    size_t records = 0;
    for (size_t p = 0; (p = r.out.find("{\"Num\":", p)) != std::string::npos; ++p)
        ++records;
    EXPECT_EQ(records, static_cast<size_t>(d.CalcMeshCount()));
    const TGridCalcData first = d.GetIndextoCalcMesh(0);
    char expect[256];
    std::snprintf(expect, sizeof expect, "{\"Num\":%d,\"X\":%d,\"Y\":%d,\"BV\":[%d,%d]", first.Num,
                  first.X, first.Y, first.BV[0], first.BV[1]);
    EXPECT_NE(r.out.find(expect), std::string::npos) << expect;
    std::snprintf(expect, sizeof expect, "\"CXj\":%.17g", first.CXj);
    EXPECT_NE(r.out.find(expect), std::string::npos) << expect;
    const TGridCalcData t = d.GetCalcSumVolume();
    std::snprintf(expect, sizeof expect, "\"total\":{\"BV\":[%d,%d]", t.BV[0], t.BV[1]);
    EXPECT_NE(r.out.find(expect), std::string::npos);
}

TEST(Cli, BadFileAndBadUsage) {
    TCliRun r = Cli(std::string("calc ") + DORYOU_SOURCE_DIR + "/README.md");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "選択されたファイルは、このプログラム用のファイルでないかもしくはファイルが壊"
                     "れています。\n");
    EXPECT_TRUE(r.out.empty());
    r = Cli("calc /nonexistent/x.msh");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("ファイルまたはフォルダが見つかりません。"), std::string::npos);
    EXPECT_EQ(Cli("").code, 2);
    EXPECT_EQ(Cli("calc").code, 2);
    EXPECT_EQ(Cli("frobnicate x").code, 2);
    // Asked for, the usage goes to standard output and is no failure; wrong calls show the same.
    const TCliRun help = Cli("--help");
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.err.empty());
    EXPECT_EQ(help.out, Cli("frobnicate").err);
    EXPECT_EQ(Cli("-h").out, help.out);
}

// The exports write exactly the bytes of the shared builders, in code page 932.
TEST(Cli, ExportsWriteTheSharedTexts) {
    TInputData d;
    d.FileLoad(kSample);
    const std::string out =
        ::testing::TempDir() + "doryou-cli-export-" + std::to_string(getpid()) + ".csv";
    const struct {
        const char* command;
        std::string text;
    } cases[] = {{"export-mesh", MeshCsvText(d)},
                 {"export-summary", CalcSummaryCsvText(d)},
                 {"export-detail", DetailCsvText(d)}};
    for (const auto& c : cases) {
        const TCliRun r = Cli(std::string(c.command) + " " + kSample + " " + out);
        ASSERT_EQ(r.code, 0) << c.command << r.err;
        std::FILE* f = std::fopen(out.c_str(), "rb");
        std::string bytes;
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            bytes.append(buf, n);
        std::fclose(f);
        EXPECT_EQ(bytes, Utf8ToCp932(c.text)) << c.command;
    }
    std::remove(out.c_str());
    EXPECT_EQ(Cli("export-detail " + kSample + " /nonexistent/dir/out.csv").code, 1);
    EXPECT_EQ(Cli("export-mesh " + kSample).code, 2);
}

TEST(Cli, CheckExitsByWhatItFinds) {
    EXPECT_EQ(Cli("check " + kSample).code, 0);
    // The sample with one inner point taken out has a hole.
    TInputData d;
    d.FileLoad(kSample);
    auto inside = [&](const TGridData& g) {
        return d.GetXYToData(g.X - 1, g.Y).Index && d.GetXYToData(g.X + 1, g.Y).Index &&
               d.GetXYToData(g.X, g.Y - 1).Index && d.GetXYToData(g.X, g.Y + 1).Index;
    };
    const auto inner = std::find_if(d.GridList().begin(), d.GridList().end(), inside);
    ASSERT_NE(inner, d.GridList().end());
    ASSERT_TRUE(d.DeleteMeshData(inner->X, inner->Y));
    const std::string holed = ::testing::TempDir() + "doryou-check-hole.msh";
    d.FileSave(holed);
    const TCliRun r = Cli("check " + holed + " --json");
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.out.find("\"kind\":\"hole\""), std::string::npos) << r.out;
    std::remove(holed.c_str());
    EXPECT_EQ(Cli("check " + ::testing::TempDir() + "no-such-project.msh").code, 1);
}

TEST(Cli, MapWritesEachPictureKind) {
    const std::string dir = ::testing::TempDir();
    const struct {
        const char* Name;
        const char* Options;
        std::string Magic;
    } rows[] = {
        {"map.png", "", "\x89PNG"},
        {"map.svg", " --layer volume --size 800,600", "<?xml"},
        {"map.pdf", "", "%PDF"},
    };
    for (const auto& r : rows) {
        const std::string out = dir + r.Name;
        const TCliRun run = Cli("map " + kSample + r.Options + " -o " + out);
        ASSERT_EQ(run.code, 0) << r.Name << run.err;
        std::FILE* f = std::fopen(out.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        std::string head(5, '\0');
        head.resize(std::fread(head.data(), 1, head.size(), f));
        std::fclose(f);
        EXPECT_EQ(head.substr(0, r.Magic.size()), r.Magic) << r.Name;
        std::remove(out.c_str());
    }
    // Standard output names no kind: --format does.
    EXPECT_EQ(Cli("map - --format png -o - < " + kSample).out.substr(0, 4), "\x89PNG");
    EXPECT_EQ(Cli("map " + kSample + " -o -").code, 1);
    // The same map as a printed page of the report.
    const TCliRun page = Cli("report " + kSample + " --map -o " + dir + "map-page.pdf");
    EXPECT_EQ(page.code, 0) << page.err;
    std::remove((dir + "map-page.pdf").c_str());
    EXPECT_EQ(Cli("map " + kSample + " -o " + dir + "map.bmp").code, 1);
    EXPECT_EQ(Cli("map " + kSample + " --size 5,5 -o " + dir + "map.png").code, 1);
    EXPECT_EQ(Cli("map " + kSample + " --layer depth -o " + dir + "map.png").code, 2);
}

namespace {

std::string ReadFile(const std::string& path) {
    std::string bytes;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    char buf[4096];
    size_t n;
    while (f && (n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.append(buf, n);
    if (f)
        std::fclose(f);
    return bytes;
}

std::string TempPath(const char* name) {
    return ::testing::TempDir() + "doryou-cli-" + std::to_string(getpid()) + "-" + name;
}

} // namespace

// "-" is standard output for every export and standard input for every project.
TEST(Cli, DashIsStandardInputAndOutput) {
    TInputData d;
    d.FileLoad(kSample);
    const struct {
        const char* command;
        std::string text;
    } cases[] = {{"export-mesh", MeshCsvText(d)},
                 {"export-summary", CalcSummaryCsvText(d)},
                 {"export-detail", DetailCsvText(d)}};
    for (const auto& c : cases) {
        TCliRun r = Cli(std::string(c.command) + " " + kSample + " -");
        ASSERT_EQ(r.code, 0) << c.command << r.err;
        EXPECT_EQ(r.out, Utf8ToCp932(c.text)) << c.command;
        r = Cli(std::string(c.command) + " - - < " + kSample);
        EXPECT_EQ(r.out, Utf8ToCp932(c.text)) << c.command;
    }
    const TCliRun file = Cli("calc " + kSample + " --json");
    const TCliRun piped = Cli("calc - --json < " + kSample);
    ASSERT_EQ(piped.code, 0) << piped.err;
    EXPECT_EQ(piped.out, file.out);
    EXPECT_EQ(Cli("calc - --json < /dev/null").code, 1);
}

// A FIFO is neither read (it would block without a writer) nor replaced.
TEST(Cli, FifoIsRefusedAtOnce) {
    const std::string fifo = TempPath("fifo");
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    TCliRun r = Cli("calc " + fifo);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("通常のファイルではありません"), std::string::npos) << r.err;
    r = Cli("export-summary " + kSample + " " + fifo);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("通常のファイルではありません"), std::string::npos) << r.err;
    struct stat st {};
    EXPECT_TRUE(stat(fifo.c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    std::remove(fifo.c_str());
}

// A stream that claims and delivers more meshes than memory holds ends with a Japanese message.
TEST(Cli, OutOfMemoryIsAMessage) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#endif
#endif
    // The sample's head up to the mesh count, a count of 2^31 - 1, then zero records for ever.
    const std::string cmd =
        "sh -c '(head -c 875 " + kSample +
        "; printf \"\\377\\377\\377\\177\"; cat /dev/zero) | (ulimit -v 300000; " + DORYOU_CLI +
        " calc -)'";
    const std::string errFile = TempPath("oom.txt");
    const int status = std::system((cmd + " 2>" + errFile).c_str());
    const std::string err = ReadFile(errFile);
    std::remove(errFile.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << err;
    EXPECT_EQ(err, "メモリが足りません。データが大きすぎるため、処理を続けられませんでした。\n");
}

// Control characters in a project's texts never reach the terminal.
TEST(Cli, NoControlCharacterReachesTheTerminal) {
    const std::string path = TempPath("control.msh");
    TInputData d;
    d.FileLoad(kSample);
    d.SetTitle("\x1b[2J工事\a名");
    d.SetSolidName(1, std::string("粘\0\x1b]0;x\a土", 13));
    d.FileSave(path);
    const TCliRun r = Cli("calc " + path);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("[2J工事名"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("粘]0;x土"), std::string::npos) << r.out;
    for (const char c : r.out)
        EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 && c != '\n') << int(c);
    std::remove(path.c_str());
}

TEST(Cli, CompareShowsTheComparison) {
    TInputData d;
    d.FileLoad(kSample);
    const TMethodComparison c = CompareMethods(d);
    TCliRun r = Cli("compare " + kSample);
    ASSERT_EQ(r.code, 0) << r.err;
    // Every method's block holds the table's texts in order.
    const TComparisonTable t = BuildComparisonTable(d, c);
    size_t pos = 0;
    for (int m = 0; m < CalcMethodCount; ++m) {
        pos = r.out.find(t.MethodNames[m], pos);
        ASSERT_NE(pos, std::string::npos) << m;
        for (const TComparisonTable::TRow& row : t.Rows)
            for (const std::string& cell : {row.Label, row.Volume[m], row.Percent[m]}) {
                pos = r.out.find(cell, pos);
                ASSERT_NE(pos, std::string::npos) << m << " " << row.Label << " " << cell;
            }
    }

    r = Cli("compare " + kSample + " --json");
    ASSERT_EQ(r.code, 0) << r.err;
    for (int m = 0; m < CalcMethodCount; ++m) {
        const TVolumeTotals& v = c.Methods[m].Totals;
        char expect[256];
        std::snprintf(expect, sizeof expect,
                      "{\"calcType\":%d,\"name\":\"%s\",\"own\":%s,\"calculated\":true,"
                      "\"meshes\":%d,\"BV\":[%lld,%lld],\"CV\":[[%lld,",
                      m, CalcMethodName(m), m == c.OwnMethod ? "true" : "false",
                      c.Methods[m].CalcMeshCount, (long long)v.BV[0], (long long)v.BV[1],
                      (long long)v.CV[0][0]);
        EXPECT_NE(r.out.find(expect), std::string::npos) << expect;
    }
    EXPECT_EQ(Cli("compare").code, 2);
}

TEST(Cli, BalanceWritesTheShiftedProject) {
    TInputData d;
    d.FileLoad(kSample);
    const TPlanBalance b = FindPlanBalance(d, 1000);
    ASSERT_TRUE(b.Found) << b.Message;
    const std::string out = ::testing::TempDir() + "doryou-balance-" + std::to_string(getpid());
    std::remove(out.c_str());
    TCliRun r = Cli("balance " + kSample + " --surplus 1000 -o " + out);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("計画高の調整量 Δh: " + ShiftText(b.ShiftMm) + " m"), std::string::npos)
        << r.out;
    TInputData shifted;
    shifted.FileLoad(out); // saved calculated: loading recalculates
    EXPECT_TRUE(shifted.GetPhase(2));
    EXPECT_TRUE(VolumeTotals(shifted) == b.After);
    ASSERT_EQ(shifted.MeshCount(), d.GetInputMeshCount());
    EXPECT_EQ(shifted.GridList()[0].FH,
              d.GetXYToData(shifted.GridList()[0].X, shifted.GridList()[0].Y).FH + b.Shift());

    // From standard input to standard output: the project alone on standard output, the
    // figures on standard error.
    r = Cli("balance - --surplus 1000 -o - < " + kSample);
    ASSERT_EQ(r.code, 0) << r.err;
    TInputData piped;
    piped.LoadFromBytes(r.out);
    EXPECT_TRUE(VolumeTotals(piped) == b.After);
    EXPECT_NE(r.err.find(ShiftText(b.ShiftMm)), std::string::npos) << r.err;

    r = Cli("balance " + kSample + " --json");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("\"found\":true"), std::string::npos);

    // Out of reach: the message, exit code 1, nothing written.
    std::remove(out.c_str());
    r = Cli("balance " + kSample + " --surplus 999999999 -o " + out);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("全面を切土にしても"), std::string::npos) << r.err;
    EXPECT_NE(access(out.c_str(), F_OK), 0);
    r = Cli("balance " + kSample + " --surplus 12.5");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("「12.5」"), std::string::npos) << r.err;
    EXPECT_EQ(Cli("balance " + kSample + " --surplus").code, 2);
}

// The simulator's figures are the core's, and -o writes the project as "適用後再計算" leaves
// it: its corrected cut is the amended volume shown.
TEST(Cli, RatesShowWhatApplyingGives) {
    TInputData d;
    d.FileLoad(kSample);
    const TRateSimulation sim = StartRateSimulation(d, d.GetCalcTotals());
    ASSERT_TRUE(sim.Amended);
    const std::string volume = FormatThousands(sim.AmendedVolume, 0);
    const std::string out = TempPath("rates.msh");
    std::remove(out.c_str());
    TCliRun r = Cli("rates " + kSample + " -o " + out);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("修正       0.269   " + volume), std::string::npos) << r.out;
    TInputData applied;
    applied.FileLoad(out);
    EXPECT_EQ(static_cast<double>(applied.GetCalcTotals().CV[1][0]), sim.AmendedVolume);
    EXPECT_DOUBLE_EQ(applied.GetSolidValue(1, 0), sim.Rate[0]);
    std::remove(out.c_str());

    r = Cli("rates " + kSample + " --layers 2,3 --json");
    ASSERT_EQ(r.code, 0) << r.err;
    TRateSimulation two = sim;
    ASSERT_TRUE(RecalcCutAmendment(d, d.GetCalcTotals(), {false, true, true}, two));
    EXPECT_NE(r.out.find("\"amendedVolume\":" + std::to_string(int64_t(two.AmendedVolume)) + ","),
              std::string::npos)
        << r.out;

    // Layers that cannot reach the target, or that the project has not: the reason, no file.
    r = Cli("rates " + kSample + " --layers 2 -o " + out);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("釣り合う変化率を求められません"), std::string::npos) << r.err;
    EXPECT_NE(access(out.c_str(), F_OK), 0);
    r = Cli("rates " + kSample + " --layers 4");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("「4」"), std::string::npos) << r.err;
}

namespace {

std::string WriteTemp(const std::string& name, const std::string& bytes) {
    const std::string p =
        ::testing::TempDir() + "doryou-import-" + std::to_string(getpid()) + "-" + name;
    std::FILE* f = std::fopen(p.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return p;
}

std::string ReadAll(const std::string& p) {
    std::string s;
    std::FILE* f = std::fopen(p.c_str(), "rb");
    if (!f)
        return s;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0)
        s.append(buf.data(), n);
    std::fclose(f);
    return s;
}

} // namespace

TEST(Cli, ImportRegistersTheSurveyAsTheLibraryDoes) {
    // A SIMA ground sloping north and a LandXML plan at 10 m over part of it.
    std::string sima = "G00,01,ground,\r\nZ00,coordinates,\r\nA00,\r\n";
    int k = 0;
    for (int n = 0; n <= 40; n += 10)
        for (int e = 0; e <= 40; e += 10)
            sima += "A01," + std::to_string(++k) + ",P," + std::to_string(1000 + n) + "," +
                    std::to_string(2000 + e) + "," + std::to_string(10 + n * 0.1) + ",\r\n";
    sima += "A99,\r\n";
    const std::string ground = WriteTemp("g.sim", Utf8ToCp932(sima));
    const std::string plan = WriteTemp(
        "p.xml",
        "<LandXML><Surfaces><Surface name=\"plan\"><Definition surfType=\"TIN\"><Pnts>"
        "<P id=\"1\">1000 2000 10</P><P id=\"2\">1000 2020 10</P><P id=\"3\">1020 2000 10</P>"
        "<P id=\"4\">1020 2020 10</P></Pnts><Faces><F>1 2 4</F><F>1 4 3</F></Faces>"
        "</Definition></Surface><Surface name=\"other\"><Definition surfType=\"TIN\"><Pnts>"
        "<P id=\"1\">0 0 1</P><P id=\"2\">0 1 1</P><P id=\"3\">1 0 1</P></Pnts>"
        "<Faces><F>1 2 3</F></Faces></Definition></Surface></Surfaces></LandXML>");
    const std::string out =
        ::testing::TempDir() + "doryou-import-" + std::to_string(getpid()) + ".msh";
    const std::string args = "--ground " + ground + " --plan " + plan +
                             " --surface plan --origin 1000,2000 --span 10 -o " + out;
    const TCliRun r = Cli("import " + args);
    ASSERT_EQ(r.code, 0) << r.err;
    TInputData d;
    d.FileLoad(out);
    EXPECT_EQ(d.GetInputMeshCount(), 25);
    EXPECT_TRUE(d.GetPhase(0));
    EXPECT_TRUE(d.GetPhase(1));
    EXPECT_TRUE(d.HasTag("survey"));
    EXPECT_DOUBLE_EQ(d.GetXYToData(1, 2).GH, 12.0); // E 2010, N 1020
    EXPECT_DOUBLE_EQ(d.GetXYToData(1, 2).FH, 10.0);
    EXPECT_DOUBLE_EQ(d.GetXYToData(4, 4).FH, 14.0); // outside the plan: no work
    EXPECT_NE(
        r.out.find(
            "メッシュ点: 新規 25、更新 0、範囲外の既存メッシュ 0（変更なし）、計画面の範囲外 16"),
        std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("範囲: X 0～4、Y 0～4"), std::string::npos) << r.out;
    EXPECT_EQ(Cli("calc " + out).code, 0);

    // Again onto the result: every point updated, the file replaced.
    const TCliRun again = Cli("import " + out + " " + args);
    ASSERT_EQ(again.code, 0) << again.err;
    EXPECT_NE(again.out.find("新規 0、更新 25"), std::string::npos) << again.out;

    // Failures name the fault and leave the output as it was.
    const std::string before = ReadAll(out);
    const struct {
        std::string args;
        int code;
        std::string message;
    } bad[] = {
        {"--ground " + ground + " -o " + out, 2, "使い方"},
        {"--ground " + ground + " --origin 1000 -o " + out, 2, "原点（北,東）「1000」"},
        {"--ground " + ground + " --origin 1,2 --order up -o " + out, 2, "座標の順序「up」"},
        {"--ground " + ground + " --plan " + plan + " --origin 1000,2000 -o " + out, 1,
         "には面が「plan」、「other」とあります"},
        {"--ground " + plan + " --surface plan --origin 50,50 --span 100 -o " + out, 1,
         "1 つも覆っていません"},
        {out + " --ground " + ground + " --origin 1000,2000 --span 5 -o " + out, 1,
         "間隔は変えられません"},
        {"--ground /nonexistent.csv --origin 0,0 -o " + out, 1, "nonexistent"},
    };
    for (const auto& c : bad) {
        const TCliRun b = Cli("import " + c.args);
        EXPECT_EQ(b.code, c.code) << c.args;
        EXPECT_NE(b.err.find(c.message), std::string::npos) << b.err;
        EXPECT_TRUE(ReadAll(out) == before) << c.args;
    }
    std::remove(out.c_str());
    std::remove(ground.c_str());
    std::remove(plan.c_str());
}

// The same plan as the core gives: the JSON's flows and totals, the CSV's bytes; bad places
// and block sizes are refused with a message and write nothing.
TEST(Cli, AllocateGivesTheCorePlan) {
    TInputData d;
    d.FileLoad(kSample);
    d.Calcrate();
    TAllocOptions o;
    o.Block = 2;
    o.Manhattan = true;
    TAllocPlace spoil;
    spoil.X = -40;
    spoil.Y = 10.5;
    spoil.Extra = 250;
    o.Places = {spoil};
    const TAllocation a = AllocateEarth(d, o);
    ASSERT_TRUE(a.Solved) << a.Message;

    const std::string csv = ::testing::TempDir() + "doryou-alloc-" + std::to_string(getpid());
    const TCliRun r = Cli("allocate " + kSample +
                          " --block 2 --spoil -40,10.5,inf,250 --manhattan --json -o " + csv);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("\"block\":2,\"distance\":\"manhattan\""), std::string::npos);
    EXPECT_NE(r.out.find("\"totalVolume\":" + std::to_string(a.TotalVolume) + ","),
              std::string::npos);
    EXPECT_NE(r.out.find("\"toSpoil\":" + std::to_string(a.ToSpoil) + ","), std::string::npos);
    size_t flows = 0;
    for (size_t pos = 0; (pos = r.out.find("{\"from\":", pos)) != std::string::npos; ++pos)
        ++flows;
    EXPECT_EQ(flows, a.Flows.size());
    const TAllocFlow& f = a.Flows.front();
    EXPECT_NE(r.out.find("{\"from\":\"" + a.Sources[f.From].Name + "\",\"to\":\"" +
                         a.Sinks[f.To].Name + "\",\"volume\":" + std::to_string(f.Volume) + ","),
              std::string::npos);
    std::FILE* in = std::fopen(csv.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    std::string bytes;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, in)) > 0)
        bytes.append(buf, n);
    std::fclose(in);
    std::remove(csv.c_str());
    EXPECT_EQ(bytes, Utf8ToCp932(AllocCsvText(a)));

    // The text table holds the shared rows.
    const TCliRun text =
        Cli("allocate " + kSample + " --block 2 --spoil -40,10.5,inf,250 --manhattan");
    ASSERT_EQ(text.code, 0) << text.err;
    for (const auto& [name, value] : BuildAllocTable(a).Totals)
        EXPECT_NE(text.out.find(name + ": " + value), std::string::npos) << name;

    const struct {
        const char* Args;
        int Code;
        const char* Message;
    } bad[] = {
        {"--block 0", 2, "ブロックの大きさ「0」"},
        {"--block x", 2, "ブロックの大きさ「x」"},
        {"--spoil 1,2", 2, "土捨場「1,2」"},
        {"--borrow 1,2,3,4,5", 2, "土取場「1,2,3,4,5」"},
        {"--spoil 1,,3", 2, "土捨場「1,,3」"},
        {"--spoil 1,2,-5", 2, "土捨場1 の容量"},
        {"--spoil 1,2,nan", 2, "土捨場1 の容量"},
        {"--borrow inf,2,5", 2, "土取場1 の位置"},
        {"--spoil 0,0,10", 1, "土捨場の容量（計 10 m³）"},
        {"", 1, "土捨場を加えてください"},
    };
    for (const auto& c : bad) {
        const TCliRun e = Cli("allocate " + kSample + " " + c.Args + " -o " + csv);
        EXPECT_EQ(e.code, c.Code) << c.Args;
        EXPECT_NE(e.err.find(c.Message), std::string::npos) << c.Args << ": " << e.err;
        EXPECT_NE(access(csv.c_str(), F_OK), 0) << c.Args;
    }
}

namespace {

// Pages of a PDF: its page objects, not the page tree.
size_t PdfPages(const std::string& Pdf) {
    size_t n = 0;
    for (size_t pos = 0; (pos = Pdf.find("/Type /Page", pos)) != std::string::npos; ++pos)
        if (Pdf.compare(pos, 12, "/Type /Pages") != 0)
            ++n;
    return n;
}

} // namespace

// Without places on the command line the places saved with the project are used, as by the
// window and the report; places given replace them all, and block and distance given win.
TEST(Cli, AllocateStartsFromTheSavedPlaces) {
    TInputData d;
    d.FileLoad(kSample);
    TAllocOptions o;
    o.Block = 3;
    o.Manhattan = true;
    TAllocPlace spoil;
    spoil.X = -40;
    spoil.Y = 10.5;
    o.Places = {spoil};
    d.SetTag(kAllocTag, AllocOptionsBytes(o));
    const std::string project = TempPath("saved-places.msh");
    d.FileSave(project);
    d.Calcrate();

    const struct {
        const char* Args;
        int Block;
        bool Manhattan;
        double SpoilX;
    } cases[] = {
        {"", 3, true, -40},
        {" --block 2 --straight", 2, false, -40},
        {" --spoil 100,0,inf", 3, true, 100},
    };
    for (const auto& c : cases) {
        TAllocOptions want = o;
        want.Block = c.Block;
        want.Manhattan = c.Manhattan;
        want.Places[0].X = c.SpoilX;
        want.Places[0].Y = c.SpoilX == -40 ? 10.5 : 0;
        const TAllocation a = AllocateEarth(d, want);
        ASSERT_TRUE(a.Solved) << a.Message;
        const TCliRun r = Cli("allocate " + project + c.Args + " --json");
        ASSERT_EQ(r.code, 0) << c.Args << ": " << r.err;
        EXPECT_NE(r.out.find("\"block\":" + std::to_string(c.Block) + ",\"distance\":\"" +
                             (c.Manhattan ? "manhattan" : "straight") + "\""),
                  std::string::npos)
            << c.Args << ": " << r.out;
        EXPECT_NE(r.out.find("\"toSpoil\":" + std::to_string(a.ToSpoil) + ","), std::string::npos)
            << c.Args;
        const TAllocFlow& f = a.Flows.back();
        EXPECT_NE(r.out.find("{\"from\":\"" + a.Sources[f.From].Name + "\",\"to\":\"" +
                             a.Sinks[f.To].Name + "\",\"volume\":" + std::to_string(f.Volume) +
                             ","),
                  std::string::npos)
            << c.Args;
    }
    std::remove(project.c_str());
}

// An output that is one of the inputs (by any name) is refused before anything is written, and
// the input stays as it was; updating the base project of an import in place stays allowed.
TEST(Cli, OutputThatIsAnInputIsRefused) {
    const std::string project = TempPath("same.msh"), link = TempPath("same-link.msh");
    const std::string ground = TempPath("same-ground.csv");
    {
        std::FILE* f = std::fopen(ground.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("X,Y,Z\n0,0,10\n0,20,11\n20,0,12\n20,20,13\n", f);
        std::fclose(f);
    }
    const std::string bytes = ReadFile(kSample);
    const auto reset = [&]() {
        std::FILE* f = std::fopen(project.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    };
    reset();
    std::remove(link.c_str());
    ASSERT_EQ(symlink(project.c_str(), link.c_str()), 0);
    const std::string cases[] = {
        "export-mesh " + project + " " + project,
        "export-detail " + project + " " + link,
        "export-summary " + link + " " + project,
        "report " + project + " -o " + link,
        "map " + project + " --format png -o " + project,
        "allocate " + project + " --spoil 0,0,inf -o " + project,
    };
    for (const std::string& args : cases) {
        const TCliRun r = Cli(args);
        EXPECT_EQ(r.code, 1) << args;
        EXPECT_NE(r.err.find("と同じファイルです"), std::string::npos) << args << ": " << r.err;
        EXPECT_EQ(ReadFile(project), bytes) << args;
        reset();
    }
    const std::string groundBytes = ReadFile(ground);
    const TCliRun survey = Cli("import --ground " + ground + " --origin 0,0 -o " + ground);
    EXPECT_EQ(survey.code, 1) << survey.err;
    EXPECT_EQ(ReadFile(ground), groundBytes);
    const TCliRun inPlace =
        Cli("import " + project + " --ground " + ground + " --origin 0,0 -o " + project);
    EXPECT_EQ(inPlace.code, 0) << inPlace.err;
    EXPECT_NE(ReadFile(project), bytes) << "the base project updated in place";
    for (const std::string& f : {project, link, ground})
        std::remove(f.c_str());
}

// A map to standard output needs its format named; the message says so, not that the extension
// is wrong. With no session's runtime folder, a map prints no warning of Qt's.
TEST(Cli, MapToStandardOutputAndNoQtWarnings) {
    const TCliRun r = Cli("map " + kSample + " -o -");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("--format"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("拡張子"), std::string::npos) << r.err;

    const std::string png = TempPath("quiet.png"), err = TempPath("quiet.txt");
    const std::string cmd = "env -u XDG_RUNTIME_DIR " + std::string(DORYOU_CLI) + " map " +
                            kSample + " -o " + png + " 2>" + err;
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(ReadFile(err), "");
    EXPECT_EQ(ReadFile(png).substr(1, 3), "PNG");
    std::remove(png.c_str());
    std::remove(err.c_str());
}

// Numbers out of range are refused with a Japanese message, never a library's text.
TEST(Cli, BalanceTargetOutOfRange) {
    for (const char* target : {"9999999999999999999", "1000000000000001", "1e3", "+", "--5"}) {
        const TCliRun r = Cli("balance " + kSample + " --surplus " + std::string(target));
        EXPECT_EQ(r.code, 2) << target;
        EXPECT_NE(r.err.find("目標残土量"), std::string::npos) << target << ": " << r.err;
        EXPECT_EQ(r.err.find("stoll"), std::string::npos) << r.err;
    }
    EXPECT_EQ(Cli("balance " + kSample + " --surplus -1000000000000000").code, 1)
        << "in range, but beyond what the site can give";
}

// The report adds the table and the arrow map of the plan stored with the project; a plan that
// cannot be made stops it with the solver's message before anything is written.
TEST(Cli, ReportPrintsTheStoredAllocation) {
    TInputData d;
    d.FileLoad(kSample);
    TAllocOptions o;
    o.Block = 3; // a table of one page
    TAllocPlace spoil;
    spoil.X = -40;
    spoil.Y = 10.5;
    o.Places = {spoil};
    d.SetTag(kAllocTag, AllocOptionsBytes(o));
    const std::string project = TempPath("alloc.msh");
    d.FileSave(project);

    const std::string plain = TempPath("plain.pdf"), withPlan = TempPath("alloc.pdf");
    const TCliRun a = Cli("report " + project + " --map -o " + plain);
    ASSERT_EQ(a.code, 0) << a.err;
    const TCliRun b = Cli("report " + project + " --map --allocation -o " + withPlan);
    ASSERT_EQ(b.code, 0) << b.err;
    const size_t pages = PdfPages(ReadFile(plain));
    EXPECT_GE(pages, 1u);
    EXPECT_EQ(PdfPages(ReadFile(withPlan)), pages + 2);
    std::remove(plain.c_str());
    std::remove(withPlan.c_str());
    std::remove(project.c_str());

    TInputData sample;
    sample.FileLoad(kSample);
    sample.Calcrate();
    const TAllocation none = AllocateStored(sample);
    ASSERT_FALSE(none.Solved);
    const TCliRun c = Cli("report " + kSample + " --allocation -o " + withPlan);
    EXPECT_EQ(c.code, 1);
    EXPECT_NE(c.err.find(none.Message), std::string::npos) << c.err;
    EXPECT_NE(access(withPlan.c_str(), F_OK), 0);
}

// A project with a ground height that is no number, saved as calculated, still opens; every
// command that calculates names the mesh and ends with 1, and the check names the same field.
TEST(Cli, HeightThatIsNoNumberIsNamed) {
    TInputData d;
    d.FileLoad(kSample);
    TGridData g = d.GridList()[3];
    g.GH = std::nan("");
    d.SetMeshData(g);
    d.SetPhase(2, true);
    const std::string project = TempPath("nan.msh");
    d.FileSave(project);
    const std::string said =
        StrFormat("メッシュ (%d, %d) の地盤高が数値ではありません。計算できません。\n", g.X, g.Y);
    for (const char* command : {"calc", "compare", "balance"}) {
        const TCliRun r = Cli(std::string(command) + " " + project);
        EXPECT_EQ(r.code, 1) << command;
        EXPECT_EQ(r.err, said) << command;
        EXPECT_EQ(r.out, "") << command;
    }
    const TCliRun check = Cli("check " + project + " --json");
    EXPECT_EQ(check.code, 3);
    EXPECT_NE(check.out.find("\"kind\":\"non-finite\""), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("地盤高"), std::string::npos) << check.out;
    std::remove(project.c_str());
}
