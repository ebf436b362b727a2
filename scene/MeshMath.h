#pragma once

#include <algorithm>
#include <cstdint>

#include "geometry/Vector3.h"

// The arithmetic of a mesh's derived data, shared by the general computations and the one-pass
// fill of a triangle soup so that both give the same bits.
namespace MeshMath
{
// Takes the position p into the running box [vMin, vMax].
inline void WidenBox(CVector3& vMin, CVector3& vMax, const double* p)
{
    vMin.x = std::min(vMin.x, p[0]);
    vMin.y = std::min(vMin.y, p[1]);
    vMin.z = std::min(vMin.z, p[2]);
    vMax.x = std::max(vMax.x, p[0]);
    vMax.y = std::max(vMax.y, p[1]);
    vMax.z = std::max(vMax.z, p[2]);
}

// The unit normal of a face of n vertices: the sum of the turns at every vertex, normalised.
// Right for convex faces; the reflex vertices of a concave face subtract.
inline CVector3 FaceNormal(double* const* ppVertices, const int32_t* pFace, int32_t n)
{
    CVector3 vNormal;
    if (n > 0)
    {
        CVector3 a(ppVertices[pFace[0]]);
        CVector3 b(ppVertices[pFace[1 % n]]);
        int32_t c = 2 % n;
        for (int32_t k = 0; k < n; ++k)
        {
            const CVector3 vC(ppVertices[pFace[c]]);
            vNormal += (b - a).Cross(vC - b);
            a = b;
            b = vC;
            if (++c == n)
                c = 0;
        }
    }
    vNormal.Normalize();
    return vNormal;
}
} // namespace MeshMath
