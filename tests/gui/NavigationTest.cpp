#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>

#include <cmath>
#include <tuple>

#include "GuiTestSupport.h"
#include "ModalDialog.h"
#include "model/Camera.h"

namespace
{
constexpr double PI = 3.14159265358979323846;

CQuaternion Turn(double x, double y, double z, double dDegrees)
{
    const double h = dDegrees * PI / 360.0;
    return CQuaternion(std::cos(h), x * std::sin(h), y * std::sin(h), z * std::sin(h));
}

// Component-wise within 1e-9.
::testing::AssertionResult Near(const CQuaternion& q, const CQuaternion& e)
{
    const double d[4] = {q.w - e.w, q.v.x - e.v.x, q.v.y - e.v.y, q.v.z - e.v.z};
    for (const double dDiff : d)
        if (std::fabs(dDiff) > 1e-9)
            return ::testing::AssertionFailure() << q.w << " " << q.v.x << " " << q.v.y << " " << q.v.z;
    return ::testing::AssertionSuccess();
}
::testing::AssertionResult Near(const CVector3& v, const CVector3& e)
{
    return Near(CQuaternion(0, v), CQuaternion(0, e));
}

void SendMouse(QWidget& view, QEvent::Type eType, QPoint point, Qt::MouseButton eButton,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = {})
{
    QMouseEvent event(eType, QPointF(point), view.mapToGlobal(QPointF(point)), eButton, buttons, modifiers);
    QCoreApplication::sendEvent(&view, &event);
}

// Presses at (100, 100), moves once by (dx, dy) with the buttons held, releases. The view
// takes the buttons held from the move itself.
void Drag(QWidget& view, Qt::MouseButtons buttons, int dx, int dy, Qt::KeyboardModifiers modifiers = {})
{
    const Qt::MouseButton eFirst = buttons.testFlag(Qt::LeftButton) ? Qt::LeftButton : Qt::RightButton;
    SendMouse(view, QEvent::MouseButtonPress, QPoint(100, 100), eFirst, buttons, modifiers);
    SendMouse(view, QEvent::MouseMove, QPoint(100 + dx, 100 + dy), Qt::NoButton, buttons, modifiers);
    SendMouse(view, QEvent::MouseButtonRelease, QPoint(100 + dx, 100 + dy), eFirst, {}, modifiers);
}

void Key(QWidget& view, int nKey, Qt::KeyboardModifiers modifiers = {}, bool bAutoRepeat = false)
{
    QKeyEvent event(QEvent::KeyPress, nKey, modifiers, QString(), bAutoRepeat);
    QCoreApplication::sendEvent(&view, &event);
}

// The cube current and the camera turned 90 degrees about y: its right axis is then -z, its up
// axis y and its backward axis x, which tells rows from columns.
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

TEST(Navigation, DragsAndKeysFollowTheCameraAxes)
{
    STurnedCamera gui;
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    CCamera& camera = *gui.Doc().m_pCamera;
    // {buttons, dx, dy, key, keypad, how far the mesh moves}; the camera moves the other way.
    const std::tuple<Qt::MouseButtons, int, int, int, bool, CVector3> rows[] = {
        {Qt::RightButton, 0, 10, 0, false, {1, 0, 0}}, // down: towards the viewer
        {Qt::LeftButton | Qt::RightButton, 10, -10, 0, false, {0, 1, -1}},
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
            EXPECT_TRUE(Near(pObject->m_vPosition, before + move * (pObject == &camera ? -1.0 : 1.0)))
                << pObject->m_strName << " drag " << dx << "," << dy << " key " << nKey;
        }
    // Held down, an arrow repeats; the rate stops at -45 while every press turns 2 degrees.
    gui.Doc().m_pCurrentObject = gui.mesh;
    for (int i = 0; i < 50; ++i)
        Key(view, Qt::Key_Left, {}, i > 0);
    EXPECT_DOUBLE_EQ(view.m_dSpinRateY, -45.0);
    EXPECT_TRUE(Near(gui.mesh->m_qOrientation, Turn(0, 1, 0, 100)));
    gui.mesh->m_qOrientation = CQuaternion();
    Key(view, Qt::Key_Up);
    EXPECT_TRUE(Near(gui.mesh->m_qOrientation, Turn(0, 0, -1, 2)));
    // Space shows and hides the guide, but not while playing, when the arrows still turn.
    Key(view, Qt::Key_Space);
    EXPECT_NE(gui.View().GuideList(), 0u);
    view.m_bPlaying = true;
    Key(view, Qt::Key_Space);
    Key(view, Qt::Key_Down);
    view.m_bPlaying = false;
    EXPECT_EQ(view.m_nDragMode, DRAG_GUIDE);
    EXPECT_TRUE(Near(gui.mesh->m_qOrientation, CQuaternion()));
    Key(view, Qt::Key_Space);
    EXPECT_EQ(view.m_nDragMode, DRAG_OBJECT);
    EXPECT_EQ(gui.View().GuideList(), 0u);
}

TEST(Navigation, TheDragTable)
{
    STurnedCamera gui;
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    CTeldViewGLDoc& doc = gui.Doc();
    const CQuaternion quarterAboutZ = Turn(0, 0, 1, 90), turnedAboutY = quarterAboutZ * Turn(0, 1, 0, 10);
    // Each row starts from the mesh at rest, the key direction (0, 1, 0), the key rotation a
    // quarter turn about z and the spin rates given.
    struct SRow
    {
        int nMode;
        Qt::MouseButtons buttons;
        int dx, dy;
        Qt::KeyboardModifiers modifiers = {};
        double dRateX = 0, dRateY = 0, dRateXAfter = 0, dRateYAfter = 0;
        CQuaternion orientation = {};
        CVector3 direction = {0, 1, 0};
        CQuaternion rotation = Turn(0, 0, 1, 90);
    };
    const SRow rows[] = {
        // Left drags turn as the mouse moves, 1 degree per pixel, and set the rates within 45.
        {DRAG_OBJECT, Qt::LeftButton, 10, 0, {}, 0, 0, 0, 5, Turn(0, 1, 0, -10)},
        {DRAG_OBJECT, Qt::LeftButton, 0, 10, {}, 0, 0, 5, 0, Turn(0, 0, -1, -10)},
        {DRAG_OBJECT, Qt::LeftButton, 10, 0, {}, 0, 44, 0, 45, Turn(0, 1, 0, -10)},
        {DRAG_OBJECT, Qt::LeftButton, 0, -10, {}, -44, 0, -45, 0, Turn(0, 0, -1, 10)},
        {DRAG_OBJECT, Qt::LeftButton, 4, 0, {}, 0, -45, 0, -43, Turn(0, 1, 0, -4)},
        // The guide: the key direction and rotation instead of the object.
        {DRAG_GUIDE, Qt::LeftButton, 0, 10, {}, 0, 0, 0, 0, {}, {std::sin(PI / 18), std::cos(PI / 18), 0}},
        {DRAG_GUIDE, Qt::LeftButton, 10, 0, Qt::ShiftModifier, 0, 0, 0, 0, {}, {0, 1, 0}, turnedAboutY},
        {DRAG_GUIDE, Qt::RightButton, 0, 10, {}, 0, 0, 0, 0, {}, {0, 1.1, 0}},
        {DRAG_GUIDE, Qt::RightButton, 0, 10, Qt::ShiftModifier, 0, 0, 0, 0, {}, {0, 1, 0}, Turn(0, 0, 1, 81)},
        {DRAG_GUIDE, Qt::RightButton, 10, 0},
        {DRAG_GUIDE, Qt::LeftButton | Qt::RightButton, 10, 10},
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
            const SRow unchanged{row.nMode,  row.buttons, 0,          0,         {},
                                 row.dRateX, row.dRateY,  row.dRateX, row.dRateY};
            const SRow& expected = bPlaying ? unchanged : row;
            EXPECT_TRUE(Near(gui.mesh->m_qOrientation, expected.orientation));
            EXPECT_TRUE(Near(doc.m_vKeyDirection, expected.direction));
            EXPECT_TRUE(Near(doc.m_qKeyRotation, expected.rotation));
            EXPECT_DOUBLE_EQ(view.m_dSpinRateX, expected.dRateXAfter);
            EXPECT_DOUBLE_EQ(view.m_dSpinRateY, expected.dRateYAfter);
            view.HideKeyframeGuide();
        }

    // A left release lost outside the window: a move with only the right button held is a
    // right drag, not a both-button one.
    gui.mesh->m_vPosition = CVector3();
    SendMouse(view, QEvent::MouseButtonPress, QPoint(50, 50), Qt::LeftButton, Qt::LeftButton);
    SendMouse(view, QEvent::MouseButtonPress, QPoint(50, 50), Qt::RightButton, Qt::RightButton);
    SendMouse(view, QEvent::MouseMove, QPoint(60, 50), Qt::NoButton, Qt::RightButton);
    EXPECT_TRUE(Near(gui.mesh->m_vPosition, CVector3(0, 0, -1)));
}

// Each wheel click takes the current object a tenth of its distance nearer (or back out), parts
// of clicks adding up; with the camera current, the distance is that of the scene's middle.
TEST(Navigation, TheWheelScalesTheDistanceFromTheEye)
{
    SGuiApp gui({QString::fromStdString(Example("cube.off"))});
    ASSERT_TRUE(gui.bStarted);
    CSceneObject& mesh = *gui.Doc().m_pCurrentObject;
    CCamera& camera = *gui.Doc().m_pCamera;
    const auto wheel = [&](QPoint angle, QPoint pixels = {})
    {
        QWheelEvent event(QPointF(50, 50), gui.View().mapToGlobal(QPointF(50, 50)), pixels, angle,
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&gui.View(), &event);
    };
    wheel({0, 120});
    EXPECT_TRUE(Near(mesh.m_vPosition, {0, 0, 0.25}));
    wheel({0, 60});
    wheel({0, 60});
    EXPECT_TRUE(Near(mesh.m_vPosition, {0, 0, 0.475}));
    wheel({}, {0, -15}); // a touchpad's pixels
    EXPECT_TRUE(Near(mesh.m_vPosition, {0, 0, 0.25}));
    gui.Doc().m_pCurrentObject = &camera;
    wheel({0, -120});
    EXPECT_TRUE(Near(camera.m_vPosition, {0, 0, 2.75}));
    // However many clicks come, the object stays ahead of the eye.
    gui.Doc().m_pCurrentObject = &mesh;
    for (int i = 0; i < 400; ++i)
        wheel({0, 120});
    EXPECT_LT(mesh.m_vPosition.z, camera.m_vPosition.z);
    EXPECT_GT(mesh.m_vPosition.z, 2.74);
}

TEST(Navigation, ViewParametersDialog)
{
    STurnedCamera gui;
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    CCamera& camera = *gui.Doc().m_pCamera;
    using namespace ModalDialog;
    camera.m_vPosition = CVector3(3, 0, 0);
    const CQuaternion turned = camera.m_qOrientation;
    // Fills From, At and Up with nine numbers (none: as preset), the angle, then presses OK.
    const auto answer = [](std::vector<const char*> values, const char* pszAngle)
    {
        return [values, pszAngle](QDialog& dialog)
        {
            for (size_t i = 0; i < values.size(); ++i)
                SetText(dialog, 1000 + static_cast<int>(i), values[i]);
            SetText(dialog, 1009, pszAngle);
            Press(dialog, IDOK);
        };
    };

    // The spin ends even when the dialog is cancelled.
    view.StartSpin(false);
    CModalAnswer cancel([](QDialog&) {});
    gui.Execute(ID_VIEW_SET_VIEW_PARAMETERS);
    EXPECT_TRUE(cancel.LeftOpen());
    EXPECT_FALSE(view.m_bSpinning || view.IsTimerActive(SPIN_TIMER_ID));

    // Bad fields are refused one at a time; OK without edits keeps the view, so the presets
    // (From, At one unit ahead, Up, the angle) describe it.
    CModalAnswer unchanged(
        [&](QDialog& dialog)
        {
            SetText(dialog, 1004, "1,5");
            answer({}, "179.5")(dialog);
            SetText(dialog, 1004, "0");
            answer({}, "179.5")(dialog);
            answer({}, "45")(dialog);
        });
    gui.Execute(ID_VIEW_SET_VIEW_PARAMETERS);
    EXPECT_FALSE(unchanged.LeftOpen());
    EXPECT_EQ(gui.ui.m_messages, std::vector<std::string>({"Please enter a number.",
                                                           "Please enter a number between 0.01 and 179."}));
    EXPECT_TRUE(Near(camera.m_qOrientation, turned));

    // At on From keeps the orientation; the position and the angle still apply.
    CModalAnswer degenerate(answer({"7", "7", "7", "7", "7", "7"}, "30"));
    gui.Execute(ID_VIEW_SET_VIEW_PARAMETERS);
    EXPECT_TRUE(Near(camera.m_vPosition, CVector3(7, 7, 7)));
    EXPECT_TRUE(Near(camera.m_qOrientation, turned));
    EXPECT_FLOAT_EQ(view.m_fFovY, 30.0f);
    gui.Execute(ID_VIEW_DEFAULT_VIEW);
    EXPECT_NEAR(camera.m_vPosition.z, 2.5, 1e-12);
}

// The keypad picks the standard views, with Num Lock on or off; its 5 toggles the parallel
// projection, in which the wheel and the right drag scale the view and leave the objects where
// they are.
TEST(Navigation, KeypadViewsAndTheOrthographicZoom)
{
    SGuiApp gui({QString::fromStdString(Example("cube.off"))});
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    CCamera& camera = *gui.Doc().m_pCamera;
    gui.Frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&gui.Frame()));
    view.setFocus();
    // The cube's extent is 1: the fit stands 2.5 from the origin.
    const std::tuple<int, Qt::KeyboardModifiers, CVector3, CVector3> keys[] = {
        {Qt::Key_7, Qt::KeypadModifier, {0, 2.5, 0}, {0, 0, -1}},
        {Qt::Key_Home, Qt::KeypadModifier | Qt::ControlModifier, {0, -2.5, 0}, {0, 0, 1}},
        {Qt::Key_3, Qt::KeypadModifier, {2.5, 0, 0}, {0, 1, 0}},
        {Qt::Key_End, Qt::KeypadModifier | Qt::ControlModifier, {0, 0, -2.5}, {0, 1, 0}},
        {Qt::Key_1, Qt::KeypadModifier, {0, 0, 2.5}, {0, 1, 0}}};
    for (const auto& [nKey, modifiers, position, up] : keys)
    {
        QTest::keyClick(&view, static_cast<Qt::Key>(nKey), modifiers);
        EXPECT_TRUE(Near(camera.m_vPosition, position)) << nKey;
        EXPECT_TRUE(Near(camera.Axis(1), up)) << nKey;
    }
    // The main row's digits are not the keypad's.
    QTest::keyClick(&view, Qt::Key_5);
    EXPECT_FALSE(view.m_bOrthographic);
    QTest::keyClick(&view, Qt::Key_5, Qt::KeypadModifier);
    ASSERT_TRUE(view.m_bOrthographic);
    EXPECT_TRUE(gui.app->Router().Update(ID_VIEW_ORTHOGRAPHIC).m_bChecked);
    const double dFitted = view.m_dOrthoHalfHeight;
    EXPECT_NEAR(dFitted, 2.5 * std::tan(22.5 * PI / 180.0), 1e-6);
    QWheelEvent event(QPointF(50, 50), view.mapToGlobal(QPointF(50, 50)), {}, {0, 120}, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&view, &event);
    EXPECT_NEAR(view.m_dOrthoHalfHeight, 0.9 * dFitted, 1e-9);
    Drag(view, Qt::RightButton, 0, 10);
    EXPECT_NEAR(view.m_dOrthoHalfHeight, 0.9 * std::pow(0.99, 10) * dFitted, 1e-9);
    EXPECT_TRUE(Near(gui.Doc().m_pCurrentObject->m_vPosition, {0, 0, 0}));
    EXPECT_TRUE(Near(camera.m_vPosition, {0, 0, 2.5}));
    // A standard view fits the parallel projection again.
    QTest::keyClick(&view, Qt::Key_9, Qt::KeypadModifier);
    EXPECT_NEAR(view.m_dOrthoHalfHeight, dFitted, 1e-9);
    EXPECT_TRUE(Near(camera.m_vPosition, CVector3(1, 1, 1) * (2.5 / std::sqrt(3.0))));
}
