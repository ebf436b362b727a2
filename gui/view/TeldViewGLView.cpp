#include "gui/view/TeldViewGLView.h"

#include <GL/gl.h>

#include <QEventLoop>
#include <QOpenGLContext>
#include <QResizeEvent>
#include <QWindow>

#include <algorithm>
#include <cmath>

#include "drawing/SceneRenderer.h"
#include "formats/NumberFormat.h"
#include "gui/QtUiServices.h"
#include "gui/view/GLContextGuard.h"
#include "gui/view/ViewWorkerContext.h"
#include "model/Camera.h"
#include "model/Mesh.h"
#include "model/TeldViewGLDoc.h"
#include "platform/CommandIds.h"
#include "platform/SteadyClock.h"
#include "platform/UiServices.h"

namespace
{
// How long OnUpdate waits for a repaint the window has put off.
constexpr int MAX_DRAW_WAIT_MS = 250;

const CClock& DefaultClock()
{
    static const CSteadyClock s_clock;
    return s_clock;
}
} // namespace

CTeldViewGLView::CTeldViewGLView(CTeldViewGLDoc* pDocument, QWidget* pParent)
    : QOpenGLWidget(pParent), m_pDocument(pDocument), m_pClock(&DefaultClock()),
      m_motion([this] { OnMotionSettled(); })
{
    // Keys reach the view only with a strong focus policy; the window's shortcuts (N, P) still
    // take precedence.
    setFocusPolicy(Qt::StrongFocus);
    m_spinTimer.setTimerType(Qt::PreciseTimer);
    m_animTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_spinTimer, &QTimer::timeout, this, [this] { OnTimer(SPIN_TIMER_ID); });
    connect(&m_animTimer, &QTimer::timeout, this, [this] { OnTimer(ANIM_TIMER_ID); });
    RegisterCommands();
    // Every mesh that enters the scene gets its display list at once.
    m_pDocument->m_pGraphics = &m_listCompiler;
}

CTeldViewGLView::~CTeldViewGLView()
{
    // The context dies in the base destructor, after this object is gone: release the GL
    // objects now and drop the connection that would call back into a destroyed view.
    OnDestroy();
    if (m_pDocument->m_pGraphics == &m_listCompiler)
        m_pDocument->m_pGraphics = nullptr;
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
    RegisterCaptureCommands();
    RegisterRecordCommands();
    RegisterSceneCommands();
    RegisterTextureCommands();
    RegisterRenderCommands();
    RegisterToolsCommands();
    RegisterStandardViewCommands();
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
    CreateWorkerContexts();
    // A document update that came before the context existed set the camera but could not
    // reach GL; bring the matrices in line with it.
    SetupView();
}

void CTeldViewGLView::SetBaselineState()
{
    const qreal dRatio = devicePixelRatioF();
    m_rcClient = SRect{0, 0, static_cast<int32_t>(std::lround(width() * dRatio)),
                       static_cast<int32_t>(std::lround(height() * dRatio))};
    if (m_rcClient.bottom < 1)
        m_rcClient.bottom = 1;
    m_fAspect = SceneRenderer::SetBaselineState(*this, m_rcClient.right, m_rcClient.bottom);
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
    OnDraw(true);
    if (m_bReductionsDue)
        QTimer::singleShot(0, this, &CTeldViewGLView::MakeReductions);
    emit FrameDrawn();
}

void CTeldViewGLView::OnDraw(bool bMayReduce)
{
    CGLContextGuard guard(*this);
    if (!guard.IsCurrent() || !m_bGLReady)
        return;
    const double dShare = bMayReduce ? m_motion.Share(SceneRenderer::SceneItems(*m_pDocument)) : 1.0;
    const uint32_t dwStart = m_pClock->GetTickCount();
    const SceneRenderer::SFrameDrawn drawn =
        SceneRenderer::DrawFrameWithin(*m_pDocument, m_guide.List(), dShare);
    m_nFrameTime = static_cast<int32_t>(m_pClock->GetTickCount() - dwStart);
    m_bFrameReduced = drawn.bReduced;
    m_nItemsDrawn = drawn.nItems;
    if (!drawn.bCompiled)
        m_motion.FrameDrawn(drawn.nItems, static_cast<uint32_t>(std::max(m_nFrameTime, 0)), drawn.bReduced);

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
    ReleaseWorkerContexts();
    CGLContextGuard guard(*this);
    if (guard.IsCurrent())
    {
        m_pDocument->ReleaseGraphics();
        m_guide.Delete();
    }
}

void CTeldViewGLView::SetupView()
{
    CGLContextGuard guard(*this);
    if (guard.IsCurrent())
        m_fAspect =
            SceneRenderer::SetupView(*this, *m_pDocument->m_pCamera, m_rcClient.right, m_rcClient.bottom);
}

void CTeldViewGLView::ResetView()
{
    if (m_bSpinning)
        StopSpin(false);
    SceneRenderer::FitDefaultView(*this, *m_pDocument);
    SetupView();
}

void CTeldViewGLView::ApplyMaterials()
{
    CGLContextGuard guard(*this);
    if (guard.IsCurrent())
        SceneRenderer::ApplyMaterials(*this);
}

void CTeldViewGLView::ApplyLight()
{
    CGLContextGuard guard(*this);
    if (guard.IsCurrent())
        SceneRenderer::ApplyLight(*this);
}
