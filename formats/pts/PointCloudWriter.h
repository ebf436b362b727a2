#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "formats/MeshView.h"

// Point clouds (.pts): the point count (signed 32-bit), the scene's box as 32-bit floats (the
// minima of x, y and z, then the maxima: the meshes' own boxes, placements not applied), then
// every vertex of every mesh, its position placed in the scene and its normal as stored, six
// 32-bit floats, all little-endian.

// Why the meshes cannot be written, or empty: more points than the count holds.
std::string CheckPointCloud(const std::vector<SMeshView>& meshes);
// Writes them; pdBounds in the document's order (min x, max x, min y, max y, min z, max z).
// False when the stream fails, and, with strProblem saying why, for a number a 32-bit float
// cannot hold (the stream is failed then too).
bool WritePointCloud(std::ostream& out, const std::vector<SMeshView>& meshes, const double pdBounds[6],
                     std::string& strProblem);
