#include "preview/PREVIEWUNIT02Base.h"

#include "preview/PREVIEWUNIT02Sumnail.h"
#include "preview/PREVIEWUNIT02View.h"
#include "preview/PreviewPrinter.h"

#include "controls/KeyPreview.h"
#include "platform/Failure.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QMimeData>
#include <QPainter>
#include <QPrinter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QSvgGenerator>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

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

TPreViewBase::TPreViewBase(QWidget* AOwner)
    : QDialog(AOwner), Header(FDocument.Header), Footer(FDocument.Footer) {
    CreateWindowParts();
    // The scroll areas take the focus on a click or a wheel turn and would scroll on the
    // paging keys: the window's page keys come first.
    new TKeyPreview(this,
                    [this](QWidget* Receiver, QKeyEvent& Key) { return PageKey(Receiver, Key); });
    FDocument.SetStPNum(1);
    LoadSettings();
    // Old print records go whenever a preview window is created.
    LoadSpoolSettings();
    CleanSpool(FSpool);
}

TPreViewBase::~TPreViewBase() {
    ClearSumnails();
    DonePreview();
}

void TPreViewBase::InitPreview() {
    FFontTabVisible = true;
}

void TPreViewBase::Execute() {
    if (FInUse)
        return;
    struct TInUse {
        bool& Flag;
        explicit TInUse(bool& F) : Flag(F) { Flag = true; }
        ~TInUse() { Flag = false; }
    } inUse(FInUse);
    try {
        RebuildPagesWaiting();
    } catch (const ECancelled&) {
        return;
    }
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

void TPreViewBase::ClearItems() {
    FDocument.ClearItems();
    FFindArea = QRect();
    FViewFindArea = 0;
}

void TPreViewBase::ClearPages() {
    FDrawPageNum = 0;
    ClearSumnails();
    FDocument.ClearPages();
}

TSumnail* TPreViewBase::Sumnail(int Index) const {
    const auto it = FSumnails.find(Index);
    return it != FSumnails.end() ? it->second : nullptr;
}

void TPreViewBase::ClearSumnails() {
    // Later: a thumbnail may be going away from within its own click. Hidden and without its
    // document now: the pages may be composed anew on another thread meanwhile.
    for (const auto& [index, s] : FSumnails) {
        s->hide();
        s->SetDocument(nullptr);
        s->deleteLater();
    }
    FSumnails.clear();
    FSumnailCount = 0;
    FSumnailReview = false;
    if (SumnailPane)
        SumnailPane->resize(SumnailPane->width(), 0);
}

int TPreViewBase::SumnailStep() const {
    return TSumnail::HeightFor(FDocument.PaperW(), FDocument.PaperH()) + 5;
}

void TPreViewBase::AddSumnails(bool ReviewOn) {
    FSumnailCount = PageNum();
    FSumnailReview = FSumnailReview || ReviewOn;
    for (const auto& [index, s] : FSumnails)
        s->SetReviewOn(FSumnailReview);
    // A widget is at most 16,777,215 pixels high, some 118,000 A4 thumbnails: a longer strip
    // scrolls through a pane of this height (see SumnailTop).
    constexpr qint64 highestPane = 8'000'000;
    SumnailPane->resize(SumnailPane->width(),
                        static_cast<int>(std::min(SumnailStrip(), highestPane)));
    ShowSumnails();
}

qint64 TPreViewBase::SumnailStrip() const {
    return qint64(FSumnailCount) * SumnailStep();
}

// Where the strip of thumbnails (every one of them, one under the other) is scrolled to, and
// back: the pane's scroll range stands for the strip's in proportion, one to one when the
// whole strip fits into the pane.
qint64 TPreViewBase::SumnailTop() const {
    const QScrollBar* bar = ScrollBox2->verticalScrollBar();
    const qint64 range = std::max<qint64>(0, SumnailStrip() - ScrollBox2->viewport()->height());
    if (range <= bar->maximum() || bar->maximum() <= 0)
        return bar->value();
    return std::llround(double(bar->value()) * double(range) / bar->maximum());
}

int TPreViewBase::SumnailScrollValue(qint64 Top) const {
    const QScrollBar* bar = ScrollBox2->verticalScrollBar();
    const qint64 range = std::max<qint64>(0, SumnailStrip() - ScrollBox2->viewport()->height());
    Top = std::clamp<qint64>(Top, 0, range);
    if (range <= bar->maximum())
        return static_cast<int>(Top);
    return static_cast<int>(std::llround(double(Top) * bar->maximum() / double(range)));
}

void TPreViewBase::ShowSumnails() {
    if (!SumnailPane)
        return;
    // Tens of thousands of pages make tens of thousands of thumbnails: only those in sight,
    // and a few either side for the wheel, are widgets.
    constexpr int spare = 8;
    const int step = SumnailStep();
    const qint64 top = SumnailTop();
    const int first = static_cast<int>(std::max<qint64>(0, top / step - spare));
    const int last = static_cast<int>(std::min<qint64>(
        FSumnailCount - 1, (top + ScrollBox2->viewport()->height()) / step + spare));
    // Thumbnail i in pane coordinates: the pane's visible top (the scroll position) stands for
    // the strip's.
    const int paneTop = ScrollBox2->verticalScrollBar()->value();
    const auto place = [&](TSumnail* S, int I) {
        S->move(S->x(), static_cast<int>(paneTop + (qint64(I) * step - top)));
    };
    for (auto it = FSumnails.begin(); it != FSumnails.end();) {
        if (it->first < first || it->first > last) {
            it->second->hide();
            it->second->deleteLater();
            it = FSumnails.erase(it);
        } else {
            place(it->second, it->first);
            ++it;
        }
    }
    if (first > last)
        return;
    const TPrinterCaps caps = TPreviewPrinter::Current().Caps();
    const std::array<int, 6>& m = FDocument.Marzins();
    for (int i = first; i <= last; ++i) {
        if (FSumnails.count(i))
            continue;
        auto* s = new TSumnail(SumnailPane);
        s->SetPaperHeight(FDocument.PaperH());
        s->SetPaperWidth(FDocument.PaperW());
        s->SetNumber(i + 1);
        place(s, i);
        s->SetMarzin({m[0], m[1], m[2], m[3]});
        if (caps.DpiY > 0)
            s->SetPrinterPaperHeight(caps.PaperH * 254.0 / caps.DpiY);
        s->SetDocument(&FDocument);
        s->SetReviewOn(FSumnailReview);
        s->SetSelected(i + 1 == FDrawPageNum);
        s->OnClick = [this](TSumnail& Sender) { SetDrawPageNum(Sender.Number()); };
        s->show();
        FSumnails.emplace(i, s);
    }
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
    FDocument.SetPaper(caps, TPreviewPrinter::Current().Printer().pageLayout());
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
    PageFirstAction->setEnabled(FDrawPageNum > 1);
    PageLastAction->setEnabled(FDrawPageNum < PageNum());
    UpdatePageBox();
    StatusPanels[0]->setText(QStringLiteral(" Scale %1 %").arg(FPaperScale, 0, 'f', 0));
    const QString pages = QStringLiteral("%1 / %2").arg(FDrawPageNum).arg(PageNum());
    StatusPanels[1]->setText(pages);
    // Tens of thousands of pages need more room than the panel's own.
    StatusPanels[1]->setFixedWidth(
        std::max(60, StatusPanels[1]->fontMetrics().horizontalAdvance(pages) + 12));
    const qsizetype dot = FPrinterName.indexOf(QLatin1Char('.'));
    StatusPanels[2]->setText(dot >= 0 ? FPrinterName.left(dot) : FPrinterName);
}

void TPreViewBase::UpdatePageBox() {
    // Painting calls this: only what changed is set, and never the text the user is typing
    // (the box's value stays the page shown until Enter).
    const int count = PageNum();
    const int shown = count > 0 ? FDrawPageNum : 0;
    const QString suffix = QStringLiteral(" / %1").arg(count);
    if (PageBox->suffix() == suffix && PageBox->value() == shown)
        return;
    const QSignalBlocker quiet(PageBox);
    if (PageBox->suffix() != suffix) {
        PageBox->setRange(count > 0 ? 1 : 0, count);
        PageBox->setSuffix(suffix);
        PageBox->setEnabled(count > 0);
        // Wide enough for the longest number; the window no narrower than its tool bar.
        const QString widest = QString(QString::number(count).size(), QLatin1Char('8')) + suffix;
        PageBox->setFixedWidth(std::max(60, PageBox->fontMetrics().horizontalAdvance(widest) + 16));
        Panel1->layout()->invalidate();
        setMinimumWidth(std::max(600, Panel1->layout()->minimumSize().width()));
    }
    PageBox->setValue(shown);
}

void TPreViewBase::SetDrawPageNum(int Value) {
    if (PageNum() == 0 || Value <= 0)
        return;
    const int previous = FDrawPageNum;
    FDrawPageNum = std::min(Value, PageNum());
    UpdatePageActions();
    if (TSumnail* s = Sumnail(previous - 1))
        s->SetSelected(false);
    if (TSumnail* s = Sumnail(FDrawPageNum - 1))
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
    if (FDrawPageNum < 1 || FDrawPageNum > FSumnailCount)
        return;
    // The thumbnail in the middle of the pane.
    const int step = SumnailStep();
    const qint64 top =
        qint64(FDrawPageNum - 1) * step - (ScrollBox2->viewport()->height() - (step - 5)) / 2;
    ScrollBox2->verticalScrollBar()->setValue(SumnailScrollValue(top));
    ShowSumnails();
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
void TPreViewBase::PageFirstActionExecute() {
    SetDrawPageNum(1);
}
void TPreViewBase::PageLastActionExecute() {
    SetDrawPageNum(PageNum());
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

bool TPreViewBase::PageKey(QWidget* Receiver, const QKeyEvent& Event) {
    const int key = Event.key();
    const bool inBox = Receiver == PageBox || PageBox->isAncestorOf(Receiver);
    if (inBox &&
        (key == Qt::Key_Home || key == Qt::Key_End || key == Qt::Key_Left || key == Qt::Key_Right))
        return false;
    QScrollBar* bar = ScrollBox1->verticalScrollBar();
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Left:
        PagePreActionExecute();
        return true;
    case Qt::Key_Down:
    case Qt::Key_Right:
        PageNextActionExecute();
        return true;
    case Qt::Key_Home:
        PageFirstActionExecute();
        return true;
    case Qt::Key_End:
        PageLastActionExecute();
        return true;
    case Qt::Key_PageDown:
        if (bar->value() < bar->maximum())
            bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        else
            PageNextActionExecute();
        return true;
    case Qt::Key_PageUp:
        if (bar->value() > bar->minimum()) {
            bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        } else if (FDrawPageNum > 1) {
            // Back onto the previous page's foot, where Page Down left it.
            PagePreActionExecute();
            bar->setValue(bar->maximum());
        }
        return true;
    default:
        return false;
    }
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
        // The strip moves by the wheel's turn, and by a step of the scroll bar at least.
        QScrollBar* bar = ScrollBox2->verticalScrollBar();
        int value = SumnailScrollValue(SumnailTop() - delta);
        if (value == bar->value() && delta != 0)
            value += delta < 0 ? 1 : -1;
        bar->setValue(value);
    }
    return true;
}

bool TPreViewBase::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::Resize && Watched == ScrollBox2->viewport())
        ShowSumnails();
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
    try {
        DrawPage(Canvas);
    } catch (const std::exception& e) {
        // A page composed when first shown can fail only as its report does; say so on it.
        Canvas.restore();
        Canvas.save();
        Canvas.setPen(Qt::red);
        Canvas.drawText(FViewArea, Qt::AlignCenter | Qt::TextWordWrap,
                        QString::fromStdString(FailureText(e)));
    }
    Canvas.restore();
    if (MarginViewChecked->isChecked()) {
        QPen pen(QColor(128, 128, 128), 0, Qt::DashLine);
        Canvas.setPen(pen);
        const std::array<int, 6>& margins = FDocument.Marzins();
        auto my = [&](int v) { return static_cast<int>(std::nearbyint(MapPageY(v))); };
        auto mx = [&](int v) { return static_cast<int>(std::nearbyint(MapPageX(v))); };
        const int ys[4] = {m + my(margins[1]), m + my(margins[4]), (h - m) - my(margins[3]),
                           (h - m) - my(margins[5])};
        for (int y : ys)
            Canvas.drawLine(FViewArea.left(), y, FViewArea.right(), y);
        const int xs[2] = {m + mx(margins[0]), (w - m) - mx(margins[2])};
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
    const TPreviewPage& page = FDocument.Page(FDrawPageNum - 1);
    const std::array<int, 6>& margins = FDocument.Marzins();
    // The content area with header and footer: the recording's frame and what lies around it
    // up to the paper's edges.
    const QRectF frame(-margins[0], -margins[1], page.Meta.Width() + margins[0] + margins[2],
                       page.Meta.Height() + margins[1] + margins[3]);
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
