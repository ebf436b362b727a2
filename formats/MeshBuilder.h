#pragma once

#include <atomic>
#include <cstdint>

#include "formats/MeshParts.h"
#include "geometry/Vector3.h"

// What a reader fills: a mesh given whole as polygons, or a triangle soup filled in steps while
// the file is read, so that the soup's normals and box are made while its records are still in
// the cache. The readers hand over nothing before the whole file has been read and checked but
// the soup's own records, which a failed read leaves to the caller to discard.
class CMeshBuilder
{
public:
    virtual ~CMeshBuilder() = default;

    // Takes the parts of a polygon mesh (they are left empty): positions, the fields they announce,
    // faces; bounds and the normals that the parts do not hold are the builder's to compute. May
    // throw std::bad_alloc.
    virtual void AdoptPolygons(SMeshParts& parts) = 0;

    // A soup of nTriangles triangles: three records of 6 doubles (position, normal) a triangle, one
    // face each, not filled yet; returns the first record. May throw std::bad_alloc.
    virtual double* AllocateSoup(int32_t nTriangles) = 0;
    // What nReached holds once the reader stops before the end of the soup.
    static constexpr int32_t READ_STOPPED = -1;
    // With bBehind, run on a second thread while the reader fills the records: makes ready the rest
    // of the soup (faces, pointers) and what its normals will take, staying ahead of nReached, the
    // triangles the reader has filled and completed (stored with release order); it may then go on
    // with completed triangles behind the reader until nReached is the whole soup, or
    // READ_STOPPED. Without, it runs before the reader begins (no thread to spare), and returns
    // without waiting.
    virtual void PrepareSoup(const std::atomic<int32_t>& nReached, bool bBehind) = 0;
    // Triangles [nFirst, nEnd) are filled: their normals, widening [vMin, vMax] by them. A reader
    // fills at most MOST_TRIANGLES_A_STEP triangles between two calls.
    virtual void CompleteSoup(int32_t nFirst, int32_t nEnd, CVector3& vMin, CVector3& vMax) = 0;
    // So that the builder knows how far past the last call the reader's writes may reach.
    static constexpr int32_t MOST_TRIANGLES_A_STEP = 1 << 15;
    // Every triangle is filled and completed; [vMin, vMax] is the soup's box.
    virtual void FinishSoup(const CVector3& vMin, const CVector3& vMax) = 0;
};
