#include "results/PlanBalanceUnit.h"

#include "analysis/MethodComparison.h"
#include "controls/ProgressRun.h"
#include "model/DataUnit.h"
#include "platform/NumberFormat.h"
#include "results/ResultGlyphs.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include <cmath>

namespace {

QPointer<TPlanBalanceForm> gShared;

void DeleteShared() {
    delete gShared.data();
}

QString Volume(int64_t V) {
    return QString::fromStdString(FormatThousands(static_cast<double>(V), 0));
}

const char* const kRoundNames[] = {"四捨五入", "切り捨て", "切り上げ"};
const char* const kRateNames[] = {"切土補正", "盛土補正"};

// A whole number of m³ in the user's number format; false for anything else.
bool ParseTarget(const QString& Text, int64_t& Value) {
    const long double v = ParseFloatDef(Text.toStdString(), NAN);
    if (!std::isfinite(v) || v != std::floor(v) || std::fabs(v) > 1e15L)
        return false;
    Value = static_cast<int64_t>(v);
    return true;
}

} // namespace

TPlanBalanceForm& SharedPlanBalanceForm() {
    if (!gShared) {
        gShared = new TPlanBalanceForm;
        qAddPostRoutine(DeleteShared);
    }
    return *gShared;
}

TPlanBalanceForm::TPlanBalanceForm(QWidget* AOwner) : QDialog(AOwner) {
    setWindowTitle(QStringLiteral("計画高調整"));
    QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
    f.setPixelSize(12);
    setFont(f);

    QFont labelFont(QStringLiteral("ＭＳ Ｐゴシック"));
    labelFont.setPixelSize(14);
    QFont editFont(QStringLiteral("ＭＳ ゴシック"));
    editFont.setPixelSize(12);
    auto label = [&](const QString& Text) {
        auto* l = new QLabel(Text, this);
        l->setFont(labelFont);
        return l;
    };
    auto edit = [&](bool ReadOnly) {
        auto* e = new QLineEdit(this);
        e->setFont(editFont);
        e->setReadOnly(ReadOnly);
        e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        e->setFixedSize(120, 20);
        if (ReadOnly)
            e->setFocusPolicy(Qt::NoFocus);
        return e;
    };
    auto unit = [&](const QString& Text) {
        auto* l = new QLabel(Text, this);
        return l;
    };

    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    SettingsLabel = new QLabel(this);
    grid->addWidget(SettingsLabel, 0, 0, 1, 4);

    auto* now = label(QStringLiteral("現在"));
    auto* after = label(QStringLiteral("調整後"));
    grid->addWidget(now, 1, 1, Qt::AlignCenter);
    grid->addWidget(after, 1, 2, Qt::AlignCenter);
    FillEdit = edit(true);
    CutEdit = edit(true);
    SurplusEdit = edit(true);
    AfterFillEdit = edit(true);
    AfterCutEdit = edit(true);
    AfterSurplusEdit = edit(true);
    const QString rowNames[] = {QStringLiteral("盛土量（補正）"), QStringLiteral("切土量（補正）"),
                                QStringLiteral("残土量（不足は－）")};
    QLineEdit* const nowEdits[] = {FillEdit, CutEdit, SurplusEdit};
    QLineEdit* const afterEdits[] = {AfterFillEdit, AfterCutEdit, AfterSurplusEdit};
    for (int r = 0; r < 3; ++r) {
        grid->addWidget(label(rowNames[r]), 2 + r, 0);
        grid->addWidget(nowEdits[r], 2 + r, 1);
        grid->addWidget(afterEdits[r], 2 + r, 2);
        grid->addWidget(unit(QStringLiteral("m³")), 2 + r, 3);
    }

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    grid->addWidget(rule, 5, 0, 1, 4);

    grid->addWidget(label(QStringLiteral("目標残土量")), 6, 0);
    TargetEdit = edit(false);
    grid->addWidget(TargetEdit, 6, 1);
    SearchButton = new QPushButton(ResultGlyphs::Level(), QStringLiteral("計算"), this);
    SearchButton->setAutoDefault(false);
    grid->addWidget(SearchButton, 6, 2);
    grid->addWidget(unit(QStringLiteral("m³（不足は－）")), 6, 3);

    grid->addWidget(label(QStringLiteral("計画高の調整量 Δh")), 7, 0);
    ShiftEdit = edit(true);
    grid->addWidget(ShiftEdit, 7, 1);
    grid->addWidget(unit(QStringLiteral("m")), 7, 2);
    grid->addWidget(label(QStringLiteral("目標との差")), 8, 0);
    RemainingEdit = edit(true);
    grid->addWidget(RemainingEdit, 8, 1);
    grid->addWidget(unit(QStringLiteral("m³")), 8, 2);

    MessageLabel = new QLabel(this);
    MessageLabel->setWordWrap(true);
    MessageLabel->setMinimumHeight(34);
    MessageLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(MessageLabel, 9, 0, 1, 4);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    ApplyButton = new QPushButton(QStringLiteral("適用"), this);
    CancelButton = new QPushButton(QStringLiteral("キャンセル"), this);
    ApplyButton->setFixedSize(97, 25);
    CancelButton->setFixedSize(97, 25);
    ApplyButton->setAutoDefault(false);
    CancelButton->setAutoDefault(false);
    buttons->addWidget(ApplyButton);
    buttons->addWidget(CancelButton);
    grid->addLayout(buttons, 10, 0, 1, 4);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(SearchButton, &QPushButton::clicked, this, &TPlanBalanceForm::SearchButtonClick);
    connect(TargetEdit, &QLineEdit::returnPressed, this, &TPlanBalanceForm::SearchButtonClick);
    // A target typed but not yet searched for leaves no shift to apply.
    connect(TargetEdit, &QLineEdit::textEdited, this, [this]() {
        ClearResult();
        ShowMessage(QStringLiteral("「計算」で目標残土量に合う調整量を求めます。"), false);
    });
    connect(ApplyButton, &QPushButton::clicked, this, &TPlanBalanceForm::ApplyButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TPlanBalanceForm::SetInputData(TInputData& Value) {
    FInputData = &Value;
    const int round = Value.RoundType() >= 0 && Value.RoundType() <= 2 ? Value.RoundType() : 0;
    SettingsLabel->setText(QStringLiteral("計算方法: %1　端数処理: %2　補正: %3")
                               .arg(QString::fromUtf8(CalcMethodName(Value.CalcType())),
                                    QString::fromUtf8(kRoundNames[round]),
                                    QString::fromUtf8(kRateNames[Value.RateType() == 1 ? 1 : 0])));
    // The project's figures as they stand, from its results while it has them, so that a
    // search cancelled on opening still shows them (the search finds the same ones).
    if (Value.GetPhase(2)) {
        const TVolumeTotals now = VolumeTotals(Value);
        FillEdit->setText(Volume(now.BV[1]));
        CutEdit->setText(Volume(now.CV[1][0]));
        SurplusEdit->setText(Volume(now.Surplus()));
    } else {
        for (QLineEdit* e : {FillEdit, CutEdit, SurplusEdit})
            e->clear();
    }
    TargetEdit->setText(QStringLiteral("0"));
    Search(0);
    TargetEdit->setFocus();
    TargetEdit->selectAll();
}

bool TPlanBalanceForm::Execute() {
    return exec() == QDialog::Accepted;
}

void TPlanBalanceForm::SearchButtonClick() {
    int64_t target = 0;
    if (!ParseTarget(TargetEdit->text(), target)) {
        ClearResult();
        ShowMessage(QStringLiteral("目標残土量は m³ の整数で入力してください（不足は－）。"), true);
        TargetEdit->setFocus();
        TargetEdit->selectAll();
        return;
    }
    Search(target);
}

void TPlanBalanceForm::Search(int64_t Target) {
    if (!FInputData)
        return;
    // Each shift tried is a calculation of the whole site: a large one takes a while. The box
    // belongs to the window the user is in (this one is not shown yet on opening).
    const TInputData& project = *FInputData;
    TPlanBalance found;
    if (!RunWithProgress(isVisible() ? this : QApplication::activeWindow(), windowTitle(),
                         QStringLiteral("調整量を求めています..."), [&](const TProgress& Progress) {
                             found = FindPlanBalance(project, Target, Progress);
                         })) {
        // Nothing found is shown, not the figures of an earlier search. The current figures
        // stay: the project did not change.
        ClearResult();
        ShowMessage(QStringLiteral("調整量の計算を中止しました。「計算」でやり直せます。"), true);
        return;
    }
    FBalance = std::move(found);
    ShowBalance();
}

void TPlanBalanceForm::ClearResult() {
    FBalance.Found = false;
    for (QLineEdit* e : {AfterFillEdit, AfterCutEdit, AfterSurplusEdit, ShiftEdit, RemainingEdit})
        e->clear();
    ApplyButton->setEnabled(false);
}

void TPlanBalanceForm::ShowBalance() {
    const TPlanBalance& b = FBalance;
    FillEdit->setText(Volume(b.Before.BV[1]));
    CutEdit->setText(Volume(b.Before.CV[1][0]));
    SurplusEdit->setText(Volume(b.Before.Surplus()));
    if (!b.Found) {
        const std::string message = b.Message;
        ClearResult();
        ShowMessage(QString::fromStdString(message), true);
        return;
    }
    AfterFillEdit->setText(Volume(b.After.BV[1]));
    AfterCutEdit->setText(Volume(b.After.CV[1][0]));
    AfterSurplusEdit->setText(Volume(b.After.Surplus()));
    ShiftEdit->setText(QString::fromStdString(ShiftText(b.ShiftMm)));
    RemainingEdit->setText(Volume(b.Remaining()));
    ShowMessage(b.ShiftMm == 0 ? QStringLiteral("いまの計画高のままが最も目標に近くなります。")
                               : QStringLiteral("「適用」で全メッシュの計画高を Δh だけ動かし、"
                                                "再計算します。"),
                false);
    ApplyButton->setEnabled(b.ShiftMm != 0);
}

void TPlanBalanceForm::ShowMessage(const QString& Text, bool Failure) {
    QPalette pal = palette();
    if (Failure)
        pal.setColor(QPalette::WindowText, QColor(200, 0, 0));
    MessageLabel->setPalette(pal);
    MessageLabel->setText(Text);
}

void TPlanBalanceForm::ApplyButtonClick() {
    if (!FInputData || !FBalance.Found)
        return;
    ShiftPlannedHeights(*FInputData, FBalance.Shift());
    accept();
}

void TPlanBalanceForm::hideEvent(QHideEvent* Event) {
    QDialog::hideEvent(Event);
    // The project is lent for one showing only.
    if (!Event->spontaneous())
        FInputData = nullptr;
}
