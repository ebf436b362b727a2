#include "geometry/Quaternion.h"

#include <cmath>

namespace
{
// pi/2 as the interpolation of nearly opposite quaternions has always used it.
constexpr double HALF_PI = 1.570796326794895;
constexpr double SLERP_EPSILON = 0.00001;

CQuaternion Blend(const CQuaternion& a, double s0, const CQuaternion& b, double s1)
{
    return CQuaternion(s0 * a.w + s1 * b.w, s0 * a.v.x + s1 * b.v.x, s0 * a.v.y + s1 * b.v.y,
                       s0 * a.v.z + s1 * b.v.z);
}
} // namespace

CQuaternion::CQuaternion(const double m[16])
{
    const double dTrace = m[0] + m[5] + m[10];
    if (dTrace > 0.0)
    {
        const double r = std::sqrt(dTrace + 1.0);
        const double s = 0.5 / r;
        w = 0.5 * r;
        v = CVector3((m[6] - m[9]) * s, (m[8] - m[2]) * s, (m[1] - m[4]) * s);
        return;
    }
    int i = 0;
    if (m[5] > m[0])
        i = 1;
    if (m[10] > m[5 * i])
        i = 2;
    const int j = (i + 1) % 3;
    const int k = (j + 1) % 3;
    double q[3];
    const double r = std::sqrt(m[5 * i] - (m[5 * k] + m[5 * j]) + 1.0);
    q[i] = 0.5 * r;
    const double s = 0.5 / r;
    w = (m[4 * j + k] - m[4 * k + j]) * s;
    q[j] = (m[4 * j + i] + m[4 * i + j]) * s;
    q[k] = (m[4 * k + i] + m[4 * i + k]) * s;
    v = CVector3(q[0], q[1], q[2]);
}

CQuaternion CQuaternion::operator*(const CQuaternion& b) const
{
    return CQuaternion(w * b.w - v.Dot(b.v), (b.v * w + v * b.w) + v.Cross(b.v));
}

void CQuaternion::ToMatrix(double m[16]) const
{
    const double dNorm = v.x * v.x + v.y * v.y + v.z * v.z + w * w;
    // A zero quaternion (read from a damaged keyframe file, say) has no rotation: give the
    // identity rather than a matrix of NaNs that makes the object vanish.
    const double s = dNorm > 0.0 ? 2.0 / dNorm : 0.0;
    const double xx = s * v.x * v.x, yy = s * v.y * v.y, zz = s * v.z * v.z;
    const double xy = s * v.x * v.y, xz = s * v.x * v.z, yz = s * v.y * v.z;
    const double wx = s * w * v.x, wy = s * w * v.y, wz = s * w * v.z;
    m[0] = 1.0 - (yy + zz);
    m[1] = xy + wz;
    m[2] = xz - wy;
    m[3] = 0.0;
    m[4] = xy - wz;
    m[5] = 1.0 - (xx + zz);
    m[6] = yz + wx;
    m[7] = 0.0;
    m[8] = xz + wy;
    m[9] = yz - wx;
    m[10] = 1.0 - (xx + yy);
    m[11] = 0.0;
    m[12] = m[13] = m[14] = 0.0;
    m[15] = 1.0;
}

void CQuaternion::ToTransposedMatrix(double m[16]) const
{
    ToMatrix(m);
    auto swap = [m](int a, int b)
    {
        const double t = m[a];
        m[a] = m[b];
        m[b] = t;
    };
    swap(1, 4);
    swap(2, 8);
    swap(6, 9);
}

CQuaternion CQuaternion::Slerp(const CQuaternion& b, double t) const
{
    const double c = w * b.w + v.x * b.v.x + v.y * b.v.y + v.z * b.v.z;
    if (1.0 + c > SLERP_EPSILON)
    {
        double s0, s1;
        if (1.0 - c > SLERP_EPSILON)
        {
            const double dOmega = std::acos(c);
            const double dSin = std::sin(dOmega);
            s0 = std::sin((1.0 - t) * dOmega) / dSin;
            s1 = std::sin(t * dOmega) / dSin;
        }
        else
        {
            s0 = 1.0 - t;
            s1 = t;
        }
        return Blend(*this, s0, b, s1);
    }
    // b is (nearly) opposite: turn towards a quaternion perpendicular to this one instead.
    const CQuaternion p(v.z, -v.y, v.x, -w);
    return Blend(*this, std::sin((1.0 - t) * HALF_PI), p, std::sin(t * HALF_PI));
}

CQuaternion CQuaternion::BezierSlerp(const CQuaternion& b, const CQuaternion& c, const CQuaternion& d,
                                     double t) const
{
    const CQuaternion ab = Slerp(b, t);
    const CQuaternion bc = b.Slerp(c, t);
    const CQuaternion cd = c.Slerp(d, t);
    const CQuaternion abc = ab.Slerp(bc, t);
    const CQuaternion bcd = bc.Slerp(cd, t);
    return abc.Slerp(bcd, t);
}
