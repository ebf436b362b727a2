// Writes the program's icon as PNG files for the icon theme: FOLDER/hicolor/NxN/apps/teldviewgl.png
// for every size the desktop asks for. Run by the build; the icon is drawn by the program's own
// code, so the PNGs match the window's icon and the SVG.
#include <QDir>
#include <QImage>
#include <QString>

#include <cstdio>

#include "gui/ProgramIcon.h"

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fputs("usage: make_icons FOLDER\n", stderr);
        return 2;
    }
    for (const int nSize : {16, 24, 32, 48, 64, 128, 256})
    {
        const QString strFolder =
            QStringLiteral("%1/hicolor/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(nSize);
        const QString strFile = strFolder + QStringLiteral("/teldviewgl.png");
        if (!QDir().mkpath(strFolder) || !DrawProgramIcon(nSize).save(strFile, "PNG"))
        {
            std::fprintf(stderr, "make_icons: cannot write %s\n", strFile.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
