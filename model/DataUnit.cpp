#include "DataUnit.h"

#include "model/PlausibleRange.h"
#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "platform/NumberFormat.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace {

const char* const DefaultSolidNames[TInputData::SolidCount] = {"盛土",   "普通土", "軟岩Ⅰ", "軟岩Ⅱ",
                                                               "中硬岩", "硬岩",   ""};
const double DefaultSolidRates[TInputData::SolidCount] = {1.0, 0.9, 1.05, 1.15, 1.25, 1.3, 0.0};

} // namespace

TInputData::TInputData() {
    for (int i = 0; i < SolidCount; ++i) {
        SetSolidName(i, DefaultSolidNames[i]);
        FSolidData[i].Rate = DefaultSolidRates[i];
    }
}

TInputData::~TInputData() = default;

std::string MeshSpanMessage(double Span) {
    const std::string shown = std::isfinite(Span) ? FormatFixedPlain(Span, 2) : "（数として使えない値）";
    return StrFormat("メッシュ間隔 %s m は使えません。%s m 以上 %s m 以下で指定してください。",
                     shown.c_str(), FormatFixedPlain(kMeshSpanMin, 2).c_str(),
                     FormatFixedPlain(kMeshSpanMax, 0).c_str());
}

void TInputData::SetMeshSpan(double Value) {
    if (!MeshSpanUsable(Value))
        throw EFailure(MeshSpanMessage(Value));
    FMeshSpan = Value;
}

void TInputData::SetLayer(int Value) {
    if (Value < 1 || Value > MaxLayer)
        throw EFailure(StrFormat("層の種類は 1～%d の間で指定してください。", MaxLayer));
    FLayer = Value;
}

std::string TInputData::GetSolidName(int Index) const {
    if (Index < 0 || Index > 5)
        return {};
    const uint8_t* field = FSolidData[Index].Name;
    return Cp932ToUtf8(std::string_view(reinterpret_cast<const char*>(field + 1), field[0]));
}

void TInputData::SetSolidName(int Index, std::string_view Name) {
    // Entry 6 is reserved: only the project file carries it.
    if (Index < 0 || Index > 5)
        return;
    const std::string bytes = Utf8ToCp932(Name);
    const size_t n = Cp932CutLength(bytes, NameFieldSize - 1);
    uint8_t* field = FSolidData[Index].Name;
    field[0] = static_cast<uint8_t>(n);
    std::memcpy(field + 1, bytes.data(), n);
}

double TInputData::GetSolidValue(int Index, int Kind) const {
    if (Kind == 0 && Index >= 0 && Index <= 5)
        return FSolidData[Index].Rate;
    if (Kind == 1 && Index >= 0 && Index < SolidCount)
        return FSolidDefault[Index];
    return 0.0;
}

void TInputData::SetSolidValue(int Index, int Kind, double Value) {
    if (Kind == 0 && Index >= 0 && Index <= 5)
        FSolidData[Index].Rate = Value;
    else if (Kind == 1 && Index >= 0 && Index < SolidCount)
        FSolidDefault[Index] = Value;
}

bool TInputData::GetPhase(int Phase) const {
    return Phase >= 0 && Phase < PhaseCount && FPhase[Phase];
}

void TInputData::SetPhase(int Phase, bool Value) {
    if (Phase < 0 || Phase >= PhaseCount || FPhase[Phase] == Value)
        return;
    FPhase[Phase] = Value;
    if (FOnPhaseChange)
        FOnPhaseChange(*this, Phase, Value);
}

void TInputData::ClearPhasesFrom(int First) {
    for (int i = First; i < PhaseCount; ++i)
        SetPhase(i, false);
}

TGridData TInputData::NewPointAnswer() const {
    TGridData d;
    d.LAYER[0] = Hyoudo() ? FSolidDefault[0] : 0.0;
    d.CSink = Fumikomi() ? FSolidDefault[5] : 0.0;
    d.BSink = Atumitu() ? FSolidDefault[6] : 0.0;
    for (int i = 1; i <= 4; ++i)
        d.LAYER[i] = FSolidType == 0 ? FSolidDefault[i] : 0.0;
    return d;
}

TGridData TInputData::GetIndexToData(int Index) const {
    if (Index < 0 || static_cast<size_t>(Index) >= FGridList.size() || FGridList[Index].DelFlg)
        return NewPointAnswer();
    TGridData d = FGridList[Index];
    d.Index = Index + 1;
    d.DelFlg = false;
    return d;
}

TGridData TInputData::GetXYToData(int X, int Y) const {
    for (size_t i = FGridList.size(); i-- > 0;) {
        const TGridData& g = FGridList[i];
        if (!g.DelFlg && g.X == X && g.Y == Y)
            return GetIndexToData(static_cast<int>(i));
    }
    return NewPointAnswer();
}

int TInputData::GetInputMeshCount() const {
    int n = 0;
    for (const TGridData& g : FGridList)
        n += g.DelFlg ? 0 : 1;
    return n;
}

TGridData& TInputData::NewGridMesh(int X, int Y) {
    TGridData& g = FGridList.emplace_back();
    g.Index = static_cast<int32_t>(FGridList.size());
    g.X = X;
    g.Y = Y;
    return g;
}

int TInputData::SetMeshData(TGridData& Data) {
    TGridData* g;
    if (Data.Index == 0) {
        g = &NewGridMesh(Data.X, Data.Y);
        Data.Index = g->Index;
    } else {
        if (Data.Index < 0 || static_cast<size_t>(Data.Index) > FGridList.size())
            throw std::out_of_range(
                StrFormat("リストのインデックスが範囲を超えています (%d)。", Data.Index));
        g = &FGridList[static_cast<size_t>(Data.Index) - 1];
    }
    g->FH = Data.FH;
    g->GH = Data.GH;
    std::memcpy(g->LAYER, Data.LAYER, sizeof g->LAYER);
    g->CSink = Data.CSink;
    g->BSink = Data.BSink;
    g->DelFlg = false;
    SetPhase(1, Data.Index > 0);
    ClearPhasesFrom(2);
    return Data.Index;
}

bool TInputData::DeleteMeshData(int X, int Y) {
    int live = 0;
    TGridData* match = nullptr;
    for (TGridData& g : FGridList) {
        if (g.DelFlg)
            continue;
        ++live;
        if (g.X == X && g.Y == Y)
            match = &g;
    }
    if (!match)
        return false;
    match->DelFlg = true;
    SetPhase(1, live > 1);
    ClearPhasesFrom(2);
    return true;
}

TQuestionAnswer TInputData::Ask(const std::string& Text, TQuestionButtons Buttons) const {
    return FQuestion ? FQuestion(Text, Buttons) : TQuestionAnswer::Yes;
}

void TInputData::SetSolidType(int Value) {
    if (Value == FSolidType)
        return;
    const TQuestionAnswer a = Ask("層データの入力方法が変更されました。\n"
                                  "現在入力されているメッシュデータの値を変換しますか？",
                                  TQuestionButtons::YesNoCancel);
    if (a == TQuestionAnswer::Cancel)
        return;
    FSolidType = Value;
    if (a == TQuestionAnswer::Yes)
        ConvertLayers(Value);
}

void TInputData::ConvertLayers(int NewMode) {
    if (NewMode == 1) {
        bool firstIncludesTopsoil = true;
        if (Hyoudo())
            firstIncludesTopsoil =
                Ask("表土厚を考慮していますが、１層目の厚さには表土厚を含んでいますか？\n"
                    "ここでの返答によっては、２層目以降の標高値が変化します。\n"
                    "　「はい」２層標高 = 地盤高 - １層厚\n"
                    "　「いいえ」２層目標高 = 地盤高 - １層厚 - 表土厚\n"
                    " それ以降の標高値は各層厚を上層の標高値より引いた値になります。",
                    TQuestionButtons::YesNo) != TQuestionAnswer::No;
        for (TGridData& g : FGridList) {
            g.LAYER[1] = g.GH - g.LAYER[1];
            if (!firstIncludesTopsoil)
                g.LAYER[1] -= g.LAYER[0];
            g.LAYER[2] = g.LAYER[1] - g.LAYER[2];
            g.LAYER[3] = g.LAYER[2] - g.LAYER[3];
            g.LAYER[4] = g.LAYER[3] - g.LAYER[4];
        }
    } else {
        for (TGridData& g : FGridList) {
            g.LAYER[4] = g.LAYER[3] - g.LAYER[4];
            g.LAYER[3] = g.LAYER[2] - g.LAYER[3];
            g.LAYER[2] = g.LAYER[1] - g.LAYER[2];
            g.LAYER[1] = g.GH - g.LAYER[1];
        }
    }
}

bool TInputData::IsTagName(std::string_view Name) {
    if (Name.empty() || Name.size() > MaxTagName)
        return false;
    for (char c : Name)
        if (c < 0x21 || c > 0x7E)
            return false;
    return true;
}

std::string TInputData::GetTag(const std::string& Name) const {
    const auto it = FTags.find(Name);
    return it == FTags.end() ? std::string() : it->second;
}

void TInputData::SetTag(const std::string& Name, std::string Bytes) {
    if (!IsTagName(Name))
        throw EFailure("プロジェクトに付けるデータの名前が正しくありません。");
    if (Bytes.size() > UINT32_MAX)
        throw EFailure("プロジェクトに付けるデータが大きすぎます。");
    FTags[Name] = std::move(Bytes);
}

void TInputData::ClearCalcList() {
    FGridCalcList.clear();
    FGridCalcList.shrink_to_fit();
}

TGridCalcData TInputData::GetIndextoCalcMesh(int Index) const {
    if (Index < 0 || static_cast<size_t>(Index) >= FGridCalcList.size())
        return {};
    return FGridCalcList[Index];
}
