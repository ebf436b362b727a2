#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>
#include <vector>

#include "GuiTestSupport.h"
#include "model/Camera.h"
#include "model/Mesh.h"
#include "model/PositionKeyframe.h"

namespace
{
const QByteArray TRIANGLE = "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";
const QByteArray TEXTURED = "STOFF\n3 1 0\n0 0 0 0 0\n1 0 0 1 0\n0 1 0 0 1\n3 0 1 2\n";
const QByteArray QUAD = "OFF\n4 1 0\n0 0 0\n2 0 0\n2 2 0\n0 2 0\n4 0 1 2 3\n";
const QByteArray CUT_SHORT = "OFF\n3 1 0\n0 0 0\n";

std::vector<double> Pose(const CSceneObject& object)
{
    const CVector3& p = object.m_vPosition;
    const CQuaternion& q = object.m_qOrientation;
    return {p.x, p.y, p.z, q.w, q.v.x, q.v.y, q.v.z};
}

CMesh& MeshAt(const SGuiApp& gui, int nIndex)
{
    CSceneObject* pObject = gui.Doc().m_pCamera->m_pNext;
    for (int i = 0; i < nIndex; ++i)
        pObject = pObject->m_pNext;
    return *static_cast<CMesh*>(pObject);
}
} // namespace

// F5 reads the file again into the same object: the camera, the pose, the keyframes and the render
// mode stay; texture mapping only where the new geometry has texture coordinates. A file that no longer reads
// gives the open's message and changes nothing. Reload on Change is on by default and remembered.
TEST(Reload, F5KeepsTheCameraThePoseAndTheSettings)
{
    {
        SGuiApp first;
        ASSERT_TRUE(first.bStarted);
        EXPECT_EQ(first.States({ID_FILE_RELOAD, ID_FILE_RELOAD_ON_CHANGE}), "-C");
        first.Execute(ID_FILE_RELOAD_ON_CHANGE);
    }
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    EXPECT_EQ(gui.States({ID_FILE_RELOAD_ON_CHANGE}), "E");
    const std::string strPath = WriteScratch(QStringLiteral("shape.off"), TEXTURED);
    ASSERT_TRUE(gui.Open(strPath));
    gui.Execute(ID_TEXTURE_CHECKERBOARD);
    gui.Execute(ID_VIEW_TEXTURE_MAP);
    CMesh& mesh = MeshAt(gui, 0);
    ASSERT_TRUE(mesh.m_bTextureOn);
    CCamera& camera = *gui.Doc().m_pCamera;
    camera.m_vPosition = CVector3(1.0, 2.0, 30.0);
    camera.m_qOrientation = CQuaternion(0.6, 0.8, 0.0, 0.0);
    mesh.m_vPosition = CVector3(0.5, -1.0, 2.0);
    mesh.m_qOrientation = CQuaternion(0.0, 0.0, 1.0, 0.0);
    mesh.AddPositionKey(new CPositionKeyframe);
    gui.Execute(ID_VIEW_WIREFRAME);
    const std::vector<double> cameraPose = Pose(camera), meshPose = Pose(mesh);

    WriteScratch(QStringLiteral("shape.off"), QUAD);
    gui.Execute(ID_FILE_RELOAD);
    EXPECT_TRUE(gui.ui.m_messages.empty());
    EXPECT_EQ(&MeshAt(gui, 0), &mesh);
    EXPECT_EQ(mesh.m_nVertices, 4);
    EXPECT_EQ(Pose(camera), cameraPose);
    EXPECT_EQ(Pose(mesh), meshPose);
    EXPECT_EQ(mesh.CountPositionKeys(), 1);
    EXPECT_EQ(mesh.m_nRenderMode, RENDER_WIREFRAME);
    // Without texture coordinates nothing can be mapped.
    EXPECT_FALSE(mesh.m_bTextureOn);

    WriteScratch(QStringLiteral("shape.off"), CUT_SHORT);
    gui.Execute(ID_FILE_RELOAD);
    EXPECT_EQ(gui.ui.m_messages,
              std::vector<std::string>{"Unable to read shape.off: unexpected file format.\n"
                                       "shape.off: line 2: the counts ask for more "
                                       "than the file holds"});
    EXPECT_EQ(mesh.m_nVertices, 4);
    EXPECT_EQ(Pose(mesh), meshPose);
}

// A scene's file replaced by a rename, as editors save, is read again once it has settled, and
// only its object changes. A broken file keeps the model, and the status bar says why, without a
// message box; the next change, a delete and a new file included, is read again.
TEST(Reload, OnChangeFollowsRenamesAndABrokenFileKeepsTheModel)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    const std::string strA = WriteScratch(QStringLiteral("a.off"), TRIANGLE);
    const std::string strB = WriteScratch(QStringLiteral("b.off"), TRIANGLE);
    ASSERT_TRUE(gui.app->OpenDocumentFiles({strA, strB}));
    const CMesh& a = MeshAt(gui, 0);
    const CMesh& b = MeshAt(gui, 1);
    const auto replace = [&](const QByteArray& bytes)
    { ASSERT_EQ(std::rename(WriteScratch(QStringLiteral("b.tmp"), bytes).c_str(), strB.c_str()), 0); };
    const auto message = [&]
    {
        gui.Frame().OnIdleUpdate();
        return gui.Frame().MessageText();
    };

    replace(QUAD);
    EXPECT_TRUE(QTest::qWaitFor([&] { return b.m_nVertices == 4; }, 10000));
    EXPECT_EQ(a.m_nVertices, 3);

    replace(CUT_SHORT);
    EXPECT_TRUE(QTest::qWaitFor([&] { return message() != "Ready"; }, 10000));
    EXPECT_EQ(message(), "Not reloaded: Unable to read b.off: unexpected file format. b.off: line 2: the "
                         "counts ask for more than the file holds");
    EXPECT_EQ(b.m_nVertices, 4);
    EXPECT_TRUE(gui.ui.m_messages.empty());

    replace(TRIANGLE);
    EXPECT_TRUE(QTest::qWaitFor([&] { return b.m_nVertices == 3; }, 10000));
    EXPECT_EQ(message(), "Ready");
    ASSERT_TRUE(QFile::remove(QString::fromStdString(strB)));
    WriteScratch(QStringLiteral("b.off"), QUAD);
    EXPECT_TRUE(QTest::qWaitFor([&] { return b.m_nVertices == 4; }, 10000));
    // Written in place, the new file tells its own watch.
    WriteScratch(QStringLiteral("b.off"), TRIANGLE);
    EXPECT_TRUE(QTest::qWaitFor([&] { return b.m_nVertices == 3; }, 10000));
}

// After Save As the watch follows the document to its new file; the program's own save is no
// change to read.
TEST(Reload, SaveAsMovesTheWatchAndASaveIsNoChange)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    ASSERT_TRUE(gui.Open(WriteScratch(QStringLiteral("shape.off"), TRIANGLE)));
    gui.ui.m_fileAnswers = {ScratchPath(QStringLiteral("copy.off"))};
    gui.Execute(ID_FILE_SAVE_AS);
    WriteScratch(QStringLiteral("copy.off"), QUAD);
    EXPECT_TRUE(QTest::qWaitFor([&] { return MeshAt(gui, 0).m_nVertices == 4; }, 10000));

    QSignalSpy reads(&gui.View(), &CTeldViewGLView::ReadTaken);
    gui.Execute(ID_FILE_SAVE);
    QTest::qWait(1000);
    EXPECT_EQ(reads.count(), 0);
    EXPECT_TRUE(gui.ui.m_messages.empty());
}
