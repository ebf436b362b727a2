#pragma once

#include "gui/dialogs/ExchangeDialog.h"

// "Image Size": the width and height in pixels of a picture drawn at a size of its own, each a
// whole number from 1 to MAX_SNAPSHOT_SIDE.
class CImageSizeDlg : public CExchangeDialog
{
    Q_OBJECT

public:
    explicit CImageSizeDlg(QWidget* pParent = nullptr);

    int32_t m_nWidth = 1;
    int32_t m_nHeight = 1;
};
