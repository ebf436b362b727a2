// The end of the smoothing: each vertex's normal from the faces at its position.
#include <algorithm>
#include <exception>
#include <new>
#include <thread>

#include "geometry/Vector3.h"
#include "model/SoupWelder.h"

namespace
{
// Up to this many faces at a position whose faces do not all lie close, each vertex sums the faces
// within the crease angle of its own; more (the tip of a fine cone, or a hostile file's thousands
// of copies of one triangle) would make that quadratic, and are grouped instead.
constexpr size_t EXACT_MAX_FACES = 64;
constexpr int MAX_GROUPS = 16;

bool WithinCrease(const double* a, const double* b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2] >= CSoupWelder::CREASE_COS;
}

void StoreNormalised(CVector3 vSum, double* pSlot)
{
    vSum.Normalize();
    vSum.ToArray(pSlot);
}
} // namespace

void CSoupWelder::WriteFaceNormals()
{
    for (int32_t v = 0; v < m_nNumbered; ++v)
    {
        CVector3 vNormal;
        vNormal += CVector3(FaceNormal(v));
        StoreNormalised(vNormal, Record(v) + 3);
    }
}

void CSoupWelder::WriteRange(int32_t nFirst, int32_t nEnd, std::vector<int64_t>& mixed) const
{
    for (int32_t v = nFirst; v < nEnd; ++v)
    {
        double* pSlot = Record(v) + 3;
        const int32_t nId = static_cast<int32_t>(pSlot[0]);
        const SPosition& position = m_positions[static_cast<size_t>(nId)];
        if (position.bMixed)
            mixed.push_back((static_cast<int64_t>(nId) << 32) | v);
        else
            std::copy(position.sum, position.sum + 3, pSlot);
    }
}

void CSoupWelder::WriteMixed(std::vector<int64_t>& mixed) const
{
    // By position, and at each in vertex order: the order in which shared vertices sum.
    std::sort(mixed.begin(), mixed.end());
    std::vector<const double*> normals;
    for (size_t nStart = 0; nStart < mixed.size();)
    {
        size_t nStop = nStart + 1;
        while (nStop < mixed.size() && (mixed[nStop] >> 32) == (mixed[nStart] >> 32))
            ++nStop;
        normals.clear();
        for (size_t k = nStart; k < nStop; ++k)
            normals.push_back(FaceNormal(static_cast<int32_t>(mixed[k] & 0xFFFFFFFF)));
        const size_t n = normals.size();
        if (n <= EXACT_MAX_FACES)
        {
            for (size_t i = 0; i < n; ++i)
            {
                CVector3 vSum;
                for (size_t k = 0; k < n; ++k)
                    if (k == i || WithinCrease(normals[i], normals[k]))
                        vSum += CVector3(normals[k]);
                StoreNormalised(vSum, Record(static_cast<int32_t>(mixed[nStart + i] & 0xFFFFFFFF)) + 3);
            }
        }
        else
        {
            // Each face into the first group whose first face is within the crease angle of it;
            // a face that finds none when all are taken keeps its own normal.
            CVector3 sums[MAX_GROUPS];
            const double* seeds[MAX_GROUPS];
            int nGroups = 0;
            const auto groupOf = [&](const double* pNormal)
            {
                for (int g = 0; g < nGroups; ++g)
                    if (WithinCrease(seeds[g], pNormal))
                        return g;
                return -1;
            };
            for (const double* pNormal : normals)
            {
                int g = groupOf(pNormal);
                if (g < 0 && nGroups < MAX_GROUPS)
                    seeds[g = nGroups++] = pNormal;
                if (g >= 0)
                    sums[g] += CVector3(pNormal);
            }
            for (size_t i = 0; i < n; ++i)
            {
                const int g = groupOf(normals[i]);
                CVector3 vSum;
                vSum += g >= 0 ? sums[g] : CVector3(normals[i]);
                StoreNormalised(vSum, Record(static_cast<int32_t>(mixed[nStart + i] & 0xFFFFFFFF)) + 3);
            }
        }
        nStart = nStop;
    }
}

void CSoupWelder::WriteNormals()
{
    m_pTable.reset();
    m_pRecent.reset();
    // Where the faces all lie close, the sum is every vertex's normal there.
    for (SPosition& position : m_positions)
        if (!position.bMixed)
        {
            CVector3 vSum(position.sum);
            vSum.Normalize();
            vSum.ToArray(position.sum);
        }
    // The vertices on two threads for a big mesh, each half gathering those at other positions.
    std::vector<int64_t> mixed[2];
    bool bFailed[2] = {false, false};
    const auto write = [&](int nHalf, int32_t nFirst, int32_t nEnd)
    {
        try
        {
            WriteRange(nFirst, nEnd, mixed[nHalf]);
        }
        catch (const std::bad_alloc&)
        {
            bFailed[nHalf] = true;
        }
    };
    const int32_t nMiddle = m_nNumbered < PARALLEL_MIN_VERTICES ? m_nNumbered : m_nNumbered / 2;
    std::thread second;
    if (nMiddle < m_nNumbered)
    {
        try
        {
            second = std::thread(write, 1, nMiddle, m_nNumbered);
        }
        catch (const std::exception&)
        {
            write(1, nMiddle, m_nNumbered);
        }
    }
    write(0, 0, nMiddle);
    if (second.joinable())
        second.join();
    if (bFailed[0] || bFailed[1])
        throw std::bad_alloc();
    mixed[0].insert(mixed[0].end(), mixed[1].begin(), mixed[1].end());
    WriteMixed(mixed[0]);
    m_positions = std::vector<SPosition>();
}
