#pragma once

#include <string>

#include "gui/dialogs/ExchangeDialog.h"

// "Add Animation Keyframe": a position keyframe (position and direction tangent) and an
// orientation keyframe (orientation and rotation tangent, shown X, Y, Z, W) for
// the named object, each added when its box is checked, at a time in seconds (0 to 9999).
class CAddKeyframeDlg : public CExchangeDialog
{
    Q_OBJECT

public:
    explicit CAddKeyframeDlg(QWidget* pParent = nullptr);

    double m_dDirectionX = 0.0;
    double m_dDirectionY = 0.0;
    double m_dDirectionZ = 0.0;
    std::string m_strObjectName;
    bool m_bAddPosition = false;
    double m_dOrientationW = 1.0;
    double m_dOrientationX = 0.0;
    double m_dOrientationY = 0.0;
    double m_dOrientationZ = 0.0;
    double m_dPositionX = 0.0;
    double m_dPositionY = 0.0;
    double m_dPositionZ = 0.0;
    double m_dRotationW = 1.0;
    double m_dRotationX = 0.0;
    double m_dRotationY = 0.0;
    double m_dRotationZ = 0.0;
    bool m_bAddOrientation = false;
    float m_fTime = 0.0f;
};
