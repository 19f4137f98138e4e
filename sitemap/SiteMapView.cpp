#include "sitemap/SiteMapView.h"

#include "analysis/CutFillMap.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

// Zoom levels whose cached image is kept.
constexpr size_t kCachedLevels = 4;
// The most pixels a mesh: a cell as large as a thumb is as near as anyone looks.
constexpr double kMaxScale = 400;

// A round number (1, 2 or 5 times a power of ten) not below V.
double RoundStep(double V) {
    if (!(V > 0))
        return 1;
    const double p = std::pow(10.0, std::floor(std::log10(V)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * p >= V * (1 - 1e-12))
            return m * p;
    return 10 * p;
}

// The radius of a finding's ring at Scale pixels a mesh.
double MarkRadius(double Scale) {
    return std::clamp(Scale * 0.6, 4.0, 14.0);
}

} // namespace

TSiteMapView::TSiteMapView(QWidget* AOwner) : QWidget(AOwner) {
    setMouseTracking(true);
    setMinimumSize(200, 160);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

void TSiteMapView::SetMap(const TCutFillMap* Map, const TSiteMapPainter* Painter, bool KeepView) {
    const bool had = FMap != nullptr;
    FMap = Map;
    FPainter = Painter;
    FHover = false;
    DropCaches();
    if (!KeepView || !had)
        Fit();
    update();
}

void TSiteMapView::SetStyle(const TSiteMapStyle& Style) {
    FStyle = Style;
    DropCaches();
    update();
}

void TSiteMapView::SetMarks(std::vector<QPointF> Marks) {
    FMarks = std::move(Marks);
    FSelectedMark = -1;
    DropCaches();
    update();
}

void TSiteMapView::SetSelectedMark(int Index) {
    FSelectedMark = Index;
    update();
}

void TSiteMapView::DropCaches() {
    FCaches.clear();
}

QRectF TSiteMapView::WholeFrame() const {
    if (!FPainter)
        return QRectF();
    return FStyle.Allocation ? FPainter->PlanFrame(*FStyle.Allocation) : FPainter->SiteFrame();
}

double TSiteMapView::FitScale() const {
    if (!FPainter)
        return 1;
    const QRectF frame = WholeFrame();
    const double k = std::min((width() - 60) / frame.width(), (height() - 40) / frame.height());
    return std::clamp(k, 1e-6, kMaxScale);
}

void TSiteMapView::Fit() {
    FScale = FitScale();
    // The site's middle, nudged so that it sits between the rulers.
    FCentre = WholeFrame().center();
    FCentre += QPointF(-20 / FScale, -10 / FScale);
    update();
}

void TSiteMapView::ZoomAt(double Factor, const QPointF& Pos) {
    const QPointF place = ToMesh(Pos);
    FScale = std::clamp(FScale * Factor, FitScale() / 8, kMaxScale);
    // The place under the pointer stays under it.
    const QPointF now = ToMesh(Pos);
    FCentre += place - now;
    update();
}

void TSiteMapView::CentreOn(const QPointF& Place, double MinScale) {
    FScale = std::clamp(std::max(FScale, MinScale), FitScale() / 8, kMaxScale);
    FCentre = Place;
    update();
}

QPointF TSiteMapView::ToMesh(const QPointF& Pos) const {
    return QPointF(FCentre.x() + (Pos.x() - width() / 2.0) / FScale,
                   FCentre.y() - (Pos.y() - height() / 2.0) / FScale);
}

QPointF TSiteMapView::ToWidget(const QPointF& Place) const {
    return QPointF(width() / 2.0 + (Place.x() - FCentre.x()) * FScale,
                   height() / 2.0 - (Place.y() - FCentre.y()) * FScale);
}

QRectF TSiteMapView::VisibleFrame() const {
    const QPointF a = ToMesh(QPointF(0, height())), b = ToMesh(QPointF(width(), 0));
    return QRectF(a, b).normalized();
}

bool TSiteMapView::PointAt(const QPointF& Pos, int32_t& X, int32_t& Y) const {
    if (!FMap || FMap->Empty())
        return false;
    const QPointF place = ToMesh(Pos) - QPointF(FMap->CellOffset(), FMap->CellOffset());
    const double x = std::round(place.x()), y = std::round(place.y());
    if (!(std::fabs(x) < 2.1e9 && std::fabs(y) < 2.1e9))
        return false;
    if (FMap->IndexAt(int64_t(x), int64_t(y)) < 0)
        return false;
    X = int32_t(x);
    Y = int32_t(y);
    return true;
}

const TSiteMapView::TCache& TSiteMapView::CacheFor(const QRectF& Visible) {
    ++FUseCount;
    for (TCache& c : FCaches)
        if (std::fabs(c.Scale - FScale) <= 1e-9 * FScale && c.Frame.contains(Visible)) {
            c.Used = FUseCount;
            return c;
        }
    // A new image half a view larger on every side, so that panning stays within it a while.
    if (FCaches.size() >= kCachedLevels)
        FCaches.erase(
            std::min_element(FCaches.begin(), FCaches.end(),
                             [](const TCache& A, const TCache& B) { return A.Used < B.Used; }));
    TCache c;
    c.Scale = FScale;
    c.Used = FUseCount;
    // Whole pixels, so that the image lies on the view's pixels.
    const int w = 2 * std::max(1, width()), h = 2 * std::max(1, height());
    const QPointF centre = Visible.center();
    c.Frame = QRectF(centre.x() - w / 2.0 / FScale, centre.y() - h / 2.0 / FScale, w / FScale,
                     h / FScale);
    c.Image = QImage(w, h, QImage::Format_RGB32);
    c.Image.fill(QColor(236, 236, 236));
    if (FPainter) {
        QPainter p(&c.Image);
        // The site's own ground: white where the frame has no cell.
        const QRectF site = FPainter->SiteFrame();
        const QRectF inImage((site.left() - c.Frame.left()) * FScale,
                             (c.Frame.bottom() - site.bottom()) * FScale, site.width() * FScale,
                             site.height() * FScale);
        p.fillRect(inImage, Qt::white);
        p.setRenderHint(QPainter::Antialiasing);
        FPainter->PaintCells(p, QRectF(0, 0, w, h), c.Frame, FStyle);
        // The findings: an orange ring round each place, stamped from one small image, as a
        // site with many findings would take long to draw ring by ring.
        const double r = MarkRadius(FScale);
        const int side = int(std::ceil(2 * r + 4));
        QImage ring(side, side, QImage::Format_ARGB32_Premultiplied);
        ring.fill(Qt::transparent);
        {
            QPainter rp(&ring);
            rp.setRenderHint(QPainter::Antialiasing);
            rp.setPen(QPen(QColor(255, 140, 0), 2));
            rp.drawEllipse(QPointF(side / 2.0, side / 2.0), r, r);
        }
        // Zoomed out, many findings share a pixel: each pixel's ring is stamped once.
        const QRectF near = c.Frame.adjusted(-1, -1, 1, 1);
        std::vector<bool> stamped(size_t(w) * size_t(h));
        for (const QPointF& m : FMarks) {
            if (!near.contains(m))
                continue;
            const QPoint at(int(std::lround((m.x() - c.Frame.left()) * FScale - side / 2.0)),
                            int(std::lround((c.Frame.bottom() - m.y()) * FScale - side / 2.0)));
            const QPoint middle = at + QPoint(side / 2, side / 2);
            if (middle.x() >= 0 && middle.x() < w && middle.y() >= 0 && middle.y() < h) {
                auto&& seen = stamped[size_t(middle.y()) * size_t(w) + size_t(middle.x())];
                if (seen)
                    continue;
                seen = true;
            }
            p.drawImage(at, ring);
        }
    }
    ++FCacheRenders;
    FCaches.push_back(std::move(c));
    return FCaches.back();
}

void TSiteMapView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRectF visible = VisibleFrame();
    const TCache& cache = CacheFor(visible);
    const QPointF corner = ToWidget(QPointF(cache.Frame.left(), cache.Frame.bottom()));
    p.fillRect(rect(), QColor(236, 236, 236));
    p.drawImage(QPoint(int(std::lround(corner.x())), int(std::lround(corner.y()))), cache.Image);

    p.setRenderHint(QPainter::Antialiasing);
    const double o = FMap ? FMap->CellOffset() : 0;
    // The chosen finding, larger than its ring in the image.
    const double r = MarkRadius(FScale);
    if (FSelectedMark >= 0 && size_t(FSelectedMark) < FMarks.size()) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(200, 0, 160), 3));
        p.drawEllipse(ToWidget(FMarks[size_t(FSelectedMark)]), r * 1.6, r * 1.6);
    }
    if (FHover) {
        const QPointF a = ToWidget(QPointF(FHoverX + o - 0.5, FHoverY + o + 0.5));
        const QPointF b = ToWidget(QPointF(FHoverX + o + 0.5, FHoverY + o - 0.5));
        QRectF cell(a, b);
        if (cell.width() < 6)
            cell = QRectF(cell.center() - QPointF(3, 3), QSizeF(6, 6));
        p.setPen(QPen(Qt::black, 1.5));
        p.drawRect(cell);
    }
    PaintRulers(p);
}

void TSiteMapView::PaintRulers(QPainter& Painter) const {
    Painter.setRenderHint(QPainter::Antialiasing, false);
    QFont f = font();
    f.setPixelSize(11);
    Painter.setFont(f);
    const QColor band(255, 255, 255, 215);
    const int left = 44, bottom = 18;
    Painter.fillRect(QRect(0, 0, left, height()), band);
    Painter.fillRect(QRect(0, height() - bottom, width(), bottom), band);
    Painter.setPen(QColor(60, 60, 60));
    // Mesh numbers every round step, about 80 pixels apart.
    const double step = std::max(1.0, RoundStep(80 / FScale));
    const QRectF visible = VisibleFrame();
    for (double x = std::ceil(visible.left() / step) * step; x <= visible.right(); x += step) {
        const double px = ToWidget(QPointF(x, 0)).x();
        if (px < left)
            continue;
        Painter.drawLine(QPointF(px, height() - bottom), QPointF(px, height() - bottom + 4));
        Painter.drawText(QRectF(px - 40, height() - bottom + 3, 80, bottom - 3),
                         Qt::AlignHCenter | Qt::AlignTop, QString::number(x, 'f', 0));
    }
    for (double y = std::ceil(visible.top() / step) * step; y <= visible.bottom(); y += step) {
        const double py = ToWidget(QPointF(0, y)).y();
        if (py > height() - bottom)
            continue;
        Painter.drawLine(QPointF(left - 4, py), QPointF(left, py));
        Painter.drawText(QRectF(0, py - 8, left - 6, 16), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(y, 'f', 0));
    }
    Painter.fillRect(QRect(0, height() - bottom, left, bottom), Qt::white);
    Painter.drawText(QRect(2, height() - bottom, left - 4, bottom), Qt::AlignCenter,
                     QStringLiteral("Y / X"));
    // The scale bar, a round length of about a hundred pixels, at the lower right.
    const double span = FMap ? FMap->MeshSpan() : 0;
    if (span > 0 && std::isfinite(span)) {
        const double metres = RoundStep(100 / FScale * span);
        const double length = metres / span * FScale;
        const QString text = QString::number(metres, 'g', 6) + QStringLiteral(" m");
        const QRectF box(width() - length - 24, height() - bottom - 30, length + 16, 24);
        Painter.fillRect(box, band);
        Painter.fillRect(QRectF(box.left() + 8, box.bottom() - 8, length, 4), Qt::black);
        Painter.drawText(QRectF(box.left(), box.top() + 1, box.width(), 13), Qt::AlignCenter, text);
    }
}

void TSiteMapView::resizeEvent(QResizeEvent* Event) {
    QWidget::resizeEvent(Event);
    const bool first = FCaches.empty() && FCacheRenders == 0;
    DropCaches();
    if (first)
        Fit();
}

void TSiteMapView::wheelEvent(QWheelEvent* Event) {
    const double notches = Event->angleDelta().y() / 120.0;
    if (notches != 0)
        ZoomAt(std::pow(1.25, notches), Event->position());
    Event->accept();
}

void TSiteMapView::mousePressEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::LeftButton) {
        FDragging = true;
        FDragged = false;
        FDragStart = FLastPos = Event->position();
        setCursor(Qt::ClosedHandCursor);
    }
    QWidget::mousePressEvent(Event);
}

void TSiteMapView::mouseMoveEvent(QMouseEvent* Event) {
    const QPointF pos = Event->position();
    if (FDragging && (Event->buttons() & Qt::LeftButton)) {
        if ((pos - FDragStart).manhattanLength() > 3)
            FDragged = true;
        if (FDragged) {
            const QPointF d = pos - FLastPos;
            FCentre += QPointF(-d.x() / FScale, d.y() / FScale);
            update();
        }
        FLastPos = pos;
    }
    Hover(pos);
}

void TSiteMapView::mouseReleaseEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::LeftButton) {
        FDragging = false;
        unsetCursor();
    }
    QWidget::mouseReleaseEvent(Event);
}

void TSiteMapView::mouseDoubleClickEvent(QMouseEvent* Event) {
    if (Event->button() != Qt::LeftButton)
        return;
    int32_t x = 0, y = 0;
    if (PointAt(Event->position(), x, y)) {
        emit PointActivated(x, y);
        return;
    }
    // A finding where no point is (a hole): its place, for the point to be entered there.
    const double reach = MarkRadius(FScale);
    for (const QPointF& m : FMarks)
        if (QLineF(ToWidget(m), Event->position()).length() <= reach) {
            emit PointActivated(int(std::floor(m.x() + 1e-6)), int(std::floor(m.y() + 1e-6)));
            return;
        }
}

void TSiteMapView::leaveEvent(QEvent* Event) {
    QWidget::leaveEvent(Event);
    if (FHover) {
        FHover = false;
        update();
        emit PointHovered(false, 0, 0);
    }
}

void TSiteMapView::Hover(const QPointF& Pos) {
    int32_t x = 0, y = 0;
    const bool any = PointAt(Pos, x, y);
    if (any == FHover && (!any || (x == FHoverX && y == FHoverY)))
        return;
    FHover = any;
    FHoverX = x;
    FHoverY = y;
    update();
    emit PointHovered(any, x, y);
}
