#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A file opened for reading without ever waiting in the open: a FIFO that no program writes
// would hold open() for good, so a file is opened without blocking and judged by its type before
// anything is read. Only a regular file is taken, unless a CPipeInputPermit names the path: then
// a pipe (a FIFO, the standard input) is taken too and read as a pipe, waiting for its writer as
// `cat` does.
class CInputFile
{
public:
    CInputFile() = default;
    ~CInputFile() { Close(); }
    CInputFile(const CInputFile&) = delete;
    CInputFile& operator=(const CInputFile&) = delete;

    // False when the path cannot be opened, or is a folder, a device or a pipe without a permit.
    bool Open(const std::string& strPath);
    void Close();
    // The descriptor, for reads that block as usual; -1 when not open.
    int Fd() const { return m_fd; }
    bool IsRegular() const { return m_bRegular; }
    // A regular file's size when it was opened; 0 for a pipe.
    uint64_t Size() const { return m_nSize; }
    // Appends the next nBytes of the file to out, fewer only at its end; false on a read error.
    bool ReadUpTo(std::string& out, size_t nBytes);

private:
    int m_fd = -1;
    bool m_bRegular = false;
    uint64_t m_nSize = 0;
};

// While alive, the path may be read as a pipe, by any thread: the inputs a script names on the
// batch mode's command line. Files named inside a scene file are never read as pipes (see
// CPipeInputRefusal), so a scene cannot make the program wait.
class CPipeInputPermit
{
public:
    explicit CPipeInputPermit(std::string strPath);
    ~CPipeInputPermit();
    CPipeInputPermit(const CPipeInputPermit&) = delete;
    CPipeInputPermit& operator=(const CPipeInputPermit&) = delete;

    // True when a permit names the path and no refusal holds on this thread.
    static bool Covers(const std::string& strPath);

private:
    std::string m_strPath;
};

// While alive, no permit counts on this thread.
class CPipeInputRefusal
{
public:
    CPipeInputRefusal();
    ~CPipeInputRefusal();
    CPipeInputRefusal(const CPipeInputRefusal&) = delete;
    CPipeInputRefusal& operator=(const CPipeInputRefusal&) = delete;
};
