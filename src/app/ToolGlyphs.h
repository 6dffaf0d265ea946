// The program's own 20 by 20 tool-button glyphs and its application icon,
// drawn in code so that they scale cleanly and need no image files.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace pelandor {

class ToolGlyphs {
public:
    // Names: "read", "stop", "icon", "report", "name", "type", "size",
    // "date", "up", "down". An unknown name gives a blank glyph.
    static QPixmap glyph(const QString &name);
    static QIcon applicationIcon();
};

} // namespace pelandor
