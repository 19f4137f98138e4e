#include "SyntheticSite.h"

#include <climits>
#include <cmath>

void BuildSyntheticSite(TInputData& d, int side, int calcType, int64_t spread) {
    const int64_t origin = spread > 1 ? INT32_MIN : 0;
    d.SetTitle("合成現場");
    d.SetLayer(5);
    d.SetMeshSpan(10.0);
    d.SetCalcType(calcType);
    d.SetHyoudo(true);
    d.SetFumikomi(true);
    d.SetAtumitu(true);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            TGridData g;
            g.X = static_cast<int32_t>(origin + x * spread);
            g.Y = static_cast<int32_t>(origin + y * spread);
            // Rolling ground around a flat plan: about half the points cut, half fill.
            g.GH = 50.0 + 3.0 * std::sin(x * 0.05) + 2.0 * std::cos(y * 0.07);
            g.FH = 50.0;
            g.LAYER[0] = 0.3;
            g.LAYER[1] = 0.8 + 0.001 * (x % 100);
            g.LAYER[2] = 1.1;
            g.LAYER[3] = 0.9 + 0.002 * (y % 50);
            g.LAYER[4] = 1.5;
            g.CSink = 0.05;
            g.BSink = 0.1;
            d.SetMeshData(g);
        }
    }
}
