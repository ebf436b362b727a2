#include <GL/gl.h>

#include <limits>
#include <string>
#include <tuple>

#include "GuiTestSupport.h"
#include "gui/view/GLContextGuard.h"
#include "gui/view/TimerPause.h"
#include "model/Camera.h"
#include "platform/FakeClock.h"
#include "tests/unit/FileTestSupport.h"

namespace
{
using FileTestSupport::PosKey;

// The application on the cube with a clock the test sets; timers are driven by calling OnTimer.
struct SClockedApp : SGuiApp
{
    SClockedApp() : SGuiApp({QString::fromStdString(Example("cube.off"))}) { View().SetClock(&clock); }
    ~SClockedApp() { View().SetClock(nullptr); }
    CFakeClock clock;
};
} // namespace

TEST(Animation, SpinPacesItselfByTheFrameTimeAndMeasuresTheRate)
{
    SClockedApp gui;
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    // {period, frame time, period after one tick}; a frame of 4 ms or less leaves the period.
    const std::tuple<int, uint32_t, int> rows[] = {{10, 30, 35}, {35, 12, 17}, {10, 120, 10}, {35, 3, 35}};
    for (const auto& [nPeriod, nFrame, nAfter] : rows)
    {
        view.m_nSpinPeriod = nPeriod;
        ASSERT_TRUE(view.StartSpin(false));
        gui.clock.Script({1000, 1000 + nFrame});
        view.OnDraw();
        view.OnTimer(SPIN_TIMER_ID);
        EXPECT_EQ(view.m_nSpinPeriod, nAfter) << nPeriod << " " << nFrame;
        view.StopSpin(false);
    }

    // The rate needs more than 10 frames and some time passed; the tick count may wrap between.
    view.StartSpin(false);
    view.m_bFrameSlow = view.m_bFrameFast = false;
    const std::tuple<int32_t, uint32_t, uint32_t, float> rates[] = {{10, 1000, 2000, 0.0f},
                                                                    {11, 1000, 1000, 0.0f},
                                                                    {11, 1000, 1500, 22.0f},
                                                                    {11, 0xFFFFFF00u, 0x100u, 21.484375f}};
    for (const auto& [nFrames, dwLast, dwNow, fRate] : rates)
    {
        view.m_fFramesPerSecond = 0.0f;
        view.m_nFrameCount = nFrames;
        view.m_dwLastTick = dwLast;
        gui.clock.m_nNow = dwNow;
        view.OnTimer(SPIN_TIMER_ID);
        EXPECT_EQ(view.m_fFramesPerSecond, fRate) << nFrames << " frames in " << dwNow - dwLast << " ms";
        EXPECT_EQ(view.m_nFrameCount, fRate > 0.0f ? 0 : nFrames);
    }
    EXPECT_EQ(gui.PaneText(ID_FRAME_RATE), "21.5 FPS");

    // Around a dialog the flag stays and the timer stops; the spin resumes at its rates. From
    // the menu it starts at rest; each tick turns by the rates.
    CSceneObject& mesh = *gui.Doc().m_pCurrentObject;
    view.m_dSpinRateY = 7.0;
    {
        CTimerPause pause(view);
        EXPECT_TRUE(view.m_bSpinning && !view.IsTimerActive(SPIN_TIMER_ID));
    }
    EXPECT_EQ(view.m_dSpinRateY, 7.0);
    gui.Execute(ID_VIEW_SPIN);
    gui.Execute(ID_VIEW_SPIN);
    EXPECT_EQ(view.m_dSpinRateY, 0.0);
    mesh.m_qOrientation = CQuaternion();
    view.m_dSpinRateY = -1.5;
    view.OnTimer(SPIN_TIMER_ID);
    EXPECT_NEAR(mesh.m_qOrientation.v.y, std::sin(1.5 * 3.14159265358979 / 360.0), 1e-12);
}

TEST(Animation, PlaybackAdvancesOneUnitPerTickWhateverTheClock)
{
    SClockedApp gui;
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    CTeldViewGLDoc& doc = gui.Doc();
    CSceneObject& mesh = *doc.m_pCurrentObject;
    for (CSceneObject* pObject : {&mesh, static_cast<CSceneObject*>(doc.m_pCamera)})
    {
        pObject->AddPositionKey(PosKey(0, CVector3()));
        pObject->AddPositionKey(PosKey(100, CVector3(pObject == &mesh ? 10.0 : 3.0, 0, 0)));
    }
    const auto states = [&]
    {
        return gui.States(
            {ID_VIEW_SPIN, ID_ANIMATION_PLAY, ID_ANIMATION_PAUSE, ID_ANIMATION_STOP, ID_ANIMATION_REWIND});
    };
    EXPECT_EQ(states(), "EE---");
    gui.Execute(ID_VIEW_SPIN);
    EXPECT_EQ(states(), "CE---");
    // Play ends the spin and hides the guide.
    view.ShowKeyframeGuide();
    gui.Execute(ID_ANIMATION_PLAY);
    EXPECT_TRUE(view.m_bPlaying && !view.m_bSpinning && view.IsTimerActive(ANIM_TIMER_ID));
    EXPECT_EQ(view.GuideList(), 0u);
    EXPECT_EQ(states(), "--EE-");

    for (int i = 0; i < 50; ++i)
        view.OnTimer(ANIM_TIMER_ID);
    EXPECT_EQ(states(), "--EEE");
    EXPECT_EQ(doc.GetSceneTime(), 50);
    EXPECT_DOUBLE_EQ(mesh.m_vPosition.x, 5.0);
    // Rewind while playing goes on from 0.
    gui.Execute(ID_ANIMATION_REWIND);
    view.OnTimer(ANIM_TIMER_ID);
    EXPECT_EQ(doc.GetSceneTime(), 1);
    // The end of the last interval ends playback, and the camera's last pose reaches the view
    // even when no frame was drawn since the last tick.
    view.m_bFrameDrawn = false;
    for (int i = 0; i < 99; ++i)
        view.OnTimer(ANIM_TIMER_ID);
    EXPECT_EQ(doc.GetSceneTime(), 100);
    EXPECT_EQ(states(), "EE--E");
    EXPECT_FALSE(view.IsTimerActive(ANIM_TIMER_ID));
    EXPECT_DOUBLE_EQ(mesh.m_vPosition.x, 10.0);
    {
        CGLContextGuard guard(view);
        double m[16];
        glGetDoublev(GL_MODELVIEW_MATRIX, m);
        EXPECT_DOUBLE_EQ(m[12], -3.0);
    }
    // Past the end one tick plays; Stop returns every object to time 0.
    gui.Execute(ID_ANIMATION_PLAY);
    view.OnTimer(ANIM_TIMER_ID);
    EXPECT_EQ(doc.GetSceneTime(), 101);
    EXPECT_FALSE(view.m_bPlaying);
    gui.Execute(ID_ANIMATION_REWIND);
    gui.Execute(ID_ANIMATION_PLAY);
    view.OnTimer(ANIM_TIMER_ID);
    gui.Execute(ID_ANIMATION_STOP);
    EXPECT_EQ(states(), "EE---");
    EXPECT_EQ(mesh.m_vPosition.x, 0.0);

    // At the largest time a keyframe file holds playback ends instead of wrapping around.
    doc.EvaluateScene(std::numeric_limits<int32_t>::max());
    gui.Execute(ID_ANIMATION_PLAY);
    view.OnTimer(ANIM_TIMER_ID);
    EXPECT_EQ(doc.GetSceneTime(), std::numeric_limits<int32_t>::max());
    EXPECT_FALSE(view.m_bPlaying);
}
