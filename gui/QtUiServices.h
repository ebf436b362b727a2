#pragma once

#include <QString>

#include "platform/UiServices.h"

class QWidget;

// The user-interface services on Qt: message boxes, the wait cursor, QFileDialog and
// QColorDialog, each modal over the main window.
class CQtUiServices : public CUiServices
{
public:
    // The window that owns the dialogs (may be set later, once the frame exists).
    void SetParentWindow(QWidget* pParent) { m_pParent = pParent; }

    int MessageBox(const std::string& strText, unsigned nType = MB_OK,
                   const std::string& strCaption = std::string()) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    bool RunFileDialog(const SFileDialogRequest& request, std::string& strPath) override;
    // pOwner, when given, is the QWidget the dialog stays above.
    bool ChooseColor(uint32_t& crColor, void* pOwner) override;

    // "Name (*.x)|*.x|All Files (*.*)|*.*||" becomes "Name (*.x);;All Files (*)". "*.*" means
    // every file, which on Linux is "*" (many names have no dot).
    static QString ToQtFilter(const std::string& strFilter);

private:
    QWidget* m_pParent = nullptr;
};
