#include "formats/scn/SceneFile.h"

#include <new>
#include <utility>

#include "formats/FileHead.h"
#include "formats/InputFile.h"
#include "formats/TokenStream.h"

namespace
{
bool ParseScene(CTokenStream& in, SSceneNames& names)
{
    std::string_view token;
    if (!in.NextToken(token) || token != "SCENE")
        return false;
    int32_t nEntries = 0;
    if (!in.NextInt(nEntries) || nEntries < 0 || !in.NextToken(token))
        return false;
    SSceneNames read;
    read.strCameraKeyframes = token;
    // Growth follows the names actually found, so a huge count costs nothing until proven.
    for (int32_t i = 0; i < nEntries; ++i)
    {
        SSceneNames::SEntry entry;
        if (!in.NextToken(token))
            return false;
        entry.strMeshFile = token;
        if (!in.NextToken(token))
            return false;
        entry.strKeyframeFile = token;
        read.entries.push_back(std::move(entry));
    }
    names = std::move(read);
    return true;
}

bool ParseCatching(CTokenStream& in, SSceneNames& names)
{
    try
    {
        return ParseScene(in, names);
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
}
} // namespace

bool ReadSceneNames(const std::string& strPath, SSceneNames& names, bool& bOpened)
{
    CInputFile file;
    bOpened = file.Open(strPath);
    if (!bOpened)
        return false;
    CTokenStream in(file.Fd());
    return ParseCatching(in, names);
}

bool ReadSceneNamesBuffer(std::string_view buffer, SSceneNames& names)
{
    CTokenStream in(buffer);
    return ParseCatching(in, names);
}

int RecogniseScene(std::string_view head, uint64_t)
{
    return FirstWordLetters(head) == "SCENE" ? 2 : 0;
}
