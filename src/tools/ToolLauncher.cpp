#include "tools/ToolLauncher.h"

#include "tools/ProcessStarter.h"

namespace pelandor {

ToolLauncher::ToolLauncher(ProcessStarter &starter)
    : m_starter(starter)
{
}

QList<ToolLauncher::Failure> ToolLauncher::launch(const QString &program, const QStringList &filePaths)
{
    QList<Failure> failures;
    launch(program, filePaths, [&failures](const Failure &failure) { failures.append(failure); });
    return failures;
}

void ToolLauncher::launch(const QString &program, const QStringList &filePaths,
                          const std::function<void(const Failure &)> &failed)
{
    for (const QString &path : filePaths) {
        QString error;
        if (!m_starter.startDetached(program, {path}, &error))
            failed({path, shownErrorText(error)});
    }
}

QString ToolLauncher::shownErrorText(const QString &systemText)
{
    QString text = systemText;
    while (!text.isEmpty()) {
        const QChar last = text.back();
        if (!last.isSpace() && last.category() != QChar::Other_Control && last != QLatin1Char('.'))
            break;
        text.chop(1);
    }
    return text;
}

} // namespace pelandor
