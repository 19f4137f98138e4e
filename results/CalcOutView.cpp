#include "CalcOutView.h"

#include "analysis/PlanBalance.h"
#include "controls/MessageBoxes.h"
#include "controls/ProgressRun.h"
#include "controls/StringGrid.h"
#include "controls/UndoActions.h"
#include "model/DataUnit.h"
#include "model/RateCalc.h"
#include "results/CalcOutDetailUnit.h"
#include "results/CellStyle.h"
#include "results/CsvFile.h"
#include "results/MethodCompareUnit.h"
#include "results/PlanBalanceUnit.h"
#include "results/RateCalcUnit.h"
#include "results/ResultGlyphs.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QHideEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QShowEvent>
#include <QUndoCommand>
#include <QUndoStack>

#include <array>
#include <cstring>
#include <memory>
#include <vector>

TCalcOutForm* CalcOutForm = nullptr;

void WarnSaturatedMeshes(QWidget* Parent, const TInputData& Data) {
    const std::string text = SaturationWarning(Data);
    if (text.empty())
        return;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("メッセージ"),
                    QString::fromStdString(text), QMessageBox::Ok, Parent);
    box.exec();
}

namespace {

const QColor GridColor(255, 255, 128);
const QColor White(255, 255, 255);

// "土量計算集計表" in raised, shaded lettering on the grid colour.
QPixmap TitlePicture() {
    QPixmap pm(312, 35);
    pm.fill(GridColor);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QFont f(QStringLiteral("ＭＳ 明朝"));
    f.setPixelSize(28);
    f.setBold(true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 8);
    const QString text = QStringLiteral("土量計算集計表");
    QPainterPath path;
    path.addText(0, 0, f, text);
    const QRectF box = path.boundingRect();
    path.translate((pm.width() - box.width()) / 2 - box.left(),
                   (pm.height() - box.height()) / 2 - box.top());
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 140, 60));
    p.drawPath(path.translated(2, 2)); // shadow
    QLinearGradient fill(0, 0, 0, pm.height());
    fill.setColorAt(0, QColor(40, 90, 200));
    fill.setColorAt(1, QColor(10, 30, 110));
    p.setBrush(fill);
    p.setPen(QPen(QColor(255, 255, 255), 0.8));
    p.drawPath(path);
    return pm;
}

// A change of the project by one of the summary's tools as one undo step: the inputs it changed
// before and after, and whether the project had results then. A state is put back through the
// model, so the phases follow, and calculated again where it had results (the same inputs give
// the same results). The step is made at its construction (the before) and Finish (the after),
// and pushed once the change is made: its first redo has nothing to do.
class TProjectStep : public QUndoCommand {
public:
    TProjectStep(TInputData& Data, const QString& Changed)
        : FData(Data), FChanged(Changed), FResults{Data.GetPhase(2), false} {}
    // What the title names when the state put back has no results.
    const QString& Changed() const { return FChanged; }
    // Takes the state after the change; false when the inputs did not change.
    bool Finish() {
        FResults[1] = FData.GetPhase(2);
        return TakeAfter();
    }
    void undo() override { Put(false); }
    void redo() override {
        if (FMade)
            FMade = false;
        else
            Put(true);
    }

protected:
    virtual bool TakeAfter() = 0;
    virtual void PutInputs(bool After) = 0;
    static bool Same(double A, double B) { return std::memcmp(&A, &B, sizeof A) == 0; }

    TInputData& FData;

private:
    void Put(bool After) {
        PutInputs(After);
        if (FResults[After] && !FData.GetPhase(2))
            FData.Calcrate();
    }

    QString FChanged;
    bool FResults[2];
    bool FMade = true;
};

// The simulator's rates: the soil table's change rates.
class TRateStep : public TProjectStep {
public:
    explicit TRateStep(TInputData& Data)
        : TProjectStep(Data, QStringLiteral("変化率")), FRates{Rates(Data), {}} {
        setText(QStringLiteral("変化率の適用"));
    }

private:
    using TRates = std::array<double, TInputData::SolidCount>;
    static TRates Rates(const TInputData& Data) {
        TRates r;
        for (int i = 0; i < TInputData::SolidCount; ++i)
            r[i] = Data.GetSolidValue(i, 0);
        return r;
    }
    bool TakeAfter() override {
        FRates[1] = Rates(FData);
        for (int i = 0; i < TInputData::SolidCount; ++i)
            if (!Same(FRates[0][i], FRates[1][i]))
                return true;
        return false;
    }
    void PutInputs(bool After) override {
        const TRates& r = FRates[After];
        const TRates now = Rates(FData);
        bool changed = false;
        for (int i = 0; i < TInputData::SolidCount; ++i) {
            if (Same(now[i], r[i]))
                continue;
            FData.SetSolidValue(i, 0, r[i]);
            changed = true;
        }
        // As storing rates does: the volumes of the others are no longer the results.
        if (changed)
            FData.SetPhase(2, false);
    }

    TRates FRates[2];
};

// The plan balance's shift: every planned height.
class TPlanStep : public TProjectStep {
public:
    explicit TPlanStep(TInputData& Data)
        : TProjectStep(Data, QStringLiteral("計画高")), FPlan{Plan(Data), {}} {}

private:
    static std::vector<double> Plan(const TInputData& Data) {
        std::vector<double> fh;
        fh.reserve(Data.GridList().size());
        for (const TGridData& g : Data.GridList())
            fh.push_back(g.FH);
        return fh;
    }
    bool TakeAfter() override {
        FPlan[1] = Plan(FData);
        for (size_t i = 0; i < FPlan[0].size() && i < FPlan[1].size(); ++i)
            if (!Same(FPlan[0][i], FPlan[1][i]))
                return true;
        return false;
    }
    void PutInputs(bool After) override {
        // Steps are taken back in order, so the list is as long as when this one was taken;
        // each changed height goes back through SetMeshData, which ends the results.
        const std::vector<double>& fh = FPlan[After];
        const size_t n = std::min(fh.size(), FData.GridList().size());
        for (size_t i = 0; i < n; ++i) {
            TGridData g = FData.GridList()[i];
            if (g.DelFlg || Same(g.FH, fh[i]))
                continue;
            g.Index = static_cast<int32_t>(i + 1);
            g.FH = fh[i];
            FData.SetMeshData(g);
        }
    }

    std::vector<double> FPlan[2];
};

void Paint(QWidget* W, const QColor& Color) {
    W->setAutoFillBackground(true);
    QPalette pal = W->palette();
    pal.setColor(QPalette::Window, Color);
    pal.setColor(QPalette::Base, Color);
    W->setPalette(pal);
}

} // namespace

TCalcOutForm::TCalcOutForm(QWidget* AOwner) : QDialog(AOwner) {
    setWindowTitle(QStringLiteral("計算結果"));
    QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
    f.setPixelSize(12);
    setFont(f);
    // A second row of buttons below the bar: the plan balance under the simulator, the
    // comparison of the methods beside it.
    setFixedSize(439, 334 + 31);
    move(FPlace);

    // The client panel: a 4 pixel border, then a lowered bevel 2 wide around the contents.
    Panel1 = new QWidget(this);
    Panel1->setGeometry(0, 0, 439, 297);
    auto* bevel = new QFrame(Panel1);
    bevel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bevel->setLineWidth(2);
    bevel->setGeometry(4, 4, 431, 289);
    auto* band = new QWidget(bevel);
    band->setGeometry(2, 2, 427, 47);
    Paint(band, GridColor);
    Image1 = new QLabel(band);
    Image1->setGeometry(57, 2, 312, 35);
    Image1->setPixmap(TitlePicture());
    auto* margin = new QWidget(bevel);
    margin->setGeometry(2, 49, 23, 238);
    Paint(margin, GridColor);

    StringGrid1 = new TStringGrid(4, 5, bevel);
    StringGrid1->setGeometry(25, 49, 404, 238);
    StringGrid1->SetFixed(0, 0);
    StringGrid1->setFrameShape(QFrame::NoFrame);
    StringGrid1->setShowGrid(false);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionMode(QAbstractItemView::NoSelection);
    StringGrid1->setFocusPolicy(Qt::NoFocus);
    StringGrid1->SetDefaultRowHeight(22);
    Paint(StringGrid1, GridColor);
    Paint(StringGrid1->viewport(), GridColor);
    StringGrid1->SetOnDrawCell([this](QPainter& P, const QRect& R, int Col, int Row) {
        StringGrid1DrawCell(P, R, Col, Row);
    });

    auto button = [this](const QString& Text, int X, int W) {
        auto* b = new QPushButton(Text, this);
        b->setGeometry(X, 297 + 4, W, 27);
        b->setAutoDefault(false);
        return b;
    };
    BitBtn3 = button(QStringLiteral("詳細"), 10, 75);
    BitBtn4 = button(QStringLiteral("変化率調整計算"), 98, 121);
    BitBtn4->setIcon(ResultGlyphs::Balance());
    BitBtn2 = button(QStringLiteral("CSV出力"), 230, 93);
    BitBtn2->setIcon(ResultGlyphs::Csv());
    BitBtn1 = button(QStringLiteral("閉じる"), 346, 89);
    BitBtn1->setIcon(ResultGlyphs::Close());
    BitBtn6 = button(QStringLiteral("計画高調整"), 98, 121);
    BitBtn6->move(98, 297 + 35);
    BitBtn6->setIcon(ResultGlyphs::Level());
    BitBtn5 = button(QStringLiteral("計算方法の比較"), 230, 121);
    BitBtn5->move(230, 297 + 35);
    BitBtn5->setIcon(ResultGlyphs::Compare());
    // Under the first and the last button of the bar, as far apart as the two steps are.
    UndoButton = button(QStringLiteral("元に戻す"), 10, 75);
    UndoButton->move(10, 297 + 35);
    RedoButton = button(QStringLiteral("やり直し"), 346, 89);
    RedoButton->move(346, 297 + 35);
    const TUndoActions actions =
        MakeUndoActions(this, UndoButton, RedoButton, [this](bool Undo) { TakeStep(Undo); });
    ActUndo = actions.Undo;
    ActRedo = actions.Redo;
    ShowUndoState();
    connect(BitBtn3, &QPushButton::clicked, this, &TCalcOutForm::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TCalcOutForm::BitBtn4Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TCalcOutForm::BitBtn2Click);
    connect(BitBtn5, &QPushButton::clicked, this, &TCalcOutForm::BitBtn5Click);
    connect(BitBtn6, &QPushButton::clicked, this, &TCalcOutForm::BitBtn6Click);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
}

TCalcOutForm::~TCalcOutForm() {
    if (CalcOutForm == this)
        CalcOutForm = nullptr;
}

void TCalcOutForm::SetInputData(TInputData& Value, QUndoStack* Steps) {
    FInputData = &Value;
    FSummary = BuildCalcSummary(Value);
    if (FUndoStack != Steps) {
        if (FUndoStack)
            disconnect(FUndoStack, nullptr, this, nullptr);
        FUndoStack = Steps;
        if (Steps) {
            connect(Steps, &QUndoStack::indexChanged, this, &TCalcOutForm::ShowUndoState);
            connect(Steps, &QUndoStack::canUndoChanged, this, &TCalcOutForm::ShowUndoState);
            connect(Steps, &QUndoStack::canRedoChanged, this, &TCalcOutForm::ShowUndoState);
        }
    }
    ShowUndoState();
}

void TCalcOutForm::ShowUndoState() {
    const bool undo = FUndoStack && FUndoStack->canUndo();
    const bool redo = FUndoStack && FUndoStack->canRedo();
    UndoButton->setEnabled(undo);
    RedoButton->setEnabled(redo);
    ActUndo->setEnabled(undo);
    ActRedo->setEnabled(redo);
    UndoButton->setToolTip(undo ? QStringLiteral("元に戻す: ") + FUndoStack->undoText()
                                : QString());
    RedoButton->setToolTip(redo ? QStringLiteral("やり直し: ") + FUndoStack->redoText()
                                : QString());
}

void TCalcOutForm::PushStep(std::unique_ptr<QUndoCommand> Step) {
    if (FUndoStack)
        FUndoStack->push(Step.release());
}

void TCalcOutForm::TakeStep(bool Undo) {
    if (!FInputData || !FUndoStack || !(Undo ? FUndoStack->canUndo() : FUndoStack->canRedo()))
        return;
    const QUndoCommand* step = FUndoStack->command(FUndoStack->index() - (Undo ? 1 : 0));
    const auto* own = dynamic_cast<const TProjectStep*>(step);
    const QString changed = own ? own->Changed() : QStringLiteral("メッシュデータ");
    RunGuarded(this, [&]() {
        // A state with results is calculated again: a large site takes a moment.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct TRestore {
            ~TRestore() { QApplication::restoreOverrideCursor(); }
        } restore;
        if (Undo)
            FUndoStack->undo();
        else
            FUndoStack->redo();
    });
    if (!FInputData)
        return;
    if (FInputData->GetPhase(2)) {
        FSummary = BuildCalcSummary(*FInputData);
        FormShow();
    } else {
        SetOutdated(true, changed);
    }
}

void TCalcOutForm::Execute() {
    exec();
}

void TCalcOutForm::showEvent(QShowEvent* Event) {
    // Placed by the frame's corner before the window appears, every time: left to itself a
    // dialog is centred on its owner, and a window manager may add a title bar to the place
    // of a window shown again.
    if (!Event->spontaneous())
        move(FPlace);
    QDialog::showEvent(Event);
    if (!Event->spontaneous())
        FormShow();
}

void TCalcOutForm::SetOutdated(bool Value, const QString& Changed) {
    setWindowTitle(
        Value ? QStringLiteral("計算結果（%1が変更されました。再計算してください）").arg(Changed)
              : QStringLiteral("計算結果"));
    for (QPushButton* b : {BitBtn2, BitBtn3, BitBtn4})
        b->setEnabled(!Value);
    QPalette pal = StringGrid1->palette();
    pal.setColor(QPalette::Text, palette().color(Value ? QPalette::Dark : QPalette::Text));
    StringGrid1->setPalette(pal);
}

void TCalcOutForm::FormShow() {
    SetOutdated(false);
    TStringGrid* g = StringGrid1;
    ClearCellStyles(g);
    if (!FInputData || FSummary.Rows.empty())
        return;
    const int L = FSummary.SurplusRow - 3;
    const bool topsoil = FSummary.TopsoilRow >= 0;
    const int last = static_cast<int>(FSummary.Rows.size()) - 1;
    const bool fillCorrection = FInputData->RateType() == 1;
    g->setRowCount(last + 1);
    g->SetDefaultRowHeight(22);
    const int widths[] = {100, 90, 60, 120};
    for (int c = 0; c < 4; ++c)
        g->SetColWidth(c, widths[c]);

    auto style = [g](int Col, int Row, int32_t Frame, uint8_t Align, const QColor& Color) {
        SetCellStyle(g, Col, Row, NewCellStyle(Frame, Align, Color));
    };
    // Labels.
    style(0, 0, cfFlat, caCenter, GridColor);
    for (int r = 1; r <= L + 3; ++r)
        style(0, r, cfFlat, caLeft, GridColor);
    if (topsoil) {
        style(0, L + 4, cfFlat, caLeft, GridColor);
        style(1, L + 4, cfFlat, caLeft, GridColor);
    }
    for (int c = 1; c <= 3; ++c)
        style(c, 0, cfFlat, caCenter, GridColor);

    FillSummaryValues();

    // Values: white boxes where a number stands.
    for (int r = 1; r <= L + 2; ++r) {
        style(1, r, cfSunkenBox, caRight, White);
        style(3, r, cfSunkenBox, caRight, White);
    }
    style(3, L + 3, cfSunkenBox, caRight, White);
    style(1, L + 3, cfFlat, caRight, GridColor);
    if (topsoil)
        style(3, L + 4, cfSunkenBox, caRight, White);
    for (int r = 1; r <= last; ++r) {
        const bool rate = fillCorrection ? r == 1 : r >= 3 && r <= L + 2;
        if (rate)
            style(2, r, cfSunkenBox, caRight, White);
        else
            style(2, r, cfFlat, caRight, GridColor);
    }

    for (auto [c, r] : {std::pair{0, 1}, {3, 1}, {0, 2}, {3, 2}, {0, L + 3}, {3, L + 3}})
        if (QFont* font = CellFont(g, c, r)) {
            font->setFamily(QStringLiteral("ＭＳ ゴシック"));
            font->setBold(true);
            font->setPixelSize(15);
        }
}

void TCalcOutForm::FillSummaryValues() {
    const int rows = std::min(StringGrid1->rowCount(), static_cast<int>(FSummary.Rows.size()));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < 4; ++c)
            SetCellText(StringGrid1, c, r, QString::fromStdString(FSummary.Rows[r][c]));
}

void TCalcOutForm::StringGrid1DrawCell(QPainter& Painter, const QRect& Rect, int Col,
                                       int Row) const {
    DrawStyledCell(StringGrid1, Painter, Col, Row, Rect);
}

void TCalcOutForm::BitBtn2Click() {
    const QString name = AskCsvFileName(this);
    if (name.isEmpty())
        return;
    RunGuarded(this, [&]() { WriteCsvText(name, CalcSummaryCsvText(FSummary)); });
}

void TCalcOutForm::BitBtn3Click() {
    if (!FInputData || !CalcAllForm)
        return;
    CalcAllForm->SetInputData(*FInputData);
    CalcAllForm->Execute();
}

void TCalcOutForm::BitBtn4Click() {
    if (!FInputData || !TargetRateCalcForm)
        return;
    auto step = std::make_unique<TRateStep>(*FInputData);
    TargetRateCalcForm->SetInputData(*FInputData);
    if (!TargetRateCalcForm->Execute()) {
        // "適用" stored rates without a calculation, which ended the results shown here.
        if (FInputData && step->Finish())
            PushStep(std::move(step));
        if (FInputData && !FInputData->GetPhase(2))
            SetOutdated(true);
        return;
    }
    // Cancelled or failed, the old rates and results stay, and so does the table.
    if (Recalculate([](TInputData& Project, const TProgress& Progress) {
            ApplyRateSimulationAndRecalc(Project, TargetRateCalcForm->Simulation(), Progress);
        }) &&
        step->Finish())
        PushStep(std::move(step));
}

void TCalcOutForm::BitBtn5Click() {
    if (!FInputData)
        return;
    TMethodCompareForm& form = SharedMethodCompareForm();
    bool ready = false;
    if (RunGuarded(this, [&]() { ready = form.SetInputData(*FInputData); }) && ready)
        form.Execute();
}

void TCalcOutForm::BitBtn6Click() {
    if (!FInputData)
        return;
    TPlanBalanceForm& form = SharedPlanBalanceForm();
    auto step = std::make_unique<TPlanStep>(*FInputData);
    bool applied = false;
    RunGuarded(this, [&]() {
        form.SetInputData(*FInputData);
        applied = form.Execute();
    });
    if (!applied || !FInputData)
        return;
    step->setText(QStringLiteral("計画高の調整 %1 m")
                      .arg(QString::fromStdString(ShiftText(form.Balance().ShiftMm))));
    // The plan moved: the results of the old one are gone (phase 2 cleared); calculate anew.
    // Cancelled, the project keeps the moved plan without results, as after "適用" of rates.
    if (!Recalculate(
            [](TInputData& Project, const TProgress& Progress) { Project.Calcrate(Progress); }) &&
        FInputData && !FInputData->GetPhase(2))
        SetOutdated(true, QStringLiteral("計画高"));
    if (FInputData && step->Finish())
        PushStep(std::move(step));
}

bool TCalcOutForm::Recalculate(const std::function<void(TInputData&, const TProgress&)>& Work) {
    if (!FInputData)
        return false;
    TInputData& project = *FInputData;
    bool done = false;
    RunGuarded(this, [&]() {
        done = RunWithProgress(this, windowTitle(), QStringLiteral("計算しています..."), project,
                               [&](const TProgress& Progress) { Work(project, Progress); });
    });
    if (!done || !FInputData)
        return false;
    WarnSaturatedMeshes(this, *FInputData);
    FSummary = BuildCalcSummary(*FInputData);
    FillSummaryValues();
    return true;
}

void TCalcOutForm::hideEvent(QHideEvent* Event) {
    if (!Event->spontaneous())
        FPlace = pos();
    QDialog::hideEvent(Event);
    // The project and its steps are lent for one showing only.
    if (!Event->spontaneous()) {
        FInputData = nullptr;
        if (FUndoStack)
            disconnect(FUndoStack, nullptr, this, nullptr);
        FUndoStack = nullptr;
        ShowUndoState();
    }
}
