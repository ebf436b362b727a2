#include <GL/gl.h>

#include <QImage>

#include <cmath>
#include <tuple>

#include "GuiTestSupport.h"
#include "drawing/MeshGL.h"
#include "gui/view/GLContextGuard.h"
#include "model/Camera.h"
#include "model/Mesh.h"
#include "platform/FakeClock.h"

TEST(View, TheSampleDrawsBlueOnBlackAndLeavesTheBaselineState)
{
    SGuiApp gui({QString::fromStdString(Example("cube.off"))});
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    ASSERT_TRUE(view.IsGLReady());
    ASSERT_NE(CMeshGL::ListOf(*static_cast<CMesh*>(gui.Doc().m_pCurrentObject)), 0u);
    EXPECT_EQ(view.ReportContextProblem(), CONTEXT_OK);
    EXPECT_TRUE(gui.ui.m_messages.empty());
    EXPECT_EQ(view.focusPolicy(), Qt::StrongFocus);

    const QImage image = view.grabFramebuffer();
    ASSERT_FALSE(image.isNull());
    const int w = image.width(), h = image.height();
    // The cube's front face fills the middle; the light sits at the eye, so every part of it
    // shows the front material (blue), with no red or green to speak of.
    for (const QPoint point : {QPoint(w / 2, h / 2), QPoint(w / 2 - h / 8, h / 2 + h / 8)})
    {
        const QColor color = image.pixelColor(point);
        EXPECT_TRUE(color.blue() > 40 && color.red() < 30 && color.green() < 30)
            << color.name().toStdString();
    }
    for (const QPoint point : {QPoint(2, 2), QPoint(w - 3, h - 3), QPoint(w / 10, h / 2)})
        EXPECT_EQ(image.pixelColor(point), QColor(0, 0, 0));

    // After drawing, the GL state is the baseline set up with the context.
    CGLContextGuard guard(view);
    ASSERT_TRUE(guard.IsCurrent());
    for (const GLenum eCap : {GL_DEPTH_TEST, GL_LIGHTING, GL_LIGHT0})
        EXPECT_TRUE(glIsEnabled(eCap)) << eCap;
    for (const GLenum eCap : {GL_CULL_FACE, GL_COLOR_MATERIAL})
        EXPECT_FALSE(glIsEnabled(eCap)) << eCap;
    const auto integer = [](GLenum eName)
    {
        GLint n = -1;
        glGetIntegerv(eName, &n);
        return n;
    };
    // The states a draw changes on its way: the texture upload's alignment, the projection's matrix mode.
    EXPECT_EQ(integer(GL_UNPACK_ALIGNMENT), 1);
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);

    // A zero height (Qt calls no resizeGL for it) still reaches the pane and the projection,
    // whose aspect stays finite.
    view.resize(300, 0);
    EXPECT_FLOAT_EQ(view.m_fAspect, 300.0f);
    EXPECT_EQ(gui.PaneText(ID_VIEW_SIZE), "300 x 1");
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[3], 0);
    double projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    for (const double d : projection)
        EXPECT_TRUE(std::isfinite(d));
}

TEST(View, ContextsWithoutTheFixedFunctionPipelineAreRefused)
{
    // {valid, major, minor, core profile, GLES, verdict}
    const std::tuple<bool, int, int, bool, bool, int> rows[] = {
        {false, 0, 0, false, false, CONTEXT_NO_FORMAT}, {true, 4, 5, false, false, CONTEXT_OK},
        {true, 2, 1, false, false, CONTEXT_OK},         {true, 3, 1, true, false, CONTEXT_OK},
        {true, 3, 2, true, false, CONTEXT_BAD_FORMAT},  {true, 4, 6, true, false, CONTEXT_BAD_FORMAT},
        {true, 3, 0, false, true, CONTEXT_BAD_FORMAT},
    };
    for (const auto& [bValid, nMajor, nMinor, bCore, bGLES, nExpected] : rows)
        EXPECT_EQ(CTeldViewGLView::ClassifyContext(bValid, nMajor, nMinor, bCore, bGLES), nExpected)
            << nMajor << "." << nMinor << (bCore ? " core" : "") << (bGLES ? " ES" : "");
}

TEST(View, DefaultViewFitsTheSceneBoundsAndEndsASpin)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    CTeldViewGLDoc& doc = gui.Doc();
    // No mesh at start-up: the bounds give no distance, so the far plane is the fixed fallback.
    EXPECT_FLOAT_EQ(view.m_fFarPlane, 800.0f);
    // Largest extent 4 (along y): camera at (0, 0, 10), far plane 100.
    const double bounds[6] = {-1, 1, -2, 2, 0, 3};
    std::copy(bounds, bounds + 6, doc.m_dSceneBounds);
    doc.m_bHasMesh = true;
    doc.m_pCamera->m_qOrientation = CQuaternion(0.0, 1.0, 0.0, 0.0);
    EXPECT_EQ(view.SetTimer(SPIN_TIMER_ID, 10), static_cast<unsigned>(SPIN_TIMER_ID));
    EXPECT_EQ(view.SetTimer(7, 10), 0u);
    view.m_bSpinning = true;
    view.m_nSpinTimer = SPIN_TIMER_ID;
    view.m_fFramesPerSecond = 50.0f;
    view.ResetView();
    EXPECT_FLOAT_EQ(view.m_fFarPlane, 100.0f);
    EXPECT_EQ(doc.m_pCamera->m_vPosition.z, 10.0);
    EXPECT_EQ(doc.m_pCamera->m_qOrientation.w, 1.0);
    EXPECT_FALSE(view.m_bSpinning);
    EXPECT_FALSE(view.IsTimerActive(SPIN_TIMER_ID));
    EXPECT_EQ(view.m_fFramesPerSecond, 0.0f);

    CGLContextGuard guard(view);
    double m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    EXPECT_DOUBLE_EQ(m[14], -10.0);
}

TEST(View, UpdatesDrawAtOnceAndFramesAreTimedByTheClock)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    // An update draws before it returns, every time: a pending repaint must not swallow it.
    int nFrames = 0;
    QObject::connect(&view, &CTeldViewGLView::FrameDrawn, [&] { ++nFrames; });
    for (int i = 0; i < 3; ++i, nFrames = 0)
    {
        view.OnUpdate();
        EXPECT_GE(nFrames, 1);
    }

    CFakeClock clock;
    view.SetClock(&clock);
    // Not spinning: the time is measured, the flags and the counter stay.
    clock.Script({1000, 1030});
    view.OnDraw();
    EXPECT_EQ(view.m_nFrameTime, 30);
    EXPECT_FALSE(view.m_bFrameSlow || view.m_bFrameDrawn);
    EXPECT_EQ(view.m_nFrameCount, 0);

    // {period, frame time, fast, slow} at the edges of the pacing window.
    const std::tuple<int, uint32_t, bool, bool> rows[] = {
        {10, 15, false, false}, {10, 16, false, true}, {35, 24, true, false}, {35, 25, false, false}};
    view.m_bSpinning = true;
    for (const auto& [nPeriod, nFrame, bFast, bSlow] : rows)
    {
        view.m_nSpinPeriod = nPeriod;
        // The tick count wraps around: the difference still gives the frame time.
        clock.Script({0xFFFFFFF0u, 0xFFFFFFF0u + nFrame});
        view.OnDraw();
        EXPECT_EQ(view.m_nFrameTime, static_cast<int32_t>(nFrame));
        EXPECT_EQ(view.m_bFrameFast, bFast) << nFrame;
        EXPECT_EQ(view.m_bFrameSlow, bSlow) << nFrame;
        EXPECT_TRUE(view.m_bFrameDrawn);
    }
    EXPECT_EQ(view.m_nFrameCount, 4);
    view.m_bSpinning = false;
    view.SetClock(nullptr);
}
