#include "animation/KeyframeFile.h"

#include <algorithm>
#include <memory>
#include <sstream>
#include <vector>

#include "animation/OrientationKeyframe.h"
#include "animation/PositionKeyframe.h"
#include "formats/NumberFormat.h"
#include "formats/TokenReader.h"
#include "platform/SafeFileWriter.h"
#include "scene/SceneObject.h"

namespace
{
// The shortest records a file can hold: each token at least one character and one separator.
// "POS_FRAME" and 7 numbers; "ORI_FRAME" and 9 numbers.
constexpr uint64_t MIN_POS_RECORD_BYTES = 10 + 7 * 2;
constexpr uint64_t MIN_ORI_RECORD_BYTES = 10 + 9 * 2;

template <typename TKey>
bool ReadRecords(CTokenReader& in, int32_t nCount, std::vector<std::unique_ptr<TKey>>& keys)
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
    CSafeFileWriter file(strPath);
    if (!file.IsOpen())
        return false;
    // Gathered first so that the file receives one large write.
    std::ostringstream text;
    if (!WriteKeyframeStream(text, object))
        return false;
    const std::string contents = text.str();
    file.Stream().write(contents.data(), static_cast<std::streamsize>(contents.size()));
    return file.Commit();
}

bool ReadKeyframeFile(const std::string& strPath, CSceneObject& object)
{
    std::string contents;
    if (!ReadWholeFile(strPath, contents))
        return false;
    return ReadKeyframeBuffer(contents, object);
}

bool ReadKeyframeBuffer(std::string_view buffer, CSceneObject& object)
{
    CTokenReader in(buffer);
    std::string_view keyword;
    if (!in.NextToken(keyword) || keyword != "KFF")
        return false;
    int32_t nPosCount = 0;
    int32_t nOriCount = 0;
    if (!in.NextInt(nPosCount) || !in.NextInt(nOriCount))
        return false;
    // A count of zero or less announces no record of that kind.
    nPosCount = std::max(nPosCount, 0);
    nOriCount = std::max(nOriCount, 0);
    // Counts the rest of the file cannot hold are refused before anything is allocated for them.
    const uint64_t nNeeded = static_cast<uint64_t>(nPosCount) * MIN_POS_RECORD_BYTES +
                             static_cast<uint64_t>(nOriCount) * MIN_ORI_RECORD_BYTES;
    if (nNeeded > in.Remaining() + 1)
        return false;

    std::vector<std::unique_ptr<CPositionKeyframe>> posKeys;
    std::vector<std::unique_ptr<COrientationKeyframe>> oriKeys;
    posKeys.reserve(static_cast<size_t>(nPosCount));
    oriKeys.reserve(static_cast<size_t>(nOriCount));
    if (!ReadRecords(in, nPosCount, posKeys) || !ReadRecords(in, nOriCount, oriKeys))
        return false;

    // The whole file is valid: only now does the object change.
    InsertRecords(posKeys, object.m_pCurPosKey, [&](CPositionKeyframe* p) { object.AddPositionKey(p); });
    InsertRecords(oriKeys, object.m_pCurOriKey,
                  [&](COrientationKeyframe* p) { object.AddOrientationKey(p); });
    return true;
}
