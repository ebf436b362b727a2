#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

// Material libraries (.mtl) beside an OBJ file: of each material only its diffuse colour ("Kd r g
// b") is taken, which becomes the colour of the faces that use it. A library that is missing,
// unreadable or broken is no error: its faces then have no material colour.

struct SMtlColor
{
    bool bHasColor = false;
    double rgb[3] = {1.0, 1.0, 1.0}; // clamped to 0 to 1
};

using CMtlColors = std::unordered_map<std::string, SMtlColor>;

// A library larger than this is no material library: it is not read.
constexpr uint64_t MTL_MAX_BYTES = uint64_t(4) << 20;

// The path of the library that "mtllib NAME" names beside the OBJ file at strObjPath, or false
// for a name that would reach elsewhere: empty, absolute, or with a ".." component.
bool MtlPathBeside(const std::string& strObjPath, std::string_view name, std::string& strPath);
// The rest of a statement's line as a name: blanks around it and a '#' comment dropped.
std::string_view MtlStatementName(std::string_view rest);
// Adds the materials of the text to colors; a material already there keeps its first definition.
void ParseMTL(std::string_view text, CMtlColors& colors);
// Reads the library at strPath into colors when it is a regular file of at most MTL_MAX_BYTES
// (never a pipe or a device, which could make the read wait); false when it was not read.
bool ReadMTLFile(const std::string& strPath, CMtlColors& colors);
