#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "formats/MeshView.h"

// OBJ as the program writes it: "# written by TeldViewGL", then the vertices of every mesh in
// order ("v x y z", placed in the scene, six decimals, with "r g b" after them where every mesh
// has colours), their normals as stored ("vn x y z") where every mesh has file normals, their
// texture coordinates ("vt u v") where every mesh has them, then each mesh's faces after an
// "o NAME" line, polygon sizes kept, each corner one index (from 1, counted on over the meshes)
// for its vertex and the fields written: "a/a/a", "a//a", "a/a" or "a". The whole file reads
// back as one mesh.

// Why the meshes cannot be written as OBJ, or empty: a face without vertices or with one that
// names no vertex of its mesh, more vertices or face corners than one mesh read back holds.
// Asked before a file is made.
std::string CheckOBJ(const std::vector<SMeshView>& meshes);
// Writes them (after CheckOBJ). False when the stream fails, and, with strProblem saying which
// mesh, for a number that is not finite, which no reader would take back: the stream is failed
// then too, so that no file is put in place.
bool WriteOBJ(std::ostream& out, const std::vector<SMeshView>& meshes, std::string& strProblem);
