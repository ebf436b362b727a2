// ASCII STL reader on arbitrary text: never a crash, the counting pass agrees with a plain
// line-by-line count, and a success gives as many facets as it found, every coordinate finite,
// from text without a NUL byte.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/stl/StlFormat.h"
#include "model/Mesh.h"
#include "model/TeldViewGLDoc.h"

namespace
{
// The counting pass written the plain way: a lower-case copy of each line after the first.
int64_t ReferenceCount(std::string_view buffer)
{
    int64_t nLines = 0;
    size_t nPos = buffer.find('\n');
    while (nPos != std::string_view::npos)
    {
        const size_t nStart = nPos + 1;
        nPos = buffer.find('\n', nStart);
        std::string line(
            buffer.substr(nStart, nPos == std::string_view::npos ? std::string_view::npos : nPos - nStart));
        for (char& c : line)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        if (line.find("normal") != std::string::npos)
            ++nLines;
    }
    return nLines;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string_view buffer(reinterpret_cast<const char*>(pData), nSize);
    if (CountAsciiSTLNormalLines(buffer) != ReferenceCount(buffer))
        std::abort();
    CMesh mesh;
    if (!mesh.ReadSTLBuffer(buffer, STL_ASCII, "fuzz.stl"))
    {
        if (mesh.m_nVertices != 0 || mesh.m_bLoaded)
            std::abort();
        return 0;
    }
    if (mesh.m_nVertices != 3 * mesh.m_nFaces || mesh.m_nFaces != CountAsciiSTLNormalLines(buffer) ||
        buffer.find('\0') != std::string_view::npos)
        std::abort();
    // Each facet takes at least 21 tokens of one character and their separators.
    if (static_cast<size_t>(mesh.m_nFaces) * 42 > nSize + 1)
        std::abort();
    for (int32_t i = 0; i < mesh.m_nVertices; ++i)
        for (int k = 0; k < 3; ++k)
            if (!std::isfinite(mesh.m_ppVertices[i][k]))
                std::abort();
    return 0;
}
