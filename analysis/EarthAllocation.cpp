#include "analysis/EarthAllocation.h"

#include "model/CalcSummary.h"
#include "model/DataUnit.h"
#include "platform/Failure.h"

#include <lemon/network_simplex.h>
#include <lemon/static_graph.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <sstream>

namespace {

using TGraph = lemon::StaticDigraph;
using TSimplex = lemon::NetworkSimplex<TGraph, int64_t, int64_t>;

// Beyond a million kilometres a position is a typing error, and the sums would not fit.
constexpr double kMaxDistance = 1e9;
// The solver's potentials stay below nodes × largest cost; this keeps them far from 2^63.
constexpr double kMaxCostSum = 1e18;

int64_t FloorDiv(int64_t A, int64_t B) {
    return A >= 0 ? A / B : -((-A + B - 1) / B);
}

double Distance(const TAllocEnd& A, const TAllocEnd& B, bool Manhattan) {
    const double dx = A.X - B.X, dy = A.Y - B.Y;
    return Manhattan ? std::abs(dx) + std::abs(dy) : std::sqrt(dx * dx + dy * dy);
}

// A capacity in whole m³, no more than Need (infinite capacities become Need).
int64_t WholeCapacity(double Capacity, int64_t Need) {
    if (!(Capacity < static_cast<double>(Need)))
        return Need;
    return static_cast<int64_t>(std::floor(Capacity));
}

// The cut and fill blocks of a site at block size K, as sorted keys.
struct TBlockCount {
    int64_t Cut = 0, Fill = 0;
};

TBlockCount CountBlocks(const std::vector<TGridCalcData>& List, int K) {
    std::vector<uint64_t> cut, fill;
    for (const TGridCalcData& c : List) {
        const uint64_t key =
            uint64_t(uint32_t(FloorDiv(c.X, K))) << 32 | uint32_t(FloorDiv(c.Y, K));
        if (c.CV[1][0] > 0)
            cut.push_back(key);
        if (c.BV[1] > 0)
            fill.push_back(key);
    }
    TBlockCount n;
    for (auto* v : {&cut, &fill}) {
        std::sort(v->begin(), v->end());
        const int64_t count = std::unique(v->begin(), v->end()) - v->begin();
        (v == &cut ? n.Cut : n.Fill) = count;
    }
    return n;
}

} // namespace

std::string AllocEndKindName(TAllocEndKind Kind) {
    switch (Kind) {
    case TAllocEndKind::Mesh:
        return "メッシュ";
    case TAllocEndKind::Block:
        return "ブロック";
    case TAllocEndKind::Borrow:
        return "土取場";
    case TAllocEndKind::Spoil:
        return "土捨場";
    }
    return "";
}

std::string CheckAllocOptions(const TAllocOptions& Options) {
    if (Options.Block < 0)
        return "ブロックの大きさは 1 以上の整数で指定してください。";
    int borrow = 0, spoil = 0;
    for (const TAllocPlace& p : Options.Places) {
        const bool isBorrow = p.Kind == TAllocPlaceKind::Borrow;
        const std::string name =
            StrFormat("%s%d", isBorrow ? "土取場" : "土捨場", isBorrow ? ++borrow : ++spoil);
        if (!std::isfinite(p.X) || !std::isfinite(p.Y))
            return name + " の位置が数値ではありません。";
        if (std::isnan(p.Capacity) || p.Capacity < 0)
            return name + " の容量は 0 以上の数値か、無制限で指定してください。";
        if (!std::isfinite(p.Extra) || p.Extra < 0)
            return name + " の場外距離は 0 以上の数値で指定してください。";
    }
    return "";
}

void AllocEndsOf(const TInputData& Data, int K, std::vector<TAllocEnd>& Sources,
                 std::vector<TAllocEnd>& Sinks) {
    Sources.clear();
    Sinks.clear();
    K = std::max(K, 1);
    const std::vector<TGridCalcData>& list = Data.CalcList();
    struct TKeyed {
        int64_t BX, BY;
        size_t Index;
    };
    std::vector<TKeyed> keys;
    keys.reserve(list.size());
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].CV[1][0] > 0 || list[i].BV[1] > 0)
            keys.push_back({FloorDiv(list[i].X, K), FloorDiv(list[i].Y, K), i});
    // Scan order of the blocks; a block's meshes in the calculation's order.
    std::stable_sort(keys.begin(), keys.end(), [](const TKeyed& a, const TKeyed& b) {
        return a.BY != b.BY ? a.BY < b.BY : a.BX < b.BX;
    });
    for (size_t i = 0; i < keys.size();) {
        size_t j = i;
        long double cv = 0, cx = 0, cy = 0, bv = 0, bx = 0, by = 0;
        for (; j < keys.size() && keys[j].BX == keys[i].BX && keys[j].BY == keys[i].BY; ++j) {
            const TGridCalcData& c = list[keys[j].Index];
            if (c.CV[1][0] > 0) {
                cv += c.CV[1][0];
                cx += static_cast<long double>(c.CV[1][0]) * c.CXj;
                cy += static_cast<long double>(c.CV[1][0]) * c.CYj;
            }
            if (c.BV[1] > 0) {
                bv += c.BV[1];
                bx += static_cast<long double>(c.BV[1]) * c.BXj;
                by += static_cast<long double>(c.BV[1]) * c.BYj;
            }
        }
        TAllocEnd e;
        if (K == 1) {
            e.Kind = TAllocEndKind::Mesh;
            const TGridCalcData& c = list[keys[i].Index];
            e.Name = StrFormat("(%d,%d)", c.X, c.Y);
        } else {
            e.Kind = TAllocEndKind::Block;
            e.Name = StrFormat("B(%lld,%lld)", static_cast<long long>(keys[i].BX),
                               static_cast<long long>(keys[i].BY));
        }
        if (cv > 0) {
            TAllocEnd s = e;
            s.Volume = static_cast<int64_t>(cv);
            s.X = static_cast<double>(cx / cv);
            s.Y = static_cast<double>(cy / cv);
            Sources.push_back(s);
        }
        if (bv > 0) {
            TAllocEnd s = e;
            s.Volume = static_cast<int64_t>(bv);
            s.X = static_cast<double>(bx / bv);
            s.Y = static_cast<double>(by / bv);
            Sinks.push_back(s);
        }
        i = j;
    }
}

int AutoBlockSize(const TInputData& Data) {
    const std::vector<TGridCalcData>& list = Data.CalcList();
    int k = 1;
    for (;;) {
        const TBlockCount n = CountBlocks(list, k);
        const double pairs = static_cast<double>(n.Cut) * static_cast<double>(n.Fill);
        if (pairs <= static_cast<double>(kAllocAutoPairs) || k >= (1 << 30))
            return k;
        // Pairs fall roughly as k^4: grow by the fourth root of the excess, at least by one.
        const double grow = std::pow(pairs / static_cast<double>(kAllocAutoPairs), 0.25);
        k = static_cast<int>(
            std::min<double>(std::max<double>(k + 1, std::floor(k * grow)), 1 << 30));
    }
}

TAllocation AllocateEnds(std::vector<TAllocEnd> Sources, std::vector<TAllocEnd> Sinks,
                         const TAllocOptions& Options) {
    TAllocation a;
    a.Block = std::max(Options.Block, 1);
    a.Manhattan = Options.Manhattan;
    a.Places = Options.Places;
    a.Message = CheckAllocOptions(Options);
    if (!a.Message.empty())
        return a;
    // Ends with nothing to give or take are no nodes.
    auto empty = [](const TAllocEnd& e) { return e.Volume <= 0; };
    Sources.erase(std::remove_if(Sources.begin(), Sources.end(), empty), Sources.end());
    Sinks.erase(std::remove_if(Sinks.begin(), Sinks.end(), empty), Sinks.end());
    for (const TAllocEnd& e : Sources)
        a.CutVolume += e.Volume;
    for (const TAllocEnd& e : Sinks)
        a.FillVolume += e.Volume;
    const size_t cuts = Sources.size(), fills = Sinks.size();
    const int64_t surplus = a.CutVolume - a.FillVolume;

    // The places after the site's ends, each with its capacity in whole m³.
    int borrow = 0, spoil = 0;
    int64_t borrowCap = 0, spoilCap = 0;
    std::vector<int64_t> sourceCap, sinkCap;
    std::vector<double> sourceExtra(cuts, 0.0), sinkExtra(fills, 0.0); // by end
    for (const TAllocPlace& p : Options.Places) {
        TAllocEnd e;
        e.X = p.X;
        e.Y = p.Y;
        const int64_t cap = WholeCapacity(p.Capacity, std::llabs(surplus));
        if (p.Kind == TAllocPlaceKind::Borrow) {
            e.Kind = TAllocEndKind::Borrow;
            e.Name = StrFormat("土取場%d", ++borrow);
            Sources.push_back(e);
            sourceExtra.push_back(p.Extra);
            sourceCap.push_back(cap);
            borrowCap += cap;
        } else {
            e.Kind = TAllocEndKind::Spoil;
            e.Name = StrFormat("土捨場%d", ++spoil);
            Sinks.push_back(e);
            sinkExtra.push_back(p.Extra);
            sinkCap.push_back(cap);
            spoilCap += cap;
        }
    }
    if (surplus > 0 && spoilCap < surplus) {
        a.Message = spoil == 0
                        ? StrFormat("残土 %s m³ の行き先がありません。土捨場を加えてください。",
                                    FormatVolume(surplus).c_str())
                        : StrFormat("土捨場の容量（計 %s m³）が残土 %s m³ に足りません。",
                                    FormatVolume(spoilCap).c_str(), FormatVolume(surplus).c_str());
        return a;
    }
    if (surplus < 0 && borrowCap < -surplus) {
        a.Message =
            borrow == 0
                ? StrFormat("不足土 %s m³ の入手先がありません。土取場を加えてください。",
                            FormatVolume(-surplus).c_str())
                : StrFormat("土取場の容量（計 %s m³）が不足土 %s m³ に足りません。",
                            FormatVolume(borrowCap).c_str(), FormatVolume(-surplus).c_str());
        return a;
    }

    // The arcs, source by source: cut to fill always; cut to spoil only with a surplus and
    // borrow to fill only with a shortage, so the site's own cut is used before anything is
    // bought and nothing is bought to be thrown away.
    struct TArc {
        int From, To;
    };
    std::vector<TArc> arcs;
    const bool toSpoil = surplus > 0, fromBorrow = surplus < 0;
    int64_t pairs = 0;
    for (size_t i = 0; i < Sources.size(); ++i) {
        const bool isCut = i < cuts;
        if (!isCut && !fromBorrow)
            break;
        if (!isCut && sourceCap[i - cuts] == 0)
            continue;
        pairs += static_cast<int64_t>(fills);
        if (isCut && toSpoil)
            pairs += static_cast<int64_t>(Sinks.size() - fills);
    }
    a.Pairs = pairs;
    if (pairs > kAllocMaxArcs) {
        a.Message = StrFormat("配分の組み合わせが %lld 通りあり、多すぎます。"
                              "ブロックを大きくしてください。",
                              static_cast<long long>(pairs));
        return a;
    }
    arcs.reserve(static_cast<size_t>(pairs));
    std::vector<double> dist;
    dist.reserve(static_cast<size_t>(pairs));
    double maxDist = 0;
    for (size_t i = 0; i < Sources.size(); ++i) {
        const bool isCut = i < cuts;
        if (!isCut && (!fromBorrow || sourceCap[i - cuts] == 0))
            continue;
        const size_t sinkEnd = isCut && toSpoil ? Sinks.size() : fills;
        for (size_t j = 0; j < sinkEnd; ++j) {
            if (j >= fills && sinkCap[j - fills] == 0)
                continue;
            const double d =
                Distance(Sources[i], Sinks[j], Options.Manhattan) + sourceExtra[i] + sinkExtra[j];
            if (!(d <= kMaxDistance)) {
                a.Message =
                    StrFormat("%s から %s までの距離が大きすぎます。位置を確かめてください。",
                              Sources[i].Name.c_str(), Sinks[j].Name.c_str());
                return a;
            }
            maxDist = std::max(maxDist, d);
            arcs.push_back({static_cast<int>(i), static_cast<int>(j)});
            dist.push_back(d);
        }
    }

    // Costs in millimetres, or coarser when the sums would come near 2^63.
    const size_t nodes = Sources.size() + Sinks.size() + 1;
    double scale = 1000;
    while (scale > 1e-3 && maxDist * scale * static_cast<double>(nodes + 2) > kMaxCostSum)
        scale /= 10;
    a.CostScale = scale;

    // Node numbers: sources, sinks, then the hub that takes the surplus or gives the shortage
    // through arcs that hold the places' capacities. The arcs go in order of their source
    // node, as the static graph wants them, and keep their numbers there.
    const int sinkBase = static_cast<int>(Sources.size()), hub = static_cast<int>(nodes) - 1;
    std::vector<std::pair<int, int>> list;
    list.reserve(arcs.size() + Sources.size() + Sinks.size());
    for (const TArc& arc : arcs)
        list.emplace_back(arc.From, sinkBase + arc.To);
    if (toSpoil)
        for (size_t j = fills; j < Sinks.size(); ++j)
            list.emplace_back(sinkBase + static_cast<int>(j), hub);
    if (fromBorrow)
        for (size_t i = cuts; i < Sources.size(); ++i)
            list.emplace_back(hub, static_cast<int>(i));
    TGraph g;
    g.build(static_cast<int>(nodes), list.begin(), list.end());
    TGraph::NodeMap<int64_t> supply(g, 0);
    for (size_t i = 0; i < cuts; ++i)
        supply[g.node(static_cast<int>(i))] = Sources[i].Volume;
    for (size_t j = 0; j < fills; ++j)
        supply[g.node(sinkBase + static_cast<int>(j))] = -Sinks[j].Volume;
    supply[g.node(hub)] = -surplus;
    TGraph::ArcMap<int64_t> cost(g, 0), upper(g, 0);
    const int64_t most = std::max(a.CutVolume, a.FillVolume);
    for (size_t k = 0; k < arcs.size(); ++k) {
        const TGraph::Arc arc = g.arc(static_cast<int>(k));
        cost[arc] = static_cast<int64_t>(std::llround(dist[k] * scale));
        upper[arc] = most;
    }
    size_t next = arcs.size();
    if (toSpoil)
        for (size_t j = fills; j < Sinks.size(); ++j)
            upper[g.arc(static_cast<int>(next++))] = sinkCap[j - fills];
    if (fromBorrow)
        for (size_t i = cuts; i < Sources.size(); ++i)
            upper[g.arc(static_cast<int>(next++))] = sourceCap[i - cuts];
    TSimplex simplex(g);
    simplex.costMap(cost).upperMap(upper).supplyMap(supply);
    if (simplex.run() != TSimplex::OPTIMAL) {
        a.Message = "配分を求められませんでした。";
        return a;
    }

    long double moment = 0;
    for (size_t k = 0; k < arcs.size(); ++k) {
        const int64_t f = simplex.flow(g.arc(static_cast<int>(k)));
        if (f <= 0)
            continue;
        TAllocFlow flow{arcs[k].From, arcs[k].To, f, dist[k]};
        a.Flows.push_back(flow);
        a.TotalVolume += f;
        moment += static_cast<long double>(f) * dist[k];
        if (static_cast<size_t>(flow.From) >= cuts) {
            a.FromBorrow += f;
            Sources[flow.From].Volume += f;
        }
        if (static_cast<size_t>(flow.To) >= fills) {
            a.ToSpoil += f;
            Sinks[flow.To].Volume += f;
        }
    }
    a.TotalMoment = static_cast<double>(moment);
    a.Sources = std::move(Sources);
    a.Sinks = std::move(Sinks);
    a.Solved = true;
    return a;
}

TAllocation AllocateEarth(const TInputData& Data, const TAllocOptions& Options) {
    TAllocation a;
    a.Block = Options.Block;
    a.Manhattan = Options.Manhattan;
    a.Places = Options.Places;
    a.Message = CheckAllocOptions(Options);
    if (!a.Message.empty())
        return a;
    if (!Data.GetPhase(2)) {
        a.Message = "計算結果がありません。先に計算してください。";
        return a;
    }
    const int k = Options.Block == 0 ? AutoBlockSize(Data) : Options.Block;
    std::vector<TAllocEnd> sources, sinks;
    AllocEndsOf(Data, k, sources, sinks);
    TAllocOptions options = Options;
    options.Block = k;
    return AllocateEnds(std::move(sources), std::move(sinks), options);
}

namespace {

std::string NumberText(double V) {
    if (std::isinf(V))
        return V > 0 ? "inf" : "-inf";
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, V);
    return std::string(buf, r.ptr);
}

bool ReadNumber(const std::string& Text, double& V) {
    if (Text == "inf") {
        V = std::numeric_limits<double>::infinity();
        return true;
    }
    const auto r = std::from_chars(Text.data(), Text.data() + Text.size(), V);
    return r.ec == std::errc() && r.ptr == Text.data() + Text.size();
}

} // namespace

std::string AllocOptionsBytes(const TAllocOptions& Options) {
    std::string s = "doryou-allocation 1\n";
    s +=
        std::to_string(Options.Block) + " " + (Options.Manhattan ? "manhattan" : "straight") + "\n";
    for (const TAllocPlace& p : Options.Places)
        s += std::string(p.Kind == TAllocPlaceKind::Borrow ? "B" : "S") + " " + NumberText(p.X) +
             " " + NumberText(p.Y) + " " + NumberText(p.Capacity) + " " + NumberText(p.Extra) +
             "\n";
    return s;
}

bool ParseAllocOptions(const std::string& Bytes, TAllocOptions& Options) {
    std::istringstream in(Bytes);
    std::string line;
    if (!std::getline(in, line) || line != "doryou-allocation 1")
        return false;
    TAllocOptions o;
    std::string kind;
    if (!std::getline(in, line))
        return false;
    {
        std::istringstream words(line);
        std::string block;
        if (!(words >> block >> kind) || (kind != "manhattan" && kind != "straight"))
            return false;
        const auto r = std::from_chars(block.data(), block.data() + block.size(), o.Block);
        if (r.ec != std::errc() || r.ptr != block.data() + block.size() || o.Block < 0)
            return false;
        o.Manhattan = kind == "manhattan";
    }
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string k, x, y, cap, extra;
        TAllocPlace p;
        if (!(words >> k >> x >> y >> cap >> extra) || (k != "B" && k != "S") ||
            !ReadNumber(x, p.X) || !ReadNumber(y, p.Y) || !ReadNumber(cap, p.Capacity) ||
            !ReadNumber(extra, p.Extra))
            return false;
        p.Kind = k == "B" ? TAllocPlaceKind::Borrow : TAllocPlaceKind::Spoil;
        o.Places.push_back(p);
    }
    Options = o;
    return true;
}

TAllocOptions StoredAllocOptions(const TInputData& Data) {
    TAllocOptions options;
    options.Block = 0;
    ParseAllocOptions(Data.GetTag(kAllocTag), options);
    return options;
}

TAllocation AllocateStored(const TInputData& Data) {
    return AllocateEarth(Data, StoredAllocOptions(Data));
}
