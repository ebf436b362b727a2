#pragma once

#include "gui/dialogs/ExchangeDialog.h"

// "Move To Time": the scene time to pose the animation at, in seconds (0 to 9999).
class CMoveToTimeDlg : public CExchangeDialog
{
    Q_OBJECT

public:
    explicit CMoveToTimeDlg(QWidget* pParent = nullptr);

    float m_fTime = 0.0f;
};
