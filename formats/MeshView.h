#pragma once

#include <cstdint>
#include <string>

#include "formats/MeshParts.h"
#include "geometry/Vector3.h"

// A mesh as the writers see it: its counts, records and faces as the model keeps them (records
// laid out as SMeshParts says), its name, and where it stands in the scene.
struct SMeshView
{
    int32_t nVertices = 0;
    int32_t nFaces = 0;
    int32_t nEdges = 0;
    int32_t nRecordSize = 6;
    bool bNormals = false;
    // The generated vertex normals are smoothed across faces that share no vertex; each vertex's
    // own face normal is what it had before.
    bool bWeldedNormals = false;
    bool bColors = false;
    bool bTexCoords = false;
    double* const* ppVertices = nullptr;
    int32_t* const* ppFaces = nullptr;
    const int32_t* pFaceSizes = nullptr;
    double* const* ppFaceNormals = nullptr; // null entries for faces without a normal
    std::string strName;
    // The placement: a record's position p stands in the scene at the rows of the object's
    // rotation applied to p - vCenter, plus vCenter and vPosition.
    CVector3 vAxisX{1.0, 0.0, 0.0};
    CVector3 vAxisY{0.0, 1.0, 0.0};
    CVector3 vAxisZ{0.0, 0.0, 1.0};
    CVector3 vCenter;
    CVector3 vPosition;

    CVector3 World(int32_t nIndex) const
    {
        const CVector3 d = CVector3(ppVertices[nIndex]) - vCenter;
        return CVector3(d.Dot(vAxisX), d.Dot(vAxisY), d.Dot(vAxisZ)) + vCenter + vPosition;
    }
};
