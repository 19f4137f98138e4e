#include "results/MethodCompareUnit.h"

#include "controls/ProgressRun.h"
#include "controls/StringGrid.h"
#include "model/DataUnit.h"
#include "results/CellStyle.h"
#include "results/ResultGlyphs.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

namespace {

const QColor GridColor(255, 255, 128);
const QColor White(255, 255, 255);
const QColor OwnColor(224, 255, 255); // the project's own method
const QColor HeadColor(240, 240, 240);

constexpr int kLabelWidth = 150, kVolumeWidth = 92, kDiffWidth = 82, kPercentWidth = 66;
constexpr int kRowHeight = 22, kHeadRows = 2, kMargin = 8;

const char* const kRoundNames[] = {"四捨五入", "切り捨て", "切り上げ"};
const char* const kRateNames[] = {"切土補正", "盛土補正"};

void Paint(QWidget* W, const QColor& Color) {
    W->setAutoFillBackground(true);
    QPalette pal = W->palette();
    pal.setColor(QPalette::Window, Color);
    pal.setColor(QPalette::Base, Color);
    W->setPalette(pal);
}

QString Q(const std::string& Text) {
    return QString::fromStdString(Text);
}

QPointer<TMethodCompareForm> gShared;

void DeleteShared() {
    delete gShared.data();
}

} // namespace

TMethodCompareForm& SharedMethodCompareForm() {
    if (!gShared) {
        gShared = new TMethodCompareForm;
        qAddPostRoutine(DeleteShared);
    }
    return *gShared;
}

TMethodCompareForm::TMethodCompareForm(QWidget* AOwner) : QDialog(AOwner) {
    setWindowTitle(QStringLiteral("計算方法の比較"));
    QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
    f.setPixelSize(12);
    setFont(f);

    SettingsLabel = new QLabel(this);
    SettingsLabel->move(kMargin, kMargin);

    StringGrid1 = new TStringGrid(1 + 3 * CalcMethodCount, kHeadRows, this);
    StringGrid1->SetFixed(0, 0);
    StringGrid1->setFrameShape(QFrame::Panel);
    StringGrid1->setFrameShadow(QFrame::Sunken);
    StringGrid1->setLineWidth(2);
    StringGrid1->setShowGrid(false);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionMode(QAbstractItemView::NoSelection);
    StringGrid1->setFocusPolicy(Qt::NoFocus);
    StringGrid1->SetDefaultRowHeight(kRowHeight);
    Paint(StringGrid1, GridColor);
    Paint(StringGrid1->viewport(), GridColor);
    StringGrid1->SetOnDrawCell([this](QPainter& P, const QRect& R, int Col, int Row) {
        DrawStyledCell(StringGrid1, P, Col, Row, R);
    });
    StringGrid1->SetColWidth(0, kLabelWidth);
    for (int m = 0; m < CalcMethodCount; ++m) {
        StringGrid1->SetColWidth(VolumeColumn(m), kVolumeWidth);
        StringGrid1->SetColWidth(VolumeColumn(m) + 1, kDiffWidth);
        StringGrid1->SetColWidth(VolumeColumn(m) + 2, kPercentWidth);
        StringGrid1->setSpan(0, VolumeColumn(m), 1, 3);
    }

    CloseButton = new QPushButton(ResultGlyphs::Close(), QStringLiteral("閉じる"), this);
    CloseButton->setAutoDefault(false);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
}

bool TMethodCompareForm::SetInputData(const TInputData& Value) {
    // Three calculations of the whole site: a large one takes a while. The box belongs to the
    // window the user is in (this one is not shown yet).
    TMethodComparison comparison;
    if (!RunWithProgress(
            isVisible() ? this : QApplication::activeWindow(), windowTitle(),
            QStringLiteral("計算方法を比較しています..."),
            [&](const TProgress& Progress) { comparison = CompareMethods(Value, Progress); }))
        return false;
    FTable = BuildComparisonTable(Value, comparison);
    const int round = Value.RoundType() >= 0 && Value.RoundType() <= 2 ? Value.RoundType() : 0;
    SettingsLabel->setText(
        QStringLiteral(
            "端数処理: %1　補正: %2　　差と差(%)は、この工事の計算方法（%3）に対する値です。")
            .arg(Q(kRoundNames[round]), Q(kRateNames[Value.RateType() == 1 ? 1 : 0]),
                 Q(FTable.MethodNames[FTable.OwnMethod])));
    SettingsLabel->adjustSize();
    BuildGrid();
    return true;
}

void TMethodCompareForm::BuildGrid() {
    TStringGrid* g = StringGrid1;
    ClearCellStyles(g);
    const int rows = kHeadRows + static_cast<int>(FTable.Rows.size());
    g->setRowCount(rows);
    g->SetDefaultRowHeight(kRowHeight);
    auto cell = [g](int Col, int Row, const std::string& Text, int32_t Frame, uint8_t Align,
                    const QColor& Color) {
        SetCellStyle(g, Col, Row, NewCellStyle(Frame, Align, Color));
        SetCellText(g, Col, Row, Q(Text));
    };
    auto bold = [g](int Col, int Row) {
        if (QFont* font = CellFont(g, Col, Row)) {
            font->setFamily(QStringLiteral("ＭＳ ゴシック"));
            font->setBold(true);
            font->setPixelSize(14);
        }
    };

    cell(0, 0, "", cfFlat, caLeft, GridColor);
    cell(0, 1, "", cfFlat, caLeft, GridColor);
    for (int m = 0; m < CalcMethodCount; ++m) {
        const bool own = m == FTable.OwnMethod;
        const int c = VolumeColumn(m);
        cell(c, 0, FTable.MethodNames[m] + (own ? "（この工事）" : ""), cfThinRaised, caCenter,
             own ? OwnColor : HeadColor);
        bold(c, 0);
        cell(c, 1, "土量", cfFlat, caCenter, GridColor);
        cell(c + 1, 1, own ? "" : "差", cfFlat, caCenter, GridColor);
        cell(c + 2, 1, own ? "" : "差(%)", cfFlat, caCenter, GridColor);
    }
    for (size_t i = 0; i < FTable.Rows.size(); ++i) {
        const TComparisonTable::TRow& r = FTable.Rows[i];
        const int row = kHeadRows + static_cast<int>(i);
        cell(0, row, r.Label, cfFlat, caLeft, GridColor);
        if (r.Section || r.Emphasis)
            bold(0, row);
        for (int m = 0; m < CalcMethodCount; ++m) {
            const int c = VolumeColumn(m);
            const bool own = m == FTable.OwnMethod;
            if (r.Section) {
                for (int k = 0; k < 3; ++k)
                    cell(c + k, row, "", cfFlat, caLeft, GridColor);
                continue;
            }
            cell(c, row, r.Volume[m], cfSunkenBox, caRight, own ? OwnColor : White);
            if (r.Emphasis)
                bold(c, row);
            cell(c + 1, row, r.Difference[m], own ? cfFlat : cfThinSunken, caRight,
                 own ? GridColor : White);
            cell(c + 2, row, r.Percent[m], own ? cfFlat : cfThinSunken, caRight,
                 own ? GridColor : White);
        }
    }

    const int frame = 2 * g->frameWidth();
    int width = frame;
    for (int c = 0; c < g->columnCount(); ++c)
        width += g->columnWidth(c);
    const int top = SettingsLabel->y() + SettingsLabel->height() + 6;
    const int height = frame + rows * g->rowHeight(0);
    g->setGeometry(kMargin, top, width, height);
    const int bottom = top + height + 8;
    CloseButton->setGeometry(kMargin + width - 95, bottom, 95, 27);
    setFixedSize(std::max(width, SettingsLabel->width()) + 2 * kMargin, bottom + 27 + kMargin);
}

void TMethodCompareForm::Execute() {
    exec();
}
