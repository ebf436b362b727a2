#include <GL/gl.h>

#include <QImage>

#include <cerrno>
#include <system_error>

#include "GuiTestSupport.h"
#include "drawing/MeshGL.h"
#include "export/BitmapExport.h"
#include "gui/view/GLContextGuard.h"
#include "model/Camera.h"
#include "model/Mesh.h"

namespace
{
// An ASCII STL file of the triangle (0,0,0) (s,0,0) (0,s,0).
QByteArray AsciiStl(int s)
{
    const QByteArray n = QByteArray::number(s);
    return "solid t\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex " + n + " 0 0\nvertex 0 " + n +
           " 0\nendloop\nendfacet\nendsolid t\n";
}

QByteArray BitmapFile(int32_t nWidth, int nBits)
{
    CDib dib;
    std::vector<uint8_t> bytes;
    if (!dib.Create(nWidth, 2, nBits) || !EncodeBitmapFile(dib, bytes))
        ADD_FAILURE() << "cannot make a bitmap";
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}
} // namespace

// Each file command asks with its own dialog; cancelling any of them changes nothing. The texture
// commands need a mesh with texture coordinates, Texture Map a texture too; a refused bitmap keeps
// the texture there was.
TEST(SceneCommands, FileDialogsAndTextures)
{
    SGuiApp gui({QString::fromStdString(Example("textured_box.off"))});
    ASSERT_TRUE(gui.bStarted);
    gui.Execute(ID_FILE_MAKE_SCENE); // Write Scene to OFF needs scene mode
    // The kind of dialog and the extension a typed name gets.
    const std::pair<int, std::string> rows[] = {
        {ID_FILE_LOAD_SCENE, "scn must-exist"},          {ID_IMPORT_BINARY_STL, "stl must-exist"},
        {ID_IMPORT_ASCII_STL, "stl must-exist"},         {ID_EXPORT_SCENE_OFF, "off overwrite-prompt"},
        {ID_EXPORT_BINARY_STL, "stl overwrite-prompt"},  {ID_EXPORT_ASCII_STL, "stl overwrite-prompt"},
        {ID_EXPORT_POINT_CLOUD, "pts overwrite-prompt"}, {ID_TEXTURE_LOAD, "bmp must-exist"},
        {ID_EXPORT_PLY, "ply overwrite-prompt"},         {ID_EXPORT_OBJ, "obj overwrite-prompt"},
    };
    for (const auto& [nID, strExpected] : rows)
    {
        const size_t nBefore = gui.ui.m_fileRequests.size();
        gui.Execute(nID);
        ASSERT_EQ(gui.ui.m_fileRequests.size(), nBefore + 1) << nID;
        const SFileDialogRequest& r = gui.ui.m_fileRequests.back();
        EXPECT_EQ(r.strDefaultExt + (r.bOpen && r.bFileMustExist ? " must-exist" : "") +
                      (!r.bOpen && r.bOverwritePrompt ? " overwrite-prompt" : ""),
                  strExpected)
            << nID;
    }
    EXPECT_EQ(ObjectNames(gui.Doc()), "Camera textured_box.off");

    const CMesh& mesh = *static_cast<const CMesh*>(gui.Doc().m_pCurrentObject);
    const std::initializer_list<int> textureIds = {ID_TEXTURE_LOAD, ID_TEXTURE_CHECKERBOARD,
                                                   ID_VIEW_TEXTURE_MAP};
    EXPECT_EQ(gui.States(textureIds), "EE-");
    gui.Execute(ID_TEXTURE_CHECKERBOARD);
    EXPECT_EQ(gui.States(textureIds), "EEE");
    // Generated while texturing was off, the texture shows only once it is switched on.
    const QImage plain = gui.View().grabFramebuffer();
    gui.Execute(ID_VIEW_TEXTURE_MAP);
    EXPECT_EQ(gui.States(textureIds), "EEC");
    EXPECT_NE(gui.View().grabFramebuffer(), plain);

    const uint32_t nChecker = CMeshGL::TextureOf(mesh);
    gui.ui.m_fileAnswers = {WriteScratch("gray.bmp", BitmapFile(4, 8)),
                            WriteScratch("wide.bmp", BitmapFile(1025, 24)),
                            WriteScratch("odd.bmp", BitmapFile(3, 24))};
    for (int i = 0; i < 3; ++i)
        gui.Execute(ID_TEXTURE_LOAD);
    EXPECT_EQ(gui.ui.m_messages,
              std::vector<std::string>(2, "Unable to load bitmap.\nMake sure your bitmap is a "
                                          "24-bpp bitmap no larger than 1024 x 1024"));
    EXPECT_TRUE(CMeshGL::TextureOf(mesh) != nChecker && mesh.m_bTextureOn);
    gui.Doc().m_pCurrentObject = gui.Doc().m_pCamera; // no mesh: Texture Map unchecked too
    EXPECT_EQ(gui.States(textureIds), "---");
}

// Make Scene needs a mesh loaded once and replace mode; Clear Scene and the OFF export scene
// mode. A failed import changes nothing, not even the spin, the guide or the time; good ones
// append in scene mode and reset the view.
TEST(SceneCommands, ScenesAreMadeFilledByImportsAndCleared)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLDoc& doc = gui.Doc();
    CTeldViewGLView& view = gui.View();
    const std::initializer_list<int> ids = {ID_FILE_MAKE_SCENE,   ID_FILE_CLEAR_SCENE, ID_EXPORT_SCENE_OFF,
                                            ID_EXPORT_BINARY_STL, ID_FILE_LOAD_SCENE,  ID_IMPORT_ASCII_STL};
    EXPECT_EQ(gui.States(ids), "---EEE");
    ASSERT_TRUE(gui.Open(Example("cube.off")));
    EXPECT_EQ(gui.States(ids), "E--EEE");
    EXPECT_EQ(gui.States({ID_TEXTURE_LOAD, ID_TEXTURE_CHECKERBOARD, ID_VIEW_TEXTURE_MAP}), "---");
    gui.Execute(ID_FILE_MAKE_SCENE);
    EXPECT_EQ(std::pair(doc.GetTitle(), doc.IsModified()), std::pair(std::string("New Scene"), false));
    EXPECT_EQ(gui.States(ids), "-EEEEE");

    view.StartSpin(false);
    view.ShowKeyframeGuide();
    doc.EvaluateScene(50);
    doc.m_pCamera->m_vPosition = CVector3(1, 2, 3);
    gui.ui.m_fileAnswers = {WriteScratch("cut.stl", AsciiStl(1).chopped(35)),
                            WriteScratch("small.stl", AsciiStl(1)), WriteScratch("large.stl", AsciiStl(8))};
    const int nCursorsBefore = gui.ui.m_nWaitCursorShown;
    gui.Execute(ID_IMPORT_ASCII_STL);
    EXPECT_EQ(gui.ui.m_messages, std::vector<std::string>{"Error reading STL file."});
    EXPECT_EQ(std::pair(gui.ui.m_nWaitCursorShown - nCursorsBefore, gui.ui.m_nWaitCursorDepth),
              std::pair(1, 0));
    EXPECT_TRUE(view.m_bSpinning && view.GuideList() != 0);
    EXPECT_EQ(std::pair(doc.m_pCamera->m_vPosition.z, doc.GetSceneTime()), std::pair(3.0, 50));

    gui.Execute(ID_IMPORT_ASCII_STL);
    gui.Execute(ID_IMPORT_ASCII_STL);
    EXPECT_EQ(ObjectNames(doc), "Camera cube.off small.stl large.stl");
    EXPECT_EQ(gui.PaneText(ID_SELECTED_MESH), "large.stl");
    EXPECT_FALSE(view.m_bSpinning || view.GuideList() != 0);
    EXPECT_EQ(std::pair(doc.m_pCamera->m_vPosition.z, doc.GetSceneTime()), std::pair(2.5 * 8.5, 0));

    gui.Execute(ID_FILE_CLEAR_SCENE);
    EXPECT_EQ(ObjectNames(doc), "Camera");
    EXPECT_EQ(gui.PaneText(ID_SELECTED_MESH), "Camera");
    EXPECT_EQ(doc.GetTitle(), "Untitled");
    EXPECT_EQ(gui.States(ids), "E--EEE");
}

// A scene file names the files beside it and is opened from another folder, by Load Scene and on
// the command line: the camera ends on its keyframe pose, not on the fitted view. A scene that
// fails half way says which file could not be read, and pane 103 names no deleted object.
TEST(SceneCommands, LoadSceneFromAnotherFolderPosesTheKeyframedCamera)
{
    CopyExample("cube.off");
    WriteScratch("camera.kff", "KFF\n1 0\nPOS_FRAME\n0\n1 2 30\n0 0 0\n");
    WriteScratch("none.kff", "KFF\n0 0\n");
    const std::string strScene = WriteScratch("s.scn", "SCENE 1\ncamera.kff\ncube.off none.kff\n");
    const std::string strBad = WriteScratch("bad.scn", "SCENE 1\ncamera.kff\nmissing.off none.kff\n");

    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLDoc& doc = gui.Doc();
    gui.ui.m_fileAnswers = {strScene};
    gui.Execute(ID_FILE_LOAD_SCENE);
    EXPECT_EQ(gui.PaneText(ID_SELECTED_MESH), "cube.off");
    EXPECT_EQ(doc.m_pCamera->m_vPosition.z, 30.0);
    double m[16] = {};
    {
        CGLContextGuard guard(gui.View());
        ASSERT_TRUE(guard.IsCurrent());
        glGetDoublev(GL_MODELVIEW_MATRIX, m);
    }
    EXPECT_EQ(std::tuple(m[12], m[13], m[14]), std::tuple(-1.0, -2.0, -30.0));

    gui.ui.m_fileAnswers = {strBad};
    gui.Execute(ID_FILE_LOAD_SCENE);
    EXPECT_EQ(gui.ui.m_messages,
              std::vector<std::string>{"Error reading scene file.\nUnable to open missing.off: " +
                                       std::generic_category().message(ENOENT) + "."});
    EXPECT_EQ(ObjectNames(doc), "Camera");
    EXPECT_EQ(gui.PaneText(ID_SELECTED_MESH), "Camera");

    SGuiApp started({QString::fromStdString(strScene)});
    ASSERT_TRUE(started.bStarted);
    EXPECT_EQ(started.Doc().m_pCamera->m_vPosition.z, 30.0);
    EXPECT_EQ(started.Doc().GetTitle(), "s.scn");
}
