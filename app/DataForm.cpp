#include "DataForm.h"

#include "allocation/EarthAllocationUnit.h"
#include "analysis/SiteCheck.h"
#include "app/NaviPictures.h"
#include "controls/ArrowMark.h"
#include "controls/ImageButton.h"
#include "controls/MessageBoxes.h"
#include "controls/ProgressRun.h"
#include "input/BaseDataUnit.h"
#include "input/GridDataInputUnit.h"
#include "input/InputPrintOut.h"
#include "input/SurveyImportDialog.h"
#include "model/DataUnit.h"
#include "platform/Failure.h"
#include "preview/PREVIEWUNIT02.h"
#include "results/CalcOutDetailUnit.h"
#include "results/CalcOutView.h"
#include "results/PrintOutUnit.h"
#include "sitemap/SiteMapForm.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QUndoStack>

#include <functional>

namespace {

const QColor NaviBackground(153, 204, 0);

QString ProjectFilter() {
    return QStringLiteral("土配システムデータ (*.msh);;全データ (*)");
}

std::string LocalPath(const QString& FileName) {
    return QFile::encodeName(FileName).toStdString();
}

} // namespace

TInputForm::TInputForm(QWidget* AOwner) : QMdiSubWindow(AOwner) {
    setWindowTitle(QStringLiteral("ナビゲーション"));
    setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
    f.setPixelSize(12);
    setFont(f);

    Panel1 = new QWidget;
    Panel1->setFixedSize(542, 327);
    Panel1->setAutoFillBackground(true);
    QPalette pal = Panel1->palette();
    pal.setColor(QPalette::Window, NaviBackground);
    Panel1->setPalette(pal);

    auto button = [this](const QString& label, const QColor& colour, int x, int y,
                         void (TInputForm::*handler)()) {
        auto* b = new TImageButton(Panel1);
        b->setGeometry(x, y, 112, 40);
        NaviPictures::Apply(b, label, colour);
        connect(b, &TImageButton::clicked, this, handler);
        return b;
    };
    auto arrow = [this](TArrowKind kind, int x, int y, int w, int h, int length, int curve) {
        auto* a = new TArrowMark(Panel1);
        a->setGeometry(x, y, w, h);
        a->SetArrowKind(kind);
        a->SetArrowTip(ak_Single);
        a->SetArrowWidth(10);
        a->SetArrowLength(length);
        a->SetArrowSize(20);
        a->SetArrowCurve(curve);
        return a;
    };
    auto bevel = [this](int x, int y, int w, int h) {
        auto* b = new QFrame(Panel1);
        b->setFrameShape(QFrame::Box);
        b->setFrameShadow(QFrame::Sunken);
        b->setGeometry(x, y, w, h);
        return b;
    };

    // Bevels and arrows first, so that the buttons lie above them.
    Bevel1 = bevel(288, 4, 249, 57);
    Bevel2 = bevel(288, 136, 249, 101);
    ArrowMark1 = arrow(ak_Virtical, 132, 44, 112, 40, 15, 0);
    ArrowMark2 = arrow(ak_Virtical, 132, 124, 112, 40, 15, 0);
    ArrowMark7 = arrow(ak_Virtical, 132, 204, 112, 40, 15, 0);
    ArrowMark4 = arrow(ak_TopRight, 48, 44, 82, 70, 20, 25);
    ArrowMark3 = arrow(ak_TopRight, 48, 44, 82, 149, 20, 25);
    ArrowMark6 = arrow(ak_Horizontal, 244, 84, 51, 40, 15, 0);
    ArrowMark5 = arrow(ak_Horizontal, 244, 164, 43, 40, 15, 0);

    using NaviPictures::Printing;
    using NaviPictures::Project;
    using NaviPictures::View;
    ImageButton1 = button(QStringLiteral("開く"), Project, 4, 4, &TInputForm::LoadButtonClick);
    ImageButton1->setToolTip(QStringLiteral("ファイルを開く"));
    ImageButton1->setStatusTip(QStringLiteral("以前に保存してあるファイルを読み込みます。"));
    NewButton = button(QStringLiteral("新規"), Project, 4, 264, &TInputForm::NewButtonClick);
    NewButton->setToolTip(QStringLiteral("新しいプロジェクト"));
    NewButton->setStatusTip(QStringLiteral("標準の設定で新しいプロジェクトを始めます。"));
    // Survey data in: beside the way from opening a file, into the mesh data.
    ImportButton = button(QStringLiteral("取込"), Project, 4, 204, &TInputForm::ImportButtonClick);
    ImportButton->setToolTip(QStringLiteral("測量データの取込"));
    ImportButton->setStatusTip(QStringLiteral(
        "測量の点ファイル、SIMA、LandXML の地盤面と計画面をメッシュに取り込みます。"));
    ImageButton2 =
        button(QStringLiteral("基本データ"), Project, 132, 4, &TInputForm::BaseInputClick);
    MeshInputButton =
        button(QStringLiteral("メッシュデータ"), Project, 132, 84, &TInputForm::MeshInputClick);
    CalcButton = button(QStringLiteral("計算"), Project, 132, 164, &TInputForm::CalcButtonClick);
    ImageButton3 = button(QStringLiteral("保存"), Project, 296, 12, &TInputForm::SaveButtonClick);
    ImageButton4 = button(QStringLiteral("名前を変えて保存"), Project, 416, 12,
                          &TInputForm::SaveAsButtonClick);
    InputPrintButton =
        button(QStringLiteral("データ印刷"), Printing, 296, 84, &TInputForm::InputPrintButtonClick);
    SumViewButton =
        button(QStringLiteral("土量集計表"), View, 296, 144, &TInputForm::SumViewButtonClick);
    DetailViewButton =
        button(QStringLiteral("土量一覧表"), View, 296, 188, &TInputForm::DetailViewButtonClick);
    CalcPrintButton =
        button(QStringLiteral("計算書"), Printing, 416, 144, &TInputForm::CalcPrintButtonClick);
    MapButton = button(QStringLiteral("切盛図"), View, 416, 188, &TInputForm::MapButtonClick);
    MapButton->setToolTip(QStringLiteral("切盛図"));
    MapButton->setStatusTip(
        QStringLiteral("切土・盛土の分布とデータチェックの結果を図で表示します。"));

    AllocationButton =
        button(QStringLiteral("土量配分"), Project, 132, 244, &TInputForm::AllocationButtonClick);
    AllocationButton->setStatusTip(
        QStringLiteral("土量×距離が最小になる切土・盛土・土捨場・土取場の配分を求めます。"));

    setWidget(Panel1);
    FormCreate();
}

TInputForm::~TInputForm() = default;

void TInputForm::FormCreate() {
    FUndoStack = new QUndoStack(this);
    SetProjectFile(QString());
    FInputData = std::make_unique<TInputData>();
    FInputData->SetOnPhaseChange(
        [this](TInputData& Sender, int Phase, bool Value) { PhaseChanged(Sender, Phase, Value); });
    FInputData->SetQuestion([this](const std::string& Text, TQuestionButtons Buttons) {
        return AskQuestion(this, Text, Buttons);
    });
    for (int phase = 0; phase < TInputData::PhaseCount; ++phase)
        PhaseChanged(*FInputData, phase, FInputData->GetPhase(phase));
    MarkUnmodified();
}

std::vector<TImageButton*> TInputForm::PhaseButtons(int Phase) const {
    switch (Phase) {
    case 0:
        return {MeshInputButton, ImportButton};
    case 1:
        return {CalcButton, InputPrintButton, MapButton};
    case 2:
        return {SumViewButton, DetailViewButton, CalcPrintButton, AllocationButton};
    default:
        return {};
    }
}

void TInputForm::PhaseChanged(TInputData&, int Phase, bool Value) {
    for (TImageButton* b : PhaseButtons(Phase))
        b->setEnabled(Value);
}

QString TInputForm::CaptionFor(const QString& FileName) {
    return QStringLiteral("ナビゲーション [") + QFileInfo(FileName).completeBaseName() +
           QStringLiteral("]");
}

void TInputForm::PinSize() {
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (isMinimized())
        return;
    adjustSize();
    setFixedSize(size());
}

void TInputForm::showEvent(QShowEvent* Event) {
    QMdiSubWindow::showEvent(Event);
    PinSize();
}

void TInputForm::changeEvent(QEvent* Event) {
    if (Event->type() == QEvent::WindowStateChange) {
        // Free the size before the sub-window shrinks to its minimised bar.
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    QMdiSubWindow::changeEvent(Event);
    if (Event->type() == QEvent::WindowStateChange && !isMinimized())
        PinSize();
}

void TInputForm::closeEvent(QCloseEvent* Event) {
    Event->ignore();
    showMinimized();
}

// --- Opening and saving

void TInputForm::SetProjectFile(const QString& FileName) {
    FFileName = FileName;
    // "&F" in headers and footers prints the project's file, in every print of the windows.
    SharedPreviewForm().SetFileName(FileName);
}

void TInputForm::MarkUnmodified() {
    FSavedHash = std::hash<std::string>()(FInputData->SaveToBytes());
}

bool TInputForm::Modified() const {
    return std::hash<std::string>()(FInputData->SaveToBytes()) != FSavedHash;
}

bool TInputForm::CanLeaveProject() {
    if (!Modified())
        return true;
    switch (AskQuestion(this, "変更を保存しますか？", TQuestionButtons::YesNoCancel)) {
    case TQuestionAnswer::Yes:
        return Save();
    case TQuestionAnswer::No:
        return true;
    default:
        return false;
    }
}

void TInputForm::LoadButtonClick() {
    if (!CanLeaveProject())
        return;
    QFileDialog dialog(this, QString(), QFileInfo(FFileName).path(), ProjectFilter());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("msh"));
    if (!FFileName.isEmpty())
        dialog.selectFile(FFileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    LoadFile(dialog.selectedFiles().first());
}

void TInputForm::LoadFile(const QString& FileName) {
    bool loaded = false;
    RunGuarded(this, [&]() {
        // A cancelled or failed reading leaves the open project as it was.
        loaded =
            RunWithProgress(this, QStringLiteral("開く"), QStringLiteral("読み込んでいます..."),
                            *FInputData, [&](const TProgress& Progress) {
                                FInputData->FileLoad(LocalPath(FileName), Progress);
                            });
        if (!loaded)
            return;
        // Only a file that was read becomes the current one: saving must never write over
        // a file that failed to open, which need not be a project at all.
        SetProjectFile(FileName);
        setWindowTitle(CaptionFor(FileName));
        MarkUnmodified();
        ClearUndo();
    });
    // A file with valid results was calculated as it was read.
    if (loaded)
        WarnSaturatedMeshes(this, *FInputData);
}

bool TInputForm::SaveFile() {
    return RunGuarded(this, [&]() {
        FInputData->FileSave(LocalPath(FFileName));
        MarkUnmodified();
    });
}

void TInputForm::ImportButtonClick() {
    TSurveyImportForm form(*FInputData, this);
    if (form.exec() != QDialog::Accepted || !form.Import())
        return;
    // Worked out completely before OK: registering cannot half-fail.
    if (RunGuarded(this, [&]() { form.Import()->Apply(*FInputData); }))
        ClearUndo();
}

void TInputForm::ClearUndo() {
    FUndoStack->clear();
}

void TInputForm::SaveButtonClick() {
    Save();
}

void TInputForm::SaveAsButtonClick() {
    SaveAs();
}

bool TInputForm::Save() {
    if (FFileName.isEmpty())
        return SaveAs();
    return SaveFile();
}

bool TInputForm::SaveAs() {
    QFileDialog dialog(this, QString(), QFileInfo(FFileName).path(), ProjectFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("msh"));
    if (!FFileName.isEmpty())
        dialog.selectFile(FFileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    // The new name is the project's only once the project is in it.
    const QString before = FFileName;
    SetProjectFile(dialog.selectedFiles().first());
    if (!SaveFile()) {
        SetProjectFile(before);
        return false;
    }
    setWindowTitle(CaptionFor(FFileName));
    return true;
}

void TInputForm::NewButtonClick() {
    if (!CanLeaveProject())
        return;
    // The same model object stays (windows and listeners know it), with a new project in it.
    FInputData->LoadFromBytes(TInputData().SaveToBytes());
    SetProjectFile(QString());
    setWindowTitle(QStringLiteral("ナビゲーション"));
    MarkUnmodified();
    ClearUndo();
}

// --- The work-flow steps

void TInputForm::BaseInputClick() {
    TBaseInputForm* form = BaseInputForm;
    if (!form)
        return;
    form->LoadFromModel(*FInputData);
    if (!form->Execute())
        return;
    const size_t before = std::hash<std::string>()(FInputData->SaveToBytes());
    RunGuarded(this, [&]() { form->StoreToModel(*FInputData); });
    if (std::hash<std::string>()(FInputData->SaveToBytes()) != before)
        ClearUndo();
}

void TInputForm::CalcButtonClick() {
    if (!ConfirmFindings())
        return;
    bool any = false, done = false;
    if (!RunGuarded(this,
                    [&]() {
                        done = RunWithProgress(this, QStringLiteral("計算"),
                                               QStringLiteral("計算しています..."), *FInputData,
                                               [&](const TProgress& Progress) {
                                                   any = FInputData->Calcrate(Progress);
                                               });
                    }) ||
        !done)
        return;
    WarnSaturatedMeshes(this, *FInputData);
    if (any)
        SumViewButtonClick();
}

bool TInputForm::ConfirmFindings() {
    const std::vector<TCheckFinding> findings = TSiteCheck().Run(*FInputData);
    const int serious = TSiteCheck::SeriousCount(findings);
    if (serious == 0)
        return true;
    // The first few, so that the user knows where to look.
    std::string text = StrFormat("%d 件の問題があります。計算を続けますか？\n", serious);
    int shown = 0;
    for (const TCheckFinding& f : findings) {
        if (f.Severity != TCheckSeverity::Serious)
            continue;
        if (++shown > 5) {
            text += "…\n";
            break;
        }
        text += "\n" + f.Message;
    }
    return AskQuestion(this, text, TQuestionButtons::YesNo) == TQuestionAnswer::Yes;
}

void TInputForm::MeshInputClick() {
    // Made once, on first use, and kept for the rest of the run like the other dialogs.
    if (!MeshInputForm)
        MeshInputForm = new TMeshInputForm(window());
    MeshInputForm->SetInputData(FInputData.get(), FUndoStack);
    MeshInputForm->Execute();
}
void TInputForm::SumViewButtonClick() {
    if (!CalcOutForm)
        return;
    CalcOutForm->SetInputData(*FInputData, FUndoStack);
    CalcOutForm->Execute();
}
void TInputForm::AllocationButtonClick() {
    TEarthAllocationForm& form = SharedEarthAllocationForm();
    form.SetInputData(*FInputData);
    form.Execute();
}
void TInputForm::DetailViewButtonClick() {
    if (!CalcAllForm)
        return;
    CalcAllForm->SetInputData(*FInputData);
    CalcAllForm->Execute();
}
void TInputForm::InputPrintButtonClick() {
    InputPrintOut(this, *FInputData);
}
void TInputForm::CalcPrintButtonClick() {
    TPrintoutForm& form = SharedPrintoutForm();
    form.SetInputData(FInputData.get());
    form.Execute();
}
void TInputForm::MapButtonClick() {
    TSiteMapForm& form = SharedSiteMapForm();
    RunGuarded(this, [&]() { form.SetInputData(*FInputData); });
    form.Execute();
}
