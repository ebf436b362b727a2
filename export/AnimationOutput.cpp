#include "export/AnimationOutput.h"

#include <algorithm>
#include <cctype>

#include "export/PictureFile.h"
#include "export/PictureSequence.h"
#include "export/VideoModule.h"
#include "export/VideoWriter.h"
#include "platform/FileName.h"

namespace
{
std::string LowerExtension(const std::string& strPath)
{
    const std::string strName = FileNameOfPath(strPath);
    const size_t nDot = strName.rfind('.');
    std::string strExt = nDot == std::string::npos ? std::string() : strName.substr(nDot + 1);
    std::transform(strExt.begin(), strExt.end(), strExt.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return strExt;
}
} // namespace

int AnimationKind(const std::string& strPath)
{
    size_t nAt = 0, nLength = 0;
    if (CPictureSequence::FindPlaceholder(strPath, nAt, nLength))
    {
        const int nPicture = SnapshotKind(strPath);
        return nPicture == SNAPSHOT_PNG || nPicture == SNAPSHOT_BITMAP || nPicture == SNAPSHOT_JPEG
                   ? ANIMATION_SEQUENCE
                   : ANIMATION_NONE;
    }
    if (FileNameOfPath(strPath).find('%') != std::string::npos)
        return ANIMATION_NONE;
    const std::string strExt = LowerExtension(strPath);
    return strExt == "mp4" ? ANIMATION_MP4 : strExt == "webm" ? ANIMATION_WEBM : ANIMATION_NONE;
}

std::string CheckAnimationOutput(const std::string& strPath, int nWidth, int nHeight)
{
    const int nKind = AnimationKind(strPath);
    if (nKind == ANIMATION_NONE)
        return "the output must end in .mp4 or .webm, or be a picture sequence whose name holds %d or %04d "
               "and ends in .png, .bmp, .jpg or .jpeg: " +
               strPath;
    if (nKind == ANIMATION_SEQUENCE)
        return std::string();
    // The first video loads the video module, and with it FFmpeg.
    if (const CVideoModule& module = CVideoModule::Get(); !module.IsLoaded())
        return module.GetError() + ": " + strPath;
    if (!CVideoWriter::HasEncoder(nKind))
        return std::string("the installed FFmpeg has no ") + CVideoWriter::EncoderName(nKind) +
               " encoder for " + (nKind == ANIMATION_MP4 ? "H.264" : "VP9") + " video: " + strPath;
    // 4:2:0 colour keeps one colour sample for every two by two pixels.
    if (nWidth % 2 != 0 || nHeight % 2 != 0)
        return "a video needs an even width and height, not " + std::to_string(nWidth) + "x" +
               std::to_string(nHeight) + ": " + strPath;
    return std::string();
}

std::unique_ptr<CFrameSink> OpenFrameSink(const std::string& strPath, int nWidth, int nHeight, int nFps,
                                          std::string& strError)
{
    strError = CheckAnimationOutput(strPath, nWidth, nHeight);
    if (!strError.empty())
        return nullptr;
    const int nKind = AnimationKind(strPath);
    if (nKind == ANIMATION_SEQUENCE)
        return std::make_unique<CPictureSequence>(strPath, SnapshotKind(strPath));
    auto pVideo = std::make_unique<CVideoWriter>();
    if (!pVideo->Open(strPath, nKind, nWidth, nHeight, nFps))
    {
        strError = pVideo->GetError();
        return nullptr;
    }
    return pVideo;
}
