// Telling model files apart by content, on arbitrary bytes: the format found is the one that
// recognises the data most surely, a file or a pipe (size unknown) alike; a format found reads the
// bytes or refuses them, never crashing, and what it reads is a whole mesh. Reading STL by content
// accepts the bytes exactly when the binary or the ASCII reader does.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formats/FileHead.h"
#include "formats/ModelFormats.h"
#include "formats/stl/StlFormat.h"
#include "model/Mesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string_view buffer(reinterpret_cast<const char*>(pData), nSize);
    const std::string_view head = buffer.substr(0, INPUT_HEAD_SIZE);
    for (const uint64_t nLength : {static_cast<uint64_t>(nSize), SIZE_UNKNOWN})
    {
        const SModelFormat* pFound = FindModelFormat(head, nLength);
        int nBest = 0;
        for (const SModelFormat& format : ModelFormats())
            if (format.fnRecognise != nullptr)
                nBest = std::max(nBest, format.fnRecognise(head, nLength));
        if ((pFound == nullptr) != (nBest == 0) ||
            (pFound != nullptr && pFound->fnRecognise(head, nLength) != nBest))
            std::abort();
        if (pFound != nullptr && pFound->fnReadBuffer != nullptr)
        {
            CMesh mesh;
            if (mesh.ReadModelBuffer(*pFound, buffer, "in") != mesh.m_bLoaded ||
                (mesh.m_bLoaded && mesh.m_nVertices > 0 && mesh.m_ppVertices == nullptr))
                std::abort();
        }
    }
    CMesh mesh, binary, ascii;
    const bool bRead = mesh.ReadSTLBuffer(buffer, STL_BY_CONTENT, "in.stl");
    const bool bEither = binary.ReadSTLBuffer(buffer, STL_BINARY, "in.stl") ||
                         ascii.ReadSTLBuffer(buffer, STL_ASCII, "in.stl");
    if (bRead != bEither || (bRead && mesh.m_nVertices != 3 * mesh.m_nFaces) || (!bRead && mesh.m_bLoaded))
        std::abort();
    return 0;
}
