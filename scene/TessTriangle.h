#pragma once

// How the GLU tessellator, with its default properties (odd winding, no boundary-only output, no
// normal given) and no combine, edge-flag or mesh callbacks, renders a polygon of three vertices:
// 1 for one GL_TRIANGLES primitive with the vertices in the given order, -1 for the order
// p0, p2, p1, and 0 for no output at all. It decides with the tessellator's own arithmetic (the
// coordinate clamp of gluTessVertex, the fan normal and its orientation check), so a caller can
// make the same callback calls without going through the tessellator.
int TessTriangleOrder(const double* p0, const double* p1, const double* p2);
