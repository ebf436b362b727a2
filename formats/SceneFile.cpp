// Scene files: a list of OFF files with a keyframe file for each and one for the camera.
#include "formats/SceneFile.h"

#include <string>
#include <vector>

#include "animation/KeyframeFile.h"
#include "formats/TokenReader.h"
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
} // namespace

bool ReadSceneBuffer(std::string_view buffer, CTeldViewGLDoc& doc)
{
    std::string_view cameraKeyframes;
    std::vector<SSceneEntry> entries;
    if (!ParseScene(buffer, cameraKeyframes, entries))
        return false;

    doc.m_bScene = true;
    doc.ClearScene();
    // The camera may stay without keyframes; the load goes on.
    ReadKeyframeFile(std::string(cameraKeyframes), *doc.m_pCamera);
    for (const SSceneEntry& entry : entries)
    {
        // Throws for a file that cannot be read; the meshes loaded before stay.
        doc.LoadMeshFile(std::string(entry.meshFile), true);
        if (!ReadKeyframeFile(std::string(entry.keyframeFile), *doc.m_pCurrentObject))
            return false;
    }
    return true;
}

bool CTeldViewGLDoc::ReadSceneFile(const std::string& strPath)
{
    std::string contents;
    if (!ReadWholeFile(strPath, contents))
        return false;
    return ReadSceneBuffer(contents, *this);
}
