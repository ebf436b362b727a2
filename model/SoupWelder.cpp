#include "model/SoupWelder.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "geometry/Vector3.h"
#include "platform/HugePages.h"

namespace
{
// A vertex is used by few faces, and mostly by faces close together in the file: a small table
// of the positions met last, which stays in the cache, answers most lookups.
constexpr int RECENT_BITS = 16;

uint64_t Bits(double d)
{
    // 0.0 and -0.0 are one position.
    d += 0.0;
    uint64_t n;
    std::memcpy(&n, &d, sizeof n);
    return n;
}

uint64_t HashPosition(const double* p)
{
    uint64_t h = Bits(p[0]) * 0x9E3779B97F4A7C15ull;
    h ^= Bits(p[1]) * 0xC2B2AE3D27D4EB4Full;
    h ^= Bits(p[2]) * 0x165667B19E3779F9ull;
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ull;
    return h ^ (h >> 29);
}

bool SamePosition(const double* a, const double* b)
{
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

size_t TableSizeFor(size_t nPositions)
{
    size_t n = 1024;
    while (n < nPositions)
        n <<= 1;
    return n;
}

// Faces whose normals all lie within this angle (a little under 30 degrees) of the first face's at
// a position meet each other at less than the crease angle: every vertex there gets the sum of
// them all, and only the other positions need their faces gathered.
constexpr float CONE_COS = 0.8669f;

// How many vertices ahead the lookups are brought into the cache.
constexpr int32_t PREFETCH_AHEAD = 64;

// A slot of the table: a position's number, plus one (0: empty), above 32 bits of its hash, which
// spare most comparisons with records far away in memory.
uint64_t Slot(int32_t nId, uint64_t nHash)
{
    return (static_cast<uint64_t>(nId + 1) << 32) | (nHash >> 32);
}

int32_t SlotId(uint64_t nSlot)
{
    return static_cast<int32_t>(nSlot >> 32) - 1;
}

bool SlotTagged(uint64_t nSlot, uint64_t nHash)
{
    return (nSlot & 0xFFFFFFFFu) == (nHash >> 32);
}
} // namespace

void CSoupWelder::Release(uintptr_t nStart, uintptr_t nEnd)
{
#if defined(__linux__)
    // In steps of the huge pages the pool may be made of.
    nStart = HugePageUp(nStart);
    nEnd = HugePageDown(nEnd);
    if (nEnd > nStart)
        madvise(reinterpret_cast<void*>(nStart), nEnd - nStart, MADV_DONTNEED);
#else
    (void)nStart;
    (void)nEnd;
#endif
}

CSoupWelder::CSoupWelder(double* pPool, int32_t nVertices, double** ppSlots, const double* pFaceNormals,
                         const int32_t* pFaceOf)
    : m_pPool(pPool), m_nVertices(std::max(nVertices, 0)), m_ppSlots(ppSlots), m_pFaceNormals(pFaceNormals),
      m_pFaceOf(pFaceOf)
{
    // A closed surface of triangles has about a sixth as many positions as vertices; the table
    // starts at twice that, and grows if the file has more.
    const size_t nTable = TableSizeFor(static_cast<size_t>(m_nVertices) / 3);
    m_pTable.reset(NewHugeArray<uint64_t>(nTable));
    std::fill_n(m_pTable.get(), nTable, 0);
    m_nTableMask = nTable - 1;
    // A soup of more positions than a third of its vertices shares too few to be worth it, and would
    // take much memory (a file of loose triangles): the numbering gives up there.
    m_nMostPositions = m_nVertices / 3 + 64;
    ReserveHuge(m_positions, static_cast<size_t>(m_nMostPositions) + 1);
    m_pRecent.reset(new SRecent[size_t{1} << RECENT_BITS]);
    for (size_t i = 0; i < (size_t{1} << RECENT_BITS); ++i)
        m_pRecent[i].nId = -1;
    m_nReleasedTo = reinterpret_cast<uintptr_t>(m_pPool);
}

CSoupWelder::~CSoupWelder() = default;

int32_t CSoupWelder::SlotNumber(int32_t v) const
{
    return static_cast<int32_t>(reinterpret_cast<uintptr_t>(m_ppSlots[v]));
}

void CSoupWelder::SetSlotNumber(int32_t v, int32_t n) const
{
    m_ppSlots[v] = reinterpret_cast<double*>(static_cast<uintptr_t>(n));
}

void CSoupWelder::Grow()
{
    const size_t nOld = m_nTableMask + 1, nNew = 2 * nOld;
    std::unique_ptr<uint64_t[]> pOld = std::move(m_pTable);
    m_pTable.reset(NewHugeArray<uint64_t>(nNew));
    std::fill_n(m_pTable.get(), nNew, 0);
    m_nTableMask = nNew - 1;
    for (size_t i = 0; i < nOld; ++i)
    {
        const uint64_t nSlot = pOld[i];
        if (nSlot == 0)
            continue;
        size_t j = HashPosition(Record(static_cast<size_t>(SlotId(nSlot)))) & m_nTableMask;
        while (m_pTable[j] != 0)
            j = (j + 1) & m_nTableMask;
        m_pTable[j] = nSlot;
    }
}

int32_t CSoupWelder::Find(const double* p, uint64_t nHash)
{
    for (size_t j = nHash & m_nTableMask;; j = (j + 1) & m_nTableMask)
    {
        const uint64_t nSlot = m_pTable[j];
        if (nSlot == 0)
        {
            m_pTable[j] = Slot(Positions(), nHash);
            // Growing keeps the probes short: at most three slots in four are taken.
            if (4 * (m_positions.size() + 1) > 3 * (m_nTableMask + 1))
                Grow();
            return Positions();
        }
        if (SlotTagged(nSlot, nHash) && SamePosition(p, Record(static_cast<size_t>(SlotId(nSlot)))))
            return SlotId(nSlot);
    }
}

void CSoupWelder::AddFace(int32_t nId, int32_t v)
{
    const double* n = FaceNormal(v);
    double* pRecord = Record(static_cast<size_t>(nId));
    if (nId == Positions())
    {
        // The position's record, at the front of the pool; its normal slot sums the faces' normals
        // in vertex order, from zero as the sums of shared vertices start (-0.0 becomes 0.0 as it
        // does there).
        const double* p = Record(static_cast<size_t>(v));
        pRecord[0] = p[0];
        pRecord[1] = p[1];
        pRecord[2] = p[2];
        pRecord[3] = 0.0 + n[0];
        pRecord[4] = 0.0 + n[1];
        pRecord[5] = 0.0 + n[2];
        m_positions.push_back(
            {{static_cast<float>(n[0]), static_cast<float>(n[1]), static_cast<float>(n[2])}, 0});
        return;
    }
    pRecord[3] += n[0];
    pRecord[4] += n[1];
    pRecord[5] += n[2];
    SPosition& position = m_positions[static_cast<size_t>(nId)];
    const float fDot = position.first[0] * static_cast<float>(n[0]) +
                       position.first[1] * static_cast<float>(n[1]) +
                       position.first[2] * static_cast<float>(n[2]);
    if (!(fDot >= CONE_COS))
        position.bMixed = 1;
}

bool CSoupWelder::Number(int32_t nFirst, int32_t nEnd)
{
    const uint64_t nRecentShift = 64 - RECENT_BITS;
    // Memory is slow to answer: the entry of the positions met last and the slot of the table of
    // each vertex are brought into the cache a good many vertices ahead, with the hash made then.
    constexpr int32_t RING = PREFETCH_AHEAD;
    uint64_t hashes[RING];
    const auto prefetch = [&](int32_t v)
    {
        const uint64_t nHash = HashPosition(Record(static_cast<size_t>(v)));
        hashes[v % RING] = nHash;
        __builtin_prefetch(m_pRecent.get() + (nHash >> nRecentShift));
        __builtin_prefetch(m_pTable.get() + (nHash & m_nTableMask));
    };
    for (int32_t v = nFirst; v < std::min(nEnd, nFirst + RING); ++v)
        prefetch(v);
    for (int32_t v = nFirst; v < nEnd; ++v)
    {
        const uint64_t nHash = hashes[v % RING];
        if (v + RING < nEnd)
            prefetch(v + RING);
        const double* p = Record(static_cast<size_t>(v));
        SRecent& recent = m_pRecent[nHash >> nRecentShift];
        int32_t nId;
        // A position that is not a number is no other's; many would fill one chain of the table.
        if (!(p[0] == p[0] && p[1] == p[1] && p[2] == p[2]))
            nId = Positions();
        else if (recent.nId >= 0 && SamePosition(p, recent.p))
            nId = recent.nId;
        else
        {
            nId = Find(p, nHash);
            recent.p[0] = p[0];
            recent.p[1] = p[1];
            recent.p[2] = p[2];
            recent.nId = nId;
        }
        if (nId == Positions() && nId == m_nMostPositions)
            return false;
        AddFace(nId, v);
        SetSlotNumber(v, nId);
        m_nNumbered = v + 1;
    }
    return true;
}

uintptr_t CSoupWelder::FreeBehindFrom() const
{
    // The records still to be made fill the pool from the last one made on: the pages they will
    // take, at the rate at which new positions have come so far (and an eighth more), stay where
    // they are, as giving them back would only make them be faulted in again.
    const size_t nMade = static_cast<size_t>(Positions());
    const size_t nNumbered = static_cast<size_t>(m_nNumbered);
    size_t nKeep = nMade;
    if (nNumbered > 0)
        nKeep += static_cast<size_t>(static_cast<double>(nMade) / static_cast<double>(nNumbered) * 1.125 *
                                     static_cast<double>(static_cast<size_t>(m_nVertices) - nNumbered));
    const uintptr_t nFrom = reinterpret_cast<uintptr_t>(Record(std::min(nKeep, nNumbered)));
    return std::max(nFrom, m_nReleasedTo);
}

uintptr_t CSoupWelder::MoveBehindTo(uintptr_t nTo, uintptr_t nEnd)
{
    const uintptr_t nFrom = HugePageUp(FreeBehindFrom());
    const uintptr_t nFromEnd =
        HugePageDown(reinterpret_cast<uintptr_t>(Record(static_cast<size_t>(m_nNumbered))));
    nTo = HugePageUp(nTo);
    nEnd = HugePageDown(nEnd);
    if (m_bMovesRefused || nFromEnd <= nFrom || nEnd <= nTo || nTo < nFromEnd)
        return nTo;
    const size_t nBytes = std::min(nFromEnd - nFrom, nEnd - nTo);
    if (!MovePages(reinterpret_cast<void*>(nFrom), reinterpret_cast<void*>(nTo), nBytes))
    {
        m_bMovesRefused = true;
        return nTo;
    }
    // The pages left behind read as zeros, as if given back.
    m_nReleasedTo = nFrom + nBytes;
    return nTo + nBytes;
}

void CSoupWelder::ReleaseBehind()
{
    // Records are made only below the vertex being numbered, so the pages between the last record
    // and the first vertex not numbered are read no more, and those given back before stay so.
    const uintptr_t nEnd = reinterpret_cast<uintptr_t>(Record(static_cast<size_t>(m_nNumbered)));
    const uintptr_t nStart = FreeBehindFrom();
    if (nEnd < nStart + HUGE_PAGE_SIZE)
        return;
    Release(nStart, nEnd);
    m_nReleasedTo = HugePageDown(nEnd);
}
