#pragma once

#include <algorithm>
#include <cmath>
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

// Below this share of the squared sum of its edge lengths, a face's turns are only rounding: the
// face is degenerate.
constexpr double DEGENERATE_SHARE = 1e-9;

// The unit normal of a face of n vertices: the sum of the turns at every vertex, normalised.
// Right for convex faces; the reflex vertices of a concave face subtract. A degenerate face keeps
// its short sum. Whether a sum is short is judged against the face's own size, so that a model
// of a millimetre is lit as one of a metre.
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
    // Normalize's own arithmetic, with the length taken once.
    const double dLength = std::sqrt(vNormal.LengthSquared());
    bool bUnit = dLength > 0.0001;
    if (!bUnit && dLength > 0.0)
    {
        double dEdges = 0.0;
        for (int32_t k = 0; k < n; ++k)
            dEdges += std::sqrt(
                (CVector3(ppVertices[pFace[(k + 1) % n]]) - CVector3(ppVertices[pFace[k]])).LengthSquared());
        bUnit = dLength > DEGENERATE_SHARE * dEdges * dEdges;
    }
    if (bUnit)
    {
        vNormal.x /= dLength;
        vNormal.y /= dLength;
        vNormal.z /= dLength;
    }
    return vNormal;
}
} // namespace MeshMath
