#pragma once

#include <cstdint>
#include <string>

class CDib;

// Where the frames of an animation go, one after another: a numbered picture sequence or a video.
// The batch mode and the window record through this one interface, so both write the same files.
//
// A sink that is destroyed without a successful Finish removes everything it wrote, so that a
// failed or cancelled recording leaves nothing behind.
class CFrameSink
{
public:
    CFrameSink() = default;
    CFrameSink(const CFrameSink&) = delete;
    CFrameSink& operator=(const CFrameSink&) = delete;
    virtual ~CFrameSink() = default;

    // The file that frame nFrame (from 0) goes into.
    virtual std::string FileOfFrame(int64_t nFrame) const = 0;
    // Takes the next frame: a 24-bit DIB of the sink's size. False, with the reason in
    // GetError(), when it cannot be encoded or written; the sink takes no more frames then.
    virtual bool WriteFrame(const CDib& dib) = 0;
    // Completes the output and puts it in place. False, with the reason in GetError(), when that
    // fails; nothing is left behind then.
    virtual bool Finish() = 0;

    // The message after a failure, as the picture writers give it: "Error writing file.", then
    // the file as given and the reason.
    const std::string& GetError() const { return m_strError; }

protected:
    std::string m_strError;
};
