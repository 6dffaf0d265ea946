// Names that are not valid UTF-8 must come back as the very bytes they were,
// or the file cannot be opened, copied or deleted; valid names must read as
// Qt reads them.
#include <QTest>

#include "platform/NativeName.h"

using pelandor::NativeName;

class TestNativeName : public QObject {
    Q_OBJECT
private slots:
    void bytesComeBack_data();
    void bytesComeBack();
    void foreignSurrogatesDoNotTurnIntoBytes();
};

void TestNativeName::bytesComeBack_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("replaced"); // U+FFFD in the displayed form
    QTest::newRow("ascii") << QByteArray("photo 01.jpg") << true << 0;
    QTest::newRow("japanese") << QByteArray("\xe5\x86\x99\xe7\x9c\x9f.jpg") << true << 0;
    QTest::newRow("emoji") << QByteArray("\xf0\x9f\x93\xb7.jpg") << true << 0;
    QTest::newRow("shift-jis") << QByteArray("\x82\xa0\x83J.jpg") << false << 3;
    QTest::newRow("latin-1") << QByteArray("caf\xe9.bmp") << false << 1;
    QTest::newRow("cut at the end") << QByteArray("a\xe5\x86") << false << 2;
    QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << false << 2;
    QTest::newRow("encoded surrogate") << QByteArray("\xed\xb2\x80") << false << 3;
    QTest::newRow("beyond U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << false << 4;
    // The low half of the emoji lies in the range used for kept bytes.
    QTest::newRow("emoji, then a stray byte") << QByteArray("\xf0\x9f\x93\xb7\x82") << false << 1;
    QTest::newRow("every high byte") << [] {
        QByteArray all;
        for (int b = 0x80; b <= 0xFF; ++b)
            all += char(b);
        return all;
    }() << false << 128;
}

void TestNativeName::bytesComeBack()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QFETCH(int, replaced);
    const QString name = NativeName::decode(bytes);
    QCOMPARE(NativeName::encode(name), bytes);
    if (valid)
        QCOMPARE(name, QString::fromUtf8(bytes));
    const QString shown = NativeName::display(name);
    QCOMPARE(int(shown.count(QChar(QChar::ReplacementCharacter))), replaced);
}

void TestNativeName::foreignSurrogatesDoNotTurnIntoBytes()
{
    // A half character typed or pasted elsewhere is no kept byte.
    const QString half = QStringLiteral("a") + QChar(char16_t(0xD83D)) + QStringLiteral("b");
    QCOMPARE(NativeName::encode(half), QByteArray("a\xef\xbf\xbd" "b"));
}

QTEST_GUILESS_MAIN(TestNativeName)
#include "TestNativeName.moc"
