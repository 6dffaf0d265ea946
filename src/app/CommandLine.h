// What the command line asks for: the window (on a folder or on files), one of
// the headless commands, the usage or the version. Parsing needs no
// application object, so --help and --version work without a display.
#pragma once

#include <QString>
#include <QStringList>

namespace pelandor {

class CommandLine {
public:
    enum class Action { Window, Help, Version, ListTypes, ClearCache, Headless, BadUsage };

    struct Parsed {
        Action action = Action::Window;
        // The folder or files given to the window, in command-line order.
        QStringList paths;
        // For BadUsage: what was wrong, one line.
        QString error;
    };

    static constexpr int BadUsageStatus = 2;

    // args: the arguments without the program name. Options the GUI toolkit
    // understands itself (-platform X, -style X, ...) are let through, with
    // their values, and are not taken for paths.
    static Parsed parse(const QStringList &args);

    // Removes every --no-orientation from `args` (it may stand anywhere, for
    // the window and the headless commands alike) and says whether there was
    // one: JPEG files are then shown as stored, without their EXIF turn.
    static bool takeNoOrientation(QStringList &args);

    static QString usageText();
    static QString versionText();
};

} // namespace pelandor
