#include "MeshCsv.h"

#include "DataUnit.h"
#include "MeshFields.h"
#include "platform/Failure.h"
#include "platform/NumberFormat.h"
#include "platform/TextFile.h"

std::vector<std::string> MeshColumnHeadings(const TInputData& Data) {
    std::vector<std::string> h = {"Ｘ", "Ｙ"};
    for (const TGridField& f : CalcFields(Data))
        h.push_back(f.Name);
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
    const std::vector<TGridField> fields = CalcFields(Data);
    std::string line;
    for (const TGridData& g : Data.GridList()) {
        if (g.DelFlg)
            continue;
        line = StrFormat("%d,%d", g.X, g.Y);
        for (const TGridField& f : fields) {
            line += ',';
            line += FormatFixedPlain(f.ValueOf(g), 3);
        }
        AddLine(text, line);
    }
    return text;
}
