#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "batch/BatchSnapshot.h"

// The part of the playback an animation shows, in hundredths of a second.
struct SAnimationRange
{
    int nFps = 25;
    int32_t nFrom = 0;
    bool bTo = false; // nTo given; else the last keyframe of the scene
    int32_t nTo = 0;
};

// Draws the playback of the files without any display, as RunSnapshot draws one picture: frame k
// is the snapshot at the time from + k / fps, each written to strOut's frame sink (see
// AnimationOutput.h). Reports "frame K of N" on the standard error as it goes. Returns 0, or 1
// after the program's message with nothing written: an output no sink takes (checked before
// anything is loaded), an input that cannot be read, a range that holds no frame, a failed
// drawing, encoding or write.
int RunAnimate(const std::string& strOut, int nWidth, int nHeight, const std::vector<std::string>& files,
               const SSnapshotLook& look, const SAnimationRange& range);
