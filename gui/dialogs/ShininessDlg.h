#pragma once

#include "gui/dialogs/ExchangeDialog.h"

// "Manually Set Shininess": one shininess exponent, 0.0 to 128.0.
class CShininessDlg : public CExchangeDialog
{
    Q_OBJECT

public:
    explicit CShininessDlg(QWidget* pParent = nullptr);

    float m_fShininess = 0.0f;
};
