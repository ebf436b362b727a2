#include <GL/gl.h>

#include <QImage>
#include <QTest>

#include <cfloat>
#include <cmath>

#include "GuiTestSupport.h"
#include "platform/CommandIds.h"
#include "platform/FakeClock.h"
#include "scene/Camera.h"
#include "scene/Mesh.h"
#include "view/GLContextGuard.h"

TEST(View, StartsWithTheProductDefaultsAndABaselineGLState)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    ASSERT_TRUE(view.IsGLReady());
    EXPECT_EQ(view.ReportContextProblem(), CONTEXT_OK);
    EXPECT_TRUE(gui.ui.m_messages.empty());
    EXPECT_FLOAT_EQ(view.m_fFovY, 45.0f);
    EXPECT_FLOAT_EQ(view.m_fNearPlane, 1.0f);
    EXPECT_FLOAT_EQ(view.m_fOuterDiffuse[2], 0.7f);
    EXPECT_FLOAT_EQ(view.m_fInnerDiffuse[0], 0.7f);
    EXPECT_EQ(view.m_nSpinPeriod, 10);
    EXPECT_EQ(view.focusPolicy(), Qt::StrongFocus);
    // No mesh: the bounds give no distance, so the far plane is the fixed fallback.
    EXPECT_FLOAT_EQ(view.m_fFarPlane, 800.0f);
    EXPECT_EQ(gui.Doc().m_pCamera->m_vPosition.z, 0.0);

    CGLContextGuard guard(view);
    ASSERT_TRUE(guard.IsCurrent());
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    GLint nValue = 0;
    glGetIntegerv(GL_LIGHT_MODEL_TWO_SIDE, &nValue);
    EXPECT_EQ(nValue, 1);
    glGetIntegerv(GL_CULL_FACE_MODE, &nValue);
    EXPECT_EQ(nValue, GL_BACK);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &nValue);
    EXPECT_EQ(nValue, 1);
    glGetIntegerv(GL_MATRIX_MODE, &nValue);
    EXPECT_EQ(nValue, GL_MODELVIEW);
    GLfloat ambient[4] = {};
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, ambient);
    EXPECT_EQ(ambient[0] + ambient[1] + ambient[2], 0.0f);
    GLfloat back[4] = {};
    glGetMaterialfv(GL_BACK, GL_DIFFUSE, back);
    EXPECT_NEAR(back[0], 0.7f, 1e-6);
}

TEST(View, ContextsWithoutTheFixedFunctionPipelineAreRefused)
{
    const struct
    {
        bool bValid;
        int nMajor, nMinor;
        bool bCore, bGLES;
        int nExpected;
    } rows[] = {
        {false, 0, 0, false, false, CONTEXT_NO_FORMAT}, {true, 4, 5, false, false, CONTEXT_OK},
        {true, 2, 1, false, false, CONTEXT_OK},         {true, 3, 1, true, false, CONTEXT_OK},
        {true, 3, 2, true, false, CONTEXT_BAD_FORMAT},  {true, 4, 6, true, false, CONTEXT_BAD_FORMAT},
        {true, 3, 0, false, true, CONTEXT_BAD_FORMAT},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CTeldViewGLView::ClassifyContext(row.bValid, row.nMajor, row.nMinor, row.bCore, row.bGLES),
                  row.nExpected)
            << row.nMajor << "." << row.nMinor;
}

TEST(View, DefaultViewFitsTheSceneBounds)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLDoc& doc = gui.Doc();
    // Largest extent 4 (along y): camera at (0, 0, 10), far plane 100.
    const double bounds[6] = {-1, 1, -2, 2, 0, 3};
    std::copy(bounds, bounds + 6, doc.m_dSceneBounds);
    doc.m_bHasMesh = true;
    doc.m_pCamera->m_qOrientation = CQuaternion(0.0, 1.0, 0.0, 0.0);
    gui.View().ResetView();
    EXPECT_FLOAT_EQ(gui.View().m_fFarPlane, 100.0f);
    EXPECT_EQ(doc.m_pCamera->m_vPosition.z, 10.0);
    EXPECT_EQ(doc.m_pCamera->m_qOrientation.w, 1.0);

    CGLContextGuard guard(gui.View());
    double m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    EXPECT_DOUBLE_EQ(m[14], -10.0);
}

TEST(View, ZeroHeightKeepsTheAspectFinite)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    view.OnSize(300, 0);
    EXPECT_EQ(view.m_rcClient.bottom, 1);
    EXPECT_FLOAT_EQ(view.m_fAspect, 300.0f);
    EXPECT_EQ(gui.PaneText(ID_VIEW_SIZE), "300 x 1");

    CGLContextGuard guard(view);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[3], 0);
    double projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    for (const double d : projection)
        EXPECT_TRUE(std::isfinite(d));
}

TEST(View, FrameTimeAndPacingFlagsFollowTheClock)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    CFakeClock clock;
    view.SetClock(&clock);

    // Not spinning: the time is measured, the flags and the counter stay.
    clock.Script({1000, 1030});
    view.OnDraw();
    EXPECT_EQ(view.m_nFrameTime, 30);
    EXPECT_FALSE(view.m_bFrameSlow);
    EXPECT_EQ(view.m_nFrameCount, 0);
    EXPECT_FALSE(view.m_bFrameDrawn);

    struct SRow
    {
        int nPeriod;
        uint32_t nFrame;
        bool bFast;
        bool bSlow;
    };
    const SRow rows[] = {{10, 0, false, false},
                         {10, 15, false, false},
                         {10, 16, false, true},
                         {35, 24, true, false},
                         {35, 25, false, false}};
    view.m_bSpinning = true;
    for (const SRow& row : rows)
    {
        SCOPED_TRACE(row.nFrame);
        view.m_nSpinPeriod = row.nPeriod;
        // The tick count wraps around: the difference still gives the frame time.
        clock.Script({0xFFFFFFF0u, 0xFFFFFFF0u + row.nFrame});
        view.OnDraw();
        EXPECT_EQ(view.m_nFrameTime, static_cast<int32_t>(row.nFrame));
        EXPECT_EQ(view.m_bFrameFast, row.bFast);
        EXPECT_EQ(view.m_bFrameSlow, row.bSlow);
        EXPECT_TRUE(view.m_bFrameDrawn);
    }
    EXPECT_EQ(view.m_nFrameCount, 5);
    view.m_bSpinning = false;
    view.SetClock(nullptr);
}

TEST(View, AnUpdateDrawsBeforeItReturns)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    for (int i = 0; i < 3; ++i)
    {
        int nFrames = 0;
        const QMetaObject::Connection connection =
            QObject::connect(&gui.View(), &CTeldViewGLView::FrameDrawn, [&] { ++nFrames; });
        gui.View().OnUpdate();
        QObject::disconnect(connection);
        EXPECT_GE(nFrames, 1);
    }
}

TEST(View, TimersAreOneQTimerPerId)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    EXPECT_EQ(view.SetTimer(SPIN_TIMER_ID, 10), static_cast<unsigned>(SPIN_TIMER_ID));
    EXPECT_EQ(view.SetTimer(7, 10), 0u);
    EXPECT_TRUE(view.IsTimerActive(SPIN_TIMER_ID));
    EXPECT_FALSE(view.IsTimerActive(ANIM_TIMER_ID));
    view.m_bSpinning = true;
    view.m_nSpinTimer = SPIN_TIMER_ID;
    view.m_fFramesPerSecond = 50.0f;
    // The default view ends a running spin.
    view.ResetView();
    EXPECT_FALSE(view.m_bSpinning);
    EXPECT_FALSE(view.IsTimerActive(SPIN_TIMER_ID));
    EXPECT_EQ(view.m_fFramesPerSecond, 0.0f);
}

TEST(View, TheSampleShowsTheBlueFrontMaterialOnBlack)
{
    SGuiApp gui({QString::fromStdString(Example("cube.off"))});
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    ASSERT_NE(static_cast<CMesh*>(gui.Doc().m_pCurrentObject)->m_nDisplayList, 0u)
        << "the mesh compiled no display list";
    const QImage image = view.grabFramebuffer();
    ASSERT_FALSE(image.isNull());
    const int w = image.width(), h = image.height();
    // The cube's front face fills the middle; the light sits at the eye, so every part of it
    // shows the front material (blue), with no red or green to speak of.
    for (const QPoint point : {QPoint(w / 2, h / 2), QPoint(w / 2 - h / 8, h / 2 + h / 8)})
    {
        SCOPED_TRACE(point.x());
        const QColor color = image.pixelColor(point);
        EXPECT_GT(color.blue(), 40);
        EXPECT_LT(color.red(), 30);
        EXPECT_LT(color.green(), 30);
    }
    for (const QPoint point : {QPoint(2, 2), QPoint(w - 3, h - 3), QPoint(w / 10, h / 2)})
        EXPECT_EQ(image.pixelColor(point), QColor(0, 0, 0));
}
