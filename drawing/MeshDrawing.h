#pragma once

#include <cstdint>
#include <vector>

// Consecutive triangles of a triangle soup that go to GL as they are stored (vertices 3t, 3t+1,
// 3t+2 for each triangle t), or, reversed, as the tessellator sends a triangle it turns round
// (3t, 3t+2, 3t+1).
struct STriangleRun
{
    int32_t nFirst = 0;
    int32_t nCount = 0;
    bool bReversed = false;
};

// Triangles of a mesh (any but a soup whose vertices have records of their own), drawn by one
// call from its records: the records GL gets, three a triangle, counted from record nBase; none
// lies beyond nBase + nRange - 1. They are kept in 16 bits where the range allows (a block of a
// surface mostly does), else in 32.
struct SIndexedBlock
{
    int32_t nBase = 0;
    int32_t nRange = 0;
    std::vector<uint16_t> shortIndices;
    std::vector<uint32_t> indices;
};

// What draws a mesh besides its display list, and what can be made for a build ahead of it:
// - the lists of consecutive runs of faces (or of vertices, for points) that the display list
//   calls, per part of the drawing (the lines, then the filled faces of hidden-line drawing);
// - or, for a mesh shaded smoothly on a renderer that works in system memory, the runs (for a
//   soup) or indexed blocks of triangles drawn straight from the mesh's vertex records, between the
//   display list (which sets the state up) and m_nEndList (which restores it): no copy of the
//   vertices at all.
// The lists belong to the share group of the drawing context; DeleteLists needs one of its
// contexts current.
class CMeshDrawing
{
public:
    CMeshDrawing() = default;
    CMeshDrawing(const CMeshDrawing&) = delete;
    CMeshDrawing& operator=(const CMeshDrawing&) = delete;
    virtual ~CMeshDrawing() = default;

    void DeleteLists();

    // The settings it was made for (SListRecipe::Key); NO_KEY once the geometry it was made from
    // is gone, which no build matches.
    static constexpr uint32_t NO_KEY = 0xFFFFFFFFu;
    uint32_t m_nKey = NO_KEY;
    std::vector<uint32_t> m_runLists[2];

    bool m_bArrays = false;
    bool m_bColors = false;    // the arrays send each vertex's colour too
    bool m_bTexCoords = false; // ... and its texture coordinate
    std::vector<STriangleRun> m_triangleRuns;
    // Instead of the runs, for every mesh but a soup whose vertices have records of their own.
    std::vector<SIndexedBlock> m_indexedBlocks;
    // The record sent last, whose normal, colour and texture coordinate stay current after the
    // drawing as they do after the list's own; -1 when nothing is drawn.
    int32_t m_nLastVertex = -1;
    uint32_t m_nEndList = 0;
};
