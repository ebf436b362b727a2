#include "app/batch/BatchInputs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>

#include "platform/ArchiveException.h"
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

void Fail(const std::string& strMessage, const std::string& strPath)
{
    std::fprintf(stderr, "%s %s\n", strMessage.c_str(), strPath.c_str());
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
    char head[256] = {};
    in.read(head, sizeof head);
    const std::streamsize nRead = in.gcount();
    if (nRead >= 84)
    {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(head + 80);
        const uint64_t nCount = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint64_t>(p[3]) << 24);
        if (static_cast<uint64_t>(st.st_size) == 84 + 50 * nCount)
            return STL_BINARY;
    }
    std::string strLine(head, static_cast<size_t>(nRead));
    strLine = strLine.substr(0, strLine.find('\n'));
    std::transform(strLine.begin(), strLine.end(), strLine.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return strLine.find("solid") != std::string::npos ? STL_ASCII : -1;
}

bool LoadBatchInputs(CTeldViewGLDoc& doc, const std::vector<std::string>& files)
{
    doc.m_bScene = files.size() > 1;
    for (size_t i = 0; i < files.size(); ++i)
    {
        const std::string& strPath = files[i];
        switch (InputKind(strPath))
        {
        case INPUT_STL: {
            const int nMode = DetectSTLMode(strPath);
            if (nMode < 0 || !doc.ImportSTL(strPath, nMode))
            {
                Fail("Error reading STL file.", strPath);
                return false;
            }
            break;
        }
        case INPUT_SCENE:
            // Loading a scene replaces what was loaded before it.
            if (i > 0)
            {
                std::fprintf(stderr, "A scene file must be the first input: %s\n", strPath.c_str());
                return false;
            }
            try
            {
                if (!doc.ReadSceneFile(strPath))
                {
                    Fail("Error reading scene file.", strPath);
                    return false;
                }
            }
            catch (const CArchiveException&)
            {
                Fail("Error reading scene file.", strPath);
                return false;
            }
            // As after Load Scene: every object posed at time 0.
            doc.EvaluateScene(0);
            break;
        default:
            try
            {
                doc.LoadMeshFile(strPath, doc.m_bScene);
            }
            catch (const CArchiveException&)
            {
                Fail(access(strPath.c_str(), R_OK) == 0 ? "Error reading OFF file." : "Cannot open file.", strPath);
                return false;
            }
            break;
        }
    }
    return true;
}
