#pragma once

#include <string>

// The name shown to the user: the part of a path after its last '/' or '\'.
inline std::string FileNameOfPath(const std::string& strPath)
{
    const size_t nSlash = strPath.find_last_of("/\\");
    return nSlash == std::string::npos ? strPath : strPath.substr(nSlash + 1);
}
