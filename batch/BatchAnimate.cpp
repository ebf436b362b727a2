#include "batch/BatchAnimate.h"

#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <memory>

#include "batch/OffscreenScene.h"
#include "export/AnimationOutput.h"
#include "export/Dib.h"
#include "model/SceneTime.h"
#include "platform/DataExchange.h"

int RunAnimate(const std::string& strOut, int nWidth, int nHeight, const std::vector<std::string>& files,
               const SSnapshotLook& look, const SAnimationRange& range)
{
    if (const std::string strProblem = CheckAnimationOutput(strOut, nWidth, nHeight); !strProblem.empty())
    {
        std::fprintf(stderr, "teldviewgl: %s\n", strProblem.c_str());
        return 1;
    }
    COffscreenScene scene;
    if (!scene.Load(strOut, nWidth, nHeight, files, look))
        return 1;
    const int32_t nTo = range.bTo ? range.nTo : scene.Document().LastKeyframeTime();
    const int64_t nFrames = SceneTime::FrameCount(range.nFrom, nTo, range.nFps);
    if (nFrames == 0)
    {
        const auto seconds = [](int32_t nTime) { return DataExchange::Format(nTime / 100.0, FIELD_DOUBLE); };
        std::fprintf(stderr, "teldviewgl: the range from %s s to %s s holds no frame\n",
                     seconds(range.nFrom).c_str(), seconds(nTo).c_str());
        return 1;
    }
    std::string strError;
    const std::unique_ptr<CFrameSink> pSink = OpenFrameSink(strOut, nWidth, nHeight, range.nFps, strError);
    if (!pSink)
    {
        std::fprintf(stderr, "%s\n", strError.c_str());
        return 1;
    }
    // On a terminal the count stays on one line.
    const bool bTerminal = isatty(STDERR_FILENO) != 0;
    CDib dib;
    for (int64_t nFrame = 0; nFrame < nFrames; ++nFrame)
    {
        // A picture of the sequence must not replace one of the inputs; the sink then removes
        // the frames it wrote.
        if (nFrame == 0 || pSink->FileOfFrame(nFrame) != pSink->FileOfFrame(nFrame - 1))
            if (scene.OutputIsAnInput(pSink->FileOfFrame(nFrame)))
                return 1;
        if (!scene.DrawAt(SceneTime::FrameTime(range.nFrom, nFrame, range.nFps), dib, false, strOut))
            return 1;
        if (!pSink->WriteFrame(dib))
        {
            std::fprintf(stderr, "%s%s\n", bTerminal ? "\n" : "", pSink->GetError().c_str());
            return 1;
        }
        std::fprintf(stderr, "%sframe %" PRId64 " of %" PRId64 "%s", bTerminal ? "\r" : "", nFrame + 1,
                     nFrames, bTerminal ? "" : "\n");
    }
    if (bTerminal)
        std::fputs("\n", stderr);
    if (!pSink->Finish())
    {
        std::fprintf(stderr, "%s\n", pSink->GetError().c_str());
        return 1;
    }
    return 0;
}
