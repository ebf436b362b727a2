#pragma once

#include "export/Dib.h"

// Reads the frame of the current OpenGL context into a DIB: the width x height rectangle at the
// bottom-left of the read framebuffer (the widget's framebuffer object, the offscreen context's
// framebuffer), straight into the DIB's pixel array in its own layout. The DIB must have been
// created at the capture size with 24 bits (read as GL_BGR) or 32 bits (GL_BGRA, the fourth
// byte being alpha). The client pixel-store state is saved and restored; no pixel pack buffer
// may be bound.
//
// Returns false when the DIB is empty or of another depth, no context is current, or OpenGL
// reports an error; the pixels are then unspecified.
bool CaptureFramebuffer(CDib& dib);
