#pragma once

#include <cstdint>
#include <string_view>

// 3MF files: a zip archive (an OPC package) whose model part, an XML file usually named
// 3D/3dmodel.model, holds the objects and the build that places them. See ThreeMfReader.h.

// The content test of the format table: 3 when the data starts as a zip archive ("PK\3\4") and the
// entries head shows include a model part (a name ending in ".model" or inside "3D/"), or content
// types or relationships stored uncompressed that name the 3D model type; 1 for any other zip
// archive, whose model part may come after what head shows; else 0.
int Recognise3MF(std::string_view head, uint64_t nSize);
