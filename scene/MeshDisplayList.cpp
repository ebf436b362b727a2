// Compiling a mesh into one display list: points, wireframe, shaded faces as the GLU tessellator
// draws them, or wireframe with hidden lines removed.
#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "scene/Mesh.h"
#include "scene/TessFan.h"
#include "scene/Tessellator.h"

GLUtesselator* g_pTessellator = nullptr;

void TessBegin(GLenum nType)
{
    glBegin(nType);
}

void TessBeginNormal(GLenum nType, void* pPolygonData)
{
    glBegin(nType);
    glNormal3dv(static_cast<const GLdouble*>(pPolygonData));
}

void TessVertex(void* pRecord)
{
    const GLdouble* p = static_cast<const GLdouble*>(pRecord);
    glVertex3dv(p + SLOT_POSITION);
}

void TessVertexTex(void* pRecord)
{
    const GLdouble* p = static_cast<const GLdouble*>(pRecord);
    glTexCoord2dv(p + SLOT_TEXCOORD);
    glVertex3dv(p + SLOT_POSITION);
}

void TessVertexNormal(void* pRecord)
{
    const GLdouble* p = static_cast<const GLdouble*>(pRecord);
    glNormal3dv(p + SLOT_NORMAL);
    glVertex3dv(p + SLOT_POSITION);
}

void TessVertexNormalColor(void* pRecord)
{
    const GLdouble* p = static_cast<const GLdouble*>(pRecord);
    glNormal3dv(p + SLOT_NORMAL);
    glColor3dv(p + SLOT_COLOR);
    glVertex3dv(p + SLOT_POSITION);
}

void TessVertexNormalTex(void* pRecord)
{
    const GLdouble* p = static_cast<const GLdouble*>(pRecord);
    glNormal3dv(p + SLOT_NORMAL);
    glTexCoord2dv(p + SLOT_TEXCOORD);
    glVertex3dv(p + SLOT_POSITION);
}

void TessVertexNormalTexColor(void* pRecord)
{
    const GLdouble* p = static_cast<const GLdouble*>(pRecord);
    glNormal3dv(p + SLOT_NORMAL);
    glTexCoord2dv(p + SLOT_TEXCOORD);
    glColor3dv(p + SLOT_COLOR);
    glVertex3dv(p + SLOT_POSITION);
}

namespace
{
using TessBeginFn = void (*)(GLenum);
using TessBeginDataFn = void (*)(GLenum, void*);
using TessVertexFn = void (*)(void*);

// Owns a tessellator for builds made while no document exists (tests, tools); the document's
// own tessellator is used whenever there is one.
struct SFallbackTessellator
{
    GLUtesselator* pTess = nullptr;
    ~SFallbackTessellator()
    {
        if (pTess != nullptr)
            gluDeleteTess(pTess);
    }
};

GLUtesselator* CurrentTessellator()
{
    if (g_pTessellator != nullptr)
        return g_pTessellator;
    static SFallbackTessellator fallback;
    if (fallback.pTess == nullptr)
    {
        fallback.pTess = gluNewTess();
        if (fallback.pTess != nullptr)
            gluTessCallback(fallback.pTess, GLU_TESS_END, reinterpret_cast<_GLUfuncptr>(&glEnd));
    }
    return fallback.pTess;
}

// The vertex callback last registered, for the faces sent without the tessellator below. Every
// build registers it before it draws faces, so it always matches the tessellator's.
TessVertexFn s_pVertex = nullptr;

bool s_bShortcuts = true;

void RegisterVertexCallback(GLUtesselator* pTess, TessVertexFn pVertex)
{
    if (pTess != nullptr)
        gluTessCallback(pTess, GLU_TESS_VERTEX, reinterpret_cast<_GLUfuncptr>(pVertex));
    s_pVertex = pVertex;
}

bool HasNaN(double* const* ppVertices, const int32_t* pFace, int32_t nSize)
{
    for (int32_t k = 0; k < nSize; ++k)
    {
        const double* p = ppVertices[pFace[k]];
        if (std::isnan(p[0]) || std::isnan(p[1]) || std::isnan(p[2]))
            return true;
    }
    return false;
}

void TessellateFace(GLUtesselator* pTess, double* const* ppVertices, const int32_t* pFace, int32_t nSize,
                    void* pPolygonData)
{
    if (pTess == nullptr)
        return;
    gluTessBeginPolygon(pTess, pPolygonData);
    gluTessBeginContour(pTess);
    for (int32_t k = 0; k < nSize; ++k)
    {
        double* pRecord = ppVertices[pFace[k]];
        gluTessVertex(pTess, pRecord, pRecord);
    }
    gluTessEndContour(pTess);
    gluTessEndPolygon(pTess);
}

// Sends filled faces to GL. A face that the tessellator would draw as one fan from its first
// vertex (every triangle it draws at all, and most convex faces) goes out without it, as the
// fan's triangles with the same vertices in the same order, and consecutive such faces share
// one GL_TRIANGLES primitive: a display list records each glBegin/glEnd pair at about the cost
// of three vertices, and draws a list of many small primitives more slowly. Every other face
// goes through the tessellator, in its own primitives.
class CFaceSender
{
public:
    CFaceSender(GLUtesselator* pTess, double* const* ppVertices) : m_pTess(pTess), m_ppVertices(ppVertices) {}
    CFaceSender(const CFaceSender&) = delete;
    CFaceSender& operator=(const CFaceSender&) = delete;
    ~CFaceSender() { EndTriangles(); }

    // pFaceNormal: the face normal with flat shading (sent with the face), else null.
    void Send(const int32_t* pFace, int32_t nSize, double* pFaceNormal)
    {
        // A NaN coordinate can send the tessellator's sweep through a null pointer; such a face
        // has no shape to draw anyway. A triangle never reaches the sweep, and the
        // tessellator's own answer for it is kept.
        if (pFace == nullptr || (nSize > 3 && HasNaN(m_ppVertices, pFace, nSize)))
            return;
        if (!s_bShortcuts)
        {
            TessellateFace(m_pTess, m_ppVertices, pFace, nSize, pFaceNormal);
            return;
        }
        double* ppPoints[TESS_FAN_MAX_POINTS];
        const int32_t nPoints = std::min(nSize, TESS_FAN_MAX_POINTS);
        for (int32_t k = 0; k < nPoints; ++k)
            ppPoints[k] = m_ppVertices[pFace[k]];
        const int nOrder = TessFanOrder(ppPoints, nSize);
        if (nOrder == TESS_FAN_NONE)
            return;
        if (nOrder == TESS_FAN_SWEEP)
        {
            EndTriangles();
            TessellateFace(m_pTess, m_ppVertices, pFace, nSize, pFaceNormal);
            return;
        }
        if (!m_bOpen)
        {
            glBegin(GL_TRIANGLES);
            m_bOpen = true;
        }
        // What the begin callback of a flat build sends after its glBegin.
        if (pFaceNormal != nullptr)
            glNormal3dv(pFaceNormal);
        // The fan's points after the first, in the order the tessellator sends them.
        const auto point = [&](int32_t i) { return ppPoints[nOrder > 0 ? i : nSize - i]; };
        for (int32_t i = 1; i + 1 < nSize; ++i)
        {
            s_pVertex(ppPoints[0]);
            s_pVertex(point(i));
            s_pVertex(point(i + 1));
        }
    }

    void EndTriangles()
    {
        if (m_bOpen)
            glEnd();
        m_bOpen = false;
    }

private:
    GLUtesselator* m_pTess;
    double* const* m_ppVertices;
    bool m_bOpen = false;
};

void ColorMaterialOn()
{
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
}
} // namespace

void SetTessShortcuts(bool bEnabled)
{
    s_bShortcuts = bEnabled;
}

void CMesh::SetTessCallbacks()
{
    GLUtesselator* pTess = CurrentTessellator();
    TessBeginFn pBegin = nullptr;
    TessBeginDataFn pBeginData = nullptr;
    TessVertexFn pVertex = nullptr;
    if (m_nShading == SHADE_FLAT)
    {
        // One normal per face, sent with the begin; vertex colours never reach the faces.
        pBeginData = &TessBeginNormal;
        pVertex = m_bTextureOn ? &TessVertexTex : &TessVertex;
    }
    else
    {
        pBegin = &TessBegin;
        if (m_bTextureOn)
            pVertex = m_bHasColors ? &TessVertexNormalTexColor : &TessVertexNormalTex;
        else
            pVertex = m_bHasColors ? &TessVertexNormalColor : &TessVertexNormal;
    }
    // Both begin slots are set every time: a begin-with-data callback left over from a flat
    // build would otherwise take precedence over TessBegin.
    if (pTess != nullptr)
    {
        gluTessCallback(pTess, GLU_TESS_BEGIN, reinterpret_cast<_GLUfuncptr>(pBegin));
        gluTessCallback(pTess, GLU_TESS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(pBeginData));
    }
    RegisterVertexCallback(pTess, pVertex);
}

uint32_t CMesh::BuildDisplayList()
{
    SetTessCallbacks();
    GLUtesselator* pTess = CurrentTessellator();
    GLfloat fSavedColor[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glGetFloatv(GL_CURRENT_COLOR, fSavedColor);

    if (m_nDisplayList != 0)
    {
        glDeleteLists(m_nDisplayList, 1);
        m_nDisplayList = 0;
    }
    m_nDisplayList = glGenLists(1);
    // No list name means no current context (or none left): compiling into list 0 would
    // execute every call below at once instead.
    if (m_nDisplayList == 0)
        return 0;
    glNewList(m_nDisplayList, GL_COMPILE);

    glTranslated(-m_vCenter.x, -m_vCenter.y, -m_vCenter.z);

    const bool bFlat = m_nShading == SHADE_FLAT;
    const bool bGouraud = !bFlat;
    const bool bGouraudColors = bGouraud && m_bHasColors;
    const bool bTexture = m_nTexture != 0 && m_bTextureOn;
    if (bFlat)
        glShadeModel(GL_FLAT);
    if (!m_bLighting)
        glDisable(GL_LIGHTING);
    if (m_bHasColors)
        glPushAttrib(GL_LIGHTING_BIT);
    if (m_bCulling)
        glEnable(GL_CULL_FACE);

    // The outline of every face, one closed line each; shared by wireframe and hidden-line.
    const auto drawLines = [&]()
    {
        if (bGouraudColors)
            ColorMaterialOn();
        const bool bFaceNormal = !(m_bLighting && bGouraud);
        for (int32_t f = 0; f < m_nFaces; ++f)
        {
            const int32_t* pFace = m_ppFaces[f];
            if (pFace == nullptr)
                continue;
            glBegin(GL_LINE_LOOP);
            if (bFaceNormal)
                glNormal3dv(m_ppFaceNormals[f]);
            for (int32_t k = 0; k < m_pFaceSizes[f]; ++k)
            {
                const double* p = m_ppVertices[pFace[k]];
                if (bGouraud)
                {
                    if (m_bLighting)
                        glNormal3dv(p + SLOT_NORMAL);
                    if (m_bHasColors)
                        glColor3dv(p + SLOT_COLOR);
                }
                glVertex3dv(p + SLOT_POSITION);
            }
            glEnd();
        }
    };

    // Every filled face, each after its own fill colour when bFillColorPerFace.
    const auto drawFaces = [&](bool bFillColorPerFace)
    {
        CFaceSender faces(pTess, m_ppVertices);
        for (int32_t f = 0; f < m_nFaces; ++f)
        {
            if (bFillColorPerFace)
                glColor3fv(m_fFillColor);
            faces.Send(m_ppFaces[f], m_pFaceSizes[f], bFlat ? m_ppFaceNormals[f] : nullptr);
        }
    };

    switch (m_nRenderMode)
    {
    case RENDER_POINTS:
        if (m_bHasColors)
            ColorMaterialOn();
        glBegin(GL_POINTS);
        for (int32_t i = 0; i < m_nVertices; ++i)
        {
            const double* p = m_ppVertices[i];
            if (m_bLighting)
                glNormal3dv(p + SLOT_NORMAL);
            if (m_bHasColors)
                glColor3dv(p + SLOT_COLOR);
            glVertex3dv(p + SLOT_POSITION);
        }
        glEnd();
        if (m_bHasColors)
        {
            glColor3fv(fSavedColor);
            glDisable(GL_COLOR_MATERIAL);
        }
        break;

    case RENDER_WIREFRAME:
        drawLines();
        if (bGouraudColors)
        {
            glColor3fv(fSavedColor);
            glDisable(GL_COLOR_MATERIAL);
        }
        break;

    case RENDER_SHADED:
        if (bTexture)
        {
            glBindTexture(GL_TEXTURE_2D, m_nTexture);
            glEnable(GL_TEXTURE_2D);
        }
        if (bGouraudColors)
            ColorMaterialOn();
        drawFaces(false);
        // The colour of the last vertex stays current: the saved colour is not restored here.
        if (bGouraudColors)
            glDisable(GL_COLOR_MATERIAL);
        if (bTexture)
            glDisable(GL_TEXTURE_2D);
        break;

    case RENDER_HIDDEN_LINE:
        drawLines();
        if (bGouraudColors)
        {
            glColor3fv(fSavedColor);
            glDisable(GL_COLOR_MATERIAL);
            // Vertex colours must not reach the filled faces.
            RegisterVertexCallback(pTess, &TessVertexNormal);
        }
        // Unlit faces in the fill colour, pushed just behind the lines by the polygon offset:
        // front lines stay visible and the faces hide every line behind them.
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glEnable(GL_POLYGON_OFFSET_FILL);
        if (m_bLighting)
            glDisable(GL_LIGHTING);
        // Nothing on the way of the faces sends a colour, so one glColor serves them all; a
        // colour between two primitives would also split the list into a draw per face.
        if (s_bShortcuts)
            glColor3fv(m_fFillColor);
        drawFaces(!s_bShortcuts);
        glColor3fv(fSavedColor);
        if (m_bLighting)
            glEnable(GL_LIGHTING);
        glDisable(GL_POLYGON_OFFSET_FILL);
        if (bGouraudColors)
            RegisterVertexCallback(pTess, &TessVertexNormalColor);
        break;

    default:
        // There is no mode 3: the list keeps only the translation and the state changes.
        break;
    }

    // Undo by fixed assumption: the list is called with lighting on, culling off and smooth
    // shading, the view's baseline.
    if (m_bCulling)
        glDisable(GL_CULL_FACE);
    if (m_bHasColors)
        glPopAttrib();
    if (!m_bLighting)
        glEnable(GL_LIGHTING);
    if (bFlat)
        glShadeModel(GL_SMOOTH);

    glEndList();
    return m_nDisplayList;
}
