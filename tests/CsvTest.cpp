#include "analysis/EarthAllocation.h"
#include "analysis/EarthAllocationTable.h"
#include "model/CalcDetail.h"
#include "model/CalcSummary.h"
#include "model/DataUnit.h"
#include "model/MeshCsv.h"
#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "platform/NumberFormat.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace {

void Add(TInputData& d, int x, int y, double gh, double fh) {
    TGridData g;
    g.X = x;
    g.Y = y;
    g.GH = gh;
    g.FH = fh;
    d.SetMeshData(g);
}

std::string ReadAll(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(MeshCsv, ColumnsFollowTheSettings) {
    TInputData d;
    d.SetLayer(3);
    d.SetHyoudo(true);
    TGridData g;
    g.X = 3;
    g.Y = 4;
    g.FH = 12.5;
    g.GH = 10.25;
    g.LAYER[0] = 0.3;
    g.LAYER[1] = 1;
    g.LAYER[2] = 2;
    d.SetMeshData(g);
    Add(d, 9, 9, 1, 1);
    Add(d, 1, 1, -0.0004, 1e6);
    d.DeleteMeshData(9, 9);
    EXPECT_EQ(MeshCsvText(d), "入力メッシュデータ\r\n\r\n"
                              "Ｘ,Ｙ,計画高,地盤高,表土厚,１層厚,２層厚\r\n"
                              "3,4,12.500,10.250,0.300,1.000,2.000\r\n"
                              "1,1,1000000.000,0.000,0.000,0.000,0.000\r\n");
    // A user's decimal comma does not reach a file for other programs.
    const TFormatSettings saved = FormatSettings();
    FormatSettings().DecimalSeparator = ",";
    EXPECT_NE(MeshCsvText(d).find("3,4,12.500,"), std::string::npos);
    FormatSettings() = saved;

    // Every column: each value of a point lands in its own column.
    TInputData e;
    e.SetLayer(5);
    e.SetSolidType(1);
    e.SetHyoudo(true);
    e.SetFumikomi(true);
    e.SetAtumitu(true);
    EXPECT_EQ(
        MeshColumnHeadings(e),
        (std::vector<std::string>{"Ｘ", "Ｙ", "計画高", "地盤高", "表土厚", "２層標高", "３層標高",
                                  "４層標高", "５層標高", "踏込沈下", "圧密沈下"}));
    g = TGridData{};
    g.X = -3;
    g.Y = 4;
    g.FH = 12.5;
    g.GH = 10.25;
    g.LAYER[0] = 0.3;
    g.LAYER[1] = 9.1;
    g.LAYER[2] = 8.2;
    g.LAYER[3] = 7.3;
    g.LAYER[4] = 6.4;
    g.CSink = 0.15;
    g.BSink = 0.25;
    e.SetMeshData(g);
    EXPECT_EQ(MeshCsvText(e),
              "入力メッシュデータ\r\n\r\n"
              "Ｘ,Ｙ,計画高,地盤高,表土厚,２層標高,３層標高,４層標高,５層標高,踏込沈下,圧密沈下\r\n"
              "-3,4,12.500,10.250,0.300,9.100,8.200,7.300,6.400,0.150,0.250\r\n");
    e.SetLayer(1);
    e.SetHyoudo(false);
    e.SetFumikomi(false);
    e.SetAtumitu(false);
    EXPECT_EQ(MeshColumnHeadings(e).size(), 4u);
}

TEST(SummaryCsv, SevenLineExample) {
    TInputData d;
    d.SetLayer(1);
    d.SetMeshSpan(10);
    Add(d, 0, 0, 0, 12); // fill 1,200
    Add(d, 1, 0, 15, 0); // cut 1,500, corrected 1,350
    ASSERT_TRUE(d.Calcrate());
    EXPECT_EQ(CalcSummaryCsvText(d), "土量計算集計表\r\n"
                                     "\r\n"
                                     "\"\",\"土　　量\",\"変化率\",\"補正土量\"\r\n"
                                     "\"盛　土　量\",\"1,200\",\"\",\"1,200\"\r\n"
                                     "\"切　土　量\",\"1,500\",\"\",\"1,350\"\r\n"
                                     "\"　普通土\",\"1,500\",\"0.900\",\"1,350\"\r\n"
                                     "\"残土量\",\"\",\"\",\"150\"\r\n");
}

TEST(DetailCsv, OnePointAndFourPointLines) {
    TInputData d;
    d.SetLayer(1);
    d.SetMeshSpan(10);
    d.SetSolidValue(1, 0, 1.0);
    Add(d, 3, 4, 22.5, 10); // cut 1,250
    Add(d, 10, 4, 5, 5);    // widens the table so that (3, 4) is cell 12
    ASSERT_TRUE(d.Calcrate());
    EXPECT_EQ(DetailCsvText(d), "土量計算一覧表\r\n\r\n"
                                "メッシュ,Ｘ番号,Ｙ番号,盛土量,切土量\r\n"
                                "    12,3,4,,\"1,250\"\r\n"
                                "    19,10,4,,\r\n");

    TInputData e;
    e.SetLayer(2);
    e.SetHyoudo(true);
    e.SetCalcType(1);
    e.SetMeshSpan(10);
    e.SetSolidName(2, "岩,\"硬\"");
    TGridData g;
    g.X = 3;
    g.Y = 4;
    g.GH = 12;
    g.FH = 10;
    g.LAYER[0] = 0.4;
    g.LAYER[1] = 1;
    e.SetMeshData(g);
    ASSERT_TRUE(e.Calcrate());
    const std::string text = DetailCsvText(e);
    EXPECT_NE(text.find("メッシュ,Ｘ番号,Ｙ番号,表土量,盛土量,切土量,普通土,\"岩,\"\"硬\"\"\"\r\n"),
              std::string::npos)
        << text;
    // Cell (3, 4) has the point at its corner 0: topsoil 0.4 x 25; the stripped ground 11.6
    // cuts 0.6 of layer 1 (15 x 0.9, just under 13.5) and 1.0 of layer 2 (25 x 1.05).
    EXPECT_NE(text.find("     5,\"3,4\",\"4,5\",\"10\",,\"39\",\"13\",\"26\"\r\n"),
              std::string::npos)
        << text;

    // With fill correction the fill column is the corrected fill: 250 x 0.8.
    TInputData f;
    f.SetLayer(1);
    f.SetMeshSpan(10);
    f.SetRateType(1);
    f.SetSolidValue(0, 0, 0.8);
    Add(f, 0, 0, 10, 12.5);
    ASSERT_TRUE(f.Calcrate());
    EXPECT_EQ(DetailCsvText(f), "土量計算一覧表\r\n\r\n"
                                "メッシュ,Ｘ番号,Ｙ番号,盛土量,切土量\r\n"
                                "     5,0,0,\"200\",\r\n");
}

TEST(TextFile, WritesCodePage932WithCrLf) {
    const std::string path =
        ::testing::TempDir() + "doryou-text-" + std::to_string(getpid()) + ".csv";
    WriteCp932File(path, "軟岩Ⅰ,1\r\n");
    EXPECT_EQ(ReadAll(path), Utf8ToCp932("軟岩Ⅰ") + ",1\r\n");
    EXPECT_THROW(WriteCp932File("/nonexistent/dir/x.csv", "x"), EFailure);
    std::filesystem::remove(path);
}

namespace {

// Reads the fields of one CSV record as a spreadsheet does (quotes enclose, "" is a quote).
std::vector<std::string> ParseCsvRecord(const std::string& text, size_t& pos) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    while (pos < text.size()) {
        const char c = text[pos++];
        if (quoted) {
            if (c == '"' && pos < text.size() && text[pos] == '"')
                fields.back() += text[pos++];
            else if (c == '"')
                quoted = false;
            else
                fields.back() += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else if (c == '\r' && pos < text.size() && text[pos] == '\n') {
            ++pos;
            break;
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

} // namespace

TEST(CsvField, QuotesDoublesAndNeutralises) {
    const struct {
        const char* text;
        const char* plain;  // CsvText(text)
        const char* quoted; // CsvText(text, true)
    } cases[] = {
        {"普通土", "普通土", "\"普通土\""},
        {"", "", "\"\""},
        {"=1+2*3", "'=1+2*3", "\"'=1+2*3\""},
        {"+SUM(1,2)", "\"'+SUM(1,2)\"", "\"'+SUM(1,2)\""},
        {"@A1", "'@A1", "\"'@A1\""},
        {"-2+3,\"x\"", "\"'-2+3,\"\"x\"\"\"", "\"'-2+3,\"\"x\"\"\""},
        {"\t=1", "'\t=1", "\"'\t=1\""},
        {"\r\n=1", "\"'\r\n=1\"", "\"'\r\n=1\""},
        {"a\r\nb", "\"a\r\nb\"", "\"a\r\nb\""},
        {"岩\"硬\"", "\"岩\"\"硬\"\"\"", "\"岩\"\"硬\"\"\""},
        {"a=1", "a=1", "\"a=1\""},
        // Control characters other than tab, CR and LF never reach the file.
        {"\x1b[31m", "[31m", "\"[31m\""},
        {"\x1b=1", "'=1", "\"'=1\""},
        {"a\x7f"
         "b\xc2\x85"
         "c",
         "abc", "\"abc\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CsvText(c.text), c.plain) << c.text;
        EXPECT_EQ(CsvText(c.text, true), c.quoted) << c.text;
    }
    EXPECT_EQ(CsvText(std::string("a\0b", 3)), "ab");
    // Numbers of our own formatting keep their sign.
    EXPECT_EQ(CsvNumber("-0.500", true), "\"-0.500\"");
    EXPECT_EQ(CsvNumber("1,250"), "\"1,250\"");
    EXPECT_EQ(CsvNumber("-3"), "-3");
}

// Hostile soil names reach both files as plain texts: the heading keeps its field count, no
// field starts a formula, and the summary's rows stay whole.
TEST(CsvField, SoilNamesInTheDetailAndSummaryFiles) {
    const std::string names[] = {"=1+2*3", "+SUM(1,2)", "@A1", "-2+3,\"x\"",
                                 std::string("a\0\r\nb", 5)};
    TInputData d;
    d.SetLayer(5);
    d.SetMeshSpan(10);
    for (int i = 0; i < 5; ++i)
        d.SetSolidName(i + 1, names[i]);
    Add(d, 0, 0, 10, 0);
    ASSERT_TRUE(d.Calcrate());

    const std::string detail = DetailCsvText(d);
    size_t pos = detail.find("メッシュ");
    ASSERT_NE(pos, std::string::npos);
    const std::vector<std::string> heading = ParseCsvRecord(detail, pos);
    ASSERT_EQ(heading.size(), 10u) << detail;
    EXPECT_EQ(heading[5], "'=1+2*3");
    EXPECT_EQ(heading[6], "'+SUM(1,2)");
    EXPECT_EQ(heading[7], "'@A1");
    EXPECT_EQ(heading[8], "'-2+3,\"x\"");
    EXPECT_EQ(heading[9], "a\r\nb"); // the NUL is gone, the line break stays inside its field
    // The data line follows the heading as a record of its own.
    const std::vector<std::string> row = ParseCsvRecord(detail, pos);
    EXPECT_EQ(row.size(), 10u);
    EXPECT_EQ(row[1], "0");

    const std::string summary = CalcSummaryCsvText(d);
    pos = summary.find("\r\n\r\n") + 4;
    int rows = 0;
    while (pos < summary.size()) {
        const std::vector<std::string> fields = ParseCsvRecord(summary, pos);
        ASSERT_EQ(fields.size(), 4u) << summary;
        if (rows >= 3 && rows < 8) {
            EXPECT_EQ(fields[0], "　" + WithoutControlChars(names[rows - 3], "\r\n"));
        }
        ++rows;
    }
    EXPECT_EQ(rows, 9); // heading, fill, cut, five layers, surplus
}

// Every CSV file is written in code page 932: each of its characters must be one the code page
// holds, or the file would show "?" where the window showed a unit.
TEST(CsvFiles, EveryCharacterIsInTheCodePage) {
    TInputData d;
    d.FileLoad(std::string(DORYOU_SOURCE_DIR) + "/examples/sample-site.msh");
    ASSERT_TRUE(d.Calcrate());
    TAllocOptions o;
    TAllocPlace spoil;
    spoil.X = -40;
    o.Places = {spoil};
    const TAllocation plan = AllocateEarth(d, o);
    ASSERT_TRUE(plan.Solved) << plan.Message;
    const struct {
        const char* Name;
        std::string Text;
    } files[] = {
        {"mesh", MeshCsvText(d)},
        {"summary", CalcSummaryCsvText(d)},
        {"detail", DetailCsvText(d)},
        {"allocation", AllocCsvText(plan)},
    };
    for (const auto& f : files) {
        EXPECT_EQ(Cp932ToUtf8(Utf8ToCp932(f.Text)), f.Text) << f.Name;
    }
    EXPECT_NE(AllocCsvText(plan).find("土量 (m3)"), std::string::npos);
    EXPECT_NE(AllocCsvText(plan).find("m3・m"), std::string::npos);
}
