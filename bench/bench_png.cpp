// PNG pictures of a 1920 x 1080 frame of the million-triangle grid in its default view (opaque,
// and transparent as --transparent writes it), encoded in memory at several zlib levels: the time
// and the size each level gives, against the bitmap and JPEG of the same frame.
//
//   bench_png [runs]   (default 10; each figure is the median of the runs)
#include <GL/gl.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench/BenchRuns.h"
#include "bench/GridOff.h"
#include "drawing/CoverageAlpha.h"
#include "drawing/FrameCapture.h"
#include "drawing/OffscreenContext.h"
#include "drawing/SceneRenderer.h"
#include "drawing/ViewSettings.h"
#include "export/BitmapExport.h"
#include "export/JpegExport.h"
#include "export/PngExport.h"
#include "model/Camera.h"
#include "model/TeldViewGLDoc.h"
#include "platform/ArchiveException.h"

namespace
{
constexpr int WIDTH = 1920;
constexpr int HEIGHT = 1080;

double Median(int nRuns, const std::function<void()>& fn)
{
    std::vector<double> times;
    for (int i = 0; i < nRuns; ++i)
    {
        const auto start = std::chrono::steady_clock::now();
        fn();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::nth_element(times.begin(), times.begin() + nRuns / 2, times.end());
    return times[static_cast<size_t>(nRuns / 2)];
}
} // namespace

int main(int argc, char** argv)
{
    const int nRuns = RunsFromArguments(argc, argv, 10);
    if (nRuns == 0)
        return 2;
    COffscreenContext context;
    if (!CreateBenchContext(context, WIDTH, HEIGHT))
        return 1;
    CViewSettings settings;
    SceneRenderer::SetBaselineState(settings, WIDTH, HEIGHT);
    std::string strDir = (std::filesystem::temp_directory_path() / "bench_png.XXXXXX").string();
    if (mkdtemp(strDir.data()) == nullptr || !WriteGridOff(strDir + "/grid.off", 1000, 500))
    {
        std::fputs("bench_png: cannot write the grid\n", stderr);
        return 1;
    }
    CDib dib24, dib32;
    {
        CTeldViewGLDoc doc;
        try
        {
            doc.LoadMeshFile(strDir + "/grid.off", false);
        }
        catch (const CArchiveException&)
        {
            std::fputs("bench_png: cannot read the grid\n", stderr);
            return 1;
        }
        SceneRenderer::FitDefaultView(settings, doc);
        SceneRenderer::SetupView(settings, *doc.m_pCamera, WIDTH, HEIGHT);
        SceneRenderer::DrawFrame(doc);
        WriteCoverageAlpha();
        if (!dib24.Create(WIDTH, HEIGHT, 24) || !CaptureFramebuffer(dib24) ||
            !dib32.Create(WIDTH, HEIGHT, 32) || !CaptureFramebuffer(dib32))
        {
            std::fputs("bench_png: the capture failed\n", stderr);
            return 1;
        }
    }
    std::filesystem::remove_all(strDir);

    std::vector<uint8_t> bytes;
    // Timed first, then the size of what the last run wrote.
    const auto report = [&](const char* pszWhat, const std::function<void()>& fnEncode, const char* pszNote)
    {
        const double dTime = Median(nRuns, fnEncode);
        std::printf("  %-18s %8.2f ms %9zu bytes%s\n", pszWhat, dTime, bytes.size(), pszNote);
    };
    std::printf("grid of 1,000,000 triangles, %dx%d, median of %d runs\n", WIDTH, HEIGHT, nRuns);
    report(
        "BMP", [&] { EncodeBitmapFile(dib24, bytes); }, "");
    report(
        "JPEG", [&] { EncodeJpeg(dib24, JPEG_QUALITY, bytes); }, "");
    for (const CDib* pDib : {&dib24, &dib32})
        for (int nLevel : {1, 3, 6, 9})
        {
            const std::string strWhat =
                std::string(pDib == &dib24 ? "PNG RGB" : "PNG RGBA") + " level " + std::to_string(nLevel);
            report(
                strWhat.c_str(), [&] { EncodePng(*pDib, bytes, nLevel); },
                nLevel == PNG_COMPRESSION ? "  (written)" : "");
        }
    return 0;
}
