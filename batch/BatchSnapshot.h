#pragma once

#include <string>
#include <vector>

class CDib;

// The picture a snapshot writes, by the output's extension (any case).
enum
{
    SNAPSHOT_NONE = 0,
    SNAPSHOT_BITMAP = 1,   // .bmp
    SNAPSHOT_JPEG = 2,     // .jpg, .jpeg
    SNAPSHOT_METAFILE = 3, // .emf
    SNAPSHOT_PNG = 4       // .png
};
int SnapshotKind(const std::string& strPath);

// The largest side of a snapshot: the largest framebuffer Mesa's drivers offer.
constexpr int MAX_SNAPSHOT_SIDE = 16384;

// Draws the files as the window shows them after loading, without any display: in an offscreen
// context of nWidth x nHeight pixels, with the settings a new view has, the default view fitted
// to the scene, and the scene posed at time 0 (keyframes of the camera win over the fit). Writes
// the picture to strOut by SnapshotKind. bTransparent (PNG only) writes RGBA whose alpha is 0
// wherever nothing was drawn and 255 on the model, the colours being those of an opaque picture.
// Returns 0, or 1 after printing the program's message with nothing written (no offscreen context,
// an input that cannot be read, a failed capture or write).
int RunSnapshot(const std::string& strOut, int nWidth, int nHeight, const std::vector<std::string>& files,
                bool bTransparent = false);

// Encodes dib into strPath in the format nKind names; prints the writer's message on failure.
bool WriteSnapshotPicture(int nKind, const std::string& strPath, const CDib& dib);
