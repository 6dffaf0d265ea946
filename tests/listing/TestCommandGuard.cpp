// The command guard's holds: counted, released once each (also when moved),
// and refused to a list-changing command while any is held.
#include <QSignalSpy>
#include <QTest>

#include "listing/CommandGuard.h"

using pelandor::CommandGuard;

class TestCommandGuard : public QObject {
    Q_OBJECT
private slots:
    void holdsAreCountedAndReleasedOnce()
    {
        CommandGuard guard;
        QSignalSpy released(&guard, &CommandGuard::released);
        {
            const CommandGuard::Token reading = guard.hold();
            QVERIFY(guard.busy());
            QVERIFY(!guard.holdIfIdle());
            {
                CommandGuard::Token viewer = guard.hold();
                CommandGuard::Token moved = std::move(viewer);
            }
            QVERIFY(guard.busy());
            QCOMPARE(released.count(), 0);
        }
        QVERIFY(!guard.busy());
        QCOMPARE(released.count(), 1);

        std::optional<CommandGuard::Token> alone = guard.holdIfIdle();
        QVERIFY(alone);
        QVERIFY(guard.busy());
        alone.reset();
        QVERIFY(!guard.busy());
        QCOMPARE(released.count(), 2);
    }
};

QTEST_GUILESS_MAIN(TestCommandGuard)
#include "TestCommandGuard.moc"
