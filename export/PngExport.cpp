#include "export/PngExport.h"

#include <png.h>

#include <cstring>
#include <new>

#include "export/ImageFileOutput.h"

namespace
{
constexpr const char* WRITE_CAPTION = "Error writing file in PNG library";

// Where libpng's output and its error text go. libpng reports errors by longjmp, so nothing in
// the frames it jumps over may own memory: the text is a plain array, the output vector belongs
// to the caller.
struct SPngSink
{
    std::vector<uint8_t>* pBytes = nullptr;
    char szError[256] = {};
};

void OnError(png_structp pPng, png_const_charp pszMessage)
{
    auto* pSink = static_cast<SPngSink*>(png_get_error_ptr(pPng));
    std::strncpy(pSink->szError, pszMessage, sizeof pSink->szError - 1);
    png_longjmp(pPng, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void OnWrite(png_structp pPng, png_bytep pData, size_t nLength)
{
    auto* pSink = static_cast<SPngSink*>(png_get_io_ptr(pPng));
    bool bFull = false;
    try
    {
        pSink->pBytes->insert(pSink->pBytes->end(), pData, pData + nLength);
    }
    catch (const std::bad_alloc&)
    {
        bFull = true;
    }
    // Outside the handler: a jump out of it would leave the exception half handled.
    if (bFull)
        png_error(pPng, "Out of memory.");
}

void OnFlush(png_structp) {}

// The rows, top row first, from the DIB's bottom-up array. Returns false after libpng reported an
// error. Holds no object with a destructor, since libpng's error jumps back into this frame.
bool WriteRows(png_structp pPng, png_infop pInfo, const CDib& dib, int nCompression)
{
    if (setjmp(png_jmpbuf(pPng)))
        return false;
    const bool bAlpha = dib.GetBitCount() == 32;
    png_set_IHDR(pPng, pInfo, static_cast<png_uint_32>(dib.GetWidth()),
                 static_cast<png_uint_32>(dib.GetHeight()), 8,
                 bAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(pPng, nCompression);
    png_write_info(pPng, pInfo);
    // The DIB's pixels are blue, green, red (alpha).
    png_set_bgr(pPng);
    for (int32_t y = dib.GetHeight() - 1; y >= 0; --y)
        png_write_row(pPng, dib.GetPixels() + static_cast<size_t>(y) * dib.GetStride());
    png_write_end(pPng, pInfo);
    return true;
}
} // namespace

CImageWriteResult EncodePng(const CDib& dib, std::vector<uint8_t>& png, int nCompression)
{
    png.clear();
    if (dib.IsEmpty())
        return CImageWriteResult::Failure("", "");
    if (dib.GetBitCount() != 24 && dib.GetBitCount() != 32)
        return CImageWriteResult::Failure("", "Unsupported Color Depth for PNG Export.");
    SPngSink sink;
    sink.pBytes = &png;
    png_structp pPng = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, &OnError, &OnWarning);
    png_infop pInfo = pPng != nullptr ? png_create_info_struct(pPng) : nullptr;
    if (pInfo == nullptr)
    {
        png_destroy_write_struct(&pPng, nullptr);
        return CImageWriteResult::Failure(WRITE_CAPTION, "Out of memory.");
    }
    png_set_write_fn(pPng, &sink, &OnWrite, &OnFlush);
    const bool bOk = WriteRows(pPng, pInfo, dib, nCompression);
    png_destroy_write_struct(&pPng, &pInfo);
    if (!bOk)
    {
        png.clear();
        return CImageWriteResult::Failure(WRITE_CAPTION, sink.szError);
    }
    return CImageWriteResult::Success();
}

CImageWriteResult WritePngFile(const std::string& strPath, const CDib& dib)
{
    std::vector<uint8_t> png;
    CImageWriteResult result = EncodePng(dib, png);
    if (!result.m_bOk)
        return result;
    return WriteImageParts(strPath, {png});
}
