#include "platform/UiLanguage.h"

#include <QLocale>

namespace pelandor {

UiLanguage::Language UiLanguage::choose(const QStringList &uiLanguages, const QString &override)
{
    const QString forced = override.trimmed().toLower();
    if (forced == QLatin1String("ja"))
        return Language::Japanese;
    if (forced == QLatin1String("en"))
        return Language::English;

    // Only the first language counts: a user who put German first and
    // Japanese second reads English more easily than the Japanese texts.
    const QString first = uiLanguages.isEmpty() ? QString() : uiLanguages.first();
    if (first.isEmpty() || first == QLatin1String("C") || first == QLatin1String("POSIX"))
        return Language::Japanese;
    if (first == QLatin1String("ja") || first.startsWith(QLatin1String("ja-"))
        || first.startsWith(QLatin1String("ja_")))
        return Language::Japanese;
    return Language::English;
}

UiLanguage::Language UiLanguage::current()
{
    return choose(QLocale::system().uiLanguages(), qEnvironmentVariable("PELANDOR_LANGUAGE"));
}

QString UiLanguage::translationName(Language language)
{
    return language == Language::English ? QStringLiteral("pelandor_en") : QString();
}

QStringList UiLanguage::translationFolders(const QString &programFolder)
{
    return {programFolder + QLatin1String("/translations"),
            programFolder + QLatin1String("/../../share/pelandor/translations")};
}

} // namespace pelandor
