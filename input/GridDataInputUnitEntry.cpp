// The entry row of the mesh data editor read as a mesh. A registration must never write what the
// user did not mean: mesh numbers that are missing, not whole numbers or beyond 32 bits, and
// values that are no numbers or too large for a double, are refused with a message naming the
// cell, which then gets the focus. A value outside the range a site can plausibly have is
// stored only when the user says so.

#include "GridDataInputUnit.h"

#include "controls/MessageBoxes.h"
#include "controls/StringGrid.h"
#include "model/DataUnit.h"
#include "model/PlausibleRange.h"
#include "platform/NumberFormat.h"

#include <QRegularExpression>

#include <cfloat>
#include <climits>
#include <cmath>

namespace {

constexpr int EntryRow = 1;

constexpr double HeightMin = kPlausibleHeightMin, HeightMax = kPlausibleHeightMax;
constexpr double DepthMin = kPlausibleDepthMin, DepthMax = kPlausibleDepthMax;

// A decimal number in the user's format, with an optional exponent: what ParseFloatDef reads
// when the value is in range.
bool LooksLikeNumber(const QString& Text) {
    const QString sep =
        QRegularExpression::escape(QString::fromStdString(FormatSettings().DecimalSeparator));
    const QRegularExpression re(
        QStringLiteral("^[+-]?(\\d+(%1\\d*)?|%1\\d+)([eE][+-]?\\d+)?$").arg(sep));
    return re.match(Text).hasMatch();
}

QString Metres(double Value) {
    return QString::fromStdString(FormatThousands(Value, 3));
}

} // namespace

QString TMeshInputForm::EntryCellName(int Col) const {
    QString name = StringGrid1->Cells(Col, 0);
    const qsizetype end = name.indexOf(QLatin1Char('\r'));
    return end < 0 ? name : name.left(end);
}

void TMeshInputForm::FocusEntryCell(int Col) {
    FMovingByProgram = true;
    StringGrid1->SetCurrentCell(Col, EntryRow);
    FMovingByProgram = false;
    StringGrid1->setFocus();
    // Opened with its text selected, so that typing replaces what was refused.
    static_cast<QAbstractItemView*>(StringGrid1)->edit(StringGrid1->model()->index(EntryRow, Col));
}

bool TMeshInputForm::RefuseEntryCell(int Col, const QString& Text) {
    ShowFailure(this, Text);
    FocusEntryCell(Col);
    return false;
}

bool TMeshInputForm::ReadMeshNumber(int Col, int32_t& Value) {
    const QString text = StringGrid1->Cells(Col, EntryRow).trimmed();
    const QString name = EntryCellName(Col);
    if (text.isEmpty())
        return RefuseEntryCell(
            Col, QStringLiteral("%1 が入力されていません。整数で入力してください。").arg(name));
    static const QRegularExpression whole(QStringLiteral("^[+-]?\\d+$"));
    if (!whole.match(text).hasMatch())
        return RefuseEntryCell(
            Col, QStringLiteral("%1 の「%2」は整数ではありません。整数で入力してください。")
                     .arg(name, text));
    bool ok = false;
    const qlonglong v = text.toLongLong(&ok, 10);
    if (!ok || v < INT32_MIN || v > INT32_MAX)
        return RefuseEntryCell(
            Col, QStringLiteral("%1 の「%2」は範囲外です。%3～%4 の整数で入力してください。")
                     .arg(name, text)
                     .arg(INT32_MIN)
                     .arg(INT32_MAX));
    Value = static_cast<int32_t>(v);
    return true;
}

bool TMeshInputForm::ReadMeshValue(int Col, double& Value) {
    const QString text = StringGrid1->Cells(Col, EntryRow).trimmed();
    if (!IsCellEditable(Col)) {
        // A greyed cell holds what was loaded into it; the user could not have typed there.
        Value = ReadReal(text);
        return true;
    }
    if (text.isEmpty()) {
        Value = 0.0;
        return true;
    }
    const QString name = EntryCellName(Col);
    if (!LooksLikeNumber(text))
        return RefuseEntryCell(
            Col, QStringLiteral("%1 の「%2」は数値ではありません。数値で入力してください。")
                     .arg(name, text));
    const long double v = ParseFloatDef(text.toStdString(), NAN);
    if (std::isnan(v) || !(std::fabs(v) <= static_cast<long double>(DBL_MAX)))
        return RefuseEntryCell(
            Col, QStringLiteral("%1 の「%2」は大きすぎて扱えません。").arg(name, text));
    Value = static_cast<double>(v);
    return true;
}

bool TMeshInputForm::EntryValuePlausible(int Col, double Value) {
    if (!IsCellEditable(Col))
        return true;
    // Planned and ground height always, the layer values when they are elevations.
    const bool height = Col <= 3 || (Col >= 5 && Col <= 8 && FInputData->SolidType() == 1);
    const double lo = height ? HeightMin : DepthMin;
    const double hi = height ? HeightMax : DepthMax;
    if (Value >= lo && Value <= hi)
        return true;
    const QString text =
        QStringLiteral("%1が %2 m で、通常の範囲（%3～%4 m）の外ですが、登録しますか？")
            .arg(EntryCellName(Col), Metres(Value), Metres(lo), Metres(hi));
    if (AskQuestion(this, text.toStdString(), TQuestionButtons::YesNo) == TQuestionAnswer::Yes)
        return true;
    FocusEntryCell(Col);
    return false;
}

bool TMeshInputForm::ReadEntryRowChecked(TGridData& Mesh) {
    Mesh = TGridData{};
    Mesh.Index = FInputIndex;
    if (!ReadMeshNumber(0, Mesh.X) || !ReadMeshNumber(1, Mesh.Y))
        return false;
    double* const fields[] = {&Mesh.FH,       &Mesh.GH,       &Mesh.LAYER[0],
                              &Mesh.LAYER[1], &Mesh.LAYER[2], &Mesh.LAYER[3],
                              &Mesh.LAYER[4], &Mesh.CSink,    &Mesh.BSink};
    for (int c = 2; c < 11; ++c)
        if (!ReadMeshValue(c, *fields[c - 2]))
            return false;
    for (int c = 2; c < 11; ++c)
        if (!EntryValuePlausible(c, *fields[c - 2]))
            return false;
    return true;
}
