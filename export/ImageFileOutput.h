#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

#include "export/Dib.h"
#include "export/ImageWriteResult.h"

// The pieces of a picture file, written in order through the safe writer: the target changes
// only when every byte was written. On failure returns false with the system's reason ("No
// space left on device") in strReason, and the file that was there is kept.
bool WriteImageFile(const std::string& strPath, std::initializer_list<std::span<const uint8_t>> parts,
                    std::string& strReason);

// Writes the pieces through WriteImageFile. On failure: "Error writing file.", the path as given
// and the system's reason.
CImageWriteResult WriteImageParts(const std::string& strPath,
                                  std::initializer_list<std::span<const uint8_t>> parts);

// Bitmap files and metafiles: the DIB block between a prefix and a suffix of their own.
// Stores them in pOut, which holds prefix, block and suffix; nothing for an empty DIB.
void StoreWrappedDib(std::span<const uint8_t> prefix, const CDib& dib, std::span<const uint8_t> suffix,
                     uint8_t* pOut);
// Writes them through WriteImageFile. Fails with no text for an empty DIB (nothing is written),
// and with "Error writing file.", the path as given and the reason when the file cannot be
// written.
CImageWriteResult WriteWrappedDib(const std::string& strPath, std::span<const uint8_t> prefix,
                                  const CDib& dib, std::span<const uint8_t> suffix);
