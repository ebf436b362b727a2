#include "scene/TessTriangle.h"

// The steps and the order of every floating-point operation follow the tessellator's cached
// polygon path (gluTessVertex's clamp, then the fan normal computed and checked), so that the
// decision is the same bit for bit, degenerate, huge, tiny and NaN coordinates included.
int TessTriangleOrder(const double* p0, const double* p1, const double* p2)
{
    constexpr double MAX_COORD = 1.0e150; // GLU_TESS_MAX_COORD
    const double* const pIn[3] = {p0, p1, p2};
    double v[3][3];
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k)
        {
            double x = pIn[i][k];
            if (x < -MAX_COORD)
                x = -MAX_COORD;
            if (x > MAX_COORD)
                x = MAX_COORD;
            v[i][k] = x;
        }

    const double xp = v[1][0] - v[0][0];
    const double yp = v[1][1] - v[0][1];
    const double zp = v[1][2] - v[0][2];
    const double xc = v[2][0] - v[0][0];
    const double yc = v[2][1] - v[0][1];
    const double zc = v[2][2] - v[0][2];
    const double n[3] = {yp * zc - zp * yc, zp * xc - xp * zc, xp * yc - yp * xc};

    // The normal: the one fan triangle's cross product, added to zero or subtracted from it when
    // its dot product with zero is not >= 0 (NaN).
    double norm[3] = {0.0, 0.0, 0.0};
    const double dFirst = n[0] * norm[0] + n[1] * norm[1] + n[2] * norm[2];
    for (int k = 0; k < 3; ++k)
        norm[k] = dFirst >= 0 ? norm[k] + n[k] : norm[k] - n[k];

    // The orientation check against that normal.
    const double dDot = n[0] * norm[0] + n[1] * norm[1] + n[2] * norm[2];
    if (dDot == 0)
        return 0;
    return dDot > 0 ? 1 : -1;
}
