#pragma once

#include <memory>
#include <string>

#include "export/FrameSink.h"

class CSafeFileWriter;
class CVideoEncoder;

// Frames encoded through FFmpeg's libraries into one video file: H.264 (libx264) in MP4 or VP9
// (libvpx-vp9) in WebM, 4:2:0 colour, one frame every 1/fps seconds. FFmpeg is reached through
// the video module (see VideoModule.h), loaded when the first video is asked for. The file is
// written through CSafeFileWriter: it takes its name only when Finish succeeds, and a writer
// destroyed before that (a failure, a cancel) or a process interrupted leaves nothing behind.
class CVideoWriter : public CFrameSink
{
public:
    CVideoWriter();
    ~CVideoWriter() override;

    // The encoder's name for a video kind (ANIMATION_MP4, ANIMATION_WEBM).
    static const char* EncoderName(int nKind);
    // Whether the video module loads and the installed FFmpeg has that encoder.
    static bool HasEncoder(int nKind);

    // Opens strPath for nWidth x nHeight frames (both even) at nFps a second. False, with the
    // reason in GetError(): the video module not loadable, the encoder missing or refusing the
    // size, the file not writable.
    bool Open(const std::string& strPath, int nKind, int nWidth, int nHeight, int nFps);

    std::string FileOfFrame(int64_t nFrame) const override;
    bool WriteFrame(const CDib& dib) override;
    bool Finish() override;

private:
    bool Fail(const std::string& strReason);
    // After the encoder failed: a failed write of the file says why in the system's words.
    bool FailEncoder();

    std::string m_strPath;
    std::unique_ptr<CSafeFileWriter> m_pFile;
    std::unique_ptr<CVideoEncoder> m_pEncoder;
    int m_nWidth = 0;
    int m_nHeight = 0;
    bool m_bOpen = false;
    bool m_bFailed = false;
};
