#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class CPageSink;

// Smooth vertex normals for a mesh whose faces share no vertex record, as every STL file is: a
// sphere from such a file would otherwise be lit as rings of flat bands. The vertices are
// numbered by their position as the records come in (while a reader's block is still in the
// cache), and the normals of the faces at each position are summed on the way. At the end each
// vertex's normal becomes the normalised sum of the normals of the faces at its position that
// meet its own face at no more than the crease angle, so a machined part keeps its edges.
//
// The vertices then share records: vertices with one position and one normal have the same
// record, as a soup of a closed surface has about six vertices at each position. The records are
// compacted in place, to the front of the pool, as the numbering goes (a position's record is
// never behind a vertex that is still to be numbered), and the pool behind the numbering may be
// given back to the system, or handed on to where a reader fills the rest. Each vertex's slot (8
// bytes of the caller's, the mesh's own pointer array) holds its record's number while the welder
// works.
class CSoupWelder
{
public:
    // cos 60 degrees: faces meeting at a sharper angle keep their own normals there.
    static constexpr double CREASE_COS = 0.5;
    // Below this many vertices the normals are written on one thread.
    static constexpr int32_t PARALLEL_MIN_VERTICES = 1 << 20;
    // The records are positions, then normals.
    static constexpr size_t RECORD = 6;

    // pPool: the records of nVertices vertices, in vertex order (they need not be filled yet);
    // ppSlots: a slot for each vertex. pFaceNormals: the unit normal of face f at 3 f; pFaceOf: the
    // face of each vertex, or null for a triangle soup (vertex v in face v / 3). May throw
    // std::bad_alloc.
    CSoupWelder(double* pPool, int32_t nVertices, double** ppSlots, const double* pFaceNormals,
                const int32_t* pFaceOf);
    ~CSoupWelder();
    CSoupWelder(const CSoupWelder&) = delete;
    CSoupWelder& operator=(const CSoupWelder&) = delete;

    // Numbers the vertices [nFirst, nEnd), which follow those numbered before; their positions
    // and their faces' normals must be filled. False where the soup shares too few positions to
    // be smoothed (Unshare must run then). May throw std::bad_alloc, after which Unshare must run.
    bool Number(int32_t nFirst, int32_t nEnd);
    int32_t Positions() const { return static_cast<int32_t>(m_positions.size()); }
    // Gives the system back the whole pages of the pool behind the vertices numbered (they are not
    // read again) but those of the records made and of those still to be made, as far as the rate
    // of new positions so far tells.
    void ReleaseBehind();
    // Hands those pages on to [nTo, nEnd) of the pool instead (its whole 2 MB steps, from the
    // bottom up), as far as they go, so that the records filled there next cost no first touch;
    // returns where they end (nTo rounded up where none moved). Nothing may touch that range
    // meanwhile. What is not handed on, ReleaseBehind gives back.
    uintptr_t MoveBehindTo(uintptr_t nTo, uintptr_t nEnd);

    // Once every vertex is numbered: the smoothed normals into the shared records, and every slot
    // pointing at its vertex's record. Returns the number of records, which are the pool's first;
    // the rest of the pool is given back to the system, and the welder's own tables are freed, the
    // pages of both handed on to pSink first where there is one. May throw std::bad_alloc, before
    // anything is changed; Unshare must run then.
    int32_t WriteNormals(CPageSink* pSink = nullptr);
    // What a soup without smoothing holds: each numbered vertex its own record again, in vertex
    // order, its position and its face's normal (normalised again); every numbered slot pointing
    // at it. The vertices not numbered are left as they were.
    void Unshare();
    // The same for every vertex: those not numbered get their slots and normals too (their records
    // must hold their positions, and their faces' normals must be filled).
    void UnshareAll();

private:
    struct SRecent
    {
        double p[3];
        int32_t nId; // -1: empty
    };
    struct SPosition
    {
        float first[3]; // the first face's normal
        int32_t bMixed; // a face's normal lies outside a cone about the first one's
    };
    int32_t Find(const double* p, uint64_t nHash);
    void Grow();
    void AddFace(int32_t nId, int32_t v);
    int32_t FaceOf(int32_t v) const { return m_pFaceOf != nullptr ? m_pFaceOf[v] : v / 3; }
    const double* FaceNormal(int32_t v) const { return m_pFaceNormals + 3 * static_cast<size_t>(FaceOf(v)); }
    double* Record(size_t i) const { return m_pPool + i * RECORD; }
    // Gives the system back the whole huge-page steps inside [nStart, nEnd) (addresses); their
    // memory reads as zeros if it is touched again.
    static void Release(uintptr_t nStart, uintptr_t nEnd);
    // Where the pages behind the numbering that may be given back or handed on start.
    uintptr_t FreeBehindFrom() const;
    // Unshare for the vertices below nEnd.
    void UnshareBelow(int32_t nEnd);
    int32_t SlotNumber(int32_t v) const;
    void SetSlotNumber(int32_t v, int32_t n) const;
    // The normal sums of positions [nFirst, nEnd) whose faces all lie close normalised, in their
    // records: every vertex's normal there.
    void NormaliseSums(size_t nFirst, size_t nEnd) const;
    // The slots of vertices [nFirst, nEnd) at positions whose faces all lie close pointed at their
    // position's record.
    void PointSlots(int32_t nFirst, int32_t nEnd) const;
    void WriteMixed(const std::vector<int64_t>& mixed, std::vector<const double*>& normals,
                    std::vector<const double*>& made);

    double* m_pPool;
    int32_t m_nVertices;
    double** m_ppSlots;
    int32_t m_nNumbered = 0;
    int32_t m_nRecords = 0;
    int32_t m_nMostPositions = 0;
    size_t m_nReleasedTo = 0;     // bytes of the pool given back up to here
    bool m_bMovesRefused = false; // the system cannot move pages
    const double* m_pFaceNormals;
    const int32_t* m_pFaceOf;
    std::vector<SPosition> m_positions;
    std::unique_ptr<uint64_t[]> m_pTable; // open addressing by the positions' hashes
    size_t m_nTableMask = 0;
    std::unique_ptr<SRecent[]> m_pRecent; // the positions met last, by hash, to spare the table
};
