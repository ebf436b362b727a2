#include "platform/Document.h"

#include "platform/ArchiveException.h"
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

CDocument::CDocument() : m_strTitle("Untitled"), m_pUi(&DefaultUi()) {}

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

void CDocument::SetPathName(const std::string& strPath)
{
    m_strPathName = strPath;
    m_strTitle = FileNameOfPath(strPath);
}

std::string CDocument::OpenFailedMessage(const std::string& strPath)
{
    return "Unable to read " + FileNameOfPath(strPath) + ": unexpected file format.";
}
