#pragma once

#include "gui/dialogs/ExchangeDialog.h"

// "Record Animation": the size in pixels of the frames (1 to MAX_SNAPSHOT_SIDE a side), the
// frames a second (1 to MAX_ANIMATION_FPS) and the range in seconds that the recording covers.
class CRecordAnimationDlg : public CExchangeDialog
{
    Q_OBJECT

public:
    explicit CRecordAnimationDlg(QWidget* pParent = nullptr);

    int32_t m_nWidth = 1;
    int32_t m_nHeight = 1;
    int32_t m_nFps = 25;
    float m_fFrom = 0.0f;
    float m_fTo = 0.0f;
};
