#include "model/MeshTransformCheck.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "formats/NumberFormat.h"
#include "model/Mesh.h"
#include "model/MeshMath.h"

bool TransformKeepsMeshFinite(const CMesh& mesh, const CVector3& r0, const CVector3& r1, const CVector3& r2,
                              const CVector3& vOffset)
{
    if (mesh.m_nVertices < 1)
        return true;
    const bool bTranslate = vOffset.x != 0.0 || vOffset.y != 0.0 || vOffset.z != 0.0;
    CVector3 vMin(DBL_MAX, DBL_MAX, DBL_MAX);
    CVector3 vMax(-DBL_MAX, -DBL_MAX, -DBL_MAX);
    for (int32_t i = 0; i < mesh.m_nVertices; ++i)
    {
        // The arithmetic of Transform and Translate, so that the same values overflow.
        const CVector3 vOld(mesh.m_ppVertices[i]);
        double p[3] = {r0.Dot(vOld), r1.Dot(vOld), r2.Dot(vOld)};
        if (bTranslate)
        {
            p[0] += vOffset.x;
            p[1] += vOffset.y;
            p[2] += vOffset.z;
        }
        if (!NumberFormat::AllFinite(p, 3))
            return false;
        MeshMath::WidenBox(vMin, vMax, p);
    }
    const double dExtent = std::max({vMax.x - vMin.x, vMax.y - vMin.y, vMax.z - vMin.z});
    const CVector3 vCenter = vMin * 0.5 + vMax * 0.5;
    // A face normal sums one cross product of two sides per vertex, each component at most
    // 2 x extent squared: below the largest double, no sum overflows.
    const double dNormalBound = 4.0 * std::max(mesh.m_nLargestFace, 1) * dExtent * dExtent;
    return std::isfinite(dExtent) && std::isfinite(vCenter.x) && std::isfinite(vCenter.y) &&
           std::isfinite(vCenter.z) && std::isfinite(dNormalBound);
}
