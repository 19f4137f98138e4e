#pragma once
// Survey data as read from outside files, before it meets the mesh: points in the survey
// plane (northing, easting, elevation, as Japanese surveying writes them: X north, Y east) and
// surfaces, which are either scattered points or a triangulated network. No Qt here.

#include "platform/Progress.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The largest coordinate or elevation read (m): far beyond any survey, and small enough that
// sums and products over a site stay exact enough and finite.
constexpr double MaxSurveyCoordinate = 1e8;

struct TSurveyPoint {
    double N = 0.0; // northing (survey X)
    double E = 0.0; // easting (survey Y)
    double Z = 0.0; // elevation
};

// The kinds of file read. Detected from the name and the first bytes; the user may change it.
enum class TSurveyFileKind { Points, Sima, LandXml };

// Which column of a point file is the northing: Japanese surveying writes X (north) first;
// other software writes east first.
enum class TSurveyOrder { NorthEast, EastNorth };

// One surface of a file: a TIN (triangles over the points) or scattered points to triangulate.
struct TSurveySurface {
    std::string Name; // the LandXML surface name; the file name for other kinds
    bool IsTin = false;
    std::vector<TSurveyPoint> Points;
    std::vector<std::array<int32_t, 3>> Triangles; // indexes into Points (TIN only)
    int64_t SkippedFaces = 0;                      // invisible faces (i="1") left out
};

// What was read from one file: its surfaces and what was passed over.
struct TSurveyFile {
    std::string Path;
    TSurveyFileKind Kind = TSurveyFileKind::Points;
    std::vector<TSurveySurface> Surfaces; // point files and SIMA: one
    int64_t SkippedRecords = 0;           // SIMA records other than A01, points without a height
    int64_t SkippedHeadings = 0;          // a point file's first line, when it holds no number
    std::string Encoding;                 // text files: "UTF-8", "CP932", "UTF-16LE", "UTF-16BE"
};

// Progress of a long read: the share done (0..1). Answers false to cancel, which ends the
// read with ESurveyCancelled.
using TSurveyProgress = TProgress;
using ESurveyCancelled = ECancelled;
