#include <gtest/gtest.h>

#include <cmath>

#include "geometry/Quaternion.h"
#include "geometry/Vector3.h"

namespace
{
const double SQRT_HALF = std::sqrt(0.5);

void ExpectVector(const CVector3& v, double x, double y, double z, double dTolerance = 1e-12)
{
    EXPECT_NEAR(v.x, x, dTolerance);
    EXPECT_NEAR(v.y, y, dTolerance);
    EXPECT_NEAR(v.z, z, dTolerance);
}

void ExpectQuaternion(const CQuaternion& q, double w, double x, double y, double z, double dTolerance = 1e-12)
{
    EXPECT_NEAR(q.w, w, dTolerance);
    ExpectVector(q.v, x, y, z, dTolerance);
}
} // namespace

TEST(Vector3, NormalizeCrossAndInterpolation)
{
    // Only lengths above 0.0001 are divided; NaN stays.
    auto normalized = [](CVector3 v)
    {
        v.Normalize();
        return v;
    };
    ExpectVector(normalized({0, 0, 0}), 0, 0, 0);
    ExpectVector(normalized({0.0001, 0, 0}), 0.0001, 0, 0);
    ExpectVector(normalized({0.0002, 0, 0}), 1, 0, 0);
    ExpectVector(normalized({0, -3, 4}), 0, -0.6, 0.8);
    const CVector3 vNan = normalized({std::nan(""), 1, 1});
    EXPECT_TRUE(std::isnan(vNan.x) && vNan.y == 1.0);
    ExpectVector(CVector3(1, 2, 3).Cross(CVector3(4, -5, 6)), 27, 6, -13);

    // Ends are exact even where a + (b - a) would not give b back.
    const CVector3 a(0.1, -1e17, 3.3), b(0.7, 1.0, -2.9), c(5, 5, 5), d(-0.3, 1e-9, 7.1);
    ExpectVector(a.Lerp(b, 0.0), a.x, a.y, a.z, 0);
    ExpectVector(a.Lerp(b, 1.0), b.x, b.y, b.z, 0);
    ExpectVector(a.CubicBezier(b, c, d, 0.0), a.x, a.y, a.z, 0);
    ExpectVector(a.CubicBezier(b, c, d, 1.0), d.x, d.y, d.z, 0);
    const CVector3 p0(0, 0, 0), p1(1, 0, 0), p2(2, 0, 0), p3(3, 0, 0);
    // Evenly spaced control points make the curve 3t along x, also outside [0, 1].
    ExpectVector(p0.CubicBezier(p1, p2, p3, -0.5), -1.5, 0, 0);
    ExpectVector(p0.CubicBezier(p1, p2, p3, 1.5), 4.5, 0, 0);
}

TEST(Quaternion, ProductAndMatrices)
{
    const CQuaternion id, q(0.3, -0.5, 0.7, 0.2), i(0, 1, 0, 0), j(0, 0, 1, 0);
    ExpectQuaternion(id * q, 0.3, -0.5, 0.7, 0.2, 0);
    ExpectQuaternion(q * q.Conjugate(), 0.87, 0, 0, 0);
    ExpectQuaternion(i * j, 0, 0, 0, 1, 0);
    ExpectQuaternion(j * i, 0, 0, 0, -1, 0);

    // The matrix (column-major) is the rotation q (0, p) q*, for any length of q.
    double m[16], m2[16], t[16];
    const CVector3 p(0.4, -1.1, 2.5);
    const CQuaternion rotated = q * CQuaternion(0.0, p) * q.Conjugate();
    q.ToMatrix(m);
    ExpectVector(CVector3(m[0] * p.x + m[4] * p.y + m[8] * p.z, m[1] * p.x + m[5] * p.y + m[9] * p.z,
                          m[2] * p.x + m[6] * p.y + m[10] * p.z),
                 rotated.v.x / 0.87, rotated.v.y / 0.87, rotated.v.z / 0.87);
    CQuaternion(0.6, -1.0, 1.4, 0.4).ToMatrix(m2);
    q.ToTransposedMatrix(t);
    for (int k = 0; k < 16; ++k)
    {
        EXPECT_NEAR(m2[k], m[k], 1e-15) << k;
        EXPECT_EQ(t[(k % 4) * 4 + k / 4], m[k]) << k;
    }
    // The zero quaternion gives the identity, not NaNs.
    CQuaternion(0, 0, 0, 0).ToMatrix(m);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(m[k], k % 5 == 0 ? 1.0 : 0.0) << k;
}

TEST(Quaternion, FromMatrixBothBranches)
{
    // The identity and mostly-w samples take the trace branch; half turns about x, y and z and
    // small-w samples the largest-diagonal one. Each comes back as itself or its negative.
    const CQuaternion samples[] = {{1, 0, 0, 0},          {0.9, 0.1, -0.3, 0.2}, {0, 1, 0, 0},
                                   {0, 0, 1, 0},          {0, 0, 0, -1},         {0.1, 0.8, 0.5, -0.2},
                                   {-0.2, 0.1, 0.3, 0.9}, {0.05, -0.3, 0.9, 0.2}};
    for (CQuaternion q : samples)
    {
        const double dLength = std::sqrt(q.w * q.w + q.v.LengthSquared());
        q = CQuaternion(q.w / dLength, q.v * (1.0 / dLength));
        double m[16];
        q.ToMatrix(m);
        const CQuaternion back(m);
        const double s = back.w * q.w + back.v.Dot(q.v) < 0 ? -1.0 : 1.0;
        ExpectQuaternion(back, s * q.w, s * q.v.x, s * q.v.y, s * q.v.z);
    }
}

TEST(Quaternion, SlerpBranches)
{
    // Spherical branch: exact ends, the midpoint on the great circle.
    const CQuaternion q0(1, 0, 0, 0), q1(0, 1, 0, 0);
    ExpectQuaternion(q0.Slerp(q1, 0.0), 1, 0, 0, 0, 0);
    ExpectQuaternion(q0.Slerp(q1, 1.0), 0, 1, 0, 0, 0);
    ExpectQuaternion(q0.Slerp(q1, 0.5), SQRT_HALF, SQRT_HALF, 0, 0);
    ExpectQuaternion(q0.Slerp(CQuaternion(std::cos(0.5), std::sin(0.5), 0, 0), 0.5), std::cos(0.25),
                     std::sin(0.25), 0, 0);

    // Linear branch: a quaternion with itself.
    const CQuaternion q(0.5, 0.5, -0.5, 0.5);
    ExpectQuaternion(q.Slerp(q, 0.3), 0.5, 0.5, -0.5, 0.5);

    // Opposite branch: -q is never used; the turn goes to p = (z, -y, x, -w).
    const CQuaternion minus(-0.5, -0.5, 0.5, -0.5);
    ExpectQuaternion(q.Slerp(minus, 0.5), SQRT_HALF, SQRT_HALF, 0, 0);
    ExpectQuaternion(q.Slerp(minus, 1.0), 0.5, 0.5, 0.5, -0.5);

    // A negative dot product is not flipped: the result lies on the longer arc.
    const CQuaternion a(SQRT_HALF, SQRT_HALF, 0, 0), b(-SQRT_HALF, 0, SQRT_HALF, 0);
    ExpectQuaternion(a.Slerp(b, 0.5), 0, SQRT_HALF, SQRT_HALF, 0);

    // Equal control points give a constant curve, inside and outside [0, 1]; a real curve
    // starts and ends at its end points.
    const CQuaternion r(0.2, -0.4, 0.8, 0.4), d(0, 0, 0, 1);
    for (double t : {-0.5, 0.25, 1.5})
        ExpectQuaternion(r.BezierSlerp(r, r, r, t), 0.2, -0.4, 0.8, 0.4);
    ExpectQuaternion(q0.BezierSlerp(a, CQuaternion(SQRT_HALF, 0, SQRT_HALF, 0), d, 0.0), 1, 0, 0, 0);
    ExpectQuaternion(q0.BezierSlerp(a, CQuaternion(SQRT_HALF, 0, SQRT_HALF, 0), d, 1.0), 0, 0, 0, 1);
}
