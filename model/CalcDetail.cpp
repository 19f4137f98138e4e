#include "CalcDetail.h"

#include "DataUnit.h"
#include "platform/Failure.h"
#include "platform/NumberFormat.h"
#include "platform/TextFile.h"

#include <charconv>

namespace {

void AppendInt(std::string& out, int64_t v) {
    char buf[24];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

} // namespace

bool DetailIsFourPoint(const TInputData& Data) {
    // Any other method number calculates as the one-point method, and is shown as one.
    return Data.CalcType() == 1 || Data.CalcType() == 2;
}

std::string DetailCsvText(const TInputData& Data) {
    const bool topsoil = Data.Hyoudo();
    const int L = Data.Layer();
    const bool four = DetailIsFourPoint(Data);
    std::string text;
    text.reserve(64 + static_cast<size_t>(Data.CalcMeshCount()) * (40 + 12 * L));
    AddLine(text, "土量計算一覧表");
    AddLine(text, "");
    std::string heading = "メッシュ,Ｘ番号,Ｙ番号";
    if (topsoil)
        heading += ",表土量";
    heading += ",盛土量,切土量";
    if (L > 1)
        for (int i = 1; i <= L; ++i)
            heading += "," + CsvText(Data.GetSolidName(i));
    AddLine(text, heading);

    std::string line;
    const auto volume = [&line](int32_t v) {
        line += ',';
        if (v != 0) {
            line += '"';
            AppendThousands(line, v);
            line += '"';
        }
    };
    for (const TGridCalcData& r : Data.CalcList()) {
        // As "%6d".
        line.clear();
        char num[16];
        const size_t n = static_cast<size_t>(std::to_chars(num, num + sizeof num, r.Num).ptr - num);
        if (n < 6)
            line.append(6 - n, ' ');
        line.append(num, n);
        if (four) {
            line += ",\"";
            AppendInt(line, r.X);
            line += ',';
            AppendInt(line, int64_t{r.X} + 1);
            line += "\",\"";
            AppendInt(line, r.Y);
            line += ',';
            AppendInt(line, int64_t{r.Y} + 1);
            line += '"';
        } else {
            line += ',';
            AppendInt(line, r.X);
            line += ',';
            AppendInt(line, r.Y);
        }
        if (topsoil)
            volume(r.HV);
        volume(r.BV[1]);
        volume(r.CV[1][0]);
        if (L > 1)
            for (int i = 1; i <= L; ++i)
                volume(r.CV[1][i]);
        AddLine(text, line);
    }
    return text;
}
