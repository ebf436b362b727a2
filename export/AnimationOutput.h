#pragma once

#include <memory>
#include <string>

#include "export/FrameSink.h"

// The outputs an animation is written to, told apart by the name:
// - a name whose file part holds %d or %04d (and no other %): a picture sequence numbered from
//   0, as PNG, BMP or JPEG by its extension;
// - .mp4: H.264 in MP4; .webm: VP9 in WebM (any case).
enum
{
    ANIMATION_NONE = 0,
    ANIMATION_SEQUENCE = 1,
    ANIMATION_MP4 = 2,
    ANIMATION_WEBM = 3
};
int AnimationKind(const std::string& strPath);

// The highest frame rate an animation is drawn at.
constexpr int MAX_ANIMATION_FPS = 240;

// Whether strPath can take an animation of nWidth x nHeight pixels before anything is drawn:
// empty, or the message (the name not one of the outputs above, the video module or FFmpeg not
// loadable, the installed FFmpeg without the encoder, a video size that 4:2:0 colour cannot
// hold). Only a video loads the video module.
std::string CheckAnimationOutput(const std::string& strPath, int nWidth, int nHeight);

// A sink for strPath, opened for frames of nWidth x nHeight at nFps frames a second; null, with
// the message in strError, when CheckAnimationOutput refuses it or the file cannot be opened or
// the encoder refuses to start.
std::unique_ptr<CFrameSink> OpenFrameSink(const std::string& strPath, int nWidth, int nHeight, int nFps,
                                          std::string& strError);
