// Loading a scene file into the document: the meshes and keyframe files it names.
#include "model/TeldViewGLDoc.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "formats/InputFile.h"
#include "formats/scn/SceneFile.h"
#include "model/ObjectKeyframes.h"
#include "model/Camera.h"
#include "model/Mesh.h"
#include "model/SceneGraphics.h"
#include "platform/ArchiveException.h"
#include "platform/AvailableMemory.h"
#include "platform/Document.h"

namespace
{
CArchiveException OutOfMemory()
{
    CArchiveException failure(CArchiveException::badSchema);
    failure.m_strDetail = "not enough memory";
    return failure;
}

// The working directory's file first, so that scene files written for it keep their meaning.
std::string Resolve(const std::string& strName, const std::string& strFolder)
{
    if (strFolder.empty() || strName.empty() || strName.front() == '/' || access(strName.c_str(), F_OK) == 0)
        return strName;
    std::string strBeside = strFolder + "/" + strName;
    return access(strBeside.c_str(), F_OK) == 0 ? strBeside : strName;
}

void SetProblem(std::string* pstrProblem, const std::string& strPath,
                const std::string& strDetail = std::string())
{
    if (pstrProblem != nullptr)
        *pstrProblem = CDocument::ReadFailedMessage(strPath) + CTeldViewGLDoc::DetailLine(strPath, strDetail);
}

std::string FolderOf(const std::string& strPath)
{
    const size_t nSlash = strPath.find_last_of('/');
    if (nSlash == std::string::npos)
        return std::string();
    return nSlash == 0 ? std::string("/") : strPath.substr(0, nSlash);
}

bool LoadScene(const SSceneNames& names, CTeldViewGLDoc& doc, const std::string& strFolder,
               std::string* pstrProblem)
{
    // A scene names files, never pipes: none of them may make the load wait for a writer.
    const CPipeInputRefusal noPipes;
    doc.m_bScene = true;
    doc.ClearScene();
    // The camera may stay without keyframes; the load goes on.
    ReadKeyframeFile(Resolve(names.strCameraKeyframes, strFolder), *doc.m_pCamera);
    // A scene may name one big file many times: its meshes stop before the machine runs out of
    // memory. Each file's text is in memory while it is read; a mesh takes its geometry, and as
    // much again for its display list where one is compiled.
    const uint64_t nBudget = doc.m_nSceneMemoryBudget != 0 ? doc.m_nSceneMemoryBudget : AvailableMemory() / 2;
    const uint64_t nShare = doc.m_pGraphics != nullptr ? 2 : 1;
    uint64_t nUsed = 0;
    for (const SSceneNames::SEntry& entry : names.entries)
    {
        const std::string strMesh = Resolve(entry.strMeshFile, strFolder);
        try
        {
            struct stat st;
            const uint64_t nText = stat(strMesh.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
            if (nUsed + nText > nBudget)
                throw OutOfMemory();
            // Throws for a file that cannot be read; the meshes loaded before stay.
            doc.LoadMeshFile(strMesh, true);
            nUsed += static_cast<const CMesh*>(doc.m_pCurrentObject)->GeometryBytes() * nShare;
            if (nUsed > nBudget)
                throw OutOfMemory();
        }
        catch (const CArchiveException& e)
        {
            SetProblem(pstrProblem, strMesh, e.m_strDetail);
            throw;
        }
        const std::string strKeys = Resolve(entry.strKeyframeFile, strFolder);
        if (!ReadKeyframeFile(strKeys, *doc.m_pCurrentObject))
        {
            SetProblem(pstrProblem, strKeys);
            return false;
        }
    }
    return true;
}
} // namespace

bool CTeldViewGLDoc::ReadSceneBuffer(std::string_view buffer, const std::string& strFolder,
                                     std::string* pstrProblem)
{
    SSceneNames names;
    return ReadSceneNamesBuffer(buffer, names) && LoadScene(names, *this, strFolder, pstrProblem);
}

bool CTeldViewGLDoc::ReadSceneFile(const std::string& strPath, std::string* pstrProblem)
{
    SSceneNames names;
    bool bOpened = false;
    const bool bParsed = ReadSceneNames(strPath, names, bOpened);
    if (!bOpened)
    {
        SetProblem(pstrProblem, strPath);
        return false;
    }
    if (pstrProblem != nullptr)
        pstrProblem->clear();
    if (bParsed && LoadScene(names, *this, FolderOf(strPath), pstrProblem))
        return true;
    // Without an entry to blame, the scene file itself is not a whole scene file.
    if (pstrProblem != nullptr && pstrProblem->empty())
        *pstrProblem = OpenFailedMessage(strPath);
    return false;
}
