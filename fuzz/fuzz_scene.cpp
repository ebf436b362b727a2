// Scene files from memory. The seeds name a mesh and a keyframe file in a fixed folder that the
// target fills at start-up, so names may reach real files as well as nothing at all. (No change of
// the working directory: libFuzzer's corpus and artifact paths may be relative.)
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "model/Camera.h"
#include "model/TeldViewGLDoc.h"
#include "platform/ArchiveException.h"

namespace
{
void CheckScene(const CTeldViewGLDoc& doc)
{
    if (doc.m_pObjectList != doc.m_pCamera || doc.m_pCamera->m_pPrev != nullptr)
        std::abort();
    bool bCurrentFound = false;
    for (const CSceneObject* p = doc.m_pObjectList; p != nullptr; p = p->m_pNext)
    {
        if (p->m_pNext != nullptr && p->m_pNext->m_pPrev != p)
            std::abort();
        if (p != doc.m_pCamera && p->GetType() != OBJECT_MESH)
            std::abort();
        bCurrentFound = bCurrentFound || p == doc.m_pCurrentObject;
    }
    if (!bCurrentFound)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    mkdir("/tmp/teldview_fuzz_scene", 0755);
    std::ofstream("/tmp/teldview_fuzz_scene/m.off")
        << "OFF\n4 4 6\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n3 0 2 1\n3 0 1 3\n3 0 3 2\n3 1 2 3\n";
    std::ofstream("/tmp/teldview_fuzz_scene/k.kff")
        << "KFF\n2 1\nPOS_FRAME\n0\n0 0 0\n0 0 0\nPOS_FRAME\n100\n1 2 3\n0 0 0\n"
           "ORI_FRAME\n0\n0 0 0 1\n0 0 0 1\n";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string_view buffer(reinterpret_cast<const char*>(pData), nSize);
    CTeldViewGLDoc doc;
    // A refused file must leave replace mode untouched.
    bool bRefusedUnchanged = true;
    try
    {
        const bool bRead = doc.ReadSceneBuffer(buffer);
        bRefusedUnchanged = bRead || doc.m_bScene ||
                            (doc.m_pCamera->m_pNext == nullptr && doc.m_pCamera->CountPositionKeys() == 0);
    }
    catch (const CArchiveException& e)
    {
        if (e.m_cause != CArchiveException::badSchema || !doc.m_bScene)
            std::abort();
    }
    if (!bRefusedUnchanged)
        std::abort();
    CheckScene(doc);
    doc.EvaluateScene(0);
    doc.EvaluateScene(75);
    return 0;
}
