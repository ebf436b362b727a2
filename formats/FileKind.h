#pragma once

#include <string>

class CTeldViewGLDoc;

// The kind of a model file, by its extension: ".stl" and ".scn" (any case), else OFF.
enum
{
    INPUT_OFF = 0,
    INPUT_STL = 1,
    INPUT_SCENE = 2
};
int InputKind(const std::string& strPath);

// Binary or ASCII STL (STL_BINARY, STL_ASCII) as the start of the file suggests: a file of exactly
// 84 + 50N bytes (N from its count) or with a NUL byte among its first 256 is binary, since text
// holds none; otherwise a first line containing "solid" (any case) means ASCII, anything else
// binary. -1 when the file cannot be read or is not a regular file.
int DetectSTLMode(const std::string& strPath);

// The STL mode that stands for "tell binary and ASCII apart by content" (ImportSTLFile).
enum
{
    STL_BY_CONTENT = -1
};

// Imports an STL file whose mode is not given (a command-line input): in the mode DetectSTLMode
// suggests, and as binary when a file taken for ASCII is refused, for a binary header may start
// with "solid" too. So the file loads exactly when one of the two imports accepts it. False as
// ImportSTL, with the document untouched.
bool ImportSTLFile(CTeldViewGLDoc& doc, const std::string& strPath);
