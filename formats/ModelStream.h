#pragma once

#include <cstdint>

class CByteWindow;
class CTriangleSink;

// Reading model files too big to hold whole, for a picture of them: the triangles go to a sink
// as they are read, and only what the picture cannot do without is kept. Each returns false on
// the failures the full readers report for the same file (CMesh::ReadOFF, CMesh::ReadSTL), so a
// file that cannot be opened in the window gives no picture either; the sink may then have been
// given part of the model. Running out of memory is a failure too.

// OFF, in the full reader's dialects: the vertices are kept (as floats, with their colours); every
// face is read and sent, polygons as fans from their first vertex. Texture coordinates and the
// file's normals are read and dropped. A vertex coordinate too large for a float is a failure, and
// so is a token longer than CTokenStream allows. The text ends at a NUL byte. A file with colours
// is read twice (once for the layout of its vertex lines), so its bytes must rewind.
bool StreamOFF(CByteWindow& bytes, CTriangleSink& sink);

// Binary STL of nSize bytes: one pass for the box, one for the vertices to fit, one sending every
// facet (rewinding in between). Nothing is kept.
bool StreamBinarySTL(CByteWindow& bytes, uint64_t nSize, CTriangleSink& sink);

// ASCII STL of nSize bytes: at most nMaxFacets facets, spread evenly through the file: the
// facet that starts first at or after each of nMaxFacets evenly spaced offsets, so that a file of
// fewer facets is read whole. The sample is kept (36 bytes a facet) until its box is known, then
// sent. The first line must contain "solid" (any case) and every facet read must be whole, with
// finite vertices; lines between facets that do not start with "facet" are skipped. Only the
// facets read are checked.
bool SampleAsciiSTL(CByteWindow& bytes, uint64_t nSize, int64_t nMaxFacets, CTriangleSink& sink);
