// Picture export of a 1920 x 1080 frame in the offscreen context, for the bundled cube and the
// million-triangle grid, each loaded into a document and drawn in its default view by the
// renderer the window and snapshots use: the frame's drawing, the read-back into the DIB (24 and
// 32 bits), and each writer in memory and to a file.
//
//   bench_capture [runs]   (default 20; each figure is the median of the runs)
//
// Files go to a temporary folder that is removed at the end.
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
#include "drawing/FrameCapture.h"
#include "drawing/OffscreenContext.h"
#include "drawing/SceneRenderer.h"
#include "drawing/ViewSettings.h"
#include "export/BitmapExport.h"
#include "export/JpegExport.h"
#include "export/MetafileExport.h"
#include "model/Camera.h"
#include "model/Mesh.h"
#include "model/TeldViewGLDoc.h"
#include "platform/ArchiveException.h"

namespace
{
constexpr int WIDTH = 1920;
constexpr int HEIGHT = 1080;

double Milliseconds(const std::function<void()>& fn)
{
    const auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double Median(int nRuns, const std::function<void()>& fn)
{
    std::vector<double> times;
    for (int i = 0; i < nRuns; ++i)
        times.push_back(Milliseconds(fn));
    std::nth_element(times.begin(), times.begin() + nRuns / 2, times.end());
    return times[static_cast<size_t>(nRuns / 2)];
}

bool Check(bool bOk, const char* pszWhat)
{
    if (!bOk)
        std::fprintf(stderr, "bench_capture: %s failed\n", pszWhat);
    return bOk;
}

bool Measure(const std::string& strMesh, int nRuns, const std::string& strDir, bool bFirst)
{
    CTeldViewGLDoc doc;
    try
    {
        doc.LoadMeshFile(strMesh, false);
    }
    catch (const CArchiveException&)
    {
        return Check(false, "reading the mesh");
    }
    CViewSettings settings;
    SceneRenderer::FitDefaultView(settings, doc);
    SceneRenderer::SetupView(settings, *doc.m_pCamera, WIDTH, HEIGHT);
    const auto draw = [&doc] { SceneRenderer::DrawFrame(doc); };
    draw();
    const double dDraw = Median(nRuns, draw);

    // A fresh DIB each time, as a command that captures once; then a kept one, created again.
    CDib dib24, dib32;
    bool bOk = true;
    const double dFirst =
        Milliseconds([&] { bOk = dib24.Create(WIDTH, HEIGHT, 24) && CaptureFramebuffer(dib24); });
    const double dFresh24 =
        Median(nRuns,
               [&]
               {
                   CDib fresh;
                   bOk = fresh.Create(WIDTH, HEIGHT, 24) && CaptureFramebuffer(fresh) && bOk;
               });
    const double dKept24 =
        Median(nRuns, [&] { bOk = dib24.Create(WIDTH, HEIGHT, 24) && CaptureFramebuffer(dib24) && bOk; });
    const double dRead24 = Median(nRuns, [&] { bOk = CaptureFramebuffer(dib24) && bOk; });
    const double dKept32 =
        Median(nRuns, [&] { bOk = dib32.Create(WIDTH, HEIGHT, 32) && CaptureFramebuffer(dib32) && bOk; });
    if (!Check(bOk, "the capture"))
        return false;
    size_t nLit = 0;
    for (int i = 0; i < WIDTH * HEIGHT; ++i)
        nLit += (dib24.GetPixels()[(i / WIDTH) * dib24.GetStride() + 3 * (i % WIDTH)] != 0) ? 1 : 0;

    std::vector<uint8_t> bytes;
    size_t nJpegSize = 0;
    const double dBmp = Median(nRuns, [&] { bOk = EncodeBitmapFile(dib24, bytes) && bOk; });
    const double dBmpFile =
        Median(nRuns, [&] { bOk = WriteBitmapFile(strDir + "/p.bmp", dib24).m_bOk && bOk; });
    const double dJpeg24 = Median(nRuns, [&] { bOk = EncodeJpeg(dib24, JPEG_QUALITY, bytes).m_bOk && bOk; });
    nJpegSize = bytes.size();
    const double dJpeg32 = Median(nRuns, [&] { bOk = EncodeJpeg(dib32, JPEG_QUALITY, bytes).m_bOk && bOk; });
    const double dJpegFile =
        Median(nRuns, [&] { bOk = WriteJpegFile(strDir + "/p.jpg", dib24, JPEG_QUALITY).m_bOk && bOk; });
    const double dEmf = Median(nRuns, [&] { bOk = EncodeMetafile(dib24, bytes) && bOk; });
    const double dEmfFile =
        Median(nRuns, [&] { bOk = WriteMetafile(strDir + "/p.emf", dib24).m_bOk && bOk; });
    if (!Check(bOk, "a writer"))
        return false;

    const CMesh& mesh = *static_cast<const CMesh*>(doc.m_pCurrentObject);
    std::printf("%s: %d faces, %dx%d, %zu lit pixels, median of %d runs\n", mesh.m_strName.c_str(),
                mesh.m_nFaces, WIDTH, HEIGHT, nLit, nRuns);
    std::printf("  draw (clear, lists, glFinish)     %7.2f ms\n", dDraw);
    if (bFirst)
        std::printf(
            "  first capture of the process      %7.2f ms  (24-bit, memory touched for the first time)\n",
            dFirst);
    std::printf("  capture 24-bit, fresh / kept DIB  %7.2f / %.2f ms  (read-back alone %.2f ms)\n", dFresh24,
                dKept24, dRead24);
    std::printf("  capture 32-bit, kept DIB          %7.2f ms\n", dKept32);
    std::printf("  BMP in memory / to file           %7.2f / %.2f ms  (%zu bytes)\n", dBmp, dBmpFile,
                dib24.GetBlockSize() + 14);
    std::printf("  JPEG 24-bit in memory / to file   %7.2f / %.2f ms  (%zu bytes)\n", dJpeg24, dJpegFile,
                nJpegSize);
    std::printf("  JPEG 32-bit in memory             %7.2f ms\n", dJpeg32);
    std::printf("  EMF in memory / to file           %7.2f / %.2f ms\n", dEmf, dEmfFile);
    std::printf("  fresh capture + JPEG in memory    %7.2f ms beyond the draw\n", dFresh24 + dJpeg24);
    std::printf("  kept capture + JPEG to file       %7.2f ms beyond the draw\n", dKept24 + dJpegFile);
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    const int nRuns = RunsFromArguments(argc, argv, 20);
    if (nRuns == 0)
        return 2;
    COffscreenContext context;
    if (!CreateBenchContext(context, WIDTH, HEIGHT))
        return 1;
    std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    SceneRenderer::SetBaselineState(CViewSettings(), WIDTH, HEIGHT);
    std::string strTemplate = (std::filesystem::temp_directory_path() / "bench_capture.XXXXXX").string();
    if (!Check(mkdtemp(strTemplate.data()) != nullptr, "making a temporary folder"))
        return 1;
    const std::string strGrid = strTemplate + "/grid.off";
    const bool bOk = Check(WriteGridOff(strGrid, 1000, 500), "writing the grid") &&
                     Measure(TELDVIEW_EXAMPLES_DIR "/cube.off", nRuns, strTemplate, true) &&
                     Measure(strGrid, nRuns, strTemplate, false);
    std::filesystem::remove_all(strTemplate);
    return bOk ? 0 : 1;
}
