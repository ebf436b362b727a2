#pragma once

#include <GL/glu.h>

// The one GLU tessellator of the drawing thread, shared by every mesh's display-list build (worker
// threads have their own, see NewRunTessellator); null when GLU gives none.
GLUtesselator* SharedTessellator();

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

// Whether display-list builds send the faces that the tessellator would draw as single fans
// straight to GL, gathered in long primitives, and the hidden-line fill colour once (the
// default). Switched off, every filled face goes through the tessellator in primitives of its
// own, each after its own fill colour: the reference that tests compare pixels against.
void SetTessShortcuts(bool bEnabled);
