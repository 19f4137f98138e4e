#pragma once
// TCutFillMap: what the cut/fill map shows, without drawing it: a value at every mesh point
// (the fill height, planned minus ground, or the corrected volume of each calculated mesh),
// diverging class breaks around zero, and the zero line and contours by marching squares over
// the mesh points; the contours' interval (a round default, and what to do with one too fine)
// and where their labels go. No Qt: the map window, the printed map page and doryou-cli map draw
// it.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class TInputData;

enum class TMapLayer {
    Height, // planned minus ground height at each point, m (fill positive)
    Volume, // corrected fill (positive) or cut (negative) of each calculated mesh, m³
};

struct TMapPoint {
    int32_t X = 0, Y = 0;
    double Value = 0; // NaN where the point's heights are not numbers
};

// A contour piece between two points in mesh numbers (fractions between mesh points).
struct TMapSegment {
    double X1, Y1, X2, Y2;
};

// The pieces of each contour level, levels ascending.
using TContourLevels = std::vector<std::pair<double, std::vector<TMapSegment>>>;

struct TMapVertex {
    double X, Y;
};

// A contour's pieces joined into one run, in mesh numbers like its pieces.
struct TContourLine {
    double Level = 0;
    std::vector<TMapVertex> Points; // in order along the line; a closed line ends where it began
    std::vector<double> Along;      // the length from the first point to each point
    double MinX = 0, MinY = 0, MaxX = 0, MaxY = 0; // the box round the points
    double Length() const { return Along.empty() ? 0 : Along.back(); }
    bool Closed() const {
        return Points.size() > 2 && Points.front().X == Points.back().X &&
               Points.front().Y == Points.back().Y;
    }
};

// A level's label on its line: a box of the level's width and the rule's height, centred on the
// line and turned along it.
struct TContourLabel {
    double X = 0, Y = 0;   // the middle, on the line (mesh numbers, Y up)
    double DX = 1, DY = 0; // the baseline's direction, a unit vector that reads upright: DX > 0,
                           // or straight up
    double Level = 0;
    size_t Line = 0; // the line's index
};

struct TContourLabelRule {
    double Spacing = 0; // along a line from one label to the next, meshes; 0: one a line
    double Height = 0;  // of a label's box, meshes
    std::function<double(double Level)> Width; // of a level's label box, meshes
    // Only labels whose middle lies in this box (mesh numbers) are placed; an empty box: all.
    double MinX = 0, MinY = 0, MaxX = -1, MaxY = -1;
};

// What the contours at an interval asked for will show.
struct TContourPlan {
    double Interval = 0;  // the interval drawn; 0: none
    int64_t Levels = 0;   // the lines drawn (the zero line is the boundary's, not counted)
    bool TooFine = false; // the interval asked for gave more lines than allowed: Interval is the
                          // finest round one that does not
    bool Warning = false; // Message tells of a problem (too fine, no line, no value)
    std::string Message;  // what the window shows beside the map, in Japanese
};

class TCutFillMap {
public:
    TCutFillMap() = default;
    // The layer of a project. The volume layer is empty without valid results.
    TCutFillMap(const TInputData& Data, TMapLayer Layer);

    TMapLayer Layer() const { return FLayer; }
    double MeshSpan() const { return FMeshSpan; }
    // Points in scan order (Y, then X); one per place (the later of points sharing a place).
    const std::vector<TMapPoint>& Points() const { return FPoints; }
    bool Empty() const { return FPoints.empty(); }
    // Where a value's cell is centred, added to its mesh numbers: 0 for points and one-point
    // meshes, 0.5 for the meshes of the four-point methods, which lie between four points.
    double CellOffset() const { return FCellOffset; }
    // The extent in mesh numbers (inclusive).
    int64_t MinX() const { return FMinX; }
    int64_t MinY() const { return FMinY; }
    int64_t MaxX() const { return FMaxX; }
    int64_t MaxY() const { return FMaxY; }
    // The value at a place; false where there is no point.
    bool ValueAt(int64_t X, int64_t Y, double& Value) const;
    // The point's index in Points(), -1 where there is none.
    int IndexAt(int64_t X, int64_t Y) const;
    // The index of the first point at or after (X, Y) in scan order.
    size_t LowerBound(int64_t X, int64_t Y) const;

    // Class breaks, ascending and symmetric about zero: ±Step, ±2 Step, … ±Classes Step. A
    // round step (1, 2 or 5 times a power of ten) chosen so that the classes cover nearly all
    // values (the 98th percentile of |value|), so a few extremes do not wash the map out.
    std::vector<double> Breaks(int Classes = 5) const;
    // The class of a value: 0 for the lowest, Breaks().size() for the highest.
    static int ClassOf(double Value, const std::vector<double>& Breaks);

    // The line where Value crosses Level, over cells whose four corners have finite values;
    // a cell with a missing corner is not crossed. Level 0 gives the cut/fill boundary.
    std::vector<TMapSegment> Contour(double Level) const;
    // Contours at every multiple of Interval within the values' range, zero excluded; none
    // for a non-positive interval or more than MaxLevels levels.
    TContourLevels Contours(double Interval, int MaxLevels = kMaxContourLevels) const;

    // The most contour lines a map draws: more would hide the colours and take long to draw.
    static constexpr int kMaxContourLevels = 200;
    // The least and the greatest finite value; false when there is none.
    bool ValueRange(double& Low, double& High) const;
    // The lines at the multiples of Interval within the values' range, zero excluded (0 for a
    // bad interval; saturated for a tiny one).
    int64_t LevelCount(double Interval) const;
    // The layer's usual interval: the round step (1, 2 or 5 times a power of ten, not below
    // 0.001) that gives at most 20 lines over the values' range, most sites 10 to 20.
    double DefaultInterval() const;
    // The interval to draw for the interval asked, and what to say about it. An interval that
    // would give more than MaxLevels lines is replaced by the finest round interval at or above
    // which every interval gives at most MaxLevels.
    TContourPlan PlanContours(double Interval, int MaxLevels = kMaxContourLevels) const;
    // An interval with its unit ("0.5 m", "1,000 m³"), and a level as its label shows it, with
    // the decimals Interval needs.
    std::string IntervalText(double Interval) const;
    std::string LevelText(double Level, double Interval) const;

    // The pieces of every level joined into runs, level by level.
    static std::vector<TContourLine> ChainContours(const TContourLevels& Levels);
    // Labels along Lines: a line too short for its label has none, a longer one one every
    // Spacing (at least one), each moved along where the line bends under it, and none placed
    // over another.
    static std::vector<TContourLabel> PlaceLabels(const std::vector<TContourLine>& Lines,
                                                  const TContourLabelRule& Rule);

    // The layer's name as the window and the page show it, and its unit.
    static std::string LayerName(TMapLayer Layer);
    static std::string LayerUnit(TMapLayer Layer);

private:
    // Cell(X, Y, V) for every cell whose four corners hold finite values V (counter-clockwise
    // from (X, Y)), in scan order.
    template <class TCell> void ForEachCell(const TCell& Cell) const;

    TMapLayer FLayer = TMapLayer::Height;
    double FMeshSpan = 0;
    double FCellOffset = 0;
    std::vector<TMapPoint> FPoints; // in scan order, found by binary search
    double FLow = 0, FHigh = -1;    // the finite values' range; empty without one
    int64_t FMinX = 0, FMinY = 0, FMaxX = -1, FMaxY = -1;
};
