// A loaded mesh's faces as the thumbnail renderer's triangles, split as the display list splits
// them: one fan where the tessellator would draw one, the tessellator's own output otherwise. A
// mesh without faces gives its vertices as points.
#include <GL/glu.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "drawing/TessFan.h"
#include "drawing/ThumbnailRenderer.h"
#include "model/Mesh.h"

namespace
{
// Turns the tessellator's primitives (triangles, fans, strips) into triangles of vertex records.
struct STessOutput
{
    GLenum nType = GL_TRIANGLES;
    std::vector<const double*> primitive;
    std::vector<const double*> triangles;
};

void OnBegin(GLenum nType, void* pData)
{
    auto* pOut = static_cast<STessOutput*>(pData);
    pOut->nType = nType;
    pOut->primitive.clear();
}

void OnVertex(void* pRecord, void* pData)
{
    static_cast<STessOutput*>(pData)->primitive.push_back(static_cast<const double*>(pRecord));
}

void OnEnd(void* pData)
{
    auto* pOut = static_cast<STessOutput*>(pData);
    const std::vector<const double*>& p = pOut->primitive;
    for (size_t i = 0; i + 2 < p.size(); i += pOut->nType == GL_TRIANGLES ? 3 : 1)
    {
        const double* abc[3] = {p[i], p[i + 1], p[i + 2]};
        if (pOut->nType == GL_TRIANGLE_FAN)
            abc[0] = p[0], abc[1] = p[i + 1], abc[2] = p[i + 2];
        // Every other triangle of a strip turns the other way round.
        else if (pOut->nType == GL_TRIANGLE_STRIP && i % 2 == 1)
            std::swap(abc[0], abc[1]);
        pOut->triangles.insert(pOut->triangles.end(), abc, abc + 3);
    }
}

struct STessDeleter
{
    void operator()(GLUtesselator* pTess) const { gluDeleteTess(pTess); }
};
} // namespace

void CThumbnailRenderer::AddMesh(const CMesh& mesh)
{
    for (int32_t i = 0; i < mesh.m_nVertices; ++i)
    {
        const double* p = mesh.m_ppVertices[i];
        const float pfPosition[3] = {static_cast<float>(p[0]), static_cast<float>(p[1]),
                                     static_cast<float>(p[2])};
        Fit(pfPosition, 1);
    }
    if (mesh.m_nFaces == 0)
        for (int32_t i = 0; i < mesh.m_nVertices; ++i)
        {
            const double* p = mesh.m_ppVertices[i];
            float pfPoint[6] = {};
            for (int k = 0; k < 3; ++k)
            {
                pfPoint[k] = static_cast<float>(p[SLOT_POSITION + k]);
                if (mesh.m_bHasColors)
                    pfPoint[3 + k] = static_cast<float>(p[SLOT_COLOR + k]);
            }
            AddPoint(pfPoint, pfPoint + 3);
        }
    std::unique_ptr<GLUtesselator, STessDeleter> pTess;
    STessOutput output;
    const auto add = [&](const double* const* ppRecords)
    {
        float pfPositions[9], pfNormals[9], pfColors[9];
        for (int k = 0; k < 3; ++k)
            for (int i = 0; i < 3; ++i)
            {
                pfPositions[3 * k + i] = static_cast<float>(ppRecords[k][SLOT_POSITION + i]);
                pfNormals[3 * k + i] = static_cast<float>(ppRecords[k][SLOT_NORMAL + i]);
                pfColors[3 * k + i] =
                    mesh.m_bHasColors ? static_cast<float>(ppRecords[k][SLOT_COLOR + i]) : 0.0f;
            }
        AddTriangle(pfPositions, pfNormals, pfColors);
    };
    for (int32_t f = 0; f < mesh.m_nFaces; ++f)
    {
        const int32_t n = mesh.m_pFaceSizes[f];
        const int32_t* pFace = mesh.m_ppFaces[f];
        if (pFace == nullptr || n < 3)
            continue;
        // The tessellator draws a triangle as it stands (one without area gives no pixels anyway).
        if (n == 3)
        {
            const double* abc[3] = {mesh.m_ppVertices[pFace[0]], mesh.m_ppVertices[pFace[1]],
                                    mesh.m_ppVertices[pFace[2]]};
            add(abc);
            continue;
        }
        double* ppPoints[TESS_FAN_MAX_POINTS];
        const int32_t nPoints = std::min(n, TESS_FAN_MAX_POINTS);
        for (int32_t k = 0; k < nPoints; ++k)
            ppPoints[k] = mesh.m_ppVertices[pFace[k]];
        const int nOrder = TessFanOrder(ppPoints, n);
        if (nOrder == TESS_FAN_FORWARD || nOrder == TESS_FAN_BACKWARD)
        {
            const auto point = [&](int32_t i) { return ppPoints[nOrder > 0 ? i : n - i]; };
            for (int32_t i = 1; i + 1 < n; ++i)
            {
                const double* abc[3] = {ppPoints[0], point(i), point(i + 1)};
                add(abc);
            }
            continue;
        }
        if (nOrder != TESS_FAN_SWEEP)
            continue;
        if (!pTess)
        {
            pTess.reset(gluNewTess());
            if (!pTess)
                continue;
            gluTessCallback(pTess.get(), GLU_TESS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(&OnBegin));
            gluTessCallback(pTess.get(), GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(&OnVertex));
            gluTessCallback(pTess.get(), GLU_TESS_END_DATA, reinterpret_cast<_GLUfuncptr>(&OnEnd));
        }
        output.triangles.clear();
        gluTessBeginPolygon(pTess.get(), &output);
        gluTessBeginContour(pTess.get());
        for (int32_t k = 0; k < n; ++k)
        {
            double* pRecord = mesh.m_ppVertices[pFace[k]];
            gluTessVertex(pTess.get(), pRecord, pRecord);
        }
        gluTessEndContour(pTess.get());
        gluTessEndPolygon(pTess.get());
        for (size_t i = 0; i + 2 < output.triangles.size(); i += 3)
            add(output.triangles.data() + i);
    }
}
