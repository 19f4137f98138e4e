#pragma once
// Generated sites for the comparison and balance tests: a patch of mesh points with holes,
// a later duplicate or two and deleted points, random ground, layers, topsoil and settlements,
// and a plan that the caller lifts or lowers as a whole (all cut, all fill or mixed).

#include "model/DataUnit.h"

#include <random>

namespace analysis_test {

struct TSiteSpec {
    unsigned Seed = 1;
    int CalcType = 0, RoundType = 0, RateType = 0;
    double PlanOffset = 0.0; // added to every planned height: +20 all fill, -20 all cut
    int Side = 7;
};

inline TInputData GeneratedSite(const TSiteSpec& S) {
    std::mt19937 rng(S.Seed);
    std::uniform_real_distribution<double> h(8.0, 12.0), thick(0.0, 1.5), small(0.0, 0.3);
    TInputData d;
    d.SetLayer(1 + static_cast<int>(rng() % 5));
    d.SetMeshSpan(5.0 + rng() % 20);
    d.SetCalcType(S.CalcType);
    d.SetRoundType(S.RoundType);
    d.SetRateType(S.RateType);
    d.SetHyoudo(rng() % 2);
    d.SetFumikomi(rng() % 2);
    d.SetAtumitu(rng() % 2);
    if (rng() % 3 == 0)
        d.SetSolidType(1); // elevation input (no question is installed: values stay)
    d.SetSolidValue(0, 0, 0.85 + 0.01 * (rng() % 30));
    for (int i = 1; i <= 5; ++i)
        d.SetSolidValue(i, 0, 0.8 + 0.01 * (rng() % 50));
    const int x0 = static_cast<int>(rng() % 21) - 10, y0 = static_cast<int>(rng() % 21) - 10;
    for (int y = 0; y < S.Side; ++y)
        for (int x = 0; x < S.Side; ++x) {
            if (rng() % 6 == 0)
                continue; // a hole
            TGridData g;
            g.X = x0 + x;
            g.Y = y0 + y;
            g.GH = h(rng);
            g.FH = 10.0 + 0.3 * std::sin(x + 2.0 * y) + S.PlanOffset;
            g.LAYER[0] = small(rng);
            for (int i = 1; i < 5; ++i)
                g.LAYER[i] = d.SolidType() == 0 ? thick(rng) : g.GH - i * thick(rng);
            g.CSink = small(rng);
            g.BSink = small(rng);
            d.SetMeshData(g);
            if (rng() % 11 == 0) { // a later point at the same position wins
                g.GH += 0.5;
                d.SetMeshData(g);
            }
            if (rng() % 13 == 0)
                d.DeleteMeshData(g.X, g.Y);
        }
    return d;
}

} // namespace analysis_test
