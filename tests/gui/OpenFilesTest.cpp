#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <cstring>

#include "GuiTestSupport.h"
#include "gui/QtUiServices.h"
#include "model/Camera.h"
#include "model/Mesh.h"

namespace
{
const QByteArray ASCII_STL = "solid t\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\n"
                             "vertex 0 1 0\nendloop\nendfacet\nendsolid t\n";

// A binary STL file of one triangle under the given header.
QByteArray BinaryStl(const char* pszHeader)
{
    QByteArray bytes(84 + 50, '\0');
    std::memcpy(bytes.data(), pszHeader, std::strlen(pszHeader));
    bytes[80] = 1;
    const float facet[12] = {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0};
    std::memcpy(bytes.data() + 84, facet, sizeof facet);
    return bytes;
}

// Drops the files onto the frame as a file manager would; true when the drop was taken.
bool Drop(SGuiApp& gui, const QList<QUrl>& urls)
{
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&gui.Frame(), &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&gui.Frame(), &drop);
    return drop.isAccepted();
}
} // namespace

// File > Open tells OFF and STL apart by content, binary or ASCII, whatever the name says, and
// offers mesh files first. An STL file comes in as the imports bring it: its name titles the
// window and joins the recent files, and Save asks for a name instead of writing OFF over it.
TEST(OpenFiles, FileOpenReadsSTLByContent)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    for (const auto& [pszName, bytes] :
         {std::pair("binary.stl", BinaryStl("made elsewhere")), std::pair("ascii.off", ASCII_STL),
          std::pair("solid.stl", BinaryStl("solid, binary all the same"))})
    {
        const std::string strPath = WriteScratch(QString::fromUtf8(pszName), bytes);
        gui.ui.m_fileAnswers = {strPath};
        gui.Execute(ID_FILE_OPEN);
        EXPECT_TRUE(gui.ui.m_messages.empty()) << pszName;
        EXPECT_EQ(static_cast<const CMesh*>(gui.Doc().m_pCurrentObject)->m_nFaces, 1) << pszName;
        EXPECT_EQ(gui.Doc().GetTitle() + "|" + gui.Doc().GetPathName(), pszName + std::string("|"));
        EXPECT_EQ(gui.app->RecentFiles().front(), strPath);
    }
    EXPECT_EQ(
        CQtUiServices::ToQtFilter(gui.ui.m_fileRequests[0].strFilter),
        "Mesh files (*.off *.stl *.ply *.obj *.3mf *.gltf *.glb);;OFF File (*.off);;STL File (*.stl);;PLY "
        "File (*.ply);;OBJ File (*.obj);;3MF File (*.3mf);;glTF File (*.gltf *.glb);;All Files (*)");
    gui.Execute(ID_FILE_SAVE); // asks, and is cancelled
    EXPECT_FALSE(gui.ui.m_fileRequests.back().bOpen);
}

// Several files make one scene, in order: named on the command line, or dropped onto the window.
// A drop carrying anything but local files is refused.
TEST(OpenFiles, SeveralFilesMakeOneScene)
{
    const std::string strStl = WriteScratch(QStringLiteral("tri.stl"), ASCII_STL);
    SGuiApp started({QString::fromStdString(Example("cube.off")), QString::fromStdString(strStl)});
    ASSERT_TRUE(started.bStarted);
    EXPECT_TRUE(started.Doc().m_bScene);
    EXPECT_EQ(ObjectNames(started.Doc()), "Camera cube.off tri.stl");
    EXPECT_EQ(started.PaneText(ID_SELECTED_MESH), "tri.stl");

    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    EXPECT_FALSE(Drop(gui, {QUrl(QStringLiteral("https://example.org/cube.off"))}));
    ASSERT_TRUE(Drop(gui, {QUrl::fromLocalFile(QString::fromStdString(Example("colored.off"))),
                           QUrl::fromLocalFile(QString::fromStdString(strStl))}));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return ObjectNames(gui.Doc()) == "Camera colored.off tri.stl"; }, 10000))
        << ObjectNames(gui.Doc());
    EXPECT_TRUE(gui.Doc().m_bScene);
    EXPECT_EQ(gui.PaneText(ID_SELECTED_MESH), "tri.stl");
    EXPECT_TRUE(gui.ui.m_messages.empty());
}
