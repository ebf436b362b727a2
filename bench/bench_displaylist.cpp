// Display-list build and first draw of a million-triangle mesh in the offscreen context.
//
//   bench_displaylist [columns rows]   (default 500 x 1000 quads = 1,000,000 triangles)
//
// Prints the time of BuildDisplayList (shaded, Gouraud) and of the first and second frame that
// call the list (glCallList + glFinish) at 800 x 600.
#include <GL/gl.h>
#include <GL/glu.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/OffscreenContext.h"
#include "scene/Mesh.h"

namespace
{
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time of the whole process: unlike the wall clock it does not count the time other
// programs on a busy machine take from us (the build runs on one thread).
double ProcessSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// A gently waved grid of nColumns x nRows quads, each split into two triangles.
void BuildGrid(CMesh& mesh, int nColumns, int nRows)
{
    const int nVertices = (nColumns + 1) * (nRows + 1);
    const int nFaces = 2 * nColumns * nRows;
    mesh.Allocate(nVertices, nFaces, 3 * nFaces);
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
            const int32_t first[3] = {a, b, c};
            const int32_t second[3] = {a, c, d};
            mesh.SetFace(nFace++, 3, first);
            mesh.SetFace(nFace++, 3, second);
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

double DrawFrame(uint32_t nList)
{
    const Clock::time_point start = Clock::now();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    glCallList(nList);
    glPopMatrix();
    glFinish();
    return SecondsSince(start);
}

bool ParseCount(const char* psz, int& n)
{
    const char* pEnd = psz + std::strlen(psz);
    const auto res = std::from_chars(psz, pEnd, n);
    return res.ec == std::errc() && res.ptr == pEnd && n >= 1 && n <= 10000;
}
} // namespace

int main(int argc, char** argv)
{
    int nColumns = 500;
    int nRows = 1000;
    if (argc == 3 && (!ParseCount(argv[1], nColumns) || !ParseCount(argv[2], nRows)))
    {
        std::fprintf(stderr, "usage: %s [columns rows]\n", argv[0]);
        return 2;
    }
    const int nWidth = 800;
    const int nHeight = 600;
    COffscreenContext context;
    Clock::time_point start = Clock::now();
    if (!context.Create(nWidth, nHeight))
    {
        std::fprintf(stderr, "%s\n", context.GetError().c_str());
        return 1;
    }
    const double dContext = SecondsSince(start);
    std::printf("renderer: %s, %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
                reinterpret_cast<const char*>(glGetString(GL_VERSION)));
    SetupView(nWidth, nHeight);

    CMesh mesh;
    start = Clock::now();
    BuildGrid(mesh, nColumns, nRows);
    const double dGrid = SecondsSince(start);

    mesh.m_nRenderMode = RENDER_SHADED;
    mesh.m_nShading = SHADE_GOURAUD;
    start = Clock::now();
    const double dStartCpu = ProcessSeconds();
    const uint32_t nList = mesh.BuildDisplayList();
    const double dBuild = SecondsSince(start);
    const double dBuildCpu = ProcessSeconds() - dStartCpu;
    const double dFirst = DrawFrame(nList);
    const double dSecond = DrawFrame(nList);

    std::vector<uint8_t> rgba;
    context.ReadPixels(rgba);
    size_t nLit = 0;
    for (size_t i = 0; i < rgba.size(); i += 4)
        nLit += (rgba[i] | rgba[i + 1] | rgba[i + 2]) != 0 ? 1 : 0;

    const double dTriangles = static_cast<double>(mesh.m_nFaces);
    std::printf("triangles:           %d (%d vertices)\n", mesh.m_nFaces, mesh.m_nVertices);
    std::printf("context creation:    %.3f s\n", dContext);
    std::printf("mesh set-up:         %.3f s (not part of the figures below)\n", dGrid);
    std::printf("BuildDisplayList:    %.3f s  (%.1f M triangles/s; %.3f s processor time)\n", dBuild,
                dTriangles / dBuild * 1e-6, dBuildCpu);
    std::printf("first frame:         %.3f s  (%dx%d, glCallList + glFinish)\n", dFirst, nWidth, nHeight);
    std::printf("second frame:        %.3f s\n", dSecond);
    std::printf("lit pixels:          %zu of %d\n", nLit, nWidth * nHeight);
    return nList != 0 && nLit > 0 ? 0 : 1;
}
