#include "geometry/Vector3.h"

#include <cmath>

CVector3& CVector3::operator+=(const CVector3& b)
{
    x += b.x;
    y += b.y;
    z += b.z;
    return *this;
}

CVector3& CVector3::operator*=(double s)
{
    x *= s;
    y *= s;
    z *= s;
    return *this;
}

void CVector3::Normalize()
{
    const double dLength = std::sqrt(x * x + y * y + z * z);
    if (dLength > 0.0001)
    {
        x /= dLength;
        y /= dLength;
        z /= dLength;
    }
}

CVector3 CVector3::Cross(const CVector3& b) const
{
    return CVector3(y * b.z - z * b.y, z * b.x - x * b.z, x * b.y - y * b.x);
}

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
