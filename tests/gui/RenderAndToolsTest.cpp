#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTest>

#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "GuiTestSupport.h"
#include "ModalDialog.h"
#include "drawing/MeshGL.h"
#include "gui/dialogs/MaterialDlg.h"
#include "gui/dialogs/TransformDlg.h"
#include "model/Camera.h"
#include "model/Mesh.h"

using namespace ModalDialog;

namespace
{
// The application on a file, its mesh current.
struct SMeshApp : SGuiApp
{
    SMeshApp() : SGuiApp({QString::fromStdString(Example("cube.off"))}) {}
    CMesh& Mesh() const { return *static_cast<CMesh*>(Doc().m_pCurrentObject); }
    // The picture's middle pixel, or one dy eighths of the height below it.
    QColor Middle(int dy = 0) const
    {
        const QImage image = View().grabFramebuffer();
        return image.pixelColor(image.width() / 2, image.height() / 2 + dy * image.height() / 8);
    }
    // 'r'ed or 'b'lue by the stronger channel of the middle pixel, or '?'.
    char Hue() const
    {
        const QColor c = Middle();
        return c.red() > c.blue() + 40 ? 'r' : c.blue() > c.red() + 40 ? 'b' : '?';
    }
};

// The view's material and light members in one list.
std::vector<float> Materials(const CTeldViewGLView& v)
{
    std::vector<float> values(v.m_fLightPosition, v.m_fLightPosition + 4);
    for (const float* p :
         {v.m_fOuterAmbient, v.m_fOuterDiffuse, v.m_fOuterSpecular, v.m_fInnerAmbient, v.m_fInnerDiffuse,
          v.m_fInnerSpecular, v.m_fLightAmbient, v.m_fLightDiffuse, v.m_fLightSpecular})
        values.insert(values.end(), p, p + 3);
    values.insert(values.end(),
                  {v.m_fOuterShininess, v.m_fInnerShininess, v.m_bLightRelToView ? 1.0f : 0.0f});
    return values;
}

// Runs a dialog command: fnAnswer edits the dialog, then OK (bOK) or Cancel is pressed.
template <typename TDialog = QDialog>
void RunDialog(const SGuiApp& gui, int nID, const std::function<void(TDialog&)>& fnAnswer = {},
               bool bOK = true)
{
    CModalAnswer answer(
        [&](QDialog& dialog)
        {
            if (fnAnswer)
                fnAnswer(static_cast<TDialog&>(dialog));
            Press(dialog, bOK ? IDOK : IDCANCEL);
        });
    gui.Execute(nID);
    EXPECT_FALSE(answer.LeftOpen());
}
} // namespace

TEST(Render, CommandsInTheTableAndInPixels)
{
    SMeshApp gui;
    ASSERT_TRUE(gui.bStarted);
    // The eight render items, Transform and Invert.
    const auto states = [&]
    {
        return gui.States({ID_VIEW_POINTS, ID_VIEW_WIREFRAME, ID_VIEW_SHADED, ID_VIEW_HIDDEN_LINE,
                           ID_VIEW_FLAT_SHADING, ID_VIEW_GOURAUD_SHADING, ID_TOOLS_LIGHTING, ID_TOOLS_CULLING,
                           ID_TOOLS_TRANSFORM_MESH, ID_TOOLS_INVERT_MESH});
    };
    EXPECT_EQ(states(), "EECEECCEEE");
    gui.Execute(ID_VIEW_SELECT_PREVIOUS);
    EXPECT_EQ(states(), "----------");
    for (const int nID : {ID_TOOLS_BACKGROUND_COLOR, ID_TOOLS_MATERIALS, ID_VIEW_OBJECT_INFO})
        EXPECT_TRUE(gui.app->Router().Update(nID).m_bEnabled) << nID;
    gui.Execute(ID_VIEW_SELECT_NEXT);
    // A value the mesh already has: no rebuild, which would name a new list.
    const uint32_t nList = std::exchange(CMeshGL::Of(gui.Mesh()).m_nDisplayList, 0u);
    gui.Execute(ID_VIEW_SHADED);
    gui.Execute(ID_VIEW_GOURAUD_SHADING);
    EXPECT_EQ(std::exchange(CMeshGL::Of(gui.Mesh()).m_nDisplayList, nList), 0u);

    // Unlit, a mesh takes GL's white before any Flat Shading or Lighting command, then the outer
    // diffuse colour (0.7 blue).
    gui.Mesh().m_bLighting = false;
    gui.Execute(ID_VIEW_WIREFRAME);
    gui.Execute(ID_VIEW_SHADED);
    EXPECT_EQ(gui.Middle(), QColor(Qt::white));
    gui.Execute(ID_TOOLS_LIGHTING);
    gui.Execute(ID_TOOLS_LIGHTING);
    EXPECT_NEAR(gui.Middle().blue(), 178, 1);
    gui.Execute(ID_TOOLS_LIGHTING);
    // The light is at the eye: the front face's normal faces it, the corners' lean 55 degrees away.
    const int nGouraud = gui.Middle().blue();
    gui.Execute(ID_VIEW_FLAT_SHADING);
    EXPECT_GT(gui.Middle().blue(), nGouraud + 40);
    // Inside out, the near face shows its back (red); culled, the far wall's inside shows.
    gui.Execute(ID_TOOLS_INVERT_MESH);
    EXPECT_EQ(gui.Hue(), 'r');
    gui.Execute(ID_TOOLS_CULLING);
    EXPECT_EQ(gui.Hue(), 'b');
    EXPECT_EQ(states(), "EECECECCEE");
    gui.Execute(ID_TOOLS_CULLING);
    gui.Execute(ID_TOOLS_INVERT_MESH);
    EXPECT_EQ(gui.Hue(), 'b');

    // Along a diagonal the flat cube looks the same after a third of a turn of the view, but a
    // world light from (1, 0, 1) then falls on other faces.
    CCamera& camera = *gui.Doc().m_pCamera;
    gui.Mesh().m_qOrientation = CQuaternion(0.888073833977115, 0.325057583671868, -0.325057583671868, 0.0);
    for (const bool bWorld : {false, true})
    {
        const auto light = [bWorld](QDialog& dialog)
        {
            SetText(dialog, 1025, "1");
            Press(dialog, 1032);
            Press(dialog, bWorld ? 1030 : 1029);
        };
        RunDialog<QDialog>(gui, ID_TOOLS_MATERIALS, light);
        camera.m_qOrientation = CQuaternion();
        gui.View().RefreshCameraView();
        const QColor before = gui.Middle(1);
        camera.m_qOrientation = CQuaternion(0.5, 0.0, 0.0, std::sqrt(0.75));
        gui.View().RefreshCameraView();
        EXPECT_EQ(gui.Middle(1) == before, !bWorld);
    }
    gui.Mesh().m_qOrientation = camera.m_qOrientation = CQuaternion();
    gui.View().RefreshCameraView();

    // Hidden-line faces fill with the background, also of a mesh reused in replace mode or
    // loaded later: no back or side edge shows inside the front face's outline.
    gui.Execute(ID_VIEW_HIDDEN_LINE);
    gui.ui.m_colorAnswers.push_back(0xFFFFFF);
    gui.Execute(ID_TOOLS_BACKGROUND_COLOR);
    ASSERT_EQ(gui.ui.m_colorRequests, (std::vector<std::pair<uint32_t, void*>>{{0u, nullptr}}));
    const auto inside = [&]
    {
        const QImage image = gui.View().grabFramebuffer();
        const int nHalf = static_cast<int>(0.3 * image.height()) - 3, cx = image.width() / 2,
                  cy = image.height() / 2;
        int nCount = 0;
        for (int y = cy - nHalf; y <= cy + nHalf; ++y)
            for (int x = cx - nHalf; x <= cx + nHalf; ++x)
                nCount += image.pixel(x, y) != qRgb(255, 255, 255);
        return nCount;
    };
    EXPECT_EQ(inside(), 0);
    gui.Execute(ID_VIEW_WIREFRAME);
    EXPECT_GT(inside(), 100);
    ASSERT_TRUE(gui.Open(Example("cube.off")));
    gui.Execute(ID_VIEW_HIDDEN_LINE);
    EXPECT_EQ(inside(), 0);
    gui.Doc().m_bScene = true;
    ASSERT_TRUE(gui.Open(Example("colored.off")));
    EXPECT_EQ(gui.Mesh().m_fFillColor[0] + gui.Mesh().m_fFillColor[1] + gui.Mesh().m_fFillColor[2], 3.0f);
}

TEST(Render, MaterialDialog)
{
    SMeshApp gui;
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    // OK without edits turns each float into its byte (0.7 into 178/255); again, every bit stays.
    RunDialog(gui, ID_TOOLS_MATERIALS);
    const std::vector<float> once = Materials(view);
    RunDialog(gui, ID_TOOLS_MATERIALS);
    EXPECT_EQ(Materials(view), once);

    // A swatch asks over the dialog; Reset restores the defaults; Cancel
    // keeps the view as it was. A spin holds while the dialog is open.
    view.StartSpin(false);
    const auto reset = [&](CMaterialDlg& dialog)
    {
        EXPECT_TRUE(view.m_bSpinning && !view.IsTimerActive(SPIN_TIMER_ID));
        gui.ui.m_colorAnswers.push_back(0x00FF00);
        Press(dialog, 1012);
        EXPECT_EQ(dialog.m_crOuterDiffuse, 0x00FF00u);
        EXPECT_EQ(gui.ui.m_colorRequests.back(), std::make_pair(0xB20000u, static_cast<void*>(&dialog)));
        Press(dialog, 1011);
        EXPECT_EQ(dialog.m_crOuterDiffuse, 0xB20000u);
    };
    RunDialog<CMaterialDlg>(gui, ID_TOOLS_MATERIALS, reset, false);
    EXPECT_EQ(Materials(view), once);
    EXPECT_TRUE(view.IsTimerActive(SPIN_TIMER_ID));
    view.StopSpin(false);

    // Sliders in tenths; Set takes 0 to 128 (a refused value keeps it open) and moves its slider.
    const auto edit = [](CMaterialDlg& dialog)
    {
        dialog.Control<QSlider>(1015)->setValue(1280);
        CModalAnswer set(
            [](QDialog& shininess)
            {
                for (const char* pszText : {"128.5", "0.7"})
                {
                    SetText(shininess, 1028, pszText);
                    Press(shininess, IDOK);
                }
            });
        Press(dialog, 1021);
        EXPECT_FALSE(set.LeftOpen());
        EXPECT_EQ(dialog.Control<QSlider>(1020)->value(), 7);
        SetText(dialog, 1026, "2");
    };
    RunDialog<CMaterialDlg>(gui, ID_TOOLS_MATERIALS, edit);
    EXPECT_EQ(gui.ui.m_messages, std::vector<std::string>({"Please enter a number between 0 and 128."}));
    EXPECT_EQ(view.m_fOuterShininess, 128.0f);
    EXPECT_EQ(view.m_fInnerShininess, 0.7f);
    EXPECT_EQ(view.m_fLightPosition[1], 2.0f);
}

TEST(Tools, ObjectInformationBrowsesInsideTheDialog)
{
    SMeshApp gui;
    ASSERT_TRUE(gui.bStarted);
    gui.Doc().m_bScene = true;
    ASSERT_TRUE(gui.Open(Example("colored.off")));
    CSceneObject* pColored = gui.Doc().m_pCurrentObject;
    pColored->m_vPosition = CVector3(1, -2, 0.25);
    // Name, vertices, normals, min x, position, orientation, then Previous and Next enabled.
    const auto fields = [](QDialog& dialog)
    {
        std::string str;
        for (const int nID : {1042, 1010, 1017, 1034, 1040, 1041})
            str += Text(dialog, nID).toStdString() + "|";
        for (const char* pszID : {"1044", "1043"})
            str += dialog.findChild<QPushButton*>(pszID)->isEnabled() ? "E" : "-";
        return str;
    };
    const auto browse = [&](QDialog& dialog)
    {
        EXPECT_EQ(fields(dialog),
                  "colored.off|6|Generated|-1.000|1.000 -2.000 0.250|1.000 0.000 0.000 0.000|E-");
        Press(dialog, 1044);
        Press(dialog, 1044);
        EXPECT_EQ(fields(dialog), "Camera|0|N/A|N/A|0.000 0.000 5.000|1.000 0.000 0.000 0.000|-E");
    };
    RunDialog<QDialog>(gui, ID_VIEW_OBJECT_INFO, browse);
    EXPECT_EQ(gui.Doc().m_pCurrentObject, pColored);

    // A value of over 300 digits scrolls in its field; the dialog stays within the screen.
    pColored->m_vBoundsMax.x = 1.7e308;
    RunDialog<QDialog>(gui, ID_VIEW_OBJECT_INFO,
                       [](QDialog& dialog)
                       {
                           EXPECT_GT(Text(dialog, 1035).size(), 300);
                           EXPECT_LT(dialog.frameGeometry().width(),
                                     dialog.screen()->availableGeometry().width());
                       });
}

TEST(Tools, TransformMesh)
{
    SMeshApp gui;
    ASSERT_TRUE(gui.bStarted);
    const double* pCorner = gui.Mesh().m_ppVertices[1]; // (0.5, -0.5, -0.5)
    // Typing replaces the first field's text, and Tab selects the next one's; Cancel keeps
    // the mesh.
    RunDialog<QDialog>(
        gui, ID_TOOLS_TRANSFORM_MESH,
        [](QDialog& dialog)
        {
            QTest::keyClicks(dialog.focusWidget(), "5");
            EXPECT_EQ(Text(dialog, 1033), "5");
            QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab);
            QTest::keyClicks(dialog.focusWidget(), "7");
            EXPECT_EQ(Text(dialog, 1034), "7");
        },
        false);
    EXPECT_EQ(pCorner[0], 0.5);
    // Opens at the identity; of two bad fields OK focuses the first in exchange order (tz before
    // m22); then the twelve fields in the dialog's order.
    const auto enter = [&](std::vector<const char*> values)
    {
        RunDialog<QDialog>(gui, ID_TOOLS_TRANSFORM_MESH,
                           [&](QDialog& dialog)
                           {
                               EXPECT_EQ(Text(dialog, 1041) + Text(dialog, 1044), "10");
                               SetText(dialog, 1041, "x");
                               SetText(dialog, 1044, "1e999");
                               Press(dialog, IDOK);
                               EXPECT_EQ(dialog.focusWidget(), Edit(dialog, 1044));
                               for (size_t i = 0; i < values.size(); ++i)
                                   SetText(dialog, 1033 + static_cast<int>(i), values[i]);
                           });
    };
    // Rows swapping x and y: a mirror, which still shows the outside (blue).
    enter({"0", "1", "0", "1", "0", "0", "0", "0", "1", "0", "0", "0"});
    EXPECT_TRUE(pCorner[0] == -0.5 && pCorner[1] == 0.5);
    EXPECT_EQ(gui.Hue(), 'b');
    // Doubled, Default View fits the larger mesh. Flattened to the origin, an offset too small
    // for a sum of squares still applies.
    enter({"2", "0", "0", "0", "2", "0", "0", "0", "2", "0", "0", "0"});
    gui.Execute(ID_VIEW_DEFAULT_VIEW);
    EXPECT_DOUBLE_EQ(gui.Doc().m_pCamera->m_vPosition.z, 5.0);
    // A result that is not finite (here the normals of so large a mesh) is refused with a message
    // and the dialog stays open; the mesh is left as it was.
    RunDialog<QDialog>(gui, ID_TOOLS_TRANSFORM_MESH,
                       [&](QDialog& dialog)
                       {
                           SetText(dialog, 1033, "1e200");
                           SetText(dialog, 1037, "1e200");
                           Press(dialog, IDOK);
                           EXPECT_TRUE(dialog.isVisible());
                           EXPECT_EQ(gui.ui.m_messages.back(), CTransformDlg::NOT_FINITE);
                           EXPECT_EQ(pCorner[0], -1.0);
                           SetText(dialog, 1033, "1");
                           SetText(dialog, 1037, "1");
                       });
    EXPECT_EQ(pCorner[0], -1.0);
    enter({"0", "0", "0", "0", "0", "0", "0", "0", "0", "1e-200", "0", "0"});
    EXPECT_EQ(pCorner[0], 1e-200);
}
