#include "geometry/Vector3.h"

#include <cmath>

void CVector3::ToArray(double out[3]) const
{
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

void CVector3::ToFloatArray(float out[3]) const
{
    out[0] = static_cast<float>(x);
    out[1] = static_cast<float>(y);
    out[2] = static_cast<float>(z);
}

CVector3 CVector3::Lerp(const CVector3& b, double t) const
{
    return CVector3((1.0 - t) * x + t * b.x, (1.0 - t) * y + t * b.y, (1.0 - t) * z + t * b.z);
}

CVector3 CVector3::QuadraticBezier(const CVector3& b, const CVector3& c, double t) const
{
    const CVector3 p = Lerp(b, t);
    const CVector3 q = b.Lerp(c, t);
    return p.Lerp(q, t);
}

CVector3 CVector3::CubicBezier(const CVector3& b, const CVector3& c, const CVector3& d, double t) const
{
    const CVector3 p = Lerp(b, t);
    const CVector3 q = b.Lerp(c, t);
    const CVector3 r = c.Lerp(d, t);
    return p.QuadraticBezier(q, r, t);
}
