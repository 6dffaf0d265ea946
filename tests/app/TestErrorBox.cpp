// The standard error box's text rule, the command guard that ends in it,
// and the start-up's outcome.
#include <QTest>
#include <QTimer>
#include <QApplication>
#include <QMessageBox>

#include "app/ApplicationShell.h"
#include "app/ErrorBox.h"
#include "app/TMainWindow.h"

using namespace pelandor;

class TestErrorBox : public QObject {
    Q_OBJECT
private slots:
    void periodRule_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter gets a period") << "Cannot write file" << "Cannot write file.";
        QTest::newRow("period stays single") << "Done." << "Done.";
        QTest::newRow("blank gets nothing") << "Trailing " << "Trailing ";
        QTest::newRow("exclamation gets nothing") << "Stop!" << "Stop!";
        QTest::newRow("comma gets nothing") << "a," << "a,";
        QTest::newRow("slash gets a period") << "/pics/" << "/pics/.";
        QTest::newRow("digit gets a period") << "error 5" << "error 5.";
        QTest::newRow("japanese gets a period") << QStringLiteral("書き込めません") << QStringLiteral("書き込めません.");
        QTest::newRow("half-width katakana gets a period") << QStringLiteral("ｴﾗｰ") << QStringLiteral("ｴﾗｰ.");
    }
    void periodRule()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(errorBoxText(message), shown);
    }

    void escapingErrorEndsInBoxAndProgramGoesOn()
    {
        QString seen;
        // Close the box as soon as it shows, remembering its text and caption.
        QTimer::singleShot(0, [&seen] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            QCOMPARE(box->windowTitle(), QStringLiteral("Pelandor"));
            QCOMPARE(box->icon(), QMessageBox::Critical);
            seen = box->text();
            box->accept();
        });
        bool after = false;
        runGuarded(nullptr, [] { throw PelandorError(QStringLiteral("Disk full")); });
        after = true;
        QCOMPARE(seen, QStringLiteral("Disk full."));
        QVERIFY(after);
    }

    void failedStartUpEndsWithNonZeroStatus()
    {
        QTimer::singleShot(0, [] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                box->accept();
        });
        auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
        const int status = ApplicationShell::startAndRun(
            *app, [] { throw PelandorError(QStringLiteral("Cannot start")); });
        QCOMPARE(status, ApplicationShell::StartFailedStatus);
        QVERIFY(status != 0);
    }

    // Captions are exactly the given ones: no application display name is
    // set, which the platform would append to every window's caption.
    void noDisplayNameIsAppendedToCaptions()
    {
        auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
        ApplicationShell::setUpApplication(*app);
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Pelandor"));
        // An unset display name follows the application name.
        QCoreApplication::setApplicationName(QStringLiteral("probe"));
        QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("probe"));
        QCoreApplication::setApplicationName(QStringLiteral("Pelandor"));
    }

    void versionBoxText()
    {
        const QStringList lines = TMainWindow::versionBoxText().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], QStringLiteral("Pelandor Ver 1.60"));
        QVERIFY(!lines[1].isEmpty());
    }
};

QTEST_MAIN(TestErrorBox)
#include "TestErrorBox.moc"
