// Which language the window speaks. The Japanese texts are the program's
// own: they stand in the code and are shown where the user's language is
// Japanese or where no language is set (the C and POSIX locales, as in
// scripts and tests). Every other language gets the English translation.
// PELANDOR_LANGUAGE=ja or =en overrides the choice.
#pragma once

#include <QString>
#include <QStringList>

namespace pelandor {

class UiLanguage {
public:
    enum class Language { Japanese, English };

    // The choice for the user's languages in order of preference (as
    // QLocale::uiLanguages() gives them) and the override's value (empty
    // or unknown values are ignored).
    static Language choose(const QStringList &uiLanguages, const QString &override);
    // The choice for this process: its environment and system locale.
    static Language current();

    // The name of the program's translation file for `language` ("" for
    // Japanese, which needs none), and the folders it is looked for in:
    // beside the program (the build tree) and in the installed share folder.
    static QString translationName(Language language);
    static QStringList translationFolders(const QString &programFolder);
};

} // namespace pelandor
