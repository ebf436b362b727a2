#pragma once

#include <QFileSystemWatcher>
#include <QString>

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QTimer;

// Watches files on disk and reports a change of one once it has settled: the file changed and
// then stayed as it is for the settle time (each further change starts the time again), and it
// is not what was read from it last (MarkRead). A file replaced by a rename, as editors and
// generators save, is followed to the new file, and one that is deleted and written again is
// noticed when it appears: the folder of each file is watched as well.
class CFileChangeWatch
{
public:
    using FnSettled = std::function<void(const std::string& strPath)>;

    CFileChangeWatch(int nSettleMs, FnSettled fnSettled);
    ~CFileChangeWatch();
    CFileChangeWatch(const CFileChangeWatch&) = delete;
    CFileChangeWatch& operator=(const CFileChangeWatch&) = delete;

    // Watches exactly these paths, reported as given here. A path watched already keeps the
    // change it waits to report; a new one counts as read as it is now.
    void SetPaths(const std::vector<std::string>& paths);
    // The file as it is now is what the program has (it is about to be read, or was just
    // written): a settled change is reported only when it differs from this.
    void MarkRead(const std::string& strPath);
    // Looks at the file again after the settle time, for a change that could not be taken yet.
    void Postpone(const std::string& strPath);

private:
    // What tells one state of a file from the next.
    struct SStamp
    {
        bool bExists = false;
        dev_t nDevice = 0;
        ino_t nInode = 0;
        int64_t nSize = 0;
        timespec tModified = {};
        bool operator==(const SStamp& other) const;
    };
    struct SEntry
    {
        std::string strGiven;
        QString strFolder;
        SStamp seen; // when the watch last looked
        SStamp read; // what the program has
        ino_t nWatchedInode = 0;
        std::unique_ptr<QTimer> pTimer;
    };

    static SStamp StampOf(const QString& strPath);
    static QString AbsolutePath(const std::string& strPath);
    void OnFileChanged(const QString& strPath);
    void OnFolderChanged(const QString& strFolder);
    void OnSettled(const QString& strPath);
    // The file's state is looked at again, its watch follows it to the file now at the path,
    // and the settle time starts again.
    void Changed(const QString& strPath, SEntry& entry);
    void WatchFolders();

    int m_nSettleMs;
    FnSettled m_fnSettled;
    QFileSystemWatcher m_watcher;
    std::map<QString, SEntry> m_entries; // by absolute path
};
