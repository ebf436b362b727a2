#pragma once

#include <memory>
#include <string>

#include "export/VideoEncoder.h"

// The video module, libteldview_video.so: the only part of the program that links FFmpeg, whose
// hundred shared libraries would otherwise be loaded by every start of the program. It is
// loaded the first time a video is asked for, from the program's own folder (the build tree)
// or else the install's library folder, and stays loaded until the process ends.
class CVideoModule
{
public:
    // The module, loaded on the first call (from any thread).
    static const CVideoModule& Get();

    bool IsLoaded() const { return m_pfnCreate != nullptr; }
    // Why it is not loaded: "the video module PATH cannot be loaded: REASON".
    const std::string& GetError() const { return m_strError; }
    // Whether it is loaded and its FFmpeg has the encoder of this name.
    bool HasEncoder(const char* pszName) const;
    // A new encoder; null when the module is not loaded.
    std::unique_ptr<CVideoEncoder> CreateEncoder() const;

private:
    CVideoModule();

    PFN_CREATE_VIDEO_ENCODER m_pfnCreate = nullptr;
    PFN_HAS_VIDEO_ENCODER m_pfnHasEncoder = nullptr;
    std::string m_strError;
};
