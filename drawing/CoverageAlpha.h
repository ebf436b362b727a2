#pragma once

// Makes the alpha channel of the current framebuffer say where the frame shows something: 1
// wherever the depth buffer holds a value nearer than the far plane (a fragment of the scene was
// drawn there) and 0 wherever it still holds the cleared 1.0. Colour channels are not touched, so
// the picture's colours stay exactly as drawn, and what the display lists wrote into alpha does
// not matter. Needs a framebuffer with alpha and depth whose depth was cleared to 1.0 before the
// frame; every GL state it changes is restored. Without a current context it does nothing.
void WriteCoverageAlpha();
