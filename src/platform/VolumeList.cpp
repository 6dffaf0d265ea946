#include "platform/VolumeList.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QStorageInfo>

namespace pelandor {

namespace {

// File systems that never hold the user's files.
bool isPseudoFileSystem(const QString &type)
{
    static const QStringList pseudo = {
        QStringLiteral("proc"), QStringLiteral("sysfs"), QStringLiteral("cgroup"), QStringLiteral("cgroup2"),
        QStringLiteral("devpts"), QStringLiteral("devtmpfs"), QStringLiteral("mqueue"), QStringLiteral("debugfs"),
        QStringLiteral("tracefs"), QStringLiteral("securityfs"), QStringLiteral("pstore"), QStringLiteral("bpf"),
        QStringLiteral("configfs"), QStringLiteral("fusectl"), QStringLiteral("hugetlbfs"), QStringLiteral("autofs"),
        QStringLiteral("binfmt_misc"), QStringLiteral("efivarfs"), QStringLiteral("rpc_pipefs"), QStringLiteral("nsfs"),
        QStringLiteral("overlay"), QStringLiteral("aufs"), QStringLiteral("squashfs"), QStringLiteral("ramfs"),
        QStringLiteral("selinuxfs"), QStringLiteral("rootfs"), QStringLiteral("nfsd"), QStringLiteral("fuse.gvfsd-fuse"),
        QStringLiteral("fuse.portal"), QStringLiteral("fuse.lxcfs"), QStringLiteral("none"),
    };
    return pseudo.contains(type);
}

// Mount points below these folders belong to the system, except the
// removable media some distributions mount under /run/media.
bool isSystemMountPoint(const QString &root)
{
    static const QStringList systemFolders = {
        QStringLiteral("/proc"), QStringLiteral("/sys"), QStringLiteral("/dev"), QStringLiteral("/run"),
        QStringLiteral("/var/run"), QStringLiteral("/var/lock"), QStringLiteral("/snap"),
        QStringLiteral("/var/lib/docker"), QStringLiteral("/var/lib/containers"), QStringLiteral("/boot/efi"),
    };
    if (VolumeList::contains(QStringLiteral("/run/media"), root) && root != QLatin1String("/run/media"))
        return false;
    for (const QString &folder : systemFolders)
        if (VolumeList::contains(folder, root))
            return true;
    return false;
}

} // namespace

VolumeList::VolumeList(const QList<Volume> &candidates)
{
    QMap<QString, Volume> byRoot; // ordered by root path
    for (Volume volume : candidates) {
        volume.rootPath = normalizedPath(volume.rootPath);
        if (volume.rootPath.isEmpty())
            continue;
        byRoot.insert(volume.rootPath, volume);
    }
    for (const Volume &volume : std::as_const(byRoot))
        if (isOffered(volume))
            m_volumes.append(volume);
}

VolumeList VolumeList::current()
{
    QList<Volume> candidates;
    const QList<QStorageInfo> mounted = QStorageInfo::mountedVolumes();
    for (const QStorageInfo &info : mounted) {
        if (!info.isValid())
            continue;
        candidates.append(Volume{info.rootPath(), info.name(), QString::fromUtf8(info.fileSystemType()),
                                 QString::fromUtf8(info.device())});
    }
    // Qt may leave out the root when it is a container layer; it is always
    // there to browse.
    bool hasRoot = false;
    for (const Volume &volume : std::as_const(candidates))
        hasRoot = hasRoot || volume.rootPath == QLatin1String("/");
    if (!hasRoot) {
        const QStorageInfo root = QStorageInfo::root();
        candidates.append(Volume{QStringLiteral("/"), root.name(), QString::fromUtf8(root.fileSystemType()),
                                 QString::fromUtf8(root.device())});
    }
    return VolumeList(candidates);
}

int VolumeList::indexOfRoot(const QString &rootPath) const
{
    const QString root = normalizedPath(rootPath);
    for (int i = 0; i < m_volumes.size(); ++i)
        if (m_volumes[i].rootPath == root)
            return i;
    return -1;
}

QString VolumeList::volumeOf(const QString &path) const
{
    const QString target = normalizedPath(path);
    QString best;
    for (const Volume &volume : m_volumes)
        if (contains(volume.rootPath, target) && volume.rootPath.size() > best.size())
            best = volume.rootPath;
    return best;
}

bool VolumeList::isOffered(const Volume &volume)
{
    if (volume.rootPath == QLatin1String("/"))
        return true;
    if (isPseudoFileSystem(volume.fileSystemType))
        return false;
    return !isSystemMountPoint(volume.rootPath);
}

QString VolumeList::displayName(const QString &label, const QString &rootPath)
{
    QString name = label.trimmed();
    if (name.isEmpty())
        name = QFileInfo(rootPath).fileName();
    if (name.isEmpty())
        return rootPath;
    return name + QStringLiteral(" (") + rootPath + QLatin1Char(')');
}

QString VolumeList::normalizedPath(const QString &path)
{
    if (path.isEmpty())
        return QString();
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool VolumeList::contains(const QString &root, const QString &path)
{
    if (path == root)
        return true;
    if (root == QLatin1String("/"))
        return path.startsWith(QLatin1Char('/'));
    return path.startsWith(root) && path.size() > root.size() && path.at(root.size()) == QLatin1Char('/');
}

} // namespace pelandor
