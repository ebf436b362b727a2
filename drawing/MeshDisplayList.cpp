// Compiling a mesh into its display list: points, wireframe, shaded faces as the GLU tessellator
// draws them, or wireframe with hidden lines removed. The list may call lists of runs of the
// mesh's faces made ahead or on worker contexts, or leave the faces of a triangle soup to its
// vertex arrays (see CMeshDrawing); either way the same calls reach GL in the same order.
#include <GL/gl.h>
#include <GL/glu.h>

#include <memory>

#include "drawing/MeshDrawing.h"
#include "drawing/MeshGL.h"
#include "drawing/MeshListRecipe.h"
#include "drawing/Tessellator.h"
#include "model/Mesh.h"

namespace
{
void ColorMaterialOn()
{
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
}

} // namespace

void CMeshGL::SetTessCallbacks(const CMesh& mesh)
{
    RegisterTessCallbacks(SharedTessellator(),
                          TessCallbacksFor(mesh.m_nShading == SHADE_FLAT, mesh.m_bTextureOn, mesh.m_bHasColors));
}

uint32_t CMeshGL::Build(CMesh& mesh)
{
    SetTessCallbacks(mesh);
    GLUtesselator* pTess = SharedTessellator();
    GLfloat fSavedColor[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glGetFloatv(GL_CURRENT_COLOR, fSavedColor);

    CMeshGL& gl = Of(mesh);
    gl.DeleteDrawing();
    const SListRecipe recipe = SListRecipe::Of(mesh);
    std::unique_ptr<CMeshDrawing> pDrawing = gl.DrawingFor(mesh, recipe);
    const bool bArrays = pDrawing && pDrawing->m_bArrays;
    // Array drawing needs a second list, after the arrays, that ends what the first began.
    const GLuint nList = glGenLists(bArrays ? 2 : 1);
    gl.m_nDisplayList = nList;
    // No list name means no current context (or none left): compiling into list 0 would
    // execute every call below at once instead.
    if (nList == 0)
    {
        if (pDrawing)
            pDrawing->DeleteLists();
        return 0;
    }
    glNewList(nList, GL_COMPILE);

    const CVector3& vCenter = mesh.m_vCenter;
    glTranslated(-vCenter.x, -vCenter.y, -vCenter.z);
    const bool bLighting = mesh.m_bLighting, bColors = mesh.m_bHasColors, bCulling = mesh.m_bCulling;

    const bool bFlat = recipe.bFlat;
    const bool bGouraudColors = !bFlat && bColors;
    const bool bTexture = gl.m_nTexture != 0 && mesh.m_bTextureOn;
    if (bFlat)
        glShadeModel(GL_FLAT);
    if (!bLighting)
        glDisable(GL_LIGHTING);
    if (bColors)
        glPushAttrib(GL_LIGHTING_BIT);
    if (bCulling)
        glEnable(GL_CULL_FACE);

    const auto drawPart = [&](int nPart)
    {
        if (pDrawing && !pDrawing->m_runLists[nPart].empty())
        {
            for (const uint32_t nList : pDrawing->m_runLists[nPart])
                glCallList(nList);
        }
        else
            EmitRun(mesh, recipe, nPart, 0, recipe.Items(mesh, nPart), pTess);
    };

    switch (mesh.m_nRenderMode)
    {
    case RENDER_POINTS:
        if (bColors)
            ColorMaterialOn();
        drawPart(0);
        if (bColors)
        {
            glColor3fv(fSavedColor);
            glDisable(GL_COLOR_MATERIAL);
        }
        break;

    case RENDER_WIREFRAME:
        if (bGouraudColors)
            ColorMaterialOn();
        drawPart(0);
        if (bGouraudColors)
        {
            glColor3fv(fSavedColor);
            glDisable(GL_COLOR_MATERIAL);
        }
        break;

    case RENDER_SHADED:
        if (bTexture)
        {
            glBindTexture(GL_TEXTURE_2D, gl.m_nTexture);
            glEnable(GL_TEXTURE_2D);
        }
        if (bGouraudColors)
            ColorMaterialOn();
        if (bArrays)
        {
            // The faces go in between, from the vertex records; the rest ends the drawing.
            glEndList();
            pDrawing->m_nEndList = nList + 1;
            glNewList(pDrawing->m_nEndList, GL_COMPILE);
        }
        else
            drawPart(0);
        // The colour of the last vertex stays current: the saved colour is not restored here.
        if (bGouraudColors)
            glDisable(GL_COLOR_MATERIAL);
        if (bTexture)
            glDisable(GL_TEXTURE_2D);
        break;

    case RENDER_HIDDEN_LINE:
        if (bGouraudColors)
            ColorMaterialOn();
        drawPart(0);
        if (bGouraudColors)
        {
            glColor3fv(fSavedColor);
            glDisable(GL_COLOR_MATERIAL);
            // Vertex colours must not reach the filled faces.
            RegisterTessVertexCallback(pTess, &TessVertexNormal);
        }
        // Unlit faces in the fill colour, pushed just behind the lines by the polygon offset:
        // front lines stay visible and the faces hide every line behind them.
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glEnable(GL_POLYGON_OFFSET_FILL);
        if (bLighting)
            glDisable(GL_LIGHTING);
        // Nothing on the way of the faces sends a colour, so one glColor serves them all; a
        // colour between two primitives would also split the list into a draw per face.
        if (recipe.bShortcuts)
            glColor3fv(mesh.m_fFillColor);
        drawPart(1);
        glColor3fv(fSavedColor);
        if (bLighting)
            glEnable(GL_LIGHTING);
        glDisable(GL_POLYGON_OFFSET_FILL);
        if (bGouraudColors)
            RegisterTessVertexCallback(pTess, &TessVertexNormalColor);
        break;

    default:
        // There is no mode 3: the list keeps only the translation and the state changes.
        break;
    }

    // Undo by fixed assumption: the list is called with lighting on, culling off and smooth
    // shading, the view's baseline.
    if (bCulling)
        glDisable(GL_CULL_FACE);
    if (bColors)
        glPopAttrib();
    if (!bLighting)
        glEnable(GL_LIGHTING);
    if (bFlat)
        glShadeModel(GL_SMOOTH);

    glEndList();
    gl.m_pDrawing = std::move(pDrawing);
    return nList;
}
