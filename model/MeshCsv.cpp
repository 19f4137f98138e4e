#include "MeshCsv.h"

#include "DataUnit.h"
#include "platform/Failure.h"
#include "platform/NumberFormat.h"
#include "platform/TextFile.h"

namespace {

const char* const kLayerHeadings[2][4] = {{"１層厚", "２層厚", "３層厚", "４層厚"},
                                          {"２層標高", "３層標高", "４層標高", "５層標高"}};

} // namespace

std::vector<std::string> MeshColumnHeadings(const TInputData& Data) {
    std::vector<std::string> h = {"Ｘ", "Ｙ", "計画高", "地盤高"};
    if (Data.Hyoudo())
        h.push_back("表土厚");
    const int mode = Data.SolidType() == 1 ? 1 : 0;
    for (int k = 1; k < Data.Layer(); ++k)
        h.push_back(kLayerHeadings[mode][k - 1]);
    if (Data.Fumikomi())
        h.push_back("踏込沈下");
    if (Data.Atumitu())
        h.push_back("圧密沈下");
    return h;
}

std::string MeshCsvText(const TInputData& Data) {
    std::string text;
    AddLine(text, "入力メッシュデータ");
    AddLine(text, "");
    std::string heading;
    for (const std::string& h : MeshColumnHeadings(Data))
        heading += (heading.empty() ? "" : ",") + h;
    AddLine(text, heading);
    std::string line;
    for (const TGridData& g : Data.GridList()) {
        if (g.DelFlg)
            continue;
        line = StrFormat("%d,%d,", g.X, g.Y) + FormatFixedPlain(g.FH, 3) + ',' +
               FormatFixedPlain(g.GH, 3);
        const auto field = [&](double v) {
            line += ',';
            line += FormatFixedPlain(v, 3);
        };
        if (Data.Hyoudo())
            field(g.LAYER[0]);
        for (int k = 1; k < Data.Layer(); ++k)
            field(g.LAYER[k]);
        if (Data.Fumikomi())
            field(g.CSink);
        if (Data.Atumitu())
            field(g.BSink);
        AddLine(text, line);
    }
    return text;
}
