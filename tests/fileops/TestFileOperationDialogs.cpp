// The dialogs of the file operations: Return confirms only a move to the
// trash and takes the safe answer where a file would be destroyed, Esc the
// cancelling one in every question box; the progress dialog appears
// only after its delay, and its cancel button reaches the engine; the drag
// cursor's pixmap for QDrag (which takes the middle as the hot spot) puts
// the shape's hot spot there.
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QAbstractButton>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "fileops/DragCursors.h"
#include "fileops/FileOperationDialogs.h"
#include "fileops/FileOperationProgressDialog.h"
#include "fileops/FileOperationTexts.h"

using namespace pelandor;
using Answer = FileOperationQuestions::Answer;

namespace {

// Presses key in the next modal box that opens.
void pressInNextBox(Qt::Key key)
{
    QTimer::singleShot(10, [key] {
        if (QWidget *box = QApplication::activeModalWidget())
            QTest::keyClick(box, key);
        else
            pressInNextBox(key);
    });
}

} // namespace

class TestFileOperationDialogs : public QObject {
    Q_OBJECT

private slots:
    void keys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("confirms"); // where confirming is safe
        QTest::newRow("Return") << int(Qt::Key_Return) << true;
        QTest::newRow("Esc") << int(Qt::Key_Escape) << false;
    }
    void keys()
    {
        QFETCH(int, key);
        QFETCH(bool, confirms);
        QWidget window;
        window.show();
        FileOperationDialogs dialogs(&window);
        const QList<QByteArray> two{"/p/a.jpg", "/p/b.jpg"};

        pressInNextBox(Qt::Key(key));
        QCOMPARE(dialogs.confirmDelete(two, true), confirms);
        pressInNextBox(Qt::Key(key));
        QCOMPARE(dialogs.confirmDelete(two.mid(0, 1), false), false);
        FileOperationQuestions::Conflict conflict;
        conflict.source = "/p/a.jpg";
        conflict.target = "/q/a.jpg";
        pressInNextBox(Qt::Key(key));
        QCOMPARE(dialogs.askReplace(conflict, true).answer, confirms ? Answer::Skip : Answer::Cancel);
        pressInNextBox(Qt::Key(key));
        QCOMPARE(dialogs.askReplace(conflict, false).answer, Answer::Cancel);
        pressInNextBox(Qt::Key(key));
        QCOMPARE(dialogs.askDeletePermanently("/q/a.jpg", false).answer, Answer::Cancel);
    }

    // The dialog is not modal (the window stays usable while the job runs
    // on its thread), appears only after its delay, and its cancel button
    // is reported.
    void progressAppearsLateAndCancels()
    {
        QWidget window;
        window.show();
        FileOperationProgressDialog progress(&window);
        QSignalSpy cancelled(&progress, &FileOperationProgressDialog::cancelRequested);
        QElapsedTimer clock;
        clock.start();
        progress.start(QStringLiteral("title"), 100);
        progress.setProgress(1, 100);
        QVERIFY(!progress.isShown());
        QTRY_VERIFY(progress.isShown());
        QVERIFY(clock.elapsed() + 50 >= FileOperationProgressDialog::ShowDelayMs);
        QVERIFY(!QApplication::activeModalWidget());
        auto *dialog = window.findChild<QProgressDialog *>();
        QVERIFY(dialog);
        QCOMPARE(cancelled.size(), 0);
        auto *cancel = dialog->findChild<QPushButton *>();
        QVERIFY(cancel);
        cancel->click();
        QCOMPARE(cancelled.size(), 1);
        progress.finish();
        QVERIFY(!window.findChild<QProgressDialog *>());
    }

    // The conflict question offers keep both; choosing it is the answer.
    void keepBothOffered()
    {
        QWidget window;
        window.show();
        FileOperationDialogs dialogs(&window);
        FileOperationQuestions::Conflict conflict;
        conflict.source = "/p/a.jpg";
        conflict.target = "/q/a.jpg";
        conflict.sourceSize = 1234567;
        conflict.targetSize = 89;
        QString text;
        QTimer::singleShot(10, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            text = box->text();
            for (QAbstractButton *button : box->buttons()) {
                if (button->text() == FileOperationTexts::keepBothButton())
                    button->click();
            }
        });
        QCOMPARE(dialogs.askReplace(conflict, true).answer, Answer::KeepBoth);
        QVERIFY2(text.contains(QStringLiteral("1,234,567")) && text.contains(QStringLiteral("89")), qPrintable(text));
    }

    void dragPixmapHotSpotInTheMiddle()
    {
        for (bool copy : {false, true}) {
            const QImage shape = DragCursors::image(copy);
            const QImage drag = DragCursors::dragPixmap(copy).toImage().convertToFormat(QImage::Format_ARGB32);
            const QPoint middle(drag.width() / 2, drag.height() / 2);
            for (int y = 0; y < shape.height(); ++y) {
                for (int x = 0; x < shape.width(); ++x)
                    QCOMPARE(drag.pixel(middle + QPoint(x - 5, y - 5)), shape.pixel(x, y));
            }
        }
    }
};

QTEST_MAIN(TestFileOperationDialogs)
#include "TestFileOperationDialogs.moc"
