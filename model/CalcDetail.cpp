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
    std::string text;
    text.reserve(64 + static_cast<size_t>(Data.CalcMeshCount()) * (40 + 12 * Data.Layer()));
    DetailCsvPieces(Data, [&text](const std::string& piece) { text += piece; });
    return text;
}

void DetailCsvPieces(const TInputData& Data, const std::function<void(const std::string&)>& Out) {
    constexpr size_t kPiece = 1 << 20;
    const bool topsoil = Data.Hyoudo();
    const int L = Data.Layer();
    const bool four = DetailIsFourPoint(Data);
    std::string text;
    text.reserve(kPiece + 512);
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

    const auto volume = [&text](int32_t v) {
        text += ',';
        if (v != 0) {
            text += '"';
            AppendThousands(text, v);
            text += '"';
        }
    };
    for (const TGridCalcData& r : Data.CalcList()) {
        // As "%6d".
        char num[16];
        const size_t n = static_cast<size_t>(std::to_chars(num, num + sizeof num, r.Num).ptr - num);
        if (n < 6)
            text.append(6 - n, ' ');
        text.append(num, n);
        if (four) {
            text += ",\"";
            AppendInt(text, r.X);
            text += ',';
            AppendInt(text, int64_t{r.X} + 1);
            text += "\",\"";
            AppendInt(text, r.Y);
            text += ',';
            AppendInt(text, int64_t{r.Y} + 1);
            text += '"';
        } else {
            text += ',';
            AppendInt(text, r.X);
            text += ',';
            AppendInt(text, r.Y);
        }
        if (topsoil)
            volume(r.HV);
        volume(r.BV[1]);
        volume(r.CV[1][0]);
        if (L > 1)
            for (int i = 1; i <= L; ++i)
                volume(r.CV[1][i]);
        text += "\r\n";
        if (text.size() >= kPiece) {
            Out(text);
            text.clear();
        }
    }
    if (!text.empty())
        Out(text);
}
