// Exports of the scene: every mesh, placed, as one OFF, STL or point-cloud file.
#include <string>
#include <utility>
#include <vector>

#include "formats/ModelFormats.h"
#include "model/Mesh.h"
#include "model/TeldViewGLDoc.h"
#include "platform/FileName.h"
#include "platform/SafeFileWriter.h"

bool CTeldViewGLDoc::ExportScene(const std::string& strPath, int nMode, std::string* pstrProblem)
{
    const char* const pszFile = nMode == EXPORT_POINT_CLOUD ? "scene.pts" : "scene.stl";
    const SModelWriter* pWriter = WriterFor(pszFile, nMode == EXPORT_ASCII_STL ? "ascii" : nullptr);
    return pWriter != nullptr &&
           (nMode == EXPORT_BINARY_STL || nMode == EXPORT_ASCII_STL || nMode == EXPORT_POINT_CLOUD) &&
           ExportScene(strPath, *pWriter, false, pstrProblem);
}

bool CTeldViewGLDoc::ExportSceneOFF(const std::string& strPath, std::string* pstrProblem)
{
    const SModelWriter* pWriter = WriterFor("scene.off", nullptr);
    return pWriter != nullptr && ExportScene(strPath, *pWriter, false, pstrProblem);
}

bool CTeldViewGLDoc::ExportScene(const std::string& strPath, const SModelWriter& writer, bool bOneMesh,
                                 std::string* pstrProblem)
{
    const std::vector<SMeshView> meshes = MeshViews();
    // What the format cannot hold refuses the whole scene before a file is made.
    if (std::string strProblem = writer.fnCheck(meshes); !strProblem.empty())
    {
        if (pstrProblem != nullptr)
            *pstrProblem = std::move(strProblem);
        return false;
    }
    CSafeFileWriter file(strPath);
    if (!file.IsOpen())
        return WriteFailed(file, strPath, pstrProblem);
    const SSceneWrite scene{meshes, m_dSceneBounds, FileNameOfPath(strPath), bOneMesh};
    std::string strProblem;
    if (!writer.fnWrite(file.Stream(), scene, strProblem) && !strProblem.empty())
    {
        // The file is not put in place.
        if (pstrProblem != nullptr)
            *pstrProblem = std::move(strProblem);
        return false;
    }
    return file.Commit() || WriteFailed(file, strPath, pstrProblem);
}

std::vector<SMeshView> CTeldViewGLDoc::MeshViews() const
{
    std::vector<SMeshView> meshes;
    for (const CSceneObject* pObject = m_pObjectList; pObject != nullptr; pObject = pObject->m_pNext)
        if (pObject->GetType() == OBJECT_MESH)
            meshes.push_back(static_cast<const CMesh*>(pObject)->View());
    return meshes;
}
