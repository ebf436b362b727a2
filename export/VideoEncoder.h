#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>

// An encoder of the video module (see VideoModule.h), which alone links FFmpeg: it turns frames
// into one video stream and writes it to a stream that the program owns, so that the program's
// CSafeFileWriter alone decides where the file goes and removes it on a failure or interrupt.
//
// The program and the module share this class's layout: a change to it must raise
// VIDEO_ENCODER_INTERFACE, so that a module of another build is refused instead of called.
class CVideoEncoder
{
public:
    CVideoEncoder() = default;
    CVideoEncoder(const CVideoEncoder&) = delete;
    CVideoEncoder& operator=(const CVideoEncoder&) = delete;
    virtual ~CVideoEncoder() = default;

    // Starts a video of nKind (ANIMATION_MP4, ANIMATION_WEBM) of nWidth x nHeight (both even) at
    // nFps frames a second into out, which must seek: MP4 fills in its sizes at the end. False,
    // with the reason in GetError(), when the encoder is missing or refuses to start.
    virtual bool Open(std::ostream& out, int nKind, int nWidth, int nHeight, int nFps) = 0;
    // Encodes the next frame: nHeight rows of nWidth BGR pixels, the top one at pTop, each row
    // nStride bytes after the one above it (negative for rows stored bottom-up).
    virtual bool Encode(const uint8_t* pTop, ptrdiff_t nStride) = 0;
    // Encodes what the encoder still holds, ends the file and flushes it into the stream.
    virtual bool Finish() = 0;
    // Why the last step failed, in FFmpeg's words.
    virtual std::string GetError() const = 0;
};

constexpr int VIDEO_ENCODER_INTERFACE = 1;

// What the module exports, by these names, with C linkage.
// A new encoder, or null when the module was built for another VIDEO_ENCODER_INTERFACE.
using PFN_CREATE_VIDEO_ENCODER = CVideoEncoder* (*)(int nInterface);
constexpr char CREATE_VIDEO_ENCODER_SYMBOL[] = "TeldViewCreateVideoEncoder";
// Nonzero when the FFmpeg the module was loaded with has the encoder of this name.
using PFN_HAS_VIDEO_ENCODER = int (*)(const char* pszName);
constexpr char HAS_VIDEO_ENCODER_SYMBOL[] = "TeldViewHasVideoEncoder";
