#include "drawing/TessFan.h"

namespace
{
constexpr double MAX_COORD = 1.0e150; // GLU_TESS_MAX_COORD

struct SPoint
{
    double x, y, z;
};

double ClampedCoord(double d)
{
    if (d < -MAX_COORD)
        d = -MAX_COORD;
    if (d > MAX_COORD)
        d = MAX_COORD;
    return d;
}

// Coordinate by coordinate into the point's own fields: going through an array made the compiler
// store the three and load them back in pairs, a stall on every point.
SPoint Clamped(const double* p)
{
    return {ClampedCoord(p[0]), ClampedCoord(p[1]), ClampedCoord(p[2])};
}

// One pass over the fan's triangles (p0, pi, pi+1). Without bCheck it sums their cross products
// into norm, turning those that face against the sum so far; with bCheck it returns the one side
// all non-flat triangles face (1 or -1), 0 when all are flat, or TESS_FAN_SWEEP when they
// disagree. Every operation is the tessellator's, in its order.
int FanPass(const SPoint* pPoints, int32_t nCount, double* norm, bool bCheck)
{
    const SPoint& v0 = pPoints[0];
    double xc = pPoints[1].x - v0.x;
    double yc = pPoints[1].y - v0.y;
    double zc = pPoints[1].z - v0.z;
    int nSign = 0;
    for (int32_t i = 2; i < nCount; ++i)
    {
        const double xp = xc, yp = yc, zp = zc;
        xc = pPoints[i].x - v0.x;
        yc = pPoints[i].y - v0.y;
        zc = pPoints[i].z - v0.z;
        const double n[3] = {yp * zc - zp * yc, zp * xc - xp * zc, xp * yc - yp * xc};
        const double dDot = n[0] * norm[0] + n[1] * norm[1] + n[2] * norm[2];
        if (!bCheck)
        {
            // A NaN dot product counts as facing away, as in the tessellator.
            for (int k = 0; k < 3; ++k)
                norm[k] = dDot >= 0 ? norm[k] + n[k] : norm[k] - n[k];
        }
        else if (dDot != 0)
        {
            const int nSide = dDot > 0 ? 1 : -1;
            if (nSign == -nSide)
                return TESS_FAN_SWEEP;
            nSign = nSide;
        }
    }
    return nSign;
}
} // namespace

int TessFanOrder(const double* const* ppPoints, int32_t nCount)
{
    if (nCount > TESS_FAN_MAX_POINTS)
        return TESS_FAN_SWEEP;
    if (nCount < 3)
        return TESS_FAN_NONE;
    SPoint points[TESS_FAN_MAX_POINTS];
    for (int32_t i = 0; i < nCount; ++i)
        points[i] = Clamped(ppPoints[i]);
    double norm[3] = {0.0, 0.0, 0.0};
    FanPass(points, nCount, norm, false);
    return FanPass(points, nCount, norm, true);
}

int TessTriangleOrder(const double* a, const double* b, const double* c)
{
    const SPoint v0 = Clamped(a), v1 = Clamped(b), v2 = Clamped(c);
    const double xp = v1.x - v0.x, yp = v1.y - v0.y, zp = v1.z - v0.z;
    const double xc = v2.x - v0.x, yc = v2.y - v0.y, zc = v2.z - v0.z;
    const double n[3] = {yp * zc - zp * yc, zp * xc - xp * zc, xp * yc - yp * xc};
    // FanPass's first pass from a zero normal, then its check against what that pass summed.
    const double dFirst = n[0] * 0.0 + n[1] * 0.0 + n[2] * 0.0;
    double norm[3];
    for (int k = 0; k < 3; ++k)
        norm[k] = dFirst >= 0 ? 0.0 + n[k] : 0.0 - n[k];
    const double dDot = n[0] * norm[0] + n[1] * norm[1] + n[2] * norm[2];
    if (dDot == 0)
        return TESS_FAN_NONE;
    return dDot > 0 ? TESS_FAN_FORWARD : TESS_FAN_BACKWARD;
}
