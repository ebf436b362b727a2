#pragma once

#include "gui/dialogs/ExchangeDialog.h"

// "Viewing Parameter Dialog": the camera as a From point, an At point, an Up vector and the
// vertical viewing angle in degrees (0.01 to 179).
class CViewParamsDlg : public CExchangeDialog
{
    Q_OBJECT

public:
    explicit CViewParamsDlg(QWidget* pParent = nullptr);

    double m_dAtX = 0.0;
    double m_dAtY = 0.0;
    double m_dAtZ = 0.0;
    double m_dFromX = 0.0;
    double m_dFromY = 0.0;
    double m_dFromZ = 0.0;
    double m_dUpX = 0.0;
    double m_dUpY = 0.0;
    double m_dUpZ = 0.0;
    double m_dAngle = 0.0;
};
