// The mounted volumes the user may browse: each named by its root path, with a
// display name "label (root)". Kernel and runtime file systems (proc, sysfs,
// cgroups, device nodes, tmpfs under /run, container layers, snap images...)
// are left out; the root file system "/" is always offered. The list is
// ordered by root path so that it reads the same at every start.
#pragma once

#include <QList>
#include <QString>

namespace pelandor {

class VolumeList {
public:
    struct Volume {
        QString rootPath;       // "/", "/home", "/media/usb"
        QString label;          // volume label; may be empty
        QString fileSystemType; // "ext4", "vfat", "proc"...
        QString device;         // "/dev/sda1", "proc"...
        QString displayName() const { return VolumeList::displayName(label, rootPath); }
    };

    VolumeList() = default;
    // Keeps the offered volumes of the candidates (one per root path, the
    // last mount on a root winning, as it hides the earlier ones), ordered by
    // root path.
    explicit VolumeList(const QList<Volume> &candidates);

    // The volumes mounted now.
    static VolumeList current();

    const QList<Volume> &volumes() const { return m_volumes; }
    int indexOfRoot(const QString &rootPath) const;

    // Root path of the offered volume that holds the path: the one with the
    // longest root that contains it. Empty when none does (only possible with
    // a list that lacks "/").
    QString volumeOf(const QString &path) const;

    // Whether a mount is something the user would call a volume.
    static bool isOffered(const Volume &volume);
    // "label (root)"; without a label the last component of the root stands
    // in for it; "/" without a label is shown as "/".
    static QString displayName(const QString &label, const QString &rootPath);
    // Absolute and clean, without a trailing "/" except for "/" itself. The
    // empty text stays empty.
    static QString normalizedPath(const QString &path);
    // True when path is root itself or lies below it (whole components only).
    static bool contains(const QString &root, const QString &path);

private:
    QList<Volume> m_volumes;
};

} // namespace pelandor
