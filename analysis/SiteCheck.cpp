#include "analysis/SiteCheck.h"

#include "model/DataUnit.h"
#include "model/MeshFields.h"
#include "platform/Failure.h"
#include "platform/NumberFormat.h"
#include "platform/Parallel.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <limits>
#include <memory>
#include <thread>
#include <unordered_map>

namespace {

// Mesh numbers within the 32-bit range, packed without a signed shift, in scan order (Y, then
// X) when compared as numbers.
uint64_t ScanKey(int64_t X, int64_t Y) {
    return uint64_t(uint32_t(int32_t(Y)) ^ 0x80000000u) << 32 |
           (uint32_t(int32_t(X)) ^ 0x80000000u);
}

constexpr double kInf = std::numeric_limits<double>::infinity();

bool InRange(int64_t V) {
    return V >= INT32_MIN && V <= INT32_MAX;
}

std::string Place(int32_t X, int32_t Y) {
    return StrFormat("メッシュ (%d, %d) ", X, Y);
}

std::string Metres(double V) {
    return FormatFixed(V, 3) + " m";
}

// The median of N (at most 8) values, sorted in place: the middle one, or the mean of the two.
double Median(double* V, int N) {
    for (int i = 1; i < N; ++i)
        for (int j = i; j > 0 && V[j] < V[j - 1]; --j)
            std::swap(V[j], V[j - 1]);
    return N % 2 == 1 ? V[N / 2] : (V[N / 2 - 1] + V[N / 2]) / 2;
}

void Add(std::vector<TCheckFinding>& Found, TCheckKind Kind, TCheckSeverity Severity, int32_t X,
         int32_t Y, std::string Field, const std::string& Message) {
    Found.push_back({Kind, Severity, X, Y, std::move(Field), Place(X, Y) + Message});
}

// A live point's neighbourhood: the list index of the live point at (X + dx, Y + dy) in
// At[dy + 1][dx + 1], and at (X + 2, Y) in Right2; -1 where there is none.
struct TAround {
    int32_t At[3][3];
    int32_t Right2;
};

// The live points in a table over the box of their mesh numbers, with a border of empty slots
// (one a side, two on the right) so that every neighbour is one look away without a test.
class TDenseIndex {
public:
    // Slots the table takes for a box of Width x Height.
    static uint64_t SlotsFor(uint64_t Width, uint64_t Height) { return (Width + 3) * (Height + 2); }

    TDenseIndex(int64_t MinX, int64_t MinY, int64_t Width, int64_t Height)
        : FMinX(MinX), FMinY(MinY), FWidth(Width), FHeight(Height), FStride(Width + 3),
          FSlots(size_t(SlotsFor(uint64_t(Width), uint64_t(Height))), -1) {}

    // The point at its place; false when the place was taken already (the later point stays).
    bool Put(const TGridData& G, int32_t Index) {
        int32_t& slot = FSlots[Slot(G.X - FMinX, G.Y - FMinY)];
        const bool fresh = slot < 0;
        slot = Index;
        return fresh;
    }
    // Rows, the units the work is split by.
    size_t Units() const { return size_t(FHeight); }
    // Visit(index, around) for the live points of rows [Begin, End) in scan order.
    template <class TVisit> void Walk(size_t Begin, size_t End, const TVisit& Visit) const {
        TAround a;
        const int32_t* slots = FSlots.data();
        const ptrdiff_t up = ptrdiff_t(FStride);
        for (int64_t r = int64_t(Begin); r < int64_t(End); ++r) {
            const size_t first = Slot(0, r);
            for (size_t p = first; p < first + size_t(FWidth); ++p) {
                if (slots[p] < 0)
                    continue;
                for (int dy = -1; dy <= 1; ++dy) {
                    const int32_t* row = slots + p + dy * up;
                    a.At[dy + 1][0] = row[-1];
                    a.At[dy + 1][1] = row[0];
                    a.At[dy + 1][2] = row[1];
                }
                a.Right2 = slots[p + 2];
                Visit(slots[p], a);
            }
        }
    }

private:
    size_t Slot(int64_t Column, int64_t Row) const {
        return size_t((Row + 1) * FStride + Column + 1);
    }

    int64_t FMinX, FMinY, FWidth, FHeight, FStride;
    std::vector<int32_t> FSlots;
};

// The live points sorted by place, for sites spread too widely for a table: the neighbours in
// the rows above and below are found by cursors that only move forward.
class TSparseIndex {
public:
    struct TEntry {
        uint64_t Key;
        int32_t Index;
    };
    // Entries of live points in list order; Shared(X, Y, Count) is told of each place that more
    // than one point shares.
    template <class TShared>
    explicit TSparseIndex(std::vector<TEntry> Entries, const TShared& Shared)
        : FPlaces(std::move(Entries)) {
        const auto less = [](const TEntry& A, const TEntry& B) { return A.Key < B.Key; };
        // List order among points sharing a place: the last of each run is the one calculated.
        if (!std::is_sorted(FPlaces.begin(), FPlaces.end(), less))
            std::stable_sort(FPlaces.begin(), FPlaces.end(), less);
        size_t kept = 0;
        for (size_t i = 0; i < FPlaces.size();) {
            size_t j = i + 1;
            while (j < FPlaces.size() && FPlaces[j].Key == FPlaces[i].Key)
                ++j;
            if (j - i > 1)
                Shared(FPlaces[j - 1].Index, int(j - i));
            FPlaces[kept++] = FPlaces[j - 1];
            i = j;
        }
        FPlaces.resize(kept);
    }
    size_t Units() const { return FPlaces.size(); }
    template <class TVisit>
    void Walk(const std::vector<TGridData>& List, size_t Begin, size_t End,
              const TVisit& Visit) const {
        const size_t n = FPlaces.size();
        size_t cursor[2] = {0, 0}; // rows Y - 1 and Y + 1
        bool ready[2] = {false, false};
        TAround a;
        for (size_t i = Begin; i < End; ++i) {
            const TGridData& g = List[size_t(FPlaces[i].Index)];
            const int64_t x = g.X, y = g.Y;
            for (int side = 0; side < 2; ++side) {
                const int dy = side == 0 ? -1 : 1;
                int32_t* out = a.At[dy + 1];
                out[0] = out[1] = out[2] = -1;
                if (!InRange(y + dy))
                    continue;
                const uint64_t from = ScanKey(std::max<int64_t>(x - 1, INT32_MIN), y + dy);
                size_t& p = cursor[side];
                if (!ready[side])
                    p = size_t(
                        std::lower_bound(FPlaces.begin(), FPlaces.end(), from,
                                         [](const TEntry& E, uint64_t K) { return E.Key < K; }) -
                        FPlaces.begin());
                for (int dx = -1; dx <= 1; ++dx) {
                    if (!InRange(x + dx))
                        continue;
                    const uint64_t k = ScanKey(x + dx, y + dy);
                    while (p < n && FPlaces[p].Key < k)
                        ++p;
                    if (p < n && FPlaces[p].Key == k)
                        out[dx + 1] = FPlaces[p].Index;
                }
                // Back to the first candidate, for the next point's left neighbour.
                while (p > 0 && FPlaces[p - 1].Key >= from)
                    --p;
                ready[side] = true;
            }
            // The same row lies next to the point in the order.
            const auto beside = [&](size_t j, int64_t X) -> int32_t {
                return j < n && InRange(X) && FPlaces[j].Key == ScanKey(X, y) ? FPlaces[j].Index
                                                                              : -1;
            };
            a.At[1][0] = i > 0 ? beside(i - 1, x - 1) : -1;
            a.At[1][1] = FPlaces[i].Index;
            a.At[1][2] = beside(i + 1, x + 1);
            a.Right2 = a.At[1][2] >= 0 ? beside(i + 2, x + 2) : beside(i + 1, x + 2);
            Visit(FPlaces[i].Index, a);
        }
    }

private:
    std::vector<TEntry> FPlaces; // one a place, ascending keys
};

// The checks of one live point, given its neighbourhood.
class TPointCheck {
public:
    TPointCheck(const std::vector<TGridData>& List, const std::vector<TGridField>& Fields,
                const TCheckRules& Rules, bool Elevations, int Layer)
        : FList(List), FFields(Fields), FRules(Rules), FElevations(Elevations), FLayer(Layer) {
        // The values no rule of a single field speaks of: finite, heights within the
        // plausible range, the rest not negative.
        const double most = std::numeric_limits<double>::max();
        for (const TGridField& f : Fields) {
            const double low = f.Height ? std::max(Rules.MinHeight, -most) : 0.0;
            const double high = f.Height ? std::min(Rules.MaxHeight, most) : most;
            FClean.push_back({f.Offset, low, high}); // a NaN rule leaves nothing clean
            if (f.Sink)
                FSinks.push_back(&f);
            if (f.Offset == offsetof(TGridData, GH))
                FHeights[0] = &f;
            if (f.Offset == offsetof(TGridData, FH))
                FHeights[1] = &f;
        }
    }

    void operator()(int32_t Index, const TAround& A, std::vector<TCheckFinding>& Found) const {
        const TGridData& g = FList[size_t(Index)];
        // Holes: an empty place whose four neighbours are points lies inside the site. Each is
        // found from the point on its left.
        if (A.At[1][2] < 0 && A.Right2 >= 0 && A.At[0][2] >= 0 && A.At[2][2] >= 0)
            Add(Found, TCheckKind::Hole, TCheckSeverity::Serious, g.X + 1, g.Y, "",
                "に点がありません（周りの点はあります）。4点法ではこの周りの土量が欠けます。");

        // Most points are clean in every field; only the others are looked at one by one.
        bool clean = true;
        for (const TRange& c : FClean) {
            const double v =
                *reinterpret_cast<const double*>(reinterpret_cast<const char*>(&g) + c.Offset);
            clean &= v >= c.Low && v <= c.High;
        }
        if (!clean && !CheckFields(g, Found))
            return;
        if (FElevations) {
            double above = g.GH;
            for (int k = 1; k <= FLayer - 1 && k <= 4; ++k) {
                if (g.LAYER[k] > above)
                    Add(Found, TCheckKind::LayerOrder, TCheckSeverity::Serious, g.X, g.Y,
                        LayerFieldName(k, 1),
                        StrFormat("の%d層上端 %s が上の層の上端 %s より高くなっています。", k + 1,
                                  Metres(g.LAYER[k]).c_str(), Metres(above).c_str()));
                above = std::min(above, g.LAYER[k]);
            }
        }
        const double fill = g.FH - g.GH;
        if (fill > 0) {
            for (const TGridField* f : FSinks) {
                const double s = f->ValueOf(g);
                if (s > fill)
                    Add(Found, TCheckKind::Settlement, TCheckSeverity::Warning, g.X, g.Y, f->Name,
                        std::string("の") + f->Name + " " + Metres(s) + " が盛土高 " +
                            Metres(fill) + " より大きくなっています。");
            }
        }
        // Spikes, on the ground and the plan alike. The median lies between the lowest and the
        // highest neighbour, so a point within SpikeHeight of both is no spike: most points end
        // at that test, before their neighbours' values are gathered.
        int count[2] = {0, 0};
        double lo[2] = {kInf, kInf}, hi[2] = {-kInf, -kInf};
        for (int k = 0; k < 9; ++k) {
            const int32_t at = (&A.At[0][0])[k];
            if (k == 4 || at < 0)
                continue;
            const TGridData& n = FList[size_t(at)];
            if (std::isfinite(n.GH)) {
                ++count[0];
                lo[0] = std::min(lo[0], n.GH);
                hi[0] = std::max(hi[0], n.GH);
            }
            if (std::isfinite(n.FH)) {
                ++count[1];
                lo[1] = std::min(lo[1], n.FH);
                hi[1] = std::max(hi[1], n.FH);
            }
        }
        for (int m = 0; m < 2; ++m) {
            const double own = m == 0 ? g.GH : g.FH;
            if (count[m] == 0 || count[m] < FRules.SpikeNeighbours ||
                std::max(std::abs(own - lo[m]), std::abs(own - hi[m])) <= FRules.SpikeHeight)
                continue;
            CheckSpike(g, A, *FHeights[m], Found);
        }
    }

private:
    struct TRange {
        size_t Offset;
        double Low, High;
    };

    // The rules of single fields; false when a value is no number, which ends the point's checks.
    bool CheckFields(const TGridData& g, std::vector<TCheckFinding>& Found) const {
        bool finite = true;
        for (const TGridField& f : FFields) {
            const double v = f.ValueOf(g);
            if (!std::isfinite(v)) {
                finite = false;
                Add(Found, TCheckKind::NonFinite, TCheckSeverity::Serious, g.X, g.Y, f.Name,
                    std::string("の") + f.Name + "が数値ではありません。");
                continue;
            }
            const bool height = f.Height;
            if (height && (v < FRules.MinHeight || v > FRules.MaxHeight))
                Add(Found, TCheckKind::Implausible, TCheckSeverity::Warning, g.X, g.Y, f.Name,
                    std::string("の") + f.Name + " " + Metres(v) + " は " +
                        Metres(FRules.MinHeight) + "〜" + Metres(FRules.MaxHeight) +
                        " の範囲の外です。");
            else if (!height && v < 0)
                Add(Found, TCheckKind::Negative, TCheckSeverity::Serious, g.X, g.Y, f.Name,
                    std::string("の") + f.Name + "が負の値 (" + Metres(v) + ") です。");
        }
        return finite;
    }

    void CheckSpike(const TGridData& g, const TAround& A, const TGridField& F,
                    std::vector<TCheckFinding>& Found) const {
        double around[8];
        int n = 0;
        for (int k = 0; k < 9; ++k) {
            const int32_t at = (&A.At[0][0])[k];
            if (k != 4 && at >= 0 && std::isfinite(F.ValueOf(FList[size_t(at)])))
                around[n++] = F.ValueOf(FList[size_t(at)]);
        }
        const double median = Median(around, n);
        for (int k = 0; k < n; ++k)
            around[k] = std::abs(around[k] - median);
        const double mad = Median(around, n);
        const double own = F.ValueOf(g);
        const double off = std::abs(own - median);
        if (off > FRules.SpikeHeight && off > FRules.SpikeMads * mad)
            Add(Found, TCheckKind::Spike, TCheckSeverity::Warning, g.X, g.Y, F.Name,
                std::string("の") + F.Name + " " + Metres(own) + " が周りの点 (中央値 " +
                    Metres(median) + ") から大きく外れています。");
    }

    const std::vector<TGridData>& FList;
    const std::vector<TGridField>& FFields;
    const TCheckRules& FRules;
    bool FElevations;
    int FLayer;
    std::vector<TRange> FClean;
    std::vector<const TGridField*> FSinks;
    const TGridField* FHeights[2] = {}; // the ground and the planned height, as spikes name them
};

} // namespace

const char* TSiteCheck::KindName(TCheckKind Kind) {
    switch (Kind) {
    case TCheckKind::Hole:
        return "hole";
    case TCheckKind::Duplicate:
        return "duplicate";
    case TCheckKind::NonFinite:
        return "non-finite";
    case TCheckKind::Implausible:
        return "implausible";
    case TCheckKind::Negative:
        return "negative";
    case TCheckKind::LayerOrder:
        return "layer-order";
    case TCheckKind::Settlement:
        return "settlement";
    case TCheckKind::Spike:
        return "spike";
    case TCheckKind::Saturated:
        return "saturated";
    case TCheckKind::MeshSpan:
        return "mesh-span";
    }
    return "unknown";
}

int TSiteCheck::SeriousCount(const std::vector<TCheckFinding>& Findings) {
    return static_cast<int>(std::count_if(Findings.begin(), Findings.end(), [](const auto& f) {
        return f.Severity == TCheckSeverity::Serious;
    }));
}

std::vector<TCheckFinding> TSiteCheck::Run(const TInputData& Data, const TCheckRun& How) const {
    std::vector<TCheckFinding> found;
    const std::vector<TGridData>& list = Data.GridList();
    const auto shared = [&](int32_t Index, int Count) {
        const TGridData& g = list[size_t(Index)];
        Add(found, TCheckKind::Duplicate, TCheckSeverity::Serious, g.X, g.Y, "",
            StrFormat("に点が %d 個あります（計算には最後の点が使われます）。", Count));
    };

    // One thread a core for large sites; the findings do not depend on the split.
    const size_t cores = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8);
    const auto chunksFor = [&](size_t Units) {
        const size_t wanted = How.Threads > 0                   ? size_t(How.Threads)
                              : list.size() < (size_t{1} << 16) ? 1
                                                                : cores;
        return std::clamp<size_t>(wanted, 1, std::max<size_t>(Units, 1));
    };

    // The box of the live points' mesh numbers.
    struct TBox {
        size_t Live = 0;
        int64_t MinX = INT64_MAX, MinY = INT64_MAX, MaxX = INT64_MIN, MaxY = INT64_MIN;
    };
    std::vector<TBox> boxes(chunksFor(list.size()));
    InParallel(boxes.size(), [&](size_t c) {
        TBox& b = boxes[c];
        const size_t end = list.size() * (c + 1) / boxes.size();
        for (size_t i = list.size() * c / boxes.size(); i < end; ++i) {
            const TGridData& g = list[i];
            if (g.DelFlg)
                continue;
            ++b.Live;
            b.MinX = std::min<int64_t>(b.MinX, g.X);
            b.MaxX = std::max<int64_t>(b.MaxX, g.X);
            b.MinY = std::min<int64_t>(b.MinY, g.Y);
            b.MaxY = std::max<int64_t>(b.MaxY, g.Y);
        }
    });
    size_t live = 0;
    int64_t minX = INT64_MAX, minY = INT64_MAX, maxX = INT64_MIN, maxY = INT64_MIN;
    for (const TBox& b : boxes) {
        live += b.Live;
        minX = std::min(minX, b.MinX);
        maxX = std::max(maxX, b.MaxX);
        minY = std::min(minY, b.MinY);
        maxY = std::max(maxY, b.MaxY);
    }
    // A table over the box when it is not much larger than the site, or when asked for and
    // within reason; never for sites spread over the 32-bit range.
    std::unique_ptr<TDenseIndex> dense;
    if (live > 0 && How.Index != TCheckRun::TIndex::Sparse) {
        const uint64_t width = uint64_t(maxX - minX + 1), height = uint64_t(maxY - minY + 1);
        const uint64_t cap = How.Index == TCheckRun::TIndex::Dense
                                 ? uint64_t{1} << 26
                                 : std::max<uint64_t>(4 * uint64_t(live), uint64_t{1} << 16);
        if (width <= cap && height <= cap / width &&
            TDenseIndex::SlotsFor(width, height) <= 2 * cap) {
            try {
                dense = std::make_unique<TDenseIndex>(minX, minY, int64_t(width), int64_t(height));
            } catch (const std::bad_alloc&) {
                dense.reset(); // the sorted points need a fraction of the memory
            }
        }
    }
    std::unique_ptr<TSparseIndex> sparse;
    if (dense) {
        // Of points sharing a place the later one is the one calculated.
        std::unordered_map<uint64_t, std::pair<int32_t, int>> sharing;
        for (size_t i = 0; i < list.size(); ++i)
            if (!list[i].DelFlg && !dense->Put(list[i], int32_t(i))) {
                auto& s = sharing[ScanKey(list[i].X, list[i].Y)];
                s = {int32_t(i), s.second == 0 ? 2 : s.second + 1};
            }
        for (const auto& [key, s] : sharing)
            shared(s.first, s.second);
    } else {
        std::vector<TSparseIndex::TEntry> entries;
        entries.reserve(live);
        for (size_t i = 0; i < list.size(); ++i)
            if (!list[i].DelFlg)
                entries.push_back({ScanKey(list[i].X, list[i].Y), int32_t(i)});
        sparse = std::make_unique<TSparseIndex>(std::move(entries), shared);
    }

    // The points in ranges of rows (or places), and the calculated meshes in ranges of their
    // list, a thread each; each range's findings apart.
    const std::vector<TGridField> fields = CalcFields(Data);
    const TPointCheck check(list, fields, FRules, Data.SolidType() == 1, Data.Layer());
    const size_t units = dense ? dense->Units() : sparse->Units();
    const std::vector<TGridCalcData>& meshes = Data.CalcList();
    const size_t calculated = Data.GetPhase(2) ? meshes.size() : 0;
    std::vector<std::vector<TCheckFinding>> parts(chunksFor(units));
    const size_t chunks = parts.size();
    InParallel(chunks, [&](size_t c) {
        std::vector<TCheckFinding>& out = parts[c];
        const auto visit = [&](int32_t Index, const TAround& A) { check(Index, A, out); };
        if (dense)
            dense->Walk(units * c / chunks, units * (c + 1) / chunks, visit);
        else
            sparse->Walk(list, units * c / chunks, units * (c + 1) / chunks, visit);
        const size_t end = calculated * (c + 1) / chunks;
        for (size_t i = calculated * c / chunks; i < end; ++i) {
            const TGridCalcData& m = meshes[i];
            bool limit = m.HV == INT32_MAX || m.HV == INT32_MIN;
            for (int k = 0; k < 2; ++k) {
                limit = limit || m.BV[k] == INT32_MAX || m.BV[k] == INT32_MIN;
                for (int j = 0; j < 6; ++j)
                    limit = limit || m.CV[k][j] == INT32_MAX || m.CV[k][j] == INT32_MIN;
            }
            if (limit)
                Add(out, TCheckKind::Saturated, TCheckSeverity::Serious, m.X, m.Y, "",
                    "の土量が記録できる上限に達しました（値は正しくありません）。");
        }
    });
    dense.reset();
    sparse.reset();
    size_t total = found.size();
    for (const std::vector<TCheckFinding>& part : parts)
        total += part.size();
    found.reserve(total);
    for (std::vector<TCheckFinding>& part : parts)
        std::move(part.begin(), part.end(), std::back_inserter(found));

    std::sort(found.begin(), found.end(), [](const TCheckFinding& a, const TCheckFinding& b) {
        if (a.Y != b.Y)
            return a.Y < b.Y;
        if (a.X != b.X)
            return a.X < b.X;
        if (a.Kind != b.Kind)
            return a.Kind < b.Kind;
        return a.Field < b.Field;
    });
    if (!MeshSpanUsable(Data.MeshSpan()))
        found.insert(found.begin(), {TCheckKind::MeshSpan, TCheckSeverity::Serious, 0, 0,
                                     "メッシュ間隔", MeshSpanMessage(Data.MeshSpan())});
    return found;
}
