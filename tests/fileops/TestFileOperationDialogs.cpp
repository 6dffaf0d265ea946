// The dialogs of the file operations: Return confirms only a move to the
// trash and takes the safe answer where a file would be destroyed, Esc the
// cancelling one in every question box; the progress dialog appears
// only after its delay, and its cancel button reaches the engine; the drag
// cursor's pixmap for QDrag (which takes the middle as the hot spot) puts
// the shape's hot spot there.
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>

#include "fileops/DragCursors.h"
#include "fileops/FileOperationDialogs.h"
#include "fileops/FileOperationProgressDialog.h"

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
        pressInNextBox(Qt::Key(key));
        QCOMPARE(dialogs.askReplace("/q/a.jpg", true).answer, confirms ? Answer::Skip : Answer::Cancel);
        pressInNextBox(Qt::Key(key));
        QCOMPARE(dialogs.askReplace("/q/a.jpg", false).answer, Answer::Cancel);
        pressInNextBox(Qt::Key(key));
        QCOMPARE(dialogs.askDeletePermanently("/q/a.jpg", false).answer, Answer::Cancel);
    }

    void progressAppearsLateAndCancels()
    {
        QWidget window;
        window.show();
        FileOperationProgressDialog progress(&window);
        progress.start(QStringLiteral("title"), 100);
        progress.setProgress(1, 100);
        QVERIFY(!progress.isShown());
        QElapsedTimer clock;
        clock.start();
        while (!progress.isShown() && clock.elapsed() < 5000)
            progress.setProgress(2, 100);
        QVERIFY(progress.isShown());
        QVERIFY(clock.elapsed() + 50 >= FileOperationProgressDialog::ShowDelayMs);
        QVERIFY(!progress.cancelRequested());
        auto *dialog = window.findChild<QProgressDialog *>();
        QVERIFY(dialog);
        dialog->cancel();
        QVERIFY(progress.cancelRequested());
        progress.finish();
        QVERIFY(!window.findChild<QProgressDialog *>());
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
