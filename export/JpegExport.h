#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/Dib.h"
#include "export/ImageWriteResult.h"

// JPEG files through TurboJPEG, encoded in memory from the DIB's own rows (bottom-up, padded):
// the file shows the picture upright. 8 bits per pixel become a one-component gray image of the
// pixel values; 24 bits (blue, green, red) and 32 bits (blue, green, red, unused) become colour
// images in the common YCbCr form with 4:2:0 chroma subsampling.

constexpr int JPEG_QUALITY = 75;

// Failures, with the caption and text to show:
// - another depth: no caption, "Unsupported Color Depth for JPEG Export.";
// - the encoder cannot start: "Error initializing JPEG library", the encoder's text;
// - encoding fails: "Error writing file in JPEG library", the encoder's text;
// - an empty DIB: no text.
// jpeg is empty after any failure.
CImageWriteResult EncodeJpeg(const CDib& dib, int nQuality, std::vector<uint8_t>& jpeg);

// Encodes as above, then writes the bytes through a temporary file that replaces the target
// only when complete. Nothing is written when encoding fails. A file that cannot be written
// fails with "Error writing file in JPEG library" and the file's name with the system's reason;
// the old file is then kept.
CImageWriteResult WriteJpegFile(const std::string& strPath, const CDib& dib, int nQuality);
