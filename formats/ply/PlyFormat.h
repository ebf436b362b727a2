#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// PLY files: a text header that names the elements of the file (each with a count and a list of
// typed properties), then the elements' data in that order, as text or as binary of either byte
// order. The reader (PlyReader.h) takes positions, normals, colours and texture coordinates of the
// "vertex" element and the index lists of the "face" element, and steps over everything else.

// The scalar types of a property, each known by two names ("uchar" and "uint8").
enum : uint8_t
{
    PLY_INT8,
    PLY_UINT8,
    PLY_INT16,
    PLY_UINT16,
    PLY_INT32,
    PLY_UINT32,
    PLY_FLOAT32,
    PLY_FLOAT64
};

inline constexpr size_t PLY_TYPE_SIZES[] = {1, 1, 2, 2, 4, 4, 4, 8};

inline bool IsPLYIntegerType(uint8_t nType)
{
    return nType < PLY_FLOAT32;
}

enum
{
    PLY_ASCII,
    PLY_BINARY_LITTLE_ENDIAN,
    PLY_BINARY_BIG_ENDIAN
};

// What the header holds no more of: a header is text of a few lines, and one that runs on is not
// a PLY file.
constexpr size_t PLY_MAX_HEADER_BYTES = size_t(64) << 10;
constexpr size_t PLY_MAX_PROPERTIES = 1000;

struct SPlyProperty
{
    std::string strName;
    uint8_t nType = PLY_FLOAT32; // a list's items
    bool bList = false;
    uint8_t nCountType = PLY_UINT8;
};

struct SPlyElement
{
    std::string strName;
    uint64_t nCount = 0;
    std::vector<SPlyProperty> properties;
};

struct SPlyHeader
{
    int nFormat = PLY_ASCII;
    std::vector<SPlyElement> elements;
    size_t nBodyStart = 0; // the first byte after the end_header line
};

// Reads the header at the start of data. False with strProblem saying why ("unknown format
// 'binary_middle_endian'") when it is not a PLY header, holds an unknown keyword or type, or runs
// past PLY_MAX_HEADER_BYTES or PLY_MAX_PROPERTIES.
bool ParsePLYHeader(std::string_view data, SPlyHeader& header, std::string& strProblem);

// The content test of the format table: 2 when the data starts with "ply" on a line of its own,
// followed (past "comment" and "obj_info" lines) by a "format " line; 1 when such lines fill the
// whole head, so that the format line may follow; else 0.
int RecognisePLY(std::string_view head, uint64_t nSize);
