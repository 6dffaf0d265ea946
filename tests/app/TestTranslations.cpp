// The window's language follows the user's: each row starts this test's own
// executable again as a probe under another LANG, which sets the
// application up as the program does and prints a few representative
// texts (a menu title, a question, a dialog caption) and every accelerator
// clash within a menu.
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#include "app/ApplicationShell.h"
#include "app/TMainWindow.h"
#include "fileops/FileOperationTexts.h"
#include "platform/UiLanguage.h"
#include "tools/TExtToolsDialog.h"
#include "tools/ToolList.h"

using namespace pelandor;

namespace {

// Accelerator letters used twice within one menu, as "menu:letter".
QStringList acceleratorClashes(const QWidget &window)
{
    QStringList clashes;
    for (const QMenu *menu : window.findChildren<QMenu *>()) {
        QMap<QChar, int> uses;
        for (const QAction *action : menu->actions()) {
            const QString text = action->text();
            const int amp = text.indexOf(QLatin1Char('&'));
            if (amp >= 0 && amp + 1 < text.size() && text[amp + 1] != QLatin1Char('&'))
                ++uses[text[amp + 1].toLower()];
        }
        for (auto it = uses.cbegin(); it != uses.cend(); ++it) {
            if (it.value() > 1)
                clashes << menu->objectName() + QLatin1Char(':') + it.key();
        }
    }
    return clashes;
}

int probe(int argc, char **argv)
{
    QApplication app(argc, argv);
    ApplicationShell::installTranslations(app, UiLanguage::current(), QStringLiteral(PELANDOR_BIN_DIR));
    QTemporaryDir modules;
    TMainWindow window(modules.path());
    ToolList tools;
    TExtToolsDialog dialog(tools, [] { return true; });
    const QMenu *file = window.findChild<QMenu *>(QStringLiteral("mnuFile"));
    const QStringList lines{
        QStringLiteral("menu=") + (file ? file->title() : QString()),
        QStringLiteral("question=") + FileOperationTexts::deleteConfirmation({QByteArray("/a/b.jpg")}, true),
        QStringLiteral("dialog=") + dialog.windowTitle(),
        QStringLiteral("clashes=") + acceleratorClashes(window).join(QLatin1Char(',')),
    };
    std::fputs(lines.join(QLatin1Char('\n')).toUtf8().constData(), stdout);
    return 0;
}

} // namespace

class TestTranslations : public QObject {
    Q_OBJECT

private slots:
    void followsTheUserLanguage_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("override");
        QTest::addColumn<bool>("english");
        QTest::newRow("en") << "en_US.UTF-8" << "" << true;
        QTest::newRow("de") << "de_DE.UTF-8" << "" << true;
        QTest::newRow("ja") << "ja_JP.UTF-8" << "" << false;
        QTest::newRow("C") << "C.UTF-8" << "" << false;
        QTest::newRow("en forced ja") << "en_US.UTF-8" << "ja" << false;
        QTest::newRow("C forced en") << "C.UTF-8" << "en" << true;
    }

    void followsTheUserLanguage()
    {
        QFETCH(QString, lang);
        QFETCH(QString, override);
        QFETCH(bool, english);

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "PELANDOR_LANGUAGE"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("LANG"), lang);
        if (!override.isEmpty())
            env.insert(QStringLiteral("PELANDOR_LANGUAGE"), override);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--probe")});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitCode(), 0);
        QMap<QString, QString> said;
        for (const QString &line : QString::fromUtf8(child.readAllStandardOutput()).split(QLatin1Char('\n'))) {
            const int eq = line.indexOf(QLatin1Char('='));
            if (eq > 0)
                said[line.left(eq)] = line.mid(eq + 1);
        }

        if (english) {
            QCOMPARE(said["menu"], QStringLiteral("&File"));
            QCOMPARE(said["question"], QStringLiteral("Move 'b.jpg' to the trash?"));
            QCOMPARE(said["dialog"], QStringLiteral("External Tools"));
            QCOMPARE(said["clashes"], QString());
        } else {
            // The program's own texts, unchanged.
            QCOMPARE(said["menu"], QStringLiteral("ﾌｧｲﾙ(&F)"));
            QCOMPARE(said["question"], QStringLiteral("'b.jpg' をごみ箱に移しますか?"));
            QCOMPARE(said["dialog"], QStringLiteral("外部ﾂｰﾙの設定"));
        }
    }

    void choosesByTheFirstLanguage()
    {
        using L = UiLanguage::Language;
        QCOMPARE(UiLanguage::choose({QStringLiteral("fr"), QStringLiteral("ja")}, QString()), L::English);
        QCOMPARE(UiLanguage::choose({QStringLiteral("ja-JP")}, QString()), L::Japanese);
        QCOMPARE(UiLanguage::choose({}, QString()), L::Japanese);
        QCOMPARE(UiLanguage::choose({QStringLiteral("C")}, QStringLiteral("fr")), L::Japanese);
    }
};

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--probe") == 0)
        return probe(argc, argv);
    QApplication app(argc, argv);
    TestTranslations test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestTranslations.moc"
