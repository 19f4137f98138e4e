#pragma once
// The arithmetic of the volume calculation, shared by Calcrate and by the code that evaluates
// the same project many times over (the plan balance): a point's layer profile, its fill depth
// or cut split, and the volumes rounded and corrected. Every volume product is evaluated in
// long double and stored to a double once, then rounded to whole cubic metres.

#include "DataUnit.h"
#include "model/PlausibleRange.h"
#include "platform/Failure.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

inline constexpr int64_t kInt32Min = INT32_MIN;
inline constexpr int64_t kInt32Max = INT32_MAX;

inline int32_t Saturate(int64_t v) {
    return static_cast<int32_t>(std::clamp(v, kInt32Min, kInt32Max));
}

// One corner (or point) prepared for a method: the layer tops and the values it needs.
struct TCorner {
    double t[TInputData::MaxLayer] = {};
    double h = 0.0;     // planned height
    double top = 0.0;   // topsoil thickness
    double csink = 0.0; // stepping-in settlement
    double bsink = 0.0; // consolidation settlement
};

// Rounding to whole cubic metres. Adding the half in extended precision and flooring is the
// same as testing the fraction exactly, which is done here in double arithmetic: the x87
// control-word changes of an extended floor cost more than the whole rest of a calculation.
inline int32_t RoundWhole(double x, int RoundType) {
    if (std::isnan(x))
        return 0;
    double r;
    if (RoundType == 1) {
        r = std::floor(x);
    } else if (RoundType == 2) {
        r = std::ceil(x);
    } else {
        r = std::floor(x);
        // Exact: below 2^52 adding 0.5 to an integer loses nothing, and above it x has no
        // fraction at all. Added as a number, not branched on: the fractions of a site's
        // volumes are as good as random, and a mispredicted branch costs more than the sum.
        r += static_cast<double>(x >= r + 0.5);
    }
    if (r >= static_cast<double>(kInt32Max))
        return INT32_MAX;
    if (r <= static_cast<double>(kInt32Min))
        return INT32_MIN;
    return static_cast<int32_t>(r);
}

// The settings of one calculation, read once, and the steps every method takes for a point or
// a corner: its layer profile, the depth and its split, the rounded volumes.
struct TCalcSteps {
    int L;
    bool Thick, Hyoudo, Fumikomi, Atumitu, FillCorr;
    int RoundMode;
    double s, A, q;
    double R[6];

    explicit TCalcSteps(const TInputData& d)
        : L(std::clamp(d.Layer(), 1, TInputData::MaxLayer)), Thick(d.SolidType() == 0),
          Hyoudo(d.Hyoudo()), Fumikomi(d.Fumikomi()), Atumitu(d.Atumitu()),
          FillCorr(d.RateType() == 1), RoundMode(d.RoundType()), s(d.MeshSpan()), A(s * s),
          q(A / 4) {
        // A project file may hold any spacing; none outside the range gives a true volume.
        if (!MeshSpanUsable(s))
            throw EFailure(MeshSpanMessage(s));
        for (int i = 0; i < 6; ++i)
            R[i] = d.GetSolidValue(i, 0);
    }

    // A zero depth is a zero volume whatever the area and rate (0 x inf reads as 0 too), and
    // most layer parts are zero: skip the product.
    int32_t Volume(double depth, double area) const {
        if (depth == 0.0)
            return 0;
        return RoundWhole(static_cast<double>(static_cast<long double>(depth) * area), RoundMode);
    }
    int32_t Volume(double depth, double area, double rate) const {
        if (depth == 0.0)
            return 0;
        return RoundWhole(static_cast<double>(static_cast<long double>(depth) * area * rate),
                          RoundMode);
    }

    // Layer profile steps 1 and 2, with the values each method needs.
    void Prepare(const TGridData& g, TCorner& c) const {
        c.t[0] = g.GH;
        for (int i = 1; i < L; ++i)
            c.t[i] = Thick ? c.t[i - 1] - g.LAYER[i] : g.LAYER[i];
        c.h = g.FH;
        c.top = g.LAYER[0];
        c.csink = g.CSink;
        c.bsink = g.BSink;
    }
    // Steps 3 and 4: stripping, stepping-in settlement, clamp.
    void Adjust(TCorner& c) const {
        if (Hyoudo)
            c.t[0] -= c.top;
        if (Fumikomi)
            c.t[0] -= c.csink;
        for (int i = 0; i + 1 < L; ++i)
            if (!(c.t[i] >= c.t[i + 1]))
                c.t[i + 1] = c.t[i];
    }
    // Fill depth, or the cut split over the layers (parts[1..L]).
    double Split(const TCorner& c, double parts[6]) const {
        for (int i = 0; i < 6; ++i)
            parts[i] = 0.0;
        if (c.t[0] < c.h)
            return c.h - c.t[0] + (Atumitu ? c.bsink : 0.0);
        double d = c.t[0] - c.h;
        for (int i = 0; i + 1 < L; ++i) {
            double part = c.t[i] - c.t[i + 1];
            if (part > d)
                part = d;
            parts[i + 1] = part;
            d -= part;
        }
        if (d > 0)
            parts[L] = d;
        return 0.0;
    }
    // Fill and cut volumes of a depth or parts over an area, plain and corrected.
    void Volumes(double fill, const double parts[6], double area, TGridCalcData& r) const {
        r.BV[0] = Volume(fill, area);
        r.BV[1] = FillCorr ? Volume(fill, area, R[0]) : r.BV[0];
        int64_t sum[2] = {0, 0};
        for (int i = 1; i <= L; ++i) {
            r.CV[0][i] = Volume(parts[i], area);
            r.CV[1][i] = FillCorr ? r.CV[0][i] : Volume(parts[i], area, R[i]);
            sum[0] += r.CV[0][i];
            sum[1] += r.CV[1][i];
        }
        r.CV[0][0] = Saturate(sum[0]);
        r.CV[1][0] = Saturate(sum[1]);
    }
};
