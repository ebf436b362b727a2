// Level of detail: while the view moves on a renderer too slow for the whole scene, big meshes are
// drawn reduced; the still frame, and every capture, in full. Frame times come from a fake clock.
#include <QTest>

#include "GuiTestSupport.h"
#include "bench/GridOff.h"
#include "drawing/MeshGL.h"
#include "drawing/ReducedMeshGL.h"
#include "model/Mesh.h"
#include "platform/FakeClock.h"

TEST(LevelOfDetail, MovingFramesDrawReducedMeshesTheStillFrameTheFullOne)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    // 300 x 120 cells: 72,000 triangles.
    ASSERT_TRUE(gui.Open(WriteScratch("sheet.off", QByteArray::fromStdString(GridOffText(300, 120)))));
    const CMesh& mesh = *static_cast<CMesh*>(gui.Doc().m_pCurrentObject);
    // The levels are made on a thread after the load.
    QTRY_VERIFY_WITH_TIMEOUT(CMeshGL::Find(mesh)->HasReduction(), 30000);

    CFakeClock clock;
    view.SetClock(&clock);
    // One frame of the window, taking nMs by the clock.
    const auto frame = [&](uint32_t nMs)
    {
        clock.Script({clock.m_nNow + 1000, clock.m_nNow + 1000 + nMs});
        view.OnDraw(true);
    };
    const auto move = [&] { QTest::keyClick(&view, Qt::Key_Right); };

    // A full frame of 100 ms: slower than the aim of 30 ms...
    frame(100);
    EXPECT_FALSE(view.m_bFrameReduced);
    EXPECT_EQ(view.m_nItemsDrawn, 72000);
    // ... so the moving frames draw what fits: 720 triangles a millisecond, most of 30 ms.
    move();
    frame(20);
    EXPECT_TRUE(view.m_bFrameReduced);
    EXPECT_LE(view.m_nItemsDrawn, 720 * 30);
    EXPECT_GE(view.m_nItemsDrawn, 720 * 30 / 4);
    // In the mesh's own render mode.
    gui.Execute(ID_VIEW_WIREFRAME);
    move();
    frame(20);
    ASSERT_TRUE(view.m_bFrameReduced);
    const CReducedMeshGL& reduced = *CMeshGL::Find(mesh)->Reduced();
    bool bFound = false;
    for (size_t i = 0; i < reduced.LevelCount(); ++i)
        if (reduced.Level(i).m_nFaces == view.m_nItemsDrawn)
        {
            bFound = true;
            EXPECT_EQ(reduced.Level(i).m_nRenderMode, RENDER_WIREFRAME);
            EXPECT_NE(CMeshGL::ListOf(reduced.Level(i)), 0u);
        }
    EXPECT_TRUE(bFound);

    // A picture taken while moving is full.
    move();
    gui.Execute(ID_EDIT_COPY);
    EXPECT_FALSE(view.m_bFrameReduced);
    EXPECT_EQ(view.m_nItemsDrawn, 72000);

    // 150 ms after the last motion the full frame comes by itself.
    move();
    frame(20);
    ASSERT_TRUE(view.m_bFrameReduced);
    QTRY_VERIFY_WITH_TIMEOUT(!view.m_bFrameReduced, 5000);
    EXPECT_FALSE(view.Motion().IsMoving());
    EXPECT_EQ(view.m_nItemsDrawn, 72000);

    // A renderer that draws it all within the aim never sees a reduced frame.
    frame(10);
    move();
    frame(10);
    EXPECT_FALSE(view.m_bFrameReduced);
    view.Motion().Settle();
    view.SetClock(nullptr);
}
