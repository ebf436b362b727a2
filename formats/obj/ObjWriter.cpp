// Writing OBJ: every mesh of a scene, placed in it, as one file.
#include "formats/obj/ObjWriter.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "formats/ByteOutput.h"
#include "formats/NumberFormat.h"

namespace
{
constexpr int64_t MAX_COUNT = std::numeric_limits<int32_t>::max();

void AppendLine(std::string& text, const char* pszKeyword, const double* p, int nCount)
{
    text += pszKeyword;
    for (int i = 0; i < nCount; ++i)
    {
        text += ' ';
        NumberFormat::AppendFixed(text, p[i]);
    }
    text += '\n';
}

// An "o" line takes the rest of its line: a line end or other control character in a name
// would break the file.
std::string ObjectName(const std::string& strName)
{
    std::string strLine = strName;
    for (char& c : strLine)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '_';
    return strLine;
}

std::string NotFiniteProblem(const SMeshView& mesh)
{
    return mesh.strName + " has a coordinate or normal that is not a finite number";
}
} // namespace

std::string CheckOBJ(const std::vector<SMeshView>& meshes)
{
    int64_t nVertices = 0, nCorners = 0;
    for (const SMeshView& mesh : meshes)
    {
        for (int32_t f = 0; f < mesh.nFaces; ++f)
        {
            if (mesh.pFaceSizes[f] < 1 || mesh.ppFaces[f] == nullptr)
                return mesh.strName + " has a face without vertices, which OBJ cannot hold";
            for (int32_t k = 0; k < mesh.pFaceSizes[f]; ++k)
                if (mesh.ppFaces[f][k] < 0 || mesh.ppFaces[f][k] >= mesh.nVertices)
                    return mesh.strName + " has a face that names no vertex of it";
            nCorners += mesh.pFaceSizes[f];
        }
        nVertices += mesh.nVertices;
    }
    if (nVertices > MAX_COUNT || nCorners > MAX_COUNT)
        return "more vertices or face corners than one mesh holds: the OBJ file would not read back";
    return std::string();
}

bool WriteOBJ(std::ostream& stream, const std::vector<SMeshView>& meshes, std::string& strProblem)
{
    bool bNormals = !meshes.empty(), bTexCoords = !meshes.empty(), bColors = !meshes.empty();
    for (const SMeshView& mesh : meshes)
    {
        bNormals = bNormals && mesh.bNormals;
        bTexCoords = bTexCoords && mesh.bTexCoords;
        bColors = bColors && mesh.bColors;
    }
    {
        CByteOutput out(stream);
        std::string& text = out.Buffer();
        text += "# written by TeldViewGL\n";
        for (const SMeshView& mesh : meshes)
            for (int32_t i = 0; i < mesh.nVertices; ++i)
            {
                const double* pRecord = mesh.ppVertices[i];
                double values[6];
                mesh.World(i).ToArray(values);
                if (bColors)
                    std::copy_n(pRecord + SLOT_COLOR, 3, values + 3);
                // "inf" or "nan" would make a file that no reader takes back.
                if (!NumberFormat::AllFinite(values, bColors ? 6 : 3) ||
                    (bNormals && !NumberFormat::AllFinite(pRecord + SLOT_NORMAL, 3)) ||
                    (bTexCoords && !NumberFormat::AllFinite(pRecord + SLOT_TEXCOORD, 2)))
                {
                    strProblem = NotFiniteProblem(mesh);
                    stream.setstate(std::ios::failbit);
                    return false;
                }
                AppendLine(text, "v", values, bColors ? 6 : 3);
                out.FlushIfFull();
            }
        if (bNormals)
            for (const SMeshView& mesh : meshes)
                for (int32_t i = 0; i < mesh.nVertices; ++i)
                {
                    AppendLine(text, "vn", mesh.ppVertices[i] + SLOT_NORMAL, 3);
                    out.FlushIfFull();
                }
        if (bTexCoords)
            for (const SMeshView& mesh : meshes)
                for (int32_t i = 0; i < mesh.nVertices; ++i)
                {
                    AppendLine(text, "vt", mesh.ppVertices[i] + SLOT_TEXCOORD, 2);
                    out.FlushIfFull();
                }
        // The corner form: the vertex index, then the texture coordinate's and normal's, the same.
        const char* pszSeparator = bTexCoords ? "/" : "//";
        const int nRepeats = (bTexCoords ? 1 : 0) + (bNormals ? 1 : 0);
        int64_t nOffset = 1;
        for (const SMeshView& mesh : meshes)
        {
            if (!mesh.strName.empty() && mesh.nFaces > 0)
                text.append("o ").append(ObjectName(mesh.strName)).append("\n");
            for (int32_t f = 0; f < mesh.nFaces; ++f)
            {
                text += 'f';
                for (int32_t k = 0; k < mesh.pFaceSizes[f]; ++k)
                {
                    const int64_t nIndex = mesh.ppFaces[f][k] + nOffset;
                    text += ' ';
                    NumberFormat::AppendInt(text, nIndex);
                    for (int r = 0; r < nRepeats; ++r)
                    {
                        text += r == 0 ? pszSeparator : "/";
                        NumberFormat::AppendInt(text, nIndex);
                    }
                }
                text += '\n';
                out.FlushIfFull();
            }
            nOffset += mesh.nVertices;
        }
    }
    return static_cast<bool>(stream);
}
