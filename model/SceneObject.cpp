#include "model/SceneObject.h"

#include "model/OrientationKeyframe.h"
#include "model/PositionKeyframe.h"

CSceneObject::~CSceneObject()
{
    for (CPositionKeyframe* pKey = m_pPosKeys; pKey != nullptr;)
    {
        CPositionKeyframe* pNext = pKey->m_pNext;
        delete pKey;
        pKey = pNext;
    }
    for (COrientationKeyframe* pKey = m_pOriKeys; pKey != nullptr;)
    {
        COrientationKeyframe* pNext = pKey->m_pNext;
        delete pKey;
        pKey = pNext;
    }
}

void CSceneObject::GetMatrix(double m[16]) const
{
    m_qOrientation.ToTransposedMatrix(m);
    m[12] = m_vPosition.x;
    m[13] = m_vPosition.y;
    m[14] = m_vPosition.z;
}
