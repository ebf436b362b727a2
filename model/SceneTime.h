#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

// Scene time counts hundredths of a second; the dialogs show seconds.
namespace SceneTime
{
// The largest time the dialogs accept, in seconds.
inline constexpr float MAX_DIALOG_SECONDS = 9999.0f;
// The last time playback can reach: keyframe files hold 32-bit times.
inline constexpr int32_t MAX_TIME = std::numeric_limits<int32_t>::max();

// Seconds as shown in a dialog.
inline float ToSeconds(int32_t nTime)
{
    return static_cast<float>(nTime) * 0.01f;
}

// Seconds typed in a dialog, to the nearest hundredth. Rounding (not truncating) makes every
// time survive its own preset: 0.29 is stored just below 0.29 as a float and still gives 29.
// The caller keeps dSeconds within what a 32-bit time can hold.
inline int32_t FromSeconds(double dSeconds)
{
    return static_cast<int32_t>(std::lround(dSeconds * 100.0));
}

// The frames of an animation from nFrom to nTo at nFps frames a second: frame k shows the time
// nFrom + k / nFps seconds, to the nearest hundredth, for every k that stays within nTo. None when
// nTo lies before nFrom. nFps is positive.
inline int64_t FrameCount(int32_t nFrom, int32_t nTo, int nFps)
{
    return nTo < nFrom ? 0 : (static_cast<int64_t>(nTo) - nFrom) * nFps / 100 + 1;
}
// Frame k's time; never past nTo for a k below FrameCount.
inline int32_t FrameTime(int32_t nFrom, int64_t nFrame, int nFps)
{
    return nFrom + static_cast<int32_t>((nFrame * 200 + nFps) / (2 * static_cast<int64_t>(nFps)));
}
} // namespace SceneTime
