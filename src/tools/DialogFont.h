// The font of the tools dialogs: "MS PGothic" at 12 pixels (the application
// maps that family to IPAPGothic or Noto Sans CJK JP).
#pragma once

#include <QFont>

namespace pelandor {

class DialogFont {
public:
    static QFont font()
    {
        QFont font(QStringLiteral("MS PGothic"));
        font.setPixelSize(12);
        return font;
    }
};

} // namespace pelandor
