#pragma once
// TCutFillMap: what the cut/fill map shows, without drawing it: a value at every mesh point
// (the fill height, planned minus ground, or the corrected volume of each calculated mesh),
// diverging class breaks around zero, and the zero line and contours by marching squares over
// the mesh points. No Qt: the map window, the printed map page and doryou-cli map draw it.

#include <cstddef>
#include <cstdint>
#include <string>
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
    std::vector<std::pair<double, std::vector<TMapSegment>>> Contours(double Interval,
                                                                      int MaxLevels = 200) const;

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
    int64_t FMinX = 0, FMinY = 0, FMaxX = -1, FMaxY = -1;
};
