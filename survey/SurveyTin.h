#pragma once
// A triangulated surface in the survey plane and its sampling onto the mesh grid.
//
// Mesh point (i, j) stands at E = E0 + s·(i·cos θ − j·sin θ), N = N0 + s·(i·sin θ + j·cos θ):
// at θ = 0 mesh X numbers run east and Y numbers north. Each vertex is moved into grid units
// once, so neighbouring triangles see the same numbers for their shared corners; a grid point
// on a shared edge is interpolated along that edge alone, in one fixed direction, and a grid
// point on a vertex takes the vertex's height: either side gives the same bits.

#include "survey/SurveyData.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct TMeshFrame {
    double N0 = 0.0, E0 = 0.0; // survey position of mesh (0, 0)
    double Angle = 0.0;        // degrees, counter-clockwise
    double Span = 20.0;        // mesh spacing (m)
};

struct TSurveyTin {
    std::vector<TSurveyPoint> Points;
    std::vector<std::array<int32_t, 3>> Triangles;
    int64_t InputPoints = 0;           // as read
    int64_t DuplicatePoints = 0;       // same position as an earlier point, left out
    int64_t ConflictingDuplicates = 0; // ... of them, with another height (the first kept)
    TSurveyPoint FirstConflict;        // the first such position, with the height left out
    double FirstConflictKept = 0.0;    // ... and the height kept
    int64_t DroppedLongEdges = 0;      // triangles over the edge limit
    int64_t RepeatedFaces = 0;         // TIN faces over the same three points as an earlier one
};

// A LandXML TIN as it is, less faces that repeat an earlier one; scattered points through
// Delaunay triangulation (qhull). MaxEdge > 0 drops the triangles of either with an edge longer
// than MaxEdge metres. Throws EFailure naming `What` (the file) for fewer than three positions,
// points all on a line, or no triangle left; Progress may cancel a large triangulation.
TSurveyTin BuildSurveyTin(const TSurveySurface& Surface, double MaxEdge, const std::string& What,
                          const TSurveyProgress& Progress = {});

// The Delaunay triangles of distinct points; false when all lie on a line. Large sets are done
// in tiles on every core, with Progress asked after each tile (a cancel throws ESurveyCancelled
// once the tiles under way are done); Tiles false runs one triangulation over all (to check the
// tiles), as do sets too small for tiles.
bool SurveyDelaunay(const std::vector<TSurveyPoint>& Points,
                    std::vector<std::array<int32_t, 3>>& Triangles, bool Tiles = true,
                    const TSurveyProgress& Progress = {});

// Heights on a block of grid points; NaN where the surface does not cover a point.
struct TSurveyGrid {
    int64_t I0 = 0, J0 = 0; // the first grid point
    int64_t NI = 0, NJ = 0; // the number of them in each direction
    std::vector<double> Z;  // [j * NI + i]
    double At(int64_t i, int64_t j) const {
        return Z[static_cast<size_t>((j - J0) * NI + (i - I0))];
    }
};

// The block of mesh numbers that covers the surface's points. Throws EFailure when it does not
// fit 32-bit mesh numbers or would hold more than MaxSurveyGridCells points.
constexpr int64_t MaxSurveyGridCells = 60'000'000;
TSurveyGrid SurveyGridBox(const TSurveyTin& Tin, const TMeshFrame& Frame);

// Samples the surface onto the block given (filled with NaN first): each triangle row by row
// over the grid points within it, so the work follows the points covered and the rows crossed,
// not the triangles' boxes. Where faces overlap, the first one's height stays; returns how many
// grid points such a face covered again inside it. Throws EFailure naming `What` when the faces
// overlap so much that the work would pass what any TIN without overlaps needs (twice the
// block's points and three a triangle). Progress is asked at least every SurveySampleStep grid
// points and rows looked at, and may cancel.
constexpr int64_t SurveySampleStep = int64_t{1} << 16;
int64_t SampleSurveyTin(const TSurveyTin& Tin, const TMeshFrame& Frame, TSurveyGrid& Grid,
                        const TSurveyProgress& Progress = {}, const std::string& What = {});
