#include "export/ImageFileOutput.h"

#include <cstring>

#include "platform/SafeFileWriter.h"

bool WriteImageFile(const std::string& strPath, std::initializer_list<std::span<const uint8_t>> parts,
                    std::string& strReason)
{
    CSafeFileWriter writer(strPath);
    if (!writer.IsOpen())
    {
        strReason = writer.ErrorText();
        return false;
    }
    for (const std::span<const uint8_t>& part : parts)
        writer.Stream().write(reinterpret_cast<const char*>(part.data()),
                              static_cast<std::streamsize>(part.size()));
    // A failed write shows in Commit, with its reason.
    if (!writer.Commit())
    {
        strReason = writer.ErrorText();
        return false;
    }
    return true;
}

CImageWriteResult WriteImageParts(const std::string& strPath,
                                  std::initializer_list<std::span<const uint8_t>> parts)
{
    std::string strReason;
    if (!WriteImageFile(strPath, parts, strReason))
        return CImageWriteResult::Failure("", "Error writing file.\n" + strPath + ": " + strReason);
    return CImageWriteResult::Success();
}

void StoreWrappedDib(std::span<const uint8_t> prefix, const CDib& dib, std::span<const uint8_t> suffix,
                     uint8_t* pOut)
{
    if (dib.IsEmpty())
        return;
    // An empty span may have no data at all, which memcpy must not be given.
    if (!prefix.empty())
        std::memcpy(pOut, prefix.data(), prefix.size());
    std::memcpy(pOut + prefix.size(), dib.GetBlock(), dib.GetBlockSize());
    if (!suffix.empty())
        std::memcpy(pOut + prefix.size() + dib.GetBlockSize(), suffix.data(), suffix.size());
}

CImageWriteResult WriteWrappedDib(const std::string& strPath, std::span<const uint8_t> prefix,
                                  const CDib& dib, std::span<const uint8_t> suffix)
{
    if (dib.IsEmpty())
        return CImageWriteResult::Failure("", "");
    return WriteImageParts(strPath, {prefix, {dib.GetBlock(), dib.GetBlockSize()}, suffix});
}
