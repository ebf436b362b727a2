#pragma once

#include <string>
#include <string_view>

struct SMeshSet;

// Reading 3MF packages (see ThreeMfFormat.h) from the whole file's bytes. The model part is the
// target of the 3D model relationship in _rels/.rels, else 3D/3dmodel.model. Each build item
// gives one mesh: its object's triangles and those of all the components inside it, placed by
// their transforms (a mirroring one swaps the corners, so that faces stay outward), in the file's
// units as written. The mesh's name is the object's name, else "object ID". Support and "other"
// objects are left out, and so are colours, materials, textures and the extensions' elements.
// Nothing reaches set before the whole package has been read and checked; on success set holds
// only what this file gave. pstrDetail, when given, is emptied on success and otherwise says why
// ("3D/3dmodel.model: line 12: vertex index 9 is not in 0 to 7", "not enough memory").
bool Read3MF(std::string_view data, SMeshSet& set, std::string* pstrDetail);
