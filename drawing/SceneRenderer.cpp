#include "drawing/SceneRenderer.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "drawing/MeshGL.h"
#include "drawing/MeshReduction.h"
#include "drawing/ViewSettings.h"
#include "model/Camera.h"
#include "model/Mesh.h"
#include "model/TeldViewGLDoc.h"

namespace
{
// A colour byte becomes a float through this single-precision factor, as everywhere else.
constexpr float BYTE_TO_FLOAT = 0.003921569f;
// The far distance when the scene bounds give none.
constexpr float FALLBACK_FAR_PLANE = 800.0f;
// Half a degree in radians, for half the field of view.
constexpr double HALF_DEGREE = 0.008726646259971639;

// A standard view's camera axes, in world coordinates, by side; normalised where they are used.
struct SSideAxes
{
    double right[3];
    double up[3];
    double back[3];
};
constexpr SSideAxes SIDE_AXES[] = {
    {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},    {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}},
    {{0, 0, 1}, {0, 1, 0}, {-1, 0, 0}},   {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}},
    {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}},   {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}},
    {{1, 0, -1}, {-1, 2, -1}, {1, 1, 1}},
};

CVector3 Unit(const double v[3])
{
    CVector3 u(v[0], v[1], v[2]);
    u.Normalize();
    return u;
}

void SendMaterialColor(GLenum nFace, GLenum nName, const float pfColor[3])
{
    const GLfloat color[4] = {pfColor[0], pfColor[1], pfColor[2], 1.0f};
    glMaterialfv(nFace, nName, color);
}

void SendLightColor(GLenum nName, const float pfColor[3])
{
    const GLfloat color[4] = {pfColor[0], pfColor[1], pfColor[2], 1.0f};
    glLightfv(GL_LIGHT0, nName, color);
}

// What the planes must leave between them: the depth buffer's steps, the share of the scene's
// size one step may take at the scene's far end, the margins kept around the scene, and the
// largest far/near ratio (it spends the buffer's resolution near the eye).
constexpr double DEPTH_STEPS = 16777216.0; // 24 bits
constexpr double FINEST_SHARE = 1.0 / 4096.0;
constexpr double NEAR_MARGIN = 0.9;
constexpr double FAR_MARGIN = 1.01;
constexpr double MAX_DEPTH_RATIO = 1e4;

float LoadProjection(const CViewSettings& settings, const SceneRenderer::SClipPlanes& planes, int32_t nWidth,
                     int32_t nHeight)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const float fAspect = static_cast<float>(static_cast<double>(nWidth) / (nHeight < 1 ? 1 : nHeight));
    const double h = settings.m_dOrthoHalfHeight;
    if (settings.m_bOrthographic && h > 0.0 && std::isfinite(h * fAspect))
        glOrtho(-h * fAspect, h * fAspect, -h, h, planes.dNear, planes.dFar);
    else
        gluPerspective(settings.m_fFovY, fAspect, planes.dNear, planes.dFar);
    return fAspect;
}

// The depth-buffer step at distance dDepth: the eye distance that one unit of the 24-bit depth
// value spans there.
double DepthStep(double dNear, double dFar, double dDepth)
{
    return dDepth * dDepth * (dFar - dNear) / (dFar * dNear * DEPTH_STEPS);
}
} // namespace

namespace SceneRenderer
{
float SetBaselineState(const CViewSettings& settings, int32_t nWidth, int32_t nHeight)
{
    const float fAspect =
        LoadProjection(settings, {settings.m_fNearPlane, settings.m_fFarPlane}, nWidth, nHeight);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    const uint32_t cr = settings.m_crBackground;
    glClearColor(static_cast<float>(cr & 0xFF) * BYTE_TO_FLOAT,
                 static_cast<float>((cr >> 8) & 0xFF) * BYTE_TO_FLOAT,
                 static_cast<float>((cr >> 16) & 0xFF) * BYTE_TO_FLOAT, 1.0f);
    ApplyMaterials(settings);

    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);
    // The offset itself is enabled only inside hidden-line lists; culling only inside lists
    // that ask for it.
    glPolygonOffset(1.0f, 1.0f);
    glCullFace(GL_BACK);

    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    ApplyLight(settings);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    return fAspect;
}

void ApplyMaterials(const CViewSettings& settings)
{
    SendMaterialColor(GL_FRONT, GL_AMBIENT, settings.m_fOuterAmbient);
    SendMaterialColor(GL_FRONT, GL_DIFFUSE, settings.m_fOuterDiffuse);
    SendMaterialColor(GL_FRONT, GL_SPECULAR, settings.m_fOuterSpecular);
    glMaterialf(GL_FRONT, GL_SHININESS, settings.m_fOuterShininess);
    SendMaterialColor(GL_BACK, GL_AMBIENT, settings.m_fInnerAmbient);
    SendMaterialColor(GL_BACK, GL_DIFFUSE, settings.m_fInnerDiffuse);
    SendMaterialColor(GL_BACK, GL_SPECULAR, settings.m_fInnerSpecular);
    glMaterialf(GL_BACK, GL_SHININESS, settings.m_fInnerShininess);
}

void ApplyLight(const CViewSettings& settings)
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (settings.m_bLightRelToView)
        glLightfv(GL_LIGHT0, GL_POSITION, settings.m_fLightPosition);
    SendLightColor(GL_DIFFUSE, settings.m_fLightDiffuse);
    SendLightColor(GL_AMBIENT, settings.m_fLightAmbient);
    SendLightColor(GL_SPECULAR, settings.m_fLightSpecular);
}

bool SceneDepth(const CCamera& camera, SSceneDepth& depth)
{
    const CVector3 forward = camera.Axis(2) * -1.0;
    depth = {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(), 0.0};
    // A mesh turns about its box's centre, which its position places.
    for (const CSceneObject* pObject = camera.m_pNext; pObject != nullptr; pObject = pObject->m_pNext)
    {
        if (pObject->GetType() != OBJECT_MESH || !static_cast<const CMesh*>(pObject)->m_bLoaded)
            continue;
        const double dRadius =
            0.5 * std::sqrt((pObject->m_vBoundsMax - pObject->m_vBoundsMin).LengthSquared());
        const double dDepth = (pObject->m_vPosition - camera.m_vPosition).Dot(forward);
        if (dDepth + dRadius <= 0.0)
            continue;
        depth.dMin = std::min(depth.dMin, dDepth - dRadius);
        depth.dMax = std::max(depth.dMax, dDepth + dRadius);
        depth.dSize = std::max(depth.dSize, 2.0 * dRadius);
    }
    return std::isfinite(depth.dMin) && std::isfinite(depth.dMax) && std::isfinite(depth.dSize);
}

SClipPlanes ClipPlanes(const CViewSettings& settings, const CCamera& camera)
{
    const SClipPlanes own = {settings.m_fNearPlane, settings.m_fFarPlane};
    SSceneDepth depth;
    if (!SceneDepth(camera, depth))
        return own;
    if (own.dNear <= depth.dMin && depth.dMax <= own.dFar &&
        DepthStep(own.dNear, own.dFar, depth.dMax) <= depth.dSize * FINEST_SHARE)
        return own;
    SClipPlanes fitted = {0.0, std::max(own.dFar, depth.dMax * FAR_MARGIN)};
    if (depth.dMin > 0.0)
        fitted.dNear = own.dNear <= depth.dMin ? std::max(own.dNear, depth.dMin * NEAR_MARGIN)
                                               : depth.dMin * NEAR_MARGIN;
    fitted.dNear = std::max(fitted.dNear, fitted.dFar / MAX_DEPTH_RATIO);
    return fitted;
}

float SetupView(const CViewSettings& settings, const CCamera& camera, int32_t nWidth, int32_t nHeight)
{
    const float fAspect = LoadProjection(settings, ClipPlanes(settings, camera), nWidth, nHeight);
    LoadViewTransform(settings, camera);
    return fAspect;
}

void LoadViewTransform(const CViewSettings& settings, const CCamera& camera)
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    double m[16];
    camera.GetMatrix(m);
    m[12] = m[13] = m[14] = 0.0;
    glMultMatrixd(m);
    glTranslated(-camera.m_vPosition.x, -camera.m_vPosition.y, -camera.m_vPosition.z);
    if (!settings.m_bLightRelToView)
        glLightfv(GL_LIGHT0, GL_POSITION, settings.m_fLightPosition);
}

void FitDefaultView(CViewSettings& settings, CTeldViewGLDoc& doc)
{
    FitStandardView(settings, doc, VIEW_SIDE_FRONT);
}

double OrthoHalfHeightAt(const CViewSettings& settings, double dDistance)
{
    return dDistance * std::tan(settings.m_fFovY * HALF_DEGREE);
}

void FitStandardView(CViewSettings& settings, CTeldViewGLDoc& doc, int nSide)
{
    const double* b = doc.m_dSceneBounds;
    const double ex = b[BOUNDS_MAX_X] - b[BOUNDS_MIN_X];
    const double ey = b[BOUNDS_MAX_Y] - b[BOUNDS_MIN_Y];
    const double ez = b[BOUNDS_MAX_Z] - b[BOUNDS_MIN_Z];
    double dExtent = ex > ey ? ex : ey;
    if (ez > dExtent)
        dExtent = ez;
    // Without a mesh (or after a scene was emptied) the bounds are still inverted and give no
    // distance at all; a fixed far plane then serves, as only the background is drawn.
    const bool bUsable = std::isfinite(dExtent) && dExtent > 0.0;
    settings.m_fFarPlane = bUsable ? static_cast<float>(dExtent * 25.0) : FALLBACK_FAR_PLANE;

    const double dDistance = doc.m_bHasMesh && bUsable ? 2.5 * dExtent : 0.0;
    // Without a distance a parallel view still shows the unit the perspective would at 1.
    settings.m_dOrthoHalfHeight = OrthoHalfHeightAt(settings, dDistance > 0.0 ? dDistance : 1.0);

    const SSideAxes& side = SIDE_AXES[nSide >= 0 && nSide < VIEW_SIDE_COUNT ? nSide : VIEW_SIDE_FRONT];
    const CVector3 right = Unit(side.right), up = Unit(side.up), back = Unit(side.back);
    CCamera& camera = *doc.m_pCamera;
    if (nSide == VIEW_SIDE_FRONT || nSide < 0 || nSide >= VIEW_SIDE_COUNT)
        camera.m_qOrientation = CQuaternion();
    else
    {
        // The camera's rotation holds its right, up and backward axes as columns.
        const double m[16] = {right.x, right.y, right.z, 0.0, up.x, up.y, up.z, 0.0,
                              back.x,  back.y,  back.z,  0.0, 0.0,  0.0,  0.0,  1.0};
        camera.m_qOrientation = CQuaternion(m);
    }
    camera.m_vPosition = back * dDistance;
}

void DrawFrame(const CTeldViewGLDoc& doc, uint32_t nGuideList)
{
    // The full frame never changes what the meshes keep.
    DrawFrameWithin(const_cast<CTeldViewGLDoc&>(doc), nGuideList, 1.0);
}

SFrameDrawn DrawFrameWithin(CTeldViewGLDoc& doc, uint32_t nGuideList, double dShare)
{
    SFrameDrawn drawn;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (CSceneObject* pObject = doc.m_pObjectList->m_pNext; pObject != nullptr; pObject = pObject->m_pNext)
    {
        if (pObject->GetType() != OBJECT_MESH)
            continue;
        CMesh& mesh = *static_cast<CMesh*>(pObject);
        double m[16];
        mesh.GetMatrix(m);
        glPushMatrix();
        glMultMatrixd(m);
        int64_t nItems = -1;
        if (dShare < 1.0 && mesh.m_pGraphics)
            nItems = CMeshGL::Of(mesh).DrawReduced(mesh, dShare, drawn.bCompiled);
        if (nItems >= 0)
            drawn.bReduced = true;
        else
        {
            const double dSent = CMeshGL::Draw(mesh);
            nItems = std::llround(dSent * static_cast<double>(CMeshReduction::DrawnItems(mesh)));
        }
        drawn.nItems += nItems;
        glPopMatrix();
    }
    if (nGuideList != 0)
    {
        glPushMatrix();
        glCallList(nGuideList);
        glPopMatrix();
    }
    // Waiting here makes a frame's measured time that of the whole drawing, not of queuing the
    // commands, and a capture that follows reads the finished picture.
    glFinish();
    return drawn;
}

int64_t SceneItems(const CTeldViewGLDoc& doc)
{
    int64_t nItems = 0;
    for (const CSceneObject* pObject = doc.m_pObjectList->m_pNext; pObject != nullptr;
         pObject = pObject->m_pNext)
        if (pObject->GetType() == OBJECT_MESH)
            nItems += CMeshReduction::DrawnItems(*static_cast<const CMesh*>(pObject));
    return nItems;
}
} // namespace SceneRenderer
