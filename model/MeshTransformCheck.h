#pragma once

#include "geometry/Vector3.h"

class CMesh;

// Whether CMesh::Transform by the rows r0, r1, r2, then CMesh::Translate by vOffset (when any
// of its components is not 0), would leave every number of the mesh finite: the positions, the
// bounds' centre and extent, and the regenerated normals. The mesh is not changed. A result that
// is not finite could be neither drawn nor saved, so the transform is refused instead.
bool TransformKeepsMeshFinite(const CMesh& mesh, const CVector3& r0, const CVector3& r1, const CVector3& r2,
                              const CVector3& vOffset);
