#include "formats/FileKind.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>


namespace
{
// Binary STL data announces its facets, and text never holds a NUL byte among its first bytes.
constexpr size_t STL_NUL_WINDOW = 256;

std::string LowerExtension(const std::string& strPath)
{
    const size_t nDot = strPath.find_last_of('.');
    const size_t nSlash = strPath.find_last_of('/');
    if (nDot == std::string::npos || (nSlash != std::string::npos && nDot < nSlash))
        return std::string();
    std::string strExt = strPath.substr(nDot);
    std::transform(strExt.begin(), strExt.end(), strExt.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return strExt;
}

bool IsBinarySTLBySize(std::string_view head, uint64_t nSize)
{
    if (head.size() < 84)
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(head.data() + 80);
    const uint64_t nCount = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint64_t>(p[3]) << 24);
    return nSize == 84 + 50 * nCount;
}

bool HasNulByte(std::string_view head)
{
    return head.substr(0, STL_NUL_WINDOW).find('\0') != std::string_view::npos;
}

// The ASCII reader looks at the whole first line, so this test does too (as far as head goes).
bool FirstLineHasSolid(std::string_view head)
{
    std::string strLine(head.substr(0, head.find('\n')));
    std::transform(strLine.begin(), strLine.end(), strLine.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return strLine.find("solid") != std::string::npos;
}

// Where the first word starts, past white space and whole '#' comment lines; npos when head
// ends first.
size_t FirstWordStart(std::string_view head)
{
    size_t n = 0;
    for (;;)
    {
        while (n < head.size() && std::isspace(static_cast<unsigned char>(head[n])))
            ++n;
        if (n >= head.size())
            return std::string_view::npos;
        if (head[n] != '#')
            return n;
        n = head.find('\n', n);
        if (n == std::string_view::npos)
            return n;
    }
}

// The letters that start the first word.
std::string_view FirstWordLetters(std::string_view head)
{
    const size_t n = FirstWordStart(head);
    if (n == std::string_view::npos)
        return std::string_view();
    size_t nEnd = n;
    while (nEnd < head.size() && std::isalpha(static_cast<unsigned char>(head[nEnd])))
        ++nEnd;
    return head.substr(n, nEnd - n);
}

bool IsOFFKeyword(std::string_view word)
{
    for (const char* pszKeyword : {"OFF", "NOFF", "COFF", "STOFF", "STNOFF", "STCOFF", "STCNOFF"})
        if (word == pszKeyword)
            return true;
    return false;
}
} // namespace

bool StartsWithOFFKeyword(std::string_view head)
{
    return IsOFFKeyword(FirstWordLetters(head));
}

bool HeadShowsFirstWord(std::string_view head)
{
    return FirstWordStart(head) != std::string_view::npos;
}

int InputKindOfContent(std::string_view head, uint64_t nSize, const std::string& strName)
{
    // Binary data comes first: its header may hold any text, "OFF" included.
    if (IsBinarySTLBySize(head, nSize) || HasNulByte(head))
        return INPUT_STL;
    const std::string_view word = FirstWordLetters(head);
    if (IsOFFKeyword(word))
        return INPUT_OFF;
    if (word == "SCENE")
        return INPUT_SCENE;
    if (FirstLineHasSolid(head))
        return INPUT_STL;
    const std::string strExt = LowerExtension(strName);
    if (strExt == ".stl")
        return INPUT_STL;
    if (strExt == ".scn")
        return INPUT_SCENE;
    return INPUT_OFF;
}

namespace
{
// The first bytes and the size of a regular file, read without waiting on a FIFO's writer.
bool ReadHead(const std::string& strPath, std::string& head, uint64_t& nSize)
{
    const int fd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st;
    bool bOk = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (bOk)
    {
        nSize = static_cast<uint64_t>(st.st_size);
        head.resize(INPUT_HEAD_SIZE);
        size_t nRead = 0;
        while (nRead < head.size())
        {
            const ssize_t n =
                ::pread(fd, head.data() + nRead, head.size() - nRead, static_cast<off_t>(nRead));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
            {
                bOk = n == 0;
                break;
            }
            nRead += static_cast<size_t>(n);
        }
        head.resize(nRead);
    }
    ::close(fd);
    return bOk;
}
} // namespace

int InputKind(const std::string& strPath)
{
    std::string head;
    uint64_t nSize = 0;
    return ReadHead(strPath, head, nSize) ? InputKindOfContent(head, nSize, strPath) : INPUT_NONE;
}

int DetectSTLModeOfContent(std::string_view head, uint64_t nSize)
{
    if (IsBinarySTLBySize(head, nSize) || HasNulByte(head))
        return STL_BINARY;
    return FirstLineHasSolid(head) ? STL_ASCII : STL_BINARY;
}

int DetectSTLMode(const std::string& strPath)
{
    std::string head;
    uint64_t nSize = 0;
    return ReadHead(strPath, head, nSize) ? DetectSTLModeOfContent(head, nSize) : -1;
}
