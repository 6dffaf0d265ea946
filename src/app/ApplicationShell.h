// Start-up: decides between the window and the headless commands, sets up
// the application object (title, font, translations) and runs it.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "decode/ImageTypeEntry.h"
#include "platform/UiLanguage.h"

class QApplication;

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

    // Exit status of a start-up that failed after showing its message.
    static constexpr int StartFailedStatus = 1;

    // Names the application, sets its icon, font and translations. No
    // display name is set: the platform would append it to every caption.
    static void setUpApplication(QApplication &app);
    // Installs the translations the window needs for `language`: the
    // program's English texts (looked for beside `programFolder` and in the
    // installed share folder), or Qt's Japanese ones.
    static void installTranslations(QApplication &app, UiLanguage::Language language, const QString &programFolder);
    // Runs `start` (which makes and shows the window), then the event loop.
    // An error escaping `start` ends in the standard error box and in
    // StartFailedStatus.
    static int startAndRun(QApplication &app, const std::function<void()> &start);

private:
    static int listTypes(const QString &moduleFolder);
    static int runWindow(int argc, char **argv);
};

} // namespace pelandor
