#include "formats/TokenReader.h"

#include "formats/InputFile.h"
#include "platform/HugePages.h"
#include "platform/Prefaulter.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>

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

int CTokenReader::CountTokensOnLine(bool* pbLineEnds)
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
    if (pbLineEnds != nullptr)
        *pbLineEnds = m_nPos < m_buffer.size();
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
// A file that must be checked as it comes is read in pieces of this size.
constexpr size_t CHECKED_PIECE = size_t(4) << 20;

bool ReadOpenFile(const CInputFile& file, std::string& contents, SReadLimits& limits)
{
    // A regular file goes straight into the string, in one read where nothing need be checked on
    // the way; a pipe is read in pieces until its end.
    size_t nSize = contents.size();
    const size_t nStart = nSize;
    // The room for a big file is faulted in from its end while the reads fill it from the start.
    CPrefaulter prefault;
    if (file.IsRegular() && file.Size() > 0)
    {
        const uint64_t nWanted = std::min<uint64_t>(file.Size(), limits.nMaxBytes);
        ReserveHuge(contents, nStart + static_cast<size_t>(nWanted));
        prefault.Start({{contents.data() + nStart, static_cast<size_t>(nWanted)}});
        if (!limits.bStopAtNul)
            contents.resize(nStart + static_cast<size_t>(nWanted));
    }
    bool bOk = true;
    for (;;)
    {
        // Past the expected size (a pipe, or a file that grew) the data arrives through a buffer.
        char probe[65536];
        const bool bInPlace = nSize < contents.size();
        char* pDest = bInPlace ? contents.data() + nSize : probe;
        size_t nRoom = bInPlace ? contents.size() - nSize : sizeof probe;
        if (limits.bStopAtNul && !bInPlace && contents.capacity() - nSize >= CHECKED_PIECE)
        {
            // Reserved room is used a piece at a time, each checked before the next is read.
            contents.resize(nSize + CHECKED_PIECE);
            pDest = contents.data() + nSize;
            nRoom = CHECKED_PIECE;
        }
        // What comes through the buffer may move the string.
        if (pDest == probe)
            prefault.Stop();
        const ssize_t nRead = ::read(file.Fd(), pDest, nRoom);
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead < 0)
            bOk = false;
        if (nRead <= 0)
            break;
        if (pDest == probe)
            contents.append(probe, static_cast<size_t>(nRead));
        const size_t nBefore = nSize;
        nSize += static_cast<size_t>(nRead);
        if (limits.bStopAtNul)
            if (const void* pNul = std::memchr(contents.data() + nBefore, '\0', nSize - nBefore))
            {
                nSize = static_cast<size_t>(static_cast<const char*>(pNul) - contents.data());
                limits.bStoppedAtNul = true;
                break;
            }
        if (nSize - nStart > limits.nMaxBytes)
        {
            limits.bOverLimit = true;
            bOk = false;
            break;
        }
    }
    contents.resize(nSize);
    return bOk;
}
} // namespace

bool ReadRestOfFile(const CInputFile& file, std::string& contents, SReadLimits* pLimits)
{
    SReadLimits limits;
    SReadLimits& used = pLimits != nullptr ? *pLimits : limits;
    try
    {
        return ReadOpenFile(file, contents, used);
    }
    catch (const std::exception&)
    {
        // A pipe that delivers more than memory holds.
        contents.clear();
        return false;
    }
}

bool ReadWholeFile(const std::string& strPath, std::string& contents, SReadLimits* pLimits)
{
    contents.clear();
    CInputFile file;
    if (!file.Open(strPath))
        return false;
    return ReadRestOfFile(file, contents, pLimits);
}
