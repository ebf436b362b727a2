#include "formats/FileHead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace
{
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
} // namespace

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

bool HeadShowsFirstWord(std::string_view head)
{
    return FirstWordStart(head) != std::string_view::npos;
}

bool FirstLineContains(std::string_view head, std::string_view lower)
{
    std::string strLine(head.substr(0, head.find('\n')));
    std::transform(strLine.begin(), strLine.end(), strLine.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return strLine.find(lower) != std::string::npos;
}

bool HeadHasNulByte(std::string_view head)
{
    return head.substr(0, 256).find('\0') != std::string_view::npos;
}

bool ReadFileHead(const std::string& strPath, std::string& head, uint64_t& nSize)
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
    const int nError = errno;
    ::close(fd);
    errno = nError;
    return bOk;
}
