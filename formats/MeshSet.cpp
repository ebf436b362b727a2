#include "formats/MeshSet.h"

#include <algorithm>
#include <cstdint>
#include <limits>

bool MergeMeshSet(SMeshSet& set, SMeshParts& merged)
{
    SMeshParts whole;
    whole.bNormals = whole.bColors = whole.bTexCoords = whole.bSmoothSoup = !set.meshes.empty();
    int64_t nVertices = 0, nFaces = 0;
    for (const SMeshParts& parts : set.meshes)
    {
        whole.bNormals = whole.bNormals && parts.bNormals;
        whole.bColors = whole.bColors && parts.bColors;
        whole.bTexCoords = whole.bTexCoords && parts.bTexCoords;
        whole.bSmoothSoup = whole.bSmoothSoup && parts.bSmoothSoup;
        nVertices += parts.nVertices;
        nFaces += parts.nFaces;
        whole.nEdges += parts.nEdges;
    }
    constexpr int64_t nMost = std::numeric_limits<int32_t>::max();
    if (nVertices > nMost || nFaces > nMost)
        return false;
    whole.nRecordSize = whole.bColors ? 11 : whole.bTexCoords ? 8 : 6;
    whole.nVertices = static_cast<int32_t>(nVertices);
    whole.nFaces = static_cast<int32_t>(nFaces);
    const size_t nRecord = static_cast<size_t>(whole.nRecordSize);
    whole.pRecords = std::make_unique<double[]>(static_cast<size_t>(nVertices) * nRecord);
    whole.pFaceSizes = std::make_unique<int32_t[]>(static_cast<size_t>(std::max<int64_t>(nFaces, 1)));
    whole.indices.reserve(static_cast<size_t>(whole.nEdges));
    int32_t nBase = 0, nFace = 0;
    for (SMeshParts& parts : set.meshes)
    {
        const size_t nFrom = static_cast<size_t>(parts.nRecordSize);
        for (int32_t i = 0; i < parts.nVertices; ++i)
        {
            const double* pIn = parts.pRecords.get() + static_cast<size_t>(i) * nFrom;
            double* pOut = whole.pRecords.get() + static_cast<size_t>(nBase + i) * nRecord;
            // Position and normal always; the texture coordinate and colour where they are kept.
            std::copy_n(pIn, 6, pOut);
            if (whole.bTexCoords)
                std::copy_n(pIn + SLOT_TEXCOORD, 2, pOut + SLOT_TEXCOORD);
            if (whole.bColors)
                std::copy_n(pIn + SLOT_COLOR, 3, pOut + SLOT_COLOR);
        }
        std::copy_n(parts.pFaceSizes.get(), parts.nFaces, whole.pFaceSizes.get() + nFace);
        for (const int32_t nIndex : parts.indices)
            whole.indices.push_back(nIndex + nBase);
        nBase += parts.nVertices;
        nFace += parts.nFaces;
        parts = SMeshParts();
    }
    set = SMeshSet();
    merged = std::move(whole);
    return true;
}
