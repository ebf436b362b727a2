#pragma once

#include <cstdint>
#include <string>

class CInputFile;
struct SModelFormat;

// A model file that arrives through a pipe (the standard input, a FIFO), which can be read only
// once: read only as far as its content needs, and never beyond a budget.
struct SPipeInput
{
    const SModelFormat* pFormat = nullptr; // what the first bytes are (FindModelFormat); null: nothing known
    std::string contents;                  // what was read
};

// Reads file (open, a pipe) into input. Its first INPUT_HEAD_SIZE bytes decide what it is, as for
// a file: data no format recognises is not read further; otherwise it is read as far as the
// format says (SModelFormat::fnPipeLength: binary STL ends after the facets its count announces;
// text taken for ASCII STL that holds a NUL byte is binary after all) or to its end, text ending at
// a NUL byte. False, with why in strProblem, on a read error and when the content needs more than
// nBudget bytes.
bool ReadPipeInput(CInputFile& file, uint64_t nBudget, SPipeInput& input, std::string& strProblem);
