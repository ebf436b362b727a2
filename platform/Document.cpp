#include "platform/Document.h"

#include <unistd.h>

#include "platform/ArchiveException.h"
#include "platform/CommandIds.h"
#include "platform/FileName.h"
#include "platform/ScriptedUiServices.h"

namespace
{
// Until the application installs its own, messages are only recorded.
CUiServices& DefaultUi()
{
    static CScriptedUiServices s_ui;
    return s_ui;
}
} // namespace

CDocument::CDocument() : m_strTitle("Untitled"), m_pUi(&DefaultUi())
{
    OnCommand(ID_FILE_SAVE, [this] { DoFileSave(); });
    OnCommand(ID_FILE_SAVE_AS, [this] { DoSave(std::string()); });
}

bool CDocument::OnNewDocument()
{
    DeleteContents();
    m_strPathName.clear();
    m_strTitle = "Untitled";
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnOpenDocument(const std::string& strPath)
{
    DeleteContents();
    try
    {
        CArchive ar(strPath, CArchive::load);
        Serialize(ar);
    }
    catch (const CArchiveException&)
    {
        Ui().MessageBox(OpenFailedMessage(strPath), MB_OK | MB_ICONWARNING);
        return false;
    }
    SetPathName(strPath);
    SetModifiedFlag(false);
    return true;
}

void CDocument::SetPathName(const std::string& strPath, bool bAddToRecent)
{
    m_strPathName = strPath;
    m_strTitle = FileNameOfPath(strPath);
    if (bAddToRecent && m_fnAddToRecentFileList)
        m_fnAddToRecentFileList(strPath);
}

bool CDocument::DoFileSave()
{
    // A path that is gone or cannot be written is saved under a new name instead.
    if (m_strPathName.empty() || access(m_strPathName.c_str(), W_OK) != 0)
        return DoSave(std::string());
    return DoSave(m_strPathName);
}

bool CDocument::DoSave(const std::string& strPath, bool bReplace)
{
    std::string strNewName = strPath;
    if (strNewName.empty())
    {
        SFileDialogRequest request;
        request.bOpen = false;
        request.strTitle = "Save As";
        request.strInitialName = m_strPathName.empty() ? m_strTitle : m_strPathName;
        request.strFilter = "All Files (*.*)|*.*||";
        request.bOverwritePrompt = true;
        if (!Ui().RunFileDialog(request, strNewName) || strNewName.empty())
            return false;
    }
    if (!OnSaveDocument(strNewName))
        return false;
    if (bReplace)
        SetPathName(strNewName);
    return true;
}

std::string CDocument::OpenFailedMessage(const std::string& strPath)
{
    return "Unable to read " + FileNameOfPath(strPath) + ": unexpected file format.";
}
