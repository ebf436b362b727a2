#include "app/batch/BatchInputs.h"

#include <unistd.h>

#include <cstdio>

#include "formats/FileKind.h"
#include "formats/InputFile.h"
#include "platform/ArchiveException.h"
#include "scene/TeldViewGLDoc.h"

namespace
{
void Fail(const std::string& strMessage, const std::string& strPath)
{
    std::fprintf(stderr, "%s %s\n", strMessage.c_str(), strPath.c_str());
}
} // namespace

bool LoadBatchInputs(CTeldViewGLDoc& doc, const std::vector<std::string>& files)
{
    doc.m_bScene = files.size() > 1;
    for (size_t i = 0; i < files.size(); ++i)
    {
        const std::string& strPath = files[i];
        // Scripts feed inputs through pipes; the files a scene names are never read that way.
        const CPipeInputPermit pipeAllowed(strPath);
        switch (InputKind(strPath))
        {
        case INPUT_STL:
            if (!ImportSTLFile(doc, strPath))
            {
                Fail("Error reading STL file.", strPath);
                return false;
            }
            break;
        case INPUT_SCENE:
            // Loading a scene replaces what was loaded before it.
            if (i > 0)
            {
                std::fprintf(stderr, "A scene file must be the first input: %s\n", strPath.c_str());
                return false;
            }
            try
            {
                if (!doc.ReadSceneFile(strPath))
                {
                    Fail("Error reading scene file.", strPath);
                    return false;
                }
            }
            catch (const CArchiveException&)
            {
                Fail("Error reading scene file.", strPath);
                return false;
            }
            // As after Load Scene: every object posed at time 0.
            doc.EvaluateScene(0);
            break;
        default:
            try
            {
                doc.LoadMeshFile(strPath, doc.m_bScene);
            }
            catch (const CArchiveException&)
            {
                Fail(access(strPath.c_str(), R_OK) == 0 ? "Error reading OFF file." : "Cannot open file.",
                     strPath);
                return false;
            }
            break;
        }
    }
    return true;
}
