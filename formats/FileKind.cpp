#include "formats/FileKind.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <string_view>

#include "scene/TeldViewGLDoc.h"

namespace
{
std::string LowerExtension(const std::string& strPath)
{
    const size_t nDot = strPath.find_last_of('.');
    const size_t nSlash = strPath.find_last_of('/');
    if (nDot == std::string::npos || (nSlash != std::string::npos && nDot < nSlash))
        return std::string();
    std::string strExt = strPath.substr(nDot);
    std::transform(strExt.begin(), strExt.end(), strExt.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return strExt;
}

} // namespace

int InputKind(const std::string& strPath)
{
    const std::string strExt = LowerExtension(strPath);
    if (strExt == ".stl")
        return INPUT_STL;
    if (strExt == ".scn")
        return INPUT_SCENE;
    return INPUT_OFF;
}

int DetectSTLMode(const std::string& strPath)
{
    struct stat st;
    if (stat(strPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    std::ifstream in(strPath, std::ios::binary);
    if (!in)
        return -1;
    char head[256] = {};
    in.read(head, sizeof head);
    const size_t nRead = static_cast<size_t>(in.gcount());
    if (nRead >= 84)
    {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(head + 80);
        const uint64_t nCount = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint64_t>(p[3]) << 24);
        if (static_cast<uint64_t>(st.st_size) == 84 + 50 * nCount)
            return STL_BINARY;
    }
    const std::string_view start(head, nRead);
    if (start.find('\0') != std::string_view::npos)
        return STL_BINARY;
    std::string strLine(start.substr(0, start.find('\n')));
    std::transform(strLine.begin(), strLine.end(), strLine.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return strLine.find("solid") != std::string::npos ? STL_ASCII : STL_BINARY;
}

bool ImportSTLFile(CTeldViewGLDoc& doc, const std::string& strPath)
{
    return doc.ImportSTL(strPath, STL_BY_CONTENT);
}
