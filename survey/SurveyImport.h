#pragma once
// Survey surfaces onto the project's mesh: the files are read, triangulated and sampled onto
// the grid and every change is worked out before the project is touched, so that a failure or
// a cancel leaves it as it was and the windows can show the summary before OK. Apply then
// registers the points as a hand registration does (phase 1 set, phase 2 cleared) and stores
// the georeference with the project (tag "survey").

#include "model/DataUnit.h"
#include "survey/SurveyData.h"
#include "survey/SurveyTin.h"

#include <string>
#include <vector>

struct TSurveySource {
    std::string Path;
    TSurveyFileKind Kind = TSurveyFileKind::Points;
    std::string Surface; // for a file with several surfaces: the one to use
};

struct TSurveyImportOptions {
    TSurveySource Ground;
    bool HasPlan = false;
    TSurveySource Plan;
    std::vector<TSurveySource> Layers; // boundary elevations of layers 1.. (elevation mode)
    TMeshFrame Frame;                  // Span: the project's mesh spacing
    TSurveyOrder Order = TSurveyOrder::NorthEast;
    double MaxEdge = 0.0; // 0: no limit
    // The memory the import may plan for (bytes); 0: half of what the machine has.
    uint64_t MemoryLimit = 0;
};

struct TSurveySurfaceSummary {
    std::string Path, Surface;
    int64_t Points = 0, Triangles = 0;
    int64_t Duplicates = 0, Conflicts = 0, LongEdges = 0, SkippedRecords = 0, InvisibleFaces = 0;
    int64_t SkippedHeadings = 0; // a point file's first line without numbers
    TSurveyPoint FirstConflict;
    double FirstConflictKept = 0.0;
    int64_t RepeatedFaces = 0; // TIN faces over the same three points as an earlier one
    int64_t Overlaps = 0;      // mesh points an overlapping face covered again (the first kept)
};

// A layer boundary and the imported meshes it does not cover: new ones are left without an
// elevation (NaN, which the data check names), existing ones keep theirs.
struct TSurveyBoundarySummary {
    TSurveySurfaceSummary Surface;
    int64_t NotCovered = 0, Unset = 0;
};

struct TSurveyImportSummary {
    TSurveySurfaceSummary Ground, Plan;
    bool HasPlan = false;
    int64_t NewMeshes = 0, UpdatedMeshes = 0;
    int64_t OutsideMeshes = 0;  // meshes of the project the ground does not cover (unchanged)
    int64_t PlanNotCovered = 0; // imported meshes outside the plan (planned height kept/ground)
    int32_t MinX = 0, MaxX = 0, MinY = 0, MaxY = 0;
    std::vector<TSurveyBoundarySummary> Boundaries; // layer 2's top elevation onwards
};

// The same lines for the command line tool and the dialog.
std::string SurveyImportSummaryText(const TSurveyImportSummary& Summary);

// The names of the surfaces in a file ("" for point and SIMA files), for the dialog's choice.
std::vector<std::string> SurveySurfaceNames(const TSurveyFile& File);

class TSurveyImport {
public:
    // Reads, triangulates and samples. Throws EFailure (or ESurveyCancelled).
    TSurveyImport(const TInputData& Data, const TSurveyImportOptions& Options,
                  const TSurveyProgress& Progress = {});
    const TSurveyImportSummary& Summary() const { return FSummary; }
    // The georeference stored with the project.
    const std::string& Georeference() const { return FGeoreference; }
    // Registers the records and the georeference.
    void Apply(TInputData& Data) const;

private:
    // The points to register, in rows of neighbours in the order they are set (Y, then X), and
    // a height a point from each surface (NaN where a surface other than the ground does not
    // cover it): a few bytes a point rather than a whole record until Apply.
    struct TRun {
        int32_t Y, X0, Count;
    };
    TSurveyImportSummary FSummary;
    std::vector<TRun> FRuns;
    std::vector<double> FGround, FPlan;       // FPlan empty without a plan
    std::vector<std::vector<double>> FLayers; // a boundary each
    // The points that exist in the project already: their number in the rows above and their
    // position in its list, in order.
    std::vector<std::pair<int64_t, int32_t>> FUpdates;
    std::string FGeoreference;
};

// The tag that holds the georeference, and its text ("doryou-survey 1" and key/value lines).
extern const char* const SurveyTagName;
struct TSurveyGeoreference {
    TMeshFrame Frame;
    double MaxEdge = 0.0;
    // "ground\tkind\tsurface\tpath" lines, each field escaped by SurveySourceLine so that no
    // name can end the line or split a field.
    std::vector<std::string> Sources;
};
std::string EncodeSurveyGeoreference(const TSurveyGeoreference& Geo);
// False for text this version does not understand.
bool DecodeSurveyGeoreference(std::string_view Text, TSurveyGeoreference& Geo);
// A source line from its fields: control characters and "%" as "%XX". Version 1 of the text held
// the fields raw; it is still read, and written while no field needs escaping.
std::string SurveySourceLine(const std::vector<std::string>& Fields);
// The fields of a source line, as they were given.
std::vector<std::string> SurveySourceFields(std::string_view Line);
