#include "export/PictureSequence.h"

#include <unistd.h>

#include <charconv>

#include "export/Dib.h"
#include "export/PictureFile.h"

bool CPictureSequence::FindPlaceholder(const std::string& strPattern, size_t& nAt, size_t& nLength)
{
    // Folders are taken as they stand: only the file's own name is a pattern.
    const size_t nSlash = strPattern.find_last_of('/');
    const size_t nName = nSlash == std::string::npos ? 0 : nSlash + 1;
    nAt = strPattern.find('%', nName);
    if (nAt == std::string::npos || strPattern.find('%', nAt + 1) != std::string::npos)
        return false;
    for (const char* pszForm : {"%d", "%04d"})
        if (strPattern.compare(nAt, std::char_traits<char>::length(pszForm), pszForm) == 0)
        {
            nLength = std::char_traits<char>::length(pszForm);
            return true;
        }
    return false;
}

CPictureSequence::CPictureSequence(const std::string& strPattern, int nKind)
    : m_strPattern(strPattern), m_nKind(nKind)
{
    FindPlaceholder(m_strPattern, m_nAt, m_nLength);
}

CPictureSequence::~CPictureSequence()
{
    if (!m_bFinished)
        for (const std::string& strName : m_written)
            unlink(strName.c_str());
}

std::string CPictureSequence::FileOfFrame(int64_t nFrame) const
{
    char digits[24];
    const auto [pEnd, ec] = std::to_chars(digits, digits + sizeof digits, nFrame);
    std::string strNumber(digits, static_cast<size_t>(pEnd - digits));
    if (m_nLength == 4 && strNumber.size() < 4)
        strNumber.insert(0, 4 - strNumber.size(), '0');
    return m_strPattern.substr(0, m_nAt) + strNumber + m_strPattern.substr(m_nAt + m_nLength);
}

bool CPictureSequence::WriteFrame(const CDib& dib)
{
    if (m_bFailed || m_bFinished)
        return false;
    const std::string strName = FileOfFrame(static_cast<int64_t>(m_written.size()));
    const CImageWriteResult result = WritePictureFile(m_nKind, strName, dib);
    if (!result.m_bOk)
    {
        // The writers' texts name the file and the reason; the caption says which library.
        m_strError =
            result.m_strCaption.empty() ? result.m_strText : result.m_strCaption + "\n" + result.m_strText;
        m_bFailed = true;
        return false;
    }
    m_written.push_back(strName);
    return true;
}

bool CPictureSequence::Finish()
{
    m_bFinished = !m_bFailed;
    return m_bFinished;
}
