#pragma once
// TSiteMapView: the cut/fill map on screen, zoomed and panned by the user. The cells and lines
// come from TSiteMapPainter, drawn once into a cached image a little larger than the view at
// the zoom in use, so panning and hovering only copy it; a few zoom levels are kept, so going
// back to one costs nothing. The marks of the check findings go into the image too; mesh numbers
// along the edges, a scale bar, the chosen finding and the point under the pointer are drawn
// over it on every repaint.

#include "reports/SiteMapPainter.h"

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QWidget>

#include <cstdint>
#include <vector>

class TCutFillMap;

class TSiteMapView : public QWidget {
    Q_OBJECT
public:
    explicit TSiteMapView(QWidget* AOwner = nullptr);

    // The map and its painter (not owned; both live until the next SetMap). Keeps the place
    // shown when KeepView and there was a map before, else fits the site.
    void SetMap(const TCutFillMap* Map, const TSiteMapPainter* Painter, bool KeepView);
    void SetStyle(const TSiteMapStyle& Style);
    const TSiteMapStyle& Style() const { return FStyle; }
    // Places (mesh numbers, Y up, cell centres) marked as check findings.
    void SetMarks(std::vector<QPointF> Marks);
    void SetSelectedMark(int Index);

    // The whole site in the view, and the outside places of an allocation drawn.
    void Fit();
    // Multiplies the zoom by Factor keeping the place under Pos (widget pixels) where it is.
    void ZoomAt(double Factor, const QPointF& Pos);
    // Shows the place (mesh numbers) in the middle, zoomed in to at least MinScale.
    void CentreOn(const QPointF& Place, double MinScale);

    // Pixels a mesh, and the place in the middle of the view (mesh numbers, Y up).
    double Scale() const { return FScale; }
    QPointF Centre() const { return FCentre; }
    QPointF ToMesh(const QPointF& Pos) const;
    QPointF ToWidget(const QPointF& Place) const;
    // The part of the site in view (mesh numbers, Y up).
    QRectF VisibleFrame() const;
    // The map point whose cell lies under Pos; false where there is none.
    bool PointAt(const QPointF& Pos, int32_t& X, int32_t& Y) const;

    // How often the cells were drawn into a cache, for the tests and benchmarks.
    int CacheRenders() const { return FCacheRenders; }
    // Forgets the cached images: the map, its style or the size changed.
    void DropCaches();

signals:
    // The pointer rests over the point (Any) or over no point.
    void PointHovered(bool Any, int X, int Y);
    // A double click on the point.
    void PointActivated(int X, int Y);

protected:
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void wheelEvent(QWheelEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void leaveEvent(QEvent* Event) override;

private:
    struct TCache {
        double Scale = 0;
        QRectF Frame; // mesh numbers covered, Y up
        QImage Image;
        int Used = 0; // when last used, to let the oldest go
    };
    const TCache& CacheFor(const QRectF& Visible);
    void PaintRulers(QPainter& Painter) const;
    void Hover(const QPointF& Pos);
    double FitScale() const;
    QRectF WholeFrame() const;

    const TCutFillMap* FMap = nullptr;
    const TSiteMapPainter* FPainter = nullptr;
    TSiteMapStyle FStyle;
    std::vector<QPointF> FMarks;
    int FSelectedMark = -1;
    double FScale = 1;
    QPointF FCentre;
    std::vector<TCache> FCaches;
    int FUseCount = 0;
    int FCacheRenders = 0;
    bool FDragging = false;
    bool FDragged = false;
    QPointF FDragStart;
    QPointF FLastPos;
    bool FHover = false;
    int32_t FHoverX = 0, FHoverY = 0;
};
