// Writes the survey data of the bundled sample site, as a surveyor and a designer would hand
// them over: the ground as SIMA points (code page 932) and the levelled platform as a
// J-LandXML TIN. Mesh (0, 0) stands at X -35200 m, Y 12400 m of plane coordinate system IX,
// the grid unrotated, 20 m apart:
//   doryou-make-survey-sample examples/sample-ground.sim examples/sample-plan.xml
//   doryou-cli import --ground examples/sample-ground.sim --plan examples/sample-plan.xml
//       --origin -35200,12400 -o site.msh

#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "platform/FileUtil.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr double kN0 = -35200.0, kE0 = 12400.0, kSpan = 20.0;

// The hillside of the sample project, in mesh units: a hill in the north-east.
double Ground(double x, double y) {
    const double hill = 3.0 * std::exp(-((x - 5) * (x - 5) + (y - 4) * (y - 4)) / 6.0);
    return 45.0 + 0.9 * x + 0.7 * y + hill;
}

std::string Sima() {
    std::string s = "G00,01,みどり台地区 現況地盤,\r\nZ00,座標データ,\r\nA00,\r\n";
    int n = 0;
    // Points every 10 m from 5 m outside the site, shifted a little as a field survey is.
    for (int r = 0; r <= 11; ++r)
        for (int c = 0; c <= 13; ++c) {
            const double dn = -5.0 + 10.0 * r + 0.7 * std::sin(c * 1.3 + r);
            const double de = -5.0 + 10.0 * c + 0.7 * std::cos(r * 0.9 + c);
            const double z = Ground(de / kSpan, dn / kSpan);
            ++n;
            s += StrFormat("A01,%d,No.%d,%.3f,%.3f,%.3f,\r\n", n, n, kN0 + dn, kE0 + de, z);
        }
    s += "A99,\r\n";
    return Utf8ToCp932(s);
}

std::string LandXml() {
    std::string s =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<LandXML xmlns=\"http://www.landxml.org/schema/LandXML-1.2\" version=\"1.2\" "
        "date=\"2026-12-01\" time=\"09:00:00\" language=\"Japanese\">\n"
        " <Units><Metric linearUnit=\"meter\" areaUnit=\"squareMeter\" "
        "volumeUnit=\"cubicMeter\" angularUnit=\"decimal degrees\"/></Units>\n"
        " <CoordinateSystem horizontalCoordinateSystemName=\"9(X,Y)\" "
        "verticalDatum=\"T.P\"/>\n"
        " <Project name=\"みどり台地区 宅地造成工事（サンプル）\"/>\n"
        " <Application name=\"doryou-make-survey-sample\"/>\n"
        " <Surfaces>\n  <Surface name=\"計画面\">\n   <Definition surfType=\"TIN\">\n"
        "    <Pnts>\n";
    // The platform at 48.5 m, 10 m beyond the site on every side, in a 4 × 3 net of points.
    const int cols = 4, rows = 3;
    for (int r = 0; r <= rows; ++r)
        for (int c = 0; c <= cols; ++c)
            s += StrFormat("     <P id=\"%d\">%.3f %.3f %.3f</P>\n", r * (cols + 1) + c + 1,
                           kN0 - 10.0 + r * 40.0, kE0 - 10.0 + c * 35.0, 48.5);
    s += "    </Pnts>\n    <Faces>\n";
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            const int a = r * (cols + 1) + c + 1, b = a + 1, d = a + cols + 1, e = d + 1;
            s += StrFormat("     <F>%d %d %d</F>\n     <F>%d %d %d</F>\n", a, b, e, a, e, d);
        }
    s += "    </Faces>\n   </Definition>\n  </Surface>\n </Surfaces>\n</LandXML>\n";
    return s;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "使い方: doryou-make-survey-sample GROUND.sim PLAN.xml\n");
        return 2;
    }
    try {
        WriteFileAtomic(argv[1], Sima());
        WriteFileAtomic(argv[2], LandXml());
    } catch (const EFailure& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
