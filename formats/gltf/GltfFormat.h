#pragma once

#include <cstdint>
#include <string_view>

// The content test of the format table: 3 for a binary container ("glTF" and version 2); 2 for
// JSON text that starts with '{' (past blanks and a UTF-8 byte order mark) and names "asset" in
// the head; else 0.
int RecogniseGLTF(std::string_view head, uint64_t nSize);
