// Telling inputs apart by content, and reading STL by content from memory (a pipe in batch mode),
// on arbitrary bytes: the kind is always one of the three, and the reading by content accepts the
// bytes exactly when the binary or the ASCII reader does.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formats/FileKind.h"
#include "formats/stl/StlFormat.h"
#include "model/Mesh.h"
#include "model/TeldViewGLDoc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string_view buffer(reinterpret_cast<const char*>(pData), nSize);
    for (const char* pszName : {"in", "in.stl", "in.scn"})
    {
        const int nKind = InputKindOfContent(buffer, nSize, pszName);
        if (nKind != INPUT_OFF && nKind != INPUT_STL && nKind != INPUT_SCENE)
            std::abort();
    }
    CMesh mesh, binary, ascii;
    const bool bRead = mesh.ReadSTLBuffer(buffer, STL_BY_CONTENT, "in.stl");
    const bool bEither = binary.ReadSTLBuffer(buffer, STL_BINARY, "in.stl") ||
                         ascii.ReadSTLBuffer(buffer, STL_ASCII, "in.stl");
    if (bRead != bEither || (bRead && mesh.m_nVertices != 3 * mesh.m_nFaces) || (!bRead && mesh.m_bLoaded))
        std::abort();
    return 0;
}
