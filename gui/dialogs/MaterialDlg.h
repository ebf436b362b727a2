#pragma once

#include <cstdint>

#include "gui/dialogs/ExchangeDialog.h"

// "Surface and Lighting Properties": the outer (front) and inner (back) materials, the light's
// colours, position and kind. Colours are 0x00BBGGRR, shown as swatches that open the colour
// dialog; each shininess has a slider (0 to 1280, tenths) and a "Set" button for typing it.
// The colours and shininess values are in the members as soon as they change; OK adds the
// light position and the two choices.
class CMaterialDlg : public CExchangeDialog
{
    Q_OBJECT

public:
    explicit CMaterialDlg(QWidget* pParent = nullptr);

    // Fills the swatch control nID with the colour.
    void SetSwatch(uint32_t crColor, int nID);
    // The colour dialog over this one, starting at crColor: the chosen colour (shown on the
    // swatch), or crColor when cancelled.
    uint32_t PickColor(uint32_t crColor, int nID);
    // Every swatch from its member, each slider from its shininess.
    void UpdateControls();

    uint32_t m_crInnerAmbient = 0;
    uint32_t m_crInnerDiffuse = 0;
    uint32_t m_crInnerSpecular = 0;
    uint32_t m_crOuterAmbient = 0;
    uint32_t m_crOuterDiffuse = 0;
    uint32_t m_crOuterSpecular = 0;
    uint32_t m_crLightAmbient = 0;
    uint32_t m_crLightDiffuse = 0;
    uint32_t m_crLightSpecular = 0;
    float m_fInnerShininess = 0.0f;
    float m_fOuterShininess = 0.0f;
    float m_fLightX = 0.0f;
    float m_fLightY = 0.0f;
    float m_fLightZ = 0.0f;
    // 0 View, 1 World.
    int32_t m_nRelativeTo = -1;
    // 0 Point Light, 1 Directional Light.
    int32_t m_nLightType = -1;

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    void OnSwatch(int nID);
    void OnSetShininess(float& fShininess, int nSliderID);
    void OnResetDefaults();
};
