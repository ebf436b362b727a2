#pragma once

#include "model/SceneObject.h"

// The head of every scene list; animated like any object, never drawn.
class CCamera : public CSceneObject
{
public:
    CCamera() { m_strName = "Camera"; }
    int32_t GetType() const override { return OBJECT_CAMERA; }

    // Column nColumn of the camera's rotation, normalised, in world coordinates: 0 the right
    // axis, 1 the up axis, 2 the backward axis (the camera looks the opposite way).
    CVector3 Axis(int nColumn) const
    {
        double m[16];
        m_qOrientation.ToMatrix(m);
        CVector3 axis(m[4 * nColumn], m[4 * nColumn + 1], m[4 * nColumn + 2]);
        axis.Normalize();
        return axis;
    }
};
