// Project totals past the 32-bit limit of a record's field: summed and shown in 64 bits by the
// summary, its file, the reports' figures and doryou-cli; a mesh whose own volume stops at the
// limit is reported, never passed on in silence.

#include "model/CalcSummary.h"
#include "model/DataUnit.h"
#include "platform/NumberFormat.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Four meshes of 2,000,000,000 m³ of fill and four of 2,000,000,000 m³ of cut (one layer, rate
// 0.9): every record fits 32 bits, no total does.
TInputData BigSite() {
    TInputData d;
    d.SetLayer(1);
    d.SetMeshSpan(1000.0);
    d.SetSolidValue(1, 0, 0.9);
    for (int x = 0; x < 4; ++x) {
        TGridData fill;
        fill.X = x;
        fill.FH = 2000.0;
        d.SetMeshData(fill);
        TGridData cut;
        cut.X = x;
        cut.Y = 1;
        cut.GH = 2000.0;
        d.SetMeshData(cut);
    }
    return d;
}

void AddMesh(TInputData& D, int X, int Y, double FH) {
    TGridData g;
    g.X = X;
    g.Y = Y;
    g.FH = FH;
    D.SetMeshData(g);
}

struct TCliRun {
    int code;
    std::string out, err;
};

TCliRun Cli(const std::string& args) {
    const std::string errFile =
        ::testing::TempDir() + "doryou-totals-stderr-" + std::to_string(getpid()) + ".txt";
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

} // namespace

TEST(Totals, SummedIn64BitsWhileRecordsKeepTheirFields) {
    TInputData d = BigSite();
    ASSERT_TRUE(d.Calcrate());
    const TCalcTotals t = d.GetCalcTotals();
    EXPECT_EQ(t.BV[0], 8000000000);
    EXPECT_EQ(t.BV[1], 8000000000);
    EXPECT_EQ(t.CV[0][0], 8000000000);
    EXPECT_EQ(t.CV[1][0], 7200000000);
    EXPECT_EQ(t.CV[1][1], 7200000000);
    EXPECT_EQ(d.SaturatedMeshCount(), 0);
    EXPECT_EQ(SaturationWarning(d), "");
    // The record form of the totals saturates, as its fields must.
    EXPECT_EQ(d.GetCalcSumVolume().BV[0], INT32_MAX);
    EXPECT_EQ(d.GetIndextoCalcMesh(0).BV[0], 2000000000);

    const TCalcSummary s = BuildCalcSummary(d);
    EXPECT_EQ(s.Rows[1], (TCalcSummary::TRow{"盛　土　量", "8,000,000,000", "", "8,000,000,000"}));
    EXPECT_EQ(s.Rows[2], (TCalcSummary::TRow{"切　土　量", "8,000,000,000", "", "7,200,000,000"}));
    EXPECT_EQ(s.Rows[4], (TCalcSummary::TRow{"不足土量", "", "", "800,000,000"}));
    EXPECT_NE(CalcSummaryCsvText(d).find("\"盛　土　量\",\"8,000,000,000\",\"\",\"8,000,000,000\""),
              std::string::npos);
}

TEST(Totals, AMeshVolumeAtItsLimitIsCountedAndWarnedAbout) {
    TInputData d = BigSite();
    AddMesh(d, 9, 9, 3000.0); // 3,000,000,000 m³ in one record
    AddMesh(d, 9, 7, 2500.0);
    ASSERT_TRUE(d.Calcrate());
    EXPECT_EQ(d.SaturatedMeshCount(), 2);
    EXPECT_EQ(d.GetCalcTotals().BV[0], 8000000000 + 2 * int64_t{INT32_MAX});
    EXPECT_EQ(SaturationWarning(d),
              "土量が 2,147,483,647 m³ に達したメッシュが 2 個あります。\n"
              "その土量はこの値で打ち切られているため、合計は実際より少なくなります。");
    // A new calculation counts afresh.
    d.DeleteMeshData(9, 9);
    d.DeleteMeshData(9, 7);
    ASSERT_TRUE(d.Calcrate());
    EXPECT_EQ(d.SaturatedMeshCount(), 0);
}

TEST(Totals, VolumesAreFormattedFromTheWholeInteger) {
    const std::pair<int64_t, const char*> cases[] = {
        {0, "0"},
        {999, "999"},
        {-1000, "-1,000"},
        {2147483648, "2,147,483,648"},
        {INT64_MAX, "9,223,372,036,854,775,807"}, // beyond the 53 bits of a double
        {INT64_MIN, "-9,223,372,036,854,775,808"},
    };
    for (auto [v, text] : cases)
        EXPECT_EQ(FormatVolume(v), text);
    FormatSettings().ThousandSeparator = ".";
    EXPECT_EQ(FormatVolume(7105346920), "7.105.346.920");
    FormatSettings().ThousandSeparator = ",";
}

TEST(Totals, CliShowsThemAndWarnsOnStandardError) {
    TInputData d = BigSite();
    const std::string file =
        ::testing::TempDir() + "doryou-totals-" + std::to_string(getpid()) + ".msh";
    d.FileSave(file);
    TCliRun r = Cli("calc " + file);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("8,000,000,000"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("800,000,000"), std::string::npos);
    EXPECT_EQ(r.err, "");
    r = Cli("calc " + file + " --json");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(
        r.out.find(
            "\"total\":{\"BV\":[8000000000,8000000000],\"CV\":[[8000000000,"
            "8000000000,0,0,0,0],[7200000000,7200000000,0,0,0,0]],\"HV\":0,\"surplus\":-800000000},"
            "\"saturatedMeshes\":0}"),
        std::string::npos)
        << r.out.substr(r.out.rfind("\"total\""));

    AddMesh(d, 9, 9, 3000.0);
    d.FileSave(file);
    r = Cli("calc " + file + " --json");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("\"saturatedMeshes\":1}"), std::string::npos);
    EXPECT_EQ(r.err, "警告: 土量が 2,147,483,647 m³ に達したメッシュが 1 個あります。\n"
                     "その土量はこの値で打ち切られているため、合計は実際より少なくなります。\n");
    std::remove(file.c_str());
}
