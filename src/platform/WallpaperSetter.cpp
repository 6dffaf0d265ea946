#include "platform/WallpaperSetter.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QUrl>
#include <algorithm>

namespace pelandor {

namespace {

const QString kGnomeSchema = QStringLiteral("org.gnome.desktop.background");
const QString kXfceChannel = QStringLiteral("xfce4-desktop");

// Xfce's image-style values.
constexpr int kXfceCentered = 1;
constexpr int kXfceTiled = 2;
// Plasma's image wallpaper FillMode values.
constexpr int kPlasmaTiled = 3;
constexpr int kPlasmaCentered = 6;

// A text as a JavaScript string literal (JSON's quoting is valid JavaScript).
QString scriptString(const QString &text)
{
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

} // namespace

WallpaperSetter::WallpaperSetter(const QString &currentDesktop)
    : m_currentDesktop(currentDesktop)
    , m_desktop(desktopFor(currentDesktop))
{
}

WallpaperSetter WallpaperSetter::fromEnvironment()
{
    return WallpaperSetter(qEnvironmentVariable("XDG_CURRENT_DESKTOP"));
}

WallpaperSetter::Desktop WallpaperSetter::desktopFor(const QString &currentDesktop)
{
    static const QStringList gnomeFamily{QStringLiteral("GNOME"),   QStringLiteral("GNOME-Classic"),
                                         QStringLiteral("GNOME-Flashback"), QStringLiteral("Unity"),
                                         QStringLiteral("Budgie"),  QStringLiteral("Pantheon")};
    const QStringList names = currentDesktop.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    // The list names the most specific desktop first, so the first one we
    // know decides.
    for (const QString &raw : names) {
        const QString name = raw.trimmed();
        if (name.compare(QLatin1String("KDE"), Qt::CaseInsensitive) == 0)
            return Desktop::Plasma;
        if (name.compare(QLatin1String("XFCE"), Qt::CaseInsensitive) == 0)
            return Desktop::Xfce;
        for (const QString &gnome : gnomeFamily) {
            if (name.compare(gnome, Qt::CaseInsensitive) == 0)
                return Desktop::Gnome;
        }
    }
    return Desktop::Unsupported;
}

QString WallpaperSetter::wallpaperFolder()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    // XDG base directories must be absolute; a relative value is ignored.
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        QString home = QDir::homePath();
        if (home.isEmpty())
            home = QStringLiteral("/");
        base = QDir(home).filePath(QStringLiteral(".local/share"));
    }
    return QDir::cleanPath(QDir(base).filePath(QStringLiteral("pelandor")));
}

QString WallpaperSetter::wallpaperFilePath()
{
    return wallpaperFolder() + QLatin1Char('/') + QLatin1String(WallpaperFileName);
}

bool WallpaperSetter::apply(const QString &imagePath, Style style, QString *errorText) const
{
    const QDeadlineTimer deadline(CommandTimeoutMs);
    switch (m_desktop) {
    case Desktop::Gnome:
        return applyGnome(imagePath, style, deadline, errorText);
    case Desktop::Xfce:
        return applyXfce(imagePath, style, deadline, errorText);
    case Desktop::Plasma:
        return applyPlasma(imagePath, style, deadline, errorText);
    case Desktop::Unsupported:
        break;
    }
    if (errorText) {
        *errorText = m_currentDesktop.isEmpty()
            ? QCoreApplication::translate("WallpaperSetter", "このデスクトップ環境では壁紙を設定できません")
            : QCoreApplication::translate("WallpaperSetter", "このデスクトップ環境 (%1) では壁紙を設定できません").arg(m_currentDesktop);
    }
    return false;
}

bool WallpaperSetter::applyGnome(const QString &imagePath, Style style, const QDeadlineTimer &deadline,
                                  QString *errorText) const
{
    const QString program = QStringLiteral("gsettings");
    const QString uri = QUrl::fromLocalFile(imagePath).toString(QUrl::FullyEncoded);
    if (!run(program, deadline, {QStringLiteral("set"), kGnomeSchema, QStringLiteral("picture-uri"), uri}, nullptr,
             errorText))
        return false;
    // Older GNOME releases have no dark-style key; the light one is then all
    // there is, so a failure here is not an error.
    run(program, deadline, {QStringLiteral("set"), kGnomeSchema, QStringLiteral("picture-uri-dark"), uri}, nullptr,
        nullptr);
    const QString options = style == Style::Tiled ? QStringLiteral("wallpaper") : QStringLiteral("centered");
    return run(program, deadline, {QStringLiteral("set"), kGnomeSchema, QStringLiteral("picture-options"), options},
               nullptr, errorText);
}

bool WallpaperSetter::applyXfce(const QString &imagePath, Style style, const QDeadlineTimer &deadline,
                                  QString *errorText) const
{
    const QString program = QStringLiteral("xfconf-query");
    QByteArray listing;
    if (!run(program, deadline, {QStringLiteral("-c"), kXfceChannel, QStringLiteral("-l")}, &listing, errorText))
        return false;

    // One backdrop per monitor and workspace; set every one of them.
    QStringList imageProperties;
    for (const QByteArray &line : listing.split('\n')) {
        const QString property = QString::fromUtf8(line).trimmed();
        if (property.startsWith(QLatin1String("/backdrop/")) && property.endsWith(QLatin1String("/last-image")))
            imageProperties.append(property);
    }
    if (imageProperties.isEmpty()) {
        if (errorText)
            *errorText = QCoreApplication::translate("WallpaperSetter", "Xfce の背景の設定が見つからないため、壁紙を設定できません");
        return false;
    }

    const QString styleValue = QString::number(style == Style::Tiled ? kXfceTiled : kXfceCentered);
    for (const QString &property : imageProperties) {
        const QString styleProperty = property.chopped(int(qstrlen("last-image"))) + QStringLiteral("image-style");
        if (!run(program, deadline,
                 {QStringLiteral("-c"), kXfceChannel, QStringLiteral("-p"), property, QStringLiteral("-n"),
                  QStringLiteral("-t"), QStringLiteral("string"), QStringLiteral("-s"), imagePath},
                 nullptr, errorText))
            return false;
        if (!run(program, deadline,
                 {QStringLiteral("-c"), kXfceChannel, QStringLiteral("-p"), styleProperty, QStringLiteral("-n"),
                  QStringLiteral("-t"), QStringLiteral("int"), QStringLiteral("-s"), styleValue},
                 nullptr, errorText))
            return false;
    }
    return true;
}

bool WallpaperSetter::applyPlasma(const QString &imagePath, Style style, const QDeadlineTimer &deadline,
                                  QString *errorText) const
{
    const QString uri = QUrl::fromLocalFile(imagePath).toString(QUrl::FullyEncoded);
    const int fillMode = style == Style::Tiled ? kPlasmaTiled : kPlasmaCentered;
    const QString script = QStringLiteral("var all = desktops();"
                                          "for (var i = 0; i < all.length; ++i) {"
                                          " var d = all[i];"
                                          " d.wallpaperPlugin = \"org.kde.image\";"
                                          " d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];"
                                          " d.writeConfig(\"Image\", %1);"
                                          " d.writeConfig(\"FillMode\", %2);"
                                          "}")
                               .arg(scriptString(uri))
                               .arg(fillMode);
    return run(QStringLiteral("dbus-send"), deadline,
               {QStringLiteral("--session"), QStringLiteral("--print-reply"), QStringLiteral("--type=method_call"),
                QStringLiteral("--dest=org.kde.plasmashell"), QStringLiteral("/PlasmaShell"),
                QStringLiteral("org.kde.PlasmaShell.evaluateScript"), QStringLiteral("string:") + script},
               nullptr, errorText);
}

bool WallpaperSetter::run(const QString &program, const QDeadlineTimer &deadline, const QStringList &arguments,
                          QByteArray *output, QString *errorText)
{
    const auto fail = [&](const QString &reason) {
        if (errorText)
            *errorText = QCoreApplication::translate("WallpaperSetter", "壁紙を設定できません (%1: %2)").arg(program, reason);
        return false;
    };
    if (deadline.hasExpired())
        return fail(QStringLiteral("timed out"));
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(int(std::max<qint64>(1, deadline.remainingTime()))))
        return fail(process.errorString());
    if (!process.waitForFinished(int(std::max<qint64>(1, deadline.remainingTime())))) {
        process.kill();
        process.waitForFinished(KillWaitMs);
        return fail(QStringLiteral("timed out"));
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        QString reason = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        if (reason.isEmpty())
            reason = QStringLiteral("exit code %1").arg(process.exitCode());
        return fail(reason);
    }
    if (output)
        *output = process.readAllStandardOutput();
    return true;
}

} // namespace pelandor
