// Writing PLY: the meshes of a scene as one binary mesh, placed in it.
#include "formats/ply/PlyWriter.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "formats/ByteOutput.h"
#include "formats/NumberFormat.h"
#include "formats/stl/StlWriter.h"

namespace
{
struct SLayout
{
    int64_t nVertices = 0;
    int64_t nFaces = 0;
    int64_t nEdges = 0;
    bool bNormals = true;
    bool bTexCoords = true;
    bool bColors = true;
    bool bIntCounts = false; // a face of more than 255 corners
};

SLayout LayoutOf(const std::vector<SMeshView>& meshes)
{
    SLayout layout;
    for (const SMeshView& mesh : meshes)
    {
        layout.nVertices += mesh.nVertices;
        layout.nFaces += mesh.nFaces;
        layout.bNormals = layout.bNormals && mesh.bNormals;
        layout.bTexCoords = layout.bTexCoords && mesh.bTexCoords;
        layout.bColors = layout.bColors && mesh.bColors;
        for (int32_t f = 0; f < mesh.nFaces; ++f)
        {
            layout.nEdges += mesh.pFaceSizes[f];
            layout.bIntCounts = layout.bIntCounts || mesh.pFaceSizes[f] > 255;
        }
    }
    return layout;
}

uint8_t ColorByte(double c)
{
    // NaN and values below 0 give 0.
    if (!(c > 0.0))
        return 0;
    return c >= 1.0 ? 255 : static_cast<uint8_t>(std::lround(c * 255.0));
}
} // namespace

std::string CheckPLY(const std::vector<SMeshView>& meshes)
{
    const SLayout layout = LayoutOf(meshes);
    if (layout.nVertices == 0)
        return "there are no vertices to write";
    constexpr int64_t nMost = std::numeric_limits<int32_t>::max();
    if (layout.nVertices > nMost || layout.nFaces > nMost || layout.nEdges > nMost)
        return "more vertices or faces than a PLY file of this program holds";
    for (const SMeshView& mesh : meshes)
        for (int32_t f = 0; f < mesh.nFaces; ++f)
            if (mesh.pFaceSizes[f] < 1 || mesh.ppFaces[f] == nullptr)
                return mesh.strName + " has a face of no vertices, which PLY files do not hold";
    return std::string();
}

bool WritePLY(std::ostream& stream, const std::vector<SMeshView>& meshes, std::string& strProblem)
{
    const SLayout layout = LayoutOf(meshes);
    {
        CByteOutput out(stream);
        std::string& buffer = out.Buffer();
        buffer += "ply\nformat binary_little_endian 1.0\ncomment written by TeldViewGL\nelement vertex ";
        NumberFormat::AppendInt(buffer, layout.nVertices);
        buffer += "\nproperty float x\nproperty float y\nproperty float z\n";
        if (layout.bNormals)
            buffer += "property float nx\nproperty float ny\nproperty float nz\n";
        if (layout.bTexCoords)
            buffer += "property float s\nproperty float t\n";
        if (layout.bColors)
            buffer += "property uchar red\nproperty uchar green\nproperty uchar blue\n";
        buffer += "element face ";
        NumberFormat::AppendInt(buffer, layout.nFaces);
        buffer += layout.bIntCounts ? "\nproperty list int int vertex_indices\nend_header\n"
                                    : "\nproperty list uchar int vertex_indices\nend_header\n";

        for (const SMeshView& mesh : meshes)
            for (int32_t i = 0; i < mesh.nVertices; ++i)
            {
                const double* pRecord = mesh.ppVertices[i];
                float values[8];
                int nValues = 3;
                mesh.World(i).ToFloatArray(values);
                if (layout.bNormals)
                {
                    CVector3(pRecord + SLOT_NORMAL).ToFloatArray(values + nValues);
                    nValues += 3;
                }
                if (layout.bTexCoords)
                {
                    values[nValues++] = static_cast<float>(pRecord[SLOT_TEXCOORD]);
                    values[nValues++] = static_cast<float>(pRecord[SLOT_TEXCOORD + 1]);
                }
                // A value beyond the float range would be written as infinity, which the reader
                // refuses: the export fails and the file is not put in place.
                if (!NumberFormat::AllFinite(values, nValues))
                {
                    strProblem = BeyondFloatsProblem(mesh);
                    stream.setstate(std::ios::failbit);
                    return false;
                }
                char record[8 * 4 + 3];
                CByteOutput::StoreFloats(record, values, nValues);
                size_t nBytes = 4 * static_cast<size_t>(nValues);
                if (layout.bColors)
                    for (int c = 0; c < 3; ++c)
                        record[nBytes++] = static_cast<char>(ColorByte(pRecord[SLOT_COLOR + c]));
                out.Append(record, nBytes);
                out.FlushIfFull();
            }

        uint32_t nOffset = 0;
        for (const SMeshView& mesh : meshes)
        {
            for (int32_t f = 0; f < mesh.nFaces; ++f)
            {
                const int32_t nSize = mesh.pFaceSizes[f];
                char count[4];
                if (layout.bIntCounts)
                    CByteOutput::StoreUInt32(count, static_cast<uint32_t>(nSize));
                else
                    count[0] = static_cast<char>(static_cast<uint8_t>(nSize));
                out.Append(count, layout.bIntCounts ? 4 : 1);
                const int32_t* pFace = mesh.ppFaces[f];
                for (int32_t k = 0; k < nSize; ++k)
                {
                    char index[4];
                    CByteOutput::StoreUInt32(index, static_cast<uint32_t>(pFace[k]) + nOffset);
                    out.Append(index, 4);
                }
                out.FlushIfFull();
            }
            nOffset += static_cast<uint32_t>(mesh.nVertices);
        }
    }
    return static_cast<bool>(stream);
}
