#pragma once

class CByteWindow;
class CTriangleSink;

// Streaming an OFF file too big to hold whole, for a picture of it, in the full reader's dialects:
// the vertices are kept (as floats, with their colours); every face is read and sent, polygons as
// fans from their first vertex. Texture coordinates and the file's normals are read and dropped.
// False on the failures the full reader reports for the same file (the sink may then have been
// given part of the model), and for a vertex coordinate too large for a float, a token longer than
// CTokenStream allows and memory that runs out. The text ends at a NUL byte. A file with colours is
// read twice (once for the layout of its vertex lines), so its bytes must rewind.
bool StreamOFF(CByteWindow& bytes, CTriangleSink& sink);
