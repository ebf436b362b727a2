#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Smooth vertex normals for a mesh whose faces share no vertex record, as every STL file is: a
// sphere from such a file would otherwise be lit as rings of flat bands. The vertices are
// numbered by their position as the records come in (while a reader's block is still in the
// cache), and the normals of the faces at each position are summed on the way. At the end each
// vertex's normal becomes the normalised sum of the normals of the faces at its position that
// meet its own face at no more than the crease angle, so a machined part keeps its edges.
//
// While it works, the first normal slot of each numbered record holds the vertex's position
// number; WriteNormals (or, where it cannot finish, WriteFaceNormals) fills the slots again.
class CSoupWelder
{
public:
    // cos 60 degrees: faces meeting at a sharper angle keep their own normals there.
    static constexpr double CREASE_COS = 0.5;
    // Below this many vertices the normals are written on one thread.
    static constexpr int32_t PARALLEL_MIN_VERTICES = 1 << 20;

    // pPool: the records of nVertices vertices, nRecord doubles each (position, then normal); they
    // need not be filled yet. pFaceNormals: the unit normal of face f at 3 f; pFaceOf: the face of
    // each vertex, or null for a triangle soup (vertex v in face v / 3). May throw std::bad_alloc.
    CSoupWelder(double* pPool, size_t nRecord, int32_t nVertices, const double* pFaceNormals,
                const int32_t* pFaceOf);
    ~CSoupWelder();
    CSoupWelder(const CSoupWelder&) = delete;
    CSoupWelder& operator=(const CSoupWelder&) = delete;

    // Numbers the vertices [nFirst, nEnd), which follow those numbered before; their positions
    // and their faces' normals must be filled. False where the soup shares too few positions to
    // be smoothed (WriteFaceNormals must run then). May throw std::bad_alloc.
    bool Number(int32_t nFirst, int32_t nEnd);
    int32_t Positions() const { return static_cast<int32_t>(m_positions.size()); }

    // Once every vertex is numbered: the smoothed normals, into the records' normal slots. May
    // throw std::bad_alloc, after which WriteFaceNormals must run.
    void WriteNormals();
    // What the records held before: each vertex its face's normal, normalised again.
    void WriteFaceNormals();

private:
    struct SRecent
    {
        double p[3];
        int32_t nId; // -1: empty
    };
    struct SPosition
    {
        double sum[3];  // of the faces' normals, in vertex order
        float first[3]; // the first face's normal
        int32_t bMixed; // a face's normal lies outside a cone about the first one's
    };
    int32_t Find(const double* p, uint64_t nHash, int32_t nVertex);
    void Grow();
    void AddFace(int32_t nId, int32_t v);
    int32_t FaceOf(int32_t v) const { return m_pFaceOf != nullptr ? m_pFaceOf[v] : v / 3; }
    const double* FaceNormal(int32_t v) const { return m_pFaceNormals + 3 * static_cast<size_t>(FaceOf(v)); }
    double* Record(int32_t v) const { return m_pPool + static_cast<size_t>(v) * m_nRecord; }
    // The vertices [nFirst, nEnd) at positions whose faces all lie close; the others go to mixed.
    void WriteRange(int32_t nFirst, int32_t nEnd, std::vector<int64_t>& mixed) const;
    void WriteMixed(std::vector<int64_t>& mixed) const;

    double* m_pPool;
    size_t m_nRecord;
    int32_t m_nVertices;
    int32_t m_nNumbered = 0;
    int32_t m_nMostPositions = 0;
    const double* m_pFaceNormals;
    const int32_t* m_pFaceOf;
    std::vector<SPosition> m_positions;
    std::unique_ptr<uint64_t[]> m_pTable; // open addressing by the positions' hashes
    size_t m_nTableMask = 0;
    std::unique_ptr<SRecent[]> m_pRecent; // the positions met last, by hash, to spare the table
};
