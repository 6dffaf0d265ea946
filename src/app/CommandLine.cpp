#include "app/CommandLine.h"

#include "listing/HeadlessReport.h"


namespace pelandor {

namespace {

// The toolkit's own command-line options (see QGuiApplication and
// QApplication); it accepts them with one dash or two.
const QStringList ToolkitOptionsWithValue = {
    QStringLiteral("platform"),     QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
    QStringLiteral("plugin"),       QStringLiteral("qwindowgeometry"),    QStringLiteral("geometry"),
    QStringLiteral("qwindowtitle"), QStringLiteral("title"),              QStringLiteral("qwindowicon"),
    QStringLiteral("icon"),         QStringLiteral("session"),            QStringLiteral("style"),
    QStringLiteral("stylesheet"),   QStringLiteral("display"),            QStringLiteral("name"),
};
const QStringList ToolkitFlags = {
    QStringLiteral("reverse"), QStringLiteral("widgetcount"), QStringLiteral("nograb"),
    QStringLiteral("dograb"),  QStringLiteral("sync"),
};

QString optionName(const QString &arg)
{
    QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
    const qsizetype equals = name.indexOf(QLatin1Char('='));
    return equals < 0 ? name : name.left(equals);
}

} // namespace

CommandLine::Parsed CommandLine::parse(const QStringList &args)
{
    Parsed parsed;
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        parsed.action = Action::Help;
        return parsed;
    }
    if (args.contains(QStringLiteral("--version"))) {
        parsed.action = Action::Version;
        return parsed;
    }
    if (args.contains(QStringLiteral("--list-types"))) {
        parsed.action = args.size() == 1 ? Action::ListTypes : Action::BadUsage;
        if (parsed.action == Action::BadUsage)
            parsed.error = QStringLiteral("--list-types takes no other arguments");
        return parsed;
    }
    if (args.contains(QStringLiteral("--clear-cache"))) {
        parsed.action = args.size() == 1 ? Action::ClearCache : Action::BadUsage;
        if (parsed.action == Action::BadUsage)
            parsed.error = QStringLiteral("--clear-cache takes no other arguments");
        return parsed;
    }
    if (HeadlessReport::isHeadlessCommand(args)) {
        parsed.action = Action::Headless; // its own parser checks the rest
        return parsed;
    }
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            parsed.paths.append(arg);
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const QString name = optionName(arg);
        if (ToolkitFlags.contains(name))
            continue;
        if (ToolkitOptionsWithValue.contains(name)) {
            if (!arg.contains(QLatin1Char('=')))
                ++i; // its value
            continue;
        }
        parsed.action = Action::BadUsage;
        parsed.error = QStringLiteral("unknown option '%1'").arg(arg);
        return parsed;
    }
    return parsed;
}

bool CommandLine::takeNoOrientation(QStringList &args)
{
    return args.removeAll(QStringLiteral("--no-orientation")) > 0;
}

QString CommandLine::usageText()
{
    return QStringLiteral(
        "Usage: pelandor [FOLDER | FILE...]\n"
        "       pelandor --report FOLDER [--type PATTERN] [--sort name|type|size|date|none] [--descending]\n"
        "       pelandor --thumbnails FOLDER OUTDIR [--type PATTERN]\n"
        "       pelandor --list-types | --clear-cache | --help | --version\n"
        "       (--no-orientation may be added to the window and the headless commands)\n"
        "\n"
        "A thumbnail image browser.\n"
        "\n"
        "  FOLDER               open the window on FOLDER\n"
        "  FILE...              open the window on the first file's folder with its type\n"
        "                       chosen, select the files and open a viewer for each\n"
        "  --report FOLDER      print one tab-separated line per image of FOLDER:\n"
        "                       name, type, size, date, image size, colours\n"
        "  --type PATTERN       read only this entry of the type list (e.g. '*.JPG')\n"
        "  --sort KEY           sort by name, type, size or date (default name)\n"
        "  --descending         sort in descending order\n"
        "  --thumbnails FOLDER OUTDIR\n"
        "                       write every listed image's thumbnail as OUTDIR/NAME.bmp\n"
        "  --list-types         print the type list: text, tab, module file\n"
        "  --no-orientation     show JPEG files as stored, not turned upright by their\n"
        "                       EXIF orientation\n"
        "  --clear-cache        empty the thumbnail cache ($XDG_CACHE_HOME/pelandor)\n"
        "  -h, --help           print this help and exit\n"
        "  --version            print the version and exit\n"
        "\n"
        "The window is in Japanese where the user's language is Japanese or unset\n"
        "(C, POSIX), in English otherwise; PELANDOR_LANGUAGE=ja or =en chooses.\n");
}

QString CommandLine::versionText()
{
    return QStringLiteral("pelandor %1\n").arg(QStringLiteral(PELANDOR_VERSION));
}

} // namespace pelandor
