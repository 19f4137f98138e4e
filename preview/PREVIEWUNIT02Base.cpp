#include "preview/PREVIEWUNIT02Base.h"

#include "preview/PREVIEWUNIT02Sumnail.h"
#include "preview/PREVIEWUNIT02View.h"
#include "preview/PreviewPrinter.h"

#include "controls/KeyPreview.h"
#include "platform/CodePage.h"
#include "platform/Failure.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSvgGenerator>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <set>

namespace {

std::vector<TTextStyle> DefaultFontTable() {
    struct TRow {
        const char16_t* Name;
        const char16_t* Face;
        int Bits, Height, L1, L2, R1, R2, Space;
    };
    static const TRow rows[] = {
        {u"", u"ＭＳ 明朝", 0, -30, 0, 0, 0, 0, -1},
        {u"本文", u"ＭＳ 明朝", 0, -30, 120, 90, 0, 0, 45},
        {u"タイトル文", u"ＭＳ ゴシック", fsBold, -45, 0, 0, 0, 0, 65},
        {u"サブタイトル文", u"ＭＳ ゴシック", 0, -35, 30, 0, 0, 0, 55},
        {u"メモ（脚注等）", u"ＭＳ ゴシック", 0, -25, 120, 90, 0, 0, 30},
        {u"表中文", u"ＭＳ 明朝", 0, -30, 10, 10, 10, 10, -1},
        {u"計算式", u"ＭＳ 明朝", 0, -30, 200, 200, 0, 0, 45},
    };
    std::vector<TTextStyle> table;
    for (const TRow& r : rows) {
        TTextStyle s;
        s.StyleName = QString::fromUtf16(r.Name);
        s.Font = PageFont(QString::fromUtf16(r.Face), r.Height, r.Bits);
        s.LeftI = r.L1, s.LeftI2 = r.L2, s.RightI = r.R1, s.RightI2 = r.R2;
        s.Height = r.Space;
        table.push_back(s);
    }
    return table;
}

double ScreenDpiX() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen && screen->logicalDotsPerInchX() > 0 ? screen->logicalDotsPerInchX() : 96.0;
}
double ScreenDpiY() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen && screen->logicalDotsPerInchY() > 0 ? screen->logicalDotsPerInchY() : 96.0;
}

} // namespace

QString ApplicationTitle() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* frame = qobject_cast<QMainWindow*>(w); frame && !frame->windowTitle().isEmpty())
            return frame->windowTitle();
    return QGuiApplication::applicationDisplayName();
}

void TPreviewPage::Draw(QPainter& Painter, const QRectF& Rect) const {
    Meta.Draw(Painter, Rect);
    for (const TMetafileEx& stamp : Stamps)
        stamp.Draw(Painter, Rect);
}

TPreViewBase::TPreViewBase(QWidget* AOwner) : QDialog(AOwner) {
    FFontList = DefaultFontTable();
    CreateWindowParts();
    // The scroll areas take the focus on a click or a wheel turn and would scroll on Up and
    // Down: the window's page keys come first.
    new TKeyPreview(this, [this](QWidget*, QKeyEvent& Key) { return PageKey(Key); });
    FStPNum = 1;
    LoadSettings();
    // Old print records go whenever a preview window is created.
    LoadSpoolSettings();
    CleanSpool(FSpool);
}

TPreViewBase::~TPreViewBase() {
    ClearItems();
    FPageList.clear();
    DonePreview();
}

void TPreViewBase::InitPreview() {
    FFontTabVisible = true;
}

void TPreViewBase::Execute() {
    RebuildPagesWaiting();
    if (PageNum() == 0)
        throw EFailure("表示するページがありません。");
    exec();
}

void TPreViewBase::RebuildPagesWaiting() {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        RebuildPages();
    } catch (...) {
        QGuiApplication::restoreOverrideCursor();
        throw;
    }
    QGuiApplication::restoreOverrideCursor();
}

// --- Items and table of contents

void TPreViewBase::AllPageClear() {
    ClearItems();
    ClearPages();
}

void TPreViewBase::AddItem(TPreviewItem* Item) {
    FItemList.push_back(Item);
}

void TPreViewBase::InsertItem(int Index, TPreviewItem* Item) {
    Index = std::clamp(Index, 0, static_cast<int>(FItemList.size()));
    FItemList.insert(FItemList.begin() + Index, Item);
    for (TMokujiEntry& e : FMokujiList)
        if (e.ItemIndex >= Index)
            ++e.ItemIndex;
}

void TPreViewBase::DeleteItem(int Index) {
    if (Index < 0 || Index >= static_cast<int>(FItemList.size()))
        return;
    TPreviewItem* item = FItemList[Index];
    FItemList.erase(FItemList.begin() + Index);
    if (std::find(FItemList.begin(), FItemList.end(), item) == FItemList.end())
        delete item;
    std::vector<TMokujiEntry> kept;
    for (TMokujiEntry e : FMokujiList) {
        if (e.ItemIndex == Index)
            continue;
        if (e.ItemIndex > Index)
            --e.ItemIndex;
        kept.push_back(e);
    }
    FMokujiList = std::move(kept);
}

void TPreViewBase::AddItemMokuji(TPreviewItem* Item, const QString& Title) {
    AddItem(Item);
    // The entry holds what 64 bytes of the code page of the program's files hold.
    const std::string ansi = Utf8ToCp932(Title.left(63).toStdString());
    const std::string cut = ansi.substr(0, Cp932CutLength(ansi, 64));
    FMokujiList.push_back({static_cast<int32_t>(FItemList.size() - 1),
                           QString::fromStdString(Cp932ToUtf8(cut))});
}

void TPreViewBase::ClearItems() {
    std::set<TPreviewItem*> freed;
    for (auto it = FItemList.rbegin(); it != FItemList.rend(); ++it)
        if (freed.insert(*it).second)
            delete *it;
    FItemList.clear();
    FMokujiList.clear();
    FFindArea = QRect();
    FViewFindArea = 0;
}

void TPreViewBase::ClearPages() {
    FDrawPageNum = 0;
    for (auto& page : FPageList)
        delete page->Sumnail;
    FPageList.clear();
    if (SumnailPane)
        SumnailPane->resize(SumnailPane->width(), 0);
}

TSumnail* TPreViewBase::NewSumnail(int Number, int PaperW, int PaperH,
                                   const std::array<int, 4>& Margins) {
    auto* s = new TSumnail(SumnailPane);
    s->SetPaperHeight(PaperH);
    s->SetPaperWidth(PaperW);
    s->SetNumber(Number);
    s->SetMarzin(Margins);
    const TPrinterCaps caps = TPreviewPrinter::Current().Caps();
    if (caps.DpiY > 0)
        s->SetPrinterPaperHeight(caps.PaperH * 254.0 / caps.DpiY);
    s->OnClick = [this](TSumnail& Sender) { SetDrawPageNum(Sender.Number()); };
    SumnailPane->resize(SumnailPane->width(), s->y() + s->height() + 5);
    s->show();
    return s;
}

// --- Geometry

int TPreViewBase::DeskBorder() const {
    return static_cast<int>(std::nearbyint(FPaperScale * 20 / 100));
}

double TPreViewBase::MapPageX(double Length) const {
    return Length * FPaperScale / (FRatX * 100);
}
double TPreViewBase::MapPageY(double Length) const {
    return Length * FPaperScale / (FRatY * 100);
}

void TPreViewBase::CalcLayout() {
    const double sdx = ScreenDpiX(), sdy = ScreenDpiY();
    FRatX = 254 / sdx;
    FRatY = 254 / sdy;
    const TPrinterCaps caps = TPreviewPrinter::Current().Caps();
    FPrinterName = caps.Name;
    FPrnKX = caps.DpiX / sdx;
    FPrnKY = caps.DpiY / sdy;
    const int m = DeskBorder();
    auto mapX = [&](int x) {
        return static_cast<int>(std::nearbyint(x * FPaperScale / (FPrnKX * 100)));
    };
    auto mapY = [&](int y) {
        return static_cast<int>(std::nearbyint(y * FPaperScale / (FPrnKY * 100)));
    };
    if (View)
        View->resize(mapX(caps.PaperW) + 2 * m, mapY(caps.PaperH) + 2 * m);
    FViewArea =
        QRect(m + mapX(caps.OffsetX), m + mapY(caps.OffsetY), mapX(caps.PrintW), mapY(caps.PrintH));
    auto up = [](double v) { return static_cast<int>(std::ceil(v - 1e-9)); };
    FPhysicalMarzins = {
        up(caps.OffsetX * 254.0 / caps.DpiX),
        up(caps.OffsetY * 254.0 / caps.DpiY),
        up((caps.PaperW - caps.PrintW - caps.OffsetX) * 254.0 / caps.DpiX),
        up((caps.PaperH - caps.PrintH - caps.OffsetY) * 254.0 / caps.DpiY),
    };
    CalcDrawArea();
    if (View) {
        View->setCursor(View->width() > ScrollBox1->viewport()->width() ||
                                View->height() > ScrollBox1->viewport()->height()
                            ? Qt::OpenHandCursor
                            : Qt::ArrowCursor);
        View->update();
    }
}

void TPreViewBase::SetOrientation(TOrientation Value) {
    FOrientation = Value;
    if (Value == TOrientation::voLand || Value == TOrientation::voLandLock)
        TPreviewPrinter::Current().SetLandscape(true);
    else if (Value == TOrientation::voPort || Value == TOrientation::voPortLock)
        TPreviewPrinter::Current().SetLandscape(false);
    CalcLayout();
}

void TPreViewBase::SetPaperScale(double Value) {
    FPaperScale = std::clamp(Value, 20.0, 400.0);
    CalcLayout();
    UpdatePageActions();
}

// --- Pages

void TPreViewBase::UpdatePageActions() {
    if (PageNum() > 0)
        FDrawPageNum = std::clamp(FDrawPageNum, 1, PageNum());
    PageNextAction->setEnabled(FDrawPageNum < PageNum());
    PagePreAction->setEnabled(FDrawPageNum > 1);
    StatusPanels[0]->setText(QStringLiteral(" Scale %1 %").arg(FPaperScale, 0, 'f', 0));
    StatusPanels[1]->setText(QStringLiteral("%1 / %2").arg(FDrawPageNum).arg(PageNum()));
    const qsizetype dot = FPrinterName.indexOf(QLatin1Char('.'));
    StatusPanels[2]->setText(dot >= 0 ? FPrinterName.left(dot) : FPrinterName);
}

void TPreViewBase::SetDrawPageNum(int Value) {
    if (PageNum() == 0 || Value <= 0)
        return;
    const int previous = FDrawPageNum;
    FDrawPageNum = std::min(Value, PageNum());
    UpdatePageActions();
    if (previous > 0 && previous <= PageNum() && FPageList[previous - 1]->Sumnail)
        FPageList[previous - 1]->Sumnail->SetSelected(false);
    if (TSumnail* s = FPageList[FDrawPageNum - 1]->Sumnail)
        s->SetSelected(true);
    ScrollBox1->horizontalScrollBar()->setValue(0);
    ScrollBox1->verticalScrollBar()->setValue(0);
    View->update();
    ScrollSumnailIntoView();
    if (MokujiItem)
        MokujiItem->setCurrentIndex(-1);
    FFindArea = QRect();
    FViewFindArea = 0;
}

void TPreViewBase::ScrollSumnailIntoView() {
    TSumnail* s = FPageList[FDrawPageNum - 1]->Sumnail;
    if (!s)
        return;
    QScrollBar* bar = ScrollBox2->verticalScrollBar();
    // Thumbnail tops are pane coordinates; the pane's visible top is the scroll position.
    const int top = s->y() - bar->value();
    const int pos = top + bar->value() - (ScrollBox2->viewport()->height() - s->height()) / 2;
    bar->setValue(std::max(0, pos));
}

void TPreViewBase::ZoomInActionExecute() {
    SetPaperScale(FPaperScale * 2);
}
void TPreViewBase::ZoomOutActionExecute() {
    SetPaperScale(FPaperScale / 2);
}
void TPreViewBase::PageNextActionExecute() {
    SetDrawPageNum(FDrawPageNum + 1);
}
void TPreViewBase::PagePreActionExecute() {
    SetDrawPageNum(FDrawPageNum - 1);
}
void TPreViewBase::ExitActionExecute() {
    accept();
}
void TPreViewBase::reject() {
    // A print job lets events through after each page; the window it prints from stays.
    if (ExitAction->isEnabled())
        QDialog::reject();
}

void TPreViewBase::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    SetPaperScale(100);
    SetDrawPageNum(1);
    UpdatePageActions();
    setWindowState(windowState() | Qt::WindowMaximized);
    setWindowTitle(QStringLiteral("プレビュー《") + ApplicationTitle() + QStringLiteral("》"));
}

bool TPreViewBase::PageKey(const QKeyEvent& Event) {
    if (Event.key() == Qt::Key_Up) {
        PagePreActionExecute();
        return true;
    }
    if (Event.key() == Qt::Key_Down) {
        PageNextActionExecute();
        return true;
    }
    return false;
}

bool TPreViewBase::WheelOverView(QWheelEvent* Event) {
    const double old = FPaperScale;
    const QPoint p = View->mapFrom(this, mapFromGlobal(Event->globalPosition().toPoint()));
    const QPoint scroll(ScrollBox1->horizontalScrollBar()->value(),
                        ScrollBox1->verticalScrollBar()->value());
    const QPoint q = p - scroll;
    const double scale =
        std::nearbyint(std::pow(1.0005, Event->angleDelta().y()) * old * 100) / 100;
    SetPaperScale(scale);
    ScrollBox1->horizontalScrollBar()->setValue(
        static_cast<int>(std::nearbyint(p.x() * FPaperScale / old - q.x())));
    ScrollBox1->verticalScrollBar()->setValue(
        static_cast<int>(std::nearbyint(p.y() * FPaperScale / old - q.y())));
    return true;
}

bool TPreViewBase::WheelOverSumnails(QWheelEvent* Event) {
    const int delta = Event->angleDelta().y();
    if (Event->modifiers() & Qt::ShiftModifier) {
        if (delta < 0)
            PageNextActionExecute();
        else if (delta > 0)
            PagePreActionExecute();
    } else {
        QScrollBar* bar = ScrollBox2->verticalScrollBar();
        bar->setValue(bar->value() - delta);
    }
    return true;
}

bool TPreViewBase::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(Event);
        if (Watched == View || Watched == ScrollBox1->viewport())
            return WheelOverView(wheel);
        if (Watched == ScrollBox2->viewport() || Watched == SumnailPane ||
            qobject_cast<TSumnail*>(Watched))
            return WheelOverSumnails(wheel);
    }
    if (Watched == View) {
        switch (Event->type()) {
        case QEvent::MouseButtonPress: {
            auto* me = static_cast<QMouseEvent*>(Event);
            if (me->button() == Qt::LeftButton || me->button() == Qt::MiddleButton) {
                FDragging = true;
                FDragStart = me->position().toPoint();
                if (View->cursor().shape() == Qt::OpenHandCursor)
                    View->setCursor(Qt::ClosedHandCursor);
            }
            break;
        }
        case QEvent::MouseMove:
            if (FDragging) {
                auto* me = static_cast<QMouseEvent*>(Event);
                const QPoint d = FDragStart - me->position().toPoint();
                ScrollBox1->horizontalScrollBar()->setValue(
                    ScrollBox1->horizontalScrollBar()->value() + d.x());
                ScrollBox1->verticalScrollBar()->setValue(ScrollBox1->verticalScrollBar()->value() +
                                                          d.y());
            }
            break;
        case QEvent::MouseButtonRelease: {
            auto* me = static_cast<QMouseEvent*>(Event);
            if (me->button() == Qt::LeftButton || me->button() == Qt::MiddleButton) {
                FDragging = false;
                if (View->cursor().shape() == Qt::ClosedHandCursor)
                    View->setCursor(Qt::OpenHandCursor);
            }
            break;
        }
        default:
            break;
        }
    }
    return QDialog::eventFilter(Watched, Event);
}

// --- Painting

void TPreViewBase::PaintView(QPainter& Canvas) {
    const int w = View->width(), h = View->height();
    const QColor desk = palette().color(QPalette::Dark);
    if (FDrawPageNum <= 0 || FDrawPageNum > PageNum()) {
        Canvas.fillRect(View->rect(), desk);
        return;
    }
    const int m = DeskBorder();
    Canvas.fillRect(QRect(QPoint(m, m), QPoint(w - m - 1, h - m - 1)), QColor(192, 192, 192));
    Canvas.fillRect(FViewArea, Qt::white);
    Canvas.save();
    Canvas.setRenderHint(QPainter::TextAntialiasing);
    DrawPage(Canvas);
    Canvas.restore();
    if (MarginViewChecked->isChecked()) {
        QPen pen(QColor(128, 128, 128), 0, Qt::DashLine);
        Canvas.setPen(pen);
        auto my = [&](int v) { return static_cast<int>(std::nearbyint(MapPageY(v))); };
        auto mx = [&](int v) { return static_cast<int>(std::nearbyint(MapPageX(v))); };
        const int ys[4] = {m + my(FMarzins[1]), m + my(FMarzins[4]), (h - m) - my(FMarzins[3]),
                           (h - m) - my(FMarzins[5])};
        for (int y : ys)
            Canvas.drawLine(FViewArea.left(), y, FViewArea.right(), y);
        const int xs[2] = {m + mx(FMarzins[0]), (w - m) - mx(FMarzins[2])};
        for (int x : xs)
            Canvas.drawLine(x, FViewArea.top(), x, FViewArea.bottom());
    }
    Canvas.fillRect(QRect(0, 0, w, m), desk);
    Canvas.fillRect(QRect(0, 0, m, h), desk);
    Canvas.fillRect(QRect(0, h - m, w, m), desk);
    Canvas.fillRect(QRect(w - m, 0, m, h), desk);
    Canvas.fillRect(QRect(w - m, 2 * m, m, h - 2 * m), Qt::black);
    Canvas.fillRect(QRect(2 * m, h - m, w - 2 * m, m), Qt::black);
    UpdatePageActions();
}

void TPreViewBase::CopyActionExecute() {
    if (FDrawPageNum <= 0 || FDrawPageNum > PageNum())
        return;
    const TPreviewPage& page = *FPageList[FDrawPageNum - 1];
    // The content area with header and footer: the recording's frame and what lies around it
    // up to the paper's edges.
    const QRectF frame(-FMarzins[0], -FMarzins[1], page.Meta.Width() + FMarzins[0] + FMarzins[2],
                       page.Meta.Height() + FMarzins[1] + FMarzins[3]);
    auto* mime = new QMimeData;
    {
        QBuffer svg;
        svg.open(QIODevice::WriteOnly);
        QSvgGenerator gen;
        gen.setOutputDevice(&svg);
        gen.setSize(frame.size().toSize());
        gen.setViewBox(QRectF(QPointF(0, 0), frame.size()));
        gen.setResolution(254);
        QPainter p(&gen);
        page.Draw(p, QRectF(-frame.topLeft(), QSizeF(page.Meta.Width(), page.Meta.Height())));
        p.end();
        mime->setData(QStringLiteral("image/svg+xml"), svg.data());
    }
    {
        // 150 dpi: sharp enough to paste into a document, small enough for the clipboard.
        const double s = 150.0 / 254.0;
        QImage image((frame.size() * s).toSize(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.scale(s, s);
        page.Draw(p, QRectF(-frame.topLeft(), QSizeF(page.Meta.Width(), page.Meta.Height())));
        p.end();
        mime->setImageData(image);
    }
    QGuiApplication::clipboard()->setMimeData(mime);
}
