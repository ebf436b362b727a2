#include "formats/TokenReader.h"

#include "formats/InputFile.h"
#include "platform/HugePages.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

bool CTokenReader::IsUnderflow(const char* pBegin, const char* pEnd)
{
    // The decimal exponent of the leading digit decides: below zero the value is tiny.
    const char* p = pBegin;
    if (p != pEnd && *p == '-')
        ++p;
    int64_t nMagnitude = 0;
    bool bSeenDigit = false;
    for (; p != pEnd && *p >= '0' && *p <= '9'; ++p)
    {
        if (bSeenDigit || *p != '0')
        {
            bSeenDigit = true;
            ++nMagnitude;
        }
    }
    if (bSeenDigit)
        --nMagnitude;
    if (p != pEnd && *p == '.')
        for (++p; p != pEnd && *p >= '0' && *p <= '9'; ++p)
        {
            if (!bSeenDigit && *p == '0')
                --nMagnitude;
            else if (!bSeenDigit)
            {
                bSeenDigit = true;
                --nMagnitude;
            }
        }
    int64_t nExponent = 0;
    if (p != pEnd && (*p == 'e' || *p == 'E'))
    {
        ++p;
        bool bNegative = false;
        if (p != pEnd && (*p == '-' || *p == '+'))
            bNegative = *p++ == '-';
        for (; p != pEnd && *p >= '0' && *p <= '9'; ++p)
            if (nExponent < (int64_t(1) << 40))
                nExponent = nExponent * 10 + (*p - '0');
        if (bNegative)
            nExponent = -nExponent;
    }
    return bSeenDigit && nMagnitude + nExponent < 0;
}

void CTokenReader::SkipRestOfLine()
{
    const void* pLineEnd = std::memchr(m_buffer.data() + m_nPos, '\n', m_buffer.size() - m_nPos);
    m_nPos = pLineEnd == nullptr
                 ? m_buffer.size()
                 : static_cast<size_t>(static_cast<const char*>(pLineEnd) - m_buffer.data()) + 1;
}

std::string_view CTokenReader::NextLine()
{
    const size_t nStart = m_nPos;
    while (m_nPos < m_buffer.size() && m_buffer[m_nPos] != '\n')
        ++m_nPos;
    size_t nEnd = m_nPos;
    if (m_nPos < m_buffer.size())
        ++m_nPos;
    if (nEnd > nStart && m_buffer[nEnd - 1] == '\r')
        --nEnd;
    return m_buffer.substr(nStart, nEnd - nStart);
}

int CTokenReader::CountTokensOnLine()
{
    const size_t nSaved = m_nPos;
    SkipSpace();
    int nTokens = 0;
    while (m_nPos < m_buffer.size() && m_buffer[m_nPos] != '\n' && !IsComment(m_buffer[m_nPos]))
    {
        if (IsSpace(m_buffer[m_nPos]))
        {
            ++m_nPos;
            continue;
        }
        ++nTokens;
        while (m_nPos < m_buffer.size() && !EndsTokenAt(m_buffer[m_nPos]))
            ++m_nPos;
    }
    m_nPos = nSaved;
    return nTokens;
}

bool CTokenReader::AtEnd()
{
    SkipSpace();
    return m_nPos >= m_buffer.size();
}

namespace
{
bool ReadOpenFile(const CInputFile& file, std::string& contents)
{
    // One read straight into the string for a regular file; a pipe is read in pieces until its
    // end.
    size_t nSize = 0;
    contents.clear();
    if (file.IsRegular() && file.Size() > 0)
    {
        ReserveHuge(contents, static_cast<size_t>(file.Size()));
        contents.resize(static_cast<size_t>(file.Size()));
    }
    bool bOk = true;
    for (;;)
    {
        // Past the expected size (a pipe, or a file that grew) the data arrives through a buffer.
        char probe[65536];
        const bool bInPlace = nSize < contents.size();
        char* pDest = bInPlace ? contents.data() + nSize : probe;
        const size_t nRoom = bInPlace ? contents.size() - nSize : sizeof probe;
        const ssize_t nRead = ::read(file.Fd(), pDest, nRoom);
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead < 0)
            bOk = false;
        if (nRead <= 0)
            break;
        if (!bInPlace)
            contents.append(probe, static_cast<size_t>(nRead));
        nSize += static_cast<size_t>(nRead);
    }
    contents.resize(nSize);
    return bOk;
}
} // namespace

bool ReadWholeFile(const std::string& strPath, std::string& contents)
{
    CInputFile file;
    if (!file.Open(strPath))
        return false;
    try
    {
        return ReadOpenFile(file, contents);
    }
    catch (const std::exception&)
    {
        // A pipe that delivers more than memory holds.
        contents.clear();
        return false;
    }
}
