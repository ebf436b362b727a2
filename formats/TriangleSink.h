#pragma once

#include <cstddef>

// Where a streamed model's triangles go (a picture being drawn), so that a model too big to hold
// whole can still be shown: first the box of every vertex to come, then, where the reader can
// give them cheaply, the vertices themselves, then the triangles one by one.
class CTriangleSink
{
public:
    virtual ~CTriangleSink() = default;

    // Called once, before any triangle. bColors: every triangle brings vertex colours. bSample:
    // the triangles are an even sample of the model's, each standing for those around it.
    virtual void Begin(const double pdMin[3], const double pdMax[3], bool bColors, bool bSample) = 0;
    // Vertices (three coordinates each), in any number of calls between Begin and the first
    // triangle: the picture is framed to fit them rather than their box.
    virtual void Fit(const float* pPositions, size_t nPoints) = 0;
    // Nine coordinates, and with colours nine red, green, blue values from 0 to 1 (else null).
    virtual void Triangle(const float* pPositions, const float* pColors) = 0;
};
