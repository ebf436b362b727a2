#pragma once

#include <cstdint>

class CByteWindow;
class CTriangleSink;

// Streaming STL files too big to hold whole, for a picture of them: the triangles go to a sink as
// they are read, and only what the picture cannot do without is kept. Each returns false on the
// failures the full reader reports for the same file, so a file that cannot be opened in the window
// gives no picture either; the sink may then have been given part of the model. Running out of
// memory is a failure too.

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
