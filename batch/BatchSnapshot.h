#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/PictureFile.h"

// How a snapshot looks at the scene, where it differs from a new view.
struct SSnapshotLook
{
    int nSide = 0; // SceneRenderer's VIEW_SIDE_..., the front by default
    bool bOrthographic = false;
    int nRenderMode = -1; // every mesh in this RENDER_... mode; -1 keeps each mesh's own
    bool bFlat = false;   // every mesh flat shaded
    bool bBackground = false;
    uint32_t crBackground = 0; // 0x00BBGGRR
};

// Draws the files as the window shows them after loading, without any display: in an offscreen
// context of nWidth x nHeight pixels, with the settings a new view has, the default view fitted
// to the scene from look's side, and the scene posed at nTime (keyframes of the camera win over
// the fit); look's projection, render mode, shading and background where it sets them. Writes
// the picture to strOut by SnapshotKind. bTransparent (PNG only) writes RGBA whose alpha is 0
// wherever nothing was drawn and 255 on the model, the colours being those of an opaque picture.
// Returns 0, or 1 after printing the program's message with nothing written (no offscreen context,
// an input that cannot be read, a failed capture or write).
int RunSnapshot(const std::string& strOut, int nWidth, int nHeight, const std::vector<std::string>& files,
                bool bTransparent = false, const SSnapshotLook& look = SSnapshotLook(), int32_t nTime = 0);

// Encodes dib into strPath in the format nKind names; prints the writer's message on failure.
bool WriteSnapshotPicture(int nKind, const std::string& strPath, const CDib& dib);
