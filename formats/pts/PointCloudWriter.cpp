// Point clouds: every vertex of every mesh with its normal.
#include "formats/pts/PointCloudWriter.h"

#include <cstdint>
#include <limits>
#include <vector>

#include "formats/ByteOutput.h"
#include "formats/NumberFormat.h"
#include "formats/stl/StlWriter.h"

namespace
{
int64_t CountPoints(const std::vector<SMeshView>& meshes)
{
    int64_t nPoints = 0;
    for (const SMeshView& mesh : meshes)
        nPoints += mesh.nVertices;
    return nPoints;
}

// The face normal of each vertex of a mesh whose faces share no vertex; null where no face names
// the vertex.
std::vector<const double*> FaceNormalOfEachVertex(const SMeshView& mesh)
{
    std::vector<const double*> normals(static_cast<size_t>(mesh.nVertices), nullptr);
    for (int32_t f = 0; f < mesh.nFaces; ++f)
        for (int32_t k = 0; k < mesh.pFaceSizes[f]; ++k)
            normals[static_cast<size_t>(mesh.ppFaces[f][k])] = mesh.ppFaceNormals[f];
    return normals;
}

// The normal a point is written with: the record's, but for smoothed normals the one the mesh
// had before they were smoothed (its face's), as the file always held.
void StoredNormal(const SMeshView& mesh, const std::vector<const double*>& faceNormals, int32_t i,
                  float* pValues)
{
    const double* pFaceNormal = mesh.bWeldedNormals ? faceNormals[static_cast<size_t>(i)] : nullptr;
    if (pFaceNormal == nullptr)
    {
        CVector3(mesh.ppVertices[i] + SLOT_NORMAL).ToFloatArray(pValues);
        return;
    }
    CVector3 vNormal;
    vNormal += CVector3(pFaceNormal);
    vNormal.Normalize();
    vNormal.ToFloatArray(pValues);
}
} // namespace

std::string CheckPointCloud(const std::vector<SMeshView>& meshes)
{
    // The count field is a signed 32-bit number.
    if (CountPoints(meshes) > std::numeric_limits<int32_t>::max())
        return "more points than a point cloud file can count";
    return std::string();
}

bool WritePointCloud(std::ostream& stream, const std::vector<SMeshView>& meshes, const double pdBounds[6],
                     std::string& strProblem)
{
    const int64_t nPoints = CountPoints(meshes);
    {
        CByteOutput out(stream);
        char header[28];
        CByteOutput::StoreUInt32(header, static_cast<uint32_t>(nPoints));
        // The document keeps min and max per axis; the file wants all minima, then all maxima.
        // They are the meshes' own boxes: positions and orientations are not applied.
        const float bounds[6] = {static_cast<float>(pdBounds[0]), static_cast<float>(pdBounds[2]),
                                 static_cast<float>(pdBounds[4]), static_cast<float>(pdBounds[1]),
                                 static_cast<float>(pdBounds[3]), static_cast<float>(pdBounds[5])};
        // Only a scene without meshes keeps the infinite bounds of an empty box.
        if (nPoints > 0 && !NumberFormat::AllFinite(bounds, 6))
        {
            strProblem = "the scene's bounds lie beyond the range of 32-bit floats";
            stream.setstate(std::ios::failbit);
            return false;
        }
        CByteOutput::StoreFloats(header + 4, bounds, 6);
        out.Append(header, sizeof header);

        for (const SMeshView& mesh : meshes)
        {
            const std::vector<const double*> faceNormals =
                mesh.bWeldedNormals ? FaceNormalOfEachVertex(mesh) : std::vector<const double*>();
            for (int32_t i = 0; i < mesh.nVertices; ++i)
            {
                // Positions are placed in the scene; normals stay as stored, in the mesh's frame.
                float values[6];
                mesh.World(i).ToFloatArray(values);
                StoredNormal(mesh, faceNormals, i, values + 3);
                // A value beyond the float range would be written as infinity.
                if (!NumberFormat::AllFinite(values, 6))
                {
                    strProblem = BeyondFloatsProblem(mesh);
                    stream.setstate(std::ios::failbit);
                    return false;
                }
                char record[24];
                CByteOutput::StoreFloats(record, values, 6);
                out.Append(record, sizeof record);
                out.FlushIfFull();
            }
        }
    }
    return static_cast<bool>(stream);
}
