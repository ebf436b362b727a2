#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/Dib.h"
#include "export/ImageWriteResult.h"

// Bitmap files (.bmp): the 14-byte file header ("BM", file size, two reserved zeros, offset of
// the pixels) followed by the whole DIB block.

// The size of the DIB's bitmap file; 0 for an empty DIB.
size_t BitmapFileSize(const CDib& dib);
// Stores the bitmap file in pOut, which holds BitmapFileSize(dib) bytes (a caller's own buffer,
// such as the clipboard's, so that the picture is copied once).
void StoreBitmapFile(const CDib& dib, uint8_t* pOut);
// The bitmap file in a vector. False (bytes empty) for an empty DIB.
bool EncodeBitmapFile(const CDib& dib, std::vector<uint8_t>& bytes);

// Writes the bitmap file through a temporary file that replaces the target only when complete.
// Fails with no text for an empty DIB (nothing is written), and with "Error writing file.",
// the file's name and the system's reason when the file cannot be written; the old file is
// then kept.
CImageWriteResult WriteBitmapFile(const std::string& strPath, const CDib& dib);
