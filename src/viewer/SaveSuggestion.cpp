#include "viewer/SaveSuggestion.h"

namespace pelandor {

SaveSuggestion SaveSuggestion::fromCaption(const QString &caption)
{
    const qsizetype slash = caption.lastIndexOf(QLatin1Char('/'));
    const QString fileName = caption.mid(slash + 1);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    SaveSuggestion suggestion;
    suggestion.folder = caption.left(slash + 1);
    suggestion.name = dot < 0 ? fileName : fileName.left(dot);
    return suggestion;
}

QString SaveSuggestion::withExtension(const QString &path, const QString &defaultExtension,
                                      const QStringList &ownExtensions)
{
    const QString fileName = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0 && ownExtensions.contains(fileName.mid(dot + 1), Qt::CaseInsensitive))
        return path;
    return path + QLatin1Char('.') + defaultExtension;
}

} // namespace pelandor
