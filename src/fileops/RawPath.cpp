#include "fileops/RawPath.h"
#include "platform/NativeName.h"

#include <QDir>
#include <QFile>
#include <QList>

namespace pelandor {

namespace {

QByteArray withoutTrailingSlashes(QByteArray path)
{
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

} // namespace

QByteArray RawPath::join(const QByteArray &dir, const QByteArray &name)
{
    if (dir.isEmpty())
        return name;
    if (dir.endsWith('/'))
        return dir + name;
    return dir + '/' + name;
}

QByteArray RawPath::baseName(const QByteArray &path)
{
    const QByteArray p = withoutTrailingSlashes(path);
    const qsizetype slash = p.lastIndexOf('/');
    return slash < 0 ? p : p.mid(slash + 1);
}

QByteArray RawPath::parent(const QByteArray &path)
{
    const QByteArray p = withoutTrailingSlashes(path);
    const qsizetype slash = p.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    if (slash == 0)
        return QByteArrayLiteral("/");
    return p.left(slash);
}

QByteArray RawPath::absolute(const QByteArray &path)
{
    QByteArray full = path.startsWith('/') ? path : join(NativeName::encode(QDir::currentPath()), path);
    QByteArray result;
    for (const QByteArray &part : full.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        result += '/';
        result += part;
    }
    return result.isEmpty() ? QByteArrayLiteral("/") : result;
}

QString RawPath::display(const QByteArray &path)
{
    return NativeName::display(NativeName::decode(path));
}

} // namespace pelandor
