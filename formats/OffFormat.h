#pragma once

#include <string>

// The OFF keyword for a set of optional vertex fields: "ST", then "C", then "N", then "OFF".
std::string ComposeOFFKeyword(bool bTexCoords, bool bColors, bool bNormals);
