// The point cloud mode of CTeldViewGLDoc::ExportScene: every vertex of every mesh with its normal.
#include <cstdint>
#include <limits>

#include "formats/ByteOutput.h"
#include "formats/NumberFormat.h"
#include "model/Mesh.h"
#include "model/TeldViewGLDoc.h"
#include "platform/SafeFileWriter.h"

bool CTeldViewGLDoc::ExportPointCloud(const std::string& strPath, std::string* pstrProblem)
{
    int64_t nPoints = 0;
    for (CSceneObject* pObject = m_pObjectList; pObject != nullptr; pObject = pObject->m_pNext)
        if (pObject->GetType() == OBJECT_MESH)
            nPoints += static_cast<const CMesh*>(pObject)->m_nVertices;
    // The count field is a signed 32-bit number.
    if (nPoints > std::numeric_limits<int32_t>::max())
    {
        if (pstrProblem != nullptr)
            *pstrProblem = "more points than a point cloud file can count";
        return false;
    }

    CSafeFileWriter file(strPath);
    if (!file.IsOpen())
        return WriteFailed(file, strPath, pstrProblem);
    {
        CByteOutput out(file.Stream());
        char header[28];
        CByteOutput::StoreUInt32(header, static_cast<uint32_t>(nPoints));
        // The document keeps min and max per axis; the file wants all minima, then all maxima.
        // They are the meshes' own boxes: positions and orientations are not applied.
        const float bounds[6] = {static_cast<float>(m_dSceneBounds[BOUNDS_MIN_X]),
                                 static_cast<float>(m_dSceneBounds[BOUNDS_MIN_Y]),
                                 static_cast<float>(m_dSceneBounds[BOUNDS_MIN_Z]),
                                 static_cast<float>(m_dSceneBounds[BOUNDS_MAX_X]),
                                 static_cast<float>(m_dSceneBounds[BOUNDS_MAX_Y]),
                                 static_cast<float>(m_dSceneBounds[BOUNDS_MAX_Z])};
        // Only a scene without meshes keeps the infinite bounds of an empty box.
        if (nPoints > 0 && !NumberFormat::AllFinite(bounds, 6))
        {
            if (pstrProblem != nullptr)
                *pstrProblem = "the scene's bounds lie beyond the range of 32-bit floats";
            return false;
        }
        CByteOutput::StoreFloats(header + 4, bounds, 6);
        out.Append(header, sizeof header);

        for (CSceneObject* pObject = m_pObjectList; pObject != nullptr; pObject = pObject->m_pNext)
        {
            if (pObject->GetType() != OBJECT_MESH)
                continue;
            CMesh* pMesh = static_cast<CMesh*>(pObject);
            pMesh->UpdateAxes();
            for (int32_t i = 0; i < pMesh->m_nVertices; ++i)
            {
                // Positions are placed in the scene; normals stay as stored, in the mesh's frame.
                float values[6];
                pMesh->GetWorldVertex(i).ToFloatArray(values);
                CVector3(pMesh->m_ppVertices[i] + SLOT_NORMAL).ToFloatArray(values + 3);
                // A value beyond the float range would be written as infinity.
                if (!NumberFormat::AllFinite(values, 6))
                    return BeyondFloats(*pMesh, pstrProblem);
                char record[24];
                CByteOutput::StoreFloats(record, values, 6);
                out.Append(record, sizeof record);
                out.FlushIfFull();
            }
        }
    }
    return file.Commit() || WriteFailed(file, strPath, pstrProblem);
}
