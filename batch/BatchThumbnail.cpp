#include "batch/BatchThumbnail.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <system_error>
#include <thread>

#include "batch/BatchInputs.h"
#include "batch/BatchSnapshot.h"
#include "drawing/CoverageAlpha.h"
#include "drawing/FrameCapture.h"
#include "drawing/OffscreenContext.h"
#include "drawing/ThumbnailRenderer.h"
#include "export/Dib.h"
#include "formats/ByteWindow.h"
#include "formats/FileKind.h"
#include "formats/InputFile.h"
#include "formats/ModelStream.h"
#include "formats/stl/StlFormat.h"
#include "model/Mesh.h"
#include "model/MeshPreloader.h"
#include "model/TeldViewGLDoc.h"
#include "platform/Document.h"

namespace
{
// Starts the offscreen context on a worker, so that it comes up while the file is read (each
// takes about as long), and makes it current on the drawing thread once the drawing begins.
class CContextStart
{
public:
    CContextStart(COffscreenContext& context, int nSize) : m_context(context)
    {
        try
        {
            m_thread = std::thread(
                [this, nSize]
                {
                    m_bCreated = m_context.Create(nSize, nSize);
                    m_context.Release();
                });
        }
        catch (const std::system_error&)
        {
            m_bCreated = m_context.Create(nSize, nSize);
        }
    }
    CContextStart(const CContextStart&) = delete;
    CContextStart& operator=(const CContextStart&) = delete;
    ~CContextStart() { Join(); }

    // Waits for the context; false when there is none.
    bool Ready()
    {
        Join();
        return m_bCreated && m_context.MakeCurrent();
    }

private:
    void Join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

    COffscreenContext& m_context;
    bool m_bCreated = false;
    std::thread m_thread;
};

// Passes a stream on to the renderer once the context is ready; drops it when there is none.
class CStartingSink : public CTriangleSink
{
public:
    CStartingSink(CContextStart& start, CThumbnailRenderer& renderer) : m_start(start), m_renderer(renderer)
    {
    }

    void Begin(const double pdMin[3], const double pdMax[3], bool bColors, bool bSample) override
    {
        m_bDrawing = m_start.Ready();
        if (m_bDrawing)
            m_renderer.Begin(pdMin, pdMax, bColors, bSample);
    }
    void Fit(const float* pPositions, size_t nPoints) override
    {
        if (m_bDrawing)
            m_renderer.Fit(pPositions, nPoints);
    }
    void Triangle(const float* pPositions, const float* pColors) override
    {
        if (m_bDrawing)
            m_renderer.Triangle(pPositions, pColors);
    }

    bool m_bDrawing = false;

private:
    CContextStart& m_start;
    CThumbnailRenderer& m_renderer;
};

bool StreamModel(const std::string& strPath, int nKind, uint64_t nSize, CTriangleSink& renderer)
{
    // Opened without waiting: a path swapped for a FIFO after the check must not hang the
    // file manager's thumbnailer.
    CInputFile file;
    if (!file.Open(strPath))
        return false;
    bool bRead = false;
    {
        CByteWindow bytes(file.Fd());
        if (nKind != INPUT_STL)
            bRead = StreamOFF(bytes, renderer);
        else if (DetectSTLMode(strPath) == STL_ASCII)
            // A binary header may start with "solid" too.
            bRead = SampleAsciiSTL(bytes, nSize, THUMBNAIL_ASCII_FACETS, renderer) ||
                    (bytes.Rewind() && StreamBinarySTL(bytes, nSize, renderer));
        else
            bRead = StreamBinarySTL(bytes, nSize, renderer);
    }
    return bRead;
}

// Draws a mesh the full reader has read; false without one.
bool DrawMesh(const std::unique_ptr<CMesh>& pMesh, CStartingSink& sink, CThumbnailRenderer& renderer)
{
    if (!pMesh)
        return false;
    double pdMin[3], pdMax[3];
    pMesh->m_vBoundsMin.ToArray(pdMin);
    pMesh->m_vBoundsMax.ToArray(pdMax);
    sink.Begin(pdMin, pdMax, pMesh->m_bHasColors, false);
    if (sink.m_bDrawing)
        renderer.AddMesh(*pMesh);
    return true;
}
} // namespace

int RunThumbnail(int nSize, const std::string& strIn, const std::string& strOut)
{
    const int nKind = InputKind(strIn);
    struct stat st;
    if (const std::string strProblem = CDocument::OpenProblem(strIn);
        !strProblem.empty() || stat(strIn.c_str(), &st) != 0)
    {
        std::fprintf(stderr, "Cannot open file. %s: %s\n", strIn.c_str(), strProblem.c_str());
        return 1;
    }
    if (const std::string strInput = InputAtOutput(strOut, {strIn}); !strInput.empty())
    {
        std::fprintf(stderr, "Error writing file.\n%s: the same file as the input %s\n", strOut.c_str(),
                     strInput.c_str());
        return 1;
    }
    // A small file is read whole, on a worker while the context starts, for the window's very
    // look (smooth shading, polygons split as the tessellator splits them); a bigger one is
    // streamed. Binary STL is streamed at any size: its stream accepts exactly what the full
    // reader accepts and draws the same flat facets, without building a mesh.
    const auto nSize64 = static_cast<uint64_t>(st.st_size);
    const bool bStream =
        nSize64 > THUMBNAIL_WHOLE_READ_LIMIT || (nKind == INPUT_STL && DetectSTLMode(strIn) != STL_ASCII);
    std::unique_ptr<CMeshPreloader> pPreload;
    if (!bStream)
        pPreload = std::make_unique<CMeshPreloader>(strIn, nKind == INPUT_STL ? int(STL_BY_CONTENT)
                                                                              : int(PRELOAD_OFF));
    COffscreenContext context;
    CContextStart start(context, nSize);
    CThumbnailRenderer renderer(nSize);
    CStartingSink sink(start, renderer);
    bool bRead =
        pPreload ? DrawMesh(pPreload->Take(), sink, renderer) : StreamModel(strIn, nKind, nSize64, sink);
    // An OFF dialect the stream does not know may be one the full reader knows.
    if (!bRead && !pPreload && nKind != INPUT_STL && nSize64 <= THUMBNAIL_FALLBACK_READ_LIMIT)
    {
        auto pMesh = std::make_unique<CMesh>();
        bRead = DrawMesh(pMesh->ReadOFF(strIn) ? std::move(pMesh) : nullptr, sink, renderer);
    }
    if (!bRead)
    {
        std::fprintf(stderr, "%s %s\n",
                     nKind == INPUT_STL ? "Error reading STL file." : "Error reading OFF file.",
                     strIn.c_str());
        return 1;
    }
    if (!sink.m_bDrawing)
    {
        std::fprintf(stderr, "Cannot draw the picture: %s\n", context.GetError().c_str());
        return 1;
    }
    renderer.Finish();
    WriteCoverageAlpha();
    CDib dib;
    if (!dib.Create(nSize, nSize, 32) || !CaptureFramebuffer(dib))
    {
        std::fprintf(stderr, "The picture of the view could not be captured. %s\n", strOut.c_str());
        return 1;
    }
    return WriteSnapshotPicture(SNAPSHOT_PNG, strOut, dib) ? 0 : 1;
}
