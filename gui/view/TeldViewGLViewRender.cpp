// Render settings of the current mesh (mode, shading, lighting, culling), the background colour,
// and the materials and light.
#include <GL/gl.h>

#include <utility>

#include "gui/dialogs/MaterialDlg.h"
#include "gui/view/GLContextGuard.h"
#include "gui/view/TeldViewGLView.h"
#include "gui/view/TimerPause.h"
#include "drawing/MeshGL.h"
#include "model/Mesh.h"
#include "model/TeldViewGLDoc.h"
#include "platform/CommandIds.h"
#include "platform/PackedColor.h"
#include "platform/UiServices.h"

namespace
{
constexpr std::pair<int, int32_t> RENDER_MODES[] = {{ID_VIEW_POINTS, RENDER_POINTS},
                                                    {ID_VIEW_WIREFRAME, RENDER_WIREFRAME},
                                                    {ID_VIEW_SHADED, RENDER_SHADED},
                                                    {ID_VIEW_HIDDEN_LINE, RENDER_HIDDEN_LINE}};
constexpr std::pair<int, int32_t> SHADINGS[] = {{ID_VIEW_FLAT_SHADING, SHADE_FLAT},
                                                {ID_VIEW_GOURAUD_SHADING, SHADE_GOURAUD}};
} // namespace

void CTeldViewGLView::RegisterRenderCommands()
{
    for (const auto& [nID, nMode] : RENDER_MODES)
    {
        OnCommand(nID, [this, nMode = nMode] { SetRenderMode(nMode); });
        OnUpdateCommand(nID, [this, nMode = nMode](CCmdUI& ui) { OnUpdateRenderMode(ui, nMode); });
    }
    for (const auto& [nID, nShading] : SHADINGS)
    {
        OnCommand(nID, [this, nShading = nShading] { SetShading(nShading); });
        OnUpdateCommand(nID, [this, nShading = nShading](CCmdUI& ui) { OnUpdateShading(ui, nShading); });
    }
    OnCommand(ID_TOOLS_LIGHTING, [this] { OnToolsLighting(); });
    OnUpdateCommand(ID_TOOLS_LIGHTING, [this](CCmdUI& ui) { OnUpdateToolsLighting(ui); });
    OnCommand(ID_TOOLS_CULLING, [this] { OnToolsCulling(); });
    OnUpdateCommand(ID_TOOLS_CULLING, [this](CCmdUI& ui) { OnUpdateToolsCulling(ui); });
    // Always enabled, with or without a mesh.
    OnCommand(ID_TOOLS_BACKGROUND_COLOR, [this] { OnToolsBackgroundColor(); });
    OnCommand(ID_TOOLS_MATERIALS, [this] { OnToolsMaterials(); });
}

CMesh* CTeldViewGLView::CurrentMesh() const
{
    CSceneObject* pObject = m_pDocument->m_pCurrentObject;
    return pObject != nullptr && pObject->GetType() == OBJECT_MESH ? static_cast<CMesh*>(pObject) : nullptr;
}

void CTeldViewGLView::BuildMeshList(CMesh& mesh)
{
    CGLContextGuard guard(*this);
    if (guard.IsCurrent())
        CMeshGL::Build(mesh);
}

void CTeldViewGLView::RebuildMesh(CMesh& mesh)
{
    BuildMeshList(mesh);
    SetupView();
    update();
}

void CTeldViewGLView::SetCurrentColor(const float pfColor[3])
{
    CGLContextGuard guard(*this);
    if (guard.IsCurrent())
        glColor3fv(pfColor);
}

void CTeldViewGLView::SetRenderMode(int32_t nMode)
{
    CMesh* pMesh = CurrentMesh();
    if (pMesh == nullptr || pMesh->m_nRenderMode == nMode)
        return;
    pMesh->m_nRenderMode = nMode;
    RebuildMesh(*pMesh);
}

void CTeldViewGLView::SetShading(int32_t nShading)
{
    CMesh* pMesh = CurrentMesh();
    if (pMesh == nullptr || pMesh->m_nShading == nShading)
        return;
    pMesh->m_nShading = nShading;
    if (nShading == SHADE_FLAT)
    {
        ApplyMaterials();
        SetCurrentColor(m_fOuterDiffuse);
    }
    RebuildMesh(*pMesh);
}

void CTeldViewGLView::OnToolsLighting()
{
    CMesh* pMesh = CurrentMesh();
    if (pMesh == nullptr)
        return;
    SetCurrentColor(m_fOuterDiffuse);
    pMesh->m_bLighting = !pMesh->m_bLighting;
    RebuildMesh(*pMesh);
}

void CTeldViewGLView::OnToolsCulling()
{
    CMesh* pMesh = CurrentMesh();
    if (pMesh == nullptr)
        return;
    pMesh->m_bCulling = !pMesh->m_bCulling;
    RebuildMesh(*pMesh);
}

void CTeldViewGLView::OnUpdateRenderMode(CCmdUI& ui, int32_t nMode)
{
    const CMesh* pMesh = CurrentMesh();
    ui.Enable(pMesh != nullptr);
    ui.SetCheck(pMesh != nullptr && pMesh->m_nRenderMode == nMode);
}

void CTeldViewGLView::OnUpdateShading(CCmdUI& ui, int32_t nShading)
{
    const CMesh* pMesh = CurrentMesh();
    ui.Enable(pMesh != nullptr);
    ui.SetCheck(pMesh != nullptr && pMesh->m_nShading == nShading);
}

void CTeldViewGLView::OnUpdateToolsLighting(CCmdUI& ui)
{
    const CMesh* pMesh = CurrentMesh();
    ui.Enable(pMesh != nullptr);
    ui.SetCheck(pMesh != nullptr && pMesh->m_bLighting);
}

void CTeldViewGLView::OnUpdateToolsCulling(CCmdUI& ui)
{
    const CMesh* pMesh = CurrentMesh();
    ui.Enable(pMesh != nullptr);
    ui.SetCheck(pMesh != nullptr && pMesh->m_bCulling);
}

void CTeldViewGLView::OnToolsBackgroundColor()
{
    uint32_t crColor = m_crBackground;
    if (!Ui().ChooseColor(crColor, nullptr))
        return;
    m_crBackground = crColor;
    // Meshes loaded later take it too.
    m_pDocument->m_crMeshFill = crColor;
    CGLContextGuard guard(*this);
    if (guard.IsCurrent())
    {
        float fColor[3];
        PackedColor::ToFloats(crColor, fColor);
        glClearColor(fColor[0], fColor[1], fColor[2], 1.0f);
    }
    // Hidden-line faces are filled in the background colour.
    for (CSceneObject* pObject = m_pDocument->m_pObjectList; pObject != nullptr; pObject = pObject->m_pNext)
    {
        if (pObject->GetType() != OBJECT_MESH)
            continue;
        auto* pMesh = static_cast<CMesh*>(pObject);
        pMesh->SetFillColor(static_cast<int32_t>(crColor));
        if (pMesh->m_nRenderMode == RENDER_HIDDEN_LINE && guard.IsCurrent())
            CMeshGL::Build(*pMesh);
    }
    update();
}

void CTeldViewGLView::OnToolsMaterials()
{
    CMaterialDlg dialog(this);
    dialog.SetUiServices(&Ui());
    // Each colour of the view with its byte form in the dialog.
    const std::pair<float*, uint32_t*> colors[] = {
        {m_fOuterAmbient, &dialog.m_crOuterAmbient},   {m_fOuterDiffuse, &dialog.m_crOuterDiffuse},
        {m_fOuterSpecular, &dialog.m_crOuterSpecular}, {m_fInnerAmbient, &dialog.m_crInnerAmbient},
        {m_fInnerDiffuse, &dialog.m_crInnerDiffuse},   {m_fInnerSpecular, &dialog.m_crInnerSpecular},
        {m_fLightAmbient, &dialog.m_crLightAmbient},   {m_fLightDiffuse, &dialog.m_crLightDiffuse},
        {m_fLightSpecular, &dialog.m_crLightSpecular}};
    for (const auto& [pfColor, pcrColor] : colors)
        *pcrColor = PackedColor::FromFloats(pfColor);
    dialog.m_fOuterShininess = m_fOuterShininess;
    dialog.m_fInnerShininess = m_fInnerShininess;
    dialog.m_fLightX = m_fLightPosition[0];
    dialog.m_fLightY = m_fLightPosition[1];
    dialog.m_fLightZ = m_fLightPosition[2];
    dialog.m_nLightType = m_fLightPosition[3] == 0.0f ? 1 : 0;
    dialog.m_nRelativeTo = m_bLightRelToView ? 0 : 1;

    // No timer changes the scene while the dialog is open; whichever ran resumes afterwards.
    CTimerPause pause(*this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    for (const auto& [pfColor, pcrColor] : colors)
        PackedColor::ToFloats(*pcrColor, pfColor);
    m_fOuterShininess = dialog.m_fOuterShininess;
    m_fInnerShininess = dialog.m_fInnerShininess;
    m_fLightPosition[0] = dialog.m_fLightX;
    m_fLightPosition[1] = dialog.m_fLightY;
    m_fLightPosition[2] = dialog.m_fLightZ;
    m_fLightPosition[3] = dialog.m_nLightType == 1 ? 0.0f : 1.0f;
    m_bLightRelToView = dialog.m_nRelativeTo == 0;
    ApplyMaterials();
    ApplyLight();
    SetupView();
    update();
}
