#include <gtest/gtest.h>
#include <sys/resource.h>
#include <turbojpeg.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "export/BitmapExport.h"
#include "export/JpegExport.h"
#include "export/MetafileExport.h"
#include "formats/BitmapFile.h"
#include "unit/FileTestSupport.h"

namespace
{
using FileTestSupport::ReadFile;
using FileTestSupport::UInt32At;

class ImageExportTest : public FileTestSupport::CScratchTest
{
};

// A picture that shows which way up it is: the 16 leftmost columns green, the rest red in the
// top half and blue in the bottom half. At 8 bits: gray 128, white and black.
CDib Picture(int32_t nWidth, int32_t nHeight, int nBits)
{
    CDib dib;
    EXPECT_TRUE(dib.Create(nWidth, nHeight, nBits));
    const int nBytes = nBits / 8;
    for (int32_t y = 0; y < nHeight; ++y)
        for (int32_t x = 0; x < nWidth; ++x)
        {
            uint8_t* p =
                dib.GetPixels() + static_cast<size_t>(y) * dib.GetStride() + static_cast<size_t>(x * nBytes);
            const bool bTop = y >= nHeight / 2;
            const uint8_t bgr[3] = {uint8_t(x >= 16 && !bTop ? 255 : 0), uint8_t(x < 16 ? 255 : 0),
                                    uint8_t(x >= 16 && bTop ? 255 : 0)};
            if (nBits == 8)
                p[0] = x < 16 ? 128 : bTop ? 255 : 0;
            else
                std::memcpy(p, bgr, std::min(nBytes, 3)); // 16 bits: any two bytes
        }
    return dib;
}

std::vector<uint8_t> Bytes(const std::string& s)
{
    return std::vector<uint8_t>(s.begin(), s.end());
}

TEST_F(ImageExportTest, BitmapFileHasTheDibLayoutAndReadsBack)
{
    for (int nBits : {24, 8, 32, 16})
    {
        SCOPED_TRACE(nBits);
        const CDib dib = Picture(301, 3, nBits);
        std::vector<uint8_t> bmp;
        ASSERT_TRUE(EncodeBitmapFile(dib, bmp));
        const std::string s(bmp.begin(), bmp.end());
        const size_t nStride = (301 * static_cast<size_t>(nBits) + 31) / 32 * 4;
        const size_t nOffset = nBits == 8 ? 1078 : 54;
        EXPECT_EQ(s.substr(0, 2), "BM");
        EXPECT_EQ(UInt32At(s, 2), bmp.size());
        EXPECT_EQ(bmp.size(), nOffset + 3 * nStride);
        EXPECT_EQ(UInt32At(s, 6), 0u);
        EXPECT_EQ(UInt32At(s, 10), nOffset);
        // Header size, width, height (bottom-up), one plane and the depth, no compression.
        const uint32_t header[] = {
            40, 301, 3, 1u | static_cast<uint32_t>(nBits) << 16, 0, uint32_t(3 * nStride)};
        for (size_t i = 0; i < std::size(header); ++i)
            EXPECT_EQ(UInt32At(s, 14 + 4 * i), header[i]) << i;
        if (nBits == 8)
        {
            EXPECT_EQ(UInt32At(s, 54 + 4 * 255), 0x00FFFFFFu);
        }
        ASSERT_TRUE(WriteBitmapFile(Path("p.bmp"), dib).m_bOk);
        EXPECT_EQ(Bytes(ReadFile(Path("p.bmp"))), bmp);
        if (nBits != 24)
            continue;
        EXPECT_EQ(nStride, 904u);
        EXPECT_EQ(s[nOffset + 903], 0);
        EXPECT_EQ(s[nOffset + 3 * 904 - 1], 0);
        CBitmapFile bitmap;
        ASSERT_TRUE(bitmap.Read(Path("p.bmp")));
        ASSERT_EQ(bitmap.m_pixels.size(), 3u * 903);
        for (size_t y = 0; y < 3; ++y)
            EXPECT_EQ(0, std::memcmp(bitmap.m_pixels.data() + 903 * y, dib.GetPixels() + 904 * y, 903)) << y;
    }
}

TEST_F(ImageExportTest, NoPictureWithoutSizeOrBeyondFourGiB)
{
    CDib dib;
    for (const auto& size : {std::array{0, 5, 24},
                             {5, 0, 24},
                             {-1, 5, 24},
                             {5, 5, 12},
                             {65536, 65536, 32},
                             {40000, 40000, 24},
                             {1 << 30, 1, 32}})
    {
        EXPECT_FALSE(dib.Create(size[0], size[1], size[2]))
            << size[0] << " x " << size[1] << " x " << size[2];
        EXPECT_TRUE(dib.IsEmpty());
    }
    for (const CImageWriteResult& result :
         {WriteBitmapFile(Path("a.bmp"), dib), WriteMetafile(Path("a.emf"), dib),
          WriteJpegFile(Path("a.jpg"), dib, JPEG_QUALITY)})
        EXPECT_TRUE(!result.m_bOk && result.m_strText.empty());
    EXPECT_EQ(FilesInDir(), 0u);
}

TEST_F(ImageExportTest, MetafileHoldsTheBitmapsDib)
{
    for (int nBits : {24, 8})
    {
        SCOPED_TRACE(nBits);
        const CDib dib = Picture(301, 3, nBits);
        std::vector<uint8_t> emf, bmp;
        ASSERT_TRUE(EncodeMetafile(dib, emf));
        ASSERT_TRUE(EncodeBitmapFile(dib, bmp));
        const std::string s(emf.begin(), emf.end());
        const uint32_t nDib = static_cast<uint32_t>(bmp.size() - 14), nInfo = nBits == 8 ? 1064 : 40;
        ASSERT_EQ(emf.size(), 108 + 80 + nDib + 20);
        // Header: type, size, bounds, frame (301 and 3 pixels at 96 dpi in 0.01 mm), signature,
        // version, bytes, records, handles, no description or palette, reference device.
        const uint32_t header[] = {
            1, 108, 0, 0,    300,  2,   0,   0, 7963, 78, 0x464D4520, 0x10000, uint32_t(emf.size()), 3, 1,
            0, 0,   0, 1920, 1080, 508, 286, 0, 0,    0,  508000,     285750};
        for (size_t i = 0; i < std::size(header); ++i)
            EXPECT_EQ(UInt32At(s, 4 * i), header[i]) << i;
        // EMR_STRETCHDIBITS: bounds, destination and source, where the DIB's parts lie, usage,
        // source copy, destination size; then the DIB as the bitmap file holds it.
        const uint32_t record[] = {81, 80 + nDib,  0,   0, 300, 2,     0,          0,
                                   0,  0,          301, 3, 80,  nInfo, 80 + nInfo, nDib - nInfo,
                                   0,  0x00CC0020, 301, 3};
        for (size_t i = 0; i < std::size(record); ++i)
            EXPECT_EQ(UInt32At(s, 108 + 4 * i), record[i]) << i;
        EXPECT_TRUE(std::equal(bmp.begin() + 14, bmp.end(), emf.begin() + 188));
        const uint32_t end[] = {14, 20, 0, 16, 20};
        for (size_t i = 0; i < std::size(end); ++i)
            EXPECT_EQ(UInt32At(s, 188 + nDib + 4 * i), end[i]) << i;
        ASSERT_TRUE(WriteMetafile(Path("p.emf"), dib).m_bOk);
        EXPECT_EQ(Bytes(ReadFile(Path("p.emf"))), emf);
    }
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
        EXPECT_EQ(nWidth, 301);
        EXPECT_EQ(nHeight, 200);
        EXPECT_EQ(nSubsampling, nBits == 8 ? TJSAMP_GRAY : TJSAMP_420);
        EXPECT_EQ(nColorspace, nBits == 8 ? TJCS_GRAY : TJCS_YCbCr);
        std::vector<uint8_t> rgb(301 * 200 * 3);
        ASSERT_EQ(tjDecompress2(pDecoder, pJpeg, jpeg.size(), rgb.data(), 301, 0, 200, TJPF_RGB, 0), 0);
        // Top rows first: left strip, top half, bottom half.
        const struct
        {
            int x, y;
            uint8_t colour[3];
        } samples[] = {{4, 100, {0, 255, 0}}, {150, 20, {255, 0, 0}}, {150, 180, {0, 0, 255}}};
        for (const auto& sample : samples)
            for (int c = 0; c < 3; ++c)
            {
                const int nExpected = nBits != 8       ? sample.colour[c]
                                      : sample.x < 16  ? 128
                                      : sample.y < 100 ? 255
                                                       : 0;
                EXPECT_NEAR(rgb[3 * (sample.y * 301 + sample.x) + c], nExpected, 6)
                    << sample.x << "," << sample.y;
            }
    }
    tjDestroy(pDecoder);

    const CImageWriteResult result = WriteJpegFile(Path("p16.jpg"), Picture(8, 8, 16), JPEG_QUALITY);
    EXPECT_FALSE(result.m_bOk);
    EXPECT_EQ(result.m_strCaption, "");
    EXPECT_EQ(result.m_strText, "Unsupported Color Depth for JPEG Export.");
    EXPECT_FALSE(std::filesystem::exists(Path("p16.jpg")));
}

TEST_F(ImageExportTest, FailedWritesKeepTheOldFile)
{
    // Noise compresses badly, so every file is bigger than the size limit below.
    CDib dib;
    ASSERT_TRUE(dib.Create(301, 100, 24));
    uint32_t nSeed = 1;
    for (size_t i = 0; i < dib.GetStride() * 100; ++i)
        dib.GetPixels()[i] = static_cast<uint8_t>((nSeed = nSeed * 1664525 + 1013904223) >> 24);
    for (const char* pszName : {"old.bmp", "old.emf", "old.jpg"})
        Write(pszName, "old");
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved = {};
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit limit = {4096, saved.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const CImageWriteResult bmp = WriteBitmapFile(Path("old.bmp"), dib);
    const CImageWriteResult emf = WriteMetafile(Path("old.emf"), dib);
    const CImageWriteResult jpg = WriteJpegFile(Path("old.jpg"), dib, JPEG_QUALITY);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    const std::string strTooLarge = std::strerror(EFBIG);
    EXPECT_EQ(bmp.m_strText, "Error writing file.\nold.bmp: " + strTooLarge);
    EXPECT_EQ(emf.m_strText, "Error writing file.\nold.emf: " + strTooLarge);
    EXPECT_EQ(jpg.m_strCaption, "Error writing file in JPEG library");
    EXPECT_EQ(jpg.m_strText, "old.jpg: " + strTooLarge);
    for (const char* pszName : {"old.bmp", "old.emf", "old.jpg"})
        EXPECT_EQ(ReadFile(Path(pszName)), "old") << pszName;
    EXPECT_EQ(FilesInDir(), 3u);
    EXPECT_EQ(WriteBitmapFile(Path("gone/new.bmp"), dib).m_strText,
              "Error writing file.\nnew.bmp: " + std::string(std::strerror(ENOENT)));
}

// Inkscape imports the metafile with its picture upright and at its pixel size.
TEST_F(ImageExportTest, InkscapeDrawsTheMetafile)
{
    const char* const pszPython = "/usr/bin/python3";
    if (!std::filesystem::exists("/usr/bin/inkscape") ||
        std::system((std::string(pszPython) + " -c 'import PIL' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "needs inkscape and python3-pil (scripts/install-deps.sh --test)";
    ASSERT_TRUE(WriteMetafile(Path("p.emf"), Picture(301, 200, 24)).m_bOk);
    const std::string strCommand = "HOME=" + m_dir.string() +
                                   " inkscape --export-type=png --export-filename=" + Path("p.png") + " " +
                                   Path("p.emf") + " >/dev/null 2>&1 && " + pszPython +
                                   " -c \"from PIL import Image; im = Image.open('" + Path("p.png") +
                                   "').convert('RGB'); print(im.size, [im.getpixel(p) for p in "
                                   "((4, 100), (150, 20), (150, 180))])\"";
    FILE* pPipe = popen(strCommand.c_str(), "r");
    ASSERT_NE(pPipe, nullptr);
    char szLine[256] = {};
    const bool bRead = std::fgets(szLine, sizeof szLine, pPipe) != nullptr;
    EXPECT_EQ(pclose(pPipe), 0);
    ASSERT_TRUE(bRead);
    EXPECT_STREQ(szLine, "(301, 200) [(0, 255, 0), (255, 0, 0), (0, 0, 255)]\n");
}
} // namespace
