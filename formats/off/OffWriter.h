#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "formats/MeshView.h"

// OFF as the program writes it: the keyword its fields ask for (ComposeOFFKeyword), the vertex,
// face and edge counts (the edge count being the sum of the face sizes), a line per vertex with
// six decimals, a line per face. Each returns false when the stream is not usable (a file stream
// that is not open) or a write failed. A value that is not finite is not written: it fails the
// stream (and the function), so that no file is made that the reader would refuse.

// The mesh in its own coordinates, its own fields.
bool WriteOFF(std::ostream& out, const SMeshView& mesh);
// The vertex lines of a scene file: each position placed in the scene, and of the other fields
// those asked for that the mesh has.
void WriteOFFVertices(std::ostream& out, const SMeshView& mesh, bool bTexCoords, bool bColors, bool bNormals);
// The face lines, each index moved by nOffset.
bool WriteOFFFaces(std::ostream& out, const SMeshView& mesh, int32_t nOffset);
// Every mesh as one: the fields all of them have, placed positions, faces renumbered in order.
bool WriteSceneOFF(std::ostream& out, const std::vector<SMeshView>& meshes);
