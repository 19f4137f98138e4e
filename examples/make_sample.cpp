// Builds the bundled sample site: a 7 x 6 mesh hillside levelled to one platform, three soil
// layers under 0.3 m of topsoil. Saved by the model itself, so the file is what the program
// writes.

#include "model/DataUnit.h"
#include "platform/Failure.h"

#include <cmath>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "使い方: doryou-make-sample OUT.msh\n");
        return 2;
    }
    TInputData d;
    d.SetTitle("みどり台地区 宅地造成工事（サンプル）");
    d.SetLayer(3);
    d.SetMeshSpan(20.0);
    d.SetCalcType(1);
    d.SetHyoudo(true);
    d.SetSolidName(1, "砂質土");
    d.SetSolidValue(0, 1, 0.3); // standard topsoil
    d.SetSolidValue(1, 1, 1.2); // standard thickness of layer 1
    d.SetSolidValue(2, 1, 2.0);
    d.SetPhase(0, true);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 7; ++x) {
            TGridData g = d.GetXYToData(x, y);
            g.Index = 0;
            g.X = x;
            g.Y = y;
            // A hill in the north-east falling to a valley in the south-west.
            const double hill = 3.0 * std::exp(-((x - 5) * (x - 5) + (y - 4) * (y - 4)) / 6.0);
            g.GH = std::round((45.0 + 0.9 * x + 0.7 * y + hill) * 100.0) / 100.0;
            g.FH = 48.5;
            g.LAYER[1] = std::round((1.0 + 0.1 * ((x + y) % 4)) * 100.0) / 100.0;
            g.LAYER[2] = std::round((1.8 + 0.15 * (x % 3)) * 100.0) / 100.0;
            d.SetMeshData(g);
        }
    }
    d.Calcrate();
    try {
        d.FileSave(argv[1]);
    } catch (const EFailure& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
