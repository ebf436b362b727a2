#pragma once

#include <string>
#include <string_view>

class CMeshBuilder;
class CReadProgress;

// Reading PLY files (ASCII and binary of either byte order, see PlyFormat.h) into a builder as
// one polygon mesh. Taken from the "vertex" element: x, y and z (required, of any type), the
// normal nx ny nz, the colour red green blue (bytes, scaled from 0-255; floats, 0 to 1; alpha is
// dropped) and the texture coordinate (s t, u v or texture_u texture_v), each only when the file
// has all of its components. From the "face" element: the list vertex_indices (or vertex_index)
// of any integer types, faces kept at their sizes (one or two corners too, as OFF keeps them),
// and red green blue where the vertices have no colour: then every face gets vertices of its own
// in its colour, so that it draws flat. No faces make a point cloud. Every other element and
// property is stepped over.
//
// Nothing reaches the builder before the whole file has been read and checked; on any failure it
// is untouched. Refused: counts the file cannot hold (checked before anything is allocated for
// them), indices out of range, a list of no items where a face needs one, numbers that are not
// finite, a header that breaks the rules of PlyFormat.h. pstrDetail, when given, says why ("line
// 14: expected a vertex coordinate" in text, "vertex 12: the file ends" in binary, items counted
// from 0, "the header: unknown format 'binary_middle_endian'"); it is left empty by a read that
// succeeds and by a file that cannot be read at all. pProgress, when given, follows the bytes
// decoded.
bool ReadPLY(const std::string& strPath, CMeshBuilder& builder, CReadProgress* pProgress,
             std::string* pstrDetail);
bool ReadPLYBuffer(std::string_view buffer, CMeshBuilder& builder, std::string* pstrDetail);
