#pragma once

#include <cstdint>
#include <string>

class CInputFile;

// A model file that arrives through a pipe (the standard input, a FIFO), which can be read only
// once: read only as far as its content needs, and never beyond a budget.
struct SPipeInput
{
    int nKind = -1;       // INPUT_OFF, INPUT_STL or INPUT_SCENE (see InputKindOfContent)
    std::string contents; // what was read
};

// Reads file (open, a pipe) into input. Its first bytes decide what it is, as for a file: text
// that cannot be OFF, STL or a scene is not read further (its first bytes are enough for the
// reader to refuse it); OFF text ends at a NUL byte; binary STL ends after the facets its count
// announces (a count of 0 followed by data is read one byte on, for the reader to refuse); text
// taken for ASCII STL that holds a NUL byte is binary STL after all. False, with why in
// strProblem, on a read error and when the content needs more than nBudget bytes.
bool ReadPipeInput(CInputFile& file, uint64_t nBudget, SPipeInput& input, std::string& strProblem);
