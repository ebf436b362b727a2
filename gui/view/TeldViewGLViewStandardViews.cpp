// Standard views: the default view's fit from each side of the scene, and the parallel
// projection, in which the wheel and the right drag scale the view instead of moving along it.
#include <algorithm>
#include <cmath>

#include "drawing/SceneRenderer.h"
#include "gui/view/TeldViewGLView.h"
#include "model/Camera.h"
#include "model/TeldViewGLDoc.h"
#include "platform/CmdUI.h"
#include "platform/CommandIds.h"

namespace
{
// A parallel view never shrinks or grows beyond these half heights, where the projection would
// lose its precision or overflow.
constexpr double MIN_ORTHO_HALF_HEIGHT = 1e-12;
constexpr double MAX_ORTHO_HALF_HEIGHT = 1e15;
} // namespace

void CTeldViewGLView::RegisterStandardViewCommands()
{
    OnCommand(ID_VIEW_FRONT, [this] { OnViewSide(SceneRenderer::VIEW_SIDE_FRONT); });
    OnCommand(ID_VIEW_BACK, [this] { OnViewSide(SceneRenderer::VIEW_SIDE_BACK); });
    OnCommand(ID_VIEW_LEFT, [this] { OnViewSide(SceneRenderer::VIEW_SIDE_LEFT); });
    OnCommand(ID_VIEW_RIGHT, [this] { OnViewSide(SceneRenderer::VIEW_SIDE_RIGHT); });
    OnCommand(ID_VIEW_TOP, [this] { OnViewSide(SceneRenderer::VIEW_SIDE_TOP); });
    OnCommand(ID_VIEW_BOTTOM, [this] { OnViewSide(SceneRenderer::VIEW_SIDE_BOTTOM); });
    OnCommand(ID_VIEW_ISOMETRIC, [this] { OnViewSide(SceneRenderer::VIEW_SIDE_ISOMETRIC); });
    OnCommand(ID_VIEW_ORTHOGRAPHIC, [this] { OnViewOrthographic(); });
    OnUpdateCommand(ID_VIEW_ORTHOGRAPHIC, [this](CCmdUI& ui) { OnUpdateViewOrthographic(ui); });
}

void CTeldViewGLView::OnViewSide(int nSide)
{
    if (m_bSpinning)
        StopSpin(false);
    SceneRenderer::FitStandardView(*this, *m_pDocument, nSide);
    SetupView();
    update();
}

void CTeldViewGLView::OnViewOrthographic()
{
    m_bOrthographic = !m_bOrthographic;
    // The parallel view starts at the scale the perspective shows the middle of the scene at.
    SceneRenderer::SSceneDepth depth;
    if (m_bOrthographic && SceneRenderer::SceneDepth(*m_pDocument->m_pCamera, depth))
    {
        const double dMiddle = 0.5 * (depth.dMin + depth.dMax);
        if (dMiddle > 0.0)
            m_dOrthoHalfHeight = std::clamp(SceneRenderer::OrthoHalfHeightAt(*this, dMiddle),
                                            MIN_ORTHO_HALF_HEIGHT, MAX_ORTHO_HALF_HEIGHT);
    }
    SetupView();
    update();
}

void CTeldViewGLView::OnUpdateViewOrthographic(CCmdUI& ui)
{
    ui.Enable(true);
    ui.SetCheck(m_bOrthographic);
}

void CTeldViewGLView::ScaleOrthoView(double dFactor)
{
    if (dFactor > 0.0 && std::isfinite(dFactor))
        m_dOrthoHalfHeight =
            std::clamp(m_dOrthoHalfHeight * dFactor, MIN_ORTHO_HALF_HEIGHT, MAX_ORTHO_HALF_HEIGHT);
}
