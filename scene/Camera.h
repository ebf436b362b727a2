#pragma once

#include "scene/SceneObject.h"

// The head of every scene list; animated like any object, never drawn.
class CCamera : public CSceneObject
{
public:
    CCamera() { m_strName = "Camera"; }
    int32_t GetType() const override { return OBJECT_CAMERA; }
};
