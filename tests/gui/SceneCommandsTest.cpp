#include <GL/gl.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "GuiTestSupport.h"
#include "app/QtUiServices.h"
#include "scene/Camera.h"
#include "view/GLContextGuard.h"

namespace
{
// A binary STL file of one triangle (0,0,0) (s,0,0) (0,s,0) per scale s.
QByteArray BinaryStl(std::initializer_list<float> scales)
{
    QByteArray bytes(80, ' ');
    const auto put = [&](const void* p, size_t n)
    { bytes.append(static_cast<const char*>(p), qsizetype(n)); };
    const uint32_t nCount = static_cast<uint32_t>(scales.size());
    put(&nCount, 4);
    for (const float s : scales)
    {
        const float facet[12] = {0, 0, 1, 0, 0, 0, s, 0, 0, 0, s, 0};
        put(facet, sizeof facet);
        bytes.append(2, '\0');
    }
    return bytes;
}

std::string Names(const CTeldViewGLDoc& doc)
{
    std::string strNames;
    for (const CSceneObject* p = doc.m_pObjectList; p != nullptr; p = p->m_pNext)
        strNames += (p == doc.m_pObjectList ? "" : " ") + p->m_strName;
    return strNames;
}

// Which of the commands are enabled, as "1" and "0" in their order.
std::string Enabled(const SGuiApp& gui, std::initializer_list<int> ids)
{
    std::string strState;
    for (const int nID : ids)
        strState += gui.app->Router().Update(nID).m_bEnabled ? '1' : '0';
    return strState;
}

std::string Missing()
{
    return std::generic_category().message(ENOENT) + ".";
}
} // namespace

// Each file command asks with its own dialog; cancelling any of them changes nothing.
TEST(SceneCommands, FileDialogsAskAsEachCommandNeeds)
{
    SGuiApp gui({QString::fromStdString(Example("textured_box.off"))});
    ASSERT_TRUE(gui.bStarted);
    gui.Execute(ID_FILE_MAKE_SCENE); // Write Scene to OFF needs scene mode
    const std::string strStl = " stl scene1 STL File (*.stl);;All Files (*) must-exist";
    const std::string strStlOut = " stl scene0001 STL File (*.stl);;All Files (*) overwrite-prompt";
    const std::pair<int, std::string> rows[] = {
        {ID_FILE_LOAD_SCENE, "Open scn scene1 Scene File (*.scn);;All Files (*) must-exist"},
        {ID_IMPORT_BINARY_STL, "Open" + strStl},
        {ID_IMPORT_ASCII_STL, "Open" + strStl},
        {ID_EXPORT_SCENE_OFF, "Save As off scene0001 OFF File (*.off);;All Files (*) overwrite-prompt"},
        {ID_EXPORT_BINARY_STL, "Save As" + strStlOut},
        {ID_EXPORT_ASCII_STL, "Save As" + strStlOut},
        {ID_EXPORT_POINT_CLOUD,
         "Save As pts scene0001 Point Cloud File (*.pts);;All Files (*) overwrite-prompt"},
        {ID_TEXTURE_LOAD, "Open bmp teld0001 Windows Bitmaps (*.bmp);;All Files (*) must-exist"},
    };
    for (const auto& [nID, strExpected] : rows)
    {
        const size_t nBefore = gui.ui.m_fileRequests.size();
        gui.Execute(nID);
        ASSERT_EQ(gui.ui.m_fileRequests.size(), nBefore + 1) << nID;
        const SFileDialogRequest& r = gui.ui.m_fileRequests.back();
        EXPECT_EQ(r.bOpen, r.strTitle == "Open");
        EXPECT_EQ(r.strTitle + " " + r.strDefaultExt + " " + r.strInitialName + " " +
                      CQtUiServices::ToQtFilter(r.strFilter).toStdString() +
                      (r.bFileMustExist ? " must-exist" : "") +
                      (r.bOverwritePrompt ? " overwrite-prompt" : ""),
                  strExpected);
    }
    EXPECT_TRUE(gui.ui.m_messages.empty());
    EXPECT_EQ(gui.ui.m_nWaitCursorShown, 0);
    EXPECT_EQ(Names(gui.Doc()), "Camera textured_box.off");
}

// Make Scene needs a mesh loaded once and replace mode; Clear Scene and the OFF export scene
// mode. In scene mode imports append; after Clear Scene they replace again.
TEST(SceneCommands, ScenesAreMadeFilledByImportsAndCleared)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLDoc& doc = gui.Doc();
    const std::initializer_list<int> ids = {ID_FILE_MAKE_SCENE,   ID_FILE_CLEAR_SCENE, ID_EXPORT_SCENE_OFF,
                                            ID_EXPORT_BINARY_STL, ID_FILE_LOAD_SCENE,  ID_IMPORT_ASCII_STL};
    EXPECT_EQ(Enabled(gui, ids), "000111");
    ASSERT_TRUE(gui.Open(Example("cube.off")));
    EXPECT_EQ(Enabled(gui, ids), "100111");

    gui.Execute(ID_FILE_MAKE_SCENE);
    EXPECT_TRUE(doc.m_bScene && !doc.IsModified());
    gui.Frame().OnIdleUpdate();
    EXPECT_EQ(gui.Frame().windowTitle(), "New Scene - TeldViewGL");
    EXPECT_EQ(Enabled(gui, ids), "011111");

    const std::string strSmall = WriteScratch("small.stl", BinaryStl({1}));
    const std::string strLarge = WriteScratch("large.stl", BinaryStl({4, 8}));
    gui.ui.m_fileAnswers = {strSmall, strLarge};
    gui.Execute(ID_IMPORT_BINARY_STL);
    gui.Execute(ID_IMPORT_BINARY_STL);
    EXPECT_EQ(Names(doc), "Camera cube.off small.stl large.stl");
    EXPECT_EQ(gui.PaneText(ID_SELECTED_MESH), "large.stl");
    EXPECT_EQ(doc.m_dSceneBounds[BOUNDS_MAX_X], 8.0);
    EXPECT_EQ(gui.ui.m_nWaitCursorDepth, 0);

    gui.Execute(ID_FILE_CLEAR_SCENE);
    EXPECT_EQ(Names(doc), "Camera");
    EXPECT_EQ(gui.PaneText(ID_SELECTED_MESH), "Camera");
    EXPECT_EQ(doc.GetTitle(), "Untitled");
    EXPECT_EQ(Enabled(gui, ids), "100111");
    gui.ui.m_fileAnswers = {strSmall, strLarge};
    gui.Execute(ID_IMPORT_BINARY_STL);
    gui.Execute(ID_IMPORT_BINARY_STL);
    EXPECT_EQ(Names(doc), "Camera large.stl");
    EXPECT_TRUE(gui.ui.m_messages.empty());
}

// A failed import changes nothing, not even the spin or the guide; a good one fits the view to
// the new scene, ends the spin, hides the guide and poses the scene at time 0.
TEST(SceneCommands, OnlyASuccessfulImportResetsTheView)
{
    SGuiApp gui({QString::fromStdString(Example("cube.off"))});
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLDoc& doc = gui.Doc();
    CTeldViewGLView& view = gui.View();
    view.StartSpin(false);
    view.ShowKeyframeGuide();
    doc.EvaluateScene(50);
    doc.m_pCamera->m_vPosition = CVector3(1, 2, 3);

    QByteArray cut = BinaryStl({1, 1});
    cut.chop(10);
    gui.ui.m_fileAnswers = {WriteScratch("cut.stl", cut)};
    gui.Execute(ID_IMPORT_BINARY_STL);
    EXPECT_EQ(gui.ui.m_messages, std::vector<std::string>{"Error reading STL file."});
    EXPECT_EQ(std::pair(gui.ui.m_nWaitCursorShown, gui.ui.m_nWaitCursorDepth), std::pair(1, 0));
    EXPECT_TRUE(view.m_bSpinning && doc.m_nGuideList != 0);
    EXPECT_EQ(doc.m_pCamera->m_vPosition.z, 3.0);
    EXPECT_EQ(doc.GetSceneTime(), 50);
    EXPECT_EQ(Names(doc), "Camera cube.off");

    gui.ui.m_fileAnswers = {WriteScratch("tri.stl", "solid tri\n facet normal 0 0 1\n outer loop\n"
                                                    "vertex 0 0 0\n vertex 4 0 0\n vertex 0 2 0\n"
                                                    " endloop\n endfacet\nendsolid tri\n")};
    gui.Execute(ID_IMPORT_ASCII_STL);
    EXPECT_EQ(gui.ui.m_messages.size(), 1u);
    EXPECT_EQ(std::pair(gui.ui.m_nWaitCursorShown, gui.ui.m_nWaitCursorDepth), std::pair(2, 0));
    EXPECT_FALSE(view.m_bSpinning || doc.m_nGuideList != 0);
    EXPECT_EQ(doc.m_pCamera->m_vPosition.z, 10.0);
    EXPECT_EQ(doc.GetSceneTime(), 0);
    EXPECT_EQ(gui.PaneText(ID_SELECTED_MESH), "tri.stl");
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
    EXPECT_TRUE(gui.ui.m_messages.empty());
    EXPECT_EQ(Names(doc), "Camera cube.off");
    EXPECT_EQ(gui.PaneText(ID_SELECTED_MESH), "cube.off");
    EXPECT_EQ(gui.ui.m_nWaitCursorShown, 0);
    EXPECT_EQ(doc.m_pCamera->m_vPosition.z, 30.0);
    // The view transform in GL is the camera's too.
    double m[16] = {};
    {
        CGLContextGuard guard(gui.View());
        ASSERT_TRUE(guard.IsCurrent());
        glGetDoublev(GL_MODELVIEW_MATRIX, m);
    }
    EXPECT_EQ(std::tuple(m[12], m[13], m[14]), std::tuple(-1.0, -2.0, -30.0));

    gui.ui.m_fileAnswers = {strBad};
    gui.Execute(ID_FILE_LOAD_SCENE);
    EXPECT_EQ(gui.ui.m_messages, std::vector<std::string>{
                                     "Error reading scene file.\nUnable to open missing.off: " + Missing()});
    EXPECT_EQ(Names(doc), "Camera");
    EXPECT_EQ(gui.PaneText(ID_SELECTED_MESH), "Camera");

    SGuiApp started({QString::fromStdString(strScene)});
    ASSERT_TRUE(started.bStarted);
    EXPECT_EQ(started.Doc().m_pCamera->m_vPosition.z, 30.0);
    EXPECT_EQ(started.Doc().GetTitle(), "s.scn");
}
