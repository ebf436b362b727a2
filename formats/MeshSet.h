#pragma once

#include <string>
#include <vector>

#include "formats/MeshParts.h"

// What a reader of a file of several objects hands over: one mesh each, its positions already
// placed as the file places the object (transforms applied), with a name for each ("" where the
// file gives none).
struct SMeshSet
{
    std::vector<SMeshParts> meshes;
    std::vector<std::string> names;
};
