// Spin and playback: the two window timers, their one handler, and the commands that start and
// stop them.
#include <algorithm>

#include "gui/view/TeldViewGLView.h"
#include "model/Camera.h"
#include "model/SceneTime.h"
#include "model/TeldViewGLDoc.h"
#include "platform/Clock.h"
#include "platform/CommandIds.h"

namespace
{
// The shortest period a timer gets, as window timers have.
constexpr int MIN_TIMER_PERIOD_MS = 10;
// The drawing rate is measured over more frames than this.
constexpr int32_t FRAMES_PER_MEASUREMENT = 10;
} // namespace

void CTeldViewGLView::RegisterTimerCommands()
{
    OnCommand(ID_VIEW_SPIN, [this] { OnViewSpin(); });
    OnUpdateCommand(ID_VIEW_SPIN, [this](CCmdUI& ui) { OnUpdateViewSpin(ui); });
    OnCommand(ID_ANIMATION_PLAY, [this] { OnAnimationPlay(); });
    OnUpdateCommand(ID_ANIMATION_PLAY, [this](CCmdUI& ui) { OnUpdateAnimationPlay(ui); });
    OnCommand(ID_ANIMATION_PAUSE, [this] { OnAnimationPause(); });
    OnUpdateCommand(ID_ANIMATION_PAUSE, [this](CCmdUI& ui) { OnUpdateAnimationPlaying(ui); });
    OnCommand(ID_ANIMATION_STOP, [this] { OnAnimationStop(); });
    OnUpdateCommand(ID_ANIMATION_STOP, [this](CCmdUI& ui) { OnUpdateAnimationPlaying(ui); });
    OnCommand(ID_ANIMATION_REWIND, [this] { OnAnimationRewind(); });
    OnUpdateCommand(ID_ANIMATION_REWIND, [this](CCmdUI& ui) { OnUpdateAnimationRewind(ui); });
}

void CTeldViewGLView::OnViewSpin()
{
    if (!m_bSpinning)
        StartSpin(false);
    else
    {
        StopSpin(false);
        // The last turns may not have been drawn yet (nor reached the view if the camera spun).
        RefreshCameraView();
    }
}

void CTeldViewGLView::OnUpdateViewSpin(CCmdUI& ui)
{
    ui.Enable(!m_bPlaying);
    ui.SetCheck(m_bSpinning && !m_bPlaying);
}

void CTeldViewGLView::OnAnimationPlay()
{
    if (m_bSpinning)
        StopSpin(false);
    HideKeyframeGuide();
    StartPlayback(false);
}

void CTeldViewGLView::OnUpdateAnimationPlay(CCmdUI& ui)
{
    ui.Enable(!m_bPlaying);
}

void CTeldViewGLView::OnAnimationPause()
{
    StopPlayback(false);
}

void CTeldViewGLView::OnAnimationStop()
{
    StopPlayback(false);
    m_pDocument->EvaluateScene(0);
    RefreshCameraView();
}

void CTeldViewGLView::OnUpdateAnimationPlaying(CCmdUI& ui)
{
    ui.Enable(m_bPlaying);
}

void CTeldViewGLView::OnAnimationRewind()
{
    // A running playback goes on from time 0.
    m_pDocument->EvaluateScene(0);
    RefreshCameraView();
}

void CTeldViewGLView::OnUpdateAnimationRewind(CCmdUI& ui)
{
    ui.Enable(m_pDocument->GetSceneTime() > 0);
}

bool CTeldViewGLView::StartSpin(bool bKeepRates)
{
    m_nSpinTimer = SetTimer(SPIN_TIMER_ID, m_nSpinPeriod);
    m_bSpinning = m_nSpinTimer != 0;
    if (!bKeepRates)
        m_dSpinRateX = m_dSpinRateY = 0.0;
    m_dwLastTick = m_pClock->GetTickCount();
    if (m_bSpinning)
        m_motion.NoteMotion();
    update();
    m_bFrameDrawn = false;
    return m_bSpinning;
}

bool CTeldViewGLView::StopSpin(bool bStillSpinning)
{
    KillTimer(m_nSpinTimer);
    m_bSpinning = bStillSpinning;
    m_nFrameCount = 0;
    m_fFramesPerSecond = 0.0f;
    return bStillSpinning;
}

bool CTeldViewGLView::StartPlayback(bool bUnused)
{
    (void)bUnused;
    m_nAnimTimer = SetTimer(ANIM_TIMER_ID, m_nAnimPeriod);
    m_bPlaying = m_nAnimTimer != 0;
    m_dwLastTick = m_pClock->GetTickCount();
    if (m_bPlaying)
        m_motion.NoteMotion();
    update();
    m_bFrameDrawn = false;
    return m_bPlaying;
}

bool CTeldViewGLView::StopPlayback(bool bStillPlaying)
{
    KillTimer(m_nAnimTimer);
    m_bPlaying = bStillPlaying;
    m_nFrameCount = 0;
    m_fFramesPerSecond = 0.0f;
    return bStillPlaying;
}

void CTeldViewGLView::RefreshCameraView()
{
    // The projection too: the clipping planes follow the camera and the objects.
    SetupView();
    update();
}

// One handler for both timers, the spin first; the id is not examined. It also runs inside the
// nested event loops of modal dialogs, so it only ever asks for a frame, never draws one.
void CTeldViewGLView::OnTimer(int nIDEvent)
{
    if (m_bSpinning)
        OnSpinTick();
    else if (m_bPlaying)
        OnPlaybackTick();
    else
        return;
    emit TimerHandled(nIDEvent);
}

void CTeldViewGLView::OnSpinTick()
{
    RotateCurrentObject(-m_dSpinRateX, -m_dSpinRateY);
    m_motion.NoteMotion();
    // A new frame only once the last one is drawn; the object turns on every tick regardless.
    if (m_bFrameDrawn)
    {
        RefreshCameraView();
        m_bFrameDrawn = false;
    }
    if (m_nFrameCount > FRAMES_PER_MEASUREMENT)
    {
        const uint32_t dwNow = m_pClock->GetTickCount();
        // Unsigned differences stay right across the wrap of the tick count; with no time
        // passed there is no rate to give yet.
        const uint32_t dwElapsed = dwNow - m_dwLastTick;
        if (dwElapsed != 0)
        {
            m_fFramesPerSecond = static_cast<float>(static_cast<double>(m_nFrameCount) * 1000.0 / dwElapsed);
            m_dwLastTick = dwNow;
            m_nFrameCount = 0;
        }
    }
    // Pacing: the period follows the frame time plus 5 ms, within 10 to 100 ms.
    bool bRestart = false;
    if (m_bFrameSlow && m_nSpinPeriod < 100)
    {
        if (m_nFrameTime < 95)
        {
            m_nSpinPeriod = m_nFrameTime + 5;
            bRestart = true;
        }
    }
    else if (m_bFrameFast && m_nSpinPeriod > 10 && m_nFrameTime > 4)
    {
        m_nSpinPeriod = m_nFrameTime + 5;
        bRestart = true;
    }
    if (bRestart)
    {
        StopSpin(true);
        StartSpin(true);
    }
}

void CTeldViewGLView::OnPlaybackTick()
{
    // Times are 32-bit: at the last one playback ends rather than wrap to the most negative.
    const int32_t nTime = m_pDocument->GetSceneTime();
    const bool bEnded = nTime >= SceneTime::MAX_TIME || !m_pDocument->EvaluateScene(nTime + 1);
    m_motion.NoteMotion();
    if (bEnded)
        StopPlayback(false);
    // The final pose is always shown: no later tick would bring a camera resting on its last
    // keyframe into the view.
    if (m_bFrameDrawn || bEnded)
    {
        RefreshCameraView();
        m_bFrameDrawn = false;
    }
}

unsigned CTeldViewGLView::SetTimer(int nIDEvent, int nElapseMs)
{
    QTimer* pTimer = nIDEvent == SPIN_TIMER_ID   ? &m_spinTimer
                     : nIDEvent == ANIM_TIMER_ID ? &m_animTimer
                                                 : nullptr;
    if (pTimer == nullptr)
        return 0;
    pTimer->start(std::max(nElapseMs, MIN_TIMER_PERIOD_MS));
    return static_cast<unsigned>(nIDEvent);
}

void CTeldViewGLView::KillTimer(unsigned nIDEvent)
{
    if (nIDEvent == SPIN_TIMER_ID)
        m_spinTimer.stop();
    else if (nIDEvent == ANIM_TIMER_ID)
        m_animTimer.stop();
}

bool CTeldViewGLView::IsTimerActive(int nIDEvent) const
{
    if (nIDEvent == SPIN_TIMER_ID)
        return m_spinTimer.isActive();
    if (nIDEvent == ANIM_TIMER_ID)
        return m_animTimer.isActive();
    return false;
}
