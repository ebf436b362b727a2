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

bool SameBits(const CQuaternion& a, const CQuaternion& b)
{
    return a.w == b.w && a.v.x == b.v.x && a.v.y == b.v.y && a.v.z == b.v.z;
}
} // namespace

TEST(Vector3, NormalizeOnlyAboveTheThreshold)
{
    struct
    {
        CVector3 in;
        CVector3 out;
    } const rows[] = {
        {{0, 0, 0}, {0, 0, 0}},
        {{0.0001, 0, 0}, {0.0001, 0, 0}}, // a length of exactly the threshold stays as it is
        {{0.0002, 0, 0}, {1, 0, 0}},
        {{0, -3, 4}, {0, -0.6, 0.8}},
    };
    for (const auto& row : rows)
    {
        CVector3 v = row.in;
        v.Normalize();
        ExpectVector(v, row.out.x, row.out.y, row.out.z);
    }
    CVector3 vNan(std::nan(""), 1, 1);
    vNan.Normalize();
    EXPECT_TRUE(std::isnan(vNan.x));
    EXPECT_EQ(vNan.y, 1.0);
}

TEST(Vector3, CrossOrder)
{
    ExpectVector(CVector3(1, 0, 0).Cross(CVector3(0, 1, 0)), 0, 0, 1);
    ExpectVector(CVector3(0, 1, 0).Cross(CVector3(1, 0, 0)), 0, 0, -1);
    ExpectVector(CVector3(1, 2, 3).Cross(CVector3(4, -5, 6)), 27, 6, -13);
}

TEST(Vector3, InterpolationEndsAreExactAndCurvesExtrapolate)
{
    // Values whose sum a + (b - a) would not give b back exactly.
    const CVector3 a(0.1, -1e17, 3.3), b(0.7, 1.0, -2.9), c(5, 5, 5), d(-0.3, 1e-9, 7.1);
    const CVector3 l0 = a.Lerp(b, 0.0), l1 = a.Lerp(b, 1.0);
    EXPECT_TRUE(l0.x == a.x && l0.y == a.y && l0.z == a.z);
    EXPECT_TRUE(l1.x == b.x && l1.y == b.y && l1.z == b.z);
    const CVector3 c0 = a.CubicBezier(b, c, d, 0.0), c1 = a.CubicBezier(b, c, d, 1.0);
    EXPECT_TRUE(c0.x == a.x && c0.y == a.y && c0.z == a.z);
    EXPECT_TRUE(c1.x == d.x && c1.y == d.y && c1.z == d.z);

    const CVector3 p0(0, 0, 0), p1(0, 0, 0), p2(1, 0, 0), p3(1, 0, 0);
    ExpectVector(p0.CubicBezier(p1, p2, p3, 0.5), 0.5, 0, 0);
    ExpectVector(p0.QuadraticBezier(CVector3(1, 2, 0), CVector3(2, 0, 0), 0.5), 1, 1, 0);
    // Evenly spaced control points make the curve 3t along x: t = -0.5 lies before the first.
    ExpectVector(p0.CubicBezier(CVector3(1, 0, 0), CVector3(2, 0, 0), CVector3(3, 0, 0), -0.5), -1.5, 0, 0);
    ExpectVector(p0.CubicBezier(CVector3(1, 0, 0), CVector3(2, 0, 0), CVector3(3, 0, 0), 1.5), 4.5, 0, 0);
}

TEST(Quaternion, ProductConjugateAndIdentity)
{
    const CQuaternion id, q(0.5, -1.5, 2.0, 0.25);
    ExpectQuaternion(id * q, 0.5, -1.5, 2.0, 0.25, 0);
    ExpectQuaternion(q * id, 0.5, -1.5, 2.0, 0.25, 0);
    ExpectQuaternion(q * q.Conjugate(), 0.25 + 2.25 + 4.0 + 0.0625, 0, 0, 0);
    // i * j = k, j * i = -k.
    const CQuaternion i(0, 1, 0, 0), j(0, 0, 1, 0);
    ExpectQuaternion(i * j, 0, 0, 0, 1, 0);
    ExpectQuaternion(j * i, 0, 0, 0, -1, 0);
}

TEST(Quaternion, MatricesRotateAndTranspose)
{
    double m[16];
    CQuaternion().ToMatrix(m);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(m[k], k % 5 == 0 ? 1.0 : 0.0) << k;

    // 90 degrees about z maps x onto y.
    const CQuaternion qz(SQRT_HALF, 0, 0, SQRT_HALF);
    qz.ToMatrix(m);
    EXPECT_NEAR(m[0], 0, 1e-15);
    EXPECT_NEAR(m[1], 1, 1e-15);
    EXPECT_NEAR(m[2], 0, 1e-15);
    EXPECT_NEAR(m[4], -1, 1e-15);

    // The matrix is the rotation q (0, p) q*, for any length of q, and the transposed one is its
    // exact transpose.
    const CQuaternion q(0.3, -0.5, 0.7, 0.2);
    const CVector3 p(0.4, -1.1, 2.5);
    const CQuaternion rotated = q * CQuaternion(0.0, p) * q.Conjugate();
    const double dNorm = q.w * q.w + q.v.LengthSquared();
    q.ToMatrix(m);
    ExpectVector(CVector3(m[0] * p.x + m[4] * p.y + m[8] * p.z, m[1] * p.x + m[5] * p.y + m[9] * p.z,
                          m[2] * p.x + m[6] * p.y + m[10] * p.z),
                 rotated.v.x / dNorm, rotated.v.y / dNorm, rotated.v.z / dNorm);
    double m2[16], t[16];
    CQuaternion(0.6, -1.0, 1.4, 0.4).ToMatrix(m2);
    for (int k = 0; k < 16; ++k)
        EXPECT_NEAR(m2[k], m[k], 1e-15) << k;
    q.ToTransposedMatrix(t);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(t[c * 4 + r], m[r * 4 + c]);

    // The zero quaternion gives the identity, not NaNs.
    CQuaternion(0, 0, 0, 0).ToMatrix(m);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(m[k], k % 5 == 0 ? 1.0 : 0.0) << k;
}

TEST(Quaternion, FromMatrixBothBranches)
{
    double m[16];
    CQuaternion().ToMatrix(m);
    ExpectQuaternion(CQuaternion(m), 1, 0, 0, 0, 0);

    // 180 degrees about x: trace -1, the largest diagonal element is the first.
    CQuaternion(0, 1, 0, 0).ToMatrix(m);
    EXPECT_EQ(m[0] + m[5] + m[10], -1.0);
    ExpectQuaternion(CQuaternion(m), 0, 1, 0, 0);
    // 180 degrees about y and about z pick the other diagonal elements.
    CQuaternion(0, 0, 1, 0).ToMatrix(m);
    ExpectQuaternion(CQuaternion(m), 0, 0, 1, 0);
    CQuaternion(0, 0, 0, -1).ToMatrix(m);
    const CQuaternion qz(m);
    EXPECT_NEAR(std::fabs(qz.v.z), 1.0, 1e-12);

    // Unit quaternions come back as themselves or their negative, in either branch.
    const CQuaternion samples[] = {CQuaternion(0.9, 0.1, -0.3, 0.2), CQuaternion(0.1, 0.8, 0.5, -0.2),
                                   CQuaternion(-0.2, 0.1, 0.3, 0.9), CQuaternion(0.05, -0.3, 0.9, 0.2)};
    for (CQuaternion q : samples)
    {
        const double dLength = std::sqrt(q.w * q.w + q.v.LengthSquared());
        q = CQuaternion(q.w / dLength, q.v * (1.0 / dLength));
        q.ToMatrix(m);
        CQuaternion back(m);
        const double s = back.w * q.w + back.v.Dot(q.v) < 0 ? -1.0 : 1.0;
        ExpectQuaternion(back, s * q.w, s * q.v.x, s * q.v.y, s * q.v.z);
    }
}

TEST(Quaternion, SlerpBranches)
{
    const CQuaternion q0(1, 0, 0, 0), q1(0, 1, 0, 0);
    // Spherical branch: exact ends, and the midpoint on the great circle.
    EXPECT_TRUE(SameBits(q0.Slerp(q1, 0.0), q0));
    EXPECT_TRUE(SameBits(q0.Slerp(q1, 1.0), q1));
    ExpectQuaternion(q0.Slerp(q1, 0.5), SQRT_HALF, SQRT_HALF, 0, 0);

    // Linear branch: a quaternion with itself.
    const CQuaternion q(0.5, 0.5, -0.5, 0.5);
    for (double t : {0.0, 0.3, 1.0})
        ExpectQuaternion(q.Slerp(q, t), 0.5, 0.5, -0.5, 0.5);

    // Opposite branch: -q is never used; the turn goes to p = (z, -y, x, -w).
    const CQuaternion minus(-0.5, -0.5, 0.5, -0.5);
    ExpectQuaternion(q.Slerp(minus, 0.0), 0.5, 0.5, -0.5, 0.5);
    ExpectQuaternion(q.Slerp(minus, 1.0), 0.5, 0.5, 0.5, -0.5);
    const CQuaternion mid = q.Slerp(minus, 0.5);
    ExpectQuaternion(mid, SQRT_HALF, SQRT_HALF, 0, 0);

    // A negative dot product is not flipped: the result lies on the longer arc.
    const CQuaternion a(SQRT_HALF, SQRT_HALF, 0, 0), b(-SQRT_HALF, 0, SQRT_HALF, 0);
    const CQuaternion h = a.Slerp(b, 0.5);
    const double c = -0.5, omega = std::acos(c), s = std::sin(0.5 * omega) / std::sin(omega);
    ExpectQuaternion(h, s * (a.w + b.w), s * a.v.x, s * b.v.y, 0);
}

TEST(Quaternion, BezierSlerpOfEqualPointsIsConstant)
{
    const CQuaternion q(0.2, -0.4, 0.8, 0.4);
    for (double t : {-0.5, 0.0, 0.25, 0.5, 1.0, 1.5})
        ExpectQuaternion(q.BezierSlerp(q, q, q, t), 0.2, -0.4, 0.8, 0.4);
    // Ends of a real curve are the end control points.
    const CQuaternion a(1, 0, 0, 0), b(SQRT_HALF, SQRT_HALF, 0, 0), c(SQRT_HALF, 0, SQRT_HALF, 0),
        d(0, 0, 0, 1);
    ExpectQuaternion(a.BezierSlerp(b, c, d, 0.0), 1, 0, 0, 0);
    ExpectQuaternion(a.BezierSlerp(b, c, d, 1.0), 0, 0, 0, 1);
}
