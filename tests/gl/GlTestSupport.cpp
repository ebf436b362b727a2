#include "GlTestSupport.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/OffscreenContext.h"
#include "scene/Mesh.h"

namespace GlTest
{
COffscreenContext* Context()
{
    static COffscreenContext* pContext = []() -> COffscreenContext*
    {
        // Lives until the process ends: every test shares it, and creating one costs ~0.1 s.
        static COffscreenContext context;
        if (!context.Create(SIZE, SIZE))
        {
            ADD_FAILURE() << "no offscreen GL context: " << context.GetError();
            return nullptr;
        }
        return &context;
    }();
    if (pContext != nullptr)
        pContext->MakeCurrent();
    return pContext;
}

void SetBaselineState()
{
    const GLfloat fFrontColor[4] = {0.0f, 0.0f, 0.7f, 1.0f};
    const GLfloat fBackColor[4] = {0.7f, 0.0f, 0.0f, 1.0f};
    const GLfloat fLightAmbient[4] = {0.3f, 0.3f, 0.3f, 1.0f};
    const GLfloat fWhite[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    const GLfloat fBlack[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    const GLfloat fLightPosition[4] = {0.0f, 0.0f, 1.0f, 1.0f};

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-EXTENT, EXTENT, -EXTENT, EXTENT, -10.0, 10.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, fFrontColor);
    glMaterialfv(GL_BACK, GL_AMBIENT_AND_DIFFUSE, fBackColor);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);
    glPolygonOffset(1.0f, 1.0f);
    glDisable(GL_POLYGON_OFFSET_FILL);
    glCullFace(GL_BACK);
    glDisable(GL_CULL_FACE);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, fBlack);
    glLightfv(GL_LIGHT0, GL_POSITION, fLightPosition);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, fWhite);
    glLightfv(GL_LIGHT0, GL_AMBIENT, fLightAmbient);
    glLightfv(GL_LIGHT0, GL_SPECULAR, fWhite);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_TEXTURE_2D);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glColor4fv(fWhite);
    ClearFrame();
}

void ClearFrame()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

namespace
{
int ToPixel(double d)
{
    return static_cast<int>((d + EXTENT) / (2.0 * EXTENT) * SIZE);
}

SPixel ReadPixel(int nX, int nY)
{
    uint8_t rgba[4] = {0, 0, 0, 0};
    glReadPixels(nX, nY, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return SPixel{rgba[0], rgba[1], rgba[2]};
}
} // namespace

SPixel PixelAt(const CMesh& mesh, double x, double y)
{
    glFinish();
    return ReadPixel(ToPixel(x - mesh.m_vCenter.x), ToPixel(y - mesh.m_vCenter.y));
}

bool AnyNear(const CMesh& mesh, double x, double y, bool (SPixel::*pTest)() const)
{
    glFinish();
    const int nX = ToPixel(x - mesh.m_vCenter.x);
    const int nY = ToPixel(y - mesh.m_vCenter.y);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if ((ReadPixel(nX + dx, nY + dy).*pTest)())
                return true;
    return false;
}

int LitPixels()
{
    std::vector<uint8_t> rgba;
    if (Context() == nullptr || !Context()->ReadPixels(rgba))
        return -1;
    int nLit = 0;
    for (size_t i = 0; i < rgba.size(); i += 4)
        if (rgba[i] >= 16 || rgba[i + 1] >= 16 || rgba[i + 2] >= 16)
            ++nLit;
    return nLit;
}

std::unique_ptr<CMesh> MeshFromOFF(std::string_view text)
{
    auto pMesh = std::make_unique<CMesh>();
    EXPECT_TRUE(pMesh->ReadOFFBuffer(text, "test.off")) << text;
    return pMesh;
}

void Draw(uint32_t nList)
{
    ClearFrame();
    // The list moves the mesh's centre to the origin and leaves that translation in place.
    glPushMatrix();
    glCallList(nList);
    glPopMatrix();
    glFinish();
}
} // namespace GlTest
