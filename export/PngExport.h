#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/Dib.h"
#include "export/ImageWriteResult.h"

// PNG files through libpng, encoded in memory from the DIB's own rows (bottom-up, padded): the
// file shows the picture upright. 24 bits (blue, green, red) become an 8-bit RGB image; 32 bits
// (blue, green, red, alpha) an 8-bit RGBA image whose alpha is the fourth byte.

// The zlib level pictures are written with, zlib's own default: the fastest level saves about a
// third of the time but nearly doubles the file, the best triples the time for a tenth less
// (bench_png gives the figures).
constexpr int PNG_COMPRESSION = 6;

// Failures, with the caption and text to show:
// - another depth: no caption, "Unsupported Color Depth for PNG Export.";
// - the encoder fails (memory runs out): "Error writing file in PNG library", the encoder's text;
// - an empty DIB: no text.
// png is empty after any failure.
// nCompression: the zlib level, 0 to 9.
CImageWriteResult EncodePng(const CDib& dib, std::vector<uint8_t>& png, int nCompression = PNG_COMPRESSION);

// Encodes as above, then writes the bytes through a temporary file that replaces the target only
// when complete. Nothing is written when encoding fails. A file that cannot be written fails with
// "Error writing file.", the file's name and the system's reason; the old file is then kept.
CImageWriteResult WritePngFile(const std::string& strPath, const CDib& dib);
