#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "formats/MeshView.h"

// STL as the program writes it: every triangle of every mesh, vertices placed in the scene, the
// stored face normal (zero where a face has none) in the mesh's own frame. Binary: a header of
// spaces beginning "Binary STL file created by TeldView." and its NUL, the count, 50-byte facets.
// ASCII: "solid NAME - Created by TeldView", facets with six decimals, "endsolid NAME".

// Why the meshes cannot be written as STL, or empty: a face that is not a triangle (STL holds
// triangles only), more triangles than binary STL counts. Asked before a file is made.
std::string CheckSTL(const std::vector<SMeshView>& meshes, bool bBinary);
// Writes them (after CheckSTL); strName names the solid of an ASCII file. False when the stream
// fails, and, with strProblem saying which mesh, for a number a 32-bit float cannot hold: the
// stream is failed then too, so that no file is made that the reader would refuse.
bool WriteSTL(std::ostream& out, const std::vector<SMeshView>& meshes, bool bBinary,
              const std::string& strName, std::string& strProblem);
// "NAME has a coordinate or normal beyond the range of 32-bit floats".
std::string BeyondFloatsProblem(const SMeshView& mesh);
