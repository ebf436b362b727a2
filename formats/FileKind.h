#pragma once

#include <string>

// The kind of a model file, by its extension: ".stl" and ".scn" (any case), else OFF.
enum
{
    INPUT_OFF = 0,
    INPUT_STL = 1,
    INPUT_SCENE = 2
};
int InputKind(const std::string& strPath);

// Binary or ASCII STL (STL_BINARY, STL_ASCII), told apart by content: a file of exactly
// 84 + 50N bytes (N from its count) is binary; otherwise a first line containing "solid" (any
// case) means ASCII. -1 when neither holds or the file cannot be read.
int DetectSTLMode(const std::string& strPath);
