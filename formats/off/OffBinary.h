#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "formats/MeshParts.h"
#include "formats/off/OffFormat.h"

// Binary OFF (see IsBinaryOFFHeader): the data from nStart on, as keyword announces it, into
// parts. False, with why in strFailure ("vertex 12: the data ends", "face 3: vertex index 9 is not
// in 0 to 7"), on data that is cut short, counts the data cannot hold, an index out of range, a
// colour count beyond 4 or a number that is not finite; parts are then unusable. May throw
// std::bad_alloc.
bool ParseBinaryOFF(std::string_view data, size_t nStart, const SOffKeyword& keyword, SMeshParts& parts,
                    std::string& strFailure);
