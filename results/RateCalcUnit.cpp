#include "RateCalcUnit.h"

#include "controls/ArrowMark.h"
#include "controls/FittedText.h"
#include "controls/MessageBoxes.h"
#include "controls/ProgressRun.h"
#include "platform/NumberFormat.h"
#include "results/ResultGlyphs.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>

TTargetRateCalcForm* TargetRateCalcForm = nullptr;

namespace {

// "%7.3f" and "%13.0n": right-justified in a fixed-width font, so the digits line up.
QString RateText(double Value) {
    return QString::fromStdString(FormatFixed(Value, 3)).rightJustified(7, QLatin1Char(' '));
}
QString VolumeText(double Value) {
    return QString::fromStdString(FormatThousands(Value, 0)).rightJustified(13, QLatin1Char(' '));
}

// A figure in a read-only edit: a number wider than the edit is shown in a smaller font rather
// than scrolled, which would hide its leading digits.
void ShowFigure(QLineEdit* Edit, const QString& Text, const QFont& Font) {
    const int frame = Edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, Edit);
    const qreal room = Edit->width() - 2 * frame - 4; // and the edit's own margin of 2
    TFittedText fit = FitText(Font, Text, room);
    if (fit.Font != Font)
        fit = FitText(Font, Text.trimmed(), room);
    Edit->setFont(fit.Font);
    Edit->setText(fit.Text);
}

} // namespace

TTargetRateCalcForm::TTargetRateCalcForm(QWidget* AOwner) : QDialog(AOwner) {
    setWindowTitle(QStringLiteral("変化率シミュレータ"));
    QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
    f.setPixelSize(12);
    setFont(f);
    setFixedSize(325, 187);
    move(FPlace);

    QFont labelFont(QStringLiteral("ＭＳ Ｐゴシック"));
    labelFont.setPixelSize(14);
    auto label = [this, &labelFont](const QString& Text, int X, int Y) {
        auto* l = new QLabel(Text, this);
        l->setFont(labelFont);
        l->adjustSize();
        l->move(X, Y);
        return l;
    };
    FEditFont = QFont(QStringLiteral("ＭＳ ゴシック"));
    FEditFont.setPixelSize(12);
    auto edit = [this](int X, int Y, int W) {
        auto* e = new QLineEdit(this);
        e->setGeometry(X, Y, W, 20);
        e->setFont(FEditFont);
        e->setReadOnly(true);
        e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        e->setTextMargins(0, 0, 0, 0);
        return e;
    };

    label(QStringLiteral("変化率"), 51, 12);
    label(QStringLiteral("土量"), 136, 12);
    label(QStringLiteral("現在"), 12, 31);
    RateEdit = edit(48, 28, 49);
    DoryouEdit = edit(104, 28, 93);
    ArrowMark1 = new TArrowMark(this);
    ArrowMark1->setGeometry(104, 48, 93, 29);
    ArrowMark1->SetArrowKind(ak_Virtical);
    ArrowMark1->SetArrowTip(ak_Single);
    ArrowMark1->SetArrowWidth(6);
    ArrowMark1->SetArrowLength(14);
    ArrowMark1->SetArrowSize(15);
    ArrowMark1->SetArrowCurve(0);
    label(QStringLiteral("修正"), 12, 83);
    AmendRateEdit = edit(48, 80, 49);
    AmendDoryouEdit = edit(104, 80, 93);
    label(QStringLiteral("目標土量"), 12, 107);
    TargetEdit = edit(104, 104, 93);

    CutGroup = new QGroupBox(QStringLiteral("切土変更対象"), this);
    CutGroup->setGeometry(212, 4, 105, 121);
    const QString names[] = {QStringLiteral("１層変化率"), QStringLiteral("２層変化率"),
                             QStringLiteral("３層変化率"), QStringLiteral("４層変化率"),
                             QStringLiteral("５層変化率")};
    for (int t = 0; t < 5; ++t) {
        CheckBox[t] = new QCheckBox(names[t], CutGroup);
        CheckBox[t]->setGeometry(12, 16 + 20 * t, 89, 17);
        connect(CheckBox[t], &QCheckBox::toggled, this, &TTargetRateCalcForm::CheckBox1Click);
    }

    Label7 = new QLabel(QStringLiteral("切り土補正の場合変化率は平均値が表示されています。"), this);
    Label7->setAutoFillBackground(true);
    QPalette pal = Label7->palette();
    pal.setColor(QPalette::Window, QColor(255, 255, 0));
    Label7->setPalette(pal);
    Label7->adjustSize();
    Label7->move(12, 140);

    auto button = [this](const QString& Text, int X, int W) {
        auto* b = new QPushButton(Text, this);
        b->setGeometry(X, 156, W, 25);
        return b;
    };
    BitBtn1 = button(QStringLiteral("適用後再計算"), 8, 117);
    BitBtn1->setIcon(ResultGlyphs::Balance());
    BitBtn1->setDefault(true);
    BitBtn2 = button(QStringLiteral("適用"), 132, 81);
    BitBtn3 = button(QStringLiteral("キャンセル"), 220, 97);
    BitBtn2->setAutoDefault(false);
    BitBtn3->setAutoDefault(false);
    connect(BitBtn1, &QPushButton::clicked, this, [this]() { done(mrRecalc); });
    connect(BitBtn2, &QPushButton::clicked, this, [this]() {
        BitBtn2Click();
        accept();
    });
    connect(BitBtn3, &QPushButton::clicked, this, &QDialog::reject);
}

TTargetRateCalcForm::~TTargetRateCalcForm() {
    if (TargetRateCalcForm == this)
        TargetRateCalcForm = nullptr;
}

void TTargetRateCalcForm::SetInputData(TInputData& Value) {
    FInputData = &Value;
    FSumData = Value.GetCalcTotals();
    FSim = CurrentRateSimulation(Value, FSumData);
    const bool cut = FSim.CutCorrection;
    {
        const QSignalBlocker blocks[] = {QSignalBlocker(CheckBox[0]), QSignalBlocker(CheckBox[1]),
                                         QSignalBlocker(CheckBox[2]), QSignalBlocker(CheckBox[3]),
                                         QSignalBlocker(CheckBox[4])};
        for (int t = 0; t < 5; ++t) {
            const bool exists = cut && t < Value.Layer();
            CheckBox[t]->setEnabled(exists);
            CheckBox[t]->setChecked(exists);
        }
    }
    ShowFigure(RateEdit, RateText(FSim.CurrentRate), FEditFont);
    ShowFigure(DoryouEdit, VolumeText(FSim.CurrentVolume), FEditFont);
    ShowFigure(TargetEdit, VolumeText(FSim.TargetVolume), FEditFont);
    // Figures of an earlier opening would read as this project's; without an amendment (none
    // reaches the target, or its calculation was cancelled) the fields stay empty.
    AmendRateEdit->clear();
    AmendDoryouEdit->clear();
    TInputData& project = Value;
    const TCalcTotals sum = FSumData;
    TRateSimulation sim;
    if (Amend(
            [&](const TProgress& Progress) { sim = StartRateSimulation(project, sum, Progress); }))
        FSim = sim;
    if (FSim.Amended)
        ShowAmendment();
    BitBtn1->setFocus(); // not a read-only figure, which would open selected
}

bool TTargetRateCalcForm::Amend(const std::function<void(const TProgress&)>& Work) {
    // The amended volume is a calculation of the whole site with the new rates (in the
    // project, which is then put back): a large one takes a while. The box belongs to the
    // window the user is in (this one is not shown yet on opening).
    bool done = false;
    RunGuarded(this, [&]() {
        done =
            RunWithProgress(isVisible() ? this : QApplication::activeWindow(), windowTitle(),
                            QStringLiteral("修正後の土量を計算しています..."), *FInputData, Work);
    });
    return done;
}

void TTargetRateCalcForm::ShowAmendment() {
    ShowFigure(AmendRateEdit, RateText(FSim.AmendedRate), FEditFont);
    ShowFigure(AmendDoryouEdit, VolumeText(FSim.AmendedVolume), FEditFont);
}

bool TTargetRateCalcForm::Execute() {
    return exec() == mrRecalc;
}

void TTargetRateCalcForm::CheckBox1Click() {
    RecalcAmendment();
}

void TTargetRateCalcForm::RecalcAmendment() {
    if (!FInputData || !FSim.CutCorrection)
        return;
    TLayerSelection selected{};
    for (int t = 0; t < 5; ++t)
        selected[t] = CheckBox[t]->isChecked();
    TInputData& project = *FInputData;
    TRateSimulation sim = FSim;
    bool reached = false;
    // Out of reach, cancelled or failed: the last amendment stands.
    if (!Amend([&](const TProgress& Progress) {
            reached = RecalcCutAmendment(project, FSumData, selected, sim, Progress);
        }) ||
        !reached)
        return;
    FSim = sim;
    ShowAmendment();
}

void TTargetRateCalcForm::BitBtn2Click() {
    if (FInputData)
        ApplyRateSimulation(*FInputData, FSim);
}

void TTargetRateCalcForm::showEvent(QShowEvent* Event) {
    // As the summary: at its own place each time, never centred or moved by a title bar.
    if (!Event->spontaneous())
        move(FPlace);
    QDialog::showEvent(Event);
}

void TTargetRateCalcForm::hideEvent(QHideEvent* Event) {
    if (!Event->spontaneous())
        FPlace = pos();
    QDialog::hideEvent(Event);
    // The project is lent for one showing only.
    if (!Event->spontaneous())
        FInputData = nullptr;
}
