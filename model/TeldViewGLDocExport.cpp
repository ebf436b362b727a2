// Exports of the scene: every mesh, placed, as one OFF, STL or point-cloud file.
#include <string>
#include <utility>
#include <vector>

#include "formats/off/OffWriter.h"
#include "formats/pts/PointCloudWriter.h"
#include "formats/stl/StlWriter.h"
#include "model/Mesh.h"
#include "model/TeldViewGLDoc.h"
#include "platform/FileName.h"
#include "platform/SafeFileWriter.h"

bool CTeldViewGLDoc::ExportScene(const std::string& strPath, int nMode, std::string* pstrProblem)
{
    switch (nMode)
    {
    case EXPORT_BINARY_STL:
    case EXPORT_ASCII_STL:
        return ExportMeshes(strPath, pstrProblem,
                            [nMode, strName = FileNameOfPath(strPath)](std::ostream& out, const CTeldViewGLDoc&,
                                                                       const std::vector<SMeshView>& meshes,
                                                                       std::string& strProblem)
                            { return WriteSTL(out, meshes, nMode == EXPORT_BINARY_STL, strName, strProblem); },
                            [nMode](const std::vector<SMeshView>& meshes)
                            { return CheckSTL(meshes, nMode == EXPORT_BINARY_STL); });
    case EXPORT_POINT_CLOUD:
        return ExportMeshes(
            strPath, pstrProblem,
            [](std::ostream& out, const CTeldViewGLDoc& doc, const std::vector<SMeshView>& meshes,
               std::string& strProblem) { return WritePointCloud(out, meshes, doc.m_dSceneBounds, strProblem); },
            CheckPointCloud);
    default:
        return false;
    }
}

bool CTeldViewGLDoc::ExportSceneOFF(const std::string& strPath, std::string* pstrProblem)
{
    return ExportMeshes(strPath, pstrProblem,
                        [](std::ostream& out, const CTeldViewGLDoc&, const std::vector<SMeshView>& meshes,
                           std::string&) { return WriteSceneOFF(out, meshes); },
                        [](const std::vector<SMeshView>&) { return std::string(); });
}

std::vector<SMeshView> CTeldViewGLDoc::MeshViews() const
{
    std::vector<SMeshView> meshes;
    for (const CSceneObject* pObject = m_pObjectList; pObject != nullptr; pObject = pObject->m_pNext)
        if (pObject->GetType() == OBJECT_MESH)
            meshes.push_back(static_cast<const CMesh*>(pObject)->View());
    return meshes;
}

bool CTeldViewGLDoc::ExportMeshes(const std::string& strPath, std::string* pstrProblem, const FnWrite& fnWrite,
                                  const FnCheck& fnCheck) const
{
    const std::vector<SMeshView> meshes = MeshViews();
    // What the format cannot hold refuses the whole scene before a file is made.
    if (std::string strProblem = fnCheck(meshes); !strProblem.empty())
    {
        if (pstrProblem != nullptr)
            *pstrProblem = std::move(strProblem);
        return false;
    }
    CSafeFileWriter file(strPath);
    if (!file.IsOpen())
        return WriteFailed(file, strPath, pstrProblem);
    std::string strProblem;
    if (!fnWrite(file.Stream(), *this, meshes, strProblem) && !strProblem.empty())
    {
        // The file is not put in place.
        if (pstrProblem != nullptr)
            *pstrProblem = std::move(strProblem);
        return false;
    }
    return file.Commit() || WriteFailed(file, strPath, pstrProblem);
}
