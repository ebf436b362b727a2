// Material libraries of OBJ files: the diffuse colours of their materials.
#include "formats/obj/ObjMaterials.h"

#include <algorithm>
#include <exception>

#include "formats/InputFile.h"
#include "formats/TokenReader.h"

namespace
{
bool IsBlank(char c)
{
    return CTokenReader::IsSpace(c);
}
} // namespace

bool MtlPathBeside(const std::string& strObjPath, std::string_view name, std::string& strPath)
{
    if (name.empty() || name.front() == '/')
        return false;
    // Every component of the name is checked: "a/../../b" would climb out of the folder.
    for (size_t nStart = 0; nStart <= name.size();)
    {
        const size_t nSlash = std::min(name.find('/', nStart), name.size());
        if (name.substr(nStart, nSlash - nStart) == "..")
            return false;
        nStart = nSlash + 1;
    }
    const size_t nSlash = strObjPath.find_last_of('/');
    strPath = nSlash == std::string::npos ? std::string() : strObjPath.substr(0, nSlash + 1);
    strPath.append(name);
    return true;
}

std::string_view MtlStatementName(std::string_view rest)
{
    rest = rest.substr(0, rest.find('#'));
    while (!rest.empty() && IsBlank(rest.front()))
        rest.remove_prefix(1);
    while (!rest.empty() && IsBlank(rest.back()))
        rest.remove_suffix(1);
    return rest;
}

void ParseMTL(std::string_view text, CMtlColors& colors)
{
    // Null while the current material is one defined before, which keeps its first colour.
    SMtlColor* pCurrent = nullptr;
    size_t nPos = 0;
    while (nPos < text.size())
    {
        const size_t nLineFeed = std::min(text.find('\n', nPos), text.size());
        std::string_view line = text.substr(nPos, nLineFeed - nPos);
        nPos = nLineFeed + 1;
        while (!line.empty() && IsBlank(line.front()))
            line.remove_prefix(1);
        if (line.size() > 6 && line.substr(0, 6) == "newmtl" && IsBlank(line[6]))
        {
            const auto [it, bNew] = colors.try_emplace(std::string(MtlStatementName(line.substr(6))));
            pCurrent = bNew ? &it->second : nullptr;
        }
        else if (pCurrent != nullptr && line.size() > 2 && line.substr(0, 2) == "Kd" && IsBlank(line[2]))
        {
            // "Kd r g b", or "Kd r" for a grey; the spectral and CIE forms are not colours here.
            CTokenReader in(line.substr(2), '#');
            double rgb[3] = {0.0, 0.0, 0.0};
            int nCount = 0;
            while (nCount < 3 && in.NextDouble(rgb[nCount]))
                ++nCount;
            if (!in.AtEnd() || (nCount != 1 && nCount != 3))
                continue;
            if (nCount == 1)
                rgb[1] = rgb[2] = rgb[0];
            pCurrent->bHasColor = true;
            for (int c = 0; c < 3; ++c)
                pCurrent->rgb[c] = std::clamp(rgb[c], 0.0, 1.0);
        }
    }
}

bool ReadMTLFile(const std::string& strPath, CMtlColors& colors)
{
    try
    {
        // Only the OBJ file itself may be a pipe that the user named.
        CPipeInputRefusal noPipes;
        CInputFile file;
        if (!file.Open(strPath) || !file.IsRegular() || file.Size() > MTL_MAX_BYTES)
            return false;
        std::string text;
        SReadLimits limits;
        limits.bStopAtNul = true;
        limits.nMaxBytes = MTL_MAX_BYTES;
        if (!ReadRestOfFile(file, text, &limits))
            return false;
        ParseMTL(text, colors);
        return true;
    }
    catch (const std::exception&)
    {
        return false;
    }
}
