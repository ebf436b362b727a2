#pragma once

#include <cmath>

// Three doubles: positions, directions, tangents, bounds corners and normals.
class CVector3
{
public:
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    CVector3() = default;
    CVector3(double dX, double dY, double dZ) : x(dX), y(dY), z(dZ) {}
    explicit CVector3(const double pd[3]) : x(pd[0]), y(pd[1]), z(pd[2]) {}
    CVector3(const CVector3&) = default;
    CVector3& operator=(const CVector3&) = default;
    virtual ~CVector3() = default;

    CVector3 operator+(const CVector3& b) const { return CVector3(x + b.x, y + b.y, z + b.z); }
    CVector3 operator-(const CVector3& b) const { return CVector3(x - b.x, y - b.y, z - b.z); }
    CVector3 operator*(double s) const { return CVector3(s * x, s * y, s * z); }
    CVector3& operator+=(const CVector3& b)
    {
        x += b.x;
        y += b.y;
        z += b.z;
        return *this;
    }
    CVector3& operator*=(double s)
    {
        x *= s;
        y *= s;
        z *= s;
        return *this;
    }

    // Divides by the length only when it exceeds 0.0001; shorter (or NaN) vectors stay as they are.
    void Normalize()
    {
        const double dLength = std::sqrt(x * x + y * y + z * z);
        if (dLength > 0.0001)
        {
            x /= dLength;
            y /= dLength;
            z /= dLength;
        }
    }
    double LengthSquared() const { return x * x + y * y + z * z; }
    double Dot(const CVector3& b) const { return x * b.x + y * b.y + z * b.z; }
    CVector3 Cross(const CVector3& b) const
    {
        return CVector3(y * b.z - z * b.y, z * b.x - x * b.z, x * b.y - y * b.x);
    }
    void ToArray(double out[3]) const;
    void ToFloatArray(float out[3]) const;

    // (1 - t) * this + t * b per component, so t = 0 and t = 1 give the end points exactly.
    CVector3 Lerp(const CVector3& b, double t) const;
    CVector3 QuadraticBezier(const CVector3& b, const CVector3& c, double t) const;
    // t is not clamped: values outside 0..1 extrapolate the curve.
    CVector3 CubicBezier(const CVector3& b, const CVector3& c, const CVector3& d, double t) const;
};
