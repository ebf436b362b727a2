#pragma once

#include <string>
#include <vector>

// What a scene file names: the camera's keyframe file, then for each object its mesh file and
// its keyframe file, as written (relative names are the reader's to resolve).
struct SSceneNames
{
    struct SEntry
    {
        std::string strMeshFile;
        std::string strKeyframeFile;
    };
    std::string strCameraKeyframes;
    std::vector<SEntry> entries;
};
