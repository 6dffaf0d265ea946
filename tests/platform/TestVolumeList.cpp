// Which mounts are offered as volumes, how they are named and ordered, and
// which volume holds a path.
#include <QDir>
#include <QTest>

#include "platform/VolumeList.h"

using pelandor::VolumeList;
using Volume = VolumeList::Volume;

class TestVolumeList : public QObject {
    Q_OBJECT

private slots:
    void offered_data()
    {
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("offered");
        QTest::newRow("root on a container layer") << "/" << "overlay" << true;
        QTest::newRow("usb stick") << "/media/user/STICK" << "vfat" << true;
        QTest::newRow("usb stick under /run/media") << "/run/media/user/STICK" << "exfat" << true;
        QTest::newRow("tmpfs /tmp") << "/tmp" << "tmpfs" << true;
        QTest::newRow("proc") << "/proc" << "proc" << false;
        QTest::newRow("cgroup") << "/sys/fs/cgroup/cpu" << "cgroup" << false;
        QTest::newRow("shared memory") << "/dev/shm" << "tmpfs" << false;
        QTest::newRow("tmpfs under /run") << "/run/user/1000" << "tmpfs" << false;
        QTest::newRow("/run/media itself") << "/run/media" << "tmpfs" << false;
        QTest::newRow("container layer elsewhere") << "/var/lib/docker/overlay2/x/merged" << "overlay" << false;
        QTest::newRow("snap image") << "/snap/core/123" << "squashfs" << false;
    }
    void offered()
    {
        QFETCH(QString, root);
        QFETCH(QString, type);
        QFETCH(bool, offered);
        QCOMPARE(VolumeList::isOffered(Volume{root, QString(), type, QString()}), offered);
    }

    void displayName_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("expected");
        QTest::newRow("label") << "DATA" << "/mnt/d" << "DATA (/mnt/d)";
        QTest::newRow("no label: last component") << "" << "/media/usb" << "usb (/media/usb)";
        QTest::newRow("root with label") << "system" << "/" << "system (/)";
        QTest::newRow("root without label") << "" << "/" << "/";
    }
    void displayName()
    {
        QFETCH(QString, label);
        QFETCH(QString, root);
        QFETCH(QString, expected);
        QCOMPARE(VolumeList::displayName(label, root), expected);
    }

    void orderedByRootOneEntryPerRoot()
    {
        const VolumeList list({
            {"/media/usb", "", "vfat", "/dev/sdb1"},
            {"/proc", "", "proc", "proc"},
            {"/", "", "ext4", "/dev/sda1"},
            {"/home/", "", "ext4", "/dev/sda2"},
            {"/media/usb", "NEWER", "vfat", "/dev/sdc1"}, // mounted over the first
        });
        QStringList roots;
        for (const Volume &v : list.volumes())
            roots << v.rootPath;
        QCOMPARE(roots, QStringList({"/", "/home", "/media/usb"}));
        QCOMPARE(list.volumes().at(2).label, QStringLiteral("NEWER"));
        QCOMPARE(list.indexOfRoot("/home/"), 1);
        QCOMPARE(list.indexOfRoot("/proc"), -1);
    }

    void volumeOf_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("volume");
        QTest::newRow("root") << "/" << "/";
        QTest::newRow("below root") << "/etc/x" << "/";
        QTest::newRow("volume root") << "/home" << "/home";
        QTest::newRow("below a volume") << "/home/user/Pictures" << "/home";
        QTest::newRow("name sharing a prefix") << "/homework" << "/";
        QTest::newRow("nested volume wins") << "/home/user/usb/a" << "/home/user/usb";
        QTest::newRow("not offered: the enclosing one") << "/proc/self" << "/";
        QTest::newRow("unclean path") << "/home/user/../user/./x/" << "/home";
    }
    void volumeOf()
    {
        QFETCH(QString, path);
        QFETCH(QString, volume);
        const VolumeList list({
            {"/", "", "ext4", ""},
            {"/home", "", "ext4", ""},
            {"/home/user/usb", "", "vfat", ""},
            {"/proc", "", "proc", ""},
        });
        QCOMPARE(list.volumeOf(path), volume);
    }

    void currentAlwaysOffersTheRoot()
    {
        const VolumeList list = VolumeList::current();
        QVERIFY(list.indexOfRoot("/") >= 0);
        QVERIFY(!list.volumeOf(QDir::currentPath()).isEmpty());
        for (const Volume &v : list.volumes())
            QVERIFY2(VolumeList::isOffered(v), qPrintable(v.rootPath));
    }
};

QTEST_GUILESS_MAIN(TestVolumeList)
#include "TestVolumeList.moc"
