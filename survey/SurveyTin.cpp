#include "survey/SurveyTin.h"

#include "platform/Failure.h"

#include <libqhull_r/qhull_ra.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>

namespace {

// Delaunay triangles of distinct points through qhull's reentrant library. False when qhull
// finds no triangulation (all points on a line).
bool Delaunay(const std::vector<TSurveyPoint>& pts, std::vector<std::array<int32_t, 3>>& out) {
    // Centred, so that survey coordinates far from zero keep their precision in qhull.
    double cn = 0.0, ce = 0.0;
    for (const TSurveyPoint& p : pts) {
        cn += p.N;
        ce += p.E;
    }
    cn /= static_cast<double>(pts.size());
    ce /= static_cast<double>(pts.size());
    std::vector<coordT> xy(pts.size() * 2);
    for (size_t i = 0; i < pts.size(); ++i) {
        xy[2 * i] = pts[i].E - ce;
        xy[2 * i + 1] = pts[i].N - cn;
    }
    FILE* errors = std::fopen("/dev/null", "w");
    qhT qh_qh;
    qhT* qh = &qh_qh;
    qh_zero(qh, errors);
    char options[] = "qhull d Qt Qbb Qz";
    const int code = qh_new_qhull(qh, 2, static_cast<int>(pts.size()), xy.data(), False, options,
                                  nullptr, errors);
    if (code == 0) {
        facetT* facet;
        vertexT *vertex, **vertexp;
        FORALLfacets {
            if (facet->upperdelaunay)
                continue;
            std::array<int32_t, 3> t{};
            int k = 0;
            FOREACHvertex_(facet->vertices) {
                const int id = qh_pointid(qh, vertex->point);
                if (k < 3 && id >= 0 && static_cast<size_t>(id) < pts.size())
                    t[static_cast<size_t>(k)] = id;
                ++k;
            }
            if (k == 3)
                out.push_back(t);
        }
    }
    qh_freeqhull(qh, !qh_ALL);
    int curlong, totlong;
    qh_memfreeshort(qh, &curlong, &totlong);
    if (errors)
        std::fclose(errors);
    return code == 0 && !out.empty();
}

double EdgeLength(const TSurveyPoint& a, const TSurveyPoint& b) {
    return std::hypot(a.N - b.N, a.E - b.E);
}

// cos and sin of an angle in degrees, exact at the quarter turns.
void CosSin(double deg, double& c, double& s) {
    const double r = std::fmod(deg, 360.0);
    const double q = r < 0 ? r + 360.0 : r;
    if (q == 0.0) {
        c = 1.0, s = 0.0;
    } else if (q == 90.0) {
        c = 0.0, s = 1.0;
    } else if (q == 180.0) {
        c = -1.0, s = 0.0;
    } else if (q == 270.0) {
        c = 0.0, s = -1.0;
    } else {
        const double rad = q * (3.14159265358979323846 / 180.0);
        c = std::cos(rad);
        s = std::sin(rad);
    }
}

struct TUV {
    double U, V;
};

std::vector<TUV> ToGrid(const std::vector<TSurveyPoint>& pts, const TMeshFrame& f) {
    double c, s;
    CosSin(f.Angle, c, s);
    std::vector<TUV> uv(pts.size());
    for (size_t i = 0; i < pts.size(); ++i) {
        const double de = pts[i].E - f.E0, dn = pts[i].N - f.N0;
        uv[i] = {(de * c + dn * s) / f.Span, (dn * c - de * s) / f.Span};
    }
    return uv;
}

// Which side of the edge p→q (p < q by index) the point x is on, computed the same way for
// both triangles that share the edge.
double EdgeSide(const TUV& p, const TUV& q, double u, double v) {
    return (q.U - p.U) * (v - p.V) - (q.V - p.V) * (u - p.U);
}

double AlongEdge(const TUV& p, const TUV& q, double zp, double zq, double u, double v) {
    const double du = q.U - p.U, dv = q.V - p.V;
    const double t = std::fabs(du) >= std::fabs(dv) ? (u - p.U) / du : (v - p.V) / dv;
    return zp + t * (zq - zp);
}

} // namespace

TSurveyTin BuildSurveyTin(const TSurveySurface& Surface, double MaxEdge, const std::string& What) {
    TSurveyTin tin;
    tin.InputPoints = static_cast<int64_t>(Surface.Points.size());
    if (Surface.IsTin) {
        tin.Points = Surface.Points;
        tin.Triangles = Surface.Triangles;
        if (tin.Triangles.empty())
            throw EFailure(What + " の面「" + Surface.Name + "」に三角形がありません。");
        return tin;
    }

    // Points at one position: the first in the file is kept.
    const auto& in = Surface.Points;
    std::vector<int32_t> order(in.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
        if (in[a].N != in[b].N)
            return in[a].N < in[b].N;
        if (in[a].E != in[b].E)
            return in[a].E < in[b].E;
        return a < b;
    });
    std::vector<char> keep(in.size(), 1);
    for (size_t r = 0; r < order.size();) {
        const TSurveyPoint& kept = in[static_cast<size_t>(order[r])];
        size_t k = r + 1;
        for (; k < order.size(); ++k) {
            const TSurveyPoint& p = in[static_cast<size_t>(order[k])];
            if (p.N != kept.N || p.E != kept.E)
                break;
            keep[static_cast<size_t>(order[k])] = 0;
            ++tin.DuplicatePoints;
            if (p.Z != kept.Z && tin.ConflictingDuplicates++ == 0) {
                tin.FirstConflict = p;
                tin.FirstConflictKept = kept.Z;
            }
        }
        r = k;
    }
    tin.Points.reserve(in.size() - static_cast<size_t>(tin.DuplicatePoints));
    for (size_t i = 0; i < in.size(); ++i)
        if (keep[i])
            tin.Points.push_back(in[i]);
    if (tin.Points.size() < 3)
        throw EFailure(What + ": 三角形網を作るには位置の違う点が 3 点以上必要です（" +
                       std::to_string(tin.Points.size()) + " 点しかありません）。");
    if (tin.Points.size() > static_cast<size_t>(INT32_MAX / 2))
        throw EFailure(What + ": 点の数が多すぎます。");
    if (!Delaunay(tin.Points, tin.Triangles))
        throw EFailure(What + ": 点がすべて一直線上にあるため、三角形網を作れません。");

    if (MaxEdge > 0.0) {
        const auto longer = [&](const std::array<int32_t, 3>& t) {
            const auto& P = tin.Points;
            return EdgeLength(P[t[0]], P[t[1]]) > MaxEdge || EdgeLength(P[t[1]], P[t[2]]) > MaxEdge ||
                   EdgeLength(P[t[2]], P[t[0]]) > MaxEdge;
        };
        const auto end = std::remove_if(tin.Triangles.begin(), tin.Triangles.end(), longer);
        tin.DroppedLongEdges = tin.Triangles.end() - end;
        tin.Triangles.erase(end, tin.Triangles.end());
        if (tin.Triangles.empty())
            throw EFailure(What + ": 最大辺長より短い辺だけの三角形がありません。");
    }
    return tin;
}

TSurveyGrid SurveyGridBox(const TSurveyTin& Tin, const TMeshFrame& Frame) {
    const std::vector<TUV> uv = ToGrid(Tin.Points, Frame);
    double u0 = INFINITY, u1 = -INFINITY, v0 = INFINITY, v1 = -INFINITY;
    for (const auto& t : Tin.Triangles)
        for (int32_t k : t) {
            u0 = std::min(u0, uv[static_cast<size_t>(k)].U);
            u1 = std::max(u1, uv[static_cast<size_t>(k)].U);
            v0 = std::min(v0, uv[static_cast<size_t>(k)].V);
            v1 = std::max(v1, uv[static_cast<size_t>(k)].V);
        }
    TSurveyGrid g;
    const double lo = INT32_MIN, hi = INT32_MAX;
    if (!(u0 <= u1 && v0 <= v1))
        return g;
    const double i0 = std::ceil(u0), i1 = std::floor(u1), j0 = std::ceil(v0), j1 = std::floor(v1);
    if (i1 < i0 || j1 < j0)
        return g; // the surface lies between grid points
    if (i0 < lo || i1 > hi || j0 < lo || j1 > hi)
        throw EFailure("メッシュ番号が 32 ビットの範囲を超えます。原点とメッシュ間隔を確かめてください。");
    g.I0 = static_cast<int64_t>(i0);
    g.J0 = static_cast<int64_t>(j0);
    g.NI = static_cast<int64_t>(i1) - g.I0 + 1;
    g.NJ = static_cast<int64_t>(j1) - g.J0 + 1;
    if (g.NI > MaxSurveyGridCells / g.NJ)
        throw EFailure(StrFormat("取り込む範囲のメッシュ点が %lld × %lld と多すぎます"
                                 "（%lld 点まで）。原点とメッシュ間隔を確かめてください。",
                                 static_cast<long long>(g.NI), static_cast<long long>(g.NJ),
                                 static_cast<long long>(MaxSurveyGridCells)));
    return g;
}

void SampleSurveyTin(const TSurveyTin& Tin, const TMeshFrame& Frame, TSurveyGrid& Grid,
                     const TSurveyProgress& Progress) {
    Grid.Z.assign(static_cast<size_t>(Grid.NI * Grid.NJ), std::numeric_limits<double>::quiet_NaN());
    if (Grid.NI == 0 || Grid.NJ == 0)
        return;
    const std::vector<TUV> uv = ToGrid(Tin.Points, Frame);
    const double gi0 = static_cast<double>(Grid.I0), gi1 = static_cast<double>(Grid.I0 + Grid.NI - 1);
    const double gj0 = static_cast<double>(Grid.J0), gj1 = static_cast<double>(Grid.J0 + Grid.NJ - 1);
    const size_t count = Tin.Triangles.size();
    for (size_t n = 0; n < count; ++n) {
        if (Progress && (n & 0xFFFF) == 0 &&
            !Progress(static_cast<double>(n) / static_cast<double>(count)))
            throw ESurveyCancelled{};
        std::array<int32_t, 3> t = Tin.Triangles[n];
        std::sort(t.begin(), t.end());
        const TUV &a = uv[static_cast<size_t>(t[0])], &b = uv[static_cast<size_t>(t[1])],
                  &c = uv[static_cast<size_t>(t[2])];
        const double za = Tin.Points[static_cast<size_t>(t[0])].Z,
                     zb = Tin.Points[static_cast<size_t>(t[1])].Z,
                     zc = Tin.Points[static_cast<size_t>(t[2])].Z;
        const double orient = EdgeSide(a, b, c.U, c.V);
        if (!(orient != 0.0) || t[0] == t[1] || t[1] == t[2])
            continue; // no area
        const double s = orient > 0 ? 1.0 : -1.0;
        const double u0 = std::max(std::ceil(std::min({a.U, b.U, c.U})), gi0);
        const double u1 = std::min(std::floor(std::max({a.U, b.U, c.U})), gi1);
        const double v0 = std::max(std::ceil(std::min({a.V, b.V, c.V})), gj0);
        const double v1 = std::min(std::floor(std::max({a.V, b.V, c.V})), gj1);
        if (!(u0 <= u1 && v0 <= v1))
            continue;
        for (double v = v0; v <= v1; v += 1.0) {
            double* row = &Grid.Z[static_cast<size_t>((static_cast<int64_t>(v) - Grid.J0) * Grid.NI -
                                                      Grid.I0)];
            for (double u = u0; u <= u1; u += 1.0) {
                double& z = row[static_cast<int64_t>(u)];
                if (!std::isnan(z))
                    continue;
                const double wc = s * EdgeSide(a, b, u, v);  // weight of c
                const double wa = s * EdgeSide(b, c, u, v);  // weight of a
                const double wb = -s * EdgeSide(a, c, u, v); // weight of b
                if (wa < 0 || wb < 0 || wc < 0)
                    continue;
                if (wb == 0 && wc == 0)
                    z = za;
                else if (wa == 0 && wc == 0)
                    z = zb;
                else if (wa == 0 && wb == 0)
                    z = zc;
                else if (wc == 0)
                    z = AlongEdge(a, b, za, zb, u, v);
                else if (wa == 0)
                    z = AlongEdge(b, c, zb, zc, u, v);
                else if (wb == 0)
                    z = AlongEdge(a, c, za, zc, u, v);
                else
                    z = (wa * za + wb * zb + wc * zc) / (wa + wb + wc);
            }
        }
    }
}
