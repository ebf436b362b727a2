#pragma once

#include <cstdint>

// What the GLU tessellator, with its default properties (odd winding, no boundary-only output, no
// normal given) and no combine, edge-flag or mesh callbacks, makes of one contour of nCount
// points. For contours of up to TESS_FAN_MAX_POINTS points it first tries one triangle fan from
// the first point (GL_TRIANGLES for three points) and falls back to its full sweep only when the
// fan's triangles do not all face the same way.
enum
{
    TESS_FAN_BACKWARD = -1, // one fan: point 0, then points nCount-1 down to 1
    TESS_FAN_NONE = 0,      // no output at all (fewer than three points, or every triangle flat)
    TESS_FAN_FORWARD = 1,   // one fan: points 0 to nCount-1 in order
    TESS_FAN_SWEEP = 2      // the full sweep decides: only the tessellator itself can say
};

// The tessellator keeps this many points for its fan attempt.
constexpr int32_t TESS_FAN_MAX_POINTS = 100;

// Decides with the tessellator's own arithmetic (the coordinate clamp of gluTessVertex, the fan
// normal and the orientation check, in its order of operations), so that a caller can make the
// same callback calls without going through the tessellator, for degenerate, huge, tiny and NaN
// coordinates too.
int TessFanOrder(const double* const* ppPoints, int32_t nCount);
// TessFanOrder of the three points a, b, c, with the same operations, without the general loops:
// it decides for every triangle of a soup drawn from its records.
int TessTriangleOrder(const double* a, const double* b, const double* c);
