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
    void ignoringCaseTreatsCaseAsEqual()
    {
        TextCollator collator;
        QCOMPARE(collator.compareIgnoringCase("*.jpg", "*.JPG"), 0);
    }
};

QTEST_GUILESS_MAIN(TestTextCollator)
#include "TestTextCollator.moc"
