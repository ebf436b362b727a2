#include "batch/BatchSnapshot.h"

#include <cstdio>
#include <memory>

#include <GL/gl.h>

#include "batch/BatchInputs.h"
#include "drawing/CoverageAlpha.h"
#include "drawing/FrameCapture.h"
#include "drawing/ListCompiler.h"
#include "drawing/MeshGL.h"
#include "drawing/OffscreenContext.h"
#include "drawing/SceneRenderer.h"
#include "drawing/ViewSettings.h"
#include "formats/ModelFormats.h"
#include "model/Camera.h"
#include "model/Mesh.h"
#include "model/MeshPreloader.h"
#include "model/TeldViewGLDoc.h"

bool WriteSnapshotPicture(int nKind, const std::string& strPath, const CDib& dib)
{
    const CImageWriteResult result = WritePictureFile(nKind, strPath, dib);
    if (result.m_bOk)
        return true;
    if (!result.m_strCaption.empty())
        std::fprintf(stderr, "%s\n", result.m_strCaption.c_str());
    std::fprintf(stderr, "%s\n", result.m_strText.c_str());
    return false;
}

namespace
{
// True, after the message, when strOut is a file that was read.
bool OutputIsAnInput(const std::string& strOut, const std::vector<std::string>& files,
                     const CTeldViewGLDoc* pDoc)
{
    const std::string strInput = InputAtOutput(strOut, files, pDoc);
    if (!strInput.empty())
        std::fprintf(stderr, "Error writing file.\n%s: the same file as the input %s\n", strOut.c_str(),
                     strInput.c_str());
    return !strInput.empty();
}
} // namespace

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

int RunSnapshot(const std::string& strOut, int nWidth, int nHeight, const std::vector<std::string>& files,
                bool bTransparent, const SSnapshotLook& look)
{
    if (OutputIsAnInput(strOut, files, nullptr))
        return 1;
    // One mesh file is read on a worker while the context starts, as the window reads it while
    // it opens.
    std::unique_ptr<CMeshPreloader> pPreload;
    bool bReadable = false;
    const SModelFormat* pFormat = files.size() == 1 ? FindModelFormatOfFile(files[0], bReadable) : nullptr;
    if (pFormat != nullptr && pFormat->fnRead != nullptr)
        pPreload = std::make_unique<CMeshPreloader>(files[0], *pFormat);
    // The context comes before the document: loading compiles each mesh's display list into it.
    COffscreenContext context;
    if (!context.Create(nWidth, nHeight))
    {
        std::fprintf(stderr, "Cannot draw the picture: %s\n", context.GetError().c_str());
        return 1;
    }
    CViewSettings settings;
    settings.m_bOrthographic = look.bOrthographic;
    if (look.bBackground)
        settings.m_crBackground = look.crBackground;
    SceneRenderer::SetBaselineState(settings, nWidth, nHeight);
    // Declared after the context, so that it deletes its lists while the context still lives.
    CListCompiler compiler;
    CTeldViewGLDoc doc;
    doc.m_pGraphics = &compiler;
    std::unique_ptr<CMesh> pMesh = pPreload ? pPreload->Take() : nullptr;
    if (pMesh &&
        (pFormat->bDocumentFile ? doc.AdoptMesh(pMesh.get(), false) : doc.AdoptImportedMesh(pMesh.get())))
        pMesh.release();
    // A file the worker could not read is read again here, which reports it.
    else if (!LoadBatchInputs(doc, files))
        return 1;
    if (OutputIsAnInput(strOut, files, &doc))
        return 1;
    ApplyLook(look, settings, doc);
    // As the window does after loading a scene: the fit first, then the pose at time 0.
    SceneRenderer::FitStandardView(settings, doc, look.nSide);
    doc.EvaluateScene(0);
    SceneRenderer::SetupView(settings, *doc.m_pCamera, nWidth, nHeight);
    SceneRenderer::DrawFrame(doc);
    if (bTransparent)
        WriteCoverageAlpha();

    CDib dib;
    if (!dib.Create(nWidth, nHeight, bTransparent ? 32 : 24) || !CaptureFramebuffer(dib))
    {
        std::fprintf(stderr, "The picture of the view could not be captured. %s\n", strOut.c_str());
        return 1;
    }
    return WriteSnapshotPicture(SnapshotKind(strOut), strOut, dib) ? 0 : 1;
}
