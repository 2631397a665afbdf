// Texts made from a package's files reach message boxes at a size the window can show.
#include "util/UserInterface.h"

#include <QElapsedTimer>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace veltrane;

class TestFittedMessage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void longTextsAreCut_data();
    void longTextsAreCut();
};

void TestFittedMessage::longTextsAreCut_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("fitted");
    const QString question = u"You are about to install Route - "_s;
    QTest::newRow("a usual question stays") << question + u"Riverside\r\nInto your folder"_s
                                            << question + u"Riverside\r\nInto your folder"_s;
    QTest::newRow("a long name is cut, the lines after it stay")
        << question + QString(1000, u'x') + u"\r\nInto your folder"_s
        << question + QString(300 - question.size(), u'x') + u"...\r\nInto your folder"_s;
    QString many;
    QString first40;
    for (int i = 0; i < 100; ++i) {
        const QString line = u"Line "_s + QString::number(i) + u" of a long list of failures\n"_s;
        many += line;
        if (i < 40)
            first40 += line;
    }
    QTest::newRow("many lines end after forty") << many << first40 + u"..."_s;
}

void TestFittedMessage::longTextsAreCut()
{
    QFETCH(QString, text);
    QFETCH(QString, fitted);
    QCOMPARE(fittedForMessage(text), fitted);
}

QTEST_GUILESS_MAIN(TestFittedMessage)
#include "tst_fittedmessage.moc"
