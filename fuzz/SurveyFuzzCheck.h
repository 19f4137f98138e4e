#pragma once
// What every survey reader's fuzzer checks on a file it accepted: each surface triangulates or
// fails with a message, and the heights sampled onto a grid over it stay between its lowest and
// highest point (a linear interpolation can do nothing else).

#include "platform/Failure.h"
#include "survey/SurveyTin.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

inline void CheckSurveyFile(const TSurveyFile& File) {
    for (const TSurveySurface& s : File.Surfaces) {
        TSurveyTin tin;
        try {
            tin = BuildSurveyTin(s, 0.0, "fuzz");
        } catch (const EFailure&) {
            continue;
        }
        double n0 = INFINITY, n1 = -INFINITY, e0 = INFINITY, e1 = -INFINITY;
        double z0 = INFINITY, z1 = -INFINITY;
        for (const TSurveyPoint& p : tin.Points) {
            n0 = std::min(n0, p.N), n1 = std::max(n1, p.N);
            e0 = std::min(e0, p.E), e1 = std::max(e1, p.E);
            z0 = std::min(z0, p.Z), z1 = std::max(z1, p.Z);
        }
        const double extent = std::max(n1 - n0, e1 - e0);
        if (!(extent > 0) || !std::isfinite(extent))
            continue;
        const TMeshFrame frame{n0, e0, 17.0, extent / 40.0};
        TSurveyGrid g;
        try {
            g = SurveyGridBox(tin, frame);
        } catch (const EFailure&) {
            continue;
        }
        SampleSurveyTin(tin, frame, g);
        const double slack = 1e-9 * (1.0 + std::max(std::fabs(z0), std::fabs(z1)));
        for (double z : g.Z)
            if (!std::isnan(z) && (z < z0 - slack || z > z1 + slack))
                std::abort();
    }
}
