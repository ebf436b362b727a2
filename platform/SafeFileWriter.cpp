#include "platform/SafeFileWriter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <locale>
#include <vector>

CSafeFileWriter::CSafeFileWriter(const std::string& strPath) : m_strPath(strPath)
{
    const size_t nSlash = strPath.find_last_of('/');
    const std::string strDir = nSlash == std::string::npos ? std::string() : strPath.substr(0, nSlash + 1);
    const std::string strName = nSlash == std::string::npos ? strPath : strPath.substr(nSlash + 1);
    if (strName.empty())
        return;
    std::string strTemplate = strDir + "." + strName + ".XXXXXX";
    std::vector<char> buf(strTemplate.begin(), strTemplate.end());
    buf.push_back('\0');
    const int fd = mkstemp(buf.data());
    if (fd < 0)
        return;
    // The new file gets the old file's permissions, or the usual ones for a new file.
    struct stat st;
    mode_t mode;
    if (stat(strPath.c_str(), &st) == 0)
        mode = st.st_mode & 07777;
    else
    {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    fchmod(fd, mode);
    close(fd);
    m_strTempPath = buf.data();
    m_stream.imbue(std::locale::classic());
    m_stream.open(m_strTempPath, std::ios::out | std::ios::binary | std::ios::trunc);
    if (!m_stream.is_open())
    {
        std::remove(m_strTempPath.c_str());
        m_strTempPath.clear();
    }
}

CSafeFileWriter::~CSafeFileWriter()
{
    if (!m_bCommitted && !m_strTempPath.empty())
    {
        if (m_stream.is_open())
            m_stream.close();
        std::remove(m_strTempPath.c_str());
    }
}

bool CSafeFileWriter::Commit()
{
    if (!m_stream.is_open())
        return false;
    m_stream.flush();
    const bool bWritten = static_cast<bool>(m_stream);
    m_stream.close();
    if (!bWritten || m_stream.fail())
        return false;
    if (std::rename(m_strTempPath.c_str(), m_strPath.c_str()) != 0)
        return false;
    m_bCommitted = true;
    return true;
}
