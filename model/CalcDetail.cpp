#include "CalcDetail.h"

#include "DataUnit.h"
#include "platform/Failure.h"
#include "platform/NumberFormat.h"
#include "platform/TextFile.h"

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
            line += FormatThousands(v, 0);
            line += '"';
        }
    };
    for (const TGridCalcData& r : Data.CalcList()) {
        line = StrFormat("%6d", r.Num);
        if (four)
            line += StrFormat(",\"%d,%lld\",\"%d,%lld\"", r.X, static_cast<long long>(r.X) + 1, r.Y,
                              static_cast<long long>(r.Y) + 1);
        else
            line += StrFormat(",%d,%d", r.X, r.Y);
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
