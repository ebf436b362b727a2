#pragma once

#include "geometry/Vector3.h"

// Orientation as w + v. No operation normalises its result.
class CQuaternion
{
public:
    double w = 1.0;
    CVector3 v;

    CQuaternion() = default;
    CQuaternion(double dW, double dX, double dY, double dZ) : w(dW), v(dX, dY, dZ) {}
    CQuaternion(double dW, CVector3 vV) : w(dW), v(vV) {}
    // From a column-major 4x4 matrix whose upper-left 3x3 part is a rotation.
    explicit CQuaternion(const double m[16]);
    CQuaternion(const CQuaternion&) = default;
    CQuaternion& operator=(const CQuaternion&) = default;
    virtual ~CQuaternion() = default;

    // Hamilton product; the right factor acts first.
    CQuaternion operator*(const CQuaternion& b) const;
    CQuaternion Conjugate() const { return CQuaternion(w, -v.x, -v.y, -v.z); }
    void ToMatrix(double m[16]) const;
    void ToTransposedMatrix(double m[16]) const;
    // Never negates b: for a negative dot product it follows the longer arc.
    CQuaternion Slerp(const CQuaternion& b, double t) const;
    CQuaternion BezierSlerp(const CQuaternion& b, const CQuaternion& c, const CQuaternion& d, double t) const;
};
