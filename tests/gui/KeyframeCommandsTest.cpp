#include <QCheckBox>
#include <QLabel>

#include "GuiTestSupport.h"
#include "ModalDialog.h"
#include "model/Camera.h"
#include "tests/unit/FileTestSupport.h"

using namespace ModalDialog;

TEST(KeyframeCommands, AddKeyframeAndMoveToTime)
{
    SGuiApp gui({QString::fromStdString(Example("cube.off"))});
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLDoc& doc = gui.Doc();
    CSceneObject& mesh = *doc.m_pCurrentObject;
    mesh.m_vPosition = CVector3(1, 2, 3);
    doc.m_vKeyDirection = CVector3(0, 0.5, 0);
    gui.View().ShowKeyframeGuide();

    // Presets from the object and the document; a time beyond 9999 is refused with one message.
    QStringList presets;
    CModalAnswer first(
        [&](QDialog& dialog)
        {
            for (const int nID : {1053, 1054, 1055, 1056, 1049, 1046, 1047, 1048, 1060, 1057, 1052})
                presets << Text(dialog, nID);
            presets << dialog.findChild<QLabel*>("1045")->text();
            EXPECT_TRUE(dialog.findChild<QCheckBox*>("1061")->isChecked());
            SetText(dialog, 1052, "10000");
            Press(dialog, IDOK);
            EXPECT_EQ(Edit(dialog, 1052)->selectedText(), "10000");
            SetText(dialog, 1052, "0.29");
            Press(dialog, IDOK);
        });
    gui.Execute(ID_ANIMATION_ADD_KEYFRAME);
    EXPECT_EQ(presets, QStringList({"0", "0.5", "0", "1", "0", "1", "2", "3", "-1", "0", "0", "cube.off"}));
    EXPECT_EQ(gui.ui.m_messages, std::vector<std::string>{"Please enter a number between 0 and 9999."});
    ASSERT_TRUE(mesh.m_pPosKeys != nullptr && mesh.m_pOriKeys != nullptr);
    EXPECT_EQ(mesh.m_pOriKeys->m_nTime, 29);
    EXPECT_EQ(mesh.m_pOriKeys->m_qRotation.w, -1.0);
    EXPECT_EQ(doc.GetSceneTime(), 29);
    EXPECT_EQ(gui.View().GuideList(), 0u);

    // The same time again replaces the position key, stored as entered; a cleared box adds none.
    CModalAnswer second(
        [](QDialog& dialog)
        {
            SetText(dialog, 1046, "4");
            Press(dialog, 1062);
            SetText(dialog, 1052, " 0.29 ");
            Press(dialog, IDOK);
        });
    gui.Execute(ID_ANIMATION_ADD_KEYFRAME);
    EXPECT_EQ(mesh.CountPositionKeys() + mesh.CountOrientationKeys(), 2);
    EXPECT_EQ(mesh.m_vPosition.x, 4.0);

    // Move to Time shows the scene time; OK without an edit keeps it.
    doc.EvaluateScene(150);
    QString strShown;
    CModalAnswer keep(
        [&](QDialog& dialog)
        {
            strShown = Text(dialog, 1063);
            Press(dialog, IDOK);
        });
    gui.Execute(ID_ANIMATION_MOVE_TO_TIME);
    EXPECT_EQ(strShown, "1.5");
    EXPECT_EQ(doc.GetSceneTime(), 150);
}

TEST(KeyframeCommands, KeyframeFilesThroughTheCommands)
{
    SGuiApp gui({QString::fromStdString(Example("cube.off"))});
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLDoc& doc = gui.Doc();
    doc.m_pCurrentObject->AddPositionKey(FileTestSupport::PosKey(0, CVector3(5, 0, 0)));
    doc.m_pCurrentObject->AddOrientationKey(FileTestSupport::OriKey(0, CQuaternion(0, 0, 1, 0)));

    const std::string strFile = ScratchPath("cube.kff");
    gui.ui.m_fileAnswers = {strFile, ScratchPath("missing/x.kff")};
    gui.Execute(ID_ANIMATION_WRITE_KEYFRAMES);
    gui.Execute(ID_ANIMATION_WRITE_KEYFRAMES);
    EXPECT_EQ(gui.ui.m_messages, std::vector<std::string>{"Error writing keyframe file."});
    const SFileDialogRequest& save = gui.ui.m_fileRequests.at(0);
    EXPECT_TRUE(!save.bOpen && save.bOverwritePrompt);
    EXPECT_EQ(save.strDefaultExt + " " + save.strInitialName, "kff cube.off");

    // Into the camera: the guide goes, the scene is posed at 0 and the view follows the camera.
    doc.m_pCurrentObject = doc.m_pCamera;
    doc.EvaluateScene(50);
    gui.View().ShowKeyframeGuide();
    gui.ui.m_messages.clear();
    gui.ui.m_fileAnswers = {strFile};
    gui.Execute(ID_ANIMATION_LOAD_KEYFRAMES);
    const SFileDialogRequest& open = gui.ui.m_fileRequests.at(2);
    EXPECT_TRUE(open.bOpen && open.bFileMustExist);
    EXPECT_EQ(open.strInitialName, "Camera");
    EXPECT_TRUE(gui.ui.m_messages.empty());
    EXPECT_EQ(doc.m_pCamera->CountPositionKeys() + doc.m_pCamera->CountOrientationKeys(), 2);
    EXPECT_EQ(doc.GetSceneTime(), 0);
    EXPECT_EQ(doc.m_pCamera->m_vPosition.x, 5.0);
    EXPECT_EQ(gui.View().GuideList(), 0u);

    // A file that is not a whole keyframe file: one message, and nothing changes.
    doc.EvaluateScene(50);
    gui.View().ShowKeyframeGuide();
    gui.ui.m_fileAnswers = {WriteScratch("bad.kff", "KFF\n1 0\nPOS_FRAME\n5\n1 2\n")};
    gui.Execute(ID_ANIMATION_LOAD_KEYFRAMES);
    EXPECT_EQ(gui.ui.m_messages, std::vector<std::string>{"Error reading keyframe file."});
    EXPECT_EQ(doc.m_pCamera->CountPositionKeys(), 1);
    EXPECT_EQ(doc.GetSceneTime(), 50);
    EXPECT_NE(gui.View().GuideList(), 0u);
}
