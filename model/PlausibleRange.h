#pragma once
// What a mesh point's values can plausibly be on a site in Japan. The mesh editor asks before
// storing a value outside these ranges and the site check reports one, so both say the same.

// Heights and elevations (m): from reclaimed seabeds and deep cuttings to above the highest
// mountain (3,776 m), with room for a local datum.
constexpr double kPlausibleHeightMin = -200.0;
constexpr double kPlausibleHeightMax = 4000.0;
// Thicknesses and settlements (m) are depths below the ground, never negative; no soil layer or
// settlement reaches 100 m.
constexpr double kPlausibleDepthMin = 0.0;
constexpr double kPlausibleDepthMax = 100.0;

// The mesh spacing (m): from a centimetre grid of a scanned surface to a kilometre, far beyond
// any site. Zero, negative or non-finite spacings give no areas, or areas of the wrong sign.
constexpr double kMeshSpanMin = 0.01;
constexpr double kMeshSpanMax = 1000.0;
inline bool MeshSpanUsable(double Span) {
    return Span >= kMeshSpanMin && Span <= kMeshSpanMax; // false for NaN
}
