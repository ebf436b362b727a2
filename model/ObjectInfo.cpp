#include "model/ObjectInfo.h"

#include "formats/NumberFormat.h"
#include "model/Mesh.h"
#include "platform/FileName.h"

namespace
{
std::string Fixed3(double d)
{
    return NumberFormat::Fixed(d, 3);
}
} // namespace

std::vector<std::pair<std::string, std::string>> DescribeObject(const CSceneObject& object)
{
    const bool bMesh = object.GetType() == OBJECT_MESH;
    const CMesh* pMesh = bMesh ? static_cast<const CMesh*>(&object) : nullptr;
    auto count = [&](int32_t CMesh::*pMember) { return bMesh ? std::to_string(pMesh->*pMember) : "0"; };
    auto bound = [&](double d) { return bMesh ? Fixed3(d) : std::string("N/A"); };
    const CVector3& p = object.m_vPosition;
    const CQuaternion& q = object.m_qOrientation;
    return {
        {"Name:", object.m_strName},
        {"File:", bMesh ? FileNameOfPath(pMesh->m_strPath) : "N/A"},
        {"Number of Vertices:", count(&CMesh::m_nVertices)},
        {"Number of Faces:", count(&CMesh::m_nFaces)},
        {"Number of Edges:", count(&CMesh::m_nEdges)},
        {"Edges in Largest Face:", count(&CMesh::m_nLargestFace)},
        {"Normals:", bMesh ? (pMesh->m_bHasNormals ? "From File" : "Generated") : "N/A"},
        {"Min X:", bound(object.m_vBoundsMin.x)},
        {"Max X:", bound(object.m_vBoundsMax.x)},
        {"Min Y:", bound(object.m_vBoundsMin.y)},
        {"Max Y:", bound(object.m_vBoundsMax.y)},
        {"Min Z:", bound(object.m_vBoundsMin.z)},
        {"Max Z:", bound(object.m_vBoundsMax.z)},
        {"Current Position:", Fixed3(p.x) + " " + Fixed3(p.y) + " " + Fixed3(p.z)},
        {"Current Orientation:",
         Fixed3(q.w) + " " + Fixed3(q.v.x) + " " + Fixed3(q.v.y) + " " + Fixed3(q.v.z)},
    };
}
