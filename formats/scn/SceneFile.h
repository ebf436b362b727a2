#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "formats/scn/SceneNames.h"

// Scene files: "SCENE", the object count N (0 or more), the camera's keyframe file, then N pairs
// of a mesh file and its keyframe file, as white-space separated words; what follows is not read.

// Every name of the file, before anything is done with them: false for a text that is not a
// complete scene file (another keyword, a count that is not a number or below 0, fewer names than
// announced), names then unchanged. The file is read as a stream (see CTokenStream), so memory
// follows the names it holds, not the count it announces; bOpened says whether it could be opened
// at all (as CInputFile opens it: never a pipe).
bool ReadSceneNames(const std::string& strPath, SSceneNames& names, bool& bOpened);
bool ReadSceneNamesBuffer(std::string_view buffer, SSceneNames& names);

// The content test of the format table: 2 when the first word (past blank and '#' comment lines)
// is SCENE, else 0.
int RecogniseScene(std::string_view head, uint64_t nSize);
