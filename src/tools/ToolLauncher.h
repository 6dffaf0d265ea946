// Starting a tool on files: one process per file, in the order given, each
// with the file's full path as its one argument. Nothing waits for them.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace pelandor {

class ProcessStarter;

class ToolLauncher {
public:
    struct Failure {
        QString filePath;
        QString errorText; // the system's reason, as the user is shown it
    };

    explicit ToolLauncher(ProcessStarter &starter);

    // Starts `program` once for every path of `filePaths`; a file whose
    // process cannot be started is reported and the next one is still tried.
    QList<Failure> launch(const QString &program, const QStringList &filePaths);
    // The same, handing each failure to `failed` as soon as it happens,
    // before the next file's process is started (where a message box is
    // shown, it comes between the starts, in list order).
    void launch(const QString &program, const QStringList &filePaths,
                const std::function<void(const Failure &)> &failed);

    // The system's text as shown: trailing blanks, control characters and
    // periods removed.
    static QString shownErrorText(const QString &systemText);

private:
    ProcessStarter &m_starter;
};

} // namespace pelandor
