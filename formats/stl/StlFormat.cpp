// STL in the document: CTeldViewGLDoc::ImportSTL and the STL modes of ExportScene.
#include "formats/stl/StlFormat.h"

#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "formats/ByteOutput.h"
#include "formats/FileKind.h"
#include "formats/NumberFormat.h"
#include "model/Mesh.h"
#include "model/SceneGraphics.h"
#include "model/TeldViewGLDoc.h"
#include "platform/FileName.h"
#include "platform/SafeFileWriter.h"

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

bool CTeldViewGLDoc::AdoptImportedMesh(CMesh* pMesh)
{
    if (!IsUnlinkedLoadedMesh(pMesh))
        return false;
    // Replace mode reuses its one mesh, scene mode appends, as PrepareImportMesh sets them up.
    CMesh* pTarget = TakeIntoScene(pMesh, m_bScene);
    pTarget->SetFillColor(static_cast<int32_t>(m_crMeshFill));
    LinkMesh(pTarget, m_bScene);
    m_bHasMesh = true;
    UpdateSceneBounds();
    if (m_pGraphics != nullptr)
        m_pGraphics->MeshEntered(*pTarget);
    // The mesh shown is no longer the document's file: Save must ask for a name rather than
    // write an OFF file over the one opened before.
    if (!m_bScene)
        SetUntitled(pTarget->m_strName);
    return true;
}

bool CTeldViewGLDoc::ExportScene(const std::string& strPath, int nMode, std::string* pstrProblem)
{
    switch (nMode)
    {
    case EXPORT_BINARY_STL:
    case EXPORT_ASCII_STL:
        return ExportSTL(strPath, nMode, pstrProblem);
    case EXPORT_POINT_CLOUD:
        return ExportPointCloud(strPath, pstrProblem);
    default:
        return false;
    }
}

namespace
{
void AppendFixedTriple(std::string& text, const char* pszPrefix, double a, double b, double c)
{
    text += pszPrefix;
    NumberFormat::AppendFixed(text, a);
    text += ' ';
    NumberFormat::AppendFixed(text, b);
    text += ' ';
    NumberFormat::AppendFixed(text, c);
    text += '\n';
}
} // namespace

bool CTeldViewGLDoc::ExportSTL(const std::string& strPath, int nMode, std::string* pstrProblem)
{
    // STL holds triangles only; a face of any other size refuses the whole scene before a file
    // is created (a shorter face would have no third vertex to write).
    uint64_t nFaces = 0;
    for (CSceneObject* pObject = m_pObjectList; pObject != nullptr; pObject = pObject->m_pNext)
    {
        if (pObject->GetType() != OBJECT_MESH)
            continue;
        const CMesh* pMesh = static_cast<const CMesh*>(pObject);
        for (int32_t f = 0; f < pMesh->m_nFaces; ++f)
            if (pMesh->m_pFaceSizes[f] != 3 || pMesh->m_ppFaces[f] == nullptr)
            {
                if (pstrProblem != nullptr)
                    *pstrProblem = pMesh->m_strName + " has a face of " +
                                   std::to_string(pMesh->m_pFaceSizes[f]) +
                                   " vertices; STL holds triangles only";
                return false;
            }
        nFaces += static_cast<uint64_t>(pMesh->m_nFaces);
    }
    const bool bBinary = nMode == EXPORT_BINARY_STL;
    if (bBinary && nFaces > std::numeric_limits<uint32_t>::max())
    {
        if (pstrProblem != nullptr)
            *pstrProblem = "more triangles than binary STL can count";
        return false;
    }

    CSafeFileWriter file(strPath);
    if (!file.IsOpen())
        return WriteFailed(file, strPath, pstrProblem);
    const std::string strName = FileNameOfPath(strPath);
    {
        CByteOutput out(file.Stream());
        std::string& buffer = out.Buffer();
        if (bBinary)
        {
            char header[STL_HEADER_SIZE + 4];
            std::memset(header, ' ', STL_HEADER_SIZE);
            static constexpr char TITLE[] = "Binary STL file created by TeldView.";
            std::memcpy(header, TITLE, sizeof TITLE); // with its terminating zero byte
            CByteOutput::StoreUInt32(header + STL_HEADER_SIZE, static_cast<uint32_t>(nFaces));
            out.Append(header, sizeof header);
        }
        else
            buffer += "solid " + strName + " - Created by TeldView\n";

        for (CSceneObject* pObject = m_pObjectList; pObject != nullptr; pObject = pObject->m_pNext)
        {
            if (pObject->GetType() != OBJECT_MESH)
                continue;
            CMesh* pMesh = static_cast<CMesh*>(pObject);
            pMesh->UpdateAxes();
            for (int32_t f = 0; f < pMesh->m_nFaces; ++f)
            {
                // Normals stay in the mesh's own frame; vertices are placed in the scene.
                static constexpr double ZERO[3] = {0.0, 0.0, 0.0};
                const double* pNormal =
                    pMesh->m_ppFaceNormals[f] != nullptr ? pMesh->m_ppFaceNormals[f] : ZERO;
                const int32_t* pFace = pMesh->m_ppFaces[f];
                float vertices[9];
                for (int i = 0; i < 3; ++i)
                    pMesh->GetWorldVertex(pFace[i]).ToFloatArray(vertices + 3 * i);
                float normal[3];
                CVector3(pNormal).ToFloatArray(normal);
                // A coordinate beyond the float range would be written as infinity, which no
                // reader takes back: the export fails and the file is not put in place.
                if (!NumberFormat::AllFinite(vertices, 9) || !NumberFormat::AllFinite(normal, 3))
                    return BeyondFloats(*pMesh, pstrProblem);
                if (bBinary)
                {
                    char record[STL_FACET_SIZE];
                    CByteOutput::StoreFloats(record, normal, 3);
                    CByteOutput::StoreFloats(record + 12, vertices, 9);
                    record[48] = record[49] = 0;
                    out.Append(record, sizeof record);
                }
                else
                {
                    AppendFixedTriple(buffer, "  facet normal ", pNormal[0], pNormal[1], pNormal[2]);
                    buffer += "    outer loop\n";
                    for (int i = 0; i < 3; ++i)
                        AppendFixedTriple(buffer, "      vertex ", vertices[3 * i], vertices[3 * i + 1],
                                          vertices[3 * i + 2]);
                    buffer += "    endloop\n"
                              "  endfacet\n";
                }
                out.FlushIfFull();
            }
        }
        if (!bBinary)
            buffer += "endsolid " + strName + "\n";
    }
    return file.Commit() || WriteFailed(file, strPath, pstrProblem);
}
