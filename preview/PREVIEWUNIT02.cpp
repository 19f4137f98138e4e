#include "preview/PREVIEWUNIT02.h"

#include "preview/PREVIEWUNIT02Sumnail.h"
#include "preview/PREVIEWUNIT02View.h"
#include "preview/PreviewPrinter.h"

#include "controls/MessageBoxes.h"
#include "controls/ProgressRun.h"
#include "platform/Failure.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPointer>

#include <cmath>

namespace {

QPointer<TPreViewForm> gSharedPreview;

void DeleteSharedPreview() {
    delete gSharedPreview.data();
}

} // namespace

TPreViewForm& SharedPreviewForm() {
    if (!gSharedPreview) {
        gSharedPreview = new TPreViewForm;
        // The window lives until the application object goes, and goes before the widgets do.
        qAddPostRoutine(DeleteSharedPreview);
    }
    return *gSharedPreview;
}

TPreViewForm::TPreViewForm(QWidget* AOwner) : TPreViewBase(AOwner) {
    InitPreview();
    PrintAction->setEnabled(true);
    connect(PrintAction, &QAction::triggered, this, &TPreViewForm::PrintActionExecute);
    ActPageSetup->setEnabled(true);
    connect(ActPageSetup, &QAction::triggered, this, &TPreViewForm::ActPageSetupExecute);
}

TPreViewForm::~TPreViewForm() {
    ClearPages();
}

void TPreViewForm::InitPreview() {
    TPreViewBase::InitPreview();
    MokujiItem->setEnabled(false);
    MokujiLabel->setEnabled(false);
    AreaViewChecked->setEnabled(false);
    InsertMenu->setEnabled(false);
    FFontTabVisible = false;
    FDocument.SetOnPaperChange(nullptr);
    CalcLayout();
}

void TPreViewForm::RTFExport(const QString& FileName) {
    (void)FileName;
    ShowInformation(this,
                    QStringLiteral("このバージョンのプレビューでは RTF出力に対応しておりません。"));
}

void TPreViewForm::WordExport() {
    ShowInformation(
        this, QStringLiteral("このバージョンのプレビューでは Word への出力に対応しておりません。"));
}

void TPreViewForm::NewPage() {
    FDocument.NewPage();
    AddSumnails(false);
}

void TPreViewForm::CalcDrawArea() {
    // The content area in view pixels, placed in 0.1 mm so that the view shows text where the
    // sheet of paper will have it.
    const int m = DeskBorder();
    auto mx = [&](int v) { return static_cast<int>(std::nearbyint(MapPageX(v))); };
    auto my = [&](int v) { return static_cast<int>(std::nearbyint(MapPageY(v))); };
    FDrawArea = QRect(m + mx(FDocument.PaperLeft()), m + my(FDocument.PaperTop()), mx(PaperWidth()),
                      my(PaperHeight()));
}

void TPreViewForm::RebuildPages() {
    // The thumbnails go first: the compose routine replaces the pages they show. With no page
    // to show, the view paints no page while the routine runs.
    ClearSumnails();
    FDrawPageNum = 0;
    CalcLayout();
    if (FDocument.OnPaperChange()) {
        // The routine runs on a worker thread (it draws on pictures only) under a progress box
        // that comes when it takes long.
        QWidget* parent = isVisible() ? this : QApplication::activeWindow();
        struct TComposing {
            bool& Flag;
            explicit TComposing(bool& F) : Flag(F) { Flag = true; }
            ~TComposing() { Flag = false; }
        } composing(FComposing);
        const bool done = RunWithProgress(
            parent, ApplicationTitle(), QStringLiteral("印刷イメージを作成しています..."),
            [this](const TProgress& Progress) { FDocument.Compose(Progress); });
        if (!done) {
            UpdatePageActions();
            View->update();
            throw ECancelled{};
        }
    } else {
        FDocument.Compose();
    }
    AddSumnails(true);
    SetDrawPageNum(1);
}

void TPreViewForm::DrawPage(QPainter& Canvas) {
    if (FDrawPageNum <= 0 || FDrawPageNum > PageNum())
        return;
    Page(FDrawPageNum - 1).Draw(Canvas, FDrawArea);
}
