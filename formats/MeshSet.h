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

// The meshes of a set as one, for what takes a file as one mesh (a thumbnail, a batch import):
// records and faces in order, each mesh's indices moved past the records before it. A field
// (normals, colours, texture coordinates) is kept where every mesh has it. The set is left empty.
// False, with merged untouched, when the whole holds more than one mesh can. May throw
// std::bad_alloc.
bool MergeMeshSet(SMeshSet& set, SMeshParts& merged);
