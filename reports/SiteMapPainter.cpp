#include "reports/SiteMapPainter.h"

#include "analysis/EarthAllocation.h"
#include "model/DataUnit.h"
#include "platform/Failure.h"
#include "preview/PageDocument.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

// Nine shades a side, from the faintest to the strongest.
const QColor kCut[] = {QColor(254, 224, 210), QColor(252, 187, 161), QColor(252, 146, 114),
                       QColor(251, 106, 74),  QColor(239, 59, 44),   QColor(203, 24, 29),
                       QColor(165, 15, 21),   QColor(130, 10, 18),   QColor(103, 0, 13)};
const QColor kFill[] = {QColor(222, 235, 247), QColor(198, 219, 239), QColor(158, 202, 225),
                        QColor(107, 174, 214), QColor(66, 146, 198),  QColor(33, 113, 181),
                        QColor(8, 81, 156),    QColor(8, 60, 130),    QColor(8, 48, 107)};

// A round number (1, 2 or 5 times a power of ten) not below V.
double RoundUp(double V) {
    if (!(V > 0))
        return 1;
    const double p = std::pow(10.0, std::floor(std::log10(V)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * p >= V * (1 - 1e-12))
            return m * p;
    return 10 * p;
}

QString Number(double V, int Decimals) {
    return QString::number(V, 'f', Decimals);
}

int DecimalsOf(double Step) {
    return Step >= 1 ? 0 : std::min(6, int(std::ceil(-std::log10(Step) - 1e-9)));
}

// Mesh numbers (Y up) in Frame onto Target.
QTransform FrameToTarget(const QRectF& Frame, const QRectF& Target) {
    const double kx = Target.width() / Frame.width(), ky = Target.height() / Frame.height();
    QTransform t;
    t.translate(Target.left(), Target.bottom());
    t.scale(kx, -ky);
    t.translate(-Frame.left(), -Frame.top());
    return t;
}

} // namespace

QColor TSiteMapPainter::ClassColour(int Class, int Classes) {
    const int side = std::clamp(Classes, 1, 9);
    if (Class == side)
        return Qt::white;
    // Spread the classes over the nine shades, strongest at the ends.
    auto shade = [side](int Step) { return side == 1 ? 4 : (Step - 1) * 8 / (side - 1); };
    if (Class < side)
        return kCut[shade(side - Class)];
    return kFill[shade(std::min(Class - side, side))];
}

TSiteMapPainter::TSiteMapPainter(const TCutFillMap& Map, int Classes)
    : FMap(Map), FBreaks(Map.Breaks(std::clamp(Classes, 1, 9))),
      FClasses(std::clamp(Classes, 1, 9)) {
    for (int c = 0; c <= int(FBreaks.size()); ++c)
        FColours.push_back(ClassColour(c, FClasses).rgba());
    if (Map.Empty())
        return;
    const int64_t w = Map.MaxX() - Map.MinX() + 1, h = Map.MaxY() - Map.MinY() + 1;
    // One pixel a mesh while that stays within 64 MB; scattered sites draw the cells in view.
    if (w > 16'000'000 || h > 16'000'000 / w)
        return;
    FImage = QImage(int(w), int(h), QImage::Format_ARGB32);
    FImage.fill(Qt::transparent);
    // Straight into the rows: ten million points through setPixelColor take a second.
    uchar* bits = FImage.bits();
    const qsizetype stride = FImage.bytesPerLine();
    for (const TMapPoint& p : Map.Points())
        reinterpret_cast<QRgb*>(bits + (p.Y - Map.MinY()) * stride)[p.X - Map.MinX()] =
            ColourOf(p.Value);
}

QRgb TSiteMapPainter::ColourOf(double Value) const {
    return std::isfinite(Value) ? FColours[size_t(TCutFillMap::ClassOf(Value, FBreaks))]
                                : qRgb(128, 128, 128);
}

QRectF TSiteMapPainter::SiteFrame() const {
    if (FMap.Empty())
        return QRectF(-0.5, -0.5, 1, 1);
    const double o = FMap.CellOffset();
    return QRectF(double(FMap.MinX()) - 0.5 + o, double(FMap.MinY()) - 0.5 + o,
                  double(FMap.MaxX() - FMap.MinX() + 1), double(FMap.MaxY() - FMap.MinY() + 1));
}

void TSiteMapPainter::PaintCells(QPainter& Painter, const QRectF& Target, const QRectF& Frame,
                                 const TSiteMapStyle& Style) const {
    if (FMap.Empty() || Frame.isEmpty())
        return;
    Painter.save();
    Painter.setClipRect(Target, Qt::IntersectClip);
    const QTransform t = FrameToTarget(Frame, Target);
    const double o = FMap.CellOffset();
    // Small sites as rectangles, so that pages and vector files show sharp cells; large ones
    // through the one-pixel-a-mesh image, which any device draws quickly.
    if (!FImage.isNull() && FMap.Points().size() > 50'000) {
        // Pixel (0, 0) is the lowest mesh numbers; the transform turns Y up.
        Painter.save();
        Painter.setTransform(t, true);
        Painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        const QRectF site(double(FMap.MinX()) - 0.5 + o, double(FMap.MinY()) - 0.5 + o,
                          FImage.width(), FImage.height());
        Painter.drawImage(site, FImage);
        Painter.restore();
    } else if (FMap.Points().size() > 50'000) {
        PaintVisibleCells(Painter, Target, Frame);
    } else {
        Painter.setPen(Qt::NoPen);
        Painter.setRenderHint(QPainter::Antialiasing, false);
        for (const TMapPoint& p : FMap.Points()) {
            const QRectF cell = t.mapRect(QRectF(p.X - 0.5 + o, p.Y - 0.5 + o, 1, 1));
            if (!cell.intersects(Target))
                continue;
            Painter.fillRect(cell,
                             std::isfinite(p.Value)
                                 ? ClassColour(TCutFillMap::ClassOf(p.Value, FBreaks), FClasses)
                                 : QColor(128, 128, 128));
        }
    }
    // Lines rather than one long path: a large site's zero line has many thousand pieces.
    auto lines = [&](const std::vector<TMapSegment>& Segments, const QPen& Pen) {
        std::vector<QLineF> drawn;
        drawn.reserve(Segments.size());
        const QRectF visible = t.inverted().mapRect(Target).adjusted(-1, -1, 1, 1);
        for (const TMapSegment& s : Segments)
            if (visible.contains(s.X1 + o, s.Y1 + o) || visible.contains(s.X2 + o, s.Y2 + o))
                drawn.emplace_back(t.map(QPointF(s.X1 + o, s.Y1 + o)),
                                   t.map(QPointF(s.X2 + o, s.Y2 + o)));
        Painter.setPen(Pen);
        Painter.drawLines(drawn.data(), int(drawn.size()));
    };
    const double unit = Style.LineUnit > 0 ? Style.LineUnit : std::max(1.0, Target.height() / 400);
    if (Style.ContourInterval > 0)
        for (const auto& level : ContourLines(Style.ContourInterval))
            lines(level.second, QPen(QColor(90, 90, 90), unit * 0.6));
    // Square caps close the joints between the pieces as round ones do (the corner that
    // sticks out is a fraction of the width) and draw many times faster.
    if (Style.Boundary)
        lines(ZeroLine(), QPen(Qt::black, unit * 1.6, Qt::SolidLine, Qt::SquareCap));
    // The labels over every line, the boundary's too: a label hides little of it. A window
    // gives its pixel; a picture or a page sizes them from itself, a little smaller.
    if (Style.ContourInterval > 0 && Style.ContourLabels)
        PaintContourLabels(Painter, Target, Frame, Style.ContourInterval,
                           Style.LineUnit > 0 ? unit * 10 : std::max(8.0, unit * 7.5));
    Painter.restore();
    if (Style.Allocation)
        PaintAllocation(Painter, Target, Frame, *Style.Allocation, Style.LineUnit);
}

void TSiteMapPainter::PaintVisibleCells(QPainter& Painter, const QRectF& Target,
                                        const QRectF& Frame) const {
    // The device's pixels under Target, at most 4096 a side.
    const QRectF device = Painter.transform().mapRect(Target);
    const int w = std::clamp(int(std::ceil(std::min(device.width(), 4096.0))), 1, 4096);
    const int h = std::clamp(int(std::ceil(std::min(device.height(), 4096.0))), 1, 4096);
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const double sx = w / Frame.width(), sy = h / Frame.height(); // pixels a mesh
    const double o = FMap.CellOffset();
    uchar* bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const auto paint = [&](const TMapPoint& P) {
        // The pixels whose centres the cell covers; at least the one it lies in.
        const double left = (P.X - 0.5 + o - Frame.left()) * sx;
        const double top = (Frame.bottom() - (P.Y + 0.5 + o)) * sy;
        const double x0 = std::round(left), y0 = std::round(top);
        const double x1 = std::max(x0 + 1, std::round(left + sx));
        const double y1 = std::max(y0 + 1, std::round(top + sy));
        if (x1 <= 0 || y1 <= 0 || x0 >= w || y0 >= h)
            return;
        const QRgb c = ColourOf(P.Value);
        const int xa = int(std::max(x0, 0.0)), xb = int(std::min(x1, double(w)));
        for (int y = int(std::max(y0, 0.0)); y < int(std::min(y1, double(h))); ++y)
            std::fill(reinterpret_cast<QRgb*>(bits + y * stride) + xa,
                      reinterpret_cast<QRgb*>(bits + y * stride) + xb, c);
    };
    // The rows and columns of mesh numbers in view, within the site.
    const std::vector<TMapPoint>& points = FMap.Points();
    const double yLow = std::max(std::ceil(Frame.top() - o - 0.5), double(FMap.MinY()));
    const double yHigh = std::min(std::floor(Frame.bottom() - o + 0.5), double(FMap.MaxY()));
    const double xLow = std::max(std::ceil(Frame.left() - o - 0.5), double(FMap.MinX()));
    const double xHigh = std::min(std::floor(Frame.right() - o + 0.5), double(FMap.MaxX()));
    if (yLow > yHigh || xLow > xHigh)
        return;
    if (yHigh - yLow < double(points.size()) / 4) {
        // Few rows in view: each row's points in view, found by their place.
        for (int64_t y = int64_t(yLow); y <= int64_t(yHigh); ++y)
            for (size_t i = FMap.LowerBound(int64_t(xLow), y);
                 i < points.size() && points[i].Y == y && points[i].X <= xHigh; ++i)
                paint(points[i]);
    } else {
        for (const TMapPoint& p : points)
            if (p.X >= xLow && p.X <= xHigh && p.Y >= yLow && p.Y <= yHigh)
                paint(p);
    }
    Painter.save();
    Painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    Painter.drawImage(Target, image);
    Painter.restore();
}

QRectF TSiteMapPainter::PlanFrame(const TAllocation& Plan) const {
    QRectF frame = SiteFrame();
    const double span = FMap.MeshSpan();
    if (!(span > 0) || !std::isfinite(span))
        return frame;
    // Mesh numbers are the frame of the centroids divided by the spacing.
    auto add = [&](const std::vector<TAllocEnd>& Ends) {
        for (const TAllocEnd& e : Ends)
            if ((e.Kind == TAllocEndKind::Borrow || e.Kind == TAllocEndKind::Spoil) &&
                std::isfinite(e.X) && std::isfinite(e.Y)) {
                const QPointF p(e.X / span, e.Y / span);
                frame = frame.united(QRectF(p - QPointF(1, 1), QSizeF(2, 2)));
            }
    };
    add(Plan.Sources);
    add(Plan.Sinks);
    // Room round a place for its mark, and on the right for its name and volume.
    const double m = std::max(frame.width(), frame.height()) * 0.04;
    return frame == SiteFrame() ? frame : frame.adjusted(-m, -m, 6 * m, m);
}

void TSiteMapPainter::PaintAllocation(QPainter& Painter, const QRectF& Target, const QRectF& Frame,
                                      const TAllocation& Plan, double LineUnit) const {
    const double span = FMap.MeshSpan();
    if (!Plan.Solved || Frame.isEmpty() || !(span > 0) || !std::isfinite(span))
        return;
    const QTransform t = FrameToTarget(Frame, Target);
    auto at = [&](const TAllocEnd& E) { return t.map(QPointF(E.X / span, E.Y / span)); };
    int64_t most = 0;
    for (const TAllocFlow& f : Plan.Flows)
        most = std::max(most, f.Volume);
    const double mesh = std::abs(t.m11()); // one mesh in target units
    // A window gives its pixel (its picture is larger than the view); a page sizes from itself.
    const double base =
        LineUnit > 0 ? LineUnit : std::max(1.0, std::min(Target.width(), Target.height()) / 400);
    const double widest = std::clamp(mesh * 0.5, base * 3, base * 10);
    Painter.save();
    Painter.setClipRect(Target, Qt::IntersectClip);
    Painter.setRenderHint(QPainter::Antialiasing, true);
    const QColor arrow(20, 110, 40, 200);
    for (const TAllocFlow& f : Plan.Flows) {
        if (f.Volume <= 0 || f.From < 0 || f.To < 0 ||
            f.From >= static_cast<int>(Plan.Sources.size()) ||
            f.To >= static_cast<int>(Plan.Sinks.size()))
            continue;
        const QPointF a = at(Plan.Sources[size_t(f.From)]), b = at(Plan.Sinks[size_t(f.To)]);
        // Widths by volume: the area of the line's section follows the volume.
        const double w = std::max(
            base * 0.6, widest * std::sqrt(double(f.Volume) / double(std::max<int64_t>(most, 1))));
        const QLineF line(a, b);
        const double length = line.length();
        const double head = std::min(length * 0.45, std::max(w * 2.2, base * 4));
        Painter.setPen(Qt::NoPen);
        Painter.setBrush(arrow);
        if (length < 1e-9) {
            Painter.drawEllipse(a, w, w);
            continue;
        }
        const QPointF u = (b - a) / length, n(-u.y(), u.x());
        const QPointF neck = b - u * head;
        Painter.setPen(QPen(arrow, w, Qt::SolidLine, Qt::FlatCap));
        Painter.drawLine(a, neck);
        Painter.setPen(Qt::NoPen);
        const double half = std::max(w, head * 0.45);
        const QPointF tri[] = {b, neck + n * half, neck - n * half};
        Painter.drawPolygon(tri, 3);
    }
    // The outside places: a triangle for a borrow pit, a square for a spoil site, and the name.
    QFont font = Painter.font();
    font.setPixelSize(std::max(6, int(std::lround(base * (LineUnit > 0 ? 11 : 9)))));
    font.setBold(true);
    Painter.setFont(font);
    const double r = base * 6;
    auto place = [&](const TAllocEnd& E) {
        if (E.Kind != TAllocEndKind::Borrow && E.Kind != TAllocEndKind::Spoil)
            return;
        const QPointF p = at(E);
        Painter.setPen(QPen(Qt::black, base * 0.8));
        if (E.Kind == TAllocEndKind::Borrow) {
            Painter.setBrush(QColor(230, 160, 40));
            const QPointF tri[] = {p + QPointF(0, -r), p + QPointF(r, r * 0.8),
                                   p + QPointF(-r, r * 0.8)};
            Painter.drawPolygon(tri, 3);
        } else {
            Painter.setBrush(QColor(120, 80, 40));
            Painter.drawRect(QRectF(p - QPointF(r * 0.8, r * 0.8), QSizeF(r * 1.6, r * 1.6)));
        }
        const QString label = QString::fromStdString(E.Name) +
                              QStringLiteral(" %1 m³").arg(QLocale().toString(qlonglong(E.Volume)));
        const QRectF box(p.x() + r * 1.3, p.y() - r * 1.5, r * 40, r * 3);
        Painter.setPen(Qt::white);
        for (const QPointF d : {QPointF(-1, 0), QPointF(1, 0), QPointF(0, -1), QPointF(0, 1)})
            Painter.drawText(box.translated(d * base * 0.7), Qt::AlignLeft | Qt::AlignVCenter,
                             label);
        Painter.setPen(Qt::black);
        Painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, label);
    };
    for (const TAllocEnd& e : Plan.Sources)
        place(e);
    for (const TAllocEnd& e : Plan.Sinks)
        place(e);
    Painter.restore();
}

const std::vector<TMapSegment>& TSiteMapPainter::ZeroLine() const {
    if (!FZeroReady) {
        FZeroLine = FMap.Contour(0);
        FZeroReady = true;
    }
    return FZeroLine;
}

const TContourPlan& TSiteMapPainter::ContourPlan(double Interval) const {
    if (Interval != FContourAsked) {
        FContourAsked = Interval;
        // No interval is no contours, nothing to say.
        FContourPlan = Interval != 0 ? FMap.PlanContours(Interval) : TContourPlan();
        FContoursReady = FRunsReady = false;
        FContours.clear();
        FContourRuns.clear();
        FLabelStamps.clear(); // the levels' texts may have other decimals
    }
    return FContourPlan;
}

const TContourLevels& TSiteMapPainter::ContourLines(double Interval) const {
    const TContourPlan& plan = ContourPlan(Interval);
    if (!FContoursReady) {
        if (plan.Interval > 0)
            FContours = FMap.Contours(plan.Interval);
        FContoursReady = true;
    }
    return FContours;
}

const std::vector<TContourLine>& TSiteMapPainter::ContourRuns(double Interval) const {
    const TContourLevels& levels = ContourLines(Interval);
    if (!FRunsReady) {
        FContourRuns = TCutFillMap::ChainContours(levels);
        FRunsReady = true;
    }
    return FContourRuns;
}

void TSiteMapPainter::PaintContourLabels(QPainter& Painter, const QRectF& Target,
                                         const QRectF& Frame, double Interval, double Size) const {
    const std::vector<TContourLine>& runs = ContourRuns(Interval);
    const double drawn = ContourPlan(Interval).Interval;
    const QTransform t = FrameToTarget(Frame, Target);
    // Target units a mesh; the frames keep the meshes square.
    const double k = std::sqrt(std::fabs(t.determinant()));
    if (runs.empty() || !(drawn > 0) || !(k > 0) || !std::isfinite(k))
        return;
    QFont font = Painter.font();
    font.setPixelSize(std::max(1, int(std::lround(Size))));
    const QFontMetricsF metrics(font, Painter.device());
    const double pad = Size * 0.3, height = metrics.ascent() + metrics.descent();
    std::map<double, QString> texts;
    auto text = [&](double Level) -> const QString& {
        auto it = texts.find(Level);
        if (it == texts.end())
            it = texts.emplace(Level, QString::fromStdString(FMap.LevelText(Level, drawn))).first;
        return it->second;
    };
    auto width = [&](double Level) { return metrics.horizontalAdvance(text(Level)) + 2 * pad; };
    TContourLabelRule rule;
    rule.Spacing = Size * 30 / k;
    rule.Height = height / k;
    rule.Width = [&](double Level) { return width(Level) / k; };
    // The part in view, in the contours' own numbers (a volume's lie half a mesh off).
    const double o = FMap.CellOffset();
    const QRectF visible = t.inverted().mapRect(Target);
    rule.MinX = visible.left() - o;
    rule.MaxX = visible.right() - o;
    rule.MinY = visible.top() - o;
    rule.MaxY = visible.bottom() - o;
    const std::vector<TContourLabel> labels = TCutFillMap::PlaceLabels(runs, rule);
    // On a faint white box, so that the level reads over any colour and the line under it.
    const QColor ground(255, 255, 255, 215), ink(40, 40, 40);
    // Into an image taken as it is, labels are stamped from small images already turned, kept
    // from one drawing to the next by level, size and angle in steps of 3°: a label turned
    // on the way costs forty times as much, and the window draws anew at every zoom. Pages
    // and vector files get the text.
    const bool stamp = Painter.paintEngine() &&
                       Painter.paintEngine()->type() == QPaintEngine::Raster &&
                       Painter.worldTransform().type() <= QTransform::TxTranslate;
    if (FLabelStamps.size() > 4000 || font != FStampFont) {
        FLabelStamps.clear();
        FStampFont = font;
    }
    auto stampOf = [&](double Level, int Step) -> const QImage& {
        QImage& image = FLabelStamps[std::make_tuple(Level, font.pixelSize(), Step)];
        if (image.isNull()) {
            const double w = width(Level);
            const QRectF box(-w / 2, -height / 2, w, height);
            QTransform turn;
            turn.rotate(Step * 3);
            const QRectF bounds = turn.mapRect(box);
            image = QImage(int(std::ceil(bounds.width())) + 2, int(std::ceil(bounds.height())) + 2,
                           QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.setRenderHint(QPainter::TextAntialiasing);
            p.translate(image.width() / 2.0, image.height() / 2.0);
            p.rotate(Step * 3);
            p.setFont(font);
            p.fillRect(box, ground);
            p.setPen(ink);
            p.drawText(box, Qt::AlignCenter, text(Level));
        }
        return image;
    };
    Painter.save();
    Painter.setFont(font);
    Painter.setPen(ink);
    Painter.setRenderHint(QPainter::TextAntialiasing);
    const QTransform base = Painter.worldTransform();
    for (const TContourLabel& label : labels) {
        const QPointF at = t.map(QPointF(label.X + o, label.Y + o));
        QPointF along = t.map(QPointF(label.X + o + label.DX, label.Y + o + label.DY)) - at;
        // Upright on the target, whose Y runs down.
        if (along.x() < 0 || (along.x() == 0 && along.y() > 0))
            along = -along;
        const double angle = std::atan2(along.y(), along.x()) * 180 / M_PI;
        if (stamp) {
            const QImage& image = stampOf(label.Level, int(std::lround(angle / 3)));
            Painter.drawImage(QPointF(std::round(at.x() - image.width() / 2.0),
                                      std::round(at.y() - image.height() / 2.0)),
                              image);
            continue;
        }
        // Turned about its middle; no save and restore a label, which copies the clip.
        QTransform turned = base;
        turned.translate(at.x(), at.y());
        turned.rotate(angle);
        Painter.setWorldTransform(turned);
        const double w = width(label.Level);
        const QRectF box(-w / 2, -height / 2, w, height);
        Painter.fillRect(box, ground);
        Painter.drawText(box, Qt::AlignCenter, text(label.Level));
    }
    Painter.restore();
}

void TSiteMapPainter::PaintLegend(QPainter& Painter, const QRectF& Box,
                                  double ContourInterval) const {
    const int n = int(FBreaks.size()) + 1;
    const bool contours = ContourInterval > 0;
    const double row = std::min(Box.height() / (n + 4 + (contours ? 2 : 0)), Box.width() / 5);
    const double step = FBreaks.empty() ? 1 : FBreaks[FBreaks.size() / 2];
    const int decimals = DecimalsOf(step);
    double y = Box.top();
    Painter.drawText(
        QRectF(Box.left(), y, Box.width(), row), Qt::AlignLeft | Qt::AlignVCenter,
        QString::fromStdString(TCutFillMap::LayerName(FMap.Layer())) + QStringLiteral(" (") +
            QString::fromStdString(TCutFillMap::LayerUnit(FMap.Layer())) + QStringLiteral(")"));
    y += row * 1.2;
    // Fill at the top, cut at the bottom, as the colours run.
    for (int c = n - 1; c >= 0; --c) {
        const QRectF swatch(Box.left(), y + row * 0.1, row * 1.4, row * 0.8);
        Painter.fillRect(swatch, ClassColour(c, FClasses));
        Painter.setPen(QPen(Qt::black, 0));
        Painter.drawRect(swatch);
        QString text;
        if (c == n - 1)
            text = Number(FBreaks.back(), decimals) + QStringLiteral(" 以上");
        else if (c == 0)
            text = Number(FBreaks.front(), decimals) + QStringLiteral(" 未満");
        else
            text = Number(FBreaks[c - 1], decimals) + QStringLiteral(" 〜 ") +
                   Number(FBreaks[c], decimals);
        Painter.drawText(QRectF(swatch.right() + row * 0.4, y, Box.width(), row),
                         Qt::AlignLeft | Qt::AlignVCenter, text);
        y += row;
    }
    Painter.drawText(QRectF(Box.left(), y, Box.width(), row), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("上：盛土　下：切土"));
    y += row;
    const QPen boundary(Qt::black, std::max(1.0, row / 12));
    Painter.setPen(boundary);
    Painter.drawLine(QPointF(Box.left(), y + row / 2),
                     QPointF(Box.left() + row * 1.4, y + row / 2));
    Painter.drawText(QRectF(Box.left() + row * 1.8, y, Box.width(), row),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("切盛境界"));
    if (!contours)
        return;
    // The interval on a row of its own: a volume's is too long to follow the name.
    y += row;
    Painter.setPen(QPen(QColor(90, 90, 90), std::max(1.0, row / 24)));
    Painter.drawLine(QPointF(Box.left(), y + row / 2),
                     QPointF(Box.left() + row * 1.4, y + row / 2));
    Painter.setPen(Qt::black);
    Painter.drawText(QRectF(Box.left() + row * 1.8, y, Box.width(), row),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("等高線"));
    y += row;
    Painter.drawText(
        QRectF(Box.left() + row * 1.8, y, Box.width(), row), Qt::AlignLeft | Qt::AlignVCenter,
        QString::fromStdString(FMap.IntervalText(ContourInterval)) + QStringLiteral(" 間隔"));
}

void TSiteMapPainter::Paint(QPainter& Painter, const QRectF& Target, const TSiteMapStyle& Style,
                            const QRectF& Frame) const {
    Painter.save();
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    const double text = std::max(6.0, std::min(Target.width(), Target.height()) / 45);
    font.setPixelSize(int(std::lround(text)));
    Painter.setFont(font);
    Painter.setPen(Qt::black);
    QRectF area = Target;
    if (!Style.Title.isEmpty()) {
        QFont big = font;
        big.setPixelSize(int(std::lround(text * 1.5)));
        Painter.setFont(big);
        Painter.drawText(QRectF(area.left(), area.top(), area.width(), text * 2.4),
                         Qt::AlignHCenter | Qt::AlignVCenter, Style.Title);
        Painter.setFont(font);
        area.setTop(area.top() + text * 2.6);
    }
    if (FMap.Empty()) {
        Painter.drawText(area, Qt::AlignCenter, QStringLiteral("表示する点がありません。"));
        Painter.restore();
        return;
    }
    const QRectF frame = !Frame.isEmpty()   ? Frame
                         : Style.Allocation ? PlanFrame(*Style.Allocation)
                                            : SiteFrame();
    QRectF mapBox = area;
    if (Style.Frame) {
        const double legendW = std::max(text * 12, area.width() * 0.22);
        PaintLegend(Painter,
                    QRectF(area.right() - legendW + text, area.top() + text, legendW - text,
                           area.height() - 2 * text),
                    Style.ContourInterval > 0 ? ContourPlan(Style.ContourInterval).Interval : 0);
        Painter.setPen(Qt::black);
        // Room for the Y numbers on the left, the X numbers and the scale bar below.
        mapBox = QRectF(area.left() + text * 5, area.top() + text,
                        area.width() - legendW - text * 5.5, area.height() - text * 6);
    }
    // Square meshes: the site keeps its shape.
    const double k = std::min(mapBox.width() / frame.width(), mapBox.height() / frame.height());
    const QRectF target(mapBox.left() + (mapBox.width() - frame.width() * k) / 2,
                        mapBox.top() + (mapBox.height() - frame.height() * k) / 2,
                        frame.width() * k, frame.height() * k);
    PaintCells(Painter, target, frame, Style);
    if (!Style.Frame) {
        Painter.restore();
        return;
    }
    Painter.setPen(QPen(Qt::black, 0));
    Painter.drawRect(target);
    // Mesh numbers at round steps, about eight along the longer side.
    const double tick = std::max(1.0, RoundUp(std::max(frame.width(), frame.height()) / 8));
    const QTransform t = FrameToTarget(frame, target);
    for (double x = std::ceil(frame.left() / tick) * tick; x <= frame.right(); x += tick) {
        const QPointF p = t.map(QPointF(x, frame.top()));
        Painter.drawLine(p, p + QPointF(0, text * 0.4));
        Painter.drawText(QRectF(p.x() - text * 4, p.y() + text * 0.4, text * 8, text * 1.4),
                         Qt::AlignHCenter | Qt::AlignTop, Number(x, 0));
    }
    for (double y = std::ceil(frame.top() / tick) * tick; y <= frame.bottom(); y += tick) {
        const QPointF p = t.map(QPointF(frame.left(), y));
        Painter.drawLine(p, p - QPointF(text * 0.4, 0));
        Painter.drawText(QRectF(p.x() - text * 5, p.y() - text * 0.7, text * 4.4, text * 1.4),
                         Qt::AlignRight | Qt::AlignVCenter, Number(y, 0));
    }
    Painter.drawText(
        QRectF(target.left(), target.bottom() + text * 1.8, target.width(), text * 1.4),
        Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("メッシュ番号 X"));
    // The scale bar: a round length near a quarter of the map's width.
    const double span = FMap.MeshSpan();
    if (span > 0 && std::isfinite(span)) {
        const double metres = RoundUp(frame.width() * span / 4);
        const double length = metres / span * k;
        const QPointF start(target.left(), target.bottom() + text * 4.2);
        Painter.fillRect(QRectF(start, QSizeF(length, text * 0.4)), Qt::black);
        Painter.drawText(
            QRectF(start.x() + length + text * 0.5, start.y() - text * 0.5, text * 12, text * 1.4),
            Qt::AlignLeft | Qt::AlignVCenter,
            Number(metres, DecimalsOf(metres)) + QStringLiteral(" m"));
    }
    Painter.restore();
}

void BuildMapPage(TPageDocument& Document, const TInputData& Data, TMapLayer Layer) {
    if (!Document.Recording()) {
        Document.NewPage(); // one page, counted without drawing the map
        Document.ViewEnd();
        return;
    }
    const TCutFillMap map(Data, Layer);
    const TSiteMapPainter painter(map);
    TSiteMapStyle style;
    style.Title = QString::fromStdString(Data.Title()) + QStringLiteral("　切盛図");
    Document.NewPage();
    painter.Paint(*Document.ViewCanvas(),
                  QRectF(0, 0, Document.PaperWidth(), Document.PaperHeight()), style);
    Document.ViewEnd();
}

void BuildAllocationMapPage(TPageDocument& Document, const TInputData& Data,
                            const TAllocation& Plan) {
    const TCutFillMap map(Data, TMapLayer::Height);
    const TSiteMapPainter painter(map);
    TSiteMapStyle style;
    style.Title = QString::fromStdString(Data.Title()) + QStringLiteral("　配分図");
    style.Allocation = &Plan;
    Document.NewPage();
    painter.Paint(*Document.ViewCanvas(),
                  QRectF(0, 0, Document.PaperWidth(), Document.PaperHeight()), style);
    Document.ViewEnd();
}

QByteArray MapFileBytes(const TSiteMapPainter& Painter, const TSiteMapStyle& Style,
                        TMapFileKind Kind, QSize Size, const QRectF& Frame) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const int width = Size.width(), height = Size.height();
    if (Kind == TMapFileKind::Png) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        Painter.Paint(p, QRectF(0, 0, width, height), Style, Frame);
        p.end();
        if (!image.save(&buffer, "PNG"))
            throw EFailure("PNG を作成できません。");
    } else if (Kind == TMapFileKind::Svg) {
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(QSize(width, height));
        generator.setViewBox(QRect(0, 0, width, height));
        generator.setTitle(Style.Title);
        QPainter p(&generator);
        Painter.Paint(p, QRectF(0, 0, width, height), Style, Frame);
        p.end();
    } else {
        // A landscape A4 sheet with 10 mm margins.
        QPdfWriter writer(&buffer);
        writer.setCreator(QStringLiteral("doryou"));
        writer.setResolution(600);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                         QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
        QPainter p;
        if (!p.begin(&writer))
            throw EFailure("PDF を作成できません。");
        p.setRenderHint(QPainter::TextAntialiasing);
        Painter.Paint(p, QRectF(0, 0, writer.width(), writer.height()), Style, Frame);
        if (!p.end())
            throw EFailure("PDF を書き込めません。");
    }
    buffer.close();
    return bytes;
}
