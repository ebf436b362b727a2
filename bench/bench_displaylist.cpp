// Display-list build and frames of a million-face mesh in the offscreen context, for every
// render mode and shading.
//
//   bench_displaylist [--quads|--soup] [--tessellator] [--lists] [--whole] [--workers N] [MODE]
//                     [columns rows]
//
// The mesh is a gently waved grid: by default 500 x 1000 cells of two triangles each
// (1,000,000 triangles); with --quads 1000 x 1000 cells of one quad each (1,000,000 quads); with
// --soup the triangles each with three vertices of their own, as an STL import makes them.
// MODE (points, wireframe, shaded or hidden) limits the run to one mode; both shadings are
// always measured. --tessellator sends every filled face through the GLU tessellator in its own
// primitive (the reference the faster paths are checked against). --lists gives the mesh a display
// list instead of drawing it from its records; --whole draws every triangle of a mesh drawn from
// its records, also those that cover no pixel centre; --workers N compiles big meshes in runs on N
// contexts sharing the drawing one. For each it prints the time of CMeshGL::Build, the memory it
// added, and the first and second frame that draw the mesh (glClear, CMesh::Draw, glFinish at 800
// x 600), as wall time and as the processor time of the whole process (which counts the renderer's
// and the compile's threads too, and not the time other programs take from us on a busy machine).
// "change" is build plus first frame: how long a mode change takes to show.
#include <GL/gl.h>
#include <GL/glu.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "drawing/MeshGL.h"
#include "drawing/MeshPreparation.h"
#include "drawing/OffscreenContext.h"
#include "drawing/SampleCull.h"
#include "drawing/SharedGLContext.h"
#include "drawing/Tessellator.h"
#include "model/Mesh.h"

namespace
{
using Clock = std::chrono::steady_clock;

// Wall and processor seconds of one step.
struct STimes
{
    double dWall = 0.0;
    double dCpu = 0.0;
};

double ProcessSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

template <typename Fn> STimes Measure(Fn fn)
{
    const Clock::time_point start = Clock::now();
    const double dStartCpu = ProcessSeconds();
    fn();
    return {std::chrono::duration<double>(Clock::now() - start).count(), ProcessSeconds() - dStartCpu};
}

// A gently waved grid of nColumns x nRows cells, each one quad or two triangles.
void BuildGrid(CMesh& mesh, int nColumns, int nRows, bool bQuads)
{
    const int nVertices = (nColumns + 1) * (nRows + 1);
    const int nFacesPerCell = bQuads ? 1 : 2;
    const int nFaces = nFacesPerCell * nColumns * nRows;
    mesh.Allocate(nVertices, nFaces, (bQuads ? 4 : 3) * nFaces);
    for (int j = 0; j <= nRows; ++j)
        for (int i = 0; i <= nColumns; ++i)
        {
            const double x = static_cast<double>(i) / nColumns;
            const double y = static_cast<double>(j) / nRows;
            mesh.SetVertex(j * (nColumns + 1) + i,
                           CVector3(x, y, 0.05 * std::sin(20.0 * x) * std::cos(10.0 * y)));
        }
    int nFace = 0;
    for (int j = 0; j < nRows; ++j)
        for (int i = 0; i < nColumns; ++i)
        {
            const int a = j * (nColumns + 1) + i;
            const int b = a + 1;
            const int c = a + nColumns + 2;
            const int d = a + nColumns + 1;
            const int32_t quad[4] = {a, b, c, d};
            const int32_t first[3] = {a, b, c};
            const int32_t second[3] = {a, c, d};
            if (bQuads)
                mesh.SetFace(nFace++, 4, quad);
            else
            {
                mesh.SetFace(nFace++, 3, first);
                mesh.SetFace(nFace++, 3, second);
            }
        }
    mesh.ComputeBounds();
    mesh.ComputeNormals();
}

// The view's baseline state, a perspective view of the whole grid.
void SetupView(int nWidth, int nHeight)
{
    const GLfloat fFront[4] = {0.0f, 0.0f, 0.7f, 1.0f};
    const GLfloat fBack[4] = {0.7f, 0.0f, 0.0f, 1.0f};
    const GLfloat fSpecular[4] = {0.7f, 0.7f, 0.7f, 1.0f};
    const GLfloat fLightAmbient[4] = {0.3f, 0.3f, 0.3f, 1.0f};
    const GLfloat fWhite[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    const GLfloat fBlack[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    const GLfloat fLightPosition[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(nWidth) / nHeight, 1.0, 25.0);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, fFront);
    glMaterialfv(GL_FRONT, GL_SPECULAR, fSpecular);
    glMaterialf(GL_FRONT, GL_SHININESS, 50.0f);
    glMaterialfv(GL_BACK, GL_AMBIENT_AND_DIFFUSE, fBack);
    glMaterialfv(GL_BACK, GL_SPECULAR, fSpecular);
    glMaterialf(GL_BACK, GL_SHININESS, 50.0f);
    glShadeModel(GL_SMOOTH);
    glPolygonOffset(1.0f, 1.0f);
    glCullFace(GL_BACK);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, fBlack);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glLightfv(GL_LIGHT0, GL_POSITION, fLightPosition);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, fWhite);
    glLightfv(GL_LIGHT0, GL_AMBIENT, fLightAmbient);
    glLightfv(GL_LIGHT0, GL_SPECULAR, fWhite);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTranslated(0.0, 0.0, -2.5);
}

STimes DrawFrame(const CMesh& mesh)
{
    return Measure(
        [&mesh]
        {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glPushMatrix();
            CMeshGL::Draw(mesh);
            glPopMatrix();
            glFinish();
        });
}

double ResidentMB()
{
    long nPages = 0, nResident = 0;
    if (std::FILE* pFile = std::fopen("/proc/self/statm", "r"))
    {
        if (std::fscanf(pFile, "%ld %ld", &nPages, &nResident) != 2)
            nResident = 0;
        std::fclose(pFile);
    }
    return static_cast<double>(nResident) * 4096.0 / 1e6;
}

// The grid's triangles as a soup: every triangle with vertices of its own.
void MakeSoup(CMesh& mesh)
{
    std::vector<double> xyz;
    xyz.reserve(static_cast<size_t>(mesh.m_nFaces) * 9);
    for (int32_t f = 0; f < mesh.m_nFaces; ++f)
        for (int k = 0; k < 3; ++k)
            xyz.insert(xyz.end(), mesh.m_ppVertices[mesh.m_ppFaces[f][k]],
                       mesh.m_ppVertices[mesh.m_ppFaces[f][k]] + 3);
    mesh.SetTriangles(xyz.data(), mesh.m_nFaces);
    mesh.CompleteTriangleSoup();
}

size_t LitPixels(COffscreenContext& context)
{
    std::vector<uint8_t> rgba;
    context.ReadPixels(rgba);
    size_t nLit = 0;
    for (size_t i = 0; i < rgba.size(); i += 4)
        nLit += (rgba[i] | rgba[i + 1] | rgba[i + 2]) != 0 ? 1 : 0;
    return nLit;
}

bool ParseCount(const char* psz, int& n)
{
    const char* pEnd = psz + std::strlen(psz);
    const auto res = std::from_chars(psz, pEnd, n);
    return res.ec == std::errc() && res.ptr == pEnd && n >= 1 && n <= 10000;
}

struct SMode
{
    const char* pszName;
    int32_t nMode;
};
constexpr SMode MODES[] = {{"points", RENDER_POINTS},
                           {"wireframe", RENDER_WIREFRAME},
                           {"shaded", RENDER_SHADED},
                           {"hidden", RENDER_HIDDEN_LINE}};
} // namespace

int main(int argc, char** argv)
{
    bool bQuads = false, bSoup = false;
    int nWorkers = 0;
    const char* pszOnly = nullptr;
    std::vector<const char*> counts;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--quads") == 0)
            bQuads = true;
        else if (std::strcmp(argv[i], "--soup") == 0)
            bSoup = true;
        else if (std::strcmp(argv[i], "--tessellator") == 0)
            SetTessShortcuts(false);
        else if (std::strcmp(argv[i], "--lists") == 0)
            CMeshPreparation::SetArrayDrawing(false);
        else if (std::strcmp(argv[i], "--whole") == 0)
            CSampleCull::SetEnabled(false);
        else if (std::strcmp(argv[i], "--workers") == 0 && i + 1 < argc && ParseCount(argv[i + 1], nWorkers))
            ++i;
        else if (argv[i][0] >= '0' && argv[i][0] <= '9')
            counts.push_back(argv[i]);
        else
            pszOnly = argv[i];
    }
    int nColumns = bQuads ? 1000 : 500;
    int nRows = 1000;
    bool bKnownMode = pszOnly == nullptr;
    for (const SMode& mode : MODES)
        bKnownMode = bKnownMode || std::strcmp(pszOnly, mode.pszName) == 0;
    if (!bKnownMode || (bQuads && bSoup) || (counts.size() != 0 && counts.size() != 2) ||
        (counts.size() == 2 && (!ParseCount(counts[0], nColumns) || !ParseCount(counts[1], nRows))))
    {
        std::fprintf(stderr,
                     "usage: %s [--quads|--soup] [--tessellator] [--lists] [--whole] [--workers N] "
                     "[points|wireframe|shaded|hidden] [columns rows]\n",
                     argv[0]);
        return 2;
    }
    const int nWidth = 800;
    const int nHeight = 600;
    COffscreenContext context;
    if (!context.Create(nWidth, nHeight))
    {
        std::fprintf(stderr, "%s\n", context.GetError().c_str());
        return 1;
    }
    std::printf("renderer: %s, %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
                reinterpret_cast<const char*>(glGetString(GL_VERSION)));
    SetupView(nWidth, nHeight);
    std::vector<std::unique_ptr<CSharedGLContext>> workers;
    std::vector<CSharedGLContext*> workerPointers;
    for (int i = 0; i < nWorkers; ++i)
        if (auto pWorker = context.CreateSharedContext())
        {
            workerPointers.push_back(pWorker.get());
            workers.push_back(std::move(pWorker));
        }
    CMeshPreparation::SetWorkerContexts(workerPointers);

    CMesh mesh;
    const STimes grid = Measure(
        [&]
        {
            BuildGrid(mesh, nColumns, nRows, bQuads);
            if (bSoup)
                MakeSoup(mesh);
        });
    mesh.SetFillColor(0x404040);
    std::printf("%d %s on %d vertices, set up in %.3f s; %zu worker contexts\n", mesh.m_nFaces,
                bQuads ? "quads" : "triangles", mesh.m_nVertices, grid.dWall, workers.size());
    std::printf("%-10s %-8s %19s %8s %19s %19s %8s %9s\n", "mode", "shading", "build s (cpu)", "+MB",
                "first frame (cpu)", "second frame (cpu)", "change", "lit px");
    bool bOk = true;
    for (const SMode& mode : MODES)
    {
        if (pszOnly != nullptr && std::strcmp(pszOnly, mode.pszName) != 0)
            continue;
        for (int32_t nShading : {SHADE_FLAT, SHADE_GOURAUD})
        {
            mesh.m_nRenderMode = mode.nMode;
            mesh.m_nShading = nShading;
            uint32_t nList = 0;
            mesh.ReleaseGraphics();
            const double dBefore = ResidentMB();
            const STimes build = Measure([&] { nList = CMeshGL::Build(mesh); });
            const double dAdded = ResidentMB() - dBefore;
            const STimes first = DrawFrame(mesh);
            const STimes second = DrawFrame(mesh);
            const size_t nLit = LitPixels(context);
            bOk = bOk && nList != 0 && nLit > 0;
            std::printf("%-10s %-8s %8.3f (%8.3f) %8.0f %8.3f (%8.3f) %8.3f (%8.3f) %8.3f %9zu\n",
                        mode.pszName, nShading == SHADE_FLAT ? "flat" : "gouraud", build.dWall, build.dCpu,
                        dAdded, first.dWall, first.dCpu, second.dWall, second.dCpu, build.dWall + first.dWall,
                        nLit);
            std::fflush(stdout);
        }
    }
    mesh.ReleaseGraphics();
    CMeshPreparation::SetWorkerContexts({});
    return bOk ? 0 : 1;
}
