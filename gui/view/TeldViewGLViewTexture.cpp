// Textures of the current mesh: a 24-bit bitmap file or the generated checkerboard, and the
// switch that maps it.
#include "drawing/MeshTexture.h"
#include "formats/bmp/BitmapFile.h"
#include "gui/view/GLContextGuard.h"
#include "gui/view/TeldViewGLView.h"
#include "drawing/MeshGL.h"
#include "model/Mesh.h"
#include "model/TeldViewGLDoc.h"
#include "platform/CommandIds.h"
#include "platform/UiServices.h"

namespace
{
const char* const BITMAP_FILTER = "Windows Bitmaps (*.bmp)|*.bmp|All Files (*.*)|*.*||";
const char* const BITMAP_REFUSED =
    "Unable to load bitmap.\nMake sure your bitmap is a 24-bpp bitmap no larger than 1024 x 1024";
const char* const CHECKERBOARD_FAILED = "Unable to generate the checkerboard texture.";
} // namespace

void CTeldViewGLView::RegisterTextureCommands()
{
    OnCommand(ID_VIEW_TEXTURE_MAP, [this] { OnViewTextureMap(); });
    OnUpdateCommand(ID_VIEW_TEXTURE_MAP, [this](CCmdUI& ui) { OnUpdateViewTextureMap(ui); });
    OnCommand(ID_TEXTURE_LOAD, [this] { OnTextureLoad(); });
    OnUpdateCommand(ID_TEXTURE_LOAD, [this](CCmdUI& ui) { OnUpdateTextureCommand(ui); });
    OnCommand(ID_TEXTURE_CHECKERBOARD, [this] { OnTextureCheckerboard(); });
    OnUpdateCommand(ID_TEXTURE_CHECKERBOARD, [this](CCmdUI& ui) { OnUpdateTextureCommand(ui); });
}

CMesh* CTeldViewGLView::CurrentTexturableMesh() const
{
    CSceneObject* pObject = m_pDocument->m_pCurrentObject;
    if (pObject == nullptr || pObject->GetType() != OBJECT_MESH)
        return nullptr;
    CMesh* pMesh = static_cast<CMesh*>(pObject);
    return pMesh->m_bHasTexCoords ? pMesh : nullptr;
}

void CTeldViewGLView::OnUpdateTextureCommand(CCmdUI& ui)
{
    ui.Enable(CurrentTexturableMesh() != nullptr);
}

void CTeldViewGLView::OnUpdateViewTextureMap(CCmdUI& ui)
{
    const CMesh* pMesh = CurrentTexturableMesh();
    const bool bEnabled = pMesh != nullptr && CMeshGL::TextureOf(*pMesh) != 0;
    ui.Enable(bEnabled);
    ui.SetCheck(bEnabled && pMesh->m_bTextureOn);
}

void CTeldViewGLView::OnViewTextureMap()
{
    CMesh* pMesh = CurrentTexturableMesh();
    if (pMesh == nullptr || CMeshGL::TextureOf(*pMesh) == 0)
        return;
    pMesh->m_bTextureOn = !pMesh->m_bTextureOn;
    {
        CGLContextGuard guard(*this);
        if (guard.IsCurrent())
            CMeshGL::Build(*pMesh);
    }
    update();
}

bool CTeldViewGLView::ApplyTexture(CMesh& mesh, const CMeshTexture& texture)
{
    {
        CGLContextGuard guard(*this);
        if (!guard.IsCurrent() || !texture.ApplyTo(mesh))
            return false;
        // Otherwise the texture waits until Texture Map turns it on.
        if (!mesh.m_bTextureOn)
            return true;
        CMeshGL::Build(mesh);
    }
    update();
    return true;
}

void CTeldViewGLView::OnTextureLoad()
{
    std::string strPath;
    if (!Ui().RunFileDialog(SFileDialogRequest::Open("bmp", "teld0001", BITMAP_FILTER), strPath) ||
        strPath.empty())
        return;
    CMesh* pMesh = CurrentTexturableMesh();
    if (pMesh == nullptr)
        return;
    // Every refusal (unreadable, malformed, another depth, too large, or a texture that cannot
    // be built) gets the one message, and the mesh keeps the texture it had. A bitmap too large
    // is refused by its header, before its pixels are read.
    CBitmapFile bitmap;
    CMeshTexture texture;
    if (!bitmap.Read(strPath, CMeshTexture::MAX_BITMAP_SIZE) || !texture.TakeBitmap(bitmap) ||
        !ApplyTexture(*pMesh, texture))
        Ui().MessageBox(ReadFailureMessage(BITMAP_REFUSED, strPath), MB_OK);
}

void CTeldViewGLView::OnTextureCheckerboard()
{
    CMesh* pMesh = CurrentTexturableMesh();
    if (pMesh == nullptr)
        return;
    CMeshTexture texture;
    texture.MakeCheckerboard();
    if (!ApplyTexture(*pMesh, texture))
        Ui().MessageBox(CHECKERBOARD_FAILED, MB_OK);
}
