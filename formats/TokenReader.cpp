#include "formats/TokenReader.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>

namespace
{
template <typename T>
bool ParseInteger(std::string_view token, T& value)
{
    const char* pBegin = token.data();
    const char* pEnd = pBegin + token.size();
    if (pBegin != pEnd && *pBegin == '+')
        ++pBegin;
    const auto res = std::from_chars(pBegin, pEnd, value);
    return res.ec == std::errc() && res.ptr == pEnd;
}
} // namespace

void CTokenReader::SkipSpace()
{
    while (m_nPos < m_buffer.size() && IsSpace(m_buffer[m_nPos]))
        ++m_nPos;
}

bool CTokenReader::NextToken(std::string_view& token)
{
    SkipSpace();
    const size_t nStart = m_nPos;
    while (m_nPos < m_buffer.size() && !IsSpace(m_buffer[m_nPos]))
        ++m_nPos;
    token = m_buffer.substr(nStart, m_nPos - nStart);
    return m_nPos > nStart;
}

bool CTokenReader::NextInt(int32_t& nValue)
{
    std::string_view token;
    return NextToken(token) && ParseInteger(token, nValue);
}

bool CTokenReader::NextInt64(int64_t& nValue)
{
    std::string_view token;
    return NextToken(token) && ParseInteger(token, nValue);
}

bool CTokenReader::NextDouble(double& dValue)
{
    std::string_view token;
    if (!NextToken(token))
        return false;
    const char* pBegin = token.data();
    const char* pEnd = pBegin + token.size();
    if (*pBegin == '+')
        ++pBegin;
    const auto res = std::from_chars(pBegin, pEnd, dValue);
    return res.ec == std::errc() && res.ptr == pEnd && std::isfinite(dValue);
}

void CTokenReader::SkipRestOfLine()
{
    while (m_nPos < m_buffer.size() && m_buffer[m_nPos] != '\n')
        ++m_nPos;
    if (m_nPos < m_buffer.size())
        ++m_nPos;
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

bool CTokenReader::AtEnd()
{
    SkipSpace();
    return m_nPos >= m_buffer.size();
}

bool ReadWholeFile(const std::string& strPath, std::string& contents)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(strPath.c_str(), "rb"), &std::fclose);
    if (!file)
        return false;
    contents.clear();
    if (std::fseek(file.get(), 0, SEEK_END) == 0)
    {
        const long nSize = std::ftell(file.get());
        if (nSize > 0)
            contents.reserve(static_cast<size_t>(nSize));
        std::rewind(file.get());
    }
    char buf[1 << 16];
    size_t nRead;
    while ((nRead = std::fread(buf, 1, sizeof buf, file.get())) > 0)
        contents.append(buf, nRead);
    return std::ferror(file.get()) == 0;
}
