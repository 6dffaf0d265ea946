// The program's own 20 by 20 tool-button glyphs and its application icon,
// drawn in code so that they scale cleanly and need no image files.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QString>

namespace pelandor {

class ToolGlyphs {
public:
    // Names: "read", "stop", "icon", "report", "name", "type", "size",
    // "date", "up", "down". An unknown name gives a blank glyph.
    // `ratio` is the device-pixel ratio the glyph is drawn for.
    static QPixmap glyph(const QString &name, qreal ratio = 1.0);
    // The glyph for every usual ratio, so each screen gets a sharp one.
    static QIcon glyphIcon(const QString &name);
    static QIcon applicationIcon();
    // The application icon drawn at size x size pixels; needs no display, so
    // the build can write the desktop's icon files from it.
    static QImage applicationIconImage(int size);
    // The sizes the icon is drawn at, for the window and the desktop alike.
    static constexpr int ApplicationIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
};

} // namespace pelandor
