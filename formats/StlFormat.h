#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// STL parsing from memory. Both parsers check the whole buffer before they report success and
// hand back nine coordinates per facet (vertex 1, 2, 3; x, y, z each); facet normals are not kept.
// On failure they return false and the contents of xyz are unspecified.

// Binary STL: 80-byte header, little-endian 32-bit facet count N, N facets of 50 bytes. False
// when the buffer is shorter than 84 + 50N bytes, 3N vertices would not fit a 32-bit count, a
// vertex coordinate is not finite, or N is 0 while whole facets follow (a damaged count). Bytes
// after the last facet are ignored; so are the facet normals, whatever their values.
bool ParseBinarySTL(std::string_view buffer, std::vector<float>& xyz);

// ASCII STL: the first line must contain "solid" in any case; N is the number of later lines
// that contain "normal" in any case; then N facets of 21 white-space separated tokens follow
// (words are not compared). False when a facet is cut short, a number does not parse, or the
// buffer holds a NUL byte anywhere (binary data, not text).
// Vertex coordinates must be finite; the facet normal, which is dropped, may be any number.
// Anything after the N-th facet is ignored.
bool ParseAsciiSTL(std::string_view buffer, std::vector<double>& xyz);

// The count of the ASCII counting pass: lines after the first whose lower-case copy contains
// "normal".
int64_t CountAsciiSTLNormalLines(std::string_view buffer);
