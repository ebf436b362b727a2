#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/Dib.h"
#include "export/ImageWriteResult.h"

// Enhanced metafiles (.emf) holding one picture: the header record, one EMR_STRETCHDIBITS record
// that copies the whole DIB to (0, 0) at its own size, and the end-of-file record.
//
// The metafile's reference device is a 1920 x 1080 screen at 96 pixels per inch (508 x 285.75
// mm), so a picture keeps its pixel size when a program places it; its frame gives the picture's
// size in 0.01 mm at that resolution.
namespace MetafileLayout
{
constexpr uint32_t EMR_HEADER = 1;
constexpr uint32_t EMR_EOF = 14;
constexpr uint32_t EMR_STRETCHDIBITS = 81;
constexpr uint32_t HEADER_SIZE = 108;
constexpr uint32_t STRETCHDIBITS_SIZE = 80; // without the DIB it carries
constexpr uint32_t EOF_SIZE = 20;
constexpr int32_t DEVICE_WIDTH = 1920;
constexpr int32_t DEVICE_HEIGHT = 1080;
constexpr int32_t DEVICE_DPI = 96;
} // namespace MetafileLayout

// The size of the DIB's metafile; 0 for an empty DIB.
size_t MetafileSize(const CDib& dib);
// Stores the metafile in pOut, which holds MetafileSize(dib) bytes (a caller's own buffer, such
// as the clipboard's, so that the picture is copied once).
void StoreMetafile(const CDib& dib, uint8_t* pOut);
// The metafile in a vector. False (bytes empty) for an empty DIB.
bool EncodeMetafile(const CDib& dib, std::vector<uint8_t>& bytes);

// Writes the metafile through a temporary file that replaces the target only when complete.
// Fails with no text for an empty DIB (nothing is written), and with "Error writing file.",
// the file's name and the system's reason when the file cannot be written; the old file is
// then kept.
CImageWriteResult WriteMetafile(const std::string& strPath, const CDib& dib);
