// Placeholder until display lists land.
#include "scene/Mesh.h"
#include "scene/Tessellator.h"

GLUtesselator* g_pTessellator = nullptr;

void CMesh::SetTessCallbacks() {}

uint32_t CMesh::BuildDisplayList()
{
    return m_nDisplayList;
}
