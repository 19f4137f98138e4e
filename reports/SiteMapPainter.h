#pragma once
// TSiteMapPainter: draws the cut/fill map (TCutFillMap) into a rectangle of any painter: the
// cells coloured by class, the cut/fill boundary and contours labelled with their levels, mesh
// numbers on both axes, the legend and a scale bar. The map window, the printed map page and
// doryou-cli map use it, so every picture of the site is the same.

#include "analysis/CutFillMap.h"

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

#include <map>
#include <tuple>
#include <vector>

class QPainter;
class TInputData;
struct TAllocation;
class TPageDocument;

struct TSiteMapStyle {
    QString Title;
    bool Boundary = true;       // the zero line
    double ContourInterval = 0; // 0: no contours; one too fine is drawn as its plan says
    bool ContourLabels = true;  // each contour labelled with its level
    bool Frame = true;          // axes with mesh numbers, legend and scale bar
    int Classes = 5;            // classes on each side of zero
    double LineUnit = 0;        // width of a contour line; 0: from the target's height
    // A haul plan drawn over the cells: arrows from source to sink, widths by volume, and the
    // borrow pits and spoil sites as marked, named points. Not owned.
    const TAllocation* Allocation = nullptr;
};

class TSiteMapPainter {
public:
    explicit TSiteMapPainter(const TCutFillMap& Map, int Classes = 5);

    // Everything into Target (device units of Painter), the map kept square to the site. A
    // non-empty Frame (mesh numbers, Y up) shows that part of the site instead of all of it,
    // as the window's exported view does.
    void Paint(QPainter& Painter, const QRectF& Target, const TSiteMapStyle& Style,
               const QRectF& Frame = QRectF()) const;
    // Only the cells and lines, with mesh frame rectangle Frame (mesh numbers, Y up) shown in
    // Target; for the window, which adds its own frame and zoom.
    void PaintCells(QPainter& Painter, const QRectF& Target, const QRectF& Frame,
                    const TSiteMapStyle& Style) const;

    // The legend of the classes and the zero line, in the painter's font, into Box; and the
    // contours' interval when one is given.
    void PaintLegend(QPainter& Painter, const QRectF& Box, double ContourInterval = 0) const;

    // The whole site in mesh numbers, half a mesh round every cell.
    QRectF SiteFrame() const;
    // The site and the outside places of Plan (with room for their names), in mesh numbers.
    QRectF PlanFrame(const TAllocation& Plan) const;
    // The arrows and places of Plan over Frame shown in Target (as PaintCells); LineUnit as in
    // the style.
    void PaintAllocation(QPainter& Painter, const QRectF& Target, const QRectF& Frame,
                         const TAllocation& Plan, double LineUnit = 0) const;
    const std::vector<double>& Breaks() const { return FBreaks; }
    // The colour of class Class of 2 Classes + 1: cut in reds, fill in blues, white between.
    static QColor ClassColour(int Class, int Classes);
    // The cells as an image, one pixel a mesh (Y up), when the site is compact enough for it;
    // a null image for sites scattered too widely.
    const QImage& CellImage() const { return FImage; }

    // The zero line and the contours for the interval asked, worked out on first use and kept:
    // the window repaints far more often than the map changes. The contours are those of the
    // interval's plan, which replaces an interval too fine.
    const std::vector<TMapSegment>& ZeroLine() const;
    const TContourPlan& ContourPlan(double Interval) const;
    const TContourLevels& ContourLines(double Interval) const;
    // The same contours joined into runs, for their labels.
    const std::vector<TContourLine>& ContourRuns(double Interval) const;

private:
    // The colour of a value's class; grey where it is no number.
    QRgb ColourOf(double Value) const;
    // The cells within Frame shown in Target, into an image at the target's resolution: a cell
    // smaller than a pixel costs one pixel. For large sites without the one-pixel-a-mesh image.
    void PaintVisibleCells(QPainter& Painter, const QRectF& Target, const QRectF& Frame) const;
    // The contours' labels at Interval (asked) over Frame shown in Target, text Size high.
    void PaintContourLabels(QPainter& Painter, const QRectF& Target, const QRectF& Frame,
                            double Interval, double Size) const;

    const TCutFillMap& FMap;
    std::vector<double> FBreaks;
    int FClasses;
    std::vector<QRgb> FColours; // by class
    QImage FImage;
    mutable bool FZeroReady = false;
    mutable std::vector<TMapSegment> FZeroLine;
    mutable double FContourAsked = 0;
    mutable TContourPlan FContourPlan;
    mutable bool FContoursReady = false, FRunsReady = false;
    mutable TContourLevels FContours;
    mutable std::vector<TContourLine> FContourRuns;
    // Labels drawn into images in FStampFont, by level, text size and angle step.
    mutable std::map<std::tuple<double, int, int>, QImage> FLabelStamps;
    mutable QFont FStampFont;
};

enum class TMapFileKind { Png, Svg, Pdf };

// The map as the bytes of a file: a Size pixel picture (PNG, SVG) or a landscape A4 sheet (PDF),
// Frame as for Paint. The window's export and doryou-cli map write these. Throws EFailure.
QByteArray MapFileBytes(const TSiteMapPainter& Painter, const TSiteMapStyle& Style,
                        TMapFileKind Kind, QSize Size, const QRectF& Frame = QRectF());

// The map as a printed page of its own: the layer's map fitted to the content area, with title,
// legend, scale bar and the zero line.
void BuildMapPage(TPageDocument& Document, const TInputData& Data, TMapLayer Layer);
// The allocation map "配分図": the cut/fill map with Plan's arrows and outside places.
void BuildAllocationMapPage(TPageDocument& Document, const TInputData& Data,
                            const TAllocation& Plan);
