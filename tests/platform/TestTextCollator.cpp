// Word order of user-visible texts, also under the C locale that CI runs in.
#include <QTest>

#include "platform/TextCollator.h"

using pelandor::TextCollator;

class TestTextCollator : public QObject {
    Q_OBJECT
private slots:
    void order_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("expected");
        QTest::newRow("letters ignore case") << "a" << "B" << -1;
        QTest::newRow("B before c") << "B" << "c" << -1;
        QTest::newRow("case breaks ties only") << "a" << "A" << -1;
        QTest::newRow("equal") << "photo" << "photo" << 0;
        QTest::newRow("empty first") << "" << "a" << -1;
        QTest::newRow("patterns before all-files caption") << "*.PNG" << QStringLiteral("全ての画像ﾌｧｲﾙ") << -1;
    }
    void order()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, expected);
        TextCollator collator;
        QCOMPARE(collator.compare(a, b), expected);
        QCOMPARE(collator.compare(b, a), -expected);
    }
    // Keys are made apart from compare(): wherever two keys differ they must
    // order as compare() does, for every pair of texts that sort apart in
    // the ways the locale's collation knows (case, accents, composed or not,
    // widths, kana, punctuation, digits, long texts).
    void keysOrderAsCompare()
    {
        const QStringList texts{QString(), "a", "A", "b", "ä", QStringLiteral("a\u0308"), "ab", "a b", "a-b", "a_b",
                                "a.jpg", "A.JPG", "a10", "a9", "１", "1", QStringLiteral("ｱ"), QStringLiteral("ア"),
                                QStringLiteral("あ"), QStringLiteral("亜"), QStringLiteral("\u00ad"), "\x01",
                                QString(300, QLatin1Char('x')) + "a", QString(300, QLatin1Char('x')) + "B"};
        TextCollator collator;
        for (const QString &a : texts) {
            for (const QString &b : texts) {
                const int byKey = TextCollator::compareKeys(collator.key(a), collator.key(b));
                if (byKey != 0)
                    QVERIFY2(byKey == collator.compare(a, b), qPrintable(a + " / " + b));
            }
        }
        QVERIFY(TextCollator::compareKeys(collator.key("a"), collator.key("A")) != 0);
    }
    void ignoringCaseTreatsCaseAsEqual()
    {
        TextCollator collator;
        QCOMPARE(collator.compareIgnoringCase("*.jpg", "*.JPG"), 0);
    }
};

QTEST_GUILESS_MAIN(TestTextCollator)
#include "TestTextCollator.moc"
