// Makes an image file the desktop wallpaper through the running desktop's own
// setting: gsettings on GNOME and its relatives, xfconf-query on Xfce, the
// Plasma shell's scripting interface on KDE. Every program is started with an
// argument list, never through a shell. Also knows where the program keeps
// its wallpaper file.
#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QStringList>

namespace pelandor {

class WallpaperSetter {
public:
    enum class Style { Tiled, Centered };
    enum class Desktop { Gnome, Xfce, Plasma, Unsupported };

    // currentDesktop: the value of XDG_CURRENT_DESKTOP (a colon-separated list).
    explicit WallpaperSetter(const QString &currentDesktop);
    static WallpaperSetter fromEnvironment();

    static Desktop desktopFor(const QString &currentDesktop);
    Desktop desktop() const { return m_desktop; }

    // Shows `imagePath` (absolute) as the wallpaper in the given style.
    // Returns false with a message for the user in `errorText` when the
    // desktop is not one we can set or its setting program fails.
    bool apply(const QString &imagePath, Style style, QString *errorText) const;

    // $XDG_DATA_HOME/pelandor (default ~/.local/share/pelandor), no trailing "/".
    static QString wallpaperFolder();
    // The one wallpaper file, replaced at every use.
    static QString wallpaperFilePath();
    static constexpr const char *WallpaperFileName = "Pelandor_WallPaper.bmp";

    // How long the whole setting (every program it runs) may take before it
    // counts as failed; the caller's window waits that long at most.
    static constexpr int CommandTimeoutMs = 4000;
    // How long a program that overran is given to end after it was killed.
    static constexpr int KillWaitMs = 500;

private:
    bool applyGnome(const QString &imagePath, Style style, const QDeadlineTimer &deadline, QString *errorText) const;
    bool applyXfce(const QString &imagePath, Style style, const QDeadlineTimer &deadline, QString *errorText) const;
    bool applyPlasma(const QString &imagePath, Style style, const QDeadlineTimer &deadline, QString *errorText) const;
    // Runs `program` with `arguments`; false with a message when it cannot be
    // started, is not done by `deadline` or exits with a non-zero status.
    static bool run(const QString &program, const QDeadlineTimer &deadline, const QStringList &arguments,
                    QByteArray *output, QString *errorText);

    QString m_currentDesktop;
    Desktop m_desktop;
};

} // namespace pelandor
