// Writing STL: the triangles of every mesh of a scene, placed in it.
#include "formats/stl/StlWriter.h"

#include <cstring>
#include <limits>
#include <string>

#include "formats/ByteOutput.h"
#include "formats/NumberFormat.h"
#include "formats/stl/StlFormat.h"

namespace
{
void AppendFixedTriple(std::string& text, const char* pszPrefix, double a, double b, double c)
{
    text += pszPrefix;
    NumberFormat::AppendFixed(text, a);
    text += ' ';
    NumberFormat::AppendFixed(text, b);
    text += ' ';
    NumberFormat::AppendFixed(text, c);
    text += '\n';
}
} // namespace

std::string CheckSTL(const std::vector<SMeshView>& meshes, bool bBinary)
{
    // A shorter face would have no third vertex to write.
    uint64_t nFaces = 0;
    for (const SMeshView& mesh : meshes)
    {
        for (int32_t f = 0; f < mesh.nFaces; ++f)
            if (mesh.pFaceSizes[f] != 3 || mesh.ppFaces[f] == nullptr)
                return mesh.strName + " has a face of " + std::to_string(mesh.pFaceSizes[f]) +
                       " vertices; STL holds triangles only";
        nFaces += static_cast<uint64_t>(mesh.nFaces);
    }
    if (bBinary && nFaces > std::numeric_limits<uint32_t>::max())
        return "more triangles than binary STL can count";
    return std::string();
}

bool WriteSTL(std::ostream& stream, const std::vector<SMeshView>& meshes, bool bBinary,
              const std::string& strName, std::string& strProblem)
{
    uint64_t nFaces = 0;
    for (const SMeshView& mesh : meshes)
        nFaces += static_cast<uint64_t>(mesh.nFaces);
    {
        CByteOutput out(stream);
        std::string& buffer = out.Buffer();
        if (bBinary)
        {
            char header[STL_HEADER_SIZE + 4];
            std::memset(header, ' ', STL_HEADER_SIZE);
            static constexpr char TITLE[] = "Binary STL file created by TeldView.";
            std::memcpy(header, TITLE, sizeof TITLE); // with its terminating zero byte
            CByteOutput::StoreUInt32(header + STL_HEADER_SIZE, static_cast<uint32_t>(nFaces));
            out.Append(header, sizeof header);
        }
        else
            buffer += "solid " + strName + " - Created by TeldView\n";

        for (const SMeshView& mesh : meshes)
        {
            for (int32_t f = 0; f < mesh.nFaces; ++f)
            {
                // Normals stay in the mesh's own frame; vertices are placed in the scene.
                static constexpr double ZERO[3] = {0.0, 0.0, 0.0};
                const double* pNormal = mesh.ppFaceNormals[f] != nullptr ? mesh.ppFaceNormals[f] : ZERO;
                const int32_t* pFace = mesh.ppFaces[f];
                float vertices[9];
                for (int i = 0; i < 3; ++i)
                    mesh.World(pFace[i]).ToFloatArray(vertices + 3 * i);
                float normal[3];
                CVector3(pNormal).ToFloatArray(normal);
                // A coordinate beyond the float range would be written as infinity, which no
                // reader takes back: the export fails and the file is not put in place.
                if (!NumberFormat::AllFinite(vertices, 9) || !NumberFormat::AllFinite(normal, 3))
                {
                    strProblem = BeyondFloatsProblem(mesh);
                    stream.setstate(std::ios::failbit);
                    return false;
                }
                if (bBinary)
                {
                    char record[STL_FACET_SIZE];
                    CByteOutput::StoreFloats(record, normal, 3);
                    CByteOutput::StoreFloats(record + 12, vertices, 9);
                    record[48] = record[49] = 0;
                    out.Append(record, sizeof record);
                }
                else
                {
                    AppendFixedTriple(buffer, "  facet normal ", pNormal[0], pNormal[1], pNormal[2]);
                    buffer += "    outer loop\n";
                    for (int i = 0; i < 3; ++i)
                        AppendFixedTriple(buffer, "      vertex ", vertices[3 * i], vertices[3 * i + 1],
                                          vertices[3 * i + 2]);
                    buffer += "    endloop\n"
                              "  endfacet\n";
                }
                out.FlushIfFull();
            }
        }
        if (!bBinary)
            buffer += "endsolid " + strName + "\n";
    }
    return static_cast<bool>(stream);
}

std::string BeyondFloatsProblem(const SMeshView& mesh)
{
    return mesh.strName + " has a coordinate or normal beyond the range of 32-bit floats";
}
