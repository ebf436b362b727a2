#pragma once

#include "geometry/Quaternion.h"
#include "model/Keyframe.h"

// An orientation with a tangent rotation: the curve leaves towards m_qOrientation * m_qRotation
// and arrives from m_qOrientation * Conjugate(m_qRotation).
class COrientationKeyframe : public CKeyframe
{
public:
    COrientationKeyframe* m_pPrev = nullptr;
    COrientationKeyframe* m_pNext = nullptr;
    CQuaternion m_qOrientation;
    CQuaternion m_qRotation;
};
