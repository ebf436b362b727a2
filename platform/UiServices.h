#pragma once

#include <cstdint>
#include <string>
#include <utility>

// Message-box answers and styles.
enum
{
    IDOK = 1,
    IDCANCEL = 2,
    IDYES = 6,
    IDNO = 7
};
enum
{
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40
};

// A file dialog as the product asks for it. The filter uses the product's form:
// "Name (*.ext)|*.ext|All Files (*.*)|*.*||".
struct SFileDialogRequest
{
    bool bOpen = true;
    std::string strTitle;
    std::string strDefaultExt;
    std::string strInitialName;
    std::string strFilter;
    bool bFileMustExist = false;
    bool bOverwritePrompt = false;

    // The framework's two kinds, titled as it titles them: an open dialog that requires an
    // existing file, and a save dialog that asks before replacing one.
    static SFileDialogRequest Open(std::string strExt, std::string strName, std::string strFilter)
    {
        return {true, "Open", std::move(strExt), std::move(strName), std::move(strFilter), true, false};
    }
    static SFileDialogRequest Save(std::string strExt, std::string strName, std::string strFilter)
    {
        return {false, "Save As", std::move(strExt), std::move(strName), std::move(strFilter), false, true};
    }
};

// The user-interface services the core needs: message boxes, the wait cursor, file and colour
// dialogs. The GUI implements them with Qt; tests script them; batch mode prints messages.
class CUiServices
{
public:
    virtual ~CUiServices() = default;

    // Shows a modal message titled strCaption (empty: the program's own title); returns the
    // button pressed (IDOK for a plain message).
    virtual int MessageBox(const std::string& strText, unsigned nType = MB_OK,
                           const std::string& strCaption = std::string()) = 0;
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
    // True with the chosen path; false when the user cancelled.
    virtual bool RunFileDialog(const SFileDialogRequest& request, std::string& strPath) = 0;
    // True with the chosen 0x00BBGGRR colour; crColor holds the initial colour. pOwner is the
    // window the colour dialog belongs to and stays above (a dialog that asks for a colour), or
    // null for the main window; the core only passes it through.
    virtual bool ChooseColor(uint32_t& crColor, void* pOwner) = 0;
};

// Shows the wait cursor for the life of a scope.
class CWaitCursor
{
public:
    explicit CWaitCursor(CUiServices& ui) : m_ui(ui) { m_ui.BeginWaitCursor(); }
    ~CWaitCursor() { m_ui.EndWaitCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    CUiServices& m_ui;
};
