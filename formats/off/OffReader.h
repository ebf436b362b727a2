#pragma once

#include <string>
#include <string_view>

class CMeshBuilder;
class CReadProgress;

// Reading OFF files into a builder (see README: "OFF files from other programs" for what is
// taken). Nothing reaches the builder before the whole text has been read and checked; on any
// failure it is untouched. pProgress, when given, follows the bytes parsed. pstrError, when given,
// says why the text was refused ("line 12: expected a vertex index", "not enough memory"); it is
// left empty by a read that succeeds and by a file that cannot be read at all. The text ends at
// a NUL byte: nothing after one is read.
bool ReadOFF(const std::string& strPath, CMeshBuilder& builder, CReadProgress* pProgress = nullptr,
             std::string* pstrError = nullptr);
bool ReadOFFBuffer(std::string_view buffer, CMeshBuilder& builder, CReadProgress* pProgress = nullptr,
                   std::string* pstrError = nullptr);
