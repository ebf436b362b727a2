// The mouse wheel and a touchpad's scrolling: the current object (or the camera) nearer or
// further by a share of its distance from the eye.
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "drawing/SceneRenderer.h"
#include "gui/view/TeldViewGLView.h"
#include "model/Camera.h"
#include "model/TeldViewGLDoc.h"

namespace
{
// A wheel click is 120 eighths of a degree; a touchpad that reports only pixels gives this many
// per pixel. Each click takes the distance from the eye to this share of itself (or back).
constexpr int WHEEL_CLICK = 120;
constexpr int WHEEL_PER_PIXEL = 8;
constexpr double WHEEL_FACTOR = 0.9;
// One event counts for at most this many clicks, so that adding turns up never overflows.
constexpr int MAX_WHEEL_DELTA = 1000 * WHEEL_CLICK;
} // namespace

void CTeldViewGLView::ZoomCurrentObject(int nClicks)
{
    CSceneObject* pObject = m_pDocument->m_pCurrentObject;
    if (pObject == nullptr || nClicks == 0)
        return;
    const CCamera& camera = *m_pDocument->m_pCamera;
    // A mesh's own distance along the view; for the camera, that of the middle of the scene.
    const auto distance = [&]
    {
        if (pObject->GetType() != OBJECT_CAMERA)
            return -(pObject->m_vPosition - camera.m_vPosition).Dot(camera.Axis(2));
        SceneRenderer::SSceneDepth depth;
        return SceneRenderer::SceneDepth(camera, depth) ? 0.5 * (depth.dMin + depth.dMax) : 0.0;
    };
    const double dDistance = distance();
    if (!(dDistance > 0.0) || !std::isfinite(dDistance))
        return;
    const CVector3 before = pObject->m_vPosition;
    MoveCurrentObject(0.0, 0.0, dDistance * (1.0 - std::pow(WHEEL_FACTOR, nClicks)));
    // Scaled, the distance never reaches the eye; rounded, it might, and then the step is not taken.
    const double dAfter = distance();
    if (!(dAfter > 0.0) || !std::isfinite(dAfter))
        pObject->m_vPosition = before;
}

void CTeldViewGLView::wheelEvent(QWheelEvent* pEvent)
{
    const QPoint angle = pEvent->angleDelta();
    const int nPixels = std::clamp(pEvent->pixelDelta().y(), -MAX_WHEEL_DELTA, MAX_WHEEL_DELTA);
    OnMouseWheel(angle.isNull() ? nPixels * WHEEL_PER_PIXEL : angle.y());
    pEvent->accept();
}

void CTeldViewGLView::OnMouseWheel(int nDelta)
{
    // Smooth wheels and touchpads send parts of a click; they add up to whole ones.
    m_nWheelDelta += std::clamp(nDelta, -MAX_WHEEL_DELTA, MAX_WHEEL_DELTA);
    const int nClicks = m_nWheelDelta / WHEEL_CLICK;
    if (nClicks == 0)
        return;
    m_nWheelDelta -= nClicks * WHEEL_CLICK;
    // Moving along the view would change nothing in a parallel projection: the view scales.
    if (m_bOrthographic)
        ScaleOrthoView(std::pow(WHEEL_FACTOR, nClicks));
    else
        ZoomCurrentObject(nClicks);
    m_motion.NoteMotion();
    SetupView();
    update();
}
