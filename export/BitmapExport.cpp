#include "export/BitmapExport.h"

#include <array>

#include "export/ImageFileOutput.h"
#include "formats/LittleEndian.h"

namespace
{
constexpr size_t FILE_HEADER_SIZE = 14;

std::array<uint8_t, FILE_HEADER_SIZE> FileHeader(const CDib& dib)
{
    using namespace LittleEndian;
    std::array<uint8_t, FILE_HEADER_SIZE> header{'B', 'M'};
    // CDib keeps its block far enough below 4 GiB for both sizes to fit.
    StoreUInt32(header.data() + 2, static_cast<uint32_t>(FILE_HEADER_SIZE + dib.GetBlockSize()));
    StoreUInt32(header.data() + 10, static_cast<uint32_t>(FILE_HEADER_SIZE + dib.GetPixelOffset()));
    return header;
}
} // namespace

size_t BitmapFileSize(const CDib& dib)
{
    return dib.IsEmpty() ? 0 : FILE_HEADER_SIZE + dib.GetBlockSize();
}

void StoreBitmapFile(const CDib& dib, uint8_t* pOut)
{
    StoreWrappedDib(FileHeader(dib), dib, {}, pOut);
}

bool EncodeBitmapFile(const CDib& dib, std::vector<uint8_t>& bytes)
{
    bytes.resize(BitmapFileSize(dib));
    StoreBitmapFile(dib, bytes.data());
    return !bytes.empty();
}

CImageWriteResult WriteBitmapFile(const std::string& strPath, const CDib& dib)
{
    return WriteWrappedDib(strPath, FileHeader(dib), dib, {});
}
