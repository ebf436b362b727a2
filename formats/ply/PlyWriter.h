#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "formats/MeshView.h"

// PLY as the program writes it: the meshes of a scene as one mesh in binary little-endian, their
// vertices placed in the scene and their faces at their sizes, indices offset by the vertices of
// the meshes before. Positions are floats; normals (as stored), texture coordinates (s t) and
// colours (bytes, round(c * 255)) are written when every mesh has them. Face sizes are bytes
// ("property list uchar int vertex_indices") unless a face has more than 255 corners: then the
// whole file counts them in ints ("property list int int vertex_indices").

// Why the meshes cannot be written as PLY, or empty: no vertices at all, a face of no corners
// (the reader refuses those), more vertices or corners than a mesh holds. Asked before a file is
// made.
std::string CheckPLY(const std::vector<SMeshView>& meshes);
// Writes them (after CheckPLY). False when the stream fails, and, with strProblem saying which
// mesh, for a number a 32-bit float cannot hold: the stream is failed then too, so that no file
// is made that the reader would refuse.
bool WritePLY(std::ostream& out, const std::vector<SMeshView>& meshes, std::string& strProblem);
