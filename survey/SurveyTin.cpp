#include "survey/SurveyTin.h"

#include "platform/Failure.h"

#include <libqhull_r/qhull_ra.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <exception>
#include <limits>
#include <numeric>
#include <system_error>
#include <thread>

namespace {

using TTriangle = std::array<int32_t, 3>;

// Delaunay triangles of n distinct points (xy: x, y of each, centred) through qhull's reentrant
// library. False when qhull finds no triangulation (all points on a line).
bool Qhull(std::vector<coordT>& xy, std::vector<TTriangle>& out) {
    const size_t n = xy.size() / 2;
    FILE* errors = std::fopen("/dev/null", "w");
    qhT qh_qh;
    qhT* qh = &qh_qh;
    qh_zero(qh, errors);
    char options[] = "qhull d Qt Qbb Qz";
    const int code =
        qh_new_qhull(qh, 2, static_cast<int>(n), xy.data(), False, options, nullptr, errors);
    if (code == 0) {
        facetT* facet;
        vertexT *vertex, **vertexp;
        FORALLfacets {
            if (facet->upperdelaunay)
                continue;
            TTriangle t{};
            int k = 0;
            FOREACHvertex_(facet->vertices) {
                const int id = qh_pointid(qh, vertex->point);
                if (k < 3 && id >= 0 && static_cast<size_t>(id) < n)
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

// The convex hull's corners and sides, through the same library.
bool QhullHull(std::vector<coordT>& xy, std::vector<int32_t>& out,
               std::vector<std::array<int32_t, 2>>& sides) {
    FILE* errors = std::fopen("/dev/null", "w");
    qhT qh_qh;
    qhT* qh = &qh_qh;
    qh_zero(qh, errors);
    char options[] = "qhull";
    const int code = qh_new_qhull(qh, 2, static_cast<int>(xy.size() / 2), xy.data(), False, options,
                                  nullptr, errors);
    if (code == 0) {
        vertexT *vertex, **vertexp;
        FORALLvertices out.push_back(qh_pointid(qh, vertex->point));
        facetT* facet;
        FORALLfacets {
            std::array<int32_t, 2> side{};
            int k = 0;
            FOREACHvertex_(facet->vertices) {
                if (k < 2)
                    side[static_cast<size_t>(k)] = qh_pointid(qh, vertex->point);
                ++k;
            }
            if (k == 2)
                sides.push_back(side);
        }
    }
    qh_freeqhull(qh, !qh_ALL);
    int curlong, totlong;
    qh_memfreeshort(qh, &curlong, &totlong);
    if (errors)
        std::fclose(errors);
    return code == 0;
}

// Large point sets are triangulated tile by tile on every core: qhull's time per point grows
// with the set (its memory stops fitting the caches), and tiles of some ten thousand points
// run at a third of the cost each. The result is the Delaunay triangulation of the whole set,
// for these reasons:
// - A tile's points are all points within its rectangle R grown by a margin, and the points
//   near the sides of the convex hull that pass it (the triangles along the hull have wide
//   circles that reach far along it). A triangle of
//   their triangulation whose circumcircle holds none of the points outside R has an empty
//   circle among all points, so it is a triangle of the whole set's triangulation. Only such
//   triangles are kept; a tile with a triangle over it that is not is done again with a wider
//   margin.
// - Each triangle is kept by one tile only: the one holding its circumcentre, or its centroid
//   when the centre lies off the site. Triangles of cocircular points share the centre, so one
//   tile splits them.
// - The kept triangles are then checked as a whole: turned counter-clockwise, every edge is
//   used at most once each way, and an edge used one way only lies on the convex hull. Such a
//   set covers the hull exactly once. Anything else (rounding at a tile border, collinear
//   tiles) falls back to one qhull run over all points, as for small sets.
constexpr size_t kTilePoints = 16'000;

struct TBox {
    double X0, Y0, X1, Y1;
};

// Whether the triangle meets the box (separating axes: the box's sides and the triangle's).
bool Meets(const TBox& r, double x0, double y0, double x1, double y1, double x2, double y2) {
    if (std::max({x0, x1, x2}) < r.X0 || std::min({x0, x1, x2}) > r.X1 ||
        std::max({y0, y1, y2}) < r.Y0 || std::min({y0, y1, y2}) > r.Y1)
        return false;
    const double px[3] = {x0, x1, x2}, py[3] = {y0, y1, y2};
    const double sense = (x1 - x0) * (y2 - y0) - (y1 - y0) * (x2 - x0);
    for (int k = 0; k < 3; ++k) {
        const double ex = px[(k + 1) % 3] - px[k], ey = py[(k + 1) % 3] - py[k];
        // The box lies wholly outside this edge when every corner is on the far side.
        bool outside = true;
        for (const double cx : {r.X0, r.X1})
            for (const double cy : {r.Y0, r.Y1})
                if ((ex * (cy - py[k]) - ey * (cx - px[k])) * sense >= 0)
                    outside = false;
        if (outside)
            return false;
    }
    return true;
}

struct TTiling {
    const std::vector<coordT>& XY;
    TBox Site;
    // Points by bucket of a uniform grid over the site, to gather a rectangle's points fast.
    int BX = 1, BY = 1;
    double BW = 1, BH = 1;
    std::vector<int32_t> First, Ids;
    std::vector<int32_t> Hull; // corners of the convex hull
    // The points near each side of the hull, given to every tile that the side passes.
    struct TSide {
        TBox Box;
        std::vector<int32_t> Near;
    };
    std::vector<TSide> Sides;

    TTiling(const std::vector<coordT>& xy, TBox site, std::vector<int32_t> hull,
            const std::vector<std::array<int32_t, 2>>& sides)
        : XY(xy), Site(site), Hull(std::move(hull)) {
        const size_t n = xy.size() / 2;
        const double w = std::max(site.X1 - site.X0, 1e-300),
                     h = std::max(site.Y1 - site.Y0, 1e-300);
        const double cells = static_cast<double>(n) / 4.0;
        BX = static_cast<int>(std::clamp(std::sqrt(cells * w / h), 1.0, 4096.0));
        BY = static_cast<int>(std::clamp(cells / BX, 1.0, 4096.0));
        BW = w / BX;
        BH = h / BY;
        First.assign(static_cast<size_t>(BX) * BY + 1, 0);
        std::vector<int32_t> cell(n);
        for (size_t i = 0; i < n; ++i) {
            cell[i] = Cell(xy[2 * i], xy[2 * i + 1]);
            ++First[static_cast<size_t>(cell[i]) + 1];
        }
        for (size_t c = 1; c < First.size(); ++c)
            First[c] += First[c - 1];
        Ids.resize(n);
        std::vector<int32_t> fill(First.begin(), First.end() - 1);
        for (size_t i = 0; i < n; ++i)
            Ids[static_cast<size_t>(fill[static_cast<size_t>(cell[i])]++)] =
                static_cast<int32_t>(i);
        const double near = 3.0 * std::sqrt(w * h / static_cast<double>(n));
        std::vector<int32_t> ids;
        for (const auto& side : sides) {
            const double px = xy[2 * static_cast<size_t>(side[0])],
                         py = xy[2 * static_cast<size_t>(side[0]) + 1];
            const double qx = xy[2 * static_cast<size_t>(side[1])],
                         qy = xy[2 * static_cast<size_t>(side[1]) + 1];
            TSide out{{std::min(px, qx), std::min(py, qy), std::max(px, qx), std::max(py, qy)}, {}};
            Gather({out.Box.X0 - near, out.Box.Y0 - near, out.Box.X1 + near, out.Box.Y1 + near},
                   ids, false);
            const double ex = qx - px, ey = qy - py, len2 = ex * ex + ey * ey;
            for (const int32_t id : ids) {
                const double x = xy[2 * static_cast<size_t>(id)] - px,
                             y = xy[2 * static_cast<size_t>(id) + 1] - py;
                const double t = len2 > 0 ? std::clamp((x * ex + y * ey) / len2, 0.0, 1.0) : 0.0;
                if (std::hypot(x - t * ex, y - t * ey) <= near)
                    out.Near.push_back(id);
            }
            Sides.push_back(std::move(out));
        }
    }
    int Col(double x) const { return std::clamp(static_cast<int>((x - Site.X0) / BW), 0, BX - 1); }
    int Row(double y) const { return std::clamp(static_cast<int>((y - Site.Y0) / BH), 0, BY - 1); }
    int32_t Cell(double x, double y) const { return Row(y) * BX + Col(x); }

    void Gather(const TBox& r, std::vector<int32_t>& ids, bool withHull = true) const {
        ids.clear();
        for (int row = Row(r.Y0); row <= Row(r.Y1); ++row)
            for (int col = Col(r.X0); col <= Col(r.X1); ++col) {
                const size_t c = static_cast<size_t>(row) * BX + col;
                for (int32_t k = First[c]; k < First[c + 1]; ++k) {
                    const int32_t id = Ids[static_cast<size_t>(k)];
                    const double x = XY[2 * static_cast<size_t>(id)],
                                 y = XY[2 * static_cast<size_t>(id) + 1];
                    if (x >= r.X0 && x <= r.X1 && y >= r.Y0 && y <= r.Y1)
                        ids.push_back(id);
                }
            }
        if (!withHull)
            return;
        const size_t inside = ids.size();
        const auto add = [&](int32_t id) {
            const double x = XY[2 * static_cast<size_t>(id)],
                         y = XY[2 * static_cast<size_t>(id) + 1];
            if (!(x >= r.X0 && x <= r.X1 && y >= r.Y0 && y <= r.Y1))
                ids.push_back(id);
        };
        for (const int32_t id : Hull)
            add(id);
        for (const TSide& side : Sides)
            if (side.Box.X0 <= r.X1 && side.Box.X1 >= r.X0 && side.Box.Y0 <= r.Y1 &&
                side.Box.Y1 >= r.Y0)
                for (const int32_t id : side.Near)
                    add(id);
        std::sort(ids.begin() + static_cast<ptrdiff_t>(inside), ids.end());
        ids.erase(std::unique(ids.begin() + static_cast<ptrdiff_t>(inside), ids.end()), ids.end());
    }

    // Whether a point outside the box g lies within the circle (cx, cy, r). Points within a
    // billionth of the site's size of the circle count as on it. The circles of hull triangles
    // reach far along the site's edge, so the points there are looked at one by one; true also
    // when the circle covers too much of the site to look.
    bool ReachesOut(double cx, double cy, double r, const TBox& g) const {
        const double slack = 1e-9 * std::hypot(Site.X1 - Site.X0, Site.Y1 - Site.Y0);
        const auto away = [&](double x0, double y0, double x1, double y1) {
            const double dx = cx < x0 ? x0 - cx : (cx > x1 ? cx - x1 : 0.0);
            const double dy = cy < y0 ? y0 - cy : (cy > y1 ? cy - y1 : 0.0);
            return std::hypot(dx, dy) - r > slack;
        };
        if ((g.X0 <= Site.X0 || away(Site.X0, Site.Y0, g.X0, Site.Y1)) &&
            (g.X1 >= Site.X1 || away(g.X1, Site.Y0, Site.X1, Site.Y1)) &&
            (g.Y0 <= Site.Y0 || away(Site.X0, Site.Y0, Site.X1, g.Y0)) &&
            (g.Y1 >= Site.Y1 || away(Site.X0, g.Y1, Site.X1, Site.Y1)))
            return false;
        const double x0 = std::max(cx - r, Site.X0), x1 = std::min(cx + r, Site.X1);
        const double y0 = std::max(cy - r, Site.Y0), y1 = std::min(cy + r, Site.Y1);
        if (!(x0 <= x1 && y0 <= y1))
            return false;
        const int c0 = Col(x0), c1 = Col(x1), r0 = Row(y0), r1 = Row(y1);
        if (static_cast<int64_t>(c1 - c0 + 1) * (r1 - r0 + 1) > 4096)
            return true;
        for (int row = r0; row <= r1; ++row)
            for (int col = c0; col <= c1; ++col) {
                const size_t c = static_cast<size_t>(row) * BX + col;
                for (int32_t k = First[c]; k < First[c + 1]; ++k) {
                    const size_t id = static_cast<size_t>(Ids[static_cast<size_t>(k)]);
                    const double x = XY[2 * id], y = XY[2 * id + 1];
                    if (x >= g.X0 && x <= g.X1 && y >= g.Y0 && y <= g.Y1)
                        continue;
                    if (std::hypot(x - cx, y - cy) < r - slack)
                        return true;
                }
            }
        return false;
    }

    // The tile's triangles; false when qhull fails or a triangle keeps reaching out.
    bool Tile(const TBox& t, size_t count, std::vector<TTriangle>& kept) const {
        const double area = std::max((t.X1 - t.X0) * (t.Y1 - t.Y0), 1e-300);
        double margin = 6.0 * std::sqrt(area / static_cast<double>(std::max<size_t>(count, 1)));
        std::vector<int32_t> ids;
        std::vector<coordT> xy;
        std::vector<TTriangle> local;
        for (int round = 0; round < 4; ++round, margin *= 4.0) {
            const TBox g{t.X0 - margin, t.Y0 - margin, t.X1 + margin, t.Y1 + margin};
            Gather(g, ids);
            xy.resize(ids.size() * 2);
            for (size_t i = 0; i < ids.size(); ++i) {
                xy[2 * i] = XY[2 * static_cast<size_t>(ids[i])];
                xy[2 * i + 1] = XY[2 * static_cast<size_t>(ids[i]) + 1];
            }
            local.clear();
            if (ids.size() < 3 || !Qhull(xy, local))
                return false;
            const size_t before = kept.size();
            bool whole = true;
            for (const TTriangle& tri : local) {
                const double ax = xy[2 * tri[0]], ay = xy[2 * tri[0] + 1];
                const double bx = xy[2 * tri[1]] - ax, by = xy[2 * tri[1] + 1] - ay;
                const double cx = xy[2 * tri[2]] - ax, cy = xy[2 * tri[2] + 1] - ay;
                const double d = 2.0 * (bx * cy - by * cx);
                if (d == 0.0)
                    return false;
                const double b2 = bx * bx + by * by, c2 = cx * cx + cy * cy;
                const double ux = (cy * b2 - by * c2) / d, uy = (bx * c2 - cx * b2) / d;
                // The owner: the tile holding the centre, or the centroid when the centre lies
                // off the site (half-open tiles, closed at the site's far sides).
                double ox = ax + ux, oy = ay + uy;
                if (ox < Site.X0 || ox > Site.X1 || oy < Site.Y0 || oy > Site.Y1) {
                    ox = ax + (bx + cx) / 3.0;
                    oy = ay + (by + cy) / 3.0;
                }
                const bool inX = ox >= t.X0 && (ox < t.X1 || (t.X1 == Site.X1 && ox == Site.X1));
                const bool inY = oy >= t.Y0 && (oy < t.Y1 || (t.Y1 == Site.Y1 && oy == Site.Y1));
                // A triangle over the tile that reaches out hides triangles the tile may own.
                const bool over = Meets(t, ax, ay, ax + bx, ay + by, ax + cx, ay + cy);
                if (!(inX && inY) && !over)
                    continue;
                if (ReachesOut(ax + ux, ay + uy, std::hypot(ux, uy), g)) {
                    whole = false;
                    break;
                }
                if (!(inX && inY))
                    continue;
                kept.push_back({ids[static_cast<size_t>(tri[0])], ids[static_cast<size_t>(tri[1])],
                                ids[static_cast<size_t>(tri[2])]});
            }
            if (whole)
                return true;
            kept.resize(before);
        }
        return false;
    }
};

// Splits the box at the median until each part holds at most kTilePoints points.
void SplitTiles(const std::vector<coordT>& xy, std::vector<int32_t>& ids, size_t lo, size_t hi,
                TBox box, std::vector<std::pair<TBox, size_t>>& tiles) {
    if (hi - lo <= kTilePoints) {
        tiles.push_back({box, hi - lo});
        return;
    }
    const bool alongX = box.X1 - box.X0 >= box.Y1 - box.Y0;
    const size_t mid = lo + (hi - lo) / 2;
    const auto key = [&](int32_t id) { return xy[2 * static_cast<size_t>(id) + (alongX ? 0 : 1)]; };
    std::nth_element(ids.begin() + static_cast<ptrdiff_t>(lo),
                     ids.begin() + static_cast<ptrdiff_t>(mid),
                     ids.begin() + static_cast<ptrdiff_t>(hi),
                     [&](int32_t a, int32_t b) { return key(a) < key(b); });
    const double at = key(ids[mid]);
    TBox a = box, b = box;
    (alongX ? a.X1 : a.Y1) = at;
    (alongX ? b.X0 : b.Y0) = at;
    SplitTiles(xy, ids, lo, mid, a, tiles);
    SplitTiles(xy, ids, mid, hi, b, tiles);
}

// Whether the triangles cover the points' convex hull exactly once (see above). Turns them
// counter-clockwise.
bool CoversHullOnce(const std::vector<coordT>& xy, const std::vector<int32_t>& hull,
                    std::vector<TTriangle>& tris) {
    const size_t n = xy.size() / 2;
    const auto X = [&](int32_t i) { return xy[2 * static_cast<size_t>(i)]; };
    const auto Y = [&](int32_t i) { return xy[2 * static_cast<size_t>(i) + 1]; };
    std::vector<int32_t> first(n + 1, 0);
    for (TTriangle& t : tris) {
        const double cross =
            (X(t[1]) - X(t[0])) * (Y(t[2]) - Y(t[0])) - (Y(t[1]) - Y(t[0])) * (X(t[2]) - X(t[0]));
        if (cross == 0.0)
            return false;
        if (cross < 0)
            std::swap(t[1], t[2]);
        for (int32_t v : t)
            ++first[static_cast<size_t>(v) + 1];
    }
    for (size_t v = 1; v <= n; ++v)
        first[v] += first[v - 1];
    std::vector<int32_t> to(static_cast<size_t>(first[n]));
    {
        std::vector<int32_t> fill(first.begin(), first.end() - 1);
        for (const TTriangle& t : tris)
            for (int k = 0; k < 3; ++k)
                to[static_cast<size_t>(fill[static_cast<size_t>(t[k])]++)] = t[(k + 1) % 3];
    }
    for (size_t v = 0; v < n; ++v) {
        const auto b = to.begin() + first[v], e = to.begin() + first[v + 1];
        std::sort(b, e);
        if (std::adjacent_find(b, e) != e)
            return false; // an edge used twice the same way: triangles overlap
    }
    size_t border = 0;
    for (size_t v = 0; v < n; ++v)
        for (int32_t k = first[v]; k < first[v + 1]; ++k) {
            const int32_t w = to[static_cast<size_t>(k)];
            const auto b = to.begin() + first[static_cast<size_t>(w)],
                       e = to.begin() + first[static_cast<size_t>(w) + 1];
            if (std::binary_search(b, e, static_cast<int32_t>(v)))
                continue;
            // Used one way only: no corner of the hull may lie to its right.
            ++border;
            const int32_t a = static_cast<int32_t>(v);
            const double ex = X(w) - X(a), ey = Y(w) - Y(a), len = std::hypot(ex, ey);
            for (int32_t h : hull) {
                const double hx = X(h) - X(a), hy = Y(h) - Y(a);
                if (ex * hy - ey * hx < -1e-12 * len * std::hypot(hx, hy))
                    return false;
            }
        }
    return border > 0;
}

} // namespace

bool SurveyDelaunay(const std::vector<TSurveyPoint>& pts, std::vector<TTriangle>& out, bool Tiles,
                    const TSurveyProgress& Progress) {
    // Centred, so that survey coordinates far from zero keep their precision in qhull.
    double cn = 0.0, ce = 0.0;
    for (const TSurveyPoint& p : pts) {
        cn += p.N;
        ce += p.E;
    }
    cn /= static_cast<double>(pts.size());
    ce /= static_cast<double>(pts.size());
    std::vector<coordT> xy(pts.size() * 2);
    TBox site{INFINITY, INFINITY, -INFINITY, -INFINITY};
    for (size_t i = 0; i < pts.size(); ++i) {
        xy[2 * i] = pts[i].E - ce;
        xy[2 * i + 1] = pts[i].N - cn;
        site = {std::min(site.X0, xy[2 * i]), std::min(site.Y0, xy[2 * i + 1]),
                std::max(site.X1, xy[2 * i]), std::max(site.Y1, xy[2 * i + 1])};
    }
    if (Tiles && pts.size() > 4 * kTilePoints && site.X1 > site.X0 && site.Y1 > site.Y0) {
        std::vector<int32_t> ids(pts.size());
        std::iota(ids.begin(), ids.end(), 0);
        std::vector<std::pair<TBox, size_t>> tiles;
        SplitTiles(xy, ids, 0, ids.size(), site, tiles);
        ids = {};
        std::vector<int32_t> hull;
        std::vector<std::array<int32_t, 2>> sides;
        if (!QhullHull(xy, hull, sides))
            return Qhull(xy, out);
        const TTiling tiling(xy, site, hull, sides);
        ReportProgress(Progress, 0.0);
        std::vector<std::vector<TTriangle>> parts(tiles.size());
        std::atomic<size_t> next{0}, done{0};
        std::atomic<bool> failed{false}, stop{false};
        std::exception_ptr error;
        // Only the calling thread asks Progress, after each of its tiles; a cancel stops every
        // thread after the tile it is on.
        const auto work = [&](bool asks) {
            for (size_t k; !failed && !stop && (k = next++) < tiles.size();) {
                if (!tiling.Tile(tiles[k].first, tiles[k].second, parts[k]))
                    failed = true;
                const double share =
                    static_cast<double>(++done) / static_cast<double>(tiles.size());
                try {
                    if (asks && Progress && !Progress(share))
                        stop = true;
                } catch (...) {
                    error = std::current_exception();
                    stop = true;
                }
            }
        };
        const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
        std::vector<std::thread> pool;
        try {
            for (unsigned k = 1; k < threads; ++k)
                pool.emplace_back(work, false);
        } catch (const std::system_error&) {
            // fewer threads, same result
        }
        work(true);
        for (std::thread& t : pool)
            t.join();
        if (error)
            std::rethrow_exception(error);
        if (stop)
            throw ESurveyCancelled{};
        if (!failed) {
            size_t total = 0;
            for (const auto& p : parts)
                total += p.size();
            out.reserve(total);
            for (auto& p : parts) {
                out.insert(out.end(), p.begin(), p.end());
                p = {};
            }
            if (CoversHullOnce(xy, tiling.Hull, out))
                return true;
        }
        out.clear();
    }
    return Qhull(xy, out);
}

namespace {

double EdgeLength(const TSurveyPoint& a, const TSurveyPoint& b) {
    return std::hypot(a.N - b.N, a.E - b.E);
}

// The faces in their order, each set of three points once (the first face over it): a repeated
// face adds nothing but the time to sample it again.
std::vector<TTriangle> WithoutRepeats(const std::vector<TTriangle>& faces, int64_t& repeated) {
    std::vector<TTriangle> sorted(faces);
    for (TTriangle& t : sorted)
        std::sort(t.begin(), t.end());
    std::vector<uint32_t> order(faces.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        return sorted[a] != sorted[b] ? sorted[a] < sorted[b] : a < b;
    });
    std::vector<char> keep(faces.size(), 1);
    for (size_t k = 1; k < order.size(); ++k)
        if (sorted[order[k]] == sorted[order[k - 1]]) {
            keep[order[k]] = 0;
            ++repeated;
        }
    if (repeated == 0)
        return faces;
    sorted = {};
    std::vector<TTriangle> out;
    out.reserve(faces.size() - static_cast<size_t>(repeated));
    for (size_t k = 0; k < faces.size(); ++k)
        if (keep[k])
            out.push_back(faces[k]);
    return out;
}

// Triangles with an edge over MaxEdge metres (gaps bridged at a survey's edge) are not used.
void DropLongEdges(TSurveyTin& tin, double MaxEdge, const std::string& What) {
    if (!(MaxEdge > 0.0))
        return;
    const auto& P = tin.Points;
    const auto longer = [&](const TTriangle& t) {
        return EdgeLength(P[t[0]], P[t[1]]) > MaxEdge || EdgeLength(P[t[1]], P[t[2]]) > MaxEdge ||
               EdgeLength(P[t[2]], P[t[0]]) > MaxEdge;
    };
    const auto end = std::remove_if(tin.Triangles.begin(), tin.Triangles.end(), longer);
    tin.DroppedLongEdges = tin.Triangles.end() - end;
    tin.Triangles.erase(end, tin.Triangles.end());
    if (tin.Triangles.empty())
        throw EFailure(What + ": 最大辺長より短い辺だけの三角形がありません。");
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

// Widens [lo, hi] to where the side p-q crosses the row V = v, when it does.
void RowCrossing(const TUV& p, const TUV& q, double v, double& lo, double& hi) {
    if (p.V == q.V) {
        if (v == p.V) {
            lo = std::min({lo, p.U, q.U});
            hi = std::max({hi, p.U, q.U});
        }
        return;
    }
    if (v < std::min(p.V, q.V) || v > std::max(p.V, q.V))
        return;
    const double t = std::clamp((v - p.V) / (q.V - p.V), 0.0, 1.0);
    const double u = p.U + t * (q.U - p.U);
    lo = std::min(lo, u);
    hi = std::max(hi, u);
}

double AlongEdge(const TUV& p, const TUV& q, double zp, double zq, double u, double v) {
    const double du = q.U - p.U, dv = q.V - p.V;
    const double t = std::fabs(du) >= std::fabs(dv) ? (u - p.U) / du : (v - p.V) / dv;
    return zp + t * (zq - zp);
}

} // namespace

TSurveyTin BuildSurveyTin(const TSurveySurface& Surface, double MaxEdge, const std::string& What,
                          const TSurveyProgress& Progress) {
    ReportProgress(Progress, 0.0);
    TSurveyTin tin;
    tin.InputPoints = static_cast<int64_t>(Surface.Points.size());
    if (Surface.IsTin) {
        tin.Points = Surface.Points;
        if (Surface.Triangles.empty())
            throw EFailure(What + " の面「" + Surface.Name + "」に三角形がありません。");
        tin.Triangles = WithoutRepeats(Surface.Triangles, tin.RepeatedFaces);
        DropLongEdges(tin, MaxEdge, What);
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
    if (!SurveyDelaunay(tin.Points, tin.Triangles, true, Progress))
        throw EFailure(What + ": 点がすべて一直線上にあるため、三角形網を作れません。");
    DropLongEdges(tin, MaxEdge, What);
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
        throw EFailure(
            "メッシュ番号が 32 ビットの範囲を超えます。原点とメッシュ間隔を確かめてください。");
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

int64_t SampleSurveyTin(const TSurveyTin& Tin, const TMeshFrame& Frame, TSurveyGrid& Grid,
                        const TSurveyProgress& Progress, const std::string& What) {
    Grid.Z.assign(static_cast<size_t>(Grid.NI * Grid.NJ), std::numeric_limits<double>::quiet_NaN());
    if (Grid.NI == 0 || Grid.NJ == 0)
        return 0;
    const std::vector<TUV> uv = ToGrid(Tin.Points, Frame);
    const double gi0 = static_cast<double>(Grid.I0),
                 gi1 = static_cast<double>(Grid.I0 + Grid.NI - 1);
    const double gj0 = static_cast<double>(Grid.J0),
                 gj1 = static_cast<double>(Grid.J0 + Grid.NJ - 1);
    const size_t count = Tin.Triangles.size();
    // Without overlaps a grid point is covered by one triangle, two along an edge, and at a
    // corner by the triangles around it: three a triangle in all.
    const int64_t mostHits = 2 * Grid.NI * Grid.NJ + 3 * static_cast<int64_t>(count) + 1024;
    int64_t hits = 0, overlaps = 0;
    // Grid points and rows looked at; Progress is asked each SurveySampleStep of them.
    int64_t work = 0, ask = 0;
    const auto poll = [&](size_t n, double part) {
        if (work < ask)
            return;
        ask = work + SurveySampleStep;
        if (Progress && !Progress((static_cast<double>(n) + part) / static_cast<double>(count)))
            throw ESurveyCancelled{};
    };
    for (size_t n = 0; n < count; ++n) {
        poll(n, 0.0);
        ++work;
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
        // A row's stretch is widened by more than the rounding of the sides' crossings can
        // reach, so that every grid point the sides' tests below take is looked at.
        const double slack =
            1.0 + 1e-10 * std::max({std::fabs(a.U), std::fabs(b.U), std::fabs(c.U), std::fabs(a.V),
                                    std::fabs(b.V), std::fabs(c.V)});
        for (double v = v0; v <= v1; v += 1.0) {
            double lo = INFINITY, hi = -INFINITY;
            RowCrossing(a, b, v, lo, hi);
            RowCrossing(b, c, v, lo, hi);
            RowCrossing(a, c, v, lo, hi);
            const double r0 = std::max(u0, std::ceil(lo - slack));
            const double r1 = std::min(u1, std::floor(hi + slack));
            const double part = (v - v0) / (v1 - v0 + 1.0);
            poll(n, part);
            ++work;
            // The row's first grid point; u runs from Grid.I0 on.
            double* row = Grid.Z.data() + (static_cast<int64_t>(v) - Grid.J0) * Grid.NI;
            for (double u = r0; u <= r1;) {
                poll(n, part);
                // Up to the next question, so that no more than a step passes between two.
                const double end =
                    std::min(r1, u + static_cast<double>(std::max<int64_t>(ask - work, 1) - 1));
                work += static_cast<int64_t>(end - u) + 1;
                for (; u <= end; u += 1.0) {
                    const double wc = s * EdgeSide(a, b, u, v);  // weight of c
                    const double wa = s * EdgeSide(b, c, u, v);  // weight of a
                    const double wb = -s * EdgeSide(a, c, u, v); // weight of b
                    if (wa < 0 || wb < 0 || wc < 0)
                        continue;
                    if (++hits > mostHits)
                        throw EFailure((What.empty() ? What : What + ": ") +
                                       "三角形どうしが大きく重なり合い、同じメッシュ点を何度も"
                                       "覆っています。三角形網を確かめてください。");
                    double& z = row[static_cast<int64_t>(u) - Grid.I0];
                    if (!std::isnan(z)) {
                        // Taken by an earlier triangle: on a shared side or corner, or else
                        // inside both.
                        if (wa > 0 && wb > 0 && wc > 0)
                            ++overlaps;
                        continue;
                    }
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
    return overlaps;
}
