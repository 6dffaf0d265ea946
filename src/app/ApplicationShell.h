// Start-up: decides between the window and the headless commands, sets up
// the application object (title, font, translations) and runs it.
#pragma once

#include <QString>
#include <QStringList>

#include "decode/ImageTypeEntry.h"

namespace pelandor {

class ApplicationShell {
public:
    static int run(int argc, char **argv);

    // The lines `--list-types` prints: the entry's text, a tab and the
    // module's file name (empty for the built-in entries), one per entry.
    static QString typeListLines(const ImageTypeList &entries);

    // Asks for "MS PGothic" at 12 pixels and maps it to the metric-compatible
    // IPA font (or a Noto CJK font) so that the captions render as text.
    static void installFont();

private:
    static int listTypes(const QString &moduleFolder);
    static int runWindow(int argc, char **argv);
};

} // namespace pelandor
