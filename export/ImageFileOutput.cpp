#include "export/ImageFileOutput.h"

#include <cerrno>
#include <cstring>

#include "platform/FileName.h"
#include "platform/SafeFileWriter.h"

namespace
{
std::string SystemReason(int nError)
{
    return nError != 0 ? std::strerror(nError) : "The file could not be written.";
}
} // namespace

bool WriteImageFile(const std::string& strPath, std::initializer_list<std::span<const uint8_t>> parts,
                    std::string& strReason)
{
    // errno is read at once after the step that failed: later clean-up may change it.
    errno = 0;
    CSafeFileWriter writer(strPath);
    if (!writer.IsOpen())
    {
        strReason = SystemReason(errno);
        return false;
    }
    for (const std::span<const uint8_t>& part : parts)
    {
        writer.Stream().write(reinterpret_cast<const char*>(part.data()),
                              static_cast<std::streamsize>(part.size()));
        if (!writer.Stream())
        {
            strReason = SystemReason(errno);
            return false;
        }
    }
    errno = 0;
    if (!writer.Commit())
    {
        strReason = SystemReason(errno);
        return false;
    }
    return true;
}

CImageWriteResult WriteFileFailure(const std::string& strPath, const std::string& strReason)
{
    return CImageWriteResult::Failure("",
                                      "Error writing file.\n" + FileNameOfPath(strPath) + ": " + strReason);
}
