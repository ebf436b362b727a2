// Level of detail while the view moves: the levels of big meshes made on threads after each load,
// and the full frame once the motion has stopped.
#include <utility>

#include "drawing/MeshGL.h"
#include "gui/view/TeldViewGLView.h"
#include "model/Mesh.h"
#include "model/TeldViewGLDoc.h"

void CTeldViewGLView::StartReductions()
{
    // Not before the frame: the first picture of a new model has the processor to itself.
    m_bReductionsDue = true;
    update();
}

void CTeldViewGLView::MakeReductions()
{
    // Several frames may have asked for it: the first call does it.
    if (!std::exchange(m_bReductionsDue, false))
        return;
    for (CSceneObject* pObject = m_pDocument->m_pObjectList; pObject != nullptr; pObject = pObject->m_pNext)
    {
        if (pObject->GetType() != OBJECT_MESH)
            continue;
        auto& mesh = *static_cast<CMesh*>(pObject);
        // Only what the view draws: a mesh without a list has no context to draw levels either.
        if (mesh.m_pGraphics)
            CMeshGL::Of(mesh).StartReduction(mesh);
    }
}

void CTeldViewGLView::ForgetReduction(CMesh& mesh)
{
    if (mesh.m_pGraphics)
        CMeshGL::Of(mesh).ForgetReduction();
}

void CTeldViewGLView::OnMotionSettled()
{
    // The last picture is always the full one.
    if (m_bFrameReduced)
        update();
}
