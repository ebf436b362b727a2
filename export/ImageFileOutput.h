#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

#include "export/ImageWriteResult.h"

// The pieces of a picture file, written in order through the safe writer: the target changes
// only when every byte was written. On failure returns false with the system's reason ("No
// space left on device") in strReason, and the file that was there is kept.
bool WriteImageFile(const std::string& strPath, std::initializer_list<std::span<const uint8_t>> parts,
                    std::string& strReason);

// The bitmap and metafile writers' failure: "Error writing file." with the file's name and the
// reason.
CImageWriteResult WriteFileFailure(const std::string& strPath, const std::string& strReason);
