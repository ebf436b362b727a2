#include "platform/FdStreamBuf.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

uint64_t CFdStreamBuf::Size() const
{
    return std::max(m_nEnd, m_nWritten + static_cast<uint64_t>(pptr() - pbase()));
}

CFdStreamBuf::pos_type CFdStreamBuf::seekoff(off_type nOffset, std::ios_base::seekdir nDir,
                                             std::ios_base::openmode nWhich)
{
    const off_type nBase = nDir == std::ios_base::beg ? 0
                           : nDir == std::ios_base::end
                               ? static_cast<off_type>(Size())
                               : static_cast<off_type>(m_nWritten + (pptr() - pbase()));
    // Telling where the writing stands moves nothing.
    if (nDir == std::ios_base::cur && nOffset == 0 && (nWhich & std::ios_base::out) != 0)
        return pos_type(nBase);
    if ((nWhich & std::ios_base::out) == 0 || nOffset < -nBase || m_bFailed)
        return pos_type(off_type(-1));
    m_nEnd = Size();
    if (!FlushBuffer())
        return pos_type(off_type(-1));
    const off_type nTarget = nBase + nOffset;
    // A descriptor that cannot seek (a pipe) fails the file: what follows would land elsewhere.
    if (lseek(m_fd, static_cast<off_t>(nTarget), SEEK_SET) < 0)
    {
        m_nError = errno;
        m_bFailed = true;
        return pos_type(off_type(-1));
    }
    m_nWritten = static_cast<uint64_t>(nTarget);
    return pos_type(nTarget);
}

CFdStreamBuf::pos_type CFdStreamBuf::seekpos(pos_type nPos, std::ios_base::openmode nWhich)
{
    return seekoff(off_type(nPos), std::ios_base::beg, nWhich);
}

bool CFdStreamBuf::WriteAll(int fd, const char* p, size_t nBytes)
{
    while (nBytes > 0)
    {
        const ssize_t nDone = ::write(fd, p, nBytes);
        if (nDone < 0 && errno == EINTR)
            continue;
        if (nDone <= 0)
        {
            // A write that takes nothing gives no reason of its own.
            if (nDone == 0)
                errno = EIO;
            return false;
        }
        p += nDone;
        nBytes -= static_cast<size_t>(nDone);
    }
    return true;
}

bool CFdStreamBuf::Write(const char* p, size_t nBytes)
{
    if (m_bFailed || m_fd < 0 || !WriteAll(m_fd, p, nBytes))
    {
        if (!m_bFailed)
            m_nError = m_fd < 0 ? EBADF : errno;
        m_bFailed = true;
        return false;
    }
    m_nWritten += nBytes;
    return true;
}

bool CFdStreamBuf::FlushBuffer()
{
    const size_t nPending = static_cast<size_t>(pptr() - pbase());
    setp(m_buffer, m_buffer + sizeof m_buffer);
    return nPending == 0 || Write(m_buffer, nPending);
}

CFdStreamBuf::int_type CFdStreamBuf::overflow(int_type c)
{
    if (!FlushBuffer())
        return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

std::streamsize CFdStreamBuf::xsputn(const char* p, std::streamsize nBytes)
{
    // An empty piece may come with a null pointer, which memcpy must not see.
    if (nBytes <= 0)
        return 0;
    const size_t n = static_cast<size_t>(nBytes);
    // Small pieces gather in the buffer; large ones (the writers hand over megabytes) go straight
    // to the file.
    if (n <= static_cast<size_t>(epptr() - pptr()))
    {
        std::memcpy(pptr(), p, n);
        pbump(static_cast<int>(n));
        return nBytes;
    }
    if (!FlushBuffer() || !Write(p, n))
        return 0;
    return nBytes;
}
