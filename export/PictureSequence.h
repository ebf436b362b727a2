#pragma once

#include <string>
#include <vector>

#include "export/FrameSink.h"

// Frames as numbered picture files: the pattern's %d or %04d is replaced by the frame's number
// (from 0; %04d pads it with zeros to four digits), the format is SnapshotKind's of the
// pattern. Each picture is written through its format's writer, which replaces a file only when
// the new one is complete; the pictures of a sequence that is not finished are removed.
class CPictureSequence : public CFrameSink
{
public:
    // strPattern must hold the placeholder (see AnimationKind) and name a PNG, BMP or JPEG file.
    CPictureSequence(const std::string& strPattern, int nKind);
    ~CPictureSequence() override;

    std::string FileOfFrame(int64_t nFrame) const override;
    bool WriteFrame(const CDib& dib) override;
    bool Finish() override;

    // Where the pattern's placeholder starts and how long it is; false when the file part of the
    // name holds no %d or %04d, or another %.
    static bool FindPlaceholder(const std::string& strPattern, size_t& nAt, size_t& nLength);

private:
    std::string m_strPattern;
    int m_nKind;
    size_t m_nAt = 0;
    size_t m_nLength = 0;
    bool m_bFailed = false;
    bool m_bFinished = false;
    std::vector<std::string> m_written;
};
