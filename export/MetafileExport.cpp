#include "export/MetafileExport.h"

#include <algorithm>
#include <limits>

#include "export/ImageFileOutput.h"
#include "formats/LittleEndian.h"

namespace
{
using namespace MetafileLayout;
using namespace LittleEndian;

constexpr uint32_t EMF_SIGNATURE = 0x464D4520; // " EMF"
constexpr uint32_t EMF_VERSION = 0x10000;
constexpr uint32_t DIB_RGB_COLORS = 0;
constexpr uint32_t SRCCOPY = 0x00CC0020;

// Pixels at the reference resolution in 0.01 mm, rounded; a picture hundreds of metres wide
// (a very long 1-bit row) is given the largest frame there is.
int32_t HundredthsOfMillimetre(int64_t nPixels)
{
    return static_cast<int32_t>(std::min<int64_t>((nPixels * 2540 + DEVICE_DPI / 2) / DEVICE_DPI,
                                                  std::numeric_limits<int32_t>::max()));
}

void AppendRect(std::vector<uint8_t>& bytes, int32_t nLeft, int32_t nTop, int32_t nRight, int32_t nBottom)
{
    for (int32_t n : {nLeft, nTop, nRight, nBottom})
        AppendInt32(bytes, n);
}

// Everything before the DIB: the header record and the start of the block-transfer record.
std::vector<uint8_t> RecordsBeforeDib(const CDib& dib)
{
    const int32_t nWidth = dib.GetWidth();
    const int32_t nHeight = dib.GetHeight();
    const uint32_t nRecordSize = STRETCHDIBITS_SIZE + static_cast<uint32_t>(dib.GetBlockSize());
    std::vector<uint8_t> bytes;
    bytes.reserve(HEADER_SIZE + STRETCHDIBITS_SIZE);

    AppendUInt32(bytes, EMR_HEADER);
    AppendUInt32(bytes, HEADER_SIZE);
    // Bounds in device pixels and frame in 0.01 mm; both include their right and bottom edges.
    AppendRect(bytes, 0, 0, nWidth - 1, nHeight - 1);
    AppendRect(bytes, 0, 0, HundredthsOfMillimetre(nWidth) - 1, HundredthsOfMillimetre(nHeight) - 1);
    AppendUInt32(bytes, EMF_SIGNATURE);
    AppendUInt32(bytes, EMF_VERSION);
    AppendUInt32(bytes, HEADER_SIZE + nRecordSize + EOF_SIZE);
    AppendUInt32(bytes, 3); // records
    AppendUInt16(bytes, 1); // handles: only the reserved handle 0
    AppendUInt16(bytes, 0);
    AppendUInt32(bytes, 0); // no description
    AppendUInt32(bytes, 0);
    AppendUInt32(bytes, 0); // no palette
    AppendInt32(bytes, DEVICE_WIDTH);
    AppendInt32(bytes, DEVICE_HEIGHT);
    AppendInt32(bytes, HundredthsOfMillimetre(DEVICE_WIDTH) / 100);
    AppendInt32(bytes, (HundredthsOfMillimetre(DEVICE_HEIGHT) + 50) / 100);
    AppendUInt32(bytes, 0); // no pixel format, not OpenGL
    AppendUInt32(bytes, 0);
    AppendUInt32(bytes, 0);
    AppendInt32(bytes, HundredthsOfMillimetre(DEVICE_WIDTH) * 10);
    AppendInt32(bytes, HundredthsOfMillimetre(DEVICE_HEIGHT) * 10);

    const auto nInfoSize = static_cast<uint32_t>(dib.GetPixelOffset());
    AppendUInt32(bytes, EMR_STRETCHDIBITS);
    AppendUInt32(bytes, nRecordSize);
    AppendRect(bytes, 0, 0, nWidth - 1, nHeight - 1);
    for (int32_t n : {0, 0, 0, 0, nWidth, nHeight}) // destination, source origin and size
        AppendInt32(bytes, n);
    AppendUInt32(bytes, STRETCHDIBITS_SIZE); // header and colour table follow the record's fields
    AppendUInt32(bytes, nInfoSize);
    AppendUInt32(bytes, STRETCHDIBITS_SIZE + nInfoSize); // then the pixels
    AppendUInt32(bytes, static_cast<uint32_t>(dib.GetBlockSize() - nInfoSize));
    AppendUInt32(bytes, DIB_RGB_COLORS);
    AppendUInt32(bytes, SRCCOPY);
    AppendInt32(bytes, nWidth);
    AppendInt32(bytes, nHeight);
    return bytes;
}

std::vector<uint8_t> EndOfFileRecord()
{
    std::vector<uint8_t> bytes;
    for (uint32_t n : {EMR_EOF, EOF_SIZE, 0u, 16u, EOF_SIZE}) // no palette entries
        AppendUInt32(bytes, n);
    return bytes;
}
} // namespace

size_t MetafileSize(const CDib& dib)
{
    return dib.IsEmpty() ? 0 : HEADER_SIZE + STRETCHDIBITS_SIZE + dib.GetBlockSize() + EOF_SIZE;
}

void StoreMetafile(const CDib& dib, uint8_t* pOut)
{
    if (!dib.IsEmpty())
        StoreWrappedDib(RecordsBeforeDib(dib), dib, EndOfFileRecord(), pOut);
}

bool EncodeMetafile(const CDib& dib, std::vector<uint8_t>& bytes)
{
    bytes.resize(MetafileSize(dib));
    StoreMetafile(dib, bytes.data());
    return !bytes.empty();
}

CImageWriteResult WriteMetafile(const std::string& strPath, const CDib& dib)
{
    if (dib.IsEmpty())
        return CImageWriteResult::Failure("", "");
    return WriteWrappedDib(strPath, RecordsBeforeDib(dib), dib, EndOfFileRecord());
}
