#include "analysis/SiteCheck.h"

#include "model/DataUnit.h"
#include "platform/Failure.h"
#include "platform/NumberFormat.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

namespace {

// Mesh numbers within the 32-bit range, packed without a signed shift.
uint64_t Key(int64_t X, int64_t Y) {
    return uint64_t(uint32_t(X)) << 32 | uint32_t(Y);
}

std::string Place(int32_t X, int32_t Y) {
    return StrFormat("メッシュ (%d, %d) ", X, Y);
}

std::string Metres(double V) {
    return FormatFixed(V, 3) + " m";
}

// The fields a point's calculation uses, with the names the listing gives them.
struct TField {
    const char* Name;
    double TGridData::*Member;
    int Layer; // index into LAYER when Member is null
};

double ValueOf(const TGridData& G, const TField& F) {
    return F.Member ? G.*F.Member : G.LAYER[F.Layer];
}

const char* const kThicknessNames[] = {"１層厚", "２層厚", "３層厚", "４層厚"};
const char* const kElevationNames[] = {"２層標高", "３層標高", "４層標高", "５層標高"};

std::vector<TField> UsedFields(const TInputData& Data) {
    std::vector<TField> fields = {{"計画高", &TGridData::FH, 0}, {"地盤高", &TGridData::GH, 0}};
    if (Data.Hyoudo())
        fields.push_back({"表土厚", nullptr, 0});
    for (int k = 1; k <= Data.Layer() - 1 && k <= 4; ++k)
        fields.push_back(
            {Data.SolidType() == 1 ? kElevationNames[k - 1] : kThicknessNames[k - 1], nullptr, k});
    if (Data.Fumikomi())
        fields.push_back({"踏込沈下", &TGridData::CSink, 0});
    if (Data.Atumitu())
        fields.push_back({"圧密沈下", &TGridData::BSink, 0});
    return fields;
}

double Median(std::vector<double>& V) {
    const size_t n = V.size();
    std::nth_element(V.begin(), V.begin() + n / 2, V.end());
    const double upper = V[n / 2];
    if (n % 2 == 1)
        return upper;
    return (*std::max_element(V.begin(), V.begin() + n / 2) + upper) / 2;
}

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
    }
    return "unknown";
}

int TSiteCheck::SeriousCount(const std::vector<TCheckFinding>& Findings) {
    return static_cast<int>(std::count_if(Findings.begin(), Findings.end(), [](const auto& f) {
        return f.Severity == TCheckSeverity::Serious;
    }));
}

std::vector<TCheckFinding> TSiteCheck::Run(const TInputData& Data) const {
    std::vector<TCheckFinding> found;
    auto add = [&](TCheckKind Kind, TCheckSeverity Severity, int32_t X, int32_t Y,
                   std::string Field, std::string Message) {
        found.push_back({Kind, Severity, X, Y, std::move(Field), Place(X, Y) + Message});
    };

    // Live points by place; of points sharing a place the later one is the one calculated.
    std::unordered_map<uint64_t, int32_t> at;
    std::unordered_map<uint64_t, int32_t> sharing;
    const std::vector<TGridData>& list = Data.GridList();
    at.reserve(list.size());
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].DelFlg)
            continue;
        auto [it, fresh] = at.insert({Key(list[i].X, list[i].Y), static_cast<int32_t>(i)});
        if (!fresh) {
            it->second = static_cast<int32_t>(i);
            ++sharing[it->first];
        }
    }
    for (const auto& [key, extra] : sharing) {
        const TGridData& g = list[at[key]];
        add(TCheckKind::Duplicate, TCheckSeverity::Serious, g.X, g.Y, "",
            StrFormat("に点が %d 個あります（計算には最後の点が使われます）。", extra + 1));
    }
    auto live = [&](int64_t X, int64_t Y) -> const TGridData* {
        if (X < INT32_MIN || X > INT32_MAX || Y < INT32_MIN || Y > INT32_MAX)
            return nullptr;
        const auto it = at.find(Key(X, Y));
        return it == at.end() ? nullptr : &list[it->second];
    };

    // Holes: an empty place whose four neighbours are points lies inside the site.
    std::unordered_map<uint64_t, bool> holes;
    static const int kSide[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    for (const auto& [key, index] : at) {
        const TGridData& g = list[index];
        for (const auto& d : kSide) {
            const int64_t x = int64_t(g.X) + d[0], y = int64_t(g.Y) + d[1];
            if (live(x, y) || x < INT32_MIN || x > INT32_MAX || y < INT32_MIN || y > INT32_MAX)
                continue;
            if (holes.count(Key(x, y)))
                continue;
            const bool inside = std::all_of(std::begin(kSide), std::end(kSide), [&](const auto& e) {
                return live(x + e[0], y + e[1]) != nullptr;
            });
            holes[Key(x, y)] = inside;
            if (inside)
                add(TCheckKind::Hole, TCheckSeverity::Serious, static_cast<int32_t>(x),
                    static_cast<int32_t>(y), "",
                    "に点がありません（周りの点はあります）。4点法ではこの周りの土量が欠けます。");
        }
    }

    const std::vector<TField> fields = UsedFields(Data);
    const bool elevations = Data.SolidType() == 1;
    std::vector<double> around; // kept between points: ten million allocations cost seconds
    for (const auto& [key, index] : at) {
        const TGridData& g = list[index];
        bool finite = true;
        for (const TField& f : fields) {
            const double v = ValueOf(g, f);
            if (!std::isfinite(v)) {
                finite = false;
                add(TCheckKind::NonFinite, TCheckSeverity::Serious, g.X, g.Y, f.Name,
                    std::string("の") + f.Name + "が数値ではありません。");
                continue;
            }
            const bool height = f.Member == &TGridData::FH || f.Member == &TGridData::GH ||
                                (!f.Member && f.Layer > 0 && elevations);
            if (height && (v < FRules.MinHeight || v > FRules.MaxHeight))
                add(TCheckKind::Implausible, TCheckSeverity::Warning, g.X, g.Y, f.Name,
                    std::string("の") + f.Name + " " + Metres(v) + " は " +
                        Metres(FRules.MinHeight) + "〜" + Metres(FRules.MaxHeight) +
                        " の範囲の外です。");
            else if (!height && v < 0)
                add(TCheckKind::Negative, TCheckSeverity::Serious, g.X, g.Y, f.Name,
                    std::string("の") + f.Name + "が負の値 (" + Metres(v) + ") です。");
        }
        if (!finite)
            continue;
        if (elevations) {
            double above = g.GH;
            for (int k = 1; k <= Data.Layer() - 1 && k <= 4; ++k) {
                if (g.LAYER[k] > above)
                    add(TCheckKind::LayerOrder, TCheckSeverity::Serious, g.X, g.Y,
                        kElevationNames[k - 1],
                        StrFormat("の%d層上端 %s が上の層の上端 %s より高くなっています。", k + 1,
                                  Metres(g.LAYER[k]).c_str(), Metres(above).c_str()));
                above = std::min(above, g.LAYER[k]);
            }
        }
        const double fill = g.FH - g.GH;
        if (fill > 0) {
            for (const TField& f : fields) {
                if (f.Member != &TGridData::CSink && f.Member != &TGridData::BSink)
                    continue;
                const double s = g.*f.Member;
                if (s > fill)
                    add(TCheckKind::Settlement, TCheckSeverity::Warning, g.X, g.Y, f.Name,
                        std::string("の") + f.Name + " " + Metres(s) + " が盛土高 " + Metres(fill) +
                            " より大きくなっています。");
            }
        }
        // Spikes, on the ground and the plan alike.
        for (double TGridData::*member : {&TGridData::GH, &TGridData::FH}) {
            around.clear();
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (dx || dy)
                        if (const TGridData* n = live(int64_t(g.X) + dx, int64_t(g.Y) + dy))
                            if (std::isfinite(n->*member))
                                around.push_back(n->*member);
            if (static_cast<int>(around.size()) < FRules.SpikeNeighbours)
                continue;
            const double median = Median(around);
            for (double& v : around)
                v = std::abs(v - median);
            const double mad = Median(around);
            const double off = std::abs(g.*member - median);
            if (off > FRules.SpikeHeight && off > FRules.SpikeMads * mad) {
                const char* name = member == &TGridData::GH ? "地盤高" : "計画高";
                add(TCheckKind::Spike, TCheckSeverity::Warning, g.X, g.Y, name,
                    std::string("の") + name + " " + Metres(g.*member) + " が周りの点 (中央値 " +
                        Metres(median) + ") から大きく外れています。");
            }
        }
    }

    if (Data.GetPhase(2)) {
        for (const TGridCalcData& c : Data.CalcList()) {
            bool limit = c.HV == INT32_MAX || c.HV == INT32_MIN;
            for (int k = 0; k < 2; ++k) {
                limit = limit || c.BV[k] == INT32_MAX || c.BV[k] == INT32_MIN;
                for (int i = 0; i < 6; ++i)
                    limit = limit || c.CV[k][i] == INT32_MAX || c.CV[k][i] == INT32_MIN;
            }
            if (limit)
                add(TCheckKind::Saturated, TCheckSeverity::Serious, c.X, c.Y, "",
                    "の土量が記録できる上限に達しました（値は正しくありません）。");
        }
    }

    std::sort(found.begin(), found.end(), [](const TCheckFinding& a, const TCheckFinding& b) {
        if (a.Y != b.Y)
            return a.Y < b.Y;
        if (a.X != b.X)
            return a.X < b.X;
        if (a.Kind != b.Kind)
            return a.Kind < b.Kind;
        return a.Field < b.Field;
    });
    return found;
}
