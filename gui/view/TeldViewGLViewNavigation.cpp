// Navigation: mouse drags and keys that turn and move the current object (or the camera), the
// keyframe guide and its drag mode, the view parameters and the default view.
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>
#include <cmath>

#include "gui/dialogs/ViewParamsDlg.h"
#include "gui/view/GLContextGuard.h"
#include "gui/view/TeldViewGLView.h"
#include "model/Camera.h"
#include "model/TeldViewGLDoc.h"
#include "platform/CommandIds.h"
#include "platform/DataExchange.h"

namespace
{
// Half a degree in radians: a turn quaternion holds half its angle.
constexpr double HALF_DEGREE_IN_RADIANS = 0.008726646259971639;
// Spin rates stay within this many degrees per tick either way.
constexpr double MAX_SPIN_RATE = 45.0;
// Degrees per arrow key press, degrees of spin rate per press, units per keypad press.
constexpr double KEY_TURN = 2.0;
constexpr double KEY_RATE_STEP = 1.0;
constexpr double KEY_MOVE = 1.0;
// Pixels of a drag to distance, and to spin rate.
constexpr double DRAG_MOVE_PER_PIXEL = 0.1;
constexpr double DRAG_RATE_PER_PIXEL = 0.5;
// A parallel view's scale per pixel of a right drag: down shows the scene larger.
constexpr double DRAG_SCALE_PER_PIXEL = 0.99;
// The guide's direction is never scaled beyond these lengths, where it would overflow to
// infinity or vanish to a zero that no later drag could scale back.
constexpr double MIN_KEY_DIRECTION = 1e-9;
constexpr double MAX_KEY_DIRECTION = 1e9;

CQuaternion Turn(const CVector3& axis, double dDegrees)
{
    const double h = dDegrees * HALF_DEGREE_IN_RADIANS;
    return CQuaternion(std::cos(h), axis * std::sin(h));
}

CVector3 Rotated(const CQuaternion& q, const CVector3& v)
{
    return (q * CQuaternion(0.0, v) * q.Conjugate()).v;
}

// Moves of one pixel per message are jitter, not a drag.
int Significant(int nDelta)
{
    return std::abs(nDelta) > 1 ? nDelta : 0;
}

// The orientation that looks from vFrom towards vAt with vUp as near to up as it can be; false
// when they give no direction (At on From, Up zero or along the view, or not finite).
bool LookAtOrientation(const CVector3& vFrom, const CVector3& vAt, const CVector3& vUp, CQuaternion& q)
{
    CVector3 forward = vAt - vFrom;
    const double dForward = std::sqrt(forward.LengthSquared());
    if (!(dForward > 0.0) || !std::isfinite(dForward))
        return false;
    forward *= 1.0 / dForward;
    CVector3 right = forward.Cross(vUp);
    const double dRight = std::sqrt(right.LengthSquared());
    if (!(dRight > 1e-9 * std::sqrt(vUp.LengthSquared())) || !std::isfinite(dRight))
        return false;
    right *= 1.0 / dRight;
    const CVector3 up = right.Cross(forward);
    const double m[16] = {right.x,    right.y,    right.z,    0.0, up.x, up.y, up.z, 0.0,
                          -forward.x, -forward.y, -forward.z, 0.0, 0.0,  0.0,  0.0,  1.0};
    q = CQuaternion(m);
    return true;
}
} // namespace

void CTeldViewGLView::RegisterNavigationCommands()
{
    OnCommand(ID_VIEW_SET_VIEW_PARAMETERS, [this] { OnViewSetViewParameters(); });
    OnCommand(ID_VIEW_DEFAULT_VIEW, [this] { OnViewDefaultView(); });
}

void CTeldViewGLView::RotateCurrentObject(double dAboutX, double dAboutY)
{
    CSceneObject* pObject = m_pDocument->m_pCurrentObject;
    if (pObject == nullptr)
        return;
    const CCamera& camera = *m_pDocument->m_pCamera;
    const CQuaternion q1 = Turn(camera.Axis(0), dAboutX);
    const CQuaternion q2 = Turn(camera.Axis(1), dAboutY);
    pObject->m_qOrientation = pObject->m_qOrientation * q2 * q1;
}

void CTeldViewGLView::MoveCurrentObject(double dAlongX, double dAlongY, double dAlongZ)
{
    CSceneObject* pObject = m_pDocument->m_pCurrentObject;
    if (pObject == nullptr)
        return;
    const CCamera& camera = *m_pDocument->m_pCamera;
    // The camera moves the other way, so that the picture moves as a mesh would.
    const double dSign = pObject->GetType() == OBJECT_CAMERA ? -1.0 : 1.0;
    pObject->m_vPosition +=
        (camera.Axis(0) * dAlongX + camera.Axis(1) * dAlongY + camera.Axis(2) * dAlongZ) * dSign;
}

void CTeldViewGLView::mousePressEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() == Qt::LeftButton)
        OnLButtonDown(pEvent->position().toPoint());
    else if (pEvent->button() == Qt::RightButton)
        OnRButtonDown(pEvent->position().toPoint());
}

void CTeldViewGLView::mouseReleaseEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() == Qt::LeftButton)
        m_bLeftDown = false;
    else if (pEvent->button() == Qt::RightButton)
        m_bRightDown = false;
}

void CTeldViewGLView::mouseMoveEvent(QMouseEvent* pEvent)
{
    OnMouseMove(pEvent->buttons(), pEvent->modifiers(), pEvent->position().toPoint());
}

void CTeldViewGLView::keyPressEvent(QKeyEvent* pEvent)
{
    // Auto-repeat arrives as further presses and acts like them.
    if (!OnKeyDown(pEvent->key(), pEvent->modifiers()))
        QOpenGLWidget::keyPressEvent(pEvent);
}

void CTeldViewGLView::OnLButtonDown(QPoint point)
{
    m_ptLastMouse = point;
    m_bLeftDown = true;
}

void CTeldViewGLView::OnRButtonDown(QPoint point)
{
    m_ptLastMouse = point;
    m_bRightDown = true;
}

void CTeldViewGLView::OnMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, QPoint point)
{
    // The buttons held now, not the presses and releases seen: a release outside the window
    // must not turn a later right drag into a both-button drag.
    m_bLeftDown = buttons.testFlag(Qt::LeftButton);
    m_bRightDown = buttons.testFlag(Qt::RightButton);
    const int dx = Significant(point.x() - m_ptLastMouse.x());
    const int dy = Significant(point.y() - m_ptLastMouse.y()); // screen y grows downwards
    m_ptLastMouse = point;
    if (m_bPlaying || (dx == 0 && dy == 0))
        return;
    const bool bShift = modifiers.testFlag(Qt::ShiftModifier);
    const auto updateRate = [](double& dRate, int nDelta)
    { dRate = std::clamp(dRate + DRAG_RATE_PER_PIXEL * nDelta, -MAX_SPIN_RATE, MAX_SPIN_RATE); };
    if (m_nDragMode == DRAG_OBJECT)
    {
        if (m_bLeftDown && m_bRightDown)
            MoveCurrentObject(DRAG_MOVE_PER_PIXEL * dx, -DRAG_MOVE_PER_PIXEL * dy, 0.0);
        else if (m_bRightDown && m_bOrthographic)
        {
            MoveCurrentObject(DRAG_MOVE_PER_PIXEL * dx, 0.0, 0.0);
            ScaleOrthoView(std::pow(DRAG_SCALE_PER_PIXEL, dy));
        }
        else if (m_bRightDown)
            MoveCurrentObject(DRAG_MOVE_PER_PIXEL * dx, 0.0, DRAG_MOVE_PER_PIXEL * dy);
        else if (m_bLeftDown)
        {
            if (dx != 0)
                updateRate(m_dSpinRateY, dx);
            if (dy != 0)
                updateRate(m_dSpinRateX, dy);
            RotateCurrentObject(-dy, -dx);
        }
        else
            return;
    }
    else if (m_nDragMode == DRAG_GUIDE)
    {
        if (m_bLeftDown == m_bRightDown)
            return;
        if (m_bRightDown)
        {
            if (dy == 0)
                return;
            if (bShift)
                ScaleKeyRotation(dy);
            else
                ScaleKeyDirection(dy);
        }
        else if (bShift)
            RotateKeyRotation(-dy, -dx);
        else
            RotateKeyDirection(-dy, -dx);
    }
    else
        return;
    m_motion.NoteMotion();
    SetupView();
    update();
}

bool CTeldViewGLView::OnKeyDown(int nKey, Qt::KeyboardModifiers modifiers)
{
    const bool bKeypad = modifiers.testFlag(Qt::KeypadModifier);
    switch (nKey)
    {
    case Qt::Key_Left:
        m_dSpinRateY = std::max(m_dSpinRateY - KEY_RATE_STEP, -MAX_SPIN_RATE);
        RotateCurrentObject(0.0, KEY_TURN);
        break;
    case Qt::Key_Right:
        m_dSpinRateY = std::min(m_dSpinRateY + KEY_RATE_STEP, MAX_SPIN_RATE);
        RotateCurrentObject(0.0, -KEY_TURN);
        break;
    case Qt::Key_Up:
        m_dSpinRateX = std::max(m_dSpinRateX - KEY_RATE_STEP, -MAX_SPIN_RATE);
        RotateCurrentObject(KEY_TURN, 0.0);
        break;
    case Qt::Key_Down:
        m_dSpinRateX = std::min(m_dSpinRateX + KEY_RATE_STEP, MAX_SPIN_RATE);
        RotateCurrentObject(-KEY_TURN, 0.0);
        break;
    // Only the keypad's plus and minus: those of the main row do nothing.
    case Qt::Key_Minus:
        if (!bKeypad)
            return false;
        MoveCurrentObject(0.0, 0.0, KEY_MOVE);
        break;
    case Qt::Key_Plus:
        if (!bKeypad)
            return false;
        MoveCurrentObject(0.0, 0.0, -KEY_MOVE);
        break;
    case Qt::Key_Space:
        // Playback poses the scene under the guide, so the guide waits until it ends.
        if (m_bPlaying)
            return true;
        if (m_nDragMode == DRAG_OBJECT)
            ShowKeyframeGuide();
        else if (m_nDragMode == DRAG_GUIDE)
            HideKeyframeGuide();
        break;
    default:
        return false;
    }
    if (nKey != Qt::Key_Space)
        m_motion.NoteMotion();
    SetupView();
    update();
    return true;
}

void CTeldViewGLView::ShowKeyframeGuide()
{
    RebuildGuideList();
    m_nDragMode = DRAG_GUIDE;
}

void CTeldViewGLView::HideKeyframeGuide()
{
    {
        CGLContextGuard guard(*this);
        if (guard.IsCurrent())
            m_guide.Delete();
    }
    m_nDragMode = DRAG_OBJECT;
}

void CTeldViewGLView::RebuildGuideList()
{
    CGLContextGuard guard(*this);
    if (guard.IsCurrent())
        m_guide.Build(*m_pDocument);
}

void CTeldViewGLView::RotateKeyDirection(double dAboutX, double dAboutY)
{
    // The direction follows the mouse: the opposite sense of the object turns.
    const CCamera& camera = *m_pDocument->m_pCamera;
    const CQuaternion qx = Turn(camera.Axis(0), -dAboutX);
    const CQuaternion qy = Turn(camera.Axis(1), -dAboutY);
    m_pDocument->m_vKeyDirection = Rotated(qx, Rotated(qy, m_pDocument->m_vKeyDirection));
    RebuildGuideList();
}

void CTeldViewGLView::RotateKeyRotation(double dAboutX, double dAboutY)
{
    const CCamera& camera = *m_pDocument->m_pCamera;
    m_pDocument->m_qKeyRotation =
        m_pDocument->m_qKeyRotation * Turn(camera.Axis(0), -dAboutX) * Turn(camera.Axis(1), -dAboutY);
    RebuildGuideList();
}

void CTeldViewGLView::ScaleKeyDirection(int nDelta)
{
    if (nDelta == 0)
        return;
    const double dFactor = nDelta > 0 ? 1.1 : 0.9;
    CVector3& direction = m_pDocument->m_vKeyDirection;
    const double dLength = std::sqrt(direction.LengthSquared()) * dFactor;
    if (dLength >= MIN_KEY_DIRECTION && dLength <= MAX_KEY_DIRECTION)
        direction *= dFactor;
    RebuildGuideList();
}

void CTeldViewGLView::ScaleKeyRotation(int nDelta)
{
    if (nDelta == 0)
        return;
    // Slerp from the identity scales the rotation's angle, beyond 1 as well.
    m_pDocument->m_qKeyRotation = CQuaternion().Slerp(m_pDocument->m_qKeyRotation, nDelta > 0 ? 0.9 : 1.1);
    RebuildGuideList();
}

void CTeldViewGLView::OnViewSetViewParameters()
{
    CViewParamsDlg dialog(this);
    dialog.SetUiServices(&Ui());
    // The spin ends even if the dialog is cancelled.
    if (m_bSpinning)
        StopSpin(false);
    CCamera& camera = *m_pDocument->m_pCamera;
    const CVector3 from = camera.m_vPosition;
    const CVector3 at = from - camera.Axis(2);
    const CVector3 up = camera.Axis(1);
    dialog.m_dFromX = from.x, dialog.m_dFromY = from.y, dialog.m_dFromZ = from.z;
    dialog.m_dAtX = at.x, dialog.m_dAtY = at.y, dialog.m_dAtZ = at.z;
    dialog.m_dUpX = up.x, dialog.m_dUpY = up.y, dialog.m_dUpZ = up.z;
    dialog.m_dAngle = DataExchange::FloatAsDouble(m_fFovY);
    if (dialog.exec() != QDialog::Accepted)
        return;

    const CVector3 newFrom(dialog.m_dFromX, dialog.m_dFromY, dialog.m_dFromZ);
    camera.m_vPosition = newFrom;
    // Points and a vector that give no direction keep the orientation the camera has.
    CQuaternion q;
    if (LookAtOrientation(newFrom, CVector3(dialog.m_dAtX, dialog.m_dAtY, dialog.m_dAtZ),
                          CVector3(dialog.m_dUpX, dialog.m_dUpY, dialog.m_dUpZ), q))
        camera.m_qOrientation = q;
    m_fFovY = static_cast<float>(dialog.m_dAngle);
    SetupView();
    update();
}

void CTeldViewGLView::OnViewDefaultView()
{
    ResetView();
    update();
}
