#include "batch/OffscreenScene.h"

#include <cstdio>
#include <memory>

#include <GL/gl.h>

#include "batch/BatchInputs.h"
#include "drawing/CoverageAlpha.h"
#include "drawing/FrameCapture.h"
#include "drawing/MeshGL.h"
#include "drawing/SceneRenderer.h"
#include "formats/ModelFormats.h"
#include "model/Camera.h"
#include "model/Mesh.h"
#include "model/MeshPreloader.h"

namespace
{
// Every mesh in the look's render mode and shading, its list built again where one changed.
void ApplyLook(const SSnapshotLook& look, const CViewSettings& settings, CTeldViewGLDoc& doc)
{
    if (look.bFlat)
        glColor3fv(settings.m_fOuterDiffuse); // what flat lists draw unlit meshes in, as the view sets it
    for (CSceneObject* pObject = doc.m_pObjectList; pObject != nullptr; pObject = pObject->m_pNext)
    {
        if (pObject->GetType() != OBJECT_MESH)
            continue;
        auto& mesh = *static_cast<CMesh*>(pObject);
        const int32_t nMode = look.nRenderMode >= 0 ? look.nRenderMode : mesh.m_nRenderMode;
        const int32_t nShading = look.bFlat ? SHADE_FLAT : mesh.m_nShading;
        if (nMode == mesh.m_nRenderMode && nShading == mesh.m_nShading)
            continue;
        mesh.m_nRenderMode = nMode;
        mesh.m_nShading = nShading;
        CMeshGL::Build(mesh);
    }
}
} // namespace

bool COffscreenScene::OutputIsAnInput(const std::string& strPath) const
{
    const std::string strInput = InputAtOutput(strPath, m_files, &m_doc);
    if (!strInput.empty())
        std::fprintf(stderr, "Error writing file.\n%s: the same file as the input %s\n", strPath.c_str(),
                     strInput.c_str());
    return !strInput.empty();
}

bool COffscreenScene::Load(const std::string& strOut, int nWidth, int nHeight,
                           const std::vector<std::string>& files, const SSnapshotLook& look)
{
    m_files = files;
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    if (OutputIsAnInput(strOut))
        return false;
    // One mesh file is read on a worker while the context starts, as the window reads it while
    // it opens.
    std::unique_ptr<CMeshPreloader> pPreload;
    bool bReadable = false;
    const SModelFormat* pFormat = files.size() == 1 ? FindModelFormatOfFile(files[0], bReadable) : nullptr;
    if (pFormat != nullptr && pFormat->fnRead != nullptr)
        pPreload = std::make_unique<CMeshPreloader>(files[0], *pFormat);
    // The context comes before the meshes: loading compiles each mesh's display list into it.
    if (!m_context.Create(nWidth, nHeight))
    {
        std::fprintf(stderr, "Cannot draw the picture: %s\n", m_context.GetError().c_str());
        return false;
    }
    m_settings.m_bOrthographic = look.bOrthographic;
    if (look.bBackground)
        m_settings.m_crBackground = look.crBackground;
    SceneRenderer::SetBaselineState(m_settings, nWidth, nHeight);
    m_doc.m_pGraphics = &m_compiler;
    std::unique_ptr<CMesh> pMesh = pPreload ? pPreload->Take() : nullptr;
    if (pMesh &&
        (pFormat->bDocumentFile ? m_doc.AdoptMesh(pMesh.get(), false) : m_doc.AdoptImportedMesh(pMesh.get())))
        pMesh.release();
    // A file the worker could not read is read again here, which reports it.
    else if (!LoadBatchInputs(m_doc, files))
        return false;
    if (OutputIsAnInput(strOut))
        return false;
    ApplyLook(look, m_settings, m_doc);
    // As the window does after loading a scene: the fit first, then the pose (DrawAt).
    SceneRenderer::FitStandardView(m_settings, m_doc, look.nSide);
    return true;
}

bool COffscreenScene::DrawAt(int32_t nTime, CDib& dib, bool bTransparent, const std::string& strOut)
{
    m_doc.EvaluateScene(nTime);
    SceneRenderer::SetupView(m_settings, *m_doc.m_pCamera, m_nWidth, m_nHeight);
    SceneRenderer::DrawFrame(m_doc);
    if (bTransparent)
        WriteCoverageAlpha();
    if (!dib.Create(m_nWidth, m_nHeight, bTransparent ? 32 : 24) || !CaptureFramebuffer(dib))
    {
        std::fprintf(stderr, "The picture of the view could not be captured. %s\n", strOut.c_str());
        return false;
    }
    return true;
}
