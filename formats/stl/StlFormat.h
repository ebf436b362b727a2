#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// STL files. The readers (StlReader.h) check the whole file before they report success, keep
// three vertices per facet and drop the facet normals.
//
// Binary STL: an STL_HEADER_SIZE-byte header, little-endian 32-bit facet count N, N facets of
// STL_FACET_SIZE bytes. Refused when the file is shorter than 84 + 50N bytes, 3N vertices would
// not fit a 32-bit count, a vertex coordinate is not finite, or N is 0 while whole facets follow
// (a damaged count). Bytes after the last facet are ignored; so are the facet normals, whatever
// their values.
//
// ASCII STL: the first line must contain "solid" in any case; N is the number of later lines
// that contain "normal" in any case; then N facets of 21 white-space separated tokens follow
// (words are not compared). Refused when a facet is cut short, a number does not parse, or the
// file holds a NUL byte anywhere (binary data, not text). Vertex coordinates must be finite; the
// facet normal, which is dropped, may be any number. Anything after the N-th facet is ignored.
enum
{
    STL_BY_CONTENT = -1, // tell binary and ASCII apart by content
    STL_BINARY = 0,
    STL_ASCII = 1
};

constexpr size_t STL_HEADER_SIZE = 80;
constexpr size_t STL_FACET_SIZE = 50;

// The count of the ASCII counting pass: lines after the first whose lower-case copy contains
// "normal".
int64_t CountAsciiSTLNormalLines(std::string_view buffer);

// Binary or ASCII STL (STL_BINARY, STL_ASCII) as the start of the data suggests: data of exactly
// 84 + 50N bytes (N from its count) or with a NUL byte among its first 256 is binary, since text
// holds none; otherwise a first line containing "solid" (any case) means ASCII, anything else
// binary. The path form reads the file's first INPUT_HEAD_SIZE bytes: -1 when it cannot be read or
// is not a regular file. nSize may be SIZE_UNKNOWN.
int DetectSTLModeOfContent(std::string_view head, uint64_t nSize);
int DetectSTLMode(const std::string& strPath);

// The content test of the format table: 3 for binary data (a size of exactly 84 + 50N, or a NUL
// byte among the first 256 bytes with the N facets there), 1 for a first line containing "solid"
// in any case, else 0.
int RecogniseSTL(std::string_view head, uint64_t nSize);
// How many bytes of a pipe the data needs, judged on what came so far (bNulSeen: it holds a NUL
// byte, so it is binary even where it began like text): a binary file its header and the facets
// it counts (one byte more for a count of 0, which must have nothing after it); text all of it
// (SIZE_UNKNOWN).
uint64_t STLPipeLength(std::string_view data, bool bNulSeen);
