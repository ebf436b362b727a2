#pragma once

#include "geometry/Vector3.h"
#include "model/Keyframe.h"

// A position with a tangent: the curve leaves towards m_vPosition + m_vDirection and arrives
// from m_vPosition - m_vDirection.
class CPositionKeyframe : public CKeyframe
{
public:
    CPositionKeyframe* m_pPrev = nullptr;
    CPositionKeyframe* m_pNext = nullptr;
    CVector3 m_vPosition;
    CVector3 m_vDirection;
};
