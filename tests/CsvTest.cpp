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
    EXPECT_NE(text.find("メッシュ,Ｘ番号,Ｙ番号,表土量,盛土量,切土量,普通土,岩,\"硬\"\r\n"),
              std::string::npos);
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
