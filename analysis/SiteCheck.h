#pragma once
// TSiteCheck: the checks of a project's points that find what a calculation would silently take
// as it is: holes inside the site, points sharing mesh numbers, heights and thicknesses that
// cannot be right, spikes, and per-mesh volumes that reached their 32-bit limit. No Qt: the
// windows, the command line tool and the tests run the same checks.

#include "model/PlausibleRange.h"

#include <cstdint>
#include <string>
#include <vector>

class TInputData;

enum class TCheckKind {
    Hole,        // a missing point whose four neighbours exist
    Duplicate,   // live points sharing mesh numbers
    NonFinite,   // a value that is no number
    Implausible, // a height outside the plausible range
    Negative,    // a negative thickness or settlement
    LayerOrder,  // a layer top above the layer top over it (elevation input)
    Settlement,  // a settlement larger than the fill it settles
    Spike,       // a height far from its neighbours
    Saturated,   // a calculated volume at the limit of its 32-bit field
    MeshSpan,    // a mesh spacing no calculation can use (the whole site; X and Y are 0)
};

// Serious findings make a calculation wrong; warnings may be what the site really is.
enum class TCheckSeverity { Serious, Warning };

struct TCheckFinding {
    TCheckKind Kind = TCheckKind::Hole;
    TCheckSeverity Severity = TCheckSeverity::Serious;
    int32_t X = 0, Y = 0;
    std::string Field;   // the field concerned, as the listing names it (UTF-8)
    std::string Message; // one Japanese sentence (UTF-8)
};

struct TCheckRules {
    // Heights outside this range (m) are implausible anywhere in Japan.
    double MinHeight = kPlausibleHeightMin;
    double MaxHeight = kPlausibleHeightMax;
    // A spike lies more than SpikeMads median absolute deviations of its neighbours and more
    // than SpikeHeight metres from their median; at least SpikeNeighbours of its eight
    // neighbours must exist for the rule to speak.
    double SpikeMads = 6.0;
    double SpikeHeight = 2.0;
    int SpikeNeighbours = 5;
};

// How Run finds a point's neighbours and how many threads share the points. Everyone but the
// tests takes the defaults; the findings are the same whichever is chosen.
struct TCheckRun {
    // Auto: a table over the site's box of mesh numbers when the box is not much larger than
    // the number of points, else the points sorted by place. Dense falls back to the sorted
    // points where the box could not be allocated.
    enum class TIndex { Auto, Dense, Sparse } Index = TIndex::Auto;
    int Threads = 0; // 0: one a core for large sites
};

class TSiteCheck {
public:
    explicit TSiteCheck(TCheckRules Rules = {}) : FRules(Rules) {}

    // Every finding, ordered by Y, then X, then kind, then field, after the findings of the whole
    // site. The calculated volumes are
    // checked when the project holds valid results.
    std::vector<TCheckFinding> Run(const TInputData& Data, const TCheckRun& How = {}) const;

    static int SeriousCount(const std::vector<TCheckFinding>& Findings);
    // "hole", "duplicate", ... for machine-readable output.
    static const char* KindName(TCheckKind Kind);

private:
    TCheckRules FRules;
};
