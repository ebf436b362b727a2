#pragma once

#include <QImage>

// The program's icon, a shaded cube seen from above, drawn as desktop/teldviewgl.svg draws it:
// for the window, the About box and the installed PNG icons. Needs no QGuiApplication.
QImage DrawProgramIcon(int nSize);
