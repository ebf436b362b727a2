#pragma once

#include <cstdint>

// What a frame is drawn with besides the scene: clipping distances, background, the two
// materials, the light and the field of view, holding the values a new view starts with. The
// window's view carries them as its own members; a snapshot without a window uses a fresh set,
// so both draw alike.
class CViewSettings
{
public:
    virtual ~CViewSettings() = default;

    float m_fFarPlane = 800.0f;
    float m_fNearPlane = 1.0f;
    uint32_t m_crBackground = 0; // 0x00BBGGRR
    // Back faces red, front faces blue: the inside of an open mesh shows red.
    float m_fInnerAmbient[3] = {0.7f, 0.0f, 0.0f};
    float m_fInnerDiffuse[3] = {0.7f, 0.0f, 0.0f};
    float m_fInnerSpecular[3] = {0.7f, 0.7f, 0.7f};
    float m_fOuterAmbient[3] = {0.0f, 0.0f, 0.7f};
    float m_fOuterDiffuse[3] = {0.0f, 0.0f, 0.7f};
    float m_fOuterSpecular[3] = {0.7f, 0.7f, 0.7f};
    float m_fLightAmbient[3] = {0.3f, 0.3f, 0.3f};
    float m_fLightDiffuse[3] = {1.0f, 1.0f, 1.0f};
    float m_fLightSpecular[3] = {1.0f, 1.0f, 1.0f};
    // w = 1: a point light; w = 0: a directional one.
    float m_fLightPosition[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    float m_fInnerShininess = 50.0f;
    float m_fOuterShininess = 50.0f;
    // True: the light's position is in eye coordinates and moves with the camera.
    bool m_bLightRelToView = true;
    float m_fFovY = 45.0f; // degrees, vertical
    // A parallel projection instead of the perspective one; it shows m_dOrthoHalfHeight world
    // units above and below the view's centre, whatever the depth.
    bool m_bOrthographic = false;
    double m_dOrthoHalfHeight = 1.0;
};
