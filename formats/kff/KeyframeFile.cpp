#include "formats/kff/KeyframeFile.h"

#include <algorithm>
#include <memory>
#include <new>
#include <sstream>
#include <vector>

#include "formats/InputFile.h"
#include "formats/NumberFormat.h"
#include "formats/TokenStream.h"
#include "model/OrientationKeyframe.h"
#include "model/PositionKeyframe.h"
#include "model/SceneObject.h"
#include "platform/SafeFileWriter.h"

namespace
{
// Memory follows the records the file holds, not the count it announces.
template <typename TKey>
bool ReadRecords(CTokenStream& in, int32_t nCount, std::vector<std::unique_ptr<TKey>>& keys)
{
    for (int32_t i = 0; i < nCount; ++i)
    {
        auto pKey = std::make_unique<TKey>();
        if (!pKey->Read(in))
            return false;
        keys.push_back(std::move(pKey));
    }
    return true;
}

// Inserting in time order makes each insertion start next to its place (the list's cursor sits
// on the key inserted before), so a large file loads in linear time whatever its record order.
// The stable sort keeps equal times in file order: the later record still replaces the earlier.
// The cursor ends on the file's last record, as it would after inserting in file order.
template <typename TKey, typename TAdd>
void InsertRecords(std::vector<std::unique_ptr<TKey>>& keys, TKey*& pCursor, TAdd add)
{
    if (keys.empty())
        return;
    TKey* pLastRead = keys.back().get();
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a->m_nTime < b->m_nTime; });
    for (auto& pKey : keys)
        add(pKey.release());
    pCursor = pLastRead;
}

bool ReadKeyframes(CTokenStream& in, CSceneObject& object)
{
    std::string_view keyword;
    if (!in.NextToken(keyword) || keyword != "KFF")
        return false;
    int32_t nPosCount = 0;
    int32_t nOriCount = 0;
    if (!in.NextInt(nPosCount) || !in.NextInt(nOriCount))
        return false;
    // A count of zero or less announces no record of that kind.
    std::vector<std::unique_ptr<CPositionKeyframe>> posKeys;
    std::vector<std::unique_ptr<COrientationKeyframe>> oriKeys;
    try
    {
        if (!ReadRecords(in, nPosCount, posKeys) || !ReadRecords(in, nOriCount, oriKeys))
            return false;
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }

    // The whole file is valid: only now does the object change.
    InsertRecords(posKeys, object.m_pCurPosKey, [&](CPositionKeyframe* p) { object.AddPositionKey(p); });
    InsertRecords(oriKeys, object.m_pCurOriKey,
                  [&](COrientationKeyframe* p) { object.AddOrientationKey(p); });
    return true;
}
} // namespace

bool WriteKeyframeStream(std::ostream& out, const CSceneObject& object)
{
    std::string header = "KFF\n";
    NumberFormat::AppendInt(header, object.CountPositionKeys());
    header += ' ';
    NumberFormat::AppendInt(header, object.CountOrientationKeys());
    header += '\n';
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    for (const CPositionKeyframe* pKey = object.m_pPosKeys; pKey != nullptr; pKey = pKey->m_pNext)
        pKey->Write(out);
    for (const COrientationKeyframe* pKey = object.m_pOriKeys; pKey != nullptr; pKey = pKey->m_pNext)
        pKey->Write(out);
    return static_cast<bool>(out);
}

bool WriteKeyframeFile(const std::string& strPath, const CSceneObject& object)
{
    // Gathered first, so that the file receives one large write and a value that is not finite
    // refuses the whole file before anything is created.
    std::ostringstream text;
    if (!WriteKeyframeStream(text, object))
        return false;
    CSafeFileWriter file(strPath);
    if (!file.IsOpen())
        return false;
    const std::string contents = text.str();
    file.Stream().write(contents.data(), static_cast<std::streamsize>(contents.size()));
    return file.Commit();
}

bool ReadKeyframeFile(const std::string& strPath, CSceneObject& object)
{
    CInputFile file;
    if (!file.Open(strPath))
        return false;
    CTokenStream in(file.Fd());
    return ReadKeyframes(in, object);
}

bool ReadKeyframeBuffer(std::string_view buffer, CSceneObject& object)
{
    CTokenStream in(buffer);
    return ReadKeyframes(in, object);
}
