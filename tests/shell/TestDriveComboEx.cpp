// The volume combo: item height, entry geometry, Drive and SetDrive, the
// order of events on a pick and the one notice at window creation. Temporary
// folders stand in for mounted volumes.
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mount.h>

#include "shell/TDriveComboEx.h"

using pelandor::TDriveComboEx;
using pelandor::VolumeList;

namespace {

VolumeList fakeVolumes(const QStringList &roots)
{
    QList<VolumeList::Volume> volumes;
    for (const QString &root : roots)
        volumes.append(VolumeList::Volume{root, QString(), QStringLiteral("ext4"), QStringLiteral("/dev/sdx")});
    return VolumeList(volumes);
}

} // namespace

class TestDriveComboEx : public QObject {
    Q_OBJECT

private slots:
    void itemHeight_data()
    {
        QTest::addColumn<int>("fontHeight");
        QTest::addColumn<int>("expected");
        QTest::newRow("-12: the window's font") << -12 << 16;
        QTest::newRow("-16") << -16 << 16;
        QTest::newRow("-20") << -20 << 20;
        QTest::newRow("+18") << 18 << 18;
        QTest::newRow("0") << 0 << 16;
    }
    void itemHeight()
    {
        QFETCH(int, fontHeight);
        QFETCH(int, expected);
        QCOMPARE(TDriveComboEx::itemHeightFor(fontHeight), expected);
    }

    void entryGeometry_data()
    {
        QTest::addColumn<QRect>("itemRect");
        QTest::addColumn<int>("itemHeight");
        QTest::addColumn<QPoint>("iconTopLeft");
        QTest::newRow("height 16: icon at the top") << QRect(0, 32, 155, 16) << 16 << QPoint(6, 32);
        QTest::newRow("height 21: 2 pixels lower") << QRect(0, 42, 155, 21) << 21 << QPoint(6, 44);
        QTest::newRow("left edge is not added") << QRect(3, 3, 130, 16) << 16 << QPoint(6, 3);
        QTest::newRow("rectangle taller than the items") << QRect(0, 0, 155, 22) << 16 << QPoint(6, 0);
    }
    void entryGeometry()
    {
        QFETCH(QRect, itemRect);
        QFETCH(int, itemHeight);
        QFETCH(QPoint, iconTopLeft);
        const QRect icon = TDriveComboEx::iconRect(itemRect, itemHeight);
        QCOMPARE(icon.topLeft(), iconTopLeft);
        QCOMPARE(icon.size(), QSize(16, 16));
        const QRect text = TDriveComboEx::textRect(itemRect);
        QCOMPARE(text.left(), 26);
        QCOMPARE(text.top(), itemRect.top());
        QCOMPARE(text.bottomRight(), itemRect.bottomRight());
    }

    void startsOnTheVolumeOfTheCurrentDirectory()
    {
        TDriveComboEx combo;
        QCOMPARE(combo.Drive(), VolumeList::current().volumeOf(QDir::currentPath()));
        QVERIFY(!combo.Drive().isEmpty());
        QCOMPARE(combo.currentData().toString(), combo.Drive());
    }

    void entriesInRootOrderWithNames()
    {
        TDriveComboEx combo;
        combo.BuildList(fakeVolumes({"/media/usb", "/", "/home"}));
        QCOMPARE(combo.count(), 3);
        QCOMPARE(combo.itemText(0), QStringLiteral("/"));
        QCOMPARE(combo.itemText(1), QStringLiteral("home (/home)"));
        QCOMPARE(combo.itemText(2), QStringLiteral("usb (/media/usb)"));
        QCOMPARE(combo.currentIndex(), -1); // a new list has no selection
    }

    void setDrive_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("drive");
        QTest::addColumn<int>("selected");
        QTest::newRow("other entry") << "/home" << "/home" << 1;
        QTest::newRow("written with a slash") << "/media/usb/" << "/media/usb" << 2;
        QTest::newRow("same as held") << "/" << "/" << 0;
        QTest::newRow("none") << "" << "" << -1;
        QTest::newRow("no such entry: selection stays") << "/srv" << "/srv" << 0;
    }
    void setDrive()
    {
        QFETCH(QString, value);
        QFETCH(QString, drive);
        QFETCH(int, selected);
        TDriveComboEx combo;
        combo.BuildList(fakeVolumes({"/", "/home", "/media/usb"}));
        combo.SetDrive("/");
        QCOMPARE(combo.currentIndex(), 0);
        QSignalSpy changes(&combo, &TDriveComboEx::changed);
        combo.SetDrive(value);
        QCOMPARE(combo.Drive(), drive);
        QCOMPARE(combo.currentIndex(), selected);
        QCOMPARE(changes.count(), 0); // by program: no event
    }

    // The host reads Drive in its change handler: it must already hold the
    // picked volume, and the combo's text must already show it.
    void pickSetsDriveBeforeTheNotice()
    {
        QTemporaryDir a;
        QTemporaryDir b;
        TDriveComboEx combo;
        combo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&combo));
        combo.BuildList(fakeVolumes({a.path(), b.path()}));
        combo.SetDrive(a.path());
        const int second = combo.findData(b.path());
        QString driveSeen;
        QString textSeen;
        int notices = 0;
        connect(&combo, &TDriveComboEx::changed, this, [&] {
            ++notices;
            driveSeen = combo.Drive();
            textSeen = combo.currentText();
        });
        combo.setFocus();
        QTest::keyClick(&combo, second > 0 ? Qt::Key_Down : Qt::Key_Up);
        QCOMPARE(notices, 1);
        QCOMPARE(driveSeen, b.path());
        QCOMPARE(textSeen, combo.itemText(second));
    }

    void firstShowNotifiesOnceWithoutChangingDrive()
    {
        TDriveComboEx combo;
        const QString before = combo.Drive();
        QString driveSeen;
        int selectedSeen = -2;
        int notices = 0;
        connect(&combo, &TDriveComboEx::changed, this, [&] {
            ++notices;
            driveSeen = combo.Drive();
            selectedSeen = combo.currentIndex();
        });
        combo.show();
        QCOMPARE(notices, 1);
        QCOMPARE(driveSeen, before);
        QCOMPARE(selectedSeen, -1); // before the entry of Drive is selected
        QCOMPARE(combo.currentData().toString(), before);
        combo.hide();
        combo.show();
        QCOMPARE(notices, 1);
    }

    void volumesMountedLaterComeAndGo()
    {
        QTemporaryDir point;
        const QByteArray path = point.path().toLocal8Bit();
        TDriveComboEx combo;
        const QString drive = combo.Drive();
        QCOMPARE(combo.findData(point.path()), -1);
        if (::mount("pelandor-test", path.constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("mounting needs privileges this run does not have");
        // A failed check must not leave the mount behind.
        auto unmount = qScopeGuard([&path] { ::umount2(path.constData(), MNT_DETACH); });
        QTRY_VERIFY(combo.findData(point.path()) >= 0);
        QCOMPARE(combo.Drive(), drive);
        QCOMPARE(combo.currentIndex(), combo.findData(drive));
        unmount.dismiss();
        QCOMPARE(::umount2(path.constData(), MNT_DETACH), 0);
        QTRY_COMPARE(combo.findData(point.path()), -1);
        QCOMPARE(combo.Drive(), drive);
    }
};

QTEST_MAIN(TestDriveComboEx)
#include "TestDriveComboEx.moc"
