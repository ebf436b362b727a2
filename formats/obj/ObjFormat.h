#pragma once

#include <cstdint>
#include <string_view>

// Wavefront OBJ has no signature: its text is a line per statement, a keyword first ("v", "f",
// "usemtl"...). The content test of the format table looks at the first statements: 1 when,
// past blank and '#' comment lines, the first few complete lines are OBJ statements (v, vt, vn,
// f, o, g, s, usemtl, mtllib, l, p), a number after v, vt, vn and f, and the head holds no NUL
// byte; 2 when a "v" line of three numbers stands among the head's lines too; else 0. OFF, STL,
// scene files, PLY and JSON all start with a word or number that is no OBJ keyword.
int RecogniseOBJ(std::string_view head, uint64_t nSize);
