// The two keyframe lists of a scene object: insertion, counting and evaluation.
#include <cstdint>

#include "model/OrientationKeyframe.h"
#include "model/PositionKeyframe.h"
#include "model/SceneObject.h"

namespace
{
// Moves from pStart to the last key whose time is not greater than nTime, or to the head when
// every key lies after nTime. Starting from the cursor rather than the head gives the same key
// (the list is sorted), but successive calls at nearby times walk only a few links.
template <typename TKey> TKey* FindKeyAtOrBefore(TKey* pStart, int32_t nTime)
{
    TKey* pKey = pStart;
    while (pKey->m_nTime > nTime && pKey->m_pPrev != nullptr)
        pKey = pKey->m_pPrev;
    while (pKey->m_pNext != nullptr && pKey->m_pNext->m_nTime <= nTime)
        pKey = pKey->m_pNext;
    return pKey;
}

template <typename TKey> void InsertKey(TKey*& pHead, TKey*& pCursor, TKey* pKey)
{
    if (pKey == nullptr)
        return;
    if (pHead == nullptr)
    {
        pKey->m_pPrev = pKey->m_pNext = nullptr;
        pHead = pCursor = pKey;
        return;
    }
    TKey* pNode = FindKeyAtOrBefore(pCursor != nullptr ? pCursor : pHead, pKey->m_nTime);
    if (pNode == pKey)
    {
        // Already in the list: replacing it by itself would destroy it.
        pCursor = pKey;
        return;
    }
    if (pKey->m_nTime == pNode->m_nTime)
    {
        // A later key at the same time replaces the earlier one.
        pKey->m_pPrev = pNode->m_pPrev;
        pKey->m_pNext = pNode->m_pNext;
        if (pNode->m_pPrev != nullptr)
            pNode->m_pPrev->m_pNext = pKey;
        else
            pHead = pKey;
        if (pNode->m_pNext != nullptr)
            pNode->m_pNext->m_pPrev = pKey;
        delete pNode;
    }
    else if (pKey->m_nTime < pNode->m_nTime)
    {
        // Only the head can lie after the new key here.
        pKey->m_pPrev = nullptr;
        pKey->m_pNext = pNode;
        pNode->m_pPrev = pKey;
        pHead = pKey;
    }
    else
    {
        pKey->m_pPrev = pNode;
        pKey->m_pNext = pNode->m_pNext;
        if (pNode->m_pNext != nullptr)
            pNode->m_pNext->m_pPrev = pKey;
        pNode->m_pNext = pKey;
    }
    pCursor = pKey;
}

template <typename TKey> int32_t CountKeys(const TKey* pHead)
{
    int32_t nCount = 0;
    for (const TKey* pKey = pHead; pKey != nullptr; pKey = pKey->m_pNext)
        ++nCount;
    return nCount;
}

// Places the cursor for nTime and gives the interval parameter u from the cursor key to the
// next one. False when there is no next key (the cursor is the last key).
template <typename TKey> bool LocateInterval(TKey* pHead, TKey*& pCursor, int32_t nTime, double& u)
{
    pCursor = FindKeyAtOrBefore(pCursor != nullptr ? pCursor : pHead, nTime);
    const TKey* pNext = pCursor->m_pNext;
    if (pNext == nullptr)
        return false;
    // In 64 bits: times far apart (or far before the first key) would overflow 32-bit differences.
    const int64_t nOffset = static_cast<int64_t>(nTime) - pCursor->m_nTime;
    const int64_t nSpan = static_cast<int64_t>(pNext->m_nTime) - pCursor->m_nTime;
    u = static_cast<double>(nOffset) / static_cast<double>(nSpan);
    return true;
}
} // namespace

void CSceneObject::AddPositionKey(CPositionKeyframe* pKey)
{
    InsertKey(m_pPosKeys, m_pCurPosKey, pKey);
}

void CSceneObject::AddOrientationKey(COrientationKeyframe* pKey)
{
    InsertKey(m_pOriKeys, m_pCurOriKey, pKey);
}

int32_t CSceneObject::CountPositionKeys() const
{
    return CountKeys(m_pPosKeys);
}

int32_t CSceneObject::CountOrientationKeys() const
{
    return CountKeys(m_pOriKeys);
}

bool CSceneObject::EvaluatePosition(int32_t nTime)
{
    if (m_pPosKeys == nullptr)
        return false;
    double u = 0.0;
    if (!LocateInterval(m_pPosKeys, m_pCurPosKey, nTime, u))
    {
        m_vPosition = m_pCurPosKey->m_vPosition;
        return false;
    }
    const CPositionKeyframe& k0 = *m_pCurPosKey;
    const CPositionKeyframe& k1 = *k0.m_pNext;
    const CVector3 p1 = k0.m_vPosition + k0.m_vDirection;
    const CVector3 p2 = k1.m_vPosition - k1.m_vDirection;
    m_vPosition = k0.m_vPosition.CubicBezier(p1, p2, k1.m_vPosition, u);
    return true;
}

bool CSceneObject::EvaluateOrientation(int32_t nTime)
{
    if (m_pOriKeys == nullptr)
        return false;
    double u = 0.0;
    if (!LocateInterval(m_pOriKeys, m_pCurOriKey, nTime, u))
    {
        m_qOrientation = m_pCurOriKey->m_qOrientation;
        return false;
    }
    const COrientationKeyframe& k0 = *m_pCurOriKey;
    const COrientationKeyframe& k1 = *k0.m_pNext;
    const CQuaternion q1 = k0.m_qOrientation * k0.m_qRotation;
    const CQuaternion q2 = k1.m_qOrientation * k1.m_qRotation.Conjugate();
    m_qOrientation = k0.m_qOrientation.BezierSlerp(q1, q2, k1.m_qOrientation, u);
    return true;
}
