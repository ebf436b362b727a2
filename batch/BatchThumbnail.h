#pragma once

#include <cstdint>
#include <string>

// The largest thumbnail side: the largest size freedesktop.org file managers ask for.
constexpr int MAX_THUMBNAIL_SIZE = 1024;
// Files up to this size are read whole, as the window reads them; bigger ones are streamed where
// their format has a stream (SModelFormat::fnStream), so that memory stays bounded and the time
// short whatever the file's size. At this size faces are already about a pixel.
constexpr uint64_t THUMBNAIL_WHOLE_READ_LIMIT = uint64_t(8) << 20;
// A file the stream refuses is read whole after all when it is no bigger than this, unless the
// stream accepts exactly what the reader accepts (SModelFormat::bStreamExact).
constexpr uint64_t THUMBNAIL_FALLBACK_READ_LIMIT = uint64_t(256) << 20;

// Writes a picture of the model file strIn to strOut as a PNG file, for a file manager: a
// square of nSize pixels, the model shaded as the window shows it, fitted with its aspect kept,
// and transparent wherever the model is not. Needs no display. Returns 0, or 1 after printing the
// program's message with nothing written: a file that cannot be read, no offscreen OpenGL, a
// failed capture or write.
int RunThumbnail(int nSize, const std::string& strIn, const std::string& strOut);
