#include "export/JpegExport.h"

#include <turbojpeg.h>

#include <limits>
#include <memory>

#include "export/ImageFileOutput.h"

namespace
{
constexpr const char* INIT_CAPTION = "Error initializing JPEG library";
constexpr const char* WRITE_CAPTION = "Error writing file in JPEG library";

struct STjDeleter
{
    void operator()(void* pHandle) const { tjDestroy(pHandle); }
};
struct STjBufferDeleter
{
    void operator()(unsigned char* p) const { tjFree(p); }
};
} // namespace

CImageWriteResult EncodeJpeg(const CDib& dib, int nQuality, std::vector<uint8_t>& jpeg)
{
    jpeg.clear();
    if (dib.IsEmpty())
        return CImageWriteResult::Failure("", "");
    int nPixelFormat, nSubsampling;
    switch (dib.GetBitCount())
    {
    case 8:
        nPixelFormat = TJPF_GRAY;
        nSubsampling = TJSAMP_GRAY;
        break;
    case 24:
        nPixelFormat = TJPF_BGR;
        nSubsampling = TJSAMP_420;
        break;
    case 32:
        // The fourth byte is skipped in place: no repacked copy of the picture.
        nPixelFormat = TJPF_BGRX;
        nSubsampling = TJSAMP_420;
        break;
    default:
        return CImageWriteResult::Failure("", "Unsupported Color Depth for JPEG Export.");
    }

    const std::unique_ptr<void, STjDeleter> pHandle(tjInitCompress());
    if (!pHandle)
        return CImageWriteResult::Failure(INIT_CAPTION, tjGetErrorStr2(nullptr));
    // TurboJPEG takes the pitch as an int; JPEG's own limit on the width is far below that.
    if (dib.GetStride() > static_cast<size_t>(std::numeric_limits<int>::max()))
        return CImageWriteResult::Failure(WRITE_CAPTION, "The picture is too wide for a JPEG file.");
    unsigned char* pOutput = nullptr;
    unsigned long nOutputSize = 0;
    const int nStatus = tjCompress2(pHandle.get(), dib.GetPixels(), dib.GetWidth(),
                                    static_cast<int>(dib.GetStride()), dib.GetHeight(), nPixelFormat,
                                    &pOutput, &nOutputSize, nSubsampling, nQuality, TJFLAG_BOTTOMUP);
    const std::unique_ptr<unsigned char, STjBufferDeleter> pOwned(pOutput);
    if (nStatus != 0)
        return CImageWriteResult::Failure(WRITE_CAPTION, tjGetErrorStr2(pHandle.get()));
    jpeg.assign(pOutput, pOutput + nOutputSize);
    return CImageWriteResult::Success();
}

CImageWriteResult WriteJpegFile(const std::string& strPath, const CDib& dib, int nQuality)
{
    std::vector<uint8_t> jpeg;
    CImageWriteResult result = EncodeJpeg(dib, nQuality, jpeg);
    if (!result.m_bOk)
        return result;
    std::string strReason;
    if (!WriteImageFile(strPath, {jpeg}, strReason))
        return CImageWriteResult::Failure(WRITE_CAPTION, strPath + ": " + strReason);
    return result;
}
