// Posing the whole scene at a time.
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
