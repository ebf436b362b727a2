#pragma once

#include <GL/glu.h>

// The one GLU tessellator, shared by every mesh's display-list build. It exists while at least
// one document exists.
extern GLUtesselator* g_pTessellator;

// Tessellator callbacks. Vertex callbacks receive a vertex record; TessBeginNormal receives the
// face normal passed as polygon data.
void TessBegin(GLenum nType);
void TessBeginNormal(GLenum nType, void* pPolygonData);
void TessVertex(void* pRecord);
void TessVertexTex(void* pRecord);
void TessVertexNormal(void* pRecord);
void TessVertexNormalColor(void* pRecord);
void TessVertexNormalTex(void* pRecord);
void TessVertexNormalTexColor(void* pRecord);
