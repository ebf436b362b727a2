#pragma once

#include <sys/types.h>

#include <ostream>
#include <string>

#include "platform/FdStreamBuf.h"

// Writes a file so that a failure never destroys what was there, and writes to the file the user
// named instead of replacing whatever stands at that path:
// - A symbolic link is followed (link by link, a relative one from its own folder) and its final
//   target is written; the link stays a link. A dangling link creates its target.
// - A regular file, or a new one, is written to a temporary file in its folder, which takes the
//   old file's mode and, where permitted, its owner and group, is synced, and then takes the
//   file's place. Where the file system offers them (O_TMPFILE) the temporary file has no name
//   while it is written: Commit links it to the target's name when there is no file yet, else to
//   a temporary name that at once replaces the file by rename. Elsewhere it is a named file
//   ".NAME.XXXXXX" beside the target, renamed over it. A file with other hard links is written
//   the same way, then copied into the old file, so that every name of it sees the new contents.
// - Anything that is not a regular file (a device, a FIFO) is written directly. A FIFO that
//   nobody reads fails at once instead of waiting for a reader.
// - Where no temporary file can be made beside the target (its folder is not writable, or the
//   temporary name would be too long), a writable target is written directly and cut to the new
//   length at Commit; only then can a failed write leave it damaged.
// - An existing file that may not be written is refused, as an editor would.
// Every failure is reported through IsOpen or Commit, and no temporary file stays behind: not
// after a failure, and not when the process is interrupted (see CleanUpOnInterrupt). An unnamed
// temporary file is not left even by a process killed outright (SIGKILL).
class CSafeFileWriter
{
public:
    explicit CSafeFileWriter(const std::string& strPath);
    ~CSafeFileWriter();
    CSafeFileWriter(const CSafeFileWriter&) = delete;
    CSafeFileWriter& operator=(const CSafeFileWriter&) = delete;

    // False when the target cannot be written (no such folder, no permission, a FIFO without a
    // reader, a folder, a loop of links).
    bool IsOpen() const { return m_fd >= 0; }
    // Text written here is not touched by the global locale.
    std::ostream& Stream() { return m_stream; }
    // Flushes, syncs and puts the data in place. False on any write error; the target is then
    // left as it was (except where it is written directly) and the temporary file removed.
    bool Commit();
    // Why the target could not be opened, written or the data put in place, in the system's
    // words ("No such file or directory", "Too many levels of symbolic links"), after IsOpen,
    // the stream or Commit failed.
    std::string ErrorText() const;

    // Installs handlers for SIGINT, SIGTERM and SIGHUP (unless the signal is ignored) that delete
    // the temporary files of every writer still open, then end the process as the signal would
    // have.
    static void CleanUpOnInterrupt();
    // Whether writers opened from now on may use unnamed temporary files (they may unless this
    // turns them off): off, every temporary file is named from the start, as on file systems
    // without them.
    static void AllowUnnamedTemporaries(bool bAllow);

private:
    enum EMode
    {
        MODE_RENAME,      // temporary file renamed over the target
        MODE_COPY,        // temporary file copied into the hard-linked target
        MODE_DIRECT,      // the target itself, a regular file: cut to length at Commit
        MODE_DIRECT_OTHER // the target itself, a device or FIFO
    };

    // Follows the links and opens the target or a temporary file beside it; errno says why not.
    void Open();
    bool OpenTemporary(const struct stat* pOld);
    void OpenDirect();
    bool Finish();
    // Links the finished unnamed file to the target's name (bNamedTarget) or, when a file is
    // there, to a temporary name (m_strTempPath) for the rename.
    bool NameUnnamedFile(bool& bNamedTarget);
    void Discard();

    std::string m_strTarget;
    std::string m_strTempPath;
    int m_nSlot = -1;
    int m_fd = -1;
    int m_nError = 0; // errno of the step that failed
    bool m_bUnnamed = false;
    EMode m_nMode = MODE_RENAME;
    CFdStreamBuf m_buffer;
    std::ostream m_stream{&m_buffer};
};
