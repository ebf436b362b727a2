// Scene files: a list of OFF files with a keyframe file for each and one for the camera.
#include "formats/scn/SceneFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <new>
#include <string>
#include <utility>
#include <vector>

#include "formats/InputFile.h"
#include "formats/TokenStream.h"
#include "model/ObjectKeyframes.h"
#include "model/Camera.h"
#include "model/Mesh.h"
#include "model/SceneGraphics.h"
#include "model/TeldViewGLDoc.h"
#include "platform/ArchiveException.h"
#include "platform/AvailableMemory.h"
#include "platform/Document.h"

namespace
{
struct SSceneEntry
{
    std::string strMeshFile;
    std::string strKeyframeFile;
};

struct SSceneNames
{
    std::string strCameraKeyframes;
    std::vector<SSceneEntry> entries;
};

// Takes every name of the file before the document is touched, so that a truncated file or a
// bad count is refused without clearing the scene.
bool ParseScene(CTokenStream& in, SSceneNames& names)
{
    std::string_view token;
    if (!in.NextToken(token) || token != "SCENE")
        return false;
    int32_t nEntries = 0;
    if (!in.NextInt(nEntries) || nEntries < 0 || !in.NextToken(token))
        return false;
    names.strCameraKeyframes = token;
    // Growth follows the names actually found, so a huge count costs nothing until proven.
    for (int32_t i = 0; i < nEntries; ++i)
    {
        SSceneEntry entry;
        if (!in.NextToken(token))
            return false;
        entry.strMeshFile = token;
        if (!in.NextToken(token))
            return false;
        entry.strKeyframeFile = token;
        names.entries.push_back(std::move(entry));
    }
    return true;
}

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
    for (const SSceneEntry& entry : names.entries)
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

bool ReadSceneBuffer(std::string_view buffer, CTeldViewGLDoc& doc, const std::string& strFolder,
                     std::string* pstrProblem)
{
    CTokenStream in(buffer);
    SSceneNames names;
    return ParseScene(in, names) && LoadScene(names, doc, strFolder, pstrProblem);
}

bool CTeldViewGLDoc::ReadSceneFile(const std::string& strPath, std::string* pstrProblem)
{
    SSceneNames names;
    bool bParsed = false;
    {
        CInputFile file;
        if (!file.Open(strPath))
        {
            SetProblem(pstrProblem, strPath);
            return false;
        }
        CTokenStream in(file.Fd());
        try
        {
            bParsed = ParseScene(in, names);
        }
        catch (const std::bad_alloc&)
        {
            bParsed = false;
        }
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
