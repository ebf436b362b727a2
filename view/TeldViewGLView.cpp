#include "view/TeldViewGLView.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <QEventLoop>
#include <QOpenGLContext>
#include <QResizeEvent>
#include <QWindow>

#include <cmath>

#include "app/QtUiServices.h"
#include "formats/NumberFormat.h"
#include "platform/CommandIds.h"
#include "platform/SteadyClock.h"
#include "platform/UiServices.h"
#include "scene/Camera.h"
#include "scene/Mesh.h"
#include "scene/TeldViewGLDoc.h"
#include "view/GLContextGuard.h"

namespace
{
// A colour byte becomes a float through this single-precision factor, as everywhere else.
constexpr float BYTE_TO_FLOAT = 0.003921569f;
// The far distance when the scene bounds give none (no mesh, or a scene emptied again).
constexpr float FALLBACK_FAR_PLANE = 800.0f;
// How long OnUpdate waits for a repaint the window has put off.
constexpr int MAX_DRAW_WAIT_MS = 250;

const CClock& DefaultClock()
{
    static const CSteadyClock s_clock;
    return s_clock;
}

void SendColor(GLenum nFace, GLenum nName, const float pfColor[3])
{
    const GLfloat color[4] = {pfColor[0], pfColor[1], pfColor[2], 1.0f};
    glMaterialfv(nFace, nName, color);
}

void SendLightColor(GLenum nName, const float pfColor[3])
{
    const GLfloat color[4] = {pfColor[0], pfColor[1], pfColor[2], 1.0f};
    glLightfv(GL_LIGHT0, nName, color);
}
} // namespace

CTeldViewGLView::CTeldViewGLView(CTeldViewGLDoc* pDocument, QWidget* pParent)
    : QOpenGLWidget(pParent), m_pDocument(pDocument), m_pClock(&DefaultClock())
{
    // Keys reach the view only with a strong focus policy; the window's shortcuts (N, P) still
    // take precedence.
    setFocusPolicy(Qt::StrongFocus);
    m_spinTimer.setTimerType(Qt::PreciseTimer);
    m_animTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_spinTimer, &QTimer::timeout, this, [this] { OnTimer(SPIN_TIMER_ID); });
    connect(&m_animTimer, &QTimer::timeout, this, [this] { OnTimer(ANIM_TIMER_ID); });
    RegisterCommands();
}

CTeldViewGLView::~CTeldViewGLView()
{
    // The context dies in the base destructor, after this object is gone: release the GL
    // objects now and drop the connection that would call back into a destroyed view.
    OnDestroy();
    if (QOpenGLContext* pContext = context())
        disconnect(pContext, nullptr, this, nullptr);
}

void CTeldViewGLView::SetClock(const CClock* pClock)
{
    m_pClock = pClock != nullptr ? pClock : &DefaultClock();
}

void CTeldViewGLView::RegisterCommands()
{
    OnUpdateCommand(ID_VIEW_SIZE,
                    [this](CCmdUI& ui)
                    {
                        ui.Enable();
                        ui.SetText(std::to_string(m_rcClient.right) + " x " +
                                   std::to_string(m_rcClient.bottom));
                    });
    OnUpdateCommand(ID_FRAME_RATE,
                    [this](CCmdUI& ui)
                    {
                        ui.Enable();
                        // The user's locale must not turn the point into a comma.
                        ui.SetText(NumberFormat::Fixed(m_fFramesPerSecond, 1) + " FPS");
                    });
    OnUpdateCommand(ID_SELECTED_MESH,
                    [this](CCmdUI& ui)
                    {
                        ui.Enable();
                        ui.SetText(m_strSelectedName);
                    });
    RegisterNavigationCommands();
    RegisterTimerCommands();
    RegisterKeyframeCommands();
    RegisterSceneCommands();
    RegisterTextureCommands();
    RegisterRenderCommands();
    RegisterToolsCommands();
}

CUiServices& CTeldViewGLView::Ui()
{
    if (m_pUi == nullptr)
    {
        auto pQtUi = std::make_unique<CQtUiServices>();
        pQtUi->SetParentWindow(window());
        m_pOwnUi = std::move(pQtUi);
        m_pUi = m_pOwnUi.get();
    }
    return *m_pUi;
}

int CTeldViewGLView::ClassifyContext(bool bValid, int nMajor, int nMinor, bool bCoreProfile, bool bGLES)
{
    if (!bValid)
        return CONTEXT_NO_FORMAT;
    // Display lists, immediate mode and fixed-function lighting need desktop GL without the
    // core profile's removals (which start with 3.2).
    const bool bCoreRemovals = nMajor > 3 || (nMajor == 3 && nMinor >= 2);
    if (bGLES || (bCoreProfile && bCoreRemovals))
        return CONTEXT_BAD_FORMAT;
    return CONTEXT_OK;
}

int CTeldViewGLView::ReportContextProblem()
{
    const QOpenGLContext* pContext = context();
    int nProblem = m_nContextProblem;
    if (pContext == nullptr || !pContext->isValid())
        nProblem = CONTEXT_NO_FORMAT;
    if (nProblem != CONTEXT_OK && !m_bContextReported && m_pUi != nullptr)
    {
        m_bContextReported = true;
        ShowContextProblem(*m_pUi, nProblem);
    }
    return nProblem;
}

void CTeldViewGLView::ShowContextProblem(CUiServices& ui, int nProblem)
{
    // Without a format the format cannot be set either, so both messages come.
    if (nProblem == CONTEXT_NO_FORMAT)
        ui.MessageBox("Bad Format Choose", MB_OK);
    ui.MessageBox("Bad Pixel Format", MB_OK);
}

void CTeldViewGLView::initializeGL()
{
    const QSurfaceFormat format = context()->format();
    m_nContextProblem =
        ClassifyContext(context()->isValid(), format.majorVersion(), format.minorVersion(),
                        format.profile() == QSurfaceFormat::CoreProfile, context()->isOpenGLES());
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &CTeldViewGLView::OnDestroy,
            Qt::DirectConnection);
    if (m_nContextProblem != CONTEXT_OK)
        return;

    SetBaselineState();
    m_bGLReady = true;
    // A document update that came before the context existed set the camera but could not
    // reach GL; bring the matrices in line with it.
    SetupView();
}

void CTeldViewGLView::SetBaselineState()
{
    glMatrixMode(GL_PROJECTION);
    const qreal dRatio = devicePixelRatioF();
    m_rcClient = SRect{0, 0, static_cast<int32_t>(std::lround(width() * dRatio)),
                       static_cast<int32_t>(std::lround(height() * dRatio))};
    if (m_rcClient.bottom < 1)
        m_rcClient.bottom = 1;
    m_fAspect = static_cast<float>(static_cast<double>(m_rcClient.right) / m_rcClient.bottom);
    gluPerspective(m_fFovY, m_fAspect, m_fNearPlane, m_fFarPlane);

    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glClearColor(static_cast<float>(m_crBackground & 0xFF) * BYTE_TO_FLOAT,
                 static_cast<float>((m_crBackground >> 8) & 0xFF) * BYTE_TO_FLOAT,
                 static_cast<float>((m_crBackground >> 16) & 0xFF) * BYTE_TO_FLOAT, 1.0f);
    ApplyMaterials();

    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);
    // The offset itself is enabled only inside hidden-line lists; culling only inside lists
    // that ask for it.
    glPolygonOffset(1.0f, 1.0f);
    glCullFace(GL_BACK);

    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    ApplyLight();
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
}

void CTeldViewGLView::resizeEvent(QResizeEvent* pEvent)
{
    // First: for a non-empty size the base class draws a frame at once, which needs the new
    // projection.
    const qreal dRatio = devicePixelRatioF();
    OnSize(static_cast<int>(std::lround(pEvent->size().width() * dRatio)),
           static_cast<int>(std::lround(pEvent->size().height() * dRatio)));
    QOpenGLWidget::resizeEvent(pEvent);
}

void CTeldViewGLView::OnSize(int cx, int cy)
{
    m_rcClient = SRect{0, 0, cx, cy};
    CGLContextGuard guard(*this);
    if (guard.IsCurrent())
        glViewport(0, 0, m_rcClient.right, m_rcClient.bottom);
    // The viewport takes the real height; the aspect ratio never divides by zero.
    if (m_rcClient.bottom < 1)
        m_rcClient.bottom = 1;
    SetupView();
}

void CTeldViewGLView::paintGL()
{
    ++m_nFramesPainted;
    OnDraw();
    emit FrameDrawn();
}

void CTeldViewGLView::OnDraw()
{
    CGLContextGuard guard(*this);
    if (!guard.IsCurrent() || !m_bGLReady)
        return;
    const uint32_t dwStart = m_pClock->GetTickCount();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (const CSceneObject* pObject = m_pDocument->m_pObjectList->m_pNext; pObject != nullptr;
         pObject = pObject->m_pNext)
    {
        if (pObject->GetType() != OBJECT_MESH)
            continue;
        double m[16];
        pObject->GetMatrix(m);
        glPushMatrix();
        glMultMatrixd(m);
        glCallList(static_cast<const CMesh*>(pObject)->m_nDisplayList);
        glPopMatrix();
    }
    if (m_pDocument->m_nGuideList != 0)
    {
        glPushMatrix();
        glCallList(m_pDocument->m_nGuideList);
        glPopMatrix();
    }
    // The widget hands the finished picture to the window's composition after paintGL; waiting
    // here keeps the measured time that of the whole drawing, not of queuing the commands.
    glFinish();
    m_nFrameTime = static_cast<int32_t>(m_pClock->GetTickCount() - dwStart);

    if (m_bSpinning)
    {
        m_bFrameDrawn = true;
        ++m_nFrameCount;
        m_bFrameFast = m_nFrameTime < m_nSpinPeriod - 10;
        m_bFrameSlow = m_nFrameTime > m_nSpinPeriod + 5;
    }
    if (m_bPlaying)
        m_bFrameDrawn = true;
}

void CTeldViewGLView::OnUpdate()
{
    m_nSpinPeriod = 10;
    OnSceneLoaded();
    DrawNow();
}

void CTeldViewGLView::DrawNow()
{
    const QWindow* pWindow = window()->windowHandle();
    if (!isVisible() || pWindow == nullptr || !pWindow->isExposed() || !m_bGLReady)
    {
        update();
        return;
    }
    const uint64_t nBefore = m_nFramesPainted;
    repaint();
    if (m_nFramesPainted != nBefore)
        return;
    // The window throttles widgets drawn through textures to its own update requests, so a
    // repaint may be put off until the next one (a few milliseconds). Wait for it, without
    // taking user input, so that the frame is drawn when this returns.
    QEventLoop loop;
    connect(this, &CTeldViewGLView::FrameDrawn, &loop, &QEventLoop::quit);
    QTimer::singleShot(MAX_DRAW_WAIT_MS, &loop, &QEventLoop::quit);
    update();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void CTeldViewGLView::OnDestroy()
{
    m_spinTimer.stop();
    m_animTimer.stop();
    CGLContextGuard guard(*this);
    if (guard.IsCurrent())
        m_pDocument->ReleaseGLObjects();
}

void CTeldViewGLView::SetupView()
{
    CGLContextGuard guard(*this);
    if (!guard.IsCurrent())
        return;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const int32_t nHeight = m_rcClient.bottom < 1 ? 1 : m_rcClient.bottom;
    m_fAspect = static_cast<float>(static_cast<double>(m_rcClient.right) / nHeight);
    gluPerspective(m_fFovY, m_fAspect, m_fNearPlane, m_fFarPlane);

    LoadViewTransform();
}

void CTeldViewGLView::ResetView()
{
    if (m_bSpinning)
        StopSpin(false);
    const double* b = m_pDocument->m_dSceneBounds;
    const double ex = b[BOUNDS_MAX_X] - b[BOUNDS_MIN_X];
    const double ey = b[BOUNDS_MAX_Y] - b[BOUNDS_MIN_Y];
    const double ez = b[BOUNDS_MAX_Z] - b[BOUNDS_MIN_Z];
    double dExtent = ex > ey ? ex : ey;
    if (ez > dExtent)
        dExtent = ez;
    // Without a mesh (or after a scene was emptied) the bounds are still inverted and give no
    // distance at all; a fixed far plane then serves, as only the background is drawn.
    const bool bUsable = std::isfinite(dExtent) && dExtent > 0.0;
    m_fFarPlane = bUsable ? static_cast<float>(dExtent * 25.0) : FALLBACK_FAR_PLANE;

    CCamera* pCamera = m_pDocument->m_pCamera;
    pCamera->m_qOrientation = CQuaternion();
    const double dDistance = m_pDocument->m_bHasMesh && bUsable ? 2.5 * dExtent : 0.0;
    pCamera->m_vPosition = CVector3(0.0, 0.0, dDistance);
    SetupView();
}

void CTeldViewGLView::ApplyMaterials()
{
    CGLContextGuard guard(*this);
    if (!guard.IsCurrent())
        return;
    SendColor(GL_FRONT, GL_AMBIENT, m_fOuterAmbient);
    SendColor(GL_FRONT, GL_DIFFUSE, m_fOuterDiffuse);
    SendColor(GL_FRONT, GL_SPECULAR, m_fOuterSpecular);
    glMaterialf(GL_FRONT, GL_SHININESS, m_fOuterShininess);
    SendColor(GL_BACK, GL_AMBIENT, m_fInnerAmbient);
    SendColor(GL_BACK, GL_DIFFUSE, m_fInnerDiffuse);
    SendColor(GL_BACK, GL_SPECULAR, m_fInnerSpecular);
    glMaterialf(GL_BACK, GL_SHININESS, m_fInnerShininess);
}

void CTeldViewGLView::ApplyLight()
{
    CGLContextGuard guard(*this);
    if (!guard.IsCurrent())
        return;
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (m_bLightRelToView)
        glLightfv(GL_LIGHT0, GL_POSITION, m_fLightPosition);
    SendLightColor(GL_DIFFUSE, m_fLightDiffuse);
    SendLightColor(GL_AMBIENT, m_fLightAmbient);
    SendLightColor(GL_SPECULAR, m_fLightSpecular);
}
