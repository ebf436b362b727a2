// Object tools: selecting the next or previous object, the object information dialog, and the
// mesh transform and invert.
#include "gui/dialogs/ObjectInfoDlg.h"
#include "gui/dialogs/TransformDlg.h"
#include "gui/view/TeldViewGLView.h"
#include "gui/view/TimerPause.h"
#include "model/Mesh.h"
#include "model/TeldViewGLDoc.h"
#include "platform/CommandIds.h"

void CTeldViewGLView::RegisterToolsCommands()
{
    OnCommand(ID_VIEW_SELECT_NEXT, [this] { OnViewSelectNext(); });
    OnUpdateCommand(ID_VIEW_SELECT_NEXT, [this](CCmdUI& ui) { OnUpdateViewSelectNext(ui); });
    OnCommand(ID_VIEW_SELECT_PREVIOUS, [this] { OnViewSelectPrevious(); });
    OnUpdateCommand(ID_VIEW_SELECT_PREVIOUS, [this](CCmdUI& ui) { OnUpdateViewSelectPrevious(ui); });
    OnCommand(ID_VIEW_OBJECT_INFO, [this] { OnViewObjectInfo(); });
    OnUpdateCommand(ID_VIEW_OBJECT_INFO, [this](CCmdUI& ui) { OnUpdateViewObjectInfo(ui); });
    OnCommand(ID_TOOLS_TRANSFORM_MESH, [this] { OnToolsTransformMesh(); });
    OnUpdateCommand(ID_TOOLS_TRANSFORM_MESH, [this](CCmdUI& ui) { OnUpdateMeshTool(ui); });
    OnCommand(ID_TOOLS_INVERT_MESH, [this] { OnToolsInvertMesh(); });
    OnUpdateCommand(ID_TOOLS_INVERT_MESH, [this](CCmdUI& ui) { OnUpdateMeshTool(ui); });
}

// Selecting changes only the status bar's name (at the next idle update), not the picture.
void CTeldViewGLView::SelectObject(CSceneObject* pObject)
{
    if (pObject == nullptr)
        return;
    m_pDocument->m_pCurrentObject = pObject;
    m_strSelectedName = pObject->m_strName;
}

void CTeldViewGLView::OnViewSelectNext()
{
    if (const CSceneObject* pCurrent = m_pDocument->m_pCurrentObject)
        SelectObject(pCurrent->m_pNext);
}

void CTeldViewGLView::OnUpdateViewSelectNext(CCmdUI& ui)
{
    const CSceneObject* pCurrent = m_pDocument->m_pCurrentObject;
    ui.Enable(pCurrent != nullptr && pCurrent->m_pNext != nullptr);
}

void CTeldViewGLView::OnViewSelectPrevious()
{
    if (const CSceneObject* pCurrent = m_pDocument->m_pCurrentObject)
        SelectObject(pCurrent->m_pPrev);
}

void CTeldViewGLView::OnUpdateViewSelectPrevious(CCmdUI& ui)
{
    const CSceneObject* pCurrent = m_pDocument->m_pCurrentObject;
    ui.Enable(pCurrent != nullptr && pCurrent->m_pPrev != nullptr);
}

void CTeldViewGLView::OnViewObjectInfo()
{
    CObjectInfoDlg dialog(m_pDocument->m_pCurrentObject, this);
    dialog.SetUiServices(&Ui());
    // What the dialog shows holds still while it is open.
    CTimerPause pause(*this);
    dialog.exec();
}

void CTeldViewGLView::OnUpdateViewObjectInfo(CCmdUI& ui)
{
    ui.Enable(m_pDocument->m_pCurrentObject != nullptr);
}

void CTeldViewGLView::OnToolsTransformMesh()
{
    CMesh* pMesh = CurrentMesh();
    // The dialog refuses a transformation that would make the mesh's numbers infinite, so that
    // what is applied can still be drawn and saved.
    CTransformDlg dialog(pMesh, this);
    dialog.SetUiServices(&Ui());
    if (pMesh == nullptr || dialog.exec() != QDialog::Accepted)
        return;
    // The levels are made from the positions that change now.
    ForgetReduction(*pMesh);
    pMesh->Transform(CVector3(dialog.m_d00, dialog.m_d01, dialog.m_d02),
                     CVector3(dialog.m_d10, dialog.m_d11, dialog.m_d12),
                     CVector3(dialog.m_d20, dialog.m_d21, dialog.m_d22));
    // Any non-zero component counts: the sum of squares of a tiny offset would be 0.
    const CVector3 offset(dialog.m_dTx, dialog.m_dTy, dialog.m_dTz);
    if (offset.x != 0.0 || offset.y != 0.0 || offset.z != 0.0)
        pMesh->Translate(offset);
    // So that Default View fits the mesh as it is now.
    m_pDocument->UpdateSceneBounds();
    BuildMeshList(*pMesh);
    StartReductions();
    RefreshCameraView();
}

void CTeldViewGLView::OnToolsInvertMesh()
{
    if (CMesh* pMesh = CurrentMesh())
    {
        ForgetReduction(*pMesh);
        pMesh->Invert();
        BuildMeshList(*pMesh);
        StartReductions();
    }
    SetupView();
    update();
}

void CTeldViewGLView::OnUpdateMeshTool(CCmdUI& ui)
{
    ui.Enable(CurrentMesh() != nullptr);
}
