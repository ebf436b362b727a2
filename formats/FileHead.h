#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The first bytes of a file, which tell what it holds (see ModelFormats.h), and the tests on them
// that several formats share.

// How many first bytes the content tests judge.
constexpr size_t INPUT_HEAD_SIZE = 4096;
// The size passed for data of unknown length (a pipe): tests that compare a count with the size
// then do not count.
constexpr uint64_t SIZE_UNKNOWN = UINT64_MAX;

// The first INPUT_HEAD_SIZE bytes (or all) and the size of a regular file, read without waiting
// on a FIFO's writer; false when it cannot be read or is not a regular file (errno says why).
bool ReadFileHead(const std::string& strPath, std::string& head, uint64_t& nSize);

// The letters that start the first word, past white space and whole '#' comment lines.
std::string_view FirstWordLetters(std::string_view head);
// Whether head, past blank and whole '#' comment lines, reaches the first word.
bool HeadShowsFirstWord(std::string_view head);
// Whether the first line (as far as head goes) contains the lower-case word in any case.
bool FirstLineContains(std::string_view head, std::string_view lower);
// Whether a NUL byte stands among the first 256 bytes: text never holds one.
bool HeadHasNulByte(std::string_view head);
