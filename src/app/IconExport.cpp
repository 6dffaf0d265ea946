// Build tool: writes the application icon as PNG files for the desktop's
// icon theme, from the same drawing the window uses.
//   pelandor_icon_export OUTDIR   writes OUTDIR/<size>x<size>/pelandor.png
#include "app/ToolGlyphs.h"

#include <QDir>
#include <QString>
#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    for (int size : pelandor::ToolGlyphs::ApplicationIconSizes) {
        const QString folder = QStringLiteral("%1/%2x%2").arg(outDir).arg(size);
        const QString file = folder + QStringLiteral("/pelandor.png");
        if (!QDir().mkpath(folder) || !pelandor::ToolGlyphs::applicationIconImage(size).save(file, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
