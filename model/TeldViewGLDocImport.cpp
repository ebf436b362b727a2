// Imports into the document: a model file read into a mesh of its own, then adopted; and the
// files of the scene's meshes read again.
#include <memory>
#include <string>
#include <vector>

#include "formats/stl/StlFormat.h"
#include "model/Mesh.h"
#include "model/SceneGraphics.h"
#include "model/TeldViewGLDoc.h"

bool CTeldViewGLDoc::ImportSTL(const std::string& strPath, int nMode)
{
    if (nMode != STL_BINARY && nMode != STL_ASCII && nMode != STL_BY_CONTENT)
        return false;
    // The file is read into a mesh of its own: a file that cannot be read, or memory that runs
    // out, leaves the scene as it was.
    std::unique_ptr<CMesh> pMesh = std::make_unique<CMesh>();
    if (!pMesh->ReadSTL(strPath, nMode) || !AdoptImportedMesh(pMesh.get()))
        return false;
    pMesh.release(); // the document's now
    return true;
}

bool CTeldViewGLDoc::ReloadMeshes(const std::vector<CMesh*>& targets,
                                  std::vector<std::unique_ptr<CMesh>>& reads)
{
    if (targets.size() != reads.size())
        return false;
    for (size_t i = 0; i < targets.size(); ++i)
        if (targets[i] == nullptr || !IsUnlinkedLoadedMesh(reads[i].get()))
            return false;
    for (size_t i = 0; i < targets.size(); ++i)
    {
        targets[i]->TakeReloadedGeometry(*reads[i]);
        if (m_pGraphics != nullptr)
            m_pGraphics->MeshEntered(*targets[i]);
    }
    UpdateSceneBounds();
    return true;
}
