#pragma once

#include <cstdint>
#include <streambuf>

// An output stream buffer over a file descriptor that it does not own. A write that fails is
// remembered (Failed) and makes the stream bad at once, so the writers' checks of the stream see
// it; writes cut short by a signal or a partial write are carried on. Seeking (seekp) moves
// within what was written, for formats that fill in a header at the end; it fails where the
// descriptor cannot seek (a pipe).
class CFdStreamBuf : public std::streambuf
{
public:
    CFdStreamBuf() { setp(m_buffer, m_buffer + sizeof m_buffer); }
    CFdStreamBuf(const CFdStreamBuf&) = delete;
    CFdStreamBuf& operator=(const CFdStreamBuf&) = delete;

    void Attach(int fd) { m_fd = fd; }
    bool Failed() const { return m_bFailed; }
    // The system's error number of the failed write (0 when it gave none).
    int Error() const { return m_nError; }
    // The file's length so far: the end of what was handed to the stream, written or still
    // buffered, wherever seeking has since moved the writing.
    uint64_t Size() const;

    // Writes [p, p + nBytes) to fd whole; false on the first error.
    static bool WriteAll(int fd, const char* p, size_t nBytes);

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* p, std::streamsize nBytes) override;
    int sync() override { return FlushBuffer() ? 0 : -1; }
    pos_type seekoff(off_type nOffset, std::ios_base::seekdir nDir, std::ios_base::openmode nWhich) override;
    pos_type seekpos(pos_type nPos, std::ios_base::openmode nWhich) override;

private:
    bool FlushBuffer();
    bool Write(const char* p, size_t nBytes);

    int m_fd = -1;
    bool m_bFailed = false;
    int m_nError = 0;
    uint64_t m_nWritten = 0; // where the buffer's first byte goes in the file
    uint64_t m_nEnd = 0;     // the end of what was written before the last seek
    char m_buffer[1 << 14];
};
