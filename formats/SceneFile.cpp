// Scene files: a list of OFF files with a keyframe file for each and one for the camera.
#include "formats/SceneFile.h"

#include <unistd.h>

#include <string>
#include <vector>

#include "animation/KeyframeFile.h"
#include "formats/TokenReader.h"
#include "platform/ArchiveException.h"
#include "platform/Document.h"
#include "scene/Camera.h"
#include "scene/TeldViewGLDoc.h"

namespace
{
struct SSceneEntry
{
    std::string_view meshFile;
    std::string_view keyframeFile;
};

// Takes every name of the file before the document is touched, so that a truncated file or a
// bad count is refused without clearing the scene.
bool ParseScene(std::string_view buffer, std::string_view& cameraKeyframes, std::vector<SSceneEntry>& entries)
{
    CTokenReader in(buffer);
    std::string_view token;
    if (!in.NextToken(token) || token != "SCENE")
        return false;
    int32_t nEntries = 0;
    if (!in.NextInt(nEntries))
        return false;
    if (!in.NextToken(cameraKeyframes))
        return false;
    // Growth follows the names actually found, so a huge count costs nothing until proven.
    for (int32_t i = 0; i < nEntries; ++i)
    {
        SSceneEntry entry;
        if (!in.NextToken(entry.meshFile) || !in.NextToken(entry.keyframeFile))
            return false;
        entries.push_back(entry);
    }
    return true;
}

// The working directory's file first, so that scene files written for it keep their meaning.
std::string Resolve(std::string_view name, const std::string& strFolder)
{
    std::string strName(name);
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
} // namespace

bool ReadSceneBuffer(std::string_view buffer, CTeldViewGLDoc& doc, const std::string& strFolder,
                     std::string* pstrProblem)
{
    std::string_view cameraKeyframes;
    std::vector<SSceneEntry> entries;
    if (!ParseScene(buffer, cameraKeyframes, entries))
        return false;

    doc.m_bScene = true;
    doc.ClearScene();
    // The camera may stay without keyframes; the load goes on.
    ReadKeyframeFile(Resolve(cameraKeyframes, strFolder), *doc.m_pCamera);
    for (const SSceneEntry& entry : entries)
    {
        const std::string strMesh = Resolve(entry.meshFile, strFolder);
        try
        {
            // Throws for a file that cannot be read; the meshes loaded before stay.
            doc.LoadMeshFile(strMesh, true);
        }
        catch (const CArchiveException& e)
        {
            SetProblem(pstrProblem, strMesh, e.m_strDetail);
            throw;
        }
        const std::string strKeys = Resolve(entry.keyframeFile, strFolder);
        if (!ReadKeyframeFile(strKeys, *doc.m_pCurrentObject))
        {
            SetProblem(pstrProblem, strKeys);
            return false;
        }
    }
    return true;
}

bool CTeldViewGLDoc::ReadSceneFile(const std::string& strPath, std::string* pstrProblem)
{
    std::string contents;
    if (!ReadWholeFile(strPath, contents))
    {
        SetProblem(pstrProblem, strPath);
        return false;
    }
    if (pstrProblem != nullptr)
        pstrProblem->clear();
    if (ReadSceneBuffer(contents, *this, FolderOf(strPath), pstrProblem))
        return true;
    // Without an entry to blame, the scene file itself is not a whole scene file.
    if (pstrProblem != nullptr && pstrProblem->empty())
        *pstrProblem = OpenFailedMessage(strPath);
    return false;
}
