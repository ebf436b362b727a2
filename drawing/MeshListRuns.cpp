// The runs of a mesh's display list: points, face outlines and filled faces sent to GL as the
// one-list build sends them, into whichever list is being compiled on the calling thread.
#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "drawing/MeshListRecipe.h"
#include "drawing/TessFan.h"
#include "drawing/Tessellator.h"
#include "model/Mesh.h"

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
bool s_bShortcuts = true;

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
// goes through the tessellator, in its own primitives. pVertex is the vertex callback registered
// on pTess. Without bShortcuts every face goes through the tessellator.
class CFaceSender
{
public:
    CFaceSender(GLUtesselator* pTess, double* const* ppVertices, TessVertexFn pVertex, bool bShortcuts)
        : m_pTess(pTess), m_ppVertices(ppVertices), m_pVertex(pVertex), m_bShortcuts(bShortcuts)
    {
    }
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
        if (!m_bShortcuts)
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
            m_pVertex(ppPoints[0]);
            m_pVertex(point(i));
            m_pVertex(point(i + 1));
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
    TessVertexFn m_pVertex;
    bool m_bShortcuts;
    bool m_bOpen = false;
};

// A vertex record's position, after its normal and colour where they are asked for.
void SendVertex(const double* p, bool bNormal, bool bColor)
{
    if (bNormal)
        glNormal3dv(p + SLOT_NORMAL);
    if (bColor)
        glColor3dv(p + SLOT_COLOR);
    glVertex3dv(p + SLOT_POSITION);
}

void EmitPoints(const CMesh& mesh, const SListRecipe& recipe, int32_t nFirst, int32_t nEnd)
{
    glBegin(GL_POINTS);
    for (int32_t i = nFirst; i < nEnd; ++i)
        SendVertex(mesh.m_ppVertices[i], recipe.bLighting, recipe.bColors);
    glEnd();
}

// The outline of each face, one closed line each; shared by wireframe and hidden-line drawing.
void EmitLines(const CMesh& mesh, const SListRecipe& recipe, int32_t nFirst, int32_t nEnd)
{
    const bool bGouraud = !recipe.bFlat;
    const bool bFaceNormal = !(recipe.bLighting && bGouraud);
    for (int32_t f = nFirst; f < nEnd; ++f)
    {
        const int32_t* pFace = mesh.m_ppFaces[f];
        if (pFace == nullptr)
            continue;
        glBegin(GL_LINE_LOOP);
        if (bFaceNormal)
            glNormal3dv(mesh.m_ppFaceNormals[f]);
        for (int32_t k = 0; k < mesh.m_pFaceSizes[f]; ++k)
            SendVertex(mesh.m_ppVertices[pFace[k]], bGouraud && recipe.bLighting, bGouraud && recipe.bColors);
        glEnd();
    }
}

bool IsLinesPart(const SListRecipe& recipe, int nPart)
{
    return recipe.nMode == RENDER_WIREFRAME || (recipe.nMode == RENDER_HIDDEN_LINE && nPart == 0);
}

bool IsFillPart(const SListRecipe& recipe, int nPart)
{
    return recipe.nMode == RENDER_HIDDEN_LINE && nPart == 1;
}
} // namespace

STessCallbacks TessCallbacksFor(bool bFlat, bool bTextureOn, bool bColors)
{
    STessCallbacks callbacks;
    if (bFlat)
    {
        callbacks.pBeginData = &TessBeginNormal;
        callbacks.pVertex = bTextureOn ? &TessVertexTex : &TessVertex;
    }
    else
    {
        callbacks.pBegin = &TessBegin;
        if (bTextureOn)
            callbacks.pVertex = bColors ? &TessVertexNormalTexColor : &TessVertexNormalTex;
        else
            callbacks.pVertex = bColors ? &TessVertexNormalColor : &TessVertexNormal;
    }
    return callbacks;
}

void RegisterTessVertexCallback(GLUtesselator* pTess, TessVertexFn pVertex)
{
    if (pTess != nullptr)
        gluTessCallback(pTess, GLU_TESS_VERTEX, reinterpret_cast<_GLUfuncptr>(pVertex));
}

// Both begin slots are set every time: a begin-with-data callback left over from a flat build
// would otherwise take precedence over TessBegin.
void RegisterTessCallbacks(GLUtesselator* pTess, const STessCallbacks& callbacks)
{
    if (pTess == nullptr)
        return;
    gluTessCallback(pTess, GLU_TESS_BEGIN, reinterpret_cast<_GLUfuncptr>(callbacks.pBegin));
    gluTessCallback(pTess, GLU_TESS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(callbacks.pBeginData));
    RegisterTessVertexCallback(pTess, callbacks.pVertex);
}

GLUtesselator* NewRunTessellator()
{
    GLUtesselator* pTess = gluNewTess();
    if (pTess != nullptr)
        gluTessCallback(pTess, GLU_TESS_END, reinterpret_cast<_GLUfuncptr>(&glEnd));
    return pTess;
}

namespace
{
// The display-list builds' tessellator, for the process's life: GLU's tessellator holds no GL
// objects, only memory.
struct SSharedTessellator
{
    GLUtesselator* pTess = NewRunTessellator();
    ~SSharedTessellator()
    {
        if (pTess != nullptr)
            gluDeleteTess(pTess);
    }
};
} // namespace

GLUtesselator* SharedTessellator()
{
    static SSharedTessellator s_shared;
    return s_shared.pTess;
}

SListRecipe SListRecipe::Of(const CMesh& mesh)
{
    SListRecipe recipe;
    recipe.nMode = mesh.m_nRenderMode;
    recipe.bFlat = mesh.m_nShading == SHADE_FLAT;
    recipe.bLighting = mesh.m_bLighting;
    recipe.bColors = mesh.m_bHasColors;
    recipe.bTextureOn = mesh.m_bTextureOn;
    recipe.bShortcuts = s_bShortcuts;
    return recipe;
}

uint32_t SListRecipe::Key() const
{
    // The mode takes the low byte (modes outside 0..4 draw nothing and need no key of their own).
    const uint32_t nModeBits = static_cast<uint32_t>(nMode) & 0xFFu;
    return nModeBits | (bFlat ? 1u << 8 : 0u) | (bLighting ? 1u << 9 : 0u) | (bColors ? 1u << 10 : 0u) |
           (bTextureOn ? 1u << 11 : 0u) | (bShortcuts ? 1u << 12 : 0u);
}

int SListRecipe::Parts() const
{
    switch (nMode)
    {
    case RENDER_POINTS:
    case RENDER_WIREFRAME:
    case RENDER_SHADED:
        return 1;
    case RENDER_HIDDEN_LINE:
        return 2;
    default:
        return 0;
    }
}

int32_t SListRecipe::Items(const CMesh& mesh, int nPart) const
{
    if (nPart >= Parts())
        return 0;
    return nMode == RENDER_POINTS ? std::max(mesh.m_nVertices, 0) : std::max(mesh.m_nFaces, 0);
}

void EmitRun(const CMesh& mesh, const SListRecipe& recipe, int nPart, int32_t nFirst, int32_t nEnd,
             GLUtesselator* pTess)
{
    if (recipe.nMode == RENDER_POINTS)
    {
        EmitPoints(mesh, recipe, nFirst, nEnd);
        return;
    }
    if (IsLinesPart(recipe, nPart))
    {
        EmitLines(mesh, recipe, nFirst, nEnd);
        return;
    }
    const bool bFill = IsFillPart(recipe, nPart);
    STessCallbacks callbacks = TessCallbacksFor(recipe.bFlat, recipe.bTextureOn, recipe.bColors);
    // Vertex colours must not reach the filled faces of hidden-line drawing.
    if (bFill && !recipe.bFlat && recipe.bColors)
        callbacks.pVertex = &TessVertexNormal;
    RegisterTessCallbacks(pTess, callbacks);
    CFaceSender faces(pTess, mesh.m_ppVertices, callbacks.pVertex, recipe.bShortcuts);
    const bool bFillColorPerFace = bFill && !recipe.bShortcuts;
    for (int32_t f = nFirst; f < nEnd; ++f)
    {
        if (bFillColorPerFace)
            glColor3fv(mesh.m_fFillColor);
        faces.Send(mesh.m_ppFaces[f], mesh.m_pFaceSizes[f], recipe.bFlat ? mesh.m_ppFaceNormals[f] : nullptr);
    }
}

void SetTessShortcuts(bool bEnabled)
{
    s_bShortcuts = bEnabled;
}
