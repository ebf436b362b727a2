#pragma once

#include <fstream>
#include <string>

// Writes a file so that a failure never destroys the file that was there: the data goes to a
// temporary file beside the target, which replaces the target only when every byte was written.
class CSafeFileWriter
{
public:
    explicit CSafeFileWriter(const std::string& strPath);
    ~CSafeFileWriter();
    CSafeFileWriter(const CSafeFileWriter&) = delete;
    CSafeFileWriter& operator=(const CSafeFileWriter&) = delete;

    // False when the temporary file could not be created (no such folder, no permission).
    bool IsOpen() const { return m_stream.is_open(); }
    std::ostream& Stream() { return m_stream; }
    // Flushes, closes and renames over the target. False on any write error; the temporary
    // file is then removed and the target left as it was.
    bool Commit();

private:
    std::string m_strPath;
    std::string m_strTempPath;
    std::ofstream m_stream;
    bool m_bCommitted = false;
};
