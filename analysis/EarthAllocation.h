#pragma once
// Earth allocation: which cut goes to which fill, what leaves the site for the spoil sites and
// what comes in from the borrow pits, so that Σ volume × distance is least. Solved exactly as a
// minimum-cost flow by LEMON's network simplex over every source-sink pair.
//
// Sources are the corrected cut of each calculated mesh at its cut centroid, sinks its corrected
// fill at its fill centroid (mesh frame, metres); with blocks, k × k meshes are summed at their
// volume-weighted centroids. The surplus goes to the spoil sites and the shortage comes from the
// borrow pits, each within its capacity. No Qt: the window, the pages and doryou-cli share it.

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

class TInputData;

enum class TAllocPlaceKind { Borrow, Spoil };

// A place outside the site: a borrow pit (土取場) or a spoil site (土捨場).
struct TAllocPlace {
    TAllocPlaceKind Kind = TAllocPlaceKind::Spoil;
    double X = 0, Y = 0;                                       // mesh frame, m
    double Capacity = std::numeric_limits<double>::infinity(); // m³; infinite: unlimited
    double Extra = 0;                                          // m added to every haul
};

struct TAllocOptions {
    int Block = 1;          // k: meshes a block side; 0: chosen by the program (AutoBlockSize)
    bool Manhattan = false; // 道なり: |dx| + |dy| instead of the straight line
    std::vector<TAllocPlace> Places;
};

// One end of a haul: a mesh, a block of meshes, or an outside place.
enum class TAllocEndKind { Mesh, Block, Borrow, Spoil };
struct TAllocEnd {
    TAllocEndKind Kind = TAllocEndKind::Mesh;
    std::string Name; // "(12,-7)" (mesh numbers), "B(3,1)" (block numbers), "土取場1", "土捨場2"
    double X = 0, Y = 0;
    int64_t Volume = 0; // cut or fill at this end; for a place, what the plan moves through it
};

struct TAllocFlow {
    int From = 0, To = 0; // indexes into Sources and Sinks
    int64_t Volume = 0;   // m³
    double Distance = 0;  // m, with the place's extra distance
    double Moment() const { return static_cast<double>(Volume) * Distance; }
};

struct TAllocation {
    bool Solved = false;
    std::string Message; // why there is no plan (Japanese); empty when solved
    int Block = 1;       // the block size used
    bool Manhattan = false;
    // The outside places as given; the n-th borrow pit among them is "土取場n", the n-th spoil
    // site "土捨場n".
    std::vector<TAllocPlace> Places;
    std::vector<TAllocEnd> Sources;        // cut meshes or blocks, then the borrow pits
    std::vector<TAllocEnd> Sinks;          // fill meshes or blocks, then the spoil sites
    std::vector<TAllocFlow> Flows;         // by source, then sink
    int64_t CutVolume = 0, FillVolume = 0; // on the site
    int64_t TotalVolume = 0;               // Σ of every flow
    int64_t ToSpoil = 0, FromBorrow = 0;
    double TotalMoment = 0; // Σ m³·m with the true distances
    double AverageDistance() const {
        return TotalVolume > 0 ? TotalMoment / static_cast<double>(TotalVolume) : 0.0;
    }
    // Distances go to the solver as whole multiples of 1/CostScale m (a millimetre unless the
    // site is so large that the sums would not fit in 64 bits). The plan is optimal for those
    // rounded distances, so its Σ m³·m exceeds the true least one by at most
    // TotalVolume / CostScale m³·m.
    double CostScale = 1000;
    int64_t Pairs = 0; // arcs given to the solver
};

// The largest number of arcs one allocation builds (about 60 bytes each); beyond it the user
// is told to make the blocks larger.
constexpr int64_t kAllocMaxArcs = 20'000'000;
// The number of source-sink pairs the automatic block size aims under.
constexpr int64_t kAllocAutoPairs = 1'000'000;

// A message for options that cannot be used (negative or non-finite capacity or extra distance,
// a place at a non-finite position, k < 0); empty when they are usable.
std::string CheckAllocOptions(const TAllocOptions& Options);

// The allocation of a calculated project (phase 2); a message when it is not calculated, the
// options are bad or the outside places cannot close the balance.
TAllocation AllocateEarth(const TInputData& Data, const TAllocOptions& Options);

// The allocation by the places and options kept with the project (AllocOptionsBytes in its
// tagged block); none kept: no outside places and the block size chosen by the program. The
// report selection and doryou-cli report print this plan.
TAllocation AllocateStored(const TInputData& Data);
// The options the project keeps; without any (or unreadable ones), no places and the block size
// left to the program. What the window shows and doryou-cli allocate starts from.
TAllocOptions StoredAllocOptions(const TInputData& Data);

// The same over given sources and sinks (Kind Mesh or Block; volumes ≥ 0): the core of the
// above, open to tests. Places are appended after them.
TAllocation AllocateEnds(std::vector<TAllocEnd> Sources, std::vector<TAllocEnd> Sinks,
                         const TAllocOptions& Options);

// The sources and sinks of a calculated project in blocks of K × K meshes.
void AllocEndsOf(const TInputData& Data, int K, std::vector<TAllocEnd>& Sources,
                 std::vector<TAllocEnd>& Sinks);

// The block size chosen when the user leaves it to the program: the smallest k whose cut
// blocks times fill blocks stay within kAllocAutoPairs.
int AutoBlockSize(const TInputData& Data);

std::string AllocEndKindName(TAllocEndKind Kind);

// The options as the project keeps them in its tagged block kAllocTag: a version line, the
// block size and distance kind, then one line a place ("B" or "S", X, Y, capacity or "inf",
// extra), numbers in the shortest form that reads back exactly, whatever the locale.
inline const char* const kAllocTag = "allocation";
std::string AllocOptionsBytes(const TAllocOptions& Options);
// False (Options unchanged) for bytes of another version or that do not read as options.
bool ParseAllocOptions(const std::string& Bytes, TAllocOptions& Options);
