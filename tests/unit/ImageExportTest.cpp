#include <gtest/gtest.h>
#include <png.h>
#include <turbojpeg.h>

#include <cstring>
#include <filesystem>

#include "export/BitmapExport.h"
#include "export/JpegExport.h"
#include "export/MetafileExport.h"
#include "export/PngExport.h"
#include "formats/bmp/BitmapFile.h"
#include "unit/FileTestSupport.h"

namespace
{
using FileTestSupport::ReadFile;
using FileTestSupport::UInt32At;

class ImageExportTest : public FileTestSupport::CScratchTest
{
};

// A picture that shows which way up it is: the 16 leftmost columns green, the rest red in the
// top half and blue in the bottom half; at 8 bits gray 128, white and black.
CDib Picture(int32_t nWidth, int32_t nHeight, int nBits)
{
    static const uint8_t bgr[3][3] = {{0, 255, 0}, {0, 0, 255}, {255, 0, 0}}, gray[3] = {128, 255, 0};
    CDib dib;
    EXPECT_TRUE(dib.Create(nWidth, nHeight, nBits));
    const size_t nBytes = static_cast<size_t>(nBits / 8);
    for (int32_t y = 0; y < nHeight; ++y)
        for (int32_t x = 0; x < nWidth; ++x)
        {
            const int nPart = x < 16 ? 0 : y >= nHeight / 2 ? 1 : 2;
            std::memcpy(dib.GetPixels() + static_cast<size_t>(y) * dib.GetStride() +
                            static_cast<size_t>(x) * nBytes,
                        nBits == 8 ? &gray[nPart] : bgr[nPart], std::min<size_t>(nBytes, 3));
        }
    return dib;
}

// Consecutive little-endian 32-bit fields from byte nAt on.
void ExpectFields(const std::vector<uint8_t>& bytes, size_t nAt, std::initializer_list<uint32_t> fields)
{
    const std::string s(bytes.begin(), bytes.end());
    for (uint32_t nField : fields)
    {
        EXPECT_EQ(UInt32At(s, nAt), nField) << "at byte " << nAt;
        nAt += 4;
    }
}

TEST_F(ImageExportTest, BitmapFileAndMetafileHoldTheDib)
{
    for (int nBits : {24, 8, 32})
    {
        SCOPED_TRACE(nBits);
        const CDib dib = Picture(301, 3, nBits);
        std::vector<uint8_t> bmp;
        ASSERT_TRUE(EncodeBitmapFile(dib, bmp));
        const uint32_t nStride = nBits == 24 ? 904 : nBits == 8 ? 304 : 1204;
        const uint32_t nOffset = nBits == 8 ? 1078 : 54;
        EXPECT_EQ(bmp.size(), nOffset + 3 * nStride);
        EXPECT_EQ(std::string(bmp.begin(), bmp.begin() + 2), "BM");
        // File size, reserved, offset; header size, width, height (bottom-up), one plane and the
        // depth, no compression, image size.
        ExpectFields(
            bmp, 2,
            {uint32_t(bmp.size()), 0, nOffset, 40, 301, 3, 1u | uint32_t(nBits) << 16, 0, 3 * nStride});
        if (nBits == 8)
            ExpectFields(bmp, 54 + 4 * 255, {0x00FFFFFF});
        ASSERT_TRUE(WriteBitmapFile(Path("p.bmp"), dib).m_bOk);
        EXPECT_EQ(ReadFile(Path("p.bmp")), std::string(bmp.begin(), bmp.end()));
        // The padding byte of each 24-bit row is zero, and the reader drops it.
        CBitmapFile bitmap;
        ASSERT_TRUE(bitmap.Read(Path("p.bmp")));
        const size_t nRow = 301 * static_cast<size_t>(nBits) / 8;
        ASSERT_EQ(bitmap.m_pixels.size(), 3 * nRow);
        for (size_t y = 0; y < 3; ++y)
        {
            EXPECT_EQ(0, std::memcmp(bitmap.m_pixels.data() + nRow * y, dib.GetPixels() + nStride * y, nRow))
                << y;
            EXPECT_TRUE(nBits != 24 || bmp[nOffset + nStride * y + 903] == 0) << y;
        }
        // The metafile holds the same DIB.
        std::vector<uint8_t> emf;
        ASSERT_TRUE(EncodeMetafile(dib, emf));
        const uint32_t nDib = static_cast<uint32_t>(bmp.size() - 14), nInfo = nOffset - 14;
        ASSERT_EQ(emf.size(), 108 + 80 + nDib + 20);
        // Header: type, size, bounds, frame (301 x 3 pixels at 96 dpi in 0.01 mm), signature,
        // version, bytes, records, handles, no description or palette, reference device.
        ExpectFields(
            emf, 0,
            {1, 108, 0, 0,    300,  2,   0,   0, 7963, 78, 0x464D4520, 0x10000, uint32_t(emf.size()), 3, 1,
             0, 0,   0, 1920, 1080, 508, 286, 0, 0,    0,  508000,     285750});
        // EMR_STRETCHDIBITS: bounds, destination and source, where the DIB's parts lie, usage,
        // source copy, destination size; then the DIB as the bitmap file holds it; then EOF.
        ExpectFields(emf, 108, {81, 80 + nDib, 0,     0,          300,          2, 0,          0,   0, 0, 301,
                                3,  80,        nInfo, 80 + nInfo, nDib - nInfo, 0, 0x00CC0020, 301, 3});
        EXPECT_TRUE(std::equal(bmp.begin() + 14, bmp.end(), emf.begin() + 188));
        ExpectFields(emf, 188 + nDib, {14, 20, 0, 16, 20});
        ASSERT_TRUE(WriteMetafile(Path("p.emf"), dib).m_bOk);
        EXPECT_EQ(ReadFile(Path("p.emf")), std::string(emf.begin(), emf.end()));
    }
    EXPECT_FALSE(CBitmapFile().Read(Path("missing.bmp")));
}

TEST_F(ImageExportTest, NoPictureWithoutSizeOrBeyondFourGiB)
{
    // Width, height, depth: no size, no such depth, files of 16, 4.5 and 4 GiB.
    const int sizes[] = {0,  5,     24,    5,  0,     24,    -1, 5,       24, 5, 5,
                         12, 65536, 65536, 32, 40000, 40000, 24, 1 << 30, 1,  32};
    CDib dib;
    for (size_t i = 0; i < std::size(sizes); i += 3)
        EXPECT_TRUE(!dib.Create(sizes[i], sizes[i + 1], sizes[i + 2]) && dib.IsEmpty())
            << sizes[i] << " x " << sizes[i + 1];
    for (const CImageWriteResult& result :
         {WriteBitmapFile(Path("a.bmp"), dib), WriteMetafile(Path("a.emf"), dib),
          WriteJpegFile(Path("a.jpg"), dib, JPEG_QUALITY), WritePngFile(Path("a.png"), dib)})
        EXPECT_TRUE(!result.m_bOk && result.m_strText.empty());
    EXPECT_EQ(FilesInDir(), 0u);
}

TEST_F(ImageExportTest, JpegIsUprightInItsColours)
{
    tjhandle pDecoder = tjInitDecompress();
    for (int nBits : {24, 32, 8})
    {
        SCOPED_TRACE(nBits);
        ASSERT_TRUE(WriteJpegFile(Path("p.jpg"), Picture(301, 200, nBits), JPEG_QUALITY).m_bOk);
        std::string jpeg = ReadFile(Path("p.jpg"));
        auto* pJpeg = reinterpret_cast<unsigned char*>(jpeg.data());
        int nWidth = 0, nHeight = 0, nSubsampling = -1, nColorspace = -1;
        ASSERT_EQ(
            tjDecompressHeader3(pDecoder, pJpeg, jpeg.size(), &nWidth, &nHeight, &nSubsampling, &nColorspace),
            0);
        EXPECT_TRUE(nWidth == 301 && nHeight == 200);
        EXPECT_EQ(nSubsampling, nBits == 8 ? TJSAMP_GRAY : TJSAMP_420);
        EXPECT_EQ(nColorspace, nBits == 8 ? TJCS_GRAY : TJCS_YCbCr);
        std::vector<uint8_t> rgb(301 * 200 * 3);
        ASSERT_EQ(tjDecompress2(pDecoder, pJpeg, jpeg.size(), rgb.data(), 301, 0, 200, TJPF_RGB, 0), 0);
        // Top row first: the left strip, the top half red (white), the bottom half blue (black).
        const int samples[3][2] = {{4, 100}, {150, 20}, {150, 180}};
        const int colours[2][3][3] = {{{0, 255, 0}, {255, 0, 0}, {0, 0, 255}},
                                      {{128, 128, 128}, {255, 255, 255}, {0, 0, 0}}};
        for (int i = 0; i < 3; ++i)
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(rgb[3 * (samples[i][1] * 301 + samples[i][0]) + c], colours[nBits == 8][i][c], 6)
                    << i;
    }
    tjDestroy(pDecoder);

    CDib dib16;
    ASSERT_TRUE(dib16.Create(8, 8, 16));
    const CImageWriteResult result = WriteJpegFile(Path("p16.jpg"), dib16, JPEG_QUALITY);
    EXPECT_TRUE(!result.m_bOk && result.m_strCaption.empty());
    EXPECT_EQ(result.m_strText, "Unsupported Color Depth for JPEG Export.");
    EXPECT_FALSE(std::filesystem::exists(Path("p16.jpg")));
}

// libpng's own reader gets back every pixel, top row first, with the alpha of a 32-bit picture.
TEST_F(ImageExportTest, PngHoldsEveryPixelUpright)
{
    for (int nBits : {24, 32})
    {
        SCOPED_TRACE(nBits);
        CDib dib = Picture(301, 200, nBits);
        for (int32_t y = 0; nBits == 32 && y < 200; ++y)
            for (int32_t x = 0; x < 301; ++x)
                dib.GetPixels()[static_cast<size_t>(y) * dib.GetStride() + 4 * static_cast<size_t>(x) + 3] =
                    static_cast<uint8_t>(x + y);
        ASSERT_TRUE(WritePngFile(Path("p.png"), dib).m_bOk);
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_file(&image, Path("p.png").c_str()));
        EXPECT_TRUE(image.width == 301 && image.height == 200);
        EXPECT_EQ(image.format, nBits == 32 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB);
        image.format = PNG_FORMAT_BGRA;
        std::vector<uint8_t> bgra(301 * 200 * 4);
        ASSERT_TRUE(png_image_finish_read(&image, nullptr, bgra.data(), 0, nullptr));
        size_t nWrong = 0;
        for (size_t y = 0; y < 200; ++y)
            for (size_t x = 0; x < 301; ++x)
            {
                const uint8_t* pDib = dib.GetPixels() + (199 - y) * dib.GetStride() + x * (nBits / 8);
                const uint8_t* pPng = &bgra[4 * (y * 301 + x)];
                nWrong += std::memcmp(pDib, pPng, 3) != 0 || pPng[3] != (nBits == 32 ? pDib[3] : 255);
            }
        EXPECT_EQ(nWrong, 0u);
    }
    CDib dib8;
    ASSERT_TRUE(dib8.Create(8, 8, 8));
    const CImageWriteResult result = WritePngFile(Path("p8.png"), dib8);
    EXPECT_EQ(result.m_strCaption + "|" + result.m_strText, "|Unsupported Color Depth for PNG Export.");
    EXPECT_FALSE(std::filesystem::exists(Path("p8.png")));
}

TEST_F(ImageExportTest, FailedWritesKeepTheOldFile)
{
    // Noise compresses badly, so every file is bigger than the size limit below.
    CDib dib;
    ASSERT_TRUE(dib.Create(301, 100, 24));
    uint32_t nSeed = 1;
    for (size_t i = 0; i < dib.GetStride() * 100; ++i)
        dib.GetPixels()[i] = static_cast<uint8_t>((nSeed = nSeed * 1664525 + 1013904223) >> 24);
    for (const char* pszName : {"old.bmp", "old.emf", "old.jpg", "old.png"})
        Write(pszName, "old");
    const FileTestSupport::CFileSizeLimit limit(4096);
    ASSERT_TRUE(limit.m_bActive);
    const CImageWriteResult results[] = {
        WriteBitmapFile(Path("old.bmp"), dib), WriteMetafile(Path("old.emf"), dib),
        WriteJpegFile(Path("old.jpg"), dib, JPEG_QUALITY), WritePngFile(Path("old.png"), dib)};
    const std::string strTooLarge = std::strerror(EFBIG);
    // The path as given, with the system's reason.
    EXPECT_EQ(results[0].m_strText, "Error writing file.\n" + Path("old.bmp") + ": " + strTooLarge);
    EXPECT_EQ(results[1].m_strText, "Error writing file.\n" + Path("old.emf") + ": " + strTooLarge);
    EXPECT_EQ(results[2].m_strCaption + "|" + results[2].m_strText,
              "Error writing file in JPEG library|" + Path("old.jpg") + ": " + strTooLarge);
    EXPECT_EQ(results[3].m_strText, "Error writing file.\n" + Path("old.png") + ": " + strTooLarge);
    for (const char* pszName : {"old.bmp", "old.emf", "old.jpg", "old.png"})
        EXPECT_EQ(ReadFile(Path(pszName)), "old") << pszName;
    EXPECT_EQ(FilesInDir(), 4u);
    EXPECT_EQ(WriteBitmapFile(Path("gone/new.bmp"), dib).m_strText,
              "Error writing file.\n" + Path("gone/new.bmp") + ": " + std::strerror(ENOENT));
}

} // namespace
