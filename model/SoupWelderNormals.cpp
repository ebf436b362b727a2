// The end of the smoothing: each vertex's normal from the faces at its position.
#include <algorithm>
#include <exception>
#include <new>
#include <thread>

#include "geometry/Vector3.h"
#include "model/SoupWelder.h"
#include "platform/PageSink.h"

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

// Runs fnSecond on a thread of its own where that is worth it and one starts, else after fnFirst;
// fnFirst here.
template <typename FnA, typename FnB> void OnTwoThreads(bool bWorthIt, FnA&& fnSecond, FnB&& fnFirst)
{
    std::thread second;
    try
    {
        if (bWorthIt)
            second = std::thread(fnSecond);
    }
    catch (const std::exception&)
    {
    }
    fnFirst();
    if (second.joinable())
        second.join();
    else
        fnSecond();
}
} // namespace

void CSoupWelder::Unshare()
{
    UnshareBelow(m_nNumbered);
}

void CSoupWelder::UnshareAll()
{
    UnshareBelow(m_nVertices);
}

void CSoupWelder::UnshareBelow(int32_t nEnd)
{
    // From the back: a vertex's position record is never behind it, so each record is read
    // before the vertex at its place is written. The vertices not numbered are still at theirs.
    for (int32_t v = nEnd - 1; v >= 0; --v)
    {
        double* pRecord = Record(static_cast<size_t>(v));
        const double* pPosition = v < m_nNumbered ? Record(static_cast<size_t>(SlotNumber(v))) : pRecord;
        if (pPosition != pRecord)
            std::copy(pPosition, pPosition + 3, pRecord);
        CVector3 vNormal;
        vNormal += CVector3(FaceNormal(v));
        StoreNormalised(vNormal, pRecord + 3);
        m_ppSlots[v] = pRecord;
    }
    m_nNumbered = 0;
}

void CSoupWelder::NormaliseSums(size_t nFirst, size_t nEnd) const
{
    for (size_t i = nFirst; i < nEnd; ++i)
        if (!m_positions[i].bMixed)
        {
            double* pSlot = Record(i) + 3;
            CVector3 vSum(pSlot);
            vSum.Normalize();
            vSum.ToArray(pSlot);
        }
}

void CSoupWelder::PointSlots(int32_t nFirst, int32_t nEnd) const
{
    for (int32_t v = nFirst; v < nEnd; ++v)
    {
        const int32_t nId = SlotNumber(v);
        if (!m_positions[static_cast<size_t>(nId)].bMixed)
            m_ppSlots[v] = Record(static_cast<size_t>(nId));
    }
}

void CSoupWelder::WriteMixed(const std::vector<int64_t>& mixed, std::vector<const double*>& normals,
                             std::vector<const double*>& made)
{
    size_t nRecords = m_positions.size();
    // Each vertex's normal, into the record of the first vertex of its position with the same
    // normal, or else into a new record behind the others.
    const auto store = [&](int32_t nId, int32_t v, CVector3 vSum)
    {
        double normal[3];
        StoreNormalised(vSum, normal);
        for (const double* pMade : made)
            if (std::equal(normal, normal + 3, pMade + 3))
            {
                m_ppSlots[v] = const_cast<double*>(pMade);
                return;
            }
        double* pRecord = Record(made.empty() ? static_cast<size_t>(nId) : nRecords++);
        if (!made.empty())
            std::copy_n(Record(static_cast<size_t>(nId)), 3, pRecord);
        std::copy_n(normal, 3, pRecord + 3);
        made.push_back(pRecord);
        m_ppSlots[v] = pRecord;
    };
    // By position, and at each in vertex order: the order in which shared vertices sum.
    for (size_t nStart = 0; nStart < mixed.size();)
    {
        const int32_t nId = static_cast<int32_t>(mixed[nStart] >> 32);
        size_t nStop = nStart + 1;
        while (nStop < mixed.size() && (mixed[nStop] >> 32) == nId)
            ++nStop;
        normals.clear();
        made.clear();
        for (size_t k = nStart; k < nStop; ++k)
            normals.push_back(FaceNormal(static_cast<int32_t>(mixed[k] & 0xFFFFFFFF)));
        const size_t n = normals.size();
        const auto vertex = [&](size_t i) { return static_cast<int32_t>(mixed[nStart + i] & 0xFFFFFFFF); };
        if (n <= EXACT_MAX_FACES)
        {
            for (size_t i = 0; i < n; ++i)
            {
                CVector3 vSum;
                for (size_t k = 0; k < n; ++k)
                    if (k == i || WithinCrease(normals[i], normals[k]))
                        vSum += CVector3(normals[k]);
                store(nId, vertex(i), vSum);
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
                store(nId, vertex(i), vSum);
            }
        }
        nStart = nStop;
    }
    m_nRecords = static_cast<int32_t>(nRecords);
}

int32_t CSoupWelder::WriteNormals(CPageSink* pSink)
{
    if (pSink != nullptr)
        pSink->Give(m_pTable.get(), (m_nTableMask + 1) * sizeof(uint64_t));
    m_pTable.reset();
    m_pRecent.reset();
    // The vertices at positions whose faces do not all lie close, gathered on two threads for a
    // big mesh; nothing is changed before the memory for the rest is there.
    std::vector<int64_t> mixed[2];
    bool bFailed[2] = {false, false};
    const auto gather = [&](int nHalf, int32_t nFirst, int32_t nEnd)
    {
        try
        {
            for (int32_t v = nFirst; v < nEnd; ++v)
            {
                const int32_t nId = SlotNumber(v);
                if (m_positions[static_cast<size_t>(nId)].bMixed)
                    mixed[nHalf].push_back((static_cast<int64_t>(nId) << 32) | v);
            }
        }
        catch (const std::bad_alloc&)
        {
            bFailed[nHalf] = true;
        }
    };
    const int32_t nMiddle = m_nNumbered < PARALLEL_MIN_VERTICES ? m_nNumbered : m_nNumbered / 2;
    OnTwoThreads(
        nMiddle < m_nNumbered, [&] { gather(1, nMiddle, m_nNumbered); }, [&] { gather(0, 0, nMiddle); });
    if (bFailed[0] || bFailed[1])
        throw std::bad_alloc();
    mixed[0].insert(mixed[0].end(), mixed[1].begin(), mixed[1].end());
    mixed[1] = std::vector<int64_t>();
    std::sort(mixed[0].begin(), mixed[0].end());
    size_t nMostAtOne = 0;
    for (size_t nStart = 0, k = 1; k <= mixed[0].size(); ++k)
        if (k == mixed[0].size() || (mixed[0][k] >> 32) != (mixed[0][nStart] >> 32))
        {
            nMostAtOne = std::max(nMostAtOne, k - nStart);
            nStart = k;
        }
    std::vector<const double*> normals, made;
    normals.reserve(nMostAtOne);
    made.reserve(nMostAtOne);

    // Where the faces all lie close, the sum is every vertex's normal there; each half of the
    // positions and of the vertices on a thread of its own.
    const size_t nPositions = m_positions.size();
    const size_t nHalf = nMiddle < m_nNumbered ? nPositions / 2 : nPositions;
    OnTwoThreads(
        nMiddle < m_nNumbered,
        [&]
        {
            NormaliseSums(nHalf, nPositions);
            PointSlots(nMiddle, m_nNumbered);
        },
        [&]
        {
            NormaliseSums(0, nHalf);
            PointSlots(0, nMiddle);
        });
    WriteMixed(mixed[0], normals, made);
    // Neither the positions nor what is left of the pool is read again.
    if (pSink != nullptr)
    {
        pSink->Give(m_positions.data(), m_positions.size() * sizeof(SPosition));
        pSink->Give(Record(static_cast<size_t>(m_nRecords)),
                    static_cast<size_t>(m_nVertices - m_nRecords) * RECORD * sizeof(double));
    }
    m_positions = std::vector<SPosition>();
    Release(reinterpret_cast<uintptr_t>(Record(static_cast<size_t>(m_nRecords))),
            reinterpret_cast<uintptr_t>(Record(static_cast<size_t>(m_nVertices))));
    m_nNumbered = 0;
    return m_nRecords;
}
