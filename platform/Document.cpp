#include "platform/Document.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

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
    // Reading empties the document first, so a file that is not there must not get that far.
    if (!CanOpenFile(strPath))
        return false;
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
        const SFileDialogRequest request = SFileDialogRequest::Save(
            std::string(), m_strPathName.empty() ? m_strTitle : m_strPathName, "All Files (*.*)|*.*||");
        if (!Ui().RunFileDialog(request, strNewName) || strNewName.empty())
            return false;
    }
    m_bMarkedClean = false;
    if (!OnSaveDocument(strNewName))
        return false;
    // A save that wrote nothing ("No object selected to save.") leaves the name alone, so the
    // title and the recent files never name a file that was not written.
    if (bReplace && m_bMarkedClean)
        SetPathName(strNewName);
    if (m_bMarkedClean && m_fnFileWritten)
        m_fnFileWritten(strNewName);
    return true;
}

std::string CDocument::OpenFailedMessage(const std::string& strPath)
{
    return "Unable to read " + FileNameOfPath(strPath) + ": unexpected file format.";
}

std::string CDocument::OpenProblem(const std::string& strPath)
{
    // Not blocking: opening a pipe for reading would otherwise wait for a writer.
    const int fd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::generic_category().message(errno);
    struct stat info = {};
    const int nStat = ::fstat(fd, &info);
    const int nError = errno;
    ::close(fd);
    if (nStat != 0)
        return std::generic_category().message(nError);
    if (S_ISDIR(info.st_mode))
        return std::generic_category().message(EISDIR);
    if (!S_ISREG(info.st_mode))
        return "not a regular file";
    return std::string();
}

namespace
{
std::string OpenProblemMessage(const std::string& strPath, const std::string& strProblem)
{
    return "Unable to open " + FileNameOfPath(strPath) + ": " + strProblem + ".";
}
} // namespace

bool CDocument::CanOpenFile(const std::string& strPath)
{
    const std::string strProblem = OpenProblem(strPath);
    if (strProblem.empty())
        return true;
    Ui().MessageBox(OpenProblemMessage(strPath, strProblem), MB_OK | MB_ICONWARNING);
    return false;
}

std::string CDocument::ReadFailedMessage(const std::string& strPath)
{
    const std::string strProblem = OpenProblem(strPath);
    return strProblem.empty() ? OpenFailedMessage(strPath) : OpenProblemMessage(strPath, strProblem);
}
