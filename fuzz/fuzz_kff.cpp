// Keyframe files from memory: a file that reads must write text that reads back to the same keys.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "model/ObjectKeyframes.h"
#include "model/OrientationKeyframe.h"
#include "model/PositionKeyframe.h"
#include "model/SceneObject.h"

namespace
{
template <typename TKey> void CheckList(const TKey* pHead, const TKey* pCursor)
{
    bool bCursorFound = pHead == nullptr && pCursor == nullptr;
    for (const TKey* p = pHead; p != nullptr; p = p->m_pNext)
    {
        if (p->m_pNext != nullptr && (p->m_pNext->m_pPrev != p || p->m_pNext->m_nTime <= p->m_nTime))
            std::abort();
        bCursorFound = bCursorFound || p == pCursor;
    }
    if (!bCursorFound)
        std::abort();
}

std::string Text(const CSceneObject& object)
{
    std::ostringstream out;
    if (!WriteKeyframeStream(out, object))
        std::abort();
    return out.str();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string_view buffer(reinterpret_cast<const char*>(pData), nSize);
    CSceneObject object;
    if (!ReadKeyframeBuffer(buffer, object))
    {
        if (object.m_pPosKeys != nullptr || object.m_pOriKeys != nullptr)
            std::abort();
        return 0;
    }
    CheckList(object.m_pPosKeys, object.m_pCurPosKey);
    CheckList(object.m_pOriKeys, object.m_pCurOriKey);

    // Written values are rounded once; a second write of the re-read keys gives the same text.
    const std::string strText = Text(object);
    CSceneObject back;
    if (!ReadKeyframeBuffer(strText, back))
        std::abort();
    if (back.CountPositionKeys() != object.CountPositionKeys() ||
        back.CountOrientationKeys() != object.CountOrientationKeys())
        std::abort();
    const std::string strAgain = Text(back);
    CSceneObject third;
    if (!ReadKeyframeBuffer(strAgain, third) || Text(third) != strAgain)
        std::abort();

    // Reading the same text again replaces every key by its twin.
    if (!ReadKeyframeBuffer(strText, back) || back.CountPositionKeys() != object.CountPositionKeys())
        std::abort();

    // Evaluation around and between the keys, extreme times included.
    for (int32_t nTime : {INT32_MIN, -1, 0, 1, 50, 1000, INT32_MAX})
    {
        object.EvaluatePosition(nTime);
        object.EvaluateOrientation(nTime);
    }
    for (const CPositionKeyframe* p = object.m_pPosKeys; p != nullptr; p = p->m_pNext)
        object.EvaluatePosition(p->m_nTime);
    return 0;
}
