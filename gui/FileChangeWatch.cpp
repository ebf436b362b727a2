#include "gui/FileChangeWatch.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <sys/stat.h>

#include <set>

bool CFileChangeWatch::SStamp::operator==(const SStamp& other) const
{
    return bExists == other.bExists && nDevice == other.nDevice && nInode == other.nInode &&
           nSize == other.nSize && tModified.tv_sec == other.tModified.tv_sec &&
           tModified.tv_nsec == other.tModified.tv_nsec;
}

CFileChangeWatch::CFileChangeWatch(int nSettleMs, FnSettled fnSettled)
    : m_nSettleMs(nSettleMs), m_fnSettled(std::move(fnSettled))
{
    QObject::connect(&m_watcher, &QFileSystemWatcher::fileChanged, &m_watcher,
                     [this](const QString& strPath) { OnFileChanged(strPath); });
    QObject::connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_watcher,
                     [this](const QString& strFolder) { OnFolderChanged(strFolder); });
}

CFileChangeWatch::~CFileChangeWatch() = default;

CFileChangeWatch::SStamp CFileChangeWatch::StampOf(const QString& strPath)
{
    SStamp stamp;
    struct stat info = {};
    if (::stat(QFile::encodeName(strPath).constData(), &info) != 0)
        return stamp;
    stamp.bExists = true;
    stamp.nDevice = info.st_dev;
    stamp.nInode = info.st_ino;
    stamp.nSize = static_cast<int64_t>(info.st_size);
    stamp.tModified = info.st_mtim;
    return stamp;
}

QString CFileChangeWatch::AbsolutePath(const std::string& strPath)
{
    return QFileInfo(QString::fromStdString(strPath)).absoluteFilePath();
}

void CFileChangeWatch::SetPaths(const std::vector<std::string>& paths)
{
    std::set<QString> wanted;
    for (const std::string& strPath : paths)
    {
        const QString strAbsolute = AbsolutePath(strPath);
        wanted.insert(strAbsolute);
        if (m_entries.count(strAbsolute) != 0)
            continue;
        SEntry& entry = m_entries[strAbsolute];
        entry.strGiven = strPath;
        entry.strFolder = QFileInfo(strAbsolute).absolutePath();
        entry.read = entry.seen = StampOf(strAbsolute);
        entry.pTimer = std::make_unique<QTimer>();
        entry.pTimer->setSingleShot(true);
        QObject::connect(entry.pTimer.get(), &QTimer::timeout, &m_watcher,
                         [this, strAbsolute] { OnSettled(strAbsolute); });
        if (entry.seen.bExists && m_watcher.addPath(strAbsolute))
            entry.nWatchedInode = entry.seen.nInode;
    }
    for (auto it = m_entries.begin(); it != m_entries.end();)
    {
        if (wanted.count(it->first) != 0)
        {
            ++it;
            continue;
        }
        if (m_watcher.files().contains(it->first))
            m_watcher.removePath(it->first);
        it = m_entries.erase(it);
    }
    WatchFolders();
}

void CFileChangeWatch::WatchFolders()
{
    std::set<QString> folders;
    for (const auto& [strPath, entry] : m_entries)
        folders.insert(entry.strFolder);
    const QStringList watched = m_watcher.directories();
    for (const QString& strFolder : watched)
        if (folders.count(strFolder) == 0)
            m_watcher.removePath(strFolder);
    for (const QString& strFolder : folders)
        if (!watched.contains(strFolder) && QFileInfo(strFolder).isDir())
            m_watcher.addPath(strFolder);
}

void CFileChangeWatch::MarkRead(const std::string& strPath)
{
    const auto it = m_entries.find(AbsolutePath(strPath));
    if (it != m_entries.end())
        it->second.read = it->second.seen = StampOf(it->first);
}

void CFileChangeWatch::Postpone(const std::string& strPath)
{
    const auto it = m_entries.find(AbsolutePath(strPath));
    if (it != m_entries.end())
        it->second.pTimer->start(m_nSettleMs);
}

void CFileChangeWatch::Changed(const QString& strPath, SEntry& entry)
{
    entry.seen = StampOf(strPath);
    // On Linux a watch belongs to the file, not to its name: after a rename over it, or a
    // delete, it has to be set again on whatever file now has the name.
    const bool bWatched = m_watcher.files().contains(strPath);
    if (entry.seen.bExists && (!bWatched || entry.nWatchedInode != entry.seen.nInode))
    {
        if (bWatched)
            m_watcher.removePath(strPath);
        if (m_watcher.addPath(strPath))
            entry.nWatchedInode = entry.seen.nInode;
    }
    entry.pTimer->start(m_nSettleMs);
}

void CFileChangeWatch::OnFileChanged(const QString& strPath)
{
    const auto it = m_entries.find(strPath);
    if (it != m_entries.end())
        Changed(it->first, it->second);
}

void CFileChangeWatch::OnFolderChanged(const QString& strFolder)
{
    // Any file of the folder may have come or gone: only the watched ones that look different
    // count, so that other files written beside them do not hold their reports back.
    for (auto& [strPath, entry] : m_entries)
        if (entry.strFolder == strFolder && !(StampOf(strPath) == entry.seen))
            Changed(strPath, entry);
}

void CFileChangeWatch::OnSettled(const QString& strPath)
{
    const auto it = m_entries.find(strPath);
    if (it == m_entries.end())
        return;
    SEntry& entry = it->second;
    if (!(StampOf(strPath) == entry.seen))
    {
        // Changed again without a word from the system: not settled yet.
        Changed(strPath, entry);
        return;
    }
    if (entry.seen == entry.read)
        return;
    // The report may change the paths watched, and this entry with them.
    const std::string strGiven = entry.strGiven;
    m_fnSettled(strGiven);
}
