#pragma once

#include <cstdint>
#include <streambuf>

// An output stream buffer over a file descriptor that it does not own. A write that fails is
// remembered (Failed) and makes the stream bad at once, so the writers' checks of the stream see
// it; writes cut short by a signal or a partial write are carried on.
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
    // Bytes handed to the stream so far, written or still buffered.
    uint64_t Size() const { return m_nWritten + static_cast<uint64_t>(pptr() - pbase()); }

    // Writes [p, p + nBytes) to fd whole; false on the first error.
    static bool WriteAll(int fd, const char* p, size_t nBytes);

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* p, std::streamsize nBytes) override;
    int sync() override { return FlushBuffer() ? 0 : -1; }

private:
    bool FlushBuffer();
    bool Write(const char* p, size_t nBytes);

    int m_fd = -1;
    bool m_bFailed = false;
    int m_nError = 0;
    uint64_t m_nWritten = 0;
    char m_buffer[1 << 14];
};
