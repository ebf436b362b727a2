#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "formats/stl/StlFormat.h"


// What a model file holds. Every place that reads a file of unknown kind (the command line,
// File > Open, dropped files, batch mode) asks the same test, so that none can disagree.
enum
{
    INPUT_NONE = -1, // the file cannot be opened, or is not a regular file
    INPUT_OFF = 0,
    INPUT_STL = 1,
    INPUT_SCENE = 2
};

// How many first bytes of a file InputKindOfContent judges.
constexpr size_t INPUT_HEAD_SIZE = 4096;

// The kind of a file by its first bytes (all of them, or at least INPUT_HEAD_SIZE) and its size:
// binary STL when the size is exactly 84 + 50N for the count N at byte 80, or when a NUL byte
// stands among the first 256 bytes (text never holds one); OFF when the first word (past blank
// and '#' comment lines) begins with one of the seven OFF keywords and no letter follows it; a
// scene file when that word is "SCENE"; ASCII STL when the first line contains "solid" in any
// case. Content that is none of these goes by the name's extension: ".stl" STL, ".scn" a scene,
// anything else OFF, whose reader then refuses it.
int InputKindOfContent(std::string_view head, uint64_t nSize, const std::string& strName);

// Whether head, past blank and whole '#' comment lines, reaches the first word, which decides
// whether the data can be OFF or a scene file.
bool HeadShowsFirstWord(std::string_view head);
// Whether that first word begins with one of the seven OFF keywords, no letter following.
bool StartsWithOFFKeyword(std::string_view head);

// InputKindOfContent for the file at strPath, its first bytes read without waiting: a FIFO or a
// device is never read here (INPUT_NONE), as a pipe can be read only once.
int InputKind(const std::string& strPath);

// Binary or ASCII STL (STL_BINARY, STL_ASCII) as the start of the data suggests: data of exactly
// 84 + 50N bytes (N from its count) or with a NUL byte among its first 256 is binary, since text
// holds none; otherwise a first line containing "solid" (any case) means ASCII, anything else
// binary. The path form reads the file's first INPUT_HEAD_SIZE bytes: -1 when it cannot be read
// or is not a regular file.
int DetectSTLModeOfContent(std::string_view head, uint64_t nSize);
int DetectSTLMode(const std::string& strPath);
