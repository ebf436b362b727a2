#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// Slots of a vertex record: 6 doubles (position, normal), 8 (and a texture coordinate) or 11 (and
// a colour; the texture coordinate's slots are there, unused, when the file has none).
enum
{
    SLOT_POSITION = 0,
    SLOT_NORMAL = 3,
    SLOT_TEXCOORD = 6,
    SLOT_COLOR = 8
};

// A polygon mesh as a reader hands it over: vertex records in one block, and the faces as their
// sizes and their vertex indices in order. The record size follows the fields: 11 with colours
// (the texture coordinate's slots then unused when bTexCoords is false), else 8 with texture
// coordinates, else 6. The normal slots hold the file's normals where it has them (bNormals), else
// anything: they are computed. Colours are 0 to 1. No faces (nFaces 0) is a point cloud.
struct SMeshParts
{
    bool bNormals = false;
    bool bColors = false;
    bool bTexCoords = false;
    // The format's faces meet where their positions do, so that where they share no vertex (a
    // soup, as some writers give every triangle vertices of its own) they are shaded smoothly
    // across their common positions; not so for a format whose files decide it by the sharing.
    bool bSmoothSoup = false;
    int32_t nRecordSize = 6;
    int32_t nVertices = 0;
    int32_t nFaces = 0;
    int64_t nEdges = 0; // the sum of the face sizes
    std::unique_ptr<double[]> pRecords;
    std::unique_ptr<int32_t[]> pFaceSizes;
    std::vector<int32_t> indices;
};
