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
#include "formats/FileHead.h"
#include "formats/InputFile.h"
#include "formats/ModelFormats.h"
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

bool StreamModel(const std::string& strPath, const SModelFormat& format, std::string_view head,
                 uint64_t nSize, CTriangleSink& renderer)
{
    // Opened without waiting: a path swapped for a FIFO after the check must not hang the
    // file manager's thumbnailer.
    CInputFile file;
    if (!file.Open(strPath))
        return false;
    CByteWindow bytes(file.Fd());
    return format.fnStream(bytes, head, nSize, renderer);
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
    std::string head;
    uint64_t nSize64 = 0;
    const bool bReadable = ReadFileHead(strIn, head, nSize64);
    if (const std::string strProblem = CDocument::OpenProblem(strIn); !strProblem.empty() || !bReadable)
    {
        std::fprintf(stderr, "Cannot open file. %s: %s\n", strIn.c_str(), strProblem.c_str());
        return 1;
    }
    const SModelFormat* pFormat = FindModelFormat(head, nSize64);
    if (pFormat == nullptr || pFormat->fnRead == nullptr)
    {
        std::fprintf(stderr, "Unable to read %s: unexpected file format.\n", strIn.c_str());
        return 1;
    }
    const SModelFormat& format = *pFormat;
    if (const std::string strInput = InputAtOutput(strOut, {strIn}); !strInput.empty())
    {
        std::fprintf(stderr, "Error writing file.\n%s: the same file as the input %s\n", strOut.c_str(),
                     strInput.c_str());
        return 1;
    }
    // A small file is read whole, on a worker while the context starts, for the window's very
    // look (smooth shading, polygons split as the tessellator splits them); a bigger one is
    // streamed where the format has a stream, and a format's stream may serve any size (binary
    // STL: it accepts exactly what the full reader accepts and draws the same flat facets).
    const bool bStream = format.fnStream != nullptr &&
                         (nSize64 > THUMBNAIL_WHOLE_READ_LIMIT ||
                          (format.fnStreamsAtAnySize != nullptr && format.fnStreamsAtAnySize(head, nSize64)));
    std::unique_ptr<CMeshPreloader> pPreload;
    if (!bStream)
        pPreload = std::make_unique<CMeshPreloader>(strIn, format);
    COffscreenContext context;
    CContextStart start(context, nSize);
    CThumbnailRenderer renderer(nSize);
    CStartingSink sink(start, renderer);
    bool bRead = pPreload ? DrawMesh(pPreload->Take(), sink, renderer)
                          : StreamModel(strIn, format, head, nSize64, sink);
    // A file the stream refuses may still be one the full reader reads.
    if (!bRead && !pPreload && !format.bStreamExact && nSize64 <= THUMBNAIL_FALLBACK_READ_LIMIT)
    {
        auto pMesh = std::make_unique<CMesh>();
        bRead = DrawMesh(pMesh->ReadModel(format, strIn) ? std::move(pMesh) : nullptr, sink, renderer);
    }
    if (!bRead)
    {
        std::fprintf(stderr, "%s %s\n", ReadFailureMessage(format).c_str(), strIn.c_str());
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
