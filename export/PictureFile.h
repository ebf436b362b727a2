#pragma once

#include <string>

#include "export/Dib.h"
#include "export/ImageWriteResult.h"

// The picture formats a file name asks for by its extension (any case), shared by the snapshots
// and the window's pictures at a size of their own.
enum
{
    SNAPSHOT_NONE = 0,
    SNAPSHOT_BITMAP = 1,   // .bmp
    SNAPSHOT_JPEG = 2,     // .jpg, .jpeg
    SNAPSHOT_METAFILE = 3, // .emf
    SNAPSHOT_PNG = 4       // .png
};
int SnapshotKind(const std::string& strPath);

// The largest side of a picture drawn at a size of its own: the largest framebuffer Mesa's
// drivers offer.
constexpr int MAX_SNAPSHOT_SIDE = 16384;

// Writes dib to strPath in the format nKind names (any other kind as a metafile), through the
// format's own writer, which replaces the target only when the file is complete.
CImageWriteResult WritePictureFile(int nKind, const std::string& strPath, const CDib& dib);
