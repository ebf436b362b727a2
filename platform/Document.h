#pragma once

#include <functional>
#include <string>

#include "platform/Archive.h"
#include "platform/CmdTarget.h"
#include "platform/UiServices.h"

// The document part of the application framework: path, title, modified flag, and the open
// and save flow that hands files to Serialize and OnSaveDocument. As a command target it
// handles Save and Save As.
class CDocument : public CCmdTarget
{
public:
    CDocument();
    ~CDocument() override = default;

    virtual void Serialize(CArchive& ar) { (void)ar; }
    virtual bool IsModified() const { return m_bModified; }
    // Overrides call this one: a save is known to have written its file by the flag it clears.
    virtual void SetModifiedFlag(bool bModified = true)
    {
        m_bModified = bModified;
        if (!bModified)
            m_bMarkedClean = true;
    }
    virtual void DeleteContents() {}
    // A new, empty document: "Untitled", no path, not modified.
    virtual bool OnNewDocument();
    // Hands the path to Serialize; a load exception shows one message naming the file and
    // gives false. On success the document takes the path and the file's name as title. A file
    // that cannot be opened at all is refused first (see CanOpenFile).
    virtual bool OnOpenDocument(const std::string& strPath);
    // True when the save is done. A save that wrote the file clears the modified flag; one that
    // only said why it wrote nothing returns true without clearing it, so that no second error
    // follows and the document keeps its name.
    virtual bool OnSaveDocument(const std::string& strPath)
    {
        (void)strPath;
        return false;
    }

    const std::string& GetPathName() const { return m_strPathName; }
    // Sets the path and the title (the file name); the path joins the recent-file list.
    void SetPathName(const std::string& strPath, bool bAddToRecent = true);
    // The document has no file of its own (Save asks for a name, as Save As does); the title
    // names what it shows.
    void SetUntitled(const std::string& strTitle)
    {
        m_strPathName.clear();
        m_strTitle = strTitle;
    }
    const std::string& GetTitle() const { return m_strTitle; }
    void SetTitle(const std::string& strTitle) { m_strTitle = strTitle; }

    // Message boxes, dialogs and the wait cursor go through these services.
    void SetUiServices(CUiServices* pUi) { m_pUi = pUi; }
    CUiServices& Ui() { return *m_pUi; }

    // The message shown when an open fails.
    static std::string OpenFailedMessage(const std::string& strPath);
    // Why the file cannot be opened for reading, in the system's words ("No such file or
    // directory"); empty when it can. Only regular files pass: a folder, a pipe or a device
    // would fail or hang the read.
    static std::string OpenProblem(const std::string& strPath);
    // False, after one message naming the file and the reason, when OpenProblem finds one.
    bool CanOpenFile(const std::string& strPath);
    // Why a file could not be read, naming it: "Unable to open NAME: REASON." when it cannot be
    // opened at all, else the message of OpenFailedMessage.
    static std::string ReadFailedMessage(const std::string& strPath);

    // Save: to the document's path, or through the Save As dialog when there is none or the
    // file cannot be written. Save As: asks for a name (confirming an overwrite), saves there
    // and, when the file was written, takes the name as path and title. False when cancelled or
    // failed.
    bool DoFileSave();
    bool DoSave(const std::string& strPath, bool bReplace = true);

    // Called with every path the document takes (the application keeps its recent files).
    std::function<void(const std::string&)> m_fnAddToRecentFileList;
    // Called with the path of every file a save wrote (the application's watch of the opened
    // files then knows the change for its own).
    std::function<void(const std::string&)> m_fnFileWritten;

private:
    std::string m_strPathName;
    std::string m_strTitle;
    bool m_bModified = false;
    bool m_bMarkedClean = false;
    CUiServices* m_pUi;
};
