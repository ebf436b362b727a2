#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "formats/MeshBuilder.h"

// A builder that keeps the polygon parts a reader hands over, as they are, for looking at what
// the reader made (tests, fuzz targets). It takes no soup: a request for one is counted and
// refused.
class CMeshPartsKeeper : public CMeshBuilder
{
public:
    void AdoptPolygons(SMeshParts& parts) override
    {
        m_parts = std::move(parts);
        ++m_nAdopted;
    }
    double* AllocateSoup(int32_t) override
    {
        ++m_nSoupsAsked;
        return nullptr;
    }
    void PrepareSoup(const std::atomic<int32_t>&, bool) override {}
    void CompleteSoup(int32_t, int32_t, CVector3&, CVector3&) override {}
    void FinishSoup(const CVector3&, const CVector3&) override {}

    std::vector<double> Records() const
    {
        return {m_parts.pRecords.get(),
                m_parts.pRecords.get() + static_cast<size_t>(m_parts.nVertices) * m_parts.nRecordSize};
    }
    // The first nSlots slots of record n.
    std::vector<double> Record(int32_t n, size_t nSlots) const
    {
        const double* p = m_parts.pRecords.get() + static_cast<size_t>(n) * m_parts.nRecordSize;
        return {p, p + nSlots};
    }
    std::vector<int32_t> Sizes() const
    {
        return {m_parts.pFaceSizes.get(), m_parts.pFaceSizes.get() + m_parts.nFaces};
    }

    SMeshParts m_parts;
    int m_nAdopted = 0;
    int m_nSoupsAsked = 0;
};
