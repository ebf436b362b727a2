#include <GL/gl.h>

#include <QKeyEvent>
#include <QMouseEvent>

#include <cmath>
#include <tuple>

#include "GuiTestSupport.h"
#include "ModalDialog.h"
#include "scene/Camera.h"
#include "view/GLContextGuard.h"

namespace
{
constexpr double PI = 3.14159265358979323846;

CQuaternion Turn(double x, double y, double z, double dDegrees)
{
    const double h = dDegrees * PI / 360.0;
    return CQuaternion(std::cos(h), x * std::sin(h), y * std::sin(h), z * std::sin(h));
}

::testing::AssertionResult Near(const CQuaternion& q, const CQuaternion& expected)
{
    const double d = std::fabs(q.w - expected.w) + std::fabs(q.v.x - expected.v.x) +
                     std::fabs(q.v.y - expected.v.y) + std::fabs(q.v.z - expected.v.z);
    if (d < 1e-9)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "(" << q.w << ", " << q.v.x << ", " << q.v.y << ", " << q.v.z << ") is not (" << expected.w
           << ", " << expected.v.x << ", " << expected.v.y << ", " << expected.v.z << ")";
}

::testing::AssertionResult Near(const CVector3& v, const CVector3& expected)
{
    if ((v - expected).LengthSquared() < 1e-18)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << v.x << ", " << v.y << ", " << v.z << ") is not ("
                                         << expected.x << ", " << expected.y << ", " << expected.z << ")";
}

void SendMouse(QWidget& view, QEvent::Type eType, QPoint point, Qt::MouseButton eButton,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = {})
{
    QMouseEvent event(eType, QPointF(point), view.mapToGlobal(QPointF(point)), eButton, buttons, modifiers);
    QCoreApplication::sendEvent(&view, &event);
}

// Presses the buttons at (100, 100), moves once by (dx, dy), releases them.
void Drag(QWidget& view, Qt::MouseButtons buttons, int dx, int dy, Qt::KeyboardModifiers modifiers = {})
{
    const QPoint start(100, 100), end(100 + dx, 100 + dy);
    Qt::MouseButtons held;
    for (const Qt::MouseButton eButton : {Qt::LeftButton, Qt::RightButton})
        if (buttons.testFlag(eButton))
            SendMouse(view, QEvent::MouseButtonPress, start, eButton, held |= eButton, modifiers);
    SendMouse(view, QEvent::MouseMove, end, Qt::NoButton, buttons, modifiers);
    for (const Qt::MouseButton eButton : {Qt::LeftButton, Qt::RightButton})
        if (buttons.testFlag(eButton))
            SendMouse(view, QEvent::MouseButtonRelease, end, eButton, held &= ~eButton, modifiers);
}

void Key(QWidget& view, int nKey, Qt::KeyboardModifiers modifiers = {}, bool bAutoRepeat = false)
{
    QKeyEvent event(QEvent::KeyPress, nKey, modifiers, QString(), bAutoRepeat);
    QCoreApplication::sendEvent(&view, &event);
}

// The application with the cube current and the camera turned 90 degrees about y: its right
// axis is then -z, its up axis y and its backward axis x, which tells rows from columns.
struct STurnedCamera : SGuiApp
{
    STurnedCamera() : SGuiApp({QString::fromStdString(Example("cube.off"))})
    {
        Doc().m_pCamera->m_qOrientation = Turn(0, 1, 0, 90);
        mesh = Doc().m_pCurrentObject;
    }
    CSceneObject* mesh;
};
} // namespace

TEST(Navigation, DragsAndKeysMoveAlongTheCameraAxes)
{
    STurnedCamera gui;
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    CCamera& camera = *gui.Doc().m_pCamera;
    // {buttons, dx, dy, key, keypad, mesh moves by}; the camera moves the other way.
    const std::tuple<Qt::MouseButtons, int, int, int, bool, CVector3> rows[] = {
        {Qt::RightButton, 0, 10, 0, false, {1, 0, 0}},                   // down: towards the viewer
        {Qt::LeftButton | Qt::RightButton, 10, 0, 0, false, {0, 0, -1}}, // right: along the screen
        {Qt::LeftButton | Qt::RightButton, 0, -10, 0, false, {0, 1, 0}},
        {Qt::RightButton, 1, 1, 0, false, {0, 0, 0}}, // one pixel is jitter
        {{}, 0, 0, Qt::Key_Minus, true, {1, 0, 0}},
        {{}, 0, 0, Qt::Key_Plus, true, {-1, 0, 0}},
        {{}, 0, 0, Qt::Key_Minus, false, {0, 0, 0}}, // the main row's minus does nothing
    };
    for (CSceneObject* pObject : {gui.mesh, static_cast<CSceneObject*>(&camera)})
        for (const auto& [buttons, dx, dy, nKey, bKeypad, move] : rows)
        {
            gui.Doc().m_pCurrentObject = pObject;
            const CVector3 before = pObject->m_vPosition;
            if (nKey != 0)
                Key(view, nKey, bKeypad ? Qt::KeypadModifier : Qt::NoModifier);
            else
                Drag(view, buttons, dx, dy);
            const double dSign = pObject == &camera ? -1.0 : 1.0;
            EXPECT_TRUE(Near(pObject->m_vPosition, before + move * dSign))
                << pObject->m_strName << " drag " << dx << "," << dy << " key " << nKey;
            EXPECT_TRUE(
                Near(pObject->m_qOrientation, pObject == &camera ? Turn(0, 1, 0, 90) : CQuaternion()));
        }
    // The view follows the camera at once.
    CGLContextGuard guard(view);
    double m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    EXPECT_NEAR(m[2], 1.0, 1e-12); // world x ends up along the eye's backward axis (+z)
}

TEST(Navigation, TheDragTable)
{
    STurnedCamera gui;
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    CTeldViewGLDoc& doc = gui.Doc();
    const CQuaternion quarterAboutZ = Turn(0, 0, 1, 90);
    // Each row starts from the mesh at rest, the key direction (0, 1, 0) and the key rotation
    // a quarter turn about z.
    struct SRow
    {
        int nMode;
        Qt::MouseButtons buttons;
        Qt::KeyboardModifiers modifiers;
        int dx, dy;
        double dRateX, dRateY; // before; after
        double dRateXAfter, dRateYAfter;
        CQuaternion orientation;
        CVector3 direction;
        CQuaternion rotation;
    };
    const SRow rows[] = {
        // Left drags turn the way the mouse moves, 1 degree per pixel, and set the spin rates.
        {DRAG_OBJECT, Qt::LeftButton, {}, 10, 0, 0, 0, 0, 5, Turn(0, 1, 0, -10), {0, 1, 0}, quarterAboutZ},
        {DRAG_OBJECT, Qt::LeftButton, {}, 0, 10, 0, 0, 5, 0, Turn(0, 0, -1, -10), {0, 1, 0}, quarterAboutZ},
        {DRAG_OBJECT, Qt::LeftButton, {}, 1, -1, 0, 0, 0, 0, CQuaternion(), {0, 1, 0}, quarterAboutZ},
        // The rates stay within 45 either way and leave the limit again.
        {DRAG_OBJECT, Qt::LeftButton, {}, 10, 0, 0, 44, 0, 45, Turn(0, 1, 0, -10), {0, 1, 0}, quarterAboutZ},
        {DRAG_OBJECT,
         Qt::LeftButton,
         {},
         0,
         -10,
         -44,
         0,
         -45,
         0,
         Turn(0, 0, -1, 10),
         {0, 1, 0},
         quarterAboutZ},
        {DRAG_OBJECT, Qt::LeftButton, {}, 4, 0, 0, -45, 0, -43, Turn(0, 1, 0, -4), {0, 1, 0}, quarterAboutZ},
        // The guide: direction and rotation instead of the object.
        {DRAG_GUIDE,
         Qt::LeftButton,
         {},
         0,
         10,
         0,
         0,
         0,
         0,
         CQuaternion(),
         {std::sin(PI / 18), std::cos(PI / 18), 0},
         quarterAboutZ},
        {DRAG_GUIDE,
         Qt::LeftButton,
         Qt::ShiftModifier,
         10,
         0,
         0,
         0,
         0,
         0,
         CQuaternion(),
         {0, 1, 0},
         quarterAboutZ * Turn(0, 1, 0, 10)},
        {DRAG_GUIDE, Qt::RightButton, {}, 0, 10, 0, 0, 0, 0, CQuaternion(), {0, 1.1, 0}, quarterAboutZ},
        {DRAG_GUIDE, Qt::RightButton, {}, 0, -10, 0, 0, 0, 0, CQuaternion(), {0, 0.9, 0}, quarterAboutZ},
        {DRAG_GUIDE,
         Qt::RightButton,
         Qt::ShiftModifier,
         0,
         10,
         0,
         0,
         0,
         0,
         CQuaternion(),
         {0, 1, 0},
         Turn(0, 0, 1, 81)},
        {DRAG_GUIDE, Qt::RightButton, {}, 10, 0, 0, 0, 0, 0, CQuaternion(), {0, 1, 0}, quarterAboutZ},
        {DRAG_GUIDE,
         Qt::LeftButton | Qt::RightButton,
         {},
         10,
         10,
         0,
         0,
         0,
         0,
         CQuaternion(),
         {0, 1, 0},
         quarterAboutZ},
    };
    for (const bool bPlaying : {false, true})
        for (const SRow& row : rows)
        {
            SCOPED_TRACE(::testing::Message()
                         << "mode " << row.nMode << " drag " << row.dx << "," << row.dy << " buttons "
                         << row.buttons.toInt() << " playing " << bPlaying);
            gui.mesh->m_qOrientation = CQuaternion();
            doc.m_vKeyDirection = CVector3(0, 1, 0);
            doc.m_qKeyRotation = quarterAboutZ;
            view.m_dSpinRateX = row.dRateX;
            view.m_dSpinRateY = row.dRateY;
            if (row.nMode == DRAG_GUIDE)
                view.ShowKeyframeGuide();
            view.m_bPlaying = bPlaying;
            Drag(view, row.buttons, row.dx, row.dy, row.modifiers);
            view.m_bPlaying = false;
            // While playing a drag changes nothing.
            EXPECT_TRUE(Near(gui.mesh->m_qOrientation, bPlaying ? CQuaternion() : row.orientation));
            EXPECT_TRUE(Near(doc.m_vKeyDirection, bPlaying ? CVector3(0, 1, 0) : row.direction));
            EXPECT_TRUE(Near(doc.m_qKeyRotation, bPlaying ? quarterAboutZ : row.rotation));
            EXPECT_DOUBLE_EQ(view.m_dSpinRateX, bPlaying ? row.dRateX : row.dRateXAfter);
            EXPECT_DOUBLE_EQ(view.m_dSpinRateY, bPlaying ? row.dRateY : row.dRateYAfter);
            view.HideKeyframeGuide();
        }

    // A left release lost outside the window: the next move with only the right button held is
    // a right drag, not a both-button one.
    gui.mesh->m_vPosition = CVector3();
    SendMouse(view, QEvent::MouseButtonPress, QPoint(50, 50), Qt::LeftButton, Qt::LeftButton);
    SendMouse(view, QEvent::MouseButtonPress, QPoint(50, 50), Qt::RightButton, Qt::RightButton);
    SendMouse(view, QEvent::MouseMove, QPoint(60, 50), Qt::NoButton, Qt::RightButton);
    EXPECT_TRUE(Near(gui.mesh->m_vPosition, CVector3(0, 0, -1)));
    EXPECT_FALSE(view.m_bLeftDown);
}

TEST(Navigation, KeysTurnAndSpaceTogglesTheGuide)
{
    STurnedCamera gui;
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    // Held down, the key repeats; the rate stops at -45 while every press turns 2 degrees.
    for (int i = 0; i < 50; ++i)
        Key(view, Qt::Key_Left, {}, i > 0);
    EXPECT_DOUBLE_EQ(view.m_dSpinRateY, -45.0);
    EXPECT_TRUE(Near(gui.mesh->m_qOrientation, Turn(0, 1, 0, 100)));
    gui.mesh->m_qOrientation = CQuaternion();
    Key(view, Qt::Key_Up);
    EXPECT_TRUE(Near(gui.mesh->m_qOrientation, Turn(0, 0, -1, 2)));
    EXPECT_DOUBLE_EQ(view.m_dSpinRateX, -1.0);

    Key(view, Qt::Key_Space);
    EXPECT_EQ(view.m_nDragMode, DRAG_GUIDE);
    EXPECT_NE(gui.Doc().m_nGuideList, 0u);
    // While playing Space is ignored; the arrows still turn.
    view.m_bPlaying = true;
    Key(view, Qt::Key_Space);
    Key(view, Qt::Key_Down);
    view.m_bPlaying = false;
    EXPECT_EQ(view.m_nDragMode, DRAG_GUIDE);
    EXPECT_TRUE(Near(gui.mesh->m_qOrientation, CQuaternion()));
    Key(view, Qt::Key_Space);
    EXPECT_EQ(view.m_nDragMode, DRAG_OBJECT);
    EXPECT_EQ(gui.Doc().m_nGuideList, 0u);
}

TEST(Navigation, ViewParametersDialog)
{
    STurnedCamera gui;
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    CCamera& camera = *gui.Doc().m_pCamera;
    using namespace ModalDialog;
    camera.m_vPosition = CVector3(3, 0, 0);
    double before[16], after[16];
    camera.m_qOrientation.ToMatrix(before);

    // The spin ends even when the dialog is cancelled.
    view.StartSpin(false);
    std::vector<double> presets;
    CModalAnswer cancel(
        [&](QDialog& dialog)
        {
            for (int nID = 1000; nID <= 1009; ++nID)
                presets.push_back(Text(dialog, nID).toDouble());
            Press(dialog, IDCANCEL);
        });
    gui.Execute(ID_VIEW_SET_VIEW_PARAMETERS);
    EXPECT_TRUE(cancel.Answered());
    EXPECT_FALSE(view.m_bSpinning || view.IsTimerActive(SPIN_TIMER_ID));
    // From, At one unit ahead (along -x), Up, the angle.
    const double expected[] = {3, 0, 0, 2, 0, 0, 0, 1, 0, 45};
    ASSERT_EQ(presets.size(), 10u);
    for (size_t i = 0; i < 10; ++i)
        EXPECT_NEAR(presets[i], expected[i], 1e-12) << 1000 + i;

    // OK without edits keeps the view; a bad angle is refused once, focused and selected.
    CModalAnswer unchanged(
        [&](QDialog& dialog)
        {
            SetText(dialog, 1009, "179.5");
            SetText(dialog, 1004, "1,5");
            Press(dialog, IDOK);
            EXPECT_EQ(dialog.focusWidget(), Edit(dialog, 1004));
            EXPECT_EQ(Edit(dialog, 1004)->selectedText(), "1,5");
            SetText(dialog, 1004, "0");
            Press(dialog, IDOK);
            SetText(dialog, 1009, "45");
            Press(dialog, IDOK);
        });
    gui.Execute(ID_VIEW_SET_VIEW_PARAMETERS);
    EXPECT_FALSE(unchanged.LeftOpen());
    EXPECT_EQ(gui.ui.m_messages, std::vector<std::string>({"Please enter a number.",
                                                           "Please enter a number between 0.01 and 179."}));
    camera.m_qOrientation.ToMatrix(after);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(after[i], before[i], 1e-12) << i;

    // At on From keeps the orientation; the position and the angle still apply.
    CModalAnswer degenerate(
        [&](QDialog& dialog)
        {
            for (int i = 0; i < 3; ++i)
                SetText(dialog, 1000 + i, "7"), SetText(dialog, 1003 + i, "7");
            SetText(dialog, 1009, "30");
            Press(dialog, IDOK);
        });
    gui.Execute(ID_VIEW_SET_VIEW_PARAMETERS);
    EXPECT_TRUE(Near(camera.m_vPosition, CVector3(7, 7, 7)));
    EXPECT_TRUE(Near(camera.m_qOrientation, Turn(0, 1, 0, 90)));
    EXPECT_FLOAT_EQ(view.m_fFovY, 30.0f);

    // Looking from +z at the origin with y up is the default orientation.
    CModalAnswer lookAt(
        [&](QDialog& dialog)
        {
            const char* const values[] = {"0", "0", "5", "0", "0", "0", "0", "2", "0"};
            for (int i = 0; i < 9; ++i)
                SetText(dialog, 1000 + i, values[i]);
            Press(dialog, IDOK);
        });
    gui.Execute(ID_VIEW_SET_VIEW_PARAMETERS);
    camera.m_qOrientation.ToMatrix(after);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(after[i], i % 5 == 0 ? 1.0 : 0.0, 1e-12) << i;
    EXPECT_TRUE(Near(camera.m_vPosition, CVector3(0, 0, 5)));

    gui.Execute(ID_VIEW_DEFAULT_VIEW);
    EXPECT_NEAR(camera.m_vPosition.z, 2.5, 1e-12);
}
