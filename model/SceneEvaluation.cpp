// Posing the whole scene at a time.
#include <algorithm>

#include "model/OrientationKeyframe.h"
#include "model/PositionKeyframe.h"
#include "model/SceneObject.h"
#include "model/TeldViewGLDoc.h"

bool CTeldViewGLDoc::EvaluateScene(int32_t nTime)
{
    m_nSceneTime = nTime;
    bool bInProgress = false;
    for (CSceneObject* pObject = m_pObjectList; pObject != nullptr; pObject = pObject->m_pNext)
    {
        // Every object is posed, so neither call may be skipped once an earlier one returned true.
        const bool bOrientation = pObject->EvaluateOrientation(nTime);
        const bool bPosition = pObject->EvaluatePosition(nTime);
        bInProgress = bInProgress || bOrientation || bPosition;
    }
    return bInProgress;
}

int32_t CTeldViewGLDoc::LastKeyframeTime() const
{
    int32_t nLast = 0;
    // Each list is sorted by time: its last keyframe is its latest.
    const auto latest = [&nLast](const auto* pKey)
    {
        for (; pKey != nullptr; pKey = pKey->m_pNext)
            if (pKey->m_pNext == nullptr)
                nLast = std::max(nLast, pKey->m_nTime);
    };
    for (const CSceneObject* pObject = m_pObjectList; pObject != nullptr; pObject = pObject->m_pNext)
    {
        latest(pObject->m_pPosKeys);
        latest(pObject->m_pOriKeys);
    }
    return nLast;
}
