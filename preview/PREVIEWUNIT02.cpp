#include "preview/PREVIEWUNIT02.h"

#include "preview/PREVIEWUNIT02Sumnail.h"
#include "preview/PREVIEWUNIT02View.h"
#include "preview/PreviewPrinter.h"

#include "app/MessageBoxes.h"
#include "platform/Failure.h"
#include "platform/FileUtil.h"
#include "preview/OutputDevice.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPointer>
#include <QPrinter>

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
    CloseCanvas();
    ClearPages();
}

void TPreViewForm::InitPreview() {
    TPreViewBase::InitPreview();
    MokujiItem->setEnabled(false);
    MokujiLabel->setEnabled(false);
    AreaViewChecked->setEnabled(false);
    InsertMenu->setEnabled(false);
    FFontTabVisible = false;
    FOnPaperChange = nullptr;
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

void TPreViewForm::CloseCanvas() {
    if (FPageList.empty())
        return;
    TPreviewPage& last = *FPageList.back();
    if (last.Canvas) {
        last.Canvas->end();
        last.Canvas.reset();
    }
    FViewCanvas = nullptr;
}

void TPreViewForm::NewPage() {
    CloseCanvas();
    auto page = std::make_unique<TPreviewPage>();
    page->Meta = TMetafileEx(PaperWidth(), PaperHeight());
    page->Canvas = std::make_unique<QPainter>(&page->Meta);
    page->Canvas->setFont(PageFont(QStringLiteral("ＭＳ 明朝"), -30));
    FViewCanvas = page->Canvas.get();
    page->Sumnail = NewSumnail(PageNum() + 1, FPaperW, FPaperH,
                               {FMarzins[0], FMarzins[1], FMarzins[2], FMarzins[3]});
    page->Sumnail->SetMeta(page.get());
    FPageList.push_back(std::move(page));
}

void TPreViewForm::ViewEnd() {
    CloseCanvas();
}

void TPreViewForm::ClearPages() {
    CloseCanvas();
    TPreViewBase::ClearPages();
}

void TPreViewForm::CalcDrawArea() {
    const TPrinterCaps caps = TPreviewPrinter::Current().Caps();
    FPaperW = static_cast<int>(std::nearbyint(caps.PaperW * 25.4 / caps.DpiX));
    FPaperH = static_cast<int>(std::nearbyint(caps.PaperH * 25.4 / caps.DpiY));
    for (int k = 0; k < 4; ++k)
        FMarzins[k] = std::max(FMarzins[k], FPhysicalMarzins[k]);
    FMarzins[4] = std::max(FMarzins[4], FPhysicalMarzins[1]);
    FMarzins[5] = std::max(FMarzins[5], FPhysicalMarzins[3]);
    // The content area in view pixels, placed in 0.1 mm so that the view shows text where the
    // sheet of paper will have it.
    const int m = DeskBorder();
    auto mx = [&](int v) { return static_cast<int>(std::nearbyint(MapPageX(v))); };
    auto my = [&](int v) { return static_cast<int>(std::nearbyint(MapPageY(v))); };
    FDrawArea =
        QRect(m + mx(FMarzins[0]), m + my(FMarzins[1]), mx(PaperWidth()), my(PaperHeight()));
}

void TPreViewForm::RebuildPages() {
    CalcLayout();
    if (FOnPaperChange)
        FOnPaperChange(*this);
    CloseCanvas();
    for (int i = 0; i < PageNum(); ++i) {
        TPreviewPage& page = *FPageList[i];
        TMetafileEx stamp(page.Meta.Width(), page.Meta.Height());
        {
            QPainter canvas(&stamp);
            // 25 points at 96 dots per inch: a character height of 33 units.
            canvas.setFont(PageFont(QStringLiteral("ＭＳ 明朝"), -33));
            canvas.setPen(Qt::black);
            DrawHeaderFooter(canvas, i + 1);
        }
        page.Stamps.push_back(std::move(stamp));
        if (page.Sumnail) {
            page.Sumnail->SetMeta(&page);
            page.Sumnail->SetReviewOn(true);
        }
    }
    SetDrawPageNum(1);
}

void TPreViewForm::DrawPage(QPainter& Canvas) {
    if (FDrawPageNum <= 0 || FDrawPageNum > PageNum())
        return;
    FPageList[FDrawPageNum - 1]->Draw(Canvas, FDrawArea);
}

void TPreViewForm::DrawSheet(QPainter& Painter, int Index) const {
    const TPreviewPage& page = *FPageList[Index];
    page.Draw(Painter, QRectF(FMarzins[0], FMarzins[1], page.Meta.Width(), page.Meta.Height()));
}

void TPreViewForm::WritePdf(const QString& FileName) const {
    if (PageNum() == 0)
        throw EFailure("印刷するページがありません。");
    TAtomicFile file(QFile::encodeName(FileName).toStdString());
    TOutputDevice device(file);
    QPdfWriter writer(&device);
    const QPageLayout printerLayout = TPreviewPrinter::Current().Printer().pageLayout();
    writer.setResolution(1200);
    writer.setPageLayout(
        QPageLayout(printerLayout.pageSize(), printerLayout.orientation(), QMarginsF(0, 0, 0, 0)));
    writer.setCreator(QCoreApplication::applicationName());
    QPainter painter;
    if (!painter.begin(&writer))
        throw EFailure(
            StrFormat("ファイル「%s」を作成できません。", FileName.toUtf8().constData()));
    painter.setRenderHint(QPainter::TextAntialiasing);
    for (int i = 0; i < PageNum(); ++i) {
        if (i > 0)
            writer.newPage();
        // The sheet in 0.1 mm from the paper's corner.
        const double s = writer.resolution() / 254.0;
        painter.save();
        painter.scale(s, s);
        DrawSheet(painter, i);
        painter.restore();
    }
    painter.end();
    file.Commit();
}
